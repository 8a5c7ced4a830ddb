#!/usr/bin/env python3
"""nivelo-assemble on nivelo's own results of the committed pages (every
FORMAT_SORTIE, with and without /b) and on pages PIL makes (palette,
interlaced, alpha, 150 dpi): the PDF passes qpdf --check, poppler lists one
image a page as expected and decodes the pixels of the page file, JPEG and
Group 4 data are the files' own bytes; the multi-page TIFF reads back page by
page.  Damaged pages, wrong command lines and a signal leave nothing behind.

    assemble_test.py NIVELO-ASSEMBLE NIVELO SOURCE-DIR
"""
import glob, os, signal, subprocess, sys, tempfile, time  # noqa: E401

from PIL import Image, ImageChops, ImageOps, ImageSequence

ASSEMBLE, NIVELO, SOURCE = (os.path.abspath(a) for a in sys.argv[1:4])
PAGES = os.path.join(SOURCE, "tests", "outputs", "pages")
AS_IT_IS = "RECADRAGE1=n\nFLOU=n\nROTATION=n\nRECADRAGE2=n\nSAUVEGARDE1=n\nSAUVEGARDE2=o\n" \
           'REPERTOIRE1="un/"\nREPERTOIRE2="deux/"\n'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)
    return condition


def run(args, **kw):
    return subprocess.run([ASSEMBLE, *args], capture_output=True, timeout=120, **kw)


# name: (source page, FORMAT_SORTIE, /b) made by nivelo, then what pdfimages
# lists: colour, bits, encoding, and the pixels' largest difference from PIL's.
NIVELO_PAGES = {
    "jpeg_colour.jpg": ("colour.tif", "JPEG", False, "rgb", 8, "jpeg"),
    "jpeg_grey.jpg": ("grey.tif", "JPEG", False, "gray", 8, "jpeg"),
    "png_colour.png": ("colour.tif", "PNG", False, "rgb", 8, "image"),
    "png_bilevel.png": ("grey.tif", "PNG", True, "gray", 1, "image"),
    "tiff_bilevel.tif": ("grey.tif", "TIFF", True, "gray", 1, "ccitt"),
    "tiff_grey.tif": ("grey.tif", "TIFF", False, "gray", 8, "image"),
    "tga_colour.tga": ("colour.tif", "TGA", False, "rgb", 8, "image"),
    "tga_bilevel.tif": ("grey.tif", "TGA", True, "gray", 1, "ccitt"),
}
PIL_PAGES = {
    "palette.png": ("P", {}, "index", 8, "image"),
    "interlaced.png": ("L", {"interlace": 1}, "gray", 8, "image"),
    "alpha.png": ("RGBA", {}, "rgb", 8, "image"),
    "dpi150.jpg": ("RGB", {"dpi": (150, 150)}, "rgb", 8, "jpeg"),
    "three_idat.png": (None, {}, "gray", 8, "image"),  # its zlib stream cut in three chunks
    "exif6.jpg": (None, {}, "rgb", 8, "image"),  # turned by its EXIF orientation, so decoded
}


def make_pages(work):
    for source in ("colour.tif", "grey.tif"):
        subprocess.run(["cp", os.path.join(PAGES, source), os.path.join(work, "source_" + source)])
    for name, (source, fmt, bilevel, *_) in NIVELO_PAGES.items():
        with open(os.path.join(work, "conf.txt"), "w") as f:
            f.write(AS_IT_IS + "FORMAT_SORTIE=%s\n" % fmt)
        subprocess.run(["rm", "-rf", os.path.join(work, "un"), os.path.join(work, "deux")])
        for d in ("un", "deux"):
            os.makedirs(os.path.join(work, d))
        subprocess.run([NIVELO, "/cconf.txt"] + (["/b"] if bilevel else []) + ["source_" + source],
                       cwd=work, capture_output=True, timeout=60)
        made = glob.glob(os.path.join(work, "deux", "*"))
        check(len(made) == 1, "%s: nivelo made %r" % (name, made)) and os.replace(made[0], os.path.join(work, name))
    base = Image.open(os.path.join(PAGES, "colour.tif")).convert("RGB").resize((120, 90))
    for seed in ("page_streams/three_idat.png", "formats/exif6.jpg"):
        subprocess.run(["cp", os.path.join(SOURCE, "fuzz", "seeds", seed), work])
    for name, (mode, options, *_) in PIL_PAGES.items():
        if mode is None:
            continue
        page = base.convert(mode) if mode != "RGBA" else base.copy()
        if mode == "RGBA":
            page.putalpha(Image.linear_gradient("L").resize(base.size))
        page.save(os.path.join(work, name), **options)
    return list(NIVELO_PAGES) + list(PIL_PAGES)


