// Linear least squares against scipy.linalg.lstsq and the basic solution from scipy's
// pivoted QR (tables by tools/numerics_further/gen_further_tables.py), the QR kernels'
// worked cases, options and errors.
#include "numerics/further/nml_lin_least_squares.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;
using Vec = std::vector<double>;

namespace {

class LeastSquares : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

double Norm(const Vec& v) {
  double s = 0;
  for (double x : v) s += x * x;
  return std::sqrt(s);
}

template <class T>
std::vector<T> Take(T* p, int n) {
  std::vector<T> v(p, p + n);
  std::free(p);
  return v;
}

}  // namespace

TEST_F(LeastSquares, BasicSolutionsMatchScipyInBothPrecisions) {
  for (const Case& c : Cases("lstsq")) {
    SCOPED_TRACE(c.name);
    const int m = c.Int("m"), n = c.Int("n");
    Vec a = c["a"], b = c["b"];
    int rank = -1;
    double* res = nullptr;
    std::vector<int> ipvt(n, 0);
    const Vec x =
        Take(nml_d_lin_least_squares_gen(m, n, a.data(), b.data(), NML_TOL_AND_RANK, 1e-10, &rank,
                                         NML_RESIDUAL, &res, NML_PIVOT, ipvt.data(), 0),
             n);
    ASSERT_EQ(nml_error_code(1), 0);
    EXPECT_EQ(a, c["a"]) << "a is restored";
    EXPECT_EQ(rank, c.Int("rank"));
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(x[i], c["basic"][i], 1e-12 * (1 + Norm(c["basic"]))) << i;
    if (c.Has("x")) {
      for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], c["x"][i], 1e-12 * (1 + Norm(c["x"]))) << i;
    }
    const Vec r = Take(res, m);
    EXPECT_NEAR(Norm(r), Norm(c["residual"]), 1e-12 * (1 + Norm(c["b"])));
    for (int p = 0; p < rank; ++p) EXPECT_EQ(ipvt[p], c["perm"][p]) << p;

    std::vector<float> af(a.begin(), a.end()), bf(b.begin(), b.end());
    int rankf = -1;
    const std::vector<float> xf = Take(
        nml_f_lin_least_squares_gen(m, n, af.data(), bf.data(), NML_TOL_AND_RANK, 1e-4, &rankf, 0),
        n);
    EXPECT_EQ(rankf, c.Int("rank"));
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(xf[i], c["basic"][i], 1e-4 * (1 + Norm(c["basic"]))) << i;
  }
}

TEST_F(LeastSquares, FactorThenSolveEqualsOneCallAndQIsOrthogonal) {
  const Case c = Cases("lstsq").at(4);  // 30 x 7
  const int m = c.Int("m"), n = c.Int("n"), ld = n + 2, qld = m + 1;
  Vec a = c["a"], b = c["b"];
  int rank = 0;
  std::vector<int> ipvt(n, 0);
  double* qraux = nullptr;
  double* qr = nullptr;
  double* q = nullptr;
  EXPECT_EQ(
      nml_d_lin_least_squares_gen(m, n, a.data(), nullptr, NML_FACTOR_ONLY, NML_FACTOR, &qraux, &qr,
                                  NML_QR_COL_DIM, ld, NML_PIVOT, ipvt.data(), NML_TOL_AND_RANK,
                                  1e-10, &rank, NML_Q, &q, NML_Q_COL_DIM, qld, 0),
      nullptr);
  ASSERT_EQ(nml_error_code(1), 0);
  ASSERT_TRUE(qraux && qr && q);
  EXPECT_EQ(rank, n);
  // Q'Q = I, and Q R equals A with its columns in pivot order.
  for (int i = 0; i < m; ++i) {
    EXPECT_EQ(q[i * qld + m], 0.0);
    for (int j = 0; j < m; ++j) {
      double s = 0;
      for (int k = 0; k < m; ++k) s += q[k * qld + i] * q[k * qld + j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14) << i << "," << j;
    }
    for (int j = 0; j < n; ++j) {
      EXPECT_EQ(qr[i * ld + n], 0.0);
      double s = 0;
      for (int k = 0; k <= std::min(j, m - 1); ++k) s += q[i * qld + k] * qr[k * ld + j];
      EXPECT_NEAR(s, c["a"][i * n + ipvt[j] - 1], 1e-13) << i << "," << j;
    }
  }
  std::vector<int> pv = ipvt;
  Vec x2(n);
  nml_d_lin_least_squares_gen(m, n, nullptr, b.data(), NML_SOLVE_ONLY, NML_FACTOR_USER, qraux, qr,
                              NML_QR_COL_DIM, ld, NML_TOL_AND_RANK, 0.0, &rank, NML_PIVOT,
                              pv.data(), NML_RETURN_USER, x2.data(), 0);
  EXPECT_EQ(nml_error_code(1), 0);
  std::vector<int> pv0(n, 0);
  a = c["a"];
  const Vec x1 =
      Take(nml_d_lin_least_squares_gen(m, n, a.data(), b.data(), NML_PIVOT, pv0.data(), 0), n);
  EXPECT_EQ(x2, x1);
  std::free(qraux);
  std::free(qr);
  std::free(q);
}

