// The event queue through the exported API, with the scripted server: the
// order of every kind of event, waits with deadlines, the wait handle, a full
// queue, and what wakes a thread waiting in or for the queue.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "client/library_state.h"
#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/queued_events.h"
#include "support/returns_within.h"
#include "support/test_server.h"
#include "support/wait_until.h"
#include "transport/limits.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::client::Library;
using vornmt::testing::Describe;
using vornmt::testing::EventLog;
using vornmt::testing::HandleSignalled;
using vornmt::testing::InvokeText;
using vornmt::testing::ReturnsWithin;
using vornmt::testing::TakeEvents;
using vornmt::testing::TestServer;
using vornmt::testing::WaitUntil;
using Texts = std::vector<std::string>;

std::string Number(int value) { return "<number>" + std::to_string(value) + "</number>"; }

// A frame numbered `sequence` with `points` points, the first at x = 300.
std::string FrameText(int sequence, int points = 1) {
    std::string list = "<array>";
    for (int i = 0; i < points; ++i) {
        list += "<property id=\"" + std::to_string(i) + "\"><array>";
        const int values[] = {1, 2, 300 + i, 400, 5, 6};
        for (int v = 0; v < 6; ++v) list += "<property id=\"" + std::to_string(v) + "\">" + Number(values[v]) + "</property>";
        list += "</array></property>";
    }
    return InvokeText("frame", Number(sequence) + Number(0) + list + "</array>");
}

std::string GestureText(int code) { return InvokeText("gesture", Number(code) + Number(2) + Number(15) + Number(7)); }

// What a callback saw, in the words Describe uses for the queued event.
void RecordFrame(int32_t v0, int32_t v1, int32_t count, const mt::TouchPoint* points, void* user_data) {
    std::string text = "frame " + std::to_string(v0) + " " + std::to_string(v1) + " " + std::to_string(count);
    if (count > 0) text += " x=" + std::to_string(points[0].x);
    static_cast<EventLog*>(user_data)->Add(text);
}

void RecordGesture(const mt::TouchGesture* gesture, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("gesture " + std::to_string(gesture->code) + " " +
                                           std::to_string(gesture->param_count));
}

bool ProducerWaitsForRoom() {
    return WaitUntil([] { return Library().events.has_waiting_producers(); });
}

std::string ErrorText(int32_t code) { return "error " + std::to_string(code); }

class EventQueue : public vornmt::testing::ApiTest {
protected:
    void TearDown() override {
        ApiTest::TearDown();
        EXPECT_EQ(CloseEventQueue(), mt::ERR_NONE);
    }
    void Connect() {
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
    TestServer server;
    // What callbacks record: members, so that they outlive TearDown, which
    // waits for a running callback.
    EventLog seen;
    EventLog errors;
};

TEST_F(EventQueue, KeepsTheOrderAcrossKinds) {
    ExpectErrors();
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(server.SendMessage(FrameText(1)));
    ASSERT_TRUE(server.SendMessage(GestureText(mt::TG_DOWN)));
    ASSERT_TRUE(server.SendMessage(InvokeText("information", Number(7) + Number(2) + "<string>abc</string>")));
    ASSERT_TRUE(server.SendMessage(InvokeText("resolution", "<object><property id=\"x\">" + Number(1920) +
                                                                "</property><property id=\"y\">" + Number(1080) +
                                                                "</property></object>")));
    ASSERT_TRUE(server.SendMessage("not a message"));
    ASSERT_TRUE(server.SendMessage(FrameText(2, 0)));
    server.CloseClient();
    EXPECT_EQ(TakeEvents(7), (Texts{"frame 1 0 1 x=300", "gesture 1 2", "info 7 2 abc", "resolution 1920 1080",
                                    ErrorText(mt::ERR_BAD_MESSAGE), "frame 2 0 0", "break"}));
}

void Throw(int32_t, int32_t, int32_t, const mt::TouchPoint*, void*) { throw std::runtime_error("application fault"); }

TEST_F(EventQueue, ACallbackThatThrowsIsReportedAfterItsEvent) {
    ExpectErrors(&errors);
    SetOnReceivePointFrame(Throw, nullptr);
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(server.SendMessage(FrameText(1)));
    ASSERT_TRUE(server.SendMessage(FrameText(2)));
    EXPECT_EQ(TakeEvents(4), (Texts{"frame 1 0 1 x=300", ErrorText(mt::ERR_CALLBACK_EXCEPTION), "frame 2 0 1 x=300",
                                    ErrorText(mt::ERR_CALLBACK_EXCEPTION)}));
    EXPECT_TRUE(errors.WaitForCount(2));
}

TEST_F(EventQueue, CallbacksAndQueueBothSeeEveryEvent) {
    SetOnReceivePointFrame(RecordFrame, &seen);
    SetOnReceiveGesture(RecordGesture, &seen);
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    constexpr int kPairs = 200;
    for (int i = 0; i < kPairs; ++i) {
        ASSERT_TRUE(server.SendMessage(FrameText(i, i % 3)));
        ASSERT_TRUE(server.SendMessage(GestureText(i % 64)));
    }
    Texts queued = TakeEvents(2 * kPairs);
    ASSERT_TRUE(seen.WaitForCount(2 * kPairs));
    EXPECT_EQ(queued, seen.events());
}

TEST_F(EventQueue, WaitEventReturnsAtItsDeadline) {
    mt::TouchEvent event{};
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    EXPECT_EQ(WaitEvent(nullptr, 0), 10014);
    EXPECT_EQ(WaitEvent(&event, -2), 10022);
    EXPECT_EQ(WaitEvent(&event, 0), mt::ERR_NO_EVENT);
    for (int32_t timeout_ms : {1, 300}) {
        int32_t status = -1;
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(ReturnsWithin(timeout_ms + 10000, [&] { status = WaitEvent(&event, timeout_ms); }, "WaitEvent"));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(timeout_ms));
        EXPECT_EQ(status, mt::ERR_NO_EVENT);
    }
    ASSERT_EQ(CloseEventQueue(), mt::ERR_NONE);
    // Without a queue nothing can come: no wait.
    ASSERT_TRUE(ReturnsWithin(10000, [&] { EXPECT_EQ(WaitEvent(&event, -1), mt::ERR_NO_EVENT); }, "WaitEvent"));
}

