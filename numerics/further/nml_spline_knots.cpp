// Knot optimisation of the spline least-squares fit: redistribution of the knots by the
// highest derivative (de Boor's NEWNOT), then sweeps of one-dimensional minimisations over
// each interior knot with extrapolation of the knot positions from successive sweeps.
#include <algorithm>
#include <cmath>
#include <vector>

#include "numerics/further/nml_spline.h"

namespace {

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }
inline void SetReal(int k, float v) { nml_error_set_float(k, v); }
inline void SetReal(int k, double v) { nml_error_set_double(k, v); }

template <class T>
T Sign(T v) {
  return v < 0 ? T(-1) : T(1);
}

// ---------------------------------------------------------------------------------------
// The minimiser

template <class T>
class Minimiser {
 public:
  Minimiser(nml_minimiser_state<T>& s, T a, T b, int maxfn) : s_(s), a_(a), b_(b), maxfn_(maxfn) {}

  // Returns true when a new point is requested in *x.
  bool Value(T x, T f, T stepArg, T accArg, T* out) {
    x_ = x;
    f_ = f;
    out_ = out;
    switch (s_.stage) {
      case 1:
        return First(stepArg, accArg);
      case 2:
        s_.stage = 3;
        if (f < s_.fbest) return Improvement(true);
        s_.x1 = x;
        s_.f1 = f;
        if (s_.xbest == a_ || s_.xbest == b_) return Reduction();
        s_.step = -s_.step;
        return TakeStep();
      default:
        s_.x3 = s_.x1;
        s_.f3 = s_.f1;
        if (f < s_.fbest) return Improvement(false);
        if (s_.phase >= 4) {
          s_.x1 = x;
          s_.f1 = f;
          return FourPoint();
        }
        if (s_.phase == 3) return Finish(3);
        s_.x2 = x;
        s_.f2 = f;
        s_.phase = 4;
        return Quadratic();
    }
  }

 private:
  bool First(T stepArg, T accArg) {
    s_.stage = 2;
    s_.xbest = x_;
    s_.fbest = f_;
    s_.status = 0;
    s_.phase = 1;
    if (x_ < a_ || x_ > b_) return Finish(6);
    s_.acc = std::max(T(0), accArg);
    s_.left = x_ - a_;
    s_.right = b_ - x_;
    s_.room = std::max(s_.left, s_.right);
    if (s_.acc >= s_.room) return Finish(2);
    T step = stepArg;
    for (int attempt = 0; attempt < 2; ++attempt) {
      step = Clip(step);
      const T to = s_.xbest + step;
      if (a_ <= to && to <= b_) {
        s_.step = step;
        return TakeStep();
      }
      step = -step;
    }
    return Finish(2);
  }

  T Clip(T step) const {
    if (step > 0) step = std::min(step, s_.right);
    if (step < 0) step = std::max(step, -s_.left);
    if (step == 0) step = s_.right < s_.left ? T(-0.01) * s_.room : T(0.01) * s_.room;
    if (std::fabs(step) < s_.acc) step = step < 0 ? -s_.acc : s_.acc;
    // A step that does not move the point in the working precision is enlarged.
    for (int i = 0; i < 60; ++i) {
      const T half = s_.xbest + std::fabs(step) / 2;
      if (s_.xbest < half && half < s_.xbest + std::fabs(step)) break;
      step *= 5;
    }
    return step;
  }

  bool TakeStep() {
    T x = s_.xbest + s_.step;
    const T far = s_.xbest + T(1.5) * s_.step;
    if (far <= a_) {
      x = a_;
      s_.phase = 2;
    } else if (far >= b_) {
      x = b_;
      s_.phase = 2;
    }
    return Request(x);
  }

  bool Request(T x) {
    if (s_.count >= maxfn_) return Finish(4);
    ++s_.count;
    *out_ = x;
    return true;
  }

  bool Improvement(bool second) {
    s_.x1 = s_.xbest;
    s_.f1 = s_.fbest;
    s_.xbest = x_;
    s_.fbest = f_;
    if (s_.phase >= 4) return FourPoint();
    if (s_.phase == 3) {
      s_.x2 = s_.x3;
      s_.f2 = s_.f3;
      s_.phase = 4;
      return Quadratic();
    }
    if (s_.phase == 2) return Reduction();
    T m = 9;
    if (!second) {
      const T r1 = (s_.xbest - s_.x1) / (s_.xbest - s_.x3);
      const T r2 = (s_.fbest - s_.f1) / (s_.fbest - s_.f3);
      if (r1 > r2) m = T(1.5) * (r1 - r2 / r1) / (r2 - r1);
      m = std::min(m, T(9));
      m = std::max(m, T(2));
    }
    s_.step *= m;
    return TakeStep();
  }

