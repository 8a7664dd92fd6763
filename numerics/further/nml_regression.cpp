// Multiple linear regression through the square-root-free Givens kernel, one template for
// float and double.
#include "numerics/further/nml_regression.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "numerics/further/nml_row_order.h"
#include "numerics/further/nml_simple_statistics.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_stat.h"

namespace {

// ---------------------------------------------------------------------------------------
// Modified Givens kernels

template <class T>
void Rotmg(T* d1, T* d2, T* x1, T y1, T* param) {
  // Weights are kept between these bounds by powers of gamma = 4096.
  const T gam = T(4096), gamsq = T(16777216), lo = T(5.96e-8), hi = T(16780000.0);
  T flag = 0, h11 = 0, h12 = 0, h21 = 0, h22 = 0;
  auto degenerate = [&] {
    flag = -1;
    h11 = h12 = h21 = h22 = 0;
    *d1 = *d2 = *x1 = 0;
  };
  if (*d1 < 0) {
    degenerate();
  } else {
    const T p2 = *d2 * y1;
    if (p2 == 0) {
      param[0] = -2;
      return;
    }
    const T p1 = *d1 * *x1, q2 = p2 * y1, q1 = p1 * *x1;
    if (std::fabs(q1) > std::fabs(q2)) {
      h21 = -y1 / *x1;
      h12 = p2 / p1;
      const T u = 1 - h12 * h21;
      if (u > 0) {
        flag = 0;
        *d1 /= u;
        *d2 /= u;
        *x1 *= u;
      } else {
        degenerate();
      }
    } else if (q2 < 0) {
      degenerate();
    } else {
      flag = 1;
      h11 = p1 / p2;
      h22 = *x1 / y1;
      const T u = 1 + h11 * h22, t = *d2 / u;
      *d2 = *d1 / u;
      *d1 = t;
      *x1 = y1 * u;
    }
    // Rescaling makes H explicit; an H already explicit keeps its entries.
    auto explicitH = [&] {
      if (flag == 0) {
        h11 = h22 = 1;
      } else if (flag == 1) {
        h21 = -1;
        h12 = 1;
      }
      flag = -1;
    };
    if (*d1 != 0) {
      while (*d1 <= lo || *d1 >= hi) {
        explicitH();
        if (*d1 <= lo) {
          *d1 *= gamsq;
          *x1 /= gam;
          h11 /= gam;
          h12 /= gam;
        } else {
          *d1 /= gamsq;
          *x1 *= gam;
          h11 *= gam;
          h12 *= gam;
        }
      }
    }
    if (*d2 != 0) {
      while (std::fabs(*d2) <= lo || std::fabs(*d2) >= hi) {
        explicitH();
        if (std::fabs(*d2) <= lo) {
          *d2 *= gamsq;
          h21 /= gam;
          h22 /= gam;
        } else {
          *d2 /= gamsq;
          h21 *= gam;
          h22 *= gam;
        }
      }
    }
  }
  if (flag < 0) {
    param[1] = h11;
    param[2] = h21;
    param[3] = h12;
    param[4] = h22;
  } else if (flag == 0) {
    param[2] = h21;
    param[3] = h12;
  } else {
    param[1] = h11;
    param[4] = h22;
  }
  param[0] = flag;
}

template <class T>
void Rotm(int n, T* x, int incx, T* y, int incy, const T* param) {
  const T flag = param[0];
  if (n <= 0 || flag == -2) return;
  int ix = incx < 0 ? (1 - n) * incx : 0, iy = incy < 0 ? (1 - n) * incy : 0;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    const T w = x[ix], z = y[iy];
    if (flag < 0) {
      x[ix] = w * param[1] + z * param[3];
      y[iy] = w * param[2] + z * param[4];
    } else if (flag == 0) {
      x[ix] = w + z * param[3];
      y[iy] = w * param[2] + z;
    } else {
      x[ix] = w * param[1] + z;
      y[iy] = -w + z * param[4];
    }
  }
}

