// Automatic reconnection against a scripted server that goes away and comes
// back on the same port: the application is told (break, then connected),
// its settings reach the new connection byte for byte before anything else,
// a first connect without a server keeps trying, a disconnect ends the
// attempts at once, and many losses leave nothing behind.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/queued_events.h"
#include "support/returns_within.h"
#include "support/test_server.h"
#include "support/wait_until.h"

#if !defined(_WIN32)
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::InvokeText;
using vornmt::testing::ReturnsWithin;
using vornmt::testing::TestServer;
using vornmt::testing::WaitUntil;

const std::string kFrame = InvokeText("frame", "<number>7</number><number>0</number><null/>");

void RecordFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* log) {
    static_cast<EventLog*>(log)->Add("frame");
}
void RecordBreak(void*, void* log) {
    static_cast<EventLog*>(log)->Add(GetConnectionState() == mt::STATE_RECONNECTING ? "break, reconnecting"
                                                                                     : "break");
}
void RecordConnected(void*, void* log) { static_cast<EventLog*>(log)->Add("connected"); }

class Reconnect : public vornmt::testing::ApiTest {
protected:
    // A member, so that it outlives the callbacks of the teardown's
    // disconnect (a test's servers close before it).
    EventLog events;

    void Record(EventLog* log) {
        SetOnReceivePointFrame(RecordFrame, log);
        SetOnServerBreak(RecordBreak, log);
        SetOnConnected(RecordConnected, log);
    }
    // The three settings, sent by the application and read by the server.
    std::vector<std::string> SendSettings(TestServer& server) {
        mt::TouchClientRequest request{};
        request.type = 1;
        EXPECT_EQ(SendRequest(request), 0);
        EXPECT_EQ(SendThreshold(5), 0);
        EXPECT_EQ(SetRawDataResolution(640, 480), 0);
        return ReadTexts(server, 3);
    }
    std::vector<std::string> ReadTexts(TestServer& server, int count) {
        std::vector<std::string> texts(static_cast<std::size_t>(count));
        for (std::string& text : texts) EXPECT_TRUE(server.ReadMessage(&text));
        return texts;
    }
};

TEST_F(Reconnect, ServerRestartedOnTheSamePortGetsTheSettingsAgainAndFramesFlow) {
    TestServer server;
    Record(&events);
    ASSERT_EQ(SetAutoReconnect(20, 200), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(GetConnectionState(), mt::STATE_CONNECTED);
    const std::vector<std::string> settings = SendSettings(server);
    ASSERT_EQ(GetServerResolution(nullptr, nullptr), 0);  // a query, never sent again
    std::string query;
    ASSERT_TRUE(server.ReadMessage(&query));
    ASSERT_TRUE(server.SendMessage(kFrame));
    ASSERT_TRUE(events.WaitForCount(1));

    server.StopListening();
    server.CloseClient();
    ASSERT_TRUE(events.WaitForCount(2));
    EXPECT_TRUE(WaitUntil([] { return GetConnectionState() == mt::STATE_RECONNECTING; }));
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(server.ListenAgain());
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(ReadTexts(server, 3), settings) << "the settings were not sent again as they were";
    ASSERT_TRUE(server.SendMessage(kFrame));
    ASSERT_TRUE(events.WaitForCount(4));
    const auto first_frame_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - restarted).count();
    std::printf("restart to first frame: %.1f ms\n", first_frame_ms);
    EXPECT_EQ(events.events(),
              (std::vector<std::string>{"frame", "break, reconnecting", "connected", "frame"}));
    EXPECT_EQ(GetConnectionState(), mt::STATE_CONNECTED);
    EXPECT_FALSE(server.WaitForData(0)) << "the resolution query was sent again";
}

// The event queue holds the same order as the callbacks: the break, the new
// connection, then its events.
TEST_F(Reconnect, QueueHoldsTheBreakThenConnectedThenTheNewConnectionsEvents) {
    TestServer server;
    ASSERT_EQ(OpenEventQueue(0), 0);
    ASSERT_EQ(SetAutoReconnect(5, 5), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.SendMessage(kFrame));
    server.CloseClient();
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.SendMessage(kFrame));
    EXPECT_EQ(vornmt::testing::TakeEvents(4),
              (std::vector<std::string>{"frame 7 0 0", "break", "connected", "frame 7 0 0"}));
    EXPECT_EQ(CloseEventQueue(), 0);
}

