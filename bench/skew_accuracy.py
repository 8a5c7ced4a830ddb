#!/usr/bin/env python3
"""Skew accuracy of nivelo (AFFINAGE no and yes) beside ImageMagick's and
unpaper's deskew and, when bench/lept_skew was built, leptonica's
sweep-and-search skew finder, on three sets of pages:

  real     the real scans of bench/realpages, against their established skew
  turned   the same scans turned by known angles (ImageMagick's distortion
           resampler), against established skew + turn; the "turn measured"
           figure (angle found on the turned page minus angle found on the
           page itself, against the turn) does not depend on the established
           skew at all
  drawn    synthetic pages of make_page drawn at known angles

SKEW_PAGES=1 prints each page's errors (on the page and on its turned
copies) on standard error.

Angles follow nivelo's convention: positive when the lines rise to the right
(rows counted from the top).  ImageMagick's deskew:angle has the same sign;
unpaper prints radians of the opposite sign.

usage: skew_accuracy.py <nivelo> <make_page> <convert> <pages dir> <work dir> [<lept_skew>]
"""
import hashlib
import json
import math
import os
import statistics
import subprocess
import sys

# Turns applied to the real pages, in degrees (nivelo's sign), taken in turn.
TURNS = [-7.5, 2.8, -5.1, 0.9, 6.3, -2.2, 3.3, -0.6, 7.5, -3.9, 1.7, -1.4, 4.6, 0.4, -6.7, 2.1]
DRAWN = [-7.5, -6.1, -4.2, -2.6, -1.3, -0.45, 0.2, 0.85, 1.9, 3.1, 4.4, 5.8, 7.5]
TURNS_PER_PAGE = int(os.environ.get("SKEW_TURNS_PER_PAGE", "2"))


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


class PeerCache:
    """The peers are slow and their answers depend only on the file: kept
    in the work directory by content hash, so a second run of the bench
    times only nivelo.  Delete the directory to measure them afresh."""

    def __init__(self, work):
        self.path = os.path.join(work, "peer_angles.json")
        self.known = json.load(open(self.path)) if os.path.exists(self.path) else {}

    def angle(self, method, path):
        with open(path, "rb") as f:
            key = method.name + " " + hashlib.sha1(f.read()).hexdigest()
        if key not in self.known:
            if os.environ.get("SKEW_PEERS_CACHED"):  # only what is known: a quick partial table
                return None, False
            self.known[key] = method.measure(path)
            with open(self.path, "w") as f:
                json.dump(self.known, f)
        return tuple(self.known[key])


class Nivelo:
    def __init__(self, binary, work, precise):
        self.binary = binary
        self.name = "nivelo AFFINAGE=O" if precise else "nivelo (default)"
        self.config = os.path.join(work, "precise.txt" if precise else "default.txt")
        with open(self.config, "w") as f:
            f.write("SAUVEGARDE1=N\nSAUVEGARDE2=N\n")
            if precise:
                f.write("AFFINAGE=O\n")

    def angle(self, path):
        out = run([self.binary, "/c" + self.config, path]).stdout.splitlines()
        unmeasured = any(line.startswith("aucune ligne de texte") for line in out)
        values = [line for line in out if line and line[0] in "-0123456789" and " " not in line]
        return (float(values[-1]) if values else 0.0), unmeasured


class Magick:
    name = "ImageMagick -deskew 40%"

    def __init__(self, convert, cache):
        self.convert, self.cache = convert, cache

    def angle(self, path):
        return self.cache.angle(self, path)

    def measure(self, path):
        out = run([self.convert, path, "-deskew", "40%", "-format", "%[deskew:angle]", "info:"]).stdout
        return float(out.strip() or 0.0), False


class Unpaper:
    name = "unpaper (default)"

    def __init__(self, convert, work, cache):
        self.convert, self.work, self.cache = convert, work, cache

    def angle(self, path):
        return self.cache.angle(self, path)

    def measure(self, path):
        pnm = os.path.join(self.work, "unpaper_in.pnm")
        run([self.convert, path, pnm])
        out = run(["unpaper", "-v", "--overwrite", pnm, os.path.join(self.work, "unpaper_out.pnm")])
        for line in (out.stdout + out.stderr).splitlines():
            if line.startswith("rotation average:"):
                return -math.degrees(float(line.split()[2])), False
        return 0.0, True


class Leptonica:
    name = "leptonica sweep and search"

    def __init__(self, binary, convert, work, cache):
        self.binary, self.convert, self.work, self.cache = binary, convert, work, cache

    def angle(self, path):
        return self.cache.angle(self, path)

    def measure(self, path):
        if path.endswith(".tga"):  # leptonica reads no TGA
            png = os.path.join(self.work, "lept_in.png")
            run([self.convert, path, png])
            path = png
        out = run([self.binary, path]).stdout.split()
        if len(out) != 2 or float(out[1]) == 0.0:  # no confidence: it would not turn the page
            return 0.0, True
        return float(out[0]), False


