// The one array of touch points a frame is decoded into and handed to the
// application from. Written only by the dispatch thread; the pointer the frame
// callback receives is valid until the next frame.
#pragma once

#include <VornMTClient.h>

namespace vornmt::transport {

struct PointBuffer {
    Vorn_SDK_MultiTouch::TouchPoint points[Vorn_SDK_MultiTouch::MAX_FRAME_POINTS] = {};
};

}  // namespace vornmt::transport
