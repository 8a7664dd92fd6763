#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_test_util.h"

namespace {

class NmlKernels : public ::testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(NmlKernels, RotationGenerator) {
  struct Row {
    float a, b;
  };
  for (const Row r : {Row{0, 0}, Row{3, 4}, Row{4, 3}, Row{-2, 2}, Row{2, -2}, Row{-5, 1}}) {
    float a = r.a, b = r.b, c = 0, s = 0;
    SROTG(&a, &b, &c, &s);
    if (r.a == 0 && r.b == 0) {
      EXPECT_EQ(c, 1.0f);
      EXPECT_EQ(s, 0.0f);
      EXPECT_EQ(a, 0.0f);
      EXPECT_EQ(b, 0.0f);
      continue;
    }
    // The rotation takes (a, b) to (r, 0), r carrying the sign of the larger entry.
    EXPECT_NEAR(c * r.a + s * r.b, a, 1e-6f);
    EXPECT_NEAR(-s * r.a + c * r.b, 0.0f, 1e-6f);
    EXPECT_NEAR(c * c + s * s, 1.0f, 1e-6f);
    const float larger = std::fabs(r.a) > std::fabs(r.b) ? r.a : r.b;
    EXPECT_EQ(std::signbit(a), std::signbit(larger));
    // b lets c and s be rebuilt: s when |a| > |b|, else 1/c.
    EXPECT_NEAR(b, std::fabs(r.a) > std::fabs(r.b) ? s : 1.0f / c, 1e-6f);
  }
}

TEST_F(NmlKernels, NormAvoidsUnderflowAndOverflow) {
  const float tiny = std::numeric_limits<float>::min();
  const float huge = std::numeric_limits<float>::max() / 4;
  const float small[4] = {tiny, tiny, tiny, tiny};
  const float big[4] = {huge, huge, huge, huge};
  const float mid[2] = {3, 4};
  EXPECT_NEAR(SNRM2(4, small, 1) / (2 * tiny), 1.0f, 1e-6f);
  EXPECT_NEAR(SNRM2(4, big, 1) / (2 * huge), 1.0f, 1e-6f);
  EXPECT_EQ(SNRM2(2, mid, 1), 5.0f);
}

TEST_F(NmlKernels, IntegerPowers) {
  EXPECT_EQ(nml_f_powi(2.0f, -3), 0.125f);
  for (float x : {0.0f, -1.5f, 7.0f}) EXPECT_EQ(nml_f_powi(x, 0), 1.0f);
  for (int k = -13; k <= 13; ++k) EXPECT_FLOAT_EQ(nml_f_powi(1.1f, k), std::pow(1.1f, k)) << k;
  EXPECT_TRUE(std::isinf(nml_f_powi(0.0f, -2)));
}

TEST_F(NmlKernels, MatrixVectorProductAndRankOneUpdate) {
  // A is 3 by 2, column order: [[1, 4], [2, 5], [3, 6]]
  const float a[6] = {1, 2, 3, 4, 5, 6};
  const float x2[2] = {1, -1};
  const float x3[3] = {1, 0, 2};
  float y3[3] = {NAN, INFINITY, 1};
  float y2[2] = {10, 20};
  int m = 3, n = 2, lda = 3, one = 1, len = 1;
  float alpha = 2, beta = 0, half = 0.5f;
  SGEMV("n", &len, &m, &n, &alpha, a, &lda, x2, &one, &beta, y3, &one);
  // beta = 0 overwrites y, whatever it held
  EXPECT_EQ(y3[0], -6.0f);
  EXPECT_EQ(y3[1], -6.0f);
  EXPECT_EQ(y3[2], -6.0f);
  SGEMV("T", &len, &m, &n, &alpha, a, &lda, x3, &one, &half, y2, &one);
  EXPECT_EQ(y2[0], 5.0f + 2 * 7);
  EXPECT_EQ(y2[1], 10.0f + 2 * 16);

  float b[6] = {1, 2, 3, 4, 5, 6};
  SGER(3, 2, 1.0f, x3, 1, x2, 1, b, 3);
  const float expect[6] = {2, 2, 5, 3, 5, 4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[i], expect[i]) << i;
}

TEST_F(NmlKernels, TriangularSolvesAllFourForms) {
  // 3 by 3, column order, upper part U and lower part L in one array (diagonal shared).
  const float a[9] = {2, 1, -1, 3, 4, 2, 1, -2, 5};
  auto at = [&](int i, int j) { return a[j * 3 + i]; };
  const float z[3] = {1, -2, 3};
  for (const char* uplo : {"U", "L"}) {
    for (const char* trans : {"N", "T"}) {
      for (const char* diag : {"N", "U"}) {
        // x = op(A) z, then solve it back.
        float x[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
          for (int j = 0; j < 3; ++j) {
            const int r = trans[0] == 'N' ? i : j, c = trans[0] == 'N' ? j : i;
            const bool inTri = uplo[0] == 'U' ? r <= c : r >= c;
            if (!inTri) continue;
            const float v = r == c && diag[0] == 'U' ? 1.0f : at(r, c);
            x[i] += v * z[j];
          }
        }
        STRSV(uplo, trans, diag, 3, a, 3, x, 1);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], z[i], 1e-5f) << uplo << trans << diag;
      }
    }
  }
}

