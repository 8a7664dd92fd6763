// Eigen-decomposition: eigenpairs against numpy.linalg.eig (tables written by
// tools/numerics_eig/gen_eig_tables.py), residuals, ordering and normalisation, the
// options and the error paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/nml_eig.h"
#include "numerics/nml_test_util.h"

namespace {

using cd = std::complex<double>;
constexpr double kUnit = 5.960464477539063e-08;  // 2^-24, single-precision unit roundoff

// Entries k/256 with k in -1000..1000; the generator builds the same matrices.
std::vector<float> LcgMatrix(unsigned long long seed, int rows, int cols) {
  std::vector<float> m(static_cast<std::size_t>(rows) * cols);
  unsigned long long state = seed;
  for (auto& v : m) {
    state = (state * 1103515245ULL + 12345ULL) % 2147483648ULL;
    v = static_cast<float>((static_cast<long long>((state >> 8) % 2001) - 1000) / 256.0);
  }
  return m;
}

struct EigCase {
  std::string name, kind;
  int n = 0;
  double kappa = 0;  // condition number of the eigenvector matrix
  std::vector<float> a;  // row order
  std::vector<cd> values;
  std::vector<double> cond, gap;
  std::vector<int> vectorIndex;
  std::vector<std::vector<cd>> vectors;
};

std::vector<EigCase> LoadEigCases() {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/eig_reference.txt");
  EXPECT_TRUE(in) << "reference table missing";
  std::vector<EigCase> cases;
  std::string word;
  while (in >> word) {
    if (word[0] == '#') {
      std::getline(in, word);
      continue;
    }
    EXPECT_EQ(word, "case");
    EigCase c;
    in >> c.name >> c.n >> c.kind >> c.kappa;
    std::string kind;
    in >> word >> kind;
    if (kind == "lcg") {
      unsigned long long seed;
      in >> seed;
      c.a = LcgMatrix(seed, c.n, c.n);
    } else {
      c.a.resize(static_cast<std::size_t>(c.n) * c.n);
      for (auto& v : c.a) in >> v;
    }
    in >> word;  // values
    for (int k = 0; k < c.n; ++k) {
      double re, im, cond, gap;
      in >> re >> im >> cond >> gap;
      c.values.emplace_back(re, im);
      c.cond.push_back(cond);
      c.gap.push_back(gap);
    }
    int count;
    in >> word >> count;
    for (int v = 0; v < count; ++v) {
      int index;
      in >> word >> index;
      c.vectorIndex.push_back(index);
      std::vector<cd> vec(c.n);
      for (auto& x : vec) {
        double re, im;
        in >> re >> im;
        x = cd(re, im);
      }
      c.vectors.push_back(vec);
    }
    in >> word;
    EXPECT_EQ(word, "end") << c.name;
    cases.push_back(std::move(c));
  }
  return cases;
}

double FrobeniusNorm(const std::vector<float>& a) {
  double s = 0;
  for (float v : a) s += static_cast<double>(v) * v;
  return std::sqrt(s);
}

cd C(nml_f_complex z) { return cd(z.re, z.im); }

// Column k of a row-ordered n x n eigenvector matrix.
std::vector<cd> Column(const nml_f_complex* v, int n, int k, int stride) {
  std::vector<cd> col(n);
  for (int i = 0; i < n; ++i) col[i] = C(v[static_cast<std::size_t>(i) * stride + k]);
  return col;
}

// ||A v - lambda v|| in double.
double Residual(const std::vector<float>& a, int n, const std::vector<cd>& v, cd lambda) {
  double s = 0;
  for (int i = 0; i < n; ++i) {
    cd r = -lambda * v[i];
    for (int j = 0; j < n; ++j) r += static_cast<double>(a[static_cast<std::size_t>(i) * n + j]) * v[j];
    s += std::norm(r);
  }
  return std::sqrt(s);
}

// Ordering and normalisation that every result must show.
void ExpectOrderedAndNormalised(const nml_f_complex* eval, const nml_f_complex* evec, int n,
                                int stride, const std::string& what) {
  for (int k = 0; k + 1 < n; ++k) {
    EXPECT_GE(nml_c_abs(eval[k]), nml_c_abs(eval[k + 1])) << what << " order at " << k;
    if (eval[k].im != 0 && eval[k + 1].re == eval[k].re && eval[k + 1].im == -eval[k].im) {
      EXPECT_GT(eval[k].im, 0) << what << " pair at " << k;
    }
  }
  if (!evec) return;
  for (int k = 0; k < n; ++k) {
    const auto v = Column(evec, n, k, stride);
    double norm2 = 0, biggest = 0;
    for (const auto& x : v) {
      norm2 += std::norm(x);
      biggest = std::max(biggest, std::abs(x));
    }
    EXPECT_NEAR(std::sqrt(norm2), 1.0, 1e-5) << what << " vector " << k;
    // The first component of largest modulus is real and positive (allowing for the
    // rounding of near-equal moduli).
    bool found = false;
    for (const auto& x : v)
      if (x.imag() == 0 && x.real() > 0 && std::abs(x) >= biggest * (1 - 1e-5)) found = true;
    EXPECT_TRUE(found) << what << " vector " << k << " has no real positive largest component";
  }
}

// An eigenvalue moves by at most its condition number (or, for a repeated one, that of the
// eigenvector matrix) times the backward error, a few n u ||A||; a triple defective
// eigenvalue moves by the cube root of the backward error.
double EigenvalueTolerance(const EigCase& c, int r) {
  const double anorm = FrobeniusNorm(c.a);
  if (c.kind == "defective") return std::cbrt(kUnit) * anorm;
  return 4.0 * c.n * kUnit * anorm * std::min(c.cond[r], c.kappa) + 1e-30;
}

class EigGen : public ::testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
};

