#!/usr/bin/python3
"""Reference tables for the double-precision eigensystem, polynomial roots and the
nonlinear least-squares fits (unbounded and bounded).

Run with Debian's python3 (numpy, scipy, mpmath):
    /usr/bin/python3 tools/numerics_further/gen_eigen_roots_fits_tables.py
It writes numerics/further/testdata/eigen_roots_fits_reference.txt in the format of
further_reference.txt ("case <kind> <name>", "<key> <count> <values...>", "end").
Eigenvalues come from scipy.linalg.eig, roots from numpy.roots and mpmath.polyroots, fits
from scipy.optimize.least_squares; never from the library under test. Matrices are
written row by row.
"""
import math
import os

import mpmath
import numpy as np
import scipy.linalg
from scipy.optimize import least_squares

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "numerics", "further", "testdata", "eigen_roots_fits_reference.txt")

rng = np.random.default_rng(20261211)
lines = []


def put(key, values):
    values = list(np.ravel(np.asarray(values, dtype=float)))
    lines.append(f"{key} {len(values)} " + " ".join(repr(float(v)) for v in values))


def case(kind, name, **fields):
    lines.append(f"case {kind} {name}")
    for k, v in fields.items():
        put(k, v)
    lines.append("end")


# ---- eigensystems -----------------------------------------------------------------------
def eig_case(name, a, col_dim=None):
    a = np.asarray(a, dtype=float)
    n = a.shape[0]
    w = scipy.linalg.eig(a, right=False)
    stored = a
    if col_dim is not None and col_dim > n:
        # junk after each row that the routine must ignore and leave alone
        stored = np.hstack([a, rng.uniform(-1e3, 1e3, (n, col_dim - n))])
    case("eig", name, n=[n], col_dim=[stored.shape[1]], a=stored, re=w.real, im=w.imag)


for n in [1, 2, 3, 4, 5, 7, 10, 16, 25, 37, 50]:
    eig_case(f"normal{n}", rng.standard_normal((n, n)))
for n in [6, 20, 50]:
    # mildly non-normal: a normal matrix Q diag Q' plus a small strictly upper part
    q, _ = np.linalg.qr(rng.standard_normal((n, n)))
    d = rng.uniform(-3, 3, n)
    eig_case(f"nonnormal{n}", q @ np.diag(d) @ q.T + 0.3 * np.triu(rng.standard_normal((n, n)), 1))
