#include "client/callback_registry.h"

#include <vector>

#include "platform/thread_cancellation.h"

namespace vornmt::client {
namespace {

// Calls into the application running on this thread; a thread inside a
// callback must never wait for another slot's call lock.
thread_local int callbacks_running = 0;

struct CallbackScope {
    CallbackScope() { ++callbacks_running; }
    ~CallbackScope() { --callbacks_running; }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
};

template <typename Callback>
Callback Exchange(CallbackSlot<Callback>& slot, Callback callback, void* user_data) {
    Callback previous;
    {
        platform::LockGuard pair(slot.pair_lock);
        previous = slot.callback;
        slot.callback = callback;
        slot.user_data = user_data;
    }
    // A call that began before the exchange holds the call lock until it
    // returns; every later one reads the new pair.
    if (callbacks_running == 0) platform::LockGuard wait_for_running_call(slot.call_lock);
    return previous;
}

template <typename Callback>
void ReadPair(CallbackSlot<Callback>& slot, Callback* callback, void** user_data) {
    platform::LockGuard pair(slot.pair_lock);
    *callback = slot.callback;
    *user_data = slot.user_data;
}

template <typename Callback>
void RenewLocks(CallbackSlot<Callback>& slot) {
    slot.pair_lock.RenewAfterFork();
    slot.call_lock.RenewAfterFork();
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

mt::ConnectedCallback CallbackRegistry::SetConnected(mt::ConnectedCallback callback, void* user_data) {
    return Exchange(connected_, callback, user_data);
}

std::uint64_t CallbackRegistry::BeginResolutionQuery(ResolutionTarget target) {
    std::uint64_t ticket = 0;
    {
        platform::LockGuard pair(resolution_.pair_lock);
        ticket = resolution_queries_->Begin(target, {resolution_.callback, resolution_.user_data});
        resolution_.callback = target.callback;
        resolution_.user_data = target.user_data;
    }
    if (callbacks_running == 0) platform::LockGuard wait_for_running_call(resolution_.call_lock);
    return ticket;
}

void CallbackRegistry::EndResolutionQuery(std::uint64_t ticket, bool sent) {
    {
        platform::LockGuard pair(resolution_.pair_lock);
        ResolutionTarget now{nullptr, nullptr};
        if (resolution_queries_->End(ticket, sent, &now)) {
            resolution_.callback = now.callback;
            resolution_.user_data = now.user_data;
        }
    }
    // A failed query's pair may be running an answer that reached it while
    // the query was in flight, whether or not this end or another thread's
    // query took it out of the slot: its call returns only once the running
    // call has ended, so its user_data is free.
    if (!sent && callbacks_running == 0) platform::LockGuard wait_for_running_call(resolution_.call_lock);
}

// Every exception is caught, not only the standard family: one escaping a
// worker thread would end the process. Only the unwinding that ends the
// thread itself goes on.
template <typename Callback, typename... Args>
int CallbackRegistry::CallGuarded(CallbackSlot<Callback>& slot, Args... args) {
    bool threw = false;
    {
        platform::LockGuard call(slot.call_lock);
        Callback callback;
        void* user_data;
        ReadPair(slot, &callback, &user_data);
        if (callback != nullptr) {
            CallbackScope scope;
            threw = platform::CatchAllButThreadEnd([&] { callback(args..., user_data); });
        }
    }
    return threw ? mt::ERR_CALLBACK_EXCEPTION : mt::ERR_NONE;
}

int CallbackRegistry::CallPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                     const mt::TouchPoint* points) {
    return CallGuarded(point_frame_, frame_value_0, frame_value_1, point_count, points);
}

int CallbackRegistry::CallGesture(const mt::TouchGesture& gesture) { return CallGuarded(gesture_, &gesture); }

int CallbackRegistry::CallDeviceInfo(const mt::TouchDeviceInfo& info) { return CallGuarded(device_info_, &info); }

int CallbackRegistry::CallResolution(int x, int y) { return CallGuarded(resolution_, x, y); }

int CallbackRegistry::CallServerBreak() { return CallGuarded(server_break_, static_cast<void*>(nullptr)); }

int CallbackRegistry::CallConnected() { return CallGuarded(connected_, static_cast<void*>(nullptr)); }

void CallbackRegistry::ReportThrow(int status) {
    if (status != mt::ERR_NONE) ReportError(status);
}

void CallbackRegistry::DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                         const mt::TouchPoint* points) {
    ReportThrow(CallPointFrame(frame_value_0, frame_value_1, point_count, points));
}

void CallbackRegistry::DeliverGesture(const mt::TouchGesture& gesture) { ReportThrow(CallGesture(gesture)); }

void CallbackRegistry::DeliverDeviceInfo(const mt::TouchDeviceInfo& info) { ReportThrow(CallDeviceInfo(info)); }

void CallbackRegistry::DeliverResolution(int x, int y) { ReportThrow(CallResolution(x, y)); }

void CallbackRegistry::DeliverServerBreak() { ReportThrow(CallServerBreak()); }

void CallbackRegistry::DeliverConnected() { ReportThrow(CallConnected()); }

void CallbackRegistry::ReportError(int code) {
    platform::LockGuard call(error_.call_lock);
    mt::ErrorCallback callback;
    void* user_data;
    ReadPair(error_, &callback, &user_data);
    if (callback == nullptr) return;
    CallbackScope scope;
    callback(code, user_data);
}

void CallbackRegistry::RenewAfterFork() {
    static auto* const abandoned = new std::vector<requests::ResolutionLedger*>;  // reachable for leak checkers
    abandoned->push_back(resolution_queries_.release());
    resolution_queries_.reset(new requests::ResolutionLedger);
    RenewLocks(gesture_);
    RenewLocks(point_frame_);
    RenewLocks(server_break_);
    RenewLocks(error_);
    RenewLocks(resolution_);
    RenewLocks(device_info_);
    RenewLocks(connected_);
}

}  // namespace vornmt::client
