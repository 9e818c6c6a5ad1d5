#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "client/library_state.h"
#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/process_threads.h"
#include "support/returns_within.h"
#include "support/test_server.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::ReturnsWithin;
using vornmt::testing::TestServer;

void RecordBreak(void* reserved, void* user_data) {
    static_cast<EventLog*>(user_data)->Add(reserved == nullptr ? "break" : "break with non-null reserved");
}

class Connection : public vornmt::testing::ApiTest {
protected:
    static bool Connected() { return GetConnectionState() == mt::STATE_CONNECTED; }
    // No thread is left running beyond those running before (threads of
    // earlier tests may still be ending, so fewer is fine).
    static void ExpectNoThreadsAddedTo(int threads_before) {
        if (threads_before < 0) return;
        EXPECT_LE(vornmt::testing::CountProcessThreads(), threads_before);
    }
    // Connects the library to `server` and lets the server accept it.
    static void ConnectTo(TestServer& server) {
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
};

TEST_F(Connection, RefusedConnectionReportsWinsockNumberAndLeavesNothing) {
    uint16_t port;
    {
        TestServer closed;
        port = closed.port();
    }  // nothing listens there now
    const int threads = vornmt::testing::CountProcessThreads();
    EXPECT_EQ(ConnectServer("127.0.0.1", port), 10061);
    EXPECT_FALSE(Connected());
    ExpectNoThreadsAddedTo(threads);
    EXPECT_EQ(DisconnectServer(), 0);
}

TEST_F(Connection, BadAddressFailsWithoutConnecting) {
    TestServer server;
    EXPECT_EQ(ConnectServer("localhost", server.port()), 10049);  // no name resolution
    EXPECT_EQ(ConnectServer("", server.port()), 10049);
    EXPECT_FALSE(Connected());
}

TEST_F(Connection, NullAddressConnectsToLoopbackAndPortUsesLow16Bits) {
    TestServer server;
    ASSERT_EQ(ConnectServer(nullptr, server.port() + 65536 * 3), 0);
    EXPECT_TRUE(server.Accept());
    EXPECT_TRUE(Connected());  // the server listens on 127.0.0.1 only
}

TEST_F(Connection, DisconnectEndsTheConnectionPromptlyWithoutServerBreak) {
    EventLog breaks;
    SetOnServerBreak(RecordBreak, &breaks);
    TestServer server;
    const int threads = vornmt::testing::CountProcessThreads();
    ASSERT_NO_FATAL_FAILURE(ConnectTo(server));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DisconnectServer(), 0);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(server.WaitForClientEnd());
    EXPECT_FALSE(Connected());
    ExpectNoThreadsAddedTo(threads);
    EXPECT_EQ(DisconnectServer(), 0);  // twice is fine
    EXPECT_EQ(breaks.size(), 0u);
    // Not a timing assertion on speed, only that no 2-second wait hides in it.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(Connection, ReconnectClosesTheOldConnectionFirst) {
    TestServer server;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(server));
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    EXPECT_TRUE(server.WaitForClientEnd());  // the first connection ended
    EXPECT_TRUE(server.Accept());            // and a second one is there
}

TEST_F(Connection, ServerBreakIsReportedOnceOnTheReceiveThread) {
    EventLog breaks;
    SetOnServerBreak(RecordBreak, &breaks);
    for (bool reset : {false, true}) {
        TestServer server;
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
        std::size_t before = breaks.size();
        if (reset) server.ResetClient(); else server.CloseClient();
        ASSERT_TRUE(breaks.WaitForCount(before + 1));
        EXPECT_EQ(DisconnectServer(), 0);
        EXPECT_EQ(breaks.size(), before + 1) << "reported more than once";
        EXPECT_NE(breaks.threads().back(), std::this_thread::get_id());
    }
    EXPECT_EQ(breaks.events(), (std::vector<std::string>{"break", "break"}));
}

struct InCallback {
    EventLog log;
    std::atomic<int32_t> connect_result{-1};
    std::atomic<int32_t> disconnect_result{-1};
};

void ConnectAndDisconnectFromBreak(void*, void* user_data) {
    auto* state = static_cast<InCallback*>(user_data);
    state->connect_result = ConnectServer("127.0.0.1", 1);
    state->disconnect_result = DisconnectServer();
    state->log.Add("done");
}

TEST_F(Connection, CallbackMayDisconnectButNotConnect) {
    InCallback state;
    SetOnServerBreak(ConnectAndDisconnectFromBreak, &state);
    TestServer server;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(server));
    server.CloseClient();
    ASSERT_TRUE(state.log.WaitForCount(1));
    EXPECT_EQ(state.connect_result.load(), mt::ERR_IN_CALLBACK);
    EXPECT_EQ(state.disconnect_result.load(), 0);
    EXPECT_EQ(SendThreshold(1), 10057);  // stopped, though not yet reaped
    // The application's next call reaps the stopped threads, and a new
    // connection works.
    SetOnServerBreak(nullptr, nullptr);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    EXPECT_TRUE(server.Accept());
}

struct DisconnectingFrame {
    EventLog log;
    std::atomic<int32_t> threshold_status{-1};
};

void DisconnectFromFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto* state = static_cast<DisconnectingFrame*>(user_data);
    DisconnectServer();
    state->threshold_status = SendThreshold(1);
    state->log.Add("disconnected");
}

// The server stays up and the test calls nothing after the frame: whatever
// ends the connection is the callback's own call.
TEST_F(Connection, DisconnectFromCallbackClosesTheConnectionAtOnce) {
    DisconnectingFrame state;
    SetOnReceivePointFrame(DisconnectFromFrame, &state);
    TestServer server;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(server));
    ASSERT_TRUE(server.SendMessage(vornmt::testing::InvokeText("frame", "<number>0</number><number>0</number><null/>")));
    ASSERT_TRUE(state.log.WaitForCount(1));
    EXPECT_TRUE(server.WaitForClientEnd()) << "the server never saw the connection end";
    EXPECT_EQ(state.threshold_status.load(), 10057);
}

struct Flooding {
    EventLog log;
    std::atomic<int32_t> last_status{0};
};

// One message far larger than the socket buffers: with a server that reads
// nothing, the send blocks until the connection ends.
void FloodFromFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto* flooding = static_cast<Flooding*>(user_data);
    flooding->log.Add("sending");
    flooding->last_status = vornmt::client::Library().connection.outbound().Send(std::string(std::size_t{256} << 20, 'x'));
}

TEST_F(Connection, DisconnectWakesACallbackBlockedInASend) {
    Flooding flooding;
    SetOnReceivePointFrame(FloodFromFrame, &flooding);
    TestServer server;
    ASSERT_NO_FATAL_FAILURE(ConnectTo(server));
    ASSERT_TRUE(server.SendMessage(vornmt::testing::InvokeText("frame", "<number>0</number><number>0</number><null/>")));
    ASSERT_TRUE(flooding.log.WaitForCount(1));
    ASSERT_TRUE(server.WaitForData());  // the send is under way
    int32_t status = -1;
    ASSERT_TRUE(ReturnsWithin(5000, [&status] { status = DisconnectServer(); }, "DisconnectServer"));
    EXPECT_EQ(status, 0);
    EXPECT_NE(flooding.last_status.load(), 0);
}

TEST_F(Connection, ExitingWhileConnectedNeitherHangsNorCrashes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestServer server;
    EXPECT_EXIT(
        {
            SetOnReceiveError(nullptr, nullptr);
            if (ConnectServer("127.0.0.1", server.port()) != 0) std::exit(2);
            std::exit(0);  // the library's unload teardown runs during exit
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
