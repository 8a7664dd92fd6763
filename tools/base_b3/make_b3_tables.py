#!/usr/bin/python3
"""Reference tables for the AR fits, statistics, mechanism and clustering tests.

Run with Debian's python3 (numpy, scipy, statsmodels):
    /usr/bin/python3 tools/base_b3/make_b3_tables.py
Writes base/numerics/testdata/b3_*.txt. Every value comes from an independent tool:
statsmodels AutoReg, scipy's solve_toeplitz, freqz, linregress, least_squares and
linkage, or the textbook (Aki and Richards) formulas of the double couple.
"""
import math
import os

import numpy as np
from scipy import linalg, optimize, signal, stats
from scipy.cluster import hierarchy
from statsmodels.tsa.ar_model import AutoReg

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "base", "numerics", "testdata")


def fmt(v):
    return repr(float(v))


def line(f, *vals):
    f.write(" ".join(fmt(v) if not isinstance(v, (int, np.integer)) else str(int(v)) for v in vals) + "\n")


def ar_series(rng, n, coefs, scale=1.0):
    p = len(coefs)
    x = np.zeros(n + 200)
    e = rng.standard_normal(n + 200) * scale
    for t in range(len(x)):
        s = e[t]
        for j, a in enumerate(coefs):
            if t - j - 1 >= 0:
                s += a * x[t - j - 1]
        x[t] = s
    return x[200:]


def ar_fits(f):
    """Least-squares AR fits of orders 0..K on the common targets x[K+1..n]."""
    rng = np.random.default_rng(20261210)
    cases = [
        (150, 6, [1.2, -0.5]),          # one block of rows
        (700, 8, [0.6, 0.2, -0.3]),     # several blocks of 200 rows
        (60, 5, [0.9]),                 # short series
    ]
    f.write("# cases; per case: n K, the n samples, then for m = 0..K: m sig2 aic a[1..m]; "
            "then the order of least AIC\n")
    line(f, len(cases))
    for n, K, coefs in cases:
        x = ar_series(rng, n, coefs, 3.0) + 0.0
        line(f, n, K)
        line(f, *x)
        N = n - K
        aics = []
        for m in range(K + 1):
            y = x[K - m:]
            if m == 0:
                resid = y
                sig2 = float(np.mean(resid ** 2))
                llf = -0.5 * N * (math.log(2 * math.pi) + math.log(sig2) + 1)
                params = []
            else:
                res = AutoReg(y, lags=m, trend="n", old_names=False).fit()
                assert res.nobs == N
                sig2 = float(res.sigma2)
                llf = float(res.llf)
                params = list(res.params)
            aic = -2.0 * llf + 2.0 * (m + 1)
            aics.append(aic)
            line(f, m, sig2, aic, *params)
        line(f, int(np.argmin(aics)))


def yule_walker(f):
    """Levinson-Durbin orders against scipy's Toeplitz solver, with the AIC order choice."""
    rng = np.random.default_rng(7)
    cases = [(9, [0.5]), (64, [1.1, -0.4]), (300, [0.3, 0.3, -0.2])]
    f.write("# cases; per case: n, samples, M, then for k = 1..M: k mse aic a[1..k]; "
            "then p var\n")
    line(f, len(cases))
    for n, coefs in cases:
        x = ar_series(rng, n, coefs)
        M = int(min(2.0 * float(np.sqrt(np.float32(n))), 10.0))
        line(f, n)
        line(f, *x)
        line(f, M)
        xs = np.concatenate([[0.0], x])  # 1-based
        r = np.array([sum(xs[t] * xs[t - k] for t in range(M + 1, n + 1)) for k in range(M + 1)])
        best, p, var = None, 0, 0.0
        for k in range(1, M + 1):
            a = linalg.solve_toeplitz(r[:k], r[1:k + 1])
            errs = [xs[t] - sum(a[j] * xs[t - 1 - j] for j in range(k)) for t in range(M + 1, n + 1)]
            mse = float(np.mean(np.square(errs)))
            aic = (n - M) * math.log(mse) + 2 * k
            line(f, k, mse, aic, *a)
            if k == 1 or aic < best:
                best, p, var = aic, k, mse
        line(f, p, var)


