// The nonlinear least-squares fits in one design for both precisions: the trust-region
// hook step on a pivoted QR factor, the damped solve by Givens rotations, the trust-region
// update, the parameter check, forward differences, the stopping tests, the drivers of the
// unbounded and the bounded (active-set) fit, the rank and (J'J)^-1 at the solution, and
// the public routines' body.
//
// K supplies, for its precision: the user-function types Fcn and Jac; Eps, Safe, Mach; the
// kernels Nrm2 (unit stride, scaled), Powi, ScaledCopy, Csfrg, Qr (the pivoted Householder
// QR), Rotg, Rot, Scal, Rcovb; SetReal (a message argument); the defaults
// DefaultGradientTolerance and RelativeToleranceFloor; and the switches RowSumPrediction
// (the predicted reduction from row sums of R instead of ||R P's||), UpperPhi0 (phi'(0)
// by the upper-triangle solve instead of one with R'), kBoundedTakesRankOptions (the
// bounded fit also takes the rank, (J'J)^-1 and pass-limit options, and limits its
// passes) and kCheckBoundOrder (a lower bound above its upper bound is refused).
//
// Matrices are column-ordered with 1-based indices, as the kernels take them.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numerics/nml_runtime.h"

namespace nml::nlsq {

// Option codes of the fits.
enum : int {
  kJacobianRank = 10049,
  kRankTolerance = 10053,
  kRankToleranceAdr = 11003,
  kInitialGuess = 10100,
  kMaxFcnEvals = 10103,
  kInitialTrustRadius = 10104,
  kXScale = 10106,
  kFScale = 10107,
  kGradientTolerance = 10108,
  kStepTolerance = 10109,
  kRelFcnTolerance = 10110,
  kMaxStep = 10111,
  kGoodDigits = 10112,
  kMaxIterations = 10113,
  kJacobianFcn = 10118,
  kAbsFcnTolerance = 10290,
  kMaxJacobianEvals = 10291,
  kInternalScaling = 10292,
  kResiduals = 10293,
  kResidualsUser = 10294,
  kJacobian = 10295,
  kJacobianUser = 10296,
  kJacobianColDim = 10297,
  kJtjInverse = 10298,
  kJtjInverseUser = 10299,
  kJtjInverseColDim = 10300,
  kGradientToleranceAdr = 11026,
  kStepToleranceAdr = 11027,
  kRelFcnToleranceAdr = 11028,
  kMaxStepAdr = 11029,
  kAbsFcnToleranceAdr = 11033,
  kInitialTrustRadiusAdr = 11034,
  kHookPassLimit = 11096,
};

// TERMINAL error of the bounded fit for an empty box (index from 0, lower, upper bound).
constexpr int kBoundOrderError = 8023;

// State shared by the step, the update and the stopping tests during one fit.
template <class T>
struct StepState {
  int rank;      // rank of R used by the Gauss-Newton step
  T delta_prev;  // trust radius at the end of the last step computation
  T gn_len;      // ||D*sn||
  T phi;         // scaled step length minus radius, last pass
  T phi_prime;   // its derivative, last pass
  T phi_prime0;  // derivative at mu = 0 (Gauss-Newton step)
  T ginv_norm;   // ||D^-1 g||
  T doubled_f;   // f of the last doubled trial point (0: none)
  int maxsteps;  // count of maximum-length steps
};

// Tolerances and limits handed to the stopping tests.
template <class T>
struct Tolerances {
  T gtol, steptol, rftol, aftol, fctol;
  int itmax, maxfcn, maxjac;
};

// What the bounded fit adds to the trust-region update.
template <class T>
struct BoundCtx {
  const T* xlb;
  const T* xub;
  int nfree;
  const int* freeidx;  // 0-based full index of each compressed position
  const T* sc;         // compressed step as the step computation returned it
};

template <class T>
inline T& At(T* a, int ld, int i, int j) {
  return a[(std::size_t)(j - 1) * ld + (i - 1)];
}
template <class T>
inline const T& At(const T* a, int ld, int i, int j) {
  return a[(std::size_t)(j - 1) * ld + (i - 1)];
}

// Calls the caller's function with the error state marked as user code.
template <class T, class K>
inline void CallFcn(typename K::Fcn fcn, int m, int n, T* x, T* f) {
  nml_error_user_code("ON");
  fcn(m, n, x, f);
  nml_error_user_code("OFF");
}

// True when the routine that returned last ended with a FATAL or TERMINAL error. The
// pending type of the caller cannot tell: an earlier immediate warning (type 6) outranks
// a later FATAL (type 4) there.
inline bool CalleeFailed() {
  const int t = nml_error_type(1);
  return t == 4 || t == 5;
}

// Half the squared Euclidean norm of f[0..m-1]: the objective of the fits.
template <class T, class K>
inline T HalfSqNorm(int m, const T* f) {
  const T nrm = K::Nrm2(m, f);
  return T(0.5) * nrm * nrm;
}

// g = J' E^2 f for the m by n Jacobian fjac (column order, leading dimension ld) and the
// row weights e: the gradient of the weighted objective.
template <class T>
inline void WeightedGradient(int m, int n, const T* fjac, int ld, const T* e, const T* f, T* g) {
  for (int j = 0; j < n; ++j) {
    const T* col = fjac + static_cast<std::size_t>(j) * ld;
    T sum = T(0);
    for (int i = 0; i < m; ++i) sum += col[i] * e[i] * e[i] * f[i];
    g[j] = sum;
  }
}

template <class T, class K>
void ScaleVector(int n, const T* d, int k, const T* x, T* y) {
  for (int i = 0; i < n; ++i) {
    if (k == 1)
      y[i] = x[i] * d[i];
    else if (k == -1)
      y[i] = x[i] / d[i];
    else if (k < -1)
      y[i] = x[i] / K::Powi(d[i], -k);
    else
      y[i] = K::Powi(d[i], k) * x[i];
  }
}

template <class T>
void UpdateScaling(int iteration, int n, const T* norms, T* d) {
  for (int j = 0; j < n; ++j) {
    d[j] = iteration == 1 ? norms[j] : std::max(d[j], norms[j]);
    if (d[j] <= T(1e-6)) d[j] = T(1.0);
  }
}

template <class T>
void ApplyQt(int m, int n, const T* qr, int ld, const T* aux, T* y, T* out) {
  for (int j = 1; j <= n; ++j) {
    if (aux[j - 1] != T(0.0)) {
      T t = aux[j - 1] * y[j - 1];
      for (int i = j + 1; i <= m; ++i) t += At(qr, ld, i, j) * y[i - 1];
      t = -t / aux[j - 1];
      y[j - 1] += t * aux[j - 1];
      for (int i = j + 1; i <= m; ++i) y[i - 1] += t * At(qr, ld, i, j);
    }
    out[j - 1] = y[j - 1];
  }
}

template <class T>
void UpperSolve(int k, const T* r, int ld, const T* b, T* x) {
  if (k <= 0) return;
  x[k - 1] = b[k - 1] / At(r, ld, k, k);
  for (int i = k - 1; i >= 1; --i) {
    T sum = T(0.0);
    for (int j = i + 1; j <= k; ++j) sum += At(r, ld, i, j) * x[j - 1];
    x[i - 1] = (b[i - 1] - sum) / At(r, ld, i, i);
  }
}

template <class T, class K>
void LmSolve(int n, T* r, int ld, const int* p, const T* z, const T* w, T* s, T* sdiag, T* work) {
  int nn = n, lda = ld;
  K::Csfrg(&nn, r, &lda);
  for (int j = 1; j <= n; ++j) {
    s[j - 1] = At(r, ld, j, j);
    work[j - 1] = w[j - 1];
  }
  for (int j = 1; j <= n; ++j) {
    const int l = p[j - 1];
    if (z[l - 1] != T(0.0)) {
      for (int k = j; k <= n; ++k) sdiag[k - 1] = T(0.0);
      sdiag[j - 1] = z[l - 1];
      T c0 = T(0.0);
      for (int k = j; k <= n; ++k) {
        if (sdiag[k - 1] == T(0.0)) continue;
        T& rkk = At(r, ld, k, k);
        T cs, sn;
        if (std::fabs(rkk) < std::fabs(sdiag[k - 1])) {
          const T ct = rkk / sdiag[k - 1];
          sn = T(0.5) / std::sqrt(T(0.25) + T(0.25) * ct * ct);
          cs = sn * ct;
        } else {
          const T tn = sdiag[k - 1] / rkk;
          cs = T(0.5) / std::sqrt(T(0.25) + T(0.25) * tn * tn);
          sn = cs * tn;
        }
        rkk = cs * rkk + sn * sdiag[k - 1];
        const T wk = work[k - 1];
        work[k - 1] = cs * wk + sn * c0;
        c0 = -sn * wk + cs * c0;
        for (int i = k + 1; i <= n; ++i) {
          T& rik = At(r, ld, i, k);
          const T a = rik, b = sdiag[i - 1];
          rik = cs * a + sn * b;
          sdiag[i - 1] = -sn * a + cs * b;
        }
      }
    }
    sdiag[j - 1] = At(r, ld, j, j);
    At(r, ld, j, j) = s[j - 1];
  }
  int nsing = n;
  for (int j = 1; j <= n; ++j) {
    if (sdiag[j - 1] == T(0.0) && nsing == n) nsing = j - 1;
    if (nsing < n) work[j - 1] = T(0.0);
  }
  for (int j = nsing; j >= 1; --j) {
    T sum = T(0.0);
    for (int i = j + 1; i <= nsing; ++i) sum += At(r, ld, i, j) * work[i - 1];
    work[j - 1] = (work[j - 1] - sum) / sdiag[j - 1];
  }
  for (int j = 1; j <= n; ++j) s[p[j - 1] - 1] = work[j - 1];
}

template <class T, class K>
void HookStep(int n, const T* g, T* r, int ld, const int* p, const T* d, const T* w, T maxstep,
              T* delta, T* mu, int* first, T* s, T* sn, int* gnflag, T* sdiag, T* work1, T* work2,
              int passlimit, StepState<T>* st, bool bounded = false) {
  static const char* const name = "l_u7lsf";
  nml_error_push_name(name);
  const T eps = K::Eps();
  const T tiny = K::Safe();

  if (*delta == -T(999.0)) {
    *mu = T(0.0);
    for (int j = 0; j < n; ++j) work1[j] = g[j] / d[j];
    const T a = K::Nrm2(n, work1);
    for (int j = 1; j <= n; ++j) {
      T sum = T(0.0);
      for (int i = j; i <= n; ++i) {
        const int pi = p[i - 1] - 1;
        sum += At(r, ld, j, i) * g[pi] / (d[pi] * d[pi]);
      }
      work2[j - 1] = sum;
    }
    const T b = K::Nrm2(n, work2);
    T dl;
    if (b > tiny)
      dl = ((a / b) * a / b) * a;
    else
      dl = bounded ? a * a * a : a * std::sqrt(a);
    *delta = std::min(dl, maxstep);
  }

  if (*first) {
    int rank = n;
    for (int j = 1; j <= n; ++j) {
      if (At(r, ld, j, j) == T(0.0) && rank == n) rank = j - 1;
      if (rank < n) work1[j - 1] = T(0.0);
    }
    UpperSolve<T>(rank, r, ld, w, work1);
    for (int j = 1; j <= n; ++j) sn[p[j - 1] - 1] = -work1[j - 1];
    st->rank = rank;
    for (int j = 0; j < n; ++j) work2[j] = d[j] * sn[j];
    st->gn_len = K::Nrm2(n, work2);
    for (int j = 0; j < n; ++j) work2[j] = g[j] / d[j];
    st->ginv_norm = K::Nrm2(n, work2);
  }

  const T gnlen = st->gn_len;
  if (gnlen <= T(1.5) * *delta) {
    *gnflag = 1;
    for (int j = 0; j < n; ++j) s[j] = sn[j];
    *mu = T(0.0);
    *delta = std::min(*delta, gnlen);
  } else {
    *gnflag = 0;
    if (*mu > T(0.0))
      *mu -= ((st->phi + st->delta_prev) / *delta) *
             (((st->delta_prev - *delta) + st->phi) / st->phi_prime);
    st->phi = gnlen - *delta;
    T low;
    if (st->rank == n) {
      if (*first) {
        *first = 0;
        for (int j = 1; j <= n; ++j) {
          const int pj = p[j - 1] - 1;
          work1[j - 1] = d[pj] * d[pj] * sn[pj];
        }
        if (K::UpperPhi0()) {
          // The library's own form: back substitution with the upper triangle of R, the
          // same solve as the Gauss-Newton step's.
          UpperSolve<T>(n, r, ld, work1, work1);
        } else {
          // phi'(0) = -||R^-T P' D^2 sn||^2 / ||D sn||: forward substitution with R'.
          for (int j = 1; j <= n; ++j) {
            T sum = T(0.0);
            for (int i = 1; i < j; ++i) sum += At(r, ld, i, j) * work1[i - 1];
            work1[j - 1] = (work1[j - 1] - sum) / At(r, ld, j, j);
          }
        }
        const T un = K::Nrm2(n, work1);
        st->phi_prime0 = -(un * un) / gnlen;
      }
      low = -st->phi / st->phi_prime0;
    } else {
      *first = 0;
      low = T(0.0);
    }
    T high = st->ginv_norm / *delta;

    for (int pass = 0;; ++pass) {
      // mu = 0 with low = 0 (rank-deficient R) would repeat the same singular pass
      // forever: it counts as outside the bracket.
      if (*mu < low || *mu > high || (*mu <= T(0.0) && low <= T(0.0)))
        *mu = std::max(std::sqrt(low * high), T(0.001) * high);
      K::ScaledCopy(n, std::sqrt(*mu), d, 1, work1, 1);
      LmSolve<T, K>(n, r, ld, p, work1, w, s, sdiag, work2);
      for (int j = 0; j < n; ++j) s[j] = -s[j];
      for (int j = 0; j < n; ++j) work1[j] = d[j] * s[j];
      const T len = K::Nrm2(n, work1);
      st->phi = len - *delta;
      for (int j = 1; j <= n; ++j) {
        const int pj = p[j - 1] - 1;
        work2[j - 1] = d[pj] * work1[pj];
      }
      for (int j = 1; j <= n; ++j) {
        if (std::fabs(sdiag[j - 1]) >= tiny) work2[j - 1] /= sdiag[j - 1];
        for (int i = j + 1; i <= n; ++i) work2[i - 1] -= At(r, ld, i, j) * work2[j - 1];
      }
      const T vn = K::Nrm2(n, work2);
      st->phi_prime = -(vn * vn) / len;
      bool done = (T(0.75) * *delta <= len && len <= T(1.5) * *delta) || high - low <= eps;
      if (!done) {
        low = std::max(low, *mu - st->phi / st->phi_prime);
        if (st->phi < T(0.0)) high = *mu;
        *mu -= (st->phi / st->phi_prime) * (len / *delta);
      }
      if (pass > passlimit) {
        nml_error_set_int(1, passlimit);
        nml_error_post(4, 12115);
        break;
      }
      if (done) break;
      // A step length that is not a number (non-finite residuals or Jacobian) can never
      // come into the bracket: the search fails instead of running forever.
      if (!std::isfinite(len) || !std::isfinite(*mu)) {
        nml_error_set_int(1, pass + 1);
        nml_error_post(4, 12115);
        break;
      }
    }
  }
  st->delta_prev = *delta;
  nml_error_pop_name(name);
}

template <class T, class K>
void TrustRegionUpdate(typename K::Fcn fcn, int m, int n, const T* x, T f, const T* g, const T* r,
                       int ld, const int* p, T* s, const T* d, int gnflag, T maxstep, T* delta,
                       int* icode, T* xsaved, T* fsaved, T* xc, const T* fx, T* fc, T* f_c,
                       int* maxtaken, int* nfcn, const Tolerances<T>* tol, StepState<T>* st,
                       const BoundCtx<T>* bounds = nullptr) {
  const T tiny = K::Safe();
  *maxtaken = 0;
  // Scaled length of the step as computed (before any cut onto a bound).
  T steplen = T(0.0);
  for (int j = 0; j < n; ++j) steplen += (d[j] * s[j]) * (d[j] * s[j]);
  steplen = std::sqrt(steplen);
  bool inside = true;
  for (int j = 0; j < n; ++j) {
    xc[j] = x[j] + s[j];
    if (bounds) {
      if (xc[j] > bounds->xub[j]) {
        s[j] = bounds->xub[j] - x[j];
        xc[j] = bounds->xub[j];
        inside = false;
      } else if (xc[j] < bounds->xlb[j]) {
        s[j] = bounds->xlb[j] - x[j];
        xc[j] = bounds->xlb[j];
        inside = false;
      }
    }
  }
  CallFcn<T, K>(fcn, m, n, xc, fc);
  *nfcn += 1;
  *f_c = HalfSqNorm<T, K>(m, fc);
  const T df = *f_c - f;
  T slope = T(0.0);
  for (int j = 0; j < n; ++j) slope += g[j] * s[j];

  if (*icode != 5) st->doubled_f = T(0.0);

  auto relative_step = [&]() {
    T rel = T(0.0);
    for (int j = 0; j < n; ++j)
      rel = std::max(rel, std::fabs(s[j]) / std::max(std::fabs(xc[j]), T(1.0) / d[j]));
    return rel;
  };

  // Written so that a trial point whose residuals are not finite (NaN) never counts as a
  // decrease: the doubled step falls back to the saved point, and a plain step shrinks.
  if (*icode == 5 && (!(*f_c < st->doubled_f) || df > T(1e-4) * slope)) {
    *icode = 0;
    for (int j = 0; j < n; ++j) xc[j] = xsaved[j];
    for (int i = 0; i < m; ++i) fc[i] = fsaved[i];
    *f_c = st->doubled_f;
    *delta *= T(0.5);
    return;
  }

  if (!(df < T(1e-4) * slope)) {
    const T rel = relative_step();
    const bool too_short = bounds ? rel < tol->steptol : rel <= tol->steptol;
    if (too_short) {
      *icode = 1;
      for (int j = 0; j < n; ++j) xc[j] = x[j];
      for (int i = 0; i < m; ++i) fc[i] = fx[i];
      *f_c = f;
    } else {
      *icode = 4;
      T t;
      if (std::fabs(df - slope) <= tiny)
        t = -slope * steplen / T(2.0);
      else
        t = -slope * steplen / (T(2.0) * (df - slope));
      // A t that is not a number (the trial residuals were not) halves the radius.
      if (t < T(0.1) * *delta)
        *delta *= T(0.1);
      else if (t < T(0.5) * *delta)
        *delta = t;
      else
        *delta *= T(0.5);
    }
    return;
  }

  // Sufficient decrease: compare with the reduction the local model predicts.
  const int nr = bounds ? bounds->nfree : n;
  T quad = T(0.0);
  for (int j = 1; j <= nr; ++j) {
    T t = T(0.0);
    if (K::RowSumPrediction()) {
      const T sj = bounds ? bounds->sc[p[j - 1] - 1] : s[p[j - 1] - 1];
      for (int k = j; k <= nr; ++k) t += At(r, ld, j, k);
      t *= sj;
    } else {
      for (int k = j; k <= nr; ++k) {
        const int pk = p[k - 1] - 1;
        const T sk = bounds ? s[bounds->freeidx[pk]] : s[pk];
        t += At(r, ld, j, k) * sk;
      }
    }
    quad += T(0.5) * t * t;
  }
  const T dfpred = slope + quad;
  const bool close = std::fabs(dfpred - df) <= T(0.1) * std::fabs(df);
  if (*icode != 4 && (close || df <= slope) && gnflag == 0 && *delta <= T(0.99) * maxstep &&
      inside) {
    *icode = 5;
    for (int j = 0; j < n; ++j) xsaved[j] = xc[j];
    for (int i = 0; i < m; ++i) fsaved[i] = fc[i];
    st->doubled_f = *f_c;
    *delta = std::min(T(2.0) * *delta, maxstep);
  } else {
    *icode = 0;
    if (steplen > T(0.99) * maxstep) *maxtaken = 1;
    if (df >= T(0.1) * dfpred)
      *delta *= T(0.5);
    else if (df <= T(0.75) * dfpred)
      *delta = std::min(T(2.0) * *delta, maxstep);
  }

  if (df > T(2.0) * dfpred) {
    if (relative_step() < tol->fctol) *icode = 3;
  } else if (std::fabs(df) <= tol->rftol * std::fabs(f) &&
             std::fabs(dfpred) <= tol->rftol * std::fabs(f)) {
    *icode = 2;
  }
}

template <class T, class K>
void CheckParameters(int m, int n, const T* x, T* d, T* e, int jacflag, int* iparam, T* rparam) {
  static const char* const name = "U5LSF ";
  nml_error_push_name(name);
  const T eps = K::Eps();
  const T eps23 = (T)std::pow((double)eps, 2.0 / 3.0);
  if (!iparam[5]) {
    bool bad = false;
    for (int j = 0; j < n; ++j) bad = bad || d[j] <= T(0.0);
    if (bad) {
      nml_error_post(6, 8066);
      for (int j = 0; j < n; ++j) d[j] = T(1.0);
    }
  }
  {
    bool bad = false;
    for (int i = 0; i < m; ++i) bad = bad || e[i] <= T(0.0);
    if (bad) {
      nml_error_post(6, 8067);
      for (int i = 0; i < m; ++i) e[i] = T(1.0);
    }
  }
  auto limit = [&](int k, int code, int value) {
    if (iparam[k] <= 0) {
      nml_error_set_int(1, iparam[k]);
      nml_error_post(6, code);
      iparam[k] = value;
    }
  };
  limit(1, 8068, nml_i_machine(7));
  limit(2, 8069, 100);
  limit(3, 8070, 400);
  if (jacflag) limit(4, 8071, 400);
  auto tolerance = [&](int k, int code, T repl) {
    if (rparam[k] < T(0.0)) {
      K::SetReal(1, rparam[k]);
      K::SetReal(2, repl);
      nml_error_post(6, code);
      rparam[k] = repl;
    }
  };
  tolerance(0, 8072, eps23);
  tolerance(1, 8058, eps23);
  tolerance(2, 8059, std::max(T(1e-10), eps23));
  const T e10 = T(1e-10);
  tolerance(3, 8061, std::max(e10 * e10, eps * eps));
  if (rparam[4] < T(0.0)) rparam[4] = T(100.0) * eps;
  if (rparam[5] <= T(0.0)) {
    T dx = T(0.0), dn = T(0.0);
    for (int j = 0; j < n; ++j) {
      dx += (d[j] * x[j]) * (d[j] * x[j]);
      dn += d[j] * d[j];
    }
    const T v = T(1000.0) * std::max(std::sqrt(dx), std::sqrt(dn));
    if (iparam[0] && rparam[5] != -T(999.0)) {
      K::SetReal(1, rparam[5]);
      K::SetReal(2, v);
      nml_error_post(6, 8062);
    }
    rparam[5] = v;
  }
  if (rparam[6] <= T(0.0)) {
    if (iparam[0] && rparam[6] != -T(999.0)) {
      K::SetReal(1, rparam[6]);
      nml_error_post(6, 8063);
    }
    rparam[6] = -T(999.0);
  }
  nml_error_pop_name(name);
}

template <class T, class K>
void DiffJacobian(typename K::Fcn fcn, int m, int n, T* x, const T* d, const T* fx, T rnoise,
                  T* fjac, int ld, T* work) {
  static const char* const name = "F2JAC ";
  nml_error_push_name(name);
  if (rnoise >= T(0.1) || rnoise < T(0.0)) {
    K::SetReal(1, rnoise);
    nml_error_post(5, 8052);
    nml_error_pop_name(name);
    return;
  }
  const T eta = std::sqrt(std::max(rnoise, K::Eps()));
  for (int j = 1; j <= n; ++j) {
    T h = eta * std::max(std::fabs(x[j - 1]), T(1.0) / d[j - 1]);
    if (x[j - 1] < T(0.0)) h = -h;
    const T t = x[j - 1];
    x[j - 1] = t + h;
    CallFcn<T, K>(fcn, m, n, x, work);
    x[j - 1] = t;
    for (int i = 1; i <= m; ++i) At(fjac, ld, i, j) = (work[i - 1] - fx[i - 1]) / h;
  }
  nml_error_pop_name(name);
}

template <class T, class K>
void StopTest(int /*m*/, int n, const T* xc, const T* s, const T* /*fx*/, T f, const T* g,
              const T* d, const T* /*e*/, int* icode, int iter, int nfcn, int njac, int jacflag,
              int maxtaken, const Tolerances<T>* tol, StepState<T>* st) {
  static const char* const name = "U6LSF ";
  nml_error_push_name(name);
  auto done = [&]() { nml_error_pop_name(name); };
  if (f <= tol->aftol) {
    *icode = -999;
    return done();
  }
  const T tiny = K::Safe();
  T r = T(0.0);
  for (int j = 0; j < n; ++j)
    r = std::max(r, std::fabs(g[j]) * std::max(std::fabs(xc[j]), T(1.0) / d[j]));
  if (f > tiny) r /= f;
  if (r <= tol->gtol) {
    *icode = -999;
    return done();
  }
  if (iter == 0) {
    st->maxsteps = 0;
    return done();
  }
  r = T(0.0);
  for (int j = 0; j < n; ++j)
    r = std::max(r, std::fabs(s[j]) / std::max(std::fabs(xc[j]), T(1.0) / d[j]));
  if (r <= tol->steptol) {
    *icode = -999;
    nml_error_post(1, 8006);
    return done();
  }
  if (*icode == 2) {
    K::SetReal(1, tol->rftol);
    nml_error_post(3, 8064);
    return done();
  }
  if (*icode == 3) {
    nml_error_post(4, 8051);
    return done();
  }
  if (iter >= tol->itmax) {
    nml_error_post(3, 8017);
    return done();
  }
  if (nfcn >= tol->maxfcn) {
    nml_error_post(3, 8029);
    return done();
  }
  if (jacflag && njac >= tol->maxjac) {
    nml_error_post(3, 8065);
    return done();
  }
  if (maxtaken) {
    st->maxsteps += 1;
    if (st->maxsteps >= 5) nml_error_post(3, 8032);
  }
  done();
}

// One driver for both Jacobian sources; jac null means forward differences. Returns 4 or 5
// when the iteration ended with a FATAL or TERMINAL error, else 0.
template <class T, class K>
int Drive(const char* name, typename K::Fcn fcn, typename K::Jac jac, int m, int n, const T* xguess,
          T* d, T* e, int* iparam, T* rparam, T* x, T* fx, T* fjac, int ld, T* wk, int* ipvt,
          T* fjac2, int cd, int searchlimit) {
  nml_error_push_name(name);
  // Work array cut in the documented order.
  T* xc = wk;
  T* s = xc + n;
  T* sn = s + n;
  T* g = sn + n;
  T* aux = g + n;
  T* norms = aux + n;
  T* qrwork = norms + n;
  T* xsaved = qrwork + (2 * n - 1);
  T* fsaved = xsaved + n;
  T* w = fsaved + m;
  T* fc = w + m;
  std::vector<T> scratch(3 * (size_t)n);
  T* sdiag = scratch.data();
  T* work1 = sdiag + n;
  T* work2 = work1 + n;
  // The Jacobian at the current point before scaling and factoring, so that the outputs
  // describe the returned point even when the step search fails.
  std::vector<T> jsave((size_t)m * n);

  const int jacflag = jac ? 1 : 0;
  int status = 0;
  int iter = 0, nfcn = 0, njac = 0;
  auto finish = [&](bool write_counts) {
    if (write_counts) {
      iparam[2] = iter;
      iparam[3] = nfcn;
      iparam[4] = njac;
    }
    nml_error_pop_name(name);
    return status;
  };

  for (int j = 0; j < n; ++j) x[j] = xguess[j];
  if (iparam[5])
    for (int j = 0; j < n; ++j) d[j] = T(1.0);
  CheckParameters<T, K>(m, n, x, d, e, jacflag, iparam, rparam);
  if (nml_error_type(1) == 5) {
    status = 5;
    return finish(false);
  }
  const T eps = K::Eps();
  const T rnoise = std::max(eps, (T)std::pow(10.0, -(double)iparam[1]));
  Tolerances<T> tol{rparam[0], rparam[1], rparam[2], rparam[3],
                    rparam[4], iparam[2], iparam[3], iparam[4]};
  const T maxstep = rparam[5];
  T delta = rparam[6];
  int icode = 0;
  T mu = T(0.0);
  StepState<T> st{};

  auto jacobian = [&](T* at, const T* fat) -> bool {
    if (jac) {
      nml_error_user_code("ON");
      jac(m, n, at, fjac2, cd);
      nml_error_user_code("OFF");
      for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) At(fjac, ld, i, j) = fjac2[(size_t)(i - 1) * cd + (j - 1)];
    } else {
      DiffJacobian<T, K>(fcn, m, n, at, d, fat, rnoise, fjac, ld, w);
      if (CalleeFailed()) return false;
      nfcn += n;
    }
    njac += 1;
    return true;
  };

