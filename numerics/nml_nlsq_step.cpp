// The trust-region step (Gauss-Newton or hook step) and the trust-region update shared by
// the unbounded and the bounded fits, with their small kernels.
#include <algorithm>
#include <cmath>

#include "numerics/nml_nlsq_internal.h"

namespace {
l_prediction_form g_prediction_form = l_prediction_row_sum;

inline float R_(const float* r, int ld, int i, int j) { return r[(size_t)(j - 1) * ld + (i - 1)]; }
inline float& R_(float* r, int ld, int i, int j) { return r[(size_t)(j - 1) * ld + (i - 1)]; }

}  // namespace

l_prediction_form l_nlsq_prediction_form() { return g_prediction_form; }
void l_nlsq_set_prediction_form(l_prediction_form form) { g_prediction_form = form; }

void l_scale_vector(int n, const float* d, int k, const float* x, float* y) {
  for (int i = 0; i < n; ++i) {
    if (k == 1)
      y[i] = x[i] * d[i];
    else if (k == -1)
      y[i] = x[i] / d[i];
    else if (k < -1)
      y[i] = x[i] / nml_f_powi(d[i], -k);
    else
      y[i] = nml_f_powi(d[i], k) * x[i];
  }
}

void l_update_scaling(int iteration, int n, const float* norms, float* d) {
  for (int j = 0; j < n; ++j) {
    d[j] = iteration == 1 ? norms[j] : std::max(d[j], norms[j]);
    if (d[j] <= 1e-6f) d[j] = 1.0f;
  }
}

void l_apply_qt(int m, int n, const float* qr, int ld, const float* aux, float* y, float* out) {
  for (int j = 1; j <= n; ++j) {
    if (aux[j - 1] != 0.0f) {
      float t = aux[j - 1] * y[j - 1];
      for (int i = j + 1; i <= m; ++i) t += R_(qr, ld, i, j) * y[i - 1];
      t = -t / aux[j - 1];
      y[j - 1] += t * aux[j - 1];
      for (int i = j + 1; i <= m; ++i) y[i - 1] += t * R_(qr, ld, i, j);
    }
    out[j - 1] = y[j - 1];
  }
}

void l_upper_solve(int k, const float* r, int ld, const float* b, float* x) {
  if (k <= 0) return;
  x[k - 1] = b[k - 1] / R_(r, ld, k, k);
  for (int i = k - 1; i >= 1; --i) {
    float sum = 0.0f;
    for (int j = i + 1; j <= k; ++j) sum += R_(r, ld, i, j) * x[j - 1];
    x[i - 1] = (b[i - 1] - sum) / R_(r, ld, i, i);
  }
}

