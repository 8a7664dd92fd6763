// The eigen-decomposition of a real general matrix in one design for both precisions:
// balancing, the two Hessenberg reductions, the double-shift QR iterations (eigenvalues
// only, and with the Schur vectors and the back substitution), the back-transformation,
// the ordering and normalisation, and the public routine's body. K supplies the complex
// type C of its precision and its kernels: Make, Real, Abs, Conj, Mul, Div, Swap, Scal,
// SScal, Nrm2 (complex vectors of unit stride), Iamax, Rot, Crgrg, Eps, Safe, the flag
// kVectorsIntoBoth, and the option codes of the routine.
//
// Matrices are column-ordered with 1-based indices: element (i, j) of a matrix with
// leading dimension ld lies at (j-1)*ld + (i-1). Sizes come by address, as every kernel of
// the eigen-decomposition takes them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace nml::eig {

template <class K>
using CX = typename K::C;

constexpr int kEigRowLength = 10003;
constexpr int kEigVectorsNew = 10094;
constexpr int kEigVectorsUser = 10095;
constexpr int kEigVectorsRowLength = 10096;

// Element (i, j), 1-based, of a column-ordered matrix.
template <class T>
inline T& At(T* a, int ld, int i, int j) {
  return a[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)];
}

// |a| carrying the sign of b, where b = 0 counts as positive.
template <class T>
inline T WithSignOf(T a, T b) {
  return b >= T(0) ? std::fabs(a) : -std::fabs(a);
}

// a + b still equals a: b is negligible beside a. The sum is held in double so that the
// test does not depend on single-precision rounding of the sum.
template <class T>
inline bool Negligible(T a, T b) {
  return static_cast<double>(a) + static_cast<double>(b) == static_cast<double>(a);
}

// A malloc'ed block that is released when it goes out of scope unless it was handed on.
template <class T>
class Block {
 public:
  Block() = default;
  // A count whose size in bytes does not fit size_t fails like any other allocation.
  explicit Block(std::size_t count)
      : p_(count > SIZE_MAX / sizeof(T) ? nullptr
                                        : static_cast<T*>(std::malloc(count * sizeof(T)))) {}
  ~Block() { std::free(p_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  T* get() const { return p_; }
  T* release() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

template <class T, class K>
void Balance(const int* pn, int* low, int* igh, T* a, const int* plda, T* scale) {
  nml::NameScope scope("nml_e9crg");
  const int n = *pn;
  const int lda = *plda;
  auto A = [&](int i, int j) -> T& { return At(a, lda, i, j); };
  int k = 1;
  int l = n;

  // Exchanges row and column j with row and column m; scale(m) remembers j.
  auto exchange = [&](int j, int m) {
    scale[m - 1] = static_cast<T>(j);
    if (j == m) return;
    for (int i = 1; i <= l; ++i) std::swap(A(i, j), A(i, m));
    for (int i = k; i <= n; ++i) std::swap(A(j, i), A(m, i));
  };

  // Rows whose off-diagonal part within 1..l is zero hold an eigenvalue on their own:
  // push them to the bottom.
  for (bool found = true; found;) {
    found = false;
    for (int j = l; j >= 1; --j) {
      bool isolated = true;
      for (int i = 1; i <= l && isolated; ++i)
        if (i != j && A(j, i) != T(0.0)) isolated = false;
      if (!isolated) continue;
      exchange(j, l);
      if (l == 1) {
        *low = k;
        *igh = l;
        return;
      }
      --l;
      found = true;
      break;
    }
  }

  // Columns whose off-diagonal part within k..l is zero: push them to the left.
  for (bool found = true; found;) {
    found = false;
    for (int j = k; j <= l; ++j) {
      bool isolated = true;
      for (int i = k; i <= l && isolated; ++i)
        if (i != j && A(i, j) != T(0.0)) isolated = false;
      if (!isolated) continue;
      exchange(j, k);
      ++k;
      found = true;
      break;
    }
  }

  for (int i = k; i <= l; ++i) scale[i - 1] = T(1.0);

  // Scale rows and columns of the remaining block by powers of 16 (exact in binary) until
  // the norms of each row and its column are within a factor 16 of each other.
  constexpr T radix = T(16.0);
  constexpr T radix2 = radix * radix;
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = k; i <= l; ++i) {
      T c = T(0.0);
      T r = T(0.0);
      for (int j = k; j <= l; ++j) {
        if (j == i) continue;
        c += std::fabs(A(j, i));
        r += std::fabs(A(i, j));
      }
      // An infinite norm could never be brought into range: the loops below would not end.
      if (c == T(0.0) || r == T(0.0) || !std::isfinite(c) || !std::isfinite(r)) continue;
      T g = r / radix;
      T f = T(1.0);
      const T s = c + r;
      while (c < g) {
        f *= radix;
        c *= radix2;
      }
      g = r * radix;
      while (c >= g) {
        f /= radix;
        c /= radix2;
      }
      if ((c + r) / f < T(0.95) * s) {
        const T gi = T(1.0) / f;
        scale[i - 1] *= f;
        changed = true;
        for (int j = k; j <= n; ++j) A(i, j) *= gi;
        for (int j = 1; j <= l; ++j) A(j, i) *= f;
      }
    }
  }

  *low = k;
  *igh = l;
}

template <class T, class K>
void OrthogonalHessenberg(const int* pn, const int* plow, const int* pigh, T* a, const int* plda,
                          T* ort) {
  nml::NameScope scope("nml_eacrg");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int lda = *plda;
  const T small = K::Safe();
  auto A = [&](int i, int j) -> T& { return At(a, lda, i, j); };
  auto O = [&](int i) -> T& { return ort[i - 1]; };
  // Row sums of the right-hand update, gathered column by column so that the matrix is
  // walked in storage order; each sum still adds its terms in column order.
  std::vector<T> rowSum(static_cast<std::size_t>(igh > 0 ? igh : 0));

  for (int m = low + 1; m <= igh - 1; ++m) {
    O(m) = T(0.0);
    T scale = T(0.0);
    for (int i = m; i <= igh; ++i) scale += std::fabs(A(i, m - 1));
    if (scale <= small) continue;

    const T rscale = T(1.0) / scale;
    T h = T(0.0);
    for (int i = m; i <= igh; ++i) O(i) = A(i, m - 1) * rscale;
    for (int i = m; i <= igh; ++i) h += O(i) * O(i);
    const T g = O(m) >= T(0.0) ? -std::sqrt(h) : std::sqrt(h);
    h -= O(m) * g;
    O(m) -= g;
    const T rh = T(1.0) / h;

    // (I - u u'/h) * A
    for (int j = m; j <= n; ++j) {
      T f = T(0.0);
      for (int i = m; i <= igh; ++i) f += O(i) * A(i, j);
      f = rh * f;
      for (int i = m; i <= igh; ++i) A(i, j) -= f * O(i);
    }

    // A * (I - u u'/h)
    for (int i = 1; i <= igh; ++i) rowSum[i - 1] = T(0.0);
    for (int j = m; j <= igh; ++j) {
      const T oj = O(j);
      const T* col = &A(1, j);
      for (int i = 0; i < igh; ++i) rowSum[i] += oj * col[i];
    }
    for (int i = 1; i <= igh; ++i) rowSum[i - 1] = rh * rowSum[i - 1];
    for (int j = m; j <= igh; ++j) {
      const T oj = O(j);
      T* col = &A(1, j);
      for (int i = 0; i < igh; ++i) col[i] -= rowSum[i] * oj;
    }

    O(m) = scale * O(m);
    A(m, m - 1) = scale * g;
  }
}

template <class T, class K>
void AccumulateHessenberg(const int* pn, const int* plow, const int* pigh, const T* a,
                          const int* plda, T* ort, T* z) {
  nml::NameScope scope("nml_ebcrg");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int lda = *plda;
  const T small = K::Safe();
  auto A = [&](int i, int j) { return a[static_cast<std::ptrdiff_t>(j - 1) * lda + (i - 1)]; };
  auto Z = [&](int i, int j) -> T& { return At(z, lda, i, j); };
  auto O = [&](int i) -> T& { return ort[i - 1]; };

  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) Z(i, j) = T(0.0);
    Z(j, j) = T(1.0);
  }

  for (int mp = igh - 1; mp >= low + 1; --mp) {
    if (!(std::fabs(A(mp, mp - 1)) > small)) continue;
    for (int i = mp + 1; i <= igh; ++i) O(i) = A(i, mp - 1);
    for (int j = mp; j <= igh; ++j) {
      T g = T(0.0);
      for (int i = mp; i <= igh; ++i) g += O(i) * Z(i, j);
      // Two divisions: the product ort(mp) * a(mp, mp-1) could underflow.
      g = (g / O(mp)) / A(mp, mp - 1);
      for (int i = mp; i <= igh; ++i) Z(i, j) += g * O(i);
    }
  }
}

