// What the library's two threads deliver through: each event goes first to
// the event queue, then to its callback, so that the queue and the callbacks
// see every event in one order, and a full queue is waited on while no slot
// lock is held. While the message queue holds further messages, the dispatch
// thread lets the event queue's takers sleep on, until it runs out of
// messages (FinishedMessage). Runs on the receive and dispatch threads of the
// connection that owns it; owns nothing.
#pragma once

#include <atomic>

#include "client/callback_registry.h"
#include "client/event_queue.h"
#include "transport/inbound_event.h"
#include "transport/message_queue.h"

namespace vornmt::client {

class DeliveryFanOut final : public transport::EventSink {
public:
    // `stop` is the connection's stop flag: once set, a delivery waiting for
    // room in the event queue gives its event up (WakeWaiters wakes it).
    // `messages` is the connection's message queue.
    DeliveryFanOut(CallbackRegistry& callbacks, EventQueue& events, transport::MessageQueue& messages,
                   const std::atomic<bool>& stop)
        : callbacks_(callbacks), events_(events), messages_(messages), stop_(stop) {}
    DeliveryFanOut(const DeliveryFanOut&) = delete;
    DeliveryFanOut& operator=(const DeliveryFanOut&) = delete;

    void DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                           const mt::TouchPoint* points) override;
    void DeliverGesture(const mt::TouchGesture& gesture) override;
    void DeliverDeviceInfo(const mt::TouchDeviceInfo& info) override;
    void DeliverResolution(int x, int y) override;
    void DeliverServerBreak() override;
    void DeliverConnected() override;
    // Not guarded: the error callback must not throw.
    void ReportError(int code) override;
    // Wakes the event queue's takers once no message is left to deliver.
    void FinishedMessage() override;

    // Any thread, after the stop flag was set: wakes a delivery waiting for
    // room and the takers a delivery let sleep on.
    void WakeWaiters();

private:
    EventQueue::Producer producer() { return {stop_, messages_.size() > 0}; }
    // A callback that threw is reported after its event, to both.
    void ReportThrow(int status);

    CallbackRegistry& callbacks_;
    EventQueue& events_;
    transport::MessageQueue& messages_;
    const std::atomic<bool>& stop_;
};

}  // namespace vornmt::client
