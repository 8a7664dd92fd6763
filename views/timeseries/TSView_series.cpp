// The series panels of the "TS" page: one panel per additional series, then the
// stress-strain group from the stress series of the side file or, without one, from the
// main series.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/plot/KZ_PolyPlot.h"
#include "platform/Strings.h"
#include "views/timeseries/TSView.h"

namespace {

void FrameSlot(plat::CDC* dc, int left, int bottom, int width, int height) {
  plat::CPen pen(PS_SOLID, 20, RGB(0, 0, 0));
  plat::CBrush hollow;
  hollow.CreateStockObject(NULL_BRUSH);
  const plat::CPen oldPen = dc->SelectObject(pen);
  const plat::CBrush oldBrush = dc->SelectObject(hollow);
  dc->Rectangle(left, bottom, left + width, bottom + height);
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
}

bool NameHas(const KZ_TSchannel& ch, const char* part) {
  return std::strstr(std::string(ch.szName, strnlen(ch.szName, sizeof ch.szName)).c_str(), part) !=
         nullptr;
}

// A polyline drawn in pieces: Break() ends the current piece, so a missing value leaves a
// gap.
class PieceLine {
 public:
  PieceLine(plat::CDC* dc, int width, COLORREF colour) : dc_(dc), pen_(PS_SOLID, width, colour) {}
  ~PieceLine() { Break(); }
  void Add(int x, int y) { pts_.push_back({x, y}); }
  void Break() {
    if (pts_.empty()) return;
    const plat::CPen old = dc_->SelectObject(pen_);
    dc_->Polyline(pts_.data(), static_cast<int>(pts_.size()));
    dc_->SelectObject(old);
    pts_.clear();
  }

 private:
  plat::CDC* dc_;
  plat::CPen pen_;
  std::vector<POINT> pts_;
};

// Points of a thinned curve: taken when x has moved on by `step` or y by `step` either way
// from the last point taken.
class Thinned {
 public:
  Thinned(int x0, int y0, int step, bool strict) : lx_(x0), ly_(y0), step_(step), strict_(strict) {}
  void Add(int x, int y) {
    const bool take = strict_ ? (x - lx_ > step_ || std::abs(y - ly_) > step_)
                              : (x - lx_ >= step_ || std::abs(y - ly_) >= step_);
    if (!take) return;
    list.AddPoint(x, y);
    lx_ = x;
    ly_ = y;
  }
  KZ_PolyPlot list;

 private:
  int lx_, ly_, step_;
  bool strict_;
};

}  // namespace

int CTSView::DrawAddTS(plat::CDC* dc, int y) {
  CTremviaDoc& doc = *GetData();
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), len = WindowLength();
  const std::int64_t start = ExperimentStart();
  for (const auto& up : doc.m_pAddTS) {
    if (!up) break;
    const KZ_TSdata& ts = *up;
    const double ta = static_cast<double>(start - ts.m_tStart) + ws + m_fTSOffset;
    const double tb = ta + len;
    const int slot = y - H - 500;
    y = slot;
    KZ_DrawTimeAxis(dc, left, slot, W, 0, -1, ws, len, &start, "");
    FrameSlot(dc, left, slot, W, H);
    if (!ts.m_pChannel || !ts.m_pTime) continue;
    int i0 = 0;
    while (i0 < ts.m_nSamples && static_cast<float>(ts.m_pTime[i0] * 0.001) < ta) ++i0;
    int i1 = i0;
    while (i1 < ts.m_nSamples && static_cast<float>(ts.m_pTime[i1] * 0.001) < tb) ++i1;
    const int n = i1 - i0;
    const RECT r{left, slot + H, left + W, slot};
    int drawn = 0;
    for (int c = 0; c < ts.m_nChannels; ++c) {
      const KZ_TSchannel& ch = ts.m_pChannel[c];
      if (!ch.nPlot) continue;
      if (n < 50)
        ts.DrawChannelPoints(dc, r, len, c, ta, i0, 25, ch.crColour);
      else
        ts.DrawChannel(dc, left, slot, W, H, len, c, ta, i0, false, 25, ch.crColour);
      const std::string name(ch.szName, strnlen(ch.szName, sizeof ch.szName));
      if (drawn == 0)
        KZ_DrawAxisY(dc, left, slot, H, 1, ch.fPlotMin, ch.fPlotMax, 10, name.c_str());
      else
        KZ_DrawAxisY(dc, left + W + (drawn - 1) * 1000, slot, H, -1, ch.fPlotMin, ch.fPlotMax, 10,
                     name.c_str());
      ++drawn;
    }
  }
  return y;
}

