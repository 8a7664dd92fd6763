// Kernels of the nonlinear fits: QR with pivoting, the covariance from R, the damped
// least-squares solve, the trust-region step and update.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_internal.h"
#include "numerics/nml_test_util.h"

namespace {

// Column-ordered m by n matrix in double for reference computations.
struct Mat {
  int m, n;
  std::vector<double> a;
  Mat(int m_, int n_) : m(m_), n(n_), a((size_t)m_ * n_, 0.0) {}
  double& operator()(int i, int j) { return a[(size_t)j * m + i]; }
  double operator()(int i, int j) const { return a[(size_t)j * m + i]; }
};

Mat mul_tn(const Mat& x, const Mat& y)  // x' * y
{
  Mat r(x.n, y.n);
  for (int i = 0; i < x.n; ++i)
    for (int j = 0; j < y.n; ++j)
      for (int k = 0; k < x.m; ++k) r(i, j) += x(k, i) * y(k, j);
  return r;
}

Mat inverse(Mat a)  // Gauss-Jordan with partial pivoting, small matrices only
{
  const int n = a.n;
  Mat inv(n, n);
  for (int i = 0; i < n; ++i) inv(i, i) = 1.0;
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a(r, c)) > std::fabs(a(p, c))) p = r;
    for (int k = 0; k < n; ++k) {
      std::swap(a(c, k), a(p, k));
      std::swap(inv(c, k), inv(p, k));
    }
    const double d = a(c, c);
    for (int k = 0; k < n; ++k) {
      a(c, k) /= d;
      inv(c, k) /= d;
    }
    for (int r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = a(r, c);
      for (int k = 0; k < n; ++k) {
        a(r, k) -= f * a(c, k);
        inv(r, k) -= f * inv(c, k);
      }
    }
  }
  return inv;
}

class NlsqKernels : public ::testing::Test {
 protected:
  nmltest::StdErrCapture quiet_;  // errors posted at the user's level are printed
};

// Q'*A*P must reproduce R, the pivots must be a permutation ordered by decreasing
// remaining norm, conorm the column norms of A in A's order.
TEST_F(NlsqKernels, PivotedQrReproducesMatrix) {
  const int m = 6, n = 4;
  // column 3 (1-based) is zero, columns 2 and 4 have equal norms
  const float A0[n][m] = {
      {1, 2, 0, -1, 3, 1}, {0, 0, 4, 0, 0, 3}, {0, 0, 0, 0, 0, 0}, {3, 0, 0, 4, 0, 0}};
  std::vector<float> a(m * n), qr(m * n), aux(n), conorm(n), work(2 * n - 1);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < m; ++i) a[j * m + i] = A0[j][i];
  std::vector<int> p(n, 0);
  const int one = 1;
  L2RRR(&m, &n, a.data(), &m, &one, p.data(), qr.data(), &m, aux.data(), conorm.data(),
        work.data());
  ASSERT_EQ(nml_error_type(1), 0);
  // norms 4, 5, 0, 5: of the two equal norms the first in position order leads
  EXPECT_EQ(p, (std::vector<int>{2, 4, 1, 3})) << "the zero column ends last";
  const float norms[n] = {std::sqrt(16.0f), 5.0f, 0.0f, 5.0f};
  for (int j = 0; j < n; ++j) EXPECT_FLOAT_EQ(conorm[j], norms[j]);
  EXPECT_EQ(aux[3], 0.0f);
  for (int j = 0; j < n; ++j) {
    std::vector<float> y(m);
    for (int i = 0; i < m; ++i) y[i] = A0[p[j] - 1][i];
    l_apply_qt(m, n, qr.data(), m, aux.data(), y.data(), y.data());
    for (int i = 0; i < m; ++i) {
      const float r = i <= j ? qr[j * m + i] : 0.0f;
      EXPECT_NEAR(y[i], r, 1e-5f) << "row " << i << " column " << j;
    }
  }
}

