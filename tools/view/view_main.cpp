// vornmt-view: connects to a touch server through VornMTClient (public API
// only), subscribes, and shows what arrives live in a browser: a page and
// its event stream served on 127.0.0.1. Reconnects after a server break,
// waiting longer after each failed attempt.
#include <VornMTClient.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/event_text.h"
#include "common/protocol.h"
#include "common/stop_signal.h"
#include "common/text_parsing.h"
#include "view/event_hub.h"
#include "view/view_server.h"

namespace {

using namespace Vorn_SDK_MultiTouch;
using vornmt::tools::view::ConnectionReport;
using vornmt::tools::view::ConnectionState;
using vornmt::tools::view::EventHub;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultHttpPort = 7180;
// Reconnection waits: the first, and the longest after repeated failures.
constexpr int kFirstRetryMs = 250;
constexpr int kMaxRetryMs = 5000;

// The Windows Sockets number ConnectServer returns for a text that is not a
// dotted IPv4 address; retrying cannot help.
constexpr int kAddressNotValid = 10049;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: vornmt-view [options]\n"
    "Connects to a touch server, subscribes, and shows the touches live in a browser.\n"
    "\n"
    "  --address A        touch server address, dotted IPv4 (default 127.0.0.1)\n"
    "  --port N           touch server port (default 7100)\n"
    "  --http-port N      port of the page, 0 for a free one (default 7180)\n"
    "  --bind A           address the page is served on (default 127.0.0.1: this machine only)\n"
    "  --allow-host NAME  serve requests addressed to NAME too (a name of this machine); repeatable\n"
    "  --seconds S        stop after S seconds\n"
    "  --quiet            print only the address of the page and errors\n"
    "  --help             this text\n"
    "\n"
    "Open the printed address (http://127.0.0.1:7180/) in a browser. Exit status: 0 after\n"
    "Ctrl-C or --seconds, 1 when the page cannot be served or the server address is not a\n"
    "dotted IPv4 address, 2 bad usage.\n";

struct Options {
    std::string address = "127.0.0.1";
    int port = vornmt::tools::kDefaultServerPort;
    std::string bind = "127.0.0.1";
    std::vector<std::string> allowed_hosts;
    int http_port = kDefaultHttpPort;
    double seconds = 0;  // 0: no limit
    bool quiet = false;
};

// Shared by the library's two threads (callbacks) and the main thread.
struct View {
    EventHub hub;
    std::mutex mutex;
    std::condition_variable changed;
    bool server_break = false;  // guarded by mutex
    bool stop = false;          // guarded by mutex
};

View* view = nullptr;  // set before any callback can run

void OnFrame(int32_t value_0, int32_t value_1, int32_t count, const TouchPoint* points, void*) {
    view->hub.PublishFrame(value_0, value_1, vornmt::tools::FrameOf(value_0, value_1, count, points).points);
}

void OnGesture(const TouchGesture* gesture, void*) {
    const vornmt::tools::WireGesture wire = vornmt::tools::GestureOf(*gesture);
    view->hub.PublishGesture(wire.code, vornmt::tools::GestureName(wire.code), wire.params);
}

void OnDeviceInfo(const TouchDeviceInfo* info, void*) {
    view->hub.PublishInformation(vornmt::tools::InformationOf(*info));
}

void OnResolution(int32_t x, int32_t y, void*) { view->hub.PublishResolution(x, y); }

void OnError(int32_t code, void*) { view->hub.PublishError(code); }

void OnServerBreak(void*, void*) {
    std::lock_guard<std::mutex> hold(view->mutex);
    view->server_break = true;
    view->changed.notify_all();
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vornmt-view: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool PortOption(const char* text, int low, int* port) {
    return vornmt::tools::ParseIntegerOption(text, low, 65535, port);
}

// Returns -1 when the options are fine, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (option == "--help" || option == "-h") {
            std::printf("%s", kUsage);
            return kExitDone;
        } else if (option == "--address" || option == "--bind") {
            const char* text = value();
            if (!text) return UsageError(option + " needs a dotted IPv4 address");
            (option == "--address" ? options->address : options->bind) = text;
        } else if (option == "--allow-host") {
            const char* text = value();
            if (!text || !*text) return UsageError("--allow-host needs a name");
            options->allowed_hosts.push_back(text);
        } else if (option == "--port") {
            if (!PortOption(value(), 1, &options->port)) return UsageError("--port needs 1 to 65535");
        } else if (option == "--http-port") {
            if (!PortOption(value(), 0, &options->http_port)) return UsageError("--http-port needs 0 to 65535");
        } else if (option == "--seconds") {
            const char* text = value();
            if (!text || !vornmt::tools::ParseReal(text, &options->seconds) || options->seconds <= 0 ||
                options->seconds > 1e7) {
                return UsageError("--seconds needs a number above 0");
            }
        } else if (option == "--quiet") {
            options->quiet = true;
        } else {
            return UsageError("unknown option '" + option + "'");
        }
    }
    return -1;
}

class Session {
public:
    Session(const Options& options, Clock::time_point deadline)
        : options_(options), deadline_(deadline),
          server_(options.address + ":" + std::to_string(options.port)) {}

