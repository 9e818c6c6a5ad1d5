#!/usr/bin/env bash
# The view in a real browser: the simulator plays the built-in scenario
# multi-move (three fingers 260 px to the right) once to vornmt-view, while
# headless Chromium shows the page. Once the scenario is over and the view
# has seen the server go (it is reconnecting), the view is stopped, which
# ends the page's stream; Chromium then writes the page's DOM and a screenshot, and the DOM must show
# what the simulator sent: the points of its last frame, its gestures in
# order, its frame count, the device and the resolution, and the lost server.
#   browser_test.sh VORNMT_SIM VORNMT_VIEW WORK_DIR
# Exit status 0 passed, 1 failed, 77 skipped (no chromium).
set -uo pipefail

sim=$1 view=$2 work=$3
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then
  echo "skipped: chromium is not installed (apt-get install chromium)"
  exit 77
fi

logs=(sim.log view.log chromium.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

"$sim" --port 0 --scenario multi-move --rate 50 --loops 1 --clients 1 >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for_lines "$work/sim.log" 'listening on' 1 20
sim_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log")

"$view" --port "$sim_port" --http-port 0 >"$work/view.log" 2>&1 &
view_pid=$!
pids+=($view_pid)
wait_for_lines "$work/view.log" 'open http://' 1 20
url=$(sed -n 's/.*open \(http:[^ ]*\) in a browser.*/\1/p' "$work/view.log")

# Without the networking switches Chromium tries to reach the outside, which
# this closed network refuses. The virtual time budget lets the page settle
# once its stream has ended.
timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --window-size=1280,720 --virtual-time-budget=2000 \
  --screenshot="$work/view.png" --dump-dom "$url" >"$work/dom.html" 2>"$work/chromium.log" &
chromium_pid=$!
pids+=($chromium_pid)

wait_for_lines "$work/view.log" 'page 1 opened' 1 60
wait_for_lines "$work/sim.log" 'finished: the stream is over' 1 60
wait_for_lines "$work/view.log" 'reconnecting to 127.0.0.1' 1 30
kill -TERM "$view_pid"
wait "$view_pid" || fail "vornmt-view did not stop cleanly on SIGTERM"
wait "$chromium_pid" || fail "chromium failed (status $?)"
[ -s "$work/view.png" ] || fail "no screenshot"

dom=$work/dom.html
frames=$(sed -n 's/.*(1 pass, \([0-9]*\) frames).*/\1/p' "$work/sim.log")
# Text of the element with id $1.
text_of() { sed -n "s/.*id=\"$1\"[^>]*>\([^<]*\)<.*/\1/p" "$dom" | head -n 1; }

[ "$(text_of frames)" = "$frames" ] || fail "frames counter '$(text_of frames)', the simulator sent $frames"
[ "$(text_of gestures)" = 10 ] || fail "gestures counter '$(text_of gestures)', expected 10"
[ "$(text_of errors)" = 0 ] || fail "errors counter '$(text_of errors)'"
[ "$(text_of resolution)" = 1920x1080 ] || fail "resolution '$(text_of resolution)'"
grep -q 'id="device">VornMT touch simulator, scenario multi-move at 50 frames/s' "$dom" || fail "device information"
grep -Eq 'id="state" class="state [a-z]+">(server lost|reconnecting)<' "$dom" || fail "connection state"

# Newest first in the list.
gestures=$(grep -o 'data-name="[A-Z_]*"' "$dom" | sed 's/data-name="\(.*\)"/\1/' | tac | tr '\n' ' ')
expected="TG_TOUCH_START TG_MULTI_DOWN TG_MULTI_MOVE TG_MULTI_MOVE_RIGHT TG_MULTI_MOVE_RIGHT TG_MULTI_MOVE_RIGHT \
TG_MULTI_MOVE_RIGHT TG_MULTI_MOVE_RIGHT TG_MULTI_UP TG_TOUCH_END "
[ "$gestures" = "$expected" ] || fail "gestures '$gestures', expected '$expected'"

# The last frame: the three fingers lifting where their moves ended.
rows=$(grep -o '<tr data-id="[0-9]*">\(<td>[^<]*</td>\)*</tr>' "$dom" | sed 's/<[^>]*>/ /g' | tr -s ' ' | tr '\n' ';')
[ "$rows" = " 1 3 1060 500 30x30 ; 2 3 1160 460 30x30 ; 3 3 1260 500 30x30 ;" ] || fail "point rows '$rows'"
[ "$(grep -o '<g class="point" data-id="[0-9]*"' "$dom" | wc -l)" = 3 ] || fail "three points on the surface"

echo "passed: $frames frames, 10 gestures, 3 points; screenshot $work/view.png"