TEST_F(NmlKernels, ChecksAndSmallHelpers) {
  int count = 0;
  nml_check_range(-5, "n", 0, -1, &count);  // no upper bound: only below lo counts
  EXPECT_EQ(nml_error_code(0), 603);
  nml_e1mes(0, 0, " ");
  nml_check_range(1000000, "n", 0, -1, &count);
  EXPECT_EQ(nml_error_code(0), 0);
  nml_check_range(5, "n", 0, 4, &count);
  EXPECT_EQ(nml_error_code(0), 602);
  nml_e1mes(0, 0, " ");
  nml_check_dim(1, 3, "*lda", 2, "n", &count);
  EXPECT_EQ(nml_error_code(0), 601);
  nml_e1mes(0, 0, " ");
  nml_check_dim(1, 0, "m", 2, "n", &count);
  EXPECT_EQ(nml_error_code(0), 603);
  nml_e1mes(0, 0, " ");
  EXPECT_EQ(count, 3 + 3 + 3);

  EXPECT_TRUE(nml_lsame("trans", 5, "T", 1));
  EXPECT_FALSE(nml_lsame("N", 1, "T", 1));
  EXPECT_EQ(nml_i_min(3, -2), -2);

  float s[9] = {1, 0, 0, 2, 4, 0, 3, 5, 6};  // upper triangle of a symmetric matrix
  int n = 3, lda = 3;
  nml_csfrg(&n, s, &lda);
  const float full[9] = {1, 2, 3, 2, 4, 5, 3, 5, 6};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(s[i], full[i]);
  int one = 1, five = 5;
  const float v[5] = {1, 7, 7, -9, 2};
  EXPECT_EQ(ISMAX(&five, v, &one), 2);
  EXPECT_EQ(ISAMAX(5, v, 1), 4);
}

// ---------------------------------------------------------------------------------------
// Transposition

std::vector<float> Transposed(const std::vector<float>& a, int nra, int nca) {
  std::vector<float> t(a.size());
  for (int i = 0; i < nra; ++i)
    for (int j = 0; j < nca; ++j) t[j * nra + i] = a[i * nca + j];
  return t;
}

