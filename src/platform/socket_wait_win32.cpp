#include <winsock2.h>

#include "platform/socket_wait.h"

namespace vornmt::platform {
namespace {

constexpr std::intptr_t kNone = -1;

SOCKET Native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

// One UDP socket connected to itself serves as both ends: select can only
// watch sockets, and a datagram sent to itself makes it readable.
SocketWakeup::SocketWakeup() : read_end_(kNone), write_end_(kNone) {}

SocketWakeup::~SocketWakeup() { Close(); }

int SocketWakeup::Open() {
    Close();
    SOCKET wake = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (wake == INVALID_SOCKET) return ::WSAGetLastError();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    // Non-blocking, so that Signal never waits on a receive buffer that is
    // full of earlier signals.
    u_long non_blocking = 1;
    if (::bind(wake, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(wake, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::connect(wake, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::ioctlsocket(wake, FIONBIO, &non_blocking) != 0) {
        int error = ::WSAGetLastError();
        ::closesocket(wake);
        return error;
    }
    read_end_ = write_end_ = static_cast<std::intptr_t>(wake);
    return 0;
}

void SocketWakeup::Close() {
    if (read_end_ != kNone) ::closesocket(Native(read_end_));
    read_end_ = write_end_ = kNone;
}

// Windows has no fork.
void SocketWakeup::ForgetAfterFork() { read_end_ = write_end_ = kNone; }

void SocketWakeup::Signal() {
    // One datagram keeps the socket readable until Clear reads it; a send
    // refused because earlier ones fill the buffer changes nothing.
    if (write_end_ == kNone) return;
    char byte = 1;
    ::send(Native(write_end_), &byte, 1, 0);
}

void SocketWakeup::Clear() {
    if (read_end_ == kNone) return;
    char bytes[64];
    // Non-blocking: reads until nothing is left (WSAEWOULDBLOCK).
    while (::recv(Native(read_end_), bytes, sizeof bytes, 0) > 0) {
    }
}

namespace {

// Waits for the socket to be readable (or, `for_writing`, writable or
// failed) or for the wake-up. Whatever the socket reports (data, room, end
// of stream or a reset) counts as `ready_result`: the next read or send
// tells which.
WaitResult WaitFor(SocketHandle socket, bool for_writing, WaitResult ready_result, SocketWakeup& wakeup,
                   int timeout_ms, int* error) {
    SOCKET data = static_cast<SOCKET>(socket);
    SOCKET wake = Native(wakeup.watch_handle());
    for (;;) {
        fd_set readable, writable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(wake, &readable);
        if (for_writing) {
            FD_SET(data, &writable);
            FD_SET(data, &failed);
        } else {
            FD_SET(data, &readable);
        }
        timeval limit{};
        limit.tv_sec = timeout_ms / 1000;
        limit.tv_usec = (timeout_ms % 1000) * 1000;
        // The first argument is ignored on Windows.
        int ready = ::select(0, &readable, for_writing ? &writable : nullptr, for_writing ? &failed : nullptr,
                             timeout_ms < 0 ? nullptr : &limit);
        if (ready == SOCKET_ERROR) {
            int code = ::WSAGetLastError();
            if (code == WSAEINTR) continue;
            *error = code;
            return WaitResult::kFailed;
        }
        if (ready == 0) return WaitResult::kTimedOut;
        if (FD_ISSET(wake, &readable)) return WaitResult::kWoken;
        return ready_result;
    }
}

}  // namespace

WaitResult WaitReadable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error) {
    return WaitFor(socket, false, WaitResult::kReadable, wakeup, timeout_ms, error);
}

WaitResult WaitWritable(SocketHandle socket, SocketWakeup& wakeup, int timeout_ms, int* error) {
    return WaitFor(socket, true, WaitResult::kWritable, wakeup, timeout_ms, error);
}

WaitResult WaitForWakeup(SocketWakeup& wakeup, int timeout_ms, int* error) {
    SOCKET wake = Native(wakeup.watch_handle());
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(wake, &readable);
        timeval limit{};
        limit.tv_sec = timeout_ms / 1000;
        limit.tv_usec = (timeout_ms % 1000) * 1000;
        int ready = ::select(0, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit);
        if (ready > 0) return WaitResult::kWoken;
        if (ready == 0) return WaitResult::kTimedOut;
        int code = ::WSAGetLastError();
        if (code == WSAEINTR) continue;
        *error = code;
        return WaitResult::kFailed;
    }
}

}  // namespace vornmt::platform
