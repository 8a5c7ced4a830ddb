#!/usr/bin/env bash
# Lists every #include that points up the stack of layers, and exits 1 when
# there is one.  A directory may include from itself and from the layers it
# rests on:
#   gui       -> config, documents, formats, tga, tiff, core  (the GUI's logic runs no stage)
#   batch     -> config, stages, documents, formats, tga, tiff, core
#   documents -> formats, tga, tiff, core
#   formats   -> tga, tiff, core
#   stages  -> core
#   config, tga, tiff -> core
#   core   -> core only
# Inside gui/, each job includes from itself and the jobs below it, lowest
# first: platform, settings, state, views, panels, previews, pages, commands,
# app.  A lower job tells an upper one through the hooks in state/app.h.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
declare -A allowed=(
  [core]="core"
  [config]="config core"
  [tga]="tga core"
  [tiff]="tiff core"
  [stages]="stages core"
  [formats]="formats tga tiff core"
  [documents]="documents formats tga tiff core"
  [batch]="batch config stages documents formats tga tiff core"
  [gui]="gui config documents formats tga tiff core"
)
found=0
for layer in "${!allowed[@]}"; do
  [[ -d $root/$layer ]] || continue
  while IFS=: read -r file line text; do
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<<"$text")
    [[ -z $target || ! -d $root/$target ]] && continue
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "${file#"$root"/}:$line: $layer includes from $target: ${text#"${text%%[![:space:]]*}"}"
      found=1
    fi
  done < <(grep -n '#[[:space:]]*include[[:space:]]*"' -r "$root/$layer" --include='*.cpp' --include='*.h' || true)
done
gui_jobs=(platform settings state views panels previews pages commands app)
declare -A gui_rank=()
for i in "${!gui_jobs[@]}"; do gui_rank[${gui_jobs[$i]}]=$i; done
if [[ -d $root/gui ]]; then
  while IFS=: read -r file line text; do
    job=${file#"$root"/gui/}
    job=${job%%/*}
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"gui\/\([^/"]*\)\/.*/\1/p' <<<"$text")
    [[ -z $target ]] && continue
    if [[ -z ${gui_rank[$job]+x} || -z ${gui_rank[$target]+x} || ${gui_rank[$target]} -gt ${gui_rank[$job]} ]]; then
      echo "${file#"$root"/}:$line: gui/$job includes from gui/$target: ${text#"${text%%[![:space:]]*}"}"
      found=1
    fi
  done < <(grep -n '#[[:space:]]*include[[:space:]]*"gui/' -r "$root/gui" --include='*.cpp' --include='*.h' || true)
fi
if ((found)); then
  echo "includes pointing up the stack found" >&2
  exit 1
fi
echo "layers: no include points up the stack"
