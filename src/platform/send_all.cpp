#include "platform/send_all.h"

#include <algorithm>
#include <chrono>

namespace vornmt::platform {

int SendAll(SocketHandle socket, const char* data, std::size_t size, SocketWakeup* cancel, int stall_timeout_ms) {
    using Clock = std::chrono::steady_clock;
    if (socket == kInvalidSocket) return kWsaNotConnected;
    // When the socket last took a byte (or the send began).
    Clock::time_point progressed = Clock::now();
    while (size > 0) {
        int error = 0;
        long sent = Send(socket, data, size, &error);
        if (sent >= 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            progressed = Clock::now();
            continue;
        }
        if (error != kWsaWouldBlock || cancel == nullptr) return error;
        int wait_ms = -1;
        if (stall_timeout_ms >= 0) {
            const auto waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - progressed).count();
            wait_ms = static_cast<int>(std::max<long long>(stall_timeout_ms - waited, 0));
        }
        switch (WaitWritable(socket, *cancel, wait_ms, &error)) {
            case WaitResult::kWoken:
                return kWsaShutdown;
            case WaitResult::kTimedOut:
                return kWsaTimedOut;
            case WaitResult::kFailed:
                return error;
            default:
                break;  // room, or an error the next send reports
        }
    }
    return 0;
}

}  // namespace vornmt::platform
