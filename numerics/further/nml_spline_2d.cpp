// Tensor-product splines of two variables: one-point evaluation by two passes of the
// one-dimensional evaluation, grid evaluation through de Boor's BSPLVD scheme, and the
// separable least-squares fit solved axis by axis with the banded Cholesky pair.
#include "numerics/further/nml_spline_2d.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "numerics/further/nml_band.h"
#include "numerics/further/nml_further_kernels.h"
#include "numerics/further/nml_row_order.h"

namespace {

bool Failed() { return nml_error_type(0) >= NML_FATAL; }

void PostInts(int type, int code, int a, int b) {
  nml_error_set_int(1, a);
  nml_error_set_int(2, b);
  nml_error_post(type, code);
}

// The count checks of one axis of the fit, in their two groups (data count and order, then
// coefficient count); false after posting.
bool AxisCountsOk(const char* name, int n, int k, int nc) {
  nml_error_set_string(1, name);
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 3042);
  } else if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3043);
  }
  if (nml_error_code(0) != 0) return false;
  nml_error_set_string(1, name);
  if (nc < k)
    PostInts(NML_TERMINAL, 3010, nc, k);
  else if (nc > n)
    PostInts(NML_TERMINAL, 3044, nc, n);
  return nml_error_code(0) == 0;
}

// The checks shared by both evaluators; false when the call must end.
bool EvalChecks(int ixder, int iyder, int kx, int ky, int ncx, int ncy) {
  if (kx < 1) {
    nml_error_set_int(1, kx);
    nml_error_post(NML_TERMINAL, 3001);
  }
  if (ky < 1) {
    nml_error_set_int(1, ky);
    nml_error_post(NML_TERMINAL, 3002);
  }
  if (nml_error_code(0) != 0) return false;
  if (ixder < 0) {
    nml_error_set_int(1, ixder);
    nml_error_post(NML_TERMINAL, 3003);
  } else if (iyder < 0) {
    nml_error_set_int(1, iyder);
    nml_error_post(NML_TERMINAL, 3004);
  } else {
    if (ncx < kx) PostInts(NML_TERMINAL, 3005, ncx, kx);
    if (ncy < ky) PostInts(NML_TERMINAL, 3006, ncy, ky);
  }
  return nml_error_code(0) == 0;
}

bool Outside(float v, const float* t, int k, int nc) { return v < t[k - 1] || v > t[nc]; }

void PostAxisNames(int code) {
  nml_error_set_string(1, "num_xdata");
  nml_error_set_string(2, "num_ydata");
  nml_error_post(NML_TERMINAL, code);
}

// Default knots of one axis: uniform over the data range, the end knots repeated k times.
void DefaultKnots(int n, const float* data, int k, int nc, float* t) {
  float lo = data[0], hi = data[0];
  for (int i = 1; i < n; ++i) {
    lo = std::min(lo, data[i]);
    hi = std::max(hi, data[i]);
  }
  const float range = std::fabs(hi - lo);
  for (int j = 0; j <= nc - k + 1; ++j)
    t[k - 1 + j] = lo + static_cast<float>(j) * range / static_cast<float>(nc - k + 1);
  for (int i = 0; i < k - 1; ++i) t[i] = t[k - 1];
  for (int i = nc + 1; i < nc + k; ++i) t[i] = t[nc];
}

// Largest |entry| of the solution of the factored band system for (+1, -1, +1, ...).
float InverseEstimate(const float* q, int k, int nc) {
  std::vector<float> v(static_cast<std::size_t>(nc));
  for (int i = 0; i < nc; ++i) v[i] = i % 2 == 0 ? 1.0f : -1.0f;
  nml_bchslv(q, &k, &nc, v.data());
  return std::fabs(v[ISAMAX(nc, v.data(), 1) - 1]);
}

