#include "base/numerics/KZ_Powell.h"

#include <cmath>
#include <utility>

#include "base/numerics/KZ_NumHelpers.h"

namespace {

// The current line of the line minimiser.
struct LineState {
  int n = 0;
  double start[KZ_POWELL_MAX_PARAMS] = {};
  double dir[KZ_POWELL_MAX_PARAMS] = {};
  KZ_PowellObjective f = nullptr;
};
LineState g_line;

constexpr double kGold = 1.618034;
constexpr double kGLimit = 100.0;
constexpr double kTiny = 1e-20;
constexpr int kBrentIterations = 100;
constexpr double kCGold = 0.381966;
constexpr double kZeps = 1e-10;

inline double Sign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

double Evaluate(KZ_PowellObjective f, double* x) {
  double scratch = 0.0;
  return f(x, nullptr, &scratch);
}

}  // namespace

double KZ_LineFunction(double s) {
  double x[KZ_POWELL_MAX_PARAMS];
  for (int j = 0; j < g_line.n; ++j) x[j] = g_line.start[j] + s * g_line.dir[j];
  return Evaluate(g_line.f, x);
}

void KZ_BracketMinimum(double* a, double* b, double* c, double* fa, double* fb, double* fc,
                       KZ_LineFunc f) {
  *fa = f(*a);
  *fb = f(*b);
  if (*fb > *fa) {
    std::swap(*a, *b);
    std::swap(*fa, *fb);
  }
  *c = *b + kGold * (*b - *a);
  *fc = f(*c);
  while (*fb > *fc) {
    const double r = (*b - *a) * (*fb - *fc);
    const double q = (*b - *c) * (*fb - *fa);
    const double d = q - r;
    double u =
        *b - ((*b - *c) * q - (*b - *a) * r) / (2.0 * Sign(std::fmax(std::fabs(d), kTiny), d));
    const double ulim = *b + kGLimit * (*c - *b);
    double fu;
    if ((*b - u) * (u - *c) > 0.0) {
      fu = f(u);
      if (fu < *fc) {
        *a = *b;
        *b = u;
        *fa = *fb;
        *fb = fu;
        return;
      }
      if (fu > *fb) {
        *c = u;
        *fc = fu;
        return;
      }
      u = *c + kGold * (*c - *b);
      fu = f(u);
    } else if ((*c - u) * (u - ulim) > 0.0) {
      fu = f(u);
      if (fu < *fc) {
        *b = *c;
        *c = u;
        u = *c + kGold * (*c - *b);
        *fb = *fc;
        *fc = fu;
        fu = f(u);
      }
    } else if ((u - ulim) * (ulim - *c) >= 0.0) {
      u = ulim;
      fu = f(u);
    } else {
      u = *c + kGold * (*c - *b);
      fu = f(u);
    }
    *a = *b;
    *b = *c;
    *c = u;
    *fa = *fb;
    *fb = *fc;
    *fc = fu;
  }
}

