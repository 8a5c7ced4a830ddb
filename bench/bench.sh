#!/usr/bin/env bash
# make bench: builds nivelo in Release, makes its own A4 pages, times each
# stage plain against fast, then the whole nivelo process against the peers
# a user would pick instead (unpaper's default pipeline and ImageMagick's
# deskew), LZW TIFF decoding against libtiff's tiffcp, PDF assembly against
# img2pdf, nivelo_gui's page list under a virtual X server; last, the skew
# accuracy of both methods and of the peers.  Prints tables.
#
# BENCH_RUNS (default 10) sets the timed runs of each command; the machine
# may be shared, so every figure is a median.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${BENCH_RUNS:-10}
batch_runs=${BENCH_BATCH_RUNS:-3}
work=$build/bench-run

"$root/scripts/setup.sh" bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target nivelo nivelo-assemble make_page stage_bench tiff_load orient_evidence >/dev/null

rm -rf "$work"
mkdir -p "$work/out1" "$work/out2"
cd "$work"
nivelo=$build/batch/nivelo
# The Debian ImageMagick itself, not whatever wrapper may come first on PATH.
magick=/usr/bin/convert
[[ -x $magick ]] || magick=$(command -v convert)

echo "== pages"
"$build/bench/make_page" colour.tga colour
"$build/bench/make_page" grey.tga grey
"$magick" colour.tga colour.ppm                  # unpaper reads PNM only
"$magick" colour.tga -compress lzw colour_lzw.tif  # RGB, LZW, horizontal predictor
printf 'REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\n' >config.txt
{ cat config.txt; echo AFFINAGE=O; } >affinage.txt
{ cat config.txt; echo ORIENTATION=O; } >orientation.txt
# Load, convert and save only: the TIFF decoding and the TGA writing.
printf 'REPERTOIRE2="out2/"\nRECADRAGE1=n\nFLOU=n\nSAUVEGARDE1=n\nROTATION=n\nRECADRAGE2=n\n' >load_only.txt
ls -l colour.tga grey.tga colour.ppm colour_lzw.tif | awk '{print "  " $5 " bytes  " $9}'
echo "  machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== stages, in process (median ms)"
"$build/bench/stage_bench" colour.tga colour_lzw.tif "$runs"

echo
echo "== whole processes (hyperfine, $runs runs each)"
hyperfine --style basic --warmup 1 --runs "$runs" --export-json processes.json \
  -n "nivelo colour" "$nivelo /cconfig.txt colour.tga" \
  -n "nivelo colour AFFINAGE" "$nivelo /caffinage.txt colour.tga" \
  -n "nivelo colour ORIENTATION" "$nivelo /corientation.txt colour.tga" \
  -n "nivelo grey" "$nivelo /cconfig.txt grey.tga" \
  -n "nivelo colour plain" "NIVELO_PLAIN=1 $nivelo /cconfig.txt colour.tga" \
  -n "unpaper" "unpaper --overwrite colour.ppm out_unpaper.ppm" \
  -n "convert -deskew 40%" "$magick colour.tga -deskew 40% out_deskew.tga" >hyperfine_processes.txt 2>&1 ||
  { cat hyperfine_processes.txt; exit 1; }
hyperfine --style basic --warmup 1 --runs "$runs" --export-json tiff.json \
  -n "LoadTIFF (tiff_load)" "$build/bench/tiff_load colour_lzw.tif" \
  -n "LoadTIFF plain" "NIVELO_PLAIN=1 $build/bench/tiff_load colour_lzw.tif" \
  -n "tiffcp -c none" "tiffcp -c none colour_lzw.tif out_tiffcp.tif" \
  -n "tiffinfo -D" "tiffinfo -D colour_lzw.tif" \
  -n "nivelo LZW load+save" "$nivelo /cload_only.txt colour_lzw.tif" >hyperfine_tiff.txt 2>&1 ||
  { cat hyperfine_tiff.txt; exit 1; }

# Peak resident memory of one run of each.
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
{
  echo "nivelo colour $(peak "$nivelo" /cconfig.txt colour.tga)"
  echo "nivelo colour AFFINAGE $(peak "$nivelo" /caffinage.txt colour.tga)"
  echo "nivelo colour ORIENTATION $(peak "$nivelo" /corientation.txt colour.tga)"
  echo "nivelo grey $(peak "$nivelo" /cconfig.txt grey.tga)"
  echo "nivelo colour plain $(NIVELO_PLAIN=1 peak "$nivelo" /cconfig.txt colour.tga)"
  echo "unpaper $(peak unpaper --overwrite colour.ppm out_unpaper.ppm)"
  echo "convert -deskew 40% $(peak "$magick" colour.tga -deskew 40% out_deskew.tga)"
  echo "LoadTIFF (tiff_load) $(peak "$build/bench/tiff_load" colour_lzw.tif)"
  echo "LoadTIFF plain $(NIVELO_PLAIN=1 peak "$build/bench/tiff_load" colour_lzw.tif)"
  echo "tiffcp -c none $(peak tiffcp -c none colour_lzw.tif out_tiffcp.tif)"
  echo "tiffinfo -D $(peak tiffinfo -D colour_lzw.tif)"
  echo "nivelo LZW load+save $(peak "$nivelo" /cload_only.txt colour_lzw.tif)"
} >peaks.txt