template <class T>
T Dot3(int n, const T* x, int incx, const T* y, int incy, const T* z, int incz) {
  if (n < 1) return 0;
  int ix = incx < 0 ? (1 - n) * incx : 0, iy = incy < 0 ? (1 - n) * incy : 0,
      iz = incz < 0 ? (1 - n) * incz : 0;
  T s = 0;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy, iz += incz) s += x[ix] * y[iy] * z[iz];
  return s;
}

template <class T>
int FirstNan(int n, const T* x, int incx) {
  if (n < 1) return 0;
  int ix = incx < 0 ? (1 - n) * incx : 0;
  for (int i = 1; i <= n; ++i, ix += incx)
    if (std::isnan(x[ix])) return i;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Precision-dependent pieces.

struct FloatOps {
  using T = float;
  static T Mach(int i) { return nml_amach(i); }
  static void ObsWeight(int ido, int counter, const T* x, int ldx, int i, int sign, int ifrq,
                        int iwt, int* nrmiss, T* f, T* w, int* status) {
    nml_f_obs_weight(ido, counter, x, ldx, i, sign, ifrq, iwt, Mach(6), nrmiss, f, w, status);
  }
  static void SetReal(int k, T v) { nml_error_set_float(k, v); }
  static const char* Name() { return "nml_f_regression"; }
};
struct DoubleOps {
  using T = double;
  static T Mach(int i) { return nml_dmach(i); }
  static void ObsWeight(int ido, int counter, const T* x, int ldx, int i, int sign, int ifrq,
                        int iwt, int* nrmiss, T* f, T* w, int* status) {
    nml_d_obs_weight(ido, counter, x, ldx, i, sign, ifrq, iwt, Mach(6), nrmiss, f, w, status);
  }
  static void SetReal(int k, T v) { nml_error_set_double(k, v); }
  static const char* Name() { return "nml_d_regression"; }
};
template <class T>
struct OpsOf;
template <>
struct OpsOf<float> : FloatOps {};
template <>
struct OpsOf<double> : DoubleOps {};

// Counts the calls of one fit; used only in error messages.
int& CallCounter() {
  static int counter = 0;
  return counter;
}

bool Failed(int type) { return type > 3 && type != NML_WARNING_IMMEDIATE; }

inline void SafeDivide(float a, float b, float* q) { nml_f_safe_div(a, b, q); }
inline void SafeDivide(double a, double b, double* q) { nml_d_safe_div(a, b, q); }

// ---------------------------------------------------------------------------------------
// The Givens kernel

template <class T>
void R2ivn(int ido, int nrow, int ncol, const T* x, int ldx, int intcep, int iind,
           const int* indind, int idep, const int* inddep, int ifrq, int iwt, int isub, T tol, T* b,
           int ldb, T* r, int ldr, T* d, int* irank, T* dfe, T* scpe, int ldscpe, int* nrmiss,
           T* xmin, T* xmax, T* wk) {
  using K = OpsOf<T>;
  nml::NameScope scope("nml_r2ivn");
  const int nind = std::abs(iind), ndep = std::abs(idep), ncoef = intcep + nind;
  int count = 1;
  nml_check_range(ido, "ido", 0, 3, &count);
  nml_check_range(ncol, "ncol", 0, -1, &count);
  nml_check_dim(0, std::abs(nrow), "iabs(nrow)", ldx, "ldx", &count);
  nml_check_range(intcep, "intcep", 0, 1, &count);
  nml_check_range(ifrq, "ifrq", 0, ncol, &count);
  nml_check_range(iwt, "iwt", 0, ncol, &count);
  if (!(tol >= 0 && tol <= 1)) {
    K::SetReal(1, tol);
    nml_error_post(NML_TERMINAL, 11050);
  }
  if (intcep == 0 && isub != 0) {
    nml_error_set_int(1, isub);
    nml_error_post(NML_TERMINAL, 11051);
  } else {
    nml_check_range(isub, "isub", 0, 1, &count);
  }
  if (ndep >= 1) {
    nml_check_le(ncoef, "intcep+iabs(iind)", ldb, "tdb", &count);
    nml_check_le(ncoef, "intcep+iabs(iind)", ldr, "tdr", &count);
    nml_check_le(ndep, "iabs(idep)", ldscpe, "tdscpe", &count);
  }
  if (nml_error_code(0) == 0) {
    auto checkIndices = [&](int n, const int* ind, int code) {
      for (int k = 0; k < n; ++k)
        if (ind[k] < 1 || ind[k] > ncol) {
          nml_error_set_int(1, k + 1);
          nml_error_set_int(2, ind[k]);
          nml_error_set_int(3, ncol);
          nml_error_post(NML_TERMINAL, code);
          return;
        }
    };
    if (idep > 0) checkIndices(ndep, inddep, 11052);
    if (iind > 0) checkIndices(nind, indind, 11053);
  }
  if (nml_error_code(0) != 0) return;

  auto X = [&](int i, int j) { return x[static_cast<std::size_t>(j - 1) * ldx + (i - 1)]; };
  auto B = [&](int i, int k) -> T& { return b[static_cast<std::size_t>(k - 1) * ldb + (i - 1)]; };
  auto R = [&](int i, int j) -> T& { return r[static_cast<std::size_t>(j - 1) * ldr + (i - 1)]; };
  auto S = [&](int p, int q) -> T& {
    return scpe[static_cast<std::size_t>(q - 1) * ldscpe + (p - 1)];
  };
  auto W = [&](int i) -> T& { return wk[i - 1]; };
  auto D = [&](int i) -> T& { return d[i - 1]; };
  const T nan = K::Mach(6);

  if (ido <= 1) {
    CallCounter() = 1;
    *nrmiss = 0;
    *dfe = 0;
    for (int j = 1; j <= ncoef; ++j) {
      for (int i = 1; i <= ncoef; ++i) R(i, j) = 0;
      for (int k = 1; k <= ndep; ++k) B(j, k) = 0;
      D(j) = 1;
      xmin[j - 1] = xmax[j - 1] = nan;
    }
    for (int q = 1; q <= ndep; ++q)
      for (int p = 1; p <= q; ++p) S(p, q) = 0;
  } else {
    ++CallCounter();
  }

  const int sign = nrow < 0 ? -1 : 1;
  T param[5];
  for (int i = 1; i <= std::abs(nrow); ++i) {
    T f = 1, w = 1;
    int status = 0;
    K::ObsWeight(ido, CallCounter(), x, ldx, i, sign, ifrq, iwt, nrmiss, &f, &w, &status);
    if (status == 3) return;
    if (status != 0) continue;
    if (intcep == 1) W(1) = 1;
    for (int j = 1; j <= nind; ++j) W(intcep + j) = X(i, iind > 0 ? indind[j - 1] : j);
    if (FirstNan(nind, wk + intcep, 1) != 0) {
      *nrmiss += sign;
      continue;
    }
    for (int k = 1; k <= ndep; ++k) W(ncoef + k) = X(i, idep > 0 ? inddep[k - 1] : ncol + idep + k);
    if (FirstNan(ndep, wk + ncoef, 1) != 0) {
      *nrmiss += sign;
      continue;
    }
    *dfe += f;
    if (sign > 0) {
      for (int j = 1; j <= ncoef; ++j) {
        if (std::isnan(xmin[j - 1]) || W(j) < xmin[j - 1]) xmin[j - 1] = W(j);
        if (std::isnan(xmax[j - 1]) || W(j) > xmax[j - 1]) xmax[j - 1] = W(j);
      }
    } else {
      for (int j = intcep + 1; j <= ncoef; ++j)
        if (W(j) == xmin[j - 1] || W(j) == xmax[j - 1]) {
          nml_error_set_int(1, j);
          K::SetReal(1, W(j));
          nml_error_set_string(1, W(j) == xmin[j - 1] ? "xmin" : "xmax");
          nml_error_post(NML_WARNING_IMMEDIATE, 11048);
        }
    }
    if (w == 0) continue;
    T omega = w * f;
    int start = 1;
    if (isub == 1) {
      const T old = R(1, 1);
      R(1, 1) += omega;
      for (int j = 2; j <= ncoef; ++j) R(1, j) += omega * W(j);
      for (int k = 1; k <= ndep; ++k) B(1, k) += omega * W(ncoef + k);
      if (R(1, 1) == 0) continue;
      D(1) = 1 / R(1, 1);
      for (int j = 2; j <= ncoef; ++j) W(j) -= D(1) * R(1, j);
      for (int k = 1; k <= ndep; ++k) W(ncoef + k) -= D(1) * B(1, k);
      if (old == 0) continue;  // the first row is its own mean
      omega = omega * R(1, 1) / old;
      start = 2;
    }
    for (int j = start; j <= ncoef; ++j) {
      Rotmg(&D(j), &omega, &R(j, j), W(j), param);
      Rotm(ndep, &B(j, 1), ldb, &W(ncoef + 1), 1, param);
      if (j < ncoef) Rotm(ncoef - j, &R(j, j + 1), ldr, &W(j + 1), 1, param);
    }
    for (int q = 1; q <= ndep; ++q)
      for (int p = 1; p <= q; ++p) S(p, q) += W(ncoef + p) * omega * W(ncoef + q);
  }

  if (ido == 0 || ido == 3) {
    const T tol2 = tol * tol;
    bool constantSeen = false;
    for (int i = 1; i <= ncoef; ++i) {
      bool drop = false;
      if (xmax[i - 1] == xmin[i - 1]) {
        drop = xmax[i - 1] == 0 || constantSeen;
        constantSeen = true;
      } else if (i > intcep + 1) {
        const T* col = &R(intcep + 1, i);
        drop =
            R(i, i) * R(i, i) * D(i) <= tol2 * Dot3(i - intcep, &D(intcep + 1), 1, col, 1, col, 1);
      }
      if (!drop) continue;
      for (int a = i + 1; a <= ncoef; ++a) {
        Rotmg(&D(a), &D(i), &R(a, a), R(i, a), param);
        Rotm(ndep, &B(a, 1), ldb, &B(i, 1), ldb, param);
        if (a < ncoef) Rotm(ncoef - a, &R(a, a + 1), ldr, &R(i, a + 1), ldr, param);
      }
      for (int q = 1; q <= ndep; ++q)
        for (int p = 1; p <= q; ++p) S(p, q) += B(i, p) * D(i) * B(i, q);
      for (int k = 1; k <= ndep; ++k) B(i, k) = 0;
      for (int j = i; j <= ncoef; ++j) R(i, j) = 0;
    }
    l_girts(ncoef, r, ldr, ndep, b, ldb, 1, irank, b, ldb, r, ldr);
    *dfe -= static_cast<T>(*irank);
    if (*dfe <= 0) {
      K::SetReal(1, *dfe);
      nml_error_post(NML_WARNING_IMMEDIATE, 11049);
    }
    for (int i = 1; i <= ncoef; ++i) {
      const T s = std::sqrt(D(i)) * (R(i, i) >= 0 ? T(1) : T(-1));
      for (int j = i; j <= ncoef; ++j) R(i, j) *= s;
      D(i) = 1;
    }
  }
  if (ndep > 1)
    for (int q = 1; q <= ndep; ++q)
      for (int p = 1; p < q; ++p) S(q, p) = S(p, q);
}

// ---------------------------------------------------------------------------------------
// The regression driver

template <class T>
void R3se(int nobs, const T* y, int nind, const T* x, int ldx, int intcep, T* b, T* sst, T* sse,
          T* r, int ldr, T* dfe, int* nrmiss, T* obs, T* d, T* xmin, T* xmax, T* wk, T tol) {
  nml::NameScope scope("l_r3se");
  const int ncoef = nind + intcep, isub = intcep;
  int rank = 0;
  R2ivn<T>(1, 0, nind + 1, obs, 1, intcep, -nind, nullptr, -1, nullptr, 0, 0, isub, tol, b, ncoef,
           r, ldr, d, &rank, dfe, sse, 1, nrmiss, xmin, xmax, wk);
  for (int i = 0; i < nobs && !Failed(nml_error_type(0)); ++i) {
    for (int j = 0; j < nind; ++j) obs[j] = x[static_cast<std::size_t>(j) * ldx + i];
    obs[nind] = y[i];
    R2ivn<T>(2, 1, nind + 1, obs, 1, intcep, -nind, nullptr, -1, nullptr, 0, 0, isub, tol, b, ncoef,
             r, ldr, d, &rank, dfe, sse, 1, nrmiss, xmin, xmax, wk);
  }
  if (Failed(nml_error_type(0))) return;
  // Explained sum of squares from the rotated responses: about the mean with an intercept.
  *sst = *sse + Dot3(ncoef - intcep, d + intcep, 1, b + intcep, 1, b + intcep, 1);
  R2ivn<T>(3, 0, nind + 1, obs, 1, intcep, -nind, nullptr, -1, nullptr, 0, 0, isub, tol, b, ncoef,
           r, ldr, d, &rank, dfe, sse, 1, nrmiss, xmin, xmax, wk);
  if (rank < ncoef && !Failed(nml_error_type(0))) {
    nml_error_set_int(1, rank);
    nml_error_post(NML_WARNING, 11047);
  }
}

template <class T>
void R2se(int nobs, const T* y, int nind, const T* x, int ldx, int intcep, T* b, T* sst, T* sse,
          T* r, int ldr, T* dfe, int* nrmiss, T* work, T tol) {
  nml::NameScope scope("l_r2se");
  if (intcep < 0 || intcep > 1) {
    nml_error_set_int(1, intcep);
    nml_error_post(NML_TERMINAL, 11043);
  } else if (nind + intcep < 1) {
    nml_error_set_int(1, intcep);
    nml_error_set_int(2, nind);
    nml_error_post(NML_TERMINAL, 11044);
  } else if (ldr < nind + intcep) {
    nml_error_set_int(1, ldr);
    nml_error_set_int(2, intcep);
    nml_error_set_int(3, nind);
    nml_error_post(NML_TERMINAL, 11045);
  }
  if (nobs < 1) {
    nml_error_set_int(1, nobs);
    nml_error_post(NML_TERMINAL, 11046);
  } else if (ldx < nobs) {
    nml_error_set_int(1, nobs);
    nml_error_set_int(2, ldx);
    nml_error_post(NML_TERMINAL, 11005);
  }
  if (nml_error_code(0) != 0) return;
  const int ncoef = nind + intcep;
  T* obs = work;
  T* d = obs + nind + 1;
  T* xmin = d + ncoef;
  T* xmax = xmin + ncoef;
  T* wk = xmax + ncoef;
  R3se(nobs, y, nind, x, ldx, intcep, b, sst, sse, r, ldr, dfe, nrmiss, obs, d, xmin, xmax, wk,
       tol);
}

template <class T>
struct Request {
  int xcol = -1, covcol = -1;
  bool covSet = false, intercept = true;
  T** covNew = nullptr;
  T* covUser = nullptr;
  bool wantCov = false;
  int* rank = nullptr;
  T** aovNew = nullptr;
  T* aovUser = nullptr;
  bool wantAov = false;
  T tol = T(-1);
  T** meanNew = nullptr;
  T* meanUser = nullptr;
  bool wantMean = false;
  T** resNew = nullptr;
  T* resUser = nullptr;
  bool wantRes = false;
  bool returnUser = false;
  T* user = nullptr;
};

// Hands out an optional array: the caller's, or a new one (null and `code` when it cannot be
// had).
template <class T>
T* OutputArray(T* user, std::size_t n, int code) {
  if (user) return user;
  T* p = static_cast<T*>(std::malloc(sizeof(T) * (n ? n : 1)));
  if (!p) nml_error_post(NML_TERMINAL, code);
  return p;
}

template <class T>
T* Regression(int nobs, int nind, T* x, T* y, nml::OptionReader& opt) {
  using K = OpsOf<T>;
  Request<T> q;
  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_X_COL_DIM:
        q.xcol = opt.Int();
        break;
      case NML_COV_COL_DIM:
        q.covcol = opt.Int();
        q.covSet = true;
        break;
      case NML_COEF_COVARIANCES:
        q.covNew = opt.Pointer<T*>();
        q.wantCov = true;
        break;
      case NML_COEF_COVARIANCES_USER:
        q.covUser = opt.Pointer<T>();
        q.wantCov = true;
        break;
      case NML_RANK:
        q.rank = opt.Pointer<int>();
        break;
      case NML_NO_INTERCEPT:
        q.intercept = false;
        break;
      case NML_ANOVA_TABLE:
        q.aovNew = opt.Pointer<T*>();
        q.wantAov = true;
        break;
      case NML_ANOVA_TABLE_USER:
        q.aovUser = opt.Pointer<T>();
        q.wantAov = true;
        break;
      case NML_RANK_TOLERANCE:
        q.tol = static_cast<T>(opt.Real());
        break;
      case NML_RANK_TOLERANCE_ADR: {
        const T* p = opt.Pointer<T>();
        if (p) q.tol = *p;
        break;
      }
      case NML_X_MEAN:
        q.meanNew = opt.Pointer<T*>();
        q.wantMean = true;
        break;
      case NML_X_MEAN_USER:
        q.meanUser = opt.Pointer<T>();
        q.wantMean = true;
        break;
      case NML_RESIDUAL:
        q.resNew = opt.Pointer<T*>();
        q.wantRes = true;
        break;
      case NML_RESIDUAL_USER:
        q.resUser = opt.Pointer<T>();
        q.wantRes = true;
        break;
      case NML_RETURN_USER:
        q.user = opt.Pointer<T>();
        q.returnUser = true;
        break;
      default:
        // The words after an unknown code cannot be read safely: the walk ends here.
        nml_error_set_int(1, code);
        nml_error_set_int(2, opt.Position());
        nml_error_post(NML_TERMINAL, 11001);
        return nullptr;
    }
  }
  if (nml_error_code(0) != 0) return nullptr;
  if (!x || !y) {
    nml_error_set_string(1, !x ? "x" : "y");
    nml_error_post(NML_TERMINAL, 6002);
    return nullptr;
  }
  int count = 1;
  nml_check_range(nobs, "n_observations", 1, -1, &count);
  nml_check_range(nind, "n_independent", 1, -1, &count);
  if (nml_error_code(0) != 0) return nullptr;
  if (q.xcol < 0) q.xcol = nind;
  if (nind > q.xcol) {
    nml_error_set_string(1, "x");
    nml_error_set_int(1, nind);
    nml_error_set_int(2, q.xcol);
    nml_error_post(NML_TERMINAL, 1024);
    return nullptr;
  }
  if (q.covSet && !q.wantCov) {
    nml_error_post(NML_TERMINAL, 11038);
    return nullptr;
  }
  // Arrays named by an option are written through: a null one is refused before any work.
  const char* nullArg = q.returnUser && !q.user                   ? "NML_RETURN_USER"
                        : q.wantCov && !q.covNew && !q.covUser    ? "NML_COEF_COVARIANCES"
                        : q.wantAov && !q.aovNew && !q.aovUser    ? "NML_ANOVA_TABLE"
                        : q.wantMean && !q.meanNew && !q.meanUser ? "NML_X_MEAN"
                        : q.wantRes && !q.resNew && !q.resUser    ? "NML_RESIDUAL"
                                                                  : nullptr;
  if (nullArg) {
    nml::PostNullArgument(104, "array", nullArg);
    return nullptr;
  }
  const int intcep = q.intercept ? 1 : 0, ncoef = nind + intcep;
  if (q.covcol < 0) q.covcol = ncoef;
  if (q.wantCov && q.covcol < ncoef) {
    // A shorter row than the coefficients would be written past.
    nml_error_set_string(1, "cov_col_dim");
    nml_error_set_int(1, ncoef);
    nml_error_set_int(2, q.covcol);
    nml_error_post(NML_TERMINAL, 1024);
    return nullptr;
  }
  const T tol = q.tol >= 0 ? q.tol : T(100) * K::Mach(4);

  std::vector<T> r(static_cast<std::size_t>(ncoef) * ncoef),
      work(5 * static_cast<std::size_t>(nind) + 2 + 4 * intcep);
  T* coef = q.user ? q.user : static_cast<T*>(std::malloc(sizeof(T) * ncoef));
  if (!coef) {
    nml_error_set_int(1, nind);
    nml_error_set_string(1, "n_independent");
    nml_error_post(NML_TERMINAL, 201);
    return nullptr;
  }
  nml::ToColumns(nobs, q.xcol, x);
  T sst = 0, sse = 0, dfe = 0;
  int nrmiss = 0;
  R2se<T>(nobs, y, nind, x, nobs, intcep, coef, &sst, &sse, r.data(), ncoef, &dfe, &nrmiss,
          work.data(), tol);
  if (q.rank) *q.rank = static_cast<int>(static_cast<T>(nobs - nrmiss) - dfe);
  const bool fitFailed = Failed(nml_error_type(0));

  if (!fitFailed) {
    if (q.wantCov) {
      T* cov = OutputArray(q.covUser, static_cast<std::size_t>(ncoef) * q.covcol, 11039);
      if (cov) {
        T s2;
        SafeDivide(sse, dfe, &s2);
        nml_rcovb(ncoef, r.data(), ncoef, s2, cov, q.covcol);
        if (Failed(nml_error_type(0)) && !q.covUser)
          std::free(cov);
        else if (q.covNew)
          *q.covNew = cov;
      }
    }
    if (q.wantAov) {
      T* aov = OutputArray(q.aovUser, 15, 11040);
      if (aov) {
        const T ssr = std::max(sst - sse, T(0));
        const T dfr = static_cast<T>(nobs - nrmiss - intcep) - dfe;
        T sum = 0;
        int n = 0;
        for (int i = 0; i < nobs; ++i)
          if (!std::isnan(y[i])) {
            sum += y[i];
            ++n;
          }
        nml_g1aov(dfr, ssr, dfe, sse, n ? sum / static_cast<T>(n) : K::Mach(6), aov);
        if (Failed(nml_error_type(0)) && !q.aovUser)
          std::free(aov);
        else if (q.aovNew)
          *q.aovNew = aov;
      }
    }
    if (q.wantMean) {
      T* mean = OutputArray(q.meanUser, static_cast<std::size_t>(nind), 11041);
      if (mean) {
        for (int j = 0; j < nind; ++j) {
          T sum = 0;
          int n = 0;
          for (int i = 0; i < nobs; ++i) {
            const T v = x[static_cast<std::size_t>(j) * nobs + i];
            if (!std::isnan(v)) {
              sum += v;
              ++n;
            }
          }
          mean[j] = n ? sum / static_cast<T>(n) : T(0);
        }
        if (q.meanNew) *q.meanNew = mean;
      }
    }
    if (q.wantRes) {
      T* res = OutputArray(q.resUser, static_cast<std::size_t>(nobs), 11042);
      if (res) {
        const T* slopes = coef + intcep;
        for (int i = 0; i < nobs; ++i) {
          if (std::isnan(y[i])) {
            res[i] = K::Mach(6);
            continue;
          }
          T fit = 0;
          for (int j = 0; j < nind; ++j)
            fit += x[static_cast<std::size_t>(j) * nobs + i] * slopes[j];
          res[i] = y[i] - fit;
          if (intcep) res[i] -= coef[0];
        }
        if (q.resNew) *q.resNew = res;
      }
    }
  }
  nml::ToRows(nobs, q.xcol, x);
  if (Failed(nml_error_type(0))) {
    if (!q.user) std::free(coef);
    return nullptr;
  }
  return coef;
}

