// The simulator and the library together: what a client receives through the
// public API from an in-process simulator, and how the simulator copes with
// raw clients that misbehave.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/event_text.h"
#include "common/recording.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "simulator/gesture_sequence.h"
#include "simulator/simulator_server.h"
#include "simulator/wire_messages.h"
#include "support/raw_client.h"
#include "transport/route_message.h"

namespace vornmt::tools {
namespace {

using namespace Vorn_SDK_MultiTouch;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 30000;

// Everything the library delivered, gathered from its two threads.
struct Delivered {
    std::mutex mutex;
    std::condition_variable changed;
    Clock::time_point connected_at;
    std::vector<WireFrame> frames;
    std::vector<Clock::time_point> frame_arrivals;
    std::vector<WireGesture> gestures;
    std::vector<WireInformation> information;
    std::vector<WireResolution> resolutions;
    std::vector<RecordedEvent> recorded;  // all of it, as the monitor records it
    std::vector<int> errors;
    bool server_break = false;

    template <typename Done>
    bool WaitFor(Done done, int timeout_ms = kWaitMs) {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), done);
    }
    void Add(WireEvent event) {
        recorded.push_back(RecordedEvent{
            std::chrono::duration<double, std::milli>(Clock::now() - connected_at).count(), std::move(event)});
        changed.notify_all();
    }
};

void OnFrame(int32_t value_0, int32_t value_1, int32_t count, const TouchPoint* points, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    WireFrame frame = FrameOf(value_0, value_1, count, points);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->frames.push_back(frame);
    delivered->frame_arrivals.push_back(Clock::now());
    delivered->Add(frame);
}

void OnGesture(const TouchGesture* gesture, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    WireGesture wire = GestureOf(*gesture);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->gestures.push_back(wire);
    delivered->Add(wire);
}

void OnInformation(const TouchDeviceInfo* info, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    WireInformation wire = InformationOf(*info);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->information.push_back(wire);
    delivered->Add(wire);
}

void OnResolution(int32_t x, int32_t y, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->resolutions.push_back(WireResolution{x, y});
    delivered->Add(WireResolution{x, y});
}

void OnServerBreak(void*, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->server_break = true;
    delivered->changed.notify_all();
}

void OnError(int32_t code, void* data) {
    auto* delivered = static_cast<Delivered*>(data);
    std::lock_guard<std::mutex> hold(delivered->mutex);
    delivered->errors.push_back(code);
    delivered->changed.notify_all();
}

// The simulator's log, kept for tests that look for a line.
struct LogLines {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;

    LogFunction Function() {
        return [this](const std::string& line) {
            std::lock_guard<std::mutex> hold(mutex);
            lines.push_back(line);
            changed.notify_all();
        };
    }
    bool WaitForLineContaining(const std::string& text) {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, std::chrono::milliseconds(kWaitMs), [&] {
            for (const std::string& line : lines) {
                if (line.find(text) != std::string::npos) return true;
            }
            return false;
        });
    }
};

Stream BuiltinStream(const std::string& name, int rate) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(FindBuiltinScenario(name)->text, &scenario, &error)) << error;
    return StreamFromScenario(scenario, rate);
}

std::vector<WireFrame> StreamFrames(const Stream& stream) {
    std::vector<WireFrame> frames;
    for (const StreamItem& item : stream.items) {
        if (const auto* frame = std::get_if<WireFrame>(&item.message)) frames.push_back(*frame);
    }
    return frames;
}

std::vector<int> Codes(const std::vector<WireGesture>& gestures) {
    std::vector<int> codes;
    for (const WireGesture& gesture : gestures) codes.push_back(gesture.code);
    return codes;
}

using testing::RawClient;

// A frame a raw client decoded, in the simulator's terms.
bool ReadWireFrame(RawClient& client, WireFrame* frame) {
    transport::InboundEvent event;
    transport::PointBuffer points;
    if (!client.ReadFrame(&event, &points)) return false;
    *frame = FrameOf(event.frame_value_0, event.frame_value_1, event.point_count, points.points);
    return true;
}

