"""The C API of VornMTClient as ctypes declarations, and where the library is found.

Layouts follow include/VornMTClient.h exactly (natural alignment, no packing):
TouchPoint 16 bytes, TouchGesture 56 (params at offset 8), TouchDeviceInfo
136, TouchClientRequest 148 (a Windows GUID at offset 4), TouchEvent 1808. The exported
functions and the callbacks use the platform's standard calling convention
(__stdcall on Windows, which x64 treats as its one convention; C elsewhere).
"""

from __future__ import annotations

import ctypes
import os
import sys
from typing import List, Optional


MAX_FRAME_POINTS = 100
MAX_GESTURE_PARAMS = 6
DEVICE_INFO_TEXT_SIZE = 128
REQUEST_PARAM_SIZE = 128


class TouchPoint(ctypes.Structure):
    # code_1 (the point's element 1) comes before code_0, as in the header.
    _fields_ = [
        ("code_1", ctypes.c_uint16),
        ("code_0", ctypes.c_uint16),
        ("x", ctypes.c_int32),
        ("y", ctypes.c_int32),
        ("aux_0", ctypes.c_uint16),
        ("aux_1", ctypes.c_uint16),
    ]


class TouchGesture(ctypes.Structure):
    _fields_ = [
        ("code", ctypes.c_uint16),
        ("param_count", ctypes.c_uint16),
        ("params", ctypes.c_double * MAX_GESTURE_PARAMS),
    ]


class TouchDeviceInfo(ctypes.Structure):
    _fields_ = [
        ("info_value_0", ctypes.c_int32),
        ("info_value_1", ctypes.c_int32),
        ("info_text", ctypes.c_char * DEVICE_INFO_TEXT_SIZE),
    ]


class TouchGuid(ctypes.Structure):
    """The Windows GUID structure; uuid.UUID.bytes_le is its memory image."""

    _fields_ = [
        ("Data1", ctypes.c_uint32),
        ("Data2", ctypes.c_uint16),
        ("Data3", ctypes.c_uint16),
        ("Data4", ctypes.c_uint8 * 8),
    ]


class TouchClientRequest(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int32),
        ("app_key_id", TouchGuid),
        ("param", ctypes.c_char * REQUEST_PARAM_SIZE),
    ]


class TouchEvent(ctypes.Structure):
    """One event of the library's event queue (WaitEvent): 1808 bytes."""

    _fields_ = [
        ("kind", ctypes.c_int32),
        ("value_0", ctypes.c_int32),
        ("value_1", ctypes.c_int32),
        ("point_count", ctypes.c_int32),
        ("points", TouchPoint * MAX_FRAME_POINTS),
        ("gesture", TouchGesture),
        ("info", TouchDeviceInfo),
    ]


# Callback types, in the header's convention (WINFUNCTYPE is __stdcall).
# Pointers arrive as plain addresses: they are valid only during the call, so
# the binding copies what they point to at once.
_FUNCTYPE = getattr(ctypes, "WINFUNCTYPE", ctypes.CFUNCTYPE) if sys.platform == "win32" else ctypes.CFUNCTYPE
PointFrameCallback = _FUNCTYPE(
    None, ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, ctypes.c_void_p, ctypes.c_void_p)
GestureCallback = _FUNCTYPE(None, ctypes.POINTER(TouchGesture), ctypes.c_void_p)
DeviceInfoCallback = _FUNCTYPE(None, ctypes.POINTER(TouchDeviceInfo), ctypes.c_void_p)
ResolutionCallback = _FUNCTYPE(None, ctypes.c_int32, ctypes.c_int32, ctypes.c_void_p)
ServerBreakCallback = _FUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)
ErrorCallback = _FUNCTYPE(None, ctypes.c_int32, ctypes.c_void_p)
ConnectedCallback = _FUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)

# TouchEvent.kind
EVENT_FRAME = 1
EVENT_GESTURE = 2
EVENT_DEVICE_INFO = 3
EVENT_RESOLUTION = 4
EVENT_SERVER_BREAK = 5
EVENT_ERROR = 6
EVENT_CONNECTED = 7


# The library version this binding is written for (VORNMT_VERSION of the header):
# a library of this major version and at least this number has every function
# it calls.
NEEDED_VERSION = 10100


class LibraryNotFoundError(OSError):
    """The VornMTClient shared library could not be loaded from any of the places tried."""


class LibraryVersionError(LibraryNotFoundError):
    """The VornMTClient library found is older than this binding needs, or of another major version."""


