#!/usr/bin/env bash
# Makes the TGA fixtures with a tool that is not ours (PIL), once; the files
# are committed and the tests only read them.  PIL writes bottom-up files by
# default, top-down ones on request.  (ImageMagick 6.9.11 is not used: it
# writes rows top-down while declaring a bottom-left origin.)  The pictures follow
# the formulas the tests check:
#   grey  g(x, y) = (37x + 11y) mod 256
#   colour (R, G, B) = (40x, 50y, 20(x + y))          on a 7 x 5 image
#   palette: 4 colours, index (x + 2y) mod 4, colours red, green, blue, white
set -euo pipefail
cd "$(dirname "$0")/fixtures"

/usr/bin/python3 - <<'PY'
from PIL import Image
W, H = 7, 5
g = Image.new("L", (W, H))
c = Image.new("RGB", (W, H))
for y in range(H):
    for x in range(W):
        g.putpixel((x, y), (37 * x + 11 * y) % 256)
        c.putpixel((x, y), (40 * x, 50 * y, 20 * (x + y)))
p = Image.new("P", (W, H))
p.putpalette([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255])
for y in range(H):
    for x in range(W):
        p.putpixel((x, y), (x + 2 * y) % 4)
g.save("pil_grey.tga")
g.save("pil_grey_rle.tga", compression="tga_rle")
g.save("pil_grey_topdown.tga", orientation=1)
c.save("pil_colour.tga")
c.save("pil_colour_rle_topdown.tga", compression="tga_rle", orientation=1)
p.save("pil_palette.tga")
PY