template <class T, class K>
void ElementaryHessenberg(const int* plda, const int* pn, const int* plow, const int* pigh, T* a,
                          int* pivots) {
  nml::NameScope scope("nml_e4lrg");
  const int lda = *plda;
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  auto A = [&](int i, int j) -> T& { return At(a, lda, i, j); };

  for (int m = low + 1; m <= igh - 1; ++m) {
    T x = T(0.0);
    int i = m;
    for (int j = m; j <= igh; ++j) {
      if (std::fabs(A(j, m - 1)) > std::fabs(x)) {
        x = A(j, m - 1);
        i = j;
      }
    }
    pivots[m - 1] = i;
    if (x == T(0.0)) continue;

    if (i != m) {
      for (int r = 1; r <= igh; ++r) std::swap(A(r, i), A(r, m));
      std::swap(A(i, m - 1), A(m, m - 1));
    }
    for (int r = m + 1; r <= igh; ++r) A(r, m - 1) /= x;

    std::swap(A(i, m), A(m, m));
    for (int r = m + 1; r <= igh; ++r) A(r, m) -= A(m, m) * A(r, m - 1);

    for (int j = m + 1; j <= igh; ++j) {
      std::swap(A(i, j), A(m, j));
      const T amj = A(m, j);
      for (int r = m + 1; r <= igh; ++r) A(r, j) -= amj * A(r, m - 1);
      const T mult = A(j, m - 1);
      for (int r = 1; r <= igh; ++r) A(r, m) += mult * A(r, j);
    }
    for (int j = igh + 1; j <= n; ++j) {
      std::swap(A(i, j), A(m, j));
      const T amj = A(m, j);
      for (int r = m + 1; r <= igh; ++r) A(r, j) -= amj * A(r, m - 1);
    }
  }
}