def summary(errors, unmeasured):
    if not errors:
        return "| – | – | – | – | – | – | 0 |"
    e = sorted(abs(x) for x in errors)
    within = lambda t: 100.0 * sum(1 for x in e if x <= t) / len(e)
    return "| %.3f | %.3f | %.2f | %.0f %% | %.0f %% | %d | %d |" % (
        statistics.mean(e), statistics.median(e), e[-1], within(0.1), within(0.5), unmeasured, len(e))


def main():
    nivelo, make_page, convert, pages, work = sys.argv[1:6]
    os.makedirs(work, exist_ok=True)
    manifest = json.load(open(os.path.join(pages, "manifest.json")))
    cache = PeerCache(work)
    methods = [Nivelo(nivelo, work, False), Nivelo(nivelo, work, True), Magick(convert, cache),
               Unpaper(convert, work, cache)]
    if len(sys.argv) > 6 and os.path.exists(sys.argv[6]):
        methods.append(Leptonica(sys.argv[6], convert, work, cache))
    if os.environ.get("SKEW_ONLY"):  # e.g. SKEW_ONLY=AFFINAGE,unpaper: only the methods whose names hold one of these
        methods = [m for m in methods if any(w in m.name for w in os.environ["SKEW_ONLY"].split(","))]
    header = ("| method | mean | median | max | within 0.1° | within 0.5° | unmeasurable | pages |\n"
              "|---|---|---|---|---|---|---|---|")

    # Angles of every method on the pages themselves and on their turned copies.
    real = {m.name: [] for m in methods}
    real_a = {m.name: [] for m in methods}
    turned = {m.name: [] for m in methods}
    turn_measured = {m.name: [] for m in methods}
    counts = {key: {m.name: 0 for m in methods} for key in ("real", "turned", "drawn")}
    k = 0
    for page in manifest:
        path = os.path.join(pages, page["file"])
        skew = page["skew_degrees"]
        own, own_turned = {}, {m.name: [] for m in methods}
        for m in methods:
            angle, unmeasured = m.angle(path)
            own[m.name] = angle
            if angle is None:
                continue
            real[m.name].append(angle - skew)
            counts["real"][m.name] += unmeasured
            if page["confidence"].startswith("A"):
                real_a[m.name].append(angle - skew)
        for _ in range(TURNS_PER_PAGE):
            turn = TURNS[k % len(TURNS)]
            k += 1
            turned_path = os.path.join(work, "turned", "%s_%g.tif" % (page["file"], turn))
            if not os.path.exists(turned_path):  # kept for the next run
                os.makedirs(os.path.dirname(turned_path), exist_ok=True)
                # distort SRT turns clockwise for a positive angle: lines then
                # fall.  A bilevel page is turned into grey, as a scanner sees it.
                grey = ["-type", "Grayscale", "-depth", "8"] if page.get("mode") == "1" else []
                run([convert, path, "-background", "white", "-virtual-pixel", "background", "-distort", "SRT",
                     "%g" % -turn] + grey + ["-compress", "lzw", turned_path + ".%d.tif" % os.getpid()])
                os.replace(turned_path + ".%d.tif" % os.getpid(), turned_path)
            for m in methods:
                angle, unmeasured = m.angle(turned_path)
                if angle is None or own[m.name] is None:
                    continue
                turned[m.name].append(angle - (skew + turn))
                own_turned[m.name].append(angle - (skew + turn))
                turn_measured[m.name].append(angle - own[m.name] - turn)
                counts["turned"][m.name] += unmeasured
        print("  %s" % page["file"], file=sys.stderr)
        if os.environ.get("SKEW_PAGES"):  # each page's errors, to see which pages drive the means
            for m in methods:
                if own[m.name] is not None:
                    print("    %-28s %s own %+.2f turned %s" % (
                        m.name, page["confidence"][0], own[m.name] - skew,
                        " ".join("%+.2f" % e for e in own_turned[m.name])), file=sys.stderr)

    drawn = {m.name: [] for m in methods}
    for angle in DRAWN:
        path = os.path.join(work, "drawn.tga")
        run([make_page, path, "colour", "1240", "1754", "%g" % angle])
        for m in methods:
            found, unmeasured = m.angle(path)
            if found is None:
                continue
            drawn[m.name].append(found - angle)
            counts["drawn"][m.name] += unmeasured

    def table(title, errors, key):
        print("\n" + title + "\n" + header)
        for m in methods:
            print("| %s %s" % (m.name, summary(errors[m.name], counts[key][m.name] if key else 0)))

    n = len(manifest)
    table("Real scans (%d pages), error against the established skew, degrees" % n, real, "real")
    table("Real scans of confidence A (%d pages)" % len(real_a[methods[0].name]), real_a, None)
    table("Real scans turned by known angles from -7.5 to +7.5 (%d pages), error against skew + turn" %
          (n * TURNS_PER_PAGE), turned, "turned")
    table("Turn measured (angle on the turned page minus angle on the page) against the turn applied",
          turn_measured, None)
    table("Drawn pages (make_page, %d angles from -7.5 to +7.5)" % len(DRAWN), drawn, "drawn")


if __name__ == "__main__":
    main()
