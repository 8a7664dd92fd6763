#!/usr/bin/python3
"""Reference tables for the numerical library's further routines (kernels, complex
arithmetic, general and band linear systems).

Run with Debian's python3 (numpy, scipy):
    /usr/bin/python3 tools/numerics_further/gen_further_tables.py
It writes numerics/further/testdata/further_reference.txt.

Format: a case starts with "case <kind> <name>", holds lines "<key> <count> <values...>"
(floats written with repr, so they read back exactly) and ends with "end". Matrices are
written column by column. Results come from scipy.linalg.blas, scipy.linalg, numpy,
math and cmath, never from the library under test.
"""
import cmath
import math
import os

import numpy as np
import scipy.linalg
from scipy.linalg import blas

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "numerics", "further", "testdata", "further_reference.txt")

rng = np.random.default_rng(20261210)
lines = []


def put(key, values):
    values = list(np.ravel(np.asarray(values, dtype=float)))
    lines.append(f"{key} {len(values)} " + " ".join(repr(float(v)) for v in values))


def case(kind, name, **fields):
    lines.append(f"case {kind} {name}")
    for k, v in fields.items():
        put(k, v)
    lines.append("end")


def colmajor(a):
    return np.asarray(a, dtype=float).T.ravel()


# ---- level-1 kernels --------------------------------------------------------------------
x = rng.uniform(-5, 5, 9)
y = rng.uniform(-5, 5, 9)
for n, incx, incy in [(5, 1, 1), (3, 2, -1), (3, -2, -2), (4, -1, 2), (0, 1, 1)]:
    r = blas.ddot(x, y, n=n, incx=incx, incy=incy) if n > 0 else 0.0
    case("ddot", f"n{n}_{incx}_{incy}", n=[n], incx=[incx], incy=[incy], x=x, y=y, result=[r])
    if n > 0:
        ax = blas.daxpy(x, y.copy(), n=n, a=-1.75, incx=incx, incy=incy)
        case("daxpy", f"n{n}_{incx}_{incy}", n=[n], incx=[incx], incy=[incy], a=[-1.75],
             x=x, y=y, result=ax)
        cp = blas.dcopy(x, y.copy(), n=n, incx=incx, incy=incy)
        case("dcopy", f"n{n}_{incx}_{incy}", n=[n], incx=[incx], incy=[incy], x=x, y=y,
             result=cp)
for n, inc in [(9, 1), (4, 2), (3, 3), (0, 1)]:
    r = blas.dasum(x, n=n, incx=inc) if n > 0 else 0.0
    i = blas.idamax(x, n=n, incx=inc) + 1 if n > 0 else 0
    case("dasum", f"n{n}_{inc}", n=[n], incx=[inc], x=x, result=[r], idamax=[i])
case("idamax", "ties", n=[3], incx=[1], x=[1.0, -3.0, 3.0], result=[blas.idamax([1.0, -3.0, 3.0]) + 1])

# ---- level-2 kernels --------------------------------------------------------------------
m, n = 5, 4
A = rng.uniform(-2, 2, (m, n))
for trans in (0, 1):
    for alpha, beta in [(1.5, 0.5), (0.0, 0.0), (-2.0, 1.0), (1.0, 0.0)]:
        for incx, incy in [(1, 1), (-1, 2), (2, -1)]:
            lx = n if trans == 0 else m
            ly = m if trans == 0 else n
            xv = rng.uniform(-3, 3, lx * abs(incx))
            yv = rng.uniform(-3, 3, ly * abs(incy))
            r = blas.dgemv(alpha, A, xv, beta=beta, y=yv.copy(), incx=incx, incy=incy,
                           trans=trans)
            case("dgemv", f"t{trans}_a{alpha}_b{beta}_{incx}_{incy}", m=[m], n=[n],
                 trans=[trans], alpha=[alpha], beta=[beta], incx=[incx], incy=[incy],
                 a=colmajor(A), x=xv, y=yv, result=r)
