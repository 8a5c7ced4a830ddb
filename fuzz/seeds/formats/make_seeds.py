#!/usr/bin/env python3
"""Writes the seed files of the format fuzz targets into this folder: tiny
pages of every kind the library readers take, made by PIL and tiffcp.
Run with Debian's python3 (python3-pil); the files are committed."""
import os
import subprocess

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))


def page(mode):
    im = Image.new("RGB", (24, 16), (250, 245, 240))
    d = ImageDraw.Draw(im)
    for y in (3, 8, 12):
        d.line([2, y, 20, y + 1], fill=(20, 30, 160))
    return im.convert(mode)


def main():
    j = lambda name: os.path.join(HERE, name)
    colour, grey = page("RGB"), page("L")
    grey.save(j("grey.png"))
    colour.quantize(8).save(j("palette.png"))
    rgba = colour.copy()
    rgba.putalpha(128)
    rgba.save(j("rgba.png"))
    colour.save(j("colour.jpg"), quality=50)
    grey.save(j("grey.jpg"), quality=50)
    colour.save(j("progressive.jpg"), quality=50, progressive=True)
    colour.convert("CMYK").save(j("cmyk.jpg"), quality=50)
    exif = Image.Exif()
    exif[0x0112] = 6
    colour.save(j("exif6.jpg"), quality=50, exif=exif.tobytes())
    grey.point(lambda v: 255 if v > 127 else 0).convert("1").save(j("raw1.tif"))
    subprocess.run(["tiffcp", "-c", "g4", j("raw1.tif"), j("g4.tif")], check=True)
    subprocess.run(["tiffcp", "-c", "g3", j("raw1.tif"), j("g3.tif")], check=True)
    colour.save(j("deflate.tif"), compression="tiff_adobe_deflate")
    subprocess.run(["tiffcp", "-c", "zip", "-t", "-w", "16", "-l", "16", j("deflate.tif"), j("tiled.tif")], check=True)
    subprocess.run(["tiffcp", "-c", "jpeg", j("deflate.tif"), j("jpeg.tif")], check=True)
    subprocess.run(["tiffcp", "-c", "lzw", j("g4.tif"), j("deflate.tif"), j("two_pages.tif")], check=True)
    os.remove(j("raw1.tif"))


if __name__ == "__main__":
    main()
