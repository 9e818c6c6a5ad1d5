"""Status codes of the VornMTClient library, what they mean, and the connection states.

A status is 0, a Windows Sockets error number (the same numbers on every
platform), a system error number when a worker thread could not start, or one
of the library's ERR_ codes. Their texts are the library's (GetStatusText).
"""

from __future__ import annotations

import enum

from . import native

ERR_NONE = 0
ERR_BAD_MESSAGE = 0x31000001
ERR_OLD_SERVER = 0x31000002
ERR_CALLBACK_EXCEPTION = 0x31000003
ERR_IN_CALLBACK = 0x31000004
ERR_NO_EVENT = 0x31000005
ERR_NOT_YET_CONNECTED = 0x31000006


class ConnectionState(enum.IntEnum):
    """What Client.state says (the library's GetConnectionState)."""

    DISCONNECTED = 0
    CONNECTED = 1
    RECONNECTING = 2  # automatic reconnection is on and the library tries to connect


def describe(status: int) -> str:
    """A short English text for a status: the library's GetStatusText."""
    return (native.load().GetStatusText(status) or b"").decode("ascii", "replace")


class VornMTError(Exception):
    """A call into the library failed; `status` is its code, `meaning` says what it is."""

    def __init__(self, status: int, doing: str = "") -> None:
        self.status = status
        self.meaning = describe(status)
        prefix = doing + ": " if doing else ""
        super().__init__("%s%s (%d)" % (prefix, self.meaning, status))
