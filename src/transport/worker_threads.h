// The two worker threads of a connection. The receive thread owns the socket's
// read side and only frames; the dispatch thread parses, decodes and calls the
// application back. Both end when the stop flag is set and the wake-ups fire.
#pragma once

#include <atomic>

#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "transport/inbound_event.h"
#include "transport/message_queue.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// What the receive thread asks of its connection when the socket is lost or
// was never connected. Both run on the receive thread.
class Reconnector {
public:
    // The connection has ended; everything before its end is delivered.
    // Returns whether the library connects again in the background (and
    // then lets go of the lost socket), before the end is reported.
    virtual bool ConnectionLost() = 0;
    // Waits and tries until a new socket is connected, in place and its
    // settings sent (true), or until a stop or reconnection turned off
    // (false). Reports a first connect's failure once.
    virtual bool Reconnect() = 0;

protected:
    ~Reconnector() = default;
};

// What both threads share with the connection that started them. The stop
// flag is written by the application's thread (and by a callback that
// disconnects), the socket by the connection, also on the receive thread
// while it connects again; the rest lives as long as the library.
struct WorkerContext {
    std::atomic<bool>& stop;
    std::atomic<platform::SocketHandle>& socket;
    platform::SocketWakeup& wakeup;
    MessageQueue& queue;
    EventSink& sink;  // the application's callbacks
    PointBuffer& points;
    Reconnector& reconnector;
};

// Thread entries; `context` points to a WorkerContext.
void RunReceiveThread(void* context);
void RunDispatchThread(void* context);

// True on the library's own worker threads, where callbacks run.
bool OnWorkerThread();
// Called first thing by each worker thread.
void MarkWorkerThread();

}  // namespace vornmt::transport
