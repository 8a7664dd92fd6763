#!/usr/bin/python3
"""Coefficients of the two continued fractions the complex modified Bessel routines use.

  ln Gamma(1 + v)            = v G1 / (1 + v G2 / (1 + v G3 / (1 + ...)))
  (x / sin x - 1) / x^2      = S1 / (1 + y S2 / (1 + y S3 / (1 + ...))),  y = x^2

Each fraction is formed from the power series by repeated reciprocals in high precision.
Prints C++ initialisers.
"""
import mpmath as mp

mp.mp.dps = 120


def fraction(series, count):
    s = list(series)
    out = []
    for _ in range(count):
        g = s[0]
        out.append(g)
        # g / s = 1 + x * rest  ->  next series = (g / s - 1) / x
        n = len(s)
        inv = [mp.mpf(0)] * n
        inv[0] = 1 / s[0]
        for k in range(1, n):
            inv[k] = -sum(s[j] * inv[k - j] for j in range(1, k + 1)) / s[0]
        t = [g * v for v in inv]
        t[0] -= 1
        s = t[1:]
    return out


terms = 80
lngamma = [(-mp.euler if k == 1 else (-1) ** k * mp.zeta(k) / k) for k in range(1, terms + 1)]
G = fraction(lngamma, 33)
xsin = mp.taylor(lambda x: (x / mp.sin(x) - 1) / x**2 if x != 0 else mp.mpf(1) / 6, 0, 2 * terms)
S = fraction(xsin[0::2][:terms], 12)
for name, vals in (("kG", G), ("kS", S)):
    print("constexpr float %s[%d] = {" % (name, len(vals)))
    print("    " + ", ".join(mp.nstr(v, 9, min_fixed=-1, max_fixed=-1) + "f" for v in vals) + "};")
