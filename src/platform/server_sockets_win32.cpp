// WSAPoll needs the Windows Vista API level at least.
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/server_sockets.h"

namespace vornmt::platform {
namespace {

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Windows Sockets already numbers its errors the way the library reports them.
int LastError() { return ::WSAGetLastError(); }

bool AddressText(const sockaddr_storage& storage, std::string* address, int* port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (storage.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        if (!::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return false;
        *port = ::ntohs(v4.sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        if (!::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) return false;
        *port = ::ntohs(v6.sin6_port);
    } else {
        return false;
    }
    *address = text;
    return true;
}

}  // namespace

SocketHandle ListenLoopback(std::uint16_t port, std::uint16_t* bound_port, int* error) {
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) {
        *error = LastError();
        return kInvalidSocket;
    }
    // No SO_REUSEADDR: on Windows it would let another process bind the same
    // port, and a listener may be re-bound while old connections linger anyway.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        *error = LastError();
        ::closesocket(listener);
        return kInvalidSocket;
    }
    if (bound_port) *bound_port = ::ntohs(address.sin_port);
    return static_cast<SocketHandle>(listener);
}

SocketHandle AcceptClient(SocketHandle listener, int* error) {
    for (;;) {
        SOCKET client = ::accept(Native(listener), nullptr, nullptr);
        if (client != INVALID_SOCKET) return static_cast<SocketHandle>(client);
        int code = LastError();
        // A client that reset before being accepted: wait for the next one.
        if (code == WSAEINTR || code == WSAECONNRESET) continue;
        *error = code;
        return kInvalidSocket;
    }
}

void SetResetOnClose(SocketHandle socket) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
}

void SetNoDelay(SocketHandle socket) {
    BOOL on = TRUE;
    ::setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

bool LocalAddress(SocketHandle socket, std::string* address, int* port) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    return ::getsockname(Native(socket), reinterpret_cast<sockaddr*>(&storage), &length) == 0 &&
           AddressText(storage, address, port);
}

bool PeerAddress(SocketHandle socket, std::string* address, int* port) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    return ::getpeername(Native(socket), reinterpret_cast<sockaddr*>(&storage), &length) == 0 &&
           AddressText(storage, address, port);
}

// WSAPoll rather than select: an fd_set holds only FD_SETSIZE (64) sockets.
WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::vector<bool>* readable,
                           SocketWakeup& wakeup, int timeout_ms, int* error) {
    std::vector<WSAPOLLFD> watched;
    watched.reserve(sockets.size() + 1);
    watched.push_back({static_cast<SOCKET>(wakeup.watch_handle()), POLLRDNORM, 0});
    for (SocketHandle socket : sockets) watched.push_back({static_cast<SOCKET>(socket), POLLRDNORM, 0});
    for (;;) {
        int ready = ::WSAPoll(watched.data(), static_cast<ULONG>(watched.size()), timeout_ms);
        if (ready == SOCKET_ERROR) {
            int code = ::WSAGetLastError();
            if (code == WSAEINTR) continue;
            *error = code;
            return WaitResult::kFailed;
        }
        if (ready == 0) return WaitResult::kTimedOut;
        if (watched[0].revents != 0) return WaitResult::kWoken;
        // Data, an end, a hang-up or an invalid handle: the next read tells.
        readable->assign(sockets.size(), false);
        for (std::size_t i = 0; i < sockets.size(); ++i) (*readable)[i] = watched[i + 1].revents != 0;
        return WaitResult::kReadable;
    }
}

}  // namespace vornmt::platform
