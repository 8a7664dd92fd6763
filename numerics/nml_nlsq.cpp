// The nonlinear least-squares fits in single precision: the shared design of nml_nlsq_t.h
// over float, the public entry points and the named kernels.
#include "numerics/nml_nlsq.h"

#include <cstdarg>

#include "numerics/nml_nlsq_internal.h"
#include "numerics/nml_nlsq_t.h"

namespace {

l_prediction_form g_prediction_form = l_prediction_row_sum;

struct FloatNlsq {
  using Fcn = nml_nlsq_fcn;
  using Jac = nml_nlsq_jac;
  // The single-precision bounded fit also takes the rank, (J'J)^-1 and pass-limit options
  // and does not compare its bounds.
  static constexpr bool kBoundedTakesRankOptions = true;
  static constexpr bool kCheckBoundOrder = false;
  static bool RowSumPrediction() { return g_prediction_form == l_prediction_row_sum; }
  static bool UpperPhi0() { return false; }
  static float DefaultGradientTolerance() { return std::sqrt(nml_amach(4)); }
  static float RelativeToleranceFloor() { return 1e-10f; }
  static float Eps() { return nml_amach(4); }
  static float Mach(int i) { return nml_amach(i); }
  static float Safe() { return nml::SafeMinimum(); }
  static float Nrm2(int n, const float* x) { return SNRM2(n, x, 1); }
  static float Powi(float x, int k) { return nml_f_powi(x, k); }
  static void ScaledCopy(int n, float a, const float* x, int incx, float* y, int incy) {
    nml_f_scaled_copy(n, a, x, incx, y, incy);
  }
  static void Csfrg(const int* n, float* a, const int* lda) { nml_csfrg(n, a, lda); }
  static void Qr(const int* m, const int* n, float* a, const int* lda, const int* flag, int* p,
                 float* qr, const int* ldqr, float* aux, float* conorm, float* work) {
    L2RRR(m, n, a, lda, flag, p, qr, ldqr, aux, conorm, work);
  }
  static void Rotg(float* a, float* b, float* c, float* s) { SROTG(a, b, c, s); }
  static void Rot(int n, float* x, int incx, float* y, int incy, float c, float s) {
    SROT(n, x, incx, y, incy, c, s);
  }
  static void Scal(int n, float a, float* x, int inc) { SSCAL(n, a, x, inc); }
  static void Rcovb(int n, float* r, int ldr, float s, float* v, int cd) {
    nml_rcovb(n, r, ldr, s, v, cd);
  }
  static void SetReal(int k, float v) { nml_error_set_float(k, v); }
};

using namespace nml::nlsq;
using K = FloatNlsq;

}  // namespace

l_prediction_form l_nlsq_prediction_form() { return g_prediction_form; }
void l_nlsq_set_prediction_form(l_prediction_form form) { g_prediction_form = form; }

