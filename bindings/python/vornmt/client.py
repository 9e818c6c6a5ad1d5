"""Client: the connection to a touch server, its events and its requests.

The library holds one connection per process, so there is one open Client per
process at a time. Events reach an application two ways (docs/events.md):
handlers, called on the library's threads (frames, gestures, device
information, resolution and message errors on its dispatch thread; server
loss, connections and socket errors on its receive thread); and the stream,
events() and aevents(), which read the library's event queue on the
application's own threads.
"""

from __future__ import annotations

import asyncio
import atexit
import ctypes
import math
import os
import sys
import threading
import types
import uuid
from typing import Any, AsyncIterator, Callable, Iterator, List, Optional, Tuple, Union

from . import native
from .events import (Connected, DeviceInfo, ErrorReport, Event, Frame, Gesture, Resolution, ServerLost,
                     device_info_from, error_from, from_record, gesture_from, gesture_name, points_from)
from .status import ERR_NOT_YET_CONNECTED, ConnectionState, VornMTError

DEFAULT_PORT = 7100
DEFAULT_QUEUE_SIZE = 1024  # the library's DEFAULT_QUEUED_EVENTS
MAX_QUEUE_SIZE = 65536  # the library's MAX_QUEUED_EVENTS

_INT32_MIN, _INT32_MAX = -(2 ** 31), 2 ** 31 - 1

_current: Optional["Client"] = None  # the open client; read without a lock by the library's threads
_current_lock = threading.Lock()
_in_callback = threading.local()  # .active is True while this thread runs a callback of the library

__all__ = ["AsyncEventReader", "Client", "EventReader"]


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


def _milliseconds(timeout: Optional[float]) -> int:
    """WaitEvent's timeout_ms for a timeout in seconds (None: for ever)."""
    if timeout is None:
        return -1
    return max(0, min(_INT32_MAX, int(math.ceil(timeout * 1000))))


def _resolve(future: "asyncio.Future[None]") -> None:
    if not future.done():
        future.set_result(None)


_Waiter = Tuple[asyncio.AbstractEventLoop, "asyncio.Future[None]"]


