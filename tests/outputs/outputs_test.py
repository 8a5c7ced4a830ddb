#!/usr/bin/env python3
"""Whole runs of the real nivelo over committed pages (cases.txt), each
reduced to digests: one of its console text with its exit status
("console=") and one of every file it writes, by folder and name
("deux/page.tga=").

    outputs_test.py NIVELO [--part K/N] [--reference REF] [--update [ROW ...]]

A digest that changes means a result byte changed: nivelo's results must stay
the same from build to build and machine to machine.  Rows that differ only
in the switches choosing the routines (NIVELO_PLAIN, NIVELO_NOVECTOR,
NIVELO_THREADS) must also agree with each other, whatever the committed
digests say: the fast routines may never change a byte.

A failing row names the first file whose digest changed (the console first,
then the files in the order of the row) and prints the console text; the
run's files are kept, in a folder named in the message.  The table stores no
images, so to see the first pixel that changed, name a build that still gives
the committed results with --reference (or the environment variable
NIVELO_REFERENCE): the failing rows are run again with it, beside the kept
files, and the first file that differs is compared pixel by pixel (TGA and
uncompressed TIFF; other files byte by byte).  A reference that does not give
the committed digests itself is named as such.

--update rewrites the digests of the rows named after it, and only those: a
ROW is a line number of cases.txt, a range such as 40-52, or a text found in
the row (samples/page.tga, AFFINAGE=O).  Rows whose digest column is empty or
"-" (a row just added) are filled in by any --update; without it they fail.
A row with the single digest of the layout before (a branch begun before
per-file digests) is checked against it, and any --update rewrites it with
per-file digests once it passes.
--part K/N runs the K-th of N shares of the rows, so that the shares run side
by side; rows that must agree fall in the same share.  Rows named by
--update are run whatever the share.
"""
import argparse
import gzip
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

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
    """Runs a row in the empty folder work: its digests, in order, the one
    digest of everything of the layout before them, and its console text."""
    source, arguments, configuration, environment = row[:4]
    for folder in FOLDERS:
        os.makedirs(os.path.join(work, folder))
    name = os.path.basename(source.removesuffix(".gz"))
    with open(os.path.join(ROOT, source), "rb") as f:
        data = gzip.decompress(f.read()) if source.endswith(".gz") else f.read()
    with open(os.path.join(work, name), "wb") as f:
        f.write(data)
    with open(os.path.join(work, "conf.txt"), "w") as f:
        f.write("\n".join(BASE + words(configuration)) + "\n")
    env = {k: v for k, v in os.environ.items() if k not in ROUTINE_SWITCHES}
    env.update(w.split("=", 1) for w in words(environment))
    command = [nivelo, "/cconf.txt"] + words(arguments.replace(" ", ";")) + [name]  # "-": no argument
    done = subprocess.run(command, cwd=work, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    console = b"status %d\n" % done.returncode + done.stdout
    found, whole = {"console": hashlib.sha256(console).hexdigest()[:16]}, hashlib.sha256(console)
    for folder in FOLDERS:
        top = os.path.join(work, folder)
        for place, _, files in sorted(os.walk(top)):
            for entry in sorted(files):
                path = os.path.join(place, entry)
                with open(path, "rb") as f:
                    data = f.read()
                found[os.path.relpath(path, work)] = hashlib.sha256(data).hexdigest()[:16]
                whole.update(b"\0%s\0" % os.path.relpath(path, work).encode() + data)
    return found, whole.hexdigest()[:16], done.stdout.decode(errors="replace")


def parse(column):
    return dict(w.split("=", 1) for w in words(column) if "=" in w)


def show(digests):
    return ";".join("%s=%s" % item for item in digests.items())


def first_change(expected, found):
    """The first name whose digest differs, and how."""
    for name in list(expected) + [n for n in found if n not in expected]:
        if name not in found:
            return name, "expected but not written"
        if name not in expected:
            return name, "written but not expected"
        if expected[name] != found[name]:
            return name, "digest %s, expected %s" % (found[name], expected[name])
    return None, "same"


def same_run(row):
    """The run a row makes, whatever routines it chooses."""
    return tuple(row[:3]) + tuple(w for w in words(row[3]) if not w.startswith(ROUTINE_SWITCHES))


def named(number, row, patterns):
    for p in patterns:
        low, _, high = p.partition("-")
        if low.isdigit() and (high or low).isdigit():
            if int(low) <= number <= int(high or low):
                return True
        elif p in "\t".join(row):
            return True
    return False


def compare_with_reference(reference, row, kept, found):
    """The reference's run beside the kept one, and where the two first part."""
    beside = kept + ".reference"
    shutil.rmtree(beside, ignore_errors=True)
    theirs, _, _ = run(reference, row, beside)
    note = "" if theirs == parse(row[4]) else " (the reference does not give the committed digests either)"
    name, how = first_change(theirs, found)
    if name is None:
        return "reference %s gives the same results%s" % (beside, note)
    if name == "console" or name not in found or name not in theirs:
        return "against the reference in %s%s: %s %s" % (beside, note, name, how)
    where = pixels.first_difference(os.path.join(beside, name), os.path.join(kept, name))
    return "against the reference in %s%s: %s, %s" % (beside, note, name, where)


def main():
    options = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    options.add_argument("nivelo")
    options.add_argument("--part", default="1/1")
    options.add_argument("--reference", default=os.environ.get("NIVELO_REFERENCE"))
    options.add_argument("--update", nargs="*", metavar="ROW")
    args = options.parse_args()
    nivelo = os.path.abspath(args.nivelo)
    reference = os.path.abspath(args.reference) if args.reference else None
    part, parts = map(int, args.part.split("/"))
    path = os.path.join(HERE, "cases.txt")
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    work = tempfile.mkdtemp(prefix="nivelo_outputs_")
    kept_root, failures, by_run, rewritten = None, [], {}, []
    try:
        for i, line in enumerate(lines):
            if line.startswith("#") or not line.strip():
                continue
            row = line.split("\t")
            row += [""] * (6 - len(row))
            number, key = i + 1, same_run(row)
            fill = args.update is not None and row[4] in ("", "-")
            chosen = fill or (args.update is not None and named(number, row, args.update))
            if not chosen and int(hashlib.sha256(repr(key).encode()).hexdigest(), 16) % parts != part - 1:
                continue
            scratch = os.path.join(work, "run")
            shutil.rmtree(scratch, ignore_errors=True)
            found, whole, output = run(nivelo, row, scratch)
            what = "line %d (%s %s [%s] [%s])" % (number, row[0], row[1], row[2], row[3])
            # A row with the one digest of the layout before (from a branch begun
            # before the change) passes on it, and --update converts it.
            earlier = row[4] not in ("", "-") and "=" not in row[4]
            passes = show(found) == row[4] or (earlier and whole == row[4])
            if chosen or (passes and earlier and args.update is not None):
                if not passes or earlier:
                    rewritten.append(what)
                row[4] = show(found)
                lines[i] = "\t".join(row)
            elif not passes:
                kept_root = kept_root or tempfile.mkdtemp(prefix="nivelo_outputs_kept_")
                kept = os.path.join(kept_root, "line%d" % number)
                shutil.move(scratch, kept)
                if row[4] in ("", "-"):
                    message = "%s: no digests yet; fill them in with --update" % what
                elif earlier:
                    message = ("%s: digest %s, expected %s (one digest for the whole run: name the row to --update "
                               "to see each file's); the run's files are kept in %s" % (what, whole, row[4], kept))
                else:
                    name, how = first_change(parse(row[4]), found)
                    message = "%s: %s %s; the run's files are kept in %s" % (what, name, how, kept)
                    if reference:
                        message += "\n  " + compare_with_reference(reference, row, kept, found)
                failures.append(message + "\n" + output)
            first = by_run.setdefault(key, (found, row[3] or "-"))
            if first[0] != found:
                name, how = first_change(first[0], found)
                failures.append("%s: the routines chosen by %s changed the result: %s %s against [%s]"
                                % (what, row[3], name, how, first[1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if args.update is not None:
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        for what in rewritten:
            print("rewritten: %s" % what)
    for failure in failures:
        print(failure)
    print("%d failures%s" % (len(failures), ", %d rows rewritten" % len(rewritten) if args.update is not None else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
