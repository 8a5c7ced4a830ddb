#!/usr/bin/env bash
# replay.sh <replay program> <target>: runs a fuzz target's replay program on
# every committed regression input of the target and on its seed files.
set -euo pipefail
program=$1
target=$2
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/fuzz/seeds.sh"
files=()
for dir in "fuzz/regressions/$target" $(seed_dirs "$target"); do
  [[ -d "$root/$dir" ]] || continue
  while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$root/$dir" -maxdepth 1 -type f ! -name '*.py' ! -name '*.sh' -print0 | sort -z)
done
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
# Console messages of the readers are expected; only a crash fails.
"$program" "${files[@]}" >/dev/null
echo "replayed ${#files[@]} inputs through $target"
