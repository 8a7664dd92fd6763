// The bounded fit: an active-set variant of the trust-region iteration. Variables on a
// bound are fixed, the step is formed in the free variables, every trial point is projected
// onto the box, and a fixed variable is released when the gradient points into the box.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numerics/nml_nlsq_internal.h"

namespace {
inline float& J_(float* a, int ld, int i, int j) { return a[(size_t)(j - 1) * ld + (i - 1)]; }

// The step state of the bounded fit lives under a storage key for the whole process.
int g_state_once = 0;
int g_state_key = 0;
void create_state_key() { nml_key_create(&g_state_key, nullptr); }

l_step_state* stored_step_state() {
  nml_once(&g_state_once, create_state_key);
  auto* st = static_cast<l_step_state*>(nml_key_get(g_state_key));
  if (!st) {
    st = static_cast<l_step_state*>(std::calloc(1, sizeof(l_step_state)));
    if (!st || nml_key_set(g_state_key, st) != 0) {
      std::free(st);
      nml_error_post(5, 200);
      return nullptr;
    }
  }
  return st;
}
}  // namespace

void l_classify_bounds(int n, const float* x, const float* xlb, const float* xub, int* ibound,
                       float tol, int* anyfixed) {
  for (int j = 0; j < n; ++j) {
    if (std::fabs(x[j] - xlb[j]) <= tol)
      ibound[j] = 1;
    else if (std::fabs(x[j] - xub[j]) <= tol)
      ibound[j] = 2;
    else
      ibound[j] = 0;
    if (ibound[j] != 0) *anyfixed = 1;
  }
}

void l_compress_columns(int m, int n, const int* ibound, float* fjac, int ld, int* nfixed) {
  int target = 0;  // 1-based; 0: none yet
  *nfixed = 0;
  for (int j = 1; j <= n; ++j) {
    if (ibound[j - 1] != 0) {
      ++*nfixed;
      if (target == 0) target = j;
    } else if (target != 0) {
      std::memcpy(&J_(fjac, ld, 1, target), &J_(fjac, ld, 1, j), sizeof(float) * m);
      ++target;
    }
  }
}

void l_release_bound(int n, int* ibound, const float* g, float gtol, int* done) {
  for (int j = 0; j < n; ++j) {
    if ((ibound[j] == 1 && g[j] < -gtol) || (ibound[j] == 2 && g[j] > gtol)) {
      ibound[j] = 0;
      *done = 0;
      return;
    }
  }
}

namespace {
int b3ls(const char* name, nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xlb,
         const float* xub, float* d, float* e, int* iparam, float* rparam, float* x, float* fx,
         float* fjac, int ld, float* wk, int* iwk, int searchlimit) {
  nml_error_push_name(name);
  float* xc = wk;
  float* sc = xc + n;
  float* sn = sc + n;
  float* g = sn + n;
  float* s = g + n;  // QR auxiliary vector, then the full step and the projected gradient
  float* aux = s;
  float* norms = s + n;
  float* qrwork = norms + n;
  float* xsaved = qrwork + (2 * n - 1);
  float* fsaved = xsaved + n;
  float* w = fsaved + m;
  float* dc = w + m;
  float* gc = dc + n;
  float* fc = gc + n;
  int* ipvt = iwk;
  int* ibound = iwk + n;
  std::vector<float> scratch(3 * (size_t)n + m);
  float* sdiag = scratch.data();
  float* work1 = sdiag + n;
  float* work2 = work1 + n;
  float* fwork = work2 + n;  // F at a perturbed point
  std::vector<float> gp(n), jsave((size_t)m * n), jrows(jac ? (size_t)m * n : 0);
  std::vector<int> freeidx(n);

  const int jacflag = jac ? 1 : 0;
  int status = 0, iter = 0, nfcn = 0, njac = 0;
  auto finish = [&](bool counts) {
    if (counts) {
      iparam[2] = iter;
      iparam[3] = nfcn;
      iparam[4] = njac;
    }
    nml_error_pop_name(name);
    return status;
  };

  U5LSF(m, n, x, d, e, jacflag, iparam, rparam);
  if (nml_error_type(1) == 5) {
    status = 5;
    return finish(false);
  }
  l_step_state* st = stored_step_state();
  if (!st) {
    status = 5;
    return finish(false);
  }
  if (iparam[5])
    for (int j = 0; j < n; ++j) d[j] = 1.0f;
  const float eps = nml_amach(4);
  const float rnoise = std::max(eps, (float)std::pow(10.0, -(double)iparam[1]));
  l_tolerance_block tol{rparam[0], rparam[1], rparam[2], rparam[3],
                        rparam[4], iparam[2], iparam[3], iparam[4]};
  const float maxstep = rparam[5];
  float delta = rparam[6];

  for (int j = 0; j < n; ++j) {
    if (x[j] < xlb[j])
      x[j] = xlb[j];
    else if (x[j] > xub[j])
      x[j] = xub[j];
  }

  auto jacobian = [&](float* at, const float* fat, bool count_fcn) -> bool {
    if (jac) {
      nml_error_user_code("ON");
      jac(m, n, at, jrows.data(), n);
      nml_error_user_code("OFF");
      // rows of n floats into column order
      for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) J_(fjac, ld, i, j) = jrows[(size_t)(i - 1) * n + (j - 1)];
    } else {
      F2JAC(fcn, m, n, at, d, fat, rnoise, fjac, ld, fwork);
      if (l_callee_failed()) return false;
      if (count_fcn) nfcn += n;
    }
    njac += 1;
    return true;
  };

