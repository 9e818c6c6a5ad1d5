// vornmt-sim: a touch server on 127.0.0.1 that plays scripted touches (or a
// recording) to every client that subscribes. See docs/simulator.md.
#include <VornMTClient.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "common/event_text.h"
#include "common/options.h"
#include "common/recording.h"
#include "platform/stop_signal.h"
#include "simulator/playback.h"
#include "simulator/simulator_server.h"

namespace vornmt::tools {
namespace {

constexpr int kDefaultRate = 100;
// Each client holds a thread; more than this is a mistake, not a load.
constexpr int kMostMaxClients = 1000;

struct Arguments {
    int port = kDefaultSimulatorPort;
    std::string scenario = "tour";
    std::string replay;
    int rate = kDefaultRate;
    int loops = -1;  // -1: the default for the source
    double speed = 1.0;
    double duration_s = 0;
    int clients = 0;
    int max_clients = kDefaultMaxClients;
    double stall_s = kDefaultStallMs / 1000.0;
    WireResolution resolution{1920, 1080};
    bool resolution_given = false;
    bool quiet = false;
};

void ListBuiltins() {
    std::printf("Built-in scenarios (vornmt-sim --scenario NAME; --show NAME prints one):\n");
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        std::printf("  %-11s %s\n", builtin.name.c_str(), builtin.description.c_str());
    }
    std::printf("\nGestures each one produces at a client (xN: N in a row):\n");
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        if (builtin.name == "tour") continue;
        std::printf("  %-11s %s\n", builtin.name.c_str(), builtin.expected_gestures.c_str());
    }
}

int MostFingersDown(const Scenario& scenario) {
    int down = 0;
    int most = 0;
    for (const ScenarioStep& step : scenario.steps) {
        if (step.kind == StepKind::kDown) most = std::max(most, ++down);
        if (step.kind == StepKind::kUp) --down;
    }
    return most;
}

// What the information text can hold: the record's bytes less its NUL.
constexpr std::size_t kInformationTextBytes = Vorn_SDK_MultiTouch::DEVICE_INFO_TEXT_SIZE - 1;

std::string Cut(std::string text, std::size_t bytes) {
    if (text.size() > bytes) text.resize(bytes);
    return text;
}

// Builds the stream and what the simulator announces; *what describes it.
bool PrepareSession(const Arguments& arguments, SessionSettings* session, std::string* what, std::string* error) {
    if (!arguments.replay.empty()) {
        std::string text;
        Recording recording;
        if (!ReadTextFile(arguments.replay, &text, error)) return false;
        if (!ParseRecording(text, &recording, error) ||
            !StreamFromRecording(recording, &session->stream, error)) {
            *error = arguments.replay + ": " + *error;
            return false;
        }
        session->loops = arguments.loops >= 0 ? arguments.loops : 1;
        session->information = WireInformation{0, 0, Cut("VornMT touch simulator, replay of " + arguments.replay, kInformationTextBytes)};
        if (arguments.resolution_given) session->stream.resolution.reset();
        *what = "replaying " + arguments.replay + " (" + std::to_string(session->stream.items.size()) + " events)";
        return true;
    }
    std::string text;
    std::string source = arguments.scenario;
    if (const BuiltinScenario* builtin = FindBuiltinScenario(arguments.scenario)) {
        text = builtin->text;
    } else if (!ReadTextFile(arguments.scenario, &text, error)) {
        *error = "no built-in scenario or readable file named '" + arguments.scenario + "' (see --list): " + *error;
        return false;
    }
    Scenario scenario;
    if (!ParseScenario(text, &scenario, error)) {
        *error = source + ": " + *error;
        return false;
    }
    const std::string name = scenario.name.empty() ? source : scenario.name;
    session->stream = StreamFromScenario(scenario, arguments.rate);
    session->loops = arguments.loops >= 0 ? arguments.loops : 0;
    session->information = WireInformation{
        MostFingersDown(scenario), arguments.rate,
        Cut("VornMT touch simulator, scenario " + name + " at " + std::to_string(arguments.rate) + " frames/s", kInformationTextBytes)};
    *what = "playing scenario '" + name + "' at " + std::to_string(arguments.rate) + " frames/s";
    return true;
}

