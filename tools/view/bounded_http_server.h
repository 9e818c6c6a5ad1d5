// The view's HTTP server: cpp-httplib's routing and responses over a stream
// of its own, so that what a peer can make it read is bounded, and over
// threads of its own, so that peers that send nothing hold no serving
// thread. An accepted connection first waits with every other silent one
// on a single thread (the waiting room) for its first byte, at most
// kFirstByteMs; only then does a serving thread take it. At most
// kMaxWaitingConnections wait, in the room or for a serving thread; one
// more is closed as it is accepted. Each connection carries one request;
// its head (request line and headers) may take at most kMaxRequestHeadBytes
// and must arrive within kRequestHeadMs, and nothing past it is read: the
// view serves no request that has a body, so a declared body is answered
// and closed unread. Threads: cpp-httplib's accept thread admits, the room
// thread waits, the serving threads serve.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/server_sockets.h"
#include "platform/socket_wait.h"

namespace vornmt::tools::view {

// A browser's request head with its cookies for this machine fits with
// room to spare; a longer one is cut off (400) where the limit falls.
constexpr std::size_t kMaxRequestHeadBytes = 64 * 1024;
// A peer that has not sent its whole head by then is cut off, so that a
// trickle of bytes cannot hold a serving thread for long.
constexpr int kRequestHeadMs = 10000;
// A connection that sends nothing for this long after it is accepted is
// closed. A browser sends its request at once; one that opened a
// connection ahead and closes to find it gone opens another.
constexpr int kFirstByteMs = 2000;
// Connections accepted and not yet served; each holds a descriptor.
constexpr std::size_t kMaxWaitingConnections = 128;

class BoundedHttpServer : public httplib::Server {
public:
    explicit BoundedHttpServer(std::size_t serving_threads);
    ~BoundedHttpServer() override;

    // Shuts down every open connection and closes any that waits or comes
    // later, so that stop() waits for no connection. Any thread.
    void EndConnections();

private:
    class Handover;
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        socket_t socket;
        Clock::time_point closes_at;  // unless its first byte comes first
    };

    // Accept thread (cpp-httplib's task for each connection, run where it is
    // accepted): puts the connection in the waiting room, or closes it.
    bool process_and_close_socket(socket_t sock) override;
    // The room's thread: hands connections with bytes to the serving
    // threads and closes those whose first byte is late.
    void WaitForFirstBytes();
    // A serving thread: the connection's one request.
    void Serve(socket_t sock);
    // The listening thread, as serving begins and ends.
    void StartServing();
    void StopServing();

    const std::size_t serving_threads_;
    int socket_layer_ = -1;
    platform::SocketWakeup room_changed_;  // signalled when a connection joins or ending_ is set
    // Signalled once ending_ is set and never cleared, so that it ends the
    // waits of every serving thread.
    platform::SocketWakeup ending_signal_;
    std::thread room_thread_;
    std::unique_ptr<httplib::ThreadPool> serving_;

    std::mutex mutex_;
    std::set<socket_t> open_;        // guarded by mutex_; being served, closed only once out of it
    std::vector<Waiting> waiting_;   // guarded by mutex_; in the room, removed by its thread only
    std::size_t queued_ = 0;         // guarded by mutex_; handed over, no serving thread yet
    bool ending_ = false;            // guarded by mutex_
};

}  // namespace vornmt::tools::view
