#!/usr/bin/env bash
# The formats nivelo reads and writes, timed side by side in one run on the
# A4 bench page (300 dpi): whole runs from JPEG, PNG and G4 pages against
# the same page as TGA (or as uncompressed 1-bit TIFF), whole runs writing
# PNG, JPEG and G4 against writing TGA (or uncompressed 1-bit TIFF), the
# results' sizes, each conversion by ImageMagick with -deskew 40%, and the
# peak memory of each run.  Called by bench.sh; runs alone as
#   bench/formats_bench.sh BUILD_DIR [runs]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-5}
magick_runs=${BENCH_MAGICK_RUNS:-2}
nivelo=$build/batch/nivelo
magick=/usr/bin/convert
[[ -x $magick ]] || magick=$(command -v convert)
work=$build/bench-formats
rm -rf "$work"
mkdir -p "$work"
cd "$work"

"$build/bench/make_page" colour.tga colour
# The same page in the formats users have, marked 300 dpi.
"$magick" colour.tga -density 300 -units PixelsPerInch -quality 90 colour.jpg
"$magick" colour.tga -density 300 -units PixelsPerInch colour.png
"$magick" colour.tga -colorspace gray -threshold 50% -density 300 -units PixelsPerInch -compress group4 \
  bilevel_g4.tif
tiffcp -c none bilevel_g4.tif bilevel.tif  # the same page, 1 bit a pixel, uncompressed
conf() {  # name, extra key lines
  local name=$1
  shift
  mkdir -p "out_$name/1" "out_$name/2"
  printf 'REPERTOIRE1="out_%s/1/"\nREPERTOIRE2="out_%s/2/"\n' "$name" "$name" >"$name.txt"
  for line in "$@"; do echo "$line" >>"$name.txt"; done
}
conf tga
conf png FORMAT_SORTIE=PNG
conf jpeg FORMAT_SORTIE=JPEG QUALITE_JPEG=90
conf tiff FORMAT_SORTIE=TIFF
ls -l colour.tga colour.jpg colour.png bilevel.tif bilevel_g4.tif | awk '{print "  " $5 " bytes  " $9}'
echo "  machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

hyperfine --style basic --warmup 1 --runs "$runs" --export-json formats.json \
  -n "from TGA" "$nivelo /ctga.txt colour.tga" \
  -n "from JPEG" "$nivelo /ctga.txt colour.jpg" \
  -n "from PNG" "$nivelo /ctga.txt colour.png" \
  -n "from 1-bit TIFF /b" "$nivelo /ctga.txt /b bilevel.tif" \
  -n "from G4 /b" "$nivelo /ctga.txt /b bilevel_g4.tif" \
  -n "writing PNG" "$nivelo /cpng.txt colour.tga" \
  -n "writing JPEG 90" "$nivelo /cjpeg.txt colour.tga" \
  -n "writing G4 /b" "$nivelo /ctiff.txt /b colour.tga" \
  -n "writing 1-bit TIFF /b" "$nivelo /ctga.txt /b colour.tga" >hyperfine_formats.txt 2>&1 ||
  { cat hyperfine_formats.txt; exit 1; }
hyperfine --style basic --runs "$magick_runs" --export-json magick.json \
  -n "IM JPEG in" "$magick colour.jpg -deskew 40% im_from_jpeg.tga" \
  -n "IM PNG in" "$magick colour.png -deskew 40% im_from_png.tga" \
  -n "IM G4 in" "$magick bilevel_g4.tif -deskew 40% +repage -compress group4 im_from_g4.tif" \
  -n "IM PNG out" "$magick colour.tga -deskew 40% im_out.png" \
  -n "IM JPEG out" "$magick colour.tga -deskew 40% -quality 90 im_out.jpg" \
  -n "IM G4 out" "$magick colour.tga -deskew 40% +repage -threshold 50% -compress group4 im_out_g4.tif" \
  >hyperfine_magick.txt 2>&1 || { cat hyperfine_magick.txt; exit 1; }
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
{
  echo "from TGA $(peak "$nivelo" /ctga.txt colour.tga)"
  echo "from JPEG $(peak "$nivelo" /ctga.txt colour.jpg)"
  echo "from PNG $(peak "$nivelo" /ctga.txt colour.png)"
  echo "from G4 /b $(peak "$nivelo" /ctga.txt /b bilevel_g4.tif)"
  echo "writing PNG $(peak "$nivelo" /cpng.txt colour.tga)"
} >peaks.txt
size() { stat -c %s "$1"; }
{
  echo "tga $(size out_tga/2/colour.tga)"
  echo "png $(size out_png/2/colour.png)"
  echo "jpeg $(size out_jpeg/2/colour.jpg)"
  echo "bilevel $(size out_tga/2/colour.tif)"
  echo "g4 $(size out_tiff/2/colour.tif)"
} >sizes.txt
python3 - formats.json magick.json peaks.txt sizes.txt <<'PY'
import json, statistics, sys
t = {r["command"]: statistics.median(r["times"]) for f in sys.argv[1:3] for r in json.load(open(f))["results"]}
peaks = dict(l.rsplit(" ", 1) for l in open(sys.argv[3]).read().splitlines())
sizes = dict(l.split() for l in open(sys.argv[4]).read().splitlines())
rows = [  # conversion, nivelo, its reference, ImageMagick, goal
    ("JPEG page in", "from JPEG", "from TGA", "IM JPEG in", 1.2),
    ("PNG page in", "from PNG", "from TGA", "IM PNG in", 1.5),
    ("G4 page in, /b", "from G4 /b", "from 1-bit TIFF /b", "IM G4 in", 1.0),
    ("PNG out", "writing PNG", "from TGA", "IM PNG out", 2.0),
    ("JPEG 90 out", "writing JPEG 90", "from TGA", "IM JPEG out", 1.2),
    ("G4 out, /b", "writing G4 /b", "writing 1-bit TIFF /b", "IM G4 out", 1.05),
]
print("| %-15s | %8s | %8s | %6s | %5s | %10s | %8s |" % ("conversion", "nivelo s", "ref s", "ratio", "goal", "IM -deskew", "IM/niv."))
print("|%s|" % "|".join("-" * n for n in (17, 10, 10, 8, 7, 12, 10)))
for name, mine, ref, im, goal in rows:
    print("| %-15s | %8.3f | %8.3f | %6.2f | %5.2f | %10.2f | %8.1f |" % (
        name, t[mine], t[ref], t[mine] / t[ref], goal, t[im], t[im] / t[mine]))
print()
tga, bil = int(sizes["tga"]), int(sizes["bilevel"])
print("result sizes: PNG %.2f x TGA, JPEG %.2f x TGA, G4 %.3f x uncompressed 1-bit" % (
    int(sizes["png"]) / tga, int(sizes["jpeg"]) / tga, int(sizes["g4"]) / bil))
print("peak memory (KB): " + ", ".join("%s %s" % kv for kv in peaks.items()))
PY
