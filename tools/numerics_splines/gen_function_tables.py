#!/usr/bin/python3
"""Reference values for the special-function tests of numerics/further (mpmath at 40 digits).

Run from the repository root:
    /usr/bin/python3 tools/numerics_splines/gen_function_tables.py
It writes numerics/further/testdata/function_reference.txt in the case format of the further
tests ("case KIND NAME", "key COUNT values...", "end").
"""
import os

import mpmath as mp

mp.mp.dps = 40
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "numerics", "further", "testdata", "function_reference.txt")

lines = []


def case(kind, name, **vals):
    lines.append("case %s %s" % (kind, name))
    for key, v in vals.items():
        if not isinstance(v, (list, tuple)):
            v = [v]
        lines.append("%s %d %s" % (key, len(v), " ".join(mp.nstr(mp.mpf(x), 20) for x in v)))
    lines.append("end")


def gamma_incomplete():
    a_s, x_s, g_s = [], [], []
    pts = []
    for a in [0.1, 0.5, 1.0, 2.5, 5.0, 12.0, 40.0]:
        for x in [1e-3, 0.3, 0.999999, 1.0, 1.000001, 2.0, 4.9, 7.0, 30.0, 80.0]:
            pts.append((a, x))
        pts += [(a, a * (1 - 1e-9)), (a, a), (a, a * (1 + 1e-9))]
    for a, x in pts:
        a_s.append(a)
        x_s.append(x)
        g_s.append(mp.gammainc(mp.mpf(a), 0, mp.mpf(x)))
    case("gamma_inc", "grid", a=a_s, x=x_s, g=g_s)
    # Large a, where x^a and Gamma(a) leave the double range while their product does not:
    # each branch (series, both continued fractions) and results near the largest double.
    big = [(91, 91), (100, 100), (100, 50), (100, 150), (150, 1.0), (300, 0.5), (300, 250),
           (500, 300), (500, 700), (170, 200), (171, 171), (171.5, 900), (1000, 0.9)]
    case("gamma_inc_large", "grid", a=[p[0] for p in big], x=[p[1] for p in big],
         g=[mp.gammainc(mp.mpf(p[0]), 0, mp.mpf(p[1])) for p in big])
    ab = [(1, 1), (0.5, 0.5), (2.5, 3.25), (0.01, 7), (30, 40), (100, 100), (170, 3), (50, 50)]
    case("beta", "values", a=[p[0] for p in ab], b=[p[1] for p in ab],
         beta=[mp.beta(mp.mpf(p[0]), mp.mpf(p[1])) for p in ab])


def bessel():
    xs = [1e-9, 0.01, 0.3, 0.8935769662791675, 1.0, 2.197141326031017, 2.404825557695773, 3.0,
          3.8317059702075125, 3.999999, 4.0, 4.000001, 5.5, 7.999999, 8.0, 8.000001, 10.0, 20.0,
          33.3, 100.0, 1234.5, 1e4, 1e5, 3.7e6]
    case("bessel", "real", x=xs,
         j0=[mp.besselj(0, x) for x in xs], j1=[mp.besselj(1, x) for x in xs],
         y0=[mp.bessely(0, x) for x in xs], y1=[mp.bessely(1, x) for x in xs])
    ks = [0.05, 0.5, 1.0, 2.0, 3.3, 5.0, 7.7, 9.99, 10.0, 10.01, 10.1, 15.0, 25.0, 40.0, 60.0,
          90.0, 119.0]
    case("kelvin", "order0", x=ks,
         ber=[mp.ber(0, x) for x in ks], bei=[mp.bei(0, x) for x in ks],
         ker=[mp.ker(0, x) for x in ks], kei=[mp.kei(0, x) for x in ks])


gamma_incomplete()
bessel()

with open(OUT, "w") as f:
    f.write("# made by tools/numerics_splines/gen_function_tables.py\n")
    f.write("\n".join(lines) + "\n")
print("wrote", OUT)
