// The iteration of the unbounded fit: check step, difference Jacobian, stopping tests and
// the drivers with forward differences or the caller's Jacobian.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "numerics/nml_nlsq_internal.h"

namespace {
inline float& J_(float* a, int ld, int i, int j) { return a[(size_t)(j - 1) * ld + (i - 1)]; }
}  // namespace

void U5LSF(int m, int n, const float* x, float* d, float* e, int jacflag, int* iparam,
           float* rparam) {
  static const char* const name = "U5LSF ";
  nml_error_push_name(name);
  const float eps = nml_amach(4);
  const float eps23 = (float)std::pow((double)eps, 2.0 / 3.0);
  if (!iparam[5]) {
    bool bad = false;
    for (int j = 0; j < n; ++j) bad = bad || d[j] <= 0.0f;
    if (bad) {
      nml_error_post(6, 8066);
      for (int j = 0; j < n; ++j) d[j] = 1.0f;
    }
  }
  {
    bool bad = false;
    for (int i = 0; i < m; ++i) bad = bad || e[i] <= 0.0f;
    if (bad) {
      nml_error_post(6, 8067);
      for (int i = 0; i < m; ++i) e[i] = 1.0f;
    }
  }
  auto limit = [&](int k, int code, int value) {
    if (iparam[k] <= 0) {
      nml_error_set_int(1, iparam[k]);
      nml_error_post(6, code);
      iparam[k] = value;
    }
  };
  limit(1, 8068, nml_i_machine(7));
  limit(2, 8069, 100);
  limit(3, 8070, 400);
  if (jacflag) limit(4, 8071, 400);
  auto tolerance = [&](int k, int code, float repl) {
    if (rparam[k] < 0.0f) {
      nml_error_set_float(1, rparam[k]);
      nml_error_set_float(2, repl);
      nml_error_post(6, code);
      rparam[k] = repl;
    }
  };
  tolerance(0, 8072, eps23);
  tolerance(1, 8058, eps23);
  tolerance(2, 8059, std::max(1e-10f, eps23));
  const float e10 = 1e-10f;
  tolerance(3, 8061, std::max(e10 * e10, eps * eps));
  if (rparam[4] < 0.0f) rparam[4] = 100.0f * eps;
  if (rparam[5] <= 0.0f) {
    float dx = 0.0f, dn = 0.0f;
    for (int j = 0; j < n; ++j) {
      dx += (d[j] * x[j]) * (d[j] * x[j]);
      dn += d[j] * d[j];
    }
    const float v = 1000.0f * std::max(std::sqrt(dx), std::sqrt(dn));
    if (iparam[0] && rparam[5] != -999.0f) {
      nml_error_set_float(1, rparam[5]);
      nml_error_set_float(2, v);
      nml_error_post(6, 8062);
    }
    rparam[5] = v;
  }
  if (rparam[6] <= 0.0f) {
    if (iparam[0] && rparam[6] != -999.0f) {
      nml_error_set_float(1, rparam[6]);
      nml_error_post(6, 8063);
    }
    rparam[6] = -999.0f;
  }
  nml_error_pop_name(name);
}

void F2JAC(nml_nlsq_fcn fcn, int m, int n, float* x, const float* d, const float* fx, float rnoise,
           float* fjac, int ld, float* work) {
  static const char* const name = "F2JAC ";
  nml_error_push_name(name);
  if (rnoise >= 0.1f || rnoise < 0.0f) {
    nml_error_set_float(1, rnoise);
    nml_error_post(5, 8052);
    nml_error_pop_name(name);
    return;
  }
  const float eta = std::sqrt(std::max(rnoise, nml_amach(4)));
  for (int j = 1; j <= n; ++j) {
    float h = eta * std::max(std::fabs(x[j - 1]), 1.0f / d[j - 1]);
    if (x[j - 1] < 0.0f) h = -h;
    const float t = x[j - 1];
    x[j - 1] = t + h;
    l_call_fcn(fcn, m, n, x, work);
    x[j - 1] = t;
    for (int i = 1; i <= m; ++i) J_(fjac, ld, i, j) = (work[i - 1] - fx[i - 1]) / h;
  }
  nml_error_pop_name(name);
}