  int icode = 0;
  float mu = 0.0f;
  l_call_fcn(fcn, m, n, x, fx);
  float f = l_half_sq_norm(m, fx);
  nfcn = 1;
  if (!jacobian(x, fx, true)) {
    status = 5;
    return finish(true);
  }
  l_weighted_gradient(m, n, fjac, ld, e, fx, g);
  int anyfixed = 0;
  l_classify_bounds(n, x, xlb, xub, ibound, eps, &anyfixed);
  for (int j = 0; j < n; ++j) sc[j] = 0.0f;
  U6LSF(m, n, x, sc, fx, f, g, d, e, &icode, 0, nfcn, njac, jacflag, 0, &tol, st);
  if (nml_error_type(1) != 0 || icode == -999) {
    if (l_callee_failed()) status = nml_error_type(1);
    return finish(true);
  }

  for (;;) {
    ++iter;
    std::memcpy(jsave.data(), fjac, sizeof(float) * jsave.size());
    for (int i = 1; i <= m; ++i) SSCAL(n, e[i - 1], &J_(fjac, ld, i, 1), ld);
    int nfree = n;
    if (anyfixed) {
      int nfixed = 0;
      l_compress_columns(m, n, ibound, fjac, ld, &nfixed);
      nfree = n - nfixed;
    }
    bool released_alone = false;
    if (nfree == 0) {
      int done = 1;
      l_release_bound(n, ibound, g, tol.gtol, &done);
      if (done) {
        std::memcpy(fjac, jsave.data(), sizeof(float) * jsave.size());
        return finish(true);
      }
      nfree = 1;
      released_alone = true;
    }
    for (int j = 0, k = 0; j < n; ++j)
      if (ibound[j] == 0) freeidx[k++] = j;
    if (released_alone) {
      // the variable just released: its scaled column is the one factored
      for (int i = 1; i <= m; ++i)
        J_(fjac, ld, i, 1) = jsave[(size_t)freeidx[0] * m + (i - 1)] * e[i - 1];
    }
    for (int k = 0; k < nfree; ++k) {
      dc[k] = d[freeidx[k]];
      gc[k] = g[freeidx[k]];
      ipvt[k] = 0;
    }
    const int one = 1;
    L2RRR(&m, &nfree, fjac, &ld, &one, ipvt, fjac, &ld, aux, norms, qrwork);
    if (iparam[5]) l_update_scaling(iter, nfree, norms, dc);
    for (int i = 0; i < m; ++i) w[i] = e[i] * fx[i];
    l_apply_qt(m, nfree, fjac, ld, aux, w, w);

    icode = 6;
    int first = 1, gnflag = 0, maxtaken = 0;
    float fcval = 0.0f;
    l_bound_ctx bc{xlb, xub, nfree, freeidx.data(), sc};
    do {
      l_u7lsf(nfree, gc, fjac, ld, ipvt, dc, w, maxstep, &delta, &mu, &first, sc, sn, &gnflag,
              sdiag, work1, work2, searchlimit, st, true);
      if (l_callee_failed()) {
        status = nml_error_type(1);
        std::memcpy(fjac, jsave.data(), sizeof(float) * jsave.size());
        return finish(false);
      }
      for (int j = 0; j < n; ++j) s[j] = 0.0f;
      for (int k = 0; k < nfree; ++k) s[freeidx[k]] = sc[k];
      l_trust_region_update(fcn, m, n, x, f, g, fjac, ld, ipvt, s, d, gnflag, maxstep, &delta,
                            &icode, xsaved, fsaved, xc, fx, fc, &fcval, &maxtaken, &nfcn, &tol, st,
                            &bc);
    } while (icode >= 4);

    if (icode == 1) {
      // The point did not move: its Jacobian is the one saved before factoring.
      icode = -999;
      std::memcpy(fjac, jsave.data(), sizeof(float) * jsave.size());
    } else {
      if (!jacobian(xc, fc, false)) {
        status = 5;
        for (int j = 0; j < n; ++j) x[j] = xc[j];
        for (int i = 0; i < m; ++i) fx[i] = fc[i];
        return finish(true);
      }
      l_weighted_gradient(m, n, fjac, ld, e, fc, g);
      l_classify_bounds(n, xc, xlb, xub, ibound, eps, &anyfixed);
      for (int j = 0; j < n; ++j) gp[j] = ibound[j] == 0 ? g[j] : 0.0f;
      U6LSF(m, n, xc, s, fc, fcval, gp.data(), d, e, &icode, iter, nfcn, njac, jacflag, maxtaken,
            &tol, st);
      const int t = nml_error_type(1);
      if (t != 0) {
        if (t == 4 || t == 5) status = t;
        for (int j = 0; j < n; ++j) x[j] = xc[j];
        for (int i = 0; i < m; ++i) fx[i] = fc[i];
        return finish(true);
      }
    }
    for (int j = 0; j < n; ++j) x[j] = xc[j];
    for (int i = 0; i < m; ++i) fx[i] = fc[i];
    f = fcval;
    if (icode == -999) {
      int done = 1;
      if (nfree < n) l_release_bound(n, ibound, g, tol.gtol, &done);
      if (done) return finish(true);
    }
  }
}
}  // namespace