class _Stream:
    """The library's event queue as the Client's one stream, shared by its readers (events(),
    aevents()); the rules are docs/events.md's.

    The queue is open exactly while a reader is under way: the first to begin opens it, the
    last to leave closes it (`readers` counts those of the stream since its last end), so no unread queue ever holds up the library's threads. An end
    (a ServerLost without reconnection, or close()) closes it at once, which returns every
    reader waiting in WaitEvent, and bumps `ends`, which tells each reader that began before
    that it is done; aevents() readers waiting on their loop are woken through
    call_soon_threadsafe. The queue is not opened again while a reader of the ended stream is
    still inside WaitEvent (`taking`), so no event of the next readers reaches one of them.
    Application threads only; `changed` guards every field.
    """

    def __init__(self, library: ctypes.CDLL, capacity: int) -> None:
        self._library = library
        self._capacity = capacity
        self._changed = threading.Condition()
        self._readers = 0
        self._open = False
        self._taking = 0  # readers inside WaitEvent
        self._ends = 0
        self._closed = False
        self._waiters: List[_Waiter] = []
        self.reconnecting = False  # set by the Client: a ServerLost does not end the stream

    def begin(self) -> Optional[int]:
        """A reader begins: opens the queue if it is not; the number of ends so far, which the
        reader passes to take(); None once the Client is closed."""
        with self._changed:
            if self._closed:
                return None
            if not self._open:
                while self._taking:
                    self._changed.wait()
                status = self._library.OpenEventQueue(self._capacity)
                if status:
                    raise VornMTError(status, "open the event queue")
                self._open = True
            self._readers += 1
            return self._ends

    def wait_handle(self) -> int:
        """The queue's wait handle; the caller holds a reader, so the queue is open, unless an
        end came meanwhile (then -1)."""
        with self._changed:
            return self._library.GetEventWaitHandle() if self._open else -1

    def leave(self, since: int) -> None:
        with self._changed:
            if since != self._ends:
                return  # its stream ended, and stopped counting it
            self._readers -= 1
            if self._readers == 0 and self._open:
                self._library.CloseEventQueue()
                self._open = False

    def take(self, since: int, record: native.TouchEvent, view: memoryview,
             timeout_ms: int) -> Tuple[Optional[Event], bool]:
        """The next event within timeout_ms (-1: for ever), or None; and whether the reader is done."""
        with self._changed:
            if since != self._ends:
                return None, True
            self._taking += 1
        try:
            status = self._library.WaitEvent(ctypes.byref(record), timeout_ms)
        finally:
            with self._changed:
                self._taking -= 1
                if not self._taking:
                    self._changed.notify_all()
                ended = since != self._ends
        if status:
            return None, ended
        event = from_record(record, view)
        # Taken before the end closed the queue: the reader gets it, then ends at its next take.
        if event is None:  # a kind of a newer library
            return self.take(since, record, view, 0 if timeout_ms == 0 else timeout_ms)
        if event.__class__ is ServerLost and not self.reconnecting:
            self.end(since)
        return event, False

    def end(self, since: Optional[int] = None, closing: bool = False) -> None:
        """Ends the stream for every reader under way (since: the reader's ends, if a reader
        took the end; it ends nothing a later reader began)."""
        with self._changed:
            if closing:
                self._closed = True
            elif since != self._ends:
                return
            self._ends += 1
            self._readers = 0  # the readers under way are done, whether they noticed yet or not
            if self._open:
                self._library.CloseEventQueue()
                self._open = False
            waiters, self._waiters = self._waiters, []
        for loop, future in waiters:
            try:
                loop.call_soon_threadsafe(_resolve, future)
            except RuntimeError:  # that loop is closed: nobody waits there any more
                pass

    def add_waiter(self, since: int, waiter: _Waiter) -> bool:
        """Has an end resolve the waiter's future; False when the reader is done already."""
        with self._changed:
            if since != self._ends:
                return False
            self._waiters.append(waiter)
            return True

    def remove_waiter(self, waiter: _Waiter) -> None:
        with self._changed:
            if waiter in self._waiters:
                self._waiters.remove(waiter)


class _Reader:
    """One reader of the stream: its record to take events into, and whether it began or is done."""

    def __init__(self, stream: _Stream, timeout: Optional[float]) -> None:
        self._stream = stream
        self._timeout_ms = _milliseconds(timeout)
        self._record = native.TouchEvent()
        self._view = memoryview(self._record).cast("B")
        self._since: Optional[int] = None
        self._done = False

    def _begin(self) -> bool:
        """Begins reading if not begun; False when done."""
        if self._since is None and not self._done:
            self._since = self._stream.begin()
            if self._since is None:
                self._done = True
        return not self._done

    def close(self) -> None:
        """Stops reading: the reader ends, and the queue closes if it was the last."""
        if self._since is not None and not self._done:
            self._stream.leave(self._since)
        self._done = True

    def __del__(self) -> None:
        try:
            self.close()
        except BaseException:  # the interpreter may be shutting down
            pass


class EventReader(_Reader):
    """What Client.events() returns: an iterator of events, and a context manager that begins
    reading at once (`with client.events() as events:`)."""

    def __iter__(self) -> "EventReader":
        return self

    def __next__(self) -> Event:
        if not self._begin():
            raise StopIteration
        assert self._since is not None
        event, _ = self._stream.take(self._since, self._record, self._view, self._timeout_ms)
        if event is None:
            self.close()
            raise StopIteration
        return event

    def __enter__(self) -> "EventReader":
        self._begin()
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()


