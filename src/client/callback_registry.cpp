#include "client/callback_registry.h"

namespace vornmt::client {
namespace {

template <typename Callback>
Callback Exchange(CallbackSlot<Callback>& slot, Callback callback, void* user_data) {
    platform::LockGuard guard(slot.lock);
    Callback previous = slot.callback;
    slot.callback = callback;
    slot.user_data = user_data;
    return previous;
}

}  // namespace

mt::PointFrameCallback CallbackRegistry::SetPointFrame(mt::PointFrameCallback callback, void* user_data) {
    return Exchange(point_frame_, callback, user_data);
}

mt::GestureCallback CallbackRegistry::SetGesture(mt::GestureCallback callback, void* user_data) {
    return Exchange(gesture_, callback, user_data);
}

mt::ServerBreakCallback CallbackRegistry::SetServerBreak(mt::ServerBreakCallback callback, void* user_data) {
    return Exchange(server_break_, callback, user_data);
}

mt::ErrorCallback CallbackRegistry::SetError(mt::ErrorCallback callback, void* user_data) {
    return Exchange(error_, callback, user_data);
}

mt::DeviceInfoCallback CallbackRegistry::SetDeviceInfo(mt::DeviceInfoCallback callback, void* user_data) {
    return Exchange(device_info_, callback, user_data);
}

ResolutionTarget CallbackRegistry::ExchangeResolution(ResolutionTarget target) {
    platform::LockGuard guard(resolution_.lock);
    ResolutionTarget previous{resolution_.callback, resolution_.user_data};
    resolution_.callback = target.callback;
    resolution_.user_data = target.user_data;
    return previous;
}

// Every exception is caught, not only the standard family: one escaping a
// worker thread would end the process.
template <typename Callback, typename... Args>
void CallbackRegistry::DeliverGuarded(CallbackSlot<Callback>& slot, Args... args) {
    bool threw = false;
    {
        platform::LockGuard guard(slot.lock);
        if (slot.callback != nullptr) {
            try {
                slot.callback(args..., slot.user_data);
            } catch (...) {
                threw = true;
            }
        }
    }
    if (threw) ReportError(mt::ERR_CALLBACK_EXCEPTION);
}

void CallbackRegistry::DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                         const mt::TouchPoint* points) {
    DeliverGuarded(point_frame_, frame_value_0, frame_value_1, point_count, points);
}

void CallbackRegistry::DeliverGesture(const mt::TouchGesture& gesture) { DeliverGuarded(gesture_, &gesture); }

void CallbackRegistry::DeliverDeviceInfo(const mt::TouchDeviceInfo& info) { DeliverGuarded(device_info_, &info); }

void CallbackRegistry::DeliverResolution(int x, int y) { DeliverGuarded(resolution_, x, y); }

void CallbackRegistry::DeliverServerBreak() { DeliverGuarded(server_break_, static_cast<void*>(nullptr)); }

void CallbackRegistry::ReportError(int code) {
    platform::LockGuard guard(error_.lock);
    if (error_.callback != nullptr) error_.callback(code, error_.user_data);
}

}  // namespace vornmt::client
