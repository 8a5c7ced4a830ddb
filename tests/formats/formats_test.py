#!/usr/bin/env python3
"""nivelo on files other programs made (corpus.py), through the real program:
every kind read as PIL reads it, damaged files refused with one message and
nothing left behind, every FORMAT_SORTIE read back with the scan's resolution,
/p<n>, and nivelo-batch never letting two sources overwrite one result.

    formats_test.py NIVELO NIVELO-BATCH
"""
import csv, os, shutil, struct, subprocess, sys, tempfile, zlib  # noqa: E401

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
    chans = lambda p: p if isinstance(p, tuple) else (p,)
    return max(abs(x - y) for p, q in zip(a.getdata(), b.getdata()) for x, y in zip(chans(p), chans(q)))


def test_readers(exe, work):
    for name, expected, tolerance in corpus.make_corpus(work):
        if expected is None:
            expected = corpus.independent_decode(os.path.join(work, name))
        results = []
        for env in (None, {"NIVELO_PLAIN": "1"}):  # the readers' fast roads, then their plain twins
            status, said = nivelo(exe, work, name, env=env)
            if not check(status == 0 and said == [name + " done."], "%s %s: %r" % (name, env, said)):
                break
            path = os.path.join(work, "deux", os.path.splitext(name)[0] + ".tga")
            results.append(open(path, "rb").read())
        if len(results) == 2:
            check(results[0] == results[1], "%s: the plain reader gives other pixels" % name)
            result = Image.open(path)
            diff = largest_difference(result.convert("RGB" if result.mode == "RGB" else "L"), expected)
            check(isinstance(diff, int) and diff <= tolerance, "%s: pixels differ from PIL's by %s" % (name, diff))


def png(width, height):
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"\0" * 64)) + chunk(b"IEND", b""))


def patched(data, at, new):
    return data[:at] + new + data[at + len(new):]


