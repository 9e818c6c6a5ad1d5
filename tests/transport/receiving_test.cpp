// Receiving over loopback, through the exported API: the scripted server
// sends, the library's threads deliver.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/test_server.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::InvokeText;
using vornmt::testing::TestServer;

const std::string kNul(1, '\0');

std::string FrameText(int sequence) {
    return InvokeText("frame", "<number>" + std::to_string(sequence) +
                                   "</number><number>0</number><array><property id=\"0\"><array>"
                                   "<property id=\"0\"><number>1</number></property><property id=\"1\"><number>2</number></property>"
                                   "<property id=\"2\"><number>300</number></property><property id=\"3\"><number>400</number></property>"
                                   "<property id=\"4\"><number>5</number></property><property id=\"5\"><number>6</number></property>"
                                   "</array></property></array>");
}

struct Received {
    EventLog log;
    std::atomic<int> frames{0};
    std::atomic<int> next_expected{0};
    std::atomic<int> out_of_order{0};
};

void OnFrame(int32_t v0, int32_t, int32_t count, const mt::TouchPoint* points, void* user_data) {
    auto* received = static_cast<Received*>(user_data);
    if (v0 != received->next_expected.load() || count != 1 || points[0].x != 300) ++received->out_of_order;
    received->next_expected = v0 + 1;
    if (++received->frames % 1000 == 0 || v0 < 3) received->log.Add("frame " + std::to_string(v0));
}

void OnGesture(const mt::TouchGesture* gesture, void* user_data) {
    static_cast<Received*>(user_data)->log.Add(std::string("gesture ") + GetGestureName(gesture));
}

void OnBreak(void*, void* user_data) { static_cast<Received*>(user_data)->log.Add("break"); }

class Receiving : public vornmt::testing::ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        SetOnReceivePointFrame(OnFrame, &received);
        SetOnReceiveGesture(OnGesture, &received);
        SetOnServerBreak(OnBreak, &received);
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
    TestServer server;
    Received received;
};

TEST_F(Receiving, FramesAndGesturesArriveOnTheDispatchThreadAndBreakOnTheReceiveThread) {
    std::string gesture = InvokeText("gesture", "<number>32</number><number>1</number><number>2.5</number>");
    // One message split across sends, and two in one send.
    std::string stream = FrameText(0) + kNul + gesture + kNul;
    ASSERT_TRUE(server.Send(stream.substr(0, 50)));
    ASSERT_TRUE(server.Send(stream.substr(50)));
    ASSERT_TRUE(received.log.WaitForCount(2));
    server.CloseClient();
    ASSERT_TRUE(received.log.WaitForCount(3));
    EXPECT_EQ(received.log.events(), (std::vector<std::string>{"frame 0", "gesture TG_SPLIT_START", "break"}));
    auto threads = received.log.threads();
    EXPECT_EQ(threads[0], threads[1]);  // the dispatch thread
    EXPECT_NE(threads[0], threads[2]);  // the receive thread
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST_F(Receiving, BreakComesAfterEveryMessageSentBeforeIt) {
    constexpr int kFrames = 2000;
    std::string stream;
    for (int i = 0; i < kFrames; ++i) stream += FrameText(i) + kNul;
    ASSERT_TRUE(server.Send(stream));
    server.CloseClient();
    ASSERT_TRUE(received.log.WaitForCount(3 + kFrames / 1000 + 1, 60000));
    EXPECT_EQ(received.log.events().back(), "break");
    EXPECT_EQ(received.frames.load(), kFrames);
}

TEST_F(Receiving, BurstArrivesCompleteAndInOrder) {
    constexpr int kFrames = 100000;
    std::thread sender([&] {
        std::string chunk;
        for (int i = 0; i < kFrames; ++i) {
            chunk += FrameText(i) + kNul;
            if (chunk.size() > 60000) {
                ASSERT_TRUE(server.Send(chunk));
                chunk.clear();
            }
        }
        ASSERT_TRUE(server.Send(chunk));
    });
    sender.join();
    ASSERT_TRUE(received.log.WaitForCount(3 + kFrames / 1000, 120000));
    EXPECT_EQ(received.frames.load(), kFrames);
    EXPECT_EQ(received.out_of_order.load(), 0);
}

// Reported once, on the dispatch thread, after the frame sent before it.
TEST_F(Receiving, OversizedMessageIsReportedOnceInStreamOrderAndTheStreamGoesOn) {
    ExpectErrors(&received.log);
    std::string huge(static_cast<std::size_t>(mt::MAX_MESSAGE_BYTES) + 4096, 'x');
    ASSERT_TRUE(server.Send(FrameText(0) + kNul + huge));
    ASSERT_TRUE(server.Send(huge + kNul + FrameText(1) + kNul));
    ASSERT_TRUE(received.log.WaitForCount(3));
    EXPECT_EQ(received.log.events(),
              (std::vector<std::string>{"frame 0", "error " + std::to_string(mt::ERR_BAD_MESSAGE), "frame 1"}));
    auto threads = received.log.threads();
    EXPECT_EQ(threads[1], threads[0]) << "reported on another thread than the frames";
}

TEST_F(Receiving, BadMessageIsReportedAndTheNextOneDelivered) {
    ExpectErrors(&received.log);
    ASSERT_TRUE(server.Send("<invoke name='frame'><arguments><number>1</number></arguments></invoke>" + kNul + kNul +
                            "garbage" + kNul + FrameText(0) + kNul));
    ASSERT_TRUE(received.log.WaitForCount(3));
    std::string bad = "error " + std::to_string(mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(received.log.events(), (std::vector<std::string>{bad, bad, "frame 0"}));
}

}  // namespace
