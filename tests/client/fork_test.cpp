// A child forked while the parent is connected: it holds copies of the
// parent's descriptors and locks, but none of its threads. The child must
// neither use the parent's connection nor wait for a lock a parent's thread
// held at the fork. Each case runs its child with a deadline.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

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

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::HandleSignalled;
using vornmt::testing::InvokeText;
using vornmt::testing::RunInForkedChild;
using vornmt::testing::TestServer;

const std::string kFrame = InvokeText("frame", "<number>0</number><number>0</number><null/>");

void FailOnError(int32_t code, void*) { ADD_FAILURE() << "unexpected error report " << code; }

void RecordFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("frame");
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
