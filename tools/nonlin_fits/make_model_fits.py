#!/usr/bin/python3
"""Reference fits of the program's own decay models for the nonlinear fit driver's tests.

Run with Debian's python3 (numpy, scipy):
    /usr/bin/python3 tools/nonlin_fits/make_model_fits.py

Writes base/numerics/testdata/nonlin_model_fits.txt: for each case the data (fixed seed),
two start values (one near the answer, one far from it, as the NIST problems give) and the
least-squares minimum found by scipy.optimize.least_squares in double precision (best of
runs from the truth and from both starts, tight tolerances), with its residual sum of
squares. The models, with parameters from 1e-3 to 1e4:
  omori     K (t - t0)^-p written as p0 (X - p2)^p1 (p1 = -p, p2 = -c)
  powerlaw  p0 + p1 X^p2
  expdecay  p0 exp(-p1 X) + p2
"""
import os

import numpy as np
from scipy import optimize

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "numerics", "testdata", "nonlin_model_fits.txt")

MODELS = {
    "omori": lambda p, x: p[0] * np.power(x - p[2], p[1]),
    "powerlaw": lambda p, x: p[0] + p[1] * np.power(x, p[2]),
    "expdecay": lambda p, x: p[0] * np.exp(-p[1] * x) + p[2],
}

# name, truth, x grid, relative noise, near start, far start
CASES = [
    ("omori", [1e4, -1.1, -1e-3], np.geomspace(0.01, 1e3, 40), 0.03,
     [1.5e4, -1.0, -2e-3], [1e3, -0.8, -0.5]),
    ("omori", [50.0, -1.3, -0.05], np.geomspace(0.01, 100.0, 30), 0.05,
     [30.0, -1.2, -0.1], [1.0, -0.7, -1.0]),
    ("omori", [1e-3, -0.9, -0.5], np.linspace(0.1, 50.0, 25), 0.02,
     [2e-3, -1.0, -0.3], [1e-2, -0.5, -0.05]),
    ("omori", [1e-3, -1.2, -0.01], np.geomspace(0.01, 100.0, 30), 0.0,
     [2e-3, -1.0, -0.02], [1.0, -0.8, -0.005]),
    ("omori", [2e3, -1.0, -2.0], np.geomspace(0.5, 2e3, 35), 0.0,
     [1e3, -0.9, -1.0], [1e2, -0.6, -0.4]),
    ("powerlaw", [1e4, -50.0, 0.5], np.linspace(0.0, 100.0, 30), 0.001,
     [8e3, -30.0, 0.6], [1.0, -1.0, 1.0]),
    ("powerlaw", [1e-3, 2.0, 1.5], np.linspace(0.01, 3.0, 25), 0.01,
     [0.0, 1.0, 1.0], [1.0, 1.0, 0.5]),
    ("powerlaw", [5.0, 1e-3, 2.5], np.linspace(1.0, 200.0, 40), 0.02,
     [4.0, 2e-3, 2.3], [0.0, 1.0, 1.0]),
    ("powerlaw", [0.2, 1e3, 0.3], np.linspace(0.001, 1.0, 30), 0.0,
     [0.0, 500.0, 0.5], [1.0, 1.0, 1.0]),
    ("expdecay", [1e4, 1e-3, 5.0], np.linspace(0.0, 3000.0, 40), 0.01,
     [9e3, 2e-3, 0.0], [1e3, 1e-2, 1.0]),
    ("expdecay", [1e-3, 2.0, 1e-4], np.linspace(0.0, 4.0, 30), 0.02,
     [2e-3, 1.0, 0.0], [1.0, 1.0, 1.0]),
    ("expdecay", [3.0, 0.05, 1e3], np.linspace(0.0, 100.0, 35), 1e-4,
     [2.0, 0.1, 900.0], [1.0, 1.0, 1.0]),
    ("expdecay", [700.0, 30.0, 1e-3], np.linspace(0.0, 0.2, 25), 0.0,
     [500.0, 20.0, 0.0], [1.0, 1.0, 0.0]),
]


def line(f, *vals):
    f.write(" ".join(repr(float(v)) for v in vals) + "\n")


def best_fit(fn, x, y, starts):
    best = None
    for s in starts:
        try:
            r = optimize.least_squares(lambda p: y - fn(p, x), s, x_scale="jac", xtol=1e-15,
                                       ftol=1e-15, gtol=1e-15, max_nfev=20000)
        except ValueError:
            continue
        rss = float(np.sum((y - fn(r.x, x)) ** 2))
        if np.isfinite(rss) and (best is None or rss < best[1]):
            best = (r.x, rss)
    return best


def main():
    rng = np.random.default_rng(20261210)
    with open(OUT, "w") as f:
        f.write("# made by tools/nonlin_fits/make_model_fits.py (scipy.optimize.least_squares)\n")
        f.write("# cases; per case: model m n, x, y, near start, far start, minimum, its RSS\n")
        line_count = len(CASES)
        f.write(f"{line_count}\n")
        for name, truth, x, noise, near, far in CASES:
            fn = MODELS[name]
            y = fn(truth, x)
            y = y * (1.0 + noise * rng.standard_normal(len(x)))
            with np.errstate(all="ignore"):
                p, rss = best_fit(fn, x, y, [truth, near, far])
            f.write(f"{name} {len(x)} {len(truth)}\n")
            line(f, *x)
            line(f, *y)
            line(f, *near)
            line(f, *far)
            line(f, *p)
            line(f, rss)


if __name__ == "__main__":
    main()
