// Univariate summary statistics in one design for both precisions: one pass of updating
// central moments per variable, then the derived statistics, confidence limits, and on
// request medians and scales. K supplies the routines of its precision: Mach(i),
// SafeDiv(a, b, q), TInverse(p, df), ChiSquaredInverse(p, df), NormalInverse(p), and
// kRefuseLevel100: whether a confidence level of exactly 100 % is refused (the float routine)
// or answered with NaN limits (the double routine).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_stat.h"

namespace nml {

inline void SetStatArg(int k, double v) { nml_error_set_double(k, v); }
inline void SetStatArg(int k, float v) { nml_error_set_float(k, v); }

template <class T>
void ObsWeight(int ido, int counter, const T* x, int ldx, int i, int sign, int ifrq, int iwt,
               int* nrmiss, T* frequency, T* weight, int* status) {
  *status = 0;
  T fr = T(1), wt = T(1);
  if (ifrq > 0) fr = x[(size_t)(ifrq - 1) * ldx + (i - 1)];
  if (iwt > 0) wt = x[(size_t)(iwt - 1) * ldx + (i - 1)];
  if (std::isnan(fr) || std::isnan(wt)) {
    *nrmiss += sign;
    *status = 2;
    return;
  }
  if (fr < T(0)) {
    nml_error_set_int(1, i);
    SetStatArg(1, fr);
    if (ido >= 1) {
      nml_error_set_int(2, counter);
      nml_error_post(4, 11054);
    } else {
      nml_error_post(4, 11055);
    }
    *status = 3;
    return;
  }
  if (wt < T(0)) {
    nml_error_set_int(1, i);
    SetStatArg(1, wt);
    if (ido >= 1) {
      nml_error_set_int(2, counter);
      nml_error_post(4, 11056);
    } else {
      nml_error_post(4, 11057);
    }
    *status = 3;
    return;
  }
  if (fr == T(0)) {
    *status = 1;
    return;
  }
  *frequency = sign == -1 ? -fr : fr;
  *weight = wt;
}

struct u2sta_state {
  int unused;
  int calls;
};

// Kernel: statistics column-ordered, statistic r of variable j at stat[j*ldstat + r].
template <class T, class K>
void U2sta(int ido, int nrow, int nvar, const T* x, int ldx, int ifrq, int iwt, T conprm, T conprv,
           int iprint, T* stat, int ldstat, int* nrmiss, T* wk, u2sta_state* state) {
  static const char* const name = "l_u2sta";
  nml_error_push_name(name);
  state->calls += 1;
  int count = 1;
  nml_check_range(ido, "ido", 0, 3, &count);
  nml_check_range(nvar, "nvar", 1, -1, &count);
  nml_check_range(ifrq, "ifrq", 0, -1, &count);
  nml_check_range(iwt, "iwt", 0, -1, &count);
  nml_check_range(iprint, "iprint", 0, 2, &count);
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }
  const T nan = K::Mach(6);
  auto S = [&](int r, int j) -> T& { return stat[(size_t)j * ldstat + r]; };
  T* first = wk;
  T* differs = wk + nvar;
  for (int j = 0; j < nvar; ++j) {
    for (int r : {0, 1, 2, 3, 4, 8, 9}) S(r, j) = T(0.0);
    S(5, j) = S(6, j) = nan;
    first[j] = nan;
    differs[j] = T(0.0);
    // Rows of a level that is not computed hold NaN rather than whatever was there.
    if (conprm <= T(0.0)) S(10, j) = S(11, j) = nan;
    if (conprv <= T(0.0)) S(12, j) = S(13, j) = nan;
  }
  *nrmiss = 0;
  if (conprm > T(100) || (K::kRefuseLevel100 && conprm == T(100))) {
    SetStatArg(1, conprm);
    nml_error_post(5, 11064);
    nml_error_pop_name(name);
    return;
  }
  if (conprv > T(100) || (K::kRefuseLevel100 && conprv == T(100))) {
    SetStatArg(1, conprv);
    nml_error_post(5, 11065);
    nml_error_pop_name(name);
    return;
  }