  CallFcn<T, K>(fcn, m, n, x, fx);
  T f = HalfSqNorm<T, K>(m, fx);
  nfcn = 1;
  if (!jacobian(x, fx)) {
    status = 5;
    return finish(true);
  }
  WeightedGradient<T>(m, n, fjac, ld, e, fx, g);
  for (int j = 0; j < n; ++j) {
    xc[j] = x[j];
    s[j] = T(0.0);
  }
  StopTest<T, K>(m, n, xc, s, fx, f, g, d, e, &icode, 0, nfcn, njac, jacflag, 0, &tol, &st);
  if (nml_error_type(1) != 0 || icode == -999) {
    if (CalleeFailed()) status = nml_error_type(1);
    return finish(true);
  }

  for (;;) {
    ++iter;
    std::memcpy(jsave.data(), fjac, sizeof(T) * jsave.size());
    for (int i = 1; i <= m; ++i)
      for (int j = 1; j <= n; ++j) At(fjac, ld, i, j) *= e[i - 1];
    for (int j = 0; j < n; ++j) ipvt[j] = 0;
    const int one = 1;
    K::Qr(&m, &n, fjac, &ld, &one, ipvt, fjac, &ld, aux, norms, qrwork);
    if (iparam[5]) UpdateScaling<T>(iter, n, norms, d);
    for (int i = 0; i < m; ++i) w[i] = e[i] * fx[i];
    ApplyQt<T>(m, n, fjac, ld, aux, w, w);

    icode = 6;
    int first = 1, gnflag = 0, maxtaken = 0;
    T fcval = T(0.0);
    do {
      HookStep<T, K>(n, g, fjac, ld, ipvt, d, w, maxstep, &delta, &mu, &first, s, sn, &gnflag,
                     sdiag, work1, work2, searchlimit, &st);
      if (CalleeFailed()) {
        status = nml_error_type(1);
        std::memcpy(fjac, jsave.data(), sizeof(T) * jsave.size());
        return finish(false);
      }
      TrustRegionUpdate<T, K>(fcn, m, n, x, f, g, fjac, ld, ipvt, s, d, gnflag, maxstep, &delta,
                              &icode, xsaved, fsaved, xc, fx, fc, &fcval, &maxtaken, &nfcn, &tol,
                              &st);
    } while (icode >= 4);

    if (!jacobian(xc, fc)) {
      status = 5;
      for (int j = 0; j < n; ++j) x[j] = xc[j];
      for (int i = 0; i < m; ++i) fx[i] = fc[i];
      return finish(true);
    }
    WeightedGradient<T>(m, n, fjac, ld, e, fc, g);
    StopTest<T, K>(m, n, xc, s, fc, fcval, g, d, e, &icode, iter, nfcn, njac, jacflag, maxtaken,
                   &tol, &st);
    const int t = nml_error_type(1);
    for (int j = 0; j < n; ++j) x[j] = xc[j];
    for (int i = 0; i < m; ++i) fx[i] = fc[i];
    if (t != 0 || icode == -999) {
      if (t == 4 || t == 5) status = t;
      return finish(true);
    }
    f = fcval;
  }
}

