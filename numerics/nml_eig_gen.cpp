// nml_f_eig_gen: eigenvalues and eigenvectors of a real general matrix, and its two
// drivers E3LRG (eigenvalues only) and E8CRG (with eigenvectors).
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>

#include "numerics/nml_eig.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

using nml::NameScope;

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

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Orders eigenvalues (and eigenvector columns when evec is given) by non-increasing
// modulus, then puts the member with the positive imaginary part first in each conjugate
// pair. keys: n floats; perm: n ints.
void OrderEigenpairs(int n, nml_f_complex* eval, nml_f_complex* evec, int ldevec, float* keys,
                     int* perm) {
  for (int k = 0; k < n; ++k) {
    const float m = nml_c_abs(eval[k]);
    // An eigenvalue that the iteration did not find (NaN) goes to the end.
    keys[k] = std::isnan(m) ? std::numeric_limits<float>::infinity() : -m;
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
    if (evec) CSWAP(&n, evec + (i - 1) * ldevec, &one, evec + (k - 1) * ldevec, &one);
    std::swap(eval[i - 1], eval[k - 1]);
  }

  // Conjugate pairs: positive imaginary part first. Only a true partner is exchanged, so
  // an equal-modulus neighbour never moves out of its place in the order.
  for (int i = 1; i < n;) {
    const nml_f_complex e = eval[i - 1];
    if (e.im == 0.0f) {
      ++i;
      continue;
    }
    const nml_f_complex f = eval[i];
    if (f.re != e.re || f.im != -e.im) {
      ++i;
      continue;
    }
    if (e.im < 0.0f) {
      std::swap(eval[i - 1], eval[i]);
      if (evec) CSWAP(&n, evec + (i - 1) * ldevec, &one, evec + i * ldevec, &one);
    }
    i += 2;
  }
}

}  // namespace

void E8CRG(const int* pn, const float* a, const int* plda, nml_f_complex* eval,
           nml_f_complex* evec, const int* pldevec, float* acopy, float* z, float* work,
           int* iwork) {
  NameScope scope("E8CRG");
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

  float* scale = work;
  float* ort = work + n;
  float* wr = work + 2 * n;
  float* wi = work + 3 * n;
  float* keys = work + 4 * n;
  float* modsq = work + 5 * n;
  // Eigenvalues the iteration does not reach stay NaN.
  for (int k = 0; k < n; ++k) wr[k] = wi[k] = kNaN;

  CRGRG(n, a, *plda, acopy, n);
  int low = 1, igh = n;
  nml_e9crg(&n, &low, &igh, acopy, &n, scale);
  nml_eacrg(&n, &low, &igh, acopy, &n, ort);
  nml_ebcrg(&n, &low, &igh, acopy, &n, ort, z);
  nml_e5crh(&n, &low, &igh, acopy, &n, wr, wi, z);

  for (int k = 0; k < n; ++k) eval[k] = nml_c_make(wr[k], wi[k]);

  // Complex eigenvectors from the real basis: a pair (j-1, j) holds real and imaginary
  // parts of the vector of j-1; the vector of j is its conjugate.
  for (int j = n; j >= 1;) {
    const float* zr = z + static_cast<std::ptrdiff_t>(j - 1) * n;
    nml_f_complex* vj = evec + static_cast<std::ptrdiff_t>(j - 1) * ldevec;
    if (wi[j - 1] == 0.0f || j == 1 || std::isnan(wi[j - 1])) {
      for (int i = 0; i < n; ++i) vj[i] = nml_c_make(zr[i], 0.0f);
      --j;
    } else {
      const float* zp = z + static_cast<std::ptrdiff_t>(j - 2) * n;
      nml_f_complex* vp = evec + static_cast<std::ptrdiff_t>(j - 2) * ldevec;
      for (int i = 0; i < n; ++i) {
        vp[i] = nml_c_make(zp[i], zr[i]);
        vj[i] = nml_c_conj(vp[i]);
      }
      j -= 2;
    }
  }

  if (nml_error_current_type() != 0) return;

  E6CRG(&n, &low, &igh, scale, &n, evec, &ldevec);
  OrderEigenpairs(n, eval, evec, ldevec, keys, iwork);

  const int one = 1;
  for (int k = 0; k < n; ++k) {
    nml_f_complex* v = evec + static_cast<std::ptrdiff_t>(k) * ldevec;
    const float s = SCNRM2(&n, v);
    if (s > 0.0f) {
      float rs = 1.0f / s;
      CSSCAL(&n, &rs, v, &one);
    }
    for (int i = 0; i < n; ++i) modsq[i] = nml_c_real(nml_c_mul(v[i], nml_c_conj(v[i])));
    const int m = ISAMAX(n, modsq, 1);
    const float h = nml_c_abs(v[m - 1]);
    if (h != 0.0f) {
      nml_f_complex c = nml_c_div(nml_c_conj(v[m - 1]), nml_c_make(h, 0.0f));
      CSCAL(&n, &c, v, &one);
      v[m - 1] = nml_c_make(nml_c_real(v[m - 1]), 0.0f);
    }
  }
}

