#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#if !defined(_WIN32)
#include "platform/socket_errors_posix.h"
#endif

namespace {

namespace mt = Vorn_SDK_MultiTouch;

TEST(StatusText, NamesWhatTheLibraryReturns) {
    EXPECT_STREQ(GetStatusText(mt::ERR_NONE), "success");
    EXPECT_STREQ(GetStatusText(10061), "connection refused");
    EXPECT_STREQ(GetStatusText(10058), "connection shut down");  // a send cut short by DisconnectServer
    EXPECT_STREQ(GetStatusText(10057), "not connected");
    // Every ERR_ code has a text of its own.
    const int32_t codes[] = {mt::ERR_BAD_MESSAGE, mt::ERR_OLD_SERVER, mt::ERR_CALLBACK_EXCEPTION,
                             mt::ERR_IN_CALLBACK, mt::ERR_NO_EVENT};
    for (int32_t code : codes) {
        EXPECT_STRNE(GetStatusText(code), "system error") << code;
        for (int32_t other : codes) {
            if (other != code) {
                EXPECT_STRNE(GetStatusText(code), GetStatusText(other));
            }
        }
    }
}

TEST(StatusText, NeverNullNorMultiLine) {
    for (int32_t status : {-1, 1, 8, 9999, 10000, 10099, 11999, 12000, 0x31000000, 0x310000FF, INT32_MIN,
                           INT32_MAX}) {
        const char* text = GetStatusText(status);
        ASSERT_NE(text, nullptr) << status;
        EXPECT_NE(*text, '\0') << status;
        EXPECT_EQ(std::strchr(text, '\n'), nullptr) << status;
    }
    EXPECT_STREQ(GetStatusText(10099), "socket error");
    EXPECT_STREQ(GetStatusText(11), "system error");
}

#if !defined(_WIN32)
// Every number the POSIX backend maps an errno onto has its own text; only
// the unmapped ones (10000 + errno) fall back to the generic text.
TEST(StatusText, EveryMappedErrnoHasItsOwnText) {
    for (int errno_value = 1; errno_value < 200; ++errno_value) {
        int status = vornmt::platform::ToWinsockError(errno_value);
        if (status == 10000 + errno_value) continue;
        EXPECT_STRNE(GetStatusText(status), "socket error") << "errno " << errno_value << " -> " << status;
    }
}
#endif

}  // namespace
