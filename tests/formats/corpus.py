"""The foreign-made test files: each kind nivelo reads through a library,
made by ImageMagick, libtiff's tiffcp/tiffset or PIL from one small drawn
page, with the pixels an independent decoder (PIL) gives for it.

    make_corpus(folder) -> [(file name, expected PIL image, tolerance, what)]

A tolerance of 1 allows the rounding of a documented conversion (CMYK,
which libtiff divides without rounding) to differ by one level.
"""
import os
import subprocess

from PIL import Image, ImageDraw, ImageOps

WIDTH, HEIGHT = 97, 61


def drawn_page(mode="RGB"):
    """Lines of 'text', a colour block and a gradient: every level appears."""
    im = Image.new("RGB", (WIDTH, HEIGHT), (250, 246, 240))
    d = ImageDraw.Draw(im)
    for y in range(6, HEIGHT - 6, 7):
        for x in range(4, WIDTH - 20, 9):
            d.rectangle([x, y, x + 5 + (x * y) % 3, y + 2], fill=(20 + x, 30, 40 + y))
    d.rectangle([WIDTH - 18, 4, WIDTH - 4, 30], fill=(200, 40, 60))
    for x in range(WIDTH):
        d.line([x, HEIGHT - 3, x, HEIGHT - 1], fill=(x * 255 // WIDTH, 255 - x * 2, 128))
    return im.convert(mode)


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def over_white(base):
    """base with a gradient alpha, and the same over white, rounded as nivelo
    does: (c*a + 255*(255-a) + 127) // 255."""
    im = base.copy()
    im.putalpha(Image.linear_gradient("L").resize(base.size).point(lambda v: 255 - v // 2))
    pixels = [tuple((c * p[-1] + 255 * (255 - p[-1]) + 127) // 255 for c in p[:-1]) for p in im.getdata()]
    result = Image.new(base.mode, base.size)
    result.putdata([p[0] for p in pixels] if base.mode == "L" else pixels)
    return im, result


def make_corpus(folder):
    j = lambda name: os.path.join(folder, name)
    colour, grey = drawn_page("RGB"), drawn_page("L")
    bilevel = grey.point(lambda v: 255 if v > 127 else 0).convert("1")
    for im, name in ((colour, "colour.png"), (grey, "grey.png"), (grey, "grey_raw.tif"),
                     (colour, "colour_raw.tif"), (bilevel, "bilevel_raw.tif")):
        im.save(j(name))
    rgba, rgba_white = over_white(colour)
    grey_alpha, grey_alpha_white = over_white(grey)
    cases = []
    # (program, source, result, options, expected (None: as PIL decodes it), tolerance, what)
    for program, source, name, options, expected, tolerance, what in (
            ("tiffcp", "bilevel_raw.tif", "g4.tif", "-c g4", bilevel.convert("L"), 0, "CCITT G4, min-is-black"),
            ("tiffcp", "bilevel_raw.tif", "g3.tif", "-c g3:2d", bilevel.convert("L"), 0, "CCITT G3 2-D"),
            ("convert", "grey.png", "g4_white.tif", "-monochrome -compress Group4", None, 0,
             "CCITT G4, min-is-white (ImageMagick)"),
            ("tiffcp", "grey_raw.tif", "deflate_grey.tif", "-c zip:2", grey, 0, "Deflate grey, predictor"),
            ("tiffcp", "colour_raw.tif", "deflate_colour.tif", "-c zip", colour, 0, "Deflate colour"),
            ("tiffcp", "grey_raw.tif", "tiled_grey.tif", "-c lzw:2 -t -w 16 -l 16", grey, 0,
             "LZW grey in 16 x 16 tiles"),
            ("tiffcp", "colour_raw.tif", "tiled_colour.tif", "-c zip -t -w 32 -l 16", colour, 0,
             "Deflate colour in tiles"),
            ("tiffcp", "colour_raw.tif", "jpeg_ycbcr.tif", "-c jpeg:90 -r 16", None, 0, "JPEG, YCbCr subsampled"),
            ("convert", "grey.png", "grey16_lzw.tif", "-depth 16 -compress LZW -define tiff:predictor=2", grey, 0,
             "16-bit grey, LZW with predictor 2"),
            ("convert", "colour.png", "colour16.tif", "-depth 16 -compress Zip", colour, 0, "16-bit RGB"),
            ("convert", "colour.png", "cmyk.tif", "-colorspace CMYK -compress LZW", None, 1, "CMYK"),
            ("convert", "grey.png", "orient6.tif", "-compress Zip", grey.transpose(Image.Transpose.ROTATE_270), 0,
             "orientation 6: a quarter turn clockwise"),
            ("convert", "grey.png", "grey16.png", "-depth 16", grey, 0, "PNG grey 16"),
            ("convert", "colour.png", "colour16.png", "-depth 16", colour, 0, "PNG RGB 16"),
            ("convert", "colour.png", "interlaced.png", "-interlace PNG", colour, 0, "PNG interlaced")):
        files = [j(source), *options.split(), j(name)]
        run(program, *(files if program == "convert" else files[1:-1] + [files[0], files[-1]]))
        cases.append((name, expected, tolerance, what))
    run("tiffset", "-s", "274", "6", j("orient6.tif"))
    exif = Image.Exif()
    exif[0x0112] = 6
    # (image, file name, PIL's save options, expected (None: as PIL decodes it), what).  PIL decodes
    # JPEG with the same library and settings as nivelo, so exactly.
    for im, name, options, expected, what in (
            (rgba, "rgba.tif", dict(compression="tiff_adobe_deflate"), rgba_white, "RGB with unassociated alpha"),
            (grey, "grey8.png", {}, grey, "PNG grey 8"),
            (bilevel, "bilevel.png", {}, bilevel.convert("L"), "PNG 1-bit"),
            (colour.quantize(64), "palette.png", {}, colour.quantize(64).convert("RGB"), "PNG palette"),
            (rgba, "rgba.png", {}, rgba_white, "PNG RGBA"),
            (grey_alpha, "grey_alpha.png", {}, grey_alpha_white, "PNG grey with alpha"),
            (colour, "colour.jpg", dict(quality=90), None, "JPEG colour"),
            (grey, "grey.jpg", dict(quality=90), None, "JPEG grey"),
            (colour, "progressive.jpg", dict(quality=85, progressive=True), None, "JPEG progressive"),
            (colour.convert("CMYK"), "cmyk.jpg", dict(quality=95), None, "JPEG CMYK (Adobe, inverted)"),
            (colour, "exif6.jpg", dict(quality=90, exif=exif.tobytes()), None, "JPEG with EXIF orientation 6"),
            (colour, "jpeg_named.tif", dict(format="JPEG", quality=90), None, "JPEG named .tif")):
        im.save(j(name), **options)
        cases.append((name, expected, 0, what))
    return cases


def independent_decode(path):
    """PIL's pixels, upright, in the mode nivelo keeps (grey or RGB)."""
    im = ImageOps.exif_transpose(Image.open(path))
    if im.mode == "I;16":
        return im.point(lambda v: v / 257).convert("L")
    return im.convert("L" if im.mode in ("1", "L", "I;16B", "I") else "RGB")
