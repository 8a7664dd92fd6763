// Sort with permutation: Singleton's quicksort with median-of-three pivots and a final
// insertion sort; the permutation vector follows every move of the keys.
#include <algorithm>
#include <cstring>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

template <class T>
void SortWithPermutation(int n, const T* ra, T* rb, int* iperm) {
  nml_error_push_name("nml_svrgp");
  if (rb != ra && n > 0) std::memmove(rb, ra, static_cast<std::size_t>(n) * sizeof(T));
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 616);
  }
  if (nml_error_code(0) != 0) {
    nml_error_pop_name("nml_svrgp");
    return;
  }
  // 1-based views
  T* a = rb - 1;
  int* p = iperm - 1;
  auto exchange = [&](int x, int y) {
    std::swap(a[x], a[y]);
    std::swap(p[x], p[y]);
  };
  // The smaller part is always sorted first, so the depth stays below log2(n) + 1.
  int il[32], iu[32];
  int m = 1, i = 1, j = n, k, l, ij;
  double r = 0.375;
  T t;

  // The bounds tests in the scanning loops never fire for ordered keys (the median-of-three
  // step leaves a key <= t at i and >= t at j); they keep NaN keys from running off the
  // segment.
segment:
  if (i == j) goto pop;
  if (r <= 0.5898437) {
    r += 0.0390625;
  } else {
    r -= 0.21875;
  }
partition:
  k = i;
  ij = i + static_cast<int>((j - i) * r);
  t = a[ij];
  if (a[i] > t) {
    exchange(i, ij);
    t = a[ij];
  }
  l = j;
  if (a[j] < t) {
    exchange(j, ij);
    t = a[ij];
    if (a[i] > t) {
      exchange(i, ij);
      t = a[ij];
    }
  }
  for (;;) {
    do --l;
    while (l > i && a[l] > t);
    do ++k;
    while (k < j && a[k] < t);
    if (l < k) break;
    if (a[k] != a[l]) exchange(k, l);
  }
  if (j - k < l - i) {
    il[m] = i;
    iu[m] = l;
    i = k;
  } else {
    il[m] = k;
    iu[m] = j;
    j = l;
  }
  ++m;
tail:
  if (j - i > 10) goto partition;
  if (i == 1) goto segment;
  // Insertion sort of [i, j] with a[i - 1] as sentinel.
  for (int q = i; q < j; ++q) {
    const T v = a[q + 1];
    if (!(a[q] > v)) continue;
    const int pv = p[q + 1];
    int s = q;
    do {
      a[s + 1] = a[s];
      p[s + 1] = p[s];
      --s;
    } while (s >= 1 && v < a[s]);
    a[s + 1] = v;
    p[s + 1] = pv;
  }
pop:
  --m;
  if (m == 0) {
    nml_error_pop_name("nml_svrgp");
    return;
  }
  i = il[m];
  j = iu[m];
  goto tail;
}

}  // namespace

void nml_svrgp(int n, const float* ra, float* rb, int* iperm) {
  SortWithPermutation(n, ra, rb, iperm);
}

void nml_svrgp(int n, const double* ra, double* rb, int* iperm) {
  SortWithPermutation(n, ra, rb, iperm);
}
