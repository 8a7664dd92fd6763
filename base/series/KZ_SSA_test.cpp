#include "base/series/KZ_SSA.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "base/numerics/TestTables.h"
#include "base/series/KZ_MultiVarObj.h"

namespace {

TEST(SSA, EigenvaluesAndComponentsMatchNumpy) {
  tv_test::Table t("base/series/testdata/analysis_ssa.txt");
  const int N = t.integer(), M = t.integer();
  const std::vector<double> xd = t.nums(N), lam = t.nums(M), c0 = t.nums(N), pair = t.nums(N);
  std::vector<float> x(xd.begin(), xd.end());
  KZ_SSA ssa;
  KZ_MultiVarObj tab;
  int m = M;
  ssa.Analyse(x.data(), N, &m, &tab, 1);
  ASSERT_EQ(m, M);
  ASSERT_EQ(tab.m_nColumns, M + 2);
  EXPECT_EQ(tab.m_strHeader[0], "SSA component");
  EXPECT_EQ(tab.m_Columns[1].m_strTitle, "F(i)");
  EXPECT_EQ(tab.m_Columns[4].m_strTitle, "F~(i)|k=3");
  // Eigenvalues in float: within a few float roundings of the largest.
  for (int k = 0; k < M; ++k) EXPECT_NEAR(ssa.m_pEigVal[k].re, lam[k], 2e-5 * lam[0]) << k;
  double top = 0;
  for (double v : xd) top = std::max(top, std::fabs(v));
  for (int i = 0; i < N; ++i) {
    EXPECT_NEAR(tab.m_ppData[2][i], c0[i], 1e-4 * top) << i;
    EXPECT_NEAR(tab.m_ppData[3][i] + tab.m_ppData[4][i], pair[i], 1e-3 * top) << i;
    double sum = 0;
    for (int k = 0; k < M; ++k) sum += tab.m_ppData[k + 2][i];
    // All components add up to the series (to the orthogonality of float eigenvectors of a
    // cluster of small eigenvalues, felt most at the ends where one term is averaged).
    EXPECT_NEAR(sum, xd[i], 5e-4 * top) << i;
    EXPECT_EQ(tab.m_ppData[0][i], i);
    EXPECT_EQ(tab.m_ppData[1][i], xd[i]);
  }
  // The eigenvalue table in the second table.
  KZ_MultiVarObj* ev = tab.m_pSubTable.get();
  ASSERT_NE(ev, nullptr);
  EXPECT_EQ(ev->m_nColumns, 4);
  EXPECT_EQ(ev->m_strHeader[0], "Eigen values of SSA");
  EXPECT_EQ(ev->m_Columns[3].m_strTitle, "Comul. Contrib(%)");
  EXPECT_NEAR(ev->m_ppData[3][M - 1], 100.0, 1e-9);
  EXPECT_NEAR(ev->m_ppData[2][0], 100.0 * lam[0] / std::accumulate(lam.begin(), lam.end(), 0.0),
              1e-4);
}

TEST(SSA, WeightedCorrelationsFollowTheirFormula) {
  const int N = 60;
  std::vector<float> x(N);
  for (int i = 0; i < N; ++i) x[i] = static_cast<float>(1 + std::sin(0.7 * i) + 0.05 * (i % 7));
  KZ_SSA ssa;
  KZ_MultiVarObj tab;
  int M = 40;  // too long for 60 samples: becomes 28
  ssa.Analyse(x.data(), N, &M, &tab, 0);
  ASSERT_EQ(M, 28);
  KZ_MultiVarObj* w = tab.m_pSubTable.get();
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->m_nColumns, M + 1);
  EXPECT_EQ(w->m_Columns[2].m_strTitle, "F~|k=2");
  EXPECT_EQ(w->m_pHVar->m_strTitle, "i");
  EXPECT_EQ(w->m_pHVar->m_nAxisFlags, KZ_AXIS_X);
  for (int k : {0, 1, 5})
    for (int l : {0, 2, 5, M - 1}) {
      double s = 0, a = 0, b = 0;
      for (int i = 0; i < N; ++i) {
        const double wi = std::min({i + 1, M, N - i});
        const double yk = tab.m_ppData[k + 2][i], yl = tab.m_ppData[l + 2][i];
        s += wi * yk * yl, a += wi * yk * yk, b += wi * yl * yl;
      }
      EXPECT_NEAR(w->m_ppData[k + 1][l], s / std::sqrt(a * b), 1e-6) << k << " " << l;
    }
  EXPECT_NEAR(w->m_ppData[3][2], 1.0, 1e-6);
  // The first and last entries of a component are single terms.
  const nml_f_complex* v = ssa.m_pEigVec;
  for (int k : {0, 3}) {
    double a0 = 0, aK = 0;
    for (int j = 0; j < M; ++j) {
      a0 += x[j] * v[j * M + k].re;
      aK += x[N - M + j] * v[j * M + k].re;
    }
    EXPECT_NEAR(tab.m_ppData[k + 2][0], a0 * v[k].re, 1e-5);
    EXPECT_NEAR(tab.m_ppData[k + 2][N - 1], aK * v[(M - 1) * M + k].re, 1e-5);
  }
}

TEST(SSA, WindowRulesAndShortSeries) {
  std::vector<float> x(100, 1.0f);
  for (int i = 0; i < 100; ++i) x[i] += 0.1f * static_cast<float>(i % 5);
  KZ_SSA ssa;
  KZ_MultiVarObj tab;
  int M = 60;
  ssa.Analyse(x.data(), 100, &M, &tab, 1);
  EXPECT_EQ(M, 48);
  EXPECT_EQ(ssa.m_nM, 48);
  EXPECT_EQ(tab.m_Columns[2].m_nCount, 100);

  KZ_MultiVarObj untouched;
  untouched.m_strHeader[0] = "kept";
  int m = 3;
  ssa.Analyse(x.data(), 5, &m, &untouched, 1);  // N = 5: window 0
  EXPECT_EQ(untouched.m_nColumns, 0);
  EXPECT_EQ(untouched.m_strHeader[0], "kept");
  EXPECT_EQ(ssa.m_nM, 48);  // the last analysis stays

  KZ_SSA fresh;
  fresh.ShowEigenvalues(&untouched);  // no analysis yet: nothing
  EXPECT_EQ(untouched.m_strHeader[0], "kept");
}

}  // namespace
