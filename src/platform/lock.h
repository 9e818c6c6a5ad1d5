// The library's lock: re-entrant for its holder (a critical section on
// Windows, a recursive mutex on POSIX), plus a condition to sleep on while
// holding it once. Waits have no time-out unless they say so.
#pragma once

#include <memory>

namespace vornmt::platform {

class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Lock();
    void Unlock();
    // In a forked child: replaces the native lock, which a thread of the
    // parent may have held at the fork, with a new one, and leaves the copy
    // undestroyed.
    void RenewAfterFork();

private:
    friend class Condition;
    struct Native;
    std::unique_ptr<Native> native_;
};

// Scoped holder; releases also when an exception leaves the block.
class LockGuard {
public:
    explicit LockGuard(RecursiveLock& lock) : lock_(lock) { lock_.Lock(); }
    ~LockGuard() { lock_.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    RecursiveLock& lock_;
};

// Condition variable used with a RecursiveLock that the waiter holds exactly once.
class Condition {
public:
    Condition();
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // Releases `lock` while asleep; may wake spuriously, so callers loop.
    void Wait(RecursiveLock& lock);
    // The same, returning after about `timeout_ms` (measured on a monotonic
    // clock) at the latest; callers keep their own deadline.
    void WaitFor(RecursiveLock& lock, int timeout_ms);
    void NotifyAll();
    // In a forked child: the copy lists the parent's waiters, and signalling
    // or destroying it can wait for them for ever; replaces it with a new
    // condition and leaves the copy undestroyed.
    void RenewAfterFork();

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

}  // namespace vornmt::platform