TEST_F(EigGen, EigenpairsMatchNumpyOnEveryReferenceMatrix) {
  const auto cases = LoadEigCases();
  ASSERT_EQ(cases.size(), 17u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int n = c.n;
    std::vector<float> a = c.a;
    nml_f_complex* evec = nullptr;
    nml_f_complex* eval = nml_f_eig_gen(n, a.data(), NML_EIGENVECTORS, &evec, 0);
    ASSERT_EQ(nml_error_code(1), 0);
    ASSERT_NE(eval, nullptr);
    ASSERT_NE(evec, nullptr);
    EXPECT_EQ(std::memcmp(a.data(), c.a.data(), a.size() * sizeof(float)), 0) << "a changed";
    ExpectOrderedAndNormalised(eval, evec, n, n, c.name);

    const double anorm = FrobeniusNorm(c.a);
    // A backward-stable solver in single precision: residuals a small multiple of
    // u ||A|| (at most 1.3 n u ||A|| measured over these cases).
    const double residualTol = 4.0 * n * kUnit * anorm;
    for (int k = 0; k < n; ++k)
      EXPECT_LE(Residual(c.a, n, Column(evec, n, k, n), C(eval[k])), residualTol) << "pair " << k;

    // Match every reference eigenvalue to the nearest unused computed one.
    std::vector<bool> used(n, false);
    std::vector<int> match(n, -1);
    for (int r = 0; r < n; ++r) {
      int best = -1;
      for (int k = 0; k < n; ++k)
        if (!used[k] && (best < 0 || std::abs(C(eval[k]) - c.values[r]) <
                                         std::abs(C(eval[best]) - c.values[r])))
          best = k;
      used[best] = true;
      match[r] = best;
      const double tol = EigenvalueTolerance(c, r);
      EXPECT_LE(std::abs(C(eval[best]) - c.values[r]), tol) << "eigenvalue " << r;
    }

    // Eigenvectors of well-separated eigenvalues agree with numpy's up to a unit factor
    // (both are unit vectors; the factor only matters where moduli of components tie).
    for (std::size_t v = 0; v < c.vectors.size(); ++v) {
      const int r = c.vectorIndex[v];
      const double bound = n * kUnit * anorm * c.cond[r] / c.gap[r];
      if (!(bound <= 0.05)) continue;  // close or equal eigenvalues: no unique vector
      const auto ours = Column(evec, n, match[r], n);
      cd inner = 0;
      for (int i = 0; i < n; ++i) inner += std::conj(c.vectors[v][i]) * ours[i];
      const cd phase = inner / std::abs(inner);
      double dist = 0;
      for (int i = 0; i < n; ++i) dist += std::norm(ours[i] - c.vectors[v][i] * phase);
      EXPECT_LE(std::sqrt(dist), std::max(bound, 1e-5)) << "vector of eigenvalue " << r;
    }

    // Eigenvalues alone (the elementary-reduction path) give the same spectrum.
    std::vector<float> b = c.a;
    nml_f_complex* only = nml_f_eig_gen(n, b.data(), 0);
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(std::memcmp(b.data(), c.a.data(), b.size() * sizeof(float)), 0);
    ExpectOrderedAndNormalised(only, nullptr, n, n, c.name + " values only");
    for (int r = 0; r < n; ++r) {
      double best = 1e300;
      for (int k = 0; k < n; ++k) best = std::min(best, std::abs(C(only[k]) - c.values[r]));
      const double tol = EigenvalueTolerance(c, r);
      EXPECT_LE(best, tol) << "eigenvalue " << r << " (values only)";
    }
    std::free(only);
    std::free(eval);
    std::free(evec);
  }
}

