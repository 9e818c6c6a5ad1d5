// The process-wide objects, created when the library is loaded and destroyed
// when it is unloaded: the callback registry (six slot locks), the message
// queue (the queue lock), the point buffer and the connection. Members are
// destroyed in reverse order, so the connection's teardown runs first.
#pragma once

#include "client/callback_registry.h"
#include "client/connection.h"
#include "transport/message_queue.h"
#include "transport/point_buffer.h"

namespace vornmt::client {

struct LibraryState {
    CallbackRegistry registry;
    transport::MessageQueue queue;
    transport::PointBuffer points;
    Connection connection{registry, queue, points};
};

LibraryState& Library();

}  // namespace vornmt::client