void E3LRG(const int* pn, const float* a, const int* plda, nml_f_complex* eval, float* acopy,
           float* work, int* iwork) {
  NameScope scope("E3LRG");
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

  float* scale = work;
  float* wr = work + n;
  float* wi = work + 2 * n;
  float* keys = work + 3 * n;
  int* pivots = iwork;
  int* perm = iwork + n;
  auto H = [&](int i, int j) -> float& { return acopy[static_cast<std::ptrdiff_t>(j - 1) * n + (i - 1)]; };

  CRGRG(n, a, *plda, acopy, n);
  int low = 1, igh = n;
  nml_e9crg(&n, &low, &igh, acopy, &n, scale);
  nml_e4lrg(&n, &n, &low, &igh, acopy, pivots);
  for (int i = 1; i <= n - 2; ++i)
    for (int j = i + 2; j <= n; ++j) H(j, i) = 0.0f;

  // Eigenvalues the iteration does not reach stay NaN.
  for (int k = 0; k < n; ++k) wr[k] = wi[k] = kNaN;
  const int nn = igh - low + 1;
  if (nn > 0) E5LRG(&n, &nn, &H(low, low), wr + (low - 1), wi + (low - 1));

  for (int k = 1; k <= n; ++k) {
    if (k < low || k > igh)
      eval[k - 1] = nml_c_make(H(k, k), 0.0f);
    else
      eval[k - 1] = nml_c_make(wr[k - 1], wi[k - 1]);
  }
  OrderEigenpairs(n, eval, nullptr, 0, keys, perm);
}

namespace {

// Transposes the n x n block of a row-ordered complex matrix with row stride ld in place.
void TransposeSquare(int n, nml_f_complex* v, int ld) {
  if (ld == n) {
    M1RAN_C(n, n, v, v);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (int k = i + 1; k < n; ++k)
      std::swap(v[static_cast<std::ptrdiff_t>(i) * ld + k], v[static_cast<std::ptrdiff_t>(k) * ld + i]);
}

void l_eig_gen(int n, float* a, nml::OptionReader& opt, nml_f_complex** result) {
  int rowStride = -1;
  nml_f_complex** evecOut = nullptr;
  bool wantNew = false;
  nml_f_complex* evecUser = nullptr;
  bool wantUser = false;
  int evecStride = -1;
  nml_f_complex* evalUser = nullptr;
  bool returnUser = false;

  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_A_ROW_STRIDE:
        rowStride = opt.Int();
        break;
      case NML_EIGENVECTORS:
        evecOut = opt.Pointer<nml_f_complex*>();
        wantNew = true;
        break;
      case NML_VECTORS_USER:
        evecUser = opt.Pointer<nml_f_complex>();
        wantUser = true;
        break;
      case NML_EVECU_ROW_STRIDE:
        evecStride = opt.Int();
        break;
      case NML_RETURN_USER:
        evalUser = opt.Pointer<nml_f_complex>();
        returnUser = true;
        break;
      default:
        opt.Unknown();
        break;
    }
  }
  if (rowStride == -1) rowStride = n;
  if (evecStride == -1) evecStride = n;
  // The caller's array wins when both forms of eigenvector output are asked for.
  if (wantUser && wantNew) {
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
  Block<float> acopy(nz * nz);
  Block<float> z(vectors ? nz * (nz + 1) : 0);
  Block<float> work(vectors ? 6 * nz : 4 * nz);
  Block<int> iwork(vectors ? nz : 2 * nz);
  Block<nml_f_complex> evecNew(wantNew ? nz * nz : 0);
  Block<nml_f_complex> evalNew(returnUser ? 0 : nz);
  if (!acopy.get() || (vectors && !z.get()) || !work.get() || !iwork.get() ||
      (wantNew && !evecNew.get()) || (!returnUser && !evalNew.get())) {
    nml_error_set_string(1, "n");
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 201);
    return;
  }
  nml_f_complex* eval = returnUser ? evalUser : evalNew.get();

  if (!vectors) {
    // The kernel reads the row-ordered matrix as its transpose, which has the same
    // eigenvalues.
    E3LRG(&n, a, &rowStride, eval, acopy.get(), work.get(), iwork.get());
  } else {
    nml_f_complex* evec = wantUser ? evecUser : evecNew.get();
    const int ldevec = wantUser ? evecStride : n;
    M1RAN_F(n, rowStride, a, a);
    E8CRG(&n, a, &n, eval, evec, &ldevec, acopy.get(), z.get(), work.get(), iwork.get());
    M1RAN_F(rowStride, n, a, a);
    if (ldevec >= n) TransposeSquare(n, evec, ldevec);
  }

  if (nml_error_current_type() >= NML_FATAL) return;
  if (wantNew) *evecOut = evecNew.release();
  *result = returnUser ? evalUser : evalNew.release();
}

nml_f_complex* EigGen(int n, float* a, nml::OptionReader& opt) {
  nml_f_complex* result = nullptr;
  nml_public("nml_f_eig_gen", [&] { l_eig_gen(n, a, opt, &result); });
  return result;
}

}  // namespace

nml_f_complex* nml_f_eig_gen(int n, float* a, ...) {
  va_list ap;
  va_start(ap, a);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 2, ap);
  nml_f_complex* result = EigGen(n, a, opt);
  va_end(ap);
  return result;
}

nml_f_complex* nml_f_eig_gen(int n, float* a, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 2, options);
  return EigGen(n, a, opt);
}
