// In-place transposition between row order and column order.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

// Distinct prime factors of m with their powers and exponents.
struct Factors {
  std::vector<long long> primes, powers;
  std::vector<int> exps;
};

Factors Factor(long long m) {
  Factors f;
  long long q = m;
  long long d = 2;
  while (d <= q) {
    if (q % d == 0) {
      int e = 0;
      long long p = 1;
      while (q % d == 0) {
        q /= d;
        p *= d;
        ++e;
      }
      f.primes.push_back(d);
      f.powers.push_back(p);
      f.exps.push_back(e);
    }
    if (d * d > q && q > 1) {  // what remains is a last prime
      f.primes.push_back(q);
      f.powers.push_back(q);
      f.exps.push_back(1);
      break;
    }
    d = d == 2 ? 3 : d + 2;
  }
  return f;
}

long long MulMod(long long x, long long y, long long m) { return (x % m) * (y % m) % m; }

// The cycle algorithm: the element that belongs at position k (0 < k < M, M = N - 1) comes
// from position (nca*k) mod M. Cycles are led by the smallest position of each cycle and
// of its mirror image (k -> M - k), walked once per pair.
template <class T>
void Cycles(int nra, int nca, T* b) {
  const long long n = static_cast<long long>(nra) * nca;
  const long long M = n - 1;
  if (nra == nca) {
    for (int i = 0; i < nra; ++i)
      for (int j = i + 1; j < nca; ++j) std::swap(b[static_cast<long long>(i) * nca + j],
                                                  b[static_cast<long long>(j) * nra + i]);
    return;
  }
  if (M < 2) return;
  const Factors f = Factor(M);
  const std::size_t np = f.primes.size();
  std::vector<int> e(np, 0);  // exponent vector of the current divisor
  for (;;) {
    long long d = 1;
    for (std::size_t i = 0; i < np; ++i)
      for (int k = 0; k < e[i]; ++k) d *= f.primes[i];
    if (2 * d < M) {
      const long long md = M / d;
      long long count = md;
      for (std::size_t i = 0; i < np; ++i)
        if (md % f.primes[i] == 0) count = count / f.primes[i] * (f.primes[i] - 1);
      for (long long s = d; count > 0; s += d) {
        bool leader = true;
        if (s != d) {
          const long long sd = s / d;
          for (std::size_t i = 0; i < np && leader; ++i)
            if (md % f.primes[i] == 0 && sd % f.primes[i] == 0) leader = false;
          if (leader) {
            long long p = MulMod(nca, s, M);
            while (p != s && p != M - s) {
              if (p < s || p > M - s) {
                leader = false;
                break;
              }
              p = MulMod(nca, p, M);
            }
          }
        }
        if (!leader) continue;
        const T a1 = b[s];
        const T a2 = b[M - s];
        long long p = s;
        for (;;) {
          const long long p2 = MulMod(nca, p, M);
          count -= 2;
          if (p2 == s) {
            b[p] = a1;
            b[M - p] = a2;
            break;
          }
          if (M - p2 == s) {
            b[p] = a2;
            b[M - p] = a1;
            break;
          }
          b[p] = b[p2];
          b[M - p] = b[M - p2];
          p = p2;
        }
      }
    }
    // Next divisor, the first prime fastest.
    std::size_t i = 0;
    while (i < np && e[i] == f.exps[i]) e[i++] = 0;
    if (i == np) break;
    ++e[i];
  }
}

// The cycle routines report nca first (620) and nra second (621).
template <class T>
void InSitu(const char* pushName, int nra, int nca, const T* a, T* b) {
  if (pushName) nml_error_push_name(pushName);
  if (nca < 1) {
    nml_error_set_int(1, nca);
    nml_error_post(NML_TERMINAL, 620);
  }
  if (nra < 1) {
    nml_error_set_int(1, nra);
    nml_error_post(NML_TERMINAL, 621);
  }
  if (nml_error_code(0) == 0) {
    const std::size_t n = static_cast<std::size_t>(nra) * static_cast<std::size_t>(nca);
    if (a != b) std::memmove(b, a, n * sizeof(T));
    if (nra != 1 && nca != 1) Cycles(nra, nca, b);
  }
  if (pushName) nml_error_pop_name(pushName);
}

template <class T>
void TransposeReal(int nra, int nca, const T* a, T* b) {
  nml_error_push_name("M1RAN_F");
  if (nra < 1) {
    nml_error_set_int(1, nra);
    nml_error_post(NML_TERMINAL, 620);
  }
  if (nca < 1) {
    nml_error_set_int(1, nca);
    nml_error_post(NML_TERMINAL, 621);
  }
  if (nml_error_code(0) == 0) {
    const std::size_t n = static_cast<std::size_t>(nra) * static_cast<std::size_t>(nca);
    if (nra == nca) {
      if (a != b) std::memmove(b, a, n * sizeof(T));
      Cycles(nra, nca, b);
    } else if (a != b) {
      for (int i = 0; i < nra; ++i)
        for (int j = 0; j < nca; ++j)
          b[static_cast<std::size_t>(j) * nra + i] = a[static_cast<std::size_t>(i) * nca + j];
    } else {
      T* scratch = static_cast<T*>(std::malloc(n * sizeof(T)));
      if (scratch) {
        for (int i = 0; i < nra; ++i)
          for (int j = 0; j < nca; ++j)
            scratch[static_cast<std::size_t>(j) * nra + i] = b[static_cast<std::size_t>(i) * nca + j];
        std::memcpy(b, scratch, n * sizeof(T));
        std::free(scratch);
      } else {
        InSitu<T>(nullptr, nra, nca, b, b);
      }
    }
  }
  nml_error_pop_name("M1RAN_F");
}

}  // namespace

void M1RAN_F(int nra, int nca, const float* a, float* b) { TransposeReal(nra, nca, a, b); }
void M1RAN_F(int nra, int nca, const double* a, double* b) { TransposeReal(nra, nca, a, b); }
void M1RAN_C(int nra, int nca, const nml_f_complex* a, nml_f_complex* b) {
  InSitu("M1RAN_C", nra, nca, a, b);
}
void M1RAN_C(int nra, int nca, const nml_d_complex* a, nml_d_complex* b) {
  InSitu("M1RAN_C", nra, nca, a, b);
}
void M1RAN_I(int nra, int nca, const int* a, int* b) { InSitu("M1RAN_I", nra, nca, a, b); }

void l_m1ran_insitu(int nra, int nca, const float* a, float* b) {
  InSitu<float>(nullptr, nra, nca, a, b);
}
void l_m1ran_insitu(int nra, int nca, const double* a, double* b) {
  InSitu<double>(nullptr, nra, nca, a, b);
}

int l_m1ran_mulmod(int x, int y, int m) {
  long long v = MulMod(x, y, m);
  if (v < 0) v += m;
  return static_cast<int>(v);
}