TEST_F(NlsqKernels, QrOfOneRowTransformsNothing) {
  const int m = 1, n = 3, zero = 0;
  std::vector<float> a = {2.0f, -1.0f, 5.0f}, aux(n, 7.0f), conorm(n), work(2 * n);
  std::vector<int> p(n, 0);
  L2RRR(&m, &n, a.data(), &m, &zero, p.data(), a.data(), &m, aux.data(), conorm.data(),
        work.data());
  EXPECT_EQ(a, (std::vector<float>{2.0f, -1.0f, 5.0f}));
  EXPECT_EQ(aux, (std::vector<float>{0.0f, 0.0f, 0.0f}));
}

TEST_F(NlsqKernels, QrHonoursInitialAndFinalColumns) {
  const int m = 4, n = 3, one = 1;
  // column 1 has the largest norm but is final; column 3 is initial
  std::vector<float> a = {9, 0, 0, 9, 1, 1, 0, 0, 0, 0, 1, 0}, aux(n), conorm(n), work(2 * n);
  std::vector<int> p = {-1, 0, 1};
  L2RRR(&m, &n, a.data(), &m, &one, p.data(), a.data(), &m, aux.data(), conorm.data(), work.data());
  EXPECT_EQ(p, (std::vector<int>{3, 2, 1}));
}

TEST_F(NlsqKernels, QrArgumentErrors) {
  struct Case {
    int m, n, lda, ldqr, code;
  };
  const Case cases[] = {{0, 2, 2, 2, 3089}, {3, 2, 2, 3, 3090}, {3, 2, 3, 2, 3092}};
  for (const auto& c : cases) {
    std::vector<float> a(16), aux(4), cn(4), w(8);
    std::vector<int> p(4, 0);
    const int zero = 0;
    L2RRR(&c.m, &c.n, a.data(), &c.lda, &zero, p.data(), a.data(), &c.ldqr, aux.data(), cn.data(),
          w.data());
    EXPECT_EQ(nml_error_type(1), 5);
    EXPECT_EQ(nml_error_code(1), c.code);
  }
}

// (R'R)^-1 against a double-precision inverse, including a dropped parameter.
TEST_F(NlsqKernels, CovarianceFromTriangle) {
  const int n = 3;
  std::vector<float> r = {2.0f, 0.0f, 0.0f, 1.0f, 3.0f, 0.0f, -1.0f, 0.5f, 4.0f};
  Mat rd(n, n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) rd(i, j) = r[j * n + i];
  const Mat expect = inverse(mul_tn(rd, rd));
  std::vector<float> v(n * n, -1.0f);
  nml_rcovb(n, r.data(), n, 2.0f, v.data(), n);
  ASSERT_EQ(nml_error_type(1), 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) EXPECT_NEAR(v[j * n + i], 2.0 * expect(i, j), 1e-6) << i << j;

  // Row and column 2 dropped (zero diagonal, zero row): the rest is the reduced problem.
  std::vector<float> rz = {2.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, -1.0f, 0.0f, 4.0f};
  Mat red(2, 2);
  red(0, 0) = 2.0;
  red(0, 1) = -1.0;
  red(1, 1) = 4.0;
  const Mat er = inverse(mul_tn(red, red));
  nml_rcovb(n, rz.data(), n, 1.0f, rz.data(), n);
  ASSERT_EQ(nml_error_type(1), 0);
  const int idx[2] = {0, 2};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) EXPECT_NEAR(rz[idx[j] * n + idx[i]], er(i, j), 1e-6);
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(rz[1 * n + k], 0.0f);
    EXPECT_EQ(rz[k * n + 1], 0.0f);
  }
}

