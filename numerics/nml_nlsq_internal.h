// Internal pieces of the nonlinear least-squares fits: the trust-region step and update,
// the iteration drivers and their blocks. Exposed for the library's own tests.
#pragma once

#include <cstddef>

#include "numerics/nml.h"
#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_t.h"

// Calls the caller's function with the error state marked as user code.
inline void l_call_fcn(nml_nlsq_fcn fcn, int m, int n, float* x, float* f) {
  nml_error_user_code("ON");
  fcn(m, n, x, f);
  nml_error_user_code("OFF");
}

// True when the routine that returned last ended with a FATAL or TERMINAL error.
inline bool l_callee_failed() { return nml::nlsq::CalleeFailed(); }

// Half the squared Euclidean norm of f[0..m-1]: the objective of the fits.
inline float l_half_sq_norm(int m, const float* f) {
  const float nrm = SNRM2(m, f, 1);
  return 0.5f * nrm * nrm;
}

// The step state, the tolerance block and the bounded fit's additions, in single precision.
using l_step_state = nml::nlsq::StepState<float>;
using l_tolerance_block = nml::nlsq::Tolerances<float>;
using l_bound_ctx = nml::nlsq::BoundCtx<float>;

// The predicted reduction of a trial step. The library's own form multiplies each row sum
// of R by the step component of that row's pivot; the standard form is 0.5*||R P's||^2.
// Kept switchable so that the two can be compared on certified problems.
enum l_prediction_form { l_prediction_row_sum = 0, l_prediction_standard = 1 };
l_prediction_form l_nlsq_prediction_form();
void l_nlsq_set_prediction_form(l_prediction_form form);

void l_scale_vector(int n, const float* d, int k, const float* x, float* y);
void l_update_scaling(int iteration, int n, const float* norms, float* d);
void l_apply_qt(int m, int n, const float* qr, int ld, const float* aux, float* y, float* out);
void l_upper_solve(int k, const float* r, int ld, const float* b, float* x);
void l_lm_solve(int n, float* r, int ld, const int* p, const float* z, const float* w, float* s,
                float* sdiag, float* work);

// bounded: first radius a^3 when b <= tiny (the bounded fit's variant).
void l_u7lsf(int n, const float* g, float* r, int ld, const int* p, const float* d, const float* w,
             float maxstep, float* delta, float* mu, int* first, float* s, float* sn, int* gnflag,
             float* sdiag, float* work1, float* work2, int passlimit, l_step_state* st,
             bool bounded = false);

void l_trust_region_update(nml_nlsq_fcn fcn, int m, int n, const float* x, float f, const float* g,
                           const float* r, int ld, const int* p, float* s, const float* d,
                           int gnflag, float maxstep, float* delta, int* icode, float* xsaved,
                           float* fsaved, float* xc, const float* fx, float* fc, float* f_c,
                           int* maxtaken, int* nfcn, const l_tolerance_block* tol, l_step_state* st,
                           const l_bound_ctx* bounds = nullptr);

// Check step, difference Jacobian and stopping tests of the iteration.
void U5LSF(int m, int n, const float* x, float* d, float* e, int jacflag, int* iparam,
           float* rparam);
void F2JAC(nml_nlsq_fcn fcn, int m, int n, float* x, const float* d, const float* fx, float rnoise,
           float* fjac, int ld, float* work);
void U6LSF(int m, int n, const float* xc, const float* s, const float* fx, float f, const float* g,
           const float* d, const float* e, int* icode, int iter, int nfcn, int njac, int jacflag,
           int maxtaken, const l_tolerance_block* tol, l_step_state* st);

// Unbounded drivers. iparam: init flag, digits, iteration limit, function limit, Jacobian
// limit, internal scaling (entries 3..5 receive the counts); rparam: gradient, step,
// relative and absolute function tolerances, false-convergence tolerance, maximum step,
// initial radius.
void U2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, float* d, float* e, int* iparam,
           float* rparam, float* x, float* fx, float* fjac, int ldfjac, float* wk, int* iwk,
           int searchlimit);
void U2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit);

// Bounded drivers (sizes as values here); ibtype as the public routine.
void B2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, int ibtype, float* xlb, float* xub,
           float* d, float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac,
           int ldfjac, float* wk, int* iwk, int searchlimit);
void B2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit);

void l_classify_bounds(int n, const float* x, const float* xlb, const float* xub, int* ibound,
                       float tol, int* anyfixed);
void l_compress_columns(int m, int n, const int* ibound, float* fjac, int ld, int* nfixed);
void l_release_bound(int n, int* ibound, const float* g, float gtol, int* done);

// Rank decision and (J'J)^-1 on the final Jacobian (shared by both fits): factors fjac
// (m by n, leading dimension m) in place and leaves (J'J)^-1 in its leading n by n part.
// Returns nonzero when the covariance failed with a TERMINAL error.
int l_nlsq_rank_and_cov(int m, int n, float* fjac, float tol, int* rank, bool want_cov);

// The drivers behind the documented entry points; they return 4 or 5 when the fit ended
// with a FATAL or TERMINAL error (-1: bound type rejected, nothing solved), else 0.
int l_u2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit);
int l_b2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit);
