#!/usr/bin/env python3
"""nivelo on scanned PDF files that independent tools made: img2pdf and qpdf
put the committed pages together (grey Flate, G4 of either photometric,
JPEG, one page turned by /Rotate 90; pikepdf wraps the G3 and CCITT RLE
strips of TIFF files in PDF pages).  Every page is read through /p<n>
with the pixels and the resolution of its source; a JPEG or G4 page that
no stage changed keeps its coded stream byte for byte.  A page of vector text, a
PDF locked by a password and one cut short each get one message, exit
status 1 and no result.

    documents_test.py NIVELO
"""
import os, shutil, subprocess, sys, tempfile  # noqa: E401

import pikepdf
from PIL import Image

PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")
AS_IT_IS = ["RECADRAGE1=n", "FLOU=n", "ROTATION=n", "RECADRAGE2=n", "SAUVEGARDE1=n", "SAUVEGARDE2=o",
            'REPERTOIRE1="un/"', 'REPERTOIRE2="deux/"']
VECTOR_TEXT = b"""%PDF-1.4
1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj
2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj
3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R
  /Resources << /Font << /F1 5 0 R >> >> >> endobj
4 0 obj << /Length 39 >> stream
BT /F1 24 Tf 20 100 Td (Bonjour) Tj ET
endstream endobj
5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj
trailer << /Root 1 0 R >>
%%EOF
"""
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def nivelo(exe, work, args, lines=()):
    """Runs nivelo in work; returns (status, console lines, files written)."""
    for d in ("un", "deux"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d))
    with open(os.path.join(work, "conf.txt"), "w") as f:
        f.write("\n".join(AS_IT_IS + list(lines)) + "\n")
    run = subprocess.run([exe, "/cconf.txt", *args], cwd=work, capture_output=True, timeout=120)
    check(run.stderr == b"", "%s: standard error %r" % (args, run.stderr[:300]))
    written = sorted(os.path.join(d, f) for d in ("un", "deux") for f in os.listdir(os.path.join(work, d)))
    return run.returncode, run.stdout.decode(errors="replace").splitlines(), written


def tool(*command, cwd):
    subprocess.run(command, cwd=cwd, check=True, capture_output=True)


def make_document(work):
    """scan.pdf and the PIL decode and resolution each of its pages must give."""
    tool("convert", os.path.join(PAGES, "text_g4.tif"), "-compress", "Group4", "white_g4.tif", cwd=work)
    sources = [os.path.join(PAGES, n) for n in ("grey.png", "text_g4.tif", "photo.jpg")]
    tool("img2pdf", "-o", "flat.pdf", *sources, cwd=work)
    tool("img2pdf", "--rotation=90", "-o", "turned.pdf", "white_g4.tif", cwd=work)
    tool("qpdf", "--empty", "--pages", "flat.pdf", "turned.pdf", "--", "scan.pdf", cwd=work)
    expected = []
    for path in sources + [os.path.join(work, "white_g4.tif")]:
        im = Image.open(path)
        dpi = tuple(round(float(v), 2) for v in im.info["dpi"])
        im = im.convert("RGB" if im.mode == "RGB" else "L")
        expected.append((im, dpi))
    turned, (x, y) = expected[3]
    expected[3] = (turned.rotate(-90, expand=True), (y, x))
    return expected


def largest_difference(a, b):
    if a.size != b.size or a.mode != b.mode:
        return "size or mode %s %s against %s %s" % (a.size, a.mode, b.size, b.mode)
    chans = lambda p: p if isinstance(p, tuple) else (p,)
    return max(abs(x - y) for p, q in zip(a.getdata(), b.getdata()) for x, y in zip(chans(p), chans(q)))


def test_pages(exe, work, expected):
    for page, (source, dpi) in enumerate(expected, 1):
        status, said, written = nivelo(exe, work, ["/p%d" % page, "scan.pdf"], ["FORMAT_SORTIE=TIFF"])
        name = "deux/scan_p%d.tif" % page
        if not check(status == 0 and written == [name], "page %d: %s %r %r" % (page, status, said, written)):
            continue
        check(said == ["scan.pdf : 4 pages, seule la page %d est traitée (une autre avec /p<n>, par exemple /p%d)"
                       % (page, 2 if page == 1 else 1), "scan.pdf done."], "page %d: %r" % (page, said))
        result = Image.open(os.path.join(work, name))
        got_dpi = tuple(round(float(v), 2) for v in result.info.get("dpi", (0, 0)))
        # PNG keeps dots per metre: 150 dpi reads back as 150.01.
        check(all(abs(g - d) <= 0.02 for g, d in zip(got_dpi, dpi)), "page %d: resolution %s, source %s"
              % (page, got_dpi, dpi))
        diff = largest_difference(result.convert(source.mode), source)
        # libjpeg's decoders may differ by a level; the other codings are exact.
        check(diff == 0 or (page == 3 and isinstance(diff, int) and diff <= 2),
              "page %d: pixels differ from PIL's by %s" % (page, diff))


def strip(path):
    """The coded bytes of a one-strip TIFF."""
    tags = Image.open(path).tag_v2
    with open(path, "rb") as f:
        return f.read()[tags[273][0]:][:tags[279][0]]


