#!/usr/bin/env bash
# win32_message_loop under Wine against the simulator (also under Wine): it
# leaves its message loop with status 0 after 100 frames, before its
# deadline, having seen the drag's gestures. Its errors go to a file of their
# own, so that a failure shows them above its many lines of output.
#   win32_message_loop_test.sh "WINE_RUN;WINEPREFIX" VORNMT_SIM.exe WIN32_MESSAGE_LOOP.exe WORK_DIR
set -uo pipefail

IFS=';' read -r -a wine <<<"$1"
sim=$2 example=$3 work=$4
logs=(sim.log example.out example.err)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

start_simulator sim.log "${wine[@]}" "$sim" --scenario drag --duration 240
timeout --kill-after=5 180 "${wine[@]}" "$example" --port "$port" --frames 100 --deadline-ms 60000 \
  >"$work/example.out" 2>"$work/example.err" || fail "win32_message_loop failed"
grep -q '^100 frames' "$work/example.out" || fail "it did not stop at 100 frames"
grep -q '^gesture TG_MOVE_RIGHT' "$work/example.out" || fail "no gesture of the drag"
echo "passed"
