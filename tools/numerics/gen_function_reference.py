#!/usr/bin/python3
"""Reference values of the special functions and distributions for the numerical library's
tests, from independent implementations: mpmath (40 digits) for the functions, SciPy for
the distribution quantiles. Writes numerics/testdata/function_reference.txt, one case a line:

    <function> <arg1> [<arg2> [<arg3>]] <value>

Run: /usr/bin/python3 tools/numerics/gen_function_reference.py
"""
import os

import mpmath as mp
from scipy import stats

mp.mp.dps = 40
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main():
    rows = []

    def add(name, args, value):
        rows.append(name + " " + " ".join(repr(float(a)) for a in args) + " " + repr(float(value)))

    # Error function: both sides of 1 and of x^2 = 4, the cut-offs xbig = 6.0137 and
    # xmax = 26.5333 of the complement, and the tiny-argument branch.
    for x in [0, 1e-9, 1e-8, 0.01, 0.3, -0.7, 0.999, 1.0, 1.001, 1.5, -1.9, 2.0, 2.01, 3.0, -4.5,
              5.9, 6.01, 6.02, -6.02, 7.0]:
        add("erf", [x], mp.erf(x))
    for x in [-7, -6.02, -2.5, -1, -0.2, 0, 1e-9, 0.4, 1.0, 1.2, 2.0, 2.5, 4, 6, 10, 15, 20, 26.5]:
        add("erfc", [x], mp.erfc(x))
    for x in [-38, -20, -8, -3, -1.96, -0.5, 0, 0.5, 1.0, 1.96, 3, 8, 10]:
        add("normal_cdf", [x], mp.ncdf(x))
    # Normal inverse: the far tails (p <= eps), the s <= 0.85 rational form and both w forms.
    for p in [1e-300, 1e-100, 1e-20, 1e-16, 3e-16, 1e-12, 1e-8, 1e-5, 1e-3, 0.01, 0.05, 0.07,
              0.08, 0.2, 0.4, 0.5, 0.6, 0.9, 0.925, 0.975, 0.999, 1 - 1e-6, 1 - 1e-10, 1 - 4e-16,
              # exact in single precision, for the float routine
              2.0**-60, 2.0**-30, 2.0**-20, 0.0078125, 0.25, 0.75, 0.9375, 0.96875, 0.99609375]:
        add("normal_inverse", [p], stats.norm.ppf(p))
    # Gamma: the series range, products above 2, reflection below 1, Stirling above 10.
    for x in [0.001, 0.1, 0.5, 1, 1.5, 2, 2.5, 5, 9.9, 10.1, 20, 35, 100, 171.5, -0.5, -1.5,
              -2.999, -9.5, -10.5, -30.2, -170.3]:
        add("gamma", [x], mp.gamma(x))
    for x in [0.001, 0.1, 0.5, 1, 1.5, 3, 9.5, 10.5, 30, 100, 1e5, 1e20, -0.5, -4.3, -20.5,
              -100.3]:
        add("log_gamma", [x], mp.log(abs(mp.gamma(x))))
    for a, b in [(1, 1), (0.5, 0.5), (2, 3), (0.2, 7), (20, 30), (12, 100), (2, 30), (0.5, 40),
                 (9.5, 9.5), (1e-3, 5)]:
        add("log_beta", [a, b], mp.log(mp.beta(a, b)))
    # Incomplete beta: both sides of the swap (x < 0.2, x >= 0.8), integer and fractional b.
    for a, b in [(1, 1), (0.5, 0.5), (2, 3), (0.75, 0.5), (5, 1), (1, 5), (10, 10), (3.5, 30),
                 (30, 3.5), (0.1, 2.5), (50, 60)]:
        for x in [0, 1e-6, 0.05, 0.19, 0.2, 0.35, 0.5, 0.79, 0.8, 0.95, 0.999999, 1]:
            add("beta_incomplete", [x, a, b], mp.betainc(a, b, 0, x, regularized=True))
    for a, b in [(2, 3), (3, 2), (0.75, 0.5), (0.5, 0.5), (1, 1), (5, 1.5), (0.25, 0.5),
                 (1.2, 0.5), (20, 25)]:
        for p in [1e-6, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99]:
            add("betin", [p, a, b], stats.beta.ppf(p, a, b))
    # Student's t: the closed forms at 1 and 2, the beta inverse between, Hill's form above.
    for df in [1, 1.5, 1.9, 2, 2.5, 3, 4, 4.9, 5, 7, 10, 30, 100, 1000]:
        for p in [0.001, 0.05, 0.25, 0.5, 0.6, 0.75, 0.9, 0.95, 0.975, 0.99, 0.995, 0.9995]:
            add("t_inverse", [p, df], stats.t.ppf(p, df))
    for df in [0.5, 1, 2, 5, 10, 25.5, 30, 65, 66, 100, 300]:
        for x in [0.01, 0.5, 1, 1.9, 3, 10, 30, 60, 70, 100, 150, 199, 250, 400]:
            add("chi_squared_cdf", [x, df], mp.gammainc(mp.mpf(df) / 2, 0, mp.mpf(x) / 2, regularized=True))
    for df in [0.5, 1, 2, 5, 10, 30, 65, 66, 100, 300]:
        for p in [0.001, 0.05, 0.25, 0.5, 0.75, 0.95, 0.99]:
            add("chi_squared_inverse", [p, df], stats.chi2.ppf(p, df))

    path = os.path.join(ROOT, "numerics", "testdata", "function_reference.txt")
    with open(path, "w") as fh:
        fh.write("# function args... value; written by tools/numerics/gen_function_reference.py\n")
        fh.write("\n".join(rows) + "\n")
    print("wrote", len(rows), "cases to", path)


if __name__ == "__main__":
    main()