  int N = 0;
  for (int i = 1; i <= nrow; ++i) {
    T fr = T(1.0), wt = T(1.0);
    int st = 0;
    ObsWeight(ido, state->calls, x, ldx, i, 1, ifrq, iwt, nrmiss, &fr, &wt, &st);
    if (st == 3) {
      nml_error_pop_name(name);
      return;
    }
    if (st != 0) continue;
    bool missing = false;
    for (int j = 0; j < nvar && !missing; ++j) missing = std::isnan(x[(size_t)j * ldx + (i - 1)]);
    if (missing) {
      *nrmiss += 1;
      continue;
    }
    ++N;
    const T q = T(1.0) / N, b = T(1.0) - q, c = b;
    for (int j = 0; j < nvar; ++j) {
      const T v = x[(size_t)j * ldx + (i - 1)];
      if (std::isnan(first[j])) {
        S(5, j) = S(6, j) = first[j] = v;
      } else {
        if (v < S(5, j)) S(5, j) = v;
        if (v > S(6, j)) S(6, j) = v;
        if (v != first[j]) differs[j] = T(1.0);
      }
      T& mean = S(0, j);
      T& M2 = S(1, j);
      T& M3 = S(3, j);
      T& M4 = S(4, j);
      const T d = v - mean, e = q * d, d2 = d * d;
      M4 = M4 + (T(1.0) - T(3.0) * q * b) * c * d2 * d2 + T(6.0) * e * e * M2 - T(4.0) * e * M3;
      M3 = M3 + (T(1.0) - T(2.0) * q) * c * d2 * d - T(3.0) * e * M2;
      M2 = M2 + c * d2;
      mean = mean + e;
    }
  }
  for (int j = 0; j < nvar; ++j) S(9, j) = N;

