#!/usr/bin/python3
"""Reference beach balls for the mechanism drawing tests, computed independently with numpy.

For each mechanism (strike, dip, rake in degrees) the two nodal planes are taken from the
fault normal and slip vector of Aki and Richards (north, east, down), the P and T axes
from (n - d) and (n + d); every curve is the lower-hemisphere stereographic projection of
the unit vectors in the plane, for a sphere of radius R = 5000 centred at the origin with
x east and y north. Output: base/plot/testdata/beachball_reference.txt

  case strike dip rake
  P x y
  T x y
  plane n            (n points x y follow, one per line)
"""
import numpy as np

R = 5000.0
CASES = [
    (0, 45, 90),     # pure thrust
    (0, 45, -90),    # pure normal
    (30, 90, 0),     # vertical strike-slip
    (120, 60, 30),
    (200, 30, -60),
    (75, 60, 150),
]


def vectors(strike, dip, rake):
    f, d, l = np.radians([strike, dip, rake])
    n = np.array([-np.sin(d) * np.sin(f), np.sin(d) * np.cos(f), -np.cos(d)])
    u = np.array([np.cos(l) * np.cos(f) + np.cos(d) * np.sin(l) * np.sin(f),
                  np.cos(l) * np.sin(f) - np.cos(d) * np.sin(l) * np.cos(f),
                  -np.sin(l) * np.sin(d)])
    return n, u


def project(v):
    """Stereographic position (x east, y north) of a unit vector taken downward."""
    v = np.asarray(v, dtype=float)
    if v[2] < 0:
        v = -v
    takeoff = np.arccos(np.clip(v[2], -1, 1))
    az = np.arctan2(v[1], v[0])  # from north towards east
    r = R * np.tan(takeoff / 2)
    return r * np.sin(az), r * np.cos(az)


def plane_curve(normal, count=361):
    # The plane's horizontal (strike) direction and its steepest downward direction span
    # the lower half of the great circle, from rim to rim; sampled every half degree
    # (tests measure the distance to the segments).
    e1 = np.cross(normal, [0.0, 0.0, 1.0])
    e1 /= np.linalg.norm(e1)
    e2 = np.cross(normal, e1)
    e2 /= np.linalg.norm(e2)
    if e2[2] < 0:
        e2 = -e2
    return [project(np.cos(t) * e1 + np.sin(t) * e2) for t in np.linspace(0, np.pi, count)]


def main():
    out = []
    for s, d, r in CASES:
        n, u = vectors(s, d, r)
        p = (n - u) / np.sqrt(2)
        t = (n + u) / np.sqrt(2)
        out.append("case %g %g %g" % (s, d, r))
        out.append("P %.3f %.3f" % project(p))
        out.append("T %.3f %.3f" % project(t))
        for normal in (n, u):  # the slip vector is the auxiliary plane's normal
            pts = plane_curve(normal)
            out.append("plane %d" % len(pts))
            out.extend("%.3f %.3f" % xy for xy in pts)
    with open("base/plot/testdata/beachball_reference.txt", "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
