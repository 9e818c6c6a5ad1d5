"""Client: the connection to a touch server, its events and its requests.

The library holds one connection per process and calls back on two threads
of its own (frames, gestures, device information, resolution and message
errors on its dispatch thread; server loss and socket errors on its receive
thread). So there is one open Client per process at a time, and handlers run
on those threads, never on the thread that made the Client.
"""

from __future__ import annotations

import asyncio
import atexit
import collections
import ctypes
import struct
import sys
import threading
import time
import types
import uuid
from typing import Any, AsyncIterator, Callable, Deque, Dict, Iterator, List, Optional, Tuple, Union

from . import native
from .events import DeviceInfo, Dropped, ErrorReport, Event, Frame, Gesture, Point, Resolution, ServerLost
from .status import VornMTError, describe

DEFAULT_PORT = 7100

# One TouchPoint in memory: code_1, code_0, x, y, aux_0, aux_1 (no padding).
_POINT = struct.Struct("=HHiiHH")
_INT32_MIN, _INT32_MAX = -(2 ** 31), 2 ** 31 - 1

_current: Optional["Client"] = None  # the open client; read without a lock by the library's threads
_current_lock = threading.Lock()
_gesture_names: Dict[int, str] = {}
_in_callback = threading.local()  # .active is True while this thread runs a callback of the library


def gesture_name(code: int) -> str:
    """The name of a gesture code ("TG_DOWN", "TG_NO_ACTION"); "" for codes without one."""
    if not 0 <= code <= 0xFFFF:
        raise ValueError("a gesture code is 0 to 65535, not %d" % code)
    name = _gesture_names.get(code)
    if name is None:
        text = native.load().GetGestureName(ctypes.byref(native.TouchGesture(code=code)))
        name = _gesture_names[code] = (text or b"").decode("ascii", "replace")
    return name


def _report(error: BaseException, what: str, handler: object) -> None:
    """A handler raised: tell sys.unraisablehook (which prints it by default) and go on."""
    try:
        # The hook reads these five attributes; its argument type cannot be made from Python.
        sys.unraisablehook(types.SimpleNamespace(  # type: ignore[arg-type]
            exc_type=type(error), exc_value=error, exc_traceback=error.__traceback__,
            err_msg="Exception ignored in vornmt %s handler" % what, object=handler))
    except BaseException:  # nothing may leave a callback of the library
        pass


def _check_int32(name: str, value: int) -> int:
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise ValueError("%s must fit in 32 bits, not %d" % (name, value))
    return value


def _resolve(future: "asyncio.Future[None]") -> None:
    if not future.done():
        future.set_result(None)


def _wake(waiters: List[Tuple[asyncio.AbstractEventLoop, "asyncio.Future[None]"]]) -> None:
    for loop, future in waiters:
        try:
            loop.call_soon_threadsafe(_resolve, future)
        except RuntimeError:  # that loop is closed: nobody waits there any more
            pass


