// Incomplete gamma function gamma(a, x) (unnormalised, by Tricomi's form) and the complete
// beta function. Each returns NaN after a FATAL or TERMINAL error.
#pragma once

#include "numerics/nml.h"

double nml_d_gamma_incomplete(double a, double x);
double nml_d_beta(double a, double b);
float nml_f_beta(float a, float b);

// Tricomi's gamma*(a, x) = x^-a gamma(a, x) / Gamma(a) for a > 0, x > 0.
double l_gamit(double a, double x);
// 1 / Gamma(x), 0 at the poles.
double GAMR(double x);