void l_lm_solve(int n, float* r, int ld, const int* p, const float* z, const float* w, float* s,
                float* sdiag, float* work) {
  int nn = n, lda = ld;
  nml_csfrg(&nn, r, &lda);
  for (int j = 1; j <= n; ++j) {
    s[j - 1] = R_(r, ld, j, j);
    work[j - 1] = w[j - 1];
  }
  for (int j = 1; j <= n; ++j) {
    const int l = p[j - 1];
    if (z[l - 1] != 0.0f) {
      for (int k = j; k <= n; ++k) sdiag[k - 1] = 0.0f;
      sdiag[j - 1] = z[l - 1];
      float c0 = 0.0f;
      for (int k = j; k <= n; ++k) {
        if (sdiag[k - 1] == 0.0f) continue;
        float& rkk = R_(r, ld, k, k);
        float cs, sn;
        if (std::fabs(rkk) < std::fabs(sdiag[k - 1])) {
          const float ct = rkk / sdiag[k - 1];
          sn = 0.5f / std::sqrt(0.25f + 0.25f * ct * ct);
          cs = sn * ct;
        } else {
          const float tn = sdiag[k - 1] / rkk;
          cs = 0.5f / std::sqrt(0.25f + 0.25f * tn * tn);
          sn = cs * tn;
        }
        rkk = cs * rkk + sn * sdiag[k - 1];
        const float wk = work[k - 1];
        work[k - 1] = cs * wk + sn * c0;
        c0 = -sn * wk + cs * c0;
        for (int i = k + 1; i <= n; ++i) {
          float& rik = R_(r, ld, i, k);
          const float a = rik, b = sdiag[i - 1];
          rik = cs * a + sn * b;
          sdiag[i - 1] = -sn * a + cs * b;
        }
      }
    }
    sdiag[j - 1] = R_(r, ld, j, j);
    R_(r, ld, j, j) = s[j - 1];
  }
  int nsing = n;
  for (int j = 1; j <= n; ++j) {
    if (sdiag[j - 1] == 0.0f && nsing == n) nsing = j - 1;
    if (nsing < n) work[j - 1] = 0.0f;
  }
  for (int j = nsing; j >= 1; --j) {
    float sum = 0.0f;
    for (int i = j + 1; i <= nsing; ++i) sum += R_(r, ld, i, j) * work[i - 1];
    work[j - 1] = (work[j - 1] - sum) / sdiag[j - 1];
  }
  for (int j = 1; j <= n; ++j) s[p[j - 1] - 1] = work[j - 1];
}

