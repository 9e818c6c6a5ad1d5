// vornmt-monitor: connects to a touch server through VornMTClient, subscribes,
// and prints one line per event it receives; optionally records them for
// vornmt-sim --replay. Waits for the server and follows it through restarts
// with the library's automatic reconnection, printing a line at each loss and
// each connection. Built on the public API only.
#include <VornMTClient.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "common/event_text.h"
#include "common/options.h"
#include "common/reconnection.h"
#include "common/recording.h"
#include "platform/stop_signal.h"

namespace {

using namespace Vorn_SDK_MultiTouch;
using vornmt::tools::CommandLine;
using vornmt::tools::kAboveZero;
using vornmt::tools::SetFlag;
using vornmt::tools::TakeInteger;
using vornmt::tools::TakeReal;
using vornmt::tools::TakeSize;
using vornmt::tools::TakeText;
using vornmt::tools::kExitDone;
using vornmt::tools::kExitFailed;
using vornmt::tools::RecordedEvent;
using vornmt::tools::StatusWithNumber;
using Clock = std::chrono::steady_clock;

// Beyond the shared statuses: kExitDone when the count or the time was
// reached, or Ctrl-C; kExitFailed when a request or the recording failed, or
// there was no server (--no-reconnect).
constexpr int kExitServerGone = 3;  // the connection ended, closed, reset or by an error (--no-reconnect)

struct Options {
    std::string address = "127.0.0.1";
    int port = vornmt::tools::kDefaultServerPort;
    int count = 0;        // 0: no limit
    double seconds = 0;   // 0: no limit
    std::string record;
    int type = 1;
    std::string param;
    bool send_threshold = false;
    int threshold = 0;
    bool send_raw_resolution = false;
    int raw_x = 0;
    int raw_y = 0;
    bool print_frames = true;
    bool quiet = false;
    bool reconnect = true;
};

// Shared by the library's two threads (which call back) and the main thread.
struct Monitor {
    Options options;
    Clock::time_point connected_at;
    vornmt::tools::RecordingWriter recording;
    bool recording_open = false;

    std::mutex mutex;
    std::condition_variable changed;
    long long events = 0;     // guarded by mutex
    long long frames = 0;     // guarded by mutex
    long long gestures = 0;   // guarded by mutex
    long long errors = 0;     // guarded by mutex
    long long losses = 0;     // connections lost; guarded by mutex
    long long reconnections = 0;  // guarded by mutex
    bool connected_once = false;  // guarded by mutex
    bool server_gone = false; // with reconnection off; guarded by mutex
    bool stop = false;        // guarded by mutex

    double ElapsedMs() const { return std::chrono::duration<double, std::milli>(Clock::now() - connected_at).count(); }

    // Counts one event and prints its line; false once the count is reached,
    // so the caller drops events that arrive before the disconnect.
    bool Take(const std::string& line, long long* kind_counter) {
        std::lock_guard<std::mutex> hold(mutex);
        if (options.count > 0 && events >= options.count) return false;
        ++events;
        if (kind_counter) ++*kind_counter;
        if (!options.quiet && !line.empty()) {
            std::printf("[%8.3f] %s\n", ElapsedMs() / 1000, line.c_str());
            std::fflush(stdout);
        }
        if (options.count > 0 && events >= options.count) changed.notify_all();
        return true;
    }

    // A line about the connection: not an event, neither counted nor recorded.
    void Say_locked(const std::string& line) const {
        if (options.quiet) return;
        std::printf("[%8.3f] %s\n", ElapsedMs() / 1000, line.c_str());
        std::fflush(stdout);
    }

    std::string Server() const { return options.address + ":" + std::to_string(options.port); }

