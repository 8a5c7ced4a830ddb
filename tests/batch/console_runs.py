#!/usr/bin/env python3
"""Console runs of the real nivelo (console_runs.txt): arguments, a
configuration, the exit status and the lines printed.

    console_runs.py NIVELO

Each run starts in a fresh folder holding the three small pages, the
folders un/ and deux/, and a file named taken where a folder is wanted.  No file of
a run whose status is 2 may be written.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def tga(path, width, height, pixel):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 3, 0, 0, 0, 0, 0, width, height, 8, 0x20)
    body = bytes(pixel(x, y) for y in range(height) for x in range(width))
    with open(path, "wb") as f:
        f.write(header + body)


def make_pages(folder):
    # Lines rising to the right by about 1.6 degrees.
    tga(os.path.join(folder, "page.tga"), 240, 160,
        lambda x, y: 0 if 20 < x < 220 and (y + x * 3 // 100) % 16 < 2 and y > 12 else 255)
    tga(os.path.join(folder, "inverted.tga"), 120, 120, lambda x, y: 250 if y % 20 < 3 and 20 < x < 100 else 0)
    tga(os.path.join(folder, "inverted_bw.tga"), 120, 120, lambda x, y: 255 if y % 20 < 2 else 0)
    for sub in ("un", "deux"):
        os.makedirs(os.path.join(folder, sub))
    with open(os.path.join(folder, "taken"), "w") as f:
        f.write("not a folder")


def matches(lines, expected, usage):
    want = []
    for w in expected.split(" | "):
        want += usage[w] if w in usage else [w]
    if len(lines) != len(want):
        return False
    return all(l.startswith(w[:-3]) if w.endswith("...") else l == w for l, w in zip(lines, want))


def main():
    nivelo = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as empty:  # no config.txt to read
        usage = {w: subprocess.run([nivelo, *a], capture_output=True, cwd=empty).stdout.decode().splitlines()
                 for w, a in (("usage", []), ("help", ["--help"]))}
    failures, count = [], 0
    with open(os.path.join(HERE, "console_runs.txt"), encoding="utf-8") as f:
        rows = [l.rstrip("\n").split("\t") for l in f if l.strip() and not l.startswith("#")]
    for arguments, configuration, status, expected in rows:
        count += 1
        work = tempfile.mkdtemp(prefix="nivelo_console_")
        try:
            make_pages(work)
            if configuration != "-":
                text = configuration.replace("\\ufeff", "\ufeff").replace("\\r", "\r").replace(";", "\n")
                with open(os.path.join(work, "c.txt"), "w", encoding="utf-8") as c:
                    c.write(text + "\n")
            before = sorted(os.listdir(work))
            args = [a for a in arguments.split(";") if a]
            p = subprocess.run([nivelo] + args, cwd=work, capture_output=True, timeout=60)
            lines = p.stdout.decode(errors="replace").splitlines()
            what = "%s [%s]" % (arguments, configuration)
            if p.returncode != int(status) or p.stderr:
                failures.append("%s: status %d (expected %s), standard error %r\n  %s"
                                % (what, p.returncode, status, p.stderr[:300], "\n  ".join(lines)))
            elif not matches(lines, expected, usage):
                failures.append("%s: printed\n  %s\nexpected\n  %s" % (what, "\n  ".join(lines),
                                                                       expected.replace(" | ", "\n  ")))
            elif status == "2" and sorted(os.listdir(work)) != before:
                failures.append("%s: a refused run wrote %s" % (what, sorted(set(os.listdir(work)) - set(before))))
        finally:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED " + f)
    print("%d console runs, %d failed" % (count, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
