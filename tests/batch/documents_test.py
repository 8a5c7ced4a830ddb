#!/usr/bin/env python3
"""Whole documents through nivelo-batch --pdf, and the names nivelo /n gives.

A folder of ten pages (page1 to page10, each a different width, so that the
PDF's image list shows their order), a three-page TIFF made by tiffcp, the
same pages as a PDF made by img2pdf and a two-page TIFF whose document would
take the folder's name; then a folder
with a damaged page, a resumed run, and a run killed while assembling.

usage: documents_test.py <nivelo-batch> <nivelo> <nivelo-assemble>
"""
import csv, os, signal, subprocess, sys, tempfile, time

BATCH, NIVELO, ASSEMBLE = (os.path.abspath(a) for a in sys.argv[1:4])
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def tga(path, width, height=60):
    """Dark lines on light paper, grey."""
    pixels = bytes(20 if 10 <= x < width - 10 and y % 12 < 3 else 230 for y in range(height) for x in range(width))
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(bytes([0, 0, 3] + [0] * 9) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x08\x20"
                + pixels)


def tiff(path, widths):
    parts = []
    for i, width in enumerate(widths):
        tga("%s.%d.tga" % (path, i), width)
        subprocess.run(["convert", "%s.%d.tga" % (path, i), "%s.%d.tif" % (path, i)], check=True)
        parts.append("%s.%d.tif" % (path, i))
    subprocess.run(["tiffcp", *parts, path], check=True)


def batch(root, *args, assembler=ASSEMBLE, wait=True):
    process = subprocess.Popen([BATCH, *args], cwd=root, env=dict(os.environ, NIVELO=NIVELO, NIVELO_ASSEMBLE=assembler),
                               text=True, start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if not wait:
        return process
    out, _ = process.communicate(timeout=600)
    with open(os.path.join(root, "nivelo-rapport.csv"), newline="") as f:
        rows = [(r[0], r[1], r[4]) for r in list(csv.reader(f))[1:]]
    return process.returncode, out, rows


def widths(pdf):
    """The width of each page's image, in page order (pdfimages -list)."""
    out = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True).stdout.splitlines()[2:]
    return [int(line.split()[3]) for line in out]