int l_b2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit) {
  const char* name = jac ? "B2LSJ " : "B2LSF ";
  nml_error_push_name(name);
  for (int j = 0; j < n; ++j) x[j] = xguess[j];
  int status = 0;
  switch (ibtype) {
    case 0:
      break;
    case 1:
      for (int j = 0; j < n; ++j) {
        xlb[j] = 0.0f;
        xub[j] = 1e20f;
      }
      break;
    case 2:
      for (int j = 0; j < n; ++j) {
        xlb[j] = -1e20f;
        xub[j] = 0.0f;
      }
      break;
    case 3:
      for (int j = 1; j < n; ++j) {
        xlb[j] = xlb[0];
        xub[j] = xub[0];
      }
      break;
    default:
      nml_error_set_int(1, ibtype);
      nml_error_post(5, 8022);
      status = -1;
      break;
  }
  if (status == 0)
    status = b3ls(jac ? "B3LSJ " : "B3LSF ", fcn, jac, m, n, xlb, xub, d, e, iparam, rparam, x, fx,
                  fjac, ldfjac, wk, iwk, searchlimit);
  nml_error_pop_name(name);
  return status;
}

void B2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, int ibtype, float* xlb, float* xub,
           float* d, float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac,
           int ldfjac, float* wk, int* iwk, int searchlimit) {
  l_b2ls(fcn, nullptr, m, n, xguess, ibtype, xlb, xub, d, e, iparam, rparam, x, fx, fjac, ldfjac,
         wk, iwk, searchlimit);
}

void B2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, int ibtype,
           float* xlb, float* xub, float* d, float* e, int* iparam, float* rparam, float* x,
           float* fx, float* fjac, int ldfjac, float* wk, int* iwk, int searchlimit) {
  l_b2ls(fcn, jac, m, n, xguess, ibtype, xlb, xub, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk,
         iwk, searchlimit);
}
