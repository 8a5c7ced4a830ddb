#!/usr/bin/env python3
"""Damaged and made-up files (cases.txt) through the real nivelo executable.

    hostile_inputs.py NIVELO

Every run must exit by itself, with status 0 when the page loads and its
results are written and 1 otherwise, print nothing on standard error,
print exactly the messages of its row, and leave either the earlier
results of that name intact or, when the page loads, complete results.  The
memory rule is applied with NIVELO_MEMORY_LIMIT = 4 GiB so that the outcome
does not depend on the machine.
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
NAME = "page.tga"
EARLIER = b"earlier result"


def hostile_file(base, edit):
    with open(os.path.join(HERE, "files", base), "rb") as f:
        data = bytearray(gzip.decompress(f.read()) if base.endswith(".gz") else f.read())
    for word in edit.split():
        if word.startswith("cut"):
            continue
        if word.isdigit():
            del data[int(word):]
        elif word != "same":
            at, hex_bytes = word.split("=")
            data[int(at):int(at) + len(hex_bytes) // 2] = bytes.fromhex(hex_bytes)
    return bytes(data)


def complete_tga(data):
    if len(data) < 18:
        return False
    map_length = struct.unpack_from("<H", data, 5)[0] if data[1] & 1 else 0
    width, height = struct.unpack_from("<HH", data, 12)
    return len(data) == 18 + 3 * map_length + width * height * (3 if data[2] & 3 == 2 else 1)


def run_case(nivelo, data, expected, work):
    for d in ("out1", "out2"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d))
        with open(os.path.join(work, d, NAME), "wb") as f:
            f.write(EARLIER)
    with open(os.path.join(work, NAME), "wb") as f:
        f.write(data)
    env = dict(os.environ, NIVELO_MEMORY_LIMIT=str(4 << 30))
    try:
        p = subprocess.run([nivelo, "/cconf.txt", NAME], cwd=work, env=env, capture_output=True, timeout=20)
    except subprocess.TimeoutExpired:
        return "hang"
    lines = p.stdout.decode(errors="replace").splitlines()
    done = NAME + " done." in lines
    if p.stderr:
        return "standard error %r" % p.stderr[:200]
    said = "loads" if done else " + ".join(l.replace(NAME, "%") for l in lines) or "silently"
    if said != expected:
        return "printed %r" % lines
    written = 0
    for d in ("out1", "out2"):
        files = os.listdir(os.path.join(work, d))
        with open(os.path.join(work, d, NAME), "rb") as f:
            result = f.read()
        if files != [NAME] or (result != EARLIER and not (done and complete_tga(result))):
            return "%s holds %r, result of %d bytes" % (d, files, len(result))
        written += result != EARLIER
    if p.returncode != (0 if done and written == 2 else 1):
        return "status %d" % p.returncode
    return None


def main():
    nivelo = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="nivelo_hostile_")
    failures, count = [], 0
    try:
        with open(os.path.join(work, "conf.txt"), "w") as f:
            f.write("REPERTOIRE1=out1/\nREPERTOIRE2=out2/\n")
        with open(os.path.join(HERE, "cases.txt"), encoding="utf-8") as f:
            rows = [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]
        for base, edit, expected, what in rows:
            count += 1
            outcome = run_case(nivelo, hostile_file(base, edit), expected, work)
            if outcome:
                failures.append("%s (%s %s): expected %r, %s" % (what, base, edit, expected, outcome))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED " + f)
    print("%d hostile files, %d failed" % (count, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
