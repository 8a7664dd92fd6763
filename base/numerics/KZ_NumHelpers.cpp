#include "base/numerics/KZ_NumHelpers.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <type_traits>

#include "platform/UiServices.h"

namespace {

template <class T>
T** AllocMatrix(int rows, int cols) {
  if (rows <= 0 || cols <= 0) return nullptr;
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  T** m = static_cast<T**>(std::calloc(static_cast<std::size_t>(rows), sizeof(T*)));
  if (!m) return nullptr;
  T* block = static_cast<T*>(std::calloc(count, sizeof(T)));
  if (!block) {
    std::free(m);
    return nullptr;
  }
  for (int i = 0; i < rows; ++i) m[i] = block + static_cast<std::size_t>(i) * cols;
  return m;
}

// Ranges of at most this many elements are finished by straight insertion.
constexpr int kInsertionLimit = 7;
// Room for 25 pending ranges; smaller ranges go first, so this holds for 2^25 elements.
constexpr int kStackSize = 50;

struct NoCompanion {};

// The larger sort members tell the user when the pending-range stack runs out.
void ReportSortStackOverflow() { plat::AfxMessageBox("NSTACK too small in QCKSRT", MB_OK); }

template <class Comp>
void MoveCompanion(Comp* comp, int to, int from) {
  if constexpr (!std::is_same_v<Comp, NoCompanion>) comp[to] = comp[from];
}

// The iterative quicksort shared by the four sorts. Returns false when the pending-range
// stack would overflow (the array is then partly sorted).
template <class Key, class Comp>
bool QuickSortImpl(int n, Key* a, Comp* comp) {
  constexpr bool kHasComp = !std::is_same_v<Comp, NoCompanion>;
  int stack[kStackSize];
  int top = 0;
  int left = 0;
  int right = n - 1;
  long state = 0;  // the pivot generator restarts on every call
  for (;;) {
    if (right - left < kInsertionLimit) {
      for (int j = left + 1; j <= right; ++j) {
        Key v = a[j];
        [[maybe_unused]] Comp c{};
        if constexpr (kHasComp) c = comp[j];
        int i = j - 1;
        for (; i >= left && a[i] > v; --i) {
          a[i + 1] = a[i];
          MoveCompanion(comp, i + 1, i);
        }
        a[i + 1] = v;
        if constexpr (kHasComp) comp[i + 1] = c;
      }
      if (top == 0) return true;
      right = stack[--top];
      left = stack[--top];
      continue;
    }
    state = (state * 211 + 1663) % 7875;
    const int iq = left + static_cast<int>((static_cast<long>(right - left + 1) * state) / 7875);
    const Key pivot = a[iq];
    [[maybe_unused]] Comp pivotComp{};
    if constexpr (kHasComp) pivotComp = comp[iq];
    a[iq] = a[left];
    MoveCompanion(comp, iq, left);
    int i = left;
    int j = right;
    for (;;) {
      while (j > i && pivot < a[j]) --j;
      if (j <= i) {
        a[i] = pivot;
        if constexpr (kHasComp) comp[i] = pivotComp;
        break;
      }
      a[i] = a[j];
      MoveCompanion(comp, i, j);
      ++i;
      while (i < j && pivot > a[i]) ++i;
      if (j <= i) {
        i = j;
        a[i] = pivot;
        if constexpr (kHasComp) comp[i] = pivotComp;
        break;
      }
      a[j] = a[i];
      MoveCompanion(comp, j, i);
      --j;
    }
    if (top + 2 > kStackSize) return false;
    if (right - i >= i - left) {
      stack[top++] = i + 1;
      stack[top++] = right;
      right = i - 1;
    } else {
      stack[top++] = left;
      stack[top++] = i - 1;
      left = i + 1;
    }
  }
}

template <class Key, class Comp>
void QuickSortReporting(int n, Key* a, Comp* comp) {
  if (n < 2 || !a) return;
  if (!QuickSortImpl(n, a, comp)) ReportSortStackOverflow();
}

template <class T>
T Median(T a[], int n, void (*sort)(int, T*)) {
  if (n < 1 || !a) return T(0);
  if (n == 1) return a[0];
  if (n == 2) return static_cast<T>((a[0] + a[1]) * 0.5);
  sort(n, a);
  if (n % 2) return a[n / 2];
  return static_cast<T>((a[n / 2 - 1] + a[n / 2]) * 0.5);
}

}  // namespace

