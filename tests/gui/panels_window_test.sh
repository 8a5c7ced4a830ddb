#!/usr/bin/env bash
# Real-window test of the parameter panels: nivelo_gui on a virtual X server,
# the stage chooser switched through all eleven stages with the keyboard, and
# each screenshot checked (check_panels.py): the strip changed from the previous stage's, and
# every control of the stage's panel (as the resource tables place it) is
# drawn.
#
# Usage: panels_window_test.sh <nivelo_gui> <panel_resources.cpp>.  Exit 77
# (skipped) when the X tools are missing.  Only the processes started here
# are stopped, by their pid.  NIVELO_SHOT_DIR=<dir> keeps the screenshots.
set -u

here=$(dirname "$(realpath "$0")")
gui=$(realpath "$1")
resources=$(realpath "$2")
source "$here/xvfb_lib.sh"
require_tools
start_xvfb
start_gui "$gui"

screenshot "$work/stage0.ppm"
for stage in $(seq 1 10); do
  kill -0 "$gui_pid" 2>/dev/null || fail "nivelo_gui ended before stage $stage"
  choose_stage Down 1  # the list opens on the entry shown
  screenshot "$work/stage$stage.ppm"
done

python3 "$here/check_panels.py" "$resources" "$work" || fail "screenshots"

kill -0 "$gui_pid" 2>/dev/null || fail "nivelo_gui ended"
echo "eleven panels shown"
exit 0
