// Waiting for a socket to become readable, or for another thread to ask the
// waiter to stop. The stop request must wake the waiter at once, so that a
// disconnect never waits for a time-out.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace vornmt::platform {

// A wake-up another thread can signal to interrupt WaitReadable. Owned by the
// connection; created after the socket layer has started.
class SocketWakeup {
public:
    SocketWakeup();
    ~SocketWakeup();
    SocketWakeup(const SocketWakeup&) = delete;
    SocketWakeup& operator=(const SocketWakeup&) = delete;

    // Returns 0 or an error number.
    int Open();
    void Close();
    // In a forked child, whose copies of the ends the fork handler has
    // already closed: lets go of the numbers without closing them again.
    void ForgetAfterFork();
    // Any thread; stays signalled until Clear or Close.
    void Signal();
    // The waiter's thread: takes back every signal given so far, so that a
    // wake-up that asks for nothing cannot keep WaitReadable returning.
    void Clear();

    // The native object the waiter watches (a pipe end on POSIX, a
    // self-connected UDP socket on Windows).
    std::intptr_t watch_handle() const { return read_end_; }

private:
    std::intptr_t read_end_;
    std::intptr_t write_end_;
};

enum class WaitResult { kReadable, kWritable, kWoken, kTimedOut, kFailed };

// Waits until `socket` has data (or an end of stream or error to report), the
// wake-up is signalled, or `timeout_ms` passes (-1: no time-out). On kFailed
// *error holds the number. Interrupted waits are retried.
WaitResult WaitReadable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error);

// The same for room to send: kWritable once `socket` takes more bytes (or has
// an error for the next send to report), kWoken when the wake-up is signalled.
WaitResult WaitWritable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error);

// Waits until the wake-up is signalled (kWoken) or `timeout_ms` passes
// (kTimedOut); a sleep that a stop request ends at once.
WaitResult WaitForWakeup(SocketWakeup& wakeup, int timeout_ms, int* error);

}  // namespace vornmt::platform