TEST_F(NlsqKernels, CovarianceEdgeCases) {
  float r1 = 4.0f, v1 = 0.0f;
  nml_rcovb(1, &r1, 1, 3.0f, &v1, 1);
  EXPECT_FLOAT_EQ(v1, 3.0f / 16.0f);

  std::vector<float> r = {1.0f, 0.0f, 2.0f, 1.0f}, v(4, 9.0f);
  nml_rcovb(2, r.data(), 2, 0.0f, v.data(), 2);
  EXPECT_EQ(v, (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f}));

  nml_rcovb(2, r.data(), 2, -1.0f, v.data(), 2);
  EXPECT_EQ(nml_error_code(1), 11061);

  // zero diagonal with a non-zero entry right of it: inconsistent
  std::vector<float> bad = {0.0f, 0.0f, 2.0f, 1.0f};
  nml_rcovb(2, bad.data(), 2, 1.0f, v.data(), 2);
  EXPECT_EQ(nml_error_type(1), 5);
  EXPECT_EQ(nml_error_code(1), 11060);
}

// Dropping parameter 2 rotates row 2 into row 3; with |R(2,3)| > |R(3,3)| and R(2,3) < 0
// the rotation leaves a negative diagonal element, which must not be taken for another
// dropped parameter: the inverse is that of the reduced problem in parameters 1 and 3.
TEST_F(NlsqKernels, RankDecisionKeepsCovarianceOfTheRest) {
  std::vector<float> j = {1.0f, 0.0f, 0.0f, 1.0f, 1e-6f, 0.0f, 0.0f, -5.0f, 1.0f};
  int rank = -1;
  ASSERT_EQ(l_nlsq_rank_and_cov(3, 3, j.data(), 3.4526698e-4f, &rank, true), 0);
  EXPECT_EQ(rank, 2);
  // reduced R = [[1, 0], [0, sqrt(26)]]: (R'R)^-1 = diag(1, 1/26)
  EXPECT_NEAR(j[0], 1.0f, 1e-6f);
  EXPECT_NEAR(j[2 * 3 + 2], 1.0f / 26.0f, 1e-6f);
  EXPECT_NEAR(j[2 * 3 + 0], 0.0f, 1e-6f);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(j[1 * 3 + k], 0.0f);
    EXPECT_EQ(j[k * 3 + 1], 0.0f);
  }
}

TEST_F(NlsqKernels, TriangularSolvesWithZeroDiagonal) {
  // R = [[2, 1], [0, 0]]: R x = b is consistent only for b2 = 0
  std::vector<float> r = {2.0f, 0.0f, 1.0f, 0.0f};
  std::vector<float> b = {4.0f, 0.0f}, x(2);
  int rank = -1;
  l_girts(2, r.data(), 2, 1, b.data(), 2, 1, &rank, x.data(), 2, nullptr, 1);
  EXPECT_EQ(rank, 1);
  EXPECT_EQ(nml_error_type(1), 0);
  EXPECT_FLOAT_EQ(x[0], 2.0f);
  EXPECT_EQ(x[1], 0.0f);
  b = {4.0f, 1.0f};
  l_girts(2, r.data(), 2, 1, b.data(), 2, 1, &rank, x.data(), 2, nullptr, 1);
  EXPECT_EQ(nml_error_code(1), 11058);
  // R'x = b: x1 = 2, then row 2 reads 1*x1 = b2, consistent for b2 = 2
  b = {4.0f, 2.0f};
  l_girts(2, r.data(), 2, 1, b.data(), 2, 2, &rank, x.data(), 2, nullptr, 1);
  EXPECT_EQ(nml_error_type(1), 0);
  b = {4.0f, 3.0f};
  l_girts(2, r.data(), 2, 1, b.data(), 2, 2, &rank, x.data(), 2, nullptr, 1);
  EXPECT_EQ(nml_error_code(1), 11059);
}

