#!/usr/bin/env python3
"""nivelo-batch end to end: a folder of 30 small pages (two damaged, some
names with blanks, quotes and ';', the same base names in two folders) run
locally, killed halfway and resumed, and (five of them) run on two stand-in
machines with the pages transferred.  Every run must give the same result bytes.

usage: nivelo_batch_test.py <nivelo-batch> <nivelo>
"""
import csv
import filecmp
import os
import signal
import subprocess
import sys
import tempfile

BATCH, NIVELO = (os.path.abspath(a) for a in sys.argv[1:3])
FAILURES = []
ODD = "b/page 07; l'\"autre\".tga"
DAMAGED = {"a/p03.tif": b"II*\0garbage", "b/p11.TGA": None}


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def tga(seed, width=96, height=72):
    """A colour page: light paper, dark bars in lines on a slope."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            line = (y - (x * seed) // 60) % 12
            ink = 8 <= x < width - 8 and 2 <= line <= 5 and (x // 9 + seed) % 4
            row += bytes((30, 35, 40)) if ink else bytes((225 - seed, 230, 235))
        rows.append(bytes(row))
    header = bytes([0, 0, 2]) + bytes(9) + width.to_bytes(2, "little") + \
        height.to_bytes(2, "little") + bytes([24, 0x20])
    return header + b"".join(rows)


def make_pages(root):
    names = []
    for i in range(30):
        name = ("a" if i < 15 else "b") + "/p%02d.tga" % (i % 15)
        names.append(name)
    names[7 + 15] = ODD
    names[3] = "a/p03.tif"
    names[11 + 15] = "b/p11.TGA"
    for i, name in enumerate(names):
        path = os.path.join(root, "scans", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = DAMAGED.get(name, b"") or tga(i % 15 + 1)
        if name == "b/p11.TGA":
            data = tga(3)[:100]  # cut short
        with open(path, "wb") as f:
            f.write(data)
    with open(os.path.join(root, "config.txt"), "w") as f:
        f.write('REPERTOIRE1="out1/"\nrepertoire2="out2/"\n')
    return ["scans/" + n for n in names]


def run(root, *args, env=None, wait=True):
    environment = dict(os.environ, NIVELO=env or NIVELO)
    process = subprocess.Popen([BATCH, *args], cwd=root, env=environment, start_new_session=True,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if not wait:
        return process
    out, _ = process.communicate(timeout=600)
    return process.returncode, out


def report(root):
    with open(os.path.join(root, "nivelo-rapport.csv"), newline="") as f:
        rows = list(csv.reader(f))
    check(rows[0] == ["fichier", "statut", "angle", "secondes", "message"], "report header")
    return {r[0]: r[1:] for r in rows[1:]}


def same_results(root, reference, what, count):
    """Every result under root has the bytes of the reference run's."""
    found = [os.path.relpath(os.path.join(d, f), root) for out in ("out1", "out2")
             for d, _, fs in os.walk(os.path.join(root, out)) for f in fs]
    check(len(found) == count, "%s: %d results %s" % (what, len(found), sorted(found)))
    match, mismatch, errors = filecmp.cmpfiles(root, reference, found, shallow=False)
    check(not mismatch and not errors, "%s: %s differ" % (what, mismatch + errors))


def local_run(root, pages):
    status, out = run(root, "-j", "2", "scans")
    check(status == 1, "exit status 1 with failed pages, got %d" % status)
    check(out.splitlines()[-1].startswith("30 pages, 2 en échec, 0 déjà faites, "), "summary: " + out)
    rows = report(root)
    check(sorted(rows) == sorted(pages), "one row a page")
    failed = sorted(p for p, r in rows.items() if r[0] == "failed")
    check(failed == ["scans/a/p03.tif", "scans/b/p11.TGA"], "failed pages %s" % failed)
    check(all(rows[p][3] for p in failed), "failed pages carry nivelo's message")
    good = [r for p, r in rows.items() if p not in failed]
    check(all(r[0] == "ok" and r[1] and float(r[2]) >= 0 and not r[3] for r in good), "ok rows")
    for name in ("out2/scans/a/p00.tga", "out2/scans/b/p00.tga", "out2/scans/b/page 07; l'\"autre\".tga"):
        check(os.path.isfile(os.path.join(root, name)), "result " + name)