for incx, incy in [(1, 1), (-1, 1), (1, -1)]:
    xv = rng.uniform(-3, 3, m * abs(incx))
    yv = rng.uniform(-3, 3, n * abs(incy))
    r = blas.dger(0.75, xv, yv, incx=incx, incy=incy, a=np.asfortranarray(A.copy()))
    case("dger", f"{incx}_{incy}", m=[m], n=[n], alpha=[0.75], incx=[incx], incy=[incy],
         a=colmajor(A), x=xv, y=yv, result=colmajor(r))

T = rng.uniform(-1, 1, (6, 6)) + np.diag(rng.uniform(2, 4, 6) * rng.choice([-1, 1], 6))
for lower in (0, 1):
    for trans in (0, 1):
        for diag in (0, 1):
            for inc in (1, -1, 2):
                xv = rng.uniform(-3, 3, 6 * abs(inc))
                r = blas.dtrsv(T, xv.copy(), incx=inc, lower=lower, trans=trans, diag=diag)
                case("dtrsv", f"l{lower}_t{trans}_d{diag}_{inc}", n=[6], lower=[lower],
                     trans=[trans], diag=[diag], incx=[inc], a=colmajor(T), x=xv, result=r)

nb = 7
for k in (0, 1, 2):
    for lower in (0, 1):
        ab = rng.uniform(-1, 1, (k + 1, nb))
        drow = 0 if lower else k
        ab[drow, :] = rng.uniform(2, 3, nb) * rng.choice([-1, 1], nb)
        for trans in (0, 1):
            for diag in (0, 1):
                for inc in (1, -1):
                    xv = rng.uniform(-3, 3, nb)
                    r = blas.dtbsv(k, ab, xv.copy(), incx=inc, lower=lower, trans=trans,
                                   diag=diag)
                    case("dtbsv", f"k{k}_l{lower}_t{trans}_d{diag}_{inc}", n=[nb], k=[k],
                         lower=[lower], trans=[trans], diag=[diag], incx=[inc],
                         a=colmajor(ab), x=xv, result=r)

# ---- norms and complex arithmetic ---------------------------------------------------------
for name, v in [("tiny", [1e-300, 1e-300]), ("huge", [1e300, 1e300]), ("mixed", [3.0, -4.0, 12.0]),
                ("denormal", [3e-310, 4e-310]), ("wide", [1e-200, 1e150, -2e149])]:
    case("norm2", name, x=v, result=[math.hypot(*v)])

pairs = [(1 + 0j, 1j), (3 + 4j, 1 - 2j), (-4 + 0j, 2.5 + 0.5j), (1e-200 + 3e-200j, 2e-200 - 1e-200j),
         (1e150 - 2e150j, 3e150 + 1e150j), (-0.3 + 1.7j, -2.2 - 0.9j), (2j, -1e-5 + 4j)]
for i, (z, w) in enumerate(pairs):
    case("complex", f"p{i}", z=[z.real, z.imag], w=[w.real, w.imag],
         div=[(z / w).real, (z / w).imag], mul=[(z * w).real, (z * w).imag],
         sqrt=[cmath.sqrt(z).real, cmath.sqrt(z).imag], abs=[abs(z)])
for i, z in enumerate([0.5 + 0.25j, -1.2 + 2.0j, 3 - 0.1j]):
    case("complexfn", f"f{i}", z=[z.real, z.imag], exp=[cmath.exp(z).real, cmath.exp(z).imag],
         log=[cmath.log(z).real, cmath.log(z).imag], sin=[cmath.sin(z).real, cmath.sin(z).imag],
         cos=[cmath.cos(z).real, cmath.cos(z).imag])

# ---- general linear systems ------------------------------------------------------------------


