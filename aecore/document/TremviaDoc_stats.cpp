// Catalogue statistics of the document: the views' selection rule, generalized
// correlation integrals of the hypocentres and the cumulative peak energy.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_SLCluster.h"

namespace {
constexpr int kRadii = 41;
constexpr int kExponents = 14, kSlots = kExponents << 8;

// The bin of the squared distance from (xa, ya, za) to each point b into k[b] (see
// FractalDimension); no branches, so that it runs four points a step where the machine
// has AVX2 (the variant is picked at run time).
__attribute__((target_clones("avx2", "default"))) void BinDistances(
    const double* x, const double* y, const double* z, int n, double xa, double ya, double za,
    const std::int64_t* below, const double* r2x, double top, int* k) {
  for (int b = 0; b < n; ++b) {
    const double dx = xa - x[b], dy = ya - y[b], dz = za - z[b];
    // Written so that a distance that is not a number falls to 1, as it falls in the
    // first bin.
    double d2 = dx * dx + dy * dy + dz * dz;
    d2 = d2 >= 1.0 ? d2 : 1.0;
    d2 = d2 < top ? d2 : top;
    const std::int64_t slot =
        static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(d2) >> 44) - (1023 << 8);
    const std::int64_t k0 = below[slot];
    k[b] = static_cast<int>(k0 + (r2x[k0] < d2));
  }
}
}  // namespace

bool CTremviaDoc::IsSelectedEvent(const AEEventEntry& e, int minArrivals) const {
  const CAEHypo& h = *m_pHypo;
  if (e.arrivals < minArrivals) return false;
  if (e.flags != 0 && (e.flags & h.m_nClassMask) == 0) return false;
  if ((e.flags & AEH_FLAG_DETECTED) && e.CC < h.m_fMinCC) return false;
  const double k = 0.5 + 0.5 * h.m_fAirMargin;
  if (std::fabs(e.x) > k * h.m_fSizeX || std::fabs(e.y) > k * h.m_fSizeY ||
      std::fabs(e.z) > k * h.m_fSizeZ)
    return false;
  if (h.m_nShape == 0) {
    const double r = k * h.m_fDiameter;
    if (static_cast<double>(e.x) * e.x + static_cast<double>(e.y) * e.y > r * r) return false;
  }
  return true;
}

int CTremviaDoc::CountEventsFrom(int minArrivals, double* t1, double* t2, int maxCount) {
  if (*t1 > *t2) {
    *t1 = m_fTimeStart;
    *t2 = m_fTimeStart + m_fTimeSpan;
  }
  if (m_EventList.empty()) return 0;
  int n = 0;
  for (const auto& e : m_EventList) {
    *t2 = e->time;
    if (e->time >= *t1 && IsSelectedEvent(*e, minArrivals)) {
      ++n;
      if (maxCount > 0 && n >= maxCount) break;
    }
  }
  return n;
}

int CTremviaDoc::CollectSelectedEvents(KZ_Point3D out[], int capacity, int minArrivals, double t1,
                                       double t2) {
  if (t2 < t1) {
    t1 = m_fTimeStart;
    t2 = m_fTimeStart + m_fTimeSpan;
  }
  int n = 0;
  for (const auto& e : m_EventList) {
    if (e->time < t1 || e->arrivals < minArrivals) continue;
    if (e->time > t2) break;
    if (!IsSelectedEvent(*e, minArrivals)) continue;
    if (n >= capacity) break;
    out[n].x = e->x;
    out[n].y = e->y;
    out[n].z = e->z;
    ++n;
  }
  return n;
}

