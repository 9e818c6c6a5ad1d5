#include "transport/message_queue.h"

namespace vornmt::transport {
namespace {

// The heap's own cost of a block: a header before it and rounding to a
// granule, with a smallest block (64-bit glibc: an 8-byte header, 16-byte
// granules, 32-byte blocks; Windows' heap: a 16-byte header). The larger
// header counts everywhere, so the bound is never exceeded.
constexpr std::size_t kHeapHeaderBytes = 16;
constexpr std::size_t kHeapGranuleBytes = 16;
constexpr std::size_t kSmallestHeapBlock = 32;

// A text's place in the queue: the string itself, and its share of the
// blocks the queue keeps strings in (a header per 16 strings) and of their
// index, which grows by doubling: about 3 bytes, counted as 8.
constexpr std::size_t kQueueSlotBytes = sizeof(std::string) + 8;

std::size_t HeapBlockBytes(std::size_t requested) {
    std::size_t block = (requested + kHeapHeaderBytes + kHeapGranuleBytes - 1) / kHeapGranuleBytes * kHeapGranuleBytes;
    return block < kSmallestHeapBlock ? kSmallestHeapBlock : block;
}

// The memory a queued text holds: its place in the queue, and the heap
// block of its buffer, sized by its capacity (a text grown by appending may
// hold up to twice its length) and its NUL, unless a short text lives inside
// the string itself. So a flood of short or empty texts is bounded too.
std::size_t QueuedCost(const std::string& text) {
    const char* data = text.data();
    const bool inside = data >= reinterpret_cast<const char*>(&text) &&
                        data < reinterpret_cast<const char*>(&text) + sizeof text;
    return kQueueSlotBytes + (inside ? 0 : HeapBlockBytes(text.capacity() + 1));
}

}  // namespace

void MessageQueue::Append(std::vector<std::string>& batch) {
    if (batch.empty()) return;
    bool wake_taker = false;
    {
        platform::LockGuard guard(lock_);
        for (std::string& text : batch) {
            texts_->push_back(std::move(text));
            queued_bytes_ += QueuedCost(texts_->back());
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
    while (texts_->empty() && !stop.load()) {
        taker_waiting_ = true;
        changed_.Wait(lock_);
    }
    taker_waiting_ = false;
    if (stop.load()) return false;
    queued_bytes_ -= QueuedCost(texts_->front());
    *text = std::move(texts_->front());
    texts_->pop_front();
    routing_ = true;
    if (appender_waiting_ && queued_bytes_ < resume_queued_bytes_) changed_.NotifyAll();
    return true;
}

void MessageQueue::FinishedRouting() {
    platform::LockGuard guard(lock_);
    routing_ = false;
    if (delivery_waiter_ && texts_->empty()) changed_.NotifyAll();
}

void MessageQueue::WaitUntilDelivered(const std::atomic<bool>& stop) {
    platform::LockGuard guard(lock_);
    while ((routing_ || !texts_->empty()) && !stop.load()) {
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
    static auto* const abandoned = new std::vector<std::deque<std::string>*>;  // reachable for leak checkers
    abandoned->push_back(texts_.release());
    texts_.reset(new std::deque<std::string>);
    queued_bytes_ = 0;
    routing_ = taker_waiting_ = appender_waiting_ = delivery_waiter_ = false;
}

std::size_t MessageQueue::size() {
    platform::LockGuard guard(lock_);
    return texts_->size();
}

std::size_t MessageQueue::queued_bytes() {
    platform::LockGuard guard(lock_);
    return queued_bytes_;
}

}  // namespace vornmt::transport