def linsol(name, a, b):
    a = np.asarray(a, dtype=float)
    n = a.shape[0]
    fields = dict(n=[n], a=a.ravel(), b=b)  # a row-ordered, as the routine takes it
    try:
        fields["x"] = scipy.linalg.solve(a, b)
        fields["xt"] = scipy.linalg.solve(a.T, b)
        fields["inv"] = scipy.linalg.inv(a).ravel()
        fields["cond"] = [np.linalg.cond(a, 1)]
    except (np.linalg.LinAlgError, scipy.linalg.LinAlgError):
        fields["singular"] = [1]
    case("linsol", name, **fields)


for n in (1, 2, 3, 8, 9, 17, 40):
    a = rng.uniform(-1, 1, (n, n))
    linsol(f"random{n}", a, rng.uniform(-1, 1, n))
a = rng.uniform(-1, 1, (12, 12)) * (10.0 ** rng.integers(-8, 9, 12))[:, None]
linsol("rowscaled12", a, rng.uniform(-1, 1, 12))
# The pivot follows the scaled value: row 1's entry is larger, row 2's dominates its row.
linsol("scaledpivot", [[10.0, 1e6], [1.0, 1e-3]], [1.0, 2.0])
h = scipy.linalg.hilbert(12)
case("linsol", "hilbert12", n=[12], a=h.ravel(), b=h @ np.ones(12), cond=[np.linalg.cond(h, 1)])
a = rng.uniform(-1, 1, (6, 6))
a[:, 3] = 0.0
linsol("zerocolumn6", a, rng.uniform(-1, 1, 6))

# ---- band systems ---------------------------------------------------------------------------


def band(name, n, l, u, dominant):
    a = np.zeros((n, n))
    for i in range(n):
        for j in range(max(0, i - l), min(n, i + u + 1)):
            a[i, j] = rng.uniform(-1, 1)
        if dominant:
            a[i, i] += 4.0 * (1 if rng.uniform() > 0.5 else -1)
    ab = np.zeros((l + u + 1, n))
    for i in range(n):
        for j in range(max(0, i - l), min(n, i + u + 1)):
            ab[u + i - j, j] = a[i, j]
    b = rng.uniform(-1, 1, n)
    x = scipy.linalg.solve_banded((l, u), ab, b)
    xt = scipy.linalg.solve(a.T, b)
    case("band", name, n=[n], l=[l], u=[u], ab=colmajor(ab), b=b, x=x, xt=xt,
         cond=[np.linalg.cond(a, 1)], norm=[np.abs(a).sum(axis=0).max()])


band("diagonal", 6, 0, 0, True)
band("tridiagonal", 9, 1, 1, True)
band("tridiag_nondominant", 9, 1, 1, False)
band("pentadiagonal", 12, 2, 2, True)
band("penta_nondominant", 12, 2, 2, False)
band("lower3_upper1", 10, 3, 1, False)
band("lower1_upper3", 10, 1, 3, False)


# ---- linear least squares ---------------------------------------------------------------------


def lstsq_case(name, a, b):
    a = np.asarray(a, dtype=float)
    m, n = a.shape
    x, res, rank, sv = scipy.linalg.lstsq(a, b)
    fields = dict(m=[m], n=[n], a=a.ravel(), b=b, rank=[rank])
    if rank == min(m, n) and m >= n:
        fields["x"] = x
    # The basic solution at that rank from the pivoted QR (columns chosen by largest
    # remaining norm, as the library's factorisation chooses them).
    q, r, perm = scipy.linalg.qr(a, pivoting=True)
    k = rank
    xb = np.zeros(n)
    if k > 0:
        xp = scipy.linalg.solve_triangular(r[:k, :k], (q.T @ b)[:k])
        xb[perm[:k]] = xp
    fields["basic"] = xb
    fields["perm"] = perm + 1
    fields["residual"] = b - a @ xb
    case("lstsq", name, **fields)


