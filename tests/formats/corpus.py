"""The foreign-made test files: each kind nivelo reads through a library,
made by ImageMagick, libtiff's tiffcp/tiffset or PIL from one small drawn
page, with the pixels an independent decoder (PIL) gives for it.

    make_corpus(folder) -> [(file name, expected PIL image, tolerance, what)]

A tolerance of 1 allows the rounding of a documented conversion (CMYK,
which libtiff divides without rounding) to differ by one level.
"""
import os
import subprocess

from PIL import Image, ImageDraw

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


def over_white(im):
    """Alpha over white, rounded as nivelo does: (c*a + 255*(255-a) + 127) // 255."""
    pixels = [tuple((c * p[-1] + 255 * (255 - p[-1]) + 127) // 255 for c in p[:-1]) for p in im.getdata()]
    result = Image.new("L" if im.mode == "LA" else "RGB", im.size)
    result.putdata([p[0] for p in pixels] if im.mode == "LA" else pixels)
    return result


def with_alpha(base):
    alpha = Image.linear_gradient("L").resize(base.size).point(lambda v: 255 - v // 2)
    im = base.copy()
    im.putalpha(alpha)
    return im


def make_corpus(folder):
    j = lambda name: os.path.join(folder, name)
    colour = drawn_page("RGB")
    grey = drawn_page("L")
    bilevel = grey.point(lambda v: 255 if v > 127 else 0).convert("1")
    colour.save(j("colour.png"))
    grey.save(j("grey.png"))
    grey.save(j("grey_raw.tif"))
    colour.save(j("colour_raw.tif"))
    bilevel.save(j("bilevel_raw.tif"))
    cases = []

    def tiffcp(source, name, *options, expected, tolerance=0, what=""):
        run("tiffcp", *options, j(source), j(name))
        cases.append((name, expected, tolerance, what))

    def magick(source, name, *options, expected, tolerance=0, what=""):
        run("convert", j(source), *options, j(name))
        cases.append((name, expected, tolerance, what))

    # TIFF through libtiff.
    tiffcp("bilevel_raw.tif", "g4.tif", "-c", "g4", expected=bilevel.convert("L"), what="CCITT G4, min-is-black")
    tiffcp("bilevel_raw.tif", "g3.tif", "-c", "g3:2d", expected=bilevel.convert("L"), what="CCITT G3 2-D")
    magick("grey.png", "g4_white.tif", "-monochrome", "-compress", "Group4",
           expected=None, what="CCITT G4, min-is-white (ImageMagick)")
    tiffcp("grey_raw.tif", "deflate_grey.tif", "-c", "zip:2", expected=grey, what="Deflate grey, predictor")
    tiffcp("colour_raw.tif", "deflate_colour.tif", "-c", "zip", expected=colour, what="Deflate colour")
    tiffcp("grey_raw.tif", "tiled_grey.tif", "-c", "lzw:2", "-t", "-w", "16", "-l", "16", expected=grey,
           what="LZW grey in 16 x 16 tiles")
    tiffcp("colour_raw.tif", "tiled_colour.tif", "-c", "zip", "-t", "-w", "32", "-l", "16", expected=colour,
           what="Deflate colour in tiles")
    tiffcp("colour_raw.tif", "jpeg_ycbcr.tif", "-c", "jpeg:90", "-r", "16", expected=None, tolerance=0,
           what="JPEG, YCbCr subsampled")
    magick("grey.png", "grey16_lzw.tif", "-depth", "16", "-compress", "LZW", "-define", "tiff:predictor=2",
           expected=grey, what="16-bit grey, LZW with predictor 2")
    magick("colour.png", "colour16.tif", "-depth", "16", "-compress", "Zip", expected=colour, what="16-bit RGB")
    magick("colour.png", "cmyk.tif", "-colorspace", "CMYK", "-compress", "LZW", expected=None, tolerance=1,
           what="CMYK")
    with_alpha(colour).save(j("rgba.tif"), compression="tiff_adobe_deflate")
    cases.append(("rgba.tif", over_white(with_alpha(colour)), 0, "RGB with unassociated alpha"))
    magick("grey.png", "orient6.tif", "-compress", "Zip", expected=grey.transpose(Image.Transpose.ROTATE_270),
           what="orientation 6: a quarter turn clockwise")
    run("tiffset", "-s", "274", "6", j("orient6.tif"))
    # PNG.
    grey.save(j("grey8.png"))
    cases.append(("grey8.png", grey, 0, "PNG grey 8"))
    bilevel.save(j("bilevel.png"))
    cases.append(("bilevel.png", bilevel.convert("L"), 0, "PNG 1-bit"))
    magick("grey.png", "grey16.png", "-depth", "16", expected=grey, what="PNG grey 16")
    magick("colour.png", "colour16.png", "-depth", "16", expected=colour, what="PNG RGB 16")
    colour.quantize(64).save(j("palette.png"))
    cases.append(("palette.png", colour.quantize(64).convert("RGB"), 0, "PNG palette"))
    with_alpha(colour).save(j("rgba.png"))
    cases.append(("rgba.png", over_white(with_alpha(colour)), 0, "PNG RGBA"))
    with_alpha(grey).save(j("grey_alpha.png"))
    cases.append(("grey_alpha.png", over_white(with_alpha(grey)), 0, "PNG grey with alpha"))
    magick("colour.png", "interlaced.png", "-interlace", "PNG", expected=colour, what="PNG interlaced")
    # JPEG: PIL decodes with the same library and settings, so exactly.
    colour.save(j("colour.jpg"), quality=90)
    cases.append(("colour.jpg", None, 0, "JPEG colour"))
    grey.save(j("grey.jpg"), quality=90)
    cases.append(("grey.jpg", None, 0, "JPEG grey"))
    colour.save(j("progressive.jpg"), quality=85, progressive=True)
    cases.append(("progressive.jpg", None, 0, "JPEG progressive"))
    colour.convert("CMYK").save(j("cmyk.jpg"), quality=95)
    cases.append(("cmyk.jpg", None, 0, "JPEG CMYK (Adobe, inverted)"))
    exif = Image.Exif()
    exif[0x0112] = 6
    colour.save(j("exif6.jpg"), quality=90, exif=exif.tobytes())
    cases.append(("exif6.jpg", None, 0, "JPEG with EXIF orientation 6"))
    colour.save(j("jpeg_named.tif"), format="JPEG", quality=90)
    cases.append(("jpeg_named.tif", None, 0, "JPEG named .tif"))
    return cases


def independent_decode(path):
    """PIL's pixels, upright, in the mode nivelo keeps (grey or RGB)."""
    from PIL import ImageOps
    im = ImageOps.exif_transpose(Image.open(path))
    if im.mode in ("1", "L", "I;16", "I;16B", "I"):
        return im.convert("L") if im.mode != "I;16" else im.point(lambda v: v / 257).convert("L")
    return im.convert("RGB")
