#!/usr/bin/python3
"""Makes samples/page.tga: a text page scanned a little askew.

The page (white paper, black text in DejaVu Serif) is turned by ANGLE degrees
so that its lines rise to the right, laid on a darker scanner lid that shows
along the right and bottom edges, lightly blurred and shaded as uneven
lighting would, then saved as a run-length encoded grey TGA.  Needs python3-pil and
fonts-dejavu-core; nivelo's build and tests do not run this script.
"""
import random
from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ANGLE = 1.5          # degrees, lines rise to the right
WIDTH, HEIGHT = 1240, 1754
PAPER_W, PAPER_H = 1150, 1660
LID = 92             # grey of the scanner lid

WORDS = ("le la les un une des page ligne texte scanner papier encre "
         "redressement nettoyage image colonne marge lettre mot phrase "
         "paragraphe chapitre livre archive document fichier").split()


def text_page(rng):
    page = Image.new("L", (PAPER_W, PAPER_H), 246)
    draw = ImageDraw.Draw(page)
    title = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", 40)
    body = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", 26)
    draw.text((110, 110), "Nettoyage de pages scannées", font=title, fill=20)
    y = 200
    while y < PAPER_H - 140:
        x = 110
        end = PAPER_W - 110 if rng.random() > 0.15 else rng.randint(400, 800)
        while True:
            word = rng.choice(WORDS)
            w = draw.textlength(word + " ", font=body)
            if x + w > end:
                break
            draw.text((x, y), word, font=body, fill=rng.randint(10, 40))
            x += w
        y += 44 if rng.random() > 0.1 else 88
    return page


def main():
    rng = random.Random(7)
    page = text_page(rng)
    # PIL turns counter-clockwise for a positive angle: the lines then rise
    # to the right; the uncovered paper corners show the lid.
    turned = page.rotate(ANGLE, resample=Image.BICUBIC, expand=False, fillcolor=LID)
    scan = Image.new("L", (WIDTH, HEIGHT), LID)
    scan.paste(turned, (0, 0))
    scan = scan.filter(ImageFilter.GaussianBlur(0.7))
    # Uneven lighting across the lid and the paper, as a flatbed gives it.
    shade = Image.linear_gradient("L").resize((WIDTH, HEIGHT)).point(lambda v: v // 24)
    scan = ImageChops.subtract(scan, shade)
    scan.save("samples/page.tga", compression="tga_rle", orientation=1)


if __name__ == "__main__":
    main()
