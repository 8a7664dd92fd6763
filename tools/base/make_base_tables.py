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


# ---------------------------------------------------------------- cubic splines
def spline_tables():
    rng = np.random.default_rng(7)
    rows = []
    cases = [("natural", None, None), ("clamped", 0.7, -1.3), ("mixed", None, 2.0), ("mixed2", -0.4, None)]
    for name, yp1, ypn in cases:
        n = 11
        x = np.cumsum(rng.uniform(0.2, 1.5, size=n))
        y = np.sin(x) + 0.3 * rng.normal(size=n)
        bc = ((2, 0.0) if yp1 is None else (1, yp1), (2, 0.0) if ypn is None else (1, ypn))
        cs = interpolate.CubicSpline(x, y, bc_type=bc, extrapolate=True)
        xs = np.concatenate([[x[0] - 0.5, x[-1] + 0.7], x, rng.uniform(x[0], x[-1], size=20)])
        rows.append(["spline", n, 1e30 if yp1 is None else yp1, 1e30 if ypn is None else ypn, len(xs)])
        rows.extend([[a, b, c] for a, b, c in zip(x, y, cs.derivative(2)(x))])
        rows.extend([[a, cs(a)] for a in xs])
    write(NUM, "spline1d.txt",
          ["blocks: 'spline' n yp1 ypn k (an end slope of 1e30 means a natural end),",
           "then n rows 'x y y2' (y2 the second derivative of scipy's CubicSpline at the knot),",
           "then k rows 'x value' (scipy.interpolate.CubicSpline, extrapolating with the end cubics)"], rows)

    rows = []
    m, n = 6, 9
    x1 = np.cumsum(rng.uniform(0.5, 1.0, size=m))
    x2 = np.cumsum(rng.uniform(0.3, 0.8, size=n))
    ya = np.array([[math.cos(a) * math.sin(1.3 * b) + 0.1 * a * b for b in x2] for a in x1])
    rows.append(["grid", m, n])
    rows.append(list(x1))
    rows.append(list(x2))
    rows.extend([list(r) for r in ya])
    pts = [(rng.uniform(x1[0], x1[-1]), rng.uniform(x2[0], x2[-1])) for _ in range(25)]
    pts += [(x1[2], x2[4]), (x1[0] - 0.2, x2[-1] + 0.1)]
    rows.append(["points", len(pts)])
    for p1, p2 in pts:
        across = [interpolate.CubicSpline(x2, ya[j], bc_type="natural")(p2) for j in range(m)]
        v = interpolate.CubicSpline(x1, across, bc_type="natural")(p1)
        rows.append([p1, p2, v])
    write(NUM, "spline2d.txt",
          ["'grid' m n, then x1 (m values), x2 (n values), m rows of n values,",
           "'points' k, then k rows 'p1 p2 value': natural CubicSpline along x2 in every row at p2,",
           "then a natural CubicSpline across the rows at p1"], rows)


# ---------------------------------------------------------------- IIR designs and filtering
# Each design as the base library is asked for it (order, band, prototype, a, trbndw, fl,
# fh, ts) and the scipy.signal call that makes the same filter. The base library maps the
# prototype's pass-band edge (cutoff 1) to the corners; scipy's cheby2 takes the stop-band
# edges instead, which follow from the transition bandwidth through the prewarped corners.
DESIGNS = [
    (4, "LP", "BU", 1, 1, 0, 100),
    (3, "HP", "BU", 1, 1, 50, 0),
    (4, "BP", "BU", 1, 1, 80, 200),
    (3, "BR", "BU", 1, 1, 100, 150),
    (5, "LP", "BE", 1, 1, 0, 120),
    (4, "HP", "BESSEL", 1, 1, 60, 0),
    (3, "BP", "BE", 1, 1, 50, 150),
    (8, "LP", "BE", 1, 1, 0, 200),
    (5, "LP", "C1", 10, 0.3, 0, 100),
    (4, "HP", "C1", 10, 0.2, 150, 0),
    (4, "BP", "C1", 20, 0.5, 100, 200),
    (3, "BR", "C1", 8, 0.4, 120, 220),
    (5, "LP", "C2", 100, 0.4, 0, 100),
    (4, "HP", "C2", 50, 0.3, 120, 0),
    (3, "BP", "C2", 40, 0.5, 100, 200),
    (4, "BR", "C2", 31.6, 0.6, 100, 250),
    (12, "LP", "BU", 1, 1, 0, 150),
]
TS = 1e-3  # 1 kHz sampling


