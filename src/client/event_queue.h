// The event queue: a ring of TouchEvent records that the library's threads
// fill (the dispatch thread with frames, gestures, device information,
// resolution answers and message errors; the receive thread with socket
// errors and the server break) and application threads empty (WaitEvent).
// It owns the ring and the wait handle, which is signalled exactly while the
// ring holds an event. Everything is under the event queue lock, which is
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

    // Library threads. Each puts one event, waiting while the queue is full
    // until there is room, the queue is closed or `stop` is set; an event
    // given up that way is not queued. Without an open queue, they return at
    // once.
    void PutFrame(int frame_value_0, int frame_value_1, int point_count, const Vorn_SDK_MultiTouch::TouchPoint* points,
                  const std::atomic<bool>& stop);
    void PutGesture(const Vorn_SDK_MultiTouch::TouchGesture& gesture, const std::atomic<bool>& stop);
    void PutDeviceInfo(const Vorn_SDK_MultiTouch::TouchDeviceInfo& info, const std::atomic<bool>& stop);
    void PutResolution(int x, int y, const std::atomic<bool>& stop);
    void PutServerBreak(const std::atomic<bool>& stop);
    void PutError(int code, const std::atomic<bool>& stop);
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
    void Put(const std::atomic<bool>& stop, Fill fill);
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
    platform::EventSignal signal_;  // set exactly while count_ > 0
};

}  // namespace vornmt::client