def ar_spectra(f):
    """AR and ARMA power spectra against freqz."""
    cases = [
        ([1.2, -0.5], [], 2.0, 16),
        ([0.3, 0.3, -0.2, 0.1], [0.5], 0.7, 32),
        ([], [], 1.5, 4),
    ]
    f.write("# cases; per case: p q sig2 nf, a[1..p], b[1..q], then nf+1 values\n")
    line(f, len(cases))
    for a, b, sig2, nf in cases:
        w = np.pi * np.arange(nf + 1) / nf
        _, h = signal.freqz([1.0] + [-v for v in b], [1.0] + [-v for v in a], worN=w)
        spec = sig2 * np.abs(h) ** 2 / nf
        line(f, len(a), len(b), sig2, nf)
        f.write(" ".join(fmt(v) for v in a) + "\n")
        f.write(" ".join(fmt(v) for v in b) + "\n")
        line(f, *spec)


def line_fits(f):
    """Straight lines: unweighted against linregress, weighted by least squares."""
    rng = np.random.default_rng(3)
    f.write("# unweighted cases: n, x, y, a b siga sigb r2 chi2\n")
    cases = []
    for n in (5, 40):
        x = np.sort(rng.uniform(-3, 10, n))
        y = 2.5 - 0.7 * x + rng.standard_normal(n) * 0.4
        cases.append((x, y))
    line(f, len(cases))
    for x, y in cases:
        r = stats.linregress(x, y)
        chi2 = float(np.sum((y - r.intercept - r.slope * x) ** 2))
        line(f, len(x))
        line(f, *x)
        line(f, *y)
        line(f, r.intercept, r.slope, r.intercept_stderr, r.stderr, r.rvalue ** 2, chi2)
    f.write("# weighted cases: n, x, y, sig, a b siga sigb r2 chi2 q\n")
    cases = []
    for n in (6, 30, 1200):
        x = np.linspace(0.5, 9.0, n)
        sig = rng.uniform(0.1, 0.8, n)
        y = -1.0 + 1.3 * x + rng.standard_normal(n) * sig
        cases.append((x, y, sig))
    line(f, len(cases))
    for x, y, sig in cases:
        A = np.column_stack([np.ones_like(x), x]) / sig[:, None]
        coef, *_ = np.linalg.lstsq(A, y / sig, rcond=None)
        cov = np.linalg.inv(A.T @ A)
        chi2 = float(np.sum(((y - coef[0] - coef[1] * x) / sig) ** 2))
        S = np.sum(1 / sig ** 2)
        ybar = np.sum(y / sig ** 2) / S
        sst = float(np.sum(((y - ybar) / sig) ** 2))
        q = float(stats.chi2.sf(chi2, len(x) - 2))
        line(f, len(x))
        line(f, *x)
        line(f, *y)
        line(f, *sig)
        line(f, coef[0], coef[1], math.sqrt(cov[0, 0]), math.sqrt(cov[1, 1]), 1 - chi2 / sst, chi2, q)


