// One-dimensional (and tensor-product) B-splines of the numerical library: the spline
// structure and its creation, the knot check, the B-spline recurrence, interpolation,
// evaluation at one point or on a grid of points, and the least-squares fit with fixed knots.
//
// Indices of the kernels are 1-based in their documentation: t(1) ... t(n+k) are the knots
// of order k for n coefficients, stored from element 0. Kernels take scalars by address
// (except NML_PPDER and nml_interv_break, which take ideriv, x, k and l by value) and exist
// for float and double (the template is instantiated for both and nothing else).
#pragma once

#include "numerics/nml.h"

// Option codes of the spline routines.
constexpr int NML_COEFFICIENTS = 10027;  // creation: T** (one array per target)
constexpr int NML_DERIV = 10028;         // value: int derivative order
constexpr int NML_KNOTS = 10035;         // creation: T** (one array per dimension); fit: T*
constexpr int NML_ORDER = 10036;         // fit: int order (default 4)
constexpr int NML_WEIGHTS = 10141;       // fit: T* weights
constexpr int NML_OPTIMIZE = 10143;      // fit: no value
constexpr int NML_SSE = 10145;           // fit: T* receiving the sum of squared errors
constexpr int NML_GRID = 11050;          // value: int n, T* points, T** new results
constexpr int NML_GRID_USER = 11051;     // value: int n, T* points, T* results

// A tensor-product spline in one heap block; release it with free().
struct nml_f_spline {
  int domain_dim;
  int target_dim;
  int* order;
  int* num_coef;
  int* num_knots;
  float** knots;
  float** coef;
};
struct nml_d_spline {
  int domain_dim;
  int target_dim;
  int* order;
  int* num_coef;
  int* num_knots;
  double** knots;
  double** coef;
};

nml_f_spline* nml_f_spline_create(int domain_dim, int target_dim, const int orders[],
                                  const int num_coefs[], ...);
nml_f_spline* nml_f_spline_create(int domain_dim, int target_dim, const int orders[],
                                  const int num_coefs[], const nml_options& options);
nml_d_spline* nml_d_spline_create(int domain_dim, int target_dim, const int orders[],
                                  const int num_coefs[], ...);
nml_d_spline* nml_d_spline_create(int domain_dim, int target_dim, const int orders[],
                                  const int num_coefs[], const nml_options& options);

// Value or derivative at x (0 outside the knots) or, with a grid option, at strictly
// increasing points through the piecewise-polynomial form (end pieces extended; the
// function result is then NaN).
float nml_f_spline_value(float x, const nml_f_spline* sp, ...);
float nml_f_spline_value(float x, const nml_f_spline* sp, const nml_options& options);
double nml_d_spline_value(double x, const nml_d_spline* sp, ...);
double nml_d_spline_value(double x, const nml_d_spline* sp, const nml_options& options);

// Weighted least-squares spline with spline_space_dim coefficients.
nml_f_spline* nml_f_spline_least_squares(int ndata, const float xdata[], const float fdata[],
                                         int spline_space_dim, ...);
nml_f_spline* nml_f_spline_least_squares(int ndata, const float xdata[], const float fdata[],
                                         int spline_space_dim, const nml_options& options);
nml_d_spline* nml_d_spline_least_squares(int ndata, const double xdata[], const double fdata[],
                                         int spline_space_dim, ...);
