#!/usr/bin/env python3
"""Writes the seed files of the PDF fuzz target into fuzz/seeds/pdf: tiny
scanned pages made by img2pdf (grey and colour Flate, palette, JPEG, G4, a
page turned by /Rotate, object streams by qpdf), then the same files cut
short and with a bad /Length, /Filter, /Rotate and /Width.
Run with Debian's python3 (python3-pil, img2pdf, qpdf); the files are committed."""
import os
import re
import subprocess
import tempfile

from PIL import Image, ImageDraw

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "seeds", "pdf")


def pages(work):
    colour = Image.new("RGB", (24, 16), (250, 245, 240))
    for y in (3, 8, 12):
        ImageDraw.Draw(colour).line([2, y, 20, y + 1], fill=(20, 30, 160))
    grey = colour.convert("L")
    made = {"grey.png": grey, "colour.png": colour, "palette.png": colour.quantize(8), "colour.jpg": colour,
            "grey.jpg": grey, "g4.tif": grey.point(lambda v: 255 if v > 127 else 0).convert("1")}
    for name, im in made.items():
        im.save(os.path.join(work, name), **({"compression": "group4"} if name.endswith(".tif") else {}))
    return {name: os.path.join(work, name) for name in made}


def main():
    os.makedirs(HERE, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        src = pages(work)
        out = lambda name: os.path.join(HERE, name)
        for name, path in src.items():
            subprocess.run(["img2pdf", "-o", out(name.replace(".", "_") + ".pdf"), path], check=True)
        subprocess.run(["img2pdf", "--rotation=90", "-o", out("rotated.pdf"), src["g4.tif"], src["colour.jpg"]],
                       check=True)
        subprocess.run(["img2pdf", "-o", os.path.join(work, "mixed.pdf"), *src.values()], check=True)
        subprocess.run(["qpdf", "--object-streams=generate", os.path.join(work, "mixed.pdf"), out("objstm.pdf")],
                       check=True)
        mixed = open(os.path.join(work, "mixed.pdf"), "rb").read()
        bad = {
            "cut.pdf": mixed[:len(mixed) * 2 // 3],
            "bad_length.pdf": re.sub(rb"/Length \d+", b"/Length 9", mixed),
            "bad_filter.pdf": mixed.replace(b"/FlateDecode", b"/FlateDecodX").replace(b"/DCTDecode", b"/JBIG2Decode"),
            "bad_rotate.pdf": mixed.replace(b"/Type /Page\n", b"/Type /Page /Rotate 45\n")
                                   .replace(b"/Type /Page ", b"/Type /Page /Rotate -99999999999 "),
            "huge_width.pdf": re.sub(rb"/Width \d+", b"/Width 99999999", mixed, count=2),
        }
        for name, data in bad.items():
            open(out(name), "wb").write(data)


if __name__ == "__main__":
    main()