def cheby_eps(a, trbndw, order):
    wr = 1 + trbndw
    alpha = (wr + math.sqrt(wr * wr - 1)) ** order
    g = (alpha * alpha + 1) / (2 * alpha)
    return math.sqrt(a * a - 1) / g


def scipy_sos(order, band, proto, a, trbndw, fl, fh):
    fs = 1 / TS
    btype = {"LP": "lowpass", "HP": "highpass", "BP": "bandpass", "BR": "bandstop"}[band]
    wn = {"LP": fh, "HP": fl}.get(band, [fl, fh])
    if proto == "BU":
        return signal.butter(order, wn, btype, fs=fs, output="sos")
    if proto.startswith("BE"):
        # The base library's Bessel table holds the poles normalised for -3 dB at the
        # corner, which is scipy's norm="mag" (norm="phase" puts other poles there).
        return signal.bessel(order, wn, btype, norm="mag", fs=fs, output="sos")
    if proto == "C1":
        rp = 10 * math.log10(1 + cheby_eps(a, trbndw, order) ** 2)
        return signal.cheby1(order, rp, wn, btype, fs=fs, output="sos")
    # C2: stop-band edges from the prewarped corners (units where W = tan(pi f ts)).
    wr = 1 + trbndw
    warp = lambda f: math.tan(math.pi * f * TS)
    unwarp = lambda w: math.atan(w) / (math.pi * TS)
    if band == "LP":
        ws = unwarp(wr * warp(fh))
    elif band == "HP":
        ws = unwarp(warp(fl) / wr)
    else:
        A = warp(fl) * warp(fh)
        bw = (warp(fh) - warp(fl)) * (wr if band == "BP" else 1 / wr)
        w2 = (bw + math.sqrt(bw * bw + 4 * A)) / 2
        ws = [unwarp(A / w2), unwarp(w2)]
    return signal.cheby2(order, 20 * math.log10(a), ws, btype, fs=fs, output="sos")


def filter_tables():
    freqs = np.concatenate([np.linspace(0, 500, 101), [37.5, 99.9, 100.1, 141.4, 173.2, 249.9]])
    rows = []
    for order, band, proto, a, trbndw, fl, fh in DESIGNS:
        sos = scipy_sos(order, band, proto, a, trbndw, fl, fh)
        _, h = signal.sosfreqz(sos, worN=freqs, fs=1 / TS)
        rows.append(["design", order, band, proto, a, trbndw, fl, fh, TS, len(freqs)])
        rows.extend([[f, abs(v)] for f, v in zip(freqs, h)])
    write(NUM, "iir_designs.txt",
          ["blocks: 'design' order band proto a trbndw fl fh ts k, then k rows 'f |H(f)|'",
           "from scipy.signal (butter, bessel norm='mag', cheby1, cheby2) and sosfreqz"], rows)

    rng = np.random.default_rng(99)
    n = 400
    t = np.arange(n) * TS
    x = (np.sin(2 * np.pi * 130 * t) + 0.5 * np.sin(2 * np.pi * 20 * t) + 0.3 * rng.normal(size=n))
    x = x.astype(np.float32).astype(np.float64)
    x[200] += 5.0  # a spike
    rows = []
    for design in [(4, "BP", "BU", 1, 1, 80, 200), (5, "LP", "C1", 10, 0.3, 0, 100), (3, "HP", "BE", 1, 1, 60, 0)]:
        sos = scipy_sos(*design)
        y = signal.sosfilt(sos, x)
        z = signal.sosfilt(sos, y[::-1])[::-1]
        rows.append(["filter", *design, TS, n])
        rows.extend([[u, v, w] for u, v, w in zip(x, y, z)])
    write(NUM, "iir_filtering.txt",
          ["blocks: 'filter' order band proto a trbndw fl fh ts n, then n rows 'x forward zerophase':",
           "forward = scipy.signal.sosfilt(sos, x); zerophase = sosfilt over the reversed forward output, reversed back"],
          rows)


