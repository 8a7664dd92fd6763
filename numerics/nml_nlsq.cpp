// Public entry points of the nonlinear least-squares fits: option lists, defaults,
// workspace, the call of the iteration and the optional outputs.
#include "numerics/nml_nlsq.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numerics/nml_nlsq_internal.h"

namespace {
inline float& R_(float* r, int ld, int i, int j) { return r[(size_t)(j - 1) * ld + (i - 1)]; }

struct nlsq_options {
  int* rank_out = nullptr;
  float rank_tol = 0.0f;
  bool rank_tol_given = false;
  float* xguess = nullptr;
  int maxfcn = 400;
  float delta = -999.0f;
  float* xscale = nullptr;
  float* fscale = nullptr;
  float gtol = 0.0f, steptol = 0.0f, rftol = 0.0f, aftol = 0.0f, maxstep = -999.0f;
  int digits = 0;
  int itmax = 100;
  nml_nlsq_jac jac = nullptr;
  float* result_user = nullptr;
  int maxjac = 400;
  bool internal_scaling = false;
  float** residuals_out = nullptr;
  float* residuals_user = nullptr;
  float** jac_out = nullptr;
  float* jac_user = nullptr;
  int jac_cd = 0;
  float** jtj_out = nullptr;
  float* jtj_user = nullptr;
  int jtj_cd = 0;
  int searchlimit = 100;
};

void set_defaults(nlsq_options& o, int n) {
  const double eps = nml_amach(4);
  const float eps23 = (float)std::pow(eps, 2.0 / 3.0);
  o.gtol = (float)std::sqrt(eps);
  o.steptol = eps23;
  o.rftol = std::max(1e-10f, eps23);
  o.aftol = std::max(1e-10f, eps23);
  o.digits = (int)(0.1 - std::log10(eps));
  o.rank_tol = (float)std::sqrt(eps);
  o.jac_cd = n;
  o.jtj_cd = n;
}

// Walks the option list. An unknown code posts TERMINAL 103 and ends the walk: the words
// after it cannot be read safely.
void walk_options(nlsq_options& o, nml::OptionReader& r) {
  bool jacobian_function = false;
  for (int code; (code = r.NextCode()) != 0;) {
    switch (code) {
      case NML_JACOBIAN_RANK:
        o.rank_out = r.Pointer<int>();
        break;
      case NML_RANK_TOLERANCE:
        o.rank_tol = (float)r.Real();
        o.rank_tol_given = true;
        break;
      case NML_RANK_TOLERANCE_ADR:
        o.rank_tol = *r.Pointer<float>();
        o.rank_tol_given = true;
        break;
      case NML_INITIAL_GUESS:
        o.xguess = r.Pointer<float>();
        break;
      case NML_FUNCTION_EVALUATION_LIMIT:
        o.maxfcn = r.Int();
        break;
      case NML_INITIAL_TRUST_RADIUS:
        o.delta = (float)r.Real();
        break;
      case NML_X_SCALE:
        o.xscale = r.Pointer<float>();
        break;
      case NML_F_SCALE:
        o.fscale = r.Pointer<float>();
        break;
      case NML_GRADIENT_TOLERANCE:
        o.gtol = (float)r.Real();
        break;
      case NML_STEP_TOLERANCE:
        o.steptol = (float)r.Real();
        break;
      case NML_RELATIVE_FUNCTION_TOLERANCE:
        o.rftol = (float)r.Real();
        break;
      case NML_STEP_LIMIT:
        o.maxstep = (float)r.Real();
        break;
      case NML_FUNCTION_DIGITS:
        o.digits = r.Int();
        break;
      case NML_ITERATION_LIMIT:
        o.itmax = r.Int();
        break;
      case NML_JACOBIAN_FUNCTION:
        o.jac = r.Function<nml_nlsq_jac>();
        jacobian_function = true;
        break;
      case NML_RETURN_USER:
        o.result_user = r.Pointer<float>();
        break;
      case NML_ABSOLUTE_FUNCTION_TOLERANCE:
        o.aftol = (float)r.Real();
        break;
      case NML_JACOBIAN_EVALUATION_LIMIT:
        o.maxjac = r.Int();
        break;
      case NML_INTERNAL_SCALING:
        o.internal_scaling = true;
        break;
      case NML_RESIDUALS:
        o.residuals_out = r.Pointer<float*>();
        break;
      case NML_RESIDUALS_USER:
        o.residuals_user = r.Pointer<float>();
        break;
      case NML_JACOBIAN_MATRIX:
        o.jac_out = r.Pointer<float*>();
        break;
      case NML_JACOBIAN_MATRIX_USER:
        o.jac_user = r.Pointer<float>();
        break;
      case NML_JACOBIAN_MATRIX_COL_DIM:
        o.jac_cd = r.Int();
        break;
      case NML_JTJ_INVERSE:
        o.jtj_out = r.Pointer<float*>();
        break;
      case NML_JTJ_INVERSE_USER:
        o.jtj_user = r.Pointer<float>();
        break;
      case NML_JTJ_INVERSE_COL_DIM:
        o.jtj_cd = r.Int();
        break;
      case NML_GRADIENT_TOLERANCE_ADR:
        o.gtol = *r.Pointer<float>();
        break;
      case NML_STEP_TOLERANCE_ADR:
        o.steptol = *r.Pointer<float>();
        break;
      case NML_RELATIVE_FUNCTION_TOLERANCE_ADR:
        o.rftol = *r.Pointer<float>();
        break;
      case NML_STEP_LIMIT_ADR:
        o.maxstep = *r.Pointer<float>();
        break;
      case NML_ABSOLUTE_FUNCTION_TOLERANCE_ADR:
        o.aftol = *r.Pointer<float>();
        break;
      case NML_INITIAL_TRUST_RADIUS_ADR:
        o.delta = *r.Pointer<float>();
        break;
      case NML_LM_SEARCH_LIMIT:
        o.searchlimit = r.Int();
        break;
      default:
        r.Unknown();
        break;
    }
  }
  if (jacobian_function && !o.rank_tol_given) o.rank_tol = 100.0f * nml_amach(4);
}

// Copies an m by n column-ordered matrix (leading dimension ld) into a row-ordered array
// with the given column dimension.
void to_rows(int m, int n, float* a, int ld, float* out, int cd) {
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) out[(size_t)(i - 1) * cd + (j - 1)] = R_(a, ld, i, j);
}

