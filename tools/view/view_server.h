// The view's HTTP side: serves the page at "/" and the event stream at
// "/events" (Server-Sent Events) to GET and HEAD requests without a body,
// addressed to a name that reaches the view (HostNames), and nothing else.
// Each open stream holds one HTTP thread, which waits on the EventHub for
// that page's events; the touch side never waits for it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vornmt::tools::view {

class EventHub;

// The page, HTML with its style and script inside (generated from page.html).
extern const char* const kViewPage;

// While no event arrives, a stream sends a comment this often, so that a
// browser that went away is noticed and the connection is released.
constexpr int kKeepAliveMs = 2000;

// A page whose stream takes no byte for this long is closed, so that a
// browser that stopped reading holds no serving thread for ever.
constexpr int kStalledPageMs = 5000;

// Headers in one request; a browser sends about a dozen. More is 431.
constexpr std::size_t kMaxRequestHeaders = 100;

class ViewServer {
public:
    // Called on HTTP threads with one line when a page's stream opens or
    // closes; may be empty.
    using LogFunction = std::function<void(const std::string& line)>;

    explicit ViewServer(EventHub* hub, LogFunction log = {});
    ~ViewServer();  // stops
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Binds `address` (dotted IPv4) on `port` (0: a free one) and serves on a
    // thread of its own. Besides the names that reach it anyway, requests
    // addressed to one of `allowed_hosts` are served. On failure returns
    // false with the reason in *error. Call it once.
    bool Start(const std::string& address, int port, std::string* error,
               std::vector<std::string> allowed_hosts = {});
    int port() const { return port_; }
    // Before Start: how long a stream may take no byte before its page is
    // closed (kStalledPageMs unless set).
    void set_stalled_page_ms(int ms) { stalled_page_ms_ = ms; }
    // After Start: the Host names served, for people.
    std::string accepted_hosts() const;
    // Ends every stream (closes the hub) and stops serving; waits for the
    // server's threads. Safe to call more than once.
    void Stop();

private:
    struct Http;
    EventHub* hub_;
    LogFunction log_;
    std::unique_ptr<Http> http_;
    std::thread thread_;
    int port_ = 0;
    int stalled_page_ms_ = kStalledPageMs;
};

}  // namespace vornmt::tools::view
