#!/usr/bin/python3
"""Reference tables for the data table's analyses and the probability and model functions.

Run with Debian's python3 (numpy, scipy, statsmodels, mpmath):
    /usr/bin/python3 tools/base_analysis/make_analysis_tables.py
Writes base/numerics/testdata/model_functions.txt and base/series/testdata/analysis_*.txt.
Every value comes from an independent tool: scipy.stats (checked against mpmath), numpy
complex arithmetic, mpmath derivatives, numpy.fft, statsmodels AutoReg with scipy's
freqz, numpy.histogram, scipy.optimize.curve_fit / least_squares, linregress and
numpy.linalg.eigh.
"""
import math
import os

import mpmath
import numpy as np
from scipy import optimize, signal, stats
from statsmodels.tsa.ar_model import AutoReg

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NUM = os.path.join(ROOT, "base", "numerics", "testdata")
SER = os.path.join(ROOT, "base", "series", "testdata")
mpmath.mp.dps = 40


def fmt(v):
    if isinstance(v, (int, np.integer)):
        return str(int(v))
    return repr(float(v))


def line(f, *vals):
    f.write(" ".join(fmt(v) for v in vals) + "\n")


def checked(v, exact):
    # scipy forms large-k terms in logarithms and is good to about 1e-12; the table keeps
    # the 40-digit value.
    exact = float(exact)
    assert abs(v - exact) <= 1e-10 * abs(exact), (v, exact)
    return exact


def model_functions(f):
    """Distribution functions (mpmath at 40 digits, agreeing with scipy.stats) and the complex-form
    log-periodic law (numpy) with its derivative (mpmath)."""
    pois = [(0, 2.0), (3, 2.0), (10, 4.5), (50, 40.0), (170, 150.0), (171, 160.0), (400, 380.0),
            (1000, 990.0), (1000, 1000.0), (5, 700.0)]
    f.write("# poisson: count, then k lambda pmf\n")
    line(f, len(pois))
    for k, lam in pois:
        exact = mpmath.exp(k * mpmath.log(lam) - lam - mpmath.loggamma(k + 1)) if k else mpmath.exp(-lam)
        line(f, k, lam, checked(stats.poisson.pmf(k, lam), exact))
    binom = [(0, 4, 0.5), (2, 4, 0.5), (30, 100, 0.3), (500, 1000, 0.5), (700, 1000, 0.72),
             (990, 1000, 0.99), (5, 1000, 0.004), (1000, 1000, 0.999), (20, 1100, 0.02)]
    f.write("# binomial: count, then k n p pmf\n")
    line(f, len(binom))
    for k, n, p in binom:
        exact = mpmath.binomial(n, k) * mpmath.mpf(p) ** k * (1 - mpmath.mpf(p)) ** (n - k)
        line(f, k, n, p, checked(stats.binom.pmf(k, n, p), exact))
    norm = [(0.0, 0.0, 1.0), (0.0, 0.0, 4.0), (1.3, -0.4, 2.5), (12.0, 10.0, 0.3)]
    f.write("# normal: count, then x mean variance pdf\n")
    line(f, len(norm))
    for x, mu, var in norm:
        line(f, x, mu, var, stats.norm.pdf(x, mu, math.sqrt(var)))
    wbl = [(1.0, 1.0, 1.0), (0.0, 2.0, 1.0), (2.5, 3.0, 2.0), (7.0, 4.0, 0.7), (0.3, 0.5, 3.5)]
    f.write("# weibull: count, then x scale shape pdf\n")
    line(f, len(wbl))
    for x, lam, k in wbl:
        line(f, x, lam, k, stats.weibull_min.pdf(x, k, scale=lam))
    lpc = [(0.5, 0.02, 0.1, -6.0, 0.8, 3.0), (0.05, 0.3, -0.2, 1.5, 0.6, 6.0),
           (0.9, -0.1, 0.4, 2.0, 1.2, 8.0), (0.01, 0.05, 0.12, -5.5, 0.75, 3.2)]
    f.write("# log-periodic complex form: count, then x a b c alpha omega F dF/dx\n")
    line(f, len(lpc))
    for x, a, b, c, al, om in lpc:
        F = np.real(np.exp(c * x ** al * np.exp((a + 1j * b) * np.exp(1j * om * np.log(x)))))

        def g(t):
            return mpmath.re(mpmath.exp(c * t ** al * mpmath.exp((a + 1j * b) * mpmath.exp(1j * om * mpmath.log(t)))))
        line(f, x, a, b, c, al, om, F, float(mpmath.diff(g, x)))


