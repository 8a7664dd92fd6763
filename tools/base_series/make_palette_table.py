#!/usr/bin/python3
"""Expected palette colours for every scheme at the ends, quarters and centre of a range.

The hue/saturation/value of each scheme shape is transcribed here from its definition and
turned into RGB by Python's colorsys (an HSV conversion independent of ours); Jet, B-Y and
Terrain have colour rules of their own. Run with Debian's Python:
    /usr/bin/python3 tools/base_series/make_palette_table.py
The table is committed; the tests allow one unit per component for rounding.
"""
import colorsys
import math
import os

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "plot", "testdata", "palette_colours.txt")

LO, HI = 10.0, 30.0
HS, HE = 20.0, 240.0
POSITIONS = [0.0, 0.25, 0.5, 0.75, 0.97, 1.0]


def hsv(shape, f):
    h, s, v = 0.0, 1.0, 1.0
    if shape == 0:
        h, s = (HS, 1 - 2 * f) if 2 * f <= 1 else (HE, 2 * f - 1)
    elif shape == 1:
        h, s, v = 0.0, 0.0, max(f, 0.0)
    elif shape == 2:
        h, s = (HS if abs(HE - HS) <= 0.001 else 299.0), f * f
    elif shape == 3:
        h = 150 - 130 * (1 - 2 * f) ** 0.5 if f <= 0.5 else 130 + 160 * (2 * f - 1) ** 0.75
    elif shape in (4, 7):
        if shape == 4:
            h = (f - 0.5) * 150 + (80 if f <= 0.5 else 165)
        else:
            h = (0.5 - f) * 150 + (80 if f >= 0.5 else 165)
        s = 0.05 + 0.95 * (2 * abs(f - 0.5)) ** 0.5
    elif shape == 5:
        h = (0.5 - f) * 150 + (90 if f >= 0.5 else 165)
        s0 = 2 * abs(f - 0.5) * 0.8 + (0.1 if f <= 0.5 else 0.2)
        s = (1 - f) * 5 * s0 if f > 0.8 else s0
    elif shape == 6:
        if f < 0.25:
            h, s = 130 - (0.25 - f) * 200, 1.0
        elif f < 0.5:
            h, s = 180.0, 1 - (f - 0.25) * 4
        elif f < 0.75:
            h, s = 90.0, (f - 0.5) * 4
        else:
            h, s = (f - 0.75) * 200 + 20, 1.0
    elif shape == 8:
        h, s = (1 - f) * 120, (f * 2.5 if f < 0.4 else 1.0)
    elif shape == 9:
        h = 240 - abs(f - 0.75) * 400 if f >= 0.5 else 20 + abs(0.25 - f) * 400
        v = 0.8 if 0.25 < f < 0.75 else 1.0
    else:
        h, s, v = 0.0, 0.0, f
    return h, s, v


def colour(scheme, f):
    shape = scheme % 15
    if scheme >= 15:
        f = math.floor(f * 20) * 0.05
    if shape == 0:
        t = f
        if t < 0.25:
            c = (0, 1020 * t, 255)
        elif t <= 0.5:
            c = (0, 255, 255 - 1020 * (t - 0.25))
        elif t <= 0.75:
            c = (1020 * (t - 0.5), 255, 0)
        else:
            c = (255, 255 - 1020 * (t - 0.75), 0)
        return tuple(int(x) for x in c)
    if shape == 6:
        c = (1 - math.cos(f * math.pi)) / 2
        return (int(255 * c), int(255 * c), 255 - int(255 * c))
    if shape == 10:
        stops = [(0, 0, 168), (0, 168, 0), (210, 180, 140), (139, 69, 19), (255, 255, 255)]
        q = f * 4
        k = math.floor(q)
        if k >= 4:
            return (255, 255, 255)
        t = q - k
        return tuple(int(stops[k][j] + (stops[k + 1][j] - stops[k][j]) * t) for j in range(3))
    h, s, v = hsv(shape, f)
    h = h % 360.0
    r, g, b = colorsys.hsv_to_rgb(h / 360.0, s, v)
    return (int(255 * r), int(255 * g), int(255 * b))


def main():
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w") as out:
        out.write("# made by tools/base_series/make_palette_table.py\n")
        out.write("# range %g %g, hue window %g %g\n" % (LO, HI, HS, HE))
        out.write("# scheme value R G B\n")
        for scheme in range(30):
            for f in POSITIONS:
                value = LO + f * (HI - LO)
                out.write("%d %r %d %d %d\n" % ((scheme, value) + colour(scheme, f)))


if __name__ == "__main__":
    main()
