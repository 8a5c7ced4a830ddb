#!/usr/bin/env bash
# window_test.sh <nivelo_gui> <sample page>: the real window on a virtual X
# server with the real nivelo, one check a feature: the views at the three
# zooms and after a scroll, a panel, a long blur asked about and cancelled, a
# configuration loaded, a batch with a bad page, a name typed in the save
# dialog, "Quitter".  Exit 77 when a tool is missing.
set -u
gui=$(realpath "$1") sample=$(realpath "$2")
source "$(dirname "$(realpath "$0")")/xvfb_lib.sh"
require_tools
snap() { shot=$work/$1.ppm; screenshot "$shot"; }
expect() {  # expect <x> <y> <#RRGGBB> <what>
  local got; got=$(convert "$shot" -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}')
  [[ $got == "$3" ]] || fail "$4: pixel ($1, $2) is $got, expected $3"
}
strip() { convert "$shot" -crop 195x180+0+25 +repage ppm:- | md5sum; }
geometry() { window "$1" | head -n1 | xargs xdotool getwindowgeometry --shell | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'; }

# A 1200 x 1400 page of vertical bands 100 pixels wide, red and blue, in a
# folder whose name must reach nivelo as one word.
R='#DC1E1E' B='#1E1EDC' pages="$work/a b;touch pwned;\"c"
mkdir -p "$pages" "$work/start/out1" "$work/start/out2"
# One grey pixel inside the page: a page of two colours only is given back by
# the blur at once, and the long blur below must take its time.  (In a
# corner the first crop cut it away with the last band, and nivelo was done
# before the test could see it run.)
convert -size 100x1400 "xc:$R" "xc:$B" +append -write mpr:bands +delete -size 1200x1400 tile:mpr:bands \
  -fill '#808080' -draw 'point 650 700' \
  -type TrueColor -compress none "$pages/z.tga"
start_xvfb
start_gui "$gui" "$pages/z.tga"
until_ok 10 window '^Nivelo gui v1\.0 - z\.tga$' || fail "the title does not name the page"
wait_run " /d4095 "

# Views 531 wide from x = 200 and 733, under a 25-pixel menu bar.  Full page
# scales by the width: view column j shows source column j * 1200 / 531.
snap full
expect 260 35 $B "full page, band 1"
menu 90 3  # Zoom > 100%
snap z100
expect 843 35 $B "100 %, right view, band 1"
before=$(strip)
act xdotool mousemove 1100 1015 click 1  # the trough right of the thumb: a page step
snap scrolled
expect 210 35 $B "100 % after a page step, source column 110"
[[ $(strip) == "$before" ]] || fail "panel strip not drawn again after the scroll"
menu 90 4  # Zoom > 50%: source column 100 + 2 j
snap z50
expect 260 35 $R "50 %, source column 220"

# "Flou": a panel of its own; Rayon 1000 (the most nivelo takes), "Mettre à jour", "Oui", "Annuler".
choose_stage Down 1
snap flou
[[ $(strip) != "$before" ]] || fail "the stage chooser did not change the panel"
xdotool mousemove 69 154 click 1 key End BackSpace BackSpace BackSpace BackSpace BackSpace type 1000
xdotool mousemove 69 443 click 1
until_ok 10 shown '^Flou$' || fail "no question before a blur of radius 1000"
xdotool key Left space  # "Non" has the focus: a hasty Return starts nothing
until_ok 10 pgrep -P "$gui_pid" || fail "nivelo not started"
until_ok 10 window '^Mise' || fail "no wait box while nivelo runs"
read -r bx by < <(geometry '^Mise')
xdotool mousemove $((bx + 110)) $((by + 92)) click 1
# Prompt, not instant: the deadline counts whole seconds, and a loaded
# machine may take a moment to reap the stopped process.
until_ok 3 eval '! window "^Mise" && ! pgrep -P $gui_pid' || fail "wait box or nivelo still up 3 s after Annuler"

# Output folders and a fill colour from a configuration file beside the page
# (nivelo must know every key the GUI then writes), then a batch of a good
# and a bad page: the dialog lists a.tga, b.tga, z.tga.
printf 'REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\nBLUR_RADIUS=3\nCOUL_REMPLISSAGE=1,2,3\n' >"$pages/sorties.txt"
cp "$sample" "$pages/a.tga"
printf 'not an image' >"$pages/b.tga"
menu 30 3  # Fichier > Charger Config...
until_ok 10 shown '^Charger un fichier de config$' || fail "no configuration dialog"
xdotool type sorties.txt
xdotool key Return
wait_run " /d4095 "
grep inconnu "$(work_folder)poil.txt" && fail "nivelo refuses a key the GUI wrote"
menu 30 5  # Fichier > Convertir...
until_ok 10 window '^Choisir les images$' || fail "no file dialog"
read -r fx fy < <(geometry '^Choisir les images$')
xdotool mousemove $((fx + 40)) $((fy + 74)) click 1 keydown shift mousemove $((fx + 40)) $((fy + 93)) click 1 keyup shift
xdotool mousemove $((fx + 343)) $((fy + 357)) click 1
until_ok 60 grep -q '^Convertir...: 1 image convertie, 1 en échec$' "$work/gui.log" ||
  fail "no conversion summary: $(cat "$work/gui.log")"
[[ -s $work/start/out2/a.tga ]] || fail "a.tga not converted"
xdotool key Return

# Keys: F5 reruns the stage shown; Ctrl+O opens the image dialog.
xdotool key F5
wait_run " /d4 "
xdotool key ctrl+o
until_ok 10 shown '^Charger une image$' || fail "Ctrl+O opened nothing"
xdotool key Escape
until_ok 10 eval '! window "^Charger une image$"' || fail "image dialog still open"

# "Sauver Config...": a name typed into the emptied field is the name saved.
menu 30 4  # Fichier > Sauver Config...
until_ok 10 shown '^Sauver un fichier de config$' || fail "no save dialog"
xdotool key ctrl+a BackSpace
xdotool type --delay 30 mes_reglages
xdotool key Return
until_ok 10 test -s "$pages/mes_reglages" || fail "typed name not saved: $(ls "$pages")"
quit_by_menu  # the stage images go with the program
[[ -e $work/start/nivelo_gui_work ]] && fail "work folder left behind"
[[ -n $(find "$work" -name pwned) ]] && fail "a folder name was run as a command"
echo PASS
