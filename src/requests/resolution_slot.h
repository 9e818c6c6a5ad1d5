// The resolution callback's slot as the resolution query sees it: a query
// stores the application's pair before it sends, and says afterwards whether
// the send failed. The client's callback registry implements it.
#pragma once

#include <VornMTClient.h>

#include <cstdint>

namespace vornmt::requests {

struct ResolutionTarget {
    Vorn_SDK_MultiTouch::ResolutionCallback callback;
    void* user_data;
};

class ResolutionSlot {
public:
    // A query is about to send: stores its pair; returns its ticket.
    virtual std::uint64_t BeginResolutionQuery(ResolutionTarget target) = 0;
    // The query's send ended; after a failure the slot holds what it would
    // hold had the query not been made.
    virtual void EndResolutionQuery(std::uint64_t ticket, bool sent) = 0;

protected:
    ~ResolutionSlot() = default;
};

}  // namespace vornmt::requests