void l_scale_vector(int n, const float* d, int k, const float* x, float* y) {
  ScaleVector<float, K>(n, d, k, x, y);
}
void l_update_scaling(int iteration, int n, const float* norms, float* d) {
  UpdateScaling<float>(iteration, n, norms, d);
}
void l_apply_qt(int m, int n, const float* qr, int ld, const float* aux, float* y, float* out) {
  ApplyQt<float>(m, n, qr, ld, aux, y, out);
}
void l_upper_solve(int k, const float* r, int ld, const float* b, float* x) {
  UpperSolve<float>(k, r, ld, b, x);
}
void l_lm_solve(int n, float* r, int ld, const int* p, const float* z, const float* w, float* s,
                float* sdiag, float* work) {
  LmSolve<float, K>(n, r, ld, p, z, w, s, sdiag, work);
}
void l_u7lsf(int n, const float* g, float* r, int ld, const int* p, const float* d, const float* w,
             float maxstep, float* delta, float* mu, int* first, float* s, float* sn, int* gnflag,
             float* sdiag, float* work1, float* work2, int passlimit, l_step_state* st,
             bool bounded) {
  HookStep<float, K>(n, g, r, ld, p, d, w, maxstep, delta, mu, first, s, sn, gnflag, sdiag, work1,
                     work2, passlimit, st, bounded);
}
void l_trust_region_update(nml_nlsq_fcn fcn, int m, int n, const float* x, float f, const float* g,
                           const float* r, int ld, const int* p, float* s, const float* d,
                           int gnflag, float maxstep, float* delta, int* icode, float* xsaved,
                           float* fsaved, float* xc, const float* fx, float* fc, float* f_c,
                           int* maxtaken, int* nfcn, const l_tolerance_block* tol, l_step_state* st,
                           const l_bound_ctx* bounds) {
  TrustRegionUpdate<float, K>(fcn, m, n, x, f, g, r, ld, p, s, d, gnflag, maxstep, delta, icode,
                              xsaved, fsaved, xc, fx, fc, f_c, maxtaken, nfcn, tol, st, bounds);
}
void U5LSF(int m, int n, const float* x, float* d, float* e, int jacflag, int* iparam,
           float* rparam) {
  CheckParameters<float, K>(m, n, x, d, e, jacflag, iparam, rparam);
}
void F2JAC(nml_nlsq_fcn fcn, int m, int n, float* x, const float* d, const float* fx, float rnoise,
           float* fjac, int ld, float* work) {
  DiffJacobian<float, K>(fcn, m, n, x, d, fx, rnoise, fjac, ld, work);
}
void U6LSF(int m, int n, const float* xc, const float* s, const float* fx, float f, const float* g,
           const float* d, const float* e, int* icode, int iter, int nfcn, int njac, int jacflag,
           int maxtaken, const l_tolerance_block* tol, l_step_state* st) {
  StopTest<float, K>(m, n, xc, s, fx, f, g, d, e, icode, iter, nfcn, njac, jacflag, maxtaken, tol,
                     st);
}
int l_u2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit) {
  return U2ls<float, K>(fcn, jac, m, n, xguess, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk, iwk,
                        fjac2, cd, searchlimit);
}
void U2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, float* d, float* e, int* iparam,
           float* rparam, float* x, float* fx, float* fjac, int ldfjac, float* wk, int* iwk,
           int searchlimit) {
  l_u2ls(fcn, nullptr, m, n, xguess, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk, iwk, nullptr, n,
         searchlimit);
}
void U2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit) {
  l_u2ls(fcn, jac, m, n, xguess, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk, iwk, fjac2, cd,
         searchlimit);
}
void l_classify_bounds(int n, const float* x, const float* xlb, const float* xub, int* ibound,
                       float tol, int* anyfixed) {
  ClassifyBounds<float>(n, x, xlb, xub, ibound, tol, anyfixed);
}
void l_compress_columns(int m, int n, const int* ibound, float* fjac, int ld, int* nfixed) {
  CompressColumns<float>(m, n, ibound, fjac, ld, nfixed);
}
void l_release_bound(int n, int* ibound, const float* g, float gtol, int* done) {
  ReleaseBound<float>(n, ibound, g, gtol, done);
}
int l_b2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit) {
  return B2ls<float, K>(fcn, jac, m, n, xguess, ibtype, xlb, xub, d, e, iparam, rparam, x, fx, fjac,
                        ldfjac, wk, iwk, searchlimit);
}
void B2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, int ibtype, float* xlb, float* xub,
           float* d, float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac,
           int ldfjac, float* wk, int* iwk, int searchlimit) {
  l_b2ls(fcn, nullptr, m, n, xguess, ibtype, xlb, xub, d, e, iparam, rparam, x, fx, fjac, ldfjac,
         wk, iwk, searchlimit);
}
void B2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit) {
  l_b2ls(fcn, jac, m, n, xguess, ibtype, xlb, xub, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk,
         iwk, searchlimit);
}
int l_nlsq_rank_and_cov(int m, int n, float* fjac, float tol, int* rank, bool want_cov) {
  return RankAndCov<float, K>(m, n, fjac, tol, rank, want_cov);
}

float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, ...) {
  va_list ap;
  va_start(ap, n);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
    result =
        Public<float, K>("nml_f_nonlin_least_squares", false, fcn, m, n, 0, nullptr, nullptr, r);
  }
  va_end(ap);
  return result;
}

float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, const nml_options& options) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, options);
  return Public<float, K>("nml_f_nonlin_least_squares", false, fcn, m, n, 0, nullptr, nullptr, r);
}

float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, ...) {
  va_list ap;
  va_start(ap, xub);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 6, ap);
    result = Public<float, K>("nml_f_bounded_least_squares", true, fcn, m, n, ibtype, xlb, xub, r);
  }
  va_end(ap);
  return result;
}

float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, const nml_options& options) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 6, options);
  return Public<float, K>("nml_f_bounded_least_squares", true, fcn, m, n, ibtype, xlb, xub, r);
}