TEST_F(EventQueue, HandleIsSignalledExactlyWhileEventsAreQueued) {
    EXPECT_EQ(GetEventWaitHandle(), -1);
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    const intptr_t handle = GetEventWaitHandle();
    ASSERT_NE(handle, -1);
    EXPECT_FALSE(HandleSignalled(handle));
    SetOnReceivePointFrame(RecordFrame, &seen);
    ASSERT_NO_FATAL_FAILURE(Connect());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(server.SendMessage(FrameText(i)));
    ASSERT_TRUE(seen.WaitForCount(3));  // each event is queued before its callback runs
    mt::TouchEvent event{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(HandleSignalled(handle)) << "before taking event " << i;
        ASSERT_EQ(WaitEvent(&event, 0), mt::ERR_NONE);
    }
    EXPECT_FALSE(HandleSignalled(handle)) << "signalled with the queue drained";
    EXPECT_EQ(WaitEvent(&event, 0), mt::ERR_NO_EVENT);
    EXPECT_FALSE(HandleSignalled(handle));
    // Waited on as an event loop does, the handle wakes it for the next event.
    ASSERT_TRUE(server.SendMessage(FrameText(3)));
    EXPECT_TRUE(HandleSignalled(handle, 10000));
    ASSERT_EQ(OpenEventQueue(16), mt::ERR_NONE);  // reopening keeps the handle and the event
    EXPECT_EQ(GetEventWaitHandle(), handle);
    EXPECT_TRUE(HandleSignalled(handle));
    EXPECT_EQ(WaitEvent(&event, 0), mt::ERR_NONE);
    EXPECT_EQ(Describe(event), "frame 3 0 1 x=300");
    EXPECT_FALSE(HandleSignalled(handle));
    ASSERT_EQ(CloseEventQueue(), mt::ERR_NONE);
    EXPECT_EQ(GetEventWaitHandle(), -1);
    // A handle first asked for while an event is queued is signalled.
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_TRUE(server.SendMessage(FrameText(4)));
    ASSERT_TRUE(seen.WaitForCount(5));
    EXPECT_TRUE(HandleSignalled(GetEventWaitHandle()));
}