  bool Reduction() {
    s_.phase = 3;
    const T d = std::max(T(0.9) * s_.acc, T(0.01) * std::fabs(s_.xbest - s_.x1));
    T x = s_.xbest + (s_.x1 >= s_.xbest ? d : -d);
    if (std::fabs(x - s_.x1) < std::fabs(x - s_.xbest)) x = (s_.xbest + s_.x1) / 2;
    if ((s_.xbest - x) / (s_.xbest - s_.x1) <= 0) return Finish(3);
    return Request(x);
  }

  void Swap23() {
    std::swap(s_.x2, s_.x3);
    std::swap(s_.f2, s_.f3);
  }

  bool FourPoint() {
    if ((s_.xbest - s_.x1) / (s_.x2 - s_.x3) <= 0) Swap23();
    for (int guard = 0; guard < 4 && s_.fbest == s_.f1 && s_.fbest == s_.f3 && s_.fbest != s_.f2;
         ++guard) {
      s_.x1 = s_.xbest;
      s_.f1 = s_.fbest;
      s_.xbest = x_;
      s_.fbest = f_;
      Swap23();
    }
    return Quadratic();
  }

  bool Quadratic() {
    s_.s1 = (s_.fbest - s_.f2) / (s_.xbest - s_.x2);
    s_.s2 = (s_.f1 - s_.fbest) / (s_.x1 - s_.xbest);
    if (s_.phase == 4) {
      s_.stepmin = T(0.01) * std::fabs(s_.x2 - s_.x1);
      s_.phase = 5;
    } else {
      s_.s3 = (s_.f3 - s_.f1) / (s_.x3 - s_.x1);
      s_.stepmin = 0;
      if (s_.s2 != 0) {
        s_.stepmin = std::fabs(s_.x2 - s_.x1);
        if ((s_.s3 - s_.s2) / (s_.x2 - s_.x1) < 0)
          s_.stepmin =
              std::min(s_.stepmin, T(0.5) * std::fabs(((s_.x3 - s_.xbest) / (s_.s3 - s_.s2) +
                                                       (s_.x2 - s_.x1) / (s_.s2 - s_.s1)) *
                                                      s_.s2));
      }
    }
    s_.stepmin = std::max(s_.stepmin, T(0.9) * s_.acc);
    T x = s_.xbest;
    if (s_.s1 != s_.s2)
      x = T(0.5) * ((s_.xbest + s_.x1) * s_.s1 - (s_.x2 + s_.xbest) * s_.s2) / (s_.s1 - s_.s2);
    if ((s_.x2 - s_.xbest) / (s_.xbest - s_.x1) < 1) {
      std::swap(s_.x1, s_.x2);
      std::swap(s_.f1, s_.f2);
    }
    const T gap = std::fabs(s_.x2 - s_.xbest);
    if (gap <= s_.acc) return Finish(0);
    const T sigma = Sign(s_.x2 - s_.xbest);
    if ((s_.x2 - s_.xbest) / (s_.xbest - s_.x1) > 10) {
      const T big =
          std::max({T(3) * sigma * (x - s_.xbest), s_.stepmin, std::fabs(s_.xbest - s_.x1)});
      x = s_.xbest + sigma * std::min(big, T(0.1) * gap);
    } else if (gap <= T(2.9) * s_.acc) {
      x = (s_.x2 + s_.xbest) / 2;
      if (std::fabs(x - s_.xbest) > s_.acc) x = T(0.67) * s_.xbest + T(0.33) * s_.x2;
    } else if (std::fabs(x - s_.xbest) < s_.stepmin) {
      x = s_.xbest + (x - s_.xbest < 0 ? -s_.stepmin : s_.stepmin);
      if (std::fabs(x - s_.x1) < std::fabs(x - s_.xbest)) x = s_.xbest + sigma * s_.stepmin;
      if (std::fabs(x - s_.x2) < std::fabs(x - s_.xbest)) x = (s_.x2 + s_.xbest) / 2;
    }
    auto invalid = [&](T v) {
      return v == s_.xbest || (s_.x2 - v) / (s_.x2 - s_.xbest) <= 0 ||
             (v - s_.x1) / (s_.x2 - s_.xbest) <= 0;
    };
    if (invalid(x)) {
      // Fall back towards the far point, halving while the point is still not usable.
      x = s_.x2;
      while (invalid(x)) {
        const T m = (x + s_.xbest) / 2;
        if (!((m - s_.xbest) / (s_.x2 - s_.xbest) > 0 && (x - m) / (s_.x2 - s_.xbest) > 0)) break;
        x = m;
      }
      if (x == s_.x2) return Finish(5);
    }
    return Request(x);
  }

