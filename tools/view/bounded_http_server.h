// The view's HTTP server: cpp-httplib's routing and responses over a stream
// of its own, so that what a peer can make it read is bounded. Each
// connection carries one request; its head (request line and headers) may
// take at most kMaxRequestHeadBytes and must arrive within kRequestHeadMs,
// and nothing past it is read: the view serves no request that has a body,
// so a declared body is answered and closed unread. Runs on cpp-httplib's
// threads, one per connection.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <mutex>
#include <set>

namespace vornmt::tools::view {

// A browser's request head with its cookies for this machine fits with
// room to spare; a longer one is cut off (400) where the limit falls.
constexpr std::size_t kMaxRequestHeadBytes = 64 * 1024;
// A peer that has not sent its whole head by then is cut off, so that a
// trickle of bytes cannot hold a serving thread for long.
constexpr int kRequestHeadMs = 10000;

class BoundedHttpServer : public httplib::Server {
public:
    // Shuts down every open connection and closes any that comes later, so
    // that stop() waits for no connection (an idle one a browser keeps for
    // later would hold it until its head's deadline). Any thread.
    void EndConnections();

private:
    bool process_and_close_socket(socket_t sock) override;

    std::mutex mutex_;
    std::set<socket_t> open_;  // guarded by mutex_; closed only once out of it
    bool ending_ = false;      // guarded by mutex_
};

}  // namespace vornmt::tools::view
