// Distribution functions of the numerical library: Poisson, F, chi-squared and its inverse.
// The float error function, complementary error function and normal distribution they
// stand on (nml_f_erf, nml_f_erfc, nml_f_normal_cdf) are in numerics/nml.h beside their
// double twins. Every routine returns NaN after a TERMINAL error.
#pragma once

#include "numerics/nml.h"

// P(X <= k) for a Poisson variable of mean theta; exact also where e^-theta underflows.
double nml_d_poisson_cdf(int k, double theta);
// P(F <= f) with dfn numerator and dfd denominator degrees of freedom.
float nml_f_F_cdf(float f, float dfn, float dfd);
double nml_d_F_cdf(double f, double dfn, double dfd);
// P(X <= chi2) for df degrees of freedom, and its inverse.
float nml_f_chi_squared_cdf(float chi2, float df);
float nml_f_chi_squared_inverse_cdf(float p, float df);