class _EventQueue:
    """Bounded queue between the library's threads (put) and Client.events() and
    Client.aevents() (take).

    Never blocks the library: when full, events are counted and left out, and
    the reader gets a Dropped(missed) where they are missing. A final event
    (ServerLost) is queued even when full, after the Dropped that marks what
    was left out before it, so a reader that fell behind still sees the end.
    Several readers share the events, each taken once; taking a final event
    ends every reader that began before it (they pass `since`, the ends()
    they saw at their start). aevents() readers wait on a future of their
    loop, which put(), close() and taking a final event resolve through
    loop.call_soon_threadsafe.
    """

    def __init__(self, capacity: int) -> None:
        self.capacity = capacity
        self._items: Deque[Tuple[Event, bool]] = collections.deque()  # (event, final)
        self._dropped = 0
        self._ends = 0  # final events taken so far
        self._closed = False
        self._changed = threading.Condition()
        self._waiters: List[Tuple[asyncio.AbstractEventLoop, "asyncio.Future[None]"]] = []

    def put(self, event: Event, final: bool = False) -> None:
        if self.capacity <= 0:
            return
        with self._changed:
            if self._closed:
                return
            if len(self._items) >= self.capacity and not final:
                self._dropped += 1
                return
            if self._dropped:
                self._items.append((Dropped(self._dropped), False))
                self._dropped = 0
            self._items.append((event, final))
            self._changed.notify()
            if not self._waiters:
                return
            waiters, self._waiters = self._waiters, []
        _wake(waiters)

    def ends(self) -> int:
        with self._changed:
            return self._ends

    def _take_locked(self, since: Optional[int]) -> Tuple[Optional[Event], bool]:
        """The next event, or None; and whether this reader is done: an end was taken since it
        began (what is left belongs to the next connection), or the queue is closed and empty."""
        if since is not None and since != self._ends:
            return None, True
        if self._items:
            event, final = self._items.popleft()
            if final:
                self._ends += 1
                self._changed.notify_all()  # the other readers end here too
            return event, False
        if self._dropped:
            count, self._dropped = self._dropped, 0
            return Dropped(count), False
        return None, self._closed

    def _end_waiters_locked(self, ends_before: int) -> List[Tuple[asyncio.AbstractEventLoop, "asyncio.Future[None]"]]:
        """The aevents() readers to wake when this taker took an end: they are done too."""
        if self._ends == ends_before:
            return []
        waiters, self._waiters = self._waiters, []
        return waiters

    def get(self, timeout: Optional[float], since: Optional[int] = None) -> Optional[Event]:
        """The next event; None after `timeout` seconds without one, or once the reader is done
        (see _take_locked; `since` None: whatever ends were taken)."""
        deadline = None if timeout is None else time.monotonic() + timeout
        with self._changed:
            ends = self._ends
            event, done = self._take_locked(since)
            while event is None and not done:
                remaining = None if deadline is None else deadline - time.monotonic()
                if remaining is not None and remaining <= 0:
                    break
                self._changed.wait(remaining)
                event, done = self._take_locked(since)
            waiters = self._end_waiters_locked(ends)
        _wake(waiters)
        return event

    def poll(self, since: Optional[int] = None) -> Tuple[Optional[Event], bool]:
        """The next event without waiting, or None; and whether the reader is done."""
        with self._changed:
            ends = self._ends
            taken = self._take_locked(since)
            waiters = self._end_waiters_locked(ends)
        _wake(waiters)
        return taken

    def add_waiter(self, loop: asyncio.AbstractEventLoop, future: "asyncio.Future[None]",
                   since: Optional[int] = None) -> bool:
        """Has put(), close() or a taken end resolve `future`; False when there is something to
        take or the reader is done already."""
        with self._changed:
            if self._items or self._dropped or self._closed or (since is not None and since != self._ends):
                return False
            self._waiters.append((loop, future))
            return True

    def remove_waiter(self, future: "asyncio.Future[None]") -> None:
        with self._changed:
            self._waiters = [(loop, waiting) for loop, waiting in self._waiters if waiting is not future]

    def close(self) -> None:
        with self._changed:
            self._closed = True
            self._changed.notify_all()
            waiters, self._waiters = self._waiters, []
        _wake(waiters)


class _ResolutionWait:
    def __init__(self) -> None:
        self.done = threading.Event()
        self.value: Optional[Tuple[int, int]] = None
        self.error: Optional[BaseException] = None


