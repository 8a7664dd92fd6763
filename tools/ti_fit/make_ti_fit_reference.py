#!/usr/bin/python3
"""Reference fits of the transversely isotropic velocity model, from scipy.

Run with Debian's python3 (python3-numpy, python3-scipy):
    /usr/bin/python3 tools/ti_fit/make_ti_fit_reference.py
Writes app/testdata/ti_fit_reference.txt.

Ray elevations theta (degrees) and velocities v (km/s) of a synthetic velocity
measurement: v = Vmin (1 + eps sin^2(theta - ang0)) with Vmin = 4.5, eps = 0.12 and
ang0 = 10 degrees, plus seeded Gaussian noise of 0.02 km/s, written with six decimals.
scipy.optimize.least_squares minimises the same sums of squares as the program:

  three parameters: v_i - a^2 (1 + b^2 sin^2(theta_i - c))
  four parameters:  v_i - a^2 (1 + d^2 sin^2 cos^2(theta_i - c) + b^2 sin^4(theta_i - c))

on the rounded values, started off b = 0 (where the gradient in b vanishes). The file
holds the points, then "fit3 Vmin eps ang0 cost" and "fit4 Vmin eps sig ang0 cost" with
Vmin = a^2, eps = b^2, sig = d^2, ang0 = c in degrees folded into (-90, 90] and cost the
sum of squared residuals.
"""
import os
import numpy as np
from scipy.optimize import least_squares

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "app", "testdata", "ti_fit_reference.txt")

VMIN, EPS, ANG0 = 4.5, 0.12, 10.0
rng = np.random.default_rng(7)
theta_deg = np.round(np.linspace(-80.0, 80.0, 41), 6)
v = VMIN * (1 + EPS * np.sin(np.radians(theta_deg - ANG0)) ** 2) + rng.normal(0, 0.02, 41)
v = np.round(v, 6)
th = np.radians(theta_deg)


def r3(p):
    a, b, c = p
    return v - a * a * (1 + b * b * np.sin(th - c) ** 2)


def r4(p):
    a, b, c, d = p
    s, co = np.sin(th - c), np.cos(th - c)
    return v - a * a * (1 + d * d * s * s * co * co + b * b * s ** 4)


def fold(c):
    deg = np.degrees(c) % 180.0
    return deg - 180.0 if deg > 90.0 else deg


p0 = [np.sqrt(v.mean()), 0.3, 0.1]
f3 = least_squares(r3, p0, xtol=1e-15, ftol=1e-15, gtol=1e-15)
f4 = least_squares(r4, list(f3.x) + [0.3], xtol=1e-15, ftol=1e-15, gtol=1e-15)
with open(OUT, "w") as out:
    out.write("# theta_deg v_kms; then fit3 Vmin eps ang0 cost; fit4 Vmin eps sig ang0 cost\n")
    for t, x in zip(theta_deg, v):
        out.write("%.6f %.6f\n" % (t, x))
    a, b, c = f3.x
    out.write("fit3 %.8f %.8f %.6f %.10e\n" % (a * a, b * b, fold(c), np.sum(r3(f3.x) ** 2)))
    a, b, c, d = f4.x
    out.write("fit4 %.8f %.8f %.8f %.6f %.10e\n"
              % (a * a, b * b, d * d, fold(c), np.sum(r4(f4.x) ** 2)))