float ValuePublic(float x, float y, const nml_f_spline* sp, nml::OptionReader& r) {
  const float nan = nml_amach(6);
  float result = nan;
  nml_public("nml_f_spline_2d_value", [&] {
    int ixder = 0, iyder = 0, nx = 0, ny = 0;
    const float *xvec = nullptr, *yvec = nullptr;
    float** newResults = nullptr;
    float* userResults = nullptr;
    bool grid = false;
    for (int code; (code = r.NextCode()) != 0;) {
      switch (code) {
        case NML_DERIV:
          ixder = r.Int();
          iyder = r.Int();
          break;
        case NML_GRID:
        case NML_GRID_USER:
          nx = r.Int();
          xvec = r.Pointer<float>();
          ny = r.Int();
          yvec = r.Pointer<float>();
          if (code == NML_GRID)
            newResults = r.Pointer<float*>();
          else
            userResults = r.Pointer<float>();
          grid = true;
          break;
        default:
          r.Unknown();
      }
    }
    if (nml_error_code(0) != 0) return;
    const int kx = sp->order[0], ky = sp->order[1], ncx = sp->num_coef[0], ncy = sp->num_coef[1];
    if (kx < 1) {
      nml_error_set_int(1, kx);
      nml_error_post(NML_TERMINAL, 3001);
    }
    if (ky < 1) {
      nml_error_set_int(1, ky);
      nml_error_post(NML_TERMINAL, 3002);
    }
    if (nml_error_code(0) != 0) return;
    const float *tx = sp->knots[0], *ty = sp->knots[1], *c = sp->coef[0];
    if (!grid) {
      std::vector<float> work(3 * static_cast<std::size_t>(nml_i_max(kx, ky)) + ky);
      const float v =
          NML_B22DR(&ixder, &iyder, &x, &y, &kx, &ky, tx, ty, &ncx, &ncy, c, work.data());
      result = Failed() ? nan : v;
      return;
    }
    if (!newResults && !userResults) {
      nml::PostNullArgument(104, "value", "NML_GRID_USER");
      return;
    }
    nx = std::max(nx, 0);
    ny = std::max(ny, 0);
    const std::size_t mx = static_cast<std::size_t>(nx), my = static_cast<std::size_t>(ny);
    std::vector<int> leftx(mx), lefty(my);
    std::vector<float> ax(static_cast<std::size_t>(kx) * kx), ay(static_cast<std::size_t>(ky) * ky),
        dbx(static_cast<std::size_t>(std::max(ixder, 0) + 1) * kx),
        dby(static_cast<std::size_t>(std::max(iyder, 0) + 1) * ky), vx(kx * mx), vy(ky * my);
    float* out = userResults;
    if (newResults) {
      out = static_cast<float*>(std::malloc(sizeof(float) * std::max<std::size_t>(mx * my, 1)));
      if (!out) {
        nml_error_set_string(1, "nx");
        nml_error_set_string(2, "ny");
        nml_error_set_int(1, nx);
        nml_error_set_int(2, ny);
        nml_error_post(NML_TERMINAL, 202);
        return;
      }
      *newResults = out;
    }
    B22GD(&ixder, &iyder, &nx, xvec, &ny, yvec, &kx, &ky, tx, ty, &ncx, &ncy, c, out, &nx,
          leftx.data(), lefty.data(), ax.data(), ay.data(), dbx.data(), dby.data(), vx.data(),
          vy.data());
    nml::ToRows(nx, ny, out);  // column-major nx x ny -> row-major
  });
  return result;
}

