"""Frames per second through the Python binding: to a handler that counts, and
pulled from Client.events(). Run against vornmt_frame_flood_server (two clients):
    python3 frame_rate.py PORT
It runs on the binding before its streams read the library's event queue too
(bench/bindings/run measures both), so it keeps to what both versions have."""
import sys
import threading
import time

import vornmt

QUEUE_OF_ITS_OWN = hasattr(vornmt, "Dropped")  # the binding before the library's event queue


def through_handler(port: int) -> None:
    count, first, lost = [0], [0.0], threading.Event()

    def on_frame(frame: vornmt.Frame) -> None:
        if count[0] == 0:
            first[0] = time.perf_counter()
        count[0] += 1

    options = {"queue_size": 0} if QUEUE_OF_ITS_OWN else {}
    with vornmt.Client("127.0.0.1", port, on_frame=on_frame, on_server_lost=lambda e: lost.set(), **options):
        lost.wait()
        seconds = time.perf_counter() - first[0]
    print("Python handler: %d frames in %.2f s: %.0f frames/s" % (count[0], seconds, count[0] / seconds))


def through_iterator(port: int) -> None:
    count, first = 0, 0.0
    if QUEUE_OF_ITS_OWN:
        client = vornmt.Client("127.0.0.1", port, queue_size=10000)
        events = client.events()
    else:
        client = vornmt.Client()
        events = client.events().__enter__()  # reads from here on
        client.connect("127.0.0.1", port)
    with client:
        for event in events:
            if isinstance(event, vornmt.Frame):
                if count == 0:
                    first = time.perf_counter()
                count += 1
            elif QUEUE_OF_ITS_OWN and isinstance(event, vornmt.Dropped):
                print("  (%d events dropped by the full queue)" % event.missed)
        seconds = time.perf_counter() - first
    print("Python events(): %d frames in %.2f s: %.0f frames/s" % (count, seconds, count / seconds))


if __name__ == "__main__":
    through_handler(int(sys.argv[1]))
    through_iterator(int(sys.argv[1]))
