// First-in first-out queue of complete message texts from the receive thread
// to the dispatch thread, under the queue lock. Bounded in bytes without losing
// anything: the receive thread waits for room instead of dropping. Sleeping
// threads wait on a condition, so a new text or a stop request wakes them at
// once. Created at load; connecting and disconnecting leave its texts in place.
// A text is counted by the memory it takes, not by its length.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "transport/limits.h"

namespace vornmt::transport {

class MessageQueue {
public:
    explicit MessageQueue(std::size_t max_queued_bytes = kMaxQueuedBytes,
                          std::size_t resume_queued_bytes = kResumeQueuedBytes)
        : max_queued_bytes_(max_queued_bytes), resume_queued_bytes_(resume_queued_bytes) {}
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Receive thread: appends the whole batch in one locked step and empties it.
    void Append(std::vector<std::string>& batch);
    // Receive thread: waits while the queue is full. False when `stop` was set.
    bool WaitForRoom(const std::atomic<bool>& stop);
    // Receive thread, after the connection has ended: waits for `stop`.
    void WaitForStop(const std::atomic<bool>& stop);
    // Dispatch thread: waits for the front text and moves it out. False when
    // `stop` was set; the texts then stay for the next connection. Each text
    // taken is followed by FinishedRouting once it has been delivered.
    bool WaitAndTake(const std::atomic<bool>& stop, std::string* text);
    void FinishedRouting();
    // Receive thread, after the connection has ended: waits until every text
    // queued so far has been delivered (or `stop`), so that the end of the
    // connection is reported after the messages that preceded it.
    void WaitUntilDelivered(const std::atomic<bool>& stop);
    // Wakes every waiter so that it sees a stop flag just set.
    void WakeAll();
    // In a forked child, which has none of the threads that may have held
    // the lock, waited on the condition or been halfway through adding or
    // taking a text at the fork: a fresh lock, condition and empty storage.
    // The parent's texts are not the child's to deliver, and its copy of the
    // storage may be torn, so it is left unread and undestroyed.
    void RenewAfterFork();

    std::size_t size();
    std::size_t queued_bytes();

private:
    const std::size_t max_queued_bytes_;
    const std::size_t resume_queued_bytes_;
    platform::RecursiveLock lock_;  // the queue lock: guards everything below
    platform::Condition changed_;
    // By pointer, so that a forked child can abandon the parent's copy.
    std::unique_ptr<std::deque<std::string>> texts_{new std::deque<std::string>};
    std::size_t queued_bytes_ = 0;
    bool routing_ = false;  // a taken text is being delivered
    bool taker_waiting_ = false;
    bool appender_waiting_ = false;
    bool delivery_waiter_ = false;
};

}  // namespace vornmt::transport
