#include "platform/send_all.h"

namespace vornmt::platform {

int SendAll(SocketHandle socket, const char* data, std::size_t size, SocketWakeup* cancel) {
    if (socket == kInvalidSocket) return kWsaNotConnected;
    while (size > 0) {
        int error = 0;
        long sent = Send(socket, data, size, &error);
        if (sent >= 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (error != kWsaWouldBlock || cancel == nullptr) return error;
        switch (WaitWritable(socket, *cancel, -1, &error)) {
            case WaitResult::kWoken:
                return kWsaShutdown;
            case WaitResult::kFailed:
                return error;
            default:
                break;  // room, or an error the next send reports
        }
    }
    return 0;
}

}  // namespace vornmt::platform
