// Bounding a call that a fault would leave hanging (a disconnect that never
// wakes a blocked send, a join of a stuck thread), so that the fault fails
// the test in seconds instead of at ctest's limit.
#pragma once

#include <functional>

namespace vornmt::testing {

// Runs `fn` on a thread of its own and waits up to `timeout_ms` for it to
// return; true when it did. When it did not, the thread is stuck with the
// library's locks or threads, which every later test and the library's
// teardown at exit would wait on: the test is failed with `what`, and the
// process ends at once with status 1 instead of returning false.
bool ReturnsWithin(int timeout_ms, std::function<void()> fn, const char* what = "the call");

}  // namespace vornmt::testing
