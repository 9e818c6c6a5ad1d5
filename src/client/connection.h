// The one connection of the process: its socket, its two worker threads, the
// stop flag, the server address and, with automatic reconnection on, the
// connections it opens again in the background. Connect and Disconnect run
// on application threads, one at a time under the lifecycle lock; Disconnect
// also runs from callbacks on the worker threads, without that lock. The
// receive thread replaces the socket when it connects again, under the
// socket lock; requests reach the socket only through the outbound socket,
// under the send lock. The worker threads deliver through the fan-out, to
// the callbacks and the event queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstddef>

#include "client/callback_registry.h"
#include "client/delivery_fan_out.h"
#include "client/event_queue.h"
#include "client/reconnect_policy.h"
#include "platform/lock.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "platform/threads.h"
#include "requests/outbound_socket.h"
#include "transport/message_queue.h"
#include "transport/point_buffer.h"
#include "transport/worker_threads.h"

namespace vornmt::client {

class Connection final : public transport::Reconnector {
public:
    // Longest address text kept, its NUL included; a longer text is no
    // dotted IPv4 address.
    static constexpr std::size_t kAddressCapacity = 64;

    Connection(CallbackRegistry& registry, EventQueue& events, transport::MessageQueue& queue,
               transport::PointBuffer& points);
    ~Connection();  // ends a connection still open
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Tears down any earlier connection, connects, starts both threads.
    // Returns 0, a socket error number, a system error number, or
    // ERR_IN_CALLBACK on a worker thread; with reconnection on,
    // ERR_NOT_YET_CONNECTED when no server is there yet (the threads then
    // start and go on trying).
    int Connect(const char* server_address, std::int32_t port);
    // Any thread.
    int SetAutoReconnect(std::int32_t min_delay_ms, std::int32_t max_delay_ms) {
        return reconnect_.Set(min_delay_ms, max_delay_ms);
    }
    std::int32_t state() const { return state_.load(); }
    // Ends the connection. On a worker thread (from a callback) it stops the
    // connection without waiting; the next teardown reaps the threads.
    void Disconnect();
    // The library's unload: tears the connection down, except where it must
    // not wait: the process is exiting on Windows, whose system has ended
    // the worker threads and may hold locks they held; or a callback called
    // exit, on a worker thread that an application thread holding the
    // lifecycle lock may be waiting for, while the other worker thread may
    // still run. Then it only stops the connection, waiting for nothing.
    void TeardownForUnload();
    // In a forked child, on its one thread before fork returns there: the
    // child holds copies of the socket, the wake-ups and the locks, but none
    // of the threads. Its requests are refused from now on, the locks
    // replaced, and the descriptors forgotten, which the fork handler has
    // closed (a shutdown or a signal would end or wake the parent's
    // connection); it may connect anew.
    void RenewAfterFork();

    // Where requests send: 10057 once a stop was asked for or without a
    // connection.
    const requests::OutboundSocket& outbound() const { return outbound_; }

    // The receive thread's side of reconnection.
    bool ConnectionLost() override;
    bool Reconnect() override;

private:
    int Connect_locked(const char* server_address, std::int32_t port);
    // Starts the two threads on the socket in place (or none: the first
    // attempt found no server). Returns 0 or a system error number.
    int StartThreads();
    void Teardown_locked();
    // Sets the stop flag, refuses and cancels sends, wakes both threads and
    // ends the stream; waits for nothing, so a callback may call it.
    void SignalStop();
    void ReleaseSocket();

    // Serialises Connect, Disconnect and the unload on application threads.
    // Never taken on a worker thread, so a callback's disconnect never waits
    // for it (a teardown holding it is waiting for that callback to end).
    platform::RecursiveLock lifecycle_lock_;
    std::atomic<bool> stop_{false};
    // Held while the receive thread replaces the socket, and while a stop
    // shuts it down, so that a stop never shuts down a handle already closed.
    // Taken alone; a callback may take it (through a disconnect).
    platform::RecursiveLock socket_lock_;
    std::atomic<platform::SocketHandle> socket_{platform::kInvalidSocket};
    std::atomic<std::int32_t> state_{Vorn_SDK_MultiTouch::STATE_DISCONNECTED};
    ReconnectPolicy reconnect_;
    // The first connect's failure, reported once by the receive thread.
    std::atomic<int> unreported_error_{0};
    bool socket_layer_started_ = false;  // lifecycle lock
    std::uint16_t port_ = 0;
    requests::OutboundSocket outbound_;
    platform::SocketWakeup wakeup_;       // wakes the receive thread
    // Ends sends waiting for room; cleared only when the receive thread lets
    // go of a lost socket, on which no send can wait any more.
    platform::SocketWakeup send_cancel_;
    platform::WorkerThread receive_thread_;
    platform::WorkerThread dispatch_thread_;
    // Held in place, not on the heap: a child forked while another thread
    // connects must be able to overwrite a half-written copy.
    char server_address_[kAddressCapacity] = {};
    DeliveryFanOut deliveries_;
    transport::WorkerContext context_;
};

}  // namespace vornmt::client