  bool Finish(int status) {
    s_.status = status;
    switch (status) {
      case 2:
        nml_error_post(NML_WARNING, 3061);
        break;
      case 6:
        nml_error_post(NML_TERMINAL, 3062);
        break;
      case 5:
        nml_error_post(NML_WARNING, 3063);
        break;
      case 3:
        nml_error_post(NML_WARNING, 3064);
        break;
      case 4:
        nml_error_set_int(1, maxfn_);
        nml_error_post(NML_WARNING, 3065);
        break;
      default:
        break;
    }
    *out_ = s_.xbest;
    return false;
  }

  nml_minimiser_state<T>& s_;
  T a_, b_;
  int maxfn_;
  T x_ = 0, f_ = 0;
  T* out_ = nullptr;
};

template <class T>
void B7vls(int* ido, T* f, T a, T b, T guess, T step, T acc, int maxfn, T* x,
           nml_minimiser_state<T>* s) {
  nml::NameScope scope("NML_B7VLS ");
  if (*ido == 0) {
    *s = nml_minimiser_state<T>{};
    *x = guess;
    s->count = 1;
    s->stage = 1;
    *ido = 1;
    return;
  }
  Minimiser<T> m(*s, a, b, maxfn);
  if (m.Value(*x, *f, step, acc, x)) {
    *ido = 1;
  } else {
    *f = s->fbest;
    *ido = 2;
  }
}

// ---------------------------------------------------------------------------------------
// Redistribution, residual and extrapolation

template <class T>
void Newnot(const T* brk, const T* pp, int l, int k, T* brknew, int lnew) {
  auto B = [brk](int i) { return brk[i - 1]; };
  auto P = [pp, k](int m, int j) { return pp[(j - 1) * k + (m - 1)]; };
  brknew[0] = B(1);
  brknew[lnew] = B(l + 1);
  bool equal = l <= 1;
  if (!equal) {
    std::vector<T> g(static_cast<std::size_t>(l) + 1), s(static_cast<std::size_t>(l) + 1);
    const T p = T(1) / static_cast<T>(k);
    T oldb = std::fabs(P(k, 2) - P(k, 1)) / (B(3) - B(1));
    s[1] = 0;
    for (int i = 2; i <= l; ++i) {
      const T nb = std::fabs(P(k, i) - P(k, i - 1)) / (B(i + 1) - B(i - 1));
      g[i - 1] = std::pow(nb + oldb, p);
      s[i] = s[i - 1] + (B(i) - B(i - 1)) * g[i - 1];
      oldb = nb;
    }
    g[l] = std::pow(2 * oldb, p);
    const T stepi = (s[l] + (B(l + 1) - B(l)) * g[l]) / static_cast<T>(lnew);
    if (stepi > 0) {
      int j = 1;
      for (int i = 2; i <= lnew; ++i) {
        const T target = static_cast<T>(i - 1) * stepi;
        while (j != l && s[j + 1] < target) ++j;
        brknew[i - 1] = g[j] == 0 ? (B(j) + B(j + 1)) / 2 : B(j) + (target - s[j]) / g[j];
      }
    } else {
      equal = true;
    }
  }
  if (equal)
    for (int i = 2; i <= lnew; ++i)
      brknew[i - 1] = B(1) + static_cast<T>(i - 1) * (B(l + 1) - B(1)) / static_cast<T>(lnew);
}

template <class T>
struct Fit {
  int ndata, k, n;
  const T *xs, *fs, *ws;
  std::vector<T> coef, q, scratch, pp, brk, cppwork, w3;