def expected(name):
    return (NIVELO_PAGES.get(name) or (None,) * 3 + PIL_PAGES[name][2:])[3:]


def check_pixels(drawn, source, mode, what):
    """Within 1 of PIL's pixels (JPEG decoders may round apart), alpha over white."""
    if source.mode == "RGBA":
        source = Image.alpha_composite(Image.new("RGBA", source.size, "white"), source)
    diff = ImageChops.difference(drawn, source.convert(mode)).getextrema()
    check(max(d[1] if isinstance(d, tuple) else d for d in diff) <= 1, "%s: pixels %r" % (what, diff))


def strip_bytes(path):
    with Image.open(path) as im:
        (offset,), (count,) = im.tag_v2[273], im.tag_v2[279]
    return open(path, "rb").read()[offset:offset + count]


def test_pdf(work, names):
    env = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    status = run(["--pdf", "doc.pdf", "--titre", "Éléments (1)", *names], cwd=work, env=env)
    if not check(status.returncode == 0 and status.stdout == b"", "pdf: %r" % (status,)):
        return
    check(subprocess.run(["qpdf", "--check", "doc.pdf"], cwd=work, capture_output=True).returncode == 0, "qpdf --check")
    again = run(["--pdf", "again.pdf", "--titre", "Éléments (1)", *names], cwd=work, env=env)
    check(again.returncode == 0 and open(os.path.join(work, "doc.pdf"), "rb").read() ==
          open(os.path.join(work, "again.pdf"), "rb").read(), "pdf: two runs differ")
    listed = subprocess.run(["pdfimages", "-list", "doc.pdf"], cwd=work, capture_output=True, text=True).stdout
    rows = [line.split() for line in listed.splitlines()[2:]]
    check(len(rows) == len(names), "pdf: %d images for %d pages" % (len(rows), len(names)))
    info = subprocess.run(["pdfinfo", "-f", "1", "-l", str(len(names)), "doc.pdf"], cwd=work,
                          capture_output=True, text=True).stdout
    check("Title:           Éléments (1)" in info, "pdf: title in %s" % info[:200])
    sizes = [line.split()[3:6:2] for line in info.splitlines() if " size: " in line]
    subprocess.run(["pdfimages", "-png", "doc.pdf", "png"], cwd=work)
    subprocess.run(["pdfimages", "-all", "doc.pdf", "raw"], cwd=work)
    for k, (name, row) in enumerate(zip(names, rows)):
        source = ImageOps.exif_transpose(Image.open(os.path.join(work, name)))
        dpi = 150 if name == "dpi150.jpg" else 300
        want = [str(k + 1), str(source.width), str(source.height), *map(str, expected(name)), str(dpi), str(dpi)]
        got = [row[0], row[3], row[4], row[5], row[7], row[8], row[12], row[13]]
        check(got == want, "pdf page %d %s: listed %r, expected %r" % (k + 1, name, got, want))
        points = ["%g" % round(side * 72 / dpi, 2) for side in source.size]
        check(sizes[k] == points, "pdf page %d %s: %r points, expected %r" % (k + 1, name, sizes[k], points))
        mode = {"rgb": "RGB", "index": "RGB"}.get(row[5], "L")
        drawn = Image.open(os.path.join(work, "png-%03d.png" % k)).convert(mode)
        check_pixels(drawn, source, mode, "pdf page %d %s" % (k + 1, name))
        raw = glob.glob(os.path.join(work, "raw-%03d.*" % k))
        if row[8] == "jpeg":
            check(open(raw[0], "rb").read() == open(os.path.join(work, name), "rb").read(), name + ": JPEG bytes")
        if row[8] == "ccitt" and name.startswith("tiff"):
            data = [open(r, "rb").read() for r in raw if r.endswith(".ccitt")]
            check(data == [strip_bytes(os.path.join(work, name))], name + ": Group 4 bytes")


