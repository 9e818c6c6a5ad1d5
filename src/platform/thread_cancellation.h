// The unwinding with which the C library ends a thread (pthread_exit,
// cancellation): it looks like an exception, but must reach the end of the
// thread. Every `catch (...)` on a path a worker thread runs catches this
// type first and rethrows it; otherwise the runtime aborts the process
// ("exception not rethrown"), as it did for Python, which ends threads still
// inside a handler that way at exit.
#pragma once

#if defined(__GLIBCXX__) && !defined(_WIN32)
#include <cxxabi.h>
#endif

namespace vornmt::platform {

#if defined(__GLIBCXX__) && !defined(_WIN32)
using ThreadCancellation = abi::__forced_unwind;
#else
// Ending a thread unwinds nothing here: a type never thrown.
struct ThreadCancellation {};
#endif

}  // namespace vornmt::platform
