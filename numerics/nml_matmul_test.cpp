// Matrix-product expressions: products against numpy (table written by
// tools/numerics_eig/gen_eig_tables.py), the caller's arrays and strides, and the errors of
// malformed expressions and arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "numerics/nml_eig.h"
#include "numerics/nml_matmul.h"
#include "numerics/nml_test_util.h"

namespace {

constexpr double kUnit = 5.960464477539063e-08;  // 2^-24

struct Operand {
  bool given = false;
  int rows = 0, cols = 0, stride = 0;
  std::vector<float> data;
};

struct ProductCase {
  std::string expression;
  Operand a, b, x, y;
  int rows = 0, cols = 0;
  std::vector<double> value, bound;
};

std::vector<ProductCase> LoadProductCases() {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/matmul_reference.txt");
  EXPECT_TRUE(in) << "reference table missing";
  std::vector<ProductCase> cases;
  std::string word;
  auto readFloats = [&](std::vector<float>& v, std::size_t count) {
    v.resize(count);
    for (auto& f : v) {
      std::string t;
      in >> t;
      f = t == "nan" ? std::numeric_limits<float>::quiet_NaN() : std::stof(t);
    }
  };
  auto readOperand = [&](Operand& o, bool vector) {
    std::string tag, first;
    in >> tag >> first;
    if (first == "none") return;
    o.given = true;
    if (vector) {
      o.rows = std::stoi(first);
      o.cols = o.stride = 1;
    } else {
      o.rows = std::stoi(first);
      in >> o.cols >> o.stride;
    }
    readFloats(o.data, static_cast<std::size_t>(o.rows) * o.stride);
  };
  while (in >> word) {
    if (word[0] == '#') {
      std::getline(in, word);
      continue;
    }
    ProductCase c;
    in >> c.expression;
    readOperand(c.a, false);
    readOperand(c.b, false);
    readOperand(c.x, true);
    readOperand(c.y, true);
    in >> word >> c.rows >> c.cols;
    for (int k = 0; k < c.rows * c.cols; ++k) {
      double v, b;
      in >> v >> b;
      c.value.push_back(v);
      c.bound.push_back(b);
    }
    in >> word;
    EXPECT_EQ(word, "end");
    cases.push_back(std::move(c));
  }
  return cases;
}

nml_options OptionsOf(const ProductCase& c) {
  nml_options o;
  if (c.a.given) {
    o.add(NML_A_MATRIX), o.add(c.a.rows), o.add(c.a.cols), o.add(c.a.data.data());
    o.add(NML_A_ROW_STRIDE), o.add(c.a.stride);
  }
  if (c.b.given) {
    o.add(NML_B_MATRIX), o.add(c.b.rows), o.add(c.b.cols), o.add(c.b.data.data());
    o.add(NML_B_ROW_STRIDE), o.add(c.b.stride);
  }
  if (c.x.given) o.add(NML_X_VECTOR), o.add(c.x.rows), o.add(c.x.data.data());
  if (c.y.given) o.add(NML_Y_VECTOR), o.add(c.y.rows), o.add(c.y.data.data());
  return o;
}

// A single-precision sum of k products errs by at most about k u times the same sum of
// absolute values.
void ExpectProduct(const ProductCase& c, const float* r, int stride) {
  for (int i = 0; i < c.rows; ++i)
    for (int j = 0; j < c.cols; ++j) {
      const std::size_t k = static_cast<std::size_t>(i) * c.cols + j;
      EXPECT_NEAR(r[static_cast<std::size_t>(i) * stride + j], c.value[k], 64 * kUnit * c.bound[k])
          << c.expression << " (" << i << ", " << j << ")";
    }
}

class MatMulRect : public ::testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
};

TEST_F(MatMulRect, ProductsMatchNumpyForEveryExpressionAndShape) {
  const auto cases = LoadProductCases();
  ASSERT_EQ(cases.size(), 24u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expression);
    float* r = nml_f_mat_mul_rect(c.expression.c_str(), OptionsOf(c));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(nml_error_code(1), 0);
    ExpectProduct(c, r, c.cols);
    std::free(r);

    // Into the caller's array with a wider row stride; the padding stays as it was.
    const int stride = c.cols + 2;
    std::vector<float> mine(static_cast<std::size_t>(c.rows) * stride, -1.0f);
    nml_options o = OptionsOf(c);
    o.add(NML_RETURN_USER), o.add(mine.data()), o.add(NML_RESULT_ROW_STRIDE), o.add(stride);
    EXPECT_EQ(nml_f_mat_mul_rect(c.expression.c_str(), o), mine.data());
    ExpectProduct(c, mine.data(), stride);
  }
}

TEST_F(MatMulRect, TransposeThenLagProductsAsTheSingularSpectrumAnalysisUsesThem) {
  // The last table case is X X^T of a 10 x 40 trajectory matrix.
  const auto cases = LoadProductCases();
  const ProductCase& c = cases.back();
  ASSERT_EQ(c.expression, "A*B");
  const int m = c.a.rows, k = c.a.cols;
  float* t = nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, m, k, c.a.data.data(), 0);
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < k; ++j) EXPECT_EQ(t[j * m + i], c.a.data[i * k + j]);
  float* q = nml_f_mat_mul_rect("A*B", NML_A_MATRIX, m, k, c.a.data.data(), NML_B_MATRIX, k, m,
                                t, 0);
  ASSERT_NE(q, nullptr);
  ExpectProduct(c, q, m);
  std::free(t);

  // Its eigenpairs as the analysis takes them: real, non-negative, by decreasing size.
  nml_f_complex* v = nullptr;
  nml_f_complex* e = nml_f_eig_gen(m, q, NML_EIGENVECTORS, &v, 0);
  ASSERT_TRUE(e && v);
  for (int i = 0; i < m; ++i) {
    EXPECT_EQ(e[i].im, 0.0f);
    EXPECT_GT(e[i].re, -1e-5 * e[0].re);
    if (i > 0) {
      EXPECT_LE(std::fabs(e[i].re), std::fabs(e[i - 1].re));
    }
    for (int j = 0; j < m; ++j) EXPECT_EQ(v[i * m + j].im, 0.0f);
  }
  std::free(e);
  std::free(v);
  std::free(q);
}

