#!/usr/bin/env bash
# make fuzz: builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each for FUZZ_SECONDS (default 60) from its
# seeds, and prints executions and findings a target.  Findings (crash-*,
# timeout-*, oom-*) are kept under build-fuzz/findings/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh fuzz
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIVELO_FUZZ=ON -DNIVELO_BUILD_TESTS=OFF -DNIVELO_BUILD_GUI=OFF >/dev/null
cmake --build $build -j "$(nproc)" >/dev/null
source fuzz/seeds.sh
targets=$(sed -n 's/^set(NIVELO_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)
printf '%-14s %12s %10s %9s\n' target executions "exec/s" findings
total_findings=0
for t in $targets; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  for d in fuzz/regressions/$t $(seed_dirs "$t"); do
    [[ -d $d ]] && find "$d" -maxdepth 1 -type f ! -name '*.py' ! -name '*.sh' -exec cp -n {} "$corpus/" \;
  done
  log=$build/fuzz_$t.log
  dict=()
  [[ -f fuzz/$t.dict ]] && dict=(-dict="$root/fuzz/$t.dict")
  (cd "$(mktemp -d)" && "$root/$build/fuzz/fuzz_$t" "$root/$corpus" "${dict[@]}" -max_total_time="$seconds" \
     -timeout=10 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
     -artifact_prefix="$root/$findings/" >/dev/null 2>"$root/$log") || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  total_findings=$((total_findings + found))
  printf '%-14s %12s %10s %9s\n' "$t" "${runs:-?}" "${speed:-?}" "$found"
done
echo "findings: $total_findings (inputs under $build/findings/; minimise with -minimize_crash=1 and commit them under fuzz/regressions/<target>/)"
