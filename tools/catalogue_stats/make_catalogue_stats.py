#!/usr/bin/python3
"""Reference tables for the document's catalogue statistics, from numpy/scipy.

Run with Debian's python3 (python3-numpy, python3-scipy):
    /usr/bin/python3 tools/catalogue_stats/make_catalogue_stats.py
Writes aecore/document/testdata/bvalue_reference.txt and correlation_clouds.txt.

b-values: 24 magnitudes on a 0.1 grid; maximum likelihood (Aki) with Utsu's half-bin
lower bound, the discrete estimator of Tinti and Mulargia for the same data (it shows
the bias of the half-bin approximation), and the least-squares line of log10 of the
cumulative counts above the upper bin edges, fitted by numpy.polyfit.

Correlation integrals: seeded clouds of points on a line, in a plane and in a volume.
For each point the number of other points within r (true distance) gives, for q = 2 and
q = 6, log10 of ((1/n) sum_a (c_a / (n - 1))^(q - 1))^(1 / (q - 1)), at r = 10^(0.05 k)
mm, k = 0..40; at q = 2 this is log10 of the pair fraction 2 P(r) / (n (n - 1)).
"""
import os
import numpy as np
from scipy.spatial.distance import pdist, squareform

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "aecore", "document", "testdata")

MAGS = [2.0, 2.5, 2.1, 2.2, 2.5, 2.2, 2.6, 2.3, 2.7, 2.2, 2.4, 2.0,
        2.7, 2.2, 2.3, 2.1, 2.4, 2.6, 2.2, 2.2, 2.7, 2.4, 2.2, 2.5]
MAG_MAX = 3.55
BINS = 30


def bvalue_case(mmin):
    m = np.array(MAGS, dtype=np.float32).astype(np.float64)
    lo = float(np.float32(mmin))
    hi = float(np.float32(MAG_MAX))
    w = (hi - lo) / BINS
    n = len(m)
    bml = n / (np.log(10.0) * np.sum(m - lo))
    pos = (m - lo) / w
    frac = np.abs(pos - np.round(pos))[pos != 0.0]  # exactly at the lower bound is exact
    assert frac.min() > 1e-4, "a magnitude on a bin edge would make the binning fragile"
    j = np.floor(pos).astype(int)
    counts = np.array([np.sum(j > i) for i in range(BINS)])
    lead = 0
    while lead < BINS and counts[lead] >= 1:
        lead += 1
    x = lo + (np.arange(lead) + 0.5) * w
    y = np.log10(counts[:lead])
    (slope, icpt), cov = np.polyfit(x, y, 1, cov=True)
    # polyfit's covariance is scaled by chi2 / (n - 2) for the unweighted fit
    resid = y - (icpt + slope * x)
    sxx = np.sum((x - x.mean()) ** 2)
    sigb = np.sqrt(np.sum(resid ** 2) / (lead - 2) / sxx)
    assert abs(sigb - np.sqrt(cov[0, 0])) < 1e-12 * max(1.0, sigb)
    return bml, icpt, -slope, sigb, counts


def tinti_mulargia(mc, dm):
    m = np.array(MAGS, dtype=np.float64)
    mean = m.mean()
    return np.log(1.0 + dm / (mean - mc)) / (np.log(10.0) * dm)


def write_bvalues():
    with open(os.path.join(OUT, "bvalue_reference.txt"), "w") as f:
        f.write("# made by tools/catalogue_stats/make_catalogue_stats.py\n")
        f.write("# magnitudes\n")
        f.write(" ".join("%.1f" % v for v in MAGS) + "\n")
        f.write("# magMin magMax bML a b sigb relErr counts[30]\n")
        for mmin in (1.95, 2.0):
            bml, a, b, sigb, counts = bvalue_case(mmin)
            f.write("%.2f %.2f %.15g %.15g %.15g %.15g %.15g %s\n" % (
                mmin, MAG_MAX, bml, a, b, sigb, 1.0 / np.sqrt(len(MAGS)),
                " ".join(str(c) for c in counts)))
        f.write("# Tinti-Mulargia b for Mc 2.0 and bin 0.1\n")
        f.write("%.15g\n" % tinti_mulargia(2.0, 0.1))
    b195 = bvalue_case(1.95)[0]
    b200 = bvalue_case(2.0)[0]
    print("bML(1.95) = %.6f  bML(2.0) = %.6f  TM = %.15g" % (b195, b200, tinti_mulargia(2.0, 0.1)))


def cloud(kind, n, rng):
    if kind == "line":
        t = rng.uniform(-400.0, 400.0, n)
        d = np.array([0.6, 0.0, 0.8])
        p = np.outer(t, d)
    elif kind == "plane":
        u = rng.uniform(-200.0, 200.0, (n, 2))
        p = np.column_stack([u[:, 0], u[:, 1], np.zeros(n)])
    else:
        p = rng.uniform(-150.0, 150.0, (n, 3))
    # The positions as the event list keeps them: 3 decimals, then single precision.
    return np.round(p, 3).astype(np.float32).astype(np.float64)


def gen_integrals(p, qs):
    n = len(p)
    d2 = squareform(pdist(p, "sqeuclidean"))
    np.fill_diagonal(d2, np.inf)
    out = {}
    r2 = (10.0 ** (0.05 * np.arange(41))) ** 2
    counts = np.stack([(d2 <= r).sum(axis=1) for r in r2], axis=1)  # n x 41
    for q in qs:
        s = ((counts / (n - 1.0)) ** (q - 1)).sum(axis=0) / n
        out[q] = np.log10(np.maximum(1e-8, s ** (1.0 / (q - 1))))
    pairs = np.array([(pdist(p, "sqeuclidean") <= r).sum() for r in r2])
    std = np.log10(np.maximum(1e-8, 2.0 * pairs / (n * (n - 1.0))))
    assert np.allclose(std, out[2], atol=1e-12)
    return out


def write_clouds():
    rng = np.random.default_rng(20261211)
    sizes = {"line": 1200, "plane": 1200, "volume": 3000}
    with open(os.path.join(OUT, "correlation_clouds.txt"), "w") as f:
        f.write("# made by tools/catalogue_stats/make_catalogue_stats.py\n")
        f.write("# per cloud: 'cloud <kind> <n> <slope q=2 over k 8..28>', n lines x y z,\n")
        f.write("# then 'q 2' and 'q 6' lines of 41 log10 integrals\n")
        for kind in ("line", "plane", "volume"):
            n = sizes[kind]
            p = cloud(kind, n, rng)
            g = gen_integrals(p, (2, 6))
            k = np.arange(8, 29)
            slope = np.polyfit(0.05 * k, g[2][k], 1)[0]
            print("%-6s slope %.4f" % (kind, slope))
            f.write("cloud %s %d %.6f\n" % (kind, n, slope))
            for x, y, z in p:
                f.write("%.3f %.3f %.3f\n" % (x, y, z))
            for q in (2, 6):
                f.write("q %d %s\n" % (q, " ".join("%.12f" % v for v in g[q])))


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write_bvalues()
    write_clouds()
