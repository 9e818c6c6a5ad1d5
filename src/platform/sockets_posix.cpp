#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/owned_descriptors_posix.h"
#include "platform/socket_errors_posix.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::platform {
namespace {

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

int LastError() { return ToWinsockError(errno); }

}  // namespace

// MSG_NOSIGNAL on every send keeps SIGPIPE away; nothing to start.
int StartSocketLayer() { return 0; }
void CleanupSocketLayer() {}

SocketHandle OpenTcpSocket(int* error) {
    OwnedDescriptorsGuard guard;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = LastError();
        return kInvalidSocket;
    }
    if (!RecordOwned_locked(fd)) {
        ::close(fd);
        *error = ToWinsockError(ENOBUFS);
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(fd);
}

namespace {

// False for a text that is not a dotted IPv4 address.
bool ParseAddress(const char* dotted_address, std::uint16_t port, sockaddr_in* address) {
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    return ::inet_pton(AF_INET, dotted_address, &address->sin_addr) == 1;
}

}  // namespace

int ConnectIpv4(SocketHandle socket, const char* dotted_address, std::uint16_t port) {
    sockaddr_in address{};
    if (!ParseAddress(dotted_address, port, &address)) return kWsaAddressInvalid;
    // A connect interrupted by a signal goes on in the background; wait for
    // its outcome instead of starting a second one.
    if (::connect(Fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return 0;
    if (errno != EINTR) return LastError();
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&peer), &length) == 0) return 0;
        int pending = 0;
        socklen_t size = sizeof pending;
        ::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &pending, &size);
        if (pending != 0) return ToWinsockError(pending);
        ::usleep(1000);
    }
}

int ConnectIpv4Interruptibly(SocketHandle socket, const char* dotted_address, std::uint16_t port,
                             SocketWakeup& wakeup) {
    sockaddr_in address{};
    if (!ParseAddress(dotted_address, port, &address)) return kWsaAddressInvalid;
    SetNonBlocking(socket);
    if (::connect(Fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return LastError();
    int error = 0;
    switch (WaitWritable(socket, wakeup, -1, &error)) {
        case WaitResult::kWoken: return kWsaInterrupted;
        case WaitResult::kFailed: return error;
        default: break;
    }
    int pending = 0;
    socklen_t size = sizeof pending;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &pending, &size) != 0) return LastError();
    return ToWinsockError(pending);
}

long Receive(SocketHandle socket, char* buffer, std::size_t capacity, int* error) {
    for (;;) {
        ssize_t n = ::recv(Fd(socket), buffer, capacity, 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        *error = LastError();
        return -1;
    }
}

long Send(SocketHandle socket, const char* data, std::size_t length, int* error) {
    for (;;) {
        ssize_t n = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        *error = LastError();
        return -1;
    }
}

void SetNonBlocking(SocketHandle socket) {
    int flags = ::fcntl(Fd(socket), F_GETFL, 0);
    if (flags >= 0) ::fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK);
}

void ShutdownSocket(SocketHandle socket) { ::shutdown(Fd(socket), SHUT_RDWR); }

void CloseSocket(SocketHandle socket) {
    OwnedDescriptorsGuard guard;
    ForgetOwned_locked(Fd(socket));
    ::close(Fd(socket));
}

}  // namespace vornmt::platform