std::string Request(const std::string& name, const std::string& arguments_xml) {
    return message::BuildInvoke(name, arguments_xml);
}

class SimulatorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SetOnReceivePointFrame(OnFrame, &delivered_);
        SetOnReceiveGesture(OnGesture, &delivered_);
        SetOnGetDeviceInfo(OnInformation, &delivered_);
        SetOnServerBreak(OnServerBreak, &delivered_);
        SetOnReceiveError(OnError, &delivered_);
    }
    void TearDown() override {
        DisconnectServer();
        SetOnReceivePointFrame(nullptr, nullptr);
        SetOnReceiveGesture(nullptr, nullptr);
        SetOnGetDeviceInfo(nullptr, nullptr);
        SetOnServerBreak(nullptr, nullptr);
        SetOnReceiveError(nullptr, nullptr);
        if (server_) server_->Stop();
        std::lock_guard<std::mutex> hold(delivered_.mutex);
        EXPECT_TRUE(delivered_.errors.empty()) << "the library reported error " << delivered_.errors.front();
    }

    void StartServer(Stream stream, int loops, double speed, WireResolution resolution = {1920, 1080},
                     const std::string& information = "end-to-end simulator") {
        if (server_) server_->Stop();
        server_ = std::make_unique<SimulatorServer>();
        SimulatorOptions options;
        options.port = 0;
        options.session.stream = std::move(stream);
        options.session.loops = loops;
        options.session.speed = speed;
        options.session.resolution = resolution;
        options.session.information = WireInformation{3, 100, information};
        options.log = log_.Function();
        options.session.stall_ms = stall_ms_;
        options.max_clients = max_clients_;
        options.start_thread = start_thread_;
        ASSERT_EQ(server_->Start(std::move(options)), 0);
    }

    void ForgetDeliveries() {
        std::lock_guard<std::mutex> hold(delivered_.mutex);
        delivered_.frames.clear();
        delivered_.frame_arrivals.clear();
        delivered_.gestures.clear();
        delivered_.information.clear();
        delivered_.resolutions.clear();
        delivered_.recorded.clear();
        delivered_.server_break = false;
    }

    void ConnectAndSubscribe() {
        ForgetDeliveries();
        {
            std::lock_guard<std::mutex> hold(delivered_.mutex);
            delivered_.connected_at = Clock::now();
        }
        ASSERT_EQ(ConnectServer("127.0.0.1", server_->port()), ERR_NONE);
        TouchClientRequest request{};
        request.type = 1;
        std::strcpy(request.param, "end-to-end");
        ASSERT_EQ(SendRequest(request), ERR_NONE);
        ASSERT_EQ(GetServerResolution(OnResolution, &delivered_), ERR_NONE);
    }

    // After a stream of `frames` frames and `gestures` gestures has been
    // played once, the simulator closes the connection; the break can
    // overtake messages still being delivered, so wait for those too.
    void WaitForWholeStream(std::size_t frames, std::size_t gestures) {
        ASSERT_TRUE(delivered_.WaitFor([&] {
            return delivered_.server_break && delivered_.frames.size() >= frames &&
                   delivered_.gestures.size() >= gestures;
        })) << "got " << delivered_.frames.size() << " of " << frames << " frames and " << delivered_.gestures.size()
            << " of " << gestures << " gestures";
    }

    Delivered delivered_;
    LogLines log_;
    std::unique_ptr<SimulatorServer> server_;
    int max_clients_ = kDefaultMaxClients;
    int stall_ms_ = kDefaultStallMs;
    ThreadStarter start_thread_;
};

// A raw client that subscribed and got its first frame.
bool Subscribe(RawClient& client, std::uint16_t port) {
    WireFrame frame;
    return client.Connect(port) && client.SendMessage(Request("send_request", "<object></object>")) &&
           ReadWireFrame(client, &frame);
}

