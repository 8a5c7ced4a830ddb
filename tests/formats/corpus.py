"""The foreign-made test files: each kind nivelo reads through a library,
made by ImageMagick, tiffcp/tiffset or PIL from one small drawn page, with
the pixels an independent decoder (PIL) gives for it.  A tolerance of 1 lets
CMYK, which libtiff divides without rounding, differ by one level."""
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
    cases = []  # (file name, expected (None: as PIL decodes it), tolerance)
    for program, source, name, options, expected, tolerance in (
            ("tiffcp", "bilevel_raw.tif", "g4.tif", "-c g4", bilevel.convert("L"), 0),  # min-is-black
            ("tiffcp", "bilevel_raw.tif", "g3.tif", "-c g3:2d", bilevel.convert("L"), 0),
            ("convert", "grey.png", "g4_white.tif", "-monochrome -compress Group4", None, 0),  # min-is-white
            ("tiffcp", "grey_raw.tif", "deflate_grey.tif", "-c zip:2", grey, 0),  # with predictor
            ("tiffcp", "colour_raw.tif", "deflate_colour.tif", "-c zip", colour, 0),
            ("tiffcp", "grey_raw.tif", "tiled_grey.tif", "-c lzw:2 -t -w 16 -l 16", grey, 0),
            ("tiffcp", "colour_raw.tif", "tiled_colour.tif", "-c zip -t -w 32 -l 16", colour, 0),
            ("tiffcp", "colour_raw.tif", "jpeg_ycbcr.tif", "-c jpeg:90 -r 16", None, 0),  # subsampled
            ("convert", "grey.png", "grey16_lzw.tif", "-depth 16 -compress LZW -define tiff:predictor=2", grey, 0),
            ("convert", "colour.png", "colour16.tif", "-depth 16 -compress Zip", colour, 0),
            ("convert", "colour.png", "cmyk.tif", "-colorspace CMYK -compress LZW", None, 1),
            ("convert", "grey.png", "orient6.tif", "-compress Zip", grey.transpose(Image.Transpose.ROTATE_270), 0),
            ("convert", "grey.png", "grey16.png", "-depth 16", grey, 0),
            ("convert", "colour.png", "colour16.png", "-depth 16", colour, 0),
            ("convert", "colour.png", "interlaced.png", "-interlace PNG", colour, 0)):
        files = [j(source), *options.split(), j(name)]
        run(program, *(files if program == "convert" else files[1:-1] + [files[0], files[-1]]))
        cases.append((name, expected, tolerance))
    run("tiffset", "-s", "274", "6", j("orient6.tif"))  # a quarter turn clockwise
    exif = Image.Exif()
    exif[0x0112] = 6
    # PIL decodes JPEG with the same library and settings as nivelo, so exactly.
    for im, name, options, expected in (
            (rgba, "rgba.tif", dict(compression="tiff_adobe_deflate"), rgba_white),  # unassociated alpha
            (grey, "grey8.png", {}, grey), (bilevel, "bilevel.png", {}, bilevel.convert("L")),
            (colour.quantize(64), "palette.png", {}, colour.quantize(64).convert("RGB")),
            (rgba, "rgba.png", {}, rgba_white), (grey_alpha, "grey_alpha.png", {}, grey_alpha_white),
            (colour, "colour.jpg", dict(quality=90), None), (grey, "grey.jpg", dict(quality=90), None),
            (colour, "progressive.jpg", dict(quality=85, progressive=True), None),
            (colour.convert("CMYK"), "cmyk.jpg", dict(quality=95), None),  # Adobe, inverted
            (colour, "exif6.jpg", dict(quality=90, exif=exif.tobytes()), None),
            (colour, "jpeg_named.tif", dict(format="JPEG", quality=90), None)):
        im.save(j(name), **options)
        cases.append((name, expected, 0))
    return cases


def independent_decode(path):
    """PIL's pixels, upright, in the mode nivelo keeps (grey or RGB)."""
    im = ImageOps.exif_transpose(Image.open(path))
    if im.mode == "I;16":
        return im.point(lambda v: v / 257).convert("L")
    return im.convert("L" if im.mode in ("1", "L", "I;16B", "I") else "RGB")
