#include <windows.h>

#include "platform/lock.h"

namespace vornmt::platform {

// A critical section counts its holder's re-entries itself.
struct RecursiveLock::Native {
    CRITICAL_SECTION section;
};

RecursiveLock::RecursiveLock() : native_(new Native) { ::InitializeCriticalSection(&native_->section); }
RecursiveLock::~RecursiveLock() { ::DeleteCriticalSection(&native_->section); }
void RecursiveLock::Lock() { ::EnterCriticalSection(&native_->section); }
void RecursiveLock::Unlock() { ::LeaveCriticalSection(&native_->section); }

// Windows has no fork; kept for the common interface.
void RecursiveLock::RenewAfterFork() {
    static_cast<void>(native_.release());
    native_.reset(new Native);
    ::InitializeCriticalSection(&native_->section);
}

// A condition variable needs no clean-up.
struct Condition::Native {
    CONDITION_VARIABLE condition;
};

Condition::Condition() : native_(new Native) { ::InitializeConditionVariable(&native_->condition); }
Condition::~Condition() = default;

void Condition::Wait(RecursiveLock& lock) {
    ::SleepConditionVariableCS(&native_->condition, &lock.native_->section, INFINITE);
}

// The time-out runs on the system's tick count, which the wall clock's
// changes do not move.
void Condition::WaitFor(RecursiveLock& lock, int timeout_ms) {
    ::SleepConditionVariableCS(&native_->condition, &lock.native_->section, static_cast<DWORD>(timeout_ms));
}

void Condition::NotifyAll() { ::WakeAllConditionVariable(&native_->condition); }

void Condition::RenewAfterFork() {
    static_cast<void>(native_.release());
    native_.reset(new Native);
    ::InitializeConditionVariable(&native_->condition);
}

}  // namespace vornmt::platform
