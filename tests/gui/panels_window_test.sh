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

gui=$(realpath "$1")
resources=$(realpath "$2")
for tool in Xvfb xdotool xwd convert python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: skipped"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=
gui_pid=
cleanup() {
  [[ -n $gui_pid ]] && kill "$gui_pid" 2>/dev/null && wait "$gui_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

mkdir "$work/start"
(cd "$work/start" && exec "$gui") >"$work/gui.log" 2>&1 &
gui_pid=$!

window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^Nivelo gui v1\.0$' 2>/dev/null | head -n1)
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || fail "no window titled 'Nivelo gui v1.0'"

screenshot() {  # stage index
  sleep 0.5
  xwd -root -silent | convert xwd:- "$work/stage$1.ppm" || fail "screenshot"
  [[ -n ${NIVELO_SHOT_DIR:-} ]] && convert "$work/stage$1.ppm" "$NIVELO_SHOT_DIR/stage$1.png"
  return 0
}

# The stage chooser's closed box lies at (11, 36) under the 25-pixel menu
# bar; its list opens on the entry shown, so one Down picks the next stage.
screenshot 0
for stage in $(seq 1 10); do
  kill -0 "$gui_pid" 2>/dev/null || fail "nivelo_gui ended before stage $stage"
  xdotool mousemove 60 46 click 1
  sleep 0.3
  xdotool key Down
  xdotool key Return
  screenshot "$stage"
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
