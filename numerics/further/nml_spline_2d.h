// Tensor-product splines of two variables (single precision): value or mixed partial
// derivative at a point or on a rectangular grid, and the weighted least-squares fit to data
// on a rectangular grid.
//
// Coefficients c(a, b) are stored with a running fastest; grid data and grid results are
// row-major: f(i, j) = fdata[(i - 1) * ldf + (j - 1)], value[(i - 1) * ny + (j - 1)].
#pragma once

#include <vector>

#include "numerics/further/nml_spline.h"

constexpr int NML_FDATA_COL_DIM = 10140;  // fit: int ldf (row length of fdata)

// Options: NML_DERIV (int, int), NML_GRID (int nx, float* x, int ny, float* y, float** new
// results), NML_GRID_USER (..., float* results). With a grid option the result is NaN.
float nml_f_spline_2d_value(float x, float y, const nml_f_spline* sp, ...);
float nml_f_spline_2d_value(float x, float y, const nml_f_spline* sp, const nml_options& options);

// Options: NML_ORDER (int kx, int ky), NML_KNOTS (float* tx, float* ty), NML_WEIGHTS (float*
// wx, float* wy), NML_FDATA_COL_DIM (int), NML_SSE (float*). fdata is transposed in place
// during the fit and restored. Null after an error of type FATAL or worse.
nml_f_spline* nml_f_spline_2d_least_squares(int num_xdata, const float xdata[], int num_ydata,
                                            const float ydata[], float fdata[], int x_space_dim,
                                            int y_space_dim, ...);
nml_f_spline* nml_f_spline_2d_least_squares(int num_xdata, const float xdata[], int num_ydata,
                                            const float ydata[], float fdata[], int x_space_dim,
                                            int y_space_dim, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels (every scalar by address).

// Value at (x, y); work 3 max(kx, ky) + ky floats.
float NML_B22DR(const int* ixder, const int* iyder, const float* x, const float* y, const int* kx,
                const int* ky, const float* tx, const float* ty, const int* ncx, const int* ncy,
                const float* c, float* work);
// Grid values, column-major with leading dimension ldf. leftx nx, lefty ny ints; ax kx*kx,
// ay ky*ky, dbx (ixder+1)*kx, dby (iyder+1)*ky, vx kx*nx, vy ky*ny floats.
void B22GD(const int* ixder, const int* iyder, const int* nx, const float* xvec, const int* ny,
           const float* yvec, const int* kx, const int* ky, const float* tx, const float* ty,
           const int* ncx, const int* ncy, const float* c, float* value, const int* ldf, int* leftx,
           int* lefty, float* ax, float* ay, float* dbx, float* dby, float* vx, float* vy);

// The B-spline recurrence raised from its saved level (index 1 starts afresh).
struct nml_bsplvb_state_block {
  int j = 1;
  std::vector<float> deltal, deltar;
};
void nml_bsplvb_state(const float* t, const int* jhigh, const int* index, const float* x,
                      const int* left, float* biatx, nml_bsplvb_state_block* state);
// Values and derivatives up to order nderiv - 1 of the k B-splines nonzero at x
// (dbiatx k x nderiv; a k x k scratch).
void nml_bsplvd(const float* t, const int* k, const float* x, const int* left, float* a,
                float* dbiatx, const int* nderiv, nml_bsplvb_state_block* state);

// The fit kernel; work ncx*ny + ny + kx*ncx + ky*ncy + 3 max(kx, ky) floats.
void nml_b2ls2(const int* nx, const float* x, const int* ny, const float* y, const float* f,
               const int* ldf, const int* kx, const int* ky, const float* tx, const float* ty,
               const int* ncx, const int* ncy, const float* wx, const float* wy, float* c,
               float* work);
// Checks of one axis under `name` ("X" or "Y").
void nml_b3ls2(const int* n, const float* data, const int* k, const float* t, const int* nc,
               const float* w, const char* name, const int* skip);
void nml_b4ls2(const int* nx, const float* x, const int* ny, const float* y, const float* f,
               const int* ldf, const int* kx, const int* ky, const float* tx, const float* ty,
               const int* ncx, const int* ncy, const float* wx, const float* wy, float* c,
               float* work);
// rhs = sum_i w(i) f(i) B(data(i)); with build also q = sum_i w(i) B B^T (lower band, k rows).
void nml_b4ls2_normal(const int* n, const float* data, const float* fcol, const int* fstride,
                      const float* w, const int* k, const float* t, const int* nc, float* rhs,
                      float* q, float* scratch, const int* build);
// Factors qx and solves qx c(:, q) = b1(:, q) for every column q.
void nml_b4ls2_solve_x(const int* ncx, const int* kx, float* qx, const int* ncy, const float* b1,
                       float* c);
