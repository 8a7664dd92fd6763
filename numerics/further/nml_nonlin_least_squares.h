// Nonlinear least squares in double precision: nml_d_nonlin_least_squares fits n parameters
// to m >= n residual functions by a trust-region method with hook steps on a pivoted QR
// factor; nml_d_bounded_least_squares does the same within simple bounds, with an active
// set. Both take the single-precision fits' option codes (numerics/nml_nlsq.h).
//
// Results are allocated with malloc and released by the caller with free (or written into
// the NML_RETURN_USER array). After a FATAL or TERMINAL error (false convergence, the step
// search over its limit, bad arguments) the result is null; warnings (limits reached,
// relative function convergence) return the last point.
#pragma once

#include "numerics/nml_nlsq.h"
#include "numerics/nml_runtime.h"

// Residual function: fills f[0..m-1] with F(x); must not change x.
typedef void (*nml_d_nlsq_fcn)(int m, int n, double x[], double f[]);
// Jacobian function: fjac[i*fjac_col_dim + j] = dF_i/dx_j for i < m, j < n.
typedef void (*nml_d_nlsq_jac)(int m, int n, double x[], double fjac[], int fjac_col_dim);

// The routines' names of the option codes that numerics/nml_nlsq.h names otherwise.
constexpr int NML_MAX_FCN_EVALS = NML_FUNCTION_EVALUATION_LIMIT;                // int
constexpr int NML_REL_FCN_TOLERANCE = NML_RELATIVE_FUNCTION_TOLERANCE;          // double
constexpr int NML_REL_FCN_TOLERANCE_ADR = NML_RELATIVE_FUNCTION_TOLERANCE_ADR;  // double*
constexpr int NML_ABS_FCN_TOLERANCE = NML_ABSOLUTE_FUNCTION_TOLERANCE;          // double
constexpr int NML_ABS_FCN_TOLERANCE_ADR = NML_ABSOLUTE_FUNCTION_TOLERANCE_ADR;  // double*
constexpr int NML_MAX_STEP = NML_STEP_LIMIT;                                    // double
constexpr int NML_MAX_STEP_ADR = NML_STEP_LIMIT_ADR;                            // double*
constexpr int NML_GOOD_DIGITS = NML_FUNCTION_DIGITS;                            // int
constexpr int NML_MAX_ITERATIONS = NML_ITERATION_LIMIT;                         // int
constexpr int NML_MAX_JACOBIAN_EVALS = NML_JACOBIAN_EVALUATION_LIMIT;           // int
constexpr int NML_JACOBIAN_FCN = NML_JACOBIAN_FUNCTION;                         // nml_d_nlsq_jac
constexpr int NML_JACOBIAN = NML_JACOBIAN_MATRIX;                               // double**
constexpr int NML_JACOBIAN_USER = NML_JACOBIAN_MATRIX_USER;                     // double*
constexpr int NML_JACOBIAN_COL_DIM = NML_JACOBIAN_MATRIX_COL_DIM;               // int
constexpr int NML_MAX_HOOK_PASSES = NML_LM_SEARCH_LIMIT;                        // int

double* nml_d_nonlin_least_squares(nml_d_nlsq_fcn fcn, int m, int n, ...);
double* nml_d_nonlin_least_squares(nml_d_nlsq_fcn fcn, int m, int n, const nml_options& options);

// ibtype 0 uses xlb and xub as given; 1 (x >= 0), 2 (x <= 0) and 3 (every bound the first
// pair) write the bounds used into the arrays. A lower bound above its upper bound is
// TERMINAL 8023. The rank, (J'J)^-1 and pass-limit options are not taken here: the step
// search has no pass limit, but one that meets a NaN ends with FATAL 12115.
double* nml_d_bounded_least_squares(nml_d_nlsq_fcn fcn, int m, int n, int ibtype, double* xlb,
                                    double* xub, ...);
double* nml_d_bounded_least_squares(nml_d_nlsq_fcn fcn, int m, int n, int ibtype, double* xlb,
                                    double* xub, const nml_options& options);

// The library's own forms of two steps: the predicted reduction from the row sums of R and
// phi'(0) by the upper-triangle solve (the default). Switched to the standard forms,
// 0.5*||R P's||^2 and the solve with R', so that the two can be compared.
void l_d_nlsq_set_standard_forms(bool standard);
bool l_d_nlsq_standard_forms();
