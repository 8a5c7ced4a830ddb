#!/usr/bin/env python3
"""nivelo on files other programs made (corpus.py), through the real program.

    formats_test.py NIVELO NIVELO-BATCH

Readers: every kind opens and, saved as it is, gives the pixels PIL gives.
Damaged files of each format get one message naming the file and leave
nothing behind.  Writers: every FORMAT_SORTIE is read back by PIL or
tiffinfo, with the scan's resolution.  Pages: /p<n> and the count message.
nivelo-batch: the new kinds collected, a multi-page file expanded, two
sources with one result name never overwriting each other, even on --resume.
"""
import csv
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402

AS_IT_IS = ["RECADRAGE1=n", "FLOU=n", "ROTATION=n", "RECADRAGE2=n", "SAUVEGARDE1=n", "SAUVEGARDE2=o",
            'REPERTOIRE1="un/"', 'REPERTOIRE2="deux/"']
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def nivelo(exe, work, name, lines=(), flags=(), env=None):
    """Runs nivelo in work on name; returns (status, console lines)."""
    for d in ("un", "deux"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d))
    with open(os.path.join(work, "conf.txt"), "w") as f:
        f.write("\n".join(AS_IT_IS + list(lines)) + "\n")
    run = subprocess.run([exe, "/cconf.txt", *flags, name], cwd=work, capture_output=True, timeout=60,
                         env=dict(os.environ, **(env or {})))
    check(run.stderr == b"", "%s: standard error %r" % (name, run.stderr[:300]))
    return run.returncode, run.stdout.decode(errors="replace").splitlines()


def largest_difference(a, b):
    if a.size != b.size or a.mode != b.mode:
        return "size or mode %s %s against %s %s" % (a.size, a.mode, b.size, b.mode)
    return max(abs(x - y) for p, q in zip(a.getdata(), b.getdata())
               for x, y in zip(p if isinstance(p, tuple) else (p,), q if isinstance(q, tuple) else (q,)))


def test_readers(exe, work):
    for name, expected, tolerance, what in corpus.make_corpus(work):
        if expected is None:
            expected = corpus.independent_decode(os.path.join(work, name))
        status, said = nivelo(exe, work, name)
        stem = os.path.splitext(name)[0]
        if not check(status == 0 and said == [name + " done."], "%s (%s): %r" % (what, name, said)):
            continue
        result = Image.open(os.path.join(work, "deux", stem + ".tga"))
        result = result.convert("RGB") if result.mode == "RGB" else result.convert("L")
        diff = largest_difference(result, expected)
        check(diff == tolerance or (isinstance(diff, int) and diff <= tolerance),
              "%s (%s): pixels differ from PIL's by %s" % (what, name, diff))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def huge_png(width, height):
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", zlib.compress(b"\0" * 64)) +
            png_chunk(b"IEND", b""))


