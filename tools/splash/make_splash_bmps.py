#!/usr/bin/python3
"""Writes the splash window's BMP fixtures with Pillow, an independent BMP writer.

The picture is 13 x 9 pixels on white: an L of colour INK whose upright bar covers
x 2..4, y 1..7 and whose foot covers x 2..10, y 5..7 (y counted from the top), and
one pixel of colour DOT at (12, 0). The test rebuilds the same picture from this rule.

Run: /usr/bin/python3 tools/splash/make_splash_bmps.py wincomp/splash/testdata
"""
import os
import sys

from PIL import Image

W, H = 13, 9
WHITE = (255, 255, 255)
INK = (200, 30, 60)
DOT = (10, 120, 240)


def colour(x, y):
    if (2 <= x <= 4 and 1 <= y <= 7) or (2 <= x <= 10 and 5 <= y <= 7):
        return INK
    if (x, y) == (12, 0):
        return DOT
    return WHITE


def main(out):
    rgb = Image.new("RGB", (W, H))
    rgb.putdata([colour(x, y) for y in range(H) for x in range(W)])
    rgb.save(os.path.join(out, "lshape24.bmp"))
    # Palette picture: Pillow writes the colour table and 8-bit indices.
    rgb.quantize(colors=3, method=Image.Quantize.MAXCOVERAGE).save(os.path.join(out, "lshape8.bmp"))
    # Two colours: the L and the dot black, the rest white.
    mono = Image.new("1", (W, H))
    mono.putdata([0 if colour(x, y) != WHITE else 1 for y in range(H) for x in range(W)])
    mono.save(os.path.join(out, "lshape1.bmp"))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