nml_f_spline* LeastSquaresPublic(int nx, const float* xdata, int ny, const float* ydata,
                                 float* fdata, int ncx, int ncy, nml::OptionReader& r) {
  nml_f_spline* result = nullptr;
  nml_public("nml_f_spline_2d_least_squares", [&] {
    int kx = 4, ky = 4, ldf = ny;
    const float *tx = nullptr, *ty = nullptr, *wx = nullptr, *wy = nullptr;
    float* sse = nullptr;
    for (int code; (code = r.NextCode()) != 0;) {
      switch (code) {
        case NML_ORDER:
          kx = r.Int();
          ky = r.Int();
          break;
        case NML_KNOTS:
          tx = r.Pointer<float>();
          ty = r.Pointer<float>();
          break;
        case NML_WEIGHTS:
          wx = r.Pointer<float>();
          wy = r.Pointer<float>();
          break;
        case NML_FDATA_COL_DIM:
          ldf = r.Int();
          break;
        case NML_SSE:
          sse = r.Pointer<float>();
          break;
        default:
          r.Unknown();
      }
    }
    if (nml_error_code(0) != 0) return;
    if (!AxisCountsOk("X", nx, kx, ncx) || !AxisCountsOk("Y", ny, ky, ncy)) return;
    std::vector<float> onesX, onesY;
    if (!wx || !wy) {
      onesX.assign(static_cast<std::size_t>(nx), 1.0f);
      onesY.assign(static_cast<std::size_t>(ny), 1.0f);
      if (!wx) wx = onesX.data();
      if (!wy) wy = onesY.data();
    }
    const int orders[2] = {kx, ky}, ncoefs[2] = {ncx, ncy};
    float* knotArrays[2] = {const_cast<float*>(tx), const_cast<float*>(ty)};
    nml_f_spline* sp = tx && ty
                           ? nml_f_spline_create(2, 1, orders, ncoefs, NML_KNOTS, knotArrays, 0)
                           : nml_f_spline_create(2, 1, orders, ncoefs, 0);
    if (!sp || Failed()) {
      std::free(sp);
      nml_e1mes(0, 0, " ");
      PostAxisNames(202);
      return;
    }
    if (!(tx && ty)) {
      DefaultKnots(nx, xdata, kx, ncx, sp->knots[0]);
      DefaultKnots(ny, ydata, ky, ncy, sp->knots[1]);
    }
    if (ldf < ny) {
      PostInts(NML_TERMINAL, 3104, ldf, ny);
      std::free(sp);
      return;
    }
    const std::size_t workSize = static_cast<std::size_t>(ncx) * ny + ny +
                                 static_cast<std::size_t>(kx) * ncx +
                                 static_cast<std::size_t>(ky) * ncy + 3 * nml_i_max(kx, ky);
    std::vector<float> work(workSize);
    nml::ToColumns(nx, ldf, fdata);
    nml_b2ls2(&nx, xdata, &ny, ydata, fdata, &nx, &kx, &ky, sp->knots[0], sp->knots[1], &ncx, &ncy,
              wx, wy, sp->coef[0], work.data());
    nml::ToRows(nx, ldf, fdata);
    if (Failed()) {
      std::free(sp);
      return;
    }
    if (sse) {
      std::vector<float> w(3 * static_cast<std::size_t>(nml_i_max(kx, ky)) + ky);
      const int zero = 0;
      float sum = 0.0f;
      for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
          const float e = NML_B22DR(&zero, &zero, &xdata[i], &ydata[j], &kx, &ky, sp->knots[0],
                                    sp->knots[1], &ncx, &ncy, sp->coef[0], w.data()) -
                          fdata[static_cast<std::size_t>(i) * ldf + j];
          sum += e * e;
        }
      *sse = sum;
    }
    result = sp;
  });
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Evaluation kernels