nml_d_spline* nml_d_spline_least_squares(int ndata, const double xdata[], const double fdata[],
                                         int spline_space_dim, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels (T = float or double).

// Checks a knot sequence of order *korder for *ncoef coefficients (3031, 3035, 3028, 3029).
template <class T>
void NML_B3INT(const int* korder, const T* knots, const int* ncoef);
// Values at x of the k B-splines of order k nonzero on [t(left), t(left+1)).
template <class T>
void nml_bsplvb(const T* t, const int* k, const T* x, const int* left, T* biatx, T* deltar,
                T* deltal);
// Interpolating coefficients; work: (2k-1)*n band matrix, n solver values, (3k-2)*n factor.
template <class T>
void NML_B2INT(const int* ndata, const T* xdata, const T* fdata, const int* korder, const T* knots,
               T* bscoef, T* work, T* xsorted, T* fsorted, int* iwork);
// Order, data count, knots and Schoenberg-Whitney conditions of sorted data.
template <class T>
void nml_knot_data_check(const char* xname, const char* kname, const int* ndata, const T* data,
                         const int* korder, const T* knots);
// Collocation system in band form (lda rows) solved into bscoef; scratch holds n values and
// a (3k-2)*n factor, iperm n pivots.
template <class T>
void nml_splint(const int* ndata, const T* x, const T* f, const int* k, const T* t, T* bscoef, T* q,
                const int* lda, T* scratch, int* iperm);

// Derivative of order ideriv at x; work1..3 hold k values each.
template <class T>
T NML_B2DER(const int* ideriv, const T* x, const int* k, const T* t, const int* n, const T* a,
            T* work1, T* work2, T* work3);
template <class T>
T nml_bvalue(const int* ideriv, const T* x, const int* k, const T* t, const int* n, const T* a,
             T* work1, T* work2, T* work3);
// left with t(left) <= x < t(left+1) among t(1..lxt); mflag -1 / 0 / 1 for left of, inside,
// right of the knots (x = t(lxt) belongs to the last nondegenerate interval).
template <class T>
void nml_interv(const T* t, const int* lxt, const T* x, int* left, int* mflag);
// Values at npts strictly increasing points; pp k*(n-k+1), brk n-k+2, leftidx, diff and temp
// npts each, work k*(k+3).
template <class T>
void B21GD(const int* ideriv, const int* npts, const T* points, const int* k, const T* t,
           const int* n, const T* a, T* results, T* pp, T* brk, int* leftidx, T* diff, T* temp,
           T* work);
// Piecewise-polynomial form: l pieces, brk(1..l+1), pp k x l; work k*(k+3).
template <class T>
void NML_B2CPP(const int* k, const T* t, const int* n, const T* a, int* l, T* brk, T* pp, T* work);
template <class T>
void NML_B3CPP(const int* k, const T* t, const int* n, const T* a, int* l, T* brk, T* pp,
               T* scratch, T* biatx, T* deltal, T* deltar);
template <class T>
T NML_PPDER(int ideriv, T x, int k, int l, const T* brk, const T* pp);
template <class T>
void nml_interv_break(int k, int l, const T* brk, T x, int* left);

// Run test of the knots t(1..n+k) of order k: fatal 3028 (a knot repeated more than k times)
// or 3029 (decreasing), naming the axis xname. False after posting.
template <class T>
bool nml_knot_runs(const int* k, const T* t, const int* n, const char* xname);

// Least squares with fixed knots; work k*(n+3), xs, fs, ws, iperm ndata each.
template <class T>
void NML_B2LSQ(const int* ndata, const T* x, const T* f, const T* w, const int* k, const T* t,
               const int* n, T* bscoef, T* work, T* xs, T* fs, T* ws, int* iperm);
// Normal equations on sorted data; q k*n, scratch 3k.
template <class T>
void NML_B4LSQ(const int* ndata, const T* xs, const T* fs, const T* ws, const int* k, const T* t,
               const int* n, T* bscoef, T* q, T* scratch);
template <class T>
void nml_lsq_check(const int* ndata, const int* k, const T* t, const T* w, const int* n);
// Banded Cholesky of the lower band q (nbands x nrow) and its solve.
template <class T>
void nml_bchfac(T* q, const int* nbands, const int* nrow);
template <class T>
void nml_bchslv(const T* q, const int* nbands, const int* nrow, T* b);

// ---------------------------------------------------------------------------------------
// Knot optimisation of the least-squares fit.

// State of the reverse-communication minimiser, kept by its caller between calls.
template <class T>
struct nml_minimiser_state {
  int status = 0, phase = 0, stage = 0, count = 0;
  T x1 = 0, x2 = 0, x3 = 0, xbest = 0, f1 = 0, f2 = 0, f3 = 0, fbest = 0;
  T acc = 0, left = 0, right = 0, room = 0, s1 = 0, s2 = 0, s3 = 0, step = 0, stepmin = 0;
};

// Variable-knot fit: tguess the starting knots, t the final ones, ssq the square root of the
// weighted residual sum. iwork ndata ints, work (2k+6)n + (7-k)k + 3 + 3 ndata values.
template <class T>
void NML_B2VLS(const int* ndata, const T* x, const T* f, const T* w, const int* k, const int* n,
               T* tguess, T* t, T* bscoef, T* ssq, int* iwork, T* work);
// Minimiser by reverse communication: call with *ido = 0; while *ido comes back 1, set *f to
// the function at *x and call again; *ido = 2 ends with the best point and value.
template <class T>
void NML_B7VLS(int* ido, T* f, const T* a, const T* b, const T* guess, const T* step, const T* acc,
               const int* maxfn, T* x, nml_minimiser_state<T>* state);
// n breakpoints of lnew intervals equidistributing the k-th root of the highest derivative.
template <class T>
void nml_newnot(const T* brk, const T* pp, const int* l, const int* k, T* brknew, const int* lnew,
                T* scratch);
// Copies source to target and sorts target ascending (615 for n < 1).
template <class T>
void SVRGN(int n, const T* source, T* target);
// 1-based index of the first largest of n values with a stride (0 for n < 1).
template <class T>
int nml_index_of_max(int n, const T* v, int stride);