# ---------------------------------------------------------------- Powell minimisation
POWELL_FUNCTIONS = {
    "bowl2": (lambda v: (v[0] - 1) ** 2 + 10 * (v[1] + 2) ** 2, [0.0, 0.0]),
    "rosenbrock": (lambda v: 100 * (v[1] - v[0] ** 2) ** 2 + (1 - v[0]) ** 2, [-1.2, 1.0]),
    "beale": (lambda v: (1.5 - v[0] + v[0] * v[1]) ** 2 + (2.25 - v[0] + v[0] * v[1] ** 2) ** 2
              + (2.625 - v[0] + v[0] * v[1] ** 3) ** 2, [1.0, 1.0]),
    "bowl3": (lambda v: (v[0] + v[1] + v[2] - 3) ** 2 + (v[0] - v[1]) ** 2 + 2 * (v[1] - v[2] + 1) ** 2 + 0.5,
              [5.0, -4.0, 2.0]),
    "powell4": (lambda v: (v[0] + 10 * v[1]) ** 2 + 5 * (v[2] - v[3]) ** 2 + (v[1] - 2 * v[2]) ** 4
                + 10 * (v[0] - v[3]) ** 4, [3.0, -1.0, 0.0, 1.0]),
}


def powell_tables():
    rows = []
    for name, (f, x0) in POWELL_FUNCTIONS.items():
        r = optimize.minimize(f, x0, method="Powell",
                              options={"xtol": 1e-12, "ftol": 1e-15, "maxiter": 100000, "maxfev": 1000000})
        rows.append([name, len(x0)] + list(x0) + list(r.x) + [r.fun])
    write(NUM, "powell.txt",
          ["rows: name n start[n] x*[n] f(x*) with x* from scipy.optimize.minimize(method='Powell')"], rows)


# ---------------------------------------------------------------- Julian days
def julian_tables():
    """Julian days of local date-times in two time zones, from Python's datetime."""
    epoch = dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc)
    stamps = [
        (2000, 1, 1, 12, 0, 0.0), (2008, 5, 1, 10, 20, 30.5), (1969, 12, 31, 23, 59, 59.0),
        (1900, 3, 1, 0, 0, 0.0), (2004, 2, 29, 6, 7, 8.25), (2023, 12, 31, 23, 30, 15.0),
        (1858, 11, 17, 0, 0, 0.0), (2100, 3, 1, 1, 2, 3.0), (1999, 12, 31, 18, 0, 0.0),
        (2026, 7, 4, 4, 5, 6.75), (1600, 2, 29, 12, 0, 0.0), (2038, 1, 19, 3, 14, 7.0),
    ]
    rows = []
    for zone in (9.0, -3.5):
        tz = dt.timezone(dt.timedelta(hours=zone))
        for y, mo, d, h, mi, sec in stamps:
            whole = int(sec)
            local = dt.datetime(y, mo, d, h, mi, whole, int(round((sec - whole) * 1e6)), tzinfo=tz)
            jd = 2440587.5 + (local - epoch).total_seconds() / 86400.0
            rows.append([y, mo, d, h, mi, sec, zone, jd])
    write(UTIL, "julian_days.txt",
          ["rows: year month day hour minute seconds zone julian_day",
           "(local time in the zone; Julian day of the universal time from Python's datetime)"], rows)


def main():
    fft_tables()
    spline_tables()
    filter_tables()
    powell_tables()
    julian_tables()


if __name__ == "__main__":
    sys.exit(main())