class AsyncEventReader(_Reader):
    """What Client.aevents() returns: an async iterator of events, and an async context manager
    that begins reading at once (`async with client.aevents() as events:`). It waits on the
    queue's handle in its event loop: loop.add_reader on POSIX, a waiting thread on Windows."""

    def __init__(self, stream: _Stream, timeout: Optional[float]) -> None:
        super().__init__(stream, timeout)
        self._timeout = timeout
        self._handle: Optional[int] = None  # this reader's own duplicate of the wait handle

    def __aiter__(self) -> "AsyncEventReader":
        return self

    async def __anext__(self) -> Event:
        if not self._begin():
            raise StopAsyncIteration
        assert self._since is not None
        loop = asyncio.get_running_loop()
        while True:
            event, done = self._stream.take(self._since, self._record, self._view, 0)
            if event is not None:
                return event
            if done or not await self._wait(loop):
                self.close()
                raise StopAsyncIteration

    async def _wait(self, loop: asyncio.AbstractEventLoop) -> bool:
        """Waits until the queue's handle is signalled or the stream ends; False after the timeout."""
        if self._handle is None:
            self._handle = _duplicate_handle(self._stream.wait_handle())
            if self._handle is None:
                return True  # the stream ended meanwhile: take() says so
        future = loop.create_future()
        waiter = (loop, future)
        assert self._since is not None
        if not self._stream.add_waiter(self._since, waiter):
            return True
        stop = _watch_handle(loop, self._handle, future)
        try:
            await asyncio.wait_for(future, self._timeout)
            return True
        except asyncio.TimeoutError:
            return False
        finally:
            stop()
            self._stream.remove_waiter(waiter)

    def close(self) -> None:
        super().close()
        if self._handle is not None:
            _close_handle(self._handle)
            self._handle = None

    async def __aenter__(self) -> "AsyncEventReader":
        self._begin()
        return self

    async def __aexit__(self, *exc_info: object) -> None:
        self.close()


# ---- waiting on the queue's handle in an event loop ------------------------
# Each reader waits on a duplicate of the library's handle, its own to close:
# an end closes the library's handle while a loop may still watch it.

if sys.platform == "win32":
    _kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
    _kernel32.GetCurrentProcess.restype = ctypes.c_void_p
    _kernel32.DuplicateHandle.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p,
                                          ctypes.POINTER(ctypes.c_void_p), ctypes.c_uint32, ctypes.c_int,
                                          ctypes.c_uint32]
    _kernel32.CreateEventW.restype = ctypes.c_void_p
    _kernel32.CreateEventW.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
    _kernel32.SetEvent.argtypes = [ctypes.c_void_p]
    _kernel32.CloseHandle.argtypes = [ctypes.c_void_p]
    _kernel32.WaitForMultipleObjects.restype = ctypes.c_uint32
    _kernel32.WaitForMultipleObjects.argtypes = [ctypes.c_uint32, ctypes.POINTER(ctypes.c_void_p), ctypes.c_int,
                                                 ctypes.c_uint32]
    _DUPLICATE_SAME_ACCESS = 2
    _INFINITE = 0xFFFFFFFF

    def _duplicate_handle(handle: int) -> Optional[int]:
        if handle == -1:
            return None
        process = _kernel32.GetCurrentProcess()
        copy = ctypes.c_void_p()
        if not _kernel32.DuplicateHandle(process, handle, process, ctypes.byref(copy), 0, 0, _DUPLICATE_SAME_ACCESS):
            raise ctypes.WinError(ctypes.get_last_error())
        return copy.value

    def _close_handle(handle: int) -> None:
        _kernel32.CloseHandle(handle)

    def _watch_handle(loop: asyncio.AbstractEventLoop, handle: int,
                      future: "asyncio.Future[None]") -> Callable[[], None]:
        """A thread waits for the handle (or for its stop event) and wakes the loop."""
        stop_event = _kernel32.CreateEventW(None, 1, 0, None)
        if not stop_event:
            raise ctypes.WinError(ctypes.get_last_error())
        handles = (ctypes.c_void_p * 2)(handle, stop_event)

        def wait() -> None:
            if _kernel32.WaitForMultipleObjects(2, handles, 0, _INFINITE) == 0:
                try:
                    loop.call_soon_threadsafe(_resolve, future)
                except RuntimeError:  # the loop is closed
                    pass

        waiting = threading.Thread(target=wait, name="vornmt aevents wait", daemon=True)
        waiting.start()

        def stop() -> None:
            _kernel32.SetEvent(stop_event)
            waiting.join()
            _kernel32.CloseHandle(stop_event)
        return stop
