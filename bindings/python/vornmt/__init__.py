"""Touch input from a VornMT touch server, through the VornMTClient library.

    import vornmt
    with vornmt.Client("127.0.0.1") as client:      # port 7100
        client.subscribe()
        for event in client.events(timeout=5.0):
            print(event)
"""

from .client import Client, gesture_name
from .events import DeviceInfo, Dropped, ErrorReport, Event, Frame, Gesture, Point, Resolution, ServerLost
from .status import (ERR_BAD_MESSAGE, ERR_CALLBACK_EXCEPTION, ERR_IN_CALLBACK, ERR_NONE, ERR_OLD_SERVER,
                     LibraryNotFoundError, VornMTError, describe)

try:
    from ._version import __version__  # written by scripts/package-python from the library's header
except ImportError:  # a source checkout, not installed
    __version__ = "0+source"

__all__ = [
    "Client", "gesture_name",
    "DeviceInfo", "Dropped", "ErrorReport", "Event", "Frame", "Gesture", "Point", "Resolution", "ServerLost",
    "ERR_BAD_MESSAGE", "ERR_CALLBACK_EXCEPTION", "ERR_IN_CALLBACK", "ERR_NONE", "ERR_OLD_SERVER",
    "LibraryNotFoundError", "VornMTError", "describe",
]
