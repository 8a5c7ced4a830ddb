#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR, as `make install DESTDIR=...`
# does, and checks the tree a user gets: the installed nivelo cleans the
# sample page; the installed nivelo_gui, started where no other nivelo can be
# found, runs the one installed beside it; every program has its manual page,
# and every manual page lints clean; the desktop entry validates and names an
# installed program and icon.
#
# Usage: install_test.sh <build dir> <sample page>.  Exit 77 (skipped) when a
# tool is missing.
set -u
here=$(dirname "$(realpath "$0")")
build=$(realpath "$1")
sample=$(realpath "$2")
for tool in mandoc:mandoc desktop-file-validate:desktop-file-utils; do
  command -v "${tool%%:*}" >/dev/null ||
    { echo "missing ${tool%%:*} (Debian package ${tool#*:}): skipped"; exit 77; }
done
source "$here/../gui/xvfb_lib.sh"

prefix=/usr/local
tree=$work/root$prefix
DESTDIR=$work/root cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

mkdir -p "$work/run/out1" "$work/run/out2"
printf 'REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\n' >"$work/run/config.txt"
cp "$sample" "$work/run/page.tga"
(cd "$work/run" && "$tree/bin/nivelo" page.tga) >"$work/run.log"
grep -qx 'page.tga done.' "$work/run.log" || { cat "$work/run.log"; fail "installed nivelo: no done line"; }
[[ -s $work/run/out1/page.tga && -s $work/run/out2/page.tga ]] || fail "installed nivelo: results missing"

for program in "$tree"/bin/*; do
  name=$(basename "$program")
  [[ -f $tree/share/man/man1/$name.1 ]] || fail "no manual page for $name"
done

# mandoc looks cross-references up among the system's manual pages only; one
# to a page of this project (in man/, or installed with it, as nivelo-batch's
# is) is sound, even when the build leaves its program out.
mandoc -T lint "$tree"/share/man/man*/*.[1-9] >"$work/lint.txt" 2>&1
(($? <= 1)) || { cat "$work/lint.txt"; fail "mandoc"; }
xr='referenced manual not found: Xr ([^ ]+) ([1-9])'
# A page installed after mandoc's index was last built is still a page.
stale='outdated mandoc.db lacks ([^ ]+)\(([1-9])\) entry'
while IFS= read -r line; do
  if [[ $line =~ $xr && ( -f $here/../../man/${BASH_REMATCH[1]}.${BASH_REMATCH[2]} ||
        -f $tree/share/man/man${BASH_REMATCH[2]}/${BASH_REMATCH[1]}.${BASH_REMATCH[2]} ) ]]; then
    continue
  fi
  if [[ $line =~ $stale ]] && compgen -G "/usr/share/man/man${BASH_REMATCH[2]}/${BASH_REMATCH[1]}.${BASH_REMATCH[2]}*" >/dev/null; then
    continue
  fi
  fail "manual page: $line"
done <"$work/lint.txt"

[[ -x $tree/bin/nivelo_gui ]] || { echo "PASS (console program only)"; exit 0; }
desktop=$tree/share/applications/nivelo_gui.desktop
report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $report ]] || fail "desktop entry: $report"
exec=$(sed -n 's/^Exec=\([^ ]*\) .*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -x $tree/bin/$exec ]] || fail "desktop entry runs '$exec', not installed"
[[ -f $tree/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no icon '$icon'"

require_tools
# The GUI is started with a search path that holds no nivelo, from a start
# directory that holds none either.
PATH=/usr/bin:/bin
command -v nivelo >/dev/null && fail "a nivelo in /usr/bin or /bin hides the one installed beside nivelo_gui"
start_xvfb
start_gui "$tree/bin/nivelo_gui" "$sample"
wait_run " /d4095 "
[[ -s $(work_folder)save11.tga ]] || fail "installed nivelo_gui: no stage images"
quit_by_menu
echo "PASS"