double KZ_BrentMinimize(double ax, double bx, double cx, KZ_LineFunc f, double tol, double* xmin) {
  double a = ax < cx ? ax : cx;
  double b = ax > cx ? ax : cx;
  double d = 0.0, e = 0.0;
  double x = bx, w = bx, v = bx;
  double fx = f(x), fw = fx, fv = fx;
  for (int iter = 0; iter < kBrentIterations; ++iter) {
    const double xm = 0.5 * (a + b);
    const double tol1 = tol * std::fabs(x) + kZeps;
    const double tol2 = 2.0 * tol1;
    if (std::fabs(x - xm) <= tol2 - 0.5 * (b - a)) {
      if (xmin) *xmin = x;
      return fx;
    }
    if (std::fabs(e) > tol1) {
      // Parabolic step through x, w, v.
      const double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double p = (x - v) * q - (x - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0) p = -p;
      q = std::fabs(q);
      const double etemp = e;
      e = d;
      if (std::fabs(p) >= std::fabs(0.5 * q * etemp) || p <= q * (a - x) || p >= q * (b - x)) {
        e = x >= xm ? a - x : b - x;
        d = kCGold * e;
      } else {
        d = p / q;
        const double u = x + d;
        if (u - a < tol2 || b - u < tol2) d = Sign(tol1, xm - x);
      }
    } else {
      e = x >= xm ? a - x : b - x;
      d = kCGold * e;
    }
    const double u = std::fabs(d) >= tol1 ? x + d : x + Sign(tol1, d);
    const double fu = f(u);
    if (fu <= fx) {
      if (u >= x)
        a = x;
      else
        b = x;
      v = w;
      w = x;
      x = u;
      fv = fw;
      fw = fx;
      fx = fu;
    } else {
      if (u < x)
        a = u;
      else
        b = u;
      if (fu <= fw || w == x) {
        v = w;
        w = u;
        fv = fw;
        fw = fu;
      } else if (fu <= fv || v == x || v == w) {
        v = u;
        fv = fu;
      }
    }
  }
  if (xmin) *xmin = x;
  return fx;
}

void KZ_LineMinimize(double p[], double xi[], int n, double* fret, KZ_PowellObjective f) {
  g_line.n = n;
  g_line.f = f;
  for (int j = 0; j < n; ++j) {
    g_line.start[j] = p[j];
    g_line.dir[j] = xi[j];
  }
  double a = 0.0, b = 1.0, c = 0.0, fa, fb, fc;
  KZ_BracketMinimum(&a, &b, &c, &fa, &fb, &fc, KZ_LineFunction);
  double xmin = 0.0;
  *fret = KZ_BrentMinimize(a, b, c, KZ_LineFunction, 2e-4, &xmin);
  for (int j = 0; j < n; ++j) {
    xi[j] *= xmin;
    p[j] += xi[j];
  }
}

bool KZ_PowellMinimize(KZ_PowellObjective f, double p[], double** xi, int n, double ftol,
                       int itmax) {
  if (!f || !p || n < 1 || n > KZ_POWELL_MAX_PARAMS) return true;
  double** own = nullptr;
  if (!xi) {
    own = KZ_AllocMatrix64(n, n);
    if (!own) return true;
    for (int i = 0; i < n; ++i) own[i][i] = 1.0;
    xi = own;
  }
  auto finish = [&own](bool result) {
    KZ_FreeMatrix(own);
    return result;
  };
  double pt[KZ_POWELL_MAX_PARAMS], ptt[KZ_POWELL_MAX_PARAMS], xit[KZ_POWELL_MAX_PARAMS];
  double fret = Evaluate(f, p);
  for (int j = 0; j < n; ++j) pt[j] = p[j];
  for (int iter = 1;; ++iter) {
    const double fp = fret;
    double del = 0.0;
    int ibig = 0;
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) xit[j] = xi[j][i];
      const double fprev = fret;
      KZ_LineMinimize(p, xit, n, &fret, f);
      if (std::fabs(fprev - fret) > del) {
        del = std::fabs(fprev - fret);
        ibig = i;
      }
    }
    if (std::fabs(fret) > 1e9) return finish(true);
    if (2.0 * std::fabs(fp - fret) <= ftol * (std::fabs(fp) + std::fabs(fret)) || iter >= itmax)
      return finish(iter >= itmax);
    for (int j = 0; j < n; ++j) {
      ptt[j] = 2.0 * p[j] - pt[j];
      xit[j] = p[j] - pt[j];
      pt[j] = p[j];
    }
    const double fptt = Evaluate(f, ptt);
    if (fptt < fp) {
      const double t =
          2.0 * (fp - 2.0 * fret + fptt) * std::sqrt(fp - fret - del) - del * std::sqrt(fp - fptt);
      if (t < 0.0) {
        KZ_LineMinimize(p, xit, n, &fret, f);
        for (int j = 0; j < n; ++j) xi[j][ibig] = xit[j];
      }
    }
  }
}
