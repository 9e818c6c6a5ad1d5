// The one loop that puts a whole buffer on the wire: the library's requests,
// the simulator and the tests' peers all send through it.
#pragma once

#include <cstddef>

#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::platform {

// Sends all `size` bytes, continuing after partial sends. On a non-blocking
// socket it waits for room, until `cancel` (if given) is signalled, which
// ends it with 10058 (shut down); without `cancel` a full non-blocking socket
// ends it with 10035. A socket that takes no byte for `stall_timeout_ms`
// (-1: no limit; needs `cancel`) ends it with 10060 (timed out); each byte
// taken starts that time anew. Returns 0, or the error number of the failed
// send (10057 for an invalid socket).
int SendAll(SocketHandle socket, const char* data, std::size_t size, SocketWakeup* cancel = nullptr,
            int stall_timeout_ms = -1);

}  // namespace vornmt::platform