float* nlsq_body(bool bounded, nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb, float* xub,
                 nml::OptionReader& reader) {
  nlsq_options o;
  set_defaults(o, n);
  walk_options(o, reader);
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

  const float eps = nml_amach(4);
  int iparam[6] = {1, o.digits, o.itmax, o.maxfcn, o.maxjac, o.internal_scaling ? 1 : 0};
  float rparam[7] = {o.gtol, o.steptol, o.rftol, o.aftol, 100.0f * eps, o.maxstep, o.delta};

  std::vector<float> xguess(o.xguess ? 0 : n, 0.0f);
  std::vector<float> d(n, 1.0f), e(m, 1.0f);
  if (o.xscale) std::memcpy(d.data(), o.xscale, sizeof(float) * n);
  if (o.fscale) std::memcpy(e.data(), o.fscale, sizeof(float) * m);
  const size_t nwork =
      bounded ? 11 * (size_t)n + 3 * (size_t)m - 1 : 9 * (size_t)n + 3 * (size_t)m - 1;
  std::vector<float> wk(nwork, 0.0f);
  std::vector<int> iwk(bounded ? 2 * n : n, 0);
  std::vector<float> fjac((size_t)m * n, 0.0f);
  std::vector<float> fjac2(o.jac && !bounded ? (size_t)m * std::max(o.jac_cd, n) : 0);

  // The residuals live in malloc'd memory unless the caller gives an array: option 10293
  // hands them over to be released with free.
  float* fx = o.residuals_user;
  bool own_fx = false;
  if (!fx) {
    fx = (float*)std::malloc(sizeof(float) * m);
    own_fx = true;
  }
  float* result = o.result_user;
  if (!result) result = (float*)std::malloc(sizeof(float) * n);
  if (!result || !fx) {
    nml_error_set_int(1, n);
    nml_error_set_string(1, "n");
    nml_error_post(5, 201);
    if (result != o.result_user) std::free(result);
    if (own_fx) std::free(fx);
    return nullptr;
  }

  const float* start = o.xguess ? o.xguess : xguess.data();
  int status;
  if (bounded)
    status = l_b2ls(fcn, o.jac, m, n, start, ibtype, xlb, xub, d.data(), e.data(), iparam, rparam,
                    result, fx, fjac.data(), m, wk.data(), iwk.data(), o.searchlimit);
  else
    status = l_u2ls(fcn, o.jac, m, n, start, d.data(), e.data(), iparam, rparam, result, fx,
                    fjac.data(), m, wk.data(), iwk.data(), fjac2.data(), o.jac_cd, o.searchlimit);
  const bool started = status != -1;
  if (status == -1) status = 5;

  if (started && o.residuals_out) {
    *o.residuals_out = fx;
    own_fx = false;
  }
  if (started && status != 5) {
    if (o.jac_user) to_rows(m, n, fjac.data(), m, o.jac_user, o.jac_cd);
    if (o.jac_out) {
      // a column dimension below n would make the rows overlap: never write past the array
      float* jout = (float*)std::malloc(sizeof(float) * (size_t)m * std::max(o.jac_cd, n));
      if (jout) {
        to_rows(m, n, fjac.data(), m, jout, o.jac_cd);
        *o.jac_out = jout;
      }
    }
    const bool want_cov = o.jtj_out || o.jtj_user;
    if (o.rank_out || want_cov) {
      int rank = n;
      const bool cov_ok = l_nlsq_rank_and_cov(m, n, fjac.data(), o.rank_tol, &rank, want_cov) == 0;
      if (o.rank_out) *o.rank_out = rank;
      if (want_cov && cov_ok) {
        if (o.jtj_out) {
          float* vout = (float*)std::malloc(sizeof(float) * (size_t)n * std::max(o.jtj_cd, n));
          if (vout) {
            to_rows(n, n, fjac.data(), m, vout, o.jtj_cd);
            *o.jtj_out = vout;
          }
        } else {
          to_rows(n, n, fjac.data(), m, o.jtj_user, o.jtj_cd);
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
}  // namespace

int l_nlsq_rank_and_cov(int m, int n, float* fjac, float tol, int* rank, bool want_cov) {
  std::vector<float> aux(n), conorm(n), work(2 * (size_t)n);
  std::vector<int> ipvt(n, 0);
  const int zero = 0;
  L2RRR(&m, &n, fjac, &m, &zero, ipvt.data(), fjac, &m, aux.data(), conorm.data(), work.data());
  auto nonneg_diagonal = [&]() {
    for (int j = 1; j <= n; ++j)
      if (R_(fjac, m, j, j) < 0.0f)
        for (int k = j; k <= n; ++k) R_(fjac, m, j, k) = -R_(fjac, m, j, k);
  };
  nonneg_diagonal();
  int r = n;
  const float t = tol * tol;
  for (int j = 1; j <= n; ++j) {
    float c = 0.0f;
    for (int i = 1; i <= j; ++i) c += R_(fjac, m, i, j) * R_(fjac, m, i, j);
    const float djj = R_(fjac, m, j, j);
    if (djj * djj < t * c) {
      --r;
      for (int k = j + 1; k <= n; ++k) {
        float a = R_(fjac, m, k, k), b = R_(fjac, m, j, k), cs, sn;
        SROTG(&a, &b, &cs, &sn);
        R_(fjac, m, k, k) = a;
        if (k < n) SROT(n - k, &R_(fjac, m, k, k + 1), m, &R_(fjac, m, j, k + 1), m, cs, sn);
      }
      for (int k = j; k <= n; ++k) R_(fjac, m, j, k) = 0.0f;
    }
  }
  *rank = r;
  if (!want_cov) return 0;
  // The rotations can leave a negative diagonal element, which the covariance would
  // take for a dropped parameter; a row's sign does not change R'R.
  nonneg_diagonal();
  nml_rcovb(n, fjac, m, 1.0f, fjac, m);
  const int type = nml_error_type(1);
  return (type == 4 || type == 5) ? 1 : 0;
}

float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, ...) {
  va_list ap;
  va_start(ap, n);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
    nml_public("nml_f_nonlin_least_squares",
               [&] { result = nlsq_body(false, fcn, m, n, 0, nullptr, nullptr, r); });
  }
  va_end(ap);
  return result;
}

float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, const nml_options& options) {
  float* result = nullptr;
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, options);
  nml_public("nml_f_nonlin_least_squares",
             [&] { result = nlsq_body(false, fcn, m, n, 0, nullptr, nullptr, r); });
  return result;
}

float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, ...) {
  va_list ap;
  va_start(ap, xub);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 6, ap);
    nml_public("nml_f_bounded_least_squares",
               [&] { result = nlsq_body(true, fcn, m, n, ibtype, xlb, xub, r); });
  }
  va_end(ap);
  return result;
}

float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, const nml_options& options) {
  float* result = nullptr;
  nml::TypedOptionReader r(nml::Runtime::Math(), 6, options);
  nml_public("nml_f_bounded_least_squares",
             [&] { result = nlsq_body(true, fcn, m, n, ibtype, xlb, xub, r); });
  return result;
}
