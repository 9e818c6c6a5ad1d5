#!/usr/bin/env bash
# One of the README's programs against the simulator on port 7100, the port
# it connects to: the simulator plays its tour once, quickly, and closes the
# connection, after which the program must end by itself, with status 0 and
# having printed at least one gesture.
#   readme_program_test.sh "[WINE_RUN;WINEPREFIX]" VORNMT_SIM PROGRAM WORK_DIR
set -uo pipefail

IFS=';' read -r -a wine <<<"$1"
sim=$2 program=$3 work=$4
logs=(sim.log program.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

# Another run of these programs may hold the port for a moment: the
# simulator tries again until it has it.
deadline=$((SECONDS + 120))
while :; do
  "${wine[@]}" "$sim" --port 7100 --loops 1 --speed 10 >"$work/sim.log" 2>&1 &
  pids+=($!)
  wait_for_lines "$work/sim.log" 'listening on\|cannot' 1 60
  grep -q 'listening on' "$work/sim.log" && break
  [ $SECONDS -lt "$deadline" ] || fail "the simulator could not listen on port 7100 for 120 s; what else is there?"
  sleep 0.5
done
timeout --kill-after=5 120 "${wine[@]}" "$program" >"$work/program.log" 2>&1 || fail "$(basename "$program") failed"
grep -q 'TG_' "$work/program.log" || fail "$(basename "$program") printed no gesture"
echo "passed"