TEST_F(SimulatorEndToEnd, EachBuiltinScenarioReachesTheClientWithItsDocumentedGestures) {
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        SCOPED_TRACE(builtin.name);
        Stream stream = BuiltinStream(builtin.name, 100);
        const std::vector<WireFrame> frames = StreamFrames(stream);
        std::vector<int> expected;
        ASSERT_TRUE(ExpandGestureSequence(builtin.expected_gestures, &expected));
        StartServer(stream, 1, 10);
        ConnectAndSubscribe();
        WaitForWholeStream(frames.size(), expected.size());

        std::lock_guard<std::mutex> hold(delivered_.mutex);
        EXPECT_EQ(Codes(delivered_.gestures), expected);
        ASSERT_EQ(delivered_.frames.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(delivered_.frames[i].value_0, static_cast<int>(i)) << "frames are numbered per client";
            EXPECT_TRUE(delivered_.frames[i].points == frames[i].points) << "frame " << i;
        }
        ASSERT_EQ(delivered_.information.size(), 1u);
        EXPECT_EQ(delivered_.information[0].text, "end-to-end simulator");
        ASSERT_EQ(delivered_.resolutions.size(), 1u);
        EXPECT_EQ(delivered_.resolutions[0].x, 1920);
    }
    EXPECT_TRUE(log_.WaitForLineContaining("send_request app_key_id=\"{00000000-0000-0000-0000-000000000000}\""));
    EXPECT_TRUE(log_.WaitForLineContaining("param=\"end-to-end\""));
}

TEST_F(SimulatorEndToEnd, ReplayOfARecordingReproducesTheRecordedFramesAtTheirTiming) {
    // Record a session the way the monitor does.
    Stream original = BuiltinStream("split", 50);
    std::size_t frame_count = StreamFrames(original).size();
    std::size_t gesture_count = StreamGestures(original).size();
    StartServer(original, 1, 5, WireResolution{800, 600}, "recorded server");
    ConnectAndSubscribe();
    WaitForWholeStream(frame_count, gesture_count);
    std::string text = std::string(kRecordingMagic) + "\n";
    std::vector<WireFrame> recorded_frames;
    std::vector<WireGesture> recorded_gestures;
    double recorded_span_ms = 0;
    {
        std::lock_guard<std::mutex> hold(delivered_.mutex);
        for (const RecordedEvent& event : delivered_.recorded) text += FormatRecordedEvent(event) + "\n";
        recorded_frames = delivered_.frames;
        recorded_gestures = delivered_.gestures;
        recorded_span_ms =
            std::chrono::duration<double, std::milli>(delivered_.frame_arrivals.back() - delivered_.frame_arrivals.front())
                .count();
    }
    DisconnectServer();

    // Replay it.
    Recording recording;
    std::string error;
    ASSERT_TRUE(ParseRecording(text, &recording, &error)) << error;
    Stream replay;
    ASSERT_TRUE(StreamFromRecording(recording, &replay, &error)) << error;
    StartServer(replay, 1, 1);
    ConnectAndSubscribe();
    WaitForWholeStream(frame_count, gesture_count);

    std::lock_guard<std::mutex> hold(delivered_.mutex);
    ASSERT_EQ(delivered_.frames.size(), recorded_frames.size());
    for (std::size_t i = 0; i < recorded_frames.size(); ++i) {
        EXPECT_TRUE(delivered_.frames[i] == recorded_frames[i]) << "frame " << i << " differs from the recording";
    }
    ASSERT_EQ(Codes(delivered_.gestures), Codes(recorded_gestures));
    for (std::size_t i = 0; i < recorded_gestures.size(); ++i) {
        ASSERT_EQ(delivered_.gestures[i].params.size(), recorded_gestures[i].params.size());
        for (std::size_t p = 0; p < recorded_gestures[i].params.size(); ++p) {
            EXPECT_NEAR(delivered_.gestures[i].params[p], recorded_gestures[i].params[p], 1e-6);
        }
    }
    // The recorded announcements replace the simulator's own.
    ASSERT_EQ(delivered_.information.size(), 1u);
    EXPECT_EQ(delivered_.information[0].text, "recorded server");
    ASSERT_EQ(delivered_.resolutions.size(), 1u);
    EXPECT_EQ(delivered_.resolutions[0].x, 800);
    EXPECT_EQ(delivered_.resolutions[0].y, 600);
    // Never faster than recorded: the simulator sends nothing early.
    double replay_span_ms =
        std::chrono::duration<double, std::milli>(delivered_.frame_arrivals.back() - delivered_.frame_arrivals.front())
            .count();
    EXPECT_GT(replay_span_ms, recorded_span_ms * 0.8 - 5) << "recorded " << recorded_span_ms << " ms";
}