def min_aic_ar(x, K):
    """Order of least AIC over 0..K on the common targets, then its fit (statsmodels)."""
    N = len(x) - K
    best = None
    for m in range(K + 1):
        y = x[K - m:]
        if m == 0:
            sig2 = float(np.mean(y ** 2))
            llf = -0.5 * N * (math.log(2 * math.pi) + math.log(sig2) + 1)
            params = []
        else:
            res = AutoReg(y, lags=m, trend="n", old_names=False).fit()
            sig2, llf, params = float(res.sigma2), float(res.llf), list(res.params)
        aic = -2.0 * llf + 2.0 * (m + 1)
        if best is None or aic < best[0]:
            best = (aic, m, params, sig2)
    return best[1:]


def spectrum(f):
    """FFT columns from numpy.fft of the zero-padded series (transform sign +1) and the AR
    column from statsmodels AutoReg (AIC order) with scipy.signal.freqz."""
    rng = np.random.default_rng(24)
    n, dt, t0 = 1000, 0.01, 2.0
    e = rng.standard_normal(n + 100)
    x = np.zeros(n + 100)
    for t in range(2, n + 100):
        x[t] = 1.3 * x[t - 1] - 0.6 * x[t - 2] + e[t]
    y = x[100:] + 0.5 * np.sin(2 * np.pi * 7.0 * dt * np.arange(n)) + 3.0
    nfft, half = 1024, 512
    F = np.conj(np.fft.fft(np.concatenate([y, np.zeros(nfft - n)])))
    P = np.abs(F) ** 2
    asd = np.sqrt(P[:half]) * dt / half
    psd = P[:half] * dt / half ** 2
    asd[0] *= 0.5
    psd[0] *= 0.5
    phase = np.degrees(np.arctan2(F.imag, F.real))[:half]
    ym = y - y.mean()
    K = min(50, (n - 1) // 2)
    p, a, sig2 = min_aic_ar(ym, K)
    w = np.pi * np.arange(half + 1) / half
    _, h = signal.freqz([1.0], [1.0] + [-v for v in a], worN=w)
    ar = sig2 * np.abs(h) ** 2 / half
    f.write("# n dt t0, the n samples, the AR order; then per row k: ASD PSD(fft) PSD(AR) phase\n")
    line(f, n, dt, t0)
    line(f, *y)
    line(f, p)
    for k in range(half):
        line(f, k, asd[k], psd[k], ar[k], phase[k])


def histogram(f):
    """Counts from numpy.histogram (values equal to hi removed first) and the four
    distribution fits in bin-index units by curve_fit from the same start values."""
    rng = np.random.default_rng(2024)
    lo, hi, nb = 0.0, 5.0, 20
    v = 0.6 * rng.weibull(2.2, 600)
    v = np.concatenate([v, [hi, hi, 4.999, -0.5, 10.5]])
    inside = v[(v >= lo) & (v < hi)]
    h, _ = np.histogram(inside, bins=nb, range=(lo, hi))
    N = int(h.sum())
    pdf = h / N
    k = np.arange(nb, dtype=float)
    m = float(np.sum(k * h) / np.sum(h))
    vb = m * (1 - m / nb)
    pdf32 = pdf.astype(np.float32).astype(float)
    fits = {}
    fits["binomial"] = optimize.curve_fit(lambda x, mu: stats.binom.pmf(x, nb, mu / nb), k, pdf32, p0=[m])
    fits["normal"] = optimize.curve_fit(lambda x, mu, var: stats.norm.pdf(x, mu, np.sqrt(var)), k, pdf32, p0=[m, vb])
    fits["poisson"] = optimize.curve_fit(lambda x, lam: stats.poisson.pmf(x, lam), k, pdf32, p0=[m])
    fits["weibull"] = optimize.curve_fit(lambda x, s, c: (c / s) * (x / s) ** (c - 1) * np.exp(-(x / s) ** c),
                                         k, pdf32, p0=[1.0, 2.0])
    f.write("# lo hi nbins count, the values; then the counts; then fitted parameters of the "
            "binomial (mean), normal (mean var), Poisson (lambda), Weibull (scale shape)\n")
    line(f, lo, hi, nb, len(v))
    line(f, *v)
    line(f, *h)
    for name in ("binomial", "normal", "poisson", "weibull"):
        line(f, *fits[name][0])


def curve_fits(f):
    """Seeded synthetic data fitted by least_squares from the table's start values, with
    two-sided 95 % (t(0.975)) half-widths; the straight line with a lag by linregress."""
    rng = np.random.default_rng(8)
    cases = []
    x = np.linspace(1.0, 20.0, 40)
    cases.append((2, x, 2.5 * x ** 1.3 + rng.normal(0, 0.3, x.size), [0.1, 1.0], lambda p, x: p[0] * x ** p[1], None))
    x = np.linspace(1.0, 12.0, 30)
    cases.append((3, x, 1.5 * (x - 0.3) ** 0.8 + rng.normal(0, 0.05, x.size), [0.1, 1.0, 0.0],
                  lambda p, x: p[0] * (x - p[2]) ** p[1], None))
    x = np.linspace(1.0, 10.0, 25)
    c = 0.5
    cases.append((4, x, 3.0 * (x - c) ** 1.2 + rng.normal(0, 0.1, x.size), [0.1, 1.0],
                  lambda p, x: p[0] * (x - c) ** p[1], c))
    x = np.linspace(0.05, 0.8, 20)

    def corey(p, x):
        S = (1 - x - p[0] ** 2) / (1 - p[1] ** 2 - p[0] ** 2)
        return (1 - S) ** 2 * (1 - S ** 2)
    cases.append((5, x, corey([0.2, 0.3], x) + rng.normal(0, 0.003, x.size), [0.1, 0.1], corey, None))
    x = np.arange(0.0, 360.0, 10.0)
    sine = lambda p, x: p[0] * np.sin((x + p[1]) * 0.017453292519943295) + p[2]
    cases.append((8, x, sine([2.3, 17.0, 0.4], x) + rng.normal(0, 0.05, x.size), [1.0, 0.0, 0.0], sine, None))
    f.write("# count; per case: model n c, x, y (as float32), then parameters and half-widths\n")
    line(f, len(cases) + 1)
    for model, x, y, p0, fn, cc in cases:
        x = x.astype(np.float32).astype(float)
        y = y.astype(np.float32).astype(float)
        r = optimize.least_squares(lambda p: y - fn(p, x), p0, method="lm", xtol=1e-15, ftol=1e-15)
        J = r.jac
        dof = x.size - len(p0)
        s2 = float(np.sum(r.fun ** 2)) / dof
        cov = np.linalg.inv(J.T @ J)
        hw = stats.t.ppf(0.975, dof) * np.sqrt(s2 * np.diag(cov))
        line(f, model, x.size, cc if cc is not None else 0.0)
        line(f, *x)
        line(f, *y)
        line(f, *r.x, *hw)
    # Straight line with lag 2.
    x = np.linspace(0.0, 5.0, 15).astype(np.float32).astype(float)
    y = (1.0 + 0.7 * np.roll(x, 2) + rng.normal(0, 0.1, x.size)).astype(np.float32).astype(float)
    lr = stats.linregress(x[:-2], y[2:])
    line(f, 1, x.size, 2.0)
    line(f, *x)
    line(f, *y)
    line(f, lr.intercept, lr.slope, lr.intercept_stderr, lr.stderr, lr.rvalue ** 2)


def ssa(f):
    """Eigenvalues of the lag-product matrix (numpy.linalg.eigh) and reconstructions by
    diagonal averaging: the mean component and the sine pair (sum of two components)."""
    rng = np.random.default_rng(5)
    N = 120
    x = (3.0 + 2.0 * np.sin(2 * np.pi * np.arange(N) / 12.0) + 0.1 * rng.standard_normal(N)).astype(np.float32)
    M = N // 3
    K = N - M
    xd = x.astype(float)
    X = np.array([[xd[i + j] for j in range(K)] for i in range(M)])
    lam, V = np.linalg.eigh(X @ X.T)
    order = np.argsort(lam)[::-1]
    lam, V = lam[order], V[:, order]

    def recon(e):
        a = np.array([np.dot(xd[i:i + M], e) for i in range(N - M + 1)])
        y = np.zeros(N)
        cnt = np.zeros(N)
        for col in range(N - M + 1):
            for j in range(M):
                y[col + j] += a[col] * e[j]
                cnt[col + j] += 1
        return y / cnt
    f.write("# N M, series, the M eigenvalues (descending), component 1, components 2 + 3\n")
    line(f, N, M)
    line(f, *xd)
    line(f, *lam)
    line(f, *recon(V[:, 0]))
    line(f, *(recon(V[:, 1]) + recon(V[:, 2])))


def main():
    jobs = [
        (NUM, "model_functions.txt", model_functions),
        (SER, "analysis_power.txt", spectrum),
        (SER, "analysis_histogram.txt", histogram),
        (SER, "analysis_fits.txt", curve_fits),
        (SER, "analysis_ssa.txt", ssa),
    ]
    for folder, name, fn in jobs:
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "w") as f:
            f.write(f"# made by tools/base_analysis/make_analysis_tables.py "
                    f"({fn.__doc__.strip().splitlines()[0]})\n")
            fn(f)


if __name__ == "__main__":
    main()
