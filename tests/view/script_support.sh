# Shared by the view's shell tests (sourced): a fresh WORK folder, the
# background processes in `pids` stopped on exit, `fail` printing the logs
# named in `logs`, and a wait for log lines with a deadline.
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
