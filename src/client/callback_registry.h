// The application's callbacks: six slots, each a callback, its user_data and a
// re-entrant lock held for the whole of every call into that callback. Setters
// run on application threads; deliveries on the receive and dispatch threads.
// A delivery holds only its own slot's lock, so the library never holds two.
#pragma once

#include <VornMTClient.h>

#include "platform/lock.h"

namespace vornmt::client {

namespace mt = Vorn_SDK_MultiTouch;

template <typename Callback>
struct CallbackSlot {
    Callback callback = nullptr;
    void* user_data = nullptr;
    platform::RecursiveLock lock;  // guards callback and user_data, held during calls
};

struct ResolutionTarget {
    mt::ResolutionCallback callback;
    void* user_data;
};

class CallbackRegistry {
public:
    CallbackRegistry() = default;
    CallbackRegistry(const CallbackRegistry&) = delete;
    CallbackRegistry& operator=(const CallbackRegistry&) = delete;

    // Each setter stores the pair and returns the previous callback.
    mt::PointFrameCallback SetPointFrame(mt::PointFrameCallback callback, void* user_data);
    mt::GestureCallback SetGesture(mt::GestureCallback callback, void* user_data);
    mt::ServerBreakCallback SetServerBreak(mt::ServerBreakCallback callback, void* user_data);
    mt::ErrorCallback SetError(mt::ErrorCallback callback, void* user_data);
    mt::DeviceInfoCallback SetDeviceInfo(mt::DeviceInfoCallback callback, void* user_data);
    // The resolution slot is filled by the resolution query, which may have to
    // put the previous pair back; hence the whole pair is exchanged.
    ResolutionTarget ExchangeResolution(ResolutionTarget target);

    // Guarded deliveries: call the slot's callback, if any, under its lock. An
    // exception out of the callback is reported as ERR_CALLBACK_EXCEPTION once
    // the slot's lock is released, and goes no further.
    void DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count, const mt::TouchPoint* points);
    void DeliverGesture(const mt::TouchGesture& gesture);
    void DeliverDeviceInfo(const mt::TouchDeviceInfo& info);
    void DeliverResolution(int x, int y);
    void DeliverServerBreak();

    // Error delivery: the error callback with `code`, under the error slot's
    // lock. Not guarded: the error callback must not throw.
    void ReportError(int code);

private:
    template <typename Callback, typename... Args>
    void DeliverGuarded(CallbackSlot<Callback>& slot, Args... args);

    // Declared in the order their locks are created.
    CallbackSlot<mt::GestureCallback> gesture_;
    CallbackSlot<mt::PointFrameCallback> point_frame_;
    CallbackSlot<mt::ServerBreakCallback> server_break_;
    CallbackSlot<mt::ErrorCallback> error_;
    CallbackSlot<mt::ResolutionCallback> resolution_;
    CallbackSlot<mt::DeviceInfoCallback> device_info_;
};

}  // namespace vornmt::client
