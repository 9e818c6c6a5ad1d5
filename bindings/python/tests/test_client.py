"""The vornmt package against the simulator and a scripted server."""

from __future__ import annotations

import asyncio
import ctypes
import os
import re
import signal
import socket
import subprocess
import sys
import threading
import time
import uuid

import pytest

import vornmt
from vornmt import native
from conftest import DEADLINE, HEADER, wait_until

INFORMATION = ("<invoke name='information' returntype=\"xml\"><arguments><number>7</number>"
               "<number>2</number><string>d\u00e9vice</string></arguments></invoke>")
TAP_GESTURES = ["TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END"]


def frame_message(sequence: int) -> str:
    return ("<invoke name='frame' returntype=\"xml\"><arguments><number>%d</number><number>0</number>"
            "<array></array></arguments></invoke>" % sequence)


def gesture_message(code: int) -> str:
    return ("<invoke name='gesture' returntype=\"xml\"><arguments><number>%d</number><number>2</number>"
            "<number>15</number><number>7</number></arguments></invoke>" % code)


def resolution_message(x: int, y: int) -> str:
    return ("<invoke name='resolution' returntype=\"xml\"><arguments><object><property id=\"x\"><number>%d"
            "</number></property><property id=\"y\"><number>%d</number></property></object></arguments>"
            "</invoke>" % (x, y))


def read_events(client, begun, timeout=DEADLINE, into=None):
    """Begins a reader, calls begun(), then reads to the end, appending each event to `into`
    as it comes (another thread may watch it grow); returns the list."""
    into = [] if into is None else into
    with client.events(timeout=timeout) as events:
        begun()
        for event in events:
            into.append(event)
    return into


def read_aevents(client, begun, timeout=DEADLINE, into=None):
    into = [] if into is None else into

    async def collect():
        async with client.aevents(timeout=timeout) as events:
            begun()
            async for event in events:
                into.append(event)
    asyncio.run(collect())
    return into


def test_every_event_kind_from_the_simulator(simulator_factory):
    simulator = simulator_factory("--scenario", "tap", "--loops", "1")
    handled = []
    with vornmt.Client(on_frame=handled.append, on_gesture=handled.append,
                       on_device_info=handled.append, on_server_lost=handled.append) as client:
        with client.events(timeout=DEADLINE) as events:  # before connecting: the simulator greets at once
            client.connect("127.0.0.1", simulator.port)
            client.subscribe()
            assert client.get_server_resolution(timeout=DEADLINE) == (1920, 1080)
            pulled = list(events)

    assert isinstance(pulled[-1], vornmt.ServerLost)
    info = [e for e in pulled if isinstance(e, vornmt.DeviceInfo)]
    assert info == [vornmt.DeviceInfo(1, 100, "VornMT touch simulator, scenario tap at 100 frames/s")]
    assert vornmt.Resolution(1920, 1080) in pulled
    frames = [e for e in pulled if isinstance(e, vornmt.Frame)]
    assert [f.value_0 for f in frames] == list(range(len(frames)))
    assert frames[0].points == (vornmt.Point(code_0=1, code_1=1, x=960, y=540, aux_0=30, aux_1=30),)
    assert frames[-1].points[0].code_0 == 3
    gestures = [e for e in pulled if isinstance(e, vornmt.Gesture)]
    assert [g.name for g in gestures] == TAP_GESTURES
    assert gestures[1].params == (960.0, 540.0)
    # Handlers and the queue see the same events, in the same order.
    assert handled == [e for e in pulled if not isinstance(e, vornmt.Resolution)]


def test_requests_reach_the_simulator(simulator_factory):
    simulator = simulator_factory("--scenario", "tap", "--rate", "10")
    key = uuid.UUID("00112233-4455-6677-8899-aabbccddeeff")
    with vornmt.Client("127.0.0.1", simulator.port) as client:
        client.subscribe(request_type=-2, app_key=key, param="h\u00e9 <&>")
        client.set_threshold(-5)
        client.set_raw_data_resolution(800, 600)
        client.request_server_resolution()
        simulator.wait_for_line('send_request app_key_id="{00112233-4455-6677-8899-aabbccddeeff}" '
                                'app_name="python')
        line = simulator.wait_for_line("send_request")
        assert 'param="h\u00e9 <&>" process_id=%d type=-2 version=259' % os.getpid() in line
        simulator.wait_for_line("send_threshold move_threshold=-5")
        simulator.wait_for_line("set_rawdata_resolution x=800 y=600")
        simulator.wait_for_line("get_resolution, answered 1920x1080")
        with pytest.raises(ValueError):
            client.subscribe(param="x" * 128)


