// Implicitly shifted double-step (Francis) QR iteration on an upper Hessenberg matrix:
// with the accumulated transformations and the eigenvector back-substitution
// (nml_e5crh), and for eigenvalues only (E5LRG).
//
// Column order, 1-based indices, sizes by address, as for the other kernels of the
// eigen-decomposition.
#include <algorithm>
#include <cmath>
#include <vector>

#include "numerics/nml_eig.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

using nml::NameScope;
using nml::SafeMinimum;

// |a| carrying the sign of b, where b = 0 counts as positive.
inline float WithSignOf(float a, float b) { return b >= 0.0f ? std::fabs(a) : -std::fabs(a); }

// a + b still equals a: b is negligible beside a. The sum is held in double so that the
// test does not depend on single-precision rounding of the sum.
inline bool Negligible(float a, float b) {
  return static_cast<double>(a) + static_cast<double>(b) == static_cast<double>(a);
}

}  // namespace

void nml_e5crh_cdiv(const float* ar, const float* ai, const float* br, const float* bi,
                    float* cr, float* ci) {
  const float s = std::fabs(*br) + std::fabs(*bi);
  const float ars = *ar / s;
  const float ais = *ai / s;
  const float brs = *br / s;
  const float bis = *bi / s;
  const float d = brs * brs + bis * bis;
  const float re = (ars * brs + ais * bis) / d;
  const float im = (ais * brs - ars * bis) / d;
  *cr = re;
  *ci = im;
}

namespace {

// cdiv with values in and the quotient into two places of the matrix.
inline void Cdiv(float ar, float ai, float br, float bi, float* cr, float* ci) {
  nml_e5crh_cdiv(&ar, &ai, &br, &bi, cr, ci);
}

}  // namespace

