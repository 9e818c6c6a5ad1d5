#include "client/event_queue.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "transport/worker_threads.h"

namespace vornmt::client {
namespace {

namespace mt = Vorn_SDK_MultiTouch;
using Clock = std::chrono::steady_clock;  // monotonic

constexpr int kWsaFault = 10014;       // WSAEFAULT
constexpr int kWsaInvalid = 10022;     // WSAEINVAL
constexpr int kOutOfMemory = 10055;    // WSAENOBUFS
// Events a deferred wake of the takers lets pile up at most: enough to spare
// most thread switches under a stream, few enough to let the takers work
// alongside the dispatch thread.
constexpr std::size_t kWakeBatch = 32;

// Rings a forked child let go of: never read or freed, yet still reachable,
// so leak checkers do not count them.
void KeepAbandoned(mt::TouchEvent* ring) {
    static auto* const kept = new std::vector<mt::TouchEvent*>;
    kept->push_back(ring);
}

// The application's record gets the event's kind and its fields, and zero
// everywhere else; a queued slot holds only those fields (the rest is left
// from earlier events), so that an event costs the memory traffic of what it
// holds, not of the whole record.
void CopyOut(const mt::TouchEvent& slot, mt::TouchEvent* event) {
    std::memset(static_cast<void*>(event), 0, sizeof *event);
    event->kind = slot.kind;
    switch (slot.kind) {
        case mt::EVENT_FRAME:
            event->value_0 = slot.value_0;
            event->value_1 = slot.value_1;
            event->point_count = slot.point_count;
            std::memcpy(static_cast<void*>(event->points), slot.points, sizeof slot.points[0] * slot.point_count);
            break;
        case mt::EVENT_GESTURE: event->gesture = slot.gesture; break;
        case mt::EVENT_DEVICE_INFO: event->info = slot.info; break;
        case mt::EVENT_RESOLUTION:
            event->value_0 = slot.value_0;
            event->value_1 = slot.value_1;
            break;
        case mt::EVENT_ERROR: event->value_0 = slot.value_0; break;
        default: break;  // the server break has no field
    }
}

// Whole milliseconds until `deadline`, rounded up so that a wait never ends
// before it; 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

}  // namespace

EventQueue::~EventQueue() { FreeRing_locked(); }

void EventQueue::FreeRing_locked() {
    delete[] ring_;
    ring_ = nullptr;
    slots_ = capacity_ = head_ = count_ = 0;
}

int EventQueue::Open(std::int32_t capacity) {
    if (capacity < 0 || capacity > mt::MAX_QUEUED_EVENTS) return kWsaInvalid;
    const std::size_t wanted = static_cast<std::size_t>(capacity == 0 ? mt::DEFAULT_QUEUED_EVENTS : capacity);
    bool wake_producers = false;
    {
        platform::LockGuard guard(lock_);
        // Queued events stay: the new ring keeps room for all of them.
        const std::size_t slots = std::max(wanted, count_);
        if (slots != slots_) {
            // Left uninitialised: a slot gets its event's fields when an event
            // is put, and only those are read.
            auto* ring = new (std::nothrow) mt::TouchEvent[slots];
            if (ring == nullptr) return kOutOfMemory;
            int error = signal_.Open();  // keeps the handle of an open queue
            if (error != 0) {
                delete[] ring;
                return error;
            }
            for (std::size_t i = 0; i < count_; ++i) CopyOut(ring_[(head_ + i) % slots_], &ring[i]);
            delete[] ring_;
            ring_ = ring;
            slots_ = slots;
            head_ = 0;
        }
        wake_producers = wanted > capacity_ && producers_waiting_ > 0;
        capacity_ = wanted;
        open_.store(true);
    }
    if (wake_producers) has_room_.NotifyAll();
    return mt::ERR_NONE;
}

int EventQueue::Close() {
    bool wake = false;
    {
        platform::LockGuard guard(lock_);
        if (!open_.load()) return mt::ERR_NONE;
        open_.store(false);
        ++closes_;
        FreeRing_locked();
        signal_.Close();
        handle_given_ = false;
        wake_deferred_.store(false);
        wake = takers_waiting_ > 0 || producers_waiting_ > 0;
    }
    if (wake) {
        has_event_.NotifyAll();
        has_room_.NotifyAll();
    }
    return mt::ERR_NONE;
}

int EventQueue::Take(mt::TouchEvent* event, std::int32_t timeout_ms) {
    if (event == nullptr) return kWsaFault;
    if (timeout_ms < -1) return kWsaInvalid;
    // A library thread never sleeps here: the events it would wait for come
    // from the library's threads.
    if (transport::OnWorkerThread()) timeout_ms = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    bool wake_producers = false;
    {
        platform::LockGuard guard(lock_);
        const std::uint64_t closes = closes_;
        for (;;) {
            if (!open_.load() || closes_ != closes) return mt::ERR_NO_EVENT;
            if (count_ > 0) break;
            if (timeout_ms == 0) return mt::ERR_NO_EVENT;
            int wait_ms = -1;
            if (timeout_ms > 0) {
                // A wake-up before the deadline without an event waits on.
                wait_ms = MillisecondsUntil(deadline);
                if (wait_ms == 0) return mt::ERR_NO_EVENT;
            }
            ++takers_waiting_;
            if (wait_ms < 0) {
                has_event_.Wait(lock_);
            } else {
                has_event_.WaitFor(lock_, wait_ms);
            }
            --takers_waiting_;
        }
        CopyOut(ring_[head_], event);
        head_ = (head_ + 1) % slots_;
        if (--count_ == 0 && handle_given_) signal_.Reset();
        wake_producers = producers_waiting_ > 0 && count_ < capacity_;
    }
    // After the lock is released: a producer woken while it is held would
    // block on it at once.
    if (wake_producers) has_room_.NotifyAll();
    return mt::ERR_NONE;
}

std::intptr_t EventQueue::wait_handle() {
    platform::LockGuard guard(lock_);
    if (!open_.load()) return -1;
    if (!handle_given_ && count_ > 0) signal_.Set();
    handle_given_ = true;
    return signal_.handle();
}

template <typename Fill>
void EventQueue::Put(const Producer& producer, Fill fill) {
    const std::atomic<bool>& stop = producer.stop;
    if (!open_.load()) return;
    bool wake_takers = false;
    {
        platform::LockGuard guard(lock_);
        while (open_.load() && count_ >= capacity_ && !stop.load()) {
            // The takers must not sleep on through this wait.
            if (wake_deferred_.load()) {
                wake_deferred_.store(false);
                has_event_.NotifyAll();
            }
            ++producers_waiting_;
            has_room_.Wait(lock_);
            --producers_waiting_;
        }
        if (!open_.load() || count_ >= capacity_) return;  // closed or stopped: given up
        // The one copy of the event into the queue: its kind's fields, in
        // place; the rest of the slot is never read (see CopyOut).
        mt::TouchEvent& slot = ring_[(head_ + count_) % slots_];
        fill(slot);
        if (++count_ == 1 && handle_given_) signal_.Set();
        if (takers_waiting_ > 0) {
            // The stop flag is read under the lock: a stop's
            // WakeDeferredTakers either comes after this and wakes them, or
            // came before and the flag is seen set.
            const bool defer = producer.more_coming && count_ < kWakeBatch && !stop.load();
            wake_deferred_.store(defer);
            wake_takers = !defer;
        }
    }
    if (wake_takers) has_event_.NotifyAll();
}

void EventQueue::PutFrame(int frame_value_0, int frame_value_1, int point_count, const mt::TouchPoint* points,
                          const Producer& producer) {
    Put(producer, [&](mt::TouchEvent& event) {
        event.kind = mt::EVENT_FRAME;
        event.value_0 = frame_value_0;
        event.value_1 = frame_value_1;
        event.point_count = point_count;  // 0 to MAX_FRAME_POINTS, the decoder's bound
        if (point_count > 0) std::memcpy(static_cast<void*>(event.points), points, sizeof *points * point_count);
    });
}

void EventQueue::PutGesture(const mt::TouchGesture& gesture, const Producer& producer) {
    Put(producer, [&](mt::TouchEvent& event) {
        event.kind = mt::EVENT_GESTURE;
        event.gesture = gesture;
    });
}

void EventQueue::PutDeviceInfo(const mt::TouchDeviceInfo& info, const Producer& producer) {
    Put(producer, [&](mt::TouchEvent& event) {
        event.kind = mt::EVENT_DEVICE_INFO;
        event.info = info;
    });
}

void EventQueue::PutResolution(int x, int y, const Producer& producer) {
    Put(producer, [&](mt::TouchEvent& event) {
        event.kind = mt::EVENT_RESOLUTION;
        event.value_0 = x;
        event.value_1 = y;
    });
}

void EventQueue::PutServerBreak(const Producer& producer) {
    Put(producer, [](mt::TouchEvent& event) { event.kind = mt::EVENT_SERVER_BREAK; });
}

void EventQueue::PutConnected(const Producer& producer) {
    Put(producer, [](mt::TouchEvent& event) { event.kind = mt::EVENT_CONNECTED; });
}

void EventQueue::PutError(int code, const Producer& producer) {
    Put(producer, [&](mt::TouchEvent& event) {
        event.kind = mt::EVENT_ERROR;
        event.value_0 = code;
    });
}

void EventQueue::WakeDeferredTakers() {
    {
        platform::LockGuard guard(lock_);
        if (!wake_deferred_.load()) return;
        wake_deferred_.store(false);
    }
    has_event_.NotifyAll();
}

void EventQueue::WakeProducers() {
    platform::LockGuard guard(lock_);
    if (producers_waiting_ > 0) has_room_.NotifyAll();
}

bool EventQueue::has_waiting_takers() {
    platform::LockGuard guard(lock_);
    return takers_waiting_ > 0;
}

bool EventQueue::has_waiting_producers() {
    platform::LockGuard guard(lock_);
    return producers_waiting_ > 0;
}

void EventQueue::RenewAfterFork() {
    lock_.RenewAfterFork();
    has_event_.RenewAfterFork();
    has_room_.RenewAfterFork();
    if (ring_ != nullptr) KeepAbandoned(ring_);
    ring_ = nullptr;
    slots_ = capacity_ = head_ = count_ = 0;
    takers_waiting_ = producers_waiting_ = 0;
    wake_deferred_.store(false);
    ++closes_;
    open_.store(false);
    signal_.ForgetAfterFork();  // the fork handler closed the child's copy
    handle_given_ = false;
}

}  // namespace vornmt::client