def documents(root):
    with open(os.path.join(root, "config.txt"), "w") as f:
        f.write("REPERTOIRE1=out1/\nREPERTOIRE2=out2/\nRECADRAGE1=N\nRECADRAGE2=N\nROTATION=N\nFORMAT_SORTIE=PNG\n")
    for i in range(1, 11):
        tga(os.path.join(root, "pages/page%d.tga" % i), 80 + i)
    tiff(os.path.join(root, "book.tif"), [101, 102, 103])
    tiff(os.path.join(root, "pages.tif"), [111, 112])
    subprocess.run(["img2pdf", "-o", os.path.join(root, "scan.pdf")] +
                   [os.path.join(root, "book.tif.%d.tif" % i) for i in range(3)], check=True)
    tga(os.path.join(root, "bad/page1.tga"), 90)
    with open(os.path.join(root, "bad/page2.tga"), "wb") as f:
        f.write(b"\0\0\3" + b"\0" * 20)
    code, out, rows = batch(root, "--pdf", "pages", "book.tif", "pages.tif", "bad", "scan.pdf")
    check(code == 1 and "20 pages, 1 en échec, 0 déjà faites, 5 documents, 2 en échec" in out, out)
    check(widths(os.path.join(root, "out2/pages.pdf")) == list(range(81, 91)), "folder in natural order")
    check(widths(os.path.join(root, "out2/book.pdf")) == [101, 102, 103] and
          widths(os.path.join(root, "out2/scan.pdf")) == [101, 102, 103], "TIFF and PDF pages in order")
    documents = sorted(r for r in rows if r[0].endswith(".pdf"))
    check(documents == [("out2/bad.pdf", "failed", "pages en échec : bad/page2.tga"), ("out2/book.pdf", "ok", ""),
                        ("out2/pages.pdf", "failed", "pages.tif : même nom que le document de pages"),
                        ("out2/pages.pdf", "ok", ""), ("out2/scan.pdf", "ok", "")] and
          not os.path.exists(os.path.join(root, "out2/bad.pdf")), "documents: %s" % documents)

    os.remove(os.path.join(root, "out2/book_p2.png"))
    code, out, rows = batch(root, "--pdf", "--resume", "pages", "book.tif")
    states = sorted((name, state) for name, state, _ in rows if state != "skipped")
    check(code == 0 and states == [("book.tif [page 2]", "ok"), ("out2/book.pdf", "ok")], "resumed: %s" % states)

    # Killed while assembling: no document under its name; --resume makes it.
    stopping = os.path.join(root, "stopping-assembler")
    with open(stopping, "w") as f:
        f.write('#!/bin/bash\ntouch "%s/assembling"\nsleep 60\nexec "%s" "$@"\n' % (root, ASSEMBLE))
    os.chmod(stopping, 0o755)
    os.remove(os.path.join(root, "out2/book.pdf"))
    process = batch(root, "--pdf", "--resume", "book.tif", assembler=stopping, wait=False)
    for _ in range(600):
        if os.path.exists(os.path.join(root, "assembling")):
            break
        time.sleep(0.1)
    os.killpg(process.pid, signal.SIGTERM)
    process.communicate(timeout=60)
    check(process.returncode == 130 and not os.path.exists(os.path.join(root, "out2/book.pdf")), "killed")
    code, out, rows = batch(root, "--pdf", "--resume", "book.tif")
    check(code == 0 and ("out2/book.pdf", "ok", "") in rows and widths(os.path.join(root, "out2/book.pdf")) ==
          [101, 102, 103], "resumed after the kill: " + out)
    code, out, rows = batch(root, "--tiff", "book.tif")
    pages = subprocess.run(["tiffinfo", os.path.join(root, "out2/book.tif")], capture_output=True, text=True).stdout
    check(code == 0 and pages.count("Image Width: 10") == 3, "--tiff: " + out)

    with open(os.path.join(root, "c.txt"), "w") as f:
        f.write("SAUVEGARDE2=N\n")
    process = batch(root, "--pdf", "-c", "c.txt", "book.tif", wait=False)
    out = process.communicate()[0]
    check(process.returncode == 2 and "SAUVEGARDE2=N" in out, "--pdf without final results: " + out)


def listed_names(root):
    """What /n lists is what nivelo then writes, for awkward names."""
    long = "x" * 250 + ".tga"  # its results' names pass 255 characters
    names = ["a b.tga", "l'\"autre\".tga", "back\\slash.tga", "été.tga", long]
    for name in names:
        tga(os.path.join(root, name), 50)
    files = lambda: {os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs}
    with open(os.path.join(root, "n.txt"), "w") as f:
        f.write("REPERTOIRE1=n1/\nREPERTOIRE2=n2/\n")
    run = lambda *a: subprocess.run([NIVELO, "/cn.txt", *a], cwd=root, capture_output=True)

    def listed(*args):
        process = run("/n", *args)
        fields = [os.fsdecode(f) for f in process.stdout.split(b"\0")[:-1]]
        return process.returncode, [fields[i:i + 6] for i in range(0, len(fields), 6)]

    def written(*args):
        before = files()
        return run(*args).returncode, files() - before

    code, records = listed(*names)
    check((code, [r[0] for r in records if r[5]]) == (1, [long]), "/n: %s" % records)
    check(written(*names) == (1, {n for r in records for n in r[3:5] if n}), "/n names agree: %s" % records)
    code, records = listed("book.tif")
    check(code == 0 and [r[1:3] for r in records] == [["1", "3"], ["2", "3"], ["3", "3"]], "/n pages %s" % records)
    check(written("/p2", "book.tif") == (0, set(records[1][3:5])), "/p2 names: %s" % records)


with tempfile.TemporaryDirectory() as root:
    documents(root)
    listed_names(root)
print("%d failure(s)" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
