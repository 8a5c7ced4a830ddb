#!/usr/bin/env bash
# make readme-images: the README's pictures, from real runs (after make demo).
#   docs/before_after.png  the sample page as scanned, and as make demo leaves
#                          it in out/final/, side by side at one scale;
#   docs/gui.png           nivelo_gui on the sample page, "Rotation" stage,
#                          shot under a virtual X server by the helpers of the
#                          real-window tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
after=$root/out/final/samples/page.tga
[[ -s $after ]] || { echo "$after manquant: lancer make demo d'abord"; exit 1; }
mkdir -p "$root/docs"
# No time stamps or other metadata: the same runs give the same files.
png() {  # png <output> <convert arguments...>
  local output=$1
  shift
  convert "$@" -strip -define png:compression-level=9 -define png:exclude-chunks=date,time "$output"
}

# 30 %: the skew and the crop stay visible; a gap of paper white between.
png "$root/docs/before_after.png" \( "$root/samples/page.tga" -resize 30% \) -size 16x1 xc:white \
  \( "$after" -resize 30% \) -background white -gravity north +append -colorspace gray -depth 8

# The helpers expect failing commands to go on, as in the tests.
set +e +o pipefail
source "$root/tests/gui/xvfb_lib.sh"
require_tools
start_xvfb
start_gui "$build/gui/nivelo_gui" "$root/samples/page.tga"
wait_run " /d4095 "
choose_stage Down 8  # "Rotation": before and after the turn
sleep 2  # the stage list's menu takes a moment to close
screenshot "$work/gui.ppm"
png "$root/docs/gui.png" "$work/gui.ppm" -resize 75% -colors 64
quit_by_menu
ls -l "$root/docs/before_after.png" "$root/docs/gui.png" | awk '{print $5 " bytes  " $9}'