  Fit(int nd, int kk, int nn, const T* x, const T* f, const T* w)
      : ndata(nd),
        k(kk),
        n(nn),
        xs(x),
        fs(f),
        ws(w),
        coef(nn),
        q(static_cast<std::size_t>(kk) * nn),
        scratch(3 * static_cast<std::size_t>(kk)),
        pp(static_cast<std::size_t>(kk) * nn),
        brk(static_cast<std::size_t>(nn) + 2),
        cppwork(static_cast<std::size_t>(kk) * (kk + 3)),
        w3(3 * static_cast<std::size_t>(kk)) {}

  bool Solve(const T* t) {
    NML_B4LSQ(&ndata, xs, fs, ws, &k, t, &n, coef.data(), q.data(), scratch.data());
    return nml_error_type(1) < NML_FATAL;
  }

  int ToPiecewise(const T* t) {
    int l = 0;
    T* wk = cppwork.data();
    NML_B3CPP(&k, t, &n, coef.data(), &l, brk.data(), pp.data(), wk + 3 * k, wk, wk + k,
              wk + 2 * k);
    return l;
  }

  T Ssq(const T* t) {
    double sum = 0;
    if (n - k < ndata / k) {
      const int l = ToPiecewise(t);
      for (int i = 0; i < ndata; ++i) {
        const double e = fs[i] - NML_PPDER(0, xs[i], k, l, brk.data(), pp.data());
        sum += ws[i] * e * e;
      }
    } else {
      const int zero = 0;
      for (int i = 0; i < ndata; ++i) {
        const double e = fs[i] - nml_bvalue(&zero, &xs[i], &k, t, &n, coef.data(), w3.data(),
                                            w3.data() + k, w3.data() + 2 * k);
        sum += ws[i] * e * e;
      }
    }
    return static_cast<T>(sum);
  }
};

template <class T>
bool NewnotSweep(int iterations, Fit<T>& fit, T* t) {
  const int k = fit.k, n = fit.n, lnew = n - k + 1;
  std::vector<T> brknew(static_cast<std::size_t>(lnew) + 1);
  for (int it = 0; it < iterations; ++it) {
    const int l = fit.ToPiecewise(t);
    fit.brk[l] = t[n];
    Newnot(fit.brk.data(), fit.pp.data(), l, k, brknew.data(), lnew);
    for (int i = 0; i <= lnew; ++i) t[k - 1 + i] = brknew[i];
    if (!fit.Solve(t)) return false;
  }
  return true;
}

template <class T>
void KnotExtrapolate(const T* copies, int k, int n, T* tnew) {
  auto C = [copies](int c, int i) { return copies[(i - 1) * 3 + (c - 1)]; };
  const T lo = C(1, k), hi = C(1, n + 1);
  std::vector<T> inner;
  for (int i = k + 1; i <= n; ++i) {
    const T d23 = (C(2, i) - C(3, i)) / 2;
    const T e = (C(3, i) - d23) + ((C(1, i) - C(2, i)) / 9 - d23) * static_cast<T>(0.33333334);
    inner.push_back(lo < e && e < hi ? e : C(3, i));
  }
  if (!inner.empty()) SVRGN(static_cast<int>(inner.size()), inner.data(), inner.data());
  for (int i = 0; i < k; ++i) tnew[i] = lo;
  for (std::size_t i = 0; i < inner.size(); ++i) tnew[k + i] = inner[i];
  for (int i = n; i < n + k; ++i) tnew[i] = hi;
}

// More than k equal values in a run.
template <class T>
bool Coincide(const T* t, int k, int n) {
  int count = 1;
  for (int i = 1; i < n + k; ++i) {
    count = t[i] == t[i - 1] ? count + 1 : 1;
    if (count > k) return true;
  }
  return false;
}