template <class T, class K>
int U2ls(typename K::Fcn fcn, typename K::Jac jac, int m, int n, const T* xguess, T* d, T* e,
         int* iparam, T* rparam, T* x, T* fx, T* fjac, int ldfjac, T* wk, int* iwk, T* fjac2,
         int cd, int searchlimit) {
  const char* outer = jac ? "U2LSJ " : "U2LSF ";
  nml_error_push_name(outer);
  int status = Drive<T, K>(jac ? "U3LSJ " : "U3LSF ", fcn, jac, m, n, xguess, d, e, iparam, rparam,
                           x, fx, fjac, ldfjac, wk, iwk, fjac2, cd, searchlimit);
  nml_error_pop_name(outer);
  return status;
}

// The step state of the bounded fit lives under a storage key for the whole process, one
// per precision.
template <class T>
struct StateKey {
  static inline int once = 0;
  static inline int key = 0;
  static void Create() { nml_key_create(&key, nullptr); }
};

template <class T>
StepState<T>* StoredStepState() {
  nml_once(&StateKey<T>::once, StateKey<T>::Create);
  auto* st = static_cast<StepState<T>*>(nml_key_get(StateKey<T>::key));
  if (!st) {
    st = static_cast<StepState<T>*>(std::calloc(1, sizeof(StepState<T>)));
    if (!st || nml_key_set(StateKey<T>::key, st) != 0) {
      std::free(st);
      nml_error_post(5, 200);
      return nullptr;
    }
  }
  return st;
}