// The damped solve must satisfy the normal equations (P R'R P' + Z^2) s = P R' w.
TEST_F(NlsqKernels, DampedSolveMeetsNormalEquations) {
  const int n = 3;
  std::vector<float> r = {3.0f, 0.0f, 0.0f, 1.0f, 2.0f, 0.0f, -2.0f, 0.5f, 1.0f};
  const int p[n] = {2, 3, 1};
  const float z[n] = {0.5f, 0.0f, 1.5f};  // indexed by variable
  const float w[n] = {1.0f, -2.0f, 0.5f};
  std::vector<float> rcopy = r, s(n), sdiag(n), work(n);
  l_lm_solve(n, rcopy.data(), n, p, z, w, s.data(), sdiag.data(), work.data());
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) EXPECT_EQ(rcopy[j * n + i], r[j * n + i]) << "upper kept";
  // A = R P' as a matrix over the variables: column p(j) of A is column j of R.
  Mat a(n, n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) a(i, p[j] - 1) = r[j * n + i];
  Mat lhs = mul_tn(a, a);
  for (int k = 0; k < n; ++k) lhs(k, k) += (double)z[k] * z[k];
  for (int k = 0; k < n; ++k) {
    double left = 0.0, right = 0.0;
    for (int l = 0; l < n; ++l) left += lhs(k, l) * s[l];
    for (int i = 0; i < n; ++i) right += a(i, k) * w[i];
    EXPECT_NEAR(left, right, 1e-5) << k;
  }
}

struct StepFixture {
  // J = diag(2, 1) permuted: R = diag(2, 1), p = identity, w = Q'F
  int n = 2;
  std::vector<float> r = {2.0f, 0.0f, 0.0f, 1.0f};
  int p[2] = {1, 2};
  float d[2] = {1.0f, 1.0f};
  float w[2] = {4.0f, 3.0f};
  float g[2] = {8.0f, 3.0f};  // J'F
  float s[2], sn[2], sdiag[2], w1[2], w2[2];
  l_step_state st{};
};

TEST_F(NlsqKernels, GaussNewtonStepWhenItFits) {
  StepFixture f;
  float delta = 100.0f, mu = 0.5f;
  int first = 1, gnflag = 0;
  l_u7lsf(f.n, f.g, f.r.data(), 2, f.p, f.d, f.w, 1000.0f, &delta, &mu, &first, f.s, f.sn, &gnflag,
          f.sdiag, f.w1, f.w2, 100, &f.st);
  EXPECT_EQ(gnflag, 1);
  EXPECT_FLOAT_EQ(f.s[0], -2.0f);
  EXPECT_FLOAT_EQ(f.s[1], -3.0f);
  EXPECT_EQ(mu, 0.0f);
  EXPECT_FLOAT_EQ(delta, std::sqrt(13.0f)) << "radius shrinks to the step length";
}

TEST_F(NlsqKernels, FirstRadiusIsCauchyLength) {
  StepFixture f;
  float delta = -999.0f, mu = 0.0f;
  int first = 1, gnflag = 0;
  // a = |g| = sqrt(73), b = |R g| = |(16, 3)| = sqrt(265): radius a^3/b^2 < GN length
  l_u7lsf(f.n, f.g, f.r.data(), 2, f.p, f.d, f.w, 1000.0f, &delta, &mu, &first, f.s, f.sn, &gnflag,
          f.sdiag, f.w1, f.w2, 100, &f.st);
  const float cauchy = std::pow(73.0f, 1.5f) / 265.0f;
  EXPECT_NEAR(f.st.delta_prev, cauchy, 1e-5f * cauchy);
  EXPECT_EQ(gnflag, 0);
  const float len = std::hypot(f.s[0], f.s[1]);
  EXPECT_GE(len, 0.75f * cauchy * (1 - 1e-6f));
  EXPECT_LE(len, 1.5f * cauchy * (1 + 1e-6f));
  // capped by the maximum step
  StepFixture f2;
  delta = -999.0f;
  first = 1;
  l_u7lsf(f2.n, f2.g, f2.r.data(), 2, f2.p, f2.d, f2.w, 0.5f, &delta, &mu, &first, f2.s, f2.sn,
          &gnflag, f2.sdiag, f2.w1, f2.w2, 100, &f2.st);
  EXPECT_FLOAT_EQ(f2.st.delta_prev, 0.5f);
}