    // Connects, and reconnects after every break or failure, until a stop.
    // Returns the exit status: kExitFailed for an address that can never
    // work (not a dotted IPv4 address), otherwise kExitDone.
    int Run() {
        int retry_ms = kFirstRetryMs;
        int failures = 0;  // attempts that failed since the last connection
        bool first = true;
        std::string detail;
        while (!Stopping()) {
            Report(first ? ConnectionState::kConnecting : ConnectionState::kReconnecting, failures + 1, 0, detail);
            first = false;
            int status = Connect();
            if (status == ERR_NONE) {
                Report(ConnectionState::kConnected, 0, 0, "");
                failures = 0;
                retry_ms = kFirstRetryMs;
                if (!WaitForBreak()) break;
                DisconnectServer();
                detail = "the server closed or reset the connection";
                Report(ConnectionState::kServerLost, 0, 0, detail);
            } else {
                DisconnectServer();
                if (status == kAddressNotValid) {
                    std::fprintf(stderr, "vornmt-view: cannot connect to %s: %s\n", server_.c_str(),
                                 vornmt::tools::StatusWithNumber(status).c_str());
                    return kExitFailed;
                }
                ++failures;
                detail = vornmt::tools::StatusWithNumber(status);
            }
            Report(ConnectionState::kReconnecting, failures + 1, retry_ms, detail);
            if (!Pause(retry_ms)) break;
            retry_ms = std::min(retry_ms * 2, kMaxRetryMs);
        }
        DisconnectServer();
        return kExitDone;
    }

private:
    int Connect() {
        {
            std::lock_guard<std::mutex> hold(view->mutex);
            view->server_break = false;
        }
        int status = ConnectServer(options_.address.c_str(), options_.port);
        if (status != ERR_NONE) return status;
        TouchClientRequest request{};
        request.type = 1;
        status = SendRequest(request);
        if (status == ERR_NONE) status = GetServerResolution(OnResolution, nullptr);
        return status;
    }

    bool Stopping() {
        std::lock_guard<std::mutex> hold(view->mutex);
        return view->stop || Clock::now() >= deadline_;
    }

    // False on a stop; true after a server break.
    bool WaitForBreak() {
        std::unique_lock<std::mutex> hold(view->mutex);
        view->changed.wait_until(hold, deadline_, [] { return view->stop || view->server_break; });
        return !view->stop && view->server_break;
    }

    // False on a stop.
    bool Pause(int ms) {
        std::unique_lock<std::mutex> hold(view->mutex);
        const auto until = std::min(deadline_, Clock::now() + std::chrono::milliseconds(ms));
        view->changed.wait_until(hold, until, [] { return view->stop; });
        return !view->stop && Clock::now() < deadline_;
    }

    void Report(ConnectionState state, int attempt, int retry_ms, const std::string& detail) {
        view->hub.PublishConnection(ConnectionReport{state, server_, attempt, retry_ms, detail});
        // The attempt itself is shown on the page only; the line before it
        // already said when it comes.
        if (options_.quiet || (state == ConnectionState::kReconnecting && retry_ms == 0)) return;
        static const char* const kNames[] = {"connecting to", "connected to", "lost", "reconnecting to"};
        std::printf("vornmt-view: %s %s", kNames[static_cast<int>(state)], server_.c_str());
        if (!detail.empty()) std::printf(": %s", detail.c_str());
        if (retry_ms > 0) std::printf("; next attempt in %.2f s", retry_ms / 1000.0);
        std::printf("\n");
        std::fflush(stdout);
    }

    const Options& options_;
    const Clock::time_point deadline_;
    const std::string server_;
};

int Run(int argc, char** argv) {
    static View state;
    view = &state;
    Options options;
    int parsed = ParseOptions(argc, argv, &options);
    if (parsed >= 0) return parsed;

    // Before any thread starts, so that every thread inherits the blocked
    // stop signals.
    vornmt::tools::InstallStopHandler([] {
        std::lock_guard<std::mutex> hold(view->mutex);
        view->stop = true;
        view->changed.notify_all();
    });

    vornmt::tools::view::ViewServer server(&state.hub, [quiet = options.quiet](const std::string& line) {
        if (quiet) return;
        std::printf("vornmt-view: %s\n", vornmt::tools::PrintableText(line).c_str());
        std::fflush(stdout);
    });
    std::string error;
    if (!server.Start(options.bind, options.http_port, &error, options.allowed_hosts)) {
        std::fprintf(stderr, "vornmt-view: %s\n", error.c_str());
        vornmt::tools::RemoveStopHandler();
        return kExitFailed;
    }
    std::printf("vornmt-view: open http://%s:%d/ in a browser\n", options.bind.c_str(), server.port());
    std::printf("vornmt-view: serves requests addressed to %s\n", server.accepted_hosts().c_str());
    std::fflush(stdout);

    SetOnReceivePointFrame(OnFrame, nullptr);
    SetOnReceiveGesture(OnGesture, nullptr);
    SetOnGetDeviceInfo(OnDeviceInfo, nullptr);
    SetOnReceiveError(OnError, nullptr);
    SetOnServerBreak(OnServerBreak, nullptr);

    const Clock::time_point deadline =
        options.seconds > 0
            ? Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds))
            : Clock::now() + std::chrono::hours(24 * 365 * 10);
    const int exit_status = Session(options, deadline).Run();

    server.Stop();
    vornmt::tools::RemoveStopHandler();
    return exit_status;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
