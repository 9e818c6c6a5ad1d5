#!/usr/bin/env bash
# qt_touch_test against the simulator playing one tap, then closing.
#   qt_touch_test.sh VORNMT_SIM QT_TOUCH_TEST WORK_DIR
set -uo pipefail

sim=$1 test_program=$2 work=$3
logs=(sim.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

start_simulator sim.log "$sim" --scenario tap --loops 1
QT_QPA_PLATFORM=offscreen timeout --kill-after=5 120 "$test_program" "$port" || fail "qt_touch_test failed"