def test_tiff(work, names):
    status = run(["--tiff", "doc.tif", *names], cwd=work)
    if not check(status.returncode == 0 and status.stdout == b"", "tiff: %r" % (status,)):
        return
    document = Image.open(os.path.join(work, "doc.tif"))
    check(document.n_frames == len(names), "tiff: %d pages for %d" % (document.n_frames, len(names)))
    for k, (name, frame) in enumerate(zip(names, ImageSequence.Iterator(document))):
        source = ImageOps.exif_transpose(Image.open(os.path.join(work, name)))
        kind = {"jpeg": "jpeg", "ccitt": "group4"}.get(expected(name)[2], "tiff_adobe_deflate")
        if name == "png_bilevel.png":
            kind = "group4"
        dpi = 150.0 if name == "dpi150.jpg" else 300.0
        got = (frame.size, frame.info.get("compression"), tuple(round(d, 2) for d in frame.info.get("dpi")))
        check(got == (source.size, kind, (dpi, dpi)), "tiff page %d %s: %r" % (k + 1, name, got))
        mode = "RGB" if frame.mode in ("RGB", "P", "YCbCr") else "L"
        check_pixels(frame.convert(mode), source, mode, "tiff page %d %s" % (k + 1, name))


def leftovers(work, output):
    return [f for f in os.listdir(work) if f == output or f.endswith(".part")]


def test_failures(work, good):
    pages = {"cut.jpg": open(os.path.join(work, "jpeg_grey.jpg"), "rb").read()[:-900],
             "cut.png": open(os.path.join(work, "png_colour.png"), "rb").read()[:5000],
             "cut.tif": open(os.path.join(work, "tiff_bilevel.tif"), "rb").read()[:3000],
             "junk.tga": b"not a page"}
    for name, data in pages.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    cases = [(["--pdf", "bad.pdf", good, name], 1) for name in list(pages) + ["missing.png"]]
    cases += [(["--tiff", "bad.pdf", good, name], 1) for name in pages]
    cases += [([], 2), (["--pdf", "bad.pdf"], 2), (["--pdf", "bad.pdf", "--liste", "l", good], 2),
              (["--pdf", "bad.pdf", "--tiff", "b.tif", good], 2), (["--pdf"], 2), (["--couleur", good], 2)]
    for args, code in cases:
        status = run(args, cwd=work)
        said = status.stdout.decode().splitlines()
        check(status.returncode == code and len(said) == (1 if code == 1 else 2) and status.stderr == b"",
              "%r: status %d, said %r" % (args, status.returncode, said))
        check(code != 1 or args[-1] in said[0], "%r: message names no page: %r" % (args, said))
        check(leftovers(work, "bad.pdf") == [], "%r: left %r" % (args, leftovers(work, "bad.pdf")))


def test_signal(work, good):
    """The list is a pipe the test feeds: the temporary file holds pages when
    the signal comes."""
    os.mkfifo(os.path.join(work, "fifo"))
    for sig in (signal.SIGTERM, signal.SIGINT):
        child = subprocess.Popen([ASSEMBLE, "--pdf", "killed.pdf", "--liste", "fifo"], cwd=work)
        with open(os.path.join(work, "fifo"), "wb") as feed:
            feed.write(b"%s\0%s\0" % (good.encode(), good.encode()))
            feed.flush()
            # Bytes in the temporary file: it is past its opening, which
            # watches for the signal once the file exists.
            deadline = time.time() + 30
            while not [f for f in leftovers(work, "") if os.path.getsize(os.path.join(work, f))]:
                if not check(time.time() < deadline, "signal: no temporary file while writing"):
                    break
                time.sleep(0.05)
            child.send_signal(sig)
            child.wait(timeout=30)
        check(child.returncode == -sig and leftovers(work, "killed.pdf") == [],
              "%s: status %d, left %r" % (sig.name, child.returncode, leftovers(work, "killed.pdf")))


def main():
    with tempfile.TemporaryDirectory() as work:
        names = make_pages(work)
        if check(len(glob.glob(os.path.join(work, "*.*"))) >= len(names), "pages not made"):
            test_pdf(work, names)
            test_tiff(work, names)
            test_failures(work, names[0])
            test_signal(work, names[0])
    print("%d failure(s)" % len(failures) if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
