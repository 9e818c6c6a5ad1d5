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

// The unload: at process exit, or when the shared library is unloaded.
struct Unload {
    Unload() = default;
    Unload(const Unload&) = delete;
    Unload& operator=(const Unload&) = delete;
    ~Unload() {
        // A thread waiting in WaitEvent would wait on a destroyed condition.
        if (library->connection.TeardownForUnload() && !library->events.has_waiting_takers()) delete library;
    }
};
const Unload unload;

}  // namespace

LibraryState& Library() { return *library; }

}  // namespace vornmt::client