float NML_B22DR(const int* ixder, const int* iyder, const float* x, const float* y, const int* kx,
                const int* ky, const float* tx, const float* ty, const int* ncx, const int* ncy,
                const float* c, float* work) {
  nml::NameScope scope("NML_B22DR ");
  if (!EvalChecks(*ixder, *iyder, *kx, *ky, *ncx, *ncy)) return 0.0f;
  if (Outside(*x, tx, *kx, *ncx)) {
    nml_error_set_float(1, *x);
    nml_error_post(NML_WARNING, 3007);
    return 0.0f;
  }
  if (Outside(*y, ty, *ky, *ncy)) {
    nml_error_set_float(1, *y);
    nml_error_post(NML_WARNING, 3008);
    return 0.0f;
  }
  const int lxt = *ncy + *ky;
  int lefty = 0, mflag = 0;
  nml_interv(ty, &lxt, y, &lefty, &mflag);
  if (mflag != 0) return 0.0f;
  const int kmax = nml_i_max(*kx, *ky);
  float* w1 = work;
  float* w2 = work + kmax;
  float* w3 = work + 2 * kmax;
  float* g = work + 3 * kmax;
  for (int q = 1; q <= *ky; ++q) {
    const float* column = c + static_cast<std::size_t>(lefty - *ky + q - 1) * *ncx;
    g[q - 1] = nml_bvalue(ixder, x, kx, tx, ncx, column, w1, w2, w3);
    if (Failed()) return 0.0f;
  }
  return nml_bvalue(iyder, y, ky, ty + (lefty - *ky), ky, g, w1, w2, w3);
}

void nml_bsplvb_state(const float* t, const int* jhigh, const int* index, const float* x,
                      const int* left, float* biatx, nml_bsplvb_state_block* s) {
  const std::size_t need = static_cast<std::size_t>(std::max(*jhigh, 1));
  if (s->deltal.size() < need) {
    s->deltal.resize(need);
    s->deltar.resize(need);
  }
  if (*index == 1) {
    s->j = 1;
    biatx[0] = 1.0f;
    if (s->j >= *jhigh) return;
  }
  do {
    const int j = s->j, jp1 = j + 1;
    s->deltar[j - 1] = t[*left + j - 1] - *x;
    s->deltal[j - 1] = *x - t[*left - j];
    float saved = 0.0f;
    for (int i = 1; i <= j; ++i) {
      const float term = biatx[i - 1] / (s->deltar[i - 1] + s->deltal[jp1 - i - 1]);
      biatx[i - 1] = saved + s->deltar[i - 1] * term;
      saved = s->deltal[jp1 - i - 1] * term;
    }
    biatx[jp1 - 1] = saved;
    s->j = jp1;
  } while (s->j < *jhigh);
}

void nml_bsplvd(const float* t, const int* k, const float* x, const int* left, float* a,
                float* dbiatx, const int* nderiv, nml_bsplvb_state_block* state) {
  const int K = *k;
  auto D = [dbiatx, K](int i, int j) -> float& { return dbiatx[(j - 1) * K + (i - 1)]; };
  auto A = [a, K](int i, int j) -> float& { return a[(j - 1) * K + (i - 1)]; };
  const int mhigh = std::max(std::min(*nderiv, K), 1);
  const int one = 1, two = 2;
  int jhigh = K + 1 - mhigh;
  nml_bsplvb_state(t, &jhigh, &one, x, left, dbiatx, state);
  if (mhigh == 1) return;
  int ideriv = mhigh;
  for (int m = 2; m <= mhigh; ++m) {
    for (int j = ideriv, jp1mid = 1; j <= K; ++j, ++jp1mid) D(j, ideriv) = D(jp1mid, 1);
    --ideriv;
    jhigh = K + 1 - ideriv;
    nml_bsplvb_state(t, &jhigh, &two, x, left, dbiatx, state);
  }
  for (int i = 1; i <= K; ++i) {
    for (int j = 1; j <= K; ++j) A(j, i) = 0.0f;
    A(i, i) = 1.0f;
  }
  for (int m = 2; m <= mhigh; ++m) {
    const int kp1mm = K + 1 - m;
    int il = *left, i = K;
    for (int step = 1; step <= kp1mm; ++step) {
      const float factor = static_cast<float>(kp1mm) / (t[il + kp1mm - 1] - t[il - 1]);
      for (int j = 1; j <= i; ++j) A(i, j) = (A(i, j) - A(i - 1, j)) * factor;
      --il;
      --i;
    }
    for (int ii = 1; ii <= K; ++ii) {
      float sum = 0.0f;
      for (int j = std::max(ii, m); j <= K; ++j) sum += A(j, ii) * D(j, m);
      D(ii, m) = sum;
    }
  }
}

