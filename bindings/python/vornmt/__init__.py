"""Touch input from a VornMT touch server, through the VornMTClient library.

    import vornmt
    with vornmt.Client("127.0.0.1") as client:      # port 7100
        client.subscribe()
        for event in client.events(timeout=5.0):
            print(event)

The event model, shared with the C# binding, is docs/events.md.
"""

from .client import AsyncEventReader, Client, EventReader
from .events import (Connected, DeviceInfo, ErrorReport, Event, Frame, Gesture, Point, Resolution, ServerLost,
                     gesture_name)
from .native import LibraryNotFoundError, LibraryVersionError
from .status import (ERR_BAD_MESSAGE, ERR_CALLBACK_EXCEPTION, ERR_IN_CALLBACK, ERR_NO_EVENT, ERR_NONE,
                     ERR_NOT_YET_CONNECTED, ERR_OLD_SERVER, ConnectionState, VornMTError, describe)

try:
    from ._version import __version__  # written by scripts/package-python from the library's header
except ImportError:  # a source checkout, not installed
    __version__ = "0+source"

__all__ = [
    "AsyncEventReader", "Client", "EventReader", "gesture_name",
    "Connected", "DeviceInfo", "ErrorReport", "Event", "Frame", "Gesture", "Point", "Resolution", "ServerLost",
    "ERR_BAD_MESSAGE", "ERR_CALLBACK_EXCEPTION", "ERR_IN_CALLBACK", "ERR_NO_EVENT", "ERR_NONE",
    "ERR_NOT_YET_CONNECTED", "ERR_OLD_SERVER", "ConnectionState", "LibraryNotFoundError", "LibraryVersionError",
    "VornMTError",
    "describe",
]
