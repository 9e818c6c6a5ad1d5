#include "requests/send_message_text.h"

#include "platform/lock.h"

namespace vornmt::requests {
namespace {

// Held only while one message goes out; callers may hold a callback slot's
// lock (a request made from a callback), never the other way round. Never
// destroyed: a callback may still send while the process exits, before the
// unload teardown has stopped the worker threads.
platform::RecursiveLock& SendLock() {
    static platform::RecursiveLock* const lock = new platform::RecursiveLock;
    return *lock;
}

}  // namespace

int SendMessageText(platform::SocketHandle socket, const std::string& text) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    // The NUL goes out with the text, in the same sends.
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    platform::LockGuard guard(SendLock());
    while (left > 0) {
        int error = 0;
        long sent = platform::Send(socket, data, left, &error);
        if (sent < 0) return error;
        data += sent;
        left -= static_cast<std::size_t>(sent);
    }
    return 0;
}

}  // namespace vornmt::requests
