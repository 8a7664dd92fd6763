// B-spline structure, interpolation, evaluation and fixed-knot least squares (de Boor's
// BSPLVB, SPLINT, BVALUE, INTERV, BSPLPP, PPVALU and L2APPR schemes), one template for
// float and double.
#include "numerics/further/nml_spline.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "numerics/further/nml_band.h"
#include "numerics/further/nml_further_kernels.h"

namespace {

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }
inline void SetReal(int k, float v) { nml_error_set_float(k, v); }
inline void SetReal(int k, double v) { nml_error_set_double(k, v); }
inline float Dot(int n, const float* x, const float* y) { return SDOT(n, x, 1, y, 1); }
inline double Dot(int n, const double* x, const double* y) { return DDOT(n, x, 1, y, 1); }

template <class T>
struct SplineOf;
template <>
struct SplineOf<float> {
  using type = nml_f_spline;
};
template <>
struct SplineOf<double> {
  using type = nml_d_spline;
};

template <class T>
const char* Name(const char* f, const char* d) {
  return std::is_same_v<T, float> ? f : d;
}

void PostOwn(const char* name, int type, int code) {
  nml_error_push_name(name);
  nml_error_post(type, code);
  nml_error_pop_name(name);
}

// The run test of a knot sequence t(1..n+k). kname is null for the plain knot check (its
// messages name only "X"). Returns false after posting 3028 or 3029.
template <class T>
bool KnotRuns(int k, const T* t, int n, const char* xname, const char* kname,
              const char* pushName) {
  int count = 1;
  for (int i = 2; i <= n + k; ++i) {
    const T prev = t[i - 2], cur = t[i - 1];
    if (prev == cur) {
      if (++count > k) {
        nml_error_set_int(1, i - count);
        nml_error_set_int(2, i - 1);
        SetReal(1, cur);
        nml_error_set_int(3, k);
        nml_error_set_string(1, xname);
        if (kname) nml_error_set_string(2, kname);
        if (pushName) nml_error_push_name(pushName);
        nml_error_post(NML_FATAL, 3028);
        if (pushName) nml_error_pop_name(pushName);
        return false;
      }
    } else if (cur < prev) {
      nml_error_set_int(1, i - 2);
      nml_error_set_int(2, i - 1);
      SetReal(1, prev);
      SetReal(2, cur);
      nml_error_set_string(1, xname);
      if (pushName) nml_error_push_name(pushName);
      nml_error_post(NML_FATAL, 3029);
      if (pushName) nml_error_pop_name(pushName);
      return false;
    } else {
      count = 1;
    }
  }
  return true;
}

template <class T>
bool B3int(int k, const T* t, int n) {
  static const char* kName = "NML_B3INT ";
  if (k < 1) {
    nml_error_set_int(1, k);
    PostOwn(kName, NML_TERMINAL, 3031);
    return false;
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    PostOwn(kName, NML_TERMINAL, 3035);
    return false;
  }
  return KnotRuns(k, t, n, "X", nullptr, kName);
}

template <class T>
void Bsplvb(const T* t, int k, T x, int left, T* biatx, T* deltar, T* deltal) {
  biatx[0] = 1;
  for (int j = 1; j <= k - 1; ++j) {
    deltar[j - 1] = t[left + j - 1] - x;
    deltal[j - 1] = x - t[left - j];
    T saved = 0;
    for (int i = 1; i <= j; ++i) {
      const T term = biatx[i - 1] / (deltar[i - 1] + deltal[j - i]);
      biatx[i - 1] = saved + deltar[i - 1] * term;
      saved = deltal[j - i] * term;
    }
    biatx[j] = saved;
  }
}

template <class T>
bool KnotDataCheck(const char* xname, const char* kname, int n, const T* data, int k, const T* t) {
  const std::string count = std::strcmp(kname, "KORDER") == 0
                                ? std::string("NDATA")
                                : std::string("N") + (xname[0] ? xname[0] : ' ') + "DATA";
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_set_string(1, xname);
    nml_error_set_string(2, kname);
    nml_error_post(NML_TERMINAL, 3099);
    return false;
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    nml_error_set_string(1, xname);
    nml_error_set_string(2, kname);
    nml_error_set_string(3, count.c_str());
    nml_error_post(NML_TERMINAL, 3100);
    return false;
  }
  if (!KnotRuns(k, t, n, xname, kname, nullptr)) return false;
  // Schoenberg-Whitney: every datum inside the support of "its" B-spline.
  if (!(t[0] <= data[0] && data[0] < t[k])) {
    nml_error_set_string(1, xname);
    nml_error_set_string(2, kname);
    nml_error_set_int(2, k + 1);
    SetReal(1, data[0]);
    SetReal(2, t[0]);
    SetReal(3, t[k]);
    nml_error_post(NML_FATAL, 3103);
    return false;
  }
  for (int i = 2; i <= n - 1; ++i) {
    if (!(t[i - 1] <= data[i - 1] && data[i - 1] < t[i + k - 1])) {
      nml_error_set_int(1, i - 1);
      nml_error_set_int(2, k - 1 + i);
      SetReal(1, data[i - 1]);
      SetReal(2, t[i - 1]);
      SetReal(3, t[i + k - 1]);
      nml_error_post(NML_FATAL, 3101);
      return false;
    }
  }
  if (n >= 2 && !(t[n - 1] < data[n - 1] && data[n - 1] <= t[n + k - 1])) {
    SetReal(1, data[n - 1]);
    SetReal(2, t[n - 1]);
    SetReal(3, t[n + k - 1]);
    nml_error_post(NML_FATAL, 3102);
    return false;
  }
  return true;
}