TEST_F(SimulatorEndToEnd, ClientJoiningDuringAStreamGetsItsOwnStreamFromTheStart) {
    Stream stream = BuiltinStream("tap", 100);
    const std::vector<WireFrame> frames = StreamFrames(stream);
    StartServer(stream, 0, 2);
    ConnectAndSubscribe();
    ASSERT_TRUE(delivered_.WaitFor([&] { return delivered_.frames.size() >= 12; }));

    RawClient second;
    ASSERT_TRUE(second.Connect(server_->port()));
    message::InvokeMessage message;
    ASSERT_TRUE(second.Read(&message));
    EXPECT_EQ(message.name, "version");
    ASSERT_TRUE(second.Read(&message));
    EXPECT_EQ(message.name, "information");
    // Nothing streams to it before it subscribes: the answer to its query
    // comes before any frame.
    ASSERT_TRUE(second.SendMessage(message::BuildInvokeWithoutArguments("get_resolution")));
    ASSERT_TRUE(second.Read(&message));
    EXPECT_EQ(message.name, "resolution");
    ASSERT_TRUE(second.SendMessage(Request("send_request", "<object></object>")));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        WireFrame frame;
        ASSERT_TRUE(ReadWireFrame(second, &frame)) << "frame " << i;
        EXPECT_EQ(frame.value_0, static_cast<int>(i));
        EXPECT_TRUE(frame.points == frames[i].points) << "frame " << i;
    }
    second.Close();

    // The first client's stream went on without a break in its numbering.
    std::size_t seen = 0;
    {
        std::lock_guard<std::mutex> hold(delivered_.mutex);
        seen = delivered_.frames.size();
    }
    ASSERT_TRUE(delivered_.WaitFor([&] { return delivered_.frames.size() >= seen + 12; }));
    std::lock_guard<std::mutex> hold(delivered_.mutex);
    for (std::size_t i = 0; i < delivered_.frames.size(); ++i) {
        ASSERT_EQ(delivered_.frames[i].value_0, static_cast<int>(i));
        ASSERT_TRUE(delivered_.frames[i].points == frames[i % frames.size()].points) << "frame " << i;
    }
    EXPECT_FALSE(delivered_.server_break);
}

