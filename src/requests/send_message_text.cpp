#include "requests/send_message_text.h"

#include "platform/send_all.h"

namespace vornmt::requests {
namespace {

// Serialises SendMessageText calls on sockets no OutboundSocket owns (tests,
// tools); callers may hold a callback slot's lock, never the other way round.
// Never destroyed, so a send during process exit never meets a destroyed lock.
platform::RecursiveLock& StandaloneSendLock() {
    static platform::RecursiveLock* const lock = new platform::RecursiveLock;
    return *lock;
}

// The send itself, the NUL going out with the text; the caller holds the
// lock that keeps messages whole.
int SendWhole(platform::SocketHandle socket, const std::string& text, platform::SocketWakeup* cancel) {
    return platform::SendAll(socket, text.c_str(), text.size() + 1, cancel);
}

}  // namespace

int SendMessageText(platform::SocketHandle socket, const std::string& text) {
    platform::LockGuard guard(StandaloneSendLock());
    return SendWhole(socket, text, nullptr);
}

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
    return SendWhole(socket_, text, cancel_);
}

}  // namespace vornmt::requests
