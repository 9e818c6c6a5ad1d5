#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/lock.h"

namespace vornmt::platform {
namespace {

// Natives a forked child replaced: never destroyed, yet still reachable, so
// leak checkers do not count them.
template <typename Native>
void KeepUndestroyed(std::unique_ptr<Native>& native) {
    static auto* const kept = new std::vector<void*>;
    kept->push_back(native.release());
}

}  // namespace

struct RecursiveLock::Native {
    std::recursive_mutex mutex;
};

RecursiveLock::RecursiveLock() : native_(new Native) {}
RecursiveLock::~RecursiveLock() = default;
void RecursiveLock::Lock() { native_->mutex.lock(); }
void RecursiveLock::Unlock() { native_->mutex.unlock(); }

void RecursiveLock::RenewAfterFork() {
    KeepUndestroyed(native_);
    native_.reset(new Native);
}

struct Condition::Native {
    std::condition_variable_any condition;
};

Condition::Condition() : native_(new Native) {}
Condition::~Condition() = default;

void Condition::Wait(RecursiveLock& lock) {
    std::unique_lock<std::recursive_mutex> held(lock.native_->mutex, std::adopt_lock);
    native_->condition.wait(held);
    held.release();  // the caller still owns its one hold
}

void Condition::WaitFor(RecursiveLock& lock, int timeout_ms) {
    std::unique_lock<std::recursive_mutex> held(lock.native_->mutex, std::adopt_lock);
    native_->condition.wait_for(held, std::chrono::milliseconds(timeout_ms));  // steady clock
    held.release();
}

void Condition::NotifyAll() { native_->condition.notify_all(); }

void Condition::RenewAfterFork() {
    KeepUndestroyed(native_);
    native_.reset(new Native);
}

}  // namespace vornmt::platform
