// The one way outbound messages reach the wire: the text and its NUL, sent
// whole on the application's calling thread, under the send lock.
#pragma once

#include <atomic>
#include <string>

#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::requests {

// Sends `text` and one NUL byte, continuing after partial sends until all of
// it is out. A send lock keeps two threads' messages from interleaving.
// On a non-blocking socket it waits for room itself, until `cancel` (if
// given) is signalled. Returns 0, 10057 (not connected, nothing sent) for an
// invalid socket, 10058 (shut down) when cancelled, or the socket error
// number of the failed send.
int SendMessageText(platform::SocketHandle socket, const std::string& text,
                    platform::SocketWakeup* cancel = nullptr);

// The socket requests send on. The connection attaches it after connecting
// and detaches it, under the send lock, before closing it, so a request never
// sends on a handle that was closed under it (and that the application may
// already have been given again for a file or another socket). Requests run
// on application threads and in callbacks; Attach and Detach run on the
// thread that connects or disconnects, Refuse also in a callback that
// disconnects.
class OutboundSocket {
public:
    OutboundSocket() = default;
    // A fixed socket, for sending on a socket nobody detaches (tests, tools).
    explicit OutboundSocket(platform::SocketHandle socket) : socket_(socket), accepting_(true) {}
    OutboundSocket(const OutboundSocket&) = delete;
    OutboundSocket& operator=(const OutboundSocket&) = delete;

    // `socket` is non-blocking; a send waiting for room ends when `cancel`
    // is signalled.
    void Attach(platform::SocketHandle socket, platform::SocketWakeup* cancel);
    // From now on requests get 10057; one already sending goes on until the
    // caller signals the cancel wake-up. Takes no lock, so a disconnect from
    // a callback never waits for a blocked send.
    void Refuse() { accepting_.store(false); }
    // Waits for a send in progress (the caller has signalled the cancel
    // wake-up, so it ends at once) and forgets the socket, which the caller
    // then closes.
    void Detach();

    // SendMessageText on the attached socket, or 10057 without one.
    int Send(const std::string& text) const;

private:
    platform::SocketHandle socket_ = platform::kInvalidSocket;  // under the send lock
    platform::SocketWakeup* cancel_ = nullptr;                  // under the send lock
    std::atomic<bool> accepting_{false};
};

}  // namespace vornmt::requests
