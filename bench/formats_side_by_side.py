#!/usr/bin/env python3
"""Two builds of nivelo timed side by side on the formats bench's conversions:
the same A4 page (300 dpi) and configurations as formats_bench.sh, each run
of one build followed by the same run of the other, round after round, so
that the load of a shared machine falls on both alike.  Prints, per build,
the median wall and CPU (user + sys) times, each conversion's ratio to its
reference, ImageMagick's -deskew 40% against the build, and peak memory.

    bench/formats_side_by_side.py BEFORE_BUILD AFTER_BUILD [rounds] [magick runs]
"""
import os, shutil, statistics, subprocess, sys, time  # noqa: E401

MAGICK = shutil.which("convert") or "/usr/bin/convert"
CONFIGS = {"tga": [], "png": ["FORMAT_SORTIE=PNG"], "jpeg": ["FORMAT_SORTIE=JPEG", "QUALITE_JPEG=90"],
           "tiff": ["FORMAT_SORTIE=TIFF"]}
RUNS = [  # name, configuration, flags, page
    ("from TGA", "tga", [], "colour.tga"), ("from JPEG", "tga", [], "colour.jpg"),
    ("from PNG", "tga", [], "colour.png"), ("from 1-bit TIFF /b", "tga", ["/b"], "bilevel.tif"),
    ("from G4 /b", "tga", ["/b"], "bilevel_g4.tif"), ("writing PNG", "png", [], "colour.tga"),
    ("writing JPEG 90", "jpeg", [], "colour.tga"), ("writing G4 /b", "tiff", ["/b"], "colour.tga"),
    ("writing 1-bit TIFF /b", "tga", ["/b"], "colour.tga")]
ROWS = [  # conversion, run, its reference, ImageMagick's command, goal
    ("JPEG page in", "from JPEG", "from TGA", ["colour.jpg", "-deskew", "40%", "im.tga"], 1.2),
    ("PNG page in", "from PNG", "from TGA", ["colour.png", "-deskew", "40%", "im.tga"], 1.5),
    ("G4 page in, /b", "from G4 /b", "from 1-bit TIFF /b",
     ["bilevel_g4.tif", "-deskew", "40%", "+repage", "-compress", "group4", "im.tif"], 1.0),
    ("PNG out", "writing PNG", "from TGA", ["colour.tga", "-deskew", "40%", "im.png"], 2.0),
    ("JPEG 90 out", "writing JPEG 90", "from TGA", ["colour.tga", "-deskew", "40%", "-quality", "90", "im.jpg"], 1.2),
    ("G4 out, /b", "writing G4 /b", "writing 1-bit TIFF /b",
     ["colour.tga", "-deskew", "40%", "+repage", "-threshold", "50%", "-compress", "group4", "im.tif"], 1.05)]


def timed(command, cwd):
    """Wall seconds, CPU seconds and peak KB of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def prepare(build, work):
    os.makedirs(work, exist_ok=True)
    run = lambda *c: subprocess.run(c, cwd=work, check=True, stdout=subprocess.DEVNULL)
    run(os.path.join(build, "bench", "make_page"), "colour.tga", "colour")
    dpi = ["-density", "300", "-units", "PixelsPerInch"]
    run(MAGICK, "colour.tga", *dpi, "-quality", "90", "colour.jpg")
    run(MAGICK, "colour.tga", *dpi, "colour.png")
    run(MAGICK, "colour.tga", "-colorspace", "gray", "-threshold", "50%", *dpi, "-compress", "group4",
        "bilevel_g4.tif")
    run("tiffcp", "-c", "none", "bilevel_g4.tif", "bilevel.tif")
    for side in ("before", "after"):
        for name, lines in CONFIGS.items():
            for k in ("1", "2"):
                os.makedirs(os.path.join(work, side, name, k), exist_ok=True)
            with open(os.path.join(work, "%s_%s.txt" % (side, name)), "w") as f:
                f.write('REPERTOIRE1="%s/%s/1/"\nREPERTOIRE2="%s/%s/2/"\n' % (side, name, side, name))
                f.write("".join(line + "\n" for line in lines))


def main():
    before, after = (os.path.abspath(a) for a in sys.argv[1:3])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    magick_runs = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    work = os.path.join(after, "bench-side-by-side")
    shutil.rmtree(work, ignore_errors=True)
    prepare(after, work)
    sides = {"before": os.path.join(before, "batch", "nivelo"), "after": os.path.join(after, "batch", "nivelo")}
    times = {(side, name): [] for side in sides for name, *_ in RUNS}
    load = [os.getloadavg()]
    for r in range(rounds + 1):  # the first round warms the caches and is dropped
        for name, config, flags, page in RUNS:
            for side, exe in sides.items():
                t = timed([exe, "/c%s_%s.txt" % (side, config), *flags, page], work)
                if r > 0:
                    times[side, name].append(t)
    magick = {row[0]: statistics.median(timed([MAGICK, *row[3]], work)[0] for _ in range(magick_runs))
              for row in ROWS}
    load.append(os.getloadavg())
    median = lambda side, name, i: statistics.median(t[i] for t in times[side, name])
    print("%d rounds, load average %.1f at the start, %.1f at the end" % (rounds, load[0][0], load[1][0]))
    print("| %-15s | %-6s | %8s | %6s | %8s | %6s | %5s | %7s |" % (
        "conversion", "build", "wall s", "ratio", "CPU s", "ratio", "goal", "IM/niv."))
    for conversion, mine, ref, _, goal in ROWS:
        for side in sides:
            w, c = median(side, mine, 0), median(side, mine, 1)
            print("| %-15s | %-6s | %8.3f | %6.2f | %8.3f | %6.2f | %5.2f | %7.1f |" % (
                conversion, side, w, w / median(side, ref, 0), c, c / median(side, ref, 1), goal,
                magick[conversion] / w))
    print("peak memory (KB): " + ", ".join("%s %s %d" % (name, side, max(t[2] for t in times[side, name]))
                                           for name in ("from TGA", "from PNG", "writing PNG") for side in sides))
    size = lambda side, config, result: os.path.getsize(os.path.join(work, side, config, "2", result))
    for side in sides:
        print("%s result sizes: PNG %.3f x TGA, G4 %.3f x uncompressed 1-bit" % (
            side, size(side, "png", "colour.png") / size(side, "tga", "colour.tga"),
            size(side, "tiff", "colour.tif") / size(side, "tga", "colour.tif")))


main()