template <class T>
void ClassifyBounds(int n, const T* x, const T* xlb, const T* xub, int* ibound, T tol,
                    int* anyfixed) {
  for (int j = 0; j < n; ++j) {
    if (std::fabs(x[j] - xlb[j]) <= tol)
      ibound[j] = 1;
    else if (std::fabs(x[j] - xub[j]) <= tol)
      ibound[j] = 2;
    else
      ibound[j] = 0;
    if (ibound[j] != 0) *anyfixed = 1;
  }
}

template <class T>
void CompressColumns(int m, int n, const int* ibound, T* fjac, int ld, int* nfixed) {
  int target = 0;  // 1-based; 0: none yet
  *nfixed = 0;
  for (int j = 1; j <= n; ++j) {
    if (ibound[j - 1] != 0) {
      ++*nfixed;
      if (target == 0) target = j;
    } else if (target != 0) {
      std::memcpy(&At(fjac, ld, 1, target), &At(fjac, ld, 1, j), sizeof(T) * m);
      ++target;
    }
  }
}

template <class T>
void ReleaseBound(int n, int* ibound, const T* g, T gtol, int* done) {
  for (int j = 0; j < n; ++j) {
    if ((ibound[j] == 1 && g[j] < -gtol) || (ibound[j] == 2 && g[j] > gtol)) {
      ibound[j] = 0;
      *done = 0;
      return;
    }
  }
}