// phi'(0) is the derivative of the scaled step length at mu = 0; a wrong value would give a
// lower bound for mu above the solution.
TEST_F(NlsqKernels, HookStepDerivativeAtZero) {
  StepFixture f;
  f.r = {2.0f, 0.0f, 1.5f, 1.0f};  // not diagonal, so R and R' solves differ
  float delta = 0.5f, mu = 0.0f;
  int first = 1, gnflag = 0;
  l_u7lsf(f.n, f.g, f.r.data(), 2, f.p, f.d, f.w, 1000.0f, &delta, &mu, &first, f.s, f.sn, &gnflag,
          f.sdiag, f.w1, f.w2, 100, &f.st);
  auto steplen = [&](float m) {
    StepFixture h;
    h.r = f.r;
    float z[2] = {std::sqrt(m), std::sqrt(m)}, s[2], sd[2], wk[2];
    l_lm_solve(2, h.r.data(), 2, h.p, z, h.w, s, sd, wk);
    return std::hypot((double)s[0], (double)s[1]);
  };
  const double hmu = 1e-3;
  const double numeric = (steplen((float)hmu) - steplen(0.0f)) / hmu;
  EXPECT_NEAR(f.st.phi_prime0, numeric, 0.02 * std::fabs(numeric));
}

// A singular R (rank 2 of 3, with a nearly singular second column) and mu = 0: the
// derivative of the step length overflows, and the search must still move mu off zero
// instead of repeating the same singular pass until the pass limit.
TEST_F(NlsqKernels, HookStepWithSingularTriangle) {
  std::vector<float> r = {2.0f, 0.0f, 0.0f, 1.0f, 1e-20f, 0.0f, 0.0f, 0.0f, 0.0f};
  const int p[3] = {1, 2, 3};
  const float d[3] = {1.0f, 1.0f, 1.0f}, w[3] = {4.0f, 3.0f, 1.0f}, g[3] = {8.0f, 4.0f, 0.0f};
  float s[3], sn[3], sdiag[3], w1[3], w2[3];
  l_step_state st{};
  float delta = 0.5f, mu = 0.0f;
  int first = 1, gnflag = 0;
  l_u7lsf(3, g, r.data(), 3, p, d, w, 1e30f, &delta, &mu, &first, s, sn, &gnflag, sdiag, w1, w2,
          100, &st);
  EXPECT_EQ(nml_error_type(1), 0);
  EXPECT_EQ(st.rank, 2);
  EXPECT_GT(mu, 0.0f);
  const float len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  EXPECT_GE(len, 0.75f * 0.5f);
  EXPECT_LE(len, 1.5f * 0.5f);
}

TEST_F(NlsqKernels, StepSearchPassLimit) {
  StepFixture f;
  f.r = {2.0f, 0.0f, 1.5f, 1.0f};
  float delta = 0.3f, mu = 0.0f;
  int first = 1, gnflag = 0;
  l_u7lsf(f.n, f.g, f.r.data(), 2, f.p, f.d, f.w, 1000.0f, &delta, &mu, &first, f.s, f.sn, &gnflag,
          f.sdiag, f.w1, f.w2, 0, &f.st);
  EXPECT_EQ(nml_error_type(1), 4) << "limit 0: a second pass exceeds it";
  EXPECT_EQ(nml_error_code(1), 12115);
}

// One-parameter residuals F(x) = (x - 3, 2(x - 3)) for the update.
void line_fcn(int, int, float x[], float f[]) {
  f[0] = x[0] - 3.0f;
  f[1] = 2.0f * (x[0] - 3.0f);
}