TEST_F(EigGen, SmallCasesHaveTheirExactAnswers) {
  // n = 1: the element itself and the vector (1, 0).
  {
    float a = -3.5f;
    nml_f_complex* v = nullptr;
    nml_f_complex* e = nml_f_eig_gen(1, &a, NML_EIGENVECTORS, &v, 0);
    ASSERT_TRUE(e && v);
    EXPECT_EQ(e[0].re, -3.5f);
    EXPECT_EQ(e[0].im, 0.0f);
    EXPECT_EQ(v[0].re, 1.0f);
    EXPECT_EQ(v[0].im, 0.0f);
    std::free(e);
    std::free(v);
  }
  // The rotation: i first, then -i, with conjugate eigenvectors.
  {
    float a[4] = {0, -1, 1, 0};
    nml_f_complex* v = nullptr;
    nml_f_complex* e = nml_f_eig_gen(2, a, NML_EIGENVECTORS, &v, 0);
    ASSERT_TRUE(e && v);
    EXPECT_NEAR(e[0].re, 0, 1e-7);
    EXPECT_NEAR(e[0].im, 1, 1e-6);
    EXPECT_NEAR(e[1].re, 0, 1e-7);
    EXPECT_NEAR(e[1].im, -1, 1e-6);
    for (int i = 0; i < 2; ++i) {
      EXPECT_FLOAT_EQ(v[2 * i].re, v[2 * i + 1].re);
      EXPECT_FLOAT_EQ(v[2 * i].im, -v[2 * i + 1].im);
    }
    std::free(e);
    std::free(v);
  }
  // The zero matrix: zeros, and the unit vectors in their order.
  {
    float a[9] = {};
    nml_f_complex* v = nullptr;
    nml_f_complex* e = nml_f_eig_gen(3, a, NML_EIGENVECTORS, &v, 0);
    ASSERT_TRUE(e && v);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(e[k].re, 0.0f);
      EXPECT_EQ(e[k].im, 0.0f);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i * 3 + k].re, i == k ? 1.0f : 0.0f);
    }
    std::free(e);
    std::free(v);
  }
  // A diagonal matrix: the balancing isolates every row; values sorted by modulus and the
  // vectors are unit vectors with component +1.
  {
    float a[9] = {2, 0, 0, 0, -7, 0, 0, 0, 0.5f};
    nml_f_complex* v = nullptr;
    nml_f_complex* e = nml_f_eig_gen(3, a, NML_EIGENVECTORS, &v, 0);
    ASSERT_TRUE(e && v);
    const float want[3] = {-7, 2, 0.5f};
    const int row[3] = {1, 0, 2};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(e[k].re, want[k]);
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(v[i * 3 + k].re, i == row[k] ? 1.0f : 0.0f);
        EXPECT_EQ(v[i * 3 + k].im, 0.0f);
      }
    }
    std::free(e);
    std::free(v);
  }
}