template <class T, class K>
int BDrive(const char* name, typename K::Fcn fcn, typename K::Jac jac, int m, int n, const T* xlb,
           const T* xub, T* d, T* e, int* iparam, T* rparam, T* x, T* fx, T* fjac, int ld, T* wk,
           int* iwk, int searchlimit) {
  nml_error_push_name(name);
  T* xc = wk;
  T* sc = xc + n;
  T* sn = sc + n;
  T* g = sn + n;
  T* s = g + n;  // QR auxiliary vector, then the full step and the projected gradient
  T* aux = s;
  T* norms = s + n;
  T* qrwork = norms + n;
  T* xsaved = qrwork + (2 * n - 1);
  T* fsaved = xsaved + n;
  T* w = fsaved + m;
  T* dc = w + m;
  T* gc = dc + n;
  T* fc = gc + n;
  int* ipvt = iwk;
  int* ibound = iwk + n;
  std::vector<T> scratch(3 * (size_t)n + m);
  T* sdiag = scratch.data();
  T* work1 = sdiag + n;
  T* work2 = work1 + n;
  T* fwork = work2 + n;  // F at a perturbed point
  std::vector<T> gp(n), jsave((size_t)m * n), jrows(jac ? (size_t)m * n : 0);
  std::vector<int> freeidx(n);

  const int jacflag = jac ? 1 : 0;
  int status = 0, iter = 0, nfcn = 0, njac = 0;
  auto finish = [&](bool counts) {
    if (counts) {
      iparam[2] = iter;
      iparam[3] = nfcn;
      iparam[4] = njac;
    }
    nml_error_pop_name(name);
    return status;
  };

  CheckParameters<T, K>(m, n, x, d, e, jacflag, iparam, rparam);
  if (nml_error_type(1) == 5) {
    status = 5;
    return finish(false);
  }
  StepState<T>* st = StoredStepState<T>();
  if (!st) {
    status = 5;
    return finish(false);
  }
  if (iparam[5])
    for (int j = 0; j < n; ++j) d[j] = T(1.0);
  const T eps = K::Eps();
  const T rnoise = std::max(eps, (T)std::pow(10.0, -(double)iparam[1]));
  Tolerances<T> tol{rparam[0], rparam[1], rparam[2], rparam[3],
                    rparam[4], iparam[2], iparam[3], iparam[4]};
  const T maxstep = rparam[5];
  T delta = rparam[6];

  for (int j = 0; j < n; ++j) {
    if (x[j] < xlb[j])
      x[j] = xlb[j];
    else if (x[j] > xub[j])
      x[j] = xub[j];
  }

  auto jacobian = [&](T* at, const T* fat, bool count_fcn) -> bool {
    if (jac) {
      nml_error_user_code("ON");
      jac(m, n, at, jrows.data(), n);
      nml_error_user_code("OFF");
      // rows of n floats into column order
      for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) At(fjac, ld, i, j) = jrows[(size_t)(i - 1) * n + (j - 1)];
    } else {
      DiffJacobian<T, K>(fcn, m, n, at, d, fat, rnoise, fjac, ld, fwork);
      if (CalleeFailed()) return false;
      if (count_fcn) nfcn += n;
    }
    njac += 1;
    return true;
  };

  int icode = 0;
  T mu = T(0.0);
  CallFcn<T, K>(fcn, m, n, x, fx);
  T f = HalfSqNorm<T, K>(m, fx);
  nfcn = 1;
  if (!jacobian(x, fx, true)) {
    status = 5;
    return finish(true);
  }
  WeightedGradient<T>(m, n, fjac, ld, e, fx, g);
  int anyfixed = 0;
  ClassifyBounds<T>(n, x, xlb, xub, ibound, eps, &anyfixed);
  for (int j = 0; j < n; ++j) sc[j] = T(0.0);
  StopTest<T, K>(m, n, x, sc, fx, f, g, d, e, &icode, 0, nfcn, njac, jacflag, 0, &tol, st);
  if (nml_error_type(1) != 0 || icode == -999) {
    if (CalleeFailed()) status = nml_error_type(1);
    return finish(true);
  }

  for (;;) {
    ++iter;
    std::memcpy(jsave.data(), fjac, sizeof(T) * jsave.size());
    for (int i = 1; i <= m; ++i) K::Scal(n, e[i - 1], &At(fjac, ld, i, 1), ld);
    int nfree = n;
    if (anyfixed) {
      int nfixed = 0;
      CompressColumns<T>(m, n, ibound, fjac, ld, &nfixed);
      nfree = n - nfixed;
    }
    bool released_alone = false;
    if (nfree == 0) {
      int done = 1;
      ReleaseBound<T>(n, ibound, g, tol.gtol, &done);
      if (done) {
        std::memcpy(fjac, jsave.data(), sizeof(T) * jsave.size());
        return finish(true);
      }
      nfree = 1;
      released_alone = true;
    }
    for (int j = 0, k = 0; j < n; ++j)
      if (ibound[j] == 0) freeidx[k++] = j;
    if (released_alone) {
      // the variable just released: its scaled column is the one factored
      for (int i = 1; i <= m; ++i)
        At(fjac, ld, i, 1) = jsave[(size_t)freeidx[0] * m + (i - 1)] * e[i - 1];
    }
    for (int k = 0; k < nfree; ++k) {
      dc[k] = d[freeidx[k]];
      gc[k] = g[freeidx[k]];
      ipvt[k] = 0;
    }
    const int one = 1;
    K::Qr(&m, &nfree, fjac, &ld, &one, ipvt, fjac, &ld, aux, norms, qrwork);
    if (iparam[5]) UpdateScaling<T>(iter, nfree, norms, dc);
    for (int i = 0; i < m; ++i) w[i] = e[i] * fx[i];
    ApplyQt<T>(m, nfree, fjac, ld, aux, w, w);

    icode = 6;
    int first = 1, gnflag = 0, maxtaken = 0;
    T fcval = T(0.0);
    BoundCtx<T> bc{xlb, xub, nfree, freeidx.data(), sc};
    do {
      HookStep<T, K>(nfree, gc, fjac, ld, ipvt, dc, w, maxstep, &delta, &mu, &first, sc, sn,
                     &gnflag, sdiag, work1, work2, searchlimit, st, true);
      if (CalleeFailed()) {
        status = nml_error_type(1);
        std::memcpy(fjac, jsave.data(), sizeof(T) * jsave.size());
        return finish(false);
      }
      for (int j = 0; j < n; ++j) s[j] = T(0.0);
      for (int k = 0; k < nfree; ++k) s[freeidx[k]] = sc[k];
      TrustRegionUpdate<T, K>(fcn, m, n, x, f, g, fjac, ld, ipvt, s, d, gnflag, maxstep, &delta,
                              &icode, xsaved, fsaved, xc, fx, fc, &fcval, &maxtaken, &nfcn, &tol,
                              st, &bc);
    } while (icode >= 4);

    if (icode == 1) {
      // The point did not move: its Jacobian is the one saved before factoring.
      icode = -999;
      std::memcpy(fjac, jsave.data(), sizeof(T) * jsave.size());
    } else {
      if (!jacobian(xc, fc, false)) {
        status = 5;
        for (int j = 0; j < n; ++j) x[j] = xc[j];
        for (int i = 0; i < m; ++i) fx[i] = fc[i];
        return finish(true);
      }
      WeightedGradient<T>(m, n, fjac, ld, e, fc, g);
      ClassifyBounds<T>(n, xc, xlb, xub, ibound, eps, &anyfixed);
      for (int j = 0; j < n; ++j) gp[j] = ibound[j] == 0 ? g[j] : T(0.0);
      StopTest<T, K>(m, n, xc, s, fc, fcval, gp.data(), d, e, &icode, iter, nfcn, njac, jacflag,
                     maxtaken, &tol, st);
      const int t = nml_error_type(1);
      if (t != 0) {
        if (t == 4 || t == 5) status = t;
        for (int j = 0; j < n; ++j) x[j] = xc[j];
        for (int i = 0; i < m; ++i) fx[i] = fc[i];
        return finish(true);
      }
    }
    for (int j = 0; j < n; ++j) x[j] = xc[j];
    for (int i = 0; i < m; ++i) fx[i] = fc[i];
    f = fcval;
    if (icode == -999) {
      int done = 1;
      if (nfree < n) ReleaseBound<T>(n, ibound, g, tol.gtol, &done);
      if (done) return finish(true);
    }
  }
}

