#!/usr/bin/env python3
"""The orientation step on a wider set than the shared real pages, with the
margin of every test for each page left undecided.

    orientation_wider.py ORIENT_EVIDENCE WORK_DIR [GROUP...]

ORIENT_EVIDENCE is built by `cmake --build BUILD --target orient_evidence`;
WORK_DIR also gets evidence-GROUP.txt, the raw evidence of every image.
The packages it needs are those of `scripts/setup.sh bench`.

Builds in WORK_DIR (kept between runs, never in the repository), each page
in its four quarter turns:
  real      the shared real pages (../shared/realpages)
  formats   the same pages as published (JPEG, PNG, 1-bit G4: the decoded
            pixels, saved as PNG), and three more
  faded     each real page with its contrast lowered to a third on a grey
            paper, with light noise
  blurred   each real page blurred (a Gaussian of 1.5 pixels)
  half      each real page at half its resolution (150 dpi for most)
  rendered  text we set ourselves: manual pages through groff, ps2pdf and
            pdftoppm at 150 and 300 dpi, and pages set with PIL in DejaVu,
            Nimbus Roman and C059 (serif, sans, italic, 7 pt, two columns,
            capital headings, right-aligned, short lines)
  manuals   pages of published manuals (Debian's PDF documentation of
            gnucobol3, libtasn1-doc and nettle-dev, where installed) at 150
            and 300 dpi: lists of reserved words in capitals, option lists
            and an index in typewriter type, pages of a C interface
  others    pages that must never be turned: ImageMagick's built-in images
            (rose, logo, wizard, granite), plasma, noise, a checkerboard and
            a blank page
Then runs ORIENT_EVIDENCE (bench/orient_evidence.cpp) on every image and
prints right / wrong / undecided per group, every wrong image, and for each
undecided upright text image the first test that stops it.
"""
import os
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor

from PIL import Image, ImageFilter

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The shared real material beside the repository (NIVELO_SHARED to move it);
# without it the real pages come from bench/realpages and the published
# files are left out.
SHARED = os.environ.get("NIVELO_SHARED", os.path.join(os.path.dirname(ROOT), "shared"))
PAGES = os.path.join(SHARED, "realpages")
if not os.path.isdir(PAGES):
    PAGES = os.path.join(ROOT, "bench", "realpages")
TURNS = (0, 90, 180, 270)
# Pages that hold no running text to vote: any answer but "undecided" on
# them is wrong (the music of the shared set).
NO_TEXT = {"bois-2", "ortiz-02", "tel_3"}


def turned(img, base, out_dir):
    """Saves img in its four turns; returns [(path, wanted turn)]."""
    made = []
    for turn in TURNS:
        path = os.path.join(out_dir, "%s.r%d.png" % (base, turn))
        if not os.path.exists(path):
            t = img if turn == 0 else img.rotate(-turn, expand=True)
            t.save(path, compress_level=1)
        made.append((path, (360 - turn) % 360))
    return made


def load(path):
    img = Image.open(path)
    img.load()
    return img


def make_group(group, work):
    out_dir = os.path.join(work, group)
    os.makedirs(out_dir, exist_ok=True)
    jobs = []
    real = sorted(n[:-4] for n in os.listdir(PAGES) if n.endswith(".tif"))
    if group == "real":
        jobs = [(group, os.path.join(PAGES, n + ".tif"), n, out_dir) for n in real]
    elif group == "formats" and os.path.isdir(os.path.join(SHARED, "realformats")):
        jobs = [(group, os.path.join(SHARED, "realformats", n), n.rsplit(".", 1)[0], out_dir)
                for n in sorted(os.listdir(SHARED + "/realformats")) if not n.endswith(".md")]
    elif group in ("faded", "blurred", "half"):
        jobs = [(group, os.path.join(PAGES, n + ".tif"), n, out_dir) for n in real]
    return jobs