TEST_F(EigGen, OptionsPlaceResultsInTheCallersArraysAndHonourStrides) {
  // A 3 x 3 matrix stored with row stride 5; the padding is never read or changed.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float rows[3][3] = {{4, 1, -2}, {1, 2, 0}, {-2, 0, 3}};
  std::vector<float> a(15, nan);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i * 5 + j] = rows[i][j];
  const std::vector<float> before = a;

  nml_f_complex eval[3];
  std::vector<nml_f_complex> evec(3 * 4, nml_f_complex{-9, -9});
  nml_f_complex* r = nml_f_eig_gen(3, a.data(), NML_A_ROW_STRIDE, 5, NML_RETURN_USER, eval,
                                   NML_VECTORS_USER, evec.data(), NML_EVECU_ROW_STRIDE, 4, 0);
  EXPECT_EQ(r, eval);
  EXPECT_EQ(nml_error_code(1), 0);
  EXPECT_EQ(std::memcmp(a.data(), before.data(), a.size() * sizeof(float)), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(evec[i * 4 + 3].re, -9) << "padding written";

  // Eigenvalues alone read the same strided rows.
  nml_f_complex* only = nml_f_eig_gen(3, a.data(), NML_A_ROW_STRIDE, 5, 0);
  ASSERT_NE(only, nullptr);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(only[k].re, eval[k].re, 1e-5f) << k;
  std::free(only);
  EXPECT_EQ(std::memcmp(a.data(), before.data(), a.size() * sizeof(float)), 0);

  // The same matrix stored densely, through the typed option list.
  std::vector<float> dense(9);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) dense[i * 3 + j] = rows[i][j];
  nml_f_complex* v = nullptr;
  nml_f_complex* e = nml_f_eig_gen(3, dense.data(), nml_opts(NML_EIGENVECTORS, &v));
  ASSERT_TRUE(e && v);
  for (int k = 0; k < 3; ++k) {
    EXPECT_FLOAT_EQ(eval[k].re, e[k].re);
    for (int i = 0; i < 3; ++i) {
      EXPECT_FLOAT_EQ(evec[i * 4 + k].re, v[i * 3 + k].re);
      EXPECT_EQ(evec[i * 4 + k].im, 0.0f);  // symmetric: real vectors
    }
  }
  std::free(e);
  std::free(v);
}

TEST_F(EigGen, ArgumentErrorsReturnNullWithTheirCodes) {
  float a[4] = {1, 2, 3, 4};
  nml_f_complex* v = nullptr;
  struct Bad {
    const char* what;
    int code;
    nml_f_complex* (*call)(float*, nml_f_complex**);
  };
  const Bad bad[] = {
      {"n = 0", 1010, [](float* a, nml_f_complex**) { return nml_f_eig_gen(0, a, 0); }},
      {"n above the row stride", 1014,
       [](float* a, nml_f_complex**) { return nml_f_eig_gen(2, a, NML_A_ROW_STRIDE, 1, 0); }},
      {"null matrix", 6002, [](float*, nml_f_complex**) { return nml_f_eig_gen(2, nullptr, 0); }},
      {"null caller's vectors", 104,
       [](float* a, nml_f_complex**) {
         return nml_f_eig_gen(2, a, NML_VECTORS_USER, static_cast<nml_f_complex*>(nullptr), 0);
       }},
      {"unknown option", 103, [](float* a, nml_f_complex**) { return nml_f_eig_gen(2, a, 777, 0); }},
      {"caller's vector stride below n", 2003,
       [](float* a, nml_f_complex**) {
         static nml_f_complex vecs[4];
         return nml_f_eig_gen(2, a, NML_VECTORS_USER, vecs, NML_EVECU_ROW_STRIDE, 1, 0);
       }},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(b.call(a, &v), nullptr) << b.what;
    EXPECT_EQ(nml_error_code(1), b.code) << b.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << b.what;
  }
  const float same[4] = {1, 2, 3, 4};
  EXPECT_EQ(std::memcmp(a, same, sizeof a), 0);
}

