#!/usr/bin/python3
"""Reference values for the special-function tests of numerics/further (mpmath at 40 digits).

Run from the repository root:
    /usr/bin/python3 tools/numerics_splines/gen_special_tables.py
It writes numerics/further/testdata/special_reference.txt in the case format of the further
tests ("case KIND NAME", "key COUNT values...", "end").
"""
import os

import mpmath as mp

mp.mp.dps = 40
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "numerics", "further", "testdata", "special_reference.txt")

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
    ab = [(1, 1), (0.5, 0.5), (2.5, 3.25), (0.01, 7), (30, 40), (100, 100), (170, 3), (50, 50)]
    case("beta", "values", a=[p[0] for p in ab], b=[p[1] for p in ab],
         beta=[mp.beta(mp.mpf(p[0]), mp.mpf(p[1])) for p in ab])


gamma_incomplete()

with open(OUT, "w") as f:
    f.write("# made by tools/numerics_splines/gen_special_tables.py\n")
    f.write("\n".join(lines) + "\n")
print("wrote", OUT)
