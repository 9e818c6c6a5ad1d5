// The server side of TCP over loopback, for the test server, the simulator,
// the view and the benchmarks. Not part of the client library: the
// vornmt_server_sockets library holds it, and programs that serve link it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::platform {

// A listening socket on 127.0.0.1 (port 0 picks a free one). Returns
// kInvalidSocket and sets *error on failure.
SocketHandle ListenLoopback(std::uint16_t port, std::uint16_t* bound_port, int* error);
// Blocks until a client connects; kInvalidSocket (and *error) on failure.
SocketHandle AcceptClient(SocketHandle listener, int* error);
// Makes the next CloseSocket send a reset instead of an orderly close.
void SetResetOnClose(SocketHandle socket);
// Disables Nagle's algorithm, for the low-latency server side.
void SetNoDelay(SocketHandle socket);

// The numeric address ("127.0.0.1", "::1") and the port of a connected
// socket's own end, or of its peer's; false (and nothing set) when the
// system cannot tell or the address is neither IPv4 nor IPv6.
bool LocalAddress(SocketHandle socket, std::string* address, int* port);
bool PeerAddress(SocketHandle socket, std::string* address, int* port);

// Waits on many sockets at once, for a server that keeps idle connections
// off its serving threads: kReadable once any of `sockets` has data (or an
// end of stream or an error to report), with (*readable)[i] telling which;
// kWoken when the wake-up is signalled; kTimedOut after `timeout_ms` (-1: no
// time-out). On kFailed *error holds the number.
WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::vector<bool>* readable,
                           SocketWakeup& wakeup, int timeout_ms, int* error);

}  // namespace vornmt::platform
