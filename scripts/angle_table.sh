#!/usr/bin/env bash
# Prints the README's table of skew angles: the angle nivelo finds on the
# sample page and on the benchmark's generated pages against the angle each
# was drawn at (positive: lines rising to the right).  Markdown, to paste.
#
# scripts/angle_table.sh   (BUILD_DIR defaults to build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" -j 2 --target nivelo make_page >/dev/null
nivelo=$build/batch/nivelo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# angle <config> <image>: the angle line of a run, which must end with done.
angle() {
  local log
  log=$("$nivelo" /c"$1" "$2")
  grep -qx "$2 done." <<<"$log" || { echo "$log" >&2; exit 1; }
  grep -m1 -x -- '-\?[0-9]*\.[0-9]*' <<<"$log"
}
row() { printf '| %s | %s | %.2f° | %.2f° |\n' "$1" "$2" "$3" "$4"; }

mkdir -p out/intermediaire/samples out/final/samples out1 out2 samples
cp "$root/samples/page.tga" samples/
drawn=$(sed -n 's/^ANGLE = *\([-0-9.]*\).*/\1/p' "$root/samples/make_sample.py")
echo "| Page | Configuration | Drawn at | nivelo finds |"
echo "|---|---|---|---|"
row "sample, 1240 × 1754 grey" "samples/config.txt" "$drawn" "$(angle "$root/samples/config.txt" samples/page.tga)"

# The benchmark's A4 pages at 300 dpi, then the colour one at other slopes.
printf 'REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\n' >defaults.txt
printf 'AFFINAGE=O\n' | cat defaults.txt - >precise.txt
for page in "colour 0.8" "grey 0.8" "colour -1.7" "colour 2.6"; do
  set -- $page
  "$build/bench/make_page" page.tga "$1" 2480 3508 "$2"
  row "bench page, A4 300 dpi, $1" "defaults" "$2" "$(angle defaults.txt page.tga)"
  row "bench page, A4 300 dpi, $1" "AFFINAGE=O" "$2" "$(angle precise.txt page.tga)"
done
