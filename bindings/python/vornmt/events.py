"""The events a Client delivers, as immutable tuples, and how they are made
from the library's records. The model (kinds, order, ends) is docs/events.md.

Every event is a copy: it stays valid after the handler returns and may be
kept, queued or sent to another thread.
"""

from __future__ import annotations

import struct
from typing import Dict, NamedTuple, Optional, Tuple, Union

from . import native
from .status import describe


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
    """The server closed or reset the connection, after every event received
    before it: every touch the application holds has ended. Without automatic
    reconnection it ends the stream (Client.events() and Client.aevents()) for
    every reader; with it, a Connected and the new connection's events follow."""


class Connected(NamedTuple):
    """With automatic reconnection on: a connection the library opened in the
    background is up; its events follow."""


class ErrorReport(NamedTuple):
    """A problem the library reported while it ran (a message from the server it
    could not read, an old server): `status` and its `meaning`. An event, like
    the others; delivery goes on after it. Not the exception VornMTError, which
    a call raises when it fails."""

    status: int
    meaning: str


Event = Union[Frame, Gesture, DeviceInfo, Resolution, ServerLost, Connected, ErrorReport]

_gesture_names: Dict[int, str] = {}
# One TouchPoint in memory: code_1, code_0, x, y, aux_0, aux_1 (no padding).
_POINT = struct.Struct("=HHiiHH")
# The head of a TouchEvent: kind, value_0, value_1, point_count; the points follow.
_EVENT_HEAD = struct.Struct("=iiii")
_POINTS_OFFSET = native.TouchEvent.points.offset


def gesture_name(code: int) -> str:
    """The name of a gesture code ("TG_DOWN", "TG_NO_ACTION"); "" for codes without one."""
    if not 0 <= code <= 0xFFFF:
        raise ValueError("a gesture code is 0 to 65535, not %d" % code)
    name = _gesture_names.get(code)
    if name is None:
        name = _gesture_names[code] = native.load().GetGestureNameOfCode(code).decode("ascii", "replace")
    return name


def points_from(raw: bytes) -> Tuple[Point, ...]:
    """The points of a frame from the TouchPoint records' bytes."""
    return tuple([Point(c0, c1, x, y, a0, a1) for c1, c0, x, y, a0, a1 in _POINT.iter_unpack(raw)])


def gesture_from(record: native.TouchGesture) -> Gesture:
    count = min(record.param_count, native.MAX_GESTURE_PARAMS)
    return Gesture(record.code, gesture_name(record.code), tuple(record.params[:count]))


def device_info_from(record: native.TouchDeviceInfo) -> DeviceInfo:
    return DeviceInfo(record.info_value_0, record.info_value_1, record.info_text.decode("utf-8", "replace"))


def error_from(status: int) -> ErrorReport:
    return ErrorReport(status, describe(status))


_SERVER_LOST = ServerLost()
_CONNECTED = Connected()


def from_record(record: native.TouchEvent, view: memoryview) -> Optional[Event]:
    """The event a TouchEvent of the library's queue holds (view: the record's bytes); None for a
    kind this binding does not know (a newer library's)."""
    kind, value_0, value_1, count = _EVENT_HEAD.unpack_from(view)
    if kind == native.EVENT_FRAME:
        count = max(0, min(count, native.MAX_FRAME_POINTS))
        return Frame(value_0, value_1, points_from(view[_POINTS_OFFSET:_POINTS_OFFSET + count * _POINT.size]))
    if kind == native.EVENT_GESTURE:
        return gesture_from(record.gesture)
    if kind == native.EVENT_DEVICE_INFO:
        return device_info_from(record.info)
    if kind == native.EVENT_RESOLUTION:
        return Resolution(value_0, value_1)
    if kind == native.EVENT_SERVER_BREAK:
        return _SERVER_LOST
    if kind == native.EVENT_ERROR:
        return error_from(value_0)
    if kind == native.EVENT_CONNECTED:
        return _CONNECTED
    return None
