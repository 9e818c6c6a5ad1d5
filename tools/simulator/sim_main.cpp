// vornmt-sim: a touch server on 127.0.0.1 that plays scripted touches (or a
// recording) to every client that subscribes. See docs/simulator.md.
#include <VornMTClient.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "common/event_text.h"
#include "common/recording.h"
#include "common/stop_signal.h"
#include "common/text_parsing.h"
#include "simulator/playback.h"
#include "simulator/simulator_server.h"

namespace vornmt::tools {
namespace {

constexpr int kDefaultRate = 100;
// Each client holds a thread; more than this is a mistake, not a load.
constexpr int kMostMaxClients = 1000;

const char kUsage[] =
    "usage: vornmt-sim [options]\n"
    "A touch server for VornMTClient applications, on 127.0.0.1, with scripted touches.\n"
    "\n"
    "  --port N            TCP port (default 7100; 0 picks a free one)\n"
    "  --scenario NAME     a built-in scenario (see --list) or a scenario file (default: tour)\n"
    "  --replay FILE       replay a recording made by vornmt-monitor --record instead\n"
    "  --rate N            frames per second of a scenario, 1 to 1000 (default 100)\n"
    "  --loops N           passes of the stream per client, 0 for no end\n"
    "                      (default: 0 for a scenario, 1 for a replay); then the\n"
    "                      simulator closes that client's connection\n"
    "  --speed X           play X times as fast, 0.01 to 100 (default 1)\n"
    "  --duration SECONDS  stop after this many seconds\n"
    "  --clients N         stop once N clients have been served to the end\n"
    "  --max-clients N     serve at most N clients at once, 1 to 1000 (default 32);\n"
    "                      one more is closed as it connects\n"
    "  --stall-seconds S   drop a client that takes no bytes for S seconds while\n"
    "                      frames wait for it, 0.1 to 3600 (default 10)\n"
    "  --resolution WxH    what get_resolution answers (default 1920x1080)\n"
    "  --list              list the built-in scenarios and exit\n"
    "  --show NAME         print a built-in scenario in the file format and exit\n"
    "  --quiet             print only where it listens, and errors\n"
    "  --help              this text\n"
    "\n"
    "Streams start when a client sends its request (SendRequest). Ctrl-C stops.\n";

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

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vornmt-sim: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

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

int Run(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (option == "--help" || option == "-h") {
            std::printf("%s", kUsage);
            return 0;
        } else if (option == "--list") {
            ListBuiltins();
            return 0;
        } else if (option == "--quiet") {
            arguments.quiet = true;
        } else if (option == "--show") {
            const char* name = value();
            const BuiltinScenario* builtin = name ? FindBuiltinScenario(name) : nullptr;
            if (!builtin) return UsageError("--show needs the name of a built-in scenario (see --list)");
            std::printf("%s", builtin->text.c_str());
            return 0;
        } else if (option == "--port") {
            const char* text = value();
            if (!ParseIntegerOption(text, 0, 65535, &arguments.port)) return UsageError("--port needs 0 to 65535");
        } else if (option == "--scenario") {
            const char* text = value();
            if (!text) return UsageError("--scenario needs a name or a file");
            arguments.scenario = text;
        } else if (option == "--replay") {
            const char* text = value();
            if (!text) return UsageError("--replay needs a recording file");
            arguments.replay = text;
        } else if (option == "--rate") {
            const char* text = value();
            if (!ParseIntegerOption(text, kMinFrameRate, kMaxFrameRate, &arguments.rate)) {
                return UsageError("--rate needs 1 to 1000 frames per second");
            }
        } else if (option == "--loops") {
            const char* text = value();
            if (!ParseIntegerOption(text, 0, INT_MAX, &arguments.loops)) return UsageError("--loops needs 0 or more");
        } else if (option == "--clients") {
            const char* text = value();
            if (!ParseIntegerOption(text, 1, INT_MAX, &arguments.clients)) return UsageError("--clients needs 1 or more");
        } else if (option == "--max-clients") {
            if (!ParseIntegerOption(value(), 1, kMostMaxClients, &arguments.max_clients)) {
                return UsageError("--max-clients needs 1 to 1000");
            }
        } else if (option == "--stall-seconds") {
            const char* text = value();
            if (!text || !ParseReal(text, &arguments.stall_s) || arguments.stall_s < 0.1 || arguments.stall_s > 3600) {
                return UsageError("--stall-seconds needs a number of seconds from 0.1 to 3600");
            }
        } else if (option == "--speed") {
            const char* text = value();
            if (!text || !ParseReal(text, &arguments.speed) || arguments.speed < 0.01 || arguments.speed > 100) {
                return UsageError("--speed needs a factor from 0.01 to 100");
            }
        } else if (option == "--duration") {
            const char* text = value();
            if (!text || !ParseReal(text, &arguments.duration_s) || arguments.duration_s <= 0 ||
                arguments.duration_s > 1e7) {
                return UsageError("--duration needs a number of seconds above 0");
            }
        } else if (option == "--resolution") {
            if (!ParseSizeOption(value(), 0, INT_MAX, &arguments.resolution.x, &arguments.resolution.y)) {
                return UsageError("--resolution needs WIDTHxHEIGHT, e.g. 1920x1080");
            }
            arguments.resolution_given = true;
        } else {
            return UsageError("unknown option '" + option + "'");
        }
    }

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
        return 1;
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
    InstallStopHandler([&server] { server.RequestStop(); });
    int status = server.Start(options);
    if (status != 0) {
        RemoveStopHandler();
        std::fprintf(stderr, "vornmt-sim: cannot listen on 127.0.0.1:%d: %s\n", arguments.port,
                     StatusWithNumber(status).c_str());
        return 1;
    }
    const std::string loops =
        options.session.loops == 0 ? "no end" : std::to_string(options.session.loops) + " per client";
    print("listening on 127.0.0.1:" + std::to_string(server.port()) + ", " + what + ", passes: " + loops);

    const int clients = arguments.clients > 0 ? arguments.clients : INT_MAX;
    const int timeout_ms = arguments.duration_s > 0 ? static_cast<int>(std::min(arguments.duration_s * 1000, 2e9)) : -1;
    server.WaitForFinishedClients(clients, timeout_ms);
    server.Stop();
    RemoveStopHandler();
    print("stopped after serving " + std::to_string(server.finished_clients()) + " client(s)");
    return 0;
}

}  // namespace
}  // namespace vornmt::tools

int main(int argc, char** argv) { return vornmt::tools::Run(argc, argv); }