// The command line, read into *arguments.
CommandLine OptionTable(Arguments* a) {
    auto list = [](const char*) {
        ListBuiltins();
        return true;
    };
    auto show = [](const char* name) {
        const BuiltinScenario* builtin = FindBuiltinScenario(name);
        if (builtin) std::printf("%s", builtin->text.c_str());
        return builtin != nullptr;
    };
    auto resolution = [a, size = TakeSize(0, INT_MAX, &a->resolution.x, &a->resolution.y)](const char* text) {
        return a->resolution_given = size(text);
    };
    return CommandLine{
        "vornmt-sim",
        "[options]",
        "A touch server for VornMTClient applications, on 127.0.0.1, with scripted touches.\n",
        {
            {"--port", "N", "TCP port (default 7100; 0 picks a free one)", "needs 0 to 65535",
             TakeInteger(0, 65535, &a->port)},
            {"--scenario", "NAME", "a built-in scenario (see --list) or a scenario file (default: tour)",
             "needs a name or a file", TakeText(&a->scenario)},
            {"--replay", "FILE", "replay a recording made by vornmt-monitor --record instead",
             "needs a recording file", TakeText(&a->replay)},
            {"--rate", "N", "frames per second of a scenario, 1 to 1000 (default 100)",
             "needs 1 to 1000 frames per second", TakeInteger(kMinFrameRate, kMaxFrameRate, &a->rate)},
            {"--loops", "N",
             "passes of the stream per client, 0 for no end\n(default: 0 for a scenario, 1 for a replay); then the\n"
             "simulator closes that client's connection",
             "needs 0 or more", TakeInteger(0, INT_MAX, &a->loops)},
            {"--speed", "X", "play X times as fast, 0.01 to 100 (default 1)", "needs a factor from 0.01 to 100",
             TakeReal(0.01, 100, &a->speed)},
            {"--duration", "SECONDS", "stop after this many seconds", "needs a number of seconds above 0",
             TakeReal(kAboveZero, 1e7, &a->duration_s)},
            {"--clients", "N", "stop once N clients have been served to the end", "needs 1 or more",
             TakeInteger(1, INT_MAX, &a->clients)},
            {"--max-clients", "N",
             "serve at most N clients at once, 1 to 1000 (default 32);\none more is closed as it connects",
             "needs 1 to 1000", TakeInteger(1, kMostMaxClients, &a->max_clients)},
            {"--stall-seconds", "S",
             "drop a client that takes no bytes for S seconds while\nframes wait for it, 0.1 to 3600 (default 10)",
             "needs a number of seconds from 0.1 to 3600", TakeReal(0.1, 3600, &a->stall_s)},
            {"--resolution", "WxH", "what get_resolution answers (default 1920x1080)",
             "needs WIDTHxHEIGHT, e.g. 1920x1080", resolution},
            {"--list", "", "list the built-in scenarios and exit", "", list, true},
            {"--show", "NAME", "print a built-in scenario in the file format and exit",
             "needs the name of a built-in scenario (see --list)", show, true},
            {"--quiet", "", "print only where it listens, and errors", "", SetFlag(&a->quiet)},
        },
        "Streams start when a client sends its request (SendRequest). Ctrl-C stops.\n",
        nullptr};
}

int Run(int argc, char** argv) {
    Arguments arguments;
    int exit_status = kExitDone;
    if (!ReadCommandLine(OptionTable(&arguments), argc, argv, &exit_status)) return exit_status;

    SimulatorOptions options;
    options.port = static_cast<std::uint16_t>(arguments.port);
    options.max_clients = arguments.max_clients;
    options.session.resolution = arguments.resolution;
    options.session.speed = arguments.speed;
    options.session.stall_ms = static_cast<int>(std::lround(arguments.stall_s * 1000));
    std::string what;
    std::string error;
    if (!PrepareSession(arguments, &options.session, &what, &error)) {
        std::fprintf(stderr, "vornmt-sim: %s\n", error.c_str());
        return kExitFailed;
    }

    const auto started = std::chrono::steady_clock::now();
    std::mutex output;
    auto print = [&](const std::string& line) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::lock_guard<std::mutex> hold(output);
        std::printf("[%8.3f] %s\n", seconds, line.c_str());
        std::fflush(stdout);
    };
    if (!arguments.quiet) options.log = print;

    SimulatorServer server;
    // Before Start: the stop handler must be in place before any thread runs.
    platform::InstallStopHandler([&server] { server.RequestStop(); });
    int status = server.Start(options);
    if (status != 0) {
        platform::RemoveStopHandler();
        std::fprintf(stderr, "vornmt-sim: cannot listen on 127.0.0.1:%d: %s\n", arguments.port,
                     StatusWithNumber(status).c_str());
        return kExitFailed;
    }
    const std::string loops =
        options.session.loops == 0 ? "no end" : std::to_string(options.session.loops) + " per client";
    print("listening on 127.0.0.1:" + std::to_string(server.port()) + ", " + what + ", passes: " + loops);

    const int clients = arguments.clients > 0 ? arguments.clients : INT_MAX;
    const int timeout_ms = arguments.duration_s > 0 ? static_cast<int>(std::min(arguments.duration_s * 1000, 2e9)) : -1;
    server.WaitForFinishedClients(clients, timeout_ms);
    server.Stop();
    platform::RemoveStopHandler();
    print("stopped after serving " + std::to_string(server.finished_clients()) + " client(s)");
    return kExitDone;
}

}  // namespace
}  // namespace vornmt::tools

int main(int argc, char** argv) { return vornmt::tools::Run(argc, argv); }
