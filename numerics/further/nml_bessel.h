// Real Bessel functions of orders 0 and 1 (Chebyshev series up to 4, modulus and phase
// beyond) and the Kelvin functions of order 0. Each returns NaN after a FATAL or TERMINAL
// error.
#pragma once

#include "numerics/nml.h"

double nml_d_bessel_J0(double x);
double nml_d_bessel_J1(double x);
double nml_d_bessel_Y0(double x);
double nml_d_bessel_Y1(double x);
double nml_d_kelvin_ber0(double x);
double nml_d_kelvin_bei0(double x);
double nml_d_kelvin_ker0(double x);
double nml_d_kelvin_kei0(double x);

// The term counts a Bessel routine computes once per call (0: not yet computed).
struct nml_bessel_terms {
  int ntm, ntth, ntm2, ntth2;  // modulus and phase series, 4 < x <= 8 and x > 8
  double xmax;                 // the modulus-phase kernels' limit, 1 / machine epsilon
  int ntj, nty;                // small-argument series of J and Y
};

// Modulus and phase for x > 4: J = ampl cos(theta), Y = ampl sin(theta).
void l_d9b0mp(const double* x, double* ampl, double* theta, nml_bessel_terms* terms);
void l_d9b1mp(const double* x, double* ampl, double* theta, nml_bessel_terms* terms);