template <class T, class K>
int B2ls(typename K::Fcn fcn, typename K::Jac jac, int m, int n, const T* xguess, int ibtype,
         T* xlb, T* xub, T* d, T* e, int* iparam, T* rparam, T* x, T* fx, T* fjac, int ldfjac,
         T* wk, int* iwk, int searchlimit) {
  const char* name = jac ? "B2LSJ " : "B2LSF ";
  nml_error_push_name(name);
  for (int j = 0; j < n; ++j) x[j] = xguess[j];
  int status = 0;
  switch (ibtype) {
    case 0:
      break;
    case 1:
      for (int j = 0; j < n; ++j) {
        xlb[j] = T(0.0);
        xub[j] = T(1e20);
      }
      break;
    case 2:
      for (int j = 0; j < n; ++j) {
        xlb[j] = -T(1e20);
        xub[j] = T(0.0);
      }
      break;
    case 3:
      for (int j = 1; j < n; ++j) {
        xlb[j] = xlb[0];
        xub[j] = xub[0];
      }
      break;
    default:
      nml_error_set_int(1, ibtype);
      nml_error_post(5, 8022);
      status = -1;
      break;
  }
  // A box with a lower bound above its upper bound is empty: there is nothing to fit.
  for (int j = 0; K::kCheckBoundOrder && status == 0 && j < n; ++j) {
    if (xlb[j] > xub[j]) {
      nml_error_set_int(1, j);
      K::SetReal(1, xlb[j]);
      K::SetReal(2, xub[j]);
      nml_error_post(5, kBoundOrderError);
      status = -1;
    }
  }
  if (status == 0)
    status = BDrive<T, K>(jac ? "B3LSJ " : "B3LSF ", fcn, jac, m, n, xlb, xub, d, e, iparam, rparam,
                          x, fx, fjac, ldfjac, wk, iwk, searchlimit);
  nml_error_pop_name(name);
  return status;
}