struct UpdateFixture {
  float x[1] = {0.0f};
  float fx[2] = {-3.0f, -6.0f};
  float f = 22.5f;
  float g[1] = {-15.0f};
  float r[1] = {std::sqrt(5.0f)};
  int p[1] = {1};
  float d[1] = {1.0f};
  float xsaved[1], fsaved[2], xc[1], fc[2], f_c = 0.0f;
  int maxtaken = 0, nfcn = 0;
  l_tolerance_block tol{1e-4f, 1e-5f, 1e-10f, 1e-10f, 1e-5f, 100, 400, 400};
  l_step_state st{};
};

TEST_F(NlsqKernels, UpdateRetreatsFromWorseDoubledStep) {
  UpdateFixture u;
  u.xsaved[0] = 2.5f;
  u.fsaved[0] = -0.5f;
  u.fsaved[1] = -1.0f;
  u.st.doubled_f = 0.625f;
  float s[1] = {5.0f};  // lands at 5: f = 10, worse than the saved 0.625
  float delta = 4.0f;
  int icode = 5;
  l_trust_region_update(line_fcn, 2, 1, u.x, u.f, u.g, u.r, 1, u.p, s, u.d, 0, 100.0f, &delta,
                        &icode, u.xsaved, u.fsaved, u.xc, u.fx, u.fc, &u.f_c, &u.maxtaken, &u.nfcn,
                        &u.tol, &u.st);
  EXPECT_EQ(icode, 0);
  EXPECT_FLOAT_EQ(u.xc[0], 2.5f);
  EXPECT_FLOAT_EQ(u.f_c, 0.625f);
  EXPECT_FLOAT_EQ(delta, 2.0f);
  EXPECT_EQ(u.nfcn, 1);
}

TEST_F(NlsqKernels, UpdateKeepsPointWhenStepTooShort) {
  UpdateFixture u;
  float s[1] = {1e-7f};  // too short to change f, and below the step tolerance
  float delta = 1.0f;
  int icode = 6;
  l_trust_region_update(line_fcn, 2, 1, u.x, u.f, u.g, u.r, 1, u.p, s, u.d, 0, 100.0f, &delta,
                        &icode, u.xsaved, u.fsaved, u.xc, u.fx, u.fc, &u.f_c, &u.maxtaken, &u.nfcn,
                        &u.tol, &u.st);
  EXPECT_EQ(icode, 1);
  EXPECT_EQ(u.xc[0], 0.0f);
  EXPECT_EQ(u.fc[1], -6.0f);
  EXPECT_EQ(u.f_c, 22.5f);
}

TEST_F(NlsqKernels, UpdateAcceptsOrDoublesGoodStep) {
  // exact quadratic model: the step to 2 is predicted exactly and may be doubled
  UpdateFixture u;
  float s[1] = {2.0f};
  float delta = 2.0f;
  int icode = 6;
  l_trust_region_update(line_fcn, 2, 1, u.x, u.f, u.g, u.r, 1, u.p, s, u.d, 0, 100.0f, &delta,
                        &icode, u.xsaved, u.fsaved, u.xc, u.fx, u.fc, &u.f_c, &u.maxtaken, &u.nfcn,
                        &u.tol, &u.st);
  EXPECT_EQ(icode, 5);
  EXPECT_FLOAT_EQ(delta, 4.0f);
  EXPECT_FLOAT_EQ(u.xsaved[0], 2.0f);
  // the Gauss-Newton step is accepted, not doubled
  UpdateFixture v;
  float s2[1] = {3.0f};
  delta = 3.0f;
  icode = 6;
  l_trust_region_update(line_fcn, 2, 1, v.x, v.f, v.g, v.r, 1, v.p, s2, v.d, 1, 100.0f, &delta,
                        &icode, v.xsaved, v.fsaved, v.xc, v.fx, v.fc, &v.f_c, &v.maxtaken, &v.nfcn,
                        &v.tol, &v.st);
  EXPECT_EQ(icode, 0);
  EXPECT_FLOAT_EQ(v.xc[0], 3.0f);
}

