// Univariate summary statistics of a float data matrix (the double routine with the same
// rows and option codes is nml_d_simple_statistics in numerics/nml_stat.h), and the float
// observation reader and NaN test that the regression routines share.
#pragma once

#include "numerics/nml_stat.h"

constexpr int NML_X_COL_DIM = NML_X_ROW_STRIDE;                     // int, default n_variables
constexpr int NML_STAT_COL_DIM = NML_STAT_ROW_STRIDE;               // int, default n_variables
constexpr int NML_CONFIDENCE_MEANS = NML_MEANS_CONFIDENCE;          // double, percent (95)
constexpr int NML_CONFIDENCE_MEANS_ADR = NML_MEANS_CONFIDENCE_ADR;  // float*
constexpr int NML_CONFIDENCE_VARIANCES = NML_VARIANCES_CONFIDENCE;  // double, percent (95)
constexpr int NML_CONFIDENCE_VARIANCES_ADR = NML_VARIANCES_CONFIDENCE_ADR;  // float*
// NML_MEDIAN, NML_MEDIAN_AND_SCALE and NML_RETURN_USER as for the double routine.

// Rows: mean, variance, standard deviation, skewness, excess kurtosis, minimum, maximum,
// range, coefficient of variation, count, mean limits, variance limits; then the median and
// the median absolute deviation and its normal scale on request. Null after a FATAL or
// TERMINAL error.
float* nml_f_simple_statistics(int n_observations, int n_variables, float* x, ...);
float* nml_f_simple_statistics(int n_observations, int n_variables, float* x,
                               const nml_options& options);

// Frequency and weight of row i (status 0 use, 1 zero frequency, 2 missing, 3 error).
void nml_f_obs_weight(int ido, int counter, const float* x, int ldx, int i, int sign, int ifrq,
                      int iwt, float nan, int* nrmiss, float* frequency, float* weight,
                      int* status);
int nml_f_isnan(float x);