TEST_F(NmlKernels, TransposeSmallMatrixEveryWay) {
  const std::vector<float> a = {1, 2, 3, 4, 5, 6};
  const std::vector<float> want = {1, 4, 2, 5, 3, 6};
  std::vector<float> inPlace = a, cycles = a, other(6);
  M1RAN_F(2, 3, inPlace.data(), inPlace.data());
  l_m1ran_insitu(2, 3, cycles.data(), cycles.data());
  M1RAN_F(2, 3, a.data(), other.data());
  EXPECT_EQ(inPlace, want);
  EXPECT_EQ(cycles, want);
  EXPECT_EQ(other, want);
  std::vector<int> ints = {1, 2, 3, 4, 5, 6};
  M1RAN_I(2, 3, ints.data(), ints.data());
  EXPECT_EQ(ints, std::vector<int>({1, 4, 2, 5, 3, 6}));
}

TEST_F(NmlKernels, CycleTranspositionMatchesTheDefinitionOverManyShapes) {
  // Shapes whose N - 1 has few or many prime factors, squares and vectors.
  const int shapes[][2] = {{1, 7}, {7, 1}, {3, 3}, {2, 5}, {5, 2}, {3, 7}, {4, 6}, {6, 4},
                           {8, 9}, {10, 13}, {16, 17}, {31, 30}, {12, 35}, {49, 50}, {97, 64}};
  for (const auto& s : shapes) {
    const int r = s[0], c = s[1];
    std::vector<float> a(static_cast<std::size_t>(r) * c);
    std::iota(a.begin(), a.end(), 1.0f);
    std::vector<float> b = a;
    l_m1ran_insitu(r, c, b.data(), b.data());
    EXPECT_EQ(b, Transposed(a, r, c)) << r << "x" << c;
    std::vector<double> d(a.begin(), a.end());
    M1RAN_F(r, c, d.data(), d.data());
    M1RAN_F(c, r, d.data(), d.data());  // and back
    EXPECT_EQ(std::vector<float>(d.begin(), d.end()), a) << r << "x" << c;
  }
}

TEST_F(NmlKernels, LargeComplexTransposeInPlace) {
  const int r = 1000, c = 1001;
  std::vector<nml_f_complex> a(static_cast<std::size_t>(r) * c);
  for (std::size_t k = 0; k < a.size(); ++k) a[k] = {static_cast<float>(k), -static_cast<float>(k % 977)};
  std::vector<nml_f_complex> b = a;
  M1RAN_C(r, c, b.data(), b.data());
  bool ok = true;
  for (int i = 0; i < r && ok; ++i)
    for (int j = 0; j < c && ok; ++j) ok = nml_c_eq(b[j * r + i], a[i * c + j]);
  EXPECT_TRUE(ok);
}

TEST_F(NmlKernels, TransposeDimensionErrors) {
  float a[2] = {1, 2};
  M1RAN_F(1, 0, a, a);
  EXPECT_EQ(nml_error_code(1), 621);
  l_m1ran_insitu(0, 2, a, a);
  EXPECT_EQ(nml_error_code(0), 621);
  EXPECT_EQ(a[0], 1.0f);
  EXPECT_EQ(l_m1ran_mulmod(2147483646, 2147483645, 2147483647), 2);
}

// ---------------------------------------------------------------------------------------
// Sort with permutation

