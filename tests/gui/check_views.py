"""Checks a screenshot of nivelo_gui's views against the stage images in the
work directory, drawn at full page as the renderer draws them.

  check_views.py < checks     one check a line, all of them run:
    match <shot.ppm> <before.tga> <after.tga>   views show these images
    differ <shot a.ppm> <shot b.ppm>            right views differ
    sides <shot.ppm>                            right view differs from left

Layout for a 1280 x 1024 screen: surface from y = 25, views 531 wide from
x = 200 and x = 733; the view height is the length of the black separator
column at x = 199.
"""
import struct
import sys

TOP, LEFT, RIGHT, WIDTH = 25, 200, 733, 531
GREY = (160, 160, 160)


def load_ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    return int(fields[1]), data[at + 1:]


def pixel(shot, x, y):
    width, pixels = shot
    at = 3 * (y * width + x)
    return tuple(pixels[at:at + 3])


def load_tga(path):
    """Uncompressed grey or true-colour TGA, as nivelo writes its stage images."""
    data = open(path, "rb").read()
    id_length, _, kind = data[0], data[1], data[2]
    width, height, bits, descriptor = struct.unpack("<HHBB", data[12:18])
    assert kind in (2, 3) and bits in (8, 24), (path, kind, bits)
    size = bits // 8
    body = data[18 + id_length:]
    rows = [body[r * width * size:(r + 1) * width * size] for r in range(height)]
    if not descriptor & 0x20:
        rows.reverse()  # bottom-up file

    def colour(x, y):
        row = rows[y]
        if size == 1:
            g = row[x]
            return (g, g, g)
        b, g, r = row[3 * x:3 * x + 3]
        return (r, g, b)
    return width, height, colour


def view_height(shot):
    h = 0
    while TOP + h < 1024 and pixel(shot, LEFT - 1, TOP + h) == (0, 0, 0):
        h += 1
    return h


def expected(image, before, j, i, vh):
    w0, h0 = before[0], before[1]
    if (vh * w0) // WIDTH < h0:
        x, y = (j * h0) // vh, (i * h0) // vh
    else:
        x, y = (j * w0) // WIDTH, (i * w0) // WIDTH
    return image[2](x, y) if x < image[0] and y < image[1] else GREY


def match(shot_path, before_path, after_path):
    shot = load_ppm(shot_path)
    before = load_tga(before_path)
    after = load_tga(after_path)
    vh = view_height(shot)
    assert vh > 500, f"view height {vh}"
    wrong = []
    for i in range(0, vh, 11):
        for j in range(0, WIDTH, 7):
            for x0, image in ((LEFT, before), (RIGHT, after)):
                if pixel(shot, x0 + j, TOP + i) != expected(image, before, j, i, vh):
                    wrong.append((x0 + j, TOP + i))
    if wrong:
        print(f"{shot_path}: {len(wrong)} pixels differ from {before_path} / {after_path}, first {wrong[:5]}")
        return 1
    return 0


def count_differences(a, b, xa, xb):
    vh = view_height(a)
    return sum(pixel(a, xa + j, TOP + i) != pixel(b, xb + j, TOP + i)
               for i in range(0, vh, 5) for j in range(0, WIDTH, 5))


def check(args):
    if args[0] == "match":
        return match(args[1], args[2], args[3])
    if args[0] == "differ":
        n = count_differences(load_ppm(args[1]), load_ppm(args[2]), RIGHT, RIGHT)
        print(f"{n} sampled pixels of the right view changed")
        return 0 if n > 50 else 1
    if args[0] == "sides":
        shot = load_ppm(args[1])
        n = count_differences(shot, shot, LEFT, RIGHT)
        print(f"{n} sampled pixels differ between the views")
        return 0 if n > 500 else 1
    print(f"unknown check {args}")
    return 1


if __name__ == "__main__":  # check_panels.py imports the screenshot readers
    failed = 0
    for line in sys.stdin:
        if line.strip():
            if check(line.split()):
                print(f"FAILED: {line.strip()}")
                failed = 1
    sys.exit(failed)
