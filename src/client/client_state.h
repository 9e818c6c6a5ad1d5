// The one connection of the process: its socket, its two worker threads, the
// stop flag and the server address. Connect and Disconnect run on application
// threads (one at a time); the worker threads read the stop flag and the
// socket, which is why both are atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "client/callback_registry.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "platform/threads.h"
#include "transport/message_queue.h"
#include "transport/point_buffer.h"
#include "transport/worker_threads.h"

namespace vornmt::client {

class ClientState {
public:
    ClientState(CallbackRegistry& registry, transport::MessageQueue& queue, transport::PointBuffer& points);
    ~ClientState();  // the unload teardown
    ClientState(const ClientState&) = delete;
    ClientState& operator=(const ClientState&) = delete;

    // Tears down any earlier connection, connects, starts both threads.
    // Returns 0, a socket error number, a system error number, or
    // ERR_IN_CALLBACK on a worker thread.
    int Connect(const char* server_address, std::int32_t port);
    // Ends the connection. On a worker thread (from a callback) it stops the
    // connection without waiting; the next teardown reaps the threads.
    void Disconnect();

    // The connected socket, or kInvalidSocket when there is none or a stop
    // was asked for (a disconnect from a callback leaves the handle to be
    // released later). Read by requests without a lock.
    platform::SocketHandle socket() const {
        return stop_.load() ? platform::kInvalidSocket : socket_.load();
    }
    const std::string& server_address() const { return server_address_; }
    // Application thread only.
    bool has_worker_threads() const { return receive_thread_.running() || dispatch_thread_.running(); }

private:
    void Teardown();
    void ReleaseSocket();

    std::atomic<bool> stop_{false};
    std::atomic<platform::SocketHandle> socket_{platform::kInvalidSocket};
    platform::SocketWakeup wakeup_;
    platform::WorkerThread receive_thread_;
    platform::WorkerThread dispatch_thread_;
    std::string server_address_;
    transport::WorkerContext context_;
};

}  // namespace vornmt::client
