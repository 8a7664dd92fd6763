#!/usr/bin/python3
"""Reference tables for the eigen-decomposition and the matrix-product expressions.

Run with Debian's python3 (numpy, scipy):
    /usr/bin/python3 tools/numerics_eig/gen_eig_tables.py
It writes numerics/testdata/eig_reference.txt and numerics/testdata/matmul_reference.txt.

Every matrix is first rounded to float32 (what the library sees); numpy then works on
those exact values in double precision, so the tables hold the eigenpairs of exactly the
matrix that the tests pass in.

Eigen table, per case:
    case <name> <n> <kind> <kappa>
    matrix lcg <seed>             (entries from the generator below) or
    matrix explicit               followed by n*n values in row order
    values                        then n lines: re im cond gap
    vectors <count>               then for each: "index k" and n lines "re im"
    end
kappa is the condition number of the matrix of unit eigenvectors (the Bauer-Fike bound on
every eigenvalue's sensitivity, finite also for repeated eigenvalues that have a full set
of vectors), cond the eigenvalue's own condition number 1/|y^H x| (unit left and right
vectors), gap its distance to the nearest other eigenvalue. Eigenvalues are listed by non-increasing
modulus, the positive imaginary part of a pair first; each eigenvector has unit length and
its first component of largest modulus real and positive (the library's normalisation).

Matrix-product table, per case:
    case <expression>
    A <rows> <cols> <stride> then rows*stride values (NaN in the padding), or "A none"
    B ..., x <len> values, y <len> values (or "none")
    result <rows> <cols> then rows*cols lines "value bound"
    end
bound is the same product formed from the absolute values of the operands: a rounding
error of single-precision sums is measured against it.
"""
import os

import numpy as np
import scipy.linalg

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "numerics", "testdata")


def lcg_matrix(seed, rows, cols):
    """Entries k/256 with integer k in -1000..1000, exact in float32; the tests rebuild the
    same matrix with the same recurrence."""
    state = seed
    out = np.empty((rows, cols))
    for i in range(rows):
        for j in range(cols):
            state = (state * 1103515245 + 12345) % 2147483648
            out[i, j] = ((state >> 8) % 2001 - 1000) / 256.0
    return out


def f32(a):
    return np.asarray(a, dtype=np.float32).astype(np.float64)


def normalise(v):
    v = v / np.linalg.norm(v)
    w = np.abs(v) ** 2
    m = int(np.argmax(w))
    if abs(v[m]) != 0:
        v = v * (np.conj(v[m]) / abs(v[m]))
        v[m] = v[m].real
    return v


def eigen_case(name, kind, a, matrix_line, vector_indices=None):
    a = f32(a)
    n = a.shape[0]
    w, vl, vr = scipy.linalg.eig(a, left=True, right=True)
    wn, vn = np.linalg.eig(a)
    # numpy.linalg.eig is the reference; scipy only adds the left vectors for cond.
    cond = np.empty(n)
    for k in range(n):
        j = int(np.argmin(np.abs(w - wn[k])))
        x = vr[:, j] / np.linalg.norm(vr[:, j])
        y = vl[:, j] / np.linalg.norm(vl[:, j])
        s = abs(np.vdot(y, x))
        cond[k] = 1.0 / s if s > 0 else 1e30
    order = sorted(range(n), key=lambda k: (-abs(wn[k]), -wn[k].imag))
    units = vn / np.linalg.norm(vn, axis=0)
    kappa = np.linalg.cond(units)
    lines = ["case %s %d %s %.6g" % (name, n, kind, min(kappa, 1e30)), matrix_line]
    if matrix_line == "matrix explicit":
        for i in range(n):
            lines.append(" ".join("%.9g" % a[i, j] for j in range(n)))
    lines.append("values")
    for k in order:
        others = [abs(wn[k] - wn[j]) for j in range(n) if j != k]
        gap = min(others) if others else 1e30
        lines.append("%.17g %.17g %.6g %.6g" % (wn[k].real, wn[k].imag, cond[k], gap))
    idx = list(range(n)) if vector_indices is None else vector_indices
    lines.append("vectors %d" % len(idx))
    for pos in idx:
        v = normalise(vn[:, order[pos]].astype(complex))
        lines.append("index %d" % pos)
        for i in range(n):
            lines.append("%.17g %.17g" % (v[i].real, v[i].imag))
    lines.append("end")
    return lines


