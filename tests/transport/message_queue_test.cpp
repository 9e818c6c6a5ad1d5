#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "support/wait_until.h"
#include "transport/message_framer.h"
#include "transport/message_queue.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

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

// The consumer takes one text each time it sees the producer waiting for
// room at a full queue, and nothing otherwise (resuming at the bound, so one
// take makes room). A queue that let the producer through would grow past
// the bound, or return from WaitForRoom at a full queue with no take running
// or begun since the call.
TEST(MessageQueue, FullQueueHoldsTheAppenderUntilDrained) {
    constexpr std::size_t kBound = 1000;
    constexpr int kTexts = 200;
    auto text_of = [](int i) { return std::string(100, static_cast<char>('a' + i % 26)); };
    MessageQueue queue(kBound, kBound);
    std::atomic<bool> stop{false}, producer_waiting{false}, producer_done{false};
    std::atomic<int> takes_begun{0}, takes_done{0}, passed_while_full{0};
    std::atomic<std::size_t> most_held{0};
    std::thread producer([&] {
        for (int i = 0; i < kTexts; ++i) {
            producer_waiting = true;
            const int begun = takes_begun.load();
            const bool none_running = takes_done.load() == begun;
            const bool full = queue.queued_bytes() >= kBound;
            if (!queue.WaitForRoom(stop)) break;
            if (full && none_running && takes_begun.load() == begun) ++passed_while_full;
            producer_waiting = false;
            std::vector<std::string> batch{text_of(i)};
            queue.Append(batch);
            most_held = std::max(most_held.load(), queue.queued_bytes());
        }
        producer_done = true;
    });
    int taken = 0, blocked_rounds = 0;
    bool ok = true;
    while (ok && taken < kTexts) {
        ok = testing::WaitUntil([&] {
            return producer_done.load() || (producer_waiting.load() && queue.queued_bytes() >= kBound);
        });
        if (!producer_done.load()) ++blocked_rounds;
        do {
            std::string text;
            ++takes_begun;  // before the take: the producer may wake inside it
            ok = ok && queue.WaitAndTake(stop, &text) && text == text_of(taken);
            ++takes_done;
            queue.FinishedRouting();
            ++taken;
        } while (ok && taken < kTexts && producer_done.load());
    }
    stop = true;
    queue.WakeAll();
    producer.join();
    EXPECT_TRUE(ok) << "stalled or out of order after " << taken << " texts";
    EXPECT_EQ(passed_while_full.load(), 0) << "WaitForRoom returned at a full queue";
    // The bound, plus the one text appended just below it.
    EXPECT_LT(most_held.load(), kBound + 200);
    EXPECT_GT(blocked_rounds, kTexts / 2);
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

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// What the heap really gives the queued texts stays within the bound, for
// short texts too, where the heap's own headers and rounding weigh most:
// texts framed from the stream as the receive thread frames them, queued
// until the bound holds the appender back.
TEST(MessageQueue, BoundHoldsTheHeapMemoryOfShortTexts) {
    constexpr std::size_t kBound = 4 << 20;
    for (std::size_t length : {0, 15, 16, 40, 200, 3000}) {
        SCOPED_TRACE(length);
        std::atomic<bool> stop{false};
        const std::size_t before = ::mallinfo2().uordblks;
        {
            MessageQueue queue(kBound, kBound / 2);
            MessageFramer framer;
            std::string message(length, 'x');
            message.push_back('\0');
            std::string stream;
            while (stream.size() < 1023) stream += message;
            std::vector<std::string> batch;
            std::size_t most = 0;
            while (queue.queued_bytes() < kBound) {
                for (std::size_t at = 0; at < stream.size(); at += 1023) {
                    framer.Feed(stream.data() + at, std::min<std::size_t>(1023, stream.size() - at), batch);
                }
                queue.Append(batch);
                most = std::max(most, ::mallinfo2().uordblks - before);
            }
            EXPECT_LE(most, kBound + kBound / 20) << "heap bytes held against a bound of " << kBound;
            stop = true;
        }
    }
}
#endif

}  // namespace
}  // namespace vornmt::transport