template <class T>
T* RegressionPublic(int nobs, int nind, T* x, T* y, nml::OptionReader& opt) {
  T* result = nullptr;
  nml_public(OpsOf<T>::Name(), [&] { result = Regression<T>(nobs, nind, x, y, opt); });
  return result;
}

}  // namespace

void nml_r2ivn(int ido, int nrow, int ncol, const double* x, int ldx, int intcep, int iind,
               const int* indind, int idep, const int* inddep, int ifrq, int iwt, int isub,
               double tol, double* b, int ldb, double* r, int ldr, double* d, int* irank,
               double* dfe, double* scpe, int ldscpe, int* nrmiss, double* xmin, double* xmax,
               double* wk) {
  R2ivn<double>(ido, nrow, ncol, x, ldx, intcep, iind, indind, idep, inddep, ifrq, iwt, isub, tol,
                b, ldb, r, ldr, d, irank, dfe, scpe, ldscpe, nrmiss, xmin, xmax, wk);
}
void nml_r2ivn(int ido, int nrow, int ncol, const float* x, int ldx, int intcep, int iind,
               const int* indind, int idep, const int* inddep, int ifrq, int iwt, int isub,
               float tol, float* b, int ldb, float* r, int ldr, float* d, int* irank, float* dfe,
               float* scpe, int ldscpe, int* nrmiss, float* xmin, float* xmax, float* wk) {
  R2ivn<float>(ido, nrow, ncol, x, ldx, intcep, iind, indind, idep, inddep, ifrq, iwt, isub, tol, b,
               ldb, r, ldr, d, irank, dfe, scpe, ldscpe, nrmiss, xmin, xmax, wk);
}