class Client:
    """One connection to a touch server.

    Client(address) connects at once, to port 7100 unless `port` says
    otherwise; Client() connects later with connect(). Use it as a context
    manager, or call close(): that ends the connection and the library's
    threads. At most one Client is open per process (the library holds one
    connection).

    Events arrive two ways, both fed from the moment the Client is made:
      - handlers, the on_* attributes (or keyword arguments): called with the
        event on one of the library's threads; keep them short. An exception
        out of a handler goes to sys.unraisablehook and delivery goes on.
      - events(), or aevents() in asyncio: a queue of at most `queue_size`
        events (0 turns the queue off). A full queue never slows the library:
        later events are left out and a Dropped(missed) marks the gap; the
        ServerLost that ends a connection is never left out.
    Problems the library reports while it runs come as ErrorReport events
    (on_error); a call that fails raises VornMTError.
    """

    def __init__(self, address: Optional[str] = None, port: int = DEFAULT_PORT, *,
                 on_frame: Optional[Callable[[Frame], None]] = None,
                 on_gesture: Optional[Callable[[Gesture], None]] = None,
                 on_device_info: Optional[Callable[[DeviceInfo], None]] = None,
                 on_resolution: Optional[Callable[[Resolution], None]] = None,
                 on_server_lost: Optional[Callable[[ServerLost], None]] = None,
                 on_error: Optional[Callable[[ErrorReport], None]] = None,
                 queue_size: int = 1000) -> None:
        global _current
        self.on_frame = on_frame
        self.on_gesture = on_gesture
        self.on_device_info = on_device_info
        self.on_resolution = on_resolution
        self.on_server_lost = on_server_lost
        self.on_error = on_error
        self._library = native.load()
        self._queue = _EventQueue(queue_size)
        self._waits: List[_ResolutionWait] = []
        self._waits_lock = threading.Lock()
        self._closed = False
        with _current_lock:
            if _current is not None:
                raise RuntimeError("another vornmt.Client is open; the library holds one connection "
                                   "per process, so close that one first")
            _current = self
        _register_callbacks(self._library)
        if address is not None:
            try:
                self.connect(address, port)
            except BaseException:
                self.close()
                raise

    # ---- connection ---------------------------------------------------

    def connect(self, address: str = "127.0.0.1", port: int = DEFAULT_PORT) -> None:
        """Connects (closing an earlier connection first). Raises VornMTError, e.g. status 10061
        when nothing listens there, 10049 when the address is not a dotted IPv4 address."""
        self._check_open()
        if not 0 <= port <= 65535:
            raise ValueError("port must be 0 to 65535, not %d" % port)
        try:
            encoded = address.encode("ascii")
        except UnicodeEncodeError:
            raise ValueError("address must be a dotted IPv4 address, not %r" % address) from None
        status = self._library.ConnectServer(encoded, port)
        if status:
            raise VornMTError(status, "cannot connect to %s:%d" % (address, port))

    def disconnect(self) -> None:
        """Ends the connection; the Client stays usable for connect()."""
        self._library.DisconnectServer()

    def close(self) -> None:
        """Ends the connection and releases the Client. From a handler too (it then does not
        wait for that handler). Idempotent, but every call on an application thread waits for
        a running handler, also when a handler closed the Client first."""
        global _current
        with _current_lock:
            first, self._closed = not self._closed, True
            # Once a newer Client holds the slot, the connection is that Client's.
            ours = _current is None or _current is self
        if ours:
            # Waits for a running handler when called from an application thread,
            # so no handler of this Client runs once close() has returned there.
            self._library.DisconnectServer()
        if not first:
            return
        with _current_lock:
            if _current is self:
                _current = None
        self._queue.close()
        self._finish_waits(error=VornMTError(10057, "the client was closed"))

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    # ---- requests -----------------------------------------------------

    def subscribe(self, request_type: int = 1, app_key: Union[uuid.UUID, str, None] = None,
                  param: Union[str, bytes] = "") -> None:
        """Asks the server for touch data. request_type (the request's type field) and param mean
        what the server defines; app_key identifies the application (default all zero). param is
        at most 127 bytes of UTF-8."""
        request = native.TouchClientRequest()
        request.type = _check_int32("request_type", request_type)
        key = app_key if isinstance(app_key, uuid.UUID) else uuid.UUID(int=0) if app_key is None else uuid.UUID(app_key)
        ctypes.memmove(ctypes.byref(request.app_key_id), key.bytes_le, 16)
        text = param.encode("utf-8") if isinstance(param, str) else bytes(param)
        if len(text) >= native.REQUEST_PARAM_SIZE or b"\0" in text:
            raise ValueError("param must be at most %d bytes without NUL" % (native.REQUEST_PARAM_SIZE - 1))
        request.param = text
        self._check(self._library.SendRequest(ctypes.byref(request)), "subscribe")

    def set_threshold(self, move_threshold: int) -> None:
        """Sends the movement threshold (in the server's unit)."""
        self._check(self._library.SendThreshold(_check_int32("move_threshold", move_threshold)), "set_threshold")

    def set_raw_data_resolution(self, x: int, y: int) -> None:
        """Tells the server the resolution of the raw data it is to report."""
        status = self._library.SetRawDataResolution(_check_int32("x", x), _check_int32("y", y))
        self._check(status, "set_raw_data_resolution")

    def get_server_resolution(self, timeout: Optional[float] = 5.0) -> Tuple[int, int]:
        """Asks the server for its resolution and waits for the answer: (x, y).
        Raises TimeoutError after `timeout` seconds, VornMTError when the query cannot be sent
        or the server goes away first. Not from a handler: the answer comes on the library's
        thread that runs handlers (use request_server_resolution there)."""
        self._check_open()
        if getattr(_in_callback, "active", False):
            raise RuntimeError("get_server_resolution would wait for its own thread: call it outside the "
                               "handlers, or use request_server_resolution and on_resolution")
        wait = _ResolutionWait()
        with self._waits_lock:
            self._waits.append(wait)
        status = self._library.GetServerResolution(_resolution_trampoline, None)
        if status:
            self._drop_wait(wait)
            raise VornMTError(status, "get_server_resolution")
        if not wait.done.wait(timeout):
            self._drop_wait(wait)
            raise TimeoutError("the server did not answer the resolution query within %s s" % timeout)
        if wait.error is not None:
            raise wait.error
        assert wait.value is not None
        return wait.value

    def request_server_resolution(self) -> None:
        """Asks the server for its resolution without waiting: the answer arrives as a Resolution
        event (on_resolution and events()). Allowed in handlers."""
        self._check_open()
        self._check(self._library.GetServerResolution(_resolution_trampoline, None), "request_server_resolution")

    # ---- pulling events -----------------------------------------------

    def events(self, timeout: Optional[float] = None) -> Iterator[Event]:
        """Yields events in the order they arrived. Ends when none arrives within `timeout`
        seconds (None: wait for ever), after ServerLost, or once the Client is closed. Readers
        on several threads share the events, each going to one of them; the ServerLost goes to
        one, and ends every reader that asked for events() before it was read."""
        self._check_queue()
        return self._read(self._queue.ends(), timeout)

    def _read(self, since: int, timeout: Optional[float]) -> Iterator[Event]:
        while True:
            event = self._queue.get(timeout, since)
            if event is None:
                return
            yield event
            if isinstance(event, ServerLost):
                return

    def aevents(self, timeout: Optional[float] = None) -> AsyncIterator[Event]:
        """events() for asyncio, on the running loop: `async for event in client.aevents()`.
        The same queue, order, overflow rule, sharing and ends; waiting never blocks the loop
        (the library's threads wake it with loop.call_soon_threadsafe)."""
        self._check_queue()
        return self._aread(self._queue.ends(), timeout)

    async def _aread(self, since: int, timeout: Optional[float]) -> AsyncIterator[Event]:
        loop = asyncio.get_running_loop()
        while True:
            event, done = self._queue.poll(since)
            if event is None:
                if done:
                    return
                future = loop.create_future()
                if self._queue.add_waiter(loop, future, since):
                    try:
                        await asyncio.wait_for(future, timeout)
                    except asyncio.TimeoutError:
                        return
                    finally:
                        self._queue.remove_waiter(future)
                continue
            yield event
            if isinstance(event, ServerLost):
                return

    # ---- internals ----------------------------------------------------

    def _check_queue(self) -> None:
        if self._queue.capacity <= 0:
            raise RuntimeError("this Client was made with queue_size=0: it has no event queue")

    def _check_open(self) -> None:
        if self._closed:
            raise RuntimeError("this vornmt.Client is closed")

    def _check(self, status: int, doing: str) -> None:
        if status:
            raise VornMTError(status, doing)

    def _drop_wait(self, wait: _ResolutionWait) -> None:
        with self._waits_lock:
            if wait in self._waits:
                self._waits.remove(wait)

    def _finish_waits(self, value: Optional[Tuple[int, int]] = None,
                      error: Optional[BaseException] = None) -> None:
        with self._waits_lock:
            waits, self._waits = self._waits, []
        for wait in waits:
            wait.value, wait.error = value, error
            wait.done.set()

    def _emit(self, event: Event, handler: Optional[Callable[[Any], None]], what: str,
              final: bool = False) -> None:
        if handler is not None:
            _in_callback.active = True
            try:
                handler(event)
            except BaseException as error:
                _report(error, what, handler)
            finally:
                _in_callback.active = False
        self._queue.put(event, final)