  auto conf_nan = [&](int j) {
    if (conprm > T(0.0)) S(10, j) = S(11, j) = nan;
    if (conprv > T(0.0)) S(12, j) = S(13, j) = nan;
  };
  auto range_of = [&](int j) {
    S(7, j) = (!std::isnan(S(5, j)) && !std::isnan(S(6, j))) ? S(6, j) - S(5, j) : T(0.0);
  };
  const T small = K::Mach(1);
  if (N <= 1) {
    for (int j = 0; j < nvar; ++j) {
      for (int r : {1, 2, 3, 4, 8}) S(r, j) = nan;
      conf_nan(j);
      range_of(j);
    }
    nml_error_post(6, 11067);
    nml_error_pop_name(name);
    return;
  }
  for (int j = 0; j < nvar; ++j) range_of(j);
  int jmax = 0;
  for (int j = 1; j < nvar; ++j)
    if (S(7, j) > S(7, jmax)) jmax = j;
  if (!(S(7, jmax) >= T(0.0))) {
    for (int j = 0; j < nvar; ++j) {
      for (int r : {1, 2, 3, 4, 7, 8}) S(r, j) = nan;
      conf_nan(j);
    }
    nml_error_post(6, 11070);
    nml_error_pop_name(name);
    return;
  }
  const T cube = std::cbrt(small), fourth = std::sqrt(std::sqrt(small));
  const T lnsmall = std::log(small);
  for (int j = 0; j < nvar; ++j) {
    const T range = S(7, j);
    if (std::isnan(range)) continue;
    auto warn = [&](int code) {
      nml_error_set_int(1, j + 1);
      nml_error_post(6, code);
    };
    const T cnt = S(9, j);
    if (cnt <= T(1.0)) {
      for (int r : {1, 2, 3, 4, 8}) S(r, j) = nan;
      conf_nan(j);
      warn(11072);
      continue;
    }
    const T M2 = S(1, j), M3 = S(3, j), M4 = S(4, j);
    if (differs[j] == T(0.0)) {
      S(1, j) = S(2, j) = S(3, j) = S(4, j) = T(0.0);
      warn(11076);
    } else if (!(M2 > T(0.0))) {
      if (!std::isnan(M2)) {
        S(2, j) = S(1, j);
        warn(11077);
      }
    } else {
      const T m2 = M2 / N, s = std::sqrt(m2);
      if (range < std::sqrt(small)) {
        S(1, j) = S(2, j) = T(0.0);
        S(3, j) = S(4, j) = nan;
        warn(11073);
      } else {
        S(1, j) = M2 / (N - 1);
        S(2, j) = std::sqrt(S(1, j));
        if (range >= cube) {
          S(3, j) =
              T(3.0) * std::log(s) >= lnsmall ? M3 / (s * s * s * N) : ((M3 / (N * s)) / s) / s;
        } else {
          S(3, j) = S(4, j) = nan;
          warn(11074);
        }
        if (range >= fourth) {
          S(4, j) = T(2.0) * std::log(m2) >= lnsmall ? M4 / (m2 * m2 * N) - T(3.0)
                                                     : (M4 / (N * m2)) / m2 - T(3.0);
        } else {
          S(4, j) = nan;
          warn(11075);
        }
      }
    }
    const T mean = S(0, j), dev = S(2, j), var = S(1, j);
    if (std::isnan(mean) || std::fabs(mean) < K::Mach(4))
      S(8, j) = nan;
    else
      K::SafeDiv(dev, mean, &S(8, j));
    if (std::isnan(S(8, j))) warn(11078);

    const T df = N - 1;
    if (conprm > T(0.0)) {
      if (dev >= T(0.0)) {
        const T t = K::TInverse(conprm / 200 + T(0.5), df);
        if (nml_error_type(1) < 5) {
          const T h = t * dev / std::sqrt((T)N);
          S(10, j) = mean - h;
          S(11, j) = mean + h;
        } else {
          nml_error_post(6, 11080);
          S(10, j) = S(11, j) = nan;
        }
      } else {
        warn(11079);
        S(10, j) = S(11, j) = nan;
      }
    }
    if (conprv > T(0.0)) {
      const T a = (T(1.0) - conprv / T(100.0)) * T(0.5);
      if (var >= T(0.0) && !std::isnan(var)) {
        const T hi = K::ChiSquaredInverse(1 - a, df);
        if (nml_error_type(1) >= 4) {
          nml_error_post(6, 11082);
          S(12, j) = nan;
        } else {
          S(12, j) = var * df / hi;
        }
        const T lo = K::ChiSquaredInverse(a, df);
        if (nml_error_type(1) >= 4) {
          nml_error_post(6, 11082);
          S(13, j) = nan;
        } else {
          S(13, j) = var * df / lo;
        }
      } else {
        warn(11081);
        S(12, j) = S(13, j) = nan;
      }
    }
  }
  nml_error_pop_name(name);
}

template <class T>
T median_of_sorted(const std::vector<T>& v) {
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : T(0.5) * (v[n / 2 - 1] + v[n / 2]);
}

// Ascending sort through the library's sort with permutation.
template <class T>
void sort_with_perm(std::vector<T>& v, std::vector<int>& perm) {
  std::iota(perm.begin(), perm.end(), 1);
  nml_svrgp((int)v.size(), v.data(), v.data(), perm.data());
}

inline bool failed(int type) { return type == 4 || type == 5 || type == 7 || type == 8; }