TEST_F(LeastSquares, TheKernelsWorkedCases) {
  // Initial and final columns keep their places; only column 2 is free.
  std::vector<double> x = {1, 0, 0, 1, 1, 0, 0, 9, 9}, qr(9), qraux(3), work(5);
  int ipvt[3] = {1, 0, -1};
  const int m = 3, n = 3, flag = 1;
  L2RRR(&m, &n, x.data(), &m, &flag, ipvt, qr.data(), &m, qraux.data(), qraux.data(), work.data());
  EXPECT_EQ(ipvt[0], 1);
  EXPECT_EQ(ipvt[1], 2);
  EXPECT_EQ(ipvt[2], 3);
  // A zero column is left untransformed.
  std::vector<double> z = {0, 0, 0, 1, 2, 2};
  int free2[2] = {0, 0};
  const int two = 2;
  L2RRR(&m, &two, z.data(), &m, &flag, free2, qr.data(), &m, qraux.data(), qraux.data(),
        work.data());
  EXPECT_EQ(free2[0], 2) << "the non-zero column pivots first";
  EXPECT_EQ(qraux[1], 0.0);
  EXPECT_EQ(qr[4], 0.0);

  const double ties[] = {3, 1, 3};
  const int three = 3, one = 1, zero = 0;
  EXPECT_EQ(IDMAX(&three, ties, &one), 1);
  EXPECT_EQ(IDMAX(&one, ties, &one), 1);
  EXPECT_EQ(IDMAX(&zero, ties, &one), 0);

  int p[3] = {2, 3, 1};
  const double v[3] = {10, 20, 30};
  double out[3];
  const int fwd = 1, back = 2;
  l_permu(&three, v, p, &fwd, out);
  EXPECT_EQ(Vec(out, out + 3), (Vec{20, 30, 10}));
  l_permu(&three, v, p, &back, out);
  EXPECT_EQ(Vec(out, out + 3), (Vec{30, 10, 20}));
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[2], 1);
  int bad[3] = {2, 7, 1};
  l_permu(&three, v, bad, &fwd, out);
  EXPECT_EQ(nml_error_code(1), 3098);
  EXPECT_EQ(bad[1], 7) << "a refused vector is left as given";

  // One row: b / qr(1,1), zero residual; a zero diagonal gives FATAL 1009.
  double r11 = 4, aux1 = 0, y = 2, b1 = 0, rsd = 5;
  const int job = 110;
  nml_lqrsl(&one, &one, &r11, &one, &aux1, &y, &job, static_cast<double*>(nullptr), &rsd, &b1, &rsd,
            static_cast<double*>(nullptr));
  EXPECT_EQ(b1, 0.5);
  EXPECT_EQ(rsd, 0.0);
  r11 = 0;
  nml_lqrsl(&one, &one, &r11, &one, &aux1, &y, &job, static_cast<double*>(nullptr), &rsd, &b1, &rsd,
            static_cast<double*>(nullptr));
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 1009);
}

TEST_F(LeastSquares, RankEdgesAndErrors) {
  // Two equal columns: rank n - 1, the column pivoted last gets 0.
  Vec a = {1, 2, 1, 3, 1, 3, 0, 1, 0, 5, 2, 5}, b = {1, 2, 3, 4};  // 4 x 3, columns 1 and 3 equal
  int rank = 0;
  std::vector<int> ipvt(3, 0);
  Vec x = Take(nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_TOL_AND_RANK, 1e-10, &rank,
                                           NML_PIVOT, ipvt.data(), 0),
               3);
  EXPECT_EQ(rank, 2);
  EXPECT_EQ(x[ipvt[2] - 1], 0.0);
  // tol >= 1 gives rank 0: zero solution, residual b.
  double* res = nullptr;
  x = Take(nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_TOL_AND_RANK, 1.0, &rank,
                                       NML_RESIDUAL, &res, 0),
           3);
  EXPECT_EQ(rank, 0);
  EXPECT_EQ(x, Vec(3, 0.0));
  EXPECT_EQ(Take(res, 4), b);
  // One row: the pivot column takes b / a and the others 0.
  Vec row = {1, -4, 2}, rhs = {8};
  x = Take(nml_d_lin_least_squares_gen(1, 3, row.data(), rhs.data(), 0), 3);
  EXPECT_EQ(x, (Vec{0, -2, 0}));

  struct Bad {
    const char* what;
    std::function<double*()> call;
    int code;
  };
  Vec x0(3, 9.0);
  const std::vector<Bad> table = {
      {"unknown code",
       [&] { return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), 4711, 0); }, 11001},
      {"null x",
       [&] {
         return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_RETURN_USER, nullptr, 0);
       },
       104},
      {"null a", [&] { return nml_d_lin_least_squares_gen(4, 3, nullptr, b.data(), 0); }, 150},
      {"m = 0", [&] { return nml_d_lin_least_squares_gen(0, 3, a.data(), b.data(), 0); }, 3089},
      {"a_col_dim < n",
       [&] { return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_A_COL_DIM, 2, 0); },
       1021},
      {"both modes",
       [&] {
         return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_FACTOR_ONLY,
                                            NML_SOLVE_ONLY, 0);
       },
       1096},
      {"factor only, no factor",
       [&] { return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_FACTOR_ONLY, 0); },
       1025},
      {"solve only, no factor",
       [&] {
         return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_SOLVE_ONLY,
                                            NML_TOL_AND_RANK, 0.0, &rank, 0);
       },
       1027},
      {"null rank",
       [&] {
         return nml_d_lin_least_squares_gen(4, 3, a.data(), b.data(), NML_TOL_AND_RANK, 0.0,
                                            nullptr, 0);
       },
       104},
  };
  const Vec a0 = a;
  for (const Bad& t : table) {
    EXPECT_EQ(t.call(), nullptr) << t.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << t.what;
    EXPECT_EQ(nml_error_code(1), t.code) << t.what;
    EXPECT_EQ(a, a0) << t.what;
  }
}
