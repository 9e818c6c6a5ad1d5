// The receive thread's wait: it must wake for data, for the end of the
// stream and at once for a stop request, and time out otherwise.
#include <atomic>

#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/threads.h"
#include "platform_test_support.h"

namespace vornmt::platform {
namespace {

using testing::ConnectedPair;

constexpr int kDeadlineMs = 10000;  // a wait that should end at once, bounded

class SocketWaitTest : public testing::SocketLayerTest {
protected:
    void SetUp() override {
        testing::SocketLayerTest::SetUp();
        ASSERT_EQ(wakeup_.Open(), 0);
        ASSERT_NO_FATAL_FAILURE(pair_.Open());
    }
    void TearDown() override {
        wakeup_.Close();
        testing::SocketLayerTest::TearDown();
    }

    WaitResult Wait(SocketHandle socket, int timeout_ms) {
        error_ = 0;
        return WaitReadable(socket, wakeup_, timeout_ms, &error_);
    }

    SocketWakeup wakeup_;
    ConnectedPair pair_;
    int error_ = 0;
};

TEST_F(SocketWaitTest, TimesOutWhenNothingHappens) {
    EXPECT_EQ(Wait(pair_.client, 50), WaitResult::kTimedOut);
    EXPECT_EQ(Wait(pair_.client, 0), WaitResult::kTimedOut);
}

TEST_F(SocketWaitTest, ReadableWhenDataArrives) {
    ASSERT_EQ(Send(pair_.server, "x", 1, &error_), 1);
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kReadable);
    // Readiness is level-triggered: unread data keeps the socket readable.
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kReadable);
    char byte = 0;
    ASSERT_EQ(Receive(pair_.client, &byte, 1, &error_), 1);
    EXPECT_EQ(Wait(pair_.client, 0), WaitResult::kTimedOut);
}

TEST_F(SocketWaitTest, ReadableWhenThePeerCloses) {
    ConnectedPair::CloseEnd(pair_.server);
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kReadable);
    char byte = 0;
    EXPECT_EQ(Receive(pair_.client, &byte, 1, &error_), 0);
}

TEST_F(SocketWaitTest, ReadableWhenThePeerResets) {
    SetResetOnClose(pair_.server);
    ConnectedPair::CloseEnd(pair_.server);
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kReadable);
    char byte = 0;
    long n = Receive(pair_.client, &byte, 1, &error_);
    testing::ExpectResetRead(n, error_);
}

// The test server waits for a client this way before it accepts.
TEST_F(SocketWaitTest, ListenerIsReadableWhenAClientWaitsToBeAccepted) {
    EXPECT_EQ(Wait(pair_.listener, 0), WaitResult::kTimedOut);
    SocketHandle another = OpenTcpSocket(&error_);
    ASSERT_NE(another, kInvalidSocket) << error_;
    ASSERT_EQ(ConnectIpv4(another, "127.0.0.1", pair_.port), 0);
    EXPECT_EQ(Wait(pair_.listener, kDeadlineMs), WaitResult::kReadable);
    SocketHandle accepted = AcceptClient(pair_.listener, &error_);
    EXPECT_NE(accepted, kInvalidSocket) << error_;
    if (accepted != kInvalidSocket) CloseSocket(accepted);
    CloseSocket(another);
}

TEST_F(SocketWaitTest, FailsWithNotASocketOnceTheSocketIsClosed) {
    // Nothing else opens a handle meanwhile, so the closed number stays unused.
    SocketHandle closed = pair_.client;
    ConnectedPair::CloseEnd(pair_.client);
    EXPECT_EQ(Wait(closed, kDeadlineMs), WaitResult::kFailed);
    EXPECT_EQ(error_, kWsaNotSocket);
}

TEST_F(SocketWaitTest, WokenAtOnceBySignalFromAnotherThread) {
    // The waiter blocks without a time-out of its own; the deadline only
    // bounds a broken wake-up.
    WorkerThread signaller;
    ASSERT_EQ(signaller.Start([](void* wakeup) { static_cast<SocketWakeup*>(wakeup)->Signal(); }, &wakeup_), 0);
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kWoken);
    signaller.Join();
}

TEST_F(SocketWaitTest, WakeWinsOverPendingDataAndStaysSignalled) {
    ASSERT_EQ(Send(pair_.server, "x", 1, &error_), 1);
    ASSERT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kReadable);
    wakeup_.Signal();
    EXPECT_EQ(Wait(pair_.client, kDeadlineMs), WaitResult::kWoken);
    EXPECT_EQ(Wait(pair_.client, -1), WaitResult::kWoken) << "a signal lasts until Close";
    wakeup_.Signal();  // signalling again changes nothing
    EXPECT_EQ(Wait(pair_.client, 0), WaitResult::kWoken);
}

TEST_F(SocketWaitTest, ReopenedWakeupStartsUnsignalled) {
    wakeup_.Signal();
    ASSERT_EQ(Wait(pair_.client, 0), WaitResult::kWoken);
    ASSERT_EQ(wakeup_.Open(), 0);
    EXPECT_EQ(Wait(pair_.client, 0), WaitResult::kTimedOut);
}

TEST_F(SocketWaitTest, ManySignalsNeverBlockTheSignaller) {
    // The wake-up is never drained; signals beyond its buffer must not block.
    // A pipe holds 64 KiB of one-byte signals; the UDP socket's buffer fills
    // after a few hundred datagrams.
#if defined(_WIN32)
    constexpr int kMoreThanTheBufferHolds = 2000;
#else
    constexpr int kMoreThanTheBufferHolds = 70000;
#endif
    for (int i = 0; i < kMoreThanTheBufferHolds; ++i) wakeup_.Signal();
    EXPECT_EQ(Wait(pair_.client, 0), WaitResult::kWoken);
}

TEST(SocketWakeupTest, SignalBeforeOpenAndAfterCloseIsHarmless) {
    ASSERT_EQ(StartSocketLayer(), 0);
    SocketWakeup wakeup;
    wakeup.Signal();
    ASSERT_EQ(wakeup.Open(), 0);
    wakeup.Close();
    wakeup.Signal();
    wakeup.Close();
    CleanupSocketLayer();
}

}  // namespace
}  // namespace vornmt::platform
