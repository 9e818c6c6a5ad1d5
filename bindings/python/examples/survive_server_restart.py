"""Prints what a touch server sends, and goes on when the server restarts or is not
there yet: with automatic reconnection the library connects again by itself, and
ServerLost and Connected are events of a stream that goes on. Keeps the touches
held down; at ServerLost every one of them has ended. Stops after SECONDS seconds
or at Ctrl-C:  python3 survive_server_restart.py [PORT [SECONDS]]   (7100, 60)"""
import sys, threading, time
import vornmt

port = int(sys.argv[1]) if len(sys.argv) > 1 else 7100
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
held = {}  # the touches down now: finger (code_1) -> (x, y)


def show(events):
    for event in events:
        print(event)
        if isinstance(event, vornmt.Frame):
            for point in event.points:  # the simulator's code_0: 1 down, 2 moving, 3 up
                if point.code_0 == 3:
                    held.pop(point.code_1, None)
                else:
                    held[point.code_1] = (point.x, point.y)
        elif isinstance(event, vornmt.ServerLost):
            print("server lost: %d touches ended; connecting again" % len(held))
            held.clear()
        elif isinstance(event, vornmt.Connected):
            print("connected: the subscription was sent again")


# The first attempt again after 0.1 s, then doubling up to 2 s.
with vornmt.Client(reconnect=(0.1, 2.0)) as client:
    with client.events() as events:  # reads from here on; ends when the client closes
        reader = threading.Thread(target=show, args=(events,))
        reader.start()
        client.connect("127.0.0.1", port)  # no failure while no server is there: the library tries on
        client.subscribe()  # kept, and sent again on every new connection
        until = time.monotonic() + seconds
        try:
            while reader.is_alive() and time.monotonic() < until:
                reader.join(0.2)  # short waits, so that Ctrl-C gets through
        except KeyboardInterrupt:
            pass
        client.close()  # ends the stream: the reader's loop ends
        reader.join()
