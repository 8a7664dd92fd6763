// Frequency-magnitude statistics of the listed events.
#include <algorithm>
#include <cmath>

#include "aecore/catalogue/AEExportFile.h"
#include "aecore/catalogue/AEHypo.h"
#include "base/numerics/KZ_Stati.h"
#include "platform/Runtime.h"

double CAEHypo::PeakOffset() const {
  auto start = plat::MakeLocalTime(m_tmStart);
  auto ref = plat::MakeLocalTime(m_tmRef);
  if (!start || !ref) return 0.0;
  return static_cast<double>(*start - *ref);
}

namespace {

// The magnitude of a listed event in the statistics' mode (1: from the corner frequency of
// its record, read into *rec; a record that cannot be read is taken as the last one read),
// or false when the event does not count: too few arrivals, or no corner frequency.
bool EventMagnitude(CAEHypo& h, int mode, const AEEventEntry& e, AEHRecord* rec, double* m) {
  if (e.arrivals < h.m_nMinArrivals) return false;
  *m = e.Mw;
  if (mode != 1) return true;
  h.GetAEH(e.record, rec);
  if (rec->fFc < 0.01f) return false;
  *m = h.m_fMagFcSlope * std::log10(static_cast<double>(rec->fFc)) + h.m_fMagFcConst;
  return true;
}

}  // namespace

void CAEHypo::MagnitudeWindow(int mode, const AEEventList& list, double* lo, double* hi) {
  *lo = std::min(m_fMagMin, m_fMagMax);
  *hi = std::max(m_fMagMin, m_fMagMax);
  if (m_bMagLimitsGiven || m_fMagMin != kMagMinDefault || m_fMagMax != kMagMaxDefault) return;
  // The defaults fit no experiment in particular and may cut away most of a catalogue,
  // which biases the b-value: without stated limits the window is the catalogue's own.
  AERecordKeeper keep(*this);
  AEHRecord rec = m_Rec;
  double a = HUGE_VAL, b = -HUGE_VAL, m = 0.0;
  for (const auto& e : list) {
    if (!EventMagnitude(*this, mode, *e, &rec, &m) || !std::isfinite(m)) continue;
    a = std::min(a, m);
    b = std::max(b, m);
  }
  if (a <= b) {
    *lo = a;
    *hi = b;
  }
}

int CAEHypo::BValue(int mode, const AEEventList& list, double t1, double t2, int counts[30],
                    double* log10N, double* bML, double* relErr, double* a, double* b, double* sigb,
                    double* logRate, double* energyRate, double energyExp) {
  constexpr int kBins = 30;
  if (list.size() < 10) return 0;
  double Mmin = 0.0, Mmax = 0.0;
  MagnitudeWindow(mode, list, &Mmin, &Mmax);
  const double w = (Mmax - Mmin) / kBins;
  std::fill(counts, counts + kBins, 0);
  int N = 0;
  double S = 0.0, E = 0.0;
  AERecordKeeper keep(*this);
  AEHRecord rec = m_Rec;
  for (const auto& e : list) {
    if (e->time < t1) continue;
    if (e->time > t2) break;
    // Records are read into a copy: the statistics must not replace the record being edited.
    double m = 0.0;
    if (!EventMagnitude(*this, mode, *e, &rec, &m)) continue;
    if (m < Mmin || m > Mmax) continue;
    N += 1;
    S += m - Mmin;
    E += std::pow(10.0, energyExp * m);
    const int j = w > 0.0 ? static_cast<int>(std::floor((m - Mmin) / w)) : 0;
    for (int i = 0; i < std::min(j, kBins); ++i) counts[i] += 1;
  }
  *log10N = N > 0 ? std::log10(static_cast<double>(N)) : 0.0;
  // Events all at the lower bound give no finite b-value: 0 stands for none.
  *bML = S > 0.0 ? N / (std::log(10.0) * S) : 0.0;
  *relErr = N > 0 ? 1.0 / std::sqrt(static_cast<double>(N)) : 0.0;
  if (a) {
    double x[kBins], y[kBins];
    int np = 0;
    while (np < kBins && counts[np] >= 1) {
      x[np] = Mmin + (np + 0.5) * w;
      y[np] = std::log10(static_cast<double>(counts[np]));
      ++np;
    }
    double slope = 0.0, siga = 0.0, sb = 0.0, icpt = 0.0;
    if (KZ_Stati::FitLine(x, y, np, nullptr, &icpt, &slope, &siga, &sb, nullptr, nullptr,
                          nullptr)) {
      *a = icpt;
      if (b) *b = -slope;
      if (sigb) *sigb = sb;
    } else {
      *a = 0.0;
      if (b) *b = 0.0;
      if (sigb) *sigb = 0.0;
    }
  }
  const double span = t2 - t1;
  if (logRate) *logRate = (N > 0 && span > 0.0) ? std::log10(N / span) : 0.0;
  if (energyRate) *energyRate = span > 0.0 ? E / span : 0.0;
  return kBins;
}
