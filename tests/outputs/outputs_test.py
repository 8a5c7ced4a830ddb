#!/usr/bin/env python3
"""Whole runs of the real nivelo over committed pages (cases.txt), each
reduced to one digest of everything the run leaves: its console text and
every file it writes, by name.

    outputs_test.py NIVELO [--update] [--part K/N]

A digest that changes means a result byte changed: nivelo's results must stay
the same from build to build and machine to machine.  Rows that differ only
in the switches choosing the routines (NIVELO_PLAIN, NIVELO_NOVECTOR,
NIVELO_THREADS) must also agree with each other, whatever the committed
digests say: the fast routines may never change a byte.  --update rewrites
the digest column after a deliberate change of output.  --part K/N runs the
K-th of N shares of the runs, so that the shares run side by side; runs
that must agree fall in the same share.
"""
import gzip
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ROUTINE_SWITCHES = ("NIVELO_PLAIN", "NIVELO_NOVECTOR", "NIVELO_THREADS")
# Every stage on, results in two folders of the run's own.
BASE = ["RECADRAGE1=o", "FLOU=o", "SAUVEGARDE1=o", "ROTATION=o", "RECADRAGE2=o",
        "SAUVEGARDE2=o", 'REPERTOIRE1="un/"', 'REPERTOIRE2="deux/"']


def words(column):
    return [] if column == "-" else column.split(";")


def digest(nivelo, row, work):
    source, arguments, configuration, environment = row[:4]
    shutil.rmtree(work, ignore_errors=True)
    for folder in ("un", "deux"):
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
    run = subprocess.run([nivelo, "/cconf.txt"] + words(arguments.replace(" ", ";")) + [name], cwd=work, env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    h = hashlib.sha256(b"status %d\n" % run.returncode + run.stdout)
    for folder in ("un", "deux"):
        for entry in sorted(os.listdir(os.path.join(work, folder))):
            with open(os.path.join(work, folder, entry), "rb") as f:
                h.update(b"\0%s/%s\0" % (folder.encode(), entry.encode()) + f.read())
    return h.hexdigest()[:16], run.stdout.decode(errors="replace")


def same_run(row):
    """The run a row makes, whatever routines it chooses."""
    return tuple(row[:3]) + tuple(w for w in words(row[3]) if not w.startswith(ROUTINE_SWITCHES))


def main():
    nivelo, update = os.path.abspath(sys.argv[1]), "--update" in sys.argv
    part, parts = map(int, sys.argv[sys.argv.index("--part") + 1].split("/")) if "--part" in sys.argv else (1, 1)
    path = os.path.join(HERE, "cases.txt")
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    work = tempfile.mkdtemp(prefix="nivelo_outputs_")
    failures, by_run = [], {}
    try:
        for i, line in enumerate(lines):
            if line.startswith("#") or not line.strip():
                continue
            row = line.split("\t")
            key = same_run(row)
            if int(hashlib.sha256(repr(key).encode()).hexdigest(), 16) % parts != part - 1:
                continue
            found, output = digest(nivelo, row, os.path.join(work, "run"))
            if found != row[4]:
                failures.append("%s %s [%s] [%s]: digest %s, expected %s\n%s"
                                % (row[0], row[1], row[2], row[3], found, row[4], output))
                row[4] = found
                lines[i] = "\t".join(row)
            if by_run.setdefault(key, found) != found:
                failures.append("%s %s [%s] [%s]: the routines chosen by %s changed the result"
                                % (row[0], row[1], row[2], row[3], row[3]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if update:
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
    for failure in failures:
        print(failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
