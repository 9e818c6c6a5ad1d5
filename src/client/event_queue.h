// The event queue: a ring of TouchEvent records that the library's threads
// fill (the dispatch thread with frames, gestures, device information,
// resolution answers and message errors; the receive thread with socket
// errors and the server break) and application threads empty (WaitEvent).
// It owns the ring and the wait handle, which is signalled exactly while the
// ring holds an event (kept so from the moment the application asks for it). Everything is under the event queue lock, which is
// taken after a callback slot's lock (a callback may call WaitEvent), never
// before one, and never together with the message queue's lock.
#pragma once

#include <VornMTClient.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/event_signal.h"
#include "platform/lock.h"

namespace vornmt::client {

class EventQueue {
public:
    EventQueue() = default;
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // The exported functions' work, with their statuses (see the header).
    int Open(std::int32_t capacity);
    int Close();
    int Take(Vorn_SDK_MultiTouch::TouchEvent* event, std::int32_t timeout_ms);
    std::intptr_t wait_handle();

    // How a library thread puts an event: `stop` is its connection's stop
    // flag; `more_coming` says that the thread has further messages in hand,
    // so that waking the takers may wait for them (see WakeDeferredTakers).
    struct Producer {
        const std::atomic<bool>& stop;
        bool more_coming;
    };
    // Library threads. Each puts one event, waiting while the queue is full
    // until there is room, the queue is closed or the stop flag is set; an
    // event given up that way is not queued. Without an open queue, they
    // return at once.
    void PutFrame(int frame_value_0, int frame_value_1, int point_count, const Vorn_SDK_MultiTouch::TouchPoint* points,
                  const Producer& producer);
    void PutGesture(const Vorn_SDK_MultiTouch::TouchGesture& gesture, const Producer& producer);
    void PutDeviceInfo(const Vorn_SDK_MultiTouch::TouchDeviceInfo& info, const Producer& producer);
    void PutResolution(int x, int y, const Producer& producer);
    void PutServerBreak(const Producer& producer);
    void PutConnected(const Producer& producer);
    void PutError(int code, const Producer& producer);
    // Under a stream of messages the dispatch thread wakes waiting takers once
    // per kWakeBatch events or when it runs out of messages, not once per
    // event: a taker woken per event costs a thread switch per event. Called
    // by the thread that deferred the wake once it has no further message in
    // hand, and at a stop. True when a wake is deferred (read without the lock).
    void WakeDeferredTakers();
    bool has_deferred_wake() const { return wake_deferred_.load(std::memory_order_relaxed); }
    // Wakes the library threads waiting for room, so that they see a stop
    // flag just set.
    void WakeProducers();

    // True while an application thread waits in Take: the queue must not be
    // destroyed under it.
    bool has_waiting_takers();
    // True while a library thread waits for room. For tests.
    bool has_waiting_producers();

    // In a forked child, on its one thread: a parent's thread may have been
    // inside the queue at the fork. The child leaves the ring unread and
    // undestroyed, replaces the lock and the conditions, closes its copy of
    // the wait handle and starts with the queue closed.
    void RenewAfterFork();

private:
    template <typename Fill>
    void Put(const Producer& producer, Fill fill);
    void FreeRing_locked();  // also from the destructor, with no thread left

    platform::RecursiveLock lock_;  // the event queue lock: guards everything below
    platform::Condition has_event_;  // takers wait on it
    platform::Condition has_room_;   // producers wait on it
    // Written under the lock; producers read it first without the lock, so
    // that deliveries without a queue cost one load.
    std::atomic<bool> open_{false};
    // By pointer: a forked child abandons it. slots_ records, of which the
    // count_ from head_ on (wrapping) are queued; at most capacity_ are
    // queued by a producer (slots_ is larger only while a reopening with a
    // smaller capacity left more queued).
    Vorn_SDK_MultiTouch::TouchEvent* ring_ = nullptr;
    std::size_t slots_ = 0;
    std::size_t capacity_ = 0;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    // Advanced by every close, so that a taker woken by one returns even if
    // the queue was opened again before it ran.
    std::uint64_t closes_ = 0;
    int takers_waiting_ = 0;
    int producers_waiting_ = 0;
    // Events were put while takers wait, and the wake is owed. Written under
    // the lock.
    std::atomic<bool> wake_deferred_{false};
    // Set exactly while count_ > 0 once the application has the handle;
    // until then nobody can watch it, and events cost no system call for it.
    platform::EventSignal signal_;
    bool handle_given_ = false;
};

}  // namespace vornmt::client