template <class T, class K>
void Unbalance(const int* pn, const int* plow, const int* pigh, const T* scale, const int* pm,
               CX<K>* z, const int* pldz) {
  nml::NameScope scope("E6CRG");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int m = *pm;
  const int ldz = *pldz;
  if (m == 0) return;

  for (int i = low; i <= igh; ++i) {
    T s = scale[i - 1];
    K::SScal(&m, &s, z + (i - 1), &ldz);
  }
  auto swapRows = [&](int i) {
    const int k = static_cast<int>(scale[i - 1]);
    if (k == i) return;
    K::Swap(&m, z + (i - 1), &ldz, z + (k - 1), &ldz);
  };
  for (int i = low - 1; i >= 1; --i) swapRows(i);
  for (int i = igh + 1; i <= n; ++i) swapRows(i);
}

template <class T>
void ComplexDivide(const T* ar, const T* ai, const T* br, const T* bi, T* cr, T* ci) {
  const T s = std::fabs(*br) + std::fabs(*bi);
  const T ars = *ar / s;
  const T ais = *ai / s;
  const T brs = *br / s;
  const T bis = *bi / s;
  const T d = brs * brs + bis * bis;
  const T re = (ars * brs + ais * bis) / d;
  const T im = (ais * brs - ars * bis) / d;
  *cr = re;
  *ci = im;
}

// cdiv with values in and the quotient into two places of the matrix.
template <class T>
inline void Cdiv(T ar, T ai, T br, T bi, T* cr, T* ci) {
  ComplexDivide<T>(&ar, &ai, &br, &bi, cr, ci);
}