int CTSView::DrawSSPanels(plat::CDC* dc, int y) {
  CTremviaDoc& doc = *GetData();
  if (doc.m_pStress) return DrawStressGroup(dc, doc, y);
  if (doc.m_pTS) return DrawMainSeriesGroup(dc, doc, y);
  return y;
}

void CTSView::DrawPeakCount(plat::CDC* dc, CTremviaDoc& doc, int sb, double kN,
                            const plat::CPen& pen) {
  const CAEPeak* pk = doc.GetPeak(0);
  if (!pk || !std::isfinite(kN)) return;
  const double ws = WindowStart(), len = WindowLength();
  Thinned line(m_nPlotLeft, sb, 50, true);
  line.list.AddPoint(m_nPlotLeft, sb);
  int k = 0;
  for (int i = 0; i < pk->m_nCount; ++i) {
    if (pk->m_pFlag[static_cast<std::size_t>(i)] == 0) continue;
    const auto s = static_cast<std::size_t>(i);
    const double d = pk->m_pSec[s] + pk->m_pUSec[s] * 1e-6 - ws;
    if (d < 0) continue;
    if (d > len) break;
    line.Add(TS_Trunc(m_nPlotLeft + d * m_fTimeScale), std::min(TS_Trunc(sb + k * kN), 0));
    ++k;
  }
  const plat::CPen old = dc->SelectObject(pen);
  line.list.DrawCurrentPen(dc, true, false);
  dc->SelectObject(old);
}

void CTSView::DrawEventCounts(plat::CDC* dc, CTremviaDoc& doc, int sb, double kN, double ref,
                              int minArrivals) {
  if (!std::isfinite(kN)) return;
  const double len = WindowLength();
  Thinned events(m_nPlotLeft, sb, 50, true), records(m_nPlotLeft, sb, 50, true);
  events.list.AddPoint(m_nPlotLeft, sb);
  records.list.AddPoint(m_nPlotLeft, sb);
  int k = 0;
  bool first = true;
  std::int32_t firstRecord = 0;
  for (const auto& up : doc.m_EventList) {
    const AEEventEntry& e = *up;
    const double d = e.time - ref;
    if (d < 0) continue;
    if (d > len) break;
    const int x = TS_Trunc(m_nPlotLeft + d * m_fTimeScale);
    if (first) firstRecord = e.record;
    first = false;
    records.Add(x, std::min(TS_Trunc(sb + (e.record - firstRecord) * kN), 0));
    if (e.arrivals >= minArrivals) {
      ++k;
      events.Add(x, std::min(TS_Trunc(sb + k * kN), 0));
    }
  }
  events.list.Draw(dc, PS_SOLID, 20, RGB(0, 0, 0), true, false);
  records.list.Draw(dc, PS_SOLID, 20, RGB(0, 0, 255), true, false);
}

