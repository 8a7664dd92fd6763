// Series exports of the document: KV text tables (version 1) for the plotting program.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "aecore/catalogue/AEExportFile.h"
#include "aecore/document/TremviaDoc.h"
#include "aecore/document/TremviaDoc_exportutil.h"
#include "base/numerics/KZ_Stati.h"
#include "platform/UiServices.h"

using aedoc::ChannelValue;
using aedoc::HasSeries;

namespace {

bool AllFinite(std::initializer_list<double> v) {
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

void WarnWithoutLoading(const CTremviaDoc& d) {
  bool stress = d.m_pStress && d.m_pStress->m_nSamples > 0;
  if (!stress && !HasSeries(d.m_pTS.get())) plat::AfxMessageBox("No SS data loadede", MB_OK);
}

// The stress file keeps the axial stress in units of 0.1 MPa; the tables write MPa.
constexpr double kStressFileMPa = 0.1;

// Axial stress (MPa) at catalogue time tM: the series' channel 0, else the stress file,
// else 1.
double AxialStress(const CTremviaDoc& d, double tM, double offTS) {
  if (HasSeries(d.m_pTS.get())) {
    int i = 0;
    return d.m_pTS->ValueAtTime((tM + offTS) * 1000.0, 0, &i);
  }
  if (d.m_pStress && d.m_pStress->m_nSamples > 1)
    return d.m_pStress->GetStress(static_cast<int>(tM)) * kStressFileMPa;
  return 1.0;
}

}  // namespace

int CTremviaDoc::SaveRV(const std::string& path, int minArrivals, float maxDistance) {
  CAEHypo& h = *m_pHypo;
  AERecordKeeper keep(h);
  const double off = h.PeakOffset();
  const double t1 = off + m_fTimeStart, t2 = t1 + m_fTimeSpan;
  aedoc::FaultFrame fr(h.m_fFaultAzimuth, h.m_fFaultDip);
  std::string rows;
  int nRows = 0;
  for (const auto& e : m_EventList) {
    if (e->time < t1) continue;
    if (e->time > t2) break;
    if (e->arrivals < minArrivals) continue;
    const float d[3] = {e->x - h.m_fFaultX, e->y - h.m_fFaultY, e->z - h.m_fFaultZ};
    if (std::fabs(fr.Dot(d, fr.a)) > maxDistance) continue;
    h.GetAEH(e->record);
    const double M = 0.25 * h.m_Rec.nPeakLevel;
    rows += plat::Format("%013.6f %d %6.2f %6.2f %4.2f %9.4f\n", e->time, e->record,
                         fr.Dot(d, fr.n), fr.Dot(d, fr.b), M, std::pow(10.0, 1.5 * M));
    ++nRows;
  }
  AEExportFile out(path);
  out.Printf("KVDATA01 RV data of %s\n", h.m_strTitle.c_str());
  out.Printf("SAMPLES %d\n", nRows);
  out.Printf("Time(sec)\tAEn\tR(mm)\tV(mm)\tM\te\n");
  out.Text() += rows;
  return out.Commit() ? 1 : 0;
}

int CTremviaDoc::SaveBValueTL(const std::string& path, int nB, float Mmax, float q, bool withShear,
                              float angle) {
  if (nB < 4) {
    plat::AfxMessageBox(plat::Format("b-value series: a window of %d peaks is too short, at least "
                                     "4 peaks are needed.",
                                     nB),
                        MB_ICONEXCLAMATION);
    return 0;
  }
  WarnWithoutLoading(*this);
  const CAEHypo& h = *m_pHypo;
  const CAEPeak& pk = *m_pPeak[0];
  const double wStart = m_fTimeStart, wEnd = m_fTimeStart + m_fTimeSpan;
  const double offTS = aedoc::SeriesOffset(h, m_pTS.get());
  const double theta = angle * 0.017453292519943295;
  const float sn = static_cast<float>(std::sin(theta)), cs = static_cast<float>(std::cos(theta));
  AEExportFile out(path);
  out.Printf("KVDATA01 %s, b:nB=%d TL:Mmax=%3.1f V:q=%3.1f\n", h.m_strTitle.c_str(), nB, Mmax, q);
  out.Text() += aedoc::StartTimeLine(h, wStart);
  const std::size_t samplesAt = out.Size();
  out.Printf("SAMPLES %05d\n", 0);
  out.Printf(
      withShear
          ? "Time(sec)\tA.Stress\tS.Stress,MPa\tbML(cir)\tlog(Tl)\tbLS\tbLSerr\tRate\tV-rate\n"
          : "Time(sec)\tA.Stress,MPa\tbML(cir)\tlog(Tl)\tbLS\tbLSerr\tRate\tV-rate\n");
  int rows = 0;
  const int count = pk.m_nCount;
  for (int i = 0; i < count - nB; i += nB / 4) {
    const double tS = pk.GetTime(i);
    if (tS > wEnd) break;
    const double tE = pk.GetTime(i + nB);
    if (tE < wStart) continue;
    int cum[CAEPeak::kLevelSlots];
    double logN, bML, relErr, aLS, bLS, bLSerr, rate, vrate;
    int first = 0, N = 0;
    pk.WindowStatistics(tS, tE, cum, &logN, &bML, &relErr, &aLS, &bLS, &bLSerr, &rate, &vrate, q,
                        &first, &N);
    if (N == 0) continue;  // no peak in the window: no statistics to show
    const double tM = pk.GetTime(i + nB / 2);
    const double logTl = std::log10(tE - tS) + Mmax * bML - logN;
    double A = 1.0, S = 1.0;
    if (HasSeries(m_pTS.get())) {
      const double ms = (tM + offTS) * 1000.0;
      int idx = 0;
      A = m_pTS->ValueAtTime(ms, 0, &idx);
      const double P = m_pTS->ValueAtTime(ms, 1, &idx);
      S = (A - P) * sn * cs;
    } else if (m_pStress && m_pStress->m_nSamples > 1) {
      A = m_pStress->GetStress(static_cast<int>(tM)) * kStressFileMPa;
    }
    if (!AllFinite({tM, A, S, bML, logTl, bLS, bLSerr, rate, vrate})) continue;
    if (withShear)
      out.Printf("%013.6f\t%06.2f\t%06.2f\t%04.2f\t%6.3f\t%04.2f\t%04.2f\t%9.2f\t%9.2f\n", tM, A, S,
                 bML, logTl, bLS, bLSerr, rate, vrate);
    else
      out.Printf("%013.6f\t%06.2f\t%04.2f\t%6.3f\t%04.2f\t%04.2f\t%9.2f\t%9.2f\n", tM, A, bML,
                 logTl, bLS, bLSerr, rate, vrate);
    ++rows;
  }
  out.Text().replace(samplesAt, 14, plat::Format("SAMPLES %05d\n", rows));
  return out.Commit() ? 1 : 0;
}

int CTremviaDoc::SaveBValueD(const std::string& path, int nD, float Mmax, float q,
                             float clusterDistance) {
  WarnWithoutLoading(*this);
  const CAEHypo& h = *m_pHypo;
  const CAEPeak& pk = *m_pPeak[0];
  const double off = h.PeakOffset();
  const double wStart = m_fTimeStart, wEnd = m_fTimeStart + m_fTimeSpan;
  const double offTS = aedoc::SeriesOffset(h, m_pTS.get());
  AEExportFile out(path);
  out.Printf("KVDATA01 %s, b:nD=%d TL:Mmax=%3.1f V:q=%4.2f\n", h.m_strTitle.c_str(), nD, Mmax, q);
  out.Text() += aedoc::StartTimeLine(h, wStart);
  const std::size_t samplesAt = out.Size();
  out.Printf("SAMPLES %05d\n", 0);
  out.Printf(
      "Time(sec)\tA.Stress\tbML\tbMLerr\tlog(Tl)\tbLS\tbLSerr\tD(q=2)\tDerr)\tC.Len\tRate\tV-"
      "rate\n");
  int rows = 0;
  double t = wStart, u = wEnd;
  double logR[41], G[6][41];
  while (true) {
    double t1 = t + off, t2 = u + off;
    float L = 0.0f;
    int nR = 0;
    const int n = FractalDimension(&L, logR, G, &nR, 2, 4, &t1, &t2, nD, 8, clusterDistance);
    if (n < nD / 2 || n == 0) break;
    int cum[CAEPeak::kLevelSlots];
    double logN, bML, relErr, aLS, bLS, bLSerr, rate, vrate;
    int first = 0, N = 0;
    pk.WindowStatistics(t1, t2, cum, &logN, &bML, &relErr, &aLS, &bLS, &bLSerr, &rate, &vrate, q,
                        &first, &N);
    const double logTl = std::log10(t2 - t1) + Mmax * bML - logN;
    t1 -= off;
    t2 -= off;
    const double tM = pk.GetTime(first + N / 2);
    double D = 0.0, Derr = 0.0, a0 = 0.0, siga = 0.0;
    KZ_Stati::FitLine(logR + 8, G[2] + 8, 21, nullptr, &a0, &D, &siga, &Derr, nullptr, nullptr,
                      nullptr);
    const double A = AxialStress(*this, tM, offTS);
    const double bMLerr = N > 0 ? 1.0 / std::sqrt(static_cast<double>(N)) : 0.0;
    if (N > 0 && AllFinite({tM, A, bML, logTl, bLS, bLSerr, D, Derr, rate, vrate})) {
      out.Printf(
          "%013.6f\t%06.2f\t%04.2f\t%05.3f\t%6.3f\t%04.2f\t%04.2f\t%04.2f\t%04.2f\t%6.4f\t%9."
          "2f\t%9.2f\n",
          tM, A, bML, bMLerr, logTl, bLS, bLSerr, D, Derr, static_cast<double>(L), rate, vrate);
      ++rows;
    }
    // A window that does not move on (all its events at one time) would repeat for ever.
    if (!(t2 > t1)) break;
    t = t1 + (t2 - t1) * 0.25;
    u = t2;
    if (!(t2 <= wEnd)) break;
  }
  out.Text().replace(samplesAt, 14, plat::Format("SAMPLES %05d\n", rows));
  return out.Commit() ? 1 : 0;
}

int CTremviaDoc::SaveAERates(const std::string& path, int rowsPerSecond) {
  if (rowsPerSecond < 1) return 0;
  plat::CWaitCursor wait;
  const CAEHypo& h = *m_pHypo;
  const double off = h.PeakOffset();
  const double wStart = m_fTimeStart, wLen = m_fTimeSpan;
  const double dt = 1.0 / rowsPerSecond;
  const int nBins = static_cast<int>(std::trunc(wLen)) * rowsPerSecond;
  const KZ_TSdata* ts = HasSeries(m_pTS.get()) ? m_pTS.get() : nullptr;
  const double offTS = aedoc::SeriesOffset(h, ts);
  int rows = nBins;
  if (ts) {
    const double last = ts->m_pTime[ts->m_nSamples - 1];
    rows = 0;
    while (rows < nBins && !(last < ((rows + 0.5) * dt + wStart + offTS) * 1000.0)) ++rows;
  }
  std::vector<int> all(static_cast<std::size_t>(std::max(nBins, 0) + 10), 0);
  std::vector<int> located(all.size(), 0);
  for (const auto& e : m_EventList) {
    const double tau = e->time - off - wStart;
    if (tau < 0.0) continue;
    if (tau > wLen) break;
    const int bin = static_cast<int>(tau * rowsPerSecond);
    if (bin < 0 || bin >= static_cast<int>(all.size())) continue;
    all[bin] += 1;
    if (e->arrivals > 4) located[bin] += 1;
  }
  int disp = -1, ae1 = -1, ae2 = -1;
  if (ts) {
    auto named = [&](int c, const char* part) {
      return std::string(ts->m_pChannel[c].szName, strnlen(ts->m_pChannel[c].szName, 64))
                 .find(part) != std::string::npos;
    };
    for (int c = 2; c < ts->m_nChannels; ++c)
      if (named(c, "isp")) disp = c;
    for (int c = 2; c < ts->m_nChannels && ae1 < 0; ++c)
      if (named(c, "AE")) ae1 = c;
    for (int c = ae1 + 1; ae1 >= 0 && c < ts->m_nChannels && ae2 < 0; ++c)
      if (named(c, "AE")) ae2 = c;
  }
  AEExportFile out(path);
  out.Printf("KVDATA01 AE rates of %s\n", h.m_strTitle.c_str());
  out.Text() += aedoc::StartTimeLine(h, wStart);
  out.Printf("SAMPLES %d\n", rows);
  out.Printf(
      "Time(sec) A.Load C.P.(MPa) A.Disp(um) AE#1 AE#2 Rate(#1) Rate(#2) Rate(Wave) Rate(Loc)\n");
  double disp0 = 0.0;
  int prev1 = 0, prev2 = 0;
  for (int k = 0; k < rows; ++k) {
    const double tk = (k + 0.5) * dt;
    double load = 0.0, pressure = 0.0, d = 0.0;
    int c1 = 0, c2 = 0;
    if (ts) {
      int i = 0;
      load = ts->ValueAtTime((tk + wStart + offTS) * 1000.0, 0, &i);
      pressure = ChannelValue(*ts, 1, i);
      d = ChannelValue(*ts, disp, i);
      if (k == 0) disp0 = d;
      d -= disp0;
      c1 = static_cast<int>(ChannelValue(*ts, ae1, i));
      c2 = static_cast<int>(ChannelValue(*ts, ae2, i));
    }
    out.Printf("%013.6f %.4f %.4f %.2f %d %d %d %d %d %d\n", tk, load, pressure, d, c1, c2,
               c1 - prev1, c2 - prev2, all[k], located[k]);
    prev1 = c1;
    prev2 = c2;
  }
  return out.Commit() ? 1 : 0;
}

int CTremviaDoc::SaveSS(const std::string& path) {
  const CAEHypo& h = *m_pHypo;
  const double wStart = m_fTimeStart, wLen = m_fTimeSpan;
  if (HasSeries(m_pTS.get())) {
    const double offTS = aedoc::SeriesOffset(h, m_pTS.get());
    return m_pTS->WriteKVText(path, (offTS + wStart) * 1000.0, (offTS + wStart + wLen) * 1000.0)
               ? 1
               : 0;
  }
  if (!m_pStress) {
    plat::AfxMessageBox("No stress-strain data loaded: nothing to save.", MB_ICONEXCLAMATION);
    return 0;
  }
  const CAEStress& s = *m_pStress;
  const CAEPeak& pk = *m_pPeak[0];
  AEExportFile out(path);
  out.Printf("KVDATA01 SS data of %s\n", h.m_strTitle.c_str());
  out.Text() += aedoc::StartTimeLine(h, wStart);
  out.Printf("SAMPLES %d\n", s.m_nSamples);
  out.Printf("Time(sec)    A.Stress A.Strain C.Strain V.Strain AEnum\n");
  // Mean of the present gauges of one kind (even: axial, odd: circumferential); a missing
  // reading would otherwise pull the mean towards its marker.
  auto mean = [&](int r, int parity) {
    int sum = 0, n = 0;
    for (int g = parity; g < 12; g += 2) {
      const std::int16_t v = s.m_pStrain[g][r];
      if (v == CAEStress::kMissing) continue;
      sum += v;
      ++n;
    }
    return n > 0 ? sum / n : static_cast<int>(CAEStress::kMissing);
  };
  int aeNum = 0, k = 0;
  for (int r = 0; r < s.m_nSamples; ++r) {
    const double t = static_cast<double>(s.m_nInterval) * r;
    while (k < pk.m_nCount && pk.GetTime(k) <= t) {
      if (pk.m_pFlag[k] != 0) ++aeNum;
      ++k;
    }
    out.Printf("%013.6f %05d %05d %05d %05d %06d\n", t, s.m_pAxialStress[r], mean(r, 0), mean(r, 1),
               s.m_pVolStrain[r], aeNum);
  }
  return out.Commit() ? 1 : 0;
}
