// Public routines of the numerical library (mathematics side and the statistics side's
// seed setter), with the run time and the kernels they stand on.
#pragma once

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

// ---------------------------------------------------------------------------------------
// Chebyshev series: value at x of cs[0]/2 + sum_{k=1}^{n-1} cs[k] T_k(x), and the number of
// terms needed for an accuracy eta.
double nml_csevl(double x, const double* cs, int n);
float nml_csevl(float x, const float* cs, int n);
int nml_initds(const double* cs, int n, float eta);
int nml_inits(const float* cs, int n, float eta);

// Error function and normal distribution
double nml_d_erf(double x);
double nml_d_erfc(double x);
double nml_d_normal_cdf(double x);
float nml_f_erf(float x);
float nml_f_erfc(float x);
float nml_f_normal_cdf(float x);
float nml_f_normal_inverse_cdf(float p);
double nml_d_normal_inverse_cdf(double p);

// Gamma and beta functions
float nml_f_gamma(float x);
double nml_d_gamma(double x);
float nml_f_log_gamma(float x);
double nml_d_log_gamma(double x);
float nml_f_log_beta(float a, float b);
double nml_d_log_beta(double a, double b);
float l_alnrel(float x);  // log(1 + x)
double l_alnrel(double x);
void l_r9gaml(float* xmin, float* xmax);  // arguments beyond which gamma under/overflows
void l_r9gaml(double* xmin, double* xmax);
float nml_r9lgmc(float x);  // log gamma(x) minus Stirling's approximation, x >= 10
double nml_r9lgmc(double x);
// Run-once initialisers of the gamma range and the range they store.
void l_d_gamma_init();
void l_f_gamma_init();
void l_gamma_range(double* xmin, double* xmax);
void l_gamma_range(float* xmin, float* xmax);

// Incomplete beta function and its inverse
float nml_f_beta_incomplete(float x, float a, float b);
double nml_d_beta_incomplete(double x, double a, double b);
float nml_betin(float p, float a, float b);
double nml_dbetin(double p, double a, double b);

// Student's t and chi-squared distributions
float nml_f_t_inverse(float p, float df);
double nml_d_t_inverse(double p, double df);
double nml_d_chi_squared_cdf(double x, double df);
double nml_d_chi_squared_inverse_cdf(double p, double df);

// ---------------------------------------------------------------------------------------
// Statistics side: its own run time (record, stack, flags, message file "nmls_e.bin").
constexpr int NMLS_MSG_NAME = 11400;          // const char*
constexpr int NMLS_MSG_PATH = 11410;          // const char*
constexpr int NMLS_ERROR_PRINT_PROC = 11420;  // nml_printer
constexpr int NMLS_FULL_TRACEBACK = 11850;    // int
constexpr int NMLS_GET_ERROR_FILE = 11970;    // FILE** out
constexpr int NMLS_GET_PRINT = 11990;         // int type, int* out
constexpr int NMLS_GET_STOP = 12000;          // int type, int* out
constexpr int NMLS_GET_TRACEBACK = 12010;     // int type, int* out
constexpr int NMLS_SET_ERROR_FILE = 14490;    // FILE*
constexpr int NMLS_SET_PRINT = 14520;         // int type, int value
constexpr int NMLS_SET_STOP = 14530;          // int type, int value
constexpr int NMLS_SET_TRACEBACK = 14540;     // int type, int value
constexpr int NMLS_TRAPPING_ON = 16040;
constexpr int NMLS_TRAPPING_OFF = 16041;
constexpr int NMLS_SET_TRAPPING = 16042;      // int
constexpr int NMLS_GET_PRINTER_KIND = 50000;  // int* out
constexpr int NMLS_SET_PRINTER_KIND = 50010;  // int kind

void nmls_random_seed_set(int seed);
void nmls_error_options(int code, ...);
void nmls_error_options(const nml_options& options);
float nmls_amach(int index);

// The generator block that the seed setter fills (the generators themselves are not part
// of this library).
struct nmls_random_block {
  int firstUse;  // 1 until initialised
  int seeded;
  double modulus;     // 2147483647
  double reciprocal;  // 1 / modulus
  double seed;
  float scale;  // the largest float below 2^-31
  int iseed;
  int option;
  int spare[2];
};
const nmls_random_block* nmls_random_block_get();
// The clock value used for seeding: hours*10000 + minutes*100 + seconds + 1, or 123457
// when that is 1 or less.
int nmls_clock_value(int hour, int minute, int second);
