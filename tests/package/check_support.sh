# What the package checks share; each sources it first, after `set -euo
# pipefail`, with the names of its arguments and the arguments given:
#   source "$(dirname "$0")/check_support.sh" "ZIP WINEPREFIX" "$@"
# A wrong number of arguments ends the check with its usage (status 2).
# Sets `here` (the check's folder), `repo` (the repository) and `work` (a
# temporary folder, removed on exit, when the processes whose ids are in
# `sim_pid` and `program_pid` are stopped too); `fail MESSAGE` ends the check
# with status 1, naming it; `absolute PATH` prints PATH made absolute.
read -r -a check_arguments <<<"$1"
shift
if [ $# -ne ${#check_arguments[@]} ]; then
  echo "usage: $0 ${check_arguments[*]}" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
sim_pid=
program_pid=
cleanup() {
  for pid in $sim_pid $program_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$(basename "$0"): $*" >&2
  exit 1
}
absolute() {
  echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
}
