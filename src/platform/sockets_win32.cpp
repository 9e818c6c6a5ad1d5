#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstring>

#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::platform {
namespace {

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Windows Sockets already numbers its errors the way the library reports them.
int LastError() { return ::WSAGetLastError(); }

int ClampLength(std::size_t length) { return length > INT_MAX ? INT_MAX : static_cast<int>(length); }

}  // namespace

int StartSocketLayer() {
    WSADATA data;
    // WSAStartup returns its error itself; WSAGetLastError needs a started layer.
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

void CleanupSocketLayer() { ::WSACleanup(); }

SocketHandle OpenTcpSocket(int* error) {
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        *error = LastError();
        return kInvalidSocket;
    }
    // Child processes must not inherit the connection (POSIX opens it close-on-exec).
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return static_cast<SocketHandle>(socket);
}

namespace {

// False for a text that is not an IPv4 address inet_addr takes.
bool ParseAddress(const char* dotted_address, std::uint16_t port, sockaddr_in* address) {
    if (dotted_address == nullptr) return false;
    // inet_addr answers INADDR_NONE both for a text it rejects and for the
    // broadcast address itself; only the latter is an address.
    unsigned long ip = ::inet_addr(dotted_address);
    if (ip == INADDR_NONE && std::strcmp(dotted_address, "255.255.255.255") != 0) return false;
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = ::htons(port);
    address->sin_addr.s_addr = ip;
    return true;
}

}  // namespace

int ConnectIpv4(SocketHandle socket, const char* dotted_address, std::uint16_t port) {
    sockaddr_in address{};
    if (!ParseAddress(dotted_address, port, &address)) return kWsaAddressInvalid;
    // A blocking connect is not interrupted on Windows, so there is nothing to retry.
    if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    return LastError();
}

int ConnectIpv4Interruptibly(SocketHandle socket, const char* dotted_address, std::uint16_t port,
                             SocketWakeup& wakeup) {
    sockaddr_in address{};
    if (!ParseAddress(dotted_address, port, &address)) return kWsaAddressInvalid;
    SetNonBlocking(socket);
    if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    int code = LastError();
    if (code != WSAEWOULDBLOCK) return code;
    int error = 0;
    switch (WaitWritable(socket, wakeup, -1, &error)) {
        case WaitResult::kWoken: return kWsaInterrupted;
        case WaitResult::kFailed: return error;
        default: break;
    }
    // A failed attempt is reported in the exception set, its cause in SO_ERROR.
    int pending = 0;
    int size = sizeof pending;
    if (::getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &size) != 0) {
        return LastError();
    }
    return pending;
}

long Receive(SocketHandle socket, char* buffer, std::size_t capacity, int* error) {
    for (;;) {
        int n = ::recv(Native(socket), buffer, ClampLength(capacity), 0);
        if (n != SOCKET_ERROR) return n;
        int code = LastError();
        if (code == WSAEINTR) continue;
        *error = code;
        return -1;
    }
}

long Send(SocketHandle socket, const char* data, std::size_t length, int* error) {
    for (;;) {
        int n = ::send(Native(socket), data, ClampLength(length), 0);
        if (n != SOCKET_ERROR) return n;
        int code = LastError();
        if (code == WSAEINTR) continue;
        *error = code;
        return -1;
    }
}

void SetNonBlocking(SocketHandle socket) {
    u_long non_blocking = 1;
    ::ioctlsocket(Native(socket), FIONBIO, &non_blocking);
}

void ShutdownSocket(SocketHandle socket) { ::shutdown(Native(socket), SD_BOTH); }

void CloseSocket(SocketHandle socket) { ::closesocket(Native(socket)); }

}  // namespace vornmt::platform
