// vornmt-view: connects to a touch server through VornMTClient (public API
// only), subscribes, and shows what arrives live in a browser: a page and
// its event stream served on 127.0.0.1. Waits for a server that is not there
// yet and follows it through restarts with the library's automatic
// reconnection.
#include <VornMTClient.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/event_text.h"
#include "common/options.h"
#include "common/protocol.h"
#include "common/reconnection.h"
#include "platform/stop_signal.h"
#include "view/event_hub.h"
#include "view/view_server.h"

namespace {

using namespace Vorn_SDK_MultiTouch;
using vornmt::tools::CommandLine;
using vornmt::tools::kAboveZero;
using vornmt::tools::kExitDone;
using vornmt::tools::kExitFailed;
using vornmt::tools::ReadCommandLine;
using vornmt::tools::SetFlag;
using vornmt::tools::TakeInteger;
using vornmt::tools::TakeReal;
using vornmt::tools::TakeText;
using vornmt::tools::view::ConnectionReport;
using vornmt::tools::view::ConnectionState;
using vornmt::tools::view::EventHub;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultHttpPort = 7180;

struct Options {
    std::string address = "127.0.0.1";
    int port = vornmt::tools::kDefaultServerPort;
    std::string bind = "127.0.0.1";
    std::vector<std::string> allowed_hosts;
    int http_port = kDefaultHttpPort;
    double seconds = 0;  // 0: no limit
    bool quiet = false;
    bool reconnect = true;
};

// Shared by the library's two threads (callbacks) and the main thread.
struct View {
    EventHub hub;
    std::string server;  // "127.0.0.1:7100"; set before any callback can run
    bool quiet = false;  // likewise

    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;            // guarded by mutex
    bool connected_once = false;  // guarded by mutex

