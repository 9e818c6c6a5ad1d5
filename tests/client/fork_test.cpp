// A child forked while the parent is connected: it holds copies of the
// parent's descriptors and locks, but none of its threads. The child must
// neither use the parent's connection nor wait for a lock a parent's thread
// held at the fork. Each case runs its child with a deadline.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "client/library_state.h"
#include "support/event_log.h"
#include "support/forked_child.h"
#include "support/queued_events.h"
#include "support/test_server.h"
#include "support/wait_until.h"

#if !defined(_WIN32)

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORNMT_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(VORNMT_TEST_TSAN)
// ThreadSanitizer cannot follow threads started in a child forked from a
// threaded process (it takes them for the parent's): under it the child does
// not connect anew.
constexpr bool kChildMayStartThreads = false;
#else
constexpr bool kChildMayStartThreads = true;
#endif

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocator (GCC 12) keeps its locks across a fork: a
// child forked while a parent's thread allocates may wait for ever in its
// first allocation, so the children of busy parents are left to the other
// builds.
constexpr bool kChildOfABusyParentMayAllocate = false;
#else
constexpr bool kChildOfABusyParentMayAllocate = true;
#endif

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::HandleSignalled;
using vornmt::testing::InvokeText;
using vornmt::testing::RunInForkedChild;
using vornmt::testing::TestServer;
using vornmt::testing::WaitUntil;

std::string FrameText(int value_0) {
    return InvokeText("frame", "<number>" + std::to_string(value_0) + "</number><number>0</number><null/>");
}

const std::string kFrame = FrameText(0);
// The frame a child's own server sends: the first the child may see.
constexpr int kChildsFrame = 42;

void FailOnError(int32_t code, void*) { ADD_FAILURE() << "unexpected error report " << code; }

void RecordFrame(int32_t value_0, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add(std::to_string(value_0));
}

void IgnoreFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void*) {}

// In a child: connects to a server of its own, which sends one frame, and
// checks that this frame is the first the child receives. 0 on success.
int ReceiveOnlyTheChildsOwnFrame() {
    EventLog frames;
    SetOnReceivePointFrame(RecordFrame, &frames);
    if (vornmt::client::Library().queue.size() != 0) return 4;
    if (!kChildMayStartThreads) return 0;
    TestServer own;
    if (ConnectServer("127.0.0.1", own.port()) != 0 || !own.Accept(5000)) return 2;
    if (!own.SendMessage(FrameText(kChildsFrame)) || !frames.WaitForCount(1, 5000)) return 3;
    if (frames.events().front() != std::to_string(kChildsFrame)) return 5;
    DisconnectServer();
    return 0;
}

// A frame callback that stays inside until the test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
};

void WaitAtGate(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto& gate = *static_cast<Gate*>(user_data);
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.entered = true;
    gate.changed.notify_all();
    gate.changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate.open; });
}

class ForkedChild : public ::testing::Test {
protected:
    void SetUp() override {
        SetOnReceiveError(FailOnError, nullptr);
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
    void TearDown() override {
        DisconnectServer();
        CloseEventQueue();
        SetOnReceivePointFrame(nullptr, nullptr);
        SetOnReceiveError(nullptr, nullptr);
    }
    TestServer server;
};

TEST_F(ForkedChild, RequestsOfAChildAreRefusedAndNeverReachTheParentsConnection) {
    int status = RunInForkedChild([] { return SendThreshold(222) == 10057 ? 0 : 1; });
    EXPECT_EQ(status, 0) << "the child's request did not return 10057";
    ASSERT_EQ(SendThreshold(3), 0);
    std::string text;
    ASSERT_TRUE(server.ReadMessage(&text));
    EXPECT_NE(text.find(">3<"), std::string::npos) << "the server received the child's request first: " << text;
}

// The parent's frame callback holds its slot's lock at the fork.
TEST_F(ForkedChild, ForkedDuringACallbackSetsCallbacksAndReceivesOnItsOwnConnection) {
    Gate gate;
    SetOnReceivePointFrame(WaitAtGate, &gate);
    ASSERT_TRUE(server.SendMessage(kFrame));
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        ASSERT_TRUE(gate.changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate.entered; }));
    }
    int status = RunInForkedChild([] {
        EventLog frames;
        SetOnReceivePointFrame(RecordFrame, &frames);
        if (!kChildMayStartThreads) return 0;
        TestServer own;
        if (ConnectServer("127.0.0.1", own.port()) != 0 || !own.Accept(5000)) return 2;
        if (!own.SendMessage(kFrame) || !frames.WaitForCount(1, 5000)) return 3;
        DisconnectServer();
        return 0;
    });
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    // The setter returns once the callback has left the gate, which lives on
    // this stack.
    SetOnReceivePointFrame(nullptr, nullptr);
    EXPECT_EQ(status, 0) << "the child hung (-1), could not connect (2) or received no frame (3)";
}

