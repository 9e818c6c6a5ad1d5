#include "requests/send_message_text.h"

namespace vornmt::requests {
namespace {

// Serialises SendMessageText calls on sockets no OutboundSocket owns (tests,
// tools); callers may hold a callback slot's lock, never the other way round.
// Never destroyed, so a send during process exit never meets a destroyed lock.
platform::RecursiveLock& StandaloneSendLock() {
    static platform::RecursiveLock* const lock = new platform::RecursiveLock;
    return *lock;
}

// The send itself; the caller holds the lock that keeps messages whole.
int SendWhole(platform::SocketHandle socket, const std::string& text, platform::SocketWakeup* cancel) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    // The NUL goes out with the text, in the same sends.
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        int error = 0;
        long sent = platform::Send(socket, data, left, &error);
        if (sent >= 0) {
            data += sent;
            left -= static_cast<std::size_t>(sent);
            continue;
        }
        if (error != platform::kWsaWouldBlock || cancel == nullptr) return error;
        switch (platform::WaitWritable(socket, *cancel, -1, &error)) {
            case platform::WaitResult::kWoken:
                return platform::kWsaShutdown;
            case platform::WaitResult::kFailed:
                return error;
            default:
                break;  // room, or an error the next send reports
        }
    }
    return 0;
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