def g4_strip_cut_short(data):
    """The G4 file with its one strip's byte count halved: the fax decoder
    runs out of data in the middle of the page."""
    data = bytearray(data)
    ifd = struct.unpack_from("<I", data, 4)[0]
    for k in range(struct.unpack_from("<H", data, ifd)[0]):
        entry = ifd + 2 + 12 * k
        tag, kind = struct.unpack_from("<HH", data, entry)
        if tag == 279:
            form = "<H" if kind == 3 else "<I"
            struct.pack_into(form, data, entry + 8, struct.unpack_from(form, data, entry + 8)[0] // 2)
    return bytes(data)


def damaged(work):
    """(file name, bytes, word the one message must hold, environment)."""
    def read(name):
        with open(os.path.join(work, name), "rb") as f:
            return f.read()
    png, jpg, g4 = read("grey8.png"), read("colour.jpg"), read("g4.tif")
    cases = []
    for name, data in (("cut.png", png), ("cut.jpg", jpg), ("cut.tif", g4)):
        # tiffcp writes the directory last: a TIFF cut anywhere loses it.
        for keep in (len(data) // 3, len(data) * 2 // 3, len(data) - 3 if name != "cut.tif" else 5):
            cases.append((name, data[:keep], "endommagé", None))
    cases.append(("short_strip.tif", g4_strip_cut_short(g4), "endommagé", None))
    flipped = bytearray(png)
    flipped[40] ^= 0xFF  # inside IDAT: its CRC no longer matches
    cases.append(("crc.png", bytes(flipped), "endommagé", None))
    bad = bytearray(jpg)
    bad[len(bad) // 2:len(bad) // 2 + 40] = b"\xff\x00" * 20  # scrambled entropy-coded data
    cases.append(("codes.jpg", bytes(bad), "endommagé", None))
    sof = jpg.index(b"\xff\xc0")
    zero = bytearray(jpg)
    zero[sof + 5:sof + 9] = b"\0\0\0\0"
    cases.append(("zero.jpg", bytes(zero), "endommagé", None))
    cases.append(("huge.png", huge_png(100000, 100000), "trop grande", None))
    cases.append(("budget.png", huge_png(60000, 60000), "mémoire", {"NIVELO_MEMORY_LIMIT": str(1 << 30)}))
    cases.append(("page.bmp", b"BM" + b"\0" * 60, "BMP", None))
    cases.append(("notes.txt", b"just some text, no image\n" * 3, "pas une image", None))
    return cases


def test_damaged(exe, work):
    for name, data, word, env in damaged(work):
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
        status, said = nivelo(exe, work, name, env=env)
        check(len(said) == 1 and name in said[0] and word in said[0], "%s: printed %r" % (name, said))
        left = os.listdir(os.path.join(work, "un")) + os.listdir(os.path.join(work, "deux"))
        check(left == [], "%s: left %r" % (name, left))


def tiffinfo(path):
    return subprocess.run(["tiffinfo", path], capture_output=True, text=True).stdout


def test_writers(exe, work):
    # A 200-dpi scan: every result must say 200.
    page = corpus.drawn_page("RGB")
    page.save(os.path.join(work, "scan.png"), dpi=(200, 200))
    page.convert("L").save(os.path.join(work, "scangrey.png"), dpi=(200, 200))
    nivelo(exe, work, "scan.png")
    reference = Image.open(os.path.join(work, "deux", "scan.tga")).convert("RGB")
    rows = [  # format, flags, source, result, PIL mode, exact pixels
        ("PNG", (), "scan.png", "scan.png", "RGB", True),
        ("PNG", (), "scangrey.png", "scangrey.png", "L", True),
        ("PNG", ("/b",), "scan.png", "scan.png", "1", False),
        ("JPEG", (), "scan.png", "scan.jpg", "RGB", False),
        ("JPEG", (), "scangrey.png", "scangrey.jpg", "L", False),
        ("TIFF", (), "scan.png", "scan.tif", "RGB", True),
        ("TIFF", (), "scangrey.png", "scangrey.tif", "L", True),
        ("TIFF", ("/b",), "scan.png", "scan.tif", "1", False),
        ("TGA", ("/b",), "scan.png", "scan.tif", "1", False),
    ]
    for fmt, flags, source, result, mode, exact in rows:
        what = "FORMAT_SORTIE=%s %s %s" % (fmt, " ".join(flags), source)
        status, said = nivelo(exe, work, source, ["FORMAT_SORTIE=" + fmt], flags)
        path = os.path.join(work, "deux", result)
        if not check(status == 0 and os.path.exists(path), "%s: %r, %r" % (what, said, os.listdir(os.path.join(work, "deux")))):
            continue
        im = Image.open(path)
        check(im.mode == mode and im.size == reference.size, "%s: %s %s" % (what, im.mode, im.size))
        dpi = im.info.get("dpi", (0, 0))
        check(abs(dpi[0] - 200) < 0.5 and abs(dpi[1] - 200) < 0.5, "%s: dpi %r" % (what, dpi))
        if exact:
            expected = reference if mode == "RGB" else reference.convert("L")
            if mode == "L":
                expected = Image.open(os.path.join(work, "deux", result)).convert("L")
                nivelo(exe, work, source)
                expected = Image.open(os.path.join(work, "deux", os.path.splitext(result)[0] + ".tga")).convert("L")
            check(largest_difference(im.convert(mode), expected) == 0, "%s: pixels changed" % what)
        if result.endswith(".tif") and mode == "1":
            info = tiffinfo(path)
            g4 = fmt == "TIFF"
            check(("CCITT Group 4" in info) == g4, "%s: compression %r" % (what, info))
            check("200" in info and "Resolution" in info, "%s: resolution %r" % (what, info))
        if fmt == "JPEG":
            check(largest_difference(im.convert("L"), reference.convert("L")) < 40, "%s: far from the page" % what)
    for line, word in (("FORMAT_SORTIE=GIF", "FORMAT_SORTIE"), ("QUALITE_JPEG=0", "QUALITE_JPEG"),
                       ("QUALITE_JPEG=101", "QUALITE_JPEG")):
        status, said = nivelo(exe, work, "scan.png", [line])
        check(status == 2 and said and word in said[0], "%s: status %d, %r" % (line, status, said))
        check(os.listdir(os.path.join(work, "deux")) == [], "%s: a result was written" % line)


def test_pages(exe, work):
    j = lambda n: os.path.join(work, n)
    for k, level in enumerate((40, 140, 240)):
        Image.new("L", (30 + k, 20), level).save(j("p%d.tif" % k))
    subprocess.run(["tiffcp", "-c", "zip", j("p0.tif"), j("p1.tif"), j("p2.tif"), j("book.tif")], check=True)
    status, said = nivelo(exe, work, "book.tif")
    check(len(said) == 2 and "3 pages" in said[0] and "/p" in said[0], "book.tif: %r" % said)
    check(os.listdir(j("deux")) == ["book.tga"], "book.tif: %r" % os.listdir(j("deux")))
    status, said = nivelo(exe, work, "book.tif", flags=["/p2"])
    result = Image.open(j("deux/book_p2.tga")) if os.path.exists(j("deux/book_p2.tga")) else None
    check(result is not None and result.size == (31, 20) and result.getpixel((0, 0)) == 140,
          "book.tif /p2: %r, %r" % (said, os.listdir(j("deux"))))
    status, said = nivelo(exe, work, "book.tif", flags=["/p4"])
    check(len(said) == 1 and "3 page" in said[0] and os.listdir(j("deux")) == [], "book.tif /p4: %r" % said)
    status, said = nivelo(exe, work, "grey8.png", flags=["/p2"])
    check(len(said) == 1 and os.listdir(j("deux")) == [], "grey8.png /p2: %r" % said)


def batch_report(work):
    with open(os.path.join(work, "nivelo-rapport.csv"), newline="") as f:
        return {row[0]: row[1:] for row in list(csv.reader(f))[1:]}


def test_batch(exe, batch, work):
    scans = os.path.join(work, "scans")
    os.makedirs(scans)
    shutil.copy(os.path.join(work, "book.tif"), scans)
    shutil.copy(os.path.join(work, "colour.jpg"), os.path.join(scans, "p.jpg"))
    shutil.copy(os.path.join(work, "grey8.png"), os.path.join(scans, "p.png"))
    with open(os.path.join(work, "config.txt"), "w") as f:
        f.write('REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\nFORMAT_SORTIE=TIFF\n')
    env = dict(os.environ, NIVELO=exe)
    for resume in ([], ["--resume"]):
        run = subprocess.run([batch, "-j", "2", *resume, "scans"], cwd=work, env=env, capture_output=True, text=True)
        rows = batch_report(work)
        what = "nivelo-batch %s" % resume
        check(run.returncode == 1, "%s: status %d" % (what, run.returncode))
        check(sorted(rows) == ["scans/book.tif [page %d]" % n for n in (1, 2, 3)] + ["scans/p.jpg", "scans/p.png"],
              "%s: %r" % (what, sorted(rows)))
        clash = rows.get("scans/p.png", ["?", "", "", ""])
        check(clash[0] == "failed" and "scans/p.jpg" in clash[3], "%s: p.png %r" % (what, clash))
        check(rows.get("scans/p.jpg", ["?"])[0] == "ok", "%s: p.jpg must be run again: %r" % (what, rows.get("scans/p.jpg")))
    results = sorted(os.listdir(os.path.join(work, "out2", "scans")))
    check(results == ["book_p1.tif", "book_p2.tif", "book_p3.tif", "p.tif"], "nivelo-batch results %r" % results)
    check(Image.open(os.path.join(work, "out2", "scans", "p.tif")).mode == "RGB", "p.tif comes from p.jpg")


def main():
    exe = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="nivelo_formats_")
    try:
        test_readers(exe, work)
        test_damaged(exe, work)
        test_writers(exe, work)
        test_pages(exe, work)
        test_batch(exe, os.path.abspath(sys.argv[2]), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED " + f)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
