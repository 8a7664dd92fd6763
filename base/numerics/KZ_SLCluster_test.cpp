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

namespace {

// The merges as a plain search over all pairs for every merge: the earliest closest pair
// of the working list, both removed, the merged node appended.
std::vector<KZ_ClusterLink> ReferenceMerges(const std::vector<double>& xyz, int weight,
                                            KZ_ClusterNode* last) {
  std::vector<KZ_ClusterNode> nodes(xyz.size() / 3);
  for (std::size_t i = 0; i < nodes.size(); ++i)
    nodes[i].m_Pos = {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]};
  std::vector<KZ_ClusterLink> links;
  for (int k = 0; nodes.size() >= 2; ++k) {
    double best = INFINITY;
    std::size_t bi = 0, bj = 1;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      for (std::size_t j = i + 1; j < nodes.size(); ++j) {
        const double dx = nodes[i].m_Pos.x - nodes[j].m_Pos.x;
        const double dy = nodes[i].m_Pos.y - nodes[j].m_Pos.y;
        const double dz = nodes[i].m_Pos.z - nodes[j].m_Pos.z;
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < best) best = d2, bi = i, bj = j;
      }
    const KZ_ClusterNode a = nodes[bi], b = nodes[bj];
    links.push_back({a, b, static_cast<float>(std::sqrt(best))});
    const double w =
        weight == 1 ? static_cast<double>(a.m_nCount) / (a.m_nCount + b.m_nCount) : 0.5;
    KZ_ClusterNode merged;
    merged.m_Pos = {w * a.m_Pos.x + (1.0 - w) * b.m_Pos.x, w * a.m_Pos.y + (1.0 - w) * b.m_Pos.y,
                    w * a.m_Pos.z + (1.0 - w) * b.m_Pos.z};
    merged.m_nCount = a.m_nCount + b.m_nCount;
    merged.m_nId = k;
    nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(bj));
    nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(bi));
    nodes.push_back(merged);
  }
  if (!nodes.empty()) *last = nodes[0];
  return links;
}

void ExpectSameNode(const KZ_ClusterNode& got, const KZ_ClusterNode& ref, int k) {
  EXPECT_EQ(got.m_Pos.x, ref.m_Pos.x) << k;
  EXPECT_EQ(got.m_Pos.y, ref.m_Pos.y) << k;
  EXPECT_EQ(got.m_Pos.z, ref.m_Pos.z) << k;
  EXPECT_EQ(got.m_nCount, ref.m_nCount) << k;
  EXPECT_EQ(got.m_nId, ref.m_nId) << k;
}

}  // namespace

TEST(KZ_SLCluster, MergesEqualTheAllPairsSearch) {
  // Random clouds, and integer grids with duplicates where many pairs are equally close,
  // so that the choice among ties shows.
  unsigned state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 8) & 0xffff;
  };
  for (int c = 0; c < 8; ++c) {
    const int n = 2 + c * 23;
    std::vector<double> xyz;
    for (int i = 0; i < 3 * n; ++i)
      xyz.push_back(c % 2 ? static_cast<double>(next() % 4) : next() / 655.36 - 50.0);
    for (int weight : {0, 1}) {
      KZ_SLCluster cl;
      cl.m_nWeight = weight;
      cl.SetPoints(n, xyz.data(), 50.0f, 50);
      KZ_ClusterNode last;
      const std::vector<KZ_ClusterLink> ref = ReferenceMerges(xyz, weight, &last);
      ASSERT_EQ(cl.m_pLink.size(), ref.size());
      for (std::size_t k = 0; k < ref.size(); ++k) {
        ExpectSameNode(cl.m_pLink[k].m_A, ref[k].m_A, static_cast<int>(k));
        ExpectSameNode(cl.m_pLink[k].m_B, ref[k].m_B, static_cast<int>(k));
        ASSERT_EQ(cl.m_pLink[k].m_fLength, ref[k].m_fLength) << c << " " << weight << " " << k;
      }
      ASSERT_EQ(cl.m_pNode.size(), 1u);
      ExpectSameNode(cl.m_pNode[0], last, -1);
    }
  }
}