TEST_F(EventQueue, CapacityIsCheckedAndReopeningKeepsWhatIsQueued) {
    EXPECT_EQ(OpenEventQueue(-1), 10022);
    EXPECT_EQ(OpenEventQueue(mt::MAX_QUEUED_EVENTS + 1), 10022);
    EXPECT_EQ(GetEventWaitHandle(), -1) << "a refused capacity opened the queue";
    ASSERT_EQ(OpenEventQueue(mt::MAX_QUEUED_EVENTS), mt::ERR_NONE);
    ASSERT_EQ(OpenEventQueue(4), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(server.SendMessage(FrameText(i)));
    ASSERT_TRUE(ProducerWaitsForRoom());  // four queued, the fifth waits
    // Smaller than what is queued: the four stay, and no fifth joins them
    // until fewer than two are left.
    ASSERT_EQ(OpenEventQueue(2), mt::ERR_NONE);
    EXPECT_EQ(TakeEvents(2), (Texts{"frame 0 0 1 x=300", "frame 1 0 1 x=300"}));
    EXPECT_TRUE(Library().events.has_waiting_producers());
    EXPECT_EQ(TakeEvents(4), (Texts{"frame 2 0 1 x=300", "frame 3 0 1 x=300", "frame 4 0 1 x=300", "frame 5 0 1 x=300"}));
}

// The reader looks away until the library has stopped reading; then it
// drains. The frames are large, so that together they are far more than the
// library's message bound and the sockets' buffers hold.
TEST_F(EventQueue, AFullQueueSlowsTheServerAndLosesNothing) {
    constexpr int kFrames = 1500;  // some 35 KB each
    ASSERT_EQ(OpenEventQueue(8), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    std::atomic<bool> all_sent{false};
    std::thread sender([&] {
        for (int i = 0; i < kFrames && server.SendMessage(FrameText(i, mt::MAX_FRAME_POINTS)); ++i) {
        }
        all_sent = true;
    });
    EXPECT_TRUE(WaitUntil([] {
        return Library().events.has_waiting_producers() &&
               Library().queue.queued_bytes() >= vornmt::transport::kMaxQueuedBytes;
    }, 60000)) << "the library did not stop reading";
    EXPECT_FALSE(all_sent.load()) << "the server was not slowed down";
    int in_order = 0;
    mt::TouchEvent event{};
    while (in_order < kFrames && WaitEvent(&event, 10000) == mt::ERR_NONE && event.kind == mt::EVENT_FRAME &&
           event.value_0 == in_order && event.point_count == mt::MAX_FRAME_POINTS) {
        ++in_order;
    }
    EXPECT_EQ(in_order, kFrames) << "lost or out of order after frame " << in_order;
    DisconnectServer();  // ends a send still blocked should a frame have been lost
    sender.join();
    EXPECT_TRUE(all_sent.load());
}

// Under a stream the dispatch thread wakes a waiting thread once it runs out
// of messages; here the message behind the frame, read with it, is one that
// carries no event.
TEST_F(EventQueue, AWaitingThreadIsWokenThoughTheMessageBehindItsEventCarriesNone) {
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    std::atomic<int32_t> status{-1};
    std::thread reader([&status] {
        mt::TouchEvent event{};
        status = WaitEvent(&event, -1);
    });
    EXPECT_TRUE(WaitUntil([] { return Library().events.has_waiting_takers(); }));
    const std::string version = InvokeText("version", Number(1) + Number(10) + Number(0) + Number(0) + Number(0));
    ASSERT_TRUE(server.Send(FrameText(1) + '\0' + version + '\0'));  // one read
    bool woken = WaitUntil([&status] { return status.load() != -1; });
    if (!woken) CloseEventQueue();  // releases the reader, so the test can end
    reader.join();
    EXPECT_TRUE(woken) << "the event stayed queued with the thread asleep";
    EXPECT_EQ(status.load(), mt::ERR_NONE);
}

// A thread already waiting when a burst arrives, with a queue smaller than
// the dispatch thread's wake batch: the queue fills before the batch ends.
TEST_F(EventQueue, AWaitingThreadDrainsABurstThroughASmallQueue) {
    constexpr int kFrames = 200;
    ASSERT_EQ(OpenEventQueue(4), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    Texts taken;
    std::atomic<int> count{0};
    std::thread reader([&taken, &count] {
        mt::TouchEvent event{};
        while (count.load() < kFrames && WaitEvent(&event, -1) == mt::ERR_NONE) {
            taken.push_back(Describe(event));
            ++count;
        }
    });
    EXPECT_TRUE(WaitUntil([] { return Library().events.has_waiting_takers(); }));
    std::string burst;
    Texts sent;
    for (int i = 0; i < kFrames; ++i) {
        burst += FrameText(i) + '\0';
        sent.push_back("frame " + std::to_string(i) + " 0 1 x=300");
    }
    ASSERT_TRUE(server.Send(burst));
    bool drained = WaitUntil([&count] { return count.load() == kFrames; });
    if (!drained) CloseEventQueue();  // releases the reader
    reader.join();
    EXPECT_TRUE(drained) << "the reader slept with events queued after " << count.load();
    EXPECT_EQ(taken, sent);
}

void DisconnectOnce(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto* done = static_cast<std::atomic<bool>*>(user_data);
    if (!done->exchange(true)) DisconnectServer();
}

// The first frame's wake is left to the dispatch thread, which has the second
// frame in hand; the first frame's callback stops the connection, so the
// dispatch thread ends before it gets to wake anyone.
TEST_F(EventQueue, AStopWakesAThreadTheDispatchThreadLetSleep) {
    std::atomic<bool> disconnected{false};
    SetOnReceivePointFrame(DisconnectOnce, &disconnected);
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    std::atomic<int32_t> status{-1};
    std::thread reader([&status] {
        mt::TouchEvent event{};
        status = WaitEvent(&event, -1);
    });
    EXPECT_TRUE(WaitUntil([] { return Library().events.has_waiting_takers(); }));
    ASSERT_TRUE(server.Send(FrameText(1) + '\0' + FrameText(2) + '\0'));  // one read
    bool woken = WaitUntil([&status] { return status.load() != -1; });
    if (!woken) CloseEventQueue();
    reader.join();
    EXPECT_TRUE(woken) << "the event stayed queued with the thread asleep";
    // The second frame, kept for the next connection, leaves no trace for
    // the next test.
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(TakeEvents(1), Texts{"frame 2 0 1 x=300"});
}

TEST_F(EventQueue, CloseEventQueueWakesAWaitingThread) {
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    std::atomic<int32_t> status{-1};
    std::thread reader([&status] {
        mt::TouchEvent event{};
        status = WaitEvent(&event, -1);
    });
    EXPECT_TRUE(WaitUntil([] { return Library().events.has_waiting_takers(); }));
    EXPECT_EQ(CloseEventQueue(), mt::ERR_NONE);
    ASSERT_TRUE(ReturnsWithin(10000, [&reader] { reader.join(); }, "WaitEvent after CloseEventQueue"));
    EXPECT_EQ(status.load(), mt::ERR_NO_EVENT);
}

TEST_F(EventQueue, CloseEventQueueReleasesADeliveryWaitingForRoom) {
    SetOnReceivePointFrame(RecordFrame, &seen);
    ASSERT_EQ(OpenEventQueue(1), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(server.SendMessage(FrameText(i)));
    ASSERT_TRUE(ProducerWaitsForRoom());
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(CloseEventQueue(), mt::ERR_NONE);
    EXPECT_TRUE(seen.WaitForCount(3)) << "the callbacks did not go on";
}

// Two frames only: the second, given up, leaves no message behind for the
// next connection.
TEST_F(EventQueue, DisconnectWithAFullQueueReturnsPromptly) {
    ASSERT_EQ(OpenEventQueue(1), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(server.SendMessage(FrameText(i)));
    ASSERT_TRUE(ProducerWaitsForRoom());
    ASSERT_TRUE(ReturnsWithin(10000, [] { DisconnectServer(); }, "DisconnectServer"));
    EXPECT_EQ(TakeEvents(2, 0), Texts{"frame 0 0 1 x=300"});  // the queued event stays
}

struct InCallback {
    EventLog log;
    std::atomic<int32_t> first{-1};
    std::atomic<int32_t> second{-1};
};

// Its own frame is queued already; a second take has nothing to wait for
// but events this very thread would deliver.
void TakeTwiceInCallback(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto* state = static_cast<InCallback*>(user_data);
    mt::TouchEvent event{};
    state->first = WaitEvent(&event, -1);
    state->second = WaitEvent(&event, -1);
    state->log.Add("took");
}

TEST_F(EventQueue, WaitEventInsideACallbackNeverWaits) {
    InCallback state;
    SetOnReceivePointFrame(TakeTwiceInCallback, &state);
    ASSERT_EQ(OpenEventQueue(0), mt::ERR_NONE);
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(server.SendMessage(FrameText(1)));
    bool returned = state.log.WaitForCount(1);
    if (!returned) CloseEventQueue();  // releases the callback, so the test can end
    EXPECT_TRUE(returned) << "WaitEvent waited inside the callback";
    EXPECT_EQ(state.first.load(), mt::ERR_NONE);
    EXPECT_EQ(state.second.load(), mt::ERR_NO_EVENT);
    SetOnReceivePointFrame(nullptr, nullptr);  // returns once no call uses `state`
}

TEST_F(EventQueue, ExitingWhileAThreadWaitsInWaitEventNeitherHangsNorCrashes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::seconds(20));
                std::_Exit(3);  // hung at exit
            }).detach();
            if (OpenEventQueue(0) != mt::ERR_NONE) std::exit(2);
            std::thread([] {
                mt::TouchEvent event{};
                WaitEvent(&event, -1);
            }).detach();
            if (!WaitUntil([] { return Library().events.has_waiting_takers(); })) std::exit(4);
            std::exit(0);  // the library's unload runs during exit
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
