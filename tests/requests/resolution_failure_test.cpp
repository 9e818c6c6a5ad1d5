// Resolution queries that fail while a disconnect runs, on two threads at
// once: a failed query must leave the slot as it was, so that its callback is
// never called and its user_data may be freed as soon as it has returned.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "client/callback_registry.h"
#include "client/library_state.h"
#include "requests/resolution_ledger.h"
#include "support/event_log.h"
#include "support/resolution_pair.h"
#include "support/test_server.h"
#include "support/wait_until.h"

namespace {

using vornmt::testing::EventLog;
using vornmt::testing::TestServer;
using vornmt::testing::WaitUntil;

void Record(int32_t x, int32_t y, void* user_data) {
    static_cast<EventLog*>(user_data)->Add(std::to_string(x) + "x" + std::to_string(y));
}

void FailOnError(int32_t code, void*) { ADD_FAILURE() << "unexpected error report " << code; }

TEST(ResolutionFailure, QueriesThatFailDuringADisconnectAreNeverAnswered) {
    constexpr int kRounds = 20;
    SetOnReceiveError(FailOnError, nullptr);
    TestServer server;
    EventLog kept;
    EventLog failed;
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    ASSERT_EQ(GetServerResolution(Record, &kept), 0);
    std::string query;
    ASSERT_TRUE(server.ReadMessage(&query));
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        // A send far larger than the socket buffers, which the server does not
        // read, holds the send lock: both queries wait behind it until the
        // disconnect ends it.
        std::thread filler([] {
            vornmt::client::Library().connection.outbound().Send(std::string(32 << 20, 'x'));
        });
        ASSERT_TRUE(server.WaitForData());
        std::atomic<int> first{0}, second{0};
        std::thread a([&] { first = GetServerResolution(Record, &failed); });
        std::thread b([&] { second = GetServerResolution(Record, &failed); });
        EXPECT_EQ(DisconnectServer(), 0);
        filler.join();
        a.join();
        b.join();
        EXPECT_NE(first.load(), 0);
        EXPECT_NE(second.load(), 0);
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
    ASSERT_TRUE(server.SendMessage(vornmt::testing::InvokeText(
        "resolution", "<object><property id=\"x\"><number>3</number></property>"
                      "<property id=\"y\"><number>4</number></property></object>")));
    ASSERT_TRUE(WaitUntil([&] { return kept.size() + failed.size() > 0; })) << "the answer reached no callback";
    EXPECT_EQ(failed.size(), 0u) << "a failed query's callback was answered";
    EXPECT_EQ(kept.size(), 1u) << "the pair stored before the failed queries is gone";
    DisconnectServer();
    vornmt::testing::StoreResolutionPair(vornmt::client::Library().registry, {nullptr, nullptr});
    SetOnReceiveError(nullptr, nullptr);
}

// A resolution callback that stays inside until the test opens the gate, and
// notes whether the failed query's call had already returned by then.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    std::atomic<bool> query_returned{false};
    bool returned_while_running = false;
};

void WaitAtGate(int32_t, int32_t, void* user_data) {
    auto& gate = *static_cast<Gate*>(user_data);
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.entered = true;
    gate.changed.notify_all();
    gate.changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate.open; });
    gate.returned_while_running = gate.query_returned.load();
}

struct Replacement {
    vornmt::client::CallbackRegistry* registry;
    int user_data;
};

// Another thread's query, from inside a callback so that it waits for nothing.
void QueryFromCallback(const Vorn_SDK_MultiTouch::TouchGesture*, void* raw) {
    auto& replacement = *static_cast<Replacement*>(raw);
    replacement.registry->BeginResolutionQuery({Record, &replacement.user_data});
}

// Query A is in flight and an answer runs its callback when another thread's
// query B replaces it in the slot; then A's send fails. A's end must still
// wait for that call, or its caller frees user_data the call is using.
TEST(ResolutionFailure, FailedQueryWaitsForItsRunningCallEvenWhenAnotherQueryReplacedIt) {
    vornmt::client::CallbackRegistry registry;
    Gate gate;
    const std::uint64_t ticket = registry.BeginResolutionQuery({WaitAtGate, &gate});
    std::thread dispatch([&] { registry.DeliverResolution(1, 2); });
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        ASSERT_TRUE(gate.changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate.entered; }));
    }
    Replacement replacement{&registry, 0};
    registry.SetGesture(QueryFromCallback, &replacement);
    std::thread([&] { registry.DeliverGesture(Vorn_SDK_MultiTouch::TouchGesture{}); }).join();
    std::thread query([&] {
        registry.EndResolutionQuery(ticket, false);
        gate.query_returned = true;
    });
    // Time for a wrong end to return; a right one cannot, whatever the delay.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    dispatch.join();
    query.join();
    EXPECT_FALSE(gate.returned_while_running) << "the failed query returned while its callback still ran";
}

// Three queries in flight, finishing in every order a failure can take: the
// slot always ends on the latest pair that was sent, or on the one before all.
TEST(ResolutionFailure, LedgerKeepsTheLatestSentPairWhateverOrderQueriesEnd) {
    using vornmt::requests::ResolutionLedger;
    using vornmt::requests::ResolutionTarget;
    int before = 0, a = 0, b = 0, c = 0;
    const ResolutionTarget pairs[] = {{Record, &a}, {Record, &b}, {Record, &c}};
    auto holds = [](ResolutionTarget slot, const int* user_data) { return slot.user_data == user_data; };
    // Queries a, b and c begin in that order, each over the pair before it.
    auto begin_three = [&](ResolutionLedger& ledger, uint64_t* ta, uint64_t* tb, uint64_t* tc) {
        *ta = ledger.Begin(pairs[0], {Record, &before});
        *tb = ledger.Begin(pairs[1], pairs[0]);
        *tc = ledger.Begin(pairs[2], pairs[1]);
    };
    ResolutionTarget slot{};
    uint64_t ta = 0, tb = 0, tc = 0;
    {
        ResolutionLedger ledger;  // every query fails, the last first
        begin_three(ledger, &ta, &tb, &tc);
        ASSERT_TRUE(ledger.End(tc, false, &slot));
        EXPECT_TRUE(holds(slot, &b));
        ASSERT_TRUE(ledger.End(ta, false, &slot));
        EXPECT_TRUE(holds(slot, &b));
        ASSERT_TRUE(ledger.End(tb, false, &slot));
        EXPECT_TRUE(holds(slot, &before)) << "a failed query's pair was put back";
    }
    {
        ResolutionLedger ledger;  // the middle one is sent, the others fail
        begin_three(ledger, &ta, &tb, &tc);
        ASSERT_TRUE(ledger.End(tb, true, &slot));
        EXPECT_TRUE(holds(slot, &c));
        EXPECT_FALSE(ledger.End(ta, false, &slot));  // older than a sent query: changes nothing
        ASSERT_TRUE(ledger.End(tc, false, &slot));
        EXPECT_TRUE(holds(slot, &b));
    }
}

}  // namespace
