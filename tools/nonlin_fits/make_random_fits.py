#!/usr/bin/python3
"""Least-squares minima of random power-law and exponential data sets, for the test of the
nonlinear fit driver's acceptance of its fits (base/numerics/KZ_Stati_test.cpp).

Run with Debian's python3 (numpy, scipy):
    /usr/bin/python3 tools/nonlin_fits/make_random_fits.py

The sets are not stored: the test makes them again with the same generator (splitmix64,
uniforms of 53 bits, Box-Muller normals) and the same libm calls, so both sides hold the
same doubles. Per set the table gives the kind, its number, the last observation (to check
that both sides made the same data) and the smallest residual sum of squares that
scipy.optimize.least_squares reaches from the truth and from the test's start, in double
precision with tight tolerances.

  power  y = A x^b (1 + s N), A in 0.1..100, b in 0.3..2.5, x = 1..xmax (5..100) in m equal
         steps (m = 20..40), relative noise s from 1e-6 to 1e-2; start A = 0.1, b = 1
         (the data sheet's start values).
  exp    y = (A exp(-k x) + c) (1 + s N), A in 0.1..100, k in 0.01..1, c in 0..A/2,
         x = 0..xmax (1 to 5 decay lengths) in m steps; start within a factor of two of
         A and k, c = 0.
"""
import math
import os

import numpy as np

from make_model_fits import best_fit

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "numerics", "testdata", "nonlin_random_fits.txt")
SETS = 400
MASK = (1 << 64) - 1


class SplitMix:
    def __init__(self, seed):
        self.s = seed & MASK

    def next(self):
        self.s = (self.s + 0x9E3779B97F4A7C15) & MASK
        z = self.s
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def uniform(self, lo=0.0, hi=1.0):
        u = (self.next() >> 11) * (1.0 / 9007199254740992.0)
        return lo + (hi - lo) * u

    def normal(self):
        u1 = 1.0 - self.uniform()
        u2 = self.uniform()
        return math.sqrt(-2.0 * math.log(u1)) * math.cos(2.0 * math.pi * u2)


def power_set(i):
    g = SplitMix(1000 + i)
    A = math.pow(10.0, g.uniform(-1.0, 2.0))
    b = g.uniform(0.3, 2.5)
    m = 20 + int(g.uniform() * 21.0)
    xmax = g.uniform(5.0, 100.0)
    s = math.pow(10.0, g.uniform(-6.0, -2.0))
    x = [1.0 + j * (xmax - 1.0) / (m - 1) for j in range(m)]
    y = [A * math.pow(xj, b) * (1.0 + s * g.normal()) for xj in x]
    return x, y, [A, b], [0.1, 1.0]


def exp_set(i):
    g = SplitMix(5000 + i)
    A = math.pow(10.0, g.uniform(-1.0, 2.0))
    k = math.pow(10.0, g.uniform(-2.0, 0.0))
    c = A * g.uniform(0.0, 0.5)
    m = 20 + int(g.uniform() * 21.0)
    xmax = g.uniform(1.0, 5.0) / k
    s = math.pow(10.0, g.uniform(-6.0, -2.0))
    start = [A * math.pow(2.0, g.uniform(-1.0, 1.0)), k * math.pow(2.0, g.uniform(-1.0, 1.0)), 0.0]
    x = [j * xmax / (m - 1) for j in range(m)]
    y = [(A * math.exp(-k * xj) + c) * (1.0 + s * g.normal()) for xj in x]
    return x, y, [A, k, c], start


MODELS = {
    "power": (power_set, lambda p, x: p[0] * np.power(x, p[1])),
    "exp": (exp_set, lambda p, x: p[0] * np.exp(-p[1] * x) + p[2]),
}


def best_rss(fn, x, y, starts):
    with np.errstate(all="ignore"):
        best = best_fit(fn, x, y, starts)
    return None if best is None else best[1]


def main():
    with open(OUT, "w") as f:
        f.write("# made by tools/nonlin_fits/make_random_fits.py (scipy.optimize.least_squares)\n")
        f.write("# sets per kind; per set: kind number last-observation minimum-RSS\n")
        f.write(f"{SETS}\n")
        for kind, (make, fn) in MODELS.items():
            for i in range(SETS):
                x, y, truth, start = make(i)
                rss = best_rss(fn, np.array(x), np.array(y), [truth, start])
                f.write(f"{kind} {i} {y[-1]!r} {rss!r}\n")


if __name__ == "__main__":
    main()
