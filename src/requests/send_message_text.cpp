#include "requests/send_message_text.h"

#include "platform/lock.h"

namespace vornmt::requests {
namespace {

// Held while one message goes out, and while the connection attaches or
// detaches its socket; callers may hold a callback slot's lock (a request
// made from a callback), never the other way round. Never destroyed: a
// callback may still send while the process exits, before the unload
// teardown has stopped the worker threads.
platform::RecursiveLock& SendLock() {
    static platform::RecursiveLock* const lock = new platform::RecursiveLock;
    return *lock;
}

}  // namespace

int SendMessageText(platform::SocketHandle socket, const std::string& text, platform::SocketWakeup* cancel) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    // The NUL goes out with the text, in the same sends.
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    platform::LockGuard guard(SendLock());
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

void OutboundSocket::Attach(platform::SocketHandle socket, platform::SocketWakeup* cancel) {
    platform::LockGuard guard(SendLock());
    socket_ = socket;
    cancel_ = cancel;
    accepting_.store(true);
}

void OutboundSocket::Detach() {
    Refuse();
    platform::LockGuard guard(SendLock());
    socket_ = platform::kInvalidSocket;
    cancel_ = nullptr;
}

int OutboundSocket::Send(const std::string& text) const {
    // The lock is re-entrant: SendMessageText takes it once more.
    platform::LockGuard guard(SendLock());
    if (!accepting_.load()) return platform::kWsaNotConnected;
    return SendMessageText(socket_, text, cancel_);
}

}  // namespace vornmt::requests
