// The one way outbound messages reach the wire: the text and its NUL, sent
// whole on the application's calling thread.
#pragma once

#include <string>

#include "platform/sockets.h"

namespace vornmt::requests {

// Sends `text` and one NUL byte, continuing after partial sends until all of
// it is out. A send lock keeps two threads' messages from interleaving.
// Returns 0, 10057 (not connected, nothing sent) for an invalid socket, or
// the socket error number of the failed send.
int SendMessageText(platform::SocketHandle socket, const std::string& text);

}  // namespace vornmt::requests
