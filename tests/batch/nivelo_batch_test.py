#!/usr/bin/env python3
"""nivelo-batch end to end on 30 small pages in two folders (the same base
names in both, two damaged, one named with blanks, quotes and ';'): a local
run, a run killed halfway then resumed, and five pages on two stand-in
machines with the pages transferred.  Every run gives the same result bytes.

usage: nivelo_batch_test.py <nivelo-batch> <nivelo>
"""
import csv, filecmp, os, subprocess, sys, tempfile, time

BATCH, NIVELO = (os.path.abspath(a) for a in sys.argv[1:3])
ODD = "scans/b/page 07; l'\"autre\".tga"
DAMAGED = ["scans/a/p03.tif", "scans/b/p11.TGA"]
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def tga(seed, width=96, height=72):
    """Light paper with dark bars in lines on a slope."""
    pixels = b"".join(bytes((30, 35, 40)) if 8 <= x < width - 8 and 2 <= (y - x * seed // 60) % 12 <= 5
                      and (x // 9 + seed) % 4 else bytes((225 - seed, 230, 235))
                      for y in range(height) for x in range(width))
    return bytes([0, 0, 2] + [0] * 9) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x18\x20" + pixels


def make_pages(root):
    names = ["scans/%s/p%02d.tga" % (folder, i) for folder in "ab" for i in range(15)]
    names[3], names[22], names[26] = DAMAGED[0], ODD, DAMAGED[1]
    for i, name in enumerate(names):
        os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
        data = {DAMAGED[0]: b"II*\0garbage", DAMAGED[1]: tga(3)[:100]}.get(name) or tga(i % 15 + 1)
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    with open(os.path.join(root, "config.txt"), "w") as f:
        f.write('REPERTOIRE1="out1/"\nrepertoire2="out2/"\n')
    return names


def run(root, *args, nivelo=NIVELO, wait=True):
    process = subprocess.Popen([BATCH, *args], cwd=root, env=dict(os.environ, NIVELO=nivelo), text=True,
                               start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if not wait:
        return process
    out, _ = process.communicate(timeout=900)
    return process.returncode, out


def report(root):
    with open(os.path.join(root, "nivelo-rapport.csv"), newline="") as f:
        rows = list(csv.reader(f))
    check(rows[0] == ["fichier", "statut", "angle", "secondes", "message", "orientation"], "report header")
    return {r[0]: r[1:] for r in rows[1:]}


def same_results(root, reference, what, count):
    found = [os.path.relpath(os.path.join(d, f), root) for out in ("out1", "out2")
             for d, _, fs in os.walk(os.path.join(root, out)) for f in fs]
    check(len(found) == count, "%s: %d results %s" % (what, len(found), sorted(found)))
    _, mismatch, errors = filecmp.cmpfiles(root, reference, found, shallow=False)
    check(not mismatch and not errors, "%s: %s differ" % (what, mismatch + errors))


def local_run(root, pages):
    status, out = run(root, "-c", "typo.txt", "scans")
    check(status == 2 and "typo.txt : fichier de configuration introuvable" in out and
          not os.path.exists(os.path.join(root, "out1")), "a configuration named and missing: " + out)
    status, out = run(root, "-j", "2", "scans")
    check(status == 1 and out.splitlines()[-1].startswith("30 pages, 2 en échec, 0 déjà faites, "), out)
    rows = report(root)
    check(sorted(rows) == sorted(pages), "one row a page")
    for page, (state, angle, seconds, message, orientation) in rows.items():
        failed = page in DAMAGED
        # A page without text lines is done all the same; its report says so.
        # A file that cannot be opened is not run: it has no time.
        noted = message in ("", "aucune ligne de texte trouvée : angle 0")
        check(state == ("failed" if failed else "ok") and (not noted) == failed and (failed and not seconds or
                                                                                     float(seconds) >= 0)
              and bool(angle) != failed and orientation == "", "row of %s: %s" % (page, rows[page]))
    check(os.path.isfile(os.path.join(root, "out2", ODD)) and
          os.path.isfile(os.path.join(root, "out2/scans/a/p00.tga")), "results keep their folder part")


def killed_and_resumed(root, reference):
    """Killed as Ctrl-C would (the whole group) while on b/p02.tga."""
    wrapper = os.path.join(root, "nivelo-logged")
    with open(wrapper, "w") as f:
        f.write('#!/bin/bash\npage=${!#}\n[[ " $* " == *" /n "* ]] && exec "%s" "$@"\n'
                '[[ $page == "$KILL_AT" ]] && kill -TERM -- -"$(cat batch.pid)" && sleep 30\n'
                'echo "start $page" >>runs.log\n"%s" "$@"\necho "end $page" >>runs.log\n' % (NIVELO, NIVELO))
    os.chmod(wrapper, 0o755)
    os.environ["KILL_AT"] = "scans/b/p02.tga"
    process = run(root, "-j", "2", "scans", nivelo=wrapper, wait=False)
    with open(os.path.join(root, "batch.pid"), "w") as f:
        f.write(str(process.pid))
    process.communicate(timeout=900)
    os.environ["KILL_AT"] = ""
    check(not [f for d, _, fs in os.walk(root) for f in fs if f.endswith(".part")], "partial files after the kill")
    log = os.path.join(root, "runs.log")
    with open(log) as f:
        lines = f.readlines()
    done_first = {line[4:-1] for line in lines if line.startswith("end ")} - set(DAMAGED)
    # A page running beside the killed one may have saved its results before
    # the kill reached its wrapper: it is rightly skipped too.
    started_first = {line[6:-1] for line in lines if line.startswith("start ")}
    check(0 < len(done_first) < 28, "killed halfway (%d pages done)" % len(done_first))
    os.remove(log)
    changed = sorted(done_first)[0]  # a page changed since its results were made is done again
    os.utime(os.path.join(root, changed), (time.time() + 100, time.time() + 100))
    status, out = run(root, "-j", "2", "--resume", "scans", nivelo=wrapper)
    print("resumed run:", out.splitlines()[-1])
    with open(log) as f:
        redone = done_first & {line[6:-1] for line in f if line.startswith("start ")}
    check(redone == {changed}, "pages done twice: %s" % sorted(redone))
    skipped = [p for p, r in report(root).items() if r[0] == "skipped"]
    check(done_first - {changed} <= set(skipped) <= started_first - {changed}, "pages done before the kill are skipped")
    check(status == 1 and ", 2 en échec, %d déjà faites," % len(skipped) in out, "resumed summary: " + out)
    same_results(root, reference, "resumed", 56)


def two_machines(root, reference):
    """A stand-in for ssh runs the command in a folder of the machine's own,
    where the pages exist only when they were sent."""
    ssh = os.path.join(root, "fake-ssh")
    with open(ssh, "w") as f:
        f.write('#!/bin/bash\nwhile [[ $1 == -* ]]; do [[ $1 == -[lpo] ]] && shift; shift; done\n'
                'host=$1; shift; [[ ${1:-} == -- ]] && shift; echo "$host $*" >>"%s/ssh.log"\n'
                'mkdir -p "%s/$host" && cd "%s/$host" && exec bash -c "$*"\n' % (root, root, root))
    os.chmod(ssh, 0o755)
    pages = ["scans/b/p00.tga", "scans/b/p01.tga", "scans/b/p02.tga", ODD, DAMAGED[1]]
    status, out = run(root, "--trc", "--ssh", ssh, "-S", "1/m1", "-S", "1/m2", *pages)
    check(status == 1 and out.splitlines()[-1].startswith("5 pages, 1 en échec, 0 déjà faites"), out)
    with open(os.path.join(root, "ssh.log")) as f:
        workers = {line.split()[0] for line in f if "GNU_Parallel_worker" in line}
    check(workers == {"m1", "m2"}, "pages run on both machines: %s" % workers)
    same_results(root, reference, "two machines", 8)


def orientation_column(root):
    """With ORIENTATION the report gives each page's turn in its own column,
    not among the messages: these bars have no ascenders, so every page read
    is left as it was."""
    with open(os.path.join(root, "orientation.txt"), "w") as f:
        f.write('REPERTOIRE1="out1/"\nrepertoire2="out2/"\nORIENTATION=O\n')
    run(root, "-c", "orientation.txt", "-j", "2", "scans/b")
    for page, (state, _, _, message, orientation) in report(root).items():
        check(orientation == ("" if state == "failed" else "incertaine") and "orientation" not in message,
              "orientation of %s: %s" % (page, [state, message, orientation]))


with tempfile.TemporaryDirectory() as reference, tempfile.TemporaryDirectory() as resumed, \
        tempfile.TemporaryDirectory() as remote, tempfile.TemporaryDirectory() as oriented:
    pages = make_pages(reference)
    make_pages(resumed)
    make_pages(remote)
    local_run(reference, pages)
    killed_and_resumed(resumed, reference)
    two_machines(remote, reference)
    make_pages(oriented)
    orientation_column(oriented)
print("%d failure(s)" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