TEST_F(EigGen, WorkspaceThatCannotBeAllocatedIsAnErrorBeforeAnythingIsRead) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on an impossible allocation";
#endif
  float a[1] = {1};  // far smaller than n x n: it must not be touched
  nml_f_complex* v = nullptr;
  EXPECT_EQ(nml_f_eig_gen(1000000000, a, NML_EIGENVECTORS, &v, 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 201);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(nml_f_eig_gen(1000000000, a, 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 201);
}

TEST_F(EigGen, IterationsThatNeverConvergeEndInAnErrorNotInGarbage) {
  // Row 4 is isolated by the balancing, so its eigenvalue 5 is found at once; in the block
  // of rows 1..3 a NaN keeps every subdiagonal element from becoming negligible.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> orig = {1, 2, 0, 7, 3, nan, 1, 7, 0.5f, 1, 2, 7, 0, 0, 0, 5};

  // Eigenvalues only: a warning; the value found comes first, those not found are NaN.
  std::vector<float> a = orig;
  nml_f_complex* e = nml_f_eig_gen(4, a.data(), 0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
  EXPECT_EQ(nml_error_code(1), 2009);
  EXPECT_EQ(e[0].re, 5.0f);
  EXPECT_EQ(e[0].im, 0.0f);
  for (int k = 1; k < 4; ++k) EXPECT_TRUE(std::isnan(e[k].re) && std::isnan(e[k].im)) << k;
  std::free(e);

  // With eigenvectors: a fatal error that does not end the program, a null result,
  // nothing handed out, and the matrix restored.
  nml_f_complex sentinel{};
  nml_f_complex* v = &sentinel;  // must be overwritten
  e = nml_f_eig_gen(4, a.data(), NML_EIGENVECTORS, &v, 0);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 2009);
  EXPECT_EQ(std::memcmp(a.data(), orig.data(), a.size() * sizeof(float)), 0);

  // An infinite element: the balancing leaves it alone and the call ends with an error.
  std::vector<float> inf = {1, 2, 0.5f, std::numeric_limits<float>::infinity(), 3, 1, 2, 1, 4};
  for (bool vectors : {false, true}) {
    nml_f_complex* w = nullptr;
    e = vectors ? nml_f_eig_gen(3, inf.data(), NML_EIGENVECTORS, &w, 0) : nml_f_eig_gen(3, inf.data(), 0);
    EXPECT_EQ(nml_error_code(1), 2009) << vectors;
    std::free(e);
    std::free(w);
  }

  // With the caller's eigenvalue array, the values it receives are NaN where the
  // iteration stopped, never what the array held before.
  nml_f_complex mine[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
  EXPECT_EQ(nml_f_eig_gen(4, a.data(), NML_EIGENVECTORS, &v, NML_RETURN_USER, mine, 0), nullptr);
  for (const auto& z : mine) EXPECT_FALSE(z.re == 1.0f && z.im == 1.0f);
}

// The kernels on their own: what the balancing does to a badly scaled matrix.
TEST(EigKernels, BalancingScalesByPowersOf16AndIsolatesTriangularParts) {
  // Rows and columns differing in magnitude by about 10^6.
  const int n = 3;
  const float d[3] = {1.0f, 1e3f, 1e6f};
  const float b[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
  std::vector<float> a(9);  // column order: a(i, j) = d_i b_ij / d_j
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[j * 3 + i] = d[i] * b[i][j] / d[j];
  int low = 0, igh = 0;
  float scale[3];
  nml_e9crg(&n, &low, &igh, a.data(), &n, scale);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(igh, 3);
  for (int i = 0; i < 3; ++i) {
    int e;
    EXPECT_EQ(std::frexp(scale[i], &e), 0.5f) << "power of two";
    EXPECT_EQ((e - 1) % 4, 0) << "power of 16";
    double r = 0, c = 0;
    for (int j = 0; j < 3; ++j)
      if (j != i) {
        r += std::fabs(a[j * 3 + i]);
        c += std::fabs(a[i * 3 + j]);
      }
    EXPECT_LT(std::max(r, c) / std::min(r, c), 16.0 * 16.0) << "row/column " << i;
  }

  // A diagonal matrix: every row isolated from the last upwards, no scaling.
  std::vector<float> diag = {5, 0, 0, 0, 6, 0, 0, 0, 7};
  nml_e9crg(&n, &low, &igh, diag.data(), &n, scale);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(igh, 1);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(scale[j], j + 1.0f);
  EXPECT_EQ(diag, (std::vector<float>{5, 0, 0, 0, 6, 0, 0, 0, 7}));
}

TEST(EigKernels, HouseholderReductionOfATriangularMatrixChangesNothing) {
  const int n = 4, low = 1, igh = 4;
  std::vector<float> h = {1, 0, 0, 0, 3, 4, 0, 0, 6, 7, 8, 0, 1, 2, 3, 4};  // column order
  std::vector<float> keep = h, ort(4), z(16);
  // Every column below the diagonal sums to zero, so every step is skipped.
  nml_eacrg(&n, &low, &igh, h.data(), &n, ort.data());
  nml_ebcrg(&n, &low, &igh, h.data(), &n, ort.data(), z.data());
  EXPECT_EQ(h, keep);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(z[j * 4 + i], i == j ? 1.0f : 0.0f);
}

TEST(EigKernels, TriangularBlocksDeflateAtOnceAndZeroColumnsNeedNoPivot) {
  nmltest::FreshRuntime();
  const int n = 3;
  std::vector<float> t = {2, 0, 0, 5, -3, 0, 1, 4, 0.25f};  // column order, upper triangular
  float wr[3], wi[3];
  E5LRG(&n, &n, t.data(), wr, wi);
  EXPECT_EQ(nml_error_code(1), 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(wr[k], t[k * 4]);
    EXPECT_EQ(wi[k], 0.0f);
  }

  // Column 1 has nothing below its diagonal: no pivot, no change.
  const int low = 1, igh = 3;
  std::vector<float> a = {1, 0, 0, 2, 3, 4, 5, 6, 7};
  const std::vector<float> keep = a;
  int pivots[3] = {0, 0, 0};
  nml_e4lrg(&n, &n, &low, &igh, a.data(), pivots);
  EXPECT_EQ(pivots[1], 2);
  EXPECT_EQ(a, keep);
}

TEST(EigKernels, RotationFormOfTheTwoRowStepGivesTheSameEigenpairs) {
  // From order 34 on, the two-row step in the middle of the matrix runs through the
  // plane rotation; residuals show that the vectors stay right.
  nmltest::FreshRuntime();
  const int n = 40;
  std::vector<float> a = LcgMatrix(40, n, n);
  nml_f_complex* v = nullptr;
  nml_f_complex* e = nml_f_eig_gen(n, a.data(), NML_EIGENVECTORS, &v, 0);
  ASSERT_TRUE(e && v);
  const double tol = 4.0 * n * kUnit * FrobeniusNorm(a);
  for (int k = 0; k < n; ++k) EXPECT_LE(Residual(a, n, Column(v, n, k, n), C(e[k])), tol) << k;
  std::free(e);
  std::free(v);
}

}  // namespace
