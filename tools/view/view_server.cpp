#include "view/view_server.h"

#include <httplib.h>

#include <chrono>

#include "view/bounded_http_server.h"
#include "view/event_hub.h"
#include "view/host_names.h"

namespace vornmt::tools::view {
namespace {

// How long stopping waits for the streams to write their last events.
constexpr int kDrainMs = 2000;

// Each open stream holds one thread; a few more serve the page meanwhile.
constexpr std::size_t kHttpThreads = kMaxPages + 4;

// The page may run its own script and style, and talk to this view only.
const char kPagePolicy[] =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'";

// Only GET and HEAD without a body, and with a sane number of headers, are
// served. Anything else is answered before its body is read, and the
// connection closes (it carries one request).
bool RefuseRequest(const httplib::Request& request, httplib::Response& response) {
    if (request.method != "GET" && request.method != "HEAD") {
        response.status = 405;
        response.set_header("Allow", "GET, HEAD");
        response.set_content("vornmt-view serves GET and HEAD only\n", "text/plain");
        return true;
    }
    const std::string length = request.get_header_value("Content-Length");
    if (request.has_header("Transfer-Encoding") ||
        (request.has_header("Content-Length") && length.find_first_not_of('0') != std::string::npos)) {
        response.status = 413;
        response.set_content("vornmt-view takes no request body\n", "text/plain");
        return true;
    }
    // cpp-httplib adds four headers of its own (the two addresses and ports).
    if (request.headers.size() > kMaxRequestHeaders + 4) {
        response.status = 431;
        response.set_content("vornmt-view takes at most " + std::to_string(kMaxRequestHeaders) + " headers\n",
                             "text/plain");
        return true;
    }
    return false;
}

}  // namespace

struct ViewServer::Http {
    BoundedHttpServer server{kHttpThreads};
    std::unique_ptr<HostNames> hosts;  // set before serving starts
};

ViewServer::ViewServer(EventHub* hub, LogFunction log)
    : hub_(hub), log_(std::move(log)), http_(std::make_unique<Http>()) {}

ViewServer::~ViewServer() { Stop(); }

bool ViewServer::Start(const std::string& address, int port, std::string* error,
                       std::vector<std::string> allowed_hosts) {
    httplib::Server& server = http_->server;
    Http* http = http_.get();
    server.set_pre_routing_handler([http](const httplib::Request& request, httplib::Response& response) {
        if (RefuseRequest(request, response)) return httplib::Server::HandlerResponse::Handled;
        if (http->hosts->Accepts(request.get_header_value("Host"), request.local_addr)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 403;
        response.set_content("vornmt-view answers requests addressed to " + http->hosts->Describe() + " only\n",
                             "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_write_timeout(stalled_page_ms_ / 1000, (stalled_page_ms_ % 1000) * 1000);
    // A client that waits for leave to send its body is refused instead.
    server.set_expect_100_continue_handler([](const httplib::Request&, httplib::Response&) { return 413; });
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_header("Content-Security-Policy", kPagePolicy);
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_content(kViewPage, "text/html; charset=utf-8");
    });
    EventHub* hub = hub_;
    LogFunction log = log_;
    server.Get("/events", [hub, log](const httplib::Request& request, httplib::Response& response) {
        EventHub::PageId page = 0;
        if (!hub->OpenPage(&page)) {
            response.status = 503;
            response.set_content("vornmt-view: " + std::to_string(kMaxPages) + " pages are open already\n",
                                 "text/plain");
            return;
        }
        auto say = [log, page, from = request.remote_addr + ":" + std::to_string(request.remote_port),
                    hub](const char* what) {
            if (log) log("page " + std::to_string(page) + " " + what + " (" + from + "); " +
                         std::to_string(hub->open_pages()) + " open");
        };
        say("opened");
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [hub, page, first = true](std::size_t, httplib::DataSink& sink) mutable {
                // The browser reconnects a second after the stream ends.
                std::string chunk = first ? "retry: 1000\n\n" : "";
                first = false;
                EventHub::Wait wait = hub->WaitForEvents(page, std::chrono::milliseconds(kKeepAliveMs), &chunk);
                if (wait == EventHub::Wait::kTimeout) chunk += ": keep-alive\n\n";
                if (!sink.write(chunk.data(), chunk.size())) return false;
                if (wait == EventHub::Wait::kEnded) sink.done();
                return true;
            },
            [hub, page, say](bool) {
                hub->ClosePage(page);
                say("closed");
            });
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.status == 404) {
            response.set_content("not found: vornmt-view serves / and /events only\n", "text/plain");
        }
    });

    port_ = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (port_ <= 0) {
        *error = "cannot listen on " + address + ":" + std::to_string(port) +
                 " (the port is taken, or the address is not one of this machine's)";
        port_ = 0;
        return false;
    }
    http_->hosts = std::make_unique<HostNames>(address, port_, std::move(allowed_hosts));
    thread_ = std::thread([&server] { server.listen_after_bind(); });
    // stop() does nothing to a server that has not started listening yet, so
    // Stop must not be able to come first. Listening on a bound socket takes
    // microseconds; the bound keeps a failure from hanging here.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running() && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
    if (!server.is_running()) {
        *error = "the HTTP server did not start listening";
        return false;
    }
    return true;
}

std::string ViewServer::accepted_hosts() const { return http_->hosts ? http_->hosts->Describe() : ""; }

void ViewServer::Stop() {
    // The HTTP threads stop calling a stream's provider once the server is
    // stopping, so the streams first write what is left and end. A page that
    // does not read is not waited for long, and neither is a connection a
    // browser opened ahead and left idle: both are shut down.
    hub_->Close();
    hub_->WaitForPagesClosed(std::chrono::milliseconds(kDrainMs));
    http_->server.EndConnections();
    http_->server.stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace vornmt::tools::view
