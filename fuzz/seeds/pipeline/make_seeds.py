#!/usr/bin/env python3
"""Writes the seed inputs of the pipeline fuzz target next to this script.

Layout read by fuzz/fuzz_pipeline.cpp: shape, width, height, flags, mask (2),
palette seed; seven integer keys, VISION_ANGLE, BLUR_RADIUS, BLUR_LIMIT (a
selector byte each, then its payload); REPERTOIRE1, REPERTOIRE2, COTE_RECADRAGE,
COTE_FOND, the yes/no bits and their given bits, OFFSET_ANGLE,
COUL_REMPLISSAGE; then the page: paper colour, strokes, raw bytes.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OMIT = [0]


def small(v):      # integer 0..63
    return [2, v]


def negative(v):   # -(0..63)
    return [3, v]


def extreme(i):    # INT32_MAX, INT32_MIN, 65535, 65536, -65536, 2^20, -1, 255
    return [4, i]


def raw(v):
    return [5] + list(struct.pack(">i", v))


def real(v):       # (v - 128) / 8
    return [2, v]


def special(i):    # 1e30, -1e30, nan, inf, -inf, 1e-30, 360, x
    return [3, i]


def seed(shape, width, height, flags, mask, ints, angle, radius, limit, rep1, rep2,
         crop_sides, background_side, yes, given, offset, fill, strokes, tail=b""):
    b = [shape, width - 1, height - 1, flags, mask & 0xFF, mask >> 8, 7]
    for v in ints:
        b += v
    b += angle + radius + limit + [rep1, rep2, crop_sides, background_side, yes, given]
    b += offset + fill
    b += [235, 232, 228, len(strokes)]
    for s in strokes:
        b += list(s)
    return bytes(b) + tail


# Text lines of a page, drawn at a slope of about 2 degrees (9 / 256).
LINES = [(4, 10 + 12 * k, 150, 9, 2, 20) for k in range(7)]

SEEDS = {
    # Defaults everywhere: crop, blur, both saves, rotation.
    "defaults": seed(0, 160, 110, 0, 0, [OMIT] * 7, OMIT, OMIT, OMIT, 0, 1, 10, 8, 0x3F, 0x3F,
                     OMIT, OMIT, LINES),
    # Grey page, /f and /b, a preview asking for all twelve stage images.
    "grey_preview_bw": seed(1, 160, 100, 0x07, 4095, [OMIT] * 6 + [small(40)], OMIT, small(2), OMIT, 0, 1, 15, 1,
                            0x3F, 0x3F, real(140), [1, 0, 0, 0, 200, 10, 20], LINES),
    # Indexed, run-length encoded, bottom-up rows, a name without extension.
    "indexed_rle_noext": seed(2 | 4 | 8, 64, 48, 0x10, 0, [small(5), small(10)] + [OMIT] * 5, OMIT,
                              OMIT, OMIT, 5, 6, 0xFF, 4, 0x2B, 0x3F, OMIT, OMIT, LINES[:3]),
    # A 4 x 4 page with the largest radius and colour limit.
    "tiny_huge_radius": seed(0, 4, 4, 0, 0, [extreme(1), extreme(0), extreme(2), extreme(0), extreme(1),
                                             extreme(0), extreme(1)], special(0), extreme(0),
                             extreme(0), 0, 1, 15, 15, 0x3F, 0x3F, special(2), [2, 9], []),
    # Negative and zero values, with the rotation turned by a huge offset.
    "negative_values": seed(0, 50, 40, 0x01, 0, [negative(3), negative(1), [1], negative(5), negative(2),
                                                 negative(9), [1]], special(4), negative(4),
                            negative(50), 7, 3, 2, 2, 0x3F, 0x3F, special(0), [3],
                            LINES[:2]),
    # Directory values that do not fit or name the page itself.
    "odd_directories": seed(1, 30, 30, 0x20 | 0x02, 0, [OMIT] * 7, OMIT, OMIT, OMIT, 4, 3, 10, 8,
                            0x3F, 0x3F, OMIT, OMIT, LINES[:1]),
    # Raw values everywhere and noise laid over the page.
    "raw_values": seed(0, 90, 70, 0x05, 0x0A0A, [raw(-7), raw(1 << 30), raw(300), raw(-(1 << 31)),
                                                raw(12345), raw(2), raw(40)], real(20), raw(1 << 16),
                       raw(-1), 0, 1, 0x33, 0x11, 0x15, 0x2A, real(100), OMIT, LINES,
                       bytes((i * 37) & 0xFF for i in range(600))),
}

for name, data in SEEDS.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
