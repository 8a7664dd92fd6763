#!/usr/bin/python3
"""Reference regressions for numerics/further/testdata/regression_reference.txt.

Coefficients from numpy.linalg.lstsq on the design (an intercept column first when the model
has one) with rows scaled by sqrt(weight x frequency); dropped (collinear or constant)
columns are left out of the design and get coefficient 0; rows with a NaN are left out. The
analysis of variance follows its formulas, the p-value from scipy.stats.f.sf.
"""
import numpy as np
from scipy import stats


def emit(out, key, vals):
    vals = np.ravel(np.asarray(vals, dtype=float))
    out.append("%s %d %s" % (key, len(vals), " ".join(repr(float(v)) for v in vals)))


def case(out, name, x, y, intercept=True, keep=None, freq=None, weight=None):
    n, k = x.shape
    freq = np.ones(n) if freq is None else freq
    weight = np.ones(n) if weight is None else weight
    ok = ~(np.isnan(x).any(axis=1) | np.isnan(y))
    cols = [np.ones(n)] if intercept else []
    cols += [x[:, j] for j in range(k)]
    a = np.column_stack(cols)
    ncoef = a.shape[1]
    keep = list(range(ncoef)) if keep is None else keep
    s = np.sqrt(weight * freq)[ok]
    sol = np.linalg.lstsq(a[ok][:, keep] * s[:, None], y[ok] * s, rcond=None)[0]
    coef = np.zeros(ncoef)
    coef[keep] = sol
    fit = a @ coef
    res = y - fit
    wf = (weight * freq)[ok]
    sse = float(np.sum(wf * res[ok] ** 2))
    if intercept:
        ybar_w = np.sum(wf * y[ok]) / np.sum(wf)
        sst = float(np.sum(wf * (y[ok] - ybar_w) ** 2))
    else:
        sst = float(np.sum(wf * y[ok] ** 2))
    rank = len(keep)
    nused = float(np.sum(freq[ok]))
    dfe = nused - rank
    dfr = nused - (1 if intercept else 0) - dfe
    ssr = max(sst - sse, 0.0)
    msr, mse = ssr / dfr, sse / dfe
    f = msr / mse
    ybar = float(np.mean(y[~np.isnan(y)]))
    aov = [dfr, dfe, dfr + dfe, ssr, sse, sst, msr, mse, f, stats.f.sf(f, dfr, dfe),
           100 * ssr / sst, 100 * (1 - (sse / dfe) / (sst / (dfr + dfe))), np.sqrt(mse), ybar,
           100 * np.sqrt(mse) / ybar]
    out.append("case regression %s" % name)
    emit(out, "shape", [n, k, 1 if intercept else 0])
    emit(out, "x", x)
    emit(out, "y", y)
    emit(out, "freq", freq)
    emit(out, "weight", weight)
    emit(out, "coef", coef)
    emit(out, "rank", [rank])
    emit(out, "sse", [sse])
    emit(out, "dfe", [dfe])
    emit(out, "aov", aov)
    emit(out, "residual", np.where(np.isnan(y), np.nan, res))
    means = [np.mean(c[~np.isnan(c)]) if (~np.isnan(c)).any() else 0.0 for c in x.T]
    emit(out, "means", means)
    out.append("end")


def main():
    rng = np.random.default_rng(1211)
    out = ["# made by tools/numerics_further/gen_regression_table.py"]
    n, k = 30, 4
    x = rng.normal(size=(n, k)) * [1.0, 3.0, 0.5, 10.0] + [0.0, 5.0, -2.0, 40.0]
    y = 1.5 + x @ [2.0, -0.7, 4.0, 0.05] + 0.3 * rng.normal(size=n)
    case(out, "plain", x, y)
    case(out, "no_intercept", x, y, intercept=False)
    xc = x.copy()
    xc[:, 2] = 2.0 * xc[:, 0]  # collinear with an earlier column
    case(out, "collinear", xc, y, keep=[0, 1, 2, 4])
    xk = x.copy()
    xk[:, 1] = 3.0  # constant: duplicates the intercept
    case(out, "constant", xk, y, keep=[0, 1, 3, 4])
    xn, yn = x.copy(), y.copy()
    xn[3, 1] = np.nan
    yn[7] = np.nan
    case(out, "missing", xn, yn)
    # The Givens kernel with frequency and weight columns.
    freq = rng.integers(0, 4, n).astype(float)
    weight = rng.uniform(0.0, 2.0, n)
    weight[5] = 0.0
    case(out, "weighted", x[:, :3], y, freq=freq, weight=weight)
    print("\n".join(out))


main()