def unimodular(n, seed):
    """An integer matrix with determinant 1 (and an integer inverse)."""
    rng = np.random.default_rng(seed)
    upper = np.triu(rng.integers(-2, 3, size=(n, n)), 1) + np.eye(n)
    lower = np.tril(rng.integers(-2, 3, size=(n, n)), -1) + np.eye(n)
    s = lower @ upper
    return s, np.round(np.linalg.inv(s))


def similar(b, seed):
    s, si = unimodular(b.shape[0], seed)
    a = s @ b @ si
    assert np.allclose(a, np.round(a * 4) / 4)  # exact in float32
    return a


def eigen_cases():
    out = []
    for n in (1, 2, 3, 10):
        out += eigen_case("random%d" % n, "general", lcg_matrix(n, n, n), "matrix lcg %d" % n)
    out += eigen_case("random50", "general", lcg_matrix(50, 50, 50), "matrix lcg 50",
                      vector_indices=[0, 1, 2, 3, 10, 20, 30, 40, 48, 49])
    out += eigen_case("random200", "general", lcg_matrix(200, 200, 200), "matrix lcg 200",
                      vector_indices=[0, 1, 2, 3, 50, 100, 150, 197, 198, 199])

    out += eigen_case("rotation", "pairs", np.array([[0.0, -1.0], [1.0, 0.0]]), "matrix explicit")
    b = scipy.linalg.block_diag([[1, -2], [2, 1]], [[0.5, -3], [3, 0.5]],
                                [[-2, 1.5], [-1.5, -2]])
    out += eigen_case("pairs6", "pairs", similar(b, 6), "matrix explicit")
    cyclic = np.roll(np.eye(4), 1, axis=0)  # eigenvalues: the fourth roots of unity
    out += eigen_case("cyclic4", "pairs", cyclic, "matrix explicit")

    out += eigen_case("ones5", "repeated", 2 * np.eye(5) + np.ones((5, 5)), "matrix explicit")
    out += eigen_case("repeated5", "repeated", similar(np.diag([3.0, 3.0, -1.0, -1.0, 5.0]), 5),
                      "matrix explicit")
    jordan = np.diag([2.0, 2.0, 2.0, -1.0]) + np.diag([1.0, 1.0, 0.0], 1)
    out += eigen_case("defective4", "defective", similar(jordan, 4), "matrix explicit")

    # Lag-covariance matrix of a singular spectrum analysis: two sines and some noise,
    # N = 60 samples, window M = 12.
    t = np.arange(60)
    noise = lcg_matrix(7, 1, 60)[0] / 40.0
    series = f32(np.sin(2 * np.pi * t / 12) + 0.5 * np.sin(2 * np.pi * t / 5) + noise)
    m = 12
    x = np.array([[series[i + j] for j in range(60 - m)] for i in range(m)])
    out += eigen_case("lagcov12", "symmetric", x @ x.T, "matrix explicit")

    # Row 2 and column 4 hold only their diagonal element: the balancing isolates both
    # by exchanges, which the eigenvectors have to undo.
    iso = lcg_matrix(55, 5, 5)
    iso[1, [0, 2, 3, 4]] = 0.0
    iso[[0, 1, 2, 4], 3] = 0.0
    out += eigen_case("isolated5", "general", iso, "matrix explicit")
    out += eigen_case("zero4", "zero", np.zeros((4, 4)), "matrix explicit")
    out += eigen_case("diagonal4", "diagonal", np.diag([1.0, -5.0, 3.0, 0.5]), "matrix explicit")
    d = np.diag([1.0, 2.0 ** 10, 2.0 ** 20])
    out += eigen_case("graded3", "general", d @ lcg_matrix(33, 3, 3) @ np.linalg.inv(d),
                      "matrix explicit")
    return out


def operand_lines(tag, m, stride=None):
    if m is None:
        return ["%s none" % tag]
    if tag in ("x", "y"):
        return ["%s %d" % (tag, m.size), " ".join("%.9g" % v for v in m)]
    rows, cols = m.shape
    stride = stride or cols
    lines = ["%s %d %d %d" % (tag, rows, cols, stride)]
    for i in range(rows):
        row = ["%.9g" % v for v in m[i]] + ["nan"] * (stride - cols)
        lines.append(" ".join(row))
    return lines