else:
    def _duplicate_handle(handle: int) -> Optional[int]:
        return None if handle == -1 else os.dup(handle)

    def _close_handle(handle: int) -> None:
        os.close(handle)

    def _watch_handle(loop: asyncio.AbstractEventLoop, handle: int,
                      future: "asyncio.Future[None]") -> Callable[[], None]:
        loop.add_reader(handle, _resolve, future)
        return lambda: loop.remove_reader(handle)


def _handler(name: str, setter: str, kind: str) -> Any:
    """A handler attribute whose library callback is registered only while a handler is set."""
    attribute = "_" + name

    def get(self: "Client") -> Optional[Callable[[Any], None]]:
        return getattr(self, attribute)

    def put(self: "Client", handler: Optional[Callable[[Any], None]]) -> None:
        setattr(self, attribute, handler)
        if setter and not self._closed and _current is self:
            trampoline = _TRAMPOLINES[setter]
            getattr(self._library, setter)(trampoline if handler is not None else type(trampoline)(), None)

    return property(get, put, doc="Called with each %s event on a library thread; None: not called." % kind)


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
    connection). The event model is docs/events.md.

    Events arrive two ways:
      - handlers, the on_* attributes (or keyword arguments): called with the
        event on one of the library's threads; keep them short. An exception
        out of a handler goes to sys.unraisablehook and delivery goes on. The
        library calls back for frames, gestures, device information and
        connections only while a handler of that kind is set.
      - the stream, events() or aevents() in asyncio: the library's event
        queue, read on the application's thread. Nothing is lost: a reader
        that falls behind slows delivery (handlers included) instead. The
        queue is open only while a reader reads, so handlers alone, or a
        stream never read, never wait for it; it holds at most `queue_size`
        events (1 to 65536).
    Problems the library reports while it runs come as ErrorReport events
    (on_error); a call that fails raises VornMTError.

    reconnect=(min_s, max_s) turns on automatic reconnection: after a lost
    connection the library connects again in the background, waiting min_s
    seconds at first and doubling up to max_s; ServerLost and Connected are
    then events of a stream that goes on. connect() then also succeeds while no
    server is there, and requests made while the library tries are sent once
    it has connected. `state` tells where the connection is.
    """

    on_frame = _handler("on_frame", "SetOnReceivePointFrame", "Frame")
    on_gesture = _handler("on_gesture", "SetOnReceiveGesture", "Gesture")
    on_device_info = _handler("on_device_info", "SetOnGetDeviceInfo", "DeviceInfo")
    on_connected = _handler("on_connected", "SetOnConnected", "Connected")
    # Always registered while the Client is open: rare, and they end resolution waits.
    on_resolution = _handler("on_resolution", "", "Resolution")
    on_server_lost = _handler("on_server_lost", "", "ServerLost")
    on_error = _handler("on_error", "", "ErrorReport")

    def __init__(self, address: Optional[str] = None, port: int = DEFAULT_PORT, *,
                 on_frame: Optional[Callable[[Frame], None]] = None,
                 on_gesture: Optional[Callable[[Gesture], None]] = None,
                 on_device_info: Optional[Callable[[DeviceInfo], None]] = None,
                 on_resolution: Optional[Callable[[Resolution], None]] = None,
                 on_server_lost: Optional[Callable[[ServerLost], None]] = None,
                 on_connected: Optional[Callable[[Connected], None]] = None,
                 on_error: Optional[Callable[[ErrorReport], None]] = None,
                 queue_size: int = DEFAULT_QUEUE_SIZE,
                 reconnect: Optional[Tuple[float, float]] = None) -> None:
        global _current
        if not 1 <= queue_size <= MAX_QUEUE_SIZE:
            raise ValueError("queue_size must be 1 to %d, not %d" % (MAX_QUEUE_SIZE, queue_size))
        delays = (0, 0)
        if reconnect is not None:
            delays = (int(round(reconnect[0] * 1000)), int(round(reconnect[1] * 1000)))
            if not 1 <= delays[0] <= delays[1] <= _INT32_MAX:
                raise ValueError("reconnect must be (min_s, max_s) with 0.001 <= min_s <= max_s, not %r"
                                 % (reconnect,))
        self._closed = True  # until this Client holds the library
        self._on_frame = self._on_gesture = self._on_device_info = self._on_connected = None
        self._on_resolution = self._on_server_lost = self._on_error = None
        self._library = native.load()
        self._stream = _Stream(self._library, queue_size)
        self._stream.reconnecting = reconnect is not None
        self._waits: List[_ResolutionWait] = []
        self._waits_lock = threading.Lock()
        with _current_lock:
            if _current is not None:
                raise RuntimeError("another vornmt.Client is open; the library holds one connection "
                                   "per process, so close that one first")
            _current = self
            self._closed = False
        self._library.SetAutoReconnect(*delays)
        self._library.SetOnServerBreak(_server_break_trampoline, None)
        self._library.SetOnReceiveError(_error_trampoline, None)
        self.on_frame, self.on_gesture, self.on_device_info = on_frame, on_gesture, on_device_info
        self.on_connected, self.on_resolution = on_connected, on_resolution
        self.on_server_lost, self.on_error = on_server_lost, on_error
        if address is not None:
            try:
                self.connect(address, port)
            except BaseException:
                self.close()
                raise

    # ---- connection ---------------------------------------------------

    def connect(self, address: str = "127.0.0.1", port: int = DEFAULT_PORT) -> None:
        """Connects (closing an earlier connection first). Raises VornMTError, e.g. status 10061
        when nothing listens there, 10049 when the address is not a dotted IPv4 address. With
        reconnection on, a server that is not there is no failure: the library keeps trying."""
        self._check_open()
        if not 0 <= port <= 65535:
            raise ValueError("port must be 0 to 65535, not %d" % port)
        try:
            encoded = address.encode("ascii")
        except UnicodeEncodeError:
            raise ValueError("address must be a dotted IPv4 address, not %r" % address) from None
        self._check(self._library.ConnectServer(encoded, port), "cannot connect to %s:%d" % (address, port))

    def disconnect(self) -> None:
        """Ends the connection (and reconnection attempts); the Client stays usable for connect()."""
        self._library.DisconnectServer()

    @property
    def state(self) -> ConnectionState:
        """DISCONNECTED, CONNECTED, or RECONNECTING while automatic reconnection tries."""
        return ConnectionState(self._library.GetConnectionState())

    def close(self) -> None:
        """Ends the connection, the stream for every reader, and releases the Client. From a
        handler too (it then does not wait for that handler). Idempotent, but every call on an
        application thread waits for a running handler, also when a handler closed the Client
        first."""
        global _current
        with _current_lock:
            first, self._closed = not self._closed, True
            # Once a newer Client holds the slot, the connection is that Client's.
            ours = _current is None or _current is self
        if ours:
            if first:
                self._library.SetAutoReconnect(0, 0)
            # Waits for a running handler when called from an application thread,
            # so no handler of this Client runs once close() has returned there.
            self._library.DisconnectServer()
        if not first:
            return
        self._stream.end(closing=True)
        if ours:
            for setter, trampoline in _TRAMPOLINES.items():
                getattr(self._library, setter)(type(trampoline)(), None)  # a null callback
        with _current_lock:
            if _current is self:
                _current = None
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
        event (on_resolution and the stream). Allowed in handlers."""
        self._check_open()
        self._check(self._library.GetServerResolution(_resolution_trampoline, None), "request_server_resolution")

    # ---- the stream -----------------------------------------------------

    def events(self, timeout: Optional[float] = None) -> EventReader:
        """A reader of the stream: yields events in the order they arrived. It begins at its
        first read, or at once in `with client.events() as events:`, and takes the events from
        then on (begin before connect() to miss none of a connection). It ends when none arrives within
        `timeout` seconds (None: wait for ever); after a ServerLost without reconnection, for
        every reader under way (the one that took it gets it last); or once the Client is
        closed. Readers on several threads share the events, each going to one of them."""
        self._check_open()
        return EventReader(self._stream, timeout)

    def aevents(self, timeout: Optional[float] = None) -> AsyncEventReader:
        """events() for asyncio, on the running loop: `async for event in client.aevents()`, or
        `async with client.aevents() as events:` to begin at once. The same stream, order,
        sharing and ends; waiting never blocks the loop (it watches the queue's handle)."""
        self._check_open()
        return AsyncEventReader(self._stream, timeout)

    # ---- internals ----------------------------------------------------

    def _check_open(self) -> None:
        if self._closed:
            raise RuntimeError("this vornmt.Client is closed")

    def _check(self, status: int, doing: str) -> None:
        # With reconnection on, the library keeps the setting or the attempt: not a failure.
        if status and status != ERR_NOT_YET_CONNECTED:
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

    def _emit(self, event: Event, handler: Optional[Callable[[Any], None]], what: str) -> None:
        if handler is None:
            return
        _in_callback.active = True
        try:
            handler(event)
        except BaseException as error:
            _report(error, what, handler)
        finally:
            _in_callback.active = False


