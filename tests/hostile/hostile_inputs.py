#!/usr/bin/env python3
"""Hostile input files through the real nivelo executable.

    hostile_inputs.py NIVELO [--quick]

Classes: truncations of a small valid TGA and TIFF at every length, every
header field of each set to 0, 1, its maximum and a random value, strips
pointing past the end of the file, overlapping strips, and a 1 KB TIFF that
declares 65535 x 65535 RGB with compressed strips that end early.

Every run must exit by itself with status 0, print nothing on standard error,
print only messages nivelo knows, beginning with the one the case calls for
where there is one, and leave either no result, with the earlier results of
that name intact, or a complete result.  What each header value means is
left to the readers' own tests.  --quick runs a representative subset (the
test suite's).
The memory rule is applied with NIVELO_MEMORY_LIMIT = 4 GiB so that the
outcome does not depend on the machine.
"""
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

NAME = "page.tga"
EARLIER = b"earlier result"
MEMORY_LIMIT = 4 << 30
TIMEOUT = 20

# Every line nivelo may print about a hostile file; P is the file's name.
KNOWN_LINES = [
    r"Error reading file P", r"Not enough memory",
    r"P: alpha not supported", r"P: LookUpTable not supported",
    r"P: Only 8 & 24 bits images supported", r"P: Unknown format",
    r"P: Indexed image with no palette", r"P: Palette with more than 256 colors",
    r"P: Palette not in 24 bits", r"P: TrueColor image with palette",
    r"P: Grey image with palette", r"P: Interlaced images not supported",
    r"P: could not read palette", r"P: malformed file",
    r"-?\d+\.\d{6}", r"P done\.", r"aucune ligne de texte trouvée : angle 0",
    r"out[12]/page\.tga: trying to save image with height or width == 0",
]


def known(line):
    return any(re.fullmatch(p.replace("P", re.escape(NAME)), line) for p in KNOWN_LINES)


# ---------------------------------------------------------------- valid files

def page_pixels(width, height, bpp):
    """A light page with two dark lines, so that every stage has work."""
    out = bytearray()
    for y in range(height):
        for x in range(width):
            dark = y in (4, 5) or (y == 9 and x > 2)
            v = 30 if dark else 220 + (x * 7 + y * 3) % 20
            out += bytes([v, (v + 5) % 256, (v + 9) % 256][:bpp])
    return bytes(out)


def tga_file(width=16, height=12):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0x20)
    return header + page_pixels(width, height, 3)


# TGA header fields: (name, offset, size in bytes).
TGA_FIELDS = [("id length", 0, 1), ("colour map type", 1, 1), ("image type", 2, 1),
              ("first map entry", 3, 2), ("map length", 5, 2), ("map entry size", 7, 1),
              ("x origin", 8, 2), ("y origin", 10, 2), ("width", 12, 2), ("height", 14, 2),
              ("depth", 16, 1), ("descriptor", 17, 1)]


def tiff_file(width=16, height=12, rows_per_strip=4, strip_offsets=None, extra_entries=(),
              photometric=1, samples=1, compression=1, strips=None):
    """Little-endian grey (or RGB) TIFF, uncompressed unless strips are given:
    header, directory, strip arrays, then the strips."""
    bpp = samples
    row = width * bpp
    if strips is None:
        pixels = page_pixels(width, height, bpp)
        strips = [pixels[i * row:(i + rows_per_strip) * row] for i in range(0, height, rows_per_strip)]
    n = len(strips)
    entries = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 8), (259, 3, 1, compression),
               (262, 3, 1, photometric), (273, 4, n, None), (277, 3, 1, samples),
               (278, 3, 1, rows_per_strip), (279, 4, n, None)] + list(extra_entries)
    entries.sort(key=lambda e: e[0])
    directory_size = 2 + 12 * len(entries) + 4
    arrays = 8 + directory_size
    data = arrays + (8 * n if n > 1 else 0)
    offsets, position = [], data
    for s in strips:
        offsets.append(position)
        position += len(s)
    if strip_offsets is not None:
        offsets = strip_offsets
    out = bytearray(b"II" + struct.pack("<HI", 42, 8) + struct.pack("<H", len(entries)))
    for tag, typ, count, value in entries:
        if tag == 273:
            value = offsets[0] if n == 1 else arrays
        elif tag == 279:
            value = len(strips[0]) if n == 1 else arrays + 4 * n
        out += struct.pack("<HHI", tag, typ, count)
        out += struct.pack("<HH", value, 0) if typ == 3 else struct.pack("<I", value)
    out += struct.pack("<I", 0)
    if n > 1:
        out += b"".join(struct.pack("<I", o) for o in offsets)
        out += b"".join(struct.pack("<I", len(s)) for s in strips)
    return bytes(out + b"".join(strips))