def g4_strip_cut_short(data):
    """The one strip's byte count halved: the fax decoder runs dry mid-page."""
    ifd = struct.unpack_from("<I", data, 4)[0]
    for entry in range(ifd + 2, ifd + 2 + 12 * struct.unpack_from("<H", data, ifd)[0], 12):
        tag, kind = struct.unpack_from("<HH", data, entry)
        if tag == 279:
            form = "<H" if kind == 3 else "<I"
            data = patched(data, entry + 8, struct.pack(form, struct.unpack_from(form, data, entry + 8)[0] // 2))
    return data


def test_damaged(exe, work):
    read = lambda name: open(os.path.join(work, name), "rb").read()
    png8, jpg, g4 = read("grey8.png"), read("colour.jpg"), read("g4.tif")
    sof, mid = jpg.index(b"\xff\xc0"), len(jpg) // 2
    cases = [  # (file name, bytes, word the one message must hold, environment)
        ("short_strip.tif", g4_strip_cut_short(g4), "endommagé", None),
        ("crc.png", patched(png8, 40, bytes([png8[40] ^ 0xFF])), "endommagé", None),  # in IDAT: CRC wrong
        ("codes.jpg", patched(jpg, mid, b"\xff\x00" * 20), "endommagé", None),  # scrambled entropy data
        ("zero.jpg", patched(jpg, sof + 5, b"\0\0\0\0"), "endommagé", None),
        ("huge.png", png(100000, 100000), "trop grande", None),
        ("budget.png", png(60000, 60000), "mémoire", {"NIVELO_MEMORY_LIMIT": str(1 << 30)}),
        ("page.bmp", b"BM" + b"\0" * 60, "BMP", None),
        ("notes.txt", b"just some text, no image\n" * 3, "pas une image", None)]
    for name, data in (("cut.png", png8), ("cut.jpg", jpg), ("cut.tif", g4)):
        # tiffcp writes the directory last: a TIFF cut anywhere loses it.
        for keep in (len(data) // 3, len(data) * 2 // 3, len(data) - 3 if name != "cut.tif" else 5):
            cases.append((name, data[:keep], "endommagé", None))
    for name, data, word, env in cases:
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
        status, said = nivelo(exe, work, name, env=env)
        left = os.listdir(os.path.join(work, "un")) + os.listdir(os.path.join(work, "deux"))
        check(len(said) == 1 and name in said[0] and word in said[0] and left == [],
              "%s: %r, left %r" % (name, said, left))


def test_writers(exe, work):
    # A 200-dpi scan: every result must say 200.  Each is compared with the
    # page nivelo saves as it is, as TGA.
    reference = {}
    for name, mode, size in (("scan.png", "RGB", None), ("scangrey.png", "L", None), ("big.png", "RGB", (800, 900))):
        page = corpus.drawn_page(mode)  # big: a PNG result of several strips
        (page.resize(size) if size else page).save(os.path.join(work, name), dpi=(200, 200))
        nivelo(exe, work, name)
        reference[name] = Image.open(os.path.join(work, "deux", name[:-4] + ".tga")).convert(mode)
    rows = [  # format, flags, source, result, PIL mode, exact pixels
        ("PNG", (), "scan.png", "scan.png", "RGB", True), ("PNG", (), "scangrey.png", "scangrey.png", "L", True),
        ("PNG", (), "big.png", "big.png", "RGB", True),
        ("PNG", ("/b",), "scan.png", "scan.png", "1", False), ("JPEG", (), "scan.png", "scan.jpg", "RGB", False),
        ("JPEG", (), "scangrey.png", "scangrey.jpg", "L", False), ("TIFF", (), "scan.png", "scan.tif", "RGB", True),
        ("TIFF", (), "scangrey.png", "scangrey.tif", "L", True), ("TIFF", ("/b",), "scan.png", "scan.tif", "1", False),
        ("TGA", ("/b",), "scan.png", "scan.tif", "1", False)]
    for fmt, flags, source, result, mode, exact in rows:
        what = "FORMAT_SORTIE=%s %s %s" % (fmt, " ".join(flags), source)
        status, said = nivelo(exe, work, source, ["FORMAT_SORTIE=" + fmt], flags)
        path, ref = os.path.join(work, "deux", result), reference[source]
        if not check(status == 0 and os.path.exists(path), "%s: %r, %r" % (what, said, os.listdir(os.path.dirname(path)))):
            continue
        im = Image.open(path)
        check(im.mode == mode and im.size == ref.size, "%s: %s %s" % (what, im.mode, im.size))
        dpi = im.info.get("dpi", (0, 0))
        check(abs(dpi[0] - 200) < 0.5 and abs(dpi[1] - 200) < 0.5, "%s: dpi %r" % (what, dpi))
        if exact:
            check(largest_difference(im.convert(mode), ref) == 0, "%s: pixels changed" % what)
        if result.endswith(".tif") and mode == "1":  # G4 for TIFF, uncompressed beside TGA
            info = subprocess.run(["tiffinfo", path], capture_output=True, text=True).stdout
            check(("CCITT Group 4" in info) == (fmt == "TIFF"), "%s: compression %r" % (what, info))
        if fmt == "JPEG":
            check(largest_difference(im.convert("L"), ref.convert("L")) < 40, "%s: far from the page" % what)
    for line, word in (("FORMAT_SORTIE=GIF", "FORMAT_SORTIE"), ("QUALITE_JPEG=0", "QUALITE_JPEG"),
                       ("QUALITE_JPEG=101", "QUALITE_JPEG")):
        status, said = nivelo(exe, work, "scan.png", [line])
        left = os.listdir(os.path.join(work, "deux"))
        check(status == 2 and said and word in said[0] and left == [],
              "%s: %d, %r, left %r" % (line, status, said, left))


def test_pages(exe, work):
    j = lambda n: os.path.join(work, n)
    for k, level in enumerate((40, 140, 240)):
        Image.new("L", (30 + k, 20), level).save(j("p%d.tif" % k))
    subprocess.run(["tiffcp", "-c", "zip", j("p0.tif"), j("p1.tif"), j("p2.tif"), j("book.tif")], check=True)
    status, said = nivelo(exe, work, "book.tif")  # the first page, and a word on the others
    check(len(said) == 2 and "3 pages" in said[0] and "/p" in said[0] and os.listdir(j("deux")) == ["book.tga"],
          "book.tif: %r, %r" % (said, os.listdir(j("deux"))))
    status, said = nivelo(exe, work, "book.tif", flags=["/p2"])
    result = Image.open(j("deux/book_p2.tga")) if os.path.exists(j("deux/book_p2.tga")) else None
    check(result is not None and result.size == (31, 20) and result.getpixel((0, 0)) == 140,
          "book.tif /p2: %r, %r" % (said, os.listdir(j("deux"))))
    for name, flag, word in (("book.tif", "/p4", "3 page"), ("grey8.png", "/p2", "")):
        status, said = nivelo(exe, work, name, flags=[flag])
        check(len(said) == 1 and word in said[0] and os.listdir(j("deux")) == [], "%s %s: %r" % (name, flag, said))


def test_batch(exe, batch, work):
    j = lambda *n: os.path.join(work, *n)
    os.makedirs(j("scans"))
    for source, copy in (("book.tif", "book.tif"), ("colour.jpg", "p.jpg"), ("grey8.png", "p.png")):
        shutil.copy(j(source), j("scans", copy))
    with open(j("config.txt"), "w") as f:
        f.write('REPERTOIRE1="out1/"\nREPERTOIRE2="out2/"\nFORMAT_SORTIE=TIFF\n')
    for resume in ([], ["--resume"]):
        run = subprocess.run([batch, "-j", "2", *resume, "scans"], cwd=work, env=dict(os.environ, NIVELO=exe),
                             capture_output=True, text=True)
        with open(j("nivelo-rapport.csv"), newline="") as f:
            rows = {row[0]: row[1:] for row in list(csv.reader(f))[1:]}
        what = "nivelo-batch %s" % resume
        check(run.returncode == 1, "%s: status %d" % (what, run.returncode))
        check(sorted(rows) == ["scans/book.tif [page %d]" % n for n in (1, 2, 3)] + ["scans/p.jpg", "scans/p.png"],
              "%s: %r" % (what, sorted(rows)))
        clash = rows.get("scans/p.png", ["?", "", "", ""])
        check(clash[0] == "failed" and "scans/p.jpg" in clash[3], "%s: p.png %r" % (what, clash))
        check(rows.get("scans/p.jpg", ["?"])[0] == "ok", "%s: p.jpg must be run again: %r" % (what, rows.get("scans/p.jpg")))
    results = sorted(os.listdir(j("out2", "scans")))
    check(results == ["book_p1.tif", "book_p2.tif", "book_p3.tif", "p.tif"], "nivelo-batch results %r" % results)
    check(Image.open(j("out2", "scans", "p.tif")).mode == "RGB", "p.tif comes from p.jpg")


def main():
    exe, work = os.path.abspath(sys.argv[1]), tempfile.mkdtemp(prefix="nivelo_formats_")
    try:
        for test in (test_readers, test_damaged, test_writers, test_pages):
            test(exe, work)
        test_batch(exe, os.path.abspath(sys.argv[2]), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("".join("FAILED %s\n" % f for f in failures) + "%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
