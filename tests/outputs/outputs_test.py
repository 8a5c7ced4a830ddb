#!/usr/bin/env python3
"""Runs the real nivelo over the committed pages of cases.txt and checks the
digests of its console text (with exit status) and of every file it writes.

    outputs_test.py NIVELO [--part K/N] [--reference REF] [--update [ROW ...]]

Rows differing only in NIVELO_PLAIN, NIVELO_NOVECTOR or NIVELO_THREADS must
also agree with each other.  A failure names the first changed file and keeps
the run's files; --reference (or NIVELO_REFERENCE), a build still giving the
committed results, is run beside them to name the first differing pixel.
--update rewrites the named rows (line, range 40-52, or text in the row) and
rows with no digests.  --part K/N runs one share of N; rows that must agree share one.
"""
import argparse
import gzip
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import pixels

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ROUTINE_SWITCHES = ("NIVELO_PLAIN", "NIVELO_NOVECTOR", "NIVELO_THREADS")
FOLDERS = ("un", "deux")
# Every stage on, results in two folders of the run's own.
BASE = ["RECADRAGE1=o", "FLOU=o", "SAUVEGARDE1=o", "ROTATION=o", "RECADRAGE2=o",
        "SAUVEGARDE2=o", 'REPERTOIRE1="un/"', 'REPERTOIRE2="deux/"']


def words(column):
    return [] if column in ("-", "") else column.split(";")


def run(nivelo, row, work):
    """Runs a row in the empty folder work: its digests in order and its
    console text."""
    source, arguments, configuration, environment = row[:4]
    for folder in FOLDERS:
        os.makedirs(os.path.join(work, folder))
    name, data = os.path.basename(source.removesuffix(".gz")), Path(ROOT, source).read_bytes()
    Path(work, name).write_bytes(gzip.decompress(data) if source.endswith(".gz") else data)
    Path(work, "conf.txt").write_text("\n".join(BASE + words(configuration)) + "\n")
    env = {k: v for k, v in os.environ.items() if k not in ROUTINE_SWITCHES}
    env.update(w.split("=", 1) for w in words(environment))
    command = [nivelo, "/cconf.txt"] + words(arguments.replace(" ", ";")) + [name]  # "-": no argument
    done = subprocess.run(command, cwd=work, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    console = b"status %d\n" % done.returncode + done.stdout
    found = {"console": hashlib.sha256(console).hexdigest()[:16]}
    for folder in FOLDERS:
        for place, _, files in sorted(os.walk(os.path.join(work, folder))):
            for entry in sorted(files):
                relative = os.path.relpath(os.path.join(place, entry), work)
                data = Path(work, relative).read_bytes()
                found[relative] = hashlib.sha256(data).hexdigest()[:16]
    return found, done.stdout.decode(errors="replace")


def parse(column):
    return dict(w.split("=", 1) for w in words(column) if "=" in w)


def show(digests):
    return ";".join("%s=%s" % item for item in digests.items())


def first_change(expected, found):
    """The first name whose digest differs, and how."""
    for name in list(expected) + [n for n in found if n not in expected]:
        if name not in found or name not in expected:
            return name, "expected but not written" if name not in found else "written but not expected"
        if expected[name] != found[name]:
            return name, "digest %s, expected %s" % (found[name], expected[name])
    return None, "same"


def same_run(row):
    """The run a row makes, whatever routines it chooses."""
    return tuple(row[:3]) + tuple(w for w in words(row[3]) if not w.startswith(ROUTINE_SWITCHES))


def named(number, row, patterns):
    def hit(p):
        low, _, high = p.partition("-")
        if low.isdigit() and (high or low).isdigit():
            return int(low) <= number <= int(high or low)
        return p in "\t".join(row)
    return any(hit(p) for p in patterns)


def compare_with_reference(reference, row, kept, found):
    """The reference's run beside the kept one, and where the two first part."""
    beside = kept + ".reference"
    shutil.rmtree(beside, ignore_errors=True)
    theirs, _, _ = run(reference, row, beside)
    note = "" if theirs == parse(row[4]) else " (the reference does not give the committed digests either)"
    name, how = first_change(theirs, found)
    if name is None:
        return "reference %s gives the same results%s" % (beside, note)
    if name != "console" and name in found and name in theirs:
        how = pixels.first_difference(os.path.join(beside, name), os.path.join(kept, name))
        name += ","
    return "against the reference in %s%s: %s %s" % (beside, note, name, how)


def main():
    options = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    options.add_argument("nivelo")
    options.add_argument("--part", default="1/1")
    options.add_argument("--reference", default=os.environ.get("NIVELO_REFERENCE"))
    options.add_argument("--update", nargs="*", metavar="ROW")
    args = options.parse_args()
    nivelo, updating = os.path.abspath(args.nivelo), args.update is not None
    reference = os.path.abspath(args.reference) if args.reference else None
    part, parts = map(int, args.part.split("/"))
    path = os.path.join(HERE, "cases.txt")
    lines = Path(path).read_text(encoding="utf-8").splitlines()
    kept_root, failures, by_run, rewritten = None, [], {}, []
    with tempfile.TemporaryDirectory(prefix="nivelo_outputs_", ignore_cleanup_errors=True) as work:
        for i, line in enumerate(lines):
            if line.startswith("#") or not line.strip():
                continue
            row = line.split("\t")
            row += [""] * (6 - len(row))
            number, key, empty = i + 1, same_run(row), row[4] in ("", "-")
            chosen = updating and (empty or named(number, row, args.update))
            if not chosen and int(hashlib.sha256(repr(key).encode()).hexdigest(), 16) % parts != part - 1:
                continue
            scratch = os.path.join(work, "run")
            shutil.rmtree(scratch, ignore_errors=True)
            found, output = run(nivelo, row, scratch)
            what = "line %d (%s %s [%s] [%s])" % (number, row[0], row[1], row[2], row[3])
            passes = show(found) == row[4]
            if chosen:
                if not passes:
                    rewritten.append(what)
                row[4] = show(found)
                lines[i] = "\t".join(row)
            elif not passes:
                kept_root = kept_root or tempfile.mkdtemp(prefix="nivelo_outputs_kept_")
                kept = os.path.join(kept_root, "line%d" % number)
                shutil.move(scratch, kept)
                if empty:
                    message = "%s: no digests yet; fill them in with --update" % what
                else:
                    message = "%s: %s %s; the run's files are kept in %s" % ((what,) + first_change(parse(row[4]), found) + (kept,))
                    if reference:
                        message += "\n  " + compare_with_reference(reference, row, kept, found)
                failures.append(message + "\n" + output)
            first = by_run.setdefault(key, (found, row[3] or "-"))
            if first[0] != found:
                failures.append("%s: the routines chosen by %s changed the result: %s %s against [%s]"
                                % ((what, row[3]) + first_change(first[0], found) + (first[1],)))
    if updating:
        Path(path).write_text("\n".join(lines) + "\n", encoding="utf-8")
        print("".join("rewritten: %s\n" % what for what in rewritten), end="")
    print("".join(failure + "\n" for failure in failures), end="")
    print("%d failures%s" % (len(failures), ", %d rows rewritten" % len(rewritten) if updating else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