def killed_and_resumed(root, reference):
    """The batch is killed (as Ctrl-C would, the whole group) while it works
    on the page b/p02.tga; --resume then finishes it."""
    log = os.path.join(root, "runs.log")
    wrapper = os.path.join(root, "nivelo-logged")
    with open(wrapper, "w") as f:
        f.write('#!/bin/bash\npage=${!#}\n'
                'if [[ -n ${KILL_AT:-} && $page == "$KILL_AT" ]]; then kill -TERM -- -"$(cat batch.pid)"; sleep 30; fi\n'
                'echo "start $page" >>runs.log\n"%s" "$@"\nstatus=$?\necho "end $page" >>runs.log\nexit $status\n'
                % NIVELO)
    os.chmod(wrapper, 0o755)
    os.environ["KILL_AT"] = "scans/b/p02.tga"
    process = run(root, "-j", "2", "scans", env=wrapper, wait=False)
    with open(os.path.join(root, "batch.pid"), "w") as f:
        f.write(str(process.pid))
    first, _ = process.communicate(timeout=600)
    del os.environ["KILL_AT"]
    check(process.returncode != 0, "killed batch reports failure")
    leftovers = [f for d, _, fs in os.walk(root) for f in fs if f.endswith(".part")]
    check(not leftovers, "partial files after the kill: %s" % leftovers)
    with open(log) as f:
        ended_first = {line[4:].rstrip("\n") for line in f if line.startswith("end ")}
    check(0 < len(ended_first) < 30, "killed halfway (%d pages done)" % len(ended_first))
    os.remove(log)
    status, out = run(root, "-j", "2", "--resume", "scans", env=wrapper)
    print("resumed run:", out.splitlines()[-1])
    with open(log) as f:
        started_again = {line[6:].rstrip("\n") for line in f if line.startswith("start ")}
    redone = ended_first & started_again - {"scans/" + d for d in DAMAGED}
    check(not redone, "pages done twice: %s" % sorted(redone))
    rows = report(root)
    skipped = [p for p, r in rows.items() if r[0] == "skipped"]
    check(len(skipped) == len(ended_first - {"scans/" + d for d in DAMAGED}), "skipped rows")
    check(status == 1 and ", 2 en échec, %d déjà faites," % len(skipped) in out, "resumed summary: " + out)
    same_results(root, reference, "resumed", 56)


def two_machines(root, reference):
    """Two 'machines' reached through a stand-in for ssh that runs the command
    in a folder of its own; the pages exist only where they were sent."""
    ssh = os.path.join(root, "fake-ssh")
    with open(ssh, "w") as f:
        f.write('#!/bin/bash\nwhile [[ $1 == -* ]]; do [[ $1 == -[lpo] ]] && shift; shift; done\n'
                'host=$1; shift; [[ ${1:-} == -- ]] && shift\n'
                'echo "$host $*" >>"%s/ssh.log"\n'
                'mkdir -p "%s/machines/$host" && cd "%s/machines/$host" && exec bash -c "$*"\n' % (root, root, root))
    os.chmod(ssh, 0o755)
    pages = ["scans/b/p%02d.tga" % i for i in (0, 1, 2)] + ["scans/" + ODD, "scans/b/p11.TGA"]
    status, out = run(root, "--trc", "--ssh", ssh, "-S", "1/m1", "-S", "1/m2", *pages)
    check(status == 1 and out.splitlines()[-1].startswith("5 pages, 1 en échec, 0 déjà faites"),
          "two machines: " + out)
    with open(os.path.join(root, "ssh.log")) as f:
        workers = {line.split()[0] for line in f if "GNU_Parallel_worker" in line}
    check(workers == {"m1", "m2"}, "pages run on both machines: %s" % workers)
    same_results(root, reference, "two machines", 8)


def main():
    with tempfile.TemporaryDirectory() as reference, tempfile.TemporaryDirectory() as resumed, \
            tempfile.TemporaryDirectory() as remote:
        pages = make_pages(reference)
        make_pages(resumed)
        make_pages(remote)
        local_run(reference, pages)
        killed_and_resumed(resumed, reference)
        two_machines(remote, reference)
    print("%d failure(s)" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
