// The application's callbacks: seven slots, each a callback, its user_data, a
// re-entrant call lock held for the whole of every call into that callback,
// and a pair lock held only while the pair is read or replaced. Setters run on
// any thread; deliveries on the receive and dispatch threads. A delivery holds
// its own slot's call lock, and the pair lock inside it for a moment; nothing
// is called under a pair lock, so no two deliveries or setters can wait for
// each other.
#pragma once

#include <VornMTClient.h>

#include <memory>

#include "platform/lock.h"
#include "requests/resolution_ledger.h"
#include "requests/resolution_slot.h"
#include "transport/inbound_event.h"

namespace vornmt::client {

namespace mt = Vorn_SDK_MultiTouch;

template <typename Callback>
struct CallbackSlot {
    Callback callback = nullptr;
    void* user_data = nullptr;
    platform::RecursiveLock pair_lock;  // guards callback and user_data, never held during a call
    platform::RecursiveLock call_lock;  // held during every call of the callback
};

using ResolutionTarget = requests::ResolutionTarget;

// The library's threads call it through the delivery fan-out, which also
// fills the event queue; tests and benchmarks deliver to it directly
// (EventSink). The resolution query fills its resolution slot
// (ResolutionSlot). Neither layer below knows this class.
class CallbackRegistry final : public transport::EventSink, public requests::ResolutionSlot {
public:
    CallbackRegistry() = default;
    CallbackRegistry(const CallbackRegistry&) = delete;
    CallbackRegistry& operator=(const CallbackRegistry&) = delete;

    // Each setter stores the pair and returns the previous callback. Outside
    // a callback it then waits until a running call of the slot's callback
    // has returned; inside one (on any thread) it waits for nothing, so two
    // callbacks replacing each other's slot never wait for each other.
    mt::PointFrameCallback SetPointFrame(mt::PointFrameCallback callback, void* user_data);
    mt::GestureCallback SetGesture(mt::GestureCallback callback, void* user_data);
    mt::ServerBreakCallback SetServerBreak(mt::ServerBreakCallback callback, void* user_data);
    mt::ErrorCallback SetError(mt::ErrorCallback callback, void* user_data);
    mt::DeviceInfoCallback SetDeviceInfo(mt::DeviceInfoCallback callback, void* user_data);
    mt::ConnectedCallback SetConnected(mt::ConnectedCallback callback, void* user_data);
    // The resolution slot is filled by the resolution query; like a setter,
    // outside a callback it returns once a running call of the old pair ended.
    std::uint64_t BeginResolutionQuery(ResolutionTarget target) override;
    void EndResolutionQuery(std::uint64_t ticket, bool sent) override;

    // Guarded calls: the slot's callback, if any, under its lock. An exception
    // out of the callback goes no further; the call returns
    // ERR_CALLBACK_EXCEPTION for it (once the slot's lock is released), and
    // ERR_NONE otherwise. They report nothing.
    int CallPointFrame(int frame_value_0, int frame_value_1, int point_count, const mt::TouchPoint* points);
    int CallGesture(const mt::TouchGesture& gesture);
    int CallDeviceInfo(const mt::TouchDeviceInfo& info);
    int CallResolution(int x, int y);
    int CallServerBreak();
    int CallConnected();

    // Deliveries: the guarded call, then ERR_CALLBACK_EXCEPTION to the error
    // callback if it threw.
    void DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                           const mt::TouchPoint* points) override;
    void DeliverGesture(const mt::TouchGesture& gesture) override;
    void DeliverDeviceInfo(const mt::TouchDeviceInfo& info) override;
    void DeliverResolution(int x, int y) override;
    void DeliverServerBreak() override;
    void DeliverConnected() override;

    // Error delivery: the error callback with `code`, under the error slot's
    // lock. Not guarded: the error callback must not throw.
    void ReportError(int code) override;

    // In a forked child, on its one thread: a parent's thread may have held a
    // slot's locks at the fork (inside a callback); replaces them all. The
    // pairs stay registered.
    void RenewAfterFork();

private:
    template <typename Callback, typename... Args>
    int CallGuarded(CallbackSlot<Callback>& slot, Args... args);
    void ReportThrow(int status);

    // Declared in the order their locks are created.
    CallbackSlot<mt::GestureCallback> gesture_;
    CallbackSlot<mt::PointFrameCallback> point_frame_;
    CallbackSlot<mt::ServerBreakCallback> server_break_;
    CallbackSlot<mt::ErrorCallback> error_;
    CallbackSlot<mt::ResolutionCallback> resolution_;
    // Under resolution_.pair_lock; by pointer, so that a forked child can
    // abandon a copy a parent's thread was changing at the fork.
    std::unique_ptr<requests::ResolutionLedger> resolution_queries_{new requests::ResolutionLedger};
    CallbackSlot<mt::DeviceInfoCallback> device_info_;
    CallbackSlot<mt::ConnectedCallback> connected_;
};

}  // namespace vornmt::client