void l_u7lsf(int n, const float* g, float* r, int ld, const int* p, const float* d, const float* w,
             float maxstep, float* delta, float* mu, int* first, float* s, float* sn, int* gnflag,
             float* sdiag, float* work1, float* work2, int passlimit, l_step_state* st,
             bool bounded) {
  static const char* const name = "l_u7lsf";
  nml_error_push_name(name);
  const float eps = nml_amach(4);
  const float tiny = nml::SafeMinimum();

  if (*delta == -999.0f) {
    *mu = 0.0f;
    for (int j = 0; j < n; ++j) work1[j] = g[j] / d[j];
    const float a = SNRM2(n, work1, 1);
    for (int j = 1; j <= n; ++j) {
      float sum = 0.0f;
      for (int i = j; i <= n; ++i) {
        const int pi = p[i - 1] - 1;
        sum += R_(r, ld, j, i) * g[pi] / (d[pi] * d[pi]);
      }
      work2[j - 1] = sum;
    }
    const float b = SNRM2(n, work2, 1);
    float dl;
    if (b > tiny)
      dl = ((a / b) * a / b) * a;
    else
      dl = bounded ? a * a * a : a * std::sqrt(a);
    *delta = std::min(dl, maxstep);
  }

  if (*first) {
    int rank = n;
    for (int j = 1; j <= n; ++j) {
      if (R_(r, ld, j, j) == 0.0f && rank == n) rank = j - 1;
      if (rank < n) work1[j - 1] = 0.0f;
    }
    l_upper_solve(rank, r, ld, w, work1);
    for (int j = 1; j <= n; ++j) sn[p[j - 1] - 1] = -work1[j - 1];
    st->rank = rank;
    for (int j = 0; j < n; ++j) work2[j] = d[j] * sn[j];
    st->gn_len = SNRM2(n, work2, 1);
    for (int j = 0; j < n; ++j) work2[j] = g[j] / d[j];
    st->ginv_norm = SNRM2(n, work2, 1);
  }

  const float gnlen = st->gn_len;
  if (gnlen <= 1.5f * *delta) {
    *gnflag = 1;
    for (int j = 0; j < n; ++j) s[j] = sn[j];
    *mu = 0.0f;
    *delta = std::min(*delta, gnlen);
  } else {
    *gnflag = 0;
    if (*mu > 0.0f)
      *mu -= ((st->phi + st->delta_prev) / *delta) *
             (((st->delta_prev - *delta) + st->phi) / st->phi_prime);
    st->phi = gnlen - *delta;
    float low;
    if (st->rank == n) {
      if (*first) {
        *first = 0;
        // phi'(0) = -||R^-T P' D^2 sn||^2 / ||D sn||: forward substitution with R'.
        for (int j = 1; j <= n; ++j) {
          const int pj = p[j - 1] - 1;
          work1[j - 1] = d[pj] * d[pj] * sn[pj];
        }
        for (int j = 1; j <= n; ++j) {
          float sum = 0.0f;
          for (int i = 1; i < j; ++i) sum += R_(r, ld, i, j) * work1[i - 1];
          work1[j - 1] = (work1[j - 1] - sum) / R_(r, ld, j, j);
        }
        const float un = SNRM2(n, work1, 1);
        st->phi_prime0 = -(un * un) / gnlen;
      }
      low = -st->phi / st->phi_prime0;
    } else {
      *first = 0;
      low = 0.0f;
    }
    float high = st->ginv_norm / *delta;

    for (int pass = 0;; ++pass) {
      // mu = 0 with low = 0 (rank-deficient R) would repeat the same singular pass
      // forever: it counts as outside the bracket.
      if (*mu < low || *mu > high || (*mu <= 0.0f && low <= 0.0f))
        *mu = std::max(std::sqrt(low * high), 0.001f * high);
      nml_f_scaled_copy(n, std::sqrt(*mu), d, 1, work1, 1);
      l_lm_solve(n, r, ld, p, work1, w, s, sdiag, work2);
      for (int j = 0; j < n; ++j) s[j] = -s[j];
      for (int j = 0; j < n; ++j) work1[j] = d[j] * s[j];
      const float len = SNRM2(n, work1, 1);
      st->phi = len - *delta;
      for (int j = 1; j <= n; ++j) {
        const int pj = p[j - 1] - 1;
        work2[j - 1] = d[pj] * work1[pj];
      }
      for (int j = 1; j <= n; ++j) {
        if (std::fabs(sdiag[j - 1]) >= tiny) work2[j - 1] /= sdiag[j - 1];
        for (int i = j + 1; i <= n; ++i) work2[i - 1] -= R_(r, ld, i, j) * work2[j - 1];
      }
      const float vn = SNRM2(n, work2, 1);
      st->phi_prime = -(vn * vn) / len;
      bool done = (0.75f * *delta <= len && len <= 1.5f * *delta) || high - low <= eps;
      if (!done) {
        low = std::max(low, *mu - st->phi / st->phi_prime);
        if (st->phi < 0.0f) high = *mu;
        *mu -= (st->phi / st->phi_prime) * (len / *delta);
      }
      if (pass > passlimit) {
        nml_error_set_int(1, passlimit);
        nml_error_post(4, 12115);
        break;
      }
      if (done) break;
    }
  }
  st->delta_prev = *delta;
  nml_error_pop_name(name);
}