template <class T, class K>
struct Options {
  int* rank_out = nullptr;
  T rank_tol = T(0.0);
  bool rank_tol_given = false;
  T* xguess = nullptr;
  int maxfcn = 400;
  T delta = -T(999.0);
  T* xscale = nullptr;
  T* fscale = nullptr;
  T gtol = T(0.0), steptol = T(0.0), rftol = T(0.0), aftol = T(0.0), maxstep = -T(999.0);
  int digits = 0;
  int itmax = 100;
  typename K::Jac jac = nullptr;
  T* result_user = nullptr;
  int maxjac = 400;
  bool internal_scaling = false;
  T** residuals_out = nullptr;
  T* residuals_user = nullptr;
  T** jac_out = nullptr;
  T* jac_user = nullptr;
  int jac_cd = 0;
  T** jtj_out = nullptr;
  T* jtj_user = nullptr;
  int jtj_cd = 0;
  int searchlimit = 100;
};

template <class T, class K>
void SetDefaults(Options<T, K>& o, int n) {
  const double eps = K::Eps();
  const T eps23 = (T)std::pow(eps, 2.0 / 3.0);
  o.gtol = K::DefaultGradientTolerance();
  o.steptol = eps23;
  o.rftol = std::max(K::RelativeToleranceFloor(), eps23);
  o.aftol = std::max(T(1e-10), eps23);
  o.digits = (int)(0.1 - std::log10(eps));
  o.rank_tol = (T)std::sqrt(eps);
  o.jac_cd = n;
  o.jtj_cd = n;
}

// Walks the option list. An unknown code posts TERMINAL 103 and ends the walk: the words
// after it cannot be read safely.
template <class T, class K>
void WalkOptions(Options<T, K>& o, nml::OptionReader& r, bool bounded) {
  bool jacobian_function = false;
  for (int code; (code = r.NextCode()) != 0;) {
    if (bounded && !K::kBoundedTakesRankOptions &&
        (code == kJacobianRank || code == kRankTolerance || code == kRankToleranceAdr ||
         code == kJtjInverse || code == kJtjInverseUser || code == kJtjInverseColDim ||
         code == kHookPassLimit)) {
      r.Unknown();
      break;
    }
    switch (code) {
      case kJacobianRank:
        o.rank_out = r.Pointer<int>();
        break;
      case kRankTolerance:
        o.rank_tol = (T)r.Real();
        o.rank_tol_given = true;
        break;
      case kRankToleranceAdr:
        o.rank_tol = *r.Pointer<T>();
        o.rank_tol_given = true;
        break;
      case kInitialGuess:
        o.xguess = r.Pointer<T>();
        break;
      case kMaxFcnEvals:
        o.maxfcn = r.Int();
        break;
      case kInitialTrustRadius:
        o.delta = (T)r.Real();
        break;
      case kXScale:
        o.xscale = r.Pointer<T>();
        break;
      case kFScale:
        o.fscale = r.Pointer<T>();
        break;
      case kGradientTolerance:
        o.gtol = (T)r.Real();
        break;
      case kStepTolerance:
        o.steptol = (T)r.Real();
        break;
      case kRelFcnTolerance:
        o.rftol = (T)r.Real();
        break;
      case kMaxStep:
        o.maxstep = (T)r.Real();
        break;
      case kGoodDigits:
        o.digits = r.Int();
        break;
      case kMaxIterations:
        o.itmax = r.Int();
        break;
      case kJacobianFcn:
        o.jac = r.Function<typename K::Jac>();
        jacobian_function = true;
        break;
      case NML_RETURN_USER:
        o.result_user = r.Pointer<T>();
        break;
      case kAbsFcnTolerance:
        o.aftol = (T)r.Real();
        break;
      case kMaxJacobianEvals:
        o.maxjac = r.Int();
        break;
      case kInternalScaling:
        o.internal_scaling = true;
        break;
      case kResiduals:
        o.residuals_out = r.Pointer<T*>();
        break;
      case kResidualsUser:
        o.residuals_user = r.Pointer<T>();
        break;
      case kJacobian:
        o.jac_out = r.Pointer<T*>();
        break;
      case kJacobianUser:
        o.jac_user = r.Pointer<T>();
        break;
      case kJacobianColDim:
        o.jac_cd = r.Int();
        break;
      case kJtjInverse:
        o.jtj_out = r.Pointer<T*>();
        break;
      case kJtjInverseUser:
        o.jtj_user = r.Pointer<T>();
        break;
      case kJtjInverseColDim:
        o.jtj_cd = r.Int();
        break;
      case kGradientToleranceAdr:
        o.gtol = *r.Pointer<T>();
        break;
      case kStepToleranceAdr:
        o.steptol = *r.Pointer<T>();
        break;
      case kRelFcnToleranceAdr:
        o.rftol = *r.Pointer<T>();
        break;
      case kMaxStepAdr:
        o.maxstep = *r.Pointer<T>();
        break;
      case kAbsFcnToleranceAdr:
        o.aftol = *r.Pointer<T>();
        break;
      case kInitialTrustRadiusAdr:
        o.delta = *r.Pointer<T>();
        break;
      case kHookPassLimit:
        o.searchlimit = r.Int();
        break;
      default:
        r.Unknown();
        break;
    }
  }
  if (jacobian_function && !o.rank_tol_given) o.rank_tol = T(100.0) * K::Eps();
}

// Copies an m by n column-ordered matrix (leading dimension ld) into a row-ordered array
// with the given column dimension.
template <class T>
void ToRows(int m, int n, T* a, int ld, T* out, int cd) {
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) out[(size_t)(i - 1) * cd + (j - 1)] = At(a, ld, i, j);
}

