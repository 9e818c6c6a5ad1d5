// The resolution callback's slot as the resolution query sees it: the query
// stores the application's pair once it has sent the query. The client's
// callback registry implements it.
#pragma once

#include <VornMTClient.h>

namespace vornmt::requests {

struct ResolutionTarget {
    Vorn_SDK_MultiTouch::ResolutionCallback callback;
    void* user_data;
};

class ResolutionSlot {
public:
    // Stores `target` and returns the pair it replaced.
    virtual ResolutionTarget ExchangeResolution(ResolutionTarget target) = 0;

protected:
    ~ResolutionSlot() = default;
};

}  // namespace vornmt::requests
