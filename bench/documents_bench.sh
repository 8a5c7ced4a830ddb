#!/usr/bin/env bash
# Whole documents end to end: a scanned PDF of 32 real G4 pages in, a
# straightened PDF out (nivelo-batch -b --pdf, AFFINAGE=O, FORMAT_SORTIE=TIFF,
# both cores), against OCRmyPDF doing only its image work (--deskew with
# --tesseract-timeout 0) on the same file; the output's size against the
# input's.  Then what documents cost beyond their pages: 100 pages as one PDF
# with --pdf against the same pages as TIFF files without it.  Called by
# bench.sh; runs alone as
#   bench/documents_bench.sh BUILD_DIR [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
runs=${2:-3}
cmake --build "$build" -j 2 --target nivelo nivelo-assemble >/dev/null
export NIVELO=$build/batch/nivelo
export NIVELO_ASSEMBLE=${NIVELO_ASSEMBLE:-$(find "$build" -name nivelo-assemble -type f -perm -u+x | head -n 1)}
batch=$root/batch/nivelo-batch
work=$build/bench-documents
rm -rf "$work"
mkdir -p "$work/pages100"
cd "$work"

# The real G4 pages, in turn until there are enough.
g4=()
for f in "${REALFORMATS:-$root/../shared/realformats}"/*.tif; do
  [[ -f $f && $(tiffinfo "$f" 2>/dev/null) == *"CCITT Group 4"* ]] && g4+=("$f")
done
((${#g4[@]})) || { echo "documents_bench: no G4 pages found"; exit 1; }
pick() { local i; for ((i = 0; i < $1; i++)); do echo "${g4[i % ${#g4[@]}]}"; done; }
mapfile -t pages32 < <(pick 32)
mapfile -t pages100 < <(pick 100)
img2pdf -o in32.pdf "${pages32[@]}" 2>/dev/null
img2pdf -o in100.pdf "${pages100[@]}" 2>/dev/null
for i in "${!pages100[@]}"; do cp "${pages100[i]}" "$(printf 'pages100/p%03d.tif' "$i")"; done
printf 'REPERTOIRE2="out/"\nSAUVEGARDE1=N\nAFFINAGE=O\nFORMAT_SORTIE=TIFF\n' >config.txt
echo "  32 pages: $(stat -c %s in32.pdf) bytes; machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

# Round after round, each command once a round: a change in the machine's
# speed falls on all of them alike, not on the ones timed last.
for ((round = 1; round <= runs; round++)); do
  hyperfine --style basic --runs 1 --export-json "documents_$round.json" --prepare "rm -rf out ocr32.pdf" \
    -n "nivelo-batch -b --pdf" "$batch -j 2 -b --pdf in32.pdf" \
    -n "ocrmypdf --deskew" "ocrmypdf -q --deskew --tesseract-timeout 0 -j 2 in32.pdf ocr32.pdf" \
    -n "100 pages, one PDF, --pdf" "$batch -j 2 -b --pdf in100.pdf" \
    -n "100 pages, files" "$batch -j 2 -b pages100" >>hyperfine_documents.txt 2>&1 ||
    { cat hyperfine_documents.txt; exit 1; }
done
"$batch" -j 2 -b --pdf in32.pdf >/dev/null
ocrmypdf -q --deskew --tesseract-timeout 0 -j 2 in32.pdf ocr32.pdf
python3 - in32.pdf out/in32.pdf ocr32.pdf documents_*.json <<'PY'
import json, os, statistics, sys
times, cpus = {}, {}
for name in sys.argv[4:]:
    for r in json.load(open(name))["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
        cpus.setdefault(r["command"], []).append(r["user"] + r["system"])
t = {c: statistics.median(v) for c, v in times.items()}
# Processor time (user + system, children included): steadier than the
# wall clock on a shared machine.
cpu = {c: statistics.median(v) for c, v in cpus.items()}
source, ours_pdf, peer_pdf = sys.argv[1:4]
size = {name: os.path.getsize(name) for name in (source, ours_pdf, peer_pdf)}
ours, peer = t["nivelo-batch -b --pdf"], t["ocrmypdf --deskew"]
print("| 32 real G4 pages, PDF in, PDF out | median s | size / input |")
print("|---|---|---|")
print("| nivelo-batch -b --pdf | %.2f | %.2f |" % (ours, size[ours_pdf] / size[source]))
print("| ocrmypdf --deskew --tesseract-timeout 0 | %.2f | %.2f |" % (peer, size[peer_pdf] / size[source]))
print("ocrmypdf / nivelo-batch: %.2f x (goal >= 2); nivelo's PDF / input: %.2f (goal <= 1.1)"
      % (peer / ours, size[ours_pdf] / size[source]))
print("processor time: nivelo-batch %.2f s, ocrmypdf %.2f s (%.2f x)"
      % (cpu["nivelo-batch -b --pdf"], cpu["ocrmypdf --deskew"], cpu["ocrmypdf --deskew"] / cpu["nivelo-batch -b --pdf"]))
one, files = t["100 pages, one PDF, --pdf"], t["100 pages, files"]
print("100 pages: one PDF with --pdf %.2f s, the same pages as files %.2f s: documents cost %.2f s (goal <= 1)"
      % (one, files, one - files))
print("  processor time: %.2f s and %.2f s, %.2f s more"
      % (cpu["100 pages, one PDF, --pdf"], cpu["100 pages, files"],
         cpu["100 pages, one PDF, --pdf"] - cpu["100 pages, files"]))
PY