    void Record(RecordedEvent event) {
        if (recording_open) recording.Write(event);
    }
};

Monitor* monitor = nullptr;  // set before any callback can run

void OnFrame(int32_t value_0, int32_t value_1, int32_t count, const TouchPoint* points, void*) {
    vornmt::tools::WireFrame frame = vornmt::tools::FrameOf(value_0, value_1, count, points);
    if (!monitor->Take(monitor->options.print_frames ? vornmt::tools::FrameLine(frame) : std::string(),
                       &monitor->frames)) {
        return;
    }
    monitor->Record(RecordedEvent{monitor->ElapsedMs(), std::move(frame)});
}

void OnGesture(const TouchGesture* gesture, void*) {
    vornmt::tools::WireGesture wire = vornmt::tools::GestureOf(*gesture);
    if (!monitor->Take(vornmt::tools::GestureLine(wire), &monitor->gestures)) return;
    monitor->Record(RecordedEvent{monitor->ElapsedMs(), std::move(wire)});
}

void OnDeviceInfo(const TouchDeviceInfo* info, void*) {
    vornmt::tools::WireInformation wire = vornmt::tools::InformationOf(*info);
    if (!monitor->Take(vornmt::tools::InformationLine(wire), nullptr)) return;
    monitor->Record(RecordedEvent{monitor->ElapsedMs(), std::move(wire)});
}

void OnResolution(int32_t x, int32_t y, void*) {
    const vornmt::tools::WireResolution wire{x, y};
    if (!monitor->Take(vornmt::tools::ResolutionLine(wire), nullptr)) return;
    monitor->Record(RecordedEvent{monitor->ElapsedMs(), wire});
}

void OnError(int32_t code, void*) {
    // While the library reconnects, an error is why there is no connection:
    // the one report of a first connect that found no server, or the end of
    // a connection by an error other than a close or a reset.
    if (GetConnectionState() == STATE_RECONNECTING) {
        std::lock_guard<std::mutex> hold(monitor->mutex);
        if (!monitor->connected_once) {
            monitor->Say_locked("not yet connected: " + vornmt::tools::StatusWithNumber(code));
        } else {
            ++monitor->losses;
            monitor->Say_locked(vornmt::tools::ErrorLine(code) + "; reconnecting");
        }
        return;
    }
    monitor->Take(vornmt::tools::ErrorLine(code), &monitor->errors);
    // A socket error with the library not reconnecting: the connection ended
    // by an error other than a close or a reset, and no break follows.
    if (code >= 10000 && code < 12000 && GetConnectionState() == STATE_DISCONNECTED) {
        std::lock_guard<std::mutex> hold(monitor->mutex);
        ++monitor->losses;
        monitor->server_gone = true;
        monitor->changed.notify_all();
    }
}

void OnServerBreak(void*, void*) {
    const bool again = GetConnectionState() == STATE_RECONNECTING;
    std::lock_guard<std::mutex> hold(monitor->mutex);
    ++monitor->losses;
    monitor->Say_locked(vornmt::tools::ServerBreakLine() + (again ? "; reconnecting" : ""));
    if (!again) {
        monitor->server_gone = true;
        monitor->changed.notify_all();
    }
}

// A connection the library opened in the background; it has already sent
// the subscription and the settings again.
void OnConnected(void*, void*) {
    {
        std::lock_guard<std::mutex> hold(monitor->mutex);
        const bool again = monitor->connected_once;
        monitor->connected_once = true;
        if (again) ++monitor->reconnections;
        monitor->Say_locked((again ? "reconnected to " : "connected to ") + monitor->Server());
    }
    // A query is not sent again by the library, and a restarted server may
    // have another screen. Should this fail, the connection is gone again,
    // and its break says so.
    GetServerResolution(OnResolution, nullptr);
}

// The command line, read into *options.
CommandLine OptionTable(Options* o) {
    auto param = [o](const char* text) {
        if (std::strlen(text) >= static_cast<std::size_t>(REQUEST_PARAM_SIZE)) return false;
        o->param = text;
        return true;
    };
    auto threshold = [o, take = TakeInteger(INT_MIN, INT_MAX, &o->threshold)](const char* text) {
        return o->send_threshold = take(text);
    };
    auto raw_resolution = [o, take = TakeSize(INT_MIN, INT_MAX, &o->raw_x, &o->raw_y)](
                              const char* text) { return o->send_raw_resolution = take(text); };
    return CommandLine{
        "vornmt-monitor",
        "[options]",
        "Connects to a touch server, subscribes, and prints what arrives, one line per event.\n"
        "Waits for a server that is not there yet and reconnects after a loss, trying after\n"
        "0.1 s, then twice as long each time up to 2 s.\n",
        {
            {"--address", "A", "server address, dotted IPv4 (default 127.0.0.1)", "needs a dotted IPv4 address",
             TakeText(&o->address)},
            {"--port", "N", "server port (default 7100)", "needs 1 to 65535", TakeInteger(1, 65535, &o->port)},
            {"--count", "N", "stop after N events (frames, gestures, information, ...)", "needs 1 or more",
             TakeInteger(1, INT_MAX, &o->count)},
            {"--seconds", "S", "stop after S seconds", "needs a number above 0",
             TakeReal(kAboveZero, 1e7, &o->seconds)},
            {"--record", "FILE", "also write the events to FILE, for vornmt-sim --replay FILE", "needs a file name",
             TakeText(&o->record)},
            {"--type", "N", "the request's type (default 1)", "needs a whole number",
             TakeInteger(INT_MIN, INT_MAX, &o->type)},
            {"--param", "TEXT", "the request's param text (default empty)",
             "needs a text of at most " + std::to_string(REQUEST_PARAM_SIZE - 1) + " bytes", param},
            {"--threshold", "N", "also send a movement threshold", "needs a whole number", threshold},
            {"--raw-resolution", "WxH", "also send the resolution of the raw data wanted",
             "needs WIDTHxHEIGHT, e.g. 1920x1080", raw_resolution},
            {"--no-frames", "", "do not print frame lines (they are still counted and recorded)", "",
             SetFlag(&o->print_frames, false)},
            {"--quiet", "", "print only the closing summary", "", SetFlag(&o->quiet)},
            {"--no-reconnect", "", "end when there is no server or it goes away, instead of waiting", "",
             SetFlag(&o->reconnect, false)},
        },
        "Exit status: 0 done (count, time or Ctrl-C), 1 a failed request, an address that is not\n"
        "dotted IPv4 or, with --no-reconnect, no server, 2 bad usage, 3 the server went away\n"
        "(with --no-reconnect).\n",
        nullptr};
}

int FailedRequest(const char* what, int status) {
    std::fprintf(stderr, "vornmt-monitor: %s failed: %s\n", what, StatusWithNumber(status).c_str());
    DisconnectServer();
    return kExitFailed;
}

int Run(int argc, char** argv) {
    static Monitor state;
    monitor = &state;
    int exit_status = kExitDone;
    if (!vornmt::tools::ReadCommandLine(OptionTable(&state.options), argc, argv, &exit_status)) return exit_status;
    const Options& options = state.options;

    if (!options.record.empty()) {
        std::string error;
        if (!state.recording.Open(options.record, &error)) {
            std::fprintf(stderr, "vornmt-monitor: %s\n", error.c_str());
            return kExitFailed;
        }
        state.recording_open = true;
    }

    // Before the library starts its threads, so that they inherit the
    // blocked stop signals.
    vornmt::platform::InstallStopHandler([] {
        std::lock_guard<std::mutex> hold(monitor->mutex);
        monitor->stop = true;
        monitor->changed.notify_all();
    });

    vornmt::tools::FollowServer({OnFrame, OnGesture, OnDeviceInfo, OnError, OnServerBreak, OnConnected},
                                options.reconnect);

    state.connected_at = Clock::now();
    int status = ERR_NONE;
    {
        // Held so that a callback's line cannot come before this one.
        std::lock_guard<std::mutex> hold(state.mutex);
        status = ConnectServer(options.address.c_str(), options.port);
        state.connected_once = status == ERR_NONE;
        if (!options.quiet && (status == ERR_NONE || status == ERR_NOT_YET_CONNECTED)) {
            std::printf("%s %s; frame lines read: frame VALUE_0 VALUE_1: N points "
                        "[code_0 code_1 x,y aux_0xaux_1] ...\n",
                        status == ERR_NONE ? "connected to" : "waiting for a server at", state.Server().c_str());
            std::fflush(stdout);
        }
    }
    if (status != ERR_NONE && status != ERR_NOT_YET_CONNECTED) {
        std::fprintf(stderr, "vornmt-monitor: cannot connect to %s: %s\n", state.Server().c_str(),
                     StatusWithNumber(status).c_str());
        vornmt::platform::RemoveStopHandler();
        return kExitFailed;
    }
    const bool connected = status == ERR_NONE;

    // Sent now or kept by the library for the connection it opens; it sends
    // them again on every later one.
    TouchClientRequest request{};
    request.type = options.type;
    std::memcpy(request.param, options.param.c_str(), options.param.size() + 1);
    if ((status = vornmt::tools::SendKeptSetting([&] { return SendRequest(request); })) != ERR_NONE) {
        exit_status = FailedRequest("SendRequest", status);
    } else if (connected && (status = GetServerResolution(OnResolution, nullptr)) != ERR_NONE &&
               GetConnectionState() == STATE_CONNECTED) {
        // Not when the connection is gone meanwhile: the next one asks again.
        exit_status = FailedRequest("GetServerResolution", status);
    } else if (options.send_threshold &&
               (status = vornmt::tools::SendKeptSetting([&] { return SendThreshold(options.threshold); })) !=
                   ERR_NONE) {
        exit_status = FailedRequest("SendThreshold", status);
    } else if (options.send_raw_resolution &&
               (status = vornmt::tools::SendKeptSetting(
                    [&] { return SetRawDataResolution(options.raw_x, options.raw_y); })) != ERR_NONE) {
        exit_status = FailedRequest("SetRawDataResolution", status);
    }

    if (exit_status == kExitDone) {
        std::unique_lock<std::mutex> hold(state.mutex);
        auto finished = [&] {
            return state.stop || state.server_gone || (options.count > 0 && state.events >= options.count);
        };
        if (options.seconds > 0) {
            state.changed.wait_for(hold, std::chrono::duration<double>(options.seconds), finished);
        } else {
            state.changed.wait(hold, finished);
        }
        if (state.server_gone) exit_status = kExitServerGone;
    }
    DisconnectServer();
    vornmt::platform::RemoveStopHandler();

    if (state.recording_open) {
        std::string error;
        if (!state.recording.Close(&error)) {
            std::fprintf(stderr, "vornmt-monitor: %s\n", error.c_str());
            if (exit_status == kExitDone) exit_status = kExitFailed;
        }
    }
    std::lock_guard<std::mutex> hold(state.mutex);
    std::printf("%lld events: %lld frames, %lld gestures, %lld errors", state.events, state.frames, state.gestures,
                state.errors);
    if (state.server_gone) {
        std::printf("; the server went away");
    } else if (state.losses > 0) {
        std::printf("; connections lost: %lld, reconnected: %lld", state.losses, state.reconnections);
    }
    std::printf("\n");
    return exit_status;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
