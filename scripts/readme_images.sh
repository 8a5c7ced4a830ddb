#!/usr/bin/env bash
# make readme-images: the README's pictures, from real runs (after make build).
#   docs/before_after.png  a real page scanned askew on a dark ground
#                          (samples/real_page.tif), and as nivelo leaves it in
#                          out/final/ with samples/real_page.txt (precise
#                          search, corners cleaned), side by side at one scale;
#   docs/gui.png           nivelo_gui on that page, "Rotation" stage, with
#                          the page list of a small book around it, shot
#                          under a virtual X server by the helpers of the
#                          real-window tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
page=samples/real_page.tif
after=$root/out/final/samples/real_page.tga
# Results are named after the image as typed, so they land in samples/.
mkdir -p "$root/docs" "$root/out/final/samples"
rm -f "$after"
(cd "$root" && "$build/batch/nivelo" /c"samples/real_page.txt" "$page")
[[ -s $after ]] || { echo "$after manquant : nivelo n'a pas traité $page"; exit 1; }
# No time stamps or other metadata: the same runs give the same files.
png() {  # png <output> <convert arguments...>
  local output=$1
  shift
  convert "$@" -strip -define png:compression-level=9 -define png:exclude-chunks=date,time "$output"
}

# 60 %: the skew, the ground and the clean corners stay visible; a gap of
# white between; 128 colours keep the print sharp at a third of the bytes.
png "$root/docs/before_after.png" \( "$root/$page" -resize 60% \) -size 24x1 xc:white \
  \( "$after" -resize 60% \) -background white -gravity center +append -colors 128 -depth 8

# The helpers expect failing commands to go on, as in the tests.
set +e +o pipefail
source "$root/tests/gui/xvfb_lib.sh"
require_tools
start_xvfb
# A small book around the page: the list shows its thumbnails beside the views.
book=$work/livre
mkdir -p "$book"
cp "$root/$page" "$book/page1.tif"
for n in 2 3 4 5 6; do convert "$root/$page" -rotate $((n % 2 ? 1 : -1)) -strip "$book/page$n.tif"; done
start_gui "$build/gui/nivelo_gui" "$book"
wait_run " /d4095 "
choose_stage Down 8  # "Rotation": before and after the turn, the angle found
sleep 2  # the stage list's menu takes a moment to close
thumbs() { [[ $(find "$(work_folder)vignettes" -name '*.tga' | wc -l) == 6 ]]; }
until_ok 60 thumbs || fail "thumbnails missing"
screenshot "$work/gui.ppm"
png "$root/docs/gui.png" "$work/gui.ppm" -resize 75% -colors 64
quit_by_menu
ls -l "$root/docs/before_after.png" "$root/docs/gui.png" | awk '{print $5 " bytes  " $9}'