void B22GD(const int* ixder, const int* iyder, const int* nx, const float* xvec, const int* ny,
           const float* yvec, const int* kx, const int* ky, const float* tx, const float* ty,
           const int* ncx, const int* ncy, const float* c, float* value, const int* ldf, int* leftx,
           int* lefty, float* ax, float* ay, float* dbx, float* dby, float* vx, float* vy) {
  nml::NameScope scope("B22GD");
  for (int j = 0; j < *ny; ++j)
    std::fill(value + static_cast<std::size_t>(j) * *ldf,
              value + static_cast<std::size_t>(j) * *ldf + *nx, 0.0f);
  if (!EvalChecks(*ixder, *iyder, *kx, *ky, *ncx, *ncy)) return;
  for (int i = 0; i < *nx; ++i)
    if (Outside(xvec[i], tx, *kx, *ncx)) {
      nml_error_set_float(1, xvec[i]);
      nml_error_set_int(2, i);
      nml_error_post(NML_WARNING, 3007);
      return;
    }
  for (int j = 0; j < *ny; ++j)
    if (Outside(yvec[j], ty, *ky, *ncy)) {
      nml_error_set_float(1, yvec[j]);
      nml_error_set_int(2, j + 1);
      nml_error_post(NML_WARNING, 3008);
      return;
    }
  struct Axis {
    int n;
    const float* v;
    int k;
    const float* t;
    int nc, nderiv;
    int* left;
    float *a, *db, *out;
  } axes[2] = {{*nx, xvec, *kx, tx, *ncx, *ixder + 1, leftx, ax, dbx, vx},
               {*ny, yvec, *ky, ty, *ncy, *iyder + 1, lefty, ay, dby, vy}};
  nml_bsplvb_state_block state;
  for (Axis& ax1 : axes) {
    const int lxt = ax1.nc + ax1.k;
    for (int i = 0; i < ax1.n; ++i) {
      int mflag = 0;
      nml_interv(ax1.t, &lxt, &ax1.v[i], &ax1.left[i], &mflag);
      nml_bsplvd(ax1.t, &ax1.k, &ax1.v[i], &ax1.left[i], ax1.a, ax1.db, &ax1.nderiv, &state);
      // Only the highest derivative column is wanted; orders past k leave it zero.
      const int col = ax1.nderiv;
      for (int p = 0; p < ax1.k; ++p)
        ax1.out[static_cast<std::size_t>(i) * ax1.k + p] =
            col <= ax1.k ? ax1.db[static_cast<std::size_t>(col - 1) * ax1.k + p] : 0.0f;
    }
  }
  for (int i = 0; i < *nx; ++i)
    for (int j = 0; j < *ny; ++j) {
      float sum = 0.0f;
      for (int p = 1; p <= *kx; ++p) {
        const int a = leftx[i] - *kx + p;
        for (int q = 1; q <= *ky; ++q) {
          const int b = lefty[j] - *ky + q;
          sum += c[static_cast<std::size_t>(b - 1) * *ncx + (a - 1)] *
                 vx[static_cast<std::size_t>(i) * *kx + (p - 1)] *
                 vy[static_cast<std::size_t>(j) * *ky + (q - 1)];
        }
      }
      value[static_cast<std::size_t>(j) * *ldf + i] = sum;
    }
}

// ---------------------------------------------------------------------------------------
// Fit kernels

