// Routing of one received message text: parse it, act on its name, decode and
// deliver. Dispatch thread only; callable without threads or sockets.
#pragma once

#include <string>

#include "client/callback_registry.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// Returns 0 when the message was delivered or ignored (unknown name), or
// ERR_BAD_MESSAGE after reporting it through the error callback.
int RouteMessage(const std::string& text, client::CallbackRegistry& registry, PointBuffer& points);

}  // namespace vornmt::transport
