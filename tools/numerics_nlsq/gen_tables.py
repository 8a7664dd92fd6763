#!/usr/bin/python3
"""Reference tables for the nonlinear least-squares fits and the simple statistics.

Run with Debian's python3 (numpy, scipy): /usr/bin/python3 tools/numerics_nlsq/gen_tables.py
Writes numerics/testdata/nlsq_scipy.txt and numerics/testdata/stat_numpy.txt.

nlsq_scipy.txt, one block per case:
    case <name> <model> <m> <n> <bounded 0/1>
    x <m values>          (abscissae, rounded to float32 as the fit sees them)
    y <m values>
    start <n values>
    lower <n> / upper <n> (bounded cases only)
    params <n values>     scipy.optimize.least_squares solution (double precision)
    jtjdiag <n values>    sqrt of the diagonal of (J'J)^-1 at the solution
    rss <value>
stat_numpy.txt, one block per case:
    case <name> <nobs> <nvar> <median 0|1|2> <means level> <variances level>
    x <nobs*nvar values, row order; nan for missing>
    expect <rows*nvar values, row order; nan where the statistic is NaN>
"""
import os
import numpy as np
from scipy import optimize, stats

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), '..', '..'))
OUT = os.path.join(ROOT, 'numerics', 'testdata')

MODELS = {
    # y = p0 * x^p1 (the base library's power model with two parameters)
    'power': lambda p, x: p[0] * x ** p[1],
    # y = p0 + p1 * x^p2 (the base library's power-law model)
    'powerlaw': lambda p, x: p[0] + p[1] * x ** p[2],
    # y = p0 * exp(-p1 * x) + p2 (exponential decay to a floor)
    'expdecay': lambda p, x: p[0] * np.exp(-p[1] * x) + p[2],
}


def fmt(v):
    return ' '.join('nan' if np.isnan(a) else repr(float(a)) for a in np.ravel(v))


def nlsq_cases():
    rng = np.random.default_rng(20261210)
    cases = []
    x = np.linspace(1.0, 50.0, 40).astype(np.float32).astype(float)
    y = MODELS['power']([2.5, 0.7], x) * (1 + 0.02 * rng.standard_normal(x.size))
    cases.append(('power', 'power', x, y, [1.0, 1.0], None))
    cases.append(('power_bounded', 'power', x, y, [1.0, 0.5], ([0.0, 0.0], [10.0, 0.6])))
    x = np.linspace(0.5, 30.0, 60).astype(np.float32).astype(float)
    y = MODELS['powerlaw']([1.0, 3.0, 0.5], x) + 0.05 * rng.standard_normal(x.size)
    cases.append(('powerlaw', 'powerlaw', x, y, [0.0, 1.0, 1.0], None))
    x = np.linspace(0.0, 20.0, 50).astype(np.float32).astype(float)
    y = MODELS['expdecay']([10.0, 0.3, 1.0], x) + 0.05 * rng.standard_normal(x.size)
    cases.append(('expdecay', 'expdecay', x, y, [5.0, 0.1, 0.0], None))
    cases.append(('expdecay_bounded', 'expdecay', x, y, [5.0, 0.1, 2.0], ([0.0, 0.0, 1.5], [100.0, 5.0, 10.0])))
    lines = []
    for name, model, x, y, start, bounds in cases:
        y = y.astype(np.float32).astype(float)
        f = MODELS[model]

        def res(p):
            return y - f(p, x)
        if bounds:
            sol = optimize.least_squares(res, start, bounds=bounds, method='trf',
                                         xtol=1e-15, ftol=1e-15, gtol=1e-15)
        else:
            sol = optimize.least_squares(res, start, method='lm', xtol=1e-15, ftol=1e-15,
                                         gtol=1e-15)
        p = sol.x
        # Jacobian of the residuals by central differences in double precision; the
        # covariance output covers every parameter, also one that ends on a bound.
        J = np.empty((x.size, p.size))
        for j in range(p.size):
            h = 1e-6 * max(abs(p[j]), 1.0)
            e = np.zeros(p.size)
            e[j] = h
            J[:, j] = (res(p + e) - res(p - e)) / (2 * h)
        jd = np.sqrt(np.diag(np.linalg.inv(J.T @ J)))
        lines.append(f'case {name} {model} {x.size} {len(start)} {1 if bounds else 0}')
        lines.append('x ' + fmt(x))
        lines.append('y ' + fmt(y))
        lines.append('start ' + fmt(start))
        if bounds:
            lines.append('lower ' + fmt(bounds[0]))
            lines.append('upper ' + fmt(bounds[1]))
        lines.append('params ' + fmt(p))
        lines.append('jtjdiag ' + fmt(jd))
        lines.append('rss ' + repr(float(sol.fun @ sol.fun)))
    return lines


