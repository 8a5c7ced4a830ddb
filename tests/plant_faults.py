#!/usr/bin/env python3
"""Plants one-line faults (plant_faults.txt), one at a time, and reports which
the suite catches.

    plant_faults.py BUILD_DIR [--only NAME,NAME...] [--asan ASAN_BUILD_DIR] [--tests REGEX]

BUILD_DIR is a configured build of this checkout (release, GUI on).  For each
fault: the line is changed, the build brought up to date, the tests of its
subsystem run first, then, if they pass, the whole ctest suite (stopping at
the first failure); the file is restored whatever happens.  A fault whose
text is no longer in its file is "not applicable": its line has moved and
the table needs re-aiming.  Faults marked asan only show as reads or writes
past a buffer; with --asan they are also run in that sanitizer build.
--tests keeps only the tests whose names match, to see what a part of the
suite catches alone.
"""
import argparse
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# The tests that usually see a subsystem, run first to save time.
FIRST_TESTS = {
    "core": "core|Blit|Save|hostile", "tga": "tga|Tga|hostile",
    "tiff": "tiff|Reader|Writer|Lzw|PackBits|Huffman|hostile",
    "batch": "batch|Driver|Preview|Config|Command|hostile", "gui": "gui|Gui|Panels|Views|Menu|Previews|DailyUse|PageList",
}
STAGES = "Twin|Skew|Stage|Page|Borders|replay"


def faults():
    with open(os.path.join(HERE, "plant_faults.txt"), encoding="utf-8") as f:
        return [line.rstrip("\n").split("\t") for line in f if not line.startswith("#") and line.strip()]


def run(command, cwd, env=None):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", timeout=3600, env=env)
    return result.returncode, result.stdout


def first_failure(output):
    failed = re.findall(r"^\s*\d+ - (\S+) \(", output, re.M)
    return failed[0] if failed else "?"


def test_names(build, keep):
    _, out = run(["ctest", "-N"], build)
    return [n for n in re.findall(r"Test +#\d+: (\S+)", out) if re.search(keep, n)]


def suite(build, pattern, names):
    """(caught, first failing test) for the tests among names matching pattern."""
    chosen = [n for n in names if re.search(pattern, n, re.I)]
    if not chosen:
        return False, ""
    env = dict(os.environ, LSAN_OPTIONS="suppressions=" + os.path.join(HERE, "lsan_suppressions.txt"))
    command = ["ctest", "--stop-on-failure", "-j2", "--timeout", "300",
               "-R", "^(" + "|".join(re.escape(n) for n in chosen) + ")$"]
    code, out = run(command, build, env=env)
    return code != 0, first_failure(out) if code != 0 else ""


def check(build, subsystem, names):
    code, out = run(["cmake", "--build", build, "-j2"], build)
    if code != 0:
        return "build fails", out.strip().splitlines()[-1][:60] if out.strip() else ""
    caught, test = suite(build, FIRST_TESTS.get(subsystem, STAGES) + "|outputs", names)
    if not caught:
        caught, test = suite(build, "", names)
    return ("caught" if caught else "MISSED"), test


def plant(fault, args, names, asan_names):
    name, path, original, replacement, asan, description = fault
    subsystem = name.split("-")[0]
    full = os.path.join(ROOT, path)
    with open(full, encoding="utf-8") as f:
        text = f.read()
    if text.count(original) != 1:
        return "not applicable", ""
    try:
        with open(full, "w", encoding="utf-8") as f:
            f.write(text.replace(original, replacement))
        verdict, test = check(args.build, subsystem, names)
        if asan == "asan" and args.asan and verdict != "caught":
            verdict, test = check(args.asan, subsystem, asan_names)
            verdict += " (sanitizer)"
    finally:
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)
    return verdict, test


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--only", default="")
    parser.add_argument("--asan", default="")
    parser.add_argument("--tests", default="")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.asan = os.path.abspath(args.asan) if args.asan else ""
    only = set(filter(None, args.only.split(",")))
    run(["cmake", "--build", args.build, "-j2"], args.build)
    names = test_names(args.build, args.tests)
    asan_names = test_names(args.asan, args.tests) if args.asan else []
    rows = []
    for fault in (f for f in faults() if not only or f[0] in only):
        started = time.time()
        verdict, test = plant(fault, args, names, asan_names)
        rows.append((fault[0], verdict, test, fault[5]))
        print(f"{fault[0]:26} {verdict:10} {test:40} {time.time() - started:5.0f} s", flush=True)
    for build in filter(None, (args.build, args.asan)):
        run(["cmake", "--build", build, "-j2"], build)
    print(f"\n{'fault':26} {'result':22} {'first failing test':44} description")
    for row in rows:
        print(f"{row[0]:26} {row[1]:22} {row[2]:44} {row[3]}")
    caught = sum(1 for r in rows if r[1].startswith("caught"))
    applicable = sum(1 for r in rows if r[1] != "not applicable")
    print(f"\n{caught} of {applicable} applicable faults caught ({len(rows)} planted)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
