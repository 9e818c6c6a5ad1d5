"""Touch input from a VornMT touch server, through the VornMTClient library.

    import vornmt
    with vornmt.Client("127.0.0.1", 7100) as client:
        client.subscribe()
        for event in client.events(timeout=5.0):
            print(event)
"""

from .client import Client, gesture_name
from .events import DeviceInfo, Dropped, Error, Event, Frame, Gesture, Point, Resolution, ServerLost
from .status import (ERR_BAD_MESSAGE, ERR_CALLBACK_EXCEPTION, ERR_IN_CALLBACK, ERR_NONE, ERR_OLD_SERVER,
                     LibraryNotFoundError, VornMTError, describe)

__all__ = [
    "Client", "gesture_name",
    "DeviceInfo", "Dropped", "Error", "Event", "Frame", "Gesture", "Point", "Resolution", "ServerLost",
    "ERR_BAD_MESSAGE", "ERR_CALLBACK_EXCEPTION", "ERR_IN_CALLBACK", "ERR_NONE", "ERR_OLD_SERVER",
    "LibraryNotFoundError", "VornMTError", "describe",
]
__version__ = "1.0.0"