def tiff_fields(data):
    """Header fields, then tag, type, count and value of every entry:
    (name, offset, size)."""
    fields = [("byte order", 0, 2), ("magic", 2, 2), ("IFD offset", 4, 4), ("entry count", 8, 2)]
    count = struct.unpack_from("<H", data, 8)[0]
    for i in range(count):
        at = 10 + 12 * i
        tag = struct.unpack_from("<H", data, at)[0]
        for part, offset, size in (("tag", 0, 2), ("type", 2, 2), ("count", 4, 4), ("value", 8, 4)):
            fields.append(("entry %d %s" % (tag, part), at + offset, size))
    return fields


def with_field(data, offset, size, value):
    return data[:offset] + value.to_bytes(size, "little") + data[offset + size:]


def field_values(size, rng):
    top = (1 << (8 * size)) - 1
    return [("0", 0), ("1", 1), ("max", top), ("random", rng.randrange(top + 1))]


def repeated_strip_tags():
    """65535 StripOffsets entries, each naming the same 65535 offsets: 1 MB."""
    entries, count = 65535, 65535
    values = 8 + 2 + 12 * entries + 4
    out = bytearray(b"II" + struct.pack("<HIH", 42, 8, entries))
    out += struct.pack("<HHII", 273, 4, count, values) * entries
    return bytes(out + struct.pack("<I", 0) + bytes(4 * count))


def packbits_ending_early():
    """One literal row start, then the strip ends: the decoder gives up."""
    return bytes([0x7F]) + bytes(16)


def lzw_ending_early():
    """Clear, one code, End of Information: the rest of the strip stays zero."""
    bits = "".join(format(c, "09b") for c in (256, 65, 257))
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def huge_tiff():
    """65535 x 65535 RGB in 16 LZW strips that all point at the same few bytes."""
    strip = lzw_ending_early()
    rows = 4096
    data = tiff_file(width=65535, height=65535, rows_per_strip=rows, photometric=2, samples=3,
                     compression=5, strips=[strip] * 16)
    # Every strip at the first one's place: 16 strips, a few bytes of data.
    fields = dict((n, (o, s)) for n, o, s in tiff_fields(data))
    first = struct.unpack_from("<I", data, fields["entry 273 value"][0])[0]
    first_strip = struct.unpack_from("<I", data, first)[0]
    out = bytearray(data)
    for i in range(16):
        struct.pack_into("<I", out, first + 4 * i, first_strip)
    out = bytes(out[:first_strip + len(strip)])
    return out + bytes(1024 - len(out)) if len(out) < 1024 else out


# ------------------------------------------------------------------ running

class Case:
    def __init__(self, cls, label, data, first=None, loads=False):
        self.cls, self.label, self.data = cls, label, data
        self.first = first  # the line that must come first, P for the file's name
        self.loads = loads