TEST_F(NmlKernels, SortCarriesThePermutation) {
  {
    float k[3] = {3, 1, 2};
    int p[3] = {1, 2, 3};
    nml_svrgp(3, k, k, p);
    EXPECT_EQ(std::vector<float>(k, k + 3), std::vector<float>({1, 2, 3}));
    EXPECT_EQ(std::vector<int>(p, p + 3), std::vector<int>({2, 3, 1}));
  }
  {
    const float one = 4;
    float out = 0;
    int p = 9;
    nml_svrgp(1, &one, &out, &p);
    EXPECT_EQ(out, 4.0f);
    EXPECT_EQ(p, 9);
  }
  {
    std::vector<double> same(1000, 2.5);
    std::vector<int> p(1000);
    std::iota(p.begin(), p.end(), 1);
    nml_svrgp(1000, same.data(), same.data(), p.data());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], i + 1);  // equal keys never move
  }
  std::mt19937 rng(7);
  for (int n : {2, 11, 12, 100, 1001, 20000}) {
    for (int order = 0; order < 3; ++order) {
      std::vector<double> x(static_cast<std::size_t>(n));
      for (auto& v : x) v = std::uniform_int_distribution<int>(-50, 50)(rng) * 0.5;
      if (order == 1) std::sort(x.begin(), x.end());
      if (order == 2) std::sort(x.rbegin(), x.rend());
      std::vector<double> y(x.size());
      std::vector<int> p(x.size());
      std::iota(p.begin(), p.end(), 1);
      nml_svrgp(n, x.data(), y.data(), p.data());
      ASSERT_TRUE(std::is_sorted(y.begin(), y.end())) << n << " " << order;
      for (int i = 0; i < n; ++i) ASSERT_EQ(y[i], x[p[i] - 1]) << n;
      std::vector<int> q = p;
      std::sort(q.begin(), q.end());
      for (int i = 0; i < n; ++i) ASSERT_EQ(q[i], i + 1);
    }
  }
}

TEST_F(NmlKernels, SortSurvivesNaNKeys) {
  std::vector<float> x = {3, NAN, 1, NAN, 2, 8, NAN, -1, 0, 5, 4, 6, 7, NAN, 9};
  std::vector<int> p(x.size());
  std::iota(p.begin(), p.end(), 1);
  nml_svrgp(static_cast<int>(x.size()), x.data(), x.data(), p.data());
  std::vector<int> q = p;
  std::sort(q.begin(), q.end());
  for (std::size_t i = 0; i < q.size(); ++i) EXPECT_EQ(q[i], static_cast<int>(i) + 1);
}

// ---------------------------------------------------------------------------------------
// Complex arithmetic and vector kernels

TEST_F(NmlKernels, ComplexArithmetic) {
  const float h = std::sqrt(0.5f);
  struct Row {
    const char* what;
    nml_f_complex got, want;
  };
  const Row rows[] = {
      {"(1,0)/(0,1)", nml_c_div({1, 0}, {0, 1}), {0, -1}},
      {"(1,1)/(1,1)", nml_c_div({1, 1}, {1, 1}), {1, 0}},
      {"(3,4)/(1,2)", nml_c_div({3, 4}, {1, 2}), {2.2f, -0.4f}},
      {"sqrt(-1)", nml_c_sqrt({-1, 0}), {0, 1}},
      {"sqrt(i)", nml_c_sqrt({0, 1}), {h, h}},
      {"sqrt(-i)", nml_c_sqrt({0, -1}), {h, -h}},
      {"sqrt(4)", nml_c_sqrt({4, 0}), {2, 0}},
      {"sqrt(-3-4i)", nml_c_sqrt({-3, -4}), {1, -2}},
      {"sqrt(3+4i)", nml_c_sqrt({3, 4}), {2, 1}},
      {"sqrt(-4+3i)", nml_c_sqrt({-4, 3}), {std::sqrt(0.5f), 3 * std::sqrt(0.5f)}},
      {"mul", nml_c_mul({1, 2}, {3, -1}), {5, 5}},
      {"exp(i pi/2)", nml_c_exp({0, 1.5707964f}), {0, 1}},
      {"exp(1)", nml_c_exp({1, 0}), {2.7182817f, 0}},
      {"log(-1)", nml_c_log({-1, 0}), {0, 3.1415927f}},
      {"sin(i)", nml_c_sin({0, 1}), {0, std::sinh(1.0f)}},
      {"cos(1)", nml_c_cos({1, 0}), {std::cos(1.0f), 0}},
      {"conj", nml_c_conj(nml_c_make(1, 2)), {1, -2}},
      {"narrow", nml_c_narrow(0.1, -0.2), {0.1f, -0.2f}},
  };
  for (const Row& r : rows) {
    EXPECT_NEAR(r.got.re, r.want.re, 2e-6f) << r.what;
    EXPECT_NEAR(r.got.im, r.want.im, 2e-6f) << r.what;
  }
  EXPECT_EQ(nml_c_abs({3, 4}), 5.0f);
  EXPECT_EQ(nml_c_arg({0, 0}), 0.0f);
  EXPECT_EQ(nml_c_eq({NAN, 0}, {NAN, 0}), 0);
  // The principal root never has a negative real part.
  for (float re : {-2.0f, -0.5f, 0.0f, 0.5f})
    for (float im : {-3.0f, -0.1f, 0.1f, 3.0f}) {
      const nml_f_complex r = nml_c_sqrt({re, im});
      EXPECT_GE(r.re, 0.0f);
      const nml_f_complex sq = nml_c_mul(r, r);
      EXPECT_NEAR(sq.re, re, 1e-5f);
      EXPECT_NEAR(sq.im, im, 1e-5f);
    }
}