template <class T>
void Splint(int n, const T* x, const T* f, int k, const T* t, T* bscoef, T* q, int lda, T* scratch,
            int* iperm) {
  std::fill(q, q + static_cast<std::size_t>(lda) * n, T(0));
  T* deltar = scratch;
  T* deltal = scratch + k;
  int left = k;
  for (int i = 1; i <= n; ++i) {
    const T xi = x[i - 1];
    left = nml_i_max(left, i);
    while (t[left] <= xi) {
      ++left;
      if (left >= nml_i_min(i + k, n + 1)) {
        --left;
        break;
      }
    }
    Bsplvb(t, k, xi, left, bscoef, deltar, deltal);
    for (int j = 1; j <= k; ++j) {
      const int c = left - k + j;
      q[static_cast<std::size_t>(c - 1) * lda + (k + i - c - 1)] = bscoef[j - 1];
    }
  }
  const int lower = k - 1, path = 1;
  T* wk = scratch;
  T* fac = scratch + n;
  NML_L2LRB(&n, q, &lda, &lower, &lower, f, &path, bscoef, fac, iperm, wk);
}

// The remembered index of an interval search, one per thread and search.
template <class T, int Which>
int& RememberedIndex() {
  thread_local int ilo = 1;
  return ilo;
}

template <class T>
void Interv(const T* t, int lxt, T x, int* left, int* mflag) {
  int& ilo = RememberedIndex<T, 0>();
  auto at = [t](int i) { return t[i - 1]; };
  if (ilo < 1) ilo = 1;
  int ihi = ilo + 1;
  int istep = 1;
  if (ihi >= lxt) {
    if (x >= at(lxt)) goto right_end;
    if (lxt < 2) {
      *left = 1;
      *mflag = -1;
      return;
    }
    ilo = lxt - 1;
    ihi = lxt;
  }
  if (x >= at(ihi)) {
    for (;;) {
      ilo = ihi;
      ihi = ilo + istep;
      if (ihi >= lxt) break;
      if (x < at(ihi)) goto bisect;
      istep *= 2;
    }
    if (x >= at(lxt)) goto right_end;
    ihi = lxt;
  } else {
    if (x >= at(ilo)) {
      *left = ilo;
      *mflag = 0;
      return;
    }
    for (;;) {
      ihi = ilo;
      ilo = ihi - istep;
      if (ilo <= 1) break;
      if (x >= at(ilo)) goto bisect;
      istep *= 2;
    }
    ilo = 1;
    if (x < at(1)) {
      *left = 1;
      *mflag = -1;
      return;
    }
  }
bisect:
  for (;;) {
    const int middle = (ilo + ihi) / 2;
    if (middle == ilo) {
      *left = ilo;
      *mflag = 0;
      return;
    }
    if (x >= at(middle))
      ilo = middle;
    else
      ihi = middle;
  }
right_end:
  *left = lxt;
  if (x == at(lxt)) {
    *mflag = 0;
    while (*left > 1 && at(*left) == x) --*left;
    return;
  }
  *mflag = 1;
}

template <class T>
void IntervBreak(int l, const T* brk, T x, int* left) {
  int& ilo = RememberedIndex<T, 1>();
  auto at = [brk](int i) { return brk[i - 1]; };
  if (l <= 1 || x < at(1)) {
    *left = 1;
    return;
  }
  if (x >= at(l)) {
    *left = l;
    return;
  }
  // at(1) <= x < at(l): bracket from the remembered index, then bisect.
  if (ilo < 1 || ilo >= l) ilo = 1;
  int lo = ilo, hi = ilo + 1, istep = 1;
  if (x >= at(hi)) {
    while (hi < l && x >= at(hi)) {
      lo = hi;
      hi = std::min(l, lo + istep);
      istep *= 2;
    }
  } else {
    while (x < at(lo)) {
      hi = lo;
      lo = std::max(1, hi - istep);
      istep *= 2;
    }
  }
  while (hi - lo > 1) {
    const int middle = (lo + hi) / 2;
    if (x >= at(middle))
      lo = middle;
    else
      hi = middle;
  }
  ilo = lo;
  *left = lo;
}

template <class T>
T Bvalue(int ideriv, T x, int k, const T* t, int n, const T* a, T* aj, T* dl, T* dr) {
  if (ideriv >= k) return 0;
  int i = 0, mflag = 0;
  Interv(t, n + k, x, &i, &mflag);
  if (mflag != 0) return 0;
  if (k == 1) return a[i - 1];
  const int km1 = k - 1;
  int jcmin = 1;
  const int imk = i - k;
  if (imk < 0) {
    jcmin = 1 - imk;
    for (int j = 1; j <= i; ++j) dl[j - 1] = x - t[i - j];
    for (int j = i; j <= km1; ++j) {
      aj[k - j - 1] = 0;
      dl[j - 1] = dl[i - 1];
    }
  } else {
    for (int j = 1; j <= km1; ++j) dl[j - 1] = x - t[i - j];
  }
  int jcmax = k;
  const int nmi = n - i;
  if (nmi < 0) {
    jcmax = k + nmi;
    for (int j = 1; j <= jcmax; ++j) dr[j - 1] = t[i + j - 1] - x;
    for (int j = jcmax; j <= km1; ++j) {
      aj[j] = 0;
      dr[j - 1] = dr[jcmax - 1];
    }
  } else {
    for (int j = 1; j <= km1; ++j) dr[j - 1] = t[i + j - 1] - x;
  }
  for (int jc = jcmin; jc <= jcmax; ++jc) aj[jc - 1] = a[imk + jc - 1];
  for (int j = 1; j <= ideriv; ++j) {
    const int kmj = k - j;
    const T fkmj = static_cast<T>(kmj);
    for (int jj = 1; jj <= kmj; ++jj)
      aj[jj - 1] = (aj[jj] - aj[jj - 1]) / (dl[kmj - jj] + dr[jj - 1]) * fkmj;
  }
  for (int j = ideriv + 1; j <= km1; ++j) {
    const int kmj = k - j;
    for (int jj = 1; jj <= kmj; ++jj)
      aj[jj - 1] = (aj[jj - 1] * dr[jj - 1] + aj[jj] * dl[kmj - jj]) / (dl[kmj - jj] + dr[jj - 1]);
  }
  return aj[0];
}