// A tiny step that lowers f by far less than the model predicts: false convergence.
void flat_fcn(int, int, float[], float f[]) {
  f[0] = std::sqrt(18.0f);  // f = 9 anywhere near the point
  f[1] = 0.0f;
}

TEST_F(NlsqKernels, UpdateDetectsFalseConvergence) {
  float x[1] = {1000.0f}, fx[2] = {std::sqrt(20.0f), 0.0f}, g[1] = {-1e4f}, r[1] = {1.0f};
  int p[1] = {1};
  float d[1] = {1.0f}, s[1] = {1e-3f};  // relative step 1e-6
  float xsaved[1], fsaved[2], xc[1], fc[2], f_c = 0.0f, delta = 1e-3f;
  int icode = 6, maxtaken = 0, nfcn = 0;
  l_tolerance_block tol{1e-4f, 1e-7f, 1e-10f, 1e-10f, 1.2e-5f, 100, 400, 400};
  l_step_state st{};
  // df = -1 (sufficient decrease), predicted about -10: df > 2*dfpred
  l_trust_region_update(flat_fcn, 2, 1, x, 10.0f, g, r, 1, p, s, d, 0, 100.0f, &delta, &icode,
                        xsaved, fsaved, xc, fx, fc, &f_c, &maxtaken, &nfcn, &tol, &st);
  EXPECT_EQ(icode, 3);
  EXPECT_FLOAT_EQ(f_c, 9.0f);
}

// The two forms of the predicted reduction differ once R has off-diagonal entries and
// the step has components of different size. With R = [[1, 1], [0, 1]] and s = (1, -1):
// row-sum form t = (1*2, -1*1), 0.5*|t|^2 = 2.5; standard R s = (0, -1), 0.5.
// A step with df = slope + 0.5 is "close" only for the standard form, and then doubled.
void quad_fcn(int, int, float x[], float f[]) {
  f[0] = x[0] + x[1];
  f[1] = x[1];
}

TEST_F(NlsqKernels, PredictedReductionForms) {
  for (int form = 0; form < 2; ++form) {
    l_nlsq_set_prediction_form((l_prediction_form)form);
    float x[2] = {0.0f, 1.0f}, fx[2] = {1.0f, 1.0f}, f = 1.0f;
    float g[2] = {1.0f, 2.0f};  // J'F
    float r[4] = {1.0f, 0.0f, 1.0f, 1.0f};
    int p[2] = {1, 2};
    float d[2] = {1.0f, 1.0f}, s[2] = {1.0f, -1.0f};
    float xsaved[2], fsaved[2], xc[2], fc[2], f_c = 0.0f, delta = 2.0f;
    int icode = 6, maxtaken = 0, nfcn = 0;
    l_tolerance_block tol{1e-4f, 1e-5f, 1e-10f, 1e-10f, 1e-5f, 100, 400, 400};
    l_step_state st{};
    l_trust_region_update(quad_fcn, 2, 2, x, f, g, r, 2, p, s, d, 0, 100.0f, &delta, &icode, xsaved,
                          fsaved, xc, fx, fc, &f_c, &maxtaken, &nfcn, &tol, &st);
    // actual: F(1, 0) = (1, 0), f_c = 0.5, df = -0.5 = slope (-1) + 0.5
    EXPECT_FLOAT_EQ(f_c, 0.5f);
    if (form == l_prediction_standard)
      EXPECT_EQ(icode, 5) << "prediction exact: doubled";
    else
      EXPECT_EQ(icode, 0) << "row-sum prediction (+1.5) far off: accepted";
  }
  l_nlsq_set_prediction_form(l_prediction_row_sum);
}

}  // namespace
