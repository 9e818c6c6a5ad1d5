#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "client/callback_registry.h"
#include "support/event_log.h"
#include "support/wait_until.h"

namespace vornmt::client {
namespace {

struct Recorder {
    testing::EventLog log;
    CallbackRegistry* registry = nullptr;
};

void RecordGesture(const mt::TouchGesture* gesture, void* user_data) {
    static_cast<Recorder*>(user_data)->log.Add("gesture " + std::to_string(gesture->code));
}

void OtherGesture(const mt::TouchGesture*, void*) {}

void RecordError(int32_t code, void* user_data) {
    static_cast<Recorder*>(user_data)->log.Add("error " + std::to_string(code));
}

void ThrowingGesture(const mt::TouchGesture* gesture, void*) {
    if (gesture->code == 1) throw std::runtime_error("application fault");
    if (gesture->code == 2) throw 42;  // not a standard exception
}

TEST(CallbackRegistry, SettersReturnThePreviousCallback) {
    CallbackRegistry registry;
    int first = 0, second = 0;
    EXPECT_EQ(registry.SetGesture(RecordGesture, &first), nullptr);
    EXPECT_EQ(registry.SetGesture(RecordGesture, &second), RecordGesture);
    EXPECT_EQ(registry.SetGesture(OtherGesture, nullptr), RecordGesture);
    EXPECT_EQ(registry.SetGesture(nullptr, nullptr), OtherGesture);
    EXPECT_EQ(registry.SetError(RecordError, nullptr), nullptr);
    EXPECT_EQ(registry.SetPointFrame(nullptr, nullptr), nullptr);
    EXPECT_EQ(registry.SetServerBreak(nullptr, nullptr), nullptr);
    EXPECT_EQ(registry.SetDeviceInfo(nullptr, nullptr), nullptr);
}

TEST(CallbackRegistry, EachCallbackGetsItsOwnUserDataAndNullSlotsDropEvents) {
    CallbackRegistry registry;
    Recorder gestures, errors;
    registry.SetGesture(RecordGesture, &gestures);
    registry.SetError(RecordError, &errors);
    mt::TouchGesture gesture{};
    gesture.code = 9;
    registry.DeliverGesture(gesture);
    registry.ReportError(mt::ERR_OLD_SERVER);
    EXPECT_EQ(gestures.log.events(), std::vector<std::string>{"gesture 9"});
    EXPECT_EQ(errors.log.events(), std::vector<std::string>{"error " + std::to_string(mt::ERR_OLD_SERVER)});

    registry.SetGesture(nullptr, &gestures);
    registry.DeliverGesture(gesture);
    registry.DeliverResolution(1, 2);
    registry.DeliverServerBreak();
    EXPECT_EQ(gestures.log.size(), 1u);
    EXPECT_EQ(errors.log.size(), 1u);
}

TEST(CallbackRegistry, ThrowingCallbackIsReportedOnceAndDeliveryGoesOn) {
    CallbackRegistry registry;
    Recorder errors;
    registry.SetError(RecordError, &errors);
    registry.SetGesture(ThrowingGesture, nullptr);
    mt::TouchGesture gesture{};
    for (uint16_t code : {1, 0, 2, 0}) {
        gesture.code = code;
        registry.DeliverGesture(gesture);
    }
    std::string exception = "error " + std::to_string(mt::ERR_CALLBACK_EXCEPTION);
    EXPECT_EQ(errors.log.events(), (std::vector<std::string>{exception, exception}));
    // The slot's lock was released: another thread can replace the callback.
    std::thread other([&] { registry.SetGesture(nullptr, nullptr); });
    other.join();
}

struct SelfReplacing {
    CallbackRegistry* registry;
    int calls = 0;
};

void ReplaceItself(const mt::TouchGesture*, void* user_data) {
    auto* self = static_cast<SelfReplacing*>(user_data);
    ++self->calls;
    // The slot's lock is re-entrant for the thread that holds it.
    EXPECT_EQ(self->registry->SetGesture(nullptr, nullptr), ReplaceItself);
}

TEST(CallbackRegistry, CallbackMayReplaceItselfFromInside) {
    CallbackRegistry registry;
    SelfReplacing self{&registry};
    registry.SetGesture(ReplaceItself, &self);
    mt::TouchGesture gesture{};
    registry.DeliverGesture(gesture);
    registry.DeliverGesture(gesture);
    EXPECT_EQ(self.calls, 1);
}

struct Blocking {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> returned{false};
};

void BlockUntilReleased(const mt::TouchGesture*, void* user_data) {
    auto* blocking = static_cast<Blocking*>(user_data);
    blocking->entered = true;
    EXPECT_TRUE(testing::WaitUntil([&] { return blocking->release.load(); }));
    blocking->returned = true;
}

TEST(CallbackRegistry, SetterWaitsForTheRunningCallback) {
    CallbackRegistry registry;
    Blocking blocking;
    registry.SetGesture(BlockUntilReleased, &blocking);
    std::thread delivery([&] {
        mt::TouchGesture gesture{};
        registry.DeliverGesture(gesture);
    });
    ASSERT_TRUE(testing::WaitUntil([&] { return blocking.entered.load(); }));
    std::atomic<bool> setter_started{false};
    std::atomic<bool> setter_returned{false};
    std::thread setter([&] {
        setter_started = true;
        registry.SetGesture(nullptr, nullptr);
        setter_returned = true;
    });
    ASSERT_TRUE(testing::WaitUntil([&] { return setter_started.load(); }));
    // The callback is still running: the setter must not come back, however
    // long it is given.
    EXPECT_FALSE(testing::WaitUntil([&] { return setter_returned.load(); }, 200))
        << "the setter returned while the old callback was still running";
    blocking.release = true;
    setter.join();
    delivery.join();
    EXPECT_TRUE(setter_returned.load());
    EXPECT_TRUE(blocking.returned.load());
}

// A frame callback and an error callback, running at once on two threads,
// each replace the other's slot.
struct CrossReplacing {
    CallbackRegistry* registry;
    std::atomic<int> entered{0};
    std::atomic<int> replaced{0};
};

void EnterAndWaitForTheOther(CrossReplacing* cross) {
    ++cross->entered;
    EXPECT_TRUE(testing::WaitUntil([&] { return cross->entered.load() == 2; }));
}

void FrameReplacingError(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    auto* cross = static_cast<CrossReplacing*>(user_data);
    EnterAndWaitForTheOther(cross);
    cross->registry->SetError(nullptr, nullptr);
    ++cross->replaced;
}

void ErrorReplacingFrame(int32_t, void* user_data) {
    auto* cross = static_cast<CrossReplacing*>(user_data);
    EnterAndWaitForTheOther(cross);
    cross->registry->SetPointFrame(nullptr, nullptr);
    ++cross->replaced;
}

TEST(CallbackRegistry, CallbacksReplacingEachOthersSlotDoNotWaitForEachOther) {
    // Left undestroyed if the two deadlock: its locks are still held then.
    auto* registry = new CallbackRegistry;
    auto* cross = new CrossReplacing{registry};
    registry->SetPointFrame(FrameReplacingError, cross);
    registry->SetError(ErrorReplacingFrame, cross);
    std::thread frame([=] { registry->DeliverPointFrame(0, 0, 0, nullptr); });
    std::thread error([=] { registry->ReportError(mt::ERR_BAD_MESSAGE); });
    bool finished = testing::WaitUntil([&] { return cross->replaced.load() == 2; }, 5000);
    if (!finished) {
        frame.detach();
        error.detach();
        FAIL() << "the two callbacks wait for each other";
    }
    frame.join();
    error.join();
    delete cross;
    delete registry;
}

}  // namespace
}  // namespace vornmt::client