template <class T>
T B2der(int ideriv, T x, int k, const T* t, int n, const T* a, T* w1, T* w2, T* w3) {
  static const char* kName = "NML_B2DER";
  if (k < 1) {
    nml_error_set_int(1, k);
    PostOwn(kName, NML_TERMINAL, 3031);
    return 0;
  }
  if (ideriv < 0) {
    nml_error_set_int(1, ideriv);
    PostOwn(kName, NML_TERMINAL, 3033);
    return 0;
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    PostOwn(kName, NML_TERMINAL, 3032);
    return 0;
  }
  if (!B3int(k, t, n)) return 0;
  return Bvalue(ideriv, x, k, t, n, a, w1, w2, w3);
}

template <class T>
void B3cpp(int k, const T* t, int n, const T* a, int* l, T* brk, T* pp, T* scratch, T* biatx,
           T* deltal, T* deltar) {
  nml::NameScope scope("NML_B3CPP");
  auto sc = [scratch, k](int i, int j) -> T& { return scratch[(j - 1) * k + (i - 1)]; };
  auto ppm = [pp, k](int m, int j) -> T& { return pp[(j - 1) * k + (m - 1)]; };
  brk[0] = t[k - 1];
  int lp = 0;
  for (int left = k; left <= n; ++left) {
    if (t[left - 1] == t[left]) continue;
    ++lp;
    brk[lp] = t[left];
    if (k == 1) {
      ppm(1, lp) = a[left - 1];
      continue;
    }
    for (int i = 1; i <= k; ++i) sc(i, 1) = a[left - k + i - 1];
    for (int j = 1; j <= k - 1; ++j) {
      for (int i = 1; i <= k - j; ++i) {
        const T diff = t[left + i - 1] - t[left + i - (k - j) - 1];
        if (diff > 0) sc(i, j + 1) = (sc(i + 1, j) - sc(i, j)) / diff * static_cast<T>(k - j);
      }
    }
    biatx[0] = 1;
    ppm(k, lp) = sc(1, k);
    for (int j = 1; j <= k - 1; ++j) {
      deltar[j - 1] = t[left + j - 1] - t[left - 1];
      deltal[j - 1] = t[left - 1] - t[left - j];
      T saved = 0;
      for (int i = 1; i <= j; ++i) {
        const T term = biatx[i - 1] / (deltar[i - 1] + deltal[j - i]);
        biatx[i - 1] = saved + deltar[i - 1] * term;
        saved = deltal[j - i] * term;
      }
      biatx[j] = saved;
      ppm(k - j, lp) = Dot(j + 1, biatx, &sc(1, k - j));
    }
  }
  *l = lp;
}

template <class T>
void B2cpp(int k, const T* t, int n, const T* a, int* l, T* brk, T* pp, T* work) {
  nml::NameScope scope("NML_B2CPP");
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3031);
    return;
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    nml_error_post(NML_TERMINAL, 3032);
    return;
  }
  if (!B3int(k, t, n)) return;
  B3cpp(k, t, n, a, l, brk, pp, work + 3 * k, work, work + k, work + 2 * k);
}

// Nested multiplication of one piece: derivative ideriv at distance h from its left end.
template <class T>
T PieceValue(int ideriv, T h, int k, const T* column) {
  T value = 0;
  T fk = static_cast<T>(k - ideriv);
  for (int m = k; m >= ideriv + 1; --m) {
    value = value / fk * h + column[m - 1];
    fk -= 1;
  }
  return value;
}