def test_bad_message_is_an_error_event_and_what_follows_arrives(scripted_server):
    errors = []
    with vornmt.Client("127.0.0.1", scripted_server.port, on_error=errors.append) as client:
        scripted_server.accept()
        with client.events(timeout=DEADLINE) as events:
            scripted_server.send("not an invoke document", INFORMATION)
            error = next(events)
            assert error == vornmt.ErrorReport(vornmt.ERR_BAD_MESSAGE, vornmt.describe(vornmt.ERR_BAD_MESSAGE))
            assert "bad message" in error.meaning  # the library's text
            assert next(events) == vornmt.DeviceInfo(7, 2, "d\u00e9vice")
        assert errors == [error]


def test_timeouts_end_waits_without_events(scripted_server):
    with vornmt.Client("127.0.0.1", scripted_server.port) as client:
        scripted_server.accept()
        started = time.monotonic()
        assert list(client.events(timeout=0.2)) == []
        with pytest.raises(TimeoutError):
            client.get_server_resolution(timeout=0.2)
        assert time.monotonic() - started < DEADLINE


def test_a_raising_handler_is_reported_and_delivery_goes_on(simulator_factory, monkeypatch):
    reports = []
    monkeypatch.setattr(sys, "unraisablehook", reports.append)
    simulator = simulator_factory("--scenario", "tap", "--loops", "1")

    def explode(event):
        raise RuntimeError("handler bug")

    with vornmt.Client("127.0.0.1", simulator.port, on_gesture=explode) as client:
        events = read_events(client, client.subscribe)
        gestures = [e.name for e in events if isinstance(e, vornmt.Gesture)]
    assert gestures == TAP_GESTURES
    assert len(reports) == len(TAP_GESTURES)
    assert isinstance(reports[0].exc_value, RuntimeError)
    assert "on_gesture" in reports[0].err_msg


def test_handlers_may_query_but_not_wait(scripted_server):
    outcomes = []

    def on_device_info(event):
        with pytest.raises(RuntimeError):
            client.get_server_resolution(timeout=DEADLINE)
        client.request_server_resolution()
        outcomes.append("asked")

    with vornmt.Client("127.0.0.1", scripted_server.port, on_device_info=on_device_info) as client:
        scripted_server.accept()
        scripted_server.send(INFORMATION)
        wait_until(lambda: outcomes == ["asked"], "the handler's query")


def test_close_while_frames_flow_stops_the_handlers(simulator_factory):
    simulator = simulator_factory("--scenario", "drag", "--rate", "1000")
    count = [0]
    closed = threading.Event()
    late = []

    def on_frame(event):
        count[0] += 1
        if closed.is_set():
            late.append(event)

    client = vornmt.Client("127.0.0.1", simulator.port, on_frame=on_frame)
    client.subscribe()
    wait_until(lambda: count[0] >= 50, "50 frames")
    client.close()
    closed.set()
    assert late == []
    # Closing from inside a handler, on the library's thread, ends the connection too.
    inner_closed = threading.Event()  # set once a handler's close() has returned

    def close_inner(event):
        inner.close()
        inner_closed.set()

    inner = vornmt.Client("127.0.0.1", simulator.port, on_frame=close_inner)
    inner.subscribe()
    assert inner_closed.wait(10), "close from a handler"
    with vornmt.Client("127.0.0.1", simulator.port):
        pass  # a new Client opens once the other one is closed


def test_close_waits_for_a_handler_that_closed_its_client(scripted_server, monkeypatch):
    library = native.load()
    disconnect = library.DisconnectServer
    tester = threading.get_ident()
    closing = threading.Event()  # this thread's close() has reached the library
    closed_inside, finished = threading.Event(), threading.Event()

    def disconnect_and_tell():
        if threading.get_ident() == tester:
            closing.set()
        return disconnect()

    def on_device_info(event):
        client.close()
        closed_inside.set()
        closing.wait(DEADLINE)
        finished.set()

    monkeypatch.setattr(library, "DisconnectServer", disconnect_and_tell)
    client = vornmt.Client("127.0.0.1", scripted_server.port, on_device_info=on_device_info)
    scripted_server.accept()
    scripted_server.send(INFORMATION)
    assert closed_inside.wait(DEADLINE)
    client.close()
    assert finished.is_set()


