#!/usr/bin/env python3
"""Writes into fuzz/seeds/pipeline the pipeline target's seeds for the precise search and the
orientation step, and the pages that have broken them: white print on black,
one colour, one row or column, print fed upside down.
Each seed: flags, /d mask (2 bytes), folders, configuration, 0, TGA page."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "seeds", "pipeline")
EVERY_STAGE = "RECADRAGE1=o\nFLOU=o\nSAUVEGARDE1=o\nROTATION=o\nRECADRAGE2=o\nSAUVEGARDE2=o\n"


def tga(width, height, pixel, grey=True):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 3 if grey else 2, 0, 0, 0, 0, 0, width, height,
                         8 if grey else 24, 0x20)
    body = bytearray()
    for y in range(height):
        for x in range(width):
            v = pixel(x, y)
            body += bytes([v]) if grey else bytes([v, v, 255 - v])
    return header + bytes(body)


def seed(name, config, page, flags=0, mask=0, folders=0o10, mark=""):
    head = bytes([flags, mask & 0xFF, mask >> 8, folders])
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + (mark + EVERY_STAGE + config).encode() + b"\0" + page)


inverted = tga(150, 150, lambda x, y: 255 if y % 20 < 3 and 20 < x < 130 else 0)
seed("precise_inverted", "AFFINAGE=O\nCOTE_RECADRAGE=HBGD\n", inverted)
seed("precise_inverted_bw", "AFFINAGE=O\n", tga(150, 150, lambda x, y: 255 if y % 20 < 2 else 0), flags=2)
seed("precise_black", "AFFINAGE=O\nFLOU=N\n", tga(120, 90, lambda x, y: 0))
seed("precise_one_colour", "AFFINAGE=O\nCOUL_REMPLISSAGE=255,255,255\n", tga(90, 120, lambda x, y: 200, grey=False))
seed("precise_one_row", "AFFINAGE=O\nAFFINAGE_PLAGE=45\n", tga(160, 1, lambda x, y: (x * 37) % 256))
seed("precise_one_column", "AFFINAGE=O\nAFFINAGE_PLAGE=0.01\n", tga(1, 160, lambda x, y: (y * 37) % 256))
seed("precise_preview_every_image", "affinage = oui\r\nOFFSET_ANGLE=-2.5\n",
     tga(100, 100, lambda x, y: 0 if y % 12 < 2 and x > 10 else 255), flags=4, mask=4095)
seed("every_key", "DETECT_WIDTH=5\nDETECT_DIFF=40\nVISION_LIMIT1=30\nVISION_LIMIT2=2\nVISION_WIDTH1=8\n"
     "VISION_WIDTH2=4\nVISION_WIDTH3=32\nVISION_ANGLE=10\nBLUR_RADIUS=2\nBLUR_LIMIT=765\n"
     "COTE_RECADRAGE=H,B,G,D\nCOTE_FOND=g\nOFFSET_ANGLE=1.5\nAFFINAGE=yes\nAFFINAGE_PLAGE=5\n"
     "COUL_REMPLISSAGE=10, 20, 30\n", tga(80, 60, lambda x, y: 0 if (x + 3 * y) % 17 == 0 else 230, grey=False),
     flags=1, mark="\ufeff")


def letters(x, y):
    """Print upside down: descender-heavy lines of letter-like marks."""
    line, o = y // 14, y % 14
    if x < 6 or x >= 154 or (x // 5 + line) % 7 == 0 or x % 5 == 4:
        return 240
    if 5 <= o < 10:
        return 20
    return 20 if 10 <= o < 13 and x % 5 == 0 and (x // 5 * 7 + line) % 3 == 0 else 240


seed("orientation_upside_down", "ORIENTATION=O\nAFFINAGE=O\n", tga(160, 150, letters))
seed("orientation_preview_bw", "orientation=oui\n", tga(150, 160, letters, grey=False), flags=6, mask=4095)
seed("orientation_black", "ORIENTATION=O\nRECADRAGE1=N\nFLOU=N\n", tga(120, 90, lambda x, y: 0))
seed("orientation_one_row", "ORIENTATION=O\n", tga(160, 1, lambda x, y: (x * 37) % 256))
seed("orientation_one_column", "ORIENTATION=O\nROTATION=N\n", tga(1, 160, lambda x, y: (y * 37) % 256))

