#include "client/library_state.h"

#include "platform/library_hooks.h"

namespace vornmt::client {
namespace {

// Created at load, before any entry point can run.
LibraryState* const library = new LibraryState;

// Runs in a forked child before fork returns there: the child has none of the
// parent's threads, so no lock may stay held by one of them, and none of the
// parent's connection.
void RenewInForkedChild() {
    library->registry.RenewAfterFork();
    library->connection.RenewAfterFork();
    library->events.RenewAfterFork();
}

const bool fork_handler_registered = (platform::RunInForkedChildren(RenewInForkedChild), true);

// The unload: at process exit, or when the shared library is unloaded. It
// ends the connection but frees nothing: at exit, a global destructor of the
// application or a runtime that loaded the library (Python, .NET) may still
// call into it afterwards, and so may a forked child; every entry point then
// finds the objects it needs. An unload before exit leaves them behind, a
// few kilobytes.
struct Unload {
    Unload() = default;
    Unload(const Unload&) = delete;
    Unload& operator=(const Unload&) = delete;
    ~Unload() { library->connection.TeardownForUnload(); }
};
const Unload unload;

}  // namespace

LibraryState& Library() { return *library; }

}  // namespace vornmt::client