void nml_b3ls2(const int* n, const float* data, const int* k, const float* t, const int* nc,
               const float* w, const char* name, const int*) {
  nml::NameScope scope("nml_b3ls2");
  if (!AxisCountsOk(name, *n, *k, *nc)) return;
  if (!nml_knot_runs(k, t, nc, name)) return;
  bool any = false;
  for (int i = 0; i < *n; ++i) {
    if (w[i] < 0.0f) {
      nml_error_set_int(1, i);
      nml_error_set_float(1, w[i]);
      nml_error_post(NML_FATAL, 3046);
      return;
    }
    any = any || w[i] != 0.0f;
  }
  if (!any) {
    nml_error_set_string(1, name);
    nml_error_post(NML_TERMINAL, 3050);
    return;
  }
  for (int i = 1; i < *n; ++i)
    if (data[i] < data[i - 1]) {
      nml_error_set_float(1, data[i - 1]);
      nml_error_set_float(2, data[i]);
      PostInts(NML_FATAL, 3047, i - 1, i);
      return;
    }
  if (data[0] < t[*k - 1]) {
    nml_error_set_float(1, data[0]);
    nml_error_set_float(2, t[*k - 1]);
    nml_error_post(NML_FATAL, 3048);
  } else if (data[*n - 1] > t[*nc]) {
    nml_error_set_float(1, data[*n - 1]);
    nml_error_set_float(2, t[*nc]);
    nml_error_post(NML_FATAL, 3049);
  }
}

void nml_b4ls2_normal(const int* n, const float* data, const float* fcol, const int* fstride,
                      const float* w, const int* k, const float* t, const int* nc, float* rhs,
                      float* q, float* scratch, const int* build) {
  const int K = *k, NC = *nc;
  std::fill(rhs, rhs + NC, 0.0f);
  if (*build) std::fill(q, q + static_cast<std::size_t>(K) * NC, 0.0f);
  float* biatx = scratch;
  float* deltar = scratch + K;
  float* deltal = scratch + 2 * K;
  int left = K;
  for (int i = 0; i < *n; ++i) {
    while (left < NC && t[left] <= data[i]) ++left;
    nml_bsplvb(t, k, &data[i], &left, biatx, deltar, deltal);
    const float f = fcol[static_cast<std::size_t>(i) * *fstride];
    for (int mm = 1; mm <= K; ++mm) {
      const float dw = biatx[mm - 1] * w[i];
      const int j = left - K + mm;
      rhs[j - 1] += dw * f;
      if (*build)
        for (int ll = mm; ll <= K; ++ll)
          q[static_cast<std::size_t>(j - 1) * K + (ll - mm)] += dw * biatx[ll - 1];
    }
  }
}

void nml_b4ls2_solve_x(const int* ncx, const int* kx, float* qx, const int* ncy, const float* b1,
                       float* c) {
  nml_bchfac(qx, kx, ncx);
  for (int q = 0; q < *ncy; ++q) {
    float* col = c + static_cast<std::size_t>(q) * *ncx;
    std::copy(b1 + static_cast<std::size_t>(q) * *ncx, b1 + static_cast<std::size_t>(q + 1) * *ncx,
              col);
    nml_bchslv(qx, kx, ncx, col);
  }
}