# ---- callbacks of the library ---------------------------------------------
# Registered once per process and never replaced: the library keeps them
# across connections, and these ctypes objects stay referenced here for ever.
# Each forwards to the open Client, if any. Nothing may raise out of them.

def _on_frame(value_0: int, value_1: int, count: int, points: Optional[int], _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        raw = ctypes.string_at(points, count * _POINT.size) if count > 0 and points else b""
        frame = Frame(value_0, value_1,
                      tuple([Point(c0, c1, x, y, a0, a1) for c1, c0, x, y, a0, a1 in _POINT.iter_unpack(raw)]))
        client._emit(frame, client.on_frame, "on_frame")
    except BaseException as error:
        _report(error, "frame", None)


def _on_gesture(gesture: "ctypes._Pointer[native.TouchGesture]", _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        record = gesture.contents
        count = min(record.param_count, native.MAX_GESTURE_PARAMS)
        event = Gesture(record.code, gesture_name(record.code), tuple(record.params[:count]))
        client._emit(event, client.on_gesture, "on_gesture")
    except BaseException as error:
        _report(error, "gesture", None)


def _on_device_info(info: "ctypes._Pointer[native.TouchDeviceInfo]", _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        record = info.contents
        event = DeviceInfo(record.info_value_0, record.info_value_1, record.info_text.decode("utf-8", "replace"))
        client._emit(event, client.on_device_info, "on_device_info")
    except BaseException as error:
        _report(error, "device information", None)


def _on_resolution(x: int, y: int, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._finish_waits(value=(x, y))
        client._emit(Resolution(x, y), client.on_resolution, "on_resolution")
    except BaseException as error:
        _report(error, "resolution", None)


def _on_server_break(_reserved: object, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._finish_waits(error=VornMTError(10054, "the server went away"))
        client._emit(ServerLost(), client.on_server_lost, "on_server_lost", final=True)
    except BaseException as error:
        _report(error, "server lost", None)


def _on_error(status: int, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._emit(ErrorReport(status, describe(status)), client.on_error, "on_error")
    except BaseException as error:
        _report(error, "error", None)


_frame_trampoline = native.PointFrameCallback(_on_frame)
_gesture_trampoline = native.GestureCallback(_on_gesture)
_device_info_trampoline = native.DeviceInfoCallback(_on_device_info)
_resolution_trampoline = native.ResolutionCallback(_on_resolution)
_server_break_trampoline = native.ServerBreakCallback(_on_server_break)
_error_trampoline = native.ErrorCallback(_on_error)
_registered = False


def _register_callbacks(library: ctypes.CDLL) -> None:
    global _registered
    if _registered:
        return
    library.SetOnReceivePointFrame(_frame_trampoline, None)
    library.SetOnReceiveGesture(_gesture_trampoline, None)
    library.SetOnGetDeviceInfo(_device_info_trampoline, None)
    library.SetOnServerBreak(_server_break_trampoline, None)
    library.SetOnReceiveError(_error_trampoline, None)
    _registered = True


@atexit.register
def _close_at_exit() -> None:
    # The library's threads must not call into an interpreter that is shutting down,
    # those left by a Client closed from a handler included.
    client = _current
    if client is not None:
        client.close()
    elif _registered:
        native.load().DisconnectServer()
