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

// What both threads share with the connection that started them. The stop
// flag and the socket are written only by the application's thread; the rest
// lives as long as the library.
struct WorkerContext {
    std::atomic<bool>& stop;
    std::atomic<platform::SocketHandle>& socket;
    platform::SocketWakeup& wakeup;
    MessageQueue& queue;
    EventSink& sink;  // the application's callbacks
    PointBuffer& points;
};

// Thread entries; `context` points to a WorkerContext.
void RunReceiveThread(void* context);
void RunDispatchThread(void* context);

// True on the library's own worker threads, where callbacks run.
bool OnWorkerThread();
// Called first thing by each worker thread.
void MarkWorkerThread();

}  // namespace vornmt::transport
