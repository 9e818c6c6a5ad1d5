#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/server_sockets.h"
#include "platform/socket_errors_posix.h"

namespace vornmt::platform {
namespace {

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

int LastError() { return ToWinsockError(errno); }

bool AddressText(const sockaddr_storage& storage, std::string* address, int* port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (storage.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        if (!::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return false;
        *port = ntohs(v4.sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        if (!::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) return false;
        *port = ntohs(v6.sin6_port);
    } else {
        return false;
    }
    *address = text;
    return true;
}

}  // namespace

SocketHandle ListenLoopback(std::uint16_t port, std::uint16_t* bound_port, int* error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = LastError();
        return kInvalidSocket;
    }
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        *error = LastError();
        ::close(fd);
        return kInvalidSocket;
    }
    if (bound_port) *bound_port = ntohs(address.sin_port);
    return static_cast<SocketHandle>(fd);
}

SocketHandle AcceptClient(SocketHandle listener, int* error) {
    for (;;) {
        int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) return static_cast<SocketHandle>(fd);
        if (errno == EINTR || errno == ECONNABORTED) continue;
        *error = LastError();
        return kInvalidSocket;
    }
}

void SetResetOnClose(SocketHandle socket) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    ::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

void SetNoDelay(SocketHandle socket) {
    int on = 1;
    ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool LocalAddress(SocketHandle socket, std::string* address, int* port) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    return ::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&storage), &length) == 0 &&
           AddressText(storage, address, port);
}

bool PeerAddress(SocketHandle socket, std::string* address, int* port) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    return ::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&storage), &length) == 0 &&
           AddressText(storage, address, port);
}

WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::vector<bool>* readable,
                           SocketWakeup& wakeup, int timeout_ms, int* error) {
    std::vector<pollfd> watched;
    watched.reserve(sockets.size() + 1);
    watched.push_back({static_cast<int>(wakeup.watch_handle()), POLLIN, 0});
    for (SocketHandle socket : sockets) watched.push_back({static_cast<int>(socket), POLLIN, 0});
    for (;;) {
        int ready = ::poll(watched.data(), watched.size(), timeout_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            *error = ToWinsockError(errno);
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