// Frames 2 to 5 wait in the queue behind a callback at the fork: they are the
// parent's to deliver, never the child's.
TEST_F(ForkedChild, ChildDeliversNoneOfTheParentsQueuedFrames) {
    Gate gate;
    SetOnReceivePointFrame(WaitAtGate, &gate);
    ASSERT_TRUE(server.SendMessage(FrameText(1)));
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        ASSERT_TRUE(gate.changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate.entered; }));
    }
    for (int value = 2; value <= 5; ++value) ASSERT_TRUE(server.SendMessage(FrameText(value)));
    ASSERT_TRUE(WaitUntil([] { return vornmt::client::Library().queue.size() == 4; }));
    int status = RunInForkedChild(ReceiveOnlyTheChildsOwnFrame);
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    SetOnReceivePointFrame(nullptr, nullptr);
    // All delivered before the test ends: a frame still queued at the
    // disconnect would reach the next test's connection.
    EXPECT_TRUE(WaitUntil([] { return vornmt::client::Library().queue.size() == 0; }));
    EXPECT_EQ(status, 0) << "the child hung (-1), could not connect (2), received no frame (3), "
                            "held the parent's texts (4) or delivered one of them (5)";
}

// Forks while the parent's threads add and take texts as fast as they can:
// the child must never touch the parent's half-changed queue, neither when it
// connects anew nor when it exits.
TEST_F(ForkedChild, ChildrenForkedDuringAFloodStartClean) {
    if (!kChildOfABusyParentMayAllocate) GTEST_SKIP() << "the sanitizer's allocator does not survive such a fork";
    if (!kChildMayStartThreads) GTEST_SKIP() << "a child that cannot connect anew tests nothing here";
    constexpr int kForks = 100;
    SetOnReceivePointFrame(IgnoreFrame, nullptr);
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        while (flooding.load() && server.SendMessage(kFrame)) {
        }
    });
    for (int i = 0; i < kForks && !HasFailure(); ++i) {
        int status = RunInForkedChild([] {
            int result = ReceiveOnlyTheChildsOwnFrame();
            if (result == 0) std::exit(0);  // the exit-time teardown runs too
            return result;
        });
        EXPECT_EQ(status, 0) << "fork " << i << ": the child crashed or hung (-1) or failed step " << status;
    }
    flooding = false;
    DisconnectServer();  // ends a send the flood thread waits in
    flood.join();
    SetOnReceivePointFrame(nullptr, nullptr);
}

// A library socket the child holds: a TCP socket not bound to the server's
// own port (the test's listener and accepted sockets are), unbound ones too.
bool HoldsALibrarySocket(std::uint16_t server_port) {
    for (int fd = 0; fd < 1024; ++fd) {
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) continue;
        if (address.sin_family == AF_INET && ntohs(address.sin_port) != server_port) return true;
    }
    return false;
}

// Forks while another thread connects and disconnects: whichever step that
// thread is in, the child holds none of the library's sockets.
TEST(ForkedChildDescriptors, ChildForkedDuringConnectsAndDisconnectsHoldsNoLibrarySocket) {
    if (!kChildOfABusyParentMayAllocate) GTEST_SKIP() << "the sanitizer's allocator does not survive such a fork";
    constexpr int kForks = 50;
    SetOnReceiveError(FailOnError, nullptr);
    TestServer server;
    std::atomic<bool> running{true};
    std::thread accepting([&] {
        while (running.load()) server.Accept(100);
    });
    std::thread cycling([&] {
        while (running.load()) {
            ConnectServer("127.0.0.1", server.port());
            DisconnectServer();
        }
    });
    const std::uint16_t port = server.port();
    for (int i = 0; i < kForks && !HasFailure(); ++i) {
        EXPECT_EQ(RunInForkedChild([port] { return HoldsALibrarySocket(port) ? 1 : 0; }), 0)
            << "fork " << i << ": the child holds a socket of the library";
    }
    running = false;
    cycling.join();
    accepting.join();
    SetOnReceiveError(nullptr, nullptr);
}

// At the fork the parent's queue holds an event and its dispatch thread
// waits for room inside the queue. The child sees none of it, and nothing it
// does with a queue of its own reaches the parent's handle, whose eventfd
// the copy shares.
TEST_F(ForkedChild, StartsWithNoEventQueueWhileTheParentsQueueIsFull) {
    ASSERT_EQ(OpenEventQueue(1), 0);
    const intptr_t handle = GetEventWaitHandle();
    ASSERT_TRUE(server.SendMessage(kFrame));
    ASSERT_TRUE(server.SendMessage(kFrame));
    ASSERT_TRUE(vornmt::testing::WaitUntil([] { return vornmt::client::Library().events.has_waiting_producers(); }));
    int status = RunInForkedChild([] {
        mt::TouchEvent event{};
        if (GetEventWaitHandle() != -1) return 2;
        if (WaitEvent(&event, -1) != mt::ERR_NO_EVENT) return 3;  // without a queue: at once
        if (OpenEventQueue(4) != 0 || GetEventWaitHandle() == -1) return 4;
        if (WaitEvent(&event, 0) != mt::ERR_NO_EVENT) return 5;  // none of the parent's events
        if (kChildMayStartThreads) {
            TestServer own;
            if (ConnectServer("127.0.0.1", own.port()) != 0 || !own.Accept(5000)) return 6;
            if (!own.SendMessage(kFrame) || WaitEvent(&event, 5000) != 0 || event.kind != mt::EVENT_FRAME) return 7;
            DisconnectServer();
        }
        return CloseEventQueue() == 0 ? 0 : 8;
    });
    EXPECT_EQ(status, 0) << "the child hung (-1) or saw the parent's queue (2 to 5), or its own failed (6 to 8)";
    EXPECT_TRUE(HandleSignalled(handle)) << "the child's queue reset the parent's handle";
    EXPECT_EQ(vornmt::testing::TakeEvents(2), (std::vector<std::string>{"frame 0 0 0", "frame 0 0 0"}));
}

}  // namespace

#endif