for n in [4, 12]:
    # block-diagonal rotations scaled apart, mixed by a similarity: complex pairs
    blocks = []
    for k in range(n // 2):
        r, t = 1.0 + k, 0.3 + 0.5 * k
        blocks.append(r * np.array([[math.cos(t), -math.sin(t)], [math.sin(t), math.cos(t)]]))
    b = scipy.linalg.block_diag(*blocks)
    s = np.eye(n) + 0.2 * rng.standard_normal((n, n))
    eig_case(f"pairs{n}", s @ b @ np.linalg.inv(s))
eig_case("diagonal", np.diag([3.0, -7.0, 0.5, 2.0, -1.0]))
eig_case("upper_triangular", np.triu(rng.uniform(-4, 4, (6, 6))))
eig_case("lower_triangular", np.tril(rng.uniform(-4, 4, (5, 5))))
eig_case("rotation", [[0.0, -1.0], [1.0, 0.0]])
eig_case("opposite_sign", [[0.0, 2.0], [2.0, 0.0]])
eig_case("col_dim7", rng.standard_normal((5, 5)), col_dim=7)
eig_case("col_dim_pairs", [[1.0, -2.0, 0.5], [3.0, 1.0, -1.0], [0.0, 1.0, 2.0]], col_dim=5)


# ---- polynomial zeros -------------------------------------------------------------------
mpmath.mp.dps = 60


def roots_case(name, coef, exact=None):
    """coef[i] is the coefficient of x^i. exact: known roots; else mpmath's polyroots."""
    coef = [float(c) for c in coef]
    lead_first = coef[::-1]
    if exact is None:
        r = mpmath.polyroots([mpmath.mpf(c) for c in lead_first], maxsteps=500, extraprec=400)
        exact = [complex(z) for z in r]
    exact = np.asarray(exact, dtype=complex)
    npr = np.roots(lead_first)
    case("roots", name, ndeg=[len(coef) - 1], coef=coef, re=exact.real, im=exact.imag,
         np_re=npr.real, np_im=npr.imag)


def from_lead_first(c):
    return list(c)[::-1]


for n in [5, 8, 12]:
    roots_case(f"unity{n}", [-1.0] + [0.0] * (n - 1) + [1.0],
               [complex(math.cos(2 * math.pi * k / n), math.sin(2 * math.pi * k / n))
                for k in range(n)])
for n in [5, 10, 20]:
    t = np.polynomial.chebyshev.cheb2poly([0] * n + [1])
    roots_case(f"chebyshev{n}", t, [math.cos((2 * k - 1) * math.pi / (2 * n)) for k in range(1, n + 1)])
roots_case("wilkinson10", from_lead_first(np.poly(np.arange(1, 11))), list(range(1, 11)))
roots_case("zero_constant", from_lead_first(np.poly([0.0, 0.0, 3.0, -1.0, 2.0])), [0, 0, 3, -1, 2])
roots_case("mixed7", from_lead_first(np.poly([0.5, -2.0, 1 + 2j, 1 - 2j, -0.25 + 0.5j, -0.25 - 0.5j, 4.0]).real))
for n in [6, 20, 50, 100]:
    roots_case(f"random{n}", rng.uniform(-1, 1, n + 1))

# ---- nonlinear least squares ------------------------------------------------------------
# The residual functions, mirrored by the C++ tests: problem k with data t, y.
def residuals(name, x, t, y):
    if name in ("expdecay", "expdecay_jac", "box_expdecay", "box_outside"):
        return x[0] * np.exp(-x[1] * t) + x[2] - y
    if name in ("rosenbrock", "box_rosenbrock3"):
        return np.array([10 * (x[1] - x[0] ** 2), 1 - x[0]])
    if name == "powell":
        return np.array([x[0] + 10 * x[1], math.sqrt(5) * (x[2] - x[3]), (x[1] - 2 * x[2]) ** 2,
                         math.sqrt(10) * (x[0] - x[3]) ** 2])
    if name == "rankdef":
        return (x[0] + x[1]) * t + x[2] - y
    if name == "box_growth1":
        return x[0] * np.exp(x[1] * t) - y
    if name == "box_neg2":
        return np.array([x[0] - 1, x[1] + 2, 0.5 * x[0] * x[1] + 1])
    raise ValueError(name)


def jacobian(name, x, t, y):
    if name in ("expdecay", "expdecay_jac", "box_expdecay", "box_outside"):
        e = np.exp(-x[1] * t)
        return np.column_stack([e, -x[0] * t * e, np.ones_like(t)])
    if name in ("rosenbrock", "box_rosenbrock3"):
        return np.array([[-20 * x[0], 10], [-1, 0]])
    if name == "powell":
        return np.array([[1, 10, 0, 0], [0, 0, math.sqrt(5), -math.sqrt(5)],
                         [0, 2 * (x[1] - 2 * x[2]), -4 * (x[1] - 2 * x[2]), 0],
                         [2 * math.sqrt(10) * (x[0] - x[3]), 0, 0, -2 * math.sqrt(10) * (x[0] - x[3])]])
    if name == "rankdef":
        return np.column_stack([t, t, np.ones_like(t)])
    if name == "box_growth1":
        e = np.exp(x[1] * t)
        return np.column_stack([e, x[0] * t * e])
    if name == "box_neg2":
        return np.array([[1, 0], [0, 1], [0.5 * x[1], 0.5 * x[0]]])
    raise ValueError(name)


t40 = 0.25 * np.arange(40)
y_decay = 5 * np.exp(-0.7 * t40) + 1.5 + 0.05 * rng.standard_normal(40)
t_rank = np.linspace(0, 3, 12)
y_rank = 2.0 * t_rank - 0.5 + 0.01 * rng.standard_normal(12)
t_growth = np.linspace(0, 2, 15)
y_growth = 3 * np.exp(-0.4 * t_growth) + 0.02 * rng.standard_normal(15)
dummy = np.zeros(1)

fits = [
    ("expdecay", t40, y_decay, [1.0, 0.1, 0.0], 3),
    ("expdecay_jac", t40, y_decay, [1.0, 0.1, 0.0], 3),
    ("rosenbrock", dummy, dummy, [-1.2, 1.0], 2),
    ("powell", dummy, dummy, [3.0, -1.0, 0.0, 1.0], 4),
    ("rankdef", t_rank, y_rank, [1.0, 1.0, 0.0], 3),
]
for name, t, y, x0, n in fits:
    fun = lambda x: residuals(name, x, t, y)
    r = least_squares(fun, x0, method="lm", xtol=1e-15, ftol=1e-15, gtol=1e-15, max_nfev=20000)
    j = jacobian(name, r.x, t, y)
    rank = np.linalg.matrix_rank(j, tol=1e-8 * np.linalg.norm(j, 2))
    fields = dict(n=[n], m=[len(fun(r.x))], t=t, y=y, x0=x0, x=r.x, rank=[rank],
                  cost=[2 * r.cost])
    if rank == n:
        fields["jtj_inv"] = np.linalg.inv(j.T @ j)
    else:
        # the column dropped by the rank decision is the second of the pair t, t
        keep = [0, 2]
        sub = np.linalg.inv(j[:, keep].T @ j[:, keep])
        full = np.zeros((n, n))
        full[np.ix_(keep, keep)] = sub
        fields["jtj_inv"] = full
    case("fit", name, **fields)

boxes = [
    # name, t, y, start, ibtype, lower, upper (as given to the routine)
    ("box_expdecay", t40, y_decay, [1.0, 0.1, 3.0], 0, [0.0, 0.0, 2.0], [10.0, 5.0, 10.0]),
    ("box_outside", t40, y_decay, [20.0, 0.1, 0.0], 0, [0.0, 0.0, 2.0], [10.0, 5.0, 10.0]),
    ("box_growth1", t_growth, y_growth, [1.0, 1.0], 1, [0.0, 0.0], [0.0, 0.0]),
    ("box_neg2", dummy, dummy, [-1.0, -1.0], 2, [0.0, 0.0], [0.0, 0.0]),
    ("box_rosenbrock3", dummy, dummy, [-0.2, 0.1], 3, [-0.5, 0.0], [0.8, 0.0]),
]
for name, t, y, x0, ibtype, lo, hi in boxes:
    n = len(x0)
    lb, ub = {0: (lo, hi), 1: ([0.0] * n, [1e20] * n), 2: ([-1e20] * n, [0.0] * n),
              3: ([lo[0]] * n, [hi[0]] * n)}[ibtype]
    fun = lambda x: residuals(name, x, t, y)
    start = np.clip(x0, lb, ub)
    r = least_squares(fun, start, method="trf", bounds=(lb, ub), xtol=1e-15, ftol=1e-15,
                      gtol=1e-15, max_nfev=20000)
    case("box", name, n=[n], m=[len(fun(r.x))], t=t, y=y, x0=x0, ibtype=[ibtype], lower=lo,
         upper=hi, x=r.x, active=r.active_mask, cost=[2 * r.cost])

with open(OUT, "w") as f:
    f.write("# Generated by tools/numerics_further/gen_eigen_roots_fits_tables.py; do not edit.\n")
    f.write("\n".join(lines) + "\n")
