#!/usr/bin/env bash
# sdl_touch_paint on a virtual X display against the simulator: it renders
# 30 frames from the first touch on, saves a screenshot and exits with 0;
# the screenshot is a valid PNG with touch points painted in it.
#   sdl_touch_paint_test.sh VORNMT_SIM SDL_TOUCH_PAINT COUNT_PAINTED_PIXELS WORK_DIR
set -uo pipefail

sim=$1 paint=$2 count=$3 work=$4
logs=(sim.log paint.log)
# shellcheck source=../support/script_support.sh
source "$(dirname "$0")/../support/script_support.sh"

command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed (Debian: xvfb, xauth)"; exit 77; }
# The drag scenario keeps a finger down for one second in every 1.4 and a
# trail fades in 1.5 s: every frame after the first touch shows some.
start_simulator sim.log "$sim" --scenario drag
# Xvfb has no GPU, so SDL's OpenGL renderer (and the window's framebuffer
# through it) would run on Mesa's llvmpipe, whose threads ThreadSanitizer
# cannot see into; the software renderer on an X11 framebuffer draws on the
# calling thread.
SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 timeout --kill-after=5 120 \
  xvfb-run -a "$paint" --port "$port" --frames 30 --screenshot "$work/shot.png" >"$work/paint.log" 2>&1 ||
  fail "sdl_touch_paint failed"
"$count" "$work/shot.png" 150 || fail "too few painted pixels in $work/shot.png"
echo "passed"
