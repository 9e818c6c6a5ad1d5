"""Records the touch points a touch server sends to a CSV file, for SECONDS seconds
or until the server stops: python3 record_csv.py OUT.csv [PORT [SECONDS]]"""
import csv, sys, time
import vornmt

out, port = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 7100
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
until = time.monotonic() + seconds
with vornmt.Client("127.0.0.1", port) as client, open(out, "w", newline="") as file:
    rows = csv.writer(file)
    rows.writerow(["frame", "ms", "state", "finger", "x", "y", "width", "height"])
    with client.events(timeout=seconds) as events:  # reading before subscribing misses nothing
        client.subscribe()
        for event in events:
            if isinstance(event, vornmt.Frame):
                rows.writerows([event.value_0, event.value_1, *point] for point in event.points)
            if time.monotonic() > until:
                break