void U6LSF(int /*m*/, int n, const float* xc, const float* s, const float* /*fx*/, float f,
           const float* g, const float* d, const float* /*e*/, int* icode, int iter, int nfcn,
           int njac, int jacflag, int maxtaken, const l_tolerance_block* tol, l_step_state* st) {
  static const char* const name = "U6LSF ";
  nml_error_push_name(name);
  auto done = [&]() { nml_error_pop_name(name); };
  if (f <= tol->aftol) {
    *icode = -999;
    return done();
  }
  const float tiny = nml::SafeMinimum();
  float r = 0.0f;
  for (int j = 0; j < n; ++j)
    r = std::max(r, std::fabs(g[j]) * std::max(std::fabs(xc[j]), 1.0f / d[j]));
  if (f > tiny) r /= f;
  if (r <= tol->gtol) {
    *icode = -999;
    return done();
  }
  if (iter == 0) {
    st->maxsteps = 0;
    return done();
  }
  r = 0.0f;
  for (int j = 0; j < n; ++j)
    r = std::max(r, std::fabs(s[j]) / std::max(std::fabs(xc[j]), 1.0f / d[j]));
  if (r <= tol->steptol) {
    *icode = -999;
    nml_error_post(1, 8006);
    return done();
  }
  if (*icode == 2) {
    nml_error_set_float(1, tol->rftol);
    nml_error_post(3, 8064);
    return done();
  }
  if (*icode == 3) {
    nml_error_post(4, 8051);
    return done();
  }
  if (iter >= tol->itmax) {
    nml_error_post(3, 8017);
    return done();
  }
  if (nfcn >= tol->maxfcn) {
    nml_error_post(3, 8029);
    return done();
  }
  if (jacflag && njac >= tol->maxjac) {
    nml_error_post(3, 8065);
    return done();
  }
  if (maxtaken) {
    st->maxsteps += 1;
    if (st->maxsteps >= 5) nml_error_post(3, 8032);
  }
  done();
}

namespace {
// One driver for both Jacobian sources; jac null means forward differences. Returns 4 or 5
// when the iteration ended with a FATAL or TERMINAL error, else 0.
int u3ls(const char* name, nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess,
         float* d, float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ld,
         float* wk, int* ipvt, float* fjac2, int cd, int searchlimit) {
  nml_error_push_name(name);
  // Work array cut in the documented order.
  float* xc = wk;
  float* s = xc + n;
  float* sn = s + n;
  float* g = sn + n;
  float* aux = g + n;
  float* norms = aux + n;
  float* qrwork = norms + n;
  float* xsaved = qrwork + (2 * n - 1);
  float* fsaved = xsaved + n;
  float* w = fsaved + m;
  float* fc = w + m;
  std::vector<float> scratch(3 * (size_t)n);
  float* sdiag = scratch.data();
  float* work1 = sdiag + n;
  float* work2 = work1 + n;
  // The Jacobian at the current point before scaling and factoring, so that the outputs
  // describe the returned point even when the step search fails.
  std::vector<float> jsave((size_t)m * n);

  const int jacflag = jac ? 1 : 0;
  int status = 0;
  int iter = 0, nfcn = 0, njac = 0;
  auto finish = [&](bool write_counts) {
    if (write_counts) {
      iparam[2] = iter;
      iparam[3] = nfcn;
      iparam[4] = njac;
    }
    nml_error_pop_name(name);
    return status;
  };

  for (int j = 0; j < n; ++j) x[j] = xguess[j];
  if (iparam[5])
    for (int j = 0; j < n; ++j) d[j] = 1.0f;
  U5LSF(m, n, x, d, e, jacflag, iparam, rparam);
  if (nml_error_type(1) == 5) {
    status = 5;
    return finish(false);
  }
  const float eps = nml_amach(4);
  const float rnoise = std::max(eps, (float)std::pow(10.0, -(double)iparam[1]));
  l_tolerance_block tol{rparam[0], rparam[1], rparam[2], rparam[3],
                        rparam[4], iparam[2], iparam[3], iparam[4]};
  const float maxstep = rparam[5];
  float delta = rparam[6];
  int icode = 0;
  float mu = 0.0f;
  l_step_state st{};

  auto jacobian = [&](float* at, const float* fat) -> bool {
    if (jac) {
      nml_error_user_code("ON");
      jac(m, n, at, fjac2, cd);
      nml_error_user_code("OFF");
      for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) J_(fjac, ld, i, j) = fjac2[(size_t)(i - 1) * cd + (j - 1)];
    } else {
      F2JAC(fcn, m, n, at, d, fat, rnoise, fjac, ld, w);
      if (l_callee_failed()) return false;
      nfcn += n;
    }
    njac += 1;
    return true;
  };

