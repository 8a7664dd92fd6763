// Balancing, reduction to upper Hessenberg form and the back-transformation through the
// balancing, for the eigen-decomposition of a real general matrix.
//
// All matrices are single precision in column order with 1-based indices: element (i, j)
// of a matrix with leading dimension ld lies at (j-1)*ld + (i-1). Sizes come by address,
// as every kernel of the eigen-decomposition takes them.
#include "numerics/nml_eig.h"

#include <cmath>
#include <utility>
#include <vector>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

using nml::NameScope;
using nml::SafeMinimum;

// Element (i, j), 1-based, of a column-ordered matrix.
inline float& At(float* a, int ld, int i, int j) {
  return a[static_cast<std::ptrdiff_t>(j - 1) * ld + (i - 1)];
}

}  // namespace

void nml_e9crg(const int* pn, int* low, int* igh, float* a, const int* plda, float* scale) {
  NameScope scope("nml_e9crg");
  const int n = *pn;
  const int lda = *plda;
  auto A = [&](int i, int j) -> float& { return At(a, lda, i, j); };
  int k = 1;
  int l = n;

  // Exchanges row and column j with row and column m; scale(m) remembers j.
  auto exchange = [&](int j, int m) {
    scale[m - 1] = static_cast<float>(j);
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
        if (i != j && A(j, i) != 0.0f) isolated = false;
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
        if (i != j && A(i, j) != 0.0f) isolated = false;
      if (!isolated) continue;
      exchange(j, k);
      ++k;
      found = true;
      break;
    }
  }

  for (int i = k; i <= l; ++i) scale[i - 1] = 1.0f;

  // Scale rows and columns of the remaining block by powers of 16 (exact in binary) until
  // the norms of each row and its column are within a factor 16 of each other.
  constexpr float radix = 16.0f;
  constexpr float radix2 = radix * radix;
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = k; i <= l; ++i) {
      float c = 0.0f;
      float r = 0.0f;
      for (int j = k; j <= l; ++j) {
        if (j == i) continue;
        c += std::fabs(A(j, i));
        r += std::fabs(A(i, j));
      }
      // An infinite norm could never be brought into range: the loops below would not end.
      if (c == 0.0f || r == 0.0f || !std::isfinite(c) || !std::isfinite(r)) continue;
      float g = r / radix;
      float f = 1.0f;
      const float s = c + r;
      while (c < g) {
        f *= radix;
        c *= radix2;
      }
      g = r * radix;
      while (c >= g) {
        f /= radix;
        c /= radix2;
      }
      if ((c + r) / f < 0.95f * s) {
        const float gi = 1.0f / f;
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

void nml_eacrg(const int* pn, const int* plow, const int* pigh, float* a, const int* plda,
               float* ort) {
  NameScope scope("nml_eacrg");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int lda = *plda;
  const float small = SafeMinimum();
  auto A = [&](int i, int j) -> float& { return At(a, lda, i, j); };
  auto O = [&](int i) -> float& { return ort[i - 1]; };
  // Row sums of the right-hand update, gathered column by column so that the matrix is
  // walked in storage order; each sum still adds its terms in column order.
  std::vector<float> rowSum(static_cast<std::size_t>(igh > 0 ? igh : 0));

  for (int m = low + 1; m <= igh - 1; ++m) {
    O(m) = 0.0f;
    float scale = 0.0f;
    for (int i = m; i <= igh; ++i) scale += std::fabs(A(i, m - 1));
    if (scale <= small) continue;

    const float rscale = 1.0f / scale;
    float h = 0.0f;
    for (int i = m; i <= igh; ++i) O(i) = A(i, m - 1) * rscale;
    for (int i = m; i <= igh; ++i) h += O(i) * O(i);
    const float g = O(m) >= 0.0f ? -std::sqrt(h) : std::sqrt(h);
    h -= O(m) * g;
    O(m) -= g;
    const float rh = 1.0f / h;

    // (I - u u'/h) * A
    for (int j = m; j <= n; ++j) {
      float f = 0.0f;
      for (int i = m; i <= igh; ++i) f += O(i) * A(i, j);
      f = rh * f;
      for (int i = m; i <= igh; ++i) A(i, j) -= f * O(i);
    }

    // A * (I - u u'/h)
    for (int i = 1; i <= igh; ++i) rowSum[i - 1] = 0.0f;
    for (int j = m; j <= igh; ++j) {
      const float oj = O(j);
      const float* col = &A(1, j);
      for (int i = 0; i < igh; ++i) rowSum[i] += oj * col[i];
    }
    for (int i = 1; i <= igh; ++i) rowSum[i - 1] = rh * rowSum[i - 1];
    for (int j = m; j <= igh; ++j) {
      const float oj = O(j);
      float* col = &A(1, j);
      for (int i = 0; i < igh; ++i) col[i] -= rowSum[i] * oj;
    }

    O(m) = scale * O(m);
    A(m, m - 1) = scale * g;
  }
}

void nml_ebcrg(const int* pn, const int* plow, const int* pigh, const float* a,
               const int* plda, float* ort, float* z) {
  NameScope scope("nml_ebcrg");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int lda = *plda;
  const float small = SafeMinimum();
  auto A = [&](int i, int j) { return a[static_cast<std::ptrdiff_t>(j - 1) * lda + (i - 1)]; };
  auto Z = [&](int i, int j) -> float& { return At(z, lda, i, j); };
  auto O = [&](int i) -> float& { return ort[i - 1]; };

  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) Z(i, j) = 0.0f;
    Z(j, j) = 1.0f;
  }

  for (int mp = igh - 1; mp >= low + 1; --mp) {
    if (!(std::fabs(A(mp, mp - 1)) > small)) continue;
    for (int i = mp + 1; i <= igh; ++i) O(i) = A(i, mp - 1);
    for (int j = mp; j <= igh; ++j) {
      float g = 0.0f;
      for (int i = mp; i <= igh; ++i) g += O(i) * Z(i, j);
      // Two divisions: the product ort(mp) * a(mp, mp-1) could underflow.
      g = (g / O(mp)) / A(mp, mp - 1);
      for (int i = mp; i <= igh; ++i) Z(i, j) += g * O(i);
    }
  }
}

