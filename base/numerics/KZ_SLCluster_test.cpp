#include "base/numerics/KZ_SLCluster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numerics/TestTables.h"

TEST(KZ_SLCluster, MergeLengthsMatchScipyLinkage) {
  // Count-weighted merging is scipy's centroid linkage, midpoint merging its median one.
  tv_test::Table t("base/numerics/testdata/b3_clustering.txt");
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    const std::string method = t.word();
    const int n = t.integer();
    const std::vector<double> xyz = t.nums(3 * n);
    const std::vector<double> ref = t.nums(n - 1);
    KZ_SLCluster cl;
    cl.m_nWeight = method == "centroid" ? 1 : 0;
    cl.SetPoints(n, xyz.data(), 20.0f, 40);
    ASSERT_EQ(cl.m_nLinks, n - 1);
    ASSERT_EQ(cl.m_pLink.size(), static_cast<std::size_t>(n - 1));
    std::vector<double> got;
    for (const KZ_ClusterLink& l : cl.m_pLink) got.push_back(l.m_fLength);
    std::sort(got.begin(), got.end());
    for (int k = 0; k < n - 1; ++k)
      EXPECT_NEAR(got[k], ref[k], 1e-5 * (1 + ref[k])) << method << " " << k;
    ASSERT_EQ(cl.m_pNode.size(), 1u);
    EXPECT_EQ(cl.m_pNode[0].m_nCount, n);
    EXPECT_EQ(cl.m_pNode[0].m_nId, n - 2);
  }
}

TEST(KZ_SLCluster, MergedNodesSitAtTheWeightedMean) {
  for (int weight : {0, 1, 2}) {
    // Points on a line at 0, 1 and 3: equal counts merge at the midpoint 0.5.
    const double line[9] = {0, 0, 0, 1, 0, 0, 3, 0, 0};
    KZ_SLCluster cl;
    cl.m_nWeight = weight;
    cl.SetPoints(3, line, 10.0f, 10);
    ASSERT_EQ(cl.m_pLink.size(), 2u);
    EXPECT_FLOAT_EQ(cl.m_pLink[0].m_fLength, 1.0f);
    EXPECT_EQ(cl.m_pLink[0].m_A.m_nId, -1);
    EXPECT_DOUBLE_EQ(cl.m_pLink[1].m_A.m_Pos.x + cl.m_pLink[1].m_B.m_Pos.x, 3.5);
    EXPECT_FLOAT_EQ(cl.m_pLink[1].m_fLength, 2.5f);
  }
  // A node of three points merged with a single point moves a quarter of the way with
  // counts as weights, half of it otherwise.
  const double pts[12] = {0, 0, 0, 0.1, 0, 0, 0.2, 0, 0, 4.15, 0, 0};
  for (int weight : {1, 0, 2}) {
    KZ_SLCluster cl;
    cl.m_nWeight = weight;
    cl.SetPoints(4, pts, 10.0f, 10);
    ASSERT_EQ(cl.m_pNode.size(), 1u);
    const double centre3 =
        cl.m_pLink[2].m_A.m_nCount == 3 ? cl.m_pLink[2].m_A.m_Pos.x : cl.m_pLink[2].m_B.m_Pos.x;
    const double expected =
        weight == 1 ? centre3 + 0.25 * (4.15 - centre3) : centre3 + 0.5 * (4.15 - centre3);
    EXPECT_NEAR(cl.m_pNode[0].m_Pos.x, expected, 1e-12) << weight;
  }
}

TEST(KZ_SLCluster, FarApartPointsStillMerge) {
  const double pts[6] = {0, 0, 0, 3e5, 0, 0};
  KZ_SLCluster cl;
  cl.SetPoints(2, pts, 50.0f, 50);
  ASSERT_EQ(cl.m_pLink.size(), 1u);
  EXPECT_FLOAT_EQ(cl.m_pLink[0].m_fLength, 3e5f);
  EXPECT_EQ(cl.m_pLink[0].m_A.m_nCount + cl.m_pLink[0].m_B.m_nCount, 2);
  // No link shorter than the last bin: the distribution stays 0 instead of 0/0.
  for (double v : cl.m_pDist) EXPECT_EQ(v, 0.0);
}

TEST(KZ_SLCluster, DistributionCorrelationSumAndLevel) {
  // Points at 0, 1, 3, 6, 10 merged at midpoints: links 1 (0-1, node 0.5), 2.5 (3 and
  // 0.5, node 1.75), 4 (6-10, node 8) and 6.25; their point counts 2, 3, 2 and 5.
  const double pts[15] = {0, 0, 0, 1, 0, 0, 3, 0, 0, 6, 0, 0, 10, 0, 0};
  KZ_SLCluster cl;
  cl.m_nWeight = 0;
  cl.SetPoints(5, pts, 10.0f, 10);
  const float lengths[4] = {1.0f, 2.5f, 4.0f, 6.25f};
  for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(cl.m_pLink[k].m_fLength, lengths[k]);
  // Bin b: index of the last link shorter than b, over the last bin's index 3.
  const double dist[10] = {0, 0, 0, 1 / 3.0, 1 / 3.0, 2 / 3.0, 2 / 3.0, 1, 1, 1};
  for (int b = 0; b < 10; ++b) EXPECT_DOUBLE_EQ(cl.m_pDist[b], dist[b]) << b;
  ASSERT_NE(cl.m_pColumn, nullptr);
  EXPECT_EQ(cl.m_pColumn->m_strTitle, "PDF");
  EXPECT_EQ(cl.m_pColumn->m_nCount, 10);
  EXPECT_EQ(cl.m_pColumn->m_pData, cl.m_pDist.data());
  EXPECT_DOUBLE_EQ(cl.m_pColumn->m_dStep, 1.0);

  const double r[3] = {0.5, 2.5, 100.0};
  double out[3];
  cl.LogCorrelationSum(r, out, 3);
  EXPECT_NEAR(out[0], -20.0, 1e-9);
  EXPECT_NEAR(out[1], std::log10(2.0 / 12.0), 1e-12);
  EXPECT_EQ(out[2], 0.0);  // log10(1 + 1e-20)

  // Level 0.5 lies between bins 4 (1/3) and 5 (2/3): 4.5 bins, times the cube root of 5.
  EXPECT_NEAR(cl.LinkLengthAtLevel(0.5f), 4.5 * std::cbrt(5.0), 1e-5);
  EXPECT_EQ(cl.LinkLengthAtLevel(-1.0f), 0.0f);
  EXPECT_NEAR(cl.LinkLengthAtLevel(2.0f), 10.0 * std::cbrt(5.0), 1e-5);
  KZ_SLCluster empty;
  EXPECT_EQ(empty.LinkLengthAtLevel(0.5f), 0.0f);
}