template <class T>
bool B21gd(int ideriv, int npts, const T* points, int k, const T* t, int n, const T* a, T* results,
           T* pp, T* brk, int* leftidx, T* diff, T* /*temp*/, T* work) {
  nml::NameScope scope("B21GD");
  if (npts < 1) {
    nml_error_set_int(1, npts);
    nml_error_post(NML_TERMINAL, 3123);
  }
  if (ideriv < 0) {
    nml_error_set_int(1, ideriv);
    nml_error_post(NML_TERMINAL, 3108);
  }
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3031);
  }
  for (int i = 2; i <= npts; ++i) {
    if (points[i - 1] <= points[i - 2]) {
      nml_error_set_int(1, i - 2);
      nml_error_set_int(2, i - 1);
      SetReal(1, points[i - 2]);
      SetReal(2, points[i - 1]);
      nml_error_post(NML_FATAL, 3122);
    }
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    nml_error_post(NML_TERMINAL, 3032);
  }
  if (nml_error_code(0) != 0) return false;
  int l = 0;
  B2cpp(k, t, n, a, &l, brk, pp, work);
  if (nml_error_type(1) >= NML_FATAL) return false;
  for (int i = 0; i < npts; ++i) {
    IntervBreak(l, brk, points[i], &leftidx[i]);
    diff[i] = points[i] - brk[leftidx[i] - 1];
  }
  for (int i = 0; i < npts; ++i) {
    results[i] = ideriv >= k ? T(0)
                             : PieceValue(ideriv, diff[i], k,
                                          pp + static_cast<std::size_t>(leftidx[i] - 1) * k);
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Creation

template <class T>
typename SplineOf<T>::type* Create(int d, int m, const int* orders, const int* ncoefs,
                                   T* const* knots, T* const* coefs) {
  using S = typename SplineOf<T>::type;
  // Sizes that cannot describe a spline are refused as the allocation failure they would
  // become, never handed to the allocator as wrapped-around byte counts.
  std::uint64_t sumKnots = 0, prod = 1;
  bool ok = d >= 1 && m >= 0 && d <= (1 << 16) && m <= (1 << 16) && orders && ncoefs;
  for (int i = 0; ok && i < d; ++i) {
    if (orders[i] < 1 || ncoefs[i] < 1) {
      ok = false;
      break;
    }
    sumKnots += static_cast<std::uint64_t>(orders[i]) + ncoefs[i];
    prod *= static_cast<std::uint64_t>(ncoefs[i]);
    if (prod > (std::uint64_t(1) << 40)) ok = false;
  }
  S* sp = nullptr;
  std::uint64_t bytes = 0;
  if (ok) {
    const std::uint64_t elems = sumKnots + static_cast<std::uint64_t>(m) * prod;
    bytes = sizeof(S) + (static_cast<std::uint64_t>(d) + m) * sizeof(T*) + elems * sizeof(T) +
            3ull * d * sizeof(int);
    if (elems > (std::uint64_t(1) << 44)) ok = false;
  }
  if (ok) sp = static_cast<S*>(std::malloc(static_cast<std::size_t>(bytes)));
  if (!sp) {
    nml_error_set_string(1, "domain_dim");
    nml_error_set_int(1, d);
    nml_error_set_string(2, "target_dim");
    nml_error_set_int(2, m);
    nml_error_post(NML_FATAL, 202);
    return nullptr;
  }
  char* p = reinterpret_cast<char*>(sp) + sizeof(S);
  sp->knots = reinterpret_cast<T**>(p);
  p += sizeof(T*) * d;
  sp->coef = reinterpret_cast<T**>(p);
  p += sizeof(T*) * m;
  T* data = reinterpret_cast<T*>(p);
  for (int i = 0; i < d; ++i) {
    sp->knots[i] = data;
    data += orders[i] + ncoefs[i];
  }
  for (int j = 0; j < m; ++j) {
    sp->coef[j] = data;
    data += prod;
  }
  int* ints = reinterpret_cast<int*>(data);
  sp->order = ints;
  sp->num_coef = ints + d;
  sp->num_knots = ints + 2 * d;
  sp->domain_dim = d;
  sp->target_dim = m;
  for (int i = 0; i < d; ++i) {
    sp->order[i] = orders[i];
    sp->num_coef[i] = ncoefs[i];
    sp->num_knots[i] = orders[i] + ncoefs[i];
  }
  // Unset arrays hold zeros rather than indeterminate bits.
  std::memset(sp->knots[0], 0, static_cast<std::size_t>(sumKnots + m * prod) * sizeof(T));
  if (knots)
    for (int i = 0; i < d; ++i) std::memcpy(sp->knots[i], knots[i], sizeof(T) * sp->num_knots[i]);
  if (coefs)
    for (int j = 0; j < m; ++j) std::memcpy(sp->coef[j], coefs[j], sizeof(T) * prod);
  return sp;
}

template <class T>
typename SplineOf<T>::type* CreatePublic(int d, int m, const int* orders, const int* ncoefs,
                                         nml::OptionReader& r) {
  typename SplineOf<T>::type* result = nullptr;
  nml_public(Name<T>("nml_f_spline_create", "nml_d_spline_create"), [&] {
    T** knots = nullptr;
    T** coefs = nullptr;
    for (int code; (code = r.NextCode()) != 0;) {
      switch (code) {
        case NML_COEFFICIENTS:
          coefs = r.Pointer<T*>();
          break;
        case NML_KNOTS:
          knots = r.Pointer<T*>();
          break;
        default:
          r.Unknown();
      }
    }
    if (nml_error_code(0) != 0) return;
    result = Create<T>(d, m, orders, ncoefs, knots, coefs);
  });
  return result;
}

// ---------------------------------------------------------------------------------------
// Evaluation

template <class T>
T ValuePublic(T x, const typename SplineOf<T>::type* sp, nml::OptionReader& r) {
  const T nan = Mach(T(), 6);
  T result = nan;
  nml_public(Name<T>("nml_f_spline_value", "nml_d_spline_value"), [&] {
    int ideriv = 0, npts = 0;
    const T* points = nullptr;
    T** newResults = nullptr;
    T* userResults = nullptr;
    bool grid = false;
    for (int code; (code = r.NextCode()) != 0;) {
      switch (code) {
        case NML_DERIV:
          ideriv = r.Int();
          break;
        case NML_GRID:
          npts = r.Int();
          points = r.Pointer<T>();
          newResults = r.Pointer<T*>();
          grid = true;
          break;
        case NML_GRID_USER:
          npts = r.Int();
          points = r.Pointer<T>();
          userResults = r.Pointer<T>();
          grid = true;
          break;
        default:
          r.Unknown();
      }
    }
    if (nml_error_code(0) != 0) return;
    const int k = sp->order[0], n = sp->num_coef[0];
    const T* t = sp->knots[0];
    const T* a = sp->coef[0];
    if (k < 1) {
      nml_error_set_int(1, k);
      nml_error_post(NML_TERMINAL, 3031);
      return;
    }
    if (!grid) {
      std::vector<T> work(3 * static_cast<std::size_t>(k));
      const T v = B2der(ideriv, x, k, t, n, a, work.data(), work.data() + k, work.data() + 2 * k);
      result = nml_error_type(1) >= NML_FATAL || nml_error_type(0) >= NML_FATAL ? nan : v;
      return;
    }
    const std::size_t m = npts > 0 ? static_cast<std::size_t>(npts) : 0;
    const std::size_t pieces = n >= k ? static_cast<std::size_t>(n - k + 1) : 1;
    std::vector<T> pp(static_cast<std::size_t>(k) * pieces), brk(pieces + 1), diff(m), temp(m),
        work(static_cast<std::size_t>(k) * (k + 3));
    std::vector<int> leftidx(m);
    T* out = nullptr;
    if (newResults) {
      out = static_cast<T*>(std::malloc(sizeof(T) * (m ? m : 1)));
      if (!out) {
        nml_error_set_string(1, "order");
        nml_error_set_string(2, "length");
        nml_error_set_int(1, k);
        nml_error_set_int(2, npts);
        nml_error_post(NML_TERMINAL, 202);
        return;
      }
      *newResults = out;
    }
    // Both grid options share the points; the new array, when asked for, is filled and
    // copied to the caller's.
    T* dst = out ? out : userResults;
    if (!dst) return;
    const bool ok = B21gd(ideriv, npts, points, k, t, n, a, dst, pp.data(), brk.data(),
                          leftidx.data(), diff.data(), temp.data(), work.data());
    if (!ok || nml_error_type(0) >= NML_FATAL)
      for (std::size_t i = 0; i < m; ++i) dst[i] = nan;
    if (out && userResults)
      for (std::size_t i = 0; i < m; ++i) userResults[i] = out[i];
  });
  return result;
}

// ---------------------------------------------------------------------------------------
// Least squares

template <class T>
bool LsqCheck(int ndata, int k, const T* t, const T* w, int n) {
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3031);
    return false;
  }
  if (n < k) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, k);
    nml_error_post(NML_TERMINAL, 3032);
    return false;
  }
  if (ndata < n) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, ndata);
    nml_error_post(NML_TERMINAL, 3051);
    return false;
  }
  if (!KnotRuns(k, t, n, "X", nullptr, nullptr)) return false;
  bool any = false;
  for (int i = 0; i < ndata; ++i) {
    if (w[i] < 0) {
      nml_error_set_int(1, i);
      SetReal(1, w[i]);
      nml_error_post(NML_FATAL, 3046);
      return false;
    }
    if (w[i] != 0) any = true;
  }
  if (!any) {
    nml_error_post(NML_FATAL, 3050);
    return false;
  }
  return true;
}

