"""Fixtures: the simulator as a child process and a scripted one-client server.

The tests import the vornmt package Python finds: ctest puts the source
folder on PYTHONPATH and names the library in VORNMT_LIBRARY; the wheel's
check runs them against the installed wheel and its own library. The
simulator and the C header come from VORNMT_SIM and VORNMT_HEADER, by
default build-linux/ and include/ at the top of the repository.
"""

from __future__ import annotations

import os
import socket
import subprocess
import threading
import time
from typing import List, Optional

import pytest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SIMULATOR = os.environ.get("VORNMT_SIM", os.path.join(REPO, "build-linux", "tools", "vornmt-sim"))
HEADER = os.environ.get("VORNMT_HEADER", os.path.join(REPO, "include", "VornMTClient.h"))
DEADLINE = 10.0  # seconds any wait may take before the test fails


def wait_until(condition, what: str, timeout: float = DEADLINE) -> None:
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.005)


class Simulator:
    """vornmt-sim on a free port; collects its log lines."""

    def __init__(self, *arguments: str) -> None:
        self.process = subprocess.Popen([SIMULATOR, "--port", "0", *arguments], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        self.lines: List[str] = []
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        line = self.wait_for_line("listening on 127.0.0.1:")
        self.port = int(line.split("listening on 127.0.0.1:")[1].split(",")[0])

    def _read(self) -> None:
        assert self.process.stdout is not None
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))

    def wait_for_line(self, text: str) -> str:
        found: List[str] = []
        wait_until(lambda: found.extend(l for l in list(self.lines) if text in l) or bool(found),
                   "simulator line %r; got %r" % (text, self.lines))
        return found[0]

    def stop(self) -> None:
        self.process.terminate()
        self.process.wait(timeout=DEADLINE)


class ScriptedServer:
    """Accepts one client on a free port and sends it what a test says."""

    def __init__(self) -> None:
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.connection: Optional[socket.socket] = None

    def accept(self) -> None:
        self.listener.settimeout(DEADLINE)
        self.connection, _ = self.listener.accept()

    def send(self, *messages: str) -> None:
        assert self.connection is not None
        self.connection.sendall(b"".join(m.encode("utf-8") + b"\0" for m in messages))

    def close(self) -> None:
        if self.connection is not None:
            self.connection.close()
        self.listener.close()


@pytest.fixture
def simulator_factory():
    started: List[Simulator] = []

    def start(*arguments: str) -> Simulator:
        started.append(Simulator(*arguments))
        return started[-1]

    yield start
    for simulator in started:
        simulator.stop()


@pytest.fixture
def scripted_server():
    server = ScriptedServer()
    yield server
    server.close()
