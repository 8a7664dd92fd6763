// Modified Bessel functions I and K of complex argument z for the real orders
// nu, nu + 1, ..., nu + n - 1 (nu > -1/2), in single precision.
//
// The result is a new array of n entries (free it with free()), or the caller's array
// after the option NML_RETURN_USER, which must stand first in the option list:
//   nml_c_bessel_Ix(nu, z, n, NML_RETURN_USER, out, 0)
// Errors (null result or entries left unwritten): 14000 n < 1, 14001 nu <= -1/2,
// 14002 |z| too large, warning 14003 no entry computable (under- or overflow), fatal 14004
// only the first k entries computable.
#pragma once

#include "numerics/nml.h"
#include "numerics/nml_kernels.h"

nml_f_complex* nml_c_bessel_Ix(float nu, nml_f_complex z, int n, ...);
nml_f_complex* nml_c_bessel_Ix_adr(float* nu, nml_f_complex* z, int n, ...);
nml_f_complex* nml_c_bessel_Kx(float nu, nml_f_complex z, int n, ...);
nml_f_complex* nml_c_bessel_Kx_adr(float* nu, nml_f_complex* z, int n, ...);

// Small complex helpers.
nml_f_complex nml_c_neg(nml_f_complex z);
nml_f_complex nml_c_add(nml_f_complex z, nml_f_complex w);
nml_f_complex nml_c_sub(nml_f_complex z, nml_f_complex w);
// x[k * inc] = value for k = 0 .. n - 1.
void nml_c_fill(const int* n, const nml_f_complex* value, nml_f_complex* x, const int* inc);

// The kernel: mode 4 computes I only, mode 2 I and K. dI and dK are not written in these
// modes.
void C3IS(const nml_f_complex* z, const float* nu, const int* n, nml_f_complex I[],
          nml_f_complex K[], nml_f_complex* dI, nml_f_complex* dK, const int* mode);
