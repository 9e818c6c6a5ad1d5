// The callback slots rely on the lock being re-entrant for its holder yet
// exclusive between threads, and on Condition releasing it while asleep.
#include <atomic>

#include "platform/lock.h"
#include "platform/threads.h"
#include "platform_test_support.h"

namespace vornmt::platform {
namespace {

constexpr int kRounds = 20000;

struct Counted {
    RecursiveLock lock;
    long count = 0;  // guarded by lock, deliberately not atomic
};

void CountUnderNestedLock(void* raw) {
    auto* counted = static_cast<Counted*>(raw);
    for (int i = 0; i < kRounds; ++i) {
        LockGuard outer(counted->lock);
        LockGuard inner(counted->lock);  // a callback calling a setter of its own slot
        long seen = counted->count;
        counted->count = seen + 1;
    }
}

TEST(RecursiveLockTest, HolderReentersAndOtherThreadsStayExcluded) {
    Counted counted;
    WorkerThread first;
    WorkerThread second;
    ASSERT_EQ(first.Start(CountUnderNestedLock, &counted), 0);
    ASSERT_EQ(second.Start(CountUnderNestedLock, &counted), 0);
    CountUnderNestedLock(&counted);
    first.Join();
    second.Join();
    EXPECT_EQ(counted.count, 3L * kRounds);
}

TEST(RecursiveLockTest, GuardReleasesWhenAnExceptionLeavesTheBlock) {
    Counted counted;
    try {
        LockGuard guard(counted.lock);
        throw 1;
    } catch (int) {
    }
    // Another thread can take the lock only if the guard released it.
    WorkerThread other;
    ASSERT_EQ(other.Start([](void* raw) { LockGuard guard(static_cast<Counted*>(raw)->lock); }, &counted), 0);
    other.Join();
}

struct Gate {
    RecursiveLock lock;
    Condition opened;
    bool open = false;        // guarded by lock
    int waiting = 0;          // guarded by lock
    std::atomic<int> passed{0};
};

void WaitAtGate(void* raw) {
    auto* gate = static_cast<Gate*>(raw);
    LockGuard guard(gate->lock);
    ++gate->waiting;
    while (!gate->open) gate->opened.Wait(gate->lock);
    gate->passed.fetch_add(1);
}

TEST(ConditionTest, NotifyAllWakesEveryWaiter) {
    Gate gate;
    WorkerThread first;
    WorkerThread second;
    ASSERT_EQ(first.Start(WaitAtGate, &gate), 0);
    ASSERT_EQ(second.Start(WaitAtGate, &gate), 0);
    // Both waiters must have taken and then released the lock in Wait,
    // or this would never see them both.
    ASSERT_TRUE(testing::WaitUntil([&] {
        LockGuard guard(gate.lock);
        return gate.waiting == 2;
    }));
    EXPECT_EQ(gate.passed.load(), 0);
    {
        LockGuard guard(gate.lock);
        gate.open = true;
        gate.opened.NotifyAll();
    }
    first.Join();
    second.Join();
    EXPECT_EQ(gate.passed.load(), 2);
}

TEST(ConditionTest, WaiterHoldsTheLockAgainWhenItWakes) {
    Gate gate;
    WorkerThread waiter;
    ASSERT_EQ(waiter.Start(
                  [](void* raw) {
                      auto* gate = static_cast<Gate*>(raw);
                      LockGuard guard(gate->lock);
                      ++gate->waiting;
                      while (!gate->open) gate->opened.Wait(gate->lock);
                      // Still the holder: re-entering must not block, and the
                      // other thread cannot change `open` back meanwhile.
                      LockGuard again(gate->lock);
                      EXPECT_TRUE(gate->open);
                      gate->passed.fetch_add(1);
                  },
                  &gate),
              0);
    ASSERT_TRUE(testing::WaitUntil([&] {
        LockGuard guard(gate.lock);
        return gate.waiting == 1;
    }));
    {
        LockGuard guard(gate.lock);
        gate.open = true;
        gate.opened.NotifyAll();
    }
    waiter.Join();
    EXPECT_EQ(gate.passed.load(), 1);
}

}  // namespace
}  // namespace vornmt::platform
