// Plain-language names for the statuses the library reports: its ERR_ codes
// and the Windows Sockets error numbers it uses on every platform. Shared by
// the tools so that the monitor's lines and the view's page say the same.
#pragma once

#include <string>

namespace vornmt::tools {

// "connection refused" for 10061; null for a number without a known meaning.
const char* SocketErrorText(int code);
// "ERR_BAD_MESSAGE", "socket error: connection reset", "socket error" or
// "system error".
std::string ErrorName(int code);
// What the code means for someone watching, in one sentence.
std::string ErrorMeaning(int code);
// The code as the header writes it: 0x31000001 for the library's own codes,
// decimal for the others.
std::string ErrorNumber(int code);

}  // namespace vornmt::tools