void l_trust_region_update(nml_nlsq_fcn fcn, int m, int n, const float* x, float f, const float* g,
                           const float* r, int ld, const int* p, float* s, const float* d,
                           int gnflag, float maxstep, float* delta, int* icode, float* xsaved,
                           float* fsaved, float* xc, const float* fx, float* fc, float* f_c,
                           int* maxtaken, int* nfcn, const l_tolerance_block* tol, l_step_state* st,
                           const l_bound_ctx* bounds) {
  const float tiny = nml::SafeMinimum();
  *maxtaken = 0;
  // Scaled length of the step as computed (before any cut onto a bound).
  float steplen = 0.0f;
  for (int j = 0; j < n; ++j) steplen += (d[j] * s[j]) * (d[j] * s[j]);
  steplen = std::sqrt(steplen);
  bool inside = true;
  for (int j = 0; j < n; ++j) {
    xc[j] = x[j] + s[j];
    if (bounds) {
      if (xc[j] > bounds->xub[j]) {
        s[j] = bounds->xub[j] - x[j];
        xc[j] = bounds->xub[j];
        inside = false;
      } else if (xc[j] < bounds->xlb[j]) {
        s[j] = bounds->xlb[j] - x[j];
        xc[j] = bounds->xlb[j];
        inside = false;
      }
    }
  }
  l_call_fcn(fcn, m, n, xc, fc);
  *nfcn += 1;
  *f_c = l_half_sq_norm(m, fc);
  const float df = *f_c - f;
  float slope = 0.0f;
  for (int j = 0; j < n; ++j) slope += g[j] * s[j];

  if (*icode != 5) st->doubled_f = 0.0f;

  auto relative_step = [&]() {
    float rel = 0.0f;
    for (int j = 0; j < n; ++j)
      rel = std::max(rel, std::fabs(s[j]) / std::max(std::fabs(xc[j]), 1.0f / d[j]));
    return rel;
  };

  if (*icode == 5 && (*f_c >= st->doubled_f || df > 1e-4f * slope)) {
    *icode = 0;
    for (int j = 0; j < n; ++j) xc[j] = xsaved[j];
    for (int i = 0; i < m; ++i) fc[i] = fsaved[i];
    *f_c = st->doubled_f;
    *delta *= 0.5f;
    return;
  }

  if (df >= 1e-4f * slope) {
    const float rel = relative_step();
    const bool too_short = bounds ? rel < tol->steptol : rel <= tol->steptol;
    if (too_short) {
      *icode = 1;
      for (int j = 0; j < n; ++j) xc[j] = x[j];
      for (int i = 0; i < m; ++i) fc[i] = fx[i];
      *f_c = f;
    } else {
      *icode = 4;
      float t;
      if (std::fabs(df - slope) <= tiny)
        t = -slope * steplen / 2.0f;
      else
        t = -slope * steplen / (2.0f * (df - slope));
      if (t < 0.1f * *delta)
        *delta *= 0.1f;
      else if (t > 0.5f * *delta)
        *delta *= 0.5f;
      else
        *delta = t;
    }
    return;
  }

  // Sufficient decrease: compare with the reduction the local model predicts.
  const int nr = bounds ? bounds->nfree : n;
  float quad = 0.0f;
  for (int j = 1; j <= nr; ++j) {
    float t = 0.0f;
    if (g_prediction_form == l_prediction_row_sum) {
      const float sj = bounds ? bounds->sc[p[j - 1] - 1] : s[p[j - 1] - 1];
      for (int k = j; k <= nr; ++k) t += R_(r, ld, j, k);
      t *= sj;
    } else {
      for (int k = j; k <= nr; ++k) {
        const int pk = p[k - 1] - 1;
        const float sk = bounds ? s[bounds->freeidx[pk]] : s[pk];
        t += R_(r, ld, j, k) * sk;
      }
    }
    quad += 0.5f * t * t;
  }
  const float dfpred = slope + quad;
  const bool close = std::fabs(dfpred - df) <= 0.1f * std::fabs(df);
  if (*icode != 4 && (close || df <= slope) && gnflag == 0 && *delta <= 0.99f * maxstep && inside) {
    *icode = 5;
    for (int j = 0; j < n; ++j) xsaved[j] = xc[j];
    for (int i = 0; i < m; ++i) fsaved[i] = fc[i];
    st->doubled_f = *f_c;
    *delta = std::min(2.0f * *delta, maxstep);
  } else {
    *icode = 0;
    if (steplen > 0.99f * maxstep) *maxtaken = 1;
    if (df >= 0.1f * dfpred)
      *delta *= 0.5f;
    else if (df <= 0.75f * dfpred)
      *delta = std::min(2.0f * *delta, maxstep);
  }

  if (df > 2.0f * dfpred) {
    if (relative_step() < tol->fctol) *icode = 3;
  } else if (std::fabs(df) <= tol->rftol * std::fabs(f) &&
             std::fabs(dfpred) <= tol->rftol * std::fabs(f)) {
    *icode = 2;
  }
}
