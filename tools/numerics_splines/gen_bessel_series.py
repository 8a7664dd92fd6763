#!/usr/bin/python3
"""Chebyshev series of the real Bessel functions of orders 0 and 1, from their definitions.

Run from the repository root:
    /usr/bin/python3 tools/numerics_splines/gen_bessel_series.py
It writes numerics/further/nml_bessel_series.inc. Every series is the Chebyshev expansion in
t on [-1, 1] (first coefficient halved) of the function named beside it, computed with mpmath
at 50 digits by interpolation at Chebyshev points, and checked against the leading
coefficients the library documents.
"""
import os

import mpmath as mp

mp.mp.dps = 50
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "numerics", "further", "nml_bessel_series.inc")
PI = mp.pi


def cheb(f, length, nodes=120):
    vals = []
    for k in range(nodes):
        th = PI * (k + mp.mpf(1) / 2) / nodes
        vals.append((mp.cos(th), th, f(mp.cos(th))))
    coefs = []
    for j in range(length):
        s = mp.fsum(v * mp.cos(j * th) for _, th, v in vals)
        coefs.append(2 * s / nodes)
    return coefs


def x_small(t):  # t = x^2/8 - 1, 0 < x <= 4
    return mp.sqrt(8 * (t + 1))


def x_mid(t):  # t = (128/x^2 - 5)/3, 4 < x <= 8
    return mp.sqrt(128 / (3 * t + 5))


def x_large(t):  # t = 128/x^2 - 1, x > 8
    return mp.sqrt(128 / (t + 1))


def modulus(n, x):
    return mp.sqrt(mp.besselj(n, x) ** 2 + mp.bessely(n, x) ** 2)


def phase(n, x):
    base = x - (PI / 4 if n == 0 else 3 * PI / 4)
    th = mp.atan2(mp.bessely(n, x), mp.besselj(n, x))
    d = th - base
    d -= 2 * PI * mp.nint(d / (2 * PI))
    return d


def y0_rest(t):
    x = x_small(t)
    if x == 0:
        return mp.mpf(0)
    return mp.bessely(0, x) - 2 / PI * mp.log(x / 2) * mp.besselj(0, x) - mp.mpf(0.375)


def y1_rest(t):
    x = x_small(t)
    return x * mp.bessely(1, x) - 2 / PI * x * mp.log(x / 2) * mp.besselj(1, x) - mp.mpf(0.5)


SERIES = [
    ("BJ0CS", 18, lambda t: mp.besselj(0, x_small(t)),
     [0.10025416196893913, -0.6652230077644051, 0.2489837034982813]),
    ("BY0CS", 19, y0_rest, [-0.011277839392865573, -0.12834523756042035, -0.10437884799794249]),
    ("BM0CS", 37, lambda t: modulus(0, x_mid(t)) * mp.sqrt(x_mid(t)) - mp.mpf(0.75),
     [0.09211656246827743, -0.0010505909972719051, 1.4701598407687597e-5]),
    ("BT02CS", 39, lambda t: phase(0, x_mid(t)) * x_mid(t),
     [-0.24548295213424598, 0.0012544121039084616, -3.1253950414871526e-5]),
    ("BM02CS", 40, lambda t: modulus(0, x_large(t)) * mp.sqrt(x_large(t)) - mp.mpf(0.75),
     [0.09500415145228382, -0.0003801864682365671, 2.258339301031481e-6]),
    ("BTH0CS", 44, lambda t: phase(0, x_large(t)) * x_large(t),
     [-0.24901780862128936, 0.0004855029960962375, -5.4511837345017206e-6]),
    ("BJ1CS", 19, lambda t: mp.besselj(1, x_small(t)) / x_small(t) - mp.mpf(0.25),
     [-0.11726141513332787, -0.2536152183079064, 0.050127080984469566]),
    ("BY1CS", 20, y1_rest, [0.032080471006119084, 1.2627078974335004, 0.006499961899923175]),
    ("BM1CS", 37, lambda t: modulus(1, x_mid(t)) * mp.sqrt(x_mid(t)) - mp.mpf(0.75),
     [0.1069845452618063, 0.003274915039715965, -2.9877832668316986e-5]),
    ("BT12CS", 39, lambda t: phase(1, x_mid(t)) * x_mid(t),
     [0.7382386012874298, -0.0033361113174483906, 6.146345488804697e-5]),
    ("BM12CS", 40, lambda t: modulus(1, x_large(t)) * mp.sqrt(x_large(t)) - mp.mpf(0.75),
     [0.0980797915623305, 0.0011509611895046852, -4.312482164338206e-6]),
    ("BTH1CS", 44, lambda t: phase(1, x_large(t)) * x_large(t),
     [0.7474995720358728, -0.001240077714465171, 9.925244240442453e-6]),
]

out = ["// Chebyshev series of the real Bessel functions of orders 0 and 1.",
       "// Made by tools/numerics_splines/gen_bessel_series.py from each function's definition;",
       "// do not edit.", ""]
for name, length, f, first in SERIES:
    c = cheb(f, length)
    for got, want in zip(c, first):
        rel = abs((got - want) / want)
        assert rel < 1e-14, (name, got, want)
    out.append("constexpr double k%s[%d] = {" % (name, length))
    for v in c:
        out.append("    %s," % mp.nstr(v, 17, min_fixed=0, max_fixed=0))
    out.append("};")
    print(name, "ok")
with open(OUT, "w") as fh:
    fh.write("\n".join(out) + "\n")
print("wrote", OUT)