def test_exit_while_connected_and_receiving(simulator_factory):
    simulator = simulator_factory("--scenario", "drag", "--rate", "1000")
    script = ("import threading, vornmt\n"
              "seen = threading.Event()\n"
              "client = vornmt.Client('127.0.0.1', %d, on_frame=lambda e: seen.set())\n"
              "client.subscribe()\n"
              "assert seen.wait(%f)\n" % (simulator.port, DEADLINE))
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=DEADLINE)
    assert (result.returncode, result.stderr) == (0, "")


def test_connection_failures_are_clear(scripted_server):
    port = scripted_server.port
    scripted_server.listener.close()
    with pytest.raises(vornmt.VornMTError) as refused:
        vornmt.Client("127.0.0.1", port)
    assert refused.value.status == 10061 and "connection refused" in str(refused.value)
    with vornmt.Client() as client:
        with pytest.raises(RuntimeError):
            vornmt.Client()
        with pytest.raises(vornmt.VornMTError) as bad_address:
            client.connect("localhost", 1)
        assert bad_address.value.status == 10049
        with pytest.raises(vornmt.VornMTError) as not_connected:
            client.subscribe()
        assert not_connected.value.status == 10057


def test_an_address_alone_connects_to_port_7100(monkeypatch):
    calls = []
    library = native.load()
    monkeypatch.setattr(library, "ConnectServer", lambda address, port: calls.append((address, port)) or 10061)
    with vornmt.Client():
        pass
    assert calls == []
    with pytest.raises(vornmt.VornMTError):
        vornmt.Client("10.0.0.5")
    assert calls == [(b"10.0.0.5", 7100)]


@pytest.mark.parametrize("read", [read_events, read_aevents])
def test_a_slow_reader_loses_nothing(scripted_server, read):
    handled = []
    with vornmt.Client("127.0.0.1", scripted_server.port, queue_size=8, on_frame=handled.append) as client:
        scripted_server.accept()

        def send_everything_first():
            # The reader reads nothing until the server has sent all and closed: the queue of 8 fills
            # and the library waits, the handler with it, instead of dropping.
            scripted_server.send(*[frame_message(n) for n in range(500)])
            scripted_server.connection.close()
        events = read(client, send_everything_first)
    # The stream may begin with a stray event of an earlier connection of this process (the library
    # delivers what it had received and not yet delivered on the next connection).
    expected = [vornmt.Frame(n, 0, ()) for n in range(500)] + [vornmt.ServerLost()]
    strays = events[:len(events) - len(expected)]
    assert events[len(strays):] == expected and vornmt.Frame(0, 0, ()) not in strays
    assert handled[len(handled) - 500:] == expected[:-1]


def test_a_stream_never_read_holds_up_no_handler(scripted_server):
    handled = []
    with vornmt.Client("127.0.0.1", scripted_server.port, queue_size=8, on_frame=handled.append) as client:
        scripted_server.accept()
        unread = client.events()  # made, never read: it opens no queue
        scripted_server.send(*[frame_message(n) for n in range(100)])
        wait_until(lambda: len(handled) == 100, "every frame to the handler")
        del unread


@pytest.mark.parametrize("read", [read_events, read_aevents])
def test_order_across_kinds(scripted_server, read):
    with vornmt.Client("127.0.0.1", scripted_server.port) as client:
        scripted_server.accept()

        def script():
            client.request_server_resolution()
            scripted_server.send(INFORMATION, frame_message(0), gesture_message(1), resolution_message(800, 600),
                                 "not an invoke document", frame_message(1))
            scripted_server.connection.close()
        events = read(client, script)
    bad = vornmt.ErrorReport(vornmt.ERR_BAD_MESSAGE, vornmt.describe(vornmt.ERR_BAD_MESSAGE))
    assert events == [vornmt.DeviceInfo(7, 2, "d\u00e9vice"), vornmt.Frame(0, 0, ()),
                      vornmt.Gesture(1, "TG_DOWN", (15.0, 7.0)), vornmt.Resolution(800, 600), bad,
                      vornmt.Frame(1, 0, ()), vornmt.ServerLost()]