template <class T>
void Bchfac(T* q, int nbands, int nrow) {
  auto Q = [q, nbands](int i, int j) -> T& { return q[(j - 1) * nbands + (i - 1)]; };
  if (nrow == 1) {
    if (Q(1, 1) > 0) Q(1, 1) = 1 / Q(1, 1);
    return;
  }
  const T tiny = 1 / Mach(T(), 2);
  for (int nn = 1; nn <= nrow; ++nn) {
    if (Q(1, nn) > tiny) {
      Q(1, nn) = 1 / Q(1, nn);
      const int imax = nml_i_min(nbands - 1, nrow - nn);
      int jmax = imax;
      for (int i = 1; i <= imax; ++i) {
        const T ratio = Q(i + 1, nn) * Q(1, nn);
        for (int j = 1; j <= jmax; ++j) Q(j, nn + i) -= Q(j + i, nn) * ratio;
        --jmax;
        Q(i + 1, nn) = ratio;
      }
    } else {
      for (int j = 1; j <= nbands; ++j) Q(j, nn) = 0;
    }
  }
}

template <class T>
void Bchslv(const T* q, int nbands, int nrow, T* b) {
  auto Q = [q, nbands](int i, int j) { return q[(j - 1) * nbands + (i - 1)]; };
  if (nrow == 1) {
    b[0] *= Q(1, 1);
    return;
  }
  for (int nn = 1; nn <= nrow; ++nn) {
    const int jmax = nml_i_min(nbands - 1, nrow - nn);
    for (int j = 1; j <= jmax; ++j) b[j + nn - 1] -= Q(j + 1, nn) * b[nn - 1];
  }
  for (int nn = nrow; nn >= 1; --nn) {
    b[nn - 1] *= Q(1, nn);
    const int jmax = nml_i_min(nbands - 1, nrow - nn);
    for (int j = 1; j <= jmax; ++j) b[nn - 1] -= Q(j + 1, nn) * b[j + nn - 1];
  }
}

template <class T>
void B4lsq(int ndata, const T* xs, const T* fs, const T* ws, int k, const T* t, int n, T* bscoef,
           T* q, T* scratch) {
  nml::NameScope scope("NML_B4LSQ ");
  if (xs[0] < t[k - 1]) {
    SetReal(1, xs[0]);
    SetReal(2, t[k - 1]);
    nml_error_post(NML_FATAL, 3053);
    return;
  }
  if (xs[ndata - 1] > t[n]) {
    SetReal(1, xs[ndata - 1]);
    SetReal(2, t[n]);
    nml_error_post(NML_FATAL, 3052);
    return;
  }
  std::fill(q, q + static_cast<std::size_t>(k) * n, T(0));
  std::fill(bscoef, bscoef + n, T(0));
  T* biatx = scratch;
  T* deltar = scratch + k;
  T* deltal = scratch + 2 * k;
  int left = k;
  for (int i = 0; i < ndata; ++i) {
    while (left < n && t[left] <= xs[i]) ++left;
    Bsplvb(t, k, xs[i], left, biatx, deltar, deltal);
    for (int mm = 1; mm <= k; ++mm) {
      const T dw = biatx[mm - 1] * ws[i];
      const int j = left - k + mm;
      bscoef[j - 1] += dw * fs[i];
      for (int ll = mm; ll <= k; ++ll)
        q[static_cast<std::size_t>(j - 1) * k + (ll - mm)] += dw * biatx[ll - 1];
    }
  }
  Bchfac(q, k, n);
  Bchslv(q, k, n, bscoef);
}

