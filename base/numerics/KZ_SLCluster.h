// Hierarchical clustering of 3-D points by repeatedly merging the closest pair of the
// working list (the merged node replaces both at their weighted mean), with the lengths
// of the links, their cumulative distribution, a logarithmic correlation sum over radii
// and the link length at which the distribution reaches a level.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/numerics/KZ_Point3D.h"
#include "base/types/KZ_Var1D.h"

struct KZ_ClusterNode {
  KZ_Point3D m_Pos;
  std::int32_t m_nCount = 1;  // input points the node stands for
  std::int32_t m_nId = -1;    // -1 for an input point, else the index of the link that made it
};

struct KZ_ClusterLink {
  KZ_ClusterNode m_A;  // the two nodes as they were before the merge
  KZ_ClusterNode m_B;
  float m_fLength = 0.0f;
};

class KZ_SLCluster {
 public:
  std::vector<KZ_ClusterNode> m_pNode;  // working list
  std::int32_t m_nLinks = 0;            // n - 1
  std::vector<KZ_ClusterLink> m_pLink;  // in merge order
  std::vector<double> m_pDist;          // link-length distribution, one value per bin
  float m_fMaxDist = 50.0f;
  std::int32_t m_nBins = 50;
  std::unique_ptr<KZ_Var1D> m_pColumn;  // the distribution as the column "PDF"
  // Merge weighting: 1 by the numbers of points, otherwise the midpoint.
  std::int32_t m_nWeight = 1;
  std::string m_strWeight[3] = {"0:no weight", "1:num. of points", "2:size of cluster"};

  KZ_SLCluster() = default;
  virtual ~KZ_SLCluster() = default;
  KZ_SLCluster(const KZ_SLCluster&) = delete;
  KZ_SLCluster& operator=(const KZ_SLCluster&) = delete;

  // Nodes from the n points xyz[3i..3i+2], the n - 1 merges, then the distribution.
  void SetPoints(int n, const double xyz[], float maxDist, int nBins);
  void MergeClosest();
  // Bin b of nBins over [0, maxDist): the merge index of the last link shorter than
  // b maxDist / nBins (0 when none), divided by the last bin's value when that is not 0.
  void BuildLinkDistribution(float maxDist, int nBins);
  // out[k] = log10(W(r[k]) / W(r[m-1]) + 1e-20), W(r) the summed point counts of the
  // links shorter than r (-20 everywhere when no link is shorter than r[m-1]).
  void LogCorrelationSum(const double r[], double out[], int m) const;
  // Length where the distribution reaches the level, interpolated between bins and scaled
  // by the cube root of the number of points; 0 without a distribution or when the first
  // bin already reaches the level, maxDist times that root when no bin reaches it.
  float LinkLengthAtLevel(float level) const;
};
