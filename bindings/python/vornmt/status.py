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

# Only for a library older than GetStatusText; the library's own texts are the
# ones kept up to date.
_OLD_LIBRARY_MEANINGS = {
    ERR_NONE: "success",
    ERR_BAD_MESSAGE: "bad message from the server (skipped)",
    ERR_OLD_SERVER: "server older than version 1.10",
    ERR_CALLBACK_EXCEPTION: "a callback threw an exception (event lost)",
    ERR_IN_CALLBACK: "ConnectServer called from inside a callback",
}


def describe(status: int) -> str:
    """A short English text for a status: the library's GetStatusText."""
    from . import native  # native needs this module's LibraryNotFoundError

    try:
        text = native.load().GetStatusText
    except (LibraryNotFoundError, AttributeError):
        meaning = _OLD_LIBRARY_MEANINGS.get(status)
        if meaning is not None:
            return meaning
        return ("socket error" if 10000 <= status <= 11999 else "system error") + " %d" % status
    return (text(status) or b"").decode("ascii", "replace")


class VornMTError(Exception):
    """A call into the library failed; `status` is its code, `meaning` says what it is."""

    def __init__(self, status: int, doing: str = "") -> None:
        self.status = status
        self.meaning = describe(status)
        prefix = doing + ": " if doing else ""
        super().__init__("%s%s (%d)" % (prefix, self.meaning, status))



class LibraryNotFoundError(OSError):
    """The VornMTClient shared library could not be loaded from any of the places tried."""