TEST_F(MatMulRect, SmallProductsHaveTheirExactValues) {
  const float a[6] = {1, 2, 3, 4, 5, 6};
  float* t = nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, 2, 3, a, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::vector<float>(t, t + 6), (std::vector<float>{1, 4, 2, 5, 3, 6}));
  std::free(t);

  const float x[3] = {1, 2, 3}, y[3] = {4, -5, 6};
  float* d = nml_f_mat_mul_rect("trans(x)*y", NML_X_VECTOR, 3, x, NML_Y_VECTOR, 3, y, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d[0], 12.0f);
  std::free(d);

  // Quadratic form x' S x with S = [[2, 1], [1, 3]], x = (1, 2): 2 + 4 + 12 = 18.
  const float s[4] = {2, 1, 1, 3}, x2[2] = {1, 2};
  float* f = nml_f_mat_mul_rect("trans(x)*A*x", NML_A_MATRIX, 2, 2, s, NML_X_VECTOR, 2, x2, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f[0], 18.0f);
  std::free(f);

  // Three factors into the caller's array: (A A') A with A = [[1, 2], [0, 1]].
  const float m[4] = {1, 2, 0, 1};
  float out[4] = {};
  EXPECT_EQ(nml_f_mat_mul_rect("A*trans(B)*A", NML_A_MATRIX, 2, 2, m, NML_B_MATRIX, 2, 2, m,
                               NML_RETURN_USER, out, 0),
            out);
  EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{5, 12, 2, 5}));
}

TEST_F(MatMulRect, MalformedExpressionsAndArgumentsPostTheirErrors) {
  const float a[6] = {1, 2, 3, 4, 5, 6};
  const float x[3] = {1, 2, 3};
  for (const char* e : {"A * B", "a*b", "A*B*A*B", "", "A*", "*A", "trans(a)", "Trans(A)",
                        "transp(A)", "ctrans(A)", "AB", "C"}) {
    EXPECT_EQ(nml_f_mat_mul_rect(e, NML_A_MATRIX, 2, 3, a, NML_B_MATRIX, 3, 2, a, 0), nullptr) << e;
    EXPECT_EQ(nml_error_code(1), 1078) << e;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << e;
  }

  struct Bad {
    const char* what;
    int code;
    float* (*call)(const float*, const float*);
  };
  const Bad bad[] = {
      {"operand not given", 1090,
       [](const float* a, const float*) { return nml_f_mat_mul_rect("A*x", NML_A_MATRIX, 2, 3, a, 0); }},
      {"two factors do not conform", 1079,
       [](const float* a, const float*) {
         return nml_f_mat_mul_rect("A*B", NML_A_MATRIX, 2, 3, a, NML_B_MATRIX, 2, 3, a, 0);
       }},
      {"three factors do not conform", 1080,
       [](const float* a, const float* x) {
         return nml_f_mat_mul_rect("A*B*x", NML_A_MATRIX, 2, 3, a, NML_B_MATRIX, 3, 2, a,
                                   NML_X_VECTOR, 3, x, 0);
       }},
      {"result stride below its columns", 1095,
       [](const float* a, const float*) {
         return nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, 2, 3, a, NML_RESULT_ROW_STRIDE, 1, 0);
       }},
      {"row stride below the columns", 1024,
       [](const float* a, const float*) {
         return nml_f_mat_mul_rect("A", NML_A_MATRIX, 2, 3, a, NML_A_ROW_STRIDE, 2, 0);
       }},
      {"null operand", 104,
       [](const float*, const float*) {
         return nml_f_mat_mul_rect("A", NML_A_MATRIX, 2, 3, static_cast<const float*>(nullptr), 0);
       }},
      {"unknown option", 103,
       [](const float* a, const float*) { return nml_f_mat_mul_rect("A", NML_A_MATRIX, 2, 3, a, 5, 0); }},
      // Dimensions are checked before anything is sized from them.
      {"negative rows", 603,
       [](const float* a, const float*) { return nml_f_mat_mul_rect("A", NML_A_MATRIX, -2, 3, a, 0); }},
      {"zero columns", 603,
       [](const float* a, const float*) {
         return nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, 2, 0, a, 0);
       }},
      {"negative vector length", 603,
       [](const float*, const float* x) {
         return nml_f_mat_mul_rect("trans(x)*x", NML_X_VECTOR, -1, x, 0);
       }},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(b.call(a, x), nullptr) << b.what;
    EXPECT_EQ(nml_error_code(1), b.code) << b.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << b.what;
  }

  // After an error the caller's array comes back unchanged as the result.
  float out[4] = {7, 7, 7, 7};
  EXPECT_EQ(nml_f_mat_mul_rect("A*B", NML_A_MATRIX, 2, 3, a, NML_B_MATRIX, 2, 3, a,
                               NML_RETURN_USER, out, 0),
            out);
  EXPECT_EQ(nml_error_code(1), 1079);
}

TEST_F(MatMulRect, ResultThatCannotBeAllocatedIsAnErrorBeforeAnythingIsRead) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on an impossible allocation";
#endif
  const float a[1] = {1};  // the operand is never read
  EXPECT_EQ(nml_f_mat_mul_rect("trans(A)", NML_A_MATRIX, 1000000000, 2000000000, a, 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 200);
}

}  // namespace
