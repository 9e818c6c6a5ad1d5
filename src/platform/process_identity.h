// Who the calling process is, for the subscription request.
#pragma once

#include <cstdint>
#include <string>

namespace vornmt::platform {

// Base name of the executable that started the process, with extension and
// without directory ("viewer.exe"); empty when the platform cannot tell. At
// most 259 characters.
std::string ExecutableBaseName();

std::uint32_t CurrentProcessId();

}  // namespace vornmt::platform
