#!/usr/bin/env bash
# pages_window_test.sh <nivelo_gui>: the page list in the real window on a
# virtual X server with the real nivelo.  A folder of 20 small pages, each
# of its own colour, given on the command line: the strip shows their
# thumbnails, Ctrl+Page Down redraws both views with the next page, and
# "Convertir..." converts every page and sets every status.  Exit 77 when a
# tool is missing.
set -u
gui=$(realpath "$1")
source "$(dirname "$(realpath "$0")")/xvfb_lib.sh"
require_tools
pixel() { convert "$shot" -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'; }
colour() { printf '#%02X%02X80' $((12 * $1)) $((255 - 12 * $1)); }  # page n's colour

mkdir -p "$work/pages" "$work/config/nivelo" "$work/out1" "$work/out2"
for i in $(seq 1 20); do
  convert -size 200x280 "xc:$(colour "$i")" -type TrueColor -compress none "$work/pages/page$i.tga"
done
printf 'REPERTOIRE1=%s/out1/\nREPERTOIRE2=%s/out2/\n' "$work" "$work" >"$work/config/nivelo/nivelo_gui.txt"
start_xvfb
start_gui "$gui" "$work/pages"
wait_run "page1.tga"
until_ok 10 window '^Nivelo gui v1\.0 - page1\.tga$' || fail "page 1 is not the one shown"

# The strip at the right end, 150 pixels wide: the first thumbnail's middle
# is page 1's colour, the second's page 2's.
shot=$work/strip.ppm
thumbs() { screenshot "$shot"; [[ $(pixel 1197 90) == $(colour 1) && $(pixel 1197 243) == $(colour 2) ]]; }
until_ok 20 thumbs || fail "no thumbnails in the strip"
left=$(pixel 260 35) right=$(pixel 700 35)
[[ $left == $(colour 1) && $right == $(colour 1) ]] || fail "views show $left and $right, not page 1"

# Ctrl+Page Down: the next page in both views, its previews made anew.
xdotool key ctrl+Next
until_ok 10 window '^Nivelo gui v1\.0 - page2\.tga$' || fail "Ctrl+Page Down did not open page 2"
wait_run "page2.tga"
views() { screenshot "$shot"; [[ $(pixel 260 35) == $(colour 2) && $(pixel 700 35) == $(colour 2) ]]; }
until_ok 10 views || fail "views not redrawn with page 2: $(pixel 260 35) $(pixel 700 35)"

# "Convertir...": the whole list, then the summary; every result written and
# every status line changed from "non convertie".
screenshot "$shot"
before=$(convert "$shot" -crop 134x980+1130+25 +repage ppm:- | md5sum)
menu 30 5  # Fichier > Convertir...
until_ok 120 grep -q '^Convertir...: 20 images converties, 0 en échec' "$work/gui.log" ||
  fail "no conversion summary: $(cat "$work/gui.log")"
xdotool key Escape
[[ $(find "$work/out2" -name 'page*.tga' | wc -l) == 20 ]] || fail "not 20 results: $(ls "$work/out2")"
screenshot "$shot"
[[ $(convert "$shot" -crop 134x980+1130+25 +repage ppm:- | md5sum) != "$before" ]] || fail "statuses not shown"
quit_by_menu
echo PASS