  l_call_fcn(fcn, m, n, x, fx);
  float f = l_half_sq_norm(m, fx);
  nfcn = 1;
  if (!jacobian(x, fx)) {
    status = 5;
    return finish(true);
  }
  l_weighted_gradient(m, n, fjac, ld, e, fx, g);
  for (int j = 0; j < n; ++j) {
    xc[j] = x[j];
    s[j] = 0.0f;
  }
  U6LSF(m, n, xc, s, fx, f, g, d, e, &icode, 0, nfcn, njac, jacflag, 0, &tol, &st);
  if (nml_error_type(1) != 0 || icode == -999) {
    if (l_callee_failed()) status = nml_error_type(1);
    return finish(true);
  }

  for (;;) {
    ++iter;
    std::memcpy(jsave.data(), fjac, sizeof(float) * jsave.size());
    for (int i = 1; i <= m; ++i)
      for (int j = 1; j <= n; ++j) J_(fjac, ld, i, j) *= e[i - 1];
    for (int j = 0; j < n; ++j) ipvt[j] = 0;
    const int one = 1;
    L2RRR(&m, &n, fjac, &ld, &one, ipvt, fjac, &ld, aux, norms, qrwork);
    if (iparam[5]) l_update_scaling(iter, n, norms, d);
    for (int i = 0; i < m; ++i) w[i] = e[i] * fx[i];
    l_apply_qt(m, n, fjac, ld, aux, w, w);

    icode = 6;
    int first = 1, gnflag = 0, maxtaken = 0;
    float fcval = 0.0f;
    do {
      l_u7lsf(n, g, fjac, ld, ipvt, d, w, maxstep, &delta, &mu, &first, s, sn, &gnflag, sdiag,
              work1, work2, searchlimit, &st);
      if (l_callee_failed()) {
        status = nml_error_type(1);
        std::memcpy(fjac, jsave.data(), sizeof(float) * jsave.size());
        return finish(false);
      }
      l_trust_region_update(fcn, m, n, x, f, g, fjac, ld, ipvt, s, d, gnflag, maxstep, &delta,
                            &icode, xsaved, fsaved, xc, fx, fc, &fcval, &maxtaken, &nfcn, &tol,
                            &st);
    } while (icode >= 4);

    if (!jacobian(xc, fc)) {
      status = 5;
      for (int j = 0; j < n; ++j) x[j] = xc[j];
      for (int i = 0; i < m; ++i) fx[i] = fc[i];
      return finish(true);
    }
    l_weighted_gradient(m, n, fjac, ld, e, fc, g);
    U6LSF(m, n, xc, s, fc, fcval, g, d, e, &icode, iter, nfcn, njac, jacflag, maxtaken, &tol, &st);
    const int t = nml_error_type(1);
    for (int j = 0; j < n; ++j) x[j] = xc[j];
    for (int i = 0; i < m; ++i) fx[i] = fc[i];
    if (t != 0 || icode == -999) {
      if (t == 4 || t == 5) status = t;
      return finish(true);
    }
    f = fcval;
  }
}
}  // namespace

// Both return-through-status forms keep the documented signatures as wrappers.
int l_u2ls(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit) {
  const char* outer = jac ? "U2LSJ " : "U2LSF ";
  nml_error_push_name(outer);
  int status = u3ls(jac ? "U3LSJ " : "U3LSF ", fcn, jac, m, n, xguess, d, e, iparam, rparam, x, fx,
                    fjac, ldfjac, wk, iwk, fjac2, cd, searchlimit);
  nml_error_pop_name(outer);
  return status;
}

void U2LSF(nml_nlsq_fcn fcn, int m, int n, const float* xguess, float* d, float* e, int* iparam,
           float* rparam, float* x, float* fx, float* fjac, int ldfjac, float* wk, int* iwk,
           int searchlimit) {
  l_u2ls(fcn, nullptr, m, n, xguess, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk, iwk, nullptr, n,
         searchlimit);
}

void U2LSJ(nml_nlsq_fcn fcn, nml_nlsq_jac jac, int m, int n, const float* xguess, float* d,
           float* e, int* iparam, float* rparam, float* x, float* fx, float* fjac, int ldfjac,
           float* wk, int* iwk, float* fjac2, int cd, int searchlimit) {
  l_u2ls(fcn, jac, m, n, xguess, d, e, iparam, rparam, x, fx, fjac, ldfjac, wk, iwk, fjac2, cd,
         searchlimit);
}
