// What one received message means, decoded but not yet delivered, and the
// interface the library's threads deliver through. The transport fills
// events; the client's callback registry implements the sink, so this layer
// knows nothing of callbacks.
#pragma once

#include <VornMTClient.h>

namespace vornmt::transport {

struct InboundEvent {
    enum class Kind {
        kNothing,     // a name this library does not know, or adjacent NULs
        kFrame,       // frame_value_0/1 and point_count points in the PointBuffer decoded into
        kGesture,     // gesture
        kDeviceInfo,  // info
        kResolution,  // x, y
        kOldServer,   // a "version" of 1.x with x below 10
        kBadMessage,  // not an invoke message, or a known one whose arguments do not fit
    };
    Kind kind = Kind::kNothing;
    int frame_value_0 = 0;
    int frame_value_1 = 0;
    int point_count = 0;
    Vorn_SDK_MultiTouch::TouchGesture gesture{};
    Vorn_SDK_MultiTouch::TouchDeviceInfo info{};
    int x = 0;
    int y = 0;
};

// Where the receive and dispatch threads hand what they received. Each call
// runs on the calling worker thread.
class EventSink {
public:
    virtual void DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                   const Vorn_SDK_MultiTouch::TouchPoint* points) = 0;
    virtual void DeliverGesture(const Vorn_SDK_MultiTouch::TouchGesture& gesture) = 0;
    virtual void DeliverDeviceInfo(const Vorn_SDK_MultiTouch::TouchDeviceInfo& info) = 0;
    virtual void DeliverResolution(int x, int y) = 0;
    virtual void DeliverServerBreak() = 0;
    // A connection opened in the background is up (receive thread).
    virtual void DeliverConnected() = 0;
    virtual void ReportError(int code) = 0;
    // Dispatch thread, after each message has been delivered (or ignored).
    virtual void FinishedMessage() {}

protected:
    ~EventSink() = default;
};

}  // namespace vornmt::transport