TEST_F(Reconnect, FirstConnectWithoutServerKeepsTryingAndSendsWhatWasAskedMeanwhile) {
    TestServer server;
    server.StopListening();
    Record(&events);
    ExpectErrors(&events);
    ASSERT_EQ(SetAutoReconnect(10, 40), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), mt::ERR_NOT_YET_CONNECTED);
    EXPECT_EQ(GetConnectionState(), mt::STATE_RECONNECTING);
    mt::TouchClientRequest request{};
    request.type = 1;
    EXPECT_EQ(SendRequest(request), mt::ERR_NOT_YET_CONNECTED);
    EXPECT_EQ(SendThreshold(9), mt::ERR_NOT_YET_CONNECTED);
    EXPECT_EQ(GetServerResolution(nullptr, nullptr), 10057);  // a query is not kept
    ASSERT_TRUE(events.WaitForCount(1));
    ASSERT_TRUE(server.ListenAgain());
    ASSERT_TRUE(server.Accept());
    const std::vector<std::string> texts = ReadTexts(server, 2);
    EXPECT_NE(texts[0].find("send_request"), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find(">9<"), std::string::npos) << texts[1];
    ASSERT_TRUE(events.WaitForCount(2));
    EXPECT_EQ(events.events(), (std::vector<std::string>{"error 10061", "connected"}))
        << "the refusal is reported once, however many attempts it took";
    EXPECT_EQ(GetConnectionState(), mt::STATE_CONNECTED);
    EXPECT_FALSE(server.WaitForData(0));
}

TEST_F(Reconnect, InvalidSettingsAndAddressesChangeNothing) {
    EXPECT_EQ(SetAutoReconnect(-1, 10), 10022);
    EXPECT_EQ(SetAutoReconnect(20, 10), 10022);
    EXPECT_EQ(SetAutoReconnect(0, 10), 10022);  // would retry without pause
    ASSERT_EQ(SetAutoReconnect(10, 20), 0);
    EXPECT_EQ(ConnectServer("not an address", 1), 10049);
    EXPECT_EQ(GetConnectionState(), mt::STATE_DISCONNECTED);
}

TEST_F(Reconnect, DisconnectEndsTheWaitBetweenAttemptsAtOnce) {
    TestServer server;
    server.StopListening();
    ExpectErrors();
    ASSERT_EQ(SetAutoReconnect(60000, 60000), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), mt::ERR_NOT_YET_CONNECTED);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReturnsWithin(5000, [] { DisconnectServer(); }, "DisconnectServer during the wait"));
    std::printf("disconnect during the wait: %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    EXPECT_EQ(GetConnectionState(), mt::STATE_DISCONNECTED);
}

#if !defined(_WIN32)
// A listener on `port` whose backlog one connection fills: a connect to it
// then waits for minutes, as one to an unreachable server does.
class FullListener {
public:
    explicit FullListener(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        bound_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 ::listen(listener_, 0) == 0 &&
                 ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~FullListener() {
        ::close(filler_);
        ::close(listener_);
    }
    bool bound() const { return bound_; }

private:
    int listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
    bool bound_ = false;
};

TEST_F(Reconnect, DisconnectEndsAnAttemptInProgressAtOnce) {
    TestServer server;
    ASSERT_EQ(SetAutoReconnect(1, 1), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    server.StopListening();
    FullListener full(server.port());
    ASSERT_TRUE(full.bound());
    server.CloseClient();
    ASSERT_TRUE(WaitUntil([] { return GetConnectionState() == mt::STATE_RECONNECTING; }));
    // Long enough for the first attempt to be waiting on the full backlog;
    // a disconnect coming earlier only makes the test easier.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReturnsWithin(5000, [] { DisconnectServer(); }, "DisconnectServer during an attempt"));
    std::printf("disconnect during an attempt: %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

int CountEntries(const char* directory) {
    int count = 0;
    if (DIR* entries = ::opendir(directory)) {
        while (::readdir(entries) != nullptr) ++count;
        ::closedir(entries);
    }
    return count;
}

TEST_F(Reconnect, ManyLossesAndReconnectionsLeaveNothingBehind) {
    constexpr int kLosses = 200;
    TestServer server;
    SetOnConnected(RecordConnected, &events);
    ASSERT_EQ(SetAutoReconnect(1, 1), 0);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    const int descriptors = CountEntries("/proc/self/fd");
    const int threads = CountEntries("/proc/self/task");
    for (int loss = 1; loss <= kLosses && !HasFailure(); ++loss) {
        server.CloseClient();
        ASSERT_TRUE(server.Accept()) << "loss " << loss;
        ASSERT_TRUE(events.WaitForCount(static_cast<std::size_t>(loss))) << "loss " << loss;
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    DisconnectServer();
    EXPECT_EQ(CountEntries("/proc/self/task"), threads - 2) << "the worker threads are gone";
}
#endif

}  // namespace