template <class T, class K>
void QrWithVectors(const int* pn, const int* plow, const int* pigh, T* h, const int* pld, T* wr,
                   T* wi, T* z) {
  nml::NameScope scope("nml_e5crh");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int ld = *pld;
  const T eps = K::Eps();
  const T small = K::Safe();
  auto H = [&](int i, int j) -> T& { return h[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto Z = [&](int i, int j) -> T& { return z[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto WR = [&](int i) -> T& { return wr[i - 1]; };
  auto WI = [&](int i) -> T& { return wi[i - 1]; };

  T norm = T(0.0);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= std::min(n, j + 1); ++i) norm += std::fabs(H(i, j));

  for (int i = 1; i <= n; ++i) {
    if (i >= low && i <= igh) continue;
    WR(i) = H(i, i);
    WI(i) = T(0.0);
  }

  int en = igh;
  T t = T(0.0);  // exceptional shifts taken so far
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
        T s = std::fabs(H(l - 1, l - 1)) + std::fabs(H(l, l));
        if (countdown == 0) s = norm;
        if (std::fabs(H(l, l - 1)) <= eps * s) break;
      }
      if (l < low + 1) l = low;

      T x = H(en, en);
      if (l == en) {  // one root
        H(en, en) = x + t;
        WR(en) = H(en, en);
        WI(en) = T(0.0);
        en = na;
        break;
      }
      T y = H(na, na);
      T w = H(en, na) * H(na, en);
      if (l == na) {  // two roots
        T p = (y - x) * T(0.5);
        T q = p * p + w;
        T zz = std::sqrt(std::fabs(q));
        H(en, en) = x + t;
        x = H(en, en);
        H(na, na) = y + t;
        if (q < T(0.0)) {
          WR(na) = x + p;
          WR(en) = x + p;
          WI(na) = zz;
          WI(en) = -zz;
        } else {
          zz = p + WithSignOf(zz, p);
          WR(na) = x + zz;
          WR(en) = WR(na);
          if (zz != T(0.0)) WR(en) = x - w / zz;
          WI(na) = T(0.0);
          WI(en) = T(0.0);
          x = H(en, na);
          const T s = std::fabs(x) + std::fabs(zz);
          p = x / s;
          q = zz / s;
          const T r = std::sqrt(p * p + q * q);
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
        const T s = std::fabs(H(en, na)) + std::fabs(H(na, enm2));
        x = T(0.75) * s;
        y = x;
        w = -T(0.4375) * s * s;
      }
      ++its;
      --countdown;

      // Two consecutive small subdiagonal elements: start the step at m.
      int m = enm2;
      T p = T(0.0), q = T(0.0), r = T(0.0);
      for (;; --m) {
        const T zz = H(m, m);
        r = x - zz;
        const T s = y - zz;
        p = r * s - w;
        q = H(m + 1, m + 1) - zz - r - s;
        r = H(m + 2, m + 1);
        const T hm = H(m + 1, m);
        if (std::fabs(hm) <= T(1.0)) {
          // Scaled by the subdiagonal element instead of divided by it.
          p = p + H(m, m + 1) * hm;
          q = q * hm;
          r = r * hm;
        } else {
          p = p / hm + H(m, m + 1);
        }
        if (m == l) break;
        const T tst1 = std::fabs(p) *
                       (std::fabs(H(m - 1, m - 1)) + std::fabs(zz) + std::fabs(H(m + 1, m + 1)));
        const T tst2 = std::fabs(H(m, m - 1)) * (std::fabs(q) + std::fabs(r));
        if (tst2 <= eps * tst1) {
          const T s2 = std::fabs(p) + std::fabs(q) + std::fabs(r);
          if (s2 > small) {
            p /= s2;
            q /= s2;
            r /= s2;
            break;
          }
        }
      }

      H(m + 2, m) = T(0.0);
      for (int i = m + 3; i <= en; ++i) {
        H(i, i - 2) = T(0.0);
        H(i, i - 3) = T(0.0);
      }

      // Double QR step on rows l..en, columns m..en.
      for (int k = m; k <= na; ++k) {
        const bool notlas = k != na;
        T s;
        T zz;
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
          r = notlas ? H(k + 2, k - 1) : T(0.0);
          x = std::fabs(p) + std::fabs(q) + std::fabs(r);
          if (x <= small) continue;
          const T rx = T(1.0) / x;
          p *= rx;
          q *= rx;
          r *= rx;
          s = WithSignOf(std::sqrt(p * p + q * q + r * r), p);
          H(k, k - 1) = -s * x;
          p += s;
          const T rs = T(1.0) / s;
          x = p * rs;
          y = q * rs;
          zz = r * rs;
          const T rp = T(1.0) / p;
          q *= rp;
          r *= rp;
        }
        const int iend = std::min(en, k + 3);
        if (notlas) {
          for (int j = k; j <= n; ++j) {
            T* c = &H(k, j);
            const T pp = c[0] + q * c[1] + r * c[2];
            c[0] -= pp * x;
            c[1] -= pp * y;
            c[2] -= pp * zz;
          }
          T* c0 = &H(1, k);
          T* c1 = &H(1, k + 1);
          T* c2 = &H(1, k + 2);
          for (int i = 0; i < iend; ++i) {
            const T pp = x * c0[i] + y * c1[i] + zz * c2[i];
            c0[i] -= pp;
            c1[i] -= pp * q;
            c2[i] -= pp * r;
          }
          T* z0 = &Z(1, k);
          T* z1 = &Z(1, k + 1);
          T* z2 = &Z(1, k + 2);
          for (int i = low - 1; i < igh; ++i) {
            const T pp = x * z0[i] + y * z1[i] + zz * z2[i];
            z0[i] -= pp;
            z1[i] -= pp * q;
            z2[i] -= pp * r;
          }
        } else if (n - k < 17 || k < 17) {
          for (int j = k; j <= n; ++j) {
            T* c = &H(k, j);
            const T pp = c[0] + q * c[1];
            c[0] -= pp * x;
            c[1] -= pp * y;
          }
          T* c0 = &H(1, k);
          T* c1 = &H(1, k + 1);
          for (int i = 0; i < iend; ++i) {
            const T pp = x * c0[i] + y * c1[i];
            c0[i] -= pp;
            c1[i] -= pp * q;
          }
          T* z0 = &Z(1, k);
          T* z1 = &Z(1, k + 1);
          for (int i = low - 1; i < igh; ++i) {
            const T pp = x * z0[i] + y * z1[i];
            z0[i] -= pp;
            z1[i] -= pp * q;
          }
        } else {
          // The same two-row step as a plane rotation; it flips the sign of row and
          // column k+1, which the final normalisation of the eigenvectors removes.
          const T c = T(1.0) - x;
          const T sn = -y;
          K::Rot(n - k + 1, &H(k, k), ld, &H(k + 1, k), ld, c, sn);
          K::Rot(iend, &H(1, k), 1, &H(1, k + 1), 1, c, sn);
          K::Rot(igh - low + 1, &Z(low, k), 1, &Z(low, k + 1), 1, c, sn);
        }
      }
    }
  }

  // Eigenvectors of the triangular (quasi-triangular) matrix by back-substitution.
  if (norm == T(0.0)) return;

  T zz = T(0.0), s = T(0.0), r = T(0.0);
  for (en = n; en >= 1; --en) {
    T p = WR(en);
    T q = WI(en);
    const int na = en - 1;
    if (q == T(0.0)) {
      int m = en;
      H(en, en) = T(1.0);
      for (int i = na; i >= 1; --i) {
        const T w = H(i, i) - p;
        r = T(0.0);
        for (int j = m; j <= en; ++j) r += H(i, j) * H(j, en);
        if (WI(i) < T(0.0)) {
          zz = w;
          s = r;
          continue;
        }
        m = i;
        if (WI(i) == T(0.0)) {
          T tt = w;
          if (tt == T(0.0)) {
            // A zero pivot is replaced by a perturbation just below the norm's resolution.
            tt = norm;
            do tt *= T(0.01);
            while (norm + tt > norm);
          }
          H(i, en) = -r / tt;
        } else {
          const T x = H(i, i + 1);
          const T y = H(i + 1, i);
          const T q2 = (WR(i) - p) * (WR(i) - p) + WI(i) * WI(i);
          const T tt = (x * s - zz * r) / q2;
          H(i, en) = tt;
          H(i + 1, en) = std::fabs(x) > std::fabs(zz) ? (-r - w * tt) / x : (-s - y * tt) / zz;
        }
        const T tt = std::fabs(H(i, en));
        if (tt > small && tt + T(1.0) / tt <= tt) {
          const T rt = T(1.0) / tt;
          for (int j = i; j <= en; ++j) H(j, en) *= rt;
        }
      }
    } else if (q < T(0.0)) {
      // Complex vector of the pair (na, en); the last component is chosen imaginary.
      int m = na;
      if (std::fabs(H(en, na)) > std::fabs(H(na, en))) {
        H(na, na) = q / H(en, na);
        H(na, en) = -(H(en, en) - p) / H(en, na);
      } else {
        Cdiv(T(0.0), -H(na, en), H(na, na) - p, q, &H(na, na), &H(na, en));
      }
      H(en, na) = T(0.0);
      H(en, en) = T(1.0);
      T ra = T(0.0), sa = T(0.0);
      for (int i = na - 1; i >= 1; --i) {
        const T w = H(i, i) - p;
        ra = T(0.0);
        sa = T(0.0);
        for (int j = m; j <= en; ++j) {
          ra += H(i, j) * H(j, na);
          sa += H(i, j) * H(j, en);
        }
        if (WI(i) < T(0.0)) {
          zz = w;
          r = ra;
          s = sa;
          continue;
        }
        m = i;
        if (WI(i) == T(0.0)) {
          Cdiv(-ra, -sa, w, q, &H(i, na), &H(i, en));
        } else {
          const T x = H(i, i + 1);
          const T y = H(i + 1, i);
          T vr = (WR(i) - p) * (WR(i) - p) + WI(i) * WI(i) - q * q;
          const T vi = (WR(i) - p) * T(2.0) * q;
          if (vr == T(0.0) && vi == T(0.0)) {
            const T tst1 =
                norm * (std::fabs(w) + std::fabs(q) + std::fabs(x) + std::fabs(y) + std::fabs(zz));
            vr = tst1;
            do vr *= T(0.01);
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
        const T tt = std::max(std::fabs(H(i, na)), std::fabs(H(i, en)));
        if (tt > small && tt + T(1.0) / tt <= tt) {
          const T rt = T(1.0) / tt;
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
  std::vector<T> col(static_cast<std::size_t>(rows));
  for (int j = n; j >= low; --j) {
    const int kend = std::min(j, igh);
    std::fill(col.begin(), col.end(), T(0.0));
    for (int k = low; k <= kend; ++k) {
      const T hkj = H(k, j);
      const T* zk = &Z(low, k);
      for (int i = 0; i < rows; ++i) col[i] += zk[i] * hkj;
    }
    T* zj = &Z(low, j);
    for (int i = 0; i < rows; ++i) zj[i] = col[i];
  }
}

template <class T, class K>
void QrValues(const int* pld, const int* pnn, T* h, T* wr, T* wi) {
  nml::NameScope scope("E5LRG");
  const int ld = *pld;
  const int nn = *pnn;
  auto H = [&](int i, int j) -> T& { return h[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)]; };
  auto WR = [&](int i) -> T& { return wr[i - 1]; };
  auto WI = [&](int i) -> T& { return wi[i - 1]; };

  T norm = T(0.0);
  for (int j = 1; j <= nn; ++j)
    for (int i = 1; i <= std::min(j + 1, nn); ++i) norm += std::fabs(H(i, j));

  int en = nn;
  int total = 0;
  int its = 0;
  for (;;) {
    if (en <= 0) return;
    if (en == 1) {
      WR(1) = H(1, 1);
      WI(1) = T(0.0);
      return;
    }
    if (total > 100 * nn) {
      nml_error_set_int(1, 100 * nn);
      nml_error_post(NML_WARNING, 2009);
      return;
    }

    int l = en;
    for (; l >= 2; --l) {
      T s = std::fabs(H(l - 1, l - 1)) + std::fabs(H(l, l));
      if (s == T(0.0)) s = norm;
      if (Negligible(s, H(l, l - 1))) {
        H(l, l - 1) = T(0.0);
        break;
      }
    }
    if (l < 2) l = 1;

    if (l == en) {
      WR(en) = H(en, en);
      WI(en) = T(0.0);
      --en;
      its = 0;
      continue;
    }
    const T x = H(en - 1, en - 1) + H(en, en);
    if (l == en - 1) {
      const T w = H(en - 1, en) * H(en, en - 1);
      const T p = (H(en - 1, en - 1) - H(en, en)) * T(0.5);
      const T q = p * p + w;
      T zz = std::sqrt(std::fabs(q));
      if (q < T(0.0)) {
        WR(en - 1) = H(en, en) + p;
        WR(en) = WR(en - 1);
        WI(en - 1) = zz;
        WI(en) = -zz;
      } else {
        zz = p + WithSignOf(zz, p);
        WR(en - 1) = H(en, en) + zz;
        WR(en) = WR(en - 1);
        if (zz != T(0.0)) WR(en) = H(en, en) - w / zz;
        WI(en - 1) = T(0.0);
        WI(en) = T(0.0);
      }
      en -= 2;
      its = 0;
      continue;
    }

    // First column of (H - s1 I)(H - s2 I), scaled by the subdiagonal element at m.
    auto shiftVector = [&](int mm, T* p, T* q, T* r) {
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
        T p, q, r;
        shiftVector(mm, &p, &q, &r);
        T tst1 = p * (std::fabs(H(mm - 1, mm - 1)) + std::fabs(H(mm, mm)) +
                      std::fabs(H(mm + 1, mm + 1)));
        if (tst1 == T(0.0)) tst1 = norm;
        const T tst2 = (std::fabs(q) + std::fabs(r)) * std::fabs(H(mm, mm - 1));
        if (Negligible(tst1, tst2)) break;
      }
      m = mm >= l + 1 ? mm : l;
    }

    T p, q, r;
    shiftVector(m, &p, &q, &r);
    if (its != 0 && its % 10 == 0) {  // exceptional shift
      const T s = std::fabs(H(en, en - 1)) + std::fabs(H(en - 1, en - 2));
      p = ((H(m, m) - T(1.5) * s) * H(m, m) + s * s) / H(m + 1, m) + H(m, m + 1);
      q = H(m, m) + H(m + 1, m + 1) - T(1.5) * s;
    }

    // First reflector, rows and columns m..m+2 of the active block l..en.
    {
      const T s = std::max({std::fabs(p), std::fabs(q), std::fabs(r)});
      if (s != T(0.0)) {
        p /= s;
        q /= s;
        r /= s;
        const T g = WithSignOf(std::sqrt(p * p + q * q + r * r), p);
        p += g;
        const T u2 = q / p, u3 = r / p;
        const T v1 = p / g, v2 = q / g, v3 = r / g;
        if (m != l) H(m, m - 1) *= (T(1.0) - v1);
        for (int j = m; j <= en; ++j) {
          T* c = &H(m, j);
          const T d = c[0] + u2 * c[1] + u3 * c[2];
          c[0] -= d * v1;
          c[1] -= d * v2;
          c[2] -= d * v3;
        }
        const int iend = std::min(m + 3, en);
        for (int i = l; i <= iend; ++i) {
          const T d = H(i, m) + u2 * H(i, m + 1) + u3 * H(i, m + 2);
          H(i, m) -= d * v1;
          H(i, m + 1) -= d * v2;
          H(i, m + 2) -= d * v3;
        }
      }
    }

    // Chase the bulge down, by elementary similarities where they need no interchange.
    for (int k = m; k <= en - 3; ++k) {
      const int iend = std::min(k + 4, en);
      const T a1 = std::fabs(H(k + 1, k));
      if (std::max(std::fabs(H(k + 2, k)), std::fabs(H(k + 3, k))) < T(1.0) * a1) {
        const T f1 = H(k + 2, k) / H(k + 1, k);
        const T f2 = H(k + 3, k) / H(k + 1, k);
        for (int j = k + 1; j <= en; ++j) {
          T* c = &H(k + 1, j);
          c[1] -= f1 * c[0];
          c[2] -= f2 * c[0];
        }
        H(k + 2, k) = T(0.0);
        H(k + 3, k) = T(0.0);
        for (int i = l; i <= iend; ++i) H(i, k + 1) += f1 * H(i, k + 2) + f2 * H(i, k + 3);
      } else {
        T pp = H(k + 1, k), qq = H(k + 2, k), rr = H(k + 3, k);
        const T s = std::max({std::fabs(pp), std::fabs(qq), std::fabs(rr)});
        if (s == T(0.0)) continue;
        pp /= s;
        qq /= s;
        rr /= s;
        const T g = WithSignOf(std::sqrt(pp * pp + qq * qq + rr * rr), pp);
        pp += g;
        const T u2 = qq / pp, u3 = rr / pp;
        const T v1 = pp / g, v2 = qq / g, v3 = rr / g;
        for (int j = k + 1; j <= en; ++j) {
          T* c = &H(k + 1, j);
          const T d = c[0] + u2 * c[1] + u3 * c[2];
          c[0] -= d * v1;
          c[1] -= d * v2;
          c[2] -= d * v3;
        }
        H(k + 1, k) = -g * s;
        H(k + 2, k) = T(0.0);
        H(k + 3, k) = T(0.0);
        for (int i = l; i <= iend; ++i) {
          const T d = H(i, k + 1) + u2 * H(i, k + 2) + u3 * H(i, k + 3);
          H(i, k + 1) -= d * v1;
          H(i, k + 2) -= d * v2;
          H(i, k + 3) -= d * v3;
        }
      }
    }

    // Last two-row reflector clears the bulge element (en, en-2).
    {
      T pp = H(en - 1, en - 2), qq = H(en, en - 2);
      if (qq != T(0.0)) {
        const T s = std::fabs(pp) + std::fabs(qq);
        pp /= s;
        qq /= s;
        const T g = WithSignOf(std::sqrt(pp * pp + qq * qq), pp);
        pp += g;
        const T u2 = qq / pp;
        const T v1 = pp / g, v2 = qq / g;
        for (int j = en - 1; j <= en; ++j) {
          const T d = H(en - 1, j) + u2 * H(en, j);
          H(en - 1, j) -= d * v1;
          H(en, j) -= d * v2;
        }
        H(en - 1, en - 2) = -g * s;
        H(en, en - 2) = T(0.0);
        for (int i = l; i <= en; ++i) {
          const T d = H(i, en - 1) + u2 * H(i, en);
          H(i, en - 1) -= d * v1;
          H(i, en) -= d * v2;
        }
      }
    }
    ++its;
    ++total;
  }
}

// Orders eigenvalues (and eigenvector columns when evec is given) by non-increasing
// modulus, then puts the member with the positive imaginary part first in each conjugate
// pair. keys: n floats; perm: n ints.
template <class T, class K>
void OrderEigenpairs(int n, CX<K>* eval, CX<K>* evec, int ldevec, T* keys, int* perm) {
  for (int k = 0; k < n; ++k) {
    const T m = K::Abs(eval[k]);
    // An eigenvalue that the iteration did not find (NaN) goes to the end.
    keys[k] = std::isnan(m) ? std::numeric_limits<T>::infinity() : -m;
    perm[k] = k + 1;
  }
  nml_svrgp(n, keys, keys, perm);

  // Turn "place k takes the element from perm(k)" into a sequence of exchanges.
  for (int i = 1; i <= n; ++i) {
    int j = i;
    while (j <= n && perm[j - 1] != i) ++j;
    if (j > n) continue;  // cannot happen for a permutation
    perm[j - 1] = perm[i - 1];
    perm[i - 1] = j;
  }
  const int one = 1;
  for (int i = n - 1; i >= 1; --i) {
    const int k = perm[i - 1];
    if (k == i) continue;
    if (evec) K::Swap(&n, evec + (i - 1) * ldevec, &one, evec + (k - 1) * ldevec, &one);
    std::swap(eval[i - 1], eval[k - 1]);
  }

  // Conjugate pairs: positive imaginary part first. Only a true partner is exchanged, so
  // an equal-modulus neighbour never moves out of its place in the order.
  for (int i = 1; i < n;) {
    const CX<K> e = eval[i - 1];
    if (e.im == T(0.0)) {
      ++i;
      continue;
    }
    const CX<K> f = eval[i];
    if (f.re != e.re || f.im != -e.im) {
      ++i;
      continue;
    }
    if (e.im < T(0.0)) {
      std::swap(eval[i - 1], eval[i]);
      if (evec) K::Swap(&n, evec + (i - 1) * ldevec, &one, evec + i * ldevec, &one);
    }
    i += 2;
  }
}

template <class T, class K>
void EigenWithVectors(const int* pn, const T* a, const int* plda, CX<K>* eval, CX<K>* evec,
                      const int* pldevec, T* acopy, T* z, T* work, int* iwork) {
  nml::NameScope scope("E8CRG");
  const int n = *pn;
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 2001);
    return;
  }
  if (*plda < n) {
    nml_error_set_int(1, *plda);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 2003);
  }
  if (*pldevec < n) {
    nml_error_set_int(1, *pldevec);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 2003);
  }
  if (nml_error_current_type() != 0) return;
  const int ldevec = *pldevec;

  T* scale = work;
  T* ort = work + n;
  T* wr = work + 2 * n;
  T* wi = work + 3 * n;
  T* keys = work + 4 * n;
  T* modsq = work + 5 * n;
  // Eigenvalues the iteration does not reach stay NaN.
  for (int k = 0; k < n; ++k) wr[k] = wi[k] = std::numeric_limits<T>::quiet_NaN();

  K::Crgrg(n, a, *plda, acopy, n);
  int low = 1, igh = n;
  Balance<T, K>(&n, &low, &igh, acopy, &n, scale);
  OrthogonalHessenberg<T, K>(&n, &low, &igh, acopy, &n, ort);
  AccumulateHessenberg<T, K>(&n, &low, &igh, acopy, &n, ort, z);
  QrWithVectors<T, K>(&n, &low, &igh, acopy, &n, wr, wi, z);

  for (int k = 0; k < n; ++k) eval[k] = K::Make(wr[k], wi[k]);

  // Complex eigenvectors from the real basis: a pair (j-1, j) holds real and imaginary
  // parts of the vector of j-1; the vector of j is its conjugate.
  for (int j = n; j >= 1;) {
    const T* zr = z + static_cast<std::ptrdiff_t>(j - 1) * n;
    CX<K>* vj = evec + static_cast<std::ptrdiff_t>(j - 1) * ldevec;
    if (wi[j - 1] == T(0.0) || j == 1 || std::isnan(wi[j - 1])) {
      for (int i = 0; i < n; ++i) vj[i] = K::Make(zr[i], T(0.0));
      --j;
    } else {
      const T* zp = z + static_cast<std::ptrdiff_t>(j - 2) * n;
      CX<K>* vp = evec + static_cast<std::ptrdiff_t>(j - 2) * ldevec;
      for (int i = 0; i < n; ++i) {
        vp[i] = K::Make(zp[i], zr[i]);
        vj[i] = K::Conj(vp[i]);
      }
      j -= 2;
    }
  }

  if (nml_error_current_type() != 0) return;

  Unbalance<T, K>(&n, &low, &igh, scale, &n, evec, &ldevec);
  OrderEigenpairs<T, K>(n, eval, evec, ldevec, keys, iwork);

  const int one = 1;
  for (int k = 0; k < n; ++k) {
    CX<K>* v = evec + static_cast<std::ptrdiff_t>(k) * ldevec;
    const T s = K::Nrm2(&n, v);
    if (s > T(0.0)) {
      T rs = T(1.0) / s;
      K::SScal(&n, &rs, v, &one);
    }
    for (int i = 0; i < n; ++i) modsq[i] = K::Real(K::Mul(v[i], K::Conj(v[i])));
    const int m = K::Iamax(n, modsq, 1);
    const T h = K::Abs(v[m - 1]);
    if (h != T(0.0)) {
      CX<K> c = K::Div(K::Conj(v[m - 1]), K::Make(h, T(0.0)));
      K::Scal(&n, &c, v, &one);
      v[m - 1] = K::Make(K::Real(v[m - 1]), T(0.0));
    }
  }
}

