#!/usr/bin/env bash
# nivelo_gui's page list on a folder of 100 A4 pages (the bench page as a
# 300 dpi JPEG), the window driven under a virtual X server: the time to the
# first thumbnail and to all of them, the longest wait for the window to
# answer a key while thumbnails are made, and the conversion of the list.
# Compared with nivelo itself on the same pages, one per core, and with
# nivelo-batch converting them.  Called by bench.sh; runs alone as
#   bench/gui_pages_bench.sh BUILD_DIR
# Prints nothing but a note when Xvfb or xdotool is missing.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
pages=${BENCH_GUI_PAGES:-100}
cores=$(nproc 2>/dev/null || echo 2)
for tool in Xvfb xdotool parallel; do
  command -v $tool >/dev/null || { echo "  ($tool missing: page list not measured)"; exit 0; }
done
cmake --build "$build" -j "$cores" --target nivelo_gui nivelo make_page >/dev/null
gui=$build/gui/nivelo_gui nivelo=$build/batch/nivelo
magick=/usr/bin/convert
[[ -x $magick ]] || magick=$(command -v convert)
bench=$build/bench-gui-pages
rm -rf "$bench"
mkdir -p "$bench/pages" "$bench/out1" "$bench/out2"
"$build/bench/make_page" "$bench/page.tga" colour
"$magick" "$bench/page.tga" -density 300 -units PixelsPerInch -quality 90 "$bench/page.jpg"
for i in $(seq 1 "$pages"); do cp "$bench/page.jpg" "$bench/pages/page$i.jpg"; done

source "$root/tests/gui/xvfb_lib.sh"
# The output folders, as remembered from an earlier use (start_gui's own
# configuration folder).
mkdir -p "$work/config/nivelo"
printf 'REPERTOIRE1=%s/out1/\nREPERTOIRE2=%s/out2/\n' "$bench" "$bench" >"$work/config/nivelo/nivelo_gui.txt"
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
thumbs() { find "$(work_folder)vignettes" -name '*.tga' 2>/dev/null | wc -l; }
start_xvfb
t0=$(now)
start_gui "$gui" "$bench/pages"
until_ok 60 eval '(( $(thumbs) >= 1 ))' || fail "no thumbnail"
first=$(since "$t0")
# While the rest are made: a key that opens a box, answered how fast.
wait_run "page1.jpg"
slowest=0
for _ in 1 2 3 4 5; do
  ((  $(thumbs) < pages )) || break
  k=$(now)
  xdotool key ctrl+shift+o
  until_ok 10 window '^Ouvrir un dossier de pages$' || fail "Ctrl+Shift+O unanswered"
  answered=$(since "$k")
  slowest=$(awk -v a="$answered" -v b="$slowest" 'BEGIN { print (a > b ? a : b) }')
  xdotool key Escape
  until_ok 10 eval '! window "^Ouvrir un dossier de pages$"' || fail "folder box still open"
done
until_ok 600 eval '(( $(thumbs) >= pages ))' || fail "thumbnails missing"
all=$(since "$t0")
k=$(now)
menu 30 5  # Fichier > Convertir...
until_ok 1800 grep -q '^Convertir...: ' "$work/gui.log" || fail "no conversion summary"
converted=$(since "$k")
summary=$(grep -m1 '^Convertir...: ' "$work/gui.log")
xdotool key Escape
config=$(work_folder)nivelo_gui_conf.txt
cp "$config" "$bench/config.txt"
quit_by_menu

cd "$bench"
k=$(now)
parallel -j "$cores" NIVELO_THREADS=1 "$nivelo" /cconfig.txt {} ::: pages/*.jpg >/dev/null 2>&1
alone=$(since "$k")
k=$(now)
NIVELO=$nivelo "$root/batch/nivelo-batch" -c config.txt -o rapport.csv pages >/dev/null 2>&1 || true
batch=$(since "$k")
printf '  %d pages, %d cores\n' "$pages" "$cores"
printf '  first thumbnail          %6s s   (goal: 1 s)\n' "$first"
printf '  all thumbnails           %6s s   nivelo on the pages, one per core: %s s\n' "$all" "$alone"
printf '  slowest answer to a key  %6s s   while thumbnails are made\n' "$slowest"
printf '  list converted           %6s s   nivelo-batch: %s s  (%s)\n' "$converted" "$batch" "${summary#Convertir...: }"