template <class T, class K>
int RankAndCov(int m, int n, T* fjac, T tol, int* rank, bool want_cov) {
  std::vector<T> aux(n), conorm(n), work(2 * (size_t)n);
  std::vector<int> ipvt(n, 0);
  const int zero = 0;
  K::Qr(&m, &n, fjac, &m, &zero, ipvt.data(), fjac, &m, aux.data(), conorm.data(), work.data());
  auto nonneg_diagonal = [&]() {
    for (int j = 1; j <= n; ++j)
      if (At(fjac, m, j, j) < T(0.0))
        for (int k = j; k <= n; ++k) At(fjac, m, j, k) = -At(fjac, m, j, k);
  };
  nonneg_diagonal();
  int r = n;
  const T t = tol * tol;
  for (int j = 1; j <= n; ++j) {
    T c = T(0.0);
    for (int i = 1; i <= j; ++i) c += At(fjac, m, i, j) * At(fjac, m, i, j);
    const T djj = At(fjac, m, j, j);
    if (djj * djj < t * c) {
      --r;
      for (int k = j + 1; k <= n; ++k) {
        T a = At(fjac, m, k, k), b = At(fjac, m, j, k), cs, sn;
        K::Rotg(&a, &b, &cs, &sn);
        At(fjac, m, k, k) = a;
        if (k < n) K::Rot(n - k, &At(fjac, m, k, k + 1), m, &At(fjac, m, j, k + 1), m, cs, sn);
      }
      for (int k = j; k <= n; ++k) At(fjac, m, j, k) = T(0.0);
    }
  }
  *rank = r;
  if (!want_cov) return 0;
  // The rotations can leave a negative diagonal element, which the covariance would
  // take for a dropped parameter; a row's sign does not change R'R.
  nonneg_diagonal();
  K::Rcovb(n, fjac, m, T(1.0), fjac, m);
  const int type = nml_error_type(1);
  return (type == 4 || type == 5) ? 1 : 0;
}

template <class T, class K>
T* Body(bool bounded, typename K::Fcn fcn, int m, int n, int ibtype, T* xlb, T* xub,
        nml::OptionReader& reader) {
  Options<T, K> o;
  SetDefaults(o, n);
  WalkOptions(o, reader, bounded);
  if (nml_error_type(0) != 0) return nullptr;

  bool size_error = false;
  if (m < 1) {
    nml_error_set_int(1, m);
    nml_error_post(5, 8054);
    size_error = true;
  }
  if ((!bounded || !size_error) && n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(5, 8020);
    size_error = true;
  }
  if ((!bounded || !size_error) && m < n) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, m);
    nml_error_post(5, 8057);
    size_error = true;
  }
  if (size_error) return nullptr;

  const T eps = K::Eps();
  int iparam[6] = {1, o.digits, o.itmax, o.maxfcn, o.maxjac, o.internal_scaling ? 1 : 0};
  T rparam[7] = {o.gtol, o.steptol, o.rftol, o.aftol, T(100.0) * eps, o.maxstep, o.delta};

  std::vector<T> xguess(o.xguess ? 0 : n, T(0.0));
  std::vector<T> d(n, T(1.0)), e(m, T(1.0));
  if (o.xscale) std::memcpy(d.data(), o.xscale, sizeof(T) * n);
  if (o.fscale) std::memcpy(e.data(), o.fscale, sizeof(T) * m);
  const size_t nwork =
      bounded ? 11 * (size_t)n + 3 * (size_t)m - 1 : 9 * (size_t)n + 3 * (size_t)m - 1;
  std::vector<T> wk(nwork, T(0.0));
  std::vector<int> iwk(bounded ? 2 * n : n, 0);
  std::vector<T> fjac((size_t)m * n, T(0.0));
  std::vector<T> fjac2(o.jac && !bounded ? (size_t)m * std::max(o.jac_cd, n) : 0);

  // The residuals live in malloc'd memory unless the caller gives an array: option 10293
  // hands them over to be released with free.
  T* fx = o.residuals_user;
  bool own_fx = false;
  if (!fx) {
    fx = (T*)std::malloc(sizeof(T) * m);
    own_fx = true;
  }
  T* result = o.result_user;
  if (!result) result = (T*)std::malloc(sizeof(T) * n);
  if (!result || !fx) {
    nml_error_set_int(1, n);
    nml_error_set_string(1, "n");
    nml_error_post(5, 201);
    if (result != o.result_user) std::free(result);
    if (own_fx) std::free(fx);
    return nullptr;
  }

  const T* start = o.xguess ? o.xguess : xguess.data();
  int status;
  if (bounded)
    status = B2ls<T, K>(fcn, o.jac, m, n, start, ibtype, xlb, xub, d.data(), e.data(), iparam,
                        rparam, result, fx, fjac.data(), m, wk.data(), iwk.data(),
                        K::kBoundedTakesRankOptions ? o.searchlimit : INT_MAX);
  else
    status =
        U2ls<T, K>(fcn, o.jac, m, n, start, d.data(), e.data(), iparam, rparam, result, fx,
                   fjac.data(), m, wk.data(), iwk.data(), fjac2.data(), o.jac_cd, o.searchlimit);
  const bool started = status != -1;
  if (status == -1) status = 5;

  if (started && o.residuals_out) {
    *o.residuals_out = fx;
    own_fx = false;
  }
  if (started && status != 5) {
    if (o.jac_user) ToRows(m, n, fjac.data(), m, o.jac_user, o.jac_cd);
    if (o.jac_out) {
      // a column dimension below n would make the rows overlap: never write past the array
      T* jout = (T*)std::malloc(sizeof(T) * (size_t)m * std::max(o.jac_cd, n));
      if (jout) {
        ToRows(m, n, fjac.data(), m, jout, o.jac_cd);
        *o.jac_out = jout;
      }
    }
    const bool want_cov = o.jtj_out || o.jtj_user;
    if (o.rank_out || want_cov) {
      int rank = n;
      const bool cov_ok = RankAndCov<T, K>(m, n, fjac.data(), o.rank_tol, &rank, want_cov) == 0;
      if (o.rank_out) *o.rank_out = rank;
      if (want_cov && cov_ok) {
        if (o.jtj_out) {
          T* vout = (T*)std::malloc(sizeof(T) * (size_t)n * std::max(o.jtj_cd, n));
          if (vout) {
            ToRows(n, n, fjac.data(), m, vout, o.jtj_cd);
            *o.jtj_out = vout;
          }
        } else {
          ToRows(n, n, fjac.data(), m, o.jtj_user, o.jtj_cd);
        }
      }
      if (!cov_ok) status = 5;
    }
  }
  if (own_fx) std::free(fx);

  // A FATAL or TERMINAL end means no solution: the caller's failure path must run.
  if (status == 4 || status == 5 || nml_error_type(0) == 5 || nml_error_type(0) == 4) {
    if (result != o.result_user) std::free(result);
    return nullptr;
  }
  return result;
}

template <class T, class K>
T* Public(const char* name, bool bounded, typename K::Fcn fcn, int m, int n, int ibtype, T* xlb,
          T* xub, nml::OptionReader& reader) {
  T* result = nullptr;
  nml_public(name, [&] { result = Body<T, K>(bounded, fcn, m, n, ibtype, xlb, xub, reader); });
  return result;
}

}  // namespace nml::nlsq