def test_carried_over(exe, work, expected):
    shutil.copy(os.path.join(PAGES, "photo.jpg"), work)
    with open(os.path.join(work, "photo.jpg"), "rb") as f:
        jpeg = f.read()
    g4, turned_g4 = strip(os.path.join(PAGES, "text_g4.tif")), strip(os.path.join(work, "white_g4.tif"))
    # (arguments, configuration, result, its coded bytes are the source's, the source's bytes)
    for args, lines, name, same, source in (
            (["/p3", "scan.pdf"], ["FORMAT_SORTIE=JPEG"], "scan_p3.jpg", True, jpeg),
            (["photo.jpg"], ["FORMAT_SORTIE=JPEG"], "photo.jpg", True, jpeg),
            (["/p3", "scan.pdf"], ["FORMAT_SORTIE=JPEG", "FLOU=o"], "scan_p3.jpg", False, jpeg),
            (["/b", "/p2", "scan.pdf"], ["FORMAT_SORTIE=TIFF"], "scan_p2.tif", True, g4),
            (["/b", "/p4", "scan.pdf"], ["FORMAT_SORTIE=TIFF"], "scan_p4.tif", False, turned_g4)):
        status, said, written = nivelo(exe, work, args, lines)
        if not check(status == 0 and written == ["deux/" + name], "%s %s: %s %r" % (args, lines, status, said)):
            continue
        path = os.path.join(work, "deux", name)
        with open(path, "rb") as f:
            coded = strip(path) if name.endswith(".tif") else f.read()
        check((coded == source) == same, "%s %s: coded stream %s" % (args, lines, "changed" if same else "kept"))
        if name.endswith(".tif"):  # and the G4 pages are still the pages they were
            page = int(args[1][2:]) - 1
            diff = largest_difference(Image.open(path).convert("L"), expected[page][0])
            check(diff == 0, "%s: pixels differ by %s" % (args, diff))


def fax_page(pdf, path, parms):
    """A page drawing the one strip of a fax TIFF file as a CCITT image."""
    im = Image.open(path)
    with open(path, "rb") as f:
        data = f.read()[im.tag_v2[273][0]:][:im.tag_v2[279][0]]
    w, h = im.size
    image = pikepdf.Stream(pdf, data, Type=pikepdf.Name.XObject, Subtype=pikepdf.Name.Image, Width=w, Height=h,
                           BitsPerComponent=1, ColorSpace=pikepdf.Name.DeviceGray,
                           Filter=pikepdf.Name.CCITTFaxDecode,
                           DecodeParms=pikepdf.Dictionary(Columns=w, BlackIs1=im.tag_v2[262] == 1, **parms))
    content = pikepdf.Stream(pdf, b"q %d 0 0 %d 0 0 cm /Im0 Do Q" % (w, h))
    pdf.pages.append(pikepdf.Page(pikepdf.Dictionary(
        Type=pikepdf.Name.Page, MediaBox=[0, 0, w, h], Contents=content,
        Resources=pikepdf.Dictionary(XObject=pikepdf.Dictionary(Im0=image)))))


def test_fax_codings(exe, work):
    fixtures = os.path.join(PAGES, "..", "..", "tiff", "fixtures")
    tool("convert", os.path.join(PAGES, "text_g4.tif"), "-compress", "None", "raw.tif", cwd=work)
    pdf, sources = pikepdf.new(), []
    for tiffcp, parms in (("g3", dict(K=0, EndOfLine=True)), ("g3:2d:fill", dict(K=1, EndOfLine=True)),
                          (None, dict(K=0, EncodedByteAlign=True))):
        path = os.path.join(fixtures, "fax_mh.tif") if tiffcp is None else os.path.join(work, tiffcp + ".tif")
        if tiffcp:
            tool("tiffcp", "-r", "100000", "-c", tiffcp, "raw.tif", path, cwd=work)
        fax_page(pdf, path, parms)
        sources.append(Image.open(path).convert("L"))
    pdf.save(os.path.join(work, "fax.pdf"))
    for page, source in enumerate(sources, 1):
        status, said, written = nivelo(exe, work, ["/p%d" % page, "fax.pdf"], ["FORMAT_SORTIE=TIFF"])
        if check(status == 0 and written == ["deux/fax_p%d.tif" % page], "fax page %d: %r" % (page, said)):
            diff = largest_difference(Image.open(os.path.join(work, written[0])).convert("L"), source)
            check(diff == 0, "fax page %d: pixels differ by %s" % (page, diff))


def test_refused(exe, work):
    with open(os.path.join(work, "text.pdf"), "wb") as f:
        f.write(VECTOR_TEXT)
    tool("qpdf", "--encrypt", "u", "o", "256", "--", "scan.pdf", "locked.pdf", cwd=work)
    with open(os.path.join(work, "scan.pdf"), "rb") as f:
        whole = f.read()
    with open(os.path.join(work, "cut.pdf"), "wb") as f:
        f.write(whole[:len(whole) // 3])
    for args, words in ((["text.pdf"], "text.pdf, page 1 : ce n'est pas une page scannée"),
                        (["locked.pdf"], "locked.pdf : PDF protégé par un mot de passe"),
                        (["cut.pdf"], "cut.pdf : fichier PDF endommagé ou incomplet"),
                        (["/p5", "scan.pdf"], "scan.pdf : le fichier a 4 page(s), il n'a pas de page 5")):
        status, said, written = nivelo(exe, work, args)
        check(status == 1 and len(said) == 1 and said[0].startswith(words) and written == [],
              "%s: %s %r %r" % (args, status, said, written))


def main():
    exe = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        expected = make_document(work)
        test_pages(exe, work, expected)
        test_carried_over(exe, work, expected)
        test_fax_codings(exe, work)
        test_refused(exe, work)
    for f in failures:
        print("FAIL:", f)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