for m, n in [(8, 3), (5, 5), (3, 6), (1, 4), (30, 7)]:
    lstsq_case(f"random{m}x{n}", rng.uniform(-1, 1, (m, n)) * rng.uniform(0.5, 4, n), rng.uniform(-1, 1, m))
a = rng.uniform(-1, 1, (10, 4)) * np.array([1.0, 2.0, 3.0, 4.0])
a = np.column_stack([a, 2.5 * a[:, 1]])  # column 5 repeats column 2 scaled: rank 4
lstsq_case("rankdeficient10x5", a, rng.uniform(-1, 1, 10))
lstsq_case("zero4x3", np.zeros((4, 3)), rng.uniform(-1, 1, 4))

# ---- distributions ----------------------------------------------------------------------------
import scipy.special
import scipy.stats

pois = [(0, 3.5), (5, 2.0), (20, 15.5), (1000, 1000.0), (2000, 1000.0), (700, 800.0), (800, 800.0),
        (3, 1e-20), (50, 0.25), (120, 140.0)]
case("poisson", "table", k=[k for k, _ in pois], theta=[t for _, t in pois],
     p=[scipy.stats.poisson.cdf(k, t) if t > 1e-10 else 1.0 for k, t in pois])
fs = [(1.0, 1.0, 1.0), (2.5, 3.0, 7.0), (0.3, 10.0, 4.0), (5.0, 1.0, 40.0), (1.2, 25.0, 25.0),
      (0.01, 2.0, 2.0), (30.0, 5.0, 3.0)]
case("fcdf", "table", f=[a for a, _, _ in fs], dfn=[b for _, b, _ in fs], dfd=[c for _, _, c in fs],
     p=[scipy.stats.f.cdf(a, b, c) for a, b, c in fs])
chis = [(2.0, 2.0), (30.0, 2.0), (0.5, 1.0), (3.0, 4.5), (10.0, 7.0), (40.0, 30.0), (60.0, 65.0),
        (80.0, 60.0), (1.5, 0.5), (150.0, 64.0)]
case("chi2", "table", x=[a for a, _ in chis], df=[b for _, b in chis],
     p=[scipy.stats.chi2.cdf(a, b) for a, b in chis])


def wilson_hilferty(x, df):
    c = np.float32(0.2222222)
    z = ((x / df) ** (1 / 3) - (1 - c / df)) / np.sqrt(c / df)
    return 0.5 * scipy.special.erfc(-z / np.sqrt(2))


big = [(58.0, 66.0), (60.0, 70.0), (90.0, 80.0), (130.0, 100.0), (200.0, 180.0)]
case("chi2big", "table", x=[a for a, _ in big], df=[b for _, b in big],
     p=[scipy.stats.chi2.cdf(a, b) for a, b in big], approx=[wilson_hilferty(a, b) for a, b in big])
inv = [(0.5, 2.0), (0.05, 3.0), (0.95, 10.0), (0.001, 1.0), (0.999, 40.0), (0.3, 80.0)]
case("chi2inv", "table", p=[a for a, _ in inv], df=[b for _, b in inv],
     x=[scipy.stats.chi2.ppf(a, b) for a, b in inv])
xs = [float(np.float32(v)) for v in (-3.5, -1.7, -0.9, -1e-5, 0.0, 2e-4, 0.3, 0.999, 1.5, 2.2, 3.9, 4.5)]
case("erf", "table", x=xs, erf=[scipy.special.erf(v) for v in xs], erfc=[scipy.special.erfc(v) for v in xs])
tails = [float(np.float32(v)) for v in (2.5, 4.0, 6.0, 8.0, 9.0)]
case("erfctail", "table", x=tails, erfc=[scipy.special.erfc(v) for v in tails])

with open(OUT, "w") as f:
    f.write("# made by tools/numerics_further/gen_further_tables.py\n")
    f.write("\n".join(lines) + "\n")
print(OUT, len(lines), "lines")
