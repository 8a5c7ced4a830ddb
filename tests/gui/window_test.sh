#!/usr/bin/env bash
# Real-window test of nivelo_gui: a virtual X server on a free display, the
# program on a striped test page (its preview run crops nothing the checks
# look at), screenshots checked pixel by pixel at the three zooms and after a
# scroll, then "Quitter" from the menu.
#
# Usage: window_test.sh <nivelo_gui>.  Exit 77 (skipped) when the X tools are
# missing.  Only the processes started here are stopped, by their pid.
set -u

here=$(dirname "$(realpath "$0")")
gui=$(realpath "$1")
source "$here/xvfb_lib.sh"
require_tools

# Test page 1200 x 1400, true colour, top-down: vertical bands 100 pixels
# wide, red (220, 30, 30) for even bands and blue (30, 30, 220) for odd ones.
python3 - "$work/page.tga" <<'EOF'
import struct, sys
w, h = 1200, 1400
red, blue = bytes((30, 30, 220)), bytes((220, 30, 30))  # B, G, R
row = b"".join((red if (x // 100) % 2 == 0 else blue) for x in range(w))
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0x20))
    f.write(row * h)
EOF

start_xvfb
start_gui "$gui" ../page.tga
[[ -d $work/start/nivelo_gui_work ]] || fail "work directory not created"
# The image argument starts a preview run of nivelo under the wait box: the
# views show its stage images once the run's log ends and the box is gone.
wait_run " /d4095 "

# Each screenshot is shot<n>.ppm; $shot names the latest.
snap() { shot=$work/shot$((shots + 1)).ppm; screenshot "$shot"; }
# Colour of a screen pixel as "r,g,b".
pixel() { convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+.5)],%[fx:int(255*p{$1,$2}.g+.5)],%[fx:int(255*p{$1,$2}.b+.5)]" info:; }
expect() {  # x y colour what
  local got
  got=$(pixel "$1" "$2")
  [[ $got == "$3" ]] || fail "$4: pixel ($1, $2) is $got, expected $3"
}
RED=220,30,30 BLUE=30,30,220 GREY=160,160,160 BLACK=0,0,0 WHITE=255,255,255

snap
dark=$(convert "$shot" -crop 120x20+0+2 -threshold 50% -format "%[fx:int(w*h*(1-mean))]" info:)
((dark > 30)) || fail "menu bar texts not drawn ($dark dark pixels)"
expect 199 500 "$BLACK" "separator of the left view"
expect 198 500 "$WHITE" "separator of the left view"
expect 732 500 "$BLACK" "separator of the right view"
expect 100 500 "$GREY" "panel strip"
# Full page, scale from the width: view column j shows source j * 1200 / 531.
expect 210 35 "$RED" "full page, left view, band 0"
expect 260 35 "$BLUE" "full page, left view, band 1"
expect 743 35 "$RED" "full page, right view, band 0"
expect 793 35 "$BLUE" "full page, right view, band 1"
expect 400 1000 "$GREY" "full page, below the image"

menu 90 1  # Zoom > 100%
snap
expect 210 35 "$RED" "100 %, band 0"
expect 310 35 "$BLUE" "100 %, band 1"
expect 410 35 "$RED" "100 %, band 2"
expect 843 900 "$BLUE" "100 %, right view, band 1"

# A click in the horizontal bar's trough right of the thumb: one page step.
act xdotool mousemove 1100 1015 click 1
snap
expect 210 35 "$BLUE" "100 % after page right, source column 110"
expect 310 35 "$RED" "100 % after page right, source column 210"

menu 90 2  # Zoom > 50%: source column 100 + 2 j
snap
expect 205 35 "$BLUE" "50 %, source column 110"
expect 260 35 "$RED" "50 %, source column 220"
expect 310 35 "$BLUE" "50 %, source column 320"

quit_by_menu
[[ -s $work/gui.log ]] && { echo "output:"; cat "$work/gui.log"; }
echo "PASS"
