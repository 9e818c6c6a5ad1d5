#!/usr/bin/env bash
# vornmt-view follows a touch server through the library's automatic
# reconnection: started before any server, it says it waits and why; it
# connects when the simulator starts, says it reconnects when the simulator
# is stopped, and when a simulator listens again on the same port the
# library connects and subscribes again by itself, the view says connected,
# and a page opening then is told so and receives frames again.
#   reconnect_test.sh VORNMT_SIM VORNMT_VIEW WORK_DIR
set -uo pipefail

sim=$1 view=$2 work=$3
logs=(sim1.log sim2.log view.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

# A port nothing listens on: one the simulator took and gave back.
"$sim" --port 0 --scenario tap >"$work/sim0.log" 2>&1 &
sim0=$!
pids+=($sim0)
wait_for_lines "$work/sim0.log" 'listening on' 1 20
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim0.log")
kill -TERM "$sim0"
wait "$sim0"

"$view" --port "$port" --http-port 0 >"$work/view.log" 2>&1 &
view_pid=$!
pids+=($view_pid)
wait_for_lines "$work/view.log" "connecting to 127.0.0.1:$port: waiting for the server: connection refused (10061)" 1 20

"$sim" --port "$port" --scenario tap >"$work/sim1.log" 2>&1 &
sim1=$!
pids+=($sim1)
wait_for_lines "$work/view.log" "connected to 127.0.0.1:$port" 1 20
wait_for_lines "$work/sim1.log" 'send_request' 1 20
kill -TERM "$sim1"
wait "$sim1"
wait_for_lines "$work/view.log" \
  "reconnecting to 127.0.0.1:$port: the server closed or reset the connection" 1 20

"$sim" --port "$port" --scenario tap >"$work/sim2.log" 2>&1 &
pids+=($!)
wait_for_lines "$work/view.log" "connected to 127.0.0.1:$port" 2 30
wait_for_lines "$work/sim2.log" 'send_request' 1 20

# A page opening now: its snapshot says connected, and frames of the new
# connection follow (the snapshot holds at most one).
http_port=$(sed -n 's/.*open http:\/\/127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/view.log")
exec 3<>"/dev/tcp/127.0.0.1/$http_port" || fail "cannot reach the page's port"
printf 'GET /events HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n\r\n' "$http_port" >&3
stream=$(timeout 10 head -c 6000 <&3)
exec 3<&-
grep -q '"state":"connected"' <<<"$stream" || fail "the snapshot does not say connected: $stream"
[ "$(grep -o '"type":"frame"' <<<"$stream" | wc -l)" -ge 2 ] || fail "no frames after the reconnection: $stream"

kill -TERM "$view_pid"
wait "$view_pid" || fail "vornmt-view did not stop cleanly on SIGTERM"
echo "passed"