void nml_b4ls2(const int* nx, const float* x, const int* ny, const float* y, const float* f,
               const int* ldf, const int* kx, const int* ky, const float* tx, const float* ty,
               const int* ncx, const int* ncy, const float* wx, const float* wy, float* c,
               float* work) {
  nml::NameScope scope("nml_b4ls2");
  const int NX = *ncx, NY = *ncy;
  float* b1 = work;
  float* row = b1 + static_cast<std::size_t>(NX) * *ny;
  float* qx = row + *ny;
  float* qy = qx + static_cast<std::size_t>(*kx) * NX;
  float* scratch = qy + static_cast<std::size_t>(*ky) * NY;
  const int unit = 1;
  // x-projected data, one column per y position.
  for (int j = 0; j < *ny; ++j) {
    const int build = j == 0;
    nml_b4ls2_normal(nx, x, f + static_cast<std::size_t>(j) * *ldf, &unit, wx, kx, tx, ncx,
                     b1 + static_cast<std::size_t>(j) * NX, qx, scratch, &build);
  }
  // Then along y for each row of it; B2 (ncy x ncx) lives in the coefficient array.
  for (int r = 0; r < NX; ++r) {
    for (int j = 0; j < *ny; ++j) row[j] = b1[static_cast<std::size_t>(j) * NX + r];
    const int build = r == 0;
    nml_b4ls2_normal(ny, y, row, &unit, wy, ky, ty, ncy, c + static_cast<std::size_t>(r) * NY, qy,
                     scratch, &build);
  }
  const int zero = 0, kxm1 = *kx - 1, kym1 = *ky - 1;
  float anormx = 0.0f, anormy = 0.0f;
  NML_NR1RB(ncx, qx, kx, &kxm1, &zero, &anormx);
  NML_NR1RB(ncy, qy, ky, &kym1, &zero, &anormy);
  nml_bchfac(qy, ky, ncy);
  for (int r = 0; r < NX; ++r) {
    float* z = c + static_cast<std::size_t>(r) * NY;
    nml_bchslv(qy, ky, ncy, z);
    for (int q = 0; q < NY; ++q) b1[static_cast<std::size_t>(q) * NX + r] = z[q];
  }
  nml_b4ls2_solve_x(ncx, kx, qx, ncy, b1, c);
  const float ainvx = InverseEstimate(qx, *kx, NX), ainvy = InverseEstimate(qy, *ky, NY);
  if (ainvx * anormx * anormy * ainvy > 1.0f / (10.0f * nml_amach(4))) {
    nml_error_post(NML_WARNING, 3045);
  }
}

void nml_b2ls2(const int* nx, const float* x, const int* ny, const float* y, const float* f,
               const int* ldf, const int* kx, const int* ky, const float* tx, const float* ty,
               const int* ncx, const int* ncy, const float* wx, const float* wy, float* c,
               float* work) {
  nml::NameScope scope("nml_b2ls2");
  if (*ldf < *nx) {
    PostInts(NML_TERMINAL, 3041, *nx, *ldf);
    return;
  }
  const int skip = 0;
  nml_b3ls2(nx, x, kx, tx, ncx, wx, "X", &skip);
  if (Failed()) return;
  nml_b3ls2(ny, y, ky, ty, ncy, wy, "Y", &skip);
  if (Failed()) return;
  nml_b4ls2(nx, x, ny, y, f, ldf, kx, ky, tx, ty, ncx, ncy, wx, wy, c, work);
}

// ---------------------------------------------------------------------------------------
// Public routines: the variadic and the typed option list over one body.

float nml_f_spline_2d_value(float x, float y, const nml_f_spline* sp, ...) {
  va_list ap;
  va_start(ap, sp);
  nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
  const float res = ValuePublic(x, y, sp, r);
  va_end(ap);
  return res;
}
float nml_f_spline_2d_value(float x, float y, const nml_f_spline* sp, const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, o);
  return ValuePublic(x, y, sp, r);
}

nml_f_spline* nml_f_spline_2d_least_squares(int nx, const float x[], int ny, const float y[],
                                            float f[], int ncx, int ncy, ...) {
  va_list ap;
  va_start(ap, ncy);
  nml::VaListOptionReader r(nml::Runtime::Math(), 7, ap);
  nml_f_spline* res = LeastSquaresPublic(nx, x, ny, y, f, ncx, ncy, r);
  va_end(ap);
  return res;
}
nml_f_spline* nml_f_spline_2d_least_squares(int nx, const float x[], int ny, const float y[],
                                            float f[], int ncx, int ncy, const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 7, o);
  return LeastSquaresPublic(nx, x, ny, y, f, ncx, ncy, r);
}
