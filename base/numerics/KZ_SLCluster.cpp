#include "base/numerics/KZ_SLCluster.h"

#include <cmath>
#include <limits>
#include <vector>

void KZ_SLCluster::SetPoints(int n, const double xyz[], float maxDist, int nBins) {
  m_pNode.clear();
  m_pLink.clear();
  for (int i = 0; i < n; ++i) {
    KZ_ClusterNode node;
    node.m_Pos.x = xyz[3 * i];
    node.m_Pos.y = xyz[3 * i + 1];
    node.m_Pos.z = xyz[3 * i + 2];
    m_pNode.push_back(node);
  }
  m_nLinks = n > 1 ? n - 1 : 0;
  MergeClosest();
  BuildLinkDistribution(maxDist, nBins);
}

namespace {

// Squared distance of two nodes, the first one earlier in the working list.
double Dist2(const KZ_ClusterNode& a, const KZ_ClusterNode& b) {
  const double dx = a.m_Pos.x - b.m_Pos.x;
  const double dy = a.m_Pos.y - b.m_Pos.y;
  const double dz = a.m_Pos.z - b.m_Pos.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace

void KZ_SLCluster::MergeClosest() {
  // Each merge takes the closest pair, the earliest in list order (first node, then second)
  // among equally close ones. Rather than comparing all pairs for every merge, each node
  // keeps its closest later node (the earliest of equally close ones); the pair sought is
  // that of the earliest node with the smallest such distance.
  //
  // Removing two nodes keeps the order of the others and the merged node goes last, so a
  // node's place in the list follows from the slot it was created in: input points take
  // slots 0..n-1, the merged nodes the slots after them in merge order.
  const int n = static_cast<int>(m_pNode.size());
  if (n < 2 || m_nLinks < 1) return;
  constexpr double kNone = std::numeric_limits<double>::infinity();
  std::vector<KZ_ClusterNode> slot(m_pNode);
  slot.reserve(static_cast<std::size_t>(2 * n));
  std::vector<char> alive(static_cast<std::size_t>(n), 1);
  std::vector<int> near(static_cast<std::size_t>(n), -1);  // closest later slot, -1 for none
  std::vector<double> nearD2(static_cast<std::size_t>(n), kNone);

  // The search starts from infinity so that pairs of any distance can be found.
  auto findNear = [&](int p) {
    near[p] = -1;
    nearD2[p] = kNone;
    for (int q = p + 1; q < static_cast<int>(slot.size()); ++q) {
      if (!alive[q]) continue;
      const double d2 = Dist2(slot[p], slot[q]);
      if (d2 < nearD2[p]) {
        nearD2[p] = d2;
        near[p] = q;
      }
    }
  };
  for (int p = 0; p < n; ++p) findNear(p);

  int m = n;  // nodes in the list
  for (int k = 0; k < m_nLinks && m >= 2; ++k) {
    const int slots = static_cast<int>(slot.size());
    double best = kNone;
    int bi = -1, bj = -1;
    for (int p = 0; p < slots; ++p) {
      if (alive[p] && nearD2[p] < best) {
        best = nearD2[p];
        bi = p;
        bj = near[p];
      }
    }
    if (bi < 0) {
      // No pair closer than infinity: the first two nodes of the list.
      for (int p = 0; p < slots && bj < 0; ++p)
        if (alive[p]) (bi < 0 ? bi : bj) = p;
    }
    KZ_ClusterLink link;
    link.m_A = slot[bi];
    link.m_B = slot[bj];
    link.m_fLength = static_cast<float>(std::sqrt(best));
    const KZ_ClusterNode a = slot[bi];
    const KZ_ClusterNode b = slot[bj];
    const double w =
        m_nWeight == 1 ? static_cast<double>(a.m_nCount) / (a.m_nCount + b.m_nCount) : 0.5;
    KZ_ClusterNode merged;
    merged.m_Pos.x = w * a.m_Pos.x + (1.0 - w) * b.m_Pos.x;
    merged.m_Pos.y = w * a.m_Pos.y + (1.0 - w) * b.m_Pos.y;
    merged.m_Pos.z = w * a.m_Pos.z + (1.0 - w) * b.m_Pos.z;
    merged.m_nCount = a.m_nCount + b.m_nCount;
    merged.m_nId = k;
    m_pLink.push_back(link);

    alive[bi] = alive[bj] = 0;
    slot.push_back(merged);
    alive.push_back(1);
    near.push_back(-1);
    nearD2.push_back(kNone);
    m -= 1;
    const int s = slots;
    for (int p = 0; p < s; ++p) {
      if (!alive[p]) continue;
      if (near[p] == bi || near[p] == bj) {
        findNear(p);  // lost its closest node; the merged one is among those searched
      } else {
        // The others keep theirs unless the merged node, the last one, is strictly closer.
        const double d2 = Dist2(slot[p], merged);
        if (d2 < nearD2[p]) {
          nearD2[p] = d2;
          near[p] = s;
        }
      }
    }
  }

  m_pNode.clear();
  for (std::size_t p = 0; p < slot.size(); ++p)
    if (alive[p]) m_pNode.push_back(slot[p]);
}

void KZ_SLCluster::BuildLinkDistribution(float maxDist, int nBins) {
  m_pColumn.reset();
  m_pDist.clear();
  m_fMaxDist = maxDist;
  m_nBins = nBins;
  if (nBins < 1) return;
  const float delta = maxDist / nBins;
  m_pDist.assign(static_cast<std::size_t>(nBins), 0.0);
  for (int b = 0; b < nBins; ++b) {
    const double limit = static_cast<double>(b) * delta;
    for (int k = static_cast<int>(m_pLink.size()) - 1; k >= 0; --k) {
      if (m_pLink[k].m_fLength < limit) {
        m_pDist[b] = k;
        break;
      }
    }
  }
  // A last bin of 0 (no link, or only the first, below it) cannot scale the others.
  const double last = m_pDist[nBins - 1];
  if (last != 0.0)
    for (double& v : m_pDist) v /= last;
  m_pColumn = std::make_unique<KZ_Var1D>();
  m_pColumn->Attach("PDF", "", m_pDist.data(), nullptr, nBins, 0, 0.0, 1.0, 1.0, 0, 0);
  m_pColumn->m_dStep = delta;
}

void KZ_SLCluster::LogCorrelationSum(const double r[], double out[], int m) const {
  if (m < 1) return;
  for (int k = 0; k < m; ++k) out[k] = 0.0;
  for (const KZ_ClusterLink& link : m_pLink) {
    const double w = link.m_A.m_nCount + link.m_B.m_nCount;
    for (int k = 0; k < m; ++k)
      if (link.m_fLength < r[k]) out[k] += w;
  }
  const double total = out[m - 1];
  for (int k = 0; k < m; ++k) out[k] = std::log10((total > 0.0 ? out[k] / total : 0.0) + 1e-20);
}

float KZ_SLCluster::LinkLengthAtLevel(float level) const {
  if (!m_pColumn || m_pDist.empty()) return 0.0f;
  const float root = std::cbrt(static_cast<float>(m_nLinks + 1));
  int b = 0;
  while (b < m_nBins && m_pDist[b] < level) ++b;
  if (b == 0) return 0.0f;
  if (b == m_nBins) return m_fMaxDist * root;
  const double vb = m_pDist[b], vp = m_pDist[b - 1];
  const float len = static_cast<float>(((level - vb) / (vb - vp) + b) * m_fMaxDist / m_nBins);
  return len * root;
}
