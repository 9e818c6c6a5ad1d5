#include "common/error_text.h"

#include <VornMTClient.h>

#include <cstdio>

namespace vornmt::tools {

using namespace Vorn_SDK_MultiTouch;

const char* SocketErrorText(int code) {
    switch (code) {
        case 10004: return "interrupted";
        case 10013: return "permission denied";
        case 10022: return "invalid argument";
        case 10048: return "address in use";
        case 10049: return "not a valid address";
        case 10050: return "network down";
        case 10051: return "network unreachable";
        case 10053: return "connection aborted";
        case 10054: return "connection reset";
        case 10055: return "out of buffer space";
        case 10057: return "not connected";
        case 10060: return "timed out";
        case 10061: return "connection refused";
        case 10064: return "host down";
        case 10065: return "host unreachable";
        default: return nullptr;
    }
}

std::string ErrorName(int code) {
    switch (code) {
        case ERR_BAD_MESSAGE: return "ERR_BAD_MESSAGE";
        case ERR_OLD_SERVER: return "ERR_OLD_SERVER";
        case ERR_CALLBACK_EXCEPTION: return "ERR_CALLBACK_EXCEPTION";
        case ERR_IN_CALLBACK: return "ERR_IN_CALLBACK";
        default: break;
    }
    const char* text = SocketErrorText(code);
    if (text) return std::string("socket error: ") + text;
    if (code >= 10000 && code < 12000) return "socket error";
    return "system error";
}

std::string ErrorMeaning(int code) {
    switch (code) {
        case ERR_BAD_MESSAGE:
            return "the server sent a message that is not a valid invoke document, or a known message "
                   "with missing or unusable arguments; it was skipped";
        case ERR_OLD_SERVER: return "the server announced a version older than 1.10";
        case ERR_CALLBACK_EXCEPTION: return "a callback threw an exception; that event was lost";
        case ERR_IN_CALLBACK: return "ConnectServer was called from inside a callback";
        default: break;
    }
    if (const char* text = SocketErrorText(code)) return std::string("the connection failed: ") + text;
    if (code >= 10000 && code < 12000) return "the connection failed (Windows Sockets error number)";
    return "a system call failed (system error number)";
}

std::string ErrorNumber(int code) {
    char number[32];
    if (code >= 0x31000000) {
        std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(code));
    } else {
        std::snprintf(number, sizeof number, "%d", code);
    }
    return number;
}

}  // namespace vornmt::tools
