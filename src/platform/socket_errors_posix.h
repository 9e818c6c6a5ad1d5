// Maps POSIX errno values onto the Windows Sockets numbers applications see.
#pragma once

namespace vornmt::platform {

int ToWinsockError(int errno_value);

}  // namespace vornmt::platform
