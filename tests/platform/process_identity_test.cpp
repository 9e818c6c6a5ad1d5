// What the subscription request says about the calling process.
#include "platform/library_hooks.h"
#include "platform/process_identity.h"
#include "platform_test_support.h"

namespace vornmt::platform {
namespace {

TEST(ProcessIdentityTest, BaseNameIsTheExecutableFileWithoutFolder) {
#if defined(_WIN32)
    EXPECT_EQ(ExecutableBaseName(), "platform_tests.exe");
#else
    EXPECT_EQ(ExecutableBaseName(), "platform_tests");
#endif
}

TEST(ProcessIdentityTest, ProcessIdIsNonZeroAndStable) {
    std::uint32_t id = CurrentProcessId();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(CurrentProcessId(), id);
}

// Linked into an executable, the library's entry point never runs, so the
// process never looks like it is exiting, and pinning is harmless.
TEST(LibraryHooksTest, StaticCoreNeverSeesProcessExit) {
    KeepLibraryLoaded();
    EXPECT_FALSE(ProcessIsExiting());
}

}  // namespace
}  // namespace vornmt::platform