template <class T, class K>
T* SimpleStatistics(int nobs, int nvar, T* x, nml::OptionReader& r) {
  int sx = nvar, ss = nvar;
  T cm = T(95.0), cv = T(95.0);
  int median = 0;  // 1: median, 2: median and scale
  bool conflict = false;
  T* user = nullptr;
  for (int code; (code = r.NextCode()) != 0;) {
    switch (code) {
      case NML_X_ROW_STRIDE:
        sx = r.Int();
        break;
      case NML_STAT_ROW_STRIDE:
        ss = r.Int();
        break;
      case NML_MEANS_CONFIDENCE:
        cm = static_cast<T>(r.Real());
        break;
      case NML_VARIANCES_CONFIDENCE:
        cv = static_cast<T>(r.Real());
        break;
      case NML_MEANS_CONFIDENCE_ADR:
        cm = *r.Pointer<T>();
        break;
      case NML_VARIANCES_CONFIDENCE_ADR:
        cv = *r.Pointer<T>();
        break;
      case NML_MEDIAN:
      case NML_MEDIAN_AND_SCALE:
        if (median != 0) conflict = true;
        median = code == NML_MEDIAN ? 1 : 2;
        break;
      case NML_RETURN_USER:
        user = r.Pointer<T>();
        break;
      default:
        // The words after an unknown code cannot be read safely: the walk ends here.
        nml_error_set_int(1, code);
        nml_error_set_int(2, r.Position());
        nml_error_post(NML_TERMINAL, 11001);
        return nullptr;
    }
  }
  if (nml_error_type(0) != 0) return nullptr;
  int count = 1;
  nml_check_range(nvar, "n_variables", 1, -1, &count);
  nml_check_range(nobs, "n_observations", 1, -1, &count);
  // Shorter rows than variables would read past the data or write past the result.
  nml_check_le(nvar, "n_variables", sx, "x_col_dim", &count);
  nml_check_le(nvar, "n_variables", ss, "stat_col_dim", &count);
  if (conflict) {
    nml_error_set_string(1, "NML_MEDIAN and NML_MEDIAN_AND_SCALE");
    nml_error_post(5, 11117);
  }
  if (nml_error_type(0) != 0) return nullptr;

  const int rows = median == 0 ? 14 : (median == 1 ? 15 : 17);
  std::vector<T> wk(2 * (size_t)nvar);
  std::vector<T> mwork(median ? nobs : 0);
  std::vector<int> mperm(median ? nobs : 0);
  T* result = user;
  if (!result) {
    result = (T*)std::malloc(sizeof(T) * (size_t)rows * ss);
    if (!result) {
      nml_error_set_int(1, nobs);
      nml_error_set_int(2, nvar);
      nml_error_set_string(1, "n_variables");
      nml_error_set_string(2, "n_observations");
      nml_error_post(5, 202);
      return nullptr;
    }
    // columns beyond nvar (a wider row stride) are not statistics
    std::fill(result, result + (size_t)rows * ss, K::Mach(6));
  }

  M1RAN_F(nobs, sx, x, x);
  u2sta_state state{0, 0};
  int nrmiss = 0;
  U2sta<T, K>(0, nobs, nvar, x, nobs, 0, 0, cm, cv, 0, result, rows, &nrmiss, wk.data(), &state);
  const int ktype = nml_error_type(1);
  if (nrmiss > 0) nml_error_post(6, 11062);
  if (!failed(ktype) || user) {
    M1RAN_F(ss, rows, result, result);
    auto R = [&](int r, int j) -> T& { return result[(size_t)r * ss + j]; };
    if (median) {
      const T nan = K::Mach(6);
      const T c = median == 2 ? K::NormalInverse(T(T(0.75))) : T(1.0);
      for (int j = 0; j < nvar; ++j) {
        const bool complete = (int)R(9, j) == nobs;
        if (!complete) {
          R(14, j) = nan;
          if (median == 2) R(15, j) = R(16, j) = nan;
          continue;
        }
        std::copy(x + (size_t)j * nobs, x + (size_t)(j + 1) * nobs, mwork.begin());
        sort_with_perm(mwork, mperm);
        const T med = median_of_sorted(mwork);
        R(14, j) = med;
        if (median == 2) {
          for (int i = 0; i < nobs; ++i) mwork[i] = std::fabs(x[(size_t)j * nobs + i] - med);
          sort_with_perm(mwork, mperm);
          R(15, j) = median_of_sorted(mwork);
          R(16, j) = R(15, j) / c;
        }
      }
    }
  } else if (!user) {
    std::free(result);
    result = nullptr;
  }
  M1RAN_F(sx, nobs, x, x);

  if (result && failed(nml_error_type(0))) {
    if (result != user) std::free(result);
    return nullptr;
  }
  return result;
}

}  // namespace nml