def nonlin_fits(f):
    """Nonlinear fits against least_squares: parameters, residual variance, 95 % two-sided
    t half-widths from the Jacobian at the solution."""
    rng = np.random.default_rng(11)
    models = {
        "power2": (lambda p, x: p[0] * np.power(x, p[1]), [2.0, 1.5], [1.0, 1.0]),
        "power3": (lambda p, x: p[0] * np.power(x - p[2], p[1]), [1.5, 0.8, -0.5], [1.0, 1.0, 0.0]),
        "sine": (lambda p, x: p[0] * np.sin((x + p[1]) * np.pi / 180) + p[2], [3.0, 20.0, 1.0],
                 [2.0, 0.0, 0.0]),
        "normalpdf": (lambda p, x: np.exp(-(x - p[0]) ** 2 / (2 * p[1])) / np.sqrt(2 * np.pi * p[1]),
                      [1.0, 2.0], [0.5, 1.5]),
        "weibullcdf": (lambda p, x: 1 - np.exp(-np.power(x / p[0], p[1])), [2.0, 1.7], [1.0, 2.0]),
    }
    f.write("# cases: name m n, x, y, start, fitted params, half-widths, residual variance\n")
    line(f, len(models))
    for name, (fn, truth, start) in models.items():
        m = 25
        if name == "power3":
            x = np.linspace(0.2, 6.0, m)
        elif name == "sine":
            x = np.linspace(0.0, 340.0, m)
        elif name == "normalpdf":
            x = np.linspace(-3.0, 5.0, m)
        else:
            x = np.linspace(0.2, 5.0, m)
        y = fn(truth, x) + rng.standard_normal(m) * 0.02 * max(1.0, float(np.max(np.abs(fn(truth, x)))))
        res = optimize.least_squares(lambda p: y - fn(p, x), start, xtol=1e-14, ftol=1e-14, gtol=1e-14)
        J = res.jac
        n = len(start)
        dof = m - n
        s2 = float(np.sum(res.fun ** 2) / dof)
        cov = s2 * np.linalg.inv(J.T @ J)
        t = stats.t.ppf(0.975, dof)
        half = t * np.sqrt(np.diag(cov))
        f.write(f"{name} {m} {n}\n")
        line(f, *x)
        line(f, *y)
        line(f, *start)
        line(f, *res.x)
        line(f, *half)
        line(f, s2)


# --- focal mechanisms -----------------------------------------------------------------

def ar_mt(strike, dip, rake):
    """Aki and Richards (Box 4.4) double couple, x north, y east, z down, degrees."""
    f, d, l = (math.radians(v) for v in (strike, dip, rake))
    Mxx = -(math.sin(d) * math.cos(l) * math.sin(2 * f) + math.sin(2 * d) * math.sin(l) * math.sin(f) ** 2)
    Mxy = math.sin(d) * math.cos(l) * math.cos(2 * f) + 0.5 * math.sin(2 * d) * math.sin(l) * math.sin(2 * f)
    Mxz = -(math.cos(d) * math.cos(l) * math.cos(f) + math.cos(2 * d) * math.sin(l) * math.sin(f))
    Myy = math.sin(d) * math.cos(l) * math.sin(2 * f) - math.sin(2 * d) * math.sin(l) * math.cos(f) ** 2
    Myz = -(math.cos(d) * math.cos(l) * math.sin(f) - math.cos(2 * d) * math.sin(l) * math.cos(f))
    Mzz = math.sin(2 * d) * math.sin(l)
    return np.array([[Mxx, Mxy, Mxz], [Mxy, Myy, Myz], [Mxz, Myz, Mzz]])


def ar_vectors(strike, dip, rake):
    """Fault normal and slip of Aki and Richards (x north, y east, z down)."""
    f, d, l = (math.radians(v) for v in (strike, dip, rake))
    n = np.array([-math.sin(d) * math.sin(f), math.sin(d) * math.cos(f), -math.cos(d)])
    u = np.array([math.cos(l) * math.cos(f) + math.cos(d) * math.sin(l) * math.sin(f),
                  math.cos(l) * math.sin(f) - math.cos(d) * math.sin(l) * math.cos(f),
                  -math.sin(l) * math.sin(d)])
    return n, u


def plane_from_normal_slip(n, u):
    """Strike, dip, rake (degrees) of the plane with normal n and slip u (NED frame)."""
    if n[2] > 0:
        n, u = -n, -u
    dip = math.degrees(math.acos(max(-1.0, min(1.0, -n[2]))))
    strike = math.degrees(math.atan2(-n[0], n[1]))
    fs = math.radians(strike)
    s = np.array([math.cos(fs), math.sin(fs), 0.0])
    rake = math.degrees(math.atan2(-u[2] / max(math.sin(math.radians(dip)), 1e-300), float(np.dot(u, s))))
    return strike % 360.0, dip, rake