@pytest.mark.parametrize("read", [read_events, read_aevents])
def test_reconnection_goes_on_after_the_server_restarts(scripted_server, read):
    connected = threading.Event()
    with vornmt.Client("127.0.0.1", scripted_server.port, reconnect=(0.01, 0.05),
                       on_connected=lambda event: connected.set()) as client:
        scripted_server.accept()
        assert client.state == vornmt.ConnectionState.CONNECTED
        got = []

        def restart_once():
            scripted_server.send(frame_message(0))
            port = scripted_server.port
            scripted_server.close()  # the server goes away: listener and connection
            scripted_server.listener = socket.create_server(("127.0.0.1", port))
            scripted_server.accept()  # the library comes back on its own
            assert connected.wait(DEADLINE)
            assert client.state == vornmt.ConnectionState.CONNECTED
            scripted_server.send(frame_message(1), frame_message(2))
            scripted_server.connection.close()
            scripted_server.connection = None

        reader = threading.Thread(target=lambda: read(client, restart_once, timeout=None, into=got), daemon=True)
        reader.start()
        # With reconnection, the stream goes on across losses: it ends at close() only.
        wait_until(lambda: len(got) >= 6, "the events up to the second loss")
        client.close()
        reader.join(DEADLINE)
        assert not reader.is_alive()
    assert got == [vornmt.Frame(0, 0, ()), vornmt.ServerLost(), vornmt.Connected(), vornmt.Frame(1, 0, ()),
                   vornmt.Frame(2, 0, ()), vornmt.ServerLost()]


@pytest.mark.parametrize("asynchronous", [False, True])
def test_the_end_of_a_connection_ends_every_reader(scripted_server, asynchronous):
    results = {}
    begun = threading.Barrier(3, timeout=DEADLINE)  # both readers asked for events before the end

    def read(name):
        if asynchronous:
            async def collect():
                async with client.aevents() as events:
                    begun.wait()
                    return [event async for event in events]
            results[name] = asyncio.run(collect())
        else:
            with client.events() as events:
                begun.wait()
                results[name] = list(events)

    with vornmt.Client("127.0.0.1", scripted_server.port) as client:
        scripted_server.accept()
        readers = [threading.Thread(target=read, args=(name,), daemon=True) for name in "ab"]
        for reader in readers:
            reader.start()
        begun.wait()
        scripted_server.send(*[frame_message(n) for n in range(20)])
        scripted_server.connection.close()
        for reader in readers:
            reader.join(DEADLINE)
        assert not any(reader.is_alive() for reader in readers)
    events = results["a"] + results["b"]
    assert events.count(vornmt.ServerLost()) == 1
    # Each frame went to one reader (a stray event of an earlier connection has points).
    assert sorted(e.value_0 for e in events if isinstance(e, vornmt.Frame) and e.points == ()) == list(range(20))


def test_aevents_in_an_asyncio_program(simulator_factory):
    simulator = simulator_factory("--scenario", "tap", "--loops", "1")

    async def main():
        ticks = []

        async def ticker():
            while True:
                ticks.append(None)
                await asyncio.sleep(0.001)

        gestures = []
        with vornmt.Client("127.0.0.1", simulator.port) as client:
            ticking = asyncio.create_task(ticker())
            async with client.aevents(timeout=DEADLINE) as events:
                client.subscribe()
                async for event in events:
                    if isinstance(event, vornmt.Gesture):
                        gestures.append(event.name)
            # Nothing comes after the end: a waiting aevents() leaves the loop to the ticker.
            before = len(ticks)
            assert [e async for e in client.aevents(timeout=0.2)] == []  # ended by its timeout
            assert len(ticks) > before
            ticking.cancel()
        return event, gestures

    last, gestures = asyncio.run(main())
    assert last == vornmt.ServerLost()
    assert gestures == TAP_GESTURES


def test_ctypes_records_match_the_header():
    with open(HEADER) as header:
        table = " ".join(line.strip() for line in header if "static_assert" in line or "offsetof" in line
                         or "sizeof" in line)
    sizes = dict(re.findall(r"sizeof\((\w+)\) == (\d+)", table))
    offsets = re.findall(r"offsetof\((\w+), (\w+)\) == (\d+)", table)
    records = {name: getattr(native, name) for name in dir(native)
               if isinstance(getattr(native, name), type) and issubclass(getattr(native, name), ctypes.Structure)}
    assert set(records) == set(sizes)
    assert {name: ctypes.sizeof(record) for name, record in records.items()} == {n: int(v) for n, v in sizes.items()}
    assert offsets and all(getattr(records[record], field).offset == int(offset) for record, field, offset in offsets)
    checked = {(record, field) for record, field, _ in offsets}
    assert checked == {(name, field[0]) for name, record in records.items() if name != "TouchGuid"
                       for field in record._fields_}