def build_one(job):
    group, src, base, out_dir = job
    if all(os.path.exists(os.path.join(out_dir, "%s.r%d.png" % (base, t))) for t in TURNS):
        return [(os.path.join(out_dir, "%s.r%d.png" % (base, t)), (360 - t) % 360) for t in TURNS]
    img = load(src)
    if img.mode not in ("1", "L", "RGB"):
        img = img.convert("RGB")
    if group == "formats":  # the published pixels, 1-bit kept 1-bit
        return turned(img, base, out_dir)
    if img.mode == "1":
        img = img.convert("L")
    if group == "faded":
        g = img.convert("L").point([150 + v * 75 // 255 for v in range(256)])
        noise = Image.effect_noise(g.size, 40)
        img = Image.blend(g, noise.point([v * 75 // 255 + 150 for v in range(256)]), 0.2)
    elif group == "blurred":
        img = img.filter(ImageFilter.GaussianBlur(1.5))
    elif group == "half":
        img = img.resize((img.width // 2, img.height // 2), Image.LANCZOS)
    return turned(img, base, out_dir)


def rendered(work):
    out_dir = os.path.join(work, "rendered")
    os.makedirs(out_dir, exist_ok=True)
    stamp = os.path.join(out_dir, "done")
    if not os.path.exists(stamp):
        for man in ("tar", "find", "grep", "ssh"):
            src = subprocess.run(["man", "-w", man], capture_output=True, text=True).stdout.strip()
            if not src:
                continue
            pdf = os.path.join(out_dir, man + ".pdf")
            subprocess.run("zcat -f %s | groff -man -Tps | ps2pdf - %s" % (src, pdf), shell=True, check=True)
            for dpi in (150, 300):
                subprocess.run(["pdftoppm", "-r", str(dpi), "-gray", "-f", "2", "-l", "3", "-png", pdf,
                                os.path.join(out_dir, "%s-%d" % (man, dpi))], check=True)
        text = subprocess.run("man -P cat tar find 2>/dev/null | col -b | tr -s ' \\t\\n' '   '", shell=True,
                              capture_output=True, text=True).stdout
        for name, font, size, kind in TEXT_PAGES:
            text_page(text, font, size, kind).save(os.path.join(out_dir, "im-%s.png" % name))
        open(stamp, "w").close()
    pages = sorted(n for n in os.listdir(out_dir) if (n.startswith("im-") or "-150-" in n or "-300-" in n) and ".r" not in n)
    jobs = []
    for n in pages:
        jobs.append(("rendered-file", os.path.join(out_dir, n), n[:-4], out_dir))
    return jobs


FONTS = "/usr/share/fonts/truetype/dejavu/"
URW = "/usr/share/fonts/opentype/urw-base35/"
TEXT_PAGES = [("serif", FONTS + "DejaVuSerif.ttf", 40, ""), ("sans", FONTS + "DejaVuSans.ttf", 40, ""),
              ("italic", FONTS + "DejaVuSerif-Italic.ttf", 40, ""), ("small", FONTS + "DejaVuSerif.ttf", 29, ""),
              ("times", URW + "NimbusRoman-Regular.otf", 42, ""), ("times-italic", URW + "NimbusRoman-Italic.otf", 42, ""),
              ("right", FONTS + "DejaVuSerif.ttf", 40, "right"), ("columns", URW + "C059-Roman.otf", 34, "columns"),
              ("headings", FONTS + "DejaVuSerif.ttf", 38, "headings"), ("short", FONTS + "DejaVuSans.ttf", 40, "short")]


def text_page(text, font_path, size, kind):
    """An A4 page at 300 dpi of text set in font_path at size pixels."""
    from PIL import ImageDraw, ImageFont
    font = ImageFont.truetype(font_path, size)
    bold = ImageFont.truetype(FONTS + "DejaVuSans-Bold.ttf", size * 5 // 4)
    page = Image.new("L", (2480, 3508), 255)
    draw = ImageDraw.Draw(page)
    columns = [(200, 1030), (1250, 2280)] if kind == "columns" else [(200, 2280)]
    words, k, lead = text.split(), 0, size * 3 // 2
    for left, right in columns:
        y = 250
        while y < 3508 - 250 - lead and k < len(words):
            if kind == "headings" and k % 180 == 0:
                draw.text((left, y), " ".join(words[k:k + 4]).upper(), font=bold, fill=0)
                y += lead * 2
            line = []
            while k < len(words) and draw.textlength(" ".join(line + [words[k]]), font=font) <= right - left:
                line.append(words[k])
                k += 1
            if not line:
                k += 1
                continue
            if kind == "short":
                line = line[:len(line) // 2 + (k % 3)]
            s = " ".join(line)
            x = right - draw.textlength(s, font=font) if kind == "right" else left
            draw.text((x, y), s, font=font, fill=0)
            y += lead
    return page


def others(work):
    out_dir = os.path.join(work, "others")
    os.makedirs(out_dir, exist_ok=True)
    specs = {"rose": ["rose:", "-resize", "1000%"], "logo": ["logo:", "-resize", "300%"],
             "wizard": ["wizard:", "-resize", "400%"], "plasma": ["-size", "1700x2300", "plasma:fractal"],
             "noise": ["-size", "1700x2300", "xc:white", "+noise", "Gaussian", "-colorspace", "gray"],
             "blank": ["-size", "1700x2300", "xc:white"],
             "granite": ["-size", "1700x2300", "tile:granite:"],
             "checker": ["-size", "1700x2300", "pattern:checkerboard"]}
    jobs = []
    for name, spec in specs.items():
        path = os.path.join(out_dir, name + ".src.png")
        if not os.path.exists(path):
            subprocess.run(["convert"] + spec + [path], check=True)
        jobs.append(("rendered-file", path, name, out_dir))
    return jobs


# Pages of manuals that Debian ships as PDF: (file, first page, last page).
MANUALS = [("/usr/share/doc/gnucobol3/gnucobol.pdf.gz", 44, 60), ("/usr/share/doc/libtasn1-doc/libtasn1.pdf", 20, 36),
           ("/usr/share/doc/nettle-dev/nettle.pdf.gz", 20, 36)]


def manuals(work):
    out_dir = os.path.join(work, "manuals")
    os.makedirs(out_dir, exist_ok=True)
    stamp = os.path.join(out_dir, "done")
    if not os.path.exists(stamp):
        for path, first, last in MANUALS:
            if not os.path.exists(path):
                continue
            name = os.path.basename(path).split(".")[0]
            pdf = os.path.join(out_dir, name + ".pdf")
            subprocess.run("zcat -f %s > %s" % (path, pdf), shell=True, check=True)
            for dpi in (150, 300):
                subprocess.run(["pdftoppm", "-r", str(dpi), "-gray", "-f", str(first), "-l", str(last), "-png", pdf,
                                os.path.join(out_dir, "%s-%d" % (name, dpi))], check=True)
        open(stamp, "w").close()
    pages = sorted(n for n in os.listdir(out_dir) if ("-150-" in n or "-300-" in n) and ".r" not in n)
    return [("rendered-file", os.path.join(out_dir, n), n[:-4], out_dir) for n in pages]


def build(job):
    group, src, base, out_dir = job
    if group == "rendered-file":
        img = load(src)
        if img.mode not in ("L", "RGB"):
            img = img.convert("RGB")
        return turned(img, base, out_dir)
    return build_one(job)


def evidence(tool, paths):
    out = subprocess.run([tool] + paths, capture_output=True, text=True).stdout
    rows = {}
    for line in out.splitlines():
        f = line.split()
        rows[f[0]] = [int(v) for v in f[1:]]
    return rows


# kLeastVotes of stages/orientation.cpp: keep the two the same.
LEAST_VOTES = 30


def stopper(v):
    """The first test that stops the image (as stages/orientation.cpp's Decide), with its margin."""
    _, _, _, rs, cs, rb, ra, cb, ca, rr, rl, cr, cl, ri, rc, ci, cc = v[:17]
    rsp, csp = v[19:21]
    rows = (rb, ra, rs, ri, rc, rr, rl, rsp)
    cols = (cb, ca, cs, ci, cc, cr, cl, csp)

    def lean(b, a):
        return ((b - a) ** 2, b + a)

    lr, lc = lean(rb, ra), lean(cb, ca)
    axis, other = (rows, cols) if lr[0] * lc[1] >= lc[0] * lr[1] else (cols, rows)
    name = "rows" if axis is rows else "cols"
    b, a, s, ink, cores, runs, lone, spread = axis
    ob, oa, os_, _, _, oruns, olone, _ = other
    most, least = max(b, a), min(b, a)
    spreads = abs(b - a) / (b + a) ** 0.5 if b + a else 0
    ospreads = abs(ob - oa) / (ob + oa) ** 0.5 if ob + oa else 0

    def apart(r, l, orr, ol):
        return r >= LEAST_VOTES and orr >= LEAST_VOTES and (orr - ol) * r >= 3 * (r - l) * orr
    inkv = ink if b > a else -ink
    notes = []
    if s * 5 < os_ * 3:
        notes.append("sharpness %.2f<0.6" % (s / max(os_, 1)))
    if inkv * 64 < cores:
        notes.append("ink 1/%s<1/64" % ("%.0f" % (cores / inkv) if inkv > 0 else "-"))
    if lone * 4 < runs:
        notes.append("lone %d/%d<1/4" % (lone, runs))
    if apart(oruns, olone, runs, lone):
        notes.append("apart-other")
    if spread * 16 < abs(b - a):
        notes.append("beyond two strips %d/%d<1/16" % (spread, abs(b - a)))
    if b + a < LEAST_VOTES:
        notes.append("votes %d<%d" % (b + a, LEAST_VOTES))
    if most * 4 < least * 7:
        notes.append("ratio %.2f<1.75" % (most / max(least, 1)))
    if spreads < 4:
        notes.append("spreads %.2f<4" % spreads)
    ap = apart(runs, lone, oruns, olone)
    if not ap and ospreads * 3 > spreads * 2:
        notes.append("other %.2f>0.67" % (ospreads / max(spreads, 1e-9)))
    return "%s %d:%d sp %.2f other %.2f | %s" % (name, b, a, spreads, ospreads, ", ".join(notes) or "?")


def main():
    tool, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    groups = sys.argv[3:] or ["real", "formats", "faded", "blurred", "half", "rendered", "manuals", "others"]
    print("| group | images | right | wrong | undecided |")
    print("|---|---|---|---|---|")
    details = []
    for group in groups:
        makers = {"rendered": rendered, "manuals": manuals, "others": others}
        jobs = makers[group](work) if group in makers else make_group(group, work)
        with ProcessPoolExecutor(max_workers=2) as pool:
            images = [m for made in pool.map(build, jobs) for m in made]
        chunks = [[p for p, _ in images[k::2]] for k in range(2)]
        with ProcessPoolExecutor(max_workers=2) as pool:
            rows = {}
            for part in pool.map(evidence, [tool, tool], chunks):
                rows.update(part)
        with open(os.path.join(work, "evidence-%s.txt" % group), "w") as f:
            for path, want in images:
                if path in rows:
                    f.write("%s %s %s\n" % (path, want, " ".join(map(str, rows[path]))))
        right = wrong = undecided = 0
        for path, want in images:
            v = rows.get(path)
            base = os.path.basename(path).split(".r")[0]
            text = group != "others" and base not in NO_TEXT
            if v is None:
                details.append("  %s: %s unreadable" % (group, os.path.basename(path)))
                continue
            decided, turn = v[0], v[1]
            if not decided:
                undecided += 1
                details.append("  %s: undecided %s  %s" % (group, os.path.basename(path), stopper(v)))
            elif turn == want and text:
                right += 1
            else:
                wrong += 1
                details.append("  %s: WRONG %s turn %d (wanted %s)  %s" % (group, os.path.basename(path), turn,
                                                                        want if text else "none", stopper(v)))
        print("| %s | %d | %d | %d | %d |" % (group, len(images), right, wrong, undecided), flush=True)
    print("\n".join(details))


if __name__ == "__main__":
    main()