def mechanisms(f):
    """Per mechanism (degrees): the Aki and Richards moment tensor (NED), the P, T, B axes
    as eigenvectors of it, the auxiliary plane from swapping normal and slip, and the
    P, SV, SH radiation at a few rays."""
    cases = [
        (0, 45, 90), (200, 30, 150), (30, 60, -45), (120, 90, 0), (45, 90, 90), (10, 0, 30),
        (250, 89.999, 10), (77, 0.001, -120), (300, 70, 120), (180, 20, -90),
    ]
    rays = [(30.0, 40.0), (75.0, 200.0), (120.0, 310.0)]
    f.write("# cases: strike dip rake; M (9, NED); T axis, P axis, B axis (NED, unit, sign free);"
            " auxiliary strike dip rake; per ray takeoff azimuth P SV SH\n")
    line(f, len(cases), len(rays))
    for s, d, r in cases:
        M = ar_mt(s, d, r)
        w, v = np.linalg.eigh(M)
        T = v[:, 2]
        P = v[:, 0]
        B = v[:, 1]
        n, u = ar_vectors(s, d, r)
        aux = plane_from_normal_slip(u, n)
        line(f, s, d, r)
        line(f, *M.flatten())
        line(f, *T)
        line(f, *P)
        line(f, *B)
        line(f, *aux)
        for i, az in rays:
            ti, ta = math.radians(i), math.radians(az)
            g = np.array([math.sin(ti) * math.cos(ta), math.sin(ti) * math.sin(ta), math.cos(ti)])
            esv = np.array([math.cos(ti) * math.cos(ta), math.cos(ti) * math.sin(ta), -math.sin(ti)])
            esh = np.array([-math.sin(ta), math.cos(ta), 0.0])
            line(f, i, az, g @ M @ g, g @ M @ esv, g @ M @ esh)


# --- clustering ------------------------------------------------------------------------

def clustering(f):
    """Merge lengths of single-link style clustering where merged clusters are replaced by
    their (count-weighted) centroid: scipy's 'centroid' linkage (and 'median' for equal
    weights) merges the closest pair of current points and replaces it by the centroid."""
    rng = np.random.default_rng(5)
    cases = []
    pts = rng.uniform(0, 10, (12, 3))
    cases.append(("centroid", pts))
    pts2 = np.vstack([rng.normal(c, 0.3, (5, 3)) for c in ([0, 0, 0], [5, 5, 5], [0, 6, 2])])
    cases.append(("centroid", pts2))
    cases.append(("median", pts))
    f.write("# cases: method (centroid = count weights, median = midpoints) n, points (x y z), "
            "then the n-1 merge lengths, ascending\n")
    line(f, len(cases))
    for method, p in cases:
        Z = hierarchy.linkage(p, method=method, metric="euclidean")
        f.write(f"{method} {len(p)}\n")
        for q in p:
            line(f, *q)
        line(f, *np.sort(Z[:, 2]))


def main():
    os.makedirs(OUT, exist_ok=True)
    jobs = [
        ("b3_ar_fits.txt", ar_fits),
        ("b3_yule_walker.txt", yule_walker),
        ("b3_ar_psd.txt", ar_spectra),
        ("b3_line_fits.txt", line_fits),
        ("b3_nonlin_fits.txt", nonlin_fits),
        ("b3_mechanisms.txt", mechanisms),
        ("b3_clustering.txt", clustering),
    ]
    for name, fn in jobs:
        with open(os.path.join(OUT, name), "w") as f:
            f.write(f"# made by tools/base_b3/make_b3_tables.py ({fn.__doc__.strip().splitlines()[0]})\n")
            fn(f)


if __name__ == "__main__":
    main()