TEST_F(NmlKernels, ComplexVectorKernels) {
  nml_f_complex x[3] = {{1, 1}, {2, 0}, {0, 3}};
  nml_f_complex y[3] = {{9, 9}, {8, 8}, {7, 7}};
  int n = 3, one = 1, two = 2;
  CSWAP(&n, x, &one, y, &one);
  EXPECT_EQ(x[0].re, 9.0f);
  EXPECT_EQ(y[2].im, 3.0f);
  const nml_f_complex i{0, 1};
  CSCAL(&n, &i, y, &one);
  EXPECT_EQ(y[0].re, -1.0f);
  EXPECT_EQ(y[0].im, 1.0f);
  int n2 = 2;
  CSCAL(&n2, &i, y, &two);  // elements 1 and 3 only
  EXPECT_EQ(y[0].re, -1.0f);
  EXPECT_EQ(y[0].im, -1.0f);
  EXPECT_EQ(y[1].im, 2.0f);
  EXPECT_EQ(y[2].re, 0.0f);
  EXPECT_EQ(y[2].im, -3.0f);
  const float half = 0.5f;
  CSSCAL(&n, &half, x, &one);
  EXPECT_EQ(x[1].re, 4.0f);
  int m1 = 1;
  const nml_f_complex v[1] = {{3, 4}};
  EXPECT_EQ(SCNRM2(&m1, v), 5.0f);
  const float f[3] = {1, -3, 3};
  EXPECT_EQ(ISAMAX(3, f, 1), 2);
  EXPECT_EQ(ISAMAX(0, f, 1), 0);
  EXPECT_EQ(ISAMAX(3, f, -1), 1);
}

TEST_F(NmlKernels, CopyBetweenLeadingDimensionsInPlace) {
  // A 3 by 3 matrix with lda 3 widened in place to ldb 5, then narrowed back.
  std::vector<float> buf(15, -1.0f);
  for (int k = 0; k < 9; ++k) buf[k] = static_cast<float>(k + 1);
  CRGRG(3, buf.data(), 3, buf.data(), 5);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(buf[j * 5 + i], static_cast<float>(j * 3 + i + 1));
  CRGRG(3, buf.data(), 5, buf.data(), 3);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(buf[k], static_cast<float>(k + 1));
  float src[4] = {1, 2, 3, 4}, dst[4] = {};
  CRGRG(2, src, 2, dst, 2);
  EXPECT_EQ(dst[3], 4.0f);
  CRGRG(0, src, 2, dst, 2);
  EXPECT_EQ(nml_error_code(1), 604);
  float strided[6] = {1, 0, 2, 0, 3, 0}, out[3] = {};
  SCOPY(3, strided, 2, out, 1);
  EXPECT_EQ(out[2], 3.0f);
  SCOPY(3, strided, -2, out, 1);
  EXPECT_EQ(out[0], 3.0f);
}

}  // namespace
