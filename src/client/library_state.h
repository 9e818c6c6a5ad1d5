// The process-wide objects, created when the library is loaded and never
// destroyed: the callback registry (a lock pair per slot), the message queue (the
// queue lock), the point buffer and the connection. The unload ends the
// connection and leaves them in place for the rest of the process, for calls
// that come after it (a global destructor, a runtime shutting down, a
// thread that may still run after the process began to exit).
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