def stat_rows(x, median, cm, cv):
    """Expected statistics of one variable (x without missing values)."""
    n = x.size
    nan = float('nan')
    r = [nan] * 17
    r[0] = x.mean()
    r[5], r[6] = x.min(), x.max()
    r[7] = r[6] - r[5]
    r[9] = n
    if n > 1:
        const = np.all(x == x[0])
        r[1] = 0.0 if const else x.var(ddof=1)
        r[2] = np.sqrt(r[1])
        r[3] = 0.0 if const else stats.skew(x, bias=True)
        r[4] = 0.0 if const else stats.kurtosis(x, fisher=True, bias=True)
        r[8] = nan if abs(r[0]) < 2.0 ** -52 else r[2] / r[0]
        df = n - 1
        if cm > 0:
            h = stats.t.ppf(cm / 200 + 0.5, df) * r[2] / np.sqrt(n)
            r[10], r[11] = r[0] - h, r[0] + h
        if cv > 0:
            a = (1 - cv / 100) * 0.5
            r[12] = r[1] * df / stats.chi2.ppf(1 - a, df)
            r[13] = r[1] * df / stats.chi2.ppf(a, df)
    if median:
        med = np.median(x)
        r[14] = med
        if median == 2:
            mad = np.median(np.abs(x - med))
            r[15], r[16] = mad, mad / stats.norm.ppf(0.75)
    rows = 14 if median == 0 else (15 if median == 1 else 17)
    return r[:rows]


def stat_cases():
    rng = np.random.default_rng(7)
    cases = [
        ('one_value', np.array([[3.5]]), 0, 95.0, 95.0),
        ('two_values', np.array([[1.0], [4.0]]), 2, 95.0, 95.0),
        ('constant', np.full((5, 1), 2.25), 1, 95.0, 95.0),
        ('one_to_four', np.array([[1.0], [2.0], [3.0], [4.0]]), 1, 95.0, 95.0),
        ('normal_50', rng.normal(10.0, 2.0, (50, 1)), 2, 95.0, 95.0),
        ('lognormal_odd', rng.lognormal(0.0, 1.0, (31, 1)), 2, 90.0, 99.0),
        ('large_sample', rng.gamma(2.0, 3.0, (200, 1)), 1, 95.0, 95.0),
        ('two_variables_missing', np.array([[1.0, 10.0], [2.0, np.nan], [4.0, 12.0], [8.0, 11.0], [3.0, 9.5]]), 0, 95.0, 95.0),
    ]
    lines = []
    for name, x, median, cm, cv in cases:
        nobs, nvar = x.shape
        keep = ~np.isnan(x).any(axis=1)
        cols = [stat_rows(x[keep, j], median, cm, cv) for j in range(nvar)]
        if not keep.all() and median:
            for c in cols:
                c[14:] = [float('nan')] * (len(c) - 14)
        expect = np.array(cols).T  # rows by nvar
        lines.append(f'case {name} {nobs} {nvar} {median} {cm} {cv}')
        lines.append('x ' + fmt(x))
        lines.append('expect ' + fmt(expect))
    return lines


def main():
    os.makedirs(OUT, exist_ok=True)
    head = '# generated by tools/numerics_nlsq/gen_tables.py (numpy %s, scipy %s)\n'
    import scipy
    with open(os.path.join(OUT, 'nlsq_scipy.txt'), 'w') as f:
        f.write(head % (np.__version__, scipy.__version__))
        f.write('\n'.join(nlsq_cases()) + '\n')
    with open(os.path.join(OUT, 'stat_numpy.txt'), 'w') as f:
        f.write(head % (np.__version__, scipy.__version__))
        f.write('\n'.join(stat_cases()) + '\n')


if __name__ == '__main__':
    main()
