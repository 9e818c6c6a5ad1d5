// TCP sockets over IPv4, the only socket kind the library uses. Every error
// number returned here is a Windows Sockets number on every platform
// (ECONNREFUSED is 10061), so applications see the same codes everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vornmt::platform {

// SOCKET on Windows, a file descriptor on POSIX.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Windows Sockets numbers the library itself names.
constexpr int kWsaInterrupted = 10004;     // WSAEINTR
constexpr int kWsaWouldBlock = 10035;      // WSAEWOULDBLOCK
constexpr int kWsaNotSocket = 10038;       // WSAENOTSOCK
constexpr int kWsaAddressInvalid = 10049;  // WSAEADDRNOTAVAIL
constexpr int kWsaConnectionAborted = 10053;  // WSAECONNABORTED
constexpr int kWsaConnectionReset = 10054;    // WSAECONNRESET
constexpr int kWsaNotConnected = 10057;       // WSAENOTCONN
constexpr int kWsaShutdown = 10058;           // WSAESHUTDOWN
constexpr int kWsaTimedOut = 10060;           // WSAETIMEDOUT
constexpr int kWsaConnectionRefused = 10061;  // WSAECONNREFUSED

// Starts the socket layer (WSAStartup 2.2 on Windows, and on POSIX makes sure
// a send to a closed peer never raises SIGPIPE). Returns 0 or an error number.
// Each successful start is matched by one CleanupSocketLayer.
int StartSocketLayer();
void CleanupSocketLayer();

// A blocking IPv4 stream socket. Returns kInvalidSocket and sets *error on failure.
SocketHandle OpenTcpSocket(int* error);

// Connects to a dotted IPv4 address (no name resolution). A text that is not
// a dotted address fails with 10049. Windows' inet_addr also takes the older
// forms ("127.1", hexadecimal and octal parts) that POSIX refuses. Returns 0
// or an error number.
int ConnectIpv4(SocketHandle socket, const char* dotted_address, std::uint16_t port);

class SocketWakeup;

// The same, but returns 10004 (interrupted) as soon as `wakeup` is
// signalled, however long the attempt would take (an unreachable address
// takes minutes). Leaves the socket non-blocking.
int ConnectIpv4Interruptibly(SocketHandle socket, const char* dotted_address, std::uint16_t port,
                             SocketWakeup& wakeup);

// Reads at most `capacity` bytes. Returns the byte count, 0 when the peer has
// closed, or -1 with *error set (10054 after the peer's reset; Wine reports a
// reset as 0 instead). Interrupted calls are retried.
long Receive(SocketHandle socket, char* buffer, std::size_t capacity, int* error);

// Sends what the platform takes of `length` bytes (possibly fewer). Returns
// the count, or -1 with *error set. Never raises SIGPIPE; retries interrupted calls.
long Send(SocketHandle socket, const char* data, std::size_t length, int* error);

// Makes every later send and receive on `socket` return 10035 (would block)
// instead of waiting; the library then waits itself, where a disconnect can
// wake it (a blocked send is not ended by a shutdown everywhere).
void SetNonBlocking(SocketHandle socket);

// Ends both directions without releasing the handle: the peer sees the end of
// the stream and a blocked reader wakes up.
void ShutdownSocket(SocketHandle socket);
void CloseSocket(SocketHandle socket);

}  // namespace vornmt::platform
