#!/usr/bin/python3
"""Reference tables for the base library's numerics, made with numpy and scipy.

Run with Debian's Python (it has numpy and scipy):
    /usr/bin/python3 tools/base/make_base_tables.py
The tables are committed; the tests read them and never run this script.

Every table is plain text: lines starting with '#' are comments, everything else is
whitespace-separated numbers (or words where a test says so).
"""
import datetime as dt
import math
import os
import sys

import numpy as np
from scipy import interpolate, optimize, signal

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
NUM = os.path.join(ROOT, "base", "numerics", "testdata")
UTIL = os.path.join(ROOT, "base", "util", "testdata")


def write(folder, name, header, rows):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "w") as f:
        for h in header:
            f.write("# " + h + "\n")
        for r in rows:
            f.write(" ".join(x if isinstance(x, str) else repr(float(x)) for x in r) + "\n")


# ---------------------------------------------------------------- FFT and correlation
def plus_dft(x):
    """sum_j x_j exp(+2 pi i j k / n): the transform with sign +1."""
    return np.fft.ifft(x) * len(x)


def fft_tables():
    rng = np.random.default_rng(20261210)
    rows = []
    # Complex transforms, both signs.
    for nn in (2, 8, 64, 256):
        x = rng.normal(size=nn) + 1j * rng.normal(size=nn)
        for isign in (1, -1):
            y = plus_dft(x) if isign == 1 else np.fft.fft(x)
            rows.append(["complex", nn, isign])
            rows.extend([[v.real, v.imag] for v in x])
            rows.extend([[v.real, v.imag] for v in y])
    write(NUM, "fft_complex.txt",
          ["blocks: 'complex' nn isign, then nn input pairs (re im), then nn output pairs",
           "output[k] = sum_j input[j] exp(2 pi i isign j k / nn), numpy.fft"], rows)

    rows = []
    # Real transforms: 2n samples -> packed spectrum of sign +1.
    for n in (1, 2, 4, 16, 128):
        x = rng.normal(size=2 * n)
        y = plus_dft(x)
        packed = [y[0].real, y[n].real]
        for k in range(1, n):
            packed += [y[k].real, y[k].imag]
        rows.append(["real", n])
        rows.extend([[v] for v in x])
        rows.extend([[v] for v in packed])
    write(NUM, "fft_real.txt",
          ["blocks: 'real' n, then 2n samples, then the 2n packed values:",
           "Re X0, Re Xn, then Re Xk, Im Xk for k = 1 .. n-1, X = sign +1 transform (numpy.fft)"], rows)

    rows = []
    for n in (2, 16, 128):
        a = rng.normal(size=n)
        b = rng.normal(size=n)
        fa = plus_dft(a)
        fb = plus_dft(b)
        rows.append(["two", n])
        rows.extend([[u, v] for u, v in zip(a, b)])
        rows.extend([[u.real, u.imag, v.real, v.imag] for u, v in zip(fa, fb)])
    write(NUM, "fft_two.txt",
          ["blocks: 'two' n, then n rows 'a b', then n rows 'Re A Im A Re B Im B' (sign +1 spectra)"], rows)

    rows = []
    for n in (2, 3, 8, 10, 37, 256):
        a = rng.normal(size=n)
        b = rng.normal(size=n)
        m = 1 << (n.bit_length() - 1)
        ans = [sum(a[(j + k) % m] * b[j] for j in range(m)) for k in range(m)] + [0.0] * (n - m)
        rows.append(["correl", n])
        rows.extend([[u, v] for u, v in zip(a, b)])
        rows.extend([[v] for v in ans])
    write(NUM, "correl.txt",
          ["blocks: 'correl' n, then n rows 'a b', then n values of",
           "ans[k] = sum_j a[(j + k) mod m] b[j] (m the largest power of two <= n), 0 beyond m"], rows)


def main():
    fft_tables()


if __name__ == "__main__":
    sys.exit(main())
