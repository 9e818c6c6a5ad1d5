#!/usr/bin/env bash
# vornmt-view after a server break: it says the server is lost, retries with
# a growing wait (0.25 s, then 0.5 s, ...), and when a server listens again
# on the same port it connects, subscribes, and a page opening then is told
# it is connected.
#   reconnect_test.sh VORNMT_SIM VORNMT_VIEW WORK_DIR
set -uo pipefail

sim=$1 view=$2 work=$3
logs=(sim1.log sim2.log view.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

"$sim" --port 0 --scenario tap >"$work/sim1.log" 2>&1 &
sim1=$!
pids+=($sim1)
wait_for_lines "$work/sim1.log" 'listening on' 1 20
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim1.log")

"$view" --port "$port" --http-port 0 >"$work/view.log" 2>&1 &
view_pid=$!
pids+=($view_pid)
wait_for_lines "$work/view.log" "connected to 127.0.0.1:$port" 1 20
kill -TERM "$sim1"
wait "$sim1"

wait_for_lines "$work/view.log" 'lost 127.0.0.1' 1 20
wait_for_lines "$work/view.log" 'connection refused (10061); next attempt in 0.50 s' 1 20
grep -q 'the server closed or reset the connection; next attempt in 0.25 s' "$work/view.log" ||
  fail "the first retry is not 0.25 s after the break"

"$sim" --port "$port" --scenario tap >"$work/sim2.log" 2>&1 &
pids+=($!)
wait_for_lines "$work/view.log" "connected to 127.0.0.1:$port" 2 30
wait_for_lines "$work/sim2.log" 'send_request' 1 20

# A page opening now: its snapshot says connected.
http_port=$(sed -n 's/.*open http:\/\/127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/view.log")
exec 3<>"/dev/tcp/127.0.0.1/$http_port" || fail "cannot reach the page's port"
printf 'GET /events HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n\r\n' "$http_port" >&3
snapshot=$(timeout 5 head -c 1500 <&3)
exec 3<&-
grep -q '"state":"connected"' <<<"$snapshot" || fail "the snapshot does not say connected: $snapshot"

kill -TERM "$view_pid"
wait "$view_pid" || fail "vornmt-view did not stop cleanly on SIGTERM"
echo "passed"
