#!/usr/bin/python3
"""Reference values for the spline and special-function tests of numerics/further.

Run from the repository root:
    /usr/bin/python3 tools/numerics_splines/gen_spline_tables.py
It writes numerics/further/testdata/spline_reference.txt with scipy's B-splines
(scipy.interpolate) as the independent truth. The format is the one of the further tests:
"case KIND NAME", then "key COUNT values...", then "end".
"""
import os

import numpy as np
from scipy.interpolate import BSpline, make_interp_spline, make_lsq_spline

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "numerics", "further", "testdata", "spline_reference.txt")

lines = []


def case(kind, name, **vals):
    lines.append("case %s %s" % (kind, name))
    for key, v in vals.items():
        arr = np.atleast_1d(np.asarray(v, dtype=float)).ravel()
        lines.append("%s %d %s" % (key, arr.size, " ".join(repr(float(x)) for x in arr)))
    lines.append("end")


def evaluation_cases():
    rng = np.random.default_rng(11)
    setups = [
        # name, order k, knots
        ("cubic", 4, [0, 0, 0, 0, 0.7, 1.5, 1.5, 2.2, 3, 3, 3, 3]),
        ("quadratic", 3, [-1, -1, -1, -0.2, 0.4, 1, 1, 1]),
        # an interior knot of multiplicity k: a jump at 1.0
        ("jump", 3, [0, 0, 0, 1, 1, 1, 2, 2, 2]),
        ("linear", 2, [0, 0, 0.5, 1.25, 2, 2]),
    ]
    for name, k, t in setups:
        t = np.array(t, dtype=float)
        n = len(t) - k
        c = rng.uniform(-2, 2, n)
        a, b = t[k - 1], t[n]
        inside = np.sort(np.concatenate([rng.uniform(a, b, 9), t[k - 1:n + 1]]))
        inside = np.unique(inside)
        outside = np.array([a - 0.5, a - 0.01, b + 0.01, b + 0.4])
        pts = np.sort(np.concatenate([inside, outside]))
        vals = {}
        for d in range(k + 1):
            if d < k:
                grid = BSpline(t, c, k - 1, extrapolate=True)(pts, nu=d)
                one = np.where((pts < a) | (pts > b), 0.0, grid)
            else:
                grid = np.zeros_like(pts)
                one = grid
            vals["one%d" % d] = one
            vals["grid%d" % d] = grid
        case("spline_eval", name, k=k, t=t, c=c, x=pts, **vals)


def interpolation_cases():
    rng = np.random.default_rng(5)
    for name, k, n in [("cubic", 4, 9), ("quadratic", 3, 7), ("quintic", 6, 12)]:
        x = np.sort(rng.uniform(0, 4, n))
        y = np.cos(x) + 0.3 * x
        # not-a-knot style knots: k-fold ends at the data range, interior from the data
        inner = x[k // 2: n - (k - k // 2)] if k % 2 == 0 else 0.5 * (x[k // 2: n - k + k // 2] + x[k // 2 + 1: n - k + k // 2 + 1])
        t = np.concatenate([[x[0]] * k, inner, [x[-1]] * k])
        assert len(t) == n + k
        spl = make_interp_spline(x, y, k=k - 1, t=t)
        order = rng.permutation(n)
        case("spline_interp", name, k=k, t=t, x=x[order], y=y[order], c=spl.c)


def lsq_cases():
    rng = np.random.default_rng(7)
    x = rng.uniform(0, 5, 40)
    y = np.sin(x) + 0.05 * rng.standard_normal(40)
    w = rng.uniform(0.2, 2.0, 40)
    w[3] = 0.0
    for name, k, n in [("cubic_default", 4, 8), ("quadratic_default", 3, 6), ("poly", 3, 3)]:
        xmin, xmax = x.min(), x.max()
        t = np.empty(n + k)
        inner = xmin + np.arange(n - k + 2) * (xmax - xmin) / (n - k + 1)
        t[k - 1:n + 1] = inner
        t[n] += 0.001
        t[:k - 1] = t[k - 1]
        t[n + 1:] = t[n]
        spl = make_lsq_spline(np.sort(x), y[np.argsort(x)], t, k=k - 1, w=np.sqrt(w[np.argsort(x)]))
        sse = float(np.sum((spl(x) - y) ** 2))
        case("spline_lsq", name, k=k, n=n, x=x, y=y, w=w, t=t, c=spl.c, sse=sse)
    # caller's knots with a repeated interior knot, unit weights
    k, t = 4, np.array([0, 0, 0, 0, 1.2, 2.5, 2.5, 3.7, 5, 5, 5, 5], dtype=float)
    xs = np.sort(x)
    xs = np.clip(xs, 0, 5)
    spl = make_lsq_spline(xs, np.sin(xs), t, k=k - 1)
    case("spline_lsq", "given_knots", k=k, n=len(t) - k, x=xs, y=np.sin(xs), t=t, c=spl.c,
         sse=float(np.sum((spl(xs) - np.sin(xs)) ** 2)))


def optimisation_case():
    # data from a cubic with one interior knot at 0.3 and a strong jump of its third derivative
    t = np.array([0, 0, 0, 0, 0.3, 1, 1, 1, 1], dtype=float)
    c = np.array([0.0, 1.0, -1.0, 2.0, 0.5])
    x = np.linspace(0, 1, 61)
    y = BSpline(t, c, 3)(x)
    case("spline_opt", "one_knot", k=4, x=x, y=y, tstart=[0, 0, 0, 0, 0.5, 1, 1, 1, 1],
         ttrue=t)


evaluation_cases()
optimisation_case()
interpolation_cases()
lsq_cases()

with open(OUT, "w") as f:
    f.write("# made by tools/numerics_splines/gen_spline_tables.py\n")
    f.write("\n".join(lines) + "\n")
print("wrote", OUT)