TEST_F(SimulatorEndToEnd, MisbehavingClientsNeitherStopTheSimulatorNorDisturbOthers) {
    StartServer(BuiltinStream("tap", 100), 0, 1);

    // A request that arrives one byte at a time is still read, logged and served.
    RawClient slow;
    ASSERT_TRUE(slow.Connect(server_->port()));
    std::string request = Request("send_threshold", "<object><property id=\"move_threshold\"><number>7</number>"
                                                    "</property></object>") +
                          std::string(1, '\0') + Request("send_request", "<object></object>") + std::string(1, '\0');
    for (char byte : request) ASSERT_TRUE(slow.Send(std::string(1, byte)));
    EXPECT_TRUE(log_.WaitForLineContaining("client 1: send_threshold move_threshold=7"));
    WireFrame frame;
    ASSERT_TRUE(ReadWireFrame(slow, &frame));
    EXPECT_EQ(frame.value_0, 0);

    // Half a message and then a reset; a text that is no invoke document;
    // a flood without any NUL.
    RawClient rude;
    ASSERT_TRUE(rude.Connect(server_->port()));
    ASSERT_TRUE(rude.Send("<invoke name='send_request' returntype=\"xml\"><argum"));
    rude.Reset();
    RawClient confused;
    ASSERT_TRUE(confused.Connect(server_->port()));
    ASSERT_TRUE(confused.SendMessage("this is not xml"));
    ASSERT_TRUE(confused.SendMessage(Request("say_hello", "")));
    EXPECT_TRUE(log_.WaitForLineContaining("client 3: ignored a message of 15 bytes that is not an invoke document"));
    EXPECT_TRUE(log_.WaitForLineContaining("client 3: ignored the unknown message 'say_hello'"));
    // Names and keys that would retitle the window and clear the screen are
    // logged escaped, and so is a C1 CSI (U+009B) in a string.
    ASSERT_TRUE(confused.SendMessage(Request("\x1b]0;owned\x07", "")));
    ASSERT_TRUE(confused.SendMessage(Request("send_threshold", "<object><property id=\"k\x1b[2J\"><string>"
                                                               "\xc2\x9b" "1m</string></property></object>")));
    EXPECT_TRUE(log_.WaitForLineContaining("client 3: ignored the unknown message '\\x1b]0;owned\\x07'"));
    EXPECT_TRUE(log_.WaitForLineContaining("client 3: send_threshold k\\x1b[2J=\"\\u009b1m\""));
    RawClient flood;
    ASSERT_TRUE(flood.Connect(server_->port()));
    flood.Send(std::string(kMaxRequestBytes + 4096, 'x'));
    EXPECT_TRUE(flood.WaitForEnd());
    EXPECT_TRUE(log_.WaitForLineContaining("client 4: finished: it sent more than 65536 bytes without a NUL"));

    // The patient client is still being served, and a library client too.
    ASSERT_TRUE(ReadWireFrame(slow, &frame));
    ConnectAndSubscribe();
    ASSERT_TRUE(delivered_.WaitFor([&] { return delivered_.frames.size() >= 3; }));
    EXPECT_TRUE(server_->WaitForFinishedClients(2, kWaitMs));
}

TEST_F(SimulatorEndToEnd, ClientOverTheCapIsClosedAndTheOthersAreServedOn) {
    max_clients_ = 2;
    StartServer(BuiltinStream("tap", 100), 0, 1);
    RawClient first;
    RawClient second;
    ASSERT_TRUE(Subscribe(first, server_->port()));
    ASSERT_TRUE(Subscribe(second, server_->port()));

    RawClient third;
    ASSERT_TRUE(third.Connect(server_->port()));
    EXPECT_TRUE(third.WaitForEnd());
    EXPECT_TRUE(log_.WaitForLineContaining("client 3: refused and closed: 2 clients are served already"));
    WireFrame frame;
    EXPECT_TRUE(ReadWireFrame(first, &frame));
    EXPECT_TRUE(ReadWireFrame(second, &frame));
}

TEST_F(SimulatorEndToEnd, ClientsThatStopReadingAreDroppedAndTheirSlotsServeNewClients) {
    max_clients_ = 2;
    stall_ms_ = 200;
    // As fast as the simulator can send, so that the connections' buffers fill.
    StartServer(BuiltinStream("tap", 1000), 0, 1e6);
    RawClient stalled[2];
    for (RawClient& client : stalled) ASSERT_TRUE(Subscribe(client, server_->port()));
    EXPECT_TRUE(log_.WaitForLineContaining("client 1: finished: it took no bytes for 0.2 s (it stopped reading)"));
    EXPECT_TRUE(log_.WaitForLineContaining("client 2: finished: it took no bytes for 0.2 s (it stopped reading)"));
    RawClient fresh;
    EXPECT_TRUE(Subscribe(fresh, server_->port()));
}

TEST_F(SimulatorEndToEnd, ClientWithoutAThreadIsClosedAndTheSimulatorServesOn) {
    // The first start fails as it does when the process has no thread left.
    auto failures = std::make_shared<int>(1);
    start_thread_ = [failures](std::function<void()> body) {
        if ((*failures)-- > 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(body));
    };
    StartServer(BuiltinStream("tap", 100), 0, 1);
    RawClient refused;
    ASSERT_TRUE(refused.Connect(server_->port()));
    EXPECT_TRUE(refused.WaitForEnd());
    EXPECT_TRUE(log_.WaitForLineContaining("client 1: closed: no thread could be started for it"));
    RawClient served;
    EXPECT_TRUE(Subscribe(served, server_->port()));
}

}  // namespace
}  // namespace vornmt::tools
