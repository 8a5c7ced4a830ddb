"""Where two images nivelo wrote first part: uncompressed TGA (types 1, 2, 3,
either row order) and uncompressed TIFF (1 or 8 bits a sample, in strips) by
pixel, other files by byte."""
import struct
from pathlib import Path


def _tga(data):
    if len(data) < 18 or data[2] not in (1, 2, 3) or data[16] not in (8, 24):
        return None
    map_length, map_bits = struct.unpack_from("<H", data, 5)[0], data[7]
    width, height = struct.unpack_from("<HH", data, 12)
    size = data[16] // 8
    start = 18 + data[0] + ((map_length * map_bits + 7) // 8 if data[1] else 0)
    top_down = bool(data[17] & 0x20)

    def pixel(x, y):
        at = start + ((y if top_down else height - 1 - y) * width + x) * size
        return tuple(data[at:at + size])
    return width, height, pixel


def _tiff(data):
    if len(data) < 8 or data[:2] not in (b"II", b"MM"):
        return None
    order, tags = "<" if data[:2] == b"II" else ">", {}
    first = struct.unpack_from(order + "I", data, 4)[0]
    for i in range(struct.unpack_from(order + "H", data, first)[0]):
        tag, kind, count, value = struct.unpack_from(order + "HHI4s", data, first + 2 + 12 * i)
        size = {3: 2, 4: 4}.get(kind)
        if size is not None:
            where = value if size * count <= 4 else data[struct.unpack(order + "I", value)[0]:][:size * count]
            tags[tag] = struct.unpack_from(order + ("H" if size == 2 else "I") * count, where)
    width, height = tags[256][0], tags[257][0]
    bits, samples = tags.get(258, (1,))[0], tags.get(277, (1,))[0]
    if tags.get(259, (1,))[0] != 1 or bits not in (1, 8):
        return None
    rows = b"".join(data[o:o + n] for o, n in zip(tags[273], tags[279]))
    row_size = (width * bits * samples + 7) // 8

    def pixel(x, y):
        if bits == 1:
            return ((rows[y * row_size + x // 8] >> (7 - x % 8)) & 1,)
        at = y * row_size + x * samples
        return tuple(rows[at:at + samples])
    return width, height, pixel


def read(path):
    """(width, height, pixel) with pixel(x, y) a tuple of samples, or None for a file of another kind."""
    try:
        return (_tga if path.lower().endswith(".tga") else _tiff)(Path(path).read_bytes())
    except (KeyError, IndexError, struct.error):
        return None


def first_difference(expected, found):
    """Where the file `found` parts from `expected`: a pixel, a size, or a byte."""
    a, b = read(expected), read(found)
    if a is None or b is None:
        x, y = Path(expected).read_bytes(), Path(found).read_bytes()
        at = next((i for i in range(min(len(x), len(y))) if x[i] != y[i]), min(len(x), len(y)))
        return "first differing byte at offset %d (%d bytes expected, %d found)" % (at, len(x), len(y))
    if a[:2] != b[:2]:
        return "size %d x %d expected, %d x %d found" % (a[0], a[1], b[0], b[1])
    for y in range(a[1]):
        for x in range(a[0]):
            if a[2](x, y) != b[2](x, y):
                return "first differing pixel (%d, %d): %s expected, %s found" % (x, y, a[2](x, y), b[2](x, y))
    return "same pixels; the files differ elsewhere (header or layout)"