template <class T>
void B3vls(int ndata, T* xs, const T* fs, const T* ws, int k, int n, T* tguess, T* t, T* bscoef,
           T* ssqOut) {
  nml::NameScope scope("NML_B3VLS");
  T eps = Mach(T(), 4);
  const T h = std::sqrt(eps);
  const std::size_t nk = static_cast<std::size_t>(n) + k;
  const T x0 = xs[0], range = xs[ndata - 1] - xs[0];
  const T scale = range > 0 ? range : T(1);
  for (int i = 0; i < ndata; ++i) xs[i] = (xs[i] - x0) / scale;
  for (std::size_t i = 0; i < nk; ++i) tguess[i] = (tguess[i] - x0) / scale;
  auto restore = [&] {
    for (std::size_t i = 0; i < nk; ++i) {
      tguess[i] = tguess[i] * scale + x0;
      t[i] = t[i] * scale + x0;
    }
  };
  Fit<T> fit(ndata, k, n, xs, fs, ws);
  T ssqold = Mach(T(), 2);
  const int nint = n - k > 0 ? n - k : 1;
  std::copy(tguess, tguess + nk, t);
  if (!fit.Solve(t)) return restore();
  const T ssq0 = fit.Ssq(t);
  if (!NewnotSweep(15, fit, t)) return restore();
  const T ssq1 = fit.Ssq(t);
  if (ssq0 < ssq1) std::copy(tguess, tguess + nk, t);
  int nlow = 0, nhigh = 0;
  for (int i = k + 1; i <= n; ++i) {
    if (t[i - 1] <= n * h) ++nlow;
    if (t[i - 1] >= 1 - n * h) ++nhigh;
  }
  for (int i = 1; i <= nlow; ++i) t[k + i - 1] = i * h;
  for (int i = 1; i <= nhigh; ++i) t[n - i] = 1 - i * h;
  const T tol = 100 * eps * (t[n] - t[k - 1]) / (2 * nint);

  std::vector<T> spacing(nk + 1), copies(3 * nk), tnew(nk);
  auto copyTo = [&](int c) {
    for (std::size_t i = 0; i < nk; ++i) copies[i * 3 + (c - 1)] = t[i];
  };
  T ssq = fit.Ssq(t);
  nml_minimiser_state<T> state;
  for (int itry = 1; itry <= 2; ++itry) {
    for (int i = k + 1; i <= n; ++i) spacing[i] = t[i] - t[i - 2];
    bool nextTry = false;
    for (int isweep = 1; isweep <= 2 && !nextTry; ++isweep) {
      const bool up = (isweep + itry + 1) % 2 == 0;
      copyTo(1);
      for (int ipass = 1; ipass <= 2 && !nextTry; ++ipass) {
        for (int v = 0; v < n - k; ++v) {
          const int i = up ? k + 1 + v : n - v;
          const T delta = spacing[i] / (std::pow(T(2), itry) + 2);
          if (!(delta > tol)) continue;
          const T a = i == k + 1 ? h : t[i - 2];
          const T b = i == n ? 1 - h : t[i];
          const T guess = t[i - 1];
          const T acc = std::max(100 * eps, delta) / std::pow(T(2), itry + 2);
          const int maxfn = 4 * itry + 6;
          int ido = 0;
          T x = guess, fv = 0;
          B7vls(&ido, &fv, a, b, guess, delta, acc, maxfn, &x, &state);
          while (ido == 1) {
            t[i - 1] = x;
            if (!fit.Solve(t)) return restore();
            fv = fit.Ssq(t);
            B7vls(&ido, &fv, a, b, guess, delta, acc, maxfn, &x, &state);
          }
          if (nml_error_type(1) >= NML_FATAL) return restore();
          t[i - 1] = x;
          ssq = fv;
        }
        T largest = 0;
        for (int i = k + 1; i <= n; ++i) {
          spacing[i] = std::fabs(t[i - 1] - copies[(i - 1) * 3]);
          largest = std::max(largest, spacing[i]);
        }
        if (largest / 4 <= tol) {
          nextTry = true;
          break;
        }
        copyTo(ipass + 1);
      }
      if (nextTry) break;
      if (std::fabs(ssqold - ssq) <= 100 * eps * ssq) break;
      ssqold = ssq;
      KnotExtrapolate(copies.data(), k, n, tnew.data());
      if (!fit.Solve(tnew.data())) return restore();
      ssq = fit.Ssq(tnew.data());
      if (ssqold <= ssq)
        ssq = ssqold;
      else
        std::copy(tnew.begin(), tnew.end(), t);
    }
  }

  std::vector<T> tbest(t, t + nk);
  int spreads = 0;
  while (Coincide(tbest.data(), k, n)) {
    nml_error_post(NML_WARNING, 3059);
    for (int i = k + 1; i <= n + 1; ++i) tbest[i - 1] += i * eps;
    eps *= 10;
    if (++spreads == 4) {
      nml_error_post(NML_FATAL, 3060);
      *ssqOut = std::sqrt(ssq);
      return restore();
    }
  }
  if (spreads > 0) std::copy(tbest.begin(), tbest.end(), t);
  for (int i = 0; i < k - 1; ++i) t[i] = t[k - 1];
  for (int i = n + 1; i < n + k; ++i) t[i] = t[n];
  if (!fit.Solve(t)) return restore();
  std::copy(fit.coef.begin(), fit.coef.end(), bscoef);
  *ssqOut = std::sqrt(fit.Ssq(t));
  restore();
}

