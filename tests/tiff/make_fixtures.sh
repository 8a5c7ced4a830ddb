#!/usr/bin/env bash
# Makes the TIFF test files of tests/tiff/fixtures with tools that are not
# ours: Python's PIL (Debian python3-pil), ImageMagick's convert and
# libtiff-tools' tiffcp.  Run once; the files are committed and neither the
# build nor the tests need this script.
#
# For every readable file it also writes what the tools say the image is:
# NAME.pgm (grey, or palette indices) or NAME.ppm (RGB), and NAME.pal (768
# bytes R, G, B) for palette images, decoded by PIL and cross-checked against
# ImageMagick's decoding.
set -euo pipefail
cd "$(dirname "$0")/fixtures"
rm -f ./*.tif ./*.pgm ./*.ppm ./*.pal
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
PY=/usr/bin/python3

# Base images, written uncompressed by PIL.
$PY - "$work" <<'PYEOF'
import sys
from PIL import Image, ImageDraw
w = sys.argv[1]
grey = Image.new('L', (37, 23))
grey.putdata([(x * 7 + y * 11 + (x * y) % 13) & 255 for y in range(23) for x in range(37)])
grey.save(w + '/grey8.tif')
grey.save(w + '/grey8.pgm')
rgb = Image.new('RGB', (29, 17))
rgb.putdata([((x * 9) & 255, (y * 15) & 255, (x * y * 3 + 40) & 255) for y in range(17) for x in range(29)])
rgb.save(w + '/rgb8.tif')
page = Image.new('1', (37, 23), 1)
d = ImageDraw.Draw(page)
d.rectangle((3, 4, 20, 10), fill=0)
d.line((0, 22, 36, 0), fill=0)
d.point([(36, 0), (0, 0), (35, 22)], fill=0)
page.save(w + '/bilevel.tif')
page.save(w + '/bilevel_mh.tif', compression='tiff_ccitt')
page.save(w + '/fax_mh.tif', compression='tiff_ccitt', tiffinfo={262: 0})
# Every code word length: runs of 1 to 63 of both colours, and long runs
# that need every make-up code, the extended ones included.
width = 2600
rows = []
for lo, hi in ((1, 32), (32, 48), (48, 64)):
    runs = []
    for t in range(lo, hi):
        runs += [t, t]
    rows.append(runs)
for r in range(41):
    a = 0 if r % 3 == 0 else r % 20
    rows.append([64 * r + a, 64 * (40 - r) + (20 - a) % 20])
rows.append([0, 2560, 40])  # black first pixel: white run of length 0
wide = Image.new('1', (width, len(rows)), 1)
px = wide.load()
for y, runs in enumerate(rows):
    x, colour = 0, 1
    for n in runs:
        for i in range(n):
            px[x + i, y] = colour
        x += n
        colour ^= 1
wide.save(w + '/wide_mh.tif', compression='tiff_ccitt')
pal = grey.convert('RGB').quantize(colors=200)
pal.save(w + '/pal8.tif')
PYEOF

tc() { tiffcp "$@"; }
# Grey, 8 bits, BlackIsZero.
tc -c none "$work/grey8.tif" grey8_none.tif
tc -c packbits "$work/grey8.tif" grey8_packbits.tif
tc -c lzw "$work/grey8.tif" grey8_lzw.tif
tc -c lzw:2 "$work/grey8.tif" grey8_lzw_predictor.tif
tc -B -c lzw -r 5 "$work/grey8.tif" grey8_lzw_bigendian_strips.tif
tc -c packbits -r 3 "$work/grey8.tif" grey8_packbits_strips.tif
# Grey, WhiteIsZero, 8 and 4 bits.
convert "$work/grey8.pgm" -define quantum:polarity=min-is-white -compress None white8_none.tif
convert "$work/grey8.pgm" -define quantum:polarity=min-is-white -compress LZW white8_lzw.tif
convert "$work/grey8.pgm" -depth 4 -define quantum:polarity=min-is-white -compress None white4_none.tif
convert "$work/grey8.pgm" -depth 4 -define quantum:polarity=min-is-white -compress RLE white4_packbits.tif
# Grey, 4 bits, BlackIsZero.
convert "$work/grey8.pgm" -depth 4 -compress None grey4_none.tif
tc -c packbits grey4_none.tif grey4_packbits.tif
tc -c lzw -r 4 grey4_none.tif grey4_lzw_strips.tif
# Bilevel, BlackIsZero.
tc -c none "$work/bilevel.tif" bilevel_none.tif
tc -c packbits "$work/bilevel.tif" bilevel_packbits.tif
tc -c lzw "$work/bilevel.tif" bilevel_lzw.tif
cp "$work/bilevel_mh.tif" bilevel_mh.tif
tc -f lsb2msb "$work/bilevel_mh.tif" bilevel_mh_fill2.tif
tc -B -r 7 "$work/bilevel_mh.tif" bilevel_mh_bigendian_strips.tif
cp "$work/wide_mh.tif" wide_mh.tif
# Its reference is the same image PackBits-coded: an expected image of its
# own would be far bigger than the file.
tc -c packbits "$work/wide_mh.tif" wide_packbits.tif
# Bilevel, WhiteIsZero: fax-style pages.
cp "$work/fax_mh.tif" fax_mh.tif
tc -f lsb2msb "$work/fax_mh.tif" fax_mh_fill2.tif
tc -c none "$work/fax_mh.tif" fax_none.tif
tc -c packbits "$work/fax_mh.tif" fax_packbits.tif
tc -c lzw "$work/fax_mh.tif" fax_lzw.tif
tc -c lzw white4_none.tif white4_lzw.tif
# RGB, 8 bits.
tc -c none "$work/rgb8.tif" rgb8_none.tif
tc -c packbits "$work/rgb8.tif" rgb8_packbits.tif
tc -c lzw "$work/rgb8.tif" rgb8_lzw.tif
tc -c lzw:2 -r 4 "$work/rgb8.tif" rgb8_lzw_predictor_strips.tif
tc -B -c none "$work/rgb8.tif" rgb8_none_bigendian.tif
# Palette, 8 and 4 bits.
tc -c none "$work/pal8.tif" pal8_none.tif
tc -c lzw "$work/pal8.tif" pal8_lzw.tif
convert "$work/rgb8.tif" -colors 16 -type Palette -depth 4 -compress None pal4_none.tif
tc -c packbits pal4_none.tif pal4_packbits.tif
tc -c lzw -r 6 pal4_none.tif pal4_lzw_strips.tif
tc -c packbits pal8_none.tif pal8_packbits.tif
# Three pages: the first is read.
tc -c lzw grey8_none.tif rgb8_none.tif bilevel_none.tif pages3.tif

# Expected images, from PIL, checked against libtiff's own RGBA decoding.
$PY - "$work" <<'PYEOF'
import glob, subprocess, sys
from PIL import Image
for name in sorted(glob.glob('*.tif')):
    base = name[:-4]
    if base == 'wide_mh':
        a = Image.open(name).tobytes()
        if a != Image.open('wide_packbits.tif').tobytes():
            raise SystemExit(name + ': differs from wide_packbits.tif')
        continue
    if base == 'wide_packbits':
        continue
    im = Image.open(name)
    im.seek(0)
    if im.mode == 'P':
        idx = Image.frombytes('L', im.size, im.tobytes())
        idx.save(base + '.pgm')
        pal = im.getpalette()[:768]
        pal += [0] * (768 - len(pal))
        open(base + '.pal', 'wb').write(bytes(pal))
        check, fmt = im.convert('RGB').tobytes(), 'rgb'
    elif im.mode == 'RGB':
        im.save(base + '.ppm')
        check, fmt = im.tobytes(), 'rgb'
    else:
        g = im.convert('L')
        g.save(base + '.pgm')
        check, fmt = g.tobytes(), 'gray'
    rgba = sys.argv[1] + '/rgba.tif'
    subprocess.run(['tiff2rgba', '-c', 'none', name, rgba + '.0'], check=True)
    # tiff2rgba keeps a FillOrder of 2, which PIL does not read uncompressed.
    subprocess.run(['tiffcp', '-f', 'msb2lsb', rgba + '.0', rgba], check=True)
    other = Image.open(rgba).convert('RGB' if fmt == 'rgb' else 'L').tobytes()
    # libtiff scales 16-bit colour map entries by 255/65535 where PIL (and
    # our reader) keep the high byte: palette colours may differ by one.
    slack = 1 if im.mode == 'P' else 0
    if len(other) != len(check) or any(abs(a - b) > slack for a, b in zip(other, check)):
        raise SystemExit(name + ': PIL and ImageMagick disagree')
PYEOF

# Files of kinds the reader refuses.
tc -c zip grey8_none.tif refuse_deflate.tif
tc -c g3:1d bilevel_none.tif refuse_group3.tif
tc -c g4 bilevel_none.tif refuse_group4.tif
convert "$work/rgb8.tif" -alpha Set -channel A -evaluate set 50% -compress None refuse_rgba.tif
convert "$work/grey8.pgm" -depth 16 -compress None refuse_grey16.tif
convert "$work/rgb8.tif" -colorspace CMYK -compress None refuse_cmyk.tif
ls -l
