#!/usr/bin/env python3
"""Writes the seed files of the format fuzz targets into fuzz/seeds/formats: tiny
pages of every kind the library readers take, made by PIL and tiffcp.
Run with Debian's python3 (python3-pil); the files are committed."""
import os
import subprocess

from PIL import Image, ImageDraw

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "seeds", "formats")


def main():
    j = lambda name: os.path.join(HERE, name)
    colour = Image.new("RGB", (24, 16), (250, 245, 240))
    for y in (3, 8, 12):
        ImageDraw.Draw(colour).line([2, y, 20, y + 1], fill=(20, 30, 160))
    grey, rgba, exif = colour.convert("L"), colour.copy(), Image.Exif()
    rgba.putalpha(128)
    # Odd sides and busy pixels: the direct PNG reader's row groups, every filter.
    busy = Image.new("RGB", (37, 11))
    busy.putdata([((x * 37 + y * 11) % 256, (x * x + y * 7) % 251, (x * y * 13) % 241)
                  for y in range(11) for x in range(37)])
    exif[0x0112] = 6
    for im, name, options in (
            (grey, "grey.png", {}), (busy, "colour8.png", {}), (colour.quantize(8), "palette.png", {}), (rgba, "rgba.png", {}),
            (colour, "colour.jpg", {}), (grey, "grey.jpg", {}), (colour, "progressive.jpg", dict(progressive=True)),
            (colour.convert("CMYK"), "cmyk.jpg", {}), (colour, "exif6.jpg", dict(exif=exif.tobytes())),
            (grey.point(lambda v: 255 if v > 127 else 0).convert("1"), "raw1.tif", {}),
            (colour, "deflate.tif", dict(compression="tiff_adobe_deflate"))):
        im.save(j(name), **(dict(quality=50, **options) if name.endswith(".jpg") else options))
    for options, sources, name in (("-c g4", ["raw1.tif"], "g4.tif"), ("-c g3", ["raw1.tif"], "g3.tif"),
                                   ("-c zip -t -w 16 -l 16", ["deflate.tif"], "tiled.tif"),
                                   ("-c jpeg", ["deflate.tif"], "jpeg.tif"),
                                   ("-c lzw", ["g4.tif", "deflate.tif"], "two_pages.tif")):
        subprocess.run(["tiffcp", *options.split(), *map(j, sources), j(name)], check=True)
    os.remove(j("raw1.tif"))


if __name__ == "__main__":
    main()
