// Univariate summary statistics of the numerical library.
#pragma once

#include "numerics/nml_runtime.h"

// Option codes of nml_d_simple_statistics (list closed by 0).
enum {
  NML_X_ROW_STRIDE = 10045,
  NML_STAT_ROW_STRIDE = 10086,
  NML_MEANS_CONFIDENCE = 10087,
  NML_VARIANCES_CONFIDENCE = 10088,
  NML_MEANS_CONFIDENCE_ADR = 11006,
  NML_VARIANCES_CONFIDENCE_ADR = 11007,
  NML_MEDIAN = 10320,
  NML_MEDIAN_AND_SCALE = 10321,
};

// Rows of the result (one column per variable).
enum {
  NML_STAT_MEAN = 0,
  NML_STAT_VARIANCE = 1,
  NML_STAT_STD_DEV = 2,
  NML_STAT_SKEWNESS = 3,
  NML_STAT_KURTOSIS = 4,
  NML_STAT_MINIMUM = 5,
  NML_STAT_MAXIMUM = 6,
  NML_STAT_RANGE = 7,
  NML_STAT_COEF_VARIATION = 8,
  NML_STAT_COUNT = 9,
  NML_STAT_MEAN_LOWER = 10,
  NML_STAT_MEAN_UPPER = 11,
  NML_STAT_VARIANCE_LOWER = 12,
  NML_STAT_VARIANCE_UPPER = 13,
  NML_STAT_MEDIAN = 14,
  NML_STAT_MAD = 15,
  NML_STAT_MAD_SCALED = 16,
};

// Statistics of each column of the nobs by nvar row-ordered matrix x (NaN marks a missing
// value; an observation with any missing value is dropped). Returns a new row-ordered
// array of 14, 15 or 17 rows by nvar (release with free), the caller's array with
// NML_RETURN_USER, or null after a FATAL or TERMINAL error. x is transposed in place
// during the call and restored.
double* nml_d_simple_statistics(int nobs, int nvar, double* x, ...);
double* nml_d_simple_statistics(int nobs, int nvar, double* x, const nml_options& options);

// a/b without overflow, underflow or division faults (NaN for NaN operands).
void nml_d_div_guarded(double a, double b, double* out);

// Frequency and weight of observation i (1-based) of a column-ordered matrix; ifrq and iwt
// are 1-based column numbers or 0 for none. status: 0 use, 1 zero frequency, 2 missing
// (nrmiss changes by sign), 3 an error was posted.
void nml_d_obs_weight(int ido, int counter, const double* x, int ldx, int i, int sign, int ifrq,
                      int iwt, double nan, int* nrmiss, double* frequency, double* weight,
                      int* status);