void nml_e5crh(const int* pn, const int* plow, const int* pigh, float* h, const int* pld,
               float* wr, float* wi, float* z) {
  NameScope scope("nml_e5crh");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int ld = *pld;
  const float eps = nml_amach(4);
  const float small = SafeMinimum();
  auto H = [&](int i, int j) -> float& { return h[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto Z = [&](int i, int j) -> float& { return z[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto WR = [&](int i) -> float& { return wr[i - 1]; };
  auto WI = [&](int i) -> float& { return wi[i - 1]; };

  float norm = 0.0f;
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= std::min(n, j + 1); ++i) norm += std::fabs(H(i, j));

  for (int i = 1; i <= n; ++i) {
    if (i >= low && i <= igh) continue;
    WR(i) = H(i, i);
    WI(i) = 0.0f;
  }

  int en = igh;
  float t = 0.0f;  // exceptional shifts taken so far
  while (en >= low) {
    int countdown = 50;
    int its = 1;
    const int na = en - 1;
    const int enm2 = na - 1;
    for (;;) {
      // A negligible subdiagonal element splits the matrix; in the last try before giving
      // up it is measured against the norm of the whole matrix.
      int l = en;
      for (; l >= low + 1; --l) {
        float s = std::fabs(H(l - 1, l - 1)) + std::fabs(H(l, l));
        if (countdown == 0) s = norm;
        if (std::fabs(H(l, l - 1)) <= eps * s) break;
      }
      if (l < low + 1) l = low;

      float x = H(en, en);
      if (l == en) {  // one root
        H(en, en) = x + t;
        WR(en) = H(en, en);
        WI(en) = 0.0f;
        en = na;
        break;
      }
      float y = H(na, na);
      float w = H(en, na) * H(na, en);
      if (l == na) {  // two roots
        float p = (y - x) * 0.5f;
        float q = p * p + w;
        float zz = std::sqrt(std::fabs(q));
        H(en, en) = x + t;
        x = H(en, en);
        H(na, na) = y + t;
        if (q < 0.0f) {
          WR(na) = x + p;
          WR(en) = x + p;
          WI(na) = zz;
          WI(en) = -zz;
        } else {
          zz = p + WithSignOf(zz, p);
          WR(na) = x + zz;
          WR(en) = WR(na);
          if (zz != 0.0f) WR(en) = x - w / zz;
          WI(na) = 0.0f;
          WI(en) = 0.0f;
          x = H(en, na);
          const float s = std::fabs(x) + std::fabs(zz);
          p = x / s;
          q = zz / s;
          const float r = std::sqrt(p * p + q * q);
          p /= r;
          q /= r;
          for (int j = na; j <= n; ++j) {
            zz = H(na, j);
            H(na, j) = q * zz + p * H(en, j);
            H(en, j) = q * H(en, j) - p * zz;
          }
          for (int i = 1; i <= en; ++i) {
            zz = H(i, na);
            H(i, na) = q * zz + p * H(i, en);
            H(i, en) = q * H(i, en) - p * zz;
          }
          for (int i = low; i <= igh; ++i) {
            zz = Z(i, na);
            Z(i, na) = q * zz + p * Z(i, en);
            Z(i, en) = q * Z(i, en) - p * zz;
          }
        }
        en = enm2;
        break;
      }

      if (countdown == 0) {
        nml_error_set_int(1, 50);
        nml_error_post(NML_FATAL, 2009);
        return;
      }
      if (its % 10 == 0) {  // exceptional shift
        t += x;
        for (int i = low; i <= en; ++i) H(i, i) -= x;
        const float s = std::fabs(H(en, na)) + std::fabs(H(na, enm2));
        x = 0.75f * s;
        y = x;
        w = -0.4375f * s * s;
      }
      ++its;
      --countdown;

      // Two consecutive small subdiagonal elements: start the step at m.
      int m = enm2;
      float p = 0.0f, q = 0.0f, r = 0.0f;
      for (;; --m) {
        const float zz = H(m, m);
        r = x - zz;
        const float s = y - zz;
        p = r * s - w;
        q = H(m + 1, m + 1) - zz - r - s;
        r = H(m + 2, m + 1);
        const float hm = H(m + 1, m);
        if (std::fabs(hm) <= 1.0f) {
          // Scaled by the subdiagonal element instead of divided by it.
          p = p + H(m, m + 1) * hm;
          q = q * hm;
          r = r * hm;
        } else {
          p = p / hm + H(m, m + 1);
        }
        if (m == l) break;
        const float tst1 = std::fabs(p) * (std::fabs(H(m - 1, m - 1)) + std::fabs(zz) +
                                           std::fabs(H(m + 1, m + 1)));
        const float tst2 = std::fabs(H(m, m - 1)) * (std::fabs(q) + std::fabs(r));
        if (tst2 <= eps * tst1) {
          const float s2 = std::fabs(p) + std::fabs(q) + std::fabs(r);
          if (s2 > small) {
            p /= s2;
            q /= s2;
            r /= s2;
            break;
          }
        }
      }

      H(m + 2, m) = 0.0f;
      for (int i = m + 3; i <= en; ++i) {
        H(i, i - 2) = 0.0f;
        H(i, i - 3) = 0.0f;
      }

      // Double QR step on rows l..en, columns m..en.
      for (int k = m; k <= na; ++k) {
        const bool notlas = k != na;
        float s;
        float zz;
        if (k == m) {
          s = WithSignOf(std::sqrt(p * p + q * q + r * r), p);
          if (std::fabs(s) <= small) continue;
          if (l != m) H(k, k - 1) = -H(k, k - 1);
          p += s;
          x = p / s;
          y = q / s;
          zz = r / s;
          q /= p;
          r /= p;
        } else {
          p = H(k, k - 1);
          q = H(k + 1, k - 1);
          r = notlas ? H(k + 2, k - 1) : 0.0f;
          x = std::fabs(p) + std::fabs(q) + std::fabs(r);
          if (x <= small) continue;
          const float rx = 1.0f / x;
          p *= rx;
          q *= rx;
          r *= rx;
          s = WithSignOf(std::sqrt(p * p + q * q + r * r), p);
          H(k, k - 1) = -s * x;
          p += s;
          const float rs = 1.0f / s;
          x = p * rs;
          y = q * rs;
          zz = r * rs;
          const float rp = 1.0f / p;
          q *= rp;
          r *= rp;
        }
        const int iend = std::min(en, k + 3);
        if (notlas) {
          for (int j = k; j <= n; ++j) {
            float* c = &H(k, j);
            const float pp = c[0] + q * c[1] + r * c[2];
            c[0] -= pp * x;
            c[1] -= pp * y;
            c[2] -= pp * zz;
          }
          float* c0 = &H(1, k);
          float* c1 = &H(1, k + 1);
          float* c2 = &H(1, k + 2);
          for (int i = 0; i < iend; ++i) {
            const float pp = x * c0[i] + y * c1[i] + zz * c2[i];
            c0[i] -= pp;
            c1[i] -= pp * q;
            c2[i] -= pp * r;
          }
          float* z0 = &Z(1, k);
          float* z1 = &Z(1, k + 1);
          float* z2 = &Z(1, k + 2);
          for (int i = low - 1; i < igh; ++i) {
            const float pp = x * z0[i] + y * z1[i] + zz * z2[i];
            z0[i] -= pp;
            z1[i] -= pp * q;
            z2[i] -= pp * r;
          }
        } else if (n - k < 17 || k < 17) {
          for (int j = k; j <= n; ++j) {
            float* c = &H(k, j);
            const float pp = c[0] + q * c[1];
            c[0] -= pp * x;
            c[1] -= pp * y;
          }
          float* c0 = &H(1, k);
          float* c1 = &H(1, k + 1);
          for (int i = 0; i < iend; ++i) {
            const float pp = x * c0[i] + y * c1[i];
            c0[i] -= pp;
            c1[i] -= pp * q;
          }
          float* z0 = &Z(1, k);
          float* z1 = &Z(1, k + 1);
          for (int i = low - 1; i < igh; ++i) {
            const float pp = x * z0[i] + y * z1[i];
            z0[i] -= pp;
            z1[i] -= pp * q;
          }
        } else {
          // The same two-row step as a plane rotation; it flips the sign of row and
          // column k+1, which the final normalisation of the eigenvectors removes.
          const float c = 1.0f - x;
          const float sn = -y;
          SROT(n - k + 1, &H(k, k), ld, &H(k + 1, k), ld, c, sn);
          SROT(iend, &H(1, k), 1, &H(1, k + 1), 1, c, sn);
          SROT(igh - low + 1, &Z(low, k), 1, &Z(low, k + 1), 1, c, sn);
        }
      }
    }
  }

  // Eigenvectors of the triangular (quasi-triangular) matrix by back-substitution.
  if (norm == 0.0f) return;

  float zz = 0.0f, s = 0.0f, r = 0.0f;
  for (en = n; en >= 1; --en) {
    float p = WR(en);
    float q = WI(en);
    const int na = en - 1;
    if (q == 0.0f) {
      int m = en;
      H(en, en) = 1.0f;
      for (int i = na; i >= 1; --i) {
        const float w = H(i, i) - p;
        r = 0.0f;
        for (int j = m; j <= en; ++j) r += H(i, j) * H(j, en);
        if (WI(i) < 0.0f) {
          zz = w;
          s = r;
          continue;
        }
        m = i;
        if (WI(i) == 0.0f) {
          float tt = w;
          if (tt == 0.0f) {
            // A zero pivot is replaced by a perturbation just below the norm's resolution.
            tt = norm;
            do tt *= 0.01f;
            while (norm + tt > norm);
          }
          H(i, en) = -r / tt;
        } else {
          const float x = H(i, i + 1);
          const float y = H(i + 1, i);
          const float q2 = (WR(i) - p) * (WR(i) - p) + WI(i) * WI(i);
          const float tt = (x * s - zz * r) / q2;
          H(i, en) = tt;
          H(i + 1, en) = std::fabs(x) > std::fabs(zz) ? (-r - w * tt) / x : (-s - y * tt) / zz;
        }
        const float tt = std::fabs(H(i, en));
        if (tt > small && tt + 1.0f / tt <= tt) {
          const float rt = 1.0f / tt;
          for (int j = i; j <= en; ++j) H(j, en) *= rt;
        }
      }
    } else if (q < 0.0f) {
      // Complex vector of the pair (na, en); the last component is chosen imaginary.
      int m = na;
      if (std::fabs(H(en, na)) > std::fabs(H(na, en))) {
        H(na, na) = q / H(en, na);
        H(na, en) = -(H(en, en) - p) / H(en, na);
      } else {
        Cdiv(0.0f, -H(na, en), H(na, na) - p, q, &H(na, na), &H(na, en));
      }
      H(en, na) = 0.0f;
      H(en, en) = 1.0f;
      float ra = 0.0f, sa = 0.0f;
      for (int i = na - 1; i >= 1; --i) {
        const float w = H(i, i) - p;
        ra = 0.0f;
        sa = 0.0f;
        for (int j = m; j <= en; ++j) {
          ra += H(i, j) * H(j, na);
          sa += H(i, j) * H(j, en);
        }
        if (WI(i) < 0.0f) {
          zz = w;
          r = ra;
          s = sa;
          continue;
        }
        m = i;
        if (WI(i) == 0.0f) {
          Cdiv(-ra, -sa, w, q, &H(i, na), &H(i, en));
        } else {
          const float x = H(i, i + 1);
          const float y = H(i + 1, i);
          float vr = (WR(i) - p) * (WR(i) - p) + WI(i) * WI(i) - q * q;
          const float vi = (WR(i) - p) * 2.0f * q;
          if (vr == 0.0f && vi == 0.0f) {
            const float tst1 = norm * (std::fabs(w) + std::fabs(q) + std::fabs(x) +
                                       std::fabs(y) + std::fabs(zz));
            vr = tst1;
            do vr *= 0.01f;
            while (tst1 + vr > tst1);
          }
          Cdiv(x * r - zz * ra + q * sa, x * s - zz * sa - q * ra, vr, vi, &H(i, na), &H(i, en));
          if (std::fabs(x) > std::fabs(zz) + std::fabs(q)) {
            H(i + 1, na) = (-ra - w * H(i, na) + q * H(i, en)) / x;
            H(i + 1, en) = (-sa - w * H(i, en) - q * H(i, na)) / x;
          } else {
            Cdiv(-r - y * H(i, na), -s - y * H(i, en), zz, q, &H(i + 1, na), &H(i + 1, en));
          }
        }
        const float tt = std::max(std::fabs(H(i, na)), std::fabs(H(i, en)));
        if (tt > small && tt + 1.0f / tt <= tt) {
          const float rt = 1.0f / tt;
          for (int j = i; j <= en; ++j) {
            H(j, na) *= rt;
            H(j, en) *= rt;
          }
        }
      }
    }
  }

  // Rows of the isolated roots.
  for (int i = 1; i <= n; ++i) {
    if (i >= low && i <= igh) continue;
    for (int j = i; j <= n; ++j) Z(i, j) = H(i, j);
  }

  // Back to the vectors of the balanced matrix: Z := Z * (triangular vectors). Each
  // column is gathered in storage order; every element still sums over k ascending.
  const int rows = igh - low + 1;
  if (rows <= 0) return;
  std::vector<float> col(static_cast<std::size_t>(rows));
  for (int j = n; j >= low; --j) {
    const int kend = std::min(j, igh);
    std::fill(col.begin(), col.end(), 0.0f);
    for (int k = low; k <= kend; ++k) {
      const float hkj = H(k, j);
      const float* zk = &Z(low, k);
      for (int i = 0; i < rows; ++i) col[i] += zk[i] * hkj;
    }
    float* zj = &Z(low, j);
    for (int i = 0; i < rows; ++i) zj[i] = col[i];
  }
}

void E5LRG(const int* pld, const int* pnn, float* h, float* wr, float* wi) {
  NameScope scope("E5LRG");
  const int ld = *pld;
  const int nn = *pnn;
  auto H = [&](int i, int j) -> float& { return h[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto WR = [&](int i) -> float& { return wr[i - 1]; };
  auto WI = [&](int i) -> float& { return wi[i - 1]; };

  float norm = 0.0f;
  for (int j = 1; j <= nn; ++j)
    for (int i = 1; i <= std::min(j + 1, nn); ++i) norm += std::fabs(H(i, j));

  int en = nn;
  int total = 0;
  int its = 0;
  for (;;) {
    if (en <= 0) return;
    if (en == 1) {
      WR(1) = H(1, 1);
      WI(1) = 0.0f;
      return;
    }
    if (total > 100 * nn) {
      nml_error_set_int(1, 100 * nn);
      nml_error_post(NML_WARNING, 2009);
      return;
    }

    int l = en;
    for (; l >= 2; --l) {
      float s = std::fabs(H(l - 1, l - 1)) + std::fabs(H(l, l));
      if (s == 0.0f) s = norm;
      if (Negligible(s, H(l, l - 1))) {
        H(l, l - 1) = 0.0f;
        break;
      }
    }
    if (l < 2) l = 1;

    if (l == en) {
      WR(en) = H(en, en);
      WI(en) = 0.0f;
      --en;
      its = 0;
      continue;
    }
    const float x = H(en - 1, en - 1) + H(en, en);
    if (l == en - 1) {
      const float w = H(en - 1, en) * H(en, en - 1);
      const float p = (H(en - 1, en - 1) - H(en, en)) * 0.5f;
      const float q = p * p + w;
      float zz = std::sqrt(std::fabs(q));
      if (q < 0.0f) {
        WR(en - 1) = H(en, en) + p;
        WR(en) = WR(en - 1);
        WI(en - 1) = zz;
        WI(en) = -zz;
      } else {
        zz = p + WithSignOf(zz, p);
        WR(en - 1) = H(en, en) + zz;
        WR(en) = WR(en - 1);
        if (zz != 0.0f) WR(en) = H(en, en) - w / zz;
        WI(en - 1) = 0.0f;
        WI(en) = 0.0f;
      }
      en -= 2;
      its = 0;
      continue;
    }

    // First column of (H - s1 I)(H - s2 I), scaled by the subdiagonal element at m.
    auto shiftVector = [&](int mm, float* p, float* q, float* r) {
      *p = ((H(en - 1, en - 1) - H(mm, mm)) * (H(en, en) - H(mm, mm)) -
            H(en, en - 1) * H(en - 1, en)) /
               H(mm + 1, mm) +
           H(mm, mm + 1);
      *q = H(mm, mm) + H(mm + 1, mm + 1) - x;
      *r = H(mm + 2, mm + 1);
    };

    int m = l;
    if (its > 6) {
      int mm = en - 2;
      for (; mm >= l + 1; --mm) {
        float p, q, r;
        shiftVector(mm, &p, &q, &r);
        float tst1 = p * (std::fabs(H(mm - 1, mm - 1)) + std::fabs(H(mm, mm)) +
                          std::fabs(H(mm + 1, mm + 1)));
        if (tst1 == 0.0f) tst1 = norm;
        const float tst2 = (std::fabs(q) + std::fabs(r)) * std::fabs(H(mm, mm - 1));
        if (Negligible(tst1, tst2)) break;
      }
      m = mm >= l + 1 ? mm : l;
    }

    float p, q, r;
    shiftVector(m, &p, &q, &r);
    if (its != 0 && its % 10 == 0) {  // exceptional shift
      const float s = std::fabs(H(en, en - 1)) + std::fabs(H(en - 1, en - 2));
      p = ((H(m, m) - 1.5f * s) * H(m, m) + s * s) / H(m + 1, m) + H(m, m + 1);
      q = H(m, m) + H(m + 1, m + 1) - 1.5f * s;
    }

    // First reflector, rows and columns m..m+2 of the active block l..en.
    {
      const float s = std::max({std::fabs(p), std::fabs(q), std::fabs(r)});
      if (s != 0.0f) {
        p /= s;
        q /= s;
        r /= s;
        const float g = WithSignOf(std::sqrt(p * p + q * q + r * r), p);
        p += g;
        const float u2 = q / p, u3 = r / p;
        const float v1 = p / g, v2 = q / g, v3 = r / g;
        if (m != l) H(m, m - 1) *= (1.0f - v1);
        for (int j = m; j <= en; ++j) {
          float* c = &H(m, j);
          const float d = c[0] + u2 * c[1] + u3 * c[2];
          c[0] -= d * v1;
          c[1] -= d * v2;
          c[2] -= d * v3;
        }
        const int iend = std::min(m + 3, en);
        for (int i = l; i <= iend; ++i) {
          const float d = H(i, m) + u2 * H(i, m + 1) + u3 * H(i, m + 2);
          H(i, m) -= d * v1;
          H(i, m + 1) -= d * v2;
          H(i, m + 2) -= d * v3;
        }
      }
    }

    // Chase the bulge down, by elementary similarities where they need no interchange.
    for (int k = m; k <= en - 3; ++k) {
      const int iend = std::min(k + 4, en);
      const float a1 = std::fabs(H(k + 1, k));
      if (std::max(std::fabs(H(k + 2, k)), std::fabs(H(k + 3, k))) < 1.0f * a1) {
        const float f1 = H(k + 2, k) / H(k + 1, k);
        const float f2 = H(k + 3, k) / H(k + 1, k);
        for (int j = k + 1; j <= en; ++j) {
          float* c = &H(k + 1, j);
          c[1] -= f1 * c[0];
          c[2] -= f2 * c[0];
        }
        H(k + 2, k) = 0.0f;
        H(k + 3, k) = 0.0f;
        for (int i = l; i <= iend; ++i) H(i, k + 1) += f1 * H(i, k + 2) + f2 * H(i, k + 3);
      } else {
        float pp = H(k + 1, k), qq = H(k + 2, k), rr = H(k + 3, k);
        const float s = std::max({std::fabs(pp), std::fabs(qq), std::fabs(rr)});
        if (s == 0.0f) continue;
        pp /= s;
        qq /= s;
        rr /= s;
        const float g = WithSignOf(std::sqrt(pp * pp + qq * qq + rr * rr), pp);
        pp += g;
        const float u2 = qq / pp, u3 = rr / pp;
        const float v1 = pp / g, v2 = qq / g, v3 = rr / g;
        for (int j = k + 1; j <= en; ++j) {
          float* c = &H(k + 1, j);
          const float d = c[0] + u2 * c[1] + u3 * c[2];
          c[0] -= d * v1;
          c[1] -= d * v2;
          c[2] -= d * v3;
        }
        H(k + 1, k) = -g * s;
        H(k + 2, k) = 0.0f;
        H(k + 3, k) = 0.0f;
        for (int i = l; i <= iend; ++i) {
          const float d = H(i, k + 1) + u2 * H(i, k + 2) + u3 * H(i, k + 3);
          H(i, k + 1) -= d * v1;
          H(i, k + 2) -= d * v2;
          H(i, k + 3) -= d * v3;
        }
      }
    }

    // Last two-row reflector clears the bulge element (en, en-2).
    {
      float pp = H(en - 1, en - 2), qq = H(en, en - 2);
      if (qq != 0.0f) {
        const float s = std::fabs(pp) + std::fabs(qq);
        pp /= s;
        qq /= s;
        const float g = WithSignOf(std::sqrt(pp * pp + qq * qq), pp);
        pp += g;
        const float u2 = qq / pp;
        const float v1 = pp / g, v2 = qq / g;
        for (int j = en - 1; j <= en; ++j) {
          const float d = H(en - 1, j) + u2 * H(en, j);
          H(en - 1, j) -= d * v1;
          H(en, j) -= d * v2;
        }
        H(en - 1, en - 2) = -g * s;
        H(en, en - 2) = 0.0f;
        for (int i = l; i <= en; ++i) {
          const float d = H(i, en - 1) + u2 * H(i, en);
          H(i, en - 1) -= d * v1;
          H(i, en) -= d * v2;
        }
      }
    }
    ++its;
    ++total;
  }
}
