#include "client/library_state.h"

#include "platform/library_hooks.h"

namespace vornmt::client {
namespace {

LibraryState library;  // constructed at load, before any entry point can run

// Runs in a forked child before fork returns there: the child has none of the
// parent's threads, so no lock may stay held by one of them.
void RenewInForkedChild() { library.registry.RenewAfterFork(); }

const bool fork_handler_registered = (platform::RunInForkedChildren(RenewInForkedChild), true);

}  // namespace

LibraryState& Library() { return library; }

}  // namespace vornmt::client