    // Publishes a change of the connection and prints it. Under the mutex,
    // so that the callbacks' reports and the main thread's keep their order.
    void Report_locked(ConnectionState state, const std::string& detail) {
        hub.PublishConnection(ConnectionReport{state, server, detail});
        if (quiet) return;
        static const char* const kNames[] = {"connecting to", "connected to", "lost", "reconnecting to"};
        std::printf("vornmt-view: %s %s", kNames[static_cast<int>(state)], server.c_str());
        if (!detail.empty()) std::printf(": %s", detail.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
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

void OnError(int32_t code, void*) {
    view->hub.PublishError(code);
    // While the library reconnects, an error is why there is no connection:
    // the one report of a first connect that found no server, or the end of
    // a connection by an error other than a close or a reset.
    const int32_t state = GetConnectionState();
    if (state == STATE_CONNECTED) return;
    std::lock_guard<std::mutex> hold(view->mutex);
    if (view->stop) return;
    const std::string why = vornmt::tools::StatusWithNumber(code);
    if (state == STATE_DISCONNECTED) {
        view->Report_locked(ConnectionState::kServerLost, why);
    } else if (view->connected_once) {
        view->Report_locked(ConnectionState::kReconnecting, why);
    } else {
        view->Report_locked(ConnectionState::kConnecting, "waiting for the server: " + why);
    }
}

void OnServerBreak(void*, void*) {
    const bool again = GetConnectionState() == STATE_RECONNECTING;
    std::lock_guard<std::mutex> hold(view->mutex);
    view->Report_locked(again ? ConnectionState::kReconnecting : ConnectionState::kServerLost,
                        "the server closed or reset the connection");
}

// A connection the library opened in the background; it has already sent
// the subscription again.
void OnConnected(void*, void*) {
    {
        std::lock_guard<std::mutex> hold(view->mutex);
        view->connected_once = true;
        view->Report_locked(ConnectionState::kConnected, "");
    }
    // A query is not sent again by the library, and a restarted server may
    // have another screen. Should this fail, the connection is gone again,
    // and its break says so.
    GetServerResolution(OnResolution, nullptr);
}

// The command line, read into *options.
CommandLine OptionTable(Options* o) {
    auto allow_host = [o](const char* name) {
        if (*name) o->allowed_hosts.push_back(name);
        return *name != '\0';
    };
    return CommandLine{
        "vornmt-view",
        "[options]",
        "Connects to a touch server, subscribes, and shows the touches live in a browser.\n",
        {
            {"--address", "A", "touch server address, dotted IPv4 (default 127.0.0.1)",
             "needs a dotted IPv4 address", TakeText(&o->address)},
            {"--port", "N", "touch server port (default 7100)", "needs 1 to 65535", TakeInteger(1, 65535, &o->port)},
            {"--http-port", "N", "port of the page, 0 for a free one (default 7180)", "needs 0 to 65535",
             TakeInteger(0, 65535, &o->http_port)},
            {"--bind", "A", "address the page is served on (default 127.0.0.1: this machine only)",
             "needs a dotted IPv4 address", TakeText(&o->bind)},
            {"--allow-host", "NAME", "serve requests addressed to NAME too (a name of this machine); repeatable",
             "needs a name", allow_host},
            {"--seconds", "S", "stop after S seconds", "needs a number above 0", TakeReal(kAboveZero, 1e7, &o->seconds)},
            {"--quiet", "", "print only the address of the page and errors", "", SetFlag(&o->quiet)},
            {"--no-reconnect", "", "connect once: end when there is no server, show a loss until stopped", "",
             SetFlag(&o->reconnect, false)},
        },
        "Waits for a server that is not there yet and reconnects after a loss, trying after 0.1 s,\n"
        "then twice as long each time up to 2 s.\n"
        "Open the printed address (http://127.0.0.1:7180/) in a browser. Exit status: 0 after\n"
        "Ctrl-C or --seconds, 1 when the page cannot be served, the server address is not a\n"
        "dotted IPv4 address or, with --no-reconnect, there is no server, 2 bad usage.\n",
        nullptr};
}

// Connects and subscribes; the library keeps the connection up (or, with
// --no-reconnect, does not), and the callbacks report its changes. Returns
// when stopped, with the exit status.
int Follow(const Options& options, Clock::time_point deadline) {
    int status = ERR_NONE;
    {
        // Held until the outcome is reported, so that the callbacks' reports
        // come after it. Without a server yet, the error callback says why.
        std::lock_guard<std::mutex> hold(view->mutex);
        view->Report_locked(ConnectionState::kConnecting, "");
        status = ConnectServer(options.address.c_str(), options.port);
        view->connected_once = status == ERR_NONE;
        if (status == ERR_NONE) view->Report_locked(ConnectionState::kConnected, "");
    }
    if (status != ERR_NONE && status != ERR_NOT_YET_CONNECTED) {
        // Not a dotted IPv4 address, or no server with --no-reconnect.
        std::fprintf(stderr, "vornmt-view: cannot connect to %s: %s\n", view->server.c_str(),
                     vornmt::tools::StatusWithNumber(status).c_str());
        return kExitFailed;
    }
    // Sent now or kept by the library for the connection it opens; it sends
    // it again on every later one. The resolution is asked for here only on
    // a connection already up; the connected callback asks on the others.
    TouchClientRequest request{};
    request.type = 1;
    int sent = vornmt::tools::SendKeptSetting([&] { return SendRequest(request); });
    if (sent != ERR_NONE) view->hub.PublishError(sent);
    if (status == ERR_NONE) {
        const int asked = GetServerResolution(OnResolution, nullptr);
        if (asked != ERR_NONE && GetConnectionState() == STATE_CONNECTED) view->hub.PublishError(asked);
    }

    std::unique_lock<std::mutex> hold(view->mutex);
    view->changed.wait_until(hold, deadline, [] { return view->stop; });
    view->stop = true;  // at the deadline too: the disconnect is no loss to report
    hold.unlock();
    DisconnectServer();
    return kExitDone;
}

int Run(int argc, char** argv) {
    static View state;
    view = &state;
    Options options;
    int exit_status = kExitDone;
    if (!ReadCommandLine(OptionTable(&options), argc, argv, &exit_status)) return exit_status;
    state.server = options.address + ":" + std::to_string(options.port);
    state.quiet = options.quiet;

    // Before any thread starts, so that every thread inherits the blocked
    // stop signals.
    vornmt::platform::InstallStopHandler([] {
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
        vornmt::platform::RemoveStopHandler();
        return kExitFailed;
    }
    std::printf("vornmt-view: open http://%s:%d/ in a browser\n", options.bind.c_str(), server.port());
    std::printf("vornmt-view: serves requests addressed to %s\n", server.accepted_hosts().c_str());
    std::fflush(stdout);

    vornmt::tools::FollowServer({OnFrame, OnGesture, OnDeviceInfo, OnError, OnServerBreak, OnConnected},
                                options.reconnect);

    const Clock::time_point deadline =
        options.seconds > 0
            ? Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds))
            : Clock::now() + std::chrono::hours(24 * 365 * 10);
    exit_status = Follow(options, deadline);

    server.Stop();
    vornmt::platform::RemoveStopHandler();
    return exit_status;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
