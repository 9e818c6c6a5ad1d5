#!/usr/bin/env bash
# survive_restart keeps going across a restart of the simulator on the same
# port: it releases the touches it held when the connection breaks, the
# library connects again by itself, and frames of the new server follow.
#   survive_restart_test.sh VORNMT_SIM SURVIVE_RESTART WORK_DIR
set -uo pipefail

sim=$1 example=$2 work=$3
logs=(sim1.log sim2.log example.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

start_simulator sim1.log "$sim" --scenario drag
sim1=${pids[-1]}
"$example" "$port" 120 >"$work/example.log" 2>&1 &
pids+=($!)
wait_for_lines "$work/example.log" '^connected$' 1 30
wait_for_lines "$work/example.log" '^frame ' 1 30
kill -TERM "$sim1"
wait "$sim1"
wait_for_lines "$work/example.log" '^server lost: [0-9]* touches released; reconnecting$' 1 30

"$sim" --port "$port" --scenario drag >"$work/sim2.log" 2>&1 &
pids+=($!)
wait_for_lines "$work/example.log" '^connected by the library$' 1 30
frames_before=$(grep -c '^frame ' "$work/example.log")
wait_for_lines "$work/example.log" '^frame ' $((frames_before + 1)) 30
echo "passed"
