"""The events a Client delivers, as immutable tuples.

Every event is a copy: it stays valid after the handler returns and may be
kept, queued or sent to another thread.
"""

from __future__ import annotations

from typing import NamedTuple, Tuple, Union


class Point(NamedTuple):
    """One touch point. The six numbers are the server's, in the order it sends
    them; with the simulator code_0 is the state (1 down, 2 moving, 3 up),
    code_1 the finger id, aux_0 and aux_1 the contact's size."""

    code_0: int
    code_1: int
    x: int
    y: int
    aux_0: int
    aux_1: int


class Frame(NamedTuple):
    """A touch point frame: the frame's two leading numbers and its points
    (at most 100)."""

    value_0: int
    value_1: int
    points: Tuple[Point, ...]


class Gesture(NamedTuple):
    """A recognised gesture: its code, its name ("TG_DOWN", "" for codes
    without one) and its parameters (at most 6)."""

    code: int
    name: str
    params: Tuple[float, ...]


class DeviceInfo(NamedTuple):
    """Information on the touch device; text decoded as UTF-8."""

    value_0: int
    value_1: int
    text: str


class Resolution(NamedTuple):
    """The server's resolution, the answer to a resolution query."""

    x: int
    y: int


class ServerLost(NamedTuple):
    """The server closed or reset the connection. The last event of a
    connection, queued even when the queue is full; Client.events() and
    Client.aevents() end after it."""


class ErrorReport(NamedTuple):
    """A problem the library reported while it ran (a message from the server it
    could not read, an old server): `status` and its `meaning`. An event, like
    the others; delivery goes on after it. Not the exception VornMTError, which
    a call raises when it fails."""

    status: int
    meaning: str


class Dropped(NamedTuple):
    """The event queue was full and `missed` events were left out here, between
    the events before and after it."""

    missed: int


Event = Union[Frame, Gesture, DeviceInfo, Resolution, ServerLost, ErrorReport, Dropped]
