// Waiting for a condition that other threads of a test bring about, with a
// deadline, where no event log fits (counters advanced in tight loops).
#pragma once

#include <chrono>
#include <thread>

namespace vornmt::testing {

// True once `done()` holds, false at the deadline. Yields between looks.
template <typename Predicate>
bool WaitUntil(Predicate done, int timeout_ms = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace vornmt::testing