# ---- callbacks of the library ---------------------------------------------
# The ctypes objects stay referenced here for ever, so the library may keep
# them across connections. Each forwards to the open Client, if any. Nothing
# may raise out of them.

def _on_frame(value_0: int, value_1: int, count: int, points: Optional[int], _user: object) -> None:
    client = _current
    if client is None or client._on_frame is None:
        return
    try:
        raw = ctypes.string_at(points, count * 16) if count > 0 and points else b""
        client._emit(Frame(value_0, value_1, points_from(raw)), client._on_frame, "on_frame")
    except BaseException as error:
        _report(error, "frame", None)


def _on_gesture(gesture: "ctypes._Pointer[native.TouchGesture]", _user: object) -> None:
    client = _current
    if client is None or client._on_gesture is None:
        return
    try:
        client._emit(gesture_from(gesture.contents), client._on_gesture, "on_gesture")
    except BaseException as error:
        _report(error, "gesture", None)


def _on_device_info(info: "ctypes._Pointer[native.TouchDeviceInfo]", _user: object) -> None:
    client = _current
    if client is None or client._on_device_info is None:
        return
    try:
        client._emit(device_info_from(info.contents), client._on_device_info, "on_device_info")
    except BaseException as error:
        _report(error, "device information", None)


def _on_resolution(x: int, y: int, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._finish_waits(value=(x, y))
        client._emit(Resolution(x, y), client._on_resolution, "on_resolution")
    except BaseException as error:
        _report(error, "resolution", None)


def _on_server_break(_reserved: object, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._finish_waits(error=VornMTError(10054, "the server went away"))
        client._emit(ServerLost(), client._on_server_lost, "on_server_lost")
    except BaseException as error:
        _report(error, "server lost", None)


def _on_connected(_reserved: object, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._emit(Connected(), client._on_connected, "on_connected")
    except BaseException as error:
        _report(error, "connected", None)


def _on_error(status: int, _user: object) -> None:
    client = _current
    if client is None:
        return
    try:
        client._emit(error_from(status), client._on_error, "on_error")
    except BaseException as error:
        _report(error, "error", None)


_frame_trampoline = native.PointFrameCallback(_on_frame)
_gesture_trampoline = native.GestureCallback(_on_gesture)
_device_info_trampoline = native.DeviceInfoCallback(_on_device_info)
_resolution_trampoline = native.ResolutionCallback(_on_resolution)
_server_break_trampoline = native.ServerBreakCallback(_on_server_break)
_connected_trampoline = native.ConnectedCallback(_on_connected)
_error_trampoline = native.ErrorCallback(_on_error)
# Every setter a Client registers through; close() empties each.
_TRAMPOLINES = {
    "SetOnReceivePointFrame": _frame_trampoline,
    "SetOnReceiveGesture": _gesture_trampoline,
    "SetOnGetDeviceInfo": _device_info_trampoline,
    "SetOnConnected": _connected_trampoline,
    "SetOnServerBreak": _server_break_trampoline,
    "SetOnReceiveError": _error_trampoline,
}


@atexit.register
def _close_at_exit() -> None:
    # The library's threads must not call into an interpreter that is shutting down,
    # those left by a Client closed from a handler included.
    client = _current
    if client is not None:
        client.close()
    elif native._library is not None:
        native._library.DisconnectServer()