void DROTMG(double* d1, double* d2, double* x1, double y1, double* param) {
  Rotmg(d1, d2, x1, y1, param);
}
void DROTM(int n, double* x, int incx, double* y, int incy, const double* param) {
  Rotm(n, x, incx, y, incy, param);
}
void SROTMG(float* d1, float* d2, float* x1, float y1, float* param) {
  Rotmg(d1, d2, x1, y1, param);
}
void SROTM(int n, float* x, int incx, float* y, int incy, const float* param) {
  Rotm(n, x, incx, y, incy, param);
}
double DDOT3(int n, const double* x, int incx, const double* y, int incy, const double* z,
             int incz) {
  return Dot3(n, x, incx, y, incy, z, incz);
}
float SDOT3(int n, const float* x, int incx, const float* y, int incy, const float* z, int incz) {
  return Dot3(n, x, incx, y, incy, z, incz);
}
int IDNAN(int n, const double* x, int incx) { return FirstNan(n, x, incx); }
int IFNAN(int n, const float* x, int incx) { return FirstNan(n, x, incx); }

float* nml_f_regression(int nobs, int nind, float x[], float y[], ...) {
  va_list ap;
  va_start(ap, y);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
    result = RegressionPublic<float>(nobs, nind, x, y, r);
  }
  va_end(ap);
  return result;
}
float* nml_f_regression(int nobs, int nind, float x[], float y[], const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return RegressionPublic<float>(nobs, nind, x, y, r);
}
double* nml_d_regression(int nobs, int nind, double x[], double y[], ...) {
  va_list ap;
  va_start(ap, y);
  double* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
    result = RegressionPublic<double>(nobs, nind, x, y, r);
  }
  va_end(ap);
  return result;
}
double* nml_d_regression(int nobs, int nind, double x[], double y[], const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return RegressionPublic<double>(nobs, nind, x, y, r);
}
