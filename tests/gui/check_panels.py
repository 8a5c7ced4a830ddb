"""Checks the screenshots of panels_window_test.sh, stage<i>.ppm for the
eleven stages in the chooser's order: the panel strip changed from the
previous stage's, and every control of the stage's panel (as the resource
tables place it) is drawn.

  check_panels.py <panel_resources.cpp> <screenshot directory>
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_views import load_ppm as load, pixel  # noqa: E402

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
