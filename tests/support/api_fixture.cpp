#include "support/api_fixture.h"

#include <VornMTClient.h>

#include <string>

#include "client/library_state.h"
#include "support/resolution_pair.h"

namespace vornmt::testing {
namespace {

// Runs on the library's threads; GoogleTest records failures from any thread.
void FailOnError(int32_t code, void*) { ADD_FAILURE() << "unexpected error report " << code; }

void RecordError(int32_t code, void* user_data) {
    if (user_data != nullptr) static_cast<EventLog*>(user_data)->Add("error " + std::to_string(code));
}

}  // namespace

void ResetCallbacks() {
    SetOnReceivePointFrame(nullptr, nullptr);
    SetOnReceiveGesture(nullptr, nullptr);
    SetOnServerBreak(nullptr, nullptr);
    SetOnReceiveError(nullptr, nullptr);
    SetOnGetDeviceInfo(nullptr, nullptr);
    SetOnConnected(nullptr, nullptr);
    // Only a query fills the resolution slot, and a query needs a connection.
    StoreResolutionPair(client::Library().registry, {nullptr, nullptr});
}

void ApiTest::SetUp() {
    ResetCallbacks();
    SetOnReceiveError(FailOnError, nullptr);
}

void ApiTest::TearDown() {
    EXPECT_EQ(DisconnectServer(), 0);
    EXPECT_EQ(SetAutoReconnect(0, 0), 0);
    ResetCallbacks();
}

void ApiTest::ExpectErrors(EventLog* log) { SetOnReceiveError(RecordError, log); }

}  // namespace vornmt::testing
