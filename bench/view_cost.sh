#!/usr/bin/env bash
# What vornmt-view costs: its CPU time per touch frame, with 0, 1 and 10
# pages reading its event stream (curl stands in for the browsers, so only
# the view's own work is counted). The simulator plays the tour at RATE
# frames/s for SECONDS per measurement. Linux only (reads /proc).
#   bench/view_cost.sh BUILD_DIR [RATE] [SECONDS]      e.g. bench/view_cost.sh build 100 10
set -euo pipefail

build=$1 rate=${2:-100} seconds=${3:-10}
tools=$build/tools
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

wait_for_line() {
  local deadline=$((SECONDS + 20))
  until grep -q -- "$2" "$1"; do
    [ $SECONDS -lt $deadline ] || { echo "no '$2' in $1" >&2; exit 1; }
    sleep 0.1
  done
}

# CPU time of all threads of process $1 so far, in nanoseconds (the view's
# threads live as long as it does, so none is missed).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
# The view's frame counter, as a page opening now is told it.
frame_count() { curl -s -m 2 -N "${url}events" | sed -n 's/.*"type":"frame","n":\([0-9]*\).*/\1/p' | head -n 1 || true; }

"$tools/vornmt-sim" --port 0 --rate "$rate" --quiet >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for_line "$work/sim.log" 'listening on'
sim_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.log")
"$tools/vornmt-view" --port "$sim_port" --http-port 0 --quiet >"$work/view.log" 2>&1 &
view=$!
pids+=($view)
wait_for_line "$work/view.log" 'open http://'
url=$(sed -n 's/.*open \(http:[^ ]*\) in a browser.*/\1/p' "$work/view.log")

echo "vornmt-view cost, tour at $rate frames/s, $seconds s per line ($(nproc) cores, $(uname -m))"
printf '%6s %10s %14s %12s\n' pages frames "CPU ms/frame" "CPU %"
readers=()
for pages in 0 1 10; do
  while [ ${#readers[@]} -lt "$pages" ]; do
    curl -sN "${url}events" >/dev/null &
    readers+=($!)
    pids+=($!)
  done
  sleep 1  # let the new streams settle before counting
  start_frames=$(frame_count)
  start_ns=$(cpu_ns "$view")
  sleep "$seconds"
  end_ns=$(cpu_ns "$view")
  end_frames=$(frame_count)
  frames=$((end_frames - start_frames))
  awk -v ns=$((end_ns - start_ns)) -v f="$frames" -v s="$seconds" -v p="$pages" \
    'BEGIN { printf "%6d %10d %14.4f %11.2f%%\n", p, f, ns / 1e6 / (f > 0 ? f : 1), ns / 1e7 / s }'
done
