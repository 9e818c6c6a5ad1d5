#include "client/library_state.h"

namespace vornmt::client {
namespace {

LibraryState library;  // constructed at load, before any entry point can run

}  // namespace

LibraryState& Library() { return library; }

}  // namespace vornmt::client