char** KZ_AllocMatrix8(int rows, int cols) { return AllocMatrix<char>(rows, cols); }
std::int16_t** KZ_AllocMatrix16(int rows, int cols) {
  return AllocMatrix<std::int16_t>(rows, cols);
}
float** KZ_AllocMatrix32(int rows, int cols) { return AllocMatrix<float>(rows, cols); }
double** KZ_AllocMatrix64(int rows, int cols) { return AllocMatrix<double>(rows, cols); }

void KZ_FreeMatrixBlock(void** rows) {
  if (!rows || !rows[0]) return;
  std::free(rows[0]);
  std::free(rows);
}

double*** KZ_AllocCube64(int d1, int d2, int d3) {
  if (d1 <= 0 || d2 <= 0 || d3 <= 0) return nullptr;
  const std::size_t n1 = static_cast<std::size_t>(d1);
  const std::size_t n2 = static_cast<std::size_t>(d2);
  const std::size_t n3 = static_cast<std::size_t>(d3);
  double*** cube = static_cast<double***>(std::calloc(n1, sizeof(double**)));
  if (!cube) return nullptr;
  double* block = static_cast<double*>(std::calloc(n1 * n2 * n3, sizeof(double)));
  if (!block) {
    std::free(cube);
    return nullptr;
  }
  for (std::size_t i = 0; i < n1; ++i) {
    cube[i] = static_cast<double**>(std::calloc(n2, sizeof(double*)));
    if (!cube[i]) {
      for (std::size_t k = 0; k < i; ++k) std::free(cube[k]);
      std::free(block);
      std::free(cube);
      return nullptr;
    }
    for (std::size_t j = 0; j < n2; ++j) cube[i][j] = block + (i * n2 + j) * n3;
  }
  return cube;
}

void KZ_FreeCube(double*** cube, int d1) {
  if (!cube) return;
  if (d1 > 0 && cube[0]) std::free(cube[0][0]);
  for (int i = 0; i < d1; ++i) std::free(cube[i]);
  std::free(cube);
}

void KZ_HeapSort16(int n, std::int16_t keys[], std::uint16_t companion[]) {
  if (n < 2) return;
  // Positions are counted from 1 as in the classical statement: node i has children 2i
  // and 2i + 1. Keys compare as signed values, so any key sorts consistently.
  std::int16_t* ra = keys - 1;
  std::uint16_t* rb = companion - 1;
  int l = (n >> 1) + 1;
  int ir = n;
  for (;;) {
    std::int16_t rra;
    std::uint16_t rrb;
    if (l > 1) {
      --l;
      rra = ra[l];
      rrb = rb[l];
    } else {
      rra = ra[ir];
      rrb = rb[ir];
      ra[ir] = ra[1];
      rb[ir] = rb[1];
      if (--ir == 1) {
        ra[1] = rra;
        rb[1] = rrb;
        return;
      }
    }
    int i = l;
    int j = l + l;
    while (j <= ir) {
      if (j < ir && ra[j] < ra[j + 1]) ++j;
      if (rra < ra[j]) {
        ra[i] = ra[j];
        rb[i] = rb[j];
        i = j;
        j += j;
      } else {
        j = ir + 1;
      }
    }
    ra[i] = rra;
    rb[i] = rrb;
  }
}

void KZ_SortFloatIndex(int n, float keys[], int companion[]) {
  // This member stops quietly when its stack would overflow.
  if (n < 2 || !keys || !companion) return;
  QuickSortImpl(n, keys, companion);
}

void KZ_QuickSort(int n, double keys[], int companion[]) {
  if (!companion) return;
  QuickSortReporting(n, keys, companion);
}

void KZ_QuickSortD(int n, double a[]) {
  QuickSortReporting(n, a, static_cast<NoCompanion*>(nullptr));
}

void KZ_QuickSortF(int n, float a[]) {
  QuickSortReporting(n, a, static_cast<NoCompanion*>(nullptr));
}

float KZ_MedianF(float a[], int n) { return Median<float>(a, n, KZ_QuickSortF); }
double KZ_MedianD(double a[], int n) { return Median<double>(a, n, KZ_QuickSortD); }

