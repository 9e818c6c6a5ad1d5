// Catching every exception on a worker thread's path, except the unwinding
// with which the C library ends a thread (pthread_exit, cancellation): that
// looks like an exception but must reach the end of the thread, or the
// runtime aborts the process ("exception not rethrown"), as it did for
// Python, which ends threads still inside a handler that way at exit.
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

// Runs `body`; returns true when an exception left it, which is caught, and
// false otherwise. The ending of the thread goes on. The undefined-behaviour
// checker is told not to look at the catch: the C library's unwinding has no
// exception object to bind.
template <typename Body>
__attribute__((no_sanitize("null"))) bool CatchAllButThreadEnd(Body&& body) {
    try {
        body();
        return false;
    } catch (const ThreadCancellation&) {
        throw;
    } catch (...) {
        return true;
    }
}

}  // namespace vornmt::platform