def test_gesture_names():
    assert vornmt.gesture_name(0) == "TG_TOUCH_START"
    assert vornmt.gesture_name(63) == "TG_MULTI_MOVE_DOWN"
    assert vornmt.gesture_name(128) == "TG_TOUCH_END"
    assert vornmt.gesture_name(65535) == "TG_NO_ACTION"
    assert vornmt.gesture_name(2) == ""
    with pytest.raises(ValueError):
        vornmt.gesture_name(65536)


def test_a_missing_library_names_where_it_looked():
    environment = dict(os.environ, VORNMT_LIBRARY="/nonexistent/libVornMTClient.so", LD_LIBRARY_PATH="")
    result = subprocess.run([sys.executable, "-c", "import vornmt; vornmt.Client()"], env=environment,
                            capture_output=True, text=True, timeout=DEADLINE)
    assert result.returncode != 0
    assert "LibraryNotFoundError" in result.stderr and "/nonexistent/libVornMTClient.so" in result.stderr


class OldLibrary:
    """A loaded library as ctypes shows it, reporting `version` (None: without GetLibraryVersion)."""

    def __init__(self, version):
        if version is not None:
            self.GetLibraryVersion = lambda: version


@pytest.mark.parametrize("version, told", [(None, "no GetLibraryVersion"), (9901, "version 0.99.1"),
                                           (20000, "version 2.0.0")])
def test_a_library_of_another_version_is_refused_by_name(monkeypatch, version, told):
    monkeypatch.setattr(native, "_library", None)
    monkeypatch.setattr(native, "_open", lambda place: OldLibrary(version))
    monkeypatch.setenv("VORNMT_LIBRARY", HEADER)  # a file that exists; _open stands in for the loader
    with pytest.raises(vornmt.LibraryVersionError) as refused:
        native.load()
    needed = native.version_text(native.NEEDED_VERSION)
    assert told in str(refused.value) and needed in str(refused.value) and HEADER in str(refused.value)


def test_the_csv_example_records_every_point(simulator_factory, tmp_path):
    simulator = simulator_factory("--scenario", "double-tap", "--loops", "1")
    example = os.path.join(os.path.dirname(__file__), "..", "examples", "record_csv.py")
    out = tmp_path / "touches.csv"
    subprocess.run([sys.executable, example, str(out), str(simulator.port)], check=True, timeout=DEADLINE)
    rows = out.read_text().splitlines()
    assert rows[0] == "frame,ms,state,finger,x,y,width,height"
    assert rows[1] == "0,0,1,1,960,540,30,30"
    assert [row.split(",")[2] for row in rows[1:]].count("1") == 2  # two taps going down


def test_the_restart_example_goes_on_across_server_restarts(simulator_factory):
    # The program starts while nothing listens on its port, and the simulator
    # starts there twice: each start is a Connected event, each stop a ServerLost.
    reserved = simulator_factory()
    port = reserved.port
    reserved.stop()
    example = os.path.join(os.path.dirname(__file__), "..", "examples", "survive_server_restart.py")
    program = subprocess.Popen([sys.executable, "-u", example, str(port), "60"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    lines = []

    def read():
        for line in program.stdout:
            lines.append(line.rstrip("\n"))
    threading.Thread(target=read, daemon=True).start()

    def frames_after_connected(count):
        marks = [n for n, line in enumerate(list(lines)) if line == "Connected()"]
        return len(marks) == count and any(line.startswith("Frame(") for line in lines[marks[-1]:])

    try:
        wait_until(lambda: any(line.startswith("ErrorReport(status=10061") for line in lines), "a refused attempt")
        for connection in (1, 2):
            simulator = simulator_factory("--port", str(port))
            wait_until(lambda: frames_after_connected(connection), "frames after Connected %d" % connection)
            simulator.stop()
        program.send_signal(signal.SIGINT)  # Ctrl-C
        assert program.wait(DEADLINE) == 0, lines[-5:]
    finally:
        program.kill()
        print("\n".join(lines[:20] + ["..."] + lines[-20:]))  # shown when the test fails
    assert any(line.startswith("server lost: ") for line in lines)
