#!/usr/bin/python3
"""Reference values of the modified Bessel functions I and K of complex argument (mpmath),
for numerics/further/testdata/bessel_complex_reference.txt.

Each case: a line "case nu re im n", then n lines "I.re I.im K.re K.im" for the orders
nu, nu + 1, ..., nu + n - 1.
"""
import mpmath as mp

mp.mp.dps = 40

CASES = [
    # small-argument method
    (0.0, 1.0, 0.0, 3), (0.3, 1.5, 2.0, 4), (-0.4, 0.5, -0.25, 3), (0.5, 2.0, 1.0, 3),
    (2.7, 0.01, 0.02, 4), (0.0, 1e-4, 0.0, 2), (1.0, 0.0, 15.0, 3), (0.2, 1.0, -19.0, 3),
    # large-argument method
    (0.0, 10.0, 0.0, 3), (0.25, 5.0, 4.0, 5), (1.5, 30.0, -20.0, 3), (0.0, 0.1, 50.0, 2),
    (3.2, 60.0, 20.0, 4), (10.7, 8.0, 1.0, 5), (0.1, 5.0, 5.0, 20), (10.0, 0.5, 3.0, 20),
    # reflected arguments
    (0.0, -1.0, 0.0, 2), (0.3, -1.5, 2.0, 3), (0.3, -1.5, -2.0, 3), (0.7, 0.0, -4.0, 3),
    (1.2, -12.0, 5.0, 3), (0.0, -0.2, -0.0, 2),
]


def main():
    out = []
    for nu, re, im, n in CASES:
        z = mp.mpc(re, im)
        out.append("case %r %r %r %d" % (nu, re, im, n))
        for k in range(n):
            i = mp.besseli(nu + k, z)
            kk = mp.besselk(nu + k, z)
            out.append(" ".join(mp.nstr(v, 17) for v in (i.real, i.imag, kk.real, kk.imag)))
    print("\n".join(out))


main()
