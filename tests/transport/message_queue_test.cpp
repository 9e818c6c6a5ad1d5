#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "transport/message_queue.h"

namespace vornmt::transport {
namespace {

TEST(MessageQueue, KeepsOrderAndLeavesTextsWhenStopped) {
    MessageQueue queue;
    std::atomic<bool> stop{false};
    std::vector<std::string> batch{"a", "", "c"};
    queue.Append(batch);
    EXPECT_TRUE(batch.empty());
    std::string text;
    ASSERT_TRUE(queue.WaitAndTake(stop, &text));
    EXPECT_EQ(text, "a");
    stop = true;
    EXPECT_FALSE(queue.WaitAndTake(stop, &text));
    EXPECT_EQ(queue.size(), 2u);  // kept for the next connection
    stop = false;
    ASSERT_TRUE(queue.WaitAndTake(stop, &text));
    EXPECT_EQ(text, "");
}

TEST(MessageQueue, StopWakesBothWaiters) {
    MessageQueue queue(1, 0);
    std::atomic<bool> stop{false};
    std::vector<std::string> batch{"fills the queue"};
    queue.Append(batch);
    std::string text;
    ASSERT_TRUE(queue.WaitAndTake(stop, &text));
    std::thread taker([&] { EXPECT_FALSE(queue.WaitAndTake(stop, &text)); });
    std::thread stopper([&] { queue.WaitForStop(stop); });
    stop = true;
    queue.WakeAll();
    taker.join();
    stopper.join();
}

TEST(MessageQueue, FullQueueHoldsTheAppenderUntilDrained) {
    MessageQueue queue(1000, 500);
    std::atomic<bool> stop{false};
    std::atomic<int> appended{0};
    std::thread appender([&] {
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(queue.WaitForRoom(stop));
            std::vector<std::string> batch{std::string(100, static_cast<char>('a' + i % 26))};
            queue.Append(batch);
            ++appended;
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::string text;
        ASSERT_TRUE(queue.WaitAndTake(stop, &text));
        ASSERT_EQ(text, std::string(100, static_cast<char>('a' + i % 26)));
        // Never more than the bound plus the one batch that crossed it.
        EXPECT_LE(queue.queued_bytes(), 1000u + 200u);
    }
    appender.join();
    EXPECT_EQ(appended.load(), 200);
}

// The bound is on memory: a text is counted by the buffer it holds.
TEST(MessageQueue, CountsTheMemoryATextHoldsNotItsLength) {
    MessageQueue queue;
    std::string text = "short";
    text.reserve(1 << 20);
    std::vector<std::string> batch;
    batch.push_back(std::move(text));
    queue.Append(batch);
    EXPECT_GE(queue.queued_bytes(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace vornmt::transport
