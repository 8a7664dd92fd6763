#!/usr/bin/python3
"""Reference table for the data sheet's power spectrum item.

Run with Debian's python3 (numpy):
    /usr/bin/python3 tools/app_datasheet/make_spectrum_table.py
Writes app/testdata/sheet_spectrum.txt: a 100-sample series at 0.01 s (a constant, a
5.3 Hz sine that falls between frequency bins and a 17 Hz cosine), then for every bin of
the one-sided spectrum of the series zero-padded to 128 samples its frequency and its
density |X_k|^2 dt / 64^2 (bin 0 halved), X from numpy.fft.fft.
"""
import os

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "app", "testdata", "sheet_spectrum.txt")

n, dt, nfft = 100, 0.01, 128
half = nfft // 2
t = np.arange(n) * dt
y = 1.5 + np.sin(2 * np.pi * 5.3 * t) + 0.4 * np.cos(2 * np.pi * 17.0 * t)
X = np.fft.fft(np.concatenate([y, np.zeros(nfft - n)]))
psd = np.abs(X[:half]) ** 2 * dt / half**2
psd[0] *= 0.5
freq = np.arange(half) / (nfft * dt)

with open(OUT, "w") as f:
    f.write("# series: n dt, then t y per line; spectrum: bins, then k freq psd per line\n")
    f.write(f"{n} {dt!r}\n")
    for ti, yi in zip(t, y):
        f.write(f"{float(ti)!r} {float(yi)!r}\n")
    f.write(f"{half}\n")
    for k in range(half):
        f.write(f"{k} {float(freq[k])!r} {float(psd[k])!r}\n")
print("wrote", OUT)
