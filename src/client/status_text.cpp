// Status texts: the library's codes, then every Windows Sockets error number
// (both backends report these numbers; the POSIX one maps errno onto them
// and leaves an unmapped errno at 10000 + errno, which gets the generic
// socket text).
#include "client/status_text.h"

#include <VornMTClient.h>

namespace vornmt::client {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

struct StatusEntry {
    int32_t status;
    const char* text;
};

constexpr StatusEntry kStatusTexts[] = {
    {mt::ERR_NONE, "success"},
    {mt::ERR_BAD_MESSAGE, "bad message from the server (skipped)"},
    {mt::ERR_OLD_SERVER, "server older than version 1.10"},
    {mt::ERR_CALLBACK_EXCEPTION, "a callback threw an exception (event lost)"},
    {mt::ERR_IN_CALLBACK, "ConnectServer called from inside a callback"},
    {mt::ERR_NO_EVENT, "no event"},
    {mt::ERR_NOT_YET_CONNECTED, "not connected yet; connecting in the background"},
    {10004, "interrupted"},
    {10009, "bad socket handle"},
    {10013, "permission denied"},
    {10014, "bad address"},
    {10022, "invalid argument"},
    {10024, "too many open sockets"},
    {10035, "operation would block"},
    {10036, "operation in progress"},
    {10037, "operation already in progress"},
    {10038, "not a socket"},
    {10039, "destination address required"},
    {10040, "message too long"},
    {10041, "wrong protocol type"},
    {10042, "bad protocol option"},
    {10043, "protocol not supported"},
    {10044, "socket type not supported"},
    {10045, "operation not supported"},
    {10046, "protocol family not supported"},
    {10047, "address family not supported"},
    {10048, "address in use"},
    {10049, "not a valid address"},
    {10050, "network down"},
    {10051, "network unreachable"},
    {10052, "network reset the connection"},
    {10053, "connection aborted"},
    {10054, "connection reset"},
    {10055, "out of buffer space"},
    {10056, "already connected"},
    {10057, "not connected"},
    {10058, "connection shut down"},
    {10059, "too many references"},
    {10060, "timed out"},
    {10061, "connection refused"},
    {10062, "too many symbolic links"},
    {10063, "name too long"},
    {10064, "host down"},
    {10065, "host unreachable"},
    {10066, "directory not empty"},
    {10067, "too many processes"},
    {10068, "user quota exceeded"},
    {10069, "disk quota exceeded"},
    {10070, "stale handle"},
    {10071, "object is remote"},
    {10091, "network subsystem unavailable"},
    {10092, "Windows Sockets version not supported"},
    {10093, "Windows Sockets not initialised"},
    {10101, "graceful shutdown in progress"},
    {10102, "no more results"},
    {10103, "call cancelled"},
    {10104, "invalid procedure table"},
    {10105, "invalid service provider"},
    {10106, "service provider failed to initialise"},
    {10107, "system call failure"},
    {10108, "service not found"},
    {10109, "class type not found"},
    {10110, "no more results"},
    {10111, "call cancelled"},
    {10112, "database query refused"},
    {11001, "host not found"},
    {11002, "host not found, try again"},
    {11003, "non-recoverable name error"},
    {11004, "no data of the requested type"},
};

}  // namespace

const char* StatusText(int32_t status) {
    for (const StatusEntry& entry : kStatusTexts) {
        if (entry.status == status) return entry.text;
    }
    if (status >= 10000 && status < 12000) return "socket error";
    return "system error";
}

}  // namespace vornmt::client
