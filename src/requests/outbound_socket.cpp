#include "requests/outbound_socket.h"

#include "platform/send_all.h"

namespace vornmt::requests {

void OutboundSocket::Attach(platform::SocketHandle socket, platform::SocketWakeup* cancel) {
    platform::LockGuard guard(send_lock_);
    socket_ = socket;
    cancel_ = cancel;
    accepting_.store(true);
}

void OutboundSocket::Detach() {
    Refuse();
    platform::LockGuard guard(send_lock_);
    socket_ = platform::kInvalidSocket;
    cancel_ = nullptr;
}

void OutboundSocket::RenewAfterFork() {
    send_lock_.RenewAfterFork();
    Detach();
}

int OutboundSocket::Send(const std::string& text) const {
    platform::LockGuard guard(send_lock_);
    if (!accepting_.load()) return platform::kWsaNotConnected;
    // The NUL goes out with the text: c_str() holds it past size().
    return platform::SendAll(socket_, text.c_str(), text.size() + 1, cancel_);
}

}  // namespace vornmt::requests
