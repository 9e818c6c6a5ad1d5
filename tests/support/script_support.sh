# Shared by the shell tests (sourced): a fresh WORK folder, the
# background processes in `pids` stopped on exit, `fail` printing the logs
# named in `logs`, a wait for log lines with a deadline, and a simulator
# started on a free port.
#   work=DIR logs=(a.log b.log); source script_support.sh
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  for log in "${logs[@]}"; do
    echo "---- $log"
    tail -n 30 "$work/$log" 2>/dev/null || true
  done
  exit 1
}

# Waits until FILE has at least COUNT lines matching PATTERN, for at most SECONDS.
wait_for_lines() {
  local file=$1 pattern=$2 count=$3 seconds=$4
  local deadline=$((SECONDS + seconds))
  until [ "$(grep -c -- "$pattern" "$file" 2>/dev/null)" -ge "$count" ]; do
    [ $SECONDS -lt "$deadline" ] || fail "fewer than $count lines '$pattern' in $(basename "$file") within $seconds s"
    sleep 0.05
  done
}

# Starts the simulator, COMMAND being its command line without a port (it
# gets --port 0), logging to WORK/LOG; sets `port` to the port it listens on.
#   start_simulator LOG COMMAND...
start_simulator() {
  local log=$1
  shift
  "$@" --port 0 >"$work/$log" 2>&1 &
  pids+=($!)
  wait_for_lines "$work/$log" 'listening on' 1 60
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/$log")
}
