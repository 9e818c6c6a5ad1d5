// The monitor as a user runs it: a separate process, judged by its exit
// status, its output and the recording it writes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/recording.h"
#include "platform/server_sockets.h"
#include "platform/sockets.h"
#include "simulator/simulator_server.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vornmt::tools {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Unique across the test processes of several builds that may run at once.
std::string TempPath(const std::string& what) {
    static std::atomic<int> counter{0};
#if defined(_WIN32)
    const long process = 0;
#else
    const long process = static_cast<long>(getpid());
#endif
    return ::testing::TempDir() + "vornmt_monitor_test_" + std::to_string(process) + "_" +
           std::to_string(counter++) + "_" + what;
}

std::string Slurp(const std::string& path) {
    std::string text;
    std::string error;
    ReadTextFile(path, &text, &error);
    std::remove(path.c_str());
    return text;
}

#if defined(_WIN32)
// Under Wine the test cannot count on starting another Windows program
// through a shell, so these tests run on POSIX only.
#define SKIP_WITHOUT_CHILD_PROCESSES() GTEST_SKIP() << "the monitor is run as a child process on POSIX only"
Outcome RunMonitor(const std::string&, const std::string& = std::string()) { return {}; }
#else
#define SKIP_WITHOUT_CHILD_PROCESSES() \
    do {                                \
    } while (false)

// `out_path`: where the monitor prints, for a test that reads it meanwhile;
// empty for a file of its own.
Outcome RunMonitor(const std::string& arguments, const std::string& out_path = std::string()) {
    const std::string out = out_path.empty() ? TempPath("out.txt") : out_path;
    const std::string err = TempPath("err.txt");
    // A monitor that hangs is killed after a minute (status 124), so the test
    // fails instead of waiting for ever.
    const std::string command = std::string("timeout --kill-after=5 60 '") + VORNMT_MONITOR_PATH + "' " +
                                arguments + " >'" + out + "' 2>'" + err + "' </dev/null";
    Outcome outcome;
    int raw = std::system(command.c_str());
    outcome.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = Slurp(out);
    outcome.err = Slurp(err);
    return outcome;
}
#endif

// Waits until the monitor printing to `path` has printed `text` after
// position `from`; returns where it begins, or npos once the monitor has
// `ended` without or at the deadline (the monitor prints as it goes, and
// nothing tells when but the file).
std::size_t WaitForOutput(const std::string& path, const std::atomic<bool>& ended, const std::string& text,
                          std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        const bool last_look = ended.load();
        std::string printed;
        std::string error;
        ReadTextFile(path, &printed, &error);
        const std::size_t at = printed.find(text, from);
        if (at != std::string::npos || last_look || std::chrono::steady_clock::now() > deadline) return at;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A port on which nothing listens: one the system just handed out and took back.
std::uint16_t UnusedPort() {
    int error = 0;
    std::uint16_t port = 0;
    EXPECT_EQ(platform::StartSocketLayer(), 0);
    platform::SocketHandle listener = platform::ListenLoopback(0, &port, &error);
    EXPECT_NE(listener, platform::kInvalidSocket);
    platform::CloseSocket(listener);
    platform::CleanupSocketLayer();
    return port;
}

SimulatorOptions TapOptions(int loops, double speed) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(FindBuiltinScenario("tap")->text, &scenario, &error));
    SimulatorOptions options;
    options.port = 0;
    options.session.stream = StreamFromScenario(scenario, 100);
    options.session.loops = loops;
    options.session.speed = speed;
    options.session.information = WireInformation{1, 100, "monitor test"};
    return options;
}

// Runs the monitor with `arguments` against a simulator started with
// `options`, recording into *recording.
Outcome RunMonitorRecording(SimulatorOptions options, const std::string& arguments, Recording* recording) {
    SimulatorServer server;
    EXPECT_EQ(server.Start(std::move(options)), 0);
    const std::string path = TempPath("recording.txt");
    Outcome outcome =
        RunMonitor("--port " + std::to_string(server.port()) + " " + arguments + " --record '" + path + "'");
    server.Stop();
    std::string error;
    EXPECT_TRUE(ParseRecording(Slurp(path), recording, &error)) << error;
    return outcome;
}

TEST(Monitor, WithoutReconnectionARefusedConnectionIsExplainedAndExitsWithStatusOne) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    const std::uint16_t port = UnusedPort();
    Outcome outcome = RunMonitor("--port " + std::to_string(port) + " --count 1 --no-reconnect");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot connect to 127.0.0.1:" + std::to_string(port) +
                               ": connection refused (10061)"),
              std::string::npos)
        << outcome.err;
}

TEST(Monitor, BadUsageExitsWithStatusTwo) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    Outcome outcome = RunMonitor("--count none");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("--count needs 1 or more"), std::string::npos) << outcome.err;
}

