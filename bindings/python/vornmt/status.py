"""Status codes of the VornMTClient library and what they mean.

A status is 0, a Windows Sockets error number (the same numbers on every
platform), a system error number when a worker thread could not start, or one
of the library's ERR_ codes.
"""

from __future__ import annotations

ERR_NONE = 0
ERR_BAD_MESSAGE = 0x31000001
ERR_OLD_SERVER = 0x31000002
ERR_CALLBACK_EXCEPTION = 0x31000003
ERR_IN_CALLBACK = 0x31000004

_MEANINGS = {
    ERR_NONE: "success",
    ERR_BAD_MESSAGE: "the server sent a message that cannot be read (ERR_BAD_MESSAGE)",
    ERR_OLD_SERVER: "the server is older than version 1.10 (ERR_OLD_SERVER)",
    ERR_CALLBACK_EXCEPTION: "an event handler raised an exception; that event was lost (ERR_CALLBACK_EXCEPTION)",
    ERR_IN_CALLBACK: "connect was called from inside an event handler (ERR_IN_CALLBACK)",
    10004: "interrupted",
    10013: "permission denied",
    10024: "too many open sockets",
    10048: "the address is in use",
    10049: "the address is not a dotted IPv4 address of this machine",
    10050: "the network is down",
    10051: "the network is unreachable",
    10053: "the connection was aborted",
    10054: "the server reset the connection",
    10055: "out of buffer space",
    10057: "not connected",
    10058: "the connection has been shut down",
    10060: "timed out",
    10061: "connection refused: nothing listens at that address and port",
    10065: "the host is unreachable",
}


def describe(status: int) -> str:
    """A short English text for a status."""
    meaning = _MEANINGS.get(status)
    if meaning is not None:
        return meaning
    if 10000 <= status <= 11999:
        return "socket error %d" % status
    return "system error %d" % status


class VornMTError(Exception):
    """A call into the library failed; `status` is its code, `meaning` says what it is."""

    def __init__(self, status: int, doing: str = "") -> None:
        self.status = status
        self.meaning = describe(status)
        prefix = doing + ": " if doing else ""
        super().__init__("%s%s (%d)" % (prefix, self.meaning, status))


class LibraryNotFoundError(OSError):
    """The VornMTClient shared library could not be loaded from any of the places tried."""
