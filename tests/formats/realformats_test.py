#!/usr/bin/env python3
"""The published real files (../shared/realformats: JPEG, PNG and G4 TIFF as
their producers made them) straighten with AFFINAGE=O within 0.02 degrees of
their TIFF twins (../shared/realpages).  Skipped (77) without those folders.
    realformats_test.py NIVELO SOURCE_DIR"""
import os
import subprocess
import sys
import tempfile


def angle(nivelo, work, path):
    """The last angle nivelo prints for path, or None if it did not finish; and what it printed."""
    run = subprocess.run([nivelo, "/cconf.txt", path], cwd=work, capture_output=True, text=True, timeout=600)
    lines = run.stdout.splitlines()
    numbers = [float(l) for l in lines if l.lstrip("-").replace(".", "", 1).isdigit()]
    return (numbers[-1] if run.returncode == 0 and numbers and lines[-1] == path + " done." else None), lines


def main():
    shared = os.path.join(os.path.dirname(os.path.abspath(sys.argv[2])), "shared")
    formats, pages = os.path.join(shared, "realformats"), os.path.join(shared, "realpages")
    if not os.path.isdir(formats) or not os.path.isdir(pages):
        print("no %s: skipped" % formats)
        return 77
    nivelo, work, failures, compared = os.path.abspath(sys.argv[1]), tempfile.mkdtemp(prefix="nivelo_real_"), [], 0
    with open(os.path.join(work, "conf.txt"), "w") as f:
        f.write("ROTATION=o\nAFFINAGE=O\nRECADRAGE1=o\nFLOU=o\nRECADRAGE2=o\nSAUVEGARDE1=n\nSAUVEGARDE2=n\n")
    for name in sorted(n for n in os.listdir(formats) if not n.endswith(".md")):
        found, said = angle(nivelo, work, os.path.join(formats, name))
        twin = os.path.join(pages, os.path.splitext(name)[0] + ".tif")
        if found is None:
            failures.append("%s did not straighten: %r" % (name, said))
        elif os.path.exists(twin):
            expected, compared = angle(nivelo, work, twin)[0], compared + 1
            if expected is None or abs(found - expected) > 0.02:
                failures.append("%s: %s degrees, its TIFF twin %s" % (name, found, expected))
    print("".join("FAILED %s\n" % f for f in failures) +
          "%d files compared with their twin, %d failures" % (compared, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