TEST(Monitor, StopsAfterTheCountAndRecordsWhatItPrinted) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    Recording recording;
    Outcome outcome = RunMonitorRecording(TapOptions(0, 1), "--count 12", &recording);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("information 1 100 \"monitor test\""), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("resolution 1920x1080"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("gesture TG_TOUCH_START (0)"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("frame 0 0: 1 point [1 1 960,540 30x30]"), std::string::npos) << outcome.out;
    ASSERT_EQ(recording.events.size(), 12u);
    EXPECT_TRUE(std::holds_alternative<WireInformation>(recording.events[0].event));
    int frames = 0;
    for (const RecordedEvent& event : recording.events) frames += std::holds_alternative<WireFrame>(event.event);
    EXPECT_GE(frames, 1);
}

TEST(Monitor, PrintsControlCharactersOfTheDeviceTextEscapedAndRecordsThemAsSent) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    // Set the operator's clipboard, clear the screen, and a C1 CSI (U+009B).
    const std::string hostile = "dev\x1b]52;c;aGk=\x07\x1b[2J\xc2\x9b" "1m\x7f";
    SimulatorOptions options = TapOptions(0, 1);
    options.session.information.text = hostile;
    Recording recording;
    Outcome outcome = RunMonitorRecording(std::move(options), "--count 1", &recording);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("information 1 100 \"dev\\x1b]52;c;aGk=\\x07\\x1b[2J\\u009b1m\\x7f\""),
              std::string::npos)
        << outcome.out;
    EXPECT_EQ(outcome.out.find_first_of("\x07\x1b\x7f"), std::string::npos) << outcome.out;
    ASSERT_EQ(recording.events.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<WireInformation>(recording.events[0].event));
    EXPECT_EQ(std::get<WireInformation>(recording.events[0].event).text, hostile) << "a recording keeps the bytes";
}

TEST(Monitor, WithoutReconnectionTheServerGoingAwayEndsItWithStatusThree) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    SimulatorServer server;
    ASSERT_EQ(server.Start(TapOptions(1, 4)), 0);
    Outcome outcome = RunMonitor("--port " + std::to_string(server.port()) + " --no-frames --no-reconnect");
    server.Stop();
    EXPECT_EQ(outcome.status, 3) << outcome.out << outcome.err;
    EXPECT_NE(outcome.out.find("server break"), std::string::npos) << outcome.out;
    EXPECT_EQ(outcome.out.find("] frame "), std::string::npos) << "--no-frames prints no frame lines";
}

// By default the library's reconnection carries the monitor: started before
// any server it says it waits and why, connects when one listens, and after
// the server is stopped and another starts on the same port, it reconnects,
// subscribes again and prints what the new server sends.
TEST(Monitor, WaitsForTheServerAndFollowsItThroughARestart) {
    SKIP_WITHOUT_CHILD_PROCESSES();
    const std::uint16_t port = UnusedPort();
    const std::string server = "127.0.0.1:" + std::to_string(port);
    const std::string out = TempPath("out.txt");
    Outcome outcome;
    std::atomic<bool> ended{false};
    // Ends by its count, which only the second server's fast stream reaches.
    std::thread monitor([&] {
        outcome = RunMonitor("--port " + std::to_string(port) + " --count 60", out);
        ended = true;
    });

    EXPECT_NE(WaitForOutput(out, ended, "waiting for a server at " + server), std::string::npos);
    EXPECT_NE(WaitForOutput(out, ended, "not yet connected: connection refused (10061)"), std::string::npos);
    SimulatorOptions first_options = TapOptions(0, 0.25);
    first_options.port = port;
    first_options.session.information.text = "first";
    auto first = std::make_unique<SimulatorServer>();
    EXPECT_EQ(first->Start(std::move(first_options)), 0);
    EXPECT_NE(WaitForOutput(out, ended, "] frame ", WaitForOutput(out, ended, "] connected to " + server)),
              std::string::npos);
    first.reset();  // stops it
    EXPECT_NE(WaitForOutput(out, ended, "server break: the server closed or reset the connection; reconnecting"),
              std::string::npos);

    SimulatorOptions second_options = TapOptions(0, 8);
    second_options.port = port;
    second_options.session.information.text = "second";
    SimulatorServer second;
    EXPECT_EQ(second.Start(std::move(second_options)), 0);
    monitor.join();
    second.Stop();

    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
    const std::size_t reconnected = outcome.out.find("] reconnected to " + server);
    ASSERT_NE(reconnected, std::string::npos) << outcome.out;
    const std::size_t information = outcome.out.find("information 1 100 \"second\"", reconnected);
    ASSERT_NE(information, std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("] frame ", information), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("; connections lost: "), std::string::npos) << outcome.out;
}

}  // namespace
}  // namespace vornmt::tools
