#!/usr/bin/env bash
# nivelo-assemble against img2pdf on the same Group 4 pages: nivelo's /b
# results (FORMAT_SORTIE=TIFF) of the real scans in bench/realpages, linked
# under 100 and 300 names.  Times (hyperfine, median), the PDFs' sizes and
# each program's peak memory at 100 and 300 pages.  Called by bench.sh; runs
# alone as
#   bench/assemble_bench.sh BUILD_DIR [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
runs=${2:-5}
nivelo=$build/batch/nivelo
assemble=$build/documents/nivelo-assemble
work=$build/bench-assemble
rm -rf "$work"
mkdir -p "$work/un" "$work/deux" "$work/pages"
cd "$work"

printf 'RECADRAGE1=n\nFLOU=n\nROTATION=n\nRECADRAGE2=n\nSAUVEGARDE1=n\nSAUVEGARDE2=o\nREPERTOIRE1="un/"\nREPERTOIRE2="deux/"\nFORMAT_SORTIE=TIFF\n' \
  >g4.txt
for scan in "$root"/bench/realpages/*.tif; do
  cp "$scan" .
  "$nivelo" /cg4.txt /b "$(basename "$scan")" >/dev/null
done
results=(deux/*.tif)
for i in $(seq 0 299); do
  ln -f "${results[i % ${#results[@]}]}" "$(printf 'pages/p%03d.tif' "$i")"
done
ls pages/p*.tif | head -100 | tr '\n' '\0' >list100
ls pages/p*.tif | tr '\n' '\0' >list300
echo "  ${#results[@]} real pages as G4 results, $(du -ch "${results[@]}" | tail -1 | cut -f1) in all, each used several times"
echo "  machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

hyperfine --style basic --warmup 1 --runs "$runs" --export-json assemble.json \
  -n "nivelo-assemble 100" "$assemble --pdf ours100.pdf --liste list100" \
  -n "img2pdf 100" "xargs -0 img2pdf -o theirs100.pdf <list100" \
  -n "nivelo-assemble 300" "$assemble --pdf ours300.pdf --liste list300" \
  -n "img2pdf 300" "xargs -0 img2pdf -o theirs300.pdf <list300" >hyperfine_assemble.txt 2>&1 ||
  { cat hyperfine_assemble.txt; exit 1; }
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
{
  for n in 100 300; do
    echo "nivelo-assemble $n $(peak "$assemble" --pdf ours$n.pdf --liste list$n) $(stat -c %s ours$n.pdf)"
    echo "img2pdf $n $(peak sh -c "xargs -0 img2pdf -o theirs$n.pdf <list$n") $(stat -c %s theirs$n.pdf)"
  done
} >assemble_peaks.txt
python3 - assemble.json assemble_peaks.txt <<'PY'
import json, statistics, sys
times = {r["command"]: statistics.median(r["times"]) for r in json.load(open(sys.argv[1]))["results"]}
rows = {}
for line in open(sys.argv[2]):
    program, pages, kib, size = line.split()
    rows[program, pages] = (int(kib), int(size))
print("| %-20s | %8s | %9s | %12s |" % ("pages", "median s", "peak MiB", "PDF bytes"))
print("|%s|%s|%s|%s|" % ("-" * 22, "-" * 10, "-" * 11, "-" * 14))
for (program, pages), (kib, size) in sorted(rows.items(), key=lambda r: (r[0][1], r[0][0])):
    print("| %-20s | %8.3f | %9.1f | %12d |" % (program + " " + pages, times[program + " " + pages], kib / 1024, size))
for pages in ("100", "300"):
    ours, theirs = rows["nivelo-assemble", pages], rows["img2pdf", pages]
    print("%s pages: time %.2f x img2pdf's, size %.4f x img2pdf's" %
          (pages, times["nivelo-assemble " + pages] / times["img2pdf " + pages], ours[1] / theirs[1]))
print("Goals: no slower than img2pdf, size within 2 %, peak memory the same at 100 and 300 pages.")
PY