python3 "$root/bench/report.py" processes.json tiff.json peaks.txt

echo
echo "== formats in and out, whole runs side by side (median s)"
"$root/bench/formats_bench.sh" "$build" "$runs"

echo
echo "== one PDF from 100 and 300 G4 pages, nivelo-assemble against img2pdf"
"$root/bench/assemble_bench.sh" "$build" "$runs"

echo
echo "== nivelo_gui's page list, 100 A4 pages, the window driven under Xvfb"
"$root/bench/gui_pages_bench.sh" "$build"

echo
echo "== documents: a scanned PDF in, a straightened PDF out (median s)"
"$root/bench/documents_bench.sh" "$build" "$batch_runs"

# The turned pages and the peers' answers are kept between runs (the peers
# take minutes); delete the directory to measure them afresh.
echo
echo "== skew accuracy (degrees; turned pages and the peers' answers kept in $build/bench-skew)"
# Leptonica's skew finder joins the peers where libleptonica-dev is installed.
lept=$build/bench/lept_skew
if pkg-config --exists lept 2>/dev/null; then
  g++ -O2 "$root/bench/lept_skew.cpp" -o "$lept" $(pkg-config --cflags --libs lept)
fi
python3 "$root/bench/skew_accuracy.py" "$nivelo" "$build/bench/make_page" "$magick" "$root/bench/realpages" \
  "$build/bench-skew" "$lept"
# The orientation step on the real pages in their four orientations, with
# leptonica's detector beside it where libleptonica-dev is installed.
echo
echo "== orientation (turned pages kept in $build/bench-orient)"
lept_orient=$build/bench/lept_orient
if pkg-config --exists lept 2>/dev/null; then
  g++ -O2 "$root/bench/lept_orient.cpp" -o "$lept_orient" $(pkg-config --cflags --libs lept)
fi
python3 "$root/bench/orientation_accuracy.py" "$nivelo" "$root/bench/realpages" "$build/bench-orient" "$lept_orient"
# The same step on the wider set: the pages faded, blurred, halved, as
# published, text we set, pictures; with the test that stops each page left.
echo
echo "== orientation, wider set (kept in $build/bench-orient-wider)"
# It sets text with PIL: the system's python3 when the one on PATH lacks it.
py=python3
"$py" -c 'import PIL' 2>/dev/null || py=/usr/bin/python3
"$py" "$root/bench/orientation_wider.py" "$build/bench/orient_evidence" "$build/bench-orient-wider"
# Whole archives: 40 A4 pages through nivelo-batch, one job against one per
# core.  Eight distinct pages (angles from -1.6 to 1.2 degrees), each linked
# under five names, keep the disk use down.
echo
echo "== nivelo-batch, 40 A4 pages (hyperfine, $batch_runs runs each)"
cores=$(nproc 2>/dev/null || echo 2)
for kind in colour grey; do
  mkdir -p "batch_$kind"
  for i in 0 1 2 3 4 5 6 7; do
    "$build/bench/make_page" "batch_$kind/p$i.tga" "$kind" 2480 3508 "$(((i - 4) * 4))e-1"
    for copy in 1 2 3 4; do ln -f "batch_$kind/p$i.tga" "batch_$kind/p$i-$copy.tga"; done
  done
done
batch="NIVELO=$nivelo $root/batch/nivelo-batch -c config.txt -o batch.csv"
hyperfine --style basic --runs "$batch_runs" --export-json batch.json \
  -n "colour, 1 job" "$batch -j 1 batch_colour" -n "colour, $cores jobs" "$batch -j $cores batch_colour" \
  -n "grey, 1 job" "$batch -j 1 batch_grey" -n "grey, $cores jobs" "$batch -j $cores batch_grey" \
  -n "wrapper alone" "NIVELO=/bin/true $root/batch/nivelo-batch -c config.txt -o batch.csv -j $cores batch_colour || true" \
  >hyperfine_batch.txt 2>&1 || { cat hyperfine_batch.txt; exit 1; }
python3 - batch.json <<'PY'
import json, statistics, sys
# CPU s a page (user + system, all processes): with every core busy, the
# cores divided by it bound the pages per second.
print("| %-16s | %9s | %8s | %10s |" % ("pages", "median s", "pages/s", "CPU s/page"))
print("|%s|%s|%s|%s|" % ("-" * 18, "-" * 11, "-" * 10, "-" * 12))
for r in json.load(open(sys.argv[1]))["results"]:
    t = statistics.median(r["times"])
    print("| %-16s | %9.2f | %8.2f | %10.3f |" % (r["command"], t, 40 / t, (r["user"] + r["system"]) / 40))
print("Targets: >= 10 colour pages/s with every core; grey no slower than colour.")
print("'wrapper alone' runs /bin/true in place of nivelo: GNU parallel's and the script's own cost.")
PY
