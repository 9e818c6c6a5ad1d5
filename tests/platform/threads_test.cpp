// Worker threads: they run their entry with its argument, Join waits for the
// end, and the owner can let go of a thread without waiting.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/threads.h"
#include "platform_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#endif

namespace vornmt::platform {
namespace {

struct GatedRun {
    std::atomic<bool> release{false};
    std::atomic<bool> done{false};
    int priority = 0;  // written by the thread before `done`
    int policy = -1;   // POSIX scheduling policy, written before `done`
};

void RunUntilReleased(void* raw) {
    auto* run = static_cast<GatedRun*>(raw);
    EXPECT_TRUE(testing::WaitUntil([&] { return run->release.load(); }));
    // Start has returned by now, so the priority it sets is in place.
#if defined(_WIN32)
    run->priority = ::GetThreadPriority(::GetCurrentThread());
#else
    run->policy = ::sched_getscheduler(0);
#endif
    run->done.store(true);
}

TEST(WorkerThreadTest, RunsTheEntryAndJoinWaitsForItsEnd) {
    GatedRun run;
    WorkerThread thread;
    EXPECT_FALSE(thread.running());
    ASSERT_EQ(thread.Start(RunUntilReleased, &run), 0);
    EXPECT_TRUE(thread.running());
    run.release.store(true);
    thread.Join();
    EXPECT_TRUE(run.done.load()) << "Join returned before the thread ended";
    EXPECT_FALSE(thread.running());
    thread.Join();  // a second Join has nothing to wait for
}

// Released, the thread still takes a while to end, so a destructor that
// let go of it instead of waiting would leave `done` unset.
void RunSlowlyAfterRelease(void* raw) {
    auto* run = static_cast<GatedRun*>(raw);
    EXPECT_TRUE(testing::WaitUntil([&] { return run->release.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    run->done.store(true);
}

TEST(WorkerThreadTest, DestructorJoinsAThreadStillHeld) {
    auto run = std::make_shared<GatedRun>();  // outlives a thread let go by mistake
    {
        WorkerThread thread;
        ASSERT_EQ(thread.Start(RunSlowlyAfterRelease, run.get()), 0);
        run->release.store(true);
    }
    EXPECT_TRUE(run->done.load()) << "the destructor returned before the thread ended";
    EXPECT_TRUE(testing::WaitUntil([&] { return run->done.load(); }));  // a thread let go must end before `run` does
}

TEST(WorkerThreadTest, CanStartAgainAfterJoin) {
    WorkerThread thread;
    for (int round = 0; round < 3; ++round) {
        GatedRun run;
        ASSERT_EQ(thread.Start(RunUntilReleased, &run), 0);
        run.release.store(true);
        thread.Join();
        EXPECT_TRUE(run.done.load());
    }
}

#if defined(_WIN32)
TEST(WorkerThreadTest, RunsAtTimeCriticalPriority) {
    GatedRun run;
    WorkerThread thread;
    ASSERT_EQ(thread.Start(RunUntilReleased, &run), 0);
    run.release.store(true);
    thread.Join();
    EXPECT_EQ(run.priority, THREAD_PRIORITY_TIME_CRITICAL);
}
#else
// Even where the process may use real-time scheduling (as root), a flood of
// frames must not starve other processes: the normal class only.
TEST(WorkerThreadTest, RunsInTheNormalSchedulingClass) {
    GatedRun run;
    WorkerThread thread;
    ASSERT_EQ(thread.Start(RunUntilReleased, &run), 0);
    run.release.store(true);
    thread.Join();
    EXPECT_EQ(run.policy, SCHED_OTHER);
}
#endif

}  // namespace
}  // namespace vornmt::platform
