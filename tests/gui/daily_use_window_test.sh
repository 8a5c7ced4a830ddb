#!/usr/bin/env bash
# Real-window test of nivelo_gui's daily use, with the real nivelo, on a
# virtual X server: a TIFF page given on the command line opens; at 100 % a
# click in the scroll bar's trough leaves the left strip drawn; a blur of
# radius 99999, confirmed, is cancelled with "Annuler" and the window
# answers within a second; two files converted, one of them bad, end with a
# summary box that names the bad one.  No fixed sleeps: each step waits for
# a window, a file or a process with a deadline.
#
# Usage: daily_use_window_test.sh <nivelo_gui> <sample page>.  Exit 77 (skipped) when the
# X tools are missing.  NIVELO_SHOT_DIR=<dir> keeps the screenshots.
set -u
here=$(dirname "$(realpath "$0")")
gui=$(realpath "$1")
sample=$(realpath "$2")
source "$here/xvfb_lib.sh"
require_tools

# A 1200 x 1400 RGB TIFF, uncompressed, one strip: vertical bands 100
# pixels wide, red and blue, so that 100 % needs scrolling.
mkdir -p "$work/pages"
python3 - "$work/pages/page.tif" <<'EOF'
import struct, sys
w, h = 1200, 1400
red, blue = bytes((220, 30, 30)), bytes((30, 30, 220))
row = b"".join((red if (x // 100) % 2 == 0 else blue) for x in range(w))
pixels = row * h
n = 9
bps_at = 8 + 2 + 12 * n + 4
pixels_at = bps_at + 6
entries = [(256, 3, 1, w), (257, 3, 1, h), (258, 3, 3, bps_at), (259, 3, 1, 1), (262, 3, 1, 2),
           (273, 4, 1, pixels_at), (277, 3, 1, 3), (278, 3, 1, h), (279, 4, 1, len(pixels))]
with open(sys.argv[1], "wb") as f:
    f.write(b"II*\0" + struct.pack("<IH", 8, n) + b"".join(struct.pack("<HHII", *e) for e in entries))
    f.write(struct.pack("<IHHH", 0, 8, 8, 8) + pixels)
EOF

# until <seconds> <command...>: true once the command succeeds, false at the deadline.
until_ok() {
  local deadline=$((SECONDS + $1))
  shift
  while ! "$@" >/dev/null 2>&1; do
    ((SECONDS >= deadline)) && return 1
    sleep 0.05
  done
}
snap() { shot=$work/$1.ppm; screenshot "$shot"; }
strip() { convert "$1" -crop 195x180+0+25 +repage "$2"; }

start_xvfb
start_gui "$gui" ../pages/page.tif
wait_run " /d4095 "
until_ok 5 xdotool search --name '^Nivelo gui v1\.0 - page\.tif$' || fail "title does not name page.tif"
grep -q ' done\.$' "$work/start/nivelo_gui_work/poil.txt" || fail "the TIFF page was not processed"

# 100 %, then a click in the horizontal bar's trough: the strip is still
# the chooser and the panel, not the views' grey.
menu 90 1
snap strip_before
xdotool mousemove 1100 1015 click 1
snap strip_after_scroll
strip "$work/strip_before.ppm" "$work/a.ppm"
strip "$work/strip_after_scroll.ppm" "$work/b.ppm"
differ=$(compare -metric AE "$work/a.ppm" "$work/b.ppm" null: 2>&1)
[[ $differ == 0 ]] || fail "strip redrawn differently after the scroll ($differ pixels)"
grey=$(convert "$work/b.ppm" -fill black -fuzz 1% +opaque "rgb(160,160,160)" -format "%[fx:int(w*h*mean)]" info:)
((grey < 195 * 180 / 2)) || fail "strip mostly backdrop grey after the scroll"

# "Flou", Rayon 99999, "Mettre à jour", confirmed; then "Annuler".
choose_stage Down 1
xdotool mousemove 69 154 click 1
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace
xdotool type 99999
xdotool mousemove 69 384 click 1
until_ok 5 xdotool search --name '^Flou$' || fail "no question before a blur of radius 99999"
xdotool key Return  # "Oui"
until_ok 10 xdotool search --name '^Mise' || fail "no wait box"
until_ok 10 pgrep -P "$gui_pid" || fail "nivelo not started"
snap cancel_button
read -r bx by < <(xdotool search --name '^Mise' getwindowgeometry --shell | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
xdotool mousemove $((bx + 110)) $((by + 92)) click 1
until_ok 1 bash -c "! xdotool search --name '^Mise'" || fail "wait box still up 1 s after Annuler"
until_ok 1 bash -c "! pgrep -P $gui_pid" || fail "nivelo still running 1 s after Annuler"

# Two files converted, one of them bad.  The dialog opens in the current
# image's folder, where they are the only TGA files: "../", a.tga, b.tga.
mkdir -p "$work/start/out1" "$work/start/out2"
cp "$sample" "$work/pages/a.tga"
printf 'not an image' >"$work/pages/b.tga"
# The output folders (and a short blur again) from a configuration file
# next to the image: the dialog opens in the image's folder.
printf 'REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\nBLUR_RADIUS=3\n' >"$work/pages/sorties.txt"
menu 30 2  # Fichier > Charger Config...
until_ok 5 xdotool search --name '^Charger un fichier de config$' || fail "no configuration dialog"
xdotool type "sorties.txt"  # after the folder of the image, which the dialog shows
xdotool key Return
wait_run " /d4095 "
menu 30 4  # Fichier > Convertir...
until_ok 5 xdotool search --name '^Choisir les images$' || fail "no file dialog"
read -r fx fy < <(xdotool search --name '^Choisir les images$' getwindowgeometry --shell | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
xdotool mousemove $((fx + 40)) $((fy + 74)) click 1
xdotool keydown shift mousemove $((fx + 40)) $((fy + 93)) click 1 keyup shift
snap file_dialog
xdotool mousemove $((fx + 343)) $((fy + 357)) click 1
until_ok 30 grep -q 'en échec' "$work/gui.log" || { snap no_summary; fail "no conversion summary: $(cat "$work/gui.log")"; }
snap summary
grep -q '^Convertir...: 1 image convertie, 1 en échec$' "$work/gui.log" || fail "summary: $(cat "$work/gui.log")"
grep -q "^$work/pages/b.tga :\$" "$work/gui.log" || fail "summary does not name b.tga"
[[ -s $work/start/out2/a.tga ]] || fail "a.tga not converted"
grep -q "=== $work/pages/b.tga" "$work/start/nivelo_gui_work/conversion.txt" || fail "no log section for b.tga"
xdotool key Return
choose_stage Down 7  # "Rotation": the angle of the last run under the panel's values
snap rotation_angle
quit_by_menu
echo "PASS"
