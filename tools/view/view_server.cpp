#include "view/view_server.h"

#include <httplib.h>

#include <chrono>

#include "view/event_hub.h"

namespace vornmt::tools::view {
namespace {

// How long stopping waits for the streams to write their last events.
constexpr int kDrainMs = 2000;

// Each open stream holds one thread; a few more serve the page meanwhile.
constexpr std::size_t kHttpThreads = kMaxPages + 4;

// The page may run its own script and style, and talk to this view only.
const char kPagePolicy[] =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'";

// A dotted IPv4 address in 127.0.0.0/8 (digits and dots only, so that a
// name such as "127.example.com" is not taken for one).
bool IsLoopback(const std::string& address) {
    return address.rfind("127.", 0) == 0 &&
           address.find_first_not_of("0123456789.") == std::string::npos;
}

// A page from another web site that a DNS name points at 127.0.0.1 must not
// read the stream: a view bound to loopback answers only requests addressed
// to a loopback name.
bool LoopbackHost(const std::string& host) {
    std::string name = host;
    if (!name.empty() && name.front() == '[') {
        name = name.substr(0, name.find(']') + 1);
    } else {
        name = name.substr(0, name.find(':'));
    }
    return name == "localhost" || name == "[::1]" || IsLoopback(name);
}

}  // namespace

struct ViewServer::Http {
    httplib::Server server;
};

ViewServer::ViewServer(EventHub* hub, LogFunction log)
    : hub_(hub), log_(std::move(log)), http_(std::make_unique<Http>()) {}

ViewServer::~ViewServer() { Stop(); }

bool ViewServer::Start(const std::string& address, int port, std::string* error) {
    httplib::Server& server = http_->server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
    const bool check_host = IsLoopback(address);
    server.set_pre_routing_handler([check_host](const httplib::Request& request, httplib::Response& response) {
        if (!check_host || LoopbackHost(request.get_header_value("Host"))) return httplib::Server::HandlerResponse::Unhandled;
        response.status = 403;
        response.set_content("vornmt-view answers requests for 127.0.0.1 or localhost only\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
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

void ViewServer::Stop() {
    // The HTTP threads stop calling a stream's provider once the server is
    // stopping, so the streams first write what is left and end. A page that
    // does not read is not waited for long.
    hub_->Close();
    hub_->WaitForPagesClosed(std::chrono::milliseconds(kDrainMs));
    http_->server.stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace vornmt::tools::view
