// The one table of status texts, for the library's GetStatusText and for the
// tools and bindings, which call that instead of keeping tables of their own.
// Constant data only: any thread.
#pragma once

#include <cstdint>

namespace vornmt::client {

// Never null: a text for 0, every Windows Sockets number, every ERR_ code,
// and a generic text for anything else.
const char* StatusText(int32_t status);

}  // namespace vornmt::client