int CTSView::DrawStressGroup(plat::CDC* dc, CTremviaDoc& doc, int y) {
  const CAEStress& st = *doc.m_pStress;
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), len = WindowLength();
  const int sb1 = y - (H + 500), sb2 = y - 2 * (H + 500), sb3 = y - 3 * (H + 500);
  for (int sb : {sb1, sb2, sb3}) FrameSlot(dc, left, sb, W, H);
  const std::int64_t start = ExperimentStart();
  std::tm base = st.m_tmBase;
  base.tm_isdst = -1;
  const double ta =
      static_cast<double>(start - static_cast<std::int64_t>(std::mktime(&base))) + ws + m_fTSOffset;
  const int L = std::max(1, static_cast<int>(std::trunc(len)));
  const double kS = static_cast<double>(H) / (m_nStrainMax - m_nStrainMin);
  const double kP = static_cast<double>(H) / m_nStressMax;
  const double kPP = 0.1 * H / m_fPPMax;
  const double kN = static_cast<double>(H) / m_nAEMax;

  KZ_DrawAxisY(dc, left, sb1, H, 1, m_nStrainMin * 0.001f, m_nStrainMax * 0.001f, 10,
               "Strain, 1e-3");
  KZ_DrawAxisY(dc, left + W, sb1, H, -1, m_nStrainMin * 0.001f, m_nStrainMax * 0.001f, 10,
               "Strain, 1e-3");
  KZ_DrawAxisY(dc, left, sb2, H, 1, static_cast<float>(m_nStressMin),
               static_cast<float>(m_nStressMax), 10, "Pressure, MPa");
  KZ_DrawAxisY(dc, left + W, sb2, H, -1, 0.0f, static_cast<float>(m_nAEMax), 10, "AE Number");
  KZ_DrawAxisY(dc, left, sb3, H, 1, m_fPPMin, m_fPPMax, 10, "P.P., MPa");
  KZ_DrawAxisY(dc, left + W, sb3, H, -1, m_fPPMin, m_fPPMax, 10, "Pore Pressure, MPa");

  // Page x of sample i, or nothing outside the window.
  auto sampleX = [&](int i, int* x) {
    const int ti = static_cast<int>(std::trunc(static_cast<double>(i) * st.m_nInterval - ta));
    if (ti < 0 || ti > L) return false;
    *x = TS_Trunc(left + ti * m_fTimeScale);
    return true;
  };
  auto curve = [&](const std::vector<std::int16_t>& v, int from, int width, COLORREF colour,
                   bool gaps, auto yOf) {
    PieceLine line(dc, width, colour);
    for (int i = from; i < st.m_nSamples && i < static_cast<int>(v.size()); ++i) {
      const std::int16_t value = v[static_cast<std::size_t>(i)];
      if (gaps && value == CAEStress::kMissing) {
        line.Break();
        continue;
      }
      int x;
      if (!sampleX(i, &x)) continue;
      const double yy = yOf(value);
      if (std::isfinite(yy)) line.Add(x, TS_Trunc(yy));
    }
  };
  if (m_nStrainMax != m_nStrainMin) {
    auto strainY = [&](double v) { return sb1 + (v - m_nStrainMin) * kS; };
    for (int a = 0; a < 12; a += 2) curve(st.m_pStrain[a], 0, 25, RGB(0, 0, 255), true, strainY);
    for (int a = 1; a < 12; a += 2) curve(st.m_pStrain[a], 0, 25, RGB(255, 0, 255), true, strainY);
    curve(st.m_pVolStrain, 0, 40, RGB(255, 0, 0), false, strainY);
  }
  if (m_nStressMax != 0) {
    // The stress file keeps the axial stress in 0.1 MPa; the axis is in MPa.
    curve(st.m_pAxialStress, 1, 40, RGB(255, 0, 0), false,
          [&](double v) { return sb2 + v * 0.1 * kP; });
    curve(st.m_pPressure, 1, 20, RGB(64, 64, 64), false, [&](double v) { return sb2 + v * kP; });
  }
  if (m_fPPMax != 0) {
    curve(st.m_pValue3, 1, 20, RGB(0, 0, 125), false, [&](double v) { return sb3 + v * kPP; });
    curve(st.m_pValue4, 1, 20, RGB(0, 125, 0), false,
          [&](double v) { return sb3 + (v - m_fPPMin) * kPP; });
  }
  plat::CPen black(PS_SOLID, 20, RGB(0, 0, 0));
  DrawPeakCount(dc, doc, sb2, kN, black);
  DrawEventCounts(dc, doc, sb2, kN, static_cast<double>(start - ReferenceTime()) + ws, 5);
  // The pore-pressure slot is drawn whatever the shear switch says, so the page's time
  // axis, with its title and window start, goes below it: at the bottom of slot 2 it
  // would cross the pore-pressure plot and its labels would collide with that slot's.
  // It stands where this group's own axis would, so the group draws none of its own.
  return sb3;
}