template <class T, class K>
void EigenValues(const int* pn, const T* a, const int* plda, CX<K>* eval, T* acopy, T* work,
                 int* iwork) {
  nml::NameScope scope("E3LRG");
  const int n = *pn;
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 2001);
    return;
  }
  if (*plda < n) {
    nml_error_set_int(1, *plda);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 2003);
    return;
  }

  T* scale = work;
  T* wr = work + n;
  T* wi = work + 2 * n;
  T* keys = work + 3 * n;
  int* pivots = iwork;
  int* perm = iwork + n;
  auto H = [&](int i, int j) -> T& {
    return acopy[static_cast<std::ptrdiff_t>(j - 1) * n + (i - 1)];
  };

  K::Crgrg(n, a, *plda, acopy, n);
  int low = 1, igh = n;
  Balance<T, K>(&n, &low, &igh, acopy, &n, scale);
  ElementaryHessenberg<T, K>(&n, &n, &low, &igh, acopy, pivots);
  for (int i = 1; i <= n - 2; ++i)
    for (int j = i + 2; j <= n; ++j) H(j, i) = T(0.0);

  // Eigenvalues the iteration does not reach stay NaN.
  for (int k = 0; k < n; ++k) wr[k] = wi[k] = std::numeric_limits<T>::quiet_NaN();
  const int nn = igh - low + 1;
  if (nn > 0) QrValues<T, K>(&n, &nn, &H(low, low), wr + (low - 1), wi + (low - 1));

  for (int k = 1; k <= n; ++k) {
    if (k < low || k > igh)
      eval[k - 1] = K::Make(H(k, k), T(0.0));
    else
      eval[k - 1] = K::Make(wr[k - 1], wi[k - 1]);
  }
  OrderEigenpairs<T, K>(n, eval, nullptr, 0, keys, perm);
}