void nml_e4lrg(const int* plda, const int* pn, const int* plow, const int* pigh, float* a,
               int* pivots) {
  NameScope scope("nml_e4lrg");
  const int lda = *plda;
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  auto A = [&](int i, int j) -> float& { return At(a, lda, i, j); };

  for (int m = low + 1; m <= igh - 1; ++m) {
    float x = 0.0f;
    int i = m;
    for (int j = m; j <= igh; ++j) {
      if (std::fabs(A(j, m - 1)) > std::fabs(x)) {
        x = A(j, m - 1);
        i = j;
      }
    }
    pivots[m - 1] = i;
    if (x == 0.0f) continue;

    if (i != m) {
      for (int r = 1; r <= igh; ++r) std::swap(A(r, i), A(r, m));
      std::swap(A(i, m - 1), A(m, m - 1));
    }
    for (int r = m + 1; r <= igh; ++r) A(r, m - 1) /= x;

    std::swap(A(i, m), A(m, m));
    for (int r = m + 1; r <= igh; ++r) A(r, m) -= A(m, m) * A(r, m - 1);

    for (int j = m + 1; j <= igh; ++j) {
      std::swap(A(i, j), A(m, j));
      const float amj = A(m, j);
      for (int r = m + 1; r <= igh; ++r) A(r, j) -= amj * A(r, m - 1);
      const float mult = A(j, m - 1);
      for (int r = 1; r <= igh; ++r) A(r, m) += mult * A(r, j);
    }
    for (int j = igh + 1; j <= n; ++j) {
      std::swap(A(i, j), A(m, j));
      const float amj = A(m, j);
      for (int r = m + 1; r <= igh; ++r) A(r, j) -= amj * A(r, m - 1);
    }
  }
}

void E6CRG(const int* pn, const int* plow, const int* pigh, const float* scale, const int* pm,
           nml_f_complex* z, const int* pldz) {
  NameScope scope("E6CRG");
  const int n = *pn;
  const int low = *plow;
  const int igh = *pigh;
  const int m = *pm;
  const int ldz = *pldz;
  if (m == 0) return;

  for (int i = low; i <= igh; ++i) {
    float s = scale[i - 1];
    CSSCAL(&m, &s, z + (i - 1), &ldz);
  }
  auto swapRows = [&](int i) {
    const int k = static_cast<int>(scale[i - 1]);
    if (k == i) return;
    CSWAP(&m, z + (i - 1), &ldz, z + (k - 1), &ldz);
  };
  for (int i = low - 1; i >= 1; --i) swapRows(i);
  for (int i = igh + 1; i <= n; ++i) swapRows(i);
}