template <class T>
void B2vls(int ndata, const T* x, const T* f, const T* w, int k, int n, T* tguess, T* t, T* bscoef,
           T* ssq, int* iperm) {
  nml::NameScope scope("NML_B2VLS ");
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3031);
    return;
  }
  if (n <= k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    nml_error_post(NML_TERMINAL, 3032);
    return;
  }
  if (ndata < n) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, ndata);
    nml_error_post(NML_TERMINAL, 3051);
    return;
  }
  int count = 1;
  for (int i = 2; i <= n + k; ++i) {
    const T prev = tguess[i - 2], cur = tguess[i - 1];
    if (prev == cur) {
      if (++count > k) {
        nml_error_set_int(1, i - count);
        nml_error_set_int(2, i - 1);
        SetReal(1, cur);
        nml_error_set_int(3, k);
        nml_error_set_string(1, "X");
        nml_error_post(NML_FATAL, 3057);
        return;
      }
    } else if (cur < prev) {
      nml_error_set_int(1, i - 2);
      nml_error_set_int(2, i - 1);
      SetReal(1, prev);
      SetReal(2, cur);
      nml_error_set_string(1, "X");
      nml_error_post(NML_FATAL, 3058);
      return;
    } else {
      count = 1;
    }
  }
  nml_lsq_check(&ndata, &k, tguess, w, &n);
  if (nml_error_code(0) != 0 && nml_error_type(0) >= NML_FATAL) return;
  const std::size_t nd = static_cast<std::size_t>(ndata);
  std::vector<T> xs(nd), fs(nd), ws(nd);
  for (int i = 0; i < ndata; ++i) iperm[i] = i + 1;
  nml_svrgp(ndata, x, xs.data(), iperm);
  for (int i = 0; i < ndata; ++i) {
    fs[i] = f[iperm[i] - 1];
    ws[i] = w[iperm[i] - 1];
  }
  B3vls(ndata, xs.data(), fs.data(), ws.data(), k, n, tguess, t, bscoef, ssq);
}

}  // namespace

template <class T>
void NML_B2VLS(const int* ndata, const T* x, const T* f, const T* w, const int* k, const int* n,
               T* tguess, T* t, T* bscoef, T* ssq, int* iwork, T* /*work*/) {
  B2vls(*ndata, x, f, w, *k, *n, tguess, t, bscoef, ssq, iwork);
}

template <class T>
void NML_B7VLS(int* ido, T* f, const T* a, const T* b, const T* guess, const T* step, const T* acc,
               const int* maxfn, T* x, nml_minimiser_state<T>* state) {
  B7vls(ido, f, *a, *b, *guess, *step, *acc, *maxfn, x, state);
}

template <class T>
void nml_newnot(const T* brk, const T* pp, const int* l, const int* k, T* brknew, const int* lnew,
                T* /*scratch*/) {
  Newnot(brk, pp, *l, *k, brknew, *lnew);
}

template <class T>
void SVRGN(int n, const T* source, T* target) {
  if (n < 1) {
    nml::NameScope scope("SVRGN");
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 615);
    return;
  }
  if (source != target) std::copy(source, source + n, target);
  std::sort(target, target + n);
}

template <class T>
int nml_index_of_max(int n, const T* v, int stride) {
  if (n < 1) return 0;
  int best = 1;
  for (int i = 2; i <= n; ++i)
    if (v[(i - 1) * stride] > v[(best - 1) * stride]) best = i;
  return best;
}

#define NML_KNOT_KERNELS(T)                                                                        \
  template void NML_B2VLS<T>(const int*, const T*, const T*, const T*, const int*, const int*, T*, \
                             T*, T*, T*, int*, T*);                                                \
  template void NML_B7VLS<T>(int*, T*, const T*, const T*, const T*, const T*, const T*,           \
                             const int*, T*, nml_minimiser_state<T>*);                             \
  template void nml_newnot<T>(const T*, const T*, const int*, const int*, T*, const int*, T*);     \
  template void SVRGN<T>(int, const T*, T*);                                                       \
  template int nml_index_of_max<T>(int, const T*, int);

NML_KNOT_KERNELS(float)
NML_KNOT_KERNELS(double)