// Transposes the n x n block of a row-ordered complex matrix with row stride ld in place.
template <class C>
void TransposeSquare(int n, C* v, int ld) {
  if (ld == n) {
    M1RAN_C(n, n, v, v);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (int k = i + 1; k < n; ++k)
      std::swap(v[static_cast<std::ptrdiff_t>(i) * ld + k],
                v[static_cast<std::ptrdiff_t>(k) * ld + i]);
}

template <class T, class K>
void EigGenBody(int n, T* a, nml::OptionReader& opt, CX<K>** result) {
  int rowStride = -1;
  CX<K>** evecOut = nullptr;
  bool wantNew = false;
  CX<K>* evecUser = nullptr;
  bool wantUser = false;
  int evecStride = -1;
  CX<K>* evalUser = nullptr;
  bool returnUser = false;

  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case kEigRowLength:
        rowStride = opt.Int();
        break;
      case kEigVectorsNew:
        evecOut = opt.Pointer<CX<K>*>();
        wantNew = true;
        break;
      case kEigVectorsUser:
        evecUser = opt.Pointer<CX<K>>();
        wantUser = true;
        break;
      case kEigVectorsRowLength:
        evecStride = opt.Int();
        break;
      case NML_RETURN_USER:
        evalUser = opt.Pointer<CX<K>>();
        returnUser = true;
        break;
      default:
        opt.Unknown();
        break;
    }
  }
  if (rowStride == -1) rowStride = n;
  if (evecStride == -1) evecStride = n;
  // Where the precision keeps a single output, the caller's array wins when both forms of
  // eigenvector output are asked for; otherwise both receive the same vectors.
  if (wantUser && wantNew && !K::kVectorsIntoBoth) {
    if (evecOut) *evecOut = nullptr;
    wantNew = false;
  }

  if (nml_error_current_type() == 0) {
    if (!a) {
      nml_error_set_string(1, "a");
      nml_error_post(NML_TERMINAL, 6002);
    }
    if (wantUser && !evecUser) {
      nml_error_set_string(1, "evecu");
      nml_error_set_string(2, "NML_VECTORS_USER");
      nml_error_post(NML_TERMINAL, 104);
    } else if (wantNew && !evecOut) {
      // Nowhere to put the new eigenvector matrix.
      nml_error_set_string(1, "evec");
      nml_error_set_string(2, "NML_EIGENVECTORS");
      nml_error_post(NML_TERMINAL, 104);
    } else if (returnUser && !evalUser) {
      nml_error_set_string(1, "eval");
      nml_error_set_string(2, "NML_RETURN_USER");
      nml_error_post(NML_TERMINAL, 104);
    }
  }
  if (nml_error_current_type() == 0) {
    if (n < 1) {
      nml_error_set_int(1, n);
      nml_error_post(NML_TERMINAL, 1010);
    } else if (n > rowStride) {
      nml_error_set_int(1, n);
      nml_error_set_int(2, rowStride);
      nml_error_set_string(1, "a");
      nml_error_post(NML_TERMINAL, 1014);
    }
  }
  if (nml_error_current_type() != 0) return;
  if (wantNew) *evecOut = nullptr;

  const bool vectors = wantNew || wantUser;
  const std::size_t nz = static_cast<std::size_t>(n);
  Block<T> acopy(nz * nz);
  Block<T> z(vectors ? nz * (nz + 1) : 0);
  Block<T> work(vectors ? 6 * nz : 4 * nz);
  Block<int> iwork(vectors ? nz : 2 * nz);
  Block<CX<K>> evecNew(wantNew ? nz * nz : 0);
  Block<CX<K>> evalNew(returnUser ? 0 : nz);
  if (!acopy.get() || (vectors && !z.get()) || !work.get() || !iwork.get() ||
      (wantNew && !evecNew.get()) || (!returnUser && !evalNew.get())) {
    nml_error_set_string(1, "n");
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 201);
    return;
  }
  CX<K>* eval = returnUser ? evalUser : evalNew.get();

  if (!vectors) {
    // The kernel reads the row-ordered matrix as its transpose, which has the same
    // eigenvalues.
    EigenValues<T, K>(&n, a, &rowStride, eval, acopy.get(), work.get(), iwork.get());
  } else {
    CX<K>* evec = wantUser ? evecUser : evecNew.get();
    const int ldevec = wantUser ? evecStride : n;
    M1RAN_F(n, rowStride, a, a);
    EigenWithVectors<T, K>(&n, a, &n, eval, evec, &ldevec, acopy.get(), z.get(), work.get(),
                           iwork.get());
    M1RAN_F(rowStride, n, a, a);
    if (ldevec >= n) TransposeSquare(n, evec, ldevec);
  }

  if (nml_error_current_type() >= NML_FATAL) return;
  if (wantUser && wantNew) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        evecNew.get()[i * nz + j] = evecUser[static_cast<std::ptrdiff_t>(i) * evecStride + j];
  }
  if (wantNew) *evecOut = evecNew.release();
  *result = returnUser ? evalUser : evalNew.release();
}

template <class T, class K>
CX<K>* EigGen(const char* name, int n, T* a, nml::OptionReader& opt) {
  CX<K>* result = nullptr;
  nml_public(name, [&] { EigGenBody<T, K>(n, a, opt, &result); });
  return result;
}

}  // namespace nml::eig