def run_case(nivelo, case, work):
    for d in ("out1", "out2"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d))
        with open(os.path.join(work, d, NAME), "wb") as f:
            f.write(EARLIER)
    with open(os.path.join(work, NAME), "wb") as f:
        f.write(case.data)
    env = dict(os.environ, NIVELO_MEMORY_LIMIT=str(MEMORY_LIMIT))
    try:
        p = subprocess.run([nivelo, "/cconf.txt", NAME], cwd=work, env=env, capture_output=True,
                           timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return "hang"
    if p.returncode < 0:
        return "signal %d" % -p.returncode
    if p.returncode != 0:
        return "exit status %d" % p.returncode
    if p.stderr:
        return "standard error: " + p.stderr.decode(errors="replace")[:200]
    lines = p.stdout.decode(errors="replace").splitlines()
    done = NAME + " done." in lines
    unknown = [l for l in lines if not known(l)]
    if unknown:
        return "unexpected message: %r" % unknown[0]
    if case.loads and not done:
        return "did not load: %r" % lines
    if case.first is not None and lines[:1] != [case.first.replace("P", NAME)]:
        return "messages %r, expected first %r" % (lines, case.first)
    for d in ("out1", "out2"):
        files = sorted(os.listdir(os.path.join(work, d)))
        if files != [NAME]:
            return "files left in %s: %r" % (d, files)
        with open(os.path.join(work, d, NAME), "rb") as f:
            result = f.read()
        if not done and result != EARLIER:
            return "earlier result in %s damaged" % d
        if done and result != EARLIER and not complete_tga(result):
            return "incomplete result in %s" % d
    return "loaded" if done else "refused: " + (" + ".join(l.replace(NAME, "P") for l in lines) or "silently")


def complete_tga(data):
    if len(data) < 18:
        return False
    map_length = struct.unpack_from("<H", data, 5)[0] if data[1] & 1 else 0
    width, height = struct.unpack_from("<HH", data, 12)
    bpp = 3 if data[2] & 3 == 2 else 1
    return len(data) == 18 + 3 * map_length + width * height * bpp


def build_cases(quick):
    rng = random.Random(10)
    cases = []
    tga = tga_file()
    tif = tiff_file()

    def lengths(n):
        if not quick:
            return range(n)
        # Inside the first header, a spread over the rest, the last bytes.
        return sorted(set(list(range(0, 20, 3)) + list(range(20, n, 37)) + [n - 2, n - 1]))

    def values(size, index):
        """0, 1, the maximum and a random value; one of them a field when quick."""
        all_values = field_values(size, rng)
        return [all_values[index % 4]] if quick else all_values

    for n in lengths(len(tga)):
        cases.append(Case("TGA cut short", "%d of %d bytes" % (n, len(tga)), tga[:n], "Error reading file P"))
    for n in lengths(len(tif)):
        cases.append(Case("TIFF cut short", "%d of %d bytes" % (n, len(tif)), tif[:n], "Error reading file P"))
    for name, offset, size in TGA_FIELDS:
        for label, value in (field_values(size, rng)[::2] if quick else field_values(size, rng)):
            cases.append(Case("TGA header fields", "%s = %s" % (name, label), with_field(tga, offset, size, value)))
    for index, (name, offset, size) in enumerate(tiff_fields(tif)):
        for label, value in values(size, index):
            cases.append(Case("TIFF header fields", "%s = %s" % (name, label), with_field(tif, offset, size, value)))
    # Strips past the end: each strip in turn, by its offset and by its count.
    fields = dict((n, (o, s)) for n, o, s in tiff_fields(tif))
    arrays = struct.unpack_from("<I", tif, fields["entry 273 value"][0])[0]
    counts = struct.unpack_from("<I", tif, fields["entry 279 value"][0])[0]
    for i in range(3):
        for label, at, value in (("offset", arrays + 4 * i, len(tif) - 10),
                                 ("offset", arrays + 4 * i, 0xFFFFFFFF),
                                 ("byte count", counts + 4 * i, len(tif))):
            data = tif[:at] + struct.pack("<I", value) + tif[at + 4:]
            cases.append(Case("TIFF strips past the end", "strip %d %s = %d" % (i, label, value), data,
                              "Error reading file P"))
    # Overlapping strips: all at the first strip, or each starting inside the one before.
    first = struct.unpack_from("<I", tif, arrays)[0]
    for label, starts in (("all at one place", [first] * 3), ("each 10 bytes into the last", [first, first + 10, first + 20]),
                          ("strips over the directory", [8, 8, 8])):
        data = bytearray(tif)
        for i, s in enumerate(starts):
            struct.pack_into("<I", data, arrays + 4 * i, s)
        cases.append(Case("TIFF overlapping strips", label, bytes(data), loads=True))
    cases.append(Case("TIFF tag repeated 65535 times", "StripOffsets, 65535 values each time",
                      repeated_strip_tags(), "P: alpha not supported"))
    huge = huge_tiff()
    cases.append(Case("65535 x 65535 RGB TIFF of %d bytes" % len(huge), "LZW strips ending early", huge,
                      "Not enough memory"))
    pb = tiff_file(width=65535, height=65535, rows_per_strip=65535, photometric=2, samples=3,
                   compression=32773, strips=[packbits_ending_early()])
    cases.append(Case("65535 x 65535 RGB TIFF of %d bytes" % len(pb), "one PackBits strip ending early", pb,
                      "Not enough memory"))
    return cases


def main():
    nivelo = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="nivelo_hostile_")
    try:
        with open(os.path.join(work, "conf.txt"), "w") as f:
            f.write("REPERTOIRE1=out1/\nREPERTOIRE2=out2/\n")
        cases = build_cases("--quick" in sys.argv)
        failures = []
        for case in cases:
            outcome = run_case(nivelo, case, work)
            if outcome != "loaded" and not outcome.startswith("refused"):
                failures.append("%s, %s: %s" % (case.cls, case.label, outcome))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED " + f)
    print("%d hostile files, %d failed" % (len(cases), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
