// What the subscription request says about the calling process.
#include "platform/process_identity.h"
#include "platform_test_support.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace vornmt::platform {
namespace {

TEST(ProcessIdentityTest, BaseNameIsTheExecutableFileWithoutFolder) {
#if defined(_WIN32)
    EXPECT_EQ(ExecutableBaseName(), "platform_tests.exe");
#else
    EXPECT_EQ(ExecutableBaseName(), "platform_tests");
#endif
}

TEST(ProcessIdentityTest, ProcessIdIsTheSystemsIdOfThisProcess) {
#if defined(_WIN32)
    EXPECT_EQ(CurrentProcessId(), static_cast<std::uint32_t>(::GetCurrentProcessId()));
#else
    EXPECT_EQ(CurrentProcessId(), static_cast<std::uint32_t>(::getpid()));
#endif
}

}  // namespace
}  // namespace vornmt::platform
