// The event queue's wait handle: a signal that stays set until reset, which
// an application watches in its own event loop (an eventfd on Linux, a
// manual-reset event object on Windows). The queue sets and resets it under
// its lock; the application only waits on it.
#pragma once

#include <cstdint>

namespace vornmt::platform {

class EventSignal {
public:
    EventSignal() = default;
    ~EventSignal();
    EventSignal(const EventSignal&) = delete;
    EventSignal& operator=(const EventSignal&) = delete;

    // Makes the native object, not signalled. Returns 0 or the system's error
    // number; an open signal stays as it is.
    int Open();
    void Close();
    // In a forked child, whose copy the fork handler has already closed:
    // lets go of the number without closing it again.
    void ForgetAfterFork() { handle_ = -1; }
    // Signalled from Set until Reset. Neither may be called while closed.
    void Set();
    void Reset();

    // The native handle (a descriptor, or a HANDLE), -1 while closed.
    std::intptr_t handle() const { return handle_; }

private:
    std::intptr_t handle_ = -1;
};

}  // namespace vornmt::platform
