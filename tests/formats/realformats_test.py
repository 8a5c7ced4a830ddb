#!/usr/bin/env python3
"""The published real files (../shared/realformats beside the repository:
JPEG, PNG and G4 TIFF as their producers made them) open and straighten
with AFFINAGE=O, each at the angle nivelo finds on the same page converted
to the TIFF kinds it read at first (../shared/realpages), within 0.02
degrees.  Skipped (status 77) when the folder is not there.

    realformats_test.py NIVELO SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile

TOLERANCE = 0.02
CONFIG = "ROTATION=o\nAFFINAGE=O\nRECADRAGE1=o\nFLOU=o\nRECADRAGE2=o\nSAUVEGARDE1=n\nSAUVEGARDE2=n\n"


def angle(nivelo, work, path):
    run = subprocess.run([nivelo, "/cconf.txt", path], cwd=work, capture_output=True, text=True, timeout=600)
    lines = run.stdout.splitlines()
    if run.returncode != 0 or not lines or lines[-1] != path + " done.":
        return None, lines
    numbers = [float(l) for l in lines if l.lstrip("-").replace(".", "", 1).isdigit()]
    return (numbers[-1] if numbers else None), lines


def main():
    nivelo, source = os.path.abspath(sys.argv[1]), sys.argv[2]
    shared = os.path.join(os.path.dirname(os.path.abspath(source)), "shared")
    formats, pages = os.path.join(shared, "realformats"), os.path.join(shared, "realpages")
    if not os.path.isdir(formats) or not os.path.isdir(pages):
        print("no %s: skipped" % formats)
        return 77
    work = tempfile.mkdtemp(prefix="nivelo_real_")
    with open(os.path.join(work, "conf.txt"), "w") as f:
        f.write(CONFIG)
    failures, compared = [], 0
    for name in sorted(os.listdir(formats)):
        if name.endswith(".md"):
            continue
        found, said = angle(nivelo, work, os.path.join(formats, name))
        if found is None:
            failures.append("%s did not straighten: %r" % (name, said))
            continue
        twin = os.path.join(pages, os.path.splitext(name)[0] + ".tif")
        if not os.path.exists(twin):
            continue
        expected, said = angle(nivelo, work, twin)
        compared += 1
        if expected is None or abs(found - expected) > TOLERANCE:
            failures.append("%s: %s degrees, its TIFF twin %s" % (name, found, expected))
    for f in failures:
        print("FAILED " + f)
    print("%d files compared with their twin, %d failures" % (compared, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