def version_text(version: int) -> str:
    """"1.2.3" for the number 10203 (GetLibraryVersion's form)."""
    return "%d.%d.%d" % (version // 10000, version // 100 % 100, version % 100)


def _check_version(library: ctypes.CDLL, place: str) -> None:
    """Raises LibraryVersionError unless the library can serve this binding."""
    needed = version_text(NEEDED_VERSION)
    try:
        get_version = library.GetLibraryVersion
    except AttributeError:  # every library since it came tells its version
        raise LibraryVersionError(
            "the VornMTClient library %s is older than %s, which this vornmt needs (it has no "
            "GetLibraryVersion)" % (place, needed)) from None
    get_version.restype, get_version.argtypes = ctypes.c_int32, []
    version = get_version()
    if version < NEEDED_VERSION or version // 10000 != NEEDED_VERSION // 10000:
        raise LibraryVersionError(
            "the VornMTClient library %s is version %s; this vornmt needs %s or a later %d.x"
            % (place, version_text(version), needed, NEEDED_VERSION // 10000))


def _candidates() -> List[str]:
    """Where the library is looked for, in order: VORNMT_LIBRARY alone when set;
    else the copy inside this package (a wheel's), then the system's loader."""
    configured = os.environ.get("VORNMT_LIBRARY")
    if configured:
        return [configured]  # an override: no other library in its place
    names = ["VornMTClient.dll"] if sys.platform == "win32" else ["libVornMTClient.so", "libVornMTClient.so.1"]
    here = os.path.dirname(os.path.abspath(__file__))
    return [os.path.join(here, name) for name in names] + names  # the last two: the system's loader


def _declare(library: ctypes.CDLL) -> None:
    c_int32, c_void_p = ctypes.c_int32, ctypes.c_void_p
    signatures = {
        "ConnectServer": (c_int32, [ctypes.c_char_p, c_int32]),
        "DisconnectServer": (c_int32, []),
        # The setters return the previous callback, which the binding ignores.
        "SetOnReceivePointFrame": (c_void_p, [PointFrameCallback, c_void_p]),
        "SetOnReceiveGesture": (c_void_p, [GestureCallback, c_void_p]),
        "SetOnServerBreak": (c_void_p, [ServerBreakCallback, c_void_p]),
        "SetOnReceiveError": (c_void_p, [ErrorCallback, c_void_p]),
        "SetOnGetDeviceInfo": (c_void_p, [DeviceInfoCallback, c_void_p]),
        "SetOnConnected": (c_void_p, [ConnectedCallback, c_void_p]),
        "SetAutoReconnect": (c_int32, [c_int32, c_int32]),
        "GetConnectionState": (c_int32, []),
        # Declared as a reference in the header: its address at the boundary.
        "SendRequest": (c_int32, [ctypes.POINTER(TouchClientRequest)]),
        "SendThreshold": (c_int32, [c_int32]),
        "SetRawDataResolution": (c_int32, [c_int32, c_int32]),
        "GetServerResolution": (c_int32, [ResolutionCallback, c_void_p]),
        # The library's constant texts; ctypes copies them and frees nothing.
        "GetGestureNameOfCode": (ctypes.c_char_p, [ctypes.c_uint16]),
        "GetStatusText": (ctypes.c_char_p, [c_int32]),
        "OpenEventQueue": (c_int32, [c_int32]),
        "CloseEventQueue": (c_int32, []),
        "WaitEvent": (c_int32, [ctypes.POINTER(TouchEvent), c_int32]),
        "GetEventWaitHandle": (ctypes.c_ssize_t, []),  # intptr_t
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments


_library: Optional[ctypes.CDLL] = None
# WinDLL is __stdcall, the header's convention on Windows; CDLL elsewhere. Both
# release the GIL during each call, which DisconnectServer needs: it waits for a
# callback that may be waiting for the GIL.
_open = getattr(ctypes, "WinDLL", ctypes.CDLL) if sys.platform == "win32" else ctypes.CDLL


def load() -> ctypes.CDLL:
    """The library, loaded on first use. Raises LibraryNotFoundError naming every place tried, or
    LibraryVersionError naming the library's version and the one this binding needs."""
    global _library
    if _library is not None:
        return _library
    failures = []
    for place in _candidates():
        if os.path.isabs(place) and not os.path.exists(place):
            failures.append("%s: no such file" % place)
            continue
        try:
            library = _open(place)
        except OSError as error:
            failures.append("%s: %s" % (place, error))
            continue
        # The version says which functions are there. An old library found is the
        # answer, not a reason to look on: the application hears what it has and needs.
        _check_version(library, place)
        _declare(library)
        _library = library
        return library
    raise LibraryNotFoundError(
        "cannot load the VornMTClient library; set VORNMT_LIBRARY to its path. Tried:\n  "
        + "\n  ".join(failures))