int CTremviaDoc::FractalDimension(float* L, double logR[41], double G[][41], int* nR, int qFirst,
                                  int qLast, double* t1, double* t2, int maxCount, int minArrivals,
                                  float level) {
  const int n = CountEventsFrom(minArrivals, t1, t2, maxCount > 0 ? maxCount : 0);
  if (n < 10) return 0;
  std::vector<KZ_Point3D> p(static_cast<std::size_t>(n));
  const int got = CollectSelectedEvents(p.data(), n, minArrivals, *t1, *t2);
  if (got < 10) return 0;
  *nR = kRadii;
  double r[kRadii], r2[kRadii];
  for (int k = 0; k < kRadii; ++k) {
    r[k] = std::pow(10.0, 0.05 * k);
    r2[k] = r[k] * r[k];
  }

  // Single-link clustering of the first (at most) 1000 points.
  {
    const int m = std::min(got, 1000);
    std::vector<double> xyz(static_cast<std::size_t>(3 * m));
    for (int i = 0; i < m; ++i) {
      xyz[3 * i] = p[i].x;
      xyz[3 * i + 1] = p[i].y;
      xyz[3 * i + 2] = p[i].z;
    }
    KZ_SLCluster sl;
    sl.SetPoints(m, xyz.data(), 50.0f, 50);
    sl.LogCorrelationSum(r, G[qLast + 1], kRadii);
    *L = sl.LinkLengthAtLevel(level) / 100.0f;
  }

  // Each point's neighbours binned by the first radius index whose circle holds them;
  // a point then gains one neighbour per pair from that radius on. Distances are the true
  // ones, and each point counts all the others. Every point bins all others on its own
  // (each pair is measured twice, exactly alike), so the rows fill in parallel without
  // sharing, and the sums below run in the points' order as before.
  //
  // The bin of a squared distance d2 without a search: the radii squared lie in [1, 1e4],
  // so d2 clamped to [1, 2^14) has one of 14 binary exponents; its exponent and first 8
  // mantissa bits name a slot so narrow (a factor 1 + 1/256) that at most one radius
  // falls inside it. A table gives the number of radii below the slot, and one compare
  // with the next radius settles the rest.
  double r2x[kRadii + 1];
  std::copy(r2, r2 + kRadii, r2x);
  r2x[kRadii] = HUGE_VAL;
  std::vector<std::int64_t> below(kSlots);
  for (int slot = 0; slot < kSlots; ++slot) {
    const double lo = std::ldexp(1.0 + (slot & 255) / 256.0, slot >> 8);
    below[slot] = std::lower_bound(r2, r2 + kRadii, lo) - r2;
  }
  const double top = std::nextafter(std::ldexp(1.0, kExponents), 0.0);
  std::vector<double> px(static_cast<std::size_t>(got)), py(px), pz(px);
  for (int a = 0; a < got; ++a) {
    px[a] = p[a].x;
    py[a] = p[a].y;
    pz[a] = p[a].z;
  }
  std::vector<int> hist(static_cast<std::size_t>(got) * (kRadii + 1), 0);
  // Threads only where the pairs outweigh starting them (the series exports call this
  // for many small windows).
#pragma omp parallel if (got >= 2000)
  {
    std::vector<int> k(static_cast<std::size_t>(got));
#pragma omp for schedule(static)
    for (int a = 0; a < got; ++a) {
      BinDistances(px.data(), py.data(), pz.data(), got, px[a], py[a], pz[a], below.data(), r2x,
                   top, k.data());
      // Four part-histograms, so that neighbours in one bin do not wait on each other.
      int part[4][kRadii + 1] = {};
      int b = 0;
      for (; b + 4 <= got; b += 4) {
        ++part[0][k[b]];
        ++part[1][k[b + 1]];
        ++part[2][k[b + 2]];
        ++part[3][k[b + 3]];
      }
      for (; b < got; ++b) ++part[0][k[b]];
      int ha[kRadii + 1];
      for (int j = 0; j <= kRadii; ++j) ha[j] = part[0][j] + part[1][j] + part[2][j] + part[3][j];
      // The point itself (distance 0) landed in bin 0.
      --ha[0];
      std::copy(ha, ha + kRadii + 1, hist.data() + static_cast<std::size_t>(a) * (kRadii + 1));
    }
  }
  for (int q = qFirst; q <= qLast; q += 4) {
    if (q == 1) continue;  // the exponent 1 / (q - 1) is not defined
    for (int k = 0; k < kRadii; ++k) G[q][k] = 0.0;
  }
  const double others = got - 1;
  for (int a = 0; a < got; ++a) {
    const int* ha = hist.data() + static_cast<std::size_t>(a) * (kRadii + 1);
    int count = 0;
    for (int k = 0; k < kRadii; ++k) {
      count += ha[k];
      const double frac = count / others;
      for (int q = qFirst; q <= qLast; q += 4) {
        if (q == 1) continue;
        G[q][k] += std::pow(frac, q - 1);
      }
    }
  }
  for (int k = 0; k < kRadii; ++k) logR[k] = 0.05 * k;
  for (int q = qFirst; q <= qLast; q += 4) {
    if (q == 1) continue;
    for (int k = 0; k < kRadii; ++k)
      G[q][k] = std::log10(std::max(1e-8, std::pow(G[q][k] / got, 1.0 / (q - 1))));
  }
  return got;
}

int CTremviaDoc::PeakEnergyAtTimes(const double t[], double out[], int n, int /*p*/, float f) {
  if (n <= 0) return n;
  std::fill(out, out + n, 0.0);
  const CAEPeak& pk = *m_pPeak[0];
  double sum = 0.0;
  int j = 0;
  for (int k = 0; k < pk.m_nCount && j < n; ++k) {
    if (pk.m_pFlag[k] == 0) continue;
    const double tr = pk.m_pSec[k] + pk.m_pUSec[k] * 1e-6 - m_fTimeStart;
    if (tr < 0.0) continue;
    if (tr > m_fTimeSpan) break;
    sum += std::pow(10.0, 0.25 * pk.m_pLevel[k] * f);
    while (j < n && t[j] < tr) out[j++] = sum;
  }
  for (int k = 1; k < n; ++k)
    if (out[k] < out[k - 1]) out[k] = out[k - 1];
  KZ_Smooth3(out, n, 2);
  return n;
}
