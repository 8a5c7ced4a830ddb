#!/usr/bin/env python3
"""Orientation accuracy of nivelo (ORIENTATION=O) beside leptonica's and
Tesseract's (OSD, --psm 0, where it is installed with its osd data), on the
real pages in their four orientations.

    orientation_accuracy.py NIVELO PAGES_DIR WORK_DIR [LEPT_ORIENT]

Each page is turned clockwise by 0, 90, 180 and 270 degrees with ImageMagick
(kept in WORK_DIR between runs); a tool is right when the turn it applies
undoes the one made, wrong when it applies another, undecided when it
leaves the page (Tesseract: when it gives no answer, "too few
characters").  Prints a table and every wrong page.
"""
import os
import re
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

TURNS = (0, 90, 180, 270)


def turned_pages(pages_dir, work):
    os.makedirs(work, exist_ok=True)
    made = []
    for name in sorted(os.listdir(pages_dir)):
        if not name.endswith(".tif"):
            continue
        for turn in TURNS:
            out = os.path.join(work, "%s.r%d.tif" % (name[:-4], turn))
            if not os.path.exists(out):
                subprocess.run(["convert", os.path.join(pages_dir, name), "-rotate", str(turn), out], check=True)
            made.append((out, (360 - turn) % 360))
    return made


def nivelo_answers(nivelo, pages, work):
    config = os.path.join(work, "orientation.txt")
    with open(config, "w") as f:
        f.write("SAUVEGARDE1=N\nSAUVEGARDE2=N\nORIENTATION=O\n")
    answers, start = {}, time.monotonic()
    for page, _ in pages:
        out = subprocess.run([nivelo, "/c" + config, page], cwd=work, capture_output=True, text=True).stdout
        m = re.search(r"^orientation : (\d+)$", out, re.M)
        answers[page] = int(m.group(1)) if m else None
    return answers, (time.monotonic() - start) / len(pages)


def lept_answers(lept, pages):
    out = subprocess.run([lept] + [p for p, _ in pages], capture_output=True, text=True).stdout
    answers, per_page = {}, None
    for line in out.splitlines():
        name, answer = line.rsplit(" ", 1) if not line.startswith("time ") else ("", "")
        if line.startswith("time "):
            per_page = float(line.split()[1]) / 1000
        else:
            answers[name] = None if answer == "-" else int(answer)
    return answers, per_page


def tesseract_answer(page):
    env = dict(os.environ, OMP_THREAD_LIMIT="1")  # one core a page: two pages side by side
    out = subprocess.run(["tesseract", page, "-", "--psm", "0"], capture_output=True, text=True, env=env)
    m = re.search(r"^Rotate: (\d+)$", out.stdout + out.stderr, re.M)
    return int(m.group(1)) if m else None


def tesseract_answers(pages):
    start = time.monotonic()
    with ThreadPoolExecutor(max_workers=2) as pool:
        found = list(pool.map(tesseract_answer, [p for p, _ in pages]))
    # Two at a time: the time a page is twice the wall time's share.
    return dict(zip([p for p, _ in pages], found)), 2 * (time.monotonic() - start) / len(pages)


def has_tesseract_osd():
    if shutil.which("tesseract") is None:
        return False
    out = subprocess.run(["tesseract", "--list-langs"], capture_output=True, text=True)
    return re.search(r"^osd$", out.stdout + out.stderr, re.M) is not None


def main():
    nivelo, pages_dir, work = (os.path.abspath(a) for a in sys.argv[1:4])
    lept = sys.argv[4] if len(sys.argv) > 4 and os.path.exists(sys.argv[4]) else None
    pages = turned_pages(pages_dir, work)
    tools = [("nivelo ORIENTATION=O (whole run)", nivelo_answers(nivelo, pages, work))]
    if lept:
        tools.append(("leptonica pixOrientDetect (detection alone)", lept_answers(lept, pages)))
    if has_tesseract_osd():
        tools.append(("Tesseract OSD, --psm 0", tesseract_answers(pages)))
    print("| %-44s | %5s | %5s | %9s | %11s |" % ("tool", "right", "wrong", "undecided", "s a page"))
    print("|%s|%s|%s|%s|%s|" % ("-" * 46, "-" * 7, "-" * 7, "-" * 11, "-" * 13))
    for name, (answers, per_page) in tools:
        right = sum(1 for p, want in pages if answers.get(p) == want)
        undecided = sum(1 for p, _ in pages if answers.get(p) is None)
        wrong = [p for p, want in pages if answers.get(p) not in (None, want)]
        print("| %-44s | %5d | %5d | %9d | %11.3f |" % (name, right, len(wrong), undecided, per_page or 0))
        for p in wrong:
            print("   wrong: %s (%s)" % (os.path.basename(p), name))
    print("%d pages in four orientations, %d images." % (len(pages) // 4, len(pages)))


if __name__ == "__main__":
    main()
