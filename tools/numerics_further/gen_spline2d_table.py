#!/usr/bin/python3
"""Reference fits of tensor-product splines on grid data, for
numerics/further/testdata/spline2d_reference.txt.

The weighted least-squares coefficients come from the tensor design matrix (scipy's B-spline
design matrices, their Kronecker product) solved by numpy lstsq with weights sqrt(wx wy);
values and derivatives at other points from FITPACK's bisplev.
"""
import numpy as np
from scipy.interpolate import BSpline, bisplev


def default_knots(data, k, nc):
    lo, hi = data.min(), data.max()
    inner = lo + np.arange(nc - k + 2) * abs(hi - lo) / (nc - k + 1)
    return np.concatenate([np.full(k - 1, inner[0]), inner, np.full(k - 1, inner[-1])])


def emit(out, key, vals):
    vals = np.ravel(vals)
    out.append("%s %d %s" % (key, len(vals), " ".join(repr(float(v)) for v in vals)))


def case(out, rng, name, nx, ny, kx, ky, ncx, ncy, given):
    x = np.sort(rng.uniform(0.0, 2.0, nx))
    y = np.sort(rng.uniform(-1.0, 1.0, ny))
    x[0], x[-1], y[0], y[-1] = 0.0, 2.0, -1.0, 1.0
    x, y = x.astype(np.float32).astype(float), y.astype(np.float32).astype(float)
    f = (np.sin(2 * x)[:, None] * np.cos(1.5 * y)[None, :] + 0.3 * x[:, None] * y[None, :] ** 2
         + 0.05 * rng.normal(size=(nx, ny))).astype(np.float32).astype(float)
    wx = rng.uniform(0.2, 2.0, nx).astype(np.float32).astype(float)
    wy = rng.uniform(0.2, 2.0, ny).astype(np.float32).astype(float)
    if given:
        tx = np.concatenate([np.zeros(kx), np.sort(rng.uniform(0.2, 1.8, ncx - kx)), np.full(kx, 2.0)])
        ty = np.concatenate([np.full(ky, -1.0), np.sort(rng.uniform(-0.8, 0.8, ncy - ky)), np.ones(ky)])
        tx, ty = tx.astype(np.float32).astype(float), ty.astype(np.float32).astype(float)
    else:
        tx = default_knots(x, kx, ncx).astype(np.float32).astype(float)
        ty = default_knots(y, ky, ncy).astype(np.float32).astype(float)
    bx = BSpline.design_matrix(x, tx, kx - 1).toarray()
    by = BSpline.design_matrix(y, ty, ky - 1).toarray()
    a = np.kron(bx, by)
    sw = np.sqrt(np.outer(wx, wy)).ravel()
    c = np.linalg.lstsq(a * sw[:, None], f.ravel() * sw, rcond=None)[0]  # index a*ncy + b
    px = np.array([0.0, 0.37, 1.01, 1.64, 2.0])
    py = np.array([-1.0, -0.42, 0.3, 1.0])
    out.append("case spline2d %s" % name)
    emit(out, "order", [kx, ky])
    emit(out, "ncoef", [ncx, ncy])
    emit(out, "given", [1 if given else 0])
    for key, v in (("x", x), ("y", y), ("f", f), ("wx", wx), ("wy", wy), ("tx", tx), ("ty", ty)):
        emit(out, key, v)
    emit(out, "coef", c.reshape(ncx, ncy).T)  # b-major: element (b-1) ncx + a-1
    emit(out, "px", px)
    emit(out, "py", py)
    for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        emit(out, "value%d%d" % (dx, dy), bisplev(px, py, (tx, ty, c, kx - 1, ky - 1), dx, dy))
    out.append("end")


def main():
    rng = np.random.default_rng(20261211)
    out = ["# made by tools/numerics_further/gen_spline2d_table.py"]
    case(out, rng, "cubic_default_knots", 12, 9, 4, 4, 7, 6, False)
    case(out, rng, "mixed_orders_given_knots", 15, 11, 3, 5, 8, 7, True)
    print("\n".join(out))


main()