double KZ_NiceCeil(double x) {
  if (!std::isfinite(x)) return x;  // NaN and the infinities have no nicer neighbour
  if (std::fabs(x) <= 1e-25) return 0.0;
  if (x < 0) return -KZ_NiceFloor(-x);
  const double p = std::pow(10.0, std::floor(std::log10(x)));
  if (x <= p) return p;
  double v = p;
  // Reached by repeated addition: fractional results keep the rounding of the sums.
  for (int k = 0; k < 10 && v < x; ++k) v += p;
  // Above 1e308 the next multiple lies beyond the double range: the largest finite value
  // is the nearest bound that still is a number.
  return std::isinf(v) ? DBL_MAX : v;
}

double KZ_NiceFloor(double x) {
  if (!std::isfinite(x)) return x;  // NaN and the infinities have no nicer neighbour
  if (std::fabs(x) <= 1e-25) return 0.0;
  if (x < 0) return -KZ_NiceCeil(-x);
  double p = std::pow(10.0, std::floor(std::log10(x)));
  if (p > x) p *= 0.1;  // log10 rounded up across a power of ten
  const double top = 10.0 * p;
  // From 1e308 on, 10p is infinite and stepping down from it would never reach x; only
  // p itself fits below DBL_MAX (= 1.8p).
  if (std::isinf(top)) return p;
  if (x >= top) return top;
  double v = top;
  // Stepping down by repeated subtraction keeps the rounding of the differences, but the
  // result never falls below p itself: 1 - 9 x 0.1 lands a little above 0.1, and one
  // more step would turn the floor of 0.1 into almost zero.
  while (v > x) {
    const double next = v - p;
    if (next < 0.5 * p) return p;
    v = next;
  }
  return v;
}

float KZ_NiceCeilF(float x) {
  if (!std::isfinite(x)) return x;
  if (std::fabs(x) <= 1e-25f) return 0.0f;
  if (x < 0) return -KZ_NiceFloorF(-x);
  const float p =
      static_cast<float>(std::pow(10.0, std::floor(std::log10(static_cast<double>(x)))));
  if (x <= p) return p;
  float v = p;
  for (int k = 0; k < 10 && v < x; ++k) v = static_cast<float>(v + p);
  return std::isinf(v) ? FLT_MAX : v;
}

float KZ_NiceFloorF(float x) {
  if (!std::isfinite(x)) return x;
  if (std::fabs(x) <= 1e-25f) return 0.0f;
  if (x < 0) return -KZ_NiceCeilF(-x);
  float p = static_cast<float>(std::pow(10.0, std::floor(std::log10(static_cast<double>(x)))));
  if (p > x) p = static_cast<float>(p * 0.1f);
  const float top = static_cast<float>(10.0f * p);
  if (x >= top) return top;
  if (std::isinf(top)) {
    // From 1e38 on, 10p is beyond the float range and the float steps would never come down.
    double v = 10.0 * p;
    while (v > x) v -= p;
    return static_cast<float>(v);
  }
  float v = top;
  while (v > x) {
    const float next = static_cast<float>(v - p);
    if (next < 0.5f * p) return p;
    v = next;
  }
  return v;
}

COLORREF KZ_CycleColor(int i) {
  static constexpr COLORREF kColors[7] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                          0xFFFF00, 0x00FFFF, 0xFF00FF};
  return kColors[((i % 7) + 7) % 7];
}

void KZ_Smooth3(double a[], int n, int times) {
  if (!a || n < 3 || times < 1) return;
  double* work = static_cast<double*>(std::calloc(static_cast<std::size_t>(n), sizeof(double)));
  if (!work) return;
  for (int t = 0; t < times; ++t) {
    for (int i = 1; i < n - 1; ++i) work[i] = (a[i + 1] + a[i] + a[i - 1]) * 0.333333333;
    for (int i = 1; i < n - 1; ++i) a[i] = work[i];
  }
  std::free(work);
}

void KZ_HoldOutOfRange(double a[], int n, double lo, double hi) {
  if (!a) return;
  for (int i = 1; i < n; ++i)
    if (a[i] > hi || a[i] < lo) a[i] = a[i - 1];
}

void KZ_Normalize01(double a[], int* n, double lo, double hi, int flip) {
  if (!a || !n || hi == lo) return;
  const double f = 1.0 / (hi - lo);
  for (int i = 0; i < *n; ++i) a[i] = (a[i] - lo) * f;
  if (flip > 0)
    for (int i = 0; i < *n; ++i) a[i] = 1.0 - a[i];
}
