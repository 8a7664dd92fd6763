#!/usr/bin/python3
"""Reference impulse responses of the Wave page's band-pass filter, computed by scipy.

The page designs a Butterworth band-pass from the dialog's fL, fH (the band), fS (an edge
outside it), Ap and As, each edge divided by the sampling rate r (as float32). Here the
same filter is built from the design rules alone, without our code:

  - Edges become warped frequencies t = tan(w), w = pi_f * f, with the filter's own
    pi_f = 3.1415926. With tl, th the band edges and tc the outer edge,
    BW = th - tl, T2 = tl * th and S = |tc - T2 / tc|. The band-pass maps t to the
    low-pass prototype frequency W(t) = (t - T2 / t) / BW, which is -1 and +1 at the
    band edges and S / BW at the outer edge.
  - The deviations amin <= amax are |Ap|, |As| sorted, 0 meaning 0.5 and 5.0 in turn.
    The order is n = (int)(|ln(amin / amax) / ln(BW / S)| + 0.5), at least 2.
  - A Butterworth prototype with cutoff Wc has deviation (W / Wc)^n at W, and the two
    edges share the pair as a product: (1 / Wc)^n (S / BW / Wc)^n = amin * amax, so
    Wc^2 = S / (BW (amin amax)^(1/n)).
  - The prototype is at its cutoff where t - T2 / t = +-BW Wc, i.e. at
    t1,2 = (-+BW Wc + sqrt((BW Wc)^2 + 4 T2)) / 2, which keeps t1 t2 = T2.
  - scipy.signal.butter(n, Wn, 'bandpass') with Wn = 2 atan(t1,2) / pi (fractions of the
    Nyquist frequency; scipy prewarps them back to t1,2) is then the same filter: its
    response is 1 / (1 + ((t - T2 / t) / (t2 - t1))^2n), and its gain is 1 at the centre
    tan^2(pi f0) = T2, as the page's filter is scaled.

For each design the impulse response h[0..L-1] of the filter (in = 1 at sample 0) is
written; L stops where every later value of the 4096 is below 1e-12 of the peak.

Run with Debian's python3-scipy: /usr/bin/python3 make_bandpass_impulse.py OUT.txt
Output: per design a line "rate fL fH fS Ap As order L", then L lines of h (%.12g).
"""
import sys

import numpy as np
from scipy import signal

PI_F = 3.1415926  # the filter's own value of pi
N_SAMPLES = 4096

# (rate, fL, fH, fS, Ap, As): the design of the page's other band-pass test (odd order), a
# higher even order at a typical rate, and a low rate with the outer edge below the band
# and Ap = 0.
DESIGNS = [
    (10, 0.1, 1.0, 2.0, 0.5, 5.0),
    (20, 2.0, 4.0, 5.2, 0.2, 20.0),
    (4, 0.5, 1.0, 0.1, 0.0, 5.0),
]


def design(rate, fl, fh, fs, ap, as_):
    # The page passes each edge divided by the rate, stored as float32.
    p = [float(np.float32(np.float64(np.float32(v)) / rate)) for v in (fl, fh, fs)]
    wlo, whi = sorted((PI_F * abs(p[0]), PI_F * abs(p[1])))
    wc = PI_F * abs(p[2])
    assert 0 < wlo < whi < PI_F / 2 and 0 < wc < PI_F / 2 and (wc - wlo) * (wc - whi) > 0
    tl, th, tc = np.tan(wlo), np.tan(whi), np.tan(wc)
    bw, t2 = th - tl, tl * th
    s = abs(tc - t2 / tc)

    amin, amax = sorted((abs(float(np.float32(ap))), abs(float(np.float32(as_)))))
    amin = amin or 0.5
    amax = amax or 5.0
    n = max(2, int(abs(np.log(amin / amax) / np.log(bw / s)) + 0.5))

    wcut = np.sqrt(s / (bw * (amin * amax) ** (1.0 / n)))
    half = bw * wcut
    root = np.sqrt(half * half + 4 * t2)
    t_1, t_2 = (root - half) / 2, (root + half) / 2
    wn = [2 * np.arctan(t_1) / np.pi, 2 * np.arctan(t_2) / np.pi]
    sos = signal.butter(n, wn, btype="bandpass", output="sos")

    # Checks of the construction: both band edges share one deviation, which pairs with
    # the outer edge's to amin * amax; the centre has gain 1.
    def deviation(t):
        w = 2 * np.arctan(t)
        _, h = signal.sosfreqz(sos, worN=[w])
        return np.sqrt(1 / abs(h[0]) ** 2 - 1)

    dl, dh, dc = deviation(tl), deviation(th), deviation(tc)
    assert abs(dl - dh) < 1e-8 * dl, (dl, dh)
    assert abs(dl * dc - amin * amax) < 1e-8 * amin * amax, (dl, dc)
    _, h0 = signal.sosfreqz(sos, worN=[2 * np.arctan(np.sqrt(t2))])
    assert abs(h0[0] - 1) < 1e-10, h0

    x = np.zeros(N_SAMPLES)
    x[0] = 1.0
    y = signal.sosfilt(sos, x)
    big = np.nonzero(np.abs(y) >= 1e-12 * np.max(np.abs(y)))[0]
    return n, y[: big[-1] + 1]


def main(out):
    with open(out, "w") as f:
        for d in DESIGNS:
            n, h = design(*d)
            f.write("%g %g %g %g %g %g %d %d\n" % (*d, n, len(h)))
            for v in h:
                f.write("%.12g\n" % v)


if __name__ == "__main__":
    main(sys.argv[1])
