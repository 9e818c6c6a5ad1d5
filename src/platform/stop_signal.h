// Turns an interactive stop request (Ctrl-C, SIGINT or SIGTERM on POSIX; the
// console's control events on Windows) into a call of a handler on a thread
// of the process's own, where it may take locks and wake other threads, which
// a signal handler may not. For the tools: the vornmt_stop_signal library
// holds it, and the client library never links it.
#pragma once

#include <functional>

namespace vornmt::platform {

// Installs the handler. Call it once, from the main thread, before any other
// thread starts: on POSIX it blocks the two signals in the calling thread,
// threads started later inherit that, and one waiting thread receives them.
// A second request while the first is being handled ends the process at once
// with status 130.
bool InstallStopHandler(std::function<void()> on_stop);
// Removes the handler and ends its thread.
void RemoveStopHandler();

}  // namespace vornmt::platform
