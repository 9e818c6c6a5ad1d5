// The connection under a careless application: requests, connects and
// disconnects on several threads at once, a request blocked in a send, and a
// forked child. Each test fails (or reports a race under ThreadSanitizer)
// where the library lets two of them step on each other.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "client/library_state.h"
#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/returns_within.h"
#include "support/test_server.h"
#include "support/wait_until.h"

#if !defined(_WIN32)
namespace {
bool in_forked_child = false;
}  // namespace

// LeakSanitizer's check at exit would look for the parent's threads in a
// forked child and may report what they hold; the child is not checked.
extern "C" int __lsan_is_turned_off() { return in_forked_child ? 1 : 0; }
#endif

namespace {

namespace mt = Vorn_SDK_MultiTouch;
namespace platform = vornmt::platform;
using vornmt::testing::EventLog;
using vornmt::testing::ReturnsWithin;
using vornmt::testing::TestServer;
using vornmt::testing::WaitUntil;

using ConnectionRaces = vornmt::testing::ApiTest;

// Three application threads keep sending while the main thread disconnects and
// at once opens a socket of its own, which on POSIX gets the handle number
// just released. No request may land in that socket or hit a closed handle.
TEST_F(ConnectionRaces, RequestsNeverReachASocketOpenedAfterTheDisconnect) {
    constexpr int kCycles = 200;
    TestServer server;
    TestServer other;  // what the application's own socket connects to
    std::atomic<bool> done{false};
    std::atomic<long> sent[3] = {{0}, {0}, {0}};
    std::atomic<int> bad_handle{0};
    auto requester = [&](int index) {
        mt::TouchClientRequest request{};  // the longest to build: the widest window
        while (!done.load()) {
            int32_t status = SendRequest(request);
            if (status == 10009 || status == 10038) ++bad_handle;  // EBADF, ENOTSOCK
            ++sent[index];
        }
    };
    std::thread first(requester, 0), second(requester, 1), third(requester, 2);
    int misdirected = 0;
    for (int cycle = 0; cycle < kCycles && !HasFailure(); ++cycle) {
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
        EXPECT_EQ(DisconnectServer(), 0);
        int error = 0;
        platform::SocketHandle own = platform::OpenTcpSocket(&error);
        ASSERT_EQ(platform::ConnectIpv4(own, "127.0.0.1", other.port()), 0);
        ASSERT_TRUE(other.Accept());
        // A request that began before the disconnect has ended once its
        // thread has finished two more.
        long seen[3] = {sent[0].load(), sent[1].load(), sent[2].load()};
        EXPECT_TRUE(WaitUntil([&] {
            return sent[0].load() >= seen[0] + 2 && sent[1].load() >= seen[1] + 2 && sent[2].load() >= seen[2] + 2;
        }));
        if (other.WaitForData(0)) ++misdirected;
        platform::CloseSocket(own);
    }
    done = true;
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(misdirected, 0) << "requests written into the application's own socket";
    EXPECT_EQ(bad_handle.load(), 0) << "requests sent on a closed handle";
}

// The header asks for one thread at a time; two at once must still neither
// crash nor corrupt anything.
TEST_F(ConnectionRaces, ConnectAndDisconnectOnTwoThreadsAreTakenInTurn) {
    ExpectErrors();  // the server closing each client early is no fault here
    TestServer server;
    std::atomic<bool> done{false};
    std::thread acceptor([&] {
        while (!done.load()) server.Accept(50);
    });
    std::thread disconnecter([&] {
        while (!done.load()) DisconnectServer();
    });
    std::atomic<int> connected{0};
    std::thread connecter([&] {
        for (int i = 0; i < 200; ++i) connected += ConnectServer("127.0.0.1", server.port()) == 0;
        done = true;
    });
    ASSERT_TRUE(ReturnsWithin(30000, [&connecter] { connecter.join(); }, "connect and disconnect on two threads"));
    disconnecter.join();
    acceptor.join();
    EXPECT_EQ(connected.load(), 200);
}

TEST_F(ConnectionRaces, DisconnectEndsARequestBlockedInASendOnAnotherThread) {
    TestServer server;
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    std::atomic<int> status{-1};
    // Far more than the socket buffers hold; the server reads nothing.
    std::thread sender([&] { status = vornmt::client::Library().connection.outbound().Send(std::string(64 << 20, 'x')); });
    ASSERT_TRUE(server.WaitForData());
    ASSERT_TRUE(ReturnsWithin(5000, [&sender] {
        EXPECT_EQ(DisconnectServer(), 0);
        sender.join();
    }, "the disconnect and the blocked send"));
    EXPECT_NE(status.load(), 0);
    EXPECT_EQ(SendThreshold(1), 10057);
}

#if !defined(_WIN32)
void RecordFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("frame");
}

// A child that exits runs the library's unload teardown on its copies of the
// connection's descriptors and locks; the parent's connection must not notice.
TEST_F(ConnectionRaces, ForkedChildThatExitsLeavesTheParentsConnectionAlone) {
    EventLog frames;
    SetOnReceivePointFrame(RecordFrame, &frames);
    TestServer server;
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    int exit_pipe[2];
    ASSERT_EQ(::pipe(exit_pipe), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        in_forked_child = true;
        ::close(exit_pipe[0]);
        std::exit(0);  // static destructors run: the library's unload teardown
    }
    ::close(exit_pipe[1]);
    // The pipe reads its end once the child has finished exiting.
    pollfd watch{exit_pipe[0], POLLIN, 0};
    bool exited = ::poll(&watch, 1, 5000) == 1;
    ::close(exit_pipe[0]);
    if (!exited) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(exited) << "the child hung in its unload teardown";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_FALSE(server.WaitForData(0)) << "the server saw the connection end";
    ASSERT_EQ(SendThreshold(3), 0);
    std::string text;
    EXPECT_TRUE(server.ReadMessage(&text));
    ASSERT_TRUE(server.SendMessage(vornmt::testing::InvokeText("frame", "<number>0</number><number>0</number><null/>")));
    EXPECT_TRUE(frames.WaitForCount(1));
}
#endif

}  // namespace