def product(expr, ops):
    def factor(tok):
        if tok.startswith("trans("):
            return ops[tok[6]].T if tok[6] in "AB" else ops[tok[6]].reshape(1, -1)
        return ops[tok] if tok in "AB" else ops[tok].reshape(-1, 1)
    result = None
    for tok in expr.split("*"):
        f = factor(tok)
        result = f if result is None else result @ f
    return result


def matmul_case(expr, a=None, b=None, x=None, y=None, a_stride=None, b_stride=None):
    ops = {k: f32(v) for k, v in (("A", a), ("B", b), ("x", x), ("y", y)) if v is not None}
    absops = {k: np.abs(v) for k, v in ops.items()}
    res = product(expr, ops)
    bound = product(expr, absops)
    lines = ["case %s" % expr]
    lines += operand_lines("A", ops.get("A"), a_stride)
    lines += operand_lines("B", ops.get("B"), b_stride)
    lines += operand_lines("x", ops.get("x"))
    lines += operand_lines("y", ops.get("y"))
    lines.append("result %d %d" % res.shape)
    for i in range(res.shape[0]):
        for j in range(res.shape[1]):
            lines.append("%.17g %.17g" % (res[i, j], bound[i, j]))
    lines.append("end")
    return lines


def matmul_cases():
    g = lambda seed, r, c: lcg_matrix(seed, r, c)
    v = lambda seed, n: lcg_matrix(seed, 1, n)[0]
    out = []
    out += matmul_case("trans(A)", a=g(1, 7, 5))
    out += matmul_case("A", a=g(2, 4, 3), a_stride=5)
    out += matmul_case("trans(x)", x=v(3, 6))
    out += matmul_case("A*B", a=g(4, 2, 3), b=g(5, 3, 2))
    out += matmul_case("A*B", a=g(6, 6, 4), b=g(7, 4, 5), a_stride=6, b_stride=7)
    out += matmul_case("trans(A)*B", a=g(8, 4, 3), b=g(9, 4, 2))
    out += matmul_case("A*trans(B)", a=g(10, 3, 4), b=g(11, 5, 4))
    out += matmul_case("trans(A)*trans(B)", a=g(12, 4, 3), b=g(13, 2, 4))
    out += matmul_case("B*A", a=g(14, 3, 3), b=g(15, 2, 3))
    out += matmul_case("A*x", a=g(16, 5, 3), x=v(17, 3))
    out += matmul_case("trans(A)*x", a=g(18, 5, 3), x=v(19, 5), a_stride=4)
    out += matmul_case("trans(x)*A", a=g(20, 5, 3), x=v(21, 5))
    out += matmul_case("trans(y)*trans(B)", b=g(22, 5, 3), y=v(23, 3))
    out += matmul_case("trans(x)*y", x=v(24, 6), y=v(25, 6))
    out += matmul_case("x*trans(y)", x=v(26, 3), y=v(27, 4))
    out += matmul_case("x*A", a=g(28, 1, 3), x=v(29, 4))
    out += matmul_case("A*trans(x)", a=g(30, 4, 1), x=v(31, 3))
    out += matmul_case("trans(x)*A*y", a=g(32, 4, 3), x=v(33, 4), y=v(34, 3))
    out += matmul_case("trans(x)*A*x", a=g(35, 4, 4), x=v(36, 4))
    out += matmul_case("A*B*A", a=g(37, 3, 4), b=g(38, 4, 3))
    out += matmul_case("trans(A)*B*x", a=g(39, 4, 3), b=g(40, 4, 5), x=v(41, 5))
    out += matmul_case("B*A*trans(B)", a=g(42, 3, 3), b=g(43, 2, 3))
    out += matmul_case("trans(y)*B*trans(A)", a=g(44, 2, 4), b=g(45, 3, 4), y=v(46, 3))
    # The trajectory matrix of a singular spectrum analysis and its lag products X X^T.
    series = lcg_matrix(47, 1, 50)[0]
    m = 10
    traj = np.array([[series[i + j] for j in range(50 - m)] for i in range(m)])
    out += matmul_case("A*B", a=traj, b=traj.T)
    return out


def write(name, lines):
    path = os.path.join(OUT, name)
    with open(path, "w") as f:
        f.write("# Generated by tools/numerics_eig/gen_eig_tables.py with numpy %s; do not edit.\n"
                % np.__version__)
        f.write("\n".join(lines) + "\n")
    print("wrote", path)


if __name__ == "__main__":
    write("eig_reference.txt", eigen_cases())
    write("matmul_reference.txt", matmul_cases())