template <class T>
void B2lsq(int ndata, const T* x, const T* f, const T* w, int k, const T* t, int n, T* bscoef,
           T* work, T* xs, T* fs, T* ws, int* iperm) {
  nml::NameScope scope("NML_B2LSQ ");
  if (!LsqCheck(ndata, k, t, w, n)) return;
  for (int i = 0; i < ndata; ++i) iperm[i] = i + 1;
  nml_svrgp(ndata, x, xs, iperm);
  for (int i = 0; i < ndata; ++i) {
    fs[i] = f[iperm[i] - 1];
    ws[i] = w[iperm[i] - 1];
  }
  B4lsq(ndata, xs, fs, ws, k, t, n, bscoef, work, work + static_cast<std::size_t>(k) * n);
}

template <class T>
typename SplineOf<T>::type* LeastSquaresPublic(int ndata, const T* xdata, const T* fdata,
                                               int nspace, nml::OptionReader& r) {
  using S = typename SplineOf<T>::type;
  S* result = nullptr;
  nml_public(Name<T>("nml_f_spline_least_squares", "nml_d_spline_least_squares"), [&] {
    int k = 4;
    const T* knots = nullptr;
    const T* weights = nullptr;
    T* sse = nullptr;
    bool optimize = false;
    for (int code; (code = r.NextCode()) != 0;) {
      switch (code) {
        case NML_ORDER:
          k = r.Int();
          break;
        case NML_KNOTS:
          knots = r.Pointer<T>();
          break;
        case NML_WEIGHTS:
          weights = r.Pointer<T>();
          break;
        case NML_SSE:
          sse = r.Pointer<T>();
          break;
        case NML_OPTIMIZE:
          optimize = true;
          break;
        default:
          r.Unknown();
      }
    }
    if (nml_error_code(0) != 0) return;
    const int n = nspace;
    if (k < 1) {
      nml_error_set_int(1, k);
      nml_error_post(NML_TERMINAL, 3031);
      return;
    }
    if (n < k) {
      nml_error_set_int(1, n);
      nml_error_set_int(2, k);
      nml_error_post(NML_TERMINAL, 3032);
      return;
    }
    if (ndata < n) {
      nml_error_set_int(1, n);
      nml_error_set_int(2, ndata);
      nml_error_post(NML_TERMINAL, 3051);
      return;
    }
    std::vector<T> ones;
    if (!weights) {
      ones.assign(static_cast<std::size_t>(ndata), T(1));
      weights = ones.data();
    }
    T* knotArrays[1] = {const_cast<T*>(knots)};
    S* sp = Create<T>(1, 1, &k, &n, knots ? knotArrays : nullptr, nullptr);
    if (!sp) {
      nml_e1mes(0, 0, " ");
      nml_error_set_string(1, "ndata");
      nml_error_set_int(1, ndata);
      nml_error_post(NML_TERMINAL, 201);
      return;
    }
    T* t = sp->knots[0];
    if (!knots) {
      T xmin = xdata[0], xmax = xdata[0];
      for (int i = 1; i < ndata; ++i) {
        xmin = std::min(xmin, xdata[i]);
        xmax = std::max(xmax, xdata[i]);
      }
      const T range = std::fabs(xmax - xmin);
      for (int j = 0; j <= n - k + 1; ++j)
        t[k - 1 + j] = xmin + static_cast<T>(j) * range / static_cast<T>(n - k + 1);
      // An absolute shift puts the largest abscissa inside the last interval.
      t[n] += static_cast<T>(0.001);
      for (int i = 0; i < k - 1; ++i) t[i] = t[k - 1];
      for (int i = n + 1; i < n + k; ++i) t[i] = t[n];
    }
    const std::size_t nd = static_cast<std::size_t>(ndata);
    if (optimize) {
      std::vector<T> start(t, t + n + k);
      std::vector<int> iwork(nd);
      std::vector<T> work(static_cast<std::size_t>(2 * k + 6) * n + (7 - k) * k + 3 + 3 * nd);
      T ssq = 0;
      NML_B2VLS(&ndata, xdata, fdata, weights, &k, &n, start.data(), t, sp->coef[0], &ssq,
                iwork.data(), work.data());
      if (nml_error_type(1) >= NML_FATAL || nml_error_type(0) >= NML_FATAL) {
        std::free(sp);
        return;
      }
      if (sse) *sse = ssq * ssq;
      result = sp;
      return;
    }
    std::vector<T> work(static_cast<std::size_t>(k) * (n + 3)), xs(nd), fs(nd), ws(nd);
    std::vector<int> iperm(nd);
    B2lsq(ndata, xdata, fdata, weights, k, t, n, sp->coef[0], work.data(), xs.data(), fs.data(),
          ws.data(), iperm.data());
    if (nml_error_type(1) >= NML_FATAL || nml_error_type(0) >= NML_FATAL) {
      std::free(sp);
      return;
    }
    if (sse) {
      std::vector<T> w3(3 * static_cast<std::size_t>(k));
      T sum = 0;
      for (int i = 0; i < ndata; ++i) {
        const T e =
            B2der(0, xdata[i], k, t, n, sp->coef[0], w3.data(), w3.data() + k, w3.data() + 2 * k) -
            fdata[i];
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
// Kernels

template <class T>
void NML_B3INT(const int* korder, const T* knots, const int* ncoef) {
  B3int(*korder, knots, *ncoef);
}

template <class T>
void nml_bsplvb(const T* t, const int* k, const T* x, const int* left, T* biatx, T* deltar,
                T* deltal) {
  Bsplvb(t, *k, *x, *left, biatx, deltar, deltal);
}

template <class T>
void NML_B2INT(const int* ndata, const T* xdata, const T* fdata, const int* korder, const T* knots,
               T* bscoef, T* work, T* xsorted, T* fsorted, int* iwork) {
  const int n = *ndata, k = *korder;
  if (!B3int(k, knots, n)) return;
  for (int i = 0; i < n; ++i) iwork[i] = i + 1;
  nml_svrgp(n, xdata, xsorted, iwork);
  for (int i = 0; i < n; ++i) fsorted[i] = fdata[iwork[i] - 1];
  for (int i = 1; i < n; ++i) {
    if (xsorted[i] == xsorted[i - 1]) {
      nml_error_set_int(1, iwork[i - 1] - 1);
      nml_error_set_int(2, iwork[i] - 1);
      SetReal(1, xsorted[i]);
      PostOwn("NML_B2INT", NML_FATAL, 3034);
      return;
    }
  }
  if (!KnotDataCheck("X", "KORDER", n, xsorted, k, knots)) return;
  const int lda = 2 * k - 1;
  Splint(n, xsorted, fsorted, k, knots, bscoef, work, lda, work + static_cast<std::size_t>(lda) * n,
         iwork);
}

template <class T>
void nml_knot_data_check(const char* xname, const char* kname, const int* ndata, const T* data,
                         const int* korder, const T* knots) {
  KnotDataCheck(xname, kname, *ndata, data, *korder, knots);
}

template <class T>
void nml_splint(const int* ndata, const T* x, const T* f, const int* k, const T* t, T* bscoef, T* q,
                const int* lda, T* scratch, int* iperm) {
  Splint(*ndata, x, f, *k, t, bscoef, q, *lda, scratch, iperm);
}

template <class T>
T NML_B2DER(const int* ideriv, const T* x, const int* k, const T* t, const int* n, const T* a,
            T* work1, T* work2, T* work3) {
  return B2der(*ideriv, *x, *k, t, *n, a, work1, work2, work3);
}

template <class T>
T nml_bvalue(const int* ideriv, const T* x, const int* k, const T* t, const int* n, const T* a,
             T* work1, T* work2, T* work3) {
  return Bvalue(*ideriv, *x, *k, t, *n, a, work1, work2, work3);
}

template <class T>
void nml_interv(const T* t, const int* lxt, const T* x, int* left, int* mflag) {
  Interv(t, *lxt, *x, left, mflag);
}

template <class T>
void B21GD(const int* ideriv, const int* npts, const T* points, const int* k, const T* t,
           const int* n, const T* a, T* results, T* pp, T* brk, int* leftidx, T* diff, T* temp,
           T* work) {
  B21gd(*ideriv, *npts, points, *k, t, *n, a, results, pp, brk, leftidx, diff, temp, work);
}

template <class T>
void NML_B2CPP(const int* k, const T* t, const int* n, const T* a, int* l, T* brk, T* pp, T* work) {
  B2cpp(*k, t, *n, a, l, brk, pp, work);
}

template <class T>
void NML_B3CPP(const int* k, const T* t, const int* n, const T* a, int* l, T* brk, T* pp,
               T* scratch, T* biatx, T* deltal, T* deltar) {
  B3cpp(*k, t, *n, a, l, brk, pp, scratch, biatx, deltal, deltar);
}

template <class T>
T NML_PPDER(int ideriv, T x, int k, int l, const T* brk, const T* pp) {
  nml::NameScope scope("NML_PPDER");
  if (l < 1) {
    nml_error_set_int(1, l);
    nml_error_post(NML_TERMINAL, 3109);
  }
  if (ideriv < 0) {
    nml_error_set_int(1, ideriv);
    nml_error_post(NML_TERMINAL, 3108);
  }
  if (k < 1) {
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3110);
  }
  if (nml_error_code(0) != 0 || ideriv >= k) return 0;
  int piece = 1;
  IntervBreak(l, brk, x, &piece);
  return PieceValue(ideriv, x - brk[piece - 1], k, pp + static_cast<std::size_t>(piece - 1) * k);
}

template <class T>
void nml_interv_break(int /*k*/, int l, const T* brk, T x, int* left) {
  IntervBreak(l, brk, x, left);
}

template <class T>
void NML_B2LSQ(const int* ndata, const T* x, const T* f, const T* w, const int* k, const T* t,
               const int* n, T* bscoef, T* work, T* xs, T* fs, T* ws, int* iperm) {
  B2lsq(*ndata, x, f, w, *k, t, *n, bscoef, work, xs, fs, ws, iperm);
}

template <class T>
void NML_B4LSQ(const int* ndata, const T* xs, const T* fs, const T* ws, const int* k, const T* t,
               const int* n, T* bscoef, T* q, T* scratch) {
  B4lsq(*ndata, xs, fs, ws, *k, t, *n, bscoef, q, scratch);
}

template <class T>
void nml_lsq_check(const int* ndata, const int* k, const T* t, const T* w, const int* n) {
  LsqCheck(*ndata, *k, t, w, *n);
}

template <class T>
void nml_bchfac(T* q, const int* nbands, const int* nrow) {
  Bchfac(q, *nbands, *nrow);
}

template <class T>
void nml_bchslv(const T* q, const int* nbands, const int* nrow, T* b) {
  Bchslv(q, *nbands, *nrow, b);
}

template <class T>
bool nml_knot_runs(const int* k, const T* t, const int* n, const char* xname) {
  return KnotRuns(*k, t, *n, xname, nullptr, nullptr);
}

#define NML_SPLINE_KERNELS(T)                                                                      \
  template void NML_B3INT<T>(const int*, const T*, const int*);                                    \
  template void nml_bsplvb<T>(const T*, const int*, const T*, const int*, T*, T*, T*);             \
  template void NML_B2INT<T>(const int*, const T*, const T*, const int*, const T*, T*, T*, T*, T*, \
                             int*);                                                                \
  template void nml_knot_data_check<T>(const char*, const char*, const int*, const T*, const int*, \
                                       const T*);                                                  \
  template void nml_splint<T>(const int*, const T*, const T*, const int*, const T*, T*, T*,        \
                              const int*, T*, int*);                                               \
  template T NML_B2DER<T>(const int*, const T*, const int*, const T*, const int*, const T*, T*,    \
                          T*, T*);                                                                 \
  template T nml_bvalue<T>(const int*, const T*, const int*, const T*, const int*, const T*, T*,   \
                           T*, T*);                                                                \
  template void nml_interv<T>(const T*, const int*, const T*, int*, int*);                         \
  template void B21GD<T>(const int*, const int*, const T*, const int*, const T*, const int*,       \
                         const T*, T*, T*, T*, int*, T*, T*, T*);                                  \
  template void NML_B2CPP<T>(const int*, const T*, const int*, const T*, int*, T*, T*, T*);        \
  template void NML_B3CPP<T>(const int*, const T*, const int*, const T*, int*, T*, T*, T*, T*, T*, \
                             T*);                                                                  \
  template T NML_PPDER<T>(int, T, int, int, const T*, const T*);                                   \
  template void nml_interv_break<T>(int, int, const T*, T, int*);                                  \
  template void NML_B2LSQ<T>(const int*, const T*, const T*, const T*, const int*, const T*,       \
                             const int*, T*, T*, T*, T*, T*, int*);                                \
  template void NML_B4LSQ<T>(const int*, const T*, const T*, const T*, const int*, const T*,       \
                             const int*, T*, T*, T*);                                              \
  template void nml_lsq_check<T>(const int*, const int*, const T*, const T*, const int*);          \
  template void nml_bchfac<T>(T*, const int*, const int*);                                         \
  template void nml_bchslv<T>(const T*, const int*, const int*, T*);                               \
  template bool nml_knot_runs<T>(const int*, const T*, const int*, const char*);

NML_SPLINE_KERNELS(float)
NML_SPLINE_KERNELS(double)
#undef NML_SPLINE_KERNELS

// ---------------------------------------------------------------------------------------
// Public routines: the variadic and the typed option list over one body.

nml_f_spline* nml_f_spline_create(int d, int m, const int orders[], const int ncoefs[], ...) {
  va_list ap;
  va_start(ap, ncoefs);
  nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
  nml_f_spline* res = CreatePublic<float>(d, m, orders, ncoefs, r);
  va_end(ap);
  return res;
}
nml_f_spline* nml_f_spline_create(int d, int m, const int orders[], const int ncoefs[],
                                  const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return CreatePublic<float>(d, m, orders, ncoefs, r);
}
nml_d_spline* nml_d_spline_create(int d, int m, const int orders[], const int ncoefs[], ...) {
  va_list ap;
  va_start(ap, ncoefs);
  nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
  nml_d_spline* res = CreatePublic<double>(d, m, orders, ncoefs, r);
  va_end(ap);
  return res;
}
nml_d_spline* nml_d_spline_create(int d, int m, const int orders[], const int ncoefs[],
                                  const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return CreatePublic<double>(d, m, orders, ncoefs, r);
}

float nml_f_spline_value(float x, const nml_f_spline* sp, ...) {
  va_list ap;
  va_start(ap, sp);
  nml::VaListOptionReader r(nml::Runtime::Math(), 2, ap);
  const float res = ValuePublic<float>(x, sp, r);
  va_end(ap);
  return res;
}
float nml_f_spline_value(float x, const nml_f_spline* sp, const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 2, o);
  return ValuePublic<float>(x, sp, r);
}
double nml_d_spline_value(double x, const nml_d_spline* sp, ...) {
  va_list ap;
  va_start(ap, sp);
  nml::VaListOptionReader r(nml::Runtime::Math(), 2, ap);
  const double res = ValuePublic<double>(x, sp, r);
  va_end(ap);
  return res;
}
double nml_d_spline_value(double x, const nml_d_spline* sp, const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 2, o);
  return ValuePublic<double>(x, sp, r);
}

nml_f_spline* nml_f_spline_least_squares(int ndata, const float x[], const float f[], int n, ...) {
  va_list ap;
  va_start(ap, n);
  nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
  nml_f_spline* res = LeastSquaresPublic<float>(ndata, x, f, n, r);
  va_end(ap);
  return res;
}
nml_f_spline* nml_f_spline_least_squares(int ndata, const float x[], const float f[], int n,
                                         const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return LeastSquaresPublic<float>(ndata, x, f, n, r);
}
nml_d_spline* nml_d_spline_least_squares(int ndata, const double x[], const double f[], int n,
                                         ...) {
  va_list ap;
  va_start(ap, n);
  nml::VaListOptionReader r(nml::Runtime::Math(), 4, ap);
  nml_d_spline* res = LeastSquaresPublic<double>(ndata, x, f, n, r);
  va_end(ap);
  return res;
}
nml_d_spline* nml_d_spline_least_squares(int ndata, const double x[], const double f[], int n,
                                         const nml_options& o) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 4, o);
  return LeastSquaresPublic<double>(ndata, x, f, n, r);
}