int CTSView::DrawMainSeriesGroup(plat::CDC* dc, CTremviaDoc& doc, int y) {
  KZ_TSdata& ts = *doc.m_pTS;
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), len = WindowLength();
  const int sb1 = y - (H + 500), sb2 = y - 2 * (H + 500), sb3 = y - 3 * (H + 500);
  FrameSlot(dc, left, sb1, W, H);
  FrameSlot(dc, left, sb2, W, H);
  if (m_bShear) FrameSlot(dc, left, sb3, W, H);
  const std::int64_t start = ExperimentStart();
  const double ta = static_cast<double>(start - ts.m_tStart) + ws;
  const double kS = static_cast<double>(H) / (m_nStrainMax - m_nStrainMin);
  const double kP = static_cast<double>(H) / (m_nStressMax - m_nStressMin);
  const double kN = static_cast<double>(H) / m_nAEMax;
  KZ_DrawAxisY(dc, left, sb1, H, 1, m_nStrainMin * 0.001f, m_nStrainMax * 0.001f, 10,
               "Strain, 1e-3");
  KZ_DrawAxisY(dc, left + W, sb1, H, -1, static_cast<float>(m_nStressMin),
               static_cast<float>(m_nStressMax), 10, "Stress, MPa");
  if (!(static_cast<int>(m_fCPMin) == m_nStressMin && static_cast<int>(m_fCPMax) == m_nStressMax))
    KZ_DrawAxisY(dc, left + W + 1800, sb1, H, -1, m_fCPMin, m_fCPMax, 10, "C.Pressure, MPa");
  if (!ts.m_pChannel || !ts.m_pTime || ts.m_nSamples < 1) return m_bShear ? sb3 : sb2;

  const int nCh = ts.m_nChannels;
  auto ti = [&](int i) { return ts.m_pTime[i] * 0.001 - ta; };
  auto xOf = [&](int i) { return TS_Trunc(left + ti(i) * m_fTimeScale); };
  int i0 = 0;
  while (i0 < ts.m_nSamples && static_cast<float>(ts.m_pTime[i0] * 0.001) < ta) ++i0;
  int i1 = i0;
  while (i1 < ts.m_nSamples - 1 && !(static_cast<float>(ti(i1)) > len)) ++i1;
  i1 = std::min(i1, ts.m_nSamples - 1);
  ts.m_nViewFirst = i0;
  ts.m_nViewLast = i1;
  const bool zero = m_bZeroOffset != 0;
  auto raw = [&](int c, int i) { return ts.m_ppData[c][i] * ts.m_pChannel[c].dScale; };

  // The strain run: from channel 2 on, consecutive channels named "Strain".
  int s = 2;
  while (s < nCh && !NameHas(ts.m_pChannel[s], "Strain")) ++s;
  int e = s;
  while (e < nCh && NameHas(ts.m_pChannel[e], "Strain")) ++e;
  s = std::min(s, static_cast<int>(nCh));
  for (int a = s, q = 0; a < e; a += 2, ++q) {
    KZ_TSchannel& ax = ts.m_pChannel[a];
    if (!ax.nPlot || ax.dScale == 0) continue;
    const float hue = 60.0f * q;
    if (m_nStrainFlags & 1) {
      ax.fPlotMin = static_cast<float>(m_nStrainMin);
      ax.fPlotMax = static_cast<float>(m_nStrainMax);
      ts.DrawChannel(dc, left, sb1, W, H, len, a, ta, i0, zero, 10, KZ_HSVToColor(hue, 1, 0.25f));
    }
    if (a + 1 >= nCh) break;
    KZ_TSchannel& ci = ts.m_pChannel[a + 1];
    if (!ci.nPlot || ci.dScale == 0) continue;
    if (m_nStrainFlags & 2) {
      ci.fPlotMin = static_cast<float>(m_nStrainMin);
      ci.fPlotMax = static_cast<float>(m_nStrainMax);
      ts.DrawChannel(dc, left, sb1, W, H, len, a + 1, ta, i0, zero, 10,
                     KZ_HSVToColor(hue, 1, 0.5f));
    }
    if (m_nStrainFlags & 4)
      ts.DrawChannelSum(dc, RECT{left, sb1 + H, left + W, sb1}, len, a, 1.0, a + 1, 2.0, ta, i0,
                        zero, 40, KZ_HSVToColor(hue, 1, 1.0f));
  }

  // Mean strains over the usable pairs.
  if ((m_nStrainFlags & 8) && m_nStrainMax != m_nStrainMin) {
    std::vector<int> pairs;
    for (int a = s; a < e && a + 1 < nCh; a += 2)
      if (ts.m_pChannel[a].nPlot && ts.m_pChannel[a].dScale != 0 &&
          ts.m_pChannel[a + 1].dScale != 0)
        pairs.push_back(a);
    const int nu = static_cast<int>(pairs.size());
    if (nu > 1) {
      double ma0 = 0, mc0 = 0;
      for (int a : pairs) {
        ma0 += ts.Value(a, i0, true);
        mc0 += ts.Value(a + 1, i0, true);
      }
      ma0 /= nu;
      mc0 /= nu;
      const double mv0 = ma0 + 2 * mc0;
      Thinned la(0, 90000, 50, true), lc(0, 90000, 50, true), lv(0, 90000, 50, true);
      for (int i = i0; i < i1; ++i) {
        double sa = 0, sc = 0;
        int summed = 0;
        for (int a : pairs) {
          const double va = raw(a, i), vc = raw(a + 1, i);
          if (std::abs(va) > 60000 || std::abs(vc) > 60000) continue;
          sa += va;
          sc += vc;
          ++summed;
        }
        if (!summed) continue;
        double ma = sa / nu, mc = sc / nu, mv = ma + 2 * mc;
        if (zero) {
          ma -= ma0;
          mc -= mc0;
          mv -= mv0;
        }
        const int x = xOf(i);
        la.Add(x, TS_Trunc(sb1 + (ma - m_nStrainMin) * kS));
        lc.Add(x, TS_Trunc(sb1 + (mc - m_nStrainMin) * kS));
        lv.Add(x, TS_Trunc(sb1 + (mv - m_nStrainMin) * kS));
      }
      la.list.Draw(dc, PS_SOLID, 50, RGB(0, 64, 0), true, false);
      lc.list.Draw(dc, PS_SOLID, 50, RGB(0, 128, 0), true, false);
      lv.list.Draw(dc, PS_SOLID, 50, RGB(0, 255, 0), true, false);
    }
  }

  if (nCh > 0 && ts.m_pChannel[0].nPlot) {
    ts.m_pChannel[0].fPlotMin = static_cast<float>(m_nStressMin);
    ts.m_pChannel[0].fPlotMax = static_cast<float>(m_nStressMax);
    ts.DrawChannel(dc, left, sb1, W, H, len, 0, ta, i0, false, 40, RGB(255, 0, 0));
  }
  if (nCh > 1 && ts.m_pChannel[1].nPlot) {
    ts.m_pChannel[1].fPlotMin = m_fCPMin;
    ts.m_pChannel[1].fPlotMax = m_fCPMax;
    ts.DrawChannel(dc, left, sb1, W, H, len, 1, ta, i0, false, 40, RGB(128, 0, 0));
  }

  // Pore pressures and displacements among the channels before the strain run.
  int ppFirst = -1, ppLast = -1;
  bool dispDrawn = false;
  for (int c = 2; c < s; ++c) {
    KZ_TSchannel& ch = ts.m_pChannel[c];
    if (!ch.nPlot) continue;
    if (NameHas(ch, "PoreP") || NameHas(ch, "P_pore") || NameHas(ch, "MPa")) {
      ch.fPlotMin = m_fPPMin;
      ch.fPlotMax = m_fPPMax;
      ts.DrawChannel(dc, left, sb2, W, H, len, c, ta, i0, false, 25,
                     ppFirst < 0 ? RGB(0, 0, 255) : RGB(0, 255, 0));
      if (ppFirst < 0)
        ppFirst = c;
      else
        ppLast = c;
    }
    if (NameHas(ch, "isp")) {
      ch.fPlotMin = m_fDispMin * 1000;
      ch.fPlotMax = m_fDispMax * 1000;
      ts.DrawChannel(dc, left, sb2, W, H, len, c, ta, i0, zero, 10, RGB(128, 128, 128));
      dispDrawn = true;
      if (m_fDispMax != m_fDispMin) {
        const double D0 = zero ? ts.Value(c, i0, true) : 0.0;
        const double S0 = zero ? ts.Value(0, i0, true) : 0.0;
        const double k = 1000.0 * (doc.m_pHypo ? doc.m_pHypo->m_fAEOptA : 0.0f);
        const double lo = 1000.0 * m_fDispMin, hi = 1000.0 * m_fDispMax;
        Thinned line(-1000, 0, 50, false);
        for (int i = i0; i < ts.m_nSamples && !(ti(i) > len); ++i) {
          double d = (ts.Value(c, i, zero) - D0) - (ts.Value(0, i, zero) - S0) * k;
          d = std::clamp(d, lo, hi);
          line.Add(xOf(i), TS_Trunc(sb2 + (d - lo) * H / (hi - lo)));
        }
        line.list.Draw(dc, PS_SOLID, 25, RGB(0, 0, 0), true, false);
      }
    }
  }
  if (ppFirst >= 0 || dispDrawn) {
    int right = left + W;
    if (ppFirst >= 0) {
      KZ_DrawAxisY(dc, right, sb2, H, -1, m_fPPMin, m_fPPMax, 10, "P.P., MPa");
      right += 1800;
    }
    if (dispDrawn) KZ_DrawAxisY(dc, right, sb2, H, -1, m_fDispMin, m_fDispMax, 10, "A.Disp, mm");
  }

  if (m_bAECurve) {
    plat::CPen dotted(PS_DOT, 40, RGB(255, 0, 0));
    DrawPeakCount(dc, doc, sb2, kN, dotted);
    for (int c = std::min(e, nCh - 2); c < nCh; ++c) {
      if (c < 0) continue;
      KZ_TSchannel& ch = ts.m_pChannel[c];
      if (!ch.nPlot || !NameHas(ch, "AE")) continue;
      ch.fPlotMin = 0;
      ch.fPlotMax = static_cast<float>(m_nAEMax);
      ts.DrawChannel(dc, left, sb2, W, H, len, c, ta, i0, true, 50, RGB(167, 87, 168));
    }
    const double ref = static_cast<double>(start - ReferenceTime()) +
                       (static_cast<double>(StartFraction()) - ReferenceFraction()) + ws -
                       m_fTSOffset;
    DrawEventCounts(dc, doc, sb2, kN, ref, 5);
    if (m_nAEMax >= 10000)
      KZ_DrawAxisY(dc, left, sb2, H, 1, 0.0f, static_cast<float>(m_nAEMax / 1000), 10,
                   "N_AE x1000");
    else
      KZ_DrawAxisY(dc, left, sb2, H, 1, 0.0f, static_cast<float>(m_nAEMax), 10, "N_AE");
  }

  if (m_bShear && nCh > 1 && m_nStressMax != m_nStressMin) {
    const double th = m_fFaultDip * M_PI / 180.0;
    const double sn = std::sin(th), cs = std::cos(th);
    Thinned tau(0, 0, 50, false), normal(0, 0, 50, false), mu(0, 0, 50, false);
    for (int i = i0; i < ts.m_nSamples && !(ti(i) > len); ++i) {
      const double sigma = raw(0, i), P = raw(1, i);
      const double t = (sigma - P) * sn * cs;
      const double sigN = sigma * cs * cs + P * sn * sn;
      const int x = xOf(i);
      tau.Add(x, TS_Trunc(sb3 + (t - m_nStressMin) * kP));
      normal.Add(x, TS_Trunc(sb3 + (sigN - m_nStressMin) * kP));
      if (t >= 1.0) {
        double pp = 0;
        if (ppFirst >= 0) pp = raw(ppFirst, i);
        if (ppLast >= 0) pp = std::max(pp, raw(ppLast, i));
        const double m = t / (sigN - pp);
        if (std::isfinite(m)) mu.Add(x, TS_Trunc(sb3 + m * H));
      }
    }
    tau.list.Draw(dc, PS_SOLID, 20, RGB(0, 0, 255), true, false);
    normal.list.Draw(dc, PS_SOLID, 20, RGB(0, 255, 0), true, false);
    mu.list.Draw(dc, PS_SOLID, 20, RGB(255, 0, 0), true, false);
    KZ_DrawAxisY(dc, left, sb3, H, 1, 0.0f, 1.0f, 10, "Mu");
    KZ_DrawAxisY(dc, left + W, sb3, H, -1, static_cast<float>(m_nStressMin),
                 static_cast<float>(m_nStressMax), 10, "Shear Stress, MPa");
  }
  return m_bShear ? sb3 : sb2;
}
