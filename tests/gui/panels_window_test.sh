#!/usr/bin/env bash
# Real-window test of the parameter panels: nivelo_gui on a virtual X server,
# the stage chooser switched through all eleven stages with the keyboard, and
# each screenshot checked: the strip changed from the previous stage's, and
# every control of the stage's panel (as the resource tables place it) is
# drawn.
#
# Usage: panels_window_test.sh <nivelo_gui> <panel_resources.cpp>.  Exit 77
# (skipped) when the X tools are missing.  Only the processes started here
# are stopped, by their pid.  NIVELO_SHOT_DIR=<dir> keeps the screenshots.
set -u

here=$(dirname "$(realpath "$0")")
gui=$(realpath "$1")
resources=$(realpath "$2")
source "$here/xvfb_lib.sh"
require_tools
start_xvfb
start_gui "$gui"

screenshot "$work/stage0.ppm"
for stage in $(seq 1 10); do
  kill -0 "$gui_pid" 2>/dev/null || fail "nivelo_gui ended before stage $stage"
  choose_stage Down 1  # the list opens on the entry shown
  screenshot "$work/stage$stage.ppm"
done

python3 - "$resources" "$work" <<'EOF' || fail "screenshots"
import re, sys

resources, work = sys.argv[1], sys.argv[2]
source = open(resources, encoding="utf-8").read()

MENU = 25  # height of the menu bar above the client area
def px(u): return (u * 6 + 2) // 4   # dialog units to pixels, as the backends do
def py(u): return (u * 13 + 4) // 8

tables = {}
for name, body in re.findall(r"const ControlResource (\w+)\[\] = \{(.*?)\n\};", source, re.S):
    rows = re.findall(r'\{(IDC_\w+), (CONTROL_\w+), (?:nullptr|"(?:[^"\\]|\\.)*"), (\d+), (\d+), (\d+), (\d+), \d+\}', body)
    tables[name] = [(i, k, int(x), int(y), int(w), int(h)) for i, k, x, y, w, h in rows]
dialogs = {n: (y, t) for n, y, t in re.findall(r"const DialogResource (\w+) = Dialog\(\w+, (\w+|\d+), \d+, (\w+)\);", source)}
order = re.search(r"kStagePanels\[kStageCount\] = \{(.*?)\};", source, re.S).group(1)
stages = re.findall(r"&(\w+)", order)
assert len(stages) == 11, stages

def load(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:  # P6 width height maxval, blanks and comments between
        while data[at:at + 1].isspace(): at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        start = at
        while not data[at:at + 1].isspace(): at += 1
        fields.append(data[start:at])
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    return int(fields[1]), data[at + 1:]

def pixel(shot, x, y):
    width, pixels = shot
    at = 3 * (y * width + x)
    return pixels[at:at + 3]

problems = []
previous = None
for index, name in enumerate(stages):
    shot = load(f"{work}/stage{index}.ppm")
    strip = [pixel(shot, x, y) for y in range(MENU, MENU + py(234)) for x in range(0, 199)]
    if previous is not None and strip == previous:
        problems.append(f"stage {index}: strip unchanged from stage {index - 1}")
    previous = strip
    y_units, table = dialogs[name]
    y_units = 40 if y_units == "kPanelY" else int(y_units)
    x0, y0 = 0, MENU + py(y_units)
    background = pixel(shot, x0 + 4, y0 + 4)
    for control, kind, x, y, w, h in tables[table]:
        if kind == "CONTROL_COMBO": h = 12  # closed box
        left, top = x0 + px(x), y0 + py(y)
        drawn = sum(pixel(shot, i, j) != background
                    for j in range(top, top + py(h)) for i in range(left, left + px(w)))
        if drawn < 3:
            problems.append(f"stage {index} ({name}): {control} {kind} at ({left}, {top}) not drawn")
for p in problems: print(p)
sys.exit(1 if problems else 0)
EOF

kill -0 "$gui_pid" 2>/dev/null || fail "nivelo_gui ended"
echo "eleven panels shown"
exit 0
