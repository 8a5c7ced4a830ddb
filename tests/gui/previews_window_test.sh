#!/usr/bin/env bash
# End to end under a virtual X server with the real nivelo: nivelo_gui
# started on the sample page runs its full refresh; the "Rotation" stage
# shows the straightened page read back from the work directory; a new
# "Rayon" on "Flou" and "Mettre à jour" change the after view; "Quitter"
# ends the program.  Each screenshot is compared with the stage images the
# views must show (check_views.py).
#
# Usage: previews_window_test.sh <nivelo_gui> <sample page>.  Exit 77
# (skipped) when the X tools are missing.
set -u
here=$(dirname "$(realpath "$0")")
gui=$(realpath "$1")
sample=$(realpath "$2")
source "$here/xvfb_lib.sh"
require_tools
# Checks are collected and run by one python3 at the end (check_views.py).
checks=$work/checks.txt
check() { echo "$*" >>"$checks"; }
shots_dir=$work
views=$work/start/nivelo_gui_work
stage() { echo "$views/save$1.tga"; }

start_xvfb
start_gui "$gui" "$sample"
wait_run " /d4095 "
screenshot "$shots_dir/e2e1_recadrage.ppm"
check match "$shots_dir/e2e1_recadrage.ppm" "$(stage 0)" "$(stage 1)"

choose_stage Down 8  # "Rotation": read back, no run
screenshot "$shots_dir/e2e2_rotation.ppm"
head -n1 "$views/poil.txt" | grep -qF " /d4095 " || fail "switching to Rotation ran nivelo"
check match "$shots_dir/e2e2_rotation.ppm" "$(stage 3)" "$(stage 9)"
check sides "$shots_dir/e2e2_rotation.ppm"
grep -q '^-\?[0-9]*\.[0-9]*$' "$views/poil.txt" || fail "no angle line in poil.txt"

choose_stage Up 7  # "Flou"
screenshot "$shots_dir/e2e3_flou.ppm"
cp "$(stage 2)" "$work/save2_rayon3.tga"  # the update replaces it
check match "$shots_dir/e2e3_flou.ppm" "$(stage 1)" "$work/save2_rayon3.tga"

# "Rayon": panel at y = 90, its edit 20 pixels high from y = 144; the update
# button from y = 374.
xdotool mousemove 69 154 click 1
xdotool key End BackSpace BackSpace BackSpace
xdotool type 5
xdotool mousemove 69 384 click 1
seen_wait_box=no
for _ in $(seq 20); do
  xdotool search --name '^Mise' >/dev/null 2>&1 && { seen_wait_box=yes; break; }
  sleep 0.05
done
wait_run " /d4 "
grep -q '^BLUR_RADIUS=5$' "$work/start/nivelo_gui_conf.txt" || fail "Rayon not written"
screenshot "$shots_dir/e2e4_flou_rayon5.ppm"
check match "$shots_dir/e2e4_flou_rayon5.ppm" "$(stage 1)" "$(stage 2)"
check differ "$shots_dir/e2e3_flou.ppm" "$shots_dir/e2e4_flou_rayon5.ppm"

# Before quitting: nivelo_gui deletes its stage images when it quits.
python3 "$here/check_views.py" <"$checks" || fail "screenshots do not show the stage images"
quit_by_menu
[[ -e $(stage 0) ]] && fail "stage images left in the work directory"
echo "wait box seen during the update: $seen_wait_box"
[[ -s $work/gui.log ]] && { echo "output:"; cat "$work/gui.log"; }
echo "PASS"
