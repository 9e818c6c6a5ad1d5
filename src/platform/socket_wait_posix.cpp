#include <cerrno>
#include <initializer_list>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/owned_descriptors_posix.h"
#include "platform/socket_errors_posix.h"
#include "platform/socket_wait.h"

namespace vornmt::platform {

SocketWakeup::SocketWakeup() : read_end_(-1), write_end_(-1) {}

SocketWakeup::~SocketWakeup() { Close(); }

int SocketWakeup::Open() {
    Close();
    OwnedDescriptorsGuard guard;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return ToWinsockError(errno);
    if (!RecordOwned_locked(ends[0]) || !RecordOwned_locked(ends[1])) {
        ForgetOwned_locked(ends[0]);
        ::close(ends[0]);
        ::close(ends[1]);
        return ToWinsockError(ENOBUFS);
    }
    read_end_ = ends[0];
    write_end_ = ends[1];
    return 0;
}

void SocketWakeup::Close() {
    OwnedDescriptorsGuard guard;
    for (std::intptr_t end : {read_end_, write_end_}) {
        if (end < 0) continue;
        ForgetOwned_locked(static_cast<int>(end));
        ::close(static_cast<int>(end));
    }
    read_end_ = write_end_ = -1;
}

void SocketWakeup::ForgetAfterFork() { read_end_ = write_end_ = -1; }

void SocketWakeup::Signal() {
    // One byte keeps the pipe readable until Clear drains it; a full pipe
    // (EAGAIN) is signalled already.
    if (write_end_ < 0) return;
    char byte = 1;
    while (::write(static_cast<int>(write_end_), &byte, 1) < 0 && errno == EINTR) {
    }
}

void SocketWakeup::Clear() {
    if (read_end_ < 0) return;
    char bytes[64];
    for (;;) {
        ssize_t n = ::read(static_cast<int>(read_end_), bytes, sizeof bytes);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        return;  // empty (EAGAIN) or closed
    }
}

namespace {

// Waits for `events` on the socket or for the wake-up. Whatever the socket
// reports (data, room, end of stream, hang-up or error) counts as `ready`:
// the next read or send tells which.
WaitResult WaitFor(SocketHandle socket, short events, WaitResult ready_result, SocketWakeup& wakeup, int timeout_ms,
                   int* error) {
    pollfd watched[2] = {{static_cast<int>(socket), events, 0}, {static_cast<int>(wakeup.watch_handle()), POLLIN, 0}};
    for (;;) {
        int ready = ::poll(watched, 2, timeout_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            *error = ToWinsockError(errno);
            return WaitResult::kFailed;
        }
        if (ready == 0) return WaitResult::kTimedOut;
        if (watched[1].revents != 0) return WaitResult::kWoken;
        if (watched[0].revents & POLLNVAL) {
            *error = kWsaNotSocket;
            return WaitResult::kFailed;
        }
        return ready_result;
    }
}

}  // namespace

WaitResult WaitReadable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error) {
    return WaitFor(socket, POLLIN, WaitResult::kReadable, wakeup, timeout_ms, error);
}

WaitResult WaitWritable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error) {
    return WaitFor(socket, POLLOUT, WaitResult::kWritable, wakeup, timeout_ms, error);
}

WaitResult WaitForWakeup(SocketWakeup& wakeup, int timeout_ms, int* error) {
    pollfd watched{static_cast<int>(wakeup.watch_handle()), POLLIN, 0};
    for (;;) {
        int ready = ::poll(&watched, 1, timeout_ms);
        if (ready > 0) return WaitResult::kWoken;
        if (ready == 0) return WaitResult::kTimedOut;
        if (errno == EINTR) continue;  // a signal restarts the whole wait; callers bound it anyway
        *error = ToWinsockError(errno);
        return WaitResult::kFailed;
    }
}

}  // namespace vornmt::platform
