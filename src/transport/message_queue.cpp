#include "transport/message_queue.h"

namespace vornmt::transport {
namespace {

// What one queued text costs besides its buffer, so that a flood of empty
// texts is bounded too.
constexpr std::size_t kPerTextBytes = sizeof(std::string);

// The memory a queued text holds: its allocated capacity (a text grown by
// appending may hold up to twice its length), not its length.
std::size_t QueuedCost(const std::string& text) { return text.capacity() + kPerTextBytes; }

}  // namespace

void MessageQueue::Append(std::vector<std::string>& batch) {
    if (batch.empty()) return;
    bool wake_taker = false;
    {
        platform::LockGuard guard(lock_);
        for (std::string& text : batch) {
            queued_bytes_ += QueuedCost(text);
            texts_.push_back(std::move(text));
        }
        batch.clear();
        wake_taker = taker_waiting_;
    }
    // Notified after the lock is released: a dispatch thread woken while the
    // lock is still held would at once block on it and need a second wake-up.
    if (wake_taker) changed_.NotifyAll();
}

bool MessageQueue::WaitForRoom(const std::atomic<bool>& stop) {
    platform::LockGuard guard(lock_);
    while (queued_bytes_ >= max_queued_bytes_ && !stop.load()) {
        appender_waiting_ = true;
        changed_.Wait(lock_);
    }
    appender_waiting_ = false;
    return !stop.load();
}

void MessageQueue::WaitForStop(const std::atomic<bool>& stop) {
    platform::LockGuard guard(lock_);
    while (!stop.load()) changed_.Wait(lock_);
}

bool MessageQueue::WaitAndTake(const std::atomic<bool>& stop, std::string* text) {
    platform::LockGuard guard(lock_);
    while (texts_.empty() && !stop.load()) {
        taker_waiting_ = true;
        changed_.Wait(lock_);
    }
    taker_waiting_ = false;
    if (stop.load()) return false;
    queued_bytes_ -= QueuedCost(texts_.front());
    *text = std::move(texts_.front());
    texts_.pop_front();
    routing_ = true;
    if (appender_waiting_ && queued_bytes_ < resume_queued_bytes_) changed_.NotifyAll();
    return true;
}

void MessageQueue::FinishedRouting() {
    platform::LockGuard guard(lock_);
    routing_ = false;
    if (delivery_waiter_ && texts_.empty()) changed_.NotifyAll();
}

void MessageQueue::WaitUntilDelivered(const std::atomic<bool>& stop) {
    platform::LockGuard guard(lock_);
    while ((routing_ || !texts_.empty()) && !stop.load()) {
        delivery_waiter_ = true;
        changed_.Wait(lock_);
    }
    delivery_waiter_ = false;
}

void MessageQueue::WakeAll() {
    platform::LockGuard guard(lock_);
    changed_.NotifyAll();
}

void MessageQueue::RenewAfterFork() {
    lock_.RenewAfterFork();
    changed_.RenewAfterFork();
    routing_ = taker_waiting_ = appender_waiting_ = delivery_waiter_ = false;
}

std::size_t MessageQueue::size() {
    platform::LockGuard guard(lock_);
    return texts_.size();
}

std::size_t MessageQueue::queued_bytes() {
    platform::LockGuard guard(lock_);
    return queued_bytes_;
}

}  // namespace vornmt::transport
