#!/usr/bin/python3
"""Reference tables of the sliding normalised correlation used by template matching.

For a scanned sequence a and a template window b of w samples, coefficient t is
    sum(a[t:t+w] * b) / sqrt(sum(a[t:t+w]^2) * sum(b^2))
(or the same about the windows' means), 0 where a window has no energy. The cross sums
come from scipy.signal.correlate, the energies from cumulative sums; windows that are
exactly constant are found by their peak-to-peak range, so their mean-removed
coefficient is 0 by construction rather than by a threshold.

Run with Debian's python3-scipy: /usr/bin/python3 make_cc_tables.py OUT.txt
Output: "n w", the n samples of a, the w samples of b (float32, %.9g), then n - w + 1
lines "plain mean" of coefficients.
"""
import sys

import numpy as np
from numpy.lib.stride_tricks import sliding_window_view
from scipy.signal import correlate


def main(out):
    rng = np.random.default_rng(20261211)
    n, w = 2600, 150
    t = np.arange(w)
    b = (np.sin(2 * np.pi * 0.07 * t) * np.exp(-t / 60.0) * 800.0
         + rng.normal(0, 5, w)).astype(np.float32)
    a = rng.normal(0, 3, n).astype(np.float32)
    a[300:300 + w] += 2.5 * b                 # a scaled copy: coefficient near 1
    a[900:900 + w] -= 40.0 * b                # a loud inverted copy beside quiet noise
    a[1400:1800] = 0.0                        # a silent stretch
    a[2000:2400] = 5.0                        # a constant stretch
    a = a.astype(np.float32)
    a64, b64 = a.astype(np.float64), b.astype(np.float64)

    def coefficients(bb):
        r = correlate(a64, bb, mode="valid", method="direct")
        c1 = np.concatenate(([0.0], np.cumsum(a64)))
        c2 = np.concatenate(([0.0], np.cumsum(a64 * a64)))
        s1 = c1[w:] - c1[:-w]
        s2 = c2[w:] - c2[:-w]
        return r, s1, s2

    windows = sliding_window_view(a64, w)
    constant = np.ptp(windows, axis=1) == 0.0
    silent = np.max(np.abs(windows), axis=1) == 0.0

    r, s1, s2 = coefficients(b64)
    plain = np.where(silent, 0.0, r / np.sqrt(np.where(silent, 1.0, s2) * np.dot(b64, b64)))

    bm = b64 - b64.mean()
    r, s1, s2 = coefficients(bm)
    var = s2 - s1 * s1 / w
    mean = np.where(constant, 0.0, r / np.sqrt(np.where(constant, 1.0, var) * np.dot(bm, bm)))

    with open(out, "w") as f:
        f.write("%d %d\n" % (n, w))
        for v in a:
            f.write("%.9g\n" % v)
        for v in b:
            f.write("%.9g\n" % v)
        for p, m in zip(plain, mean):
            f.write("%.12g %.12g\n" % (p, m))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "cc_tables.txt")
