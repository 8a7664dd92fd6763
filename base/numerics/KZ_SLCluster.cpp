#include "base/numerics/KZ_SLCluster.h"

#include <cmath>
#include <limits>

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

void KZ_SLCluster::MergeClosest() {
  std::vector<KZ_ClusterNode>& nodes = m_pNode;
  for (int k = 0; k < m_nLinks && nodes.size() >= 2; ++k) {
    const int m = static_cast<int>(nodes.size());
    // The search starts from infinity so that pairs of any distance can be found.
    double best = std::numeric_limits<double>::infinity();
    int bi = 0, bj = 1;
    for (int i = 0; i < m; ++i) {
      for (int j = i + 1; j < m; ++j) {
        const double dx = nodes[i].m_Pos.x - nodes[j].m_Pos.x;
        const double dy = nodes[i].m_Pos.y - nodes[j].m_Pos.y;
        const double dz = nodes[i].m_Pos.z - nodes[j].m_Pos.z;
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < best) {
          best = d2;
          bi = i;
          bj = j;
        }
      }
    }
    KZ_ClusterLink link;
    link.m_A = nodes[bi];
    link.m_B = nodes[bj];
    link.m_fLength = static_cast<float>(std::sqrt(best));
    const KZ_ClusterNode& a = nodes[bi];
    const KZ_ClusterNode& b = nodes[bj];
    const double w =
        m_nWeight == 1 ? static_cast<double>(a.m_nCount) / (a.m_nCount + b.m_nCount) : 0.5;
    KZ_ClusterNode merged;
    merged.m_Pos.x = w * a.m_Pos.x + (1.0 - w) * b.m_Pos.x;
    merged.m_Pos.y = w * a.m_Pos.y + (1.0 - w) * b.m_Pos.y;
    merged.m_Pos.z = w * a.m_Pos.z + (1.0 - w) * b.m_Pos.z;
    merged.m_nCount = a.m_nCount + b.m_nCount;
    merged.m_nId = k;
    m_pLink.push_back(link);
    nodes.erase(nodes.begin() + bj);
    nodes.erase(nodes.begin() + bi);
    nodes.push_back(merged);
  }
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
