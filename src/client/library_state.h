// The process-wide objects, created when the library is loaded and, once the
// unload has torn the connection down, destroyed: the callback registry (six
// slot locks), the event queue (the event queue lock), the message queue (the
// queue lock), the point buffer and the connection. An unload that cannot
// tear down (the process exits from a callback, or on Windows after its
// threads were ended), or that finds an application thread waiting in
// WaitEvent, leaves them in place for the rest of the process, for the
// threads that may still use them.
#pragma once

#include "client/callback_registry.h"
#include "client/connection.h"
#include "client/event_queue.h"
#include "transport/message_queue.h"
#include "transport/point_buffer.h"

namespace vornmt::client {

struct LibraryState {
    CallbackRegistry registry;
    EventQueue events;
    transport::MessageQueue queue;
    transport::PointBuffer points;
    Connection connection{registry, events, queue, points};
};

LibraryState& Library();

}  // namespace vornmt::client
