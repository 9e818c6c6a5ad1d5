// Base fixture for tests that drive the exported API. Every test starts
// disconnected, without automatic reconnection, with every callback slot empty but the error slot, whose
// callback fails the test on any error report the test did not ask for;
// TearDown disconnects and empties every slot again, so no test sees another
// test's callbacks or user_data.
#pragma once

#include <gtest/gtest.h>

#include "support/event_log.h"

namespace vornmt::testing {

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // For a test that provokes error reports: from now on they no longer fail
    // it, and each is added to `log`, when given, as "error <code>".
    static void ExpectErrors(EventLog* log = nullptr);
};

// Empties every callback slot, the resolution slot included.
void ResetCallbacks();

}  // namespace vornmt::testing
