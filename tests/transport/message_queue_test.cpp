#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/wait_until.h"
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
    // On the heap and left there if a waiter never wakes: it still uses them.
    auto* queue = new MessageQueue(1, 0);
    auto* stop = new std::atomic<bool>{false};
    std::vector<std::string> batch{"fills the queue"};
    queue->Append(batch);
    std::string taken;
    ASSERT_TRUE(queue->WaitAndTake(*stop, &taken));
    std::atomic<int> started{0};
    std::atomic<int> woke{0};
    std::thread taker([=, &started, &woke] {
        ++started;
        std::string text;
        EXPECT_FALSE(queue->WaitAndTake(*stop, &text));
        ++woke;
    });
    std::thread stopper([=, &started, &woke] {
        ++started;
        queue->WaitForStop(*stop);
        ++woke;
    });
    ASSERT_TRUE(testing::WaitUntil([&] { return started.load() == 2; }));
    // Give both time to fall asleep, so that the wake-up, not the flag they
    // look at before waiting, is what ends their waits.
    EXPECT_FALSE(testing::WaitUntil([&] { return woke.load() > 0; }, 100));
    *stop = true;
    queue->WakeAll();
    if (!testing::WaitUntil([&] { return woke.load() == 2; }, 5000)) {
        taker.detach();
        stopper.detach();
        FAIL() << "a waiter slept through the wake-up";
    }
    taker.join();
    stopper.join();
    delete stop;
    delete queue;
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
