// nml_d_zeros_poly: all zeros of a real polynomial in double precision, by the three-stage
// Jenkins-Traub procedure for real coefficients (degree 1 to 100), or as the eigenvalues of
// the companion matrix.
//
// coef[i] is the coefficient of x^i (constant first, leading last). The routine works on
// the caller's array while it runs and leaves it as it was given. Vanishing leading
// coefficients give zeros at infinity, (+inf, 0), at the end of the result with WARNING
// 7004. The result is allocated with malloc and released by the caller with free; after a
// FATAL or TERMINAL error it is null.
#pragma once

#include "numerics/further/nml_dcomplex.h"
#include "numerics/nml_runtime.h"

// Options (the list ends with 0):
// NML_RETURN_USER (10260), nml_d_complex*: the zeros go into the caller's array of ndeg.
constexpr int NML_COMPANION = 11082;  // no value: eigenvalues of the companion matrix

nml_d_complex* nml_d_zeros_poly(int ndeg, double* coef, ...);
nml_d_complex* nml_d_zeros_poly(int ndeg, double* coef, const nml_options& options);
