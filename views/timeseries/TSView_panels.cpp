// The peak panel and the statistics panels of the "TS" page: peak sticks and AE ticks,
// rates and cumulative release with their fits, moving-window b-values and the fractal
// dimension and correlation length of the hypocentres.
#include <algorithm>
#include <cmath>
#include <list>

#include "base/numerics/KZ_Stati.h"
#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_PolyPlot.h"
#include "platform/Strings.h"
#include "views/timeseries/TSView.h"

namespace {

constexpr int kScratchFloats = 40096 / 4;

// Appends a point only when both coordinates are finite, so that a zero-width range or a
// logarithm of 0 leaves the point out instead of sending an unbounded coordinate.
void Add(std::list<POINT>& pts, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  pts.push_back({TS_Trunc(x), TS_Trunc(y)});
}

void Frame(plat::CDC* dc, int left, int bottom, int width, int height) {
  plat::CPen pen(PS_SOLID, 20, RGB(0, 0, 0));
  plat::CBrush hollow;
  hollow.CreateStockObject(NULL_BRUSH);
  const plat::CPen oldPen = dc->SelectObject(pen);
  const plat::CBrush oldBrush = dc->SelectObject(hollow);
  dc->Rectangle(left, bottom, left + width, bottom + height);
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
}

// A range bound on the logarithmic scale; a bound not above 0 counts as 1.
double LogBound(double v) { return std::log10(v > 0 ? v : 1.0); }

}  // namespace

int CTSView::DrawPeakPanels(plat::CDC* dc) {
  CTremviaDoc& doc = *GetData();
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), len = WindowLength(), we = ws + len;
  CAEPeak* pk = doc.GetPeak(0);
  const CAEPeak* pk2 = doc.GetPeak(1);
  int slot = m_nPlotTop - H;

  if (m_nPeakD < 12) {
    Frame(dc, left, slot, W, H);
    int i0 = 0, cur = -1;
    if (pk) {
      while (i0 < pk->m_nCount && pk->GetTime(i0) < ws) ++i0;
      pk->m_nPageFirst = i0;
      const int unit = H / 12;
      int i1 = i0;
      while (i1 < pk->m_nCount && pk->GetTime(i1) <= we) ++i1;
      cur = i1 - 1;
      pk->m_nCurrent = cur;
      // Sticks standing at one page x overlap: only the tallest of a run is drawn.
      auto sticks = [&](bool valid) {
        int runX = 0, runTop = 0;
        bool run = false;
        auto flush = [&] {
          if (!run) return;
          dc->MoveTo(runX, slot);
          dc->LineTo(runX, runTop);
        };
        for (int i = i0; i < i1; ++i) {
          const std::uint8_t level = pk->m_pLevel[static_cast<std::size_t>(i)];
          const bool flagged = pk->m_pFlag[static_cast<std::size_t>(i)] != 0;
          if (valid ? !(flagged && level >= m_nPeakD) : flagged) continue;
          const int x = X(pk->GetTime(i));
          const int top = slot + level * unit;
          if (run && x == runX) {
            runTop = std::max(runTop, top);
            continue;
          }
          flush();
          run = true;
          runX = x;
          runTop = top;
        }
        flush();
      };
      {
        plat::CPen pen(PS_SOLID, 20, RGB(0, 0, 0));
        const plat::CPen old = dc->SelectObject(pen);
        sticks(true);
        plat::CPen noise(PS_SOLID, 20, RGB(214, 214, 255));
        dc->SelectObject(noise);
        sticks(false);
        dc->SelectObject(old);
      }
    }

    // Located events: a tick per event, hanging by its arrival count.
    {
      plat::CPen pen(PS_SOLID, 0, RGB(255, 0, 0));
      const plat::CPen old = dc->SelectObject(pen);
      const int minArrivals = doc.m_pHypo ? doc.m_pHypo->m_nMinArrivals : 0;
      const double delta = static_cast<double>(ExperimentStart() - ReferenceTime()) +
                           (static_cast<double>(StartFraction()) - ReferenceFraction()) + ws -
                           m_fTSOffset;
      std::size_t stored = 0;
      int lastX = 0, lastEnd = 0;
      bool any = false;
      for (const auto& up : doc.m_EventList) {
        const AEEventEntry& e = *up;
        if (!(e.flags & 0x02) && e.arrivals < minArrivals) continue;
        const double d = e.time - delta;
        if (d < 0) continue;
        if (d > len) break;
        const int x = TS_Trunc(left + d * m_fTimeScale);
        const int end = slot + 10 * (4 - e.arrivals) - ((e.flags & 0x02) ? 500 : 0);
        if (!any || x != lastX || end != lastEnd) {  // an identical tick adds nothing
          dc->MoveTo(x, slot);
          dc->LineTo(x, end);
        }
        any = true;
        lastX = x;
        lastEnd = end;
        if (stored < static_cast<std::size_t>(kMarkersUsed)) {
          m_pAEMarkers[stored].used = true;
          m_pAEMarkers[stored].entry = e;
          m_pAEMarkers[stored].x = x;
          ++stored;
        }
      }
      m_pAEMarkers[stored].used = false;
      dc->SelectObject(old);
    }

    KZ_DrawAxisY(dc, left, slot, H, -1, 0.0f, 3.0f, 12, "M");
    dc->TextOut(left + 3000, slot + H - 200, plat::Format("(1st=%d:last=%d)", i0, cur - i0));
    slot = slot - H - 500;
  }

  const int n1 = pk ? pk->m_nCount : 0, n2 = pk2 ? pk2->m_nCount : 0;
  if (n1 < 10 && n2 < 10) return slot + H;

  DrawRatePanel(dc, doc, slot);
  if (m_bBMLH || m_bBLSQ || m_bLogTl) {
    slot = slot - H - 500;
    DrawBPanel(dc, doc, slot);
  }
  if (m_bD2 || m_bCL) {
    slot = slot - H - 500;
    DrawFractalPanel(dc, doc, slot);
  }
  return slot;
}

int CTSView::DrawRatePanel(plat::CDC* dc, CTremviaDoc& doc, int slot) {
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), len = WindowLength();
  const CAEPeak* pk = doc.GetPeak(0);
  // The bins live in the document's first work buffer.
  const int N = std::clamp(m_nRateBins, 1, kScratchFloats);
  std::vector<BYTE>& buf = doc.m_pWorkBuf[0];
  if (buf.size() < static_cast<std::size_t>(N) * sizeof(float)) buf.assign(40096, 0);
  float* bin = reinterpret_cast<float*>(buf.data());
  std::fill(bin, bin + N, 0.0f);
  const double dt = len / N;
  if (pk && dt > 0) {
    const double inv = 1.0 / dt;
    for (int i = 0; i < pk->m_nCount; ++i) {
      if (pk->m_pFlag[static_cast<std::size_t>(i)] == 0) continue;
      const double kk = std::trunc((pk->GetTime(i) - ws) * inv);
      if (kk < 0) continue;
      if (kk >= N) break;
      bin[static_cast<int>(kk)] +=
          std::pow(10.0f, m_fQ * 0.25f * pk->m_pLevel[static_cast<std::size_t>(i)]);
    }
    for (int k = 0; k < N; ++k) bin[k] *= static_cast<float>(inv);
  }
  Frame(dc, left, slot, W, H);

  const bool lg = m_bLog != 0;
  const double vmin = lg ? LogBound(m_fVMin) : m_fVMin, vmax = lg ? LogBound(m_fVMax) : m_fVMax;
  const double kV = H / (vmax - vmin);
  auto f = [lg](double v) { return lg ? std::log10(v) : v; };
  const bool vRange = vmax != vmin && dt > 0;
  if (vRange) {
    std::list<POINT> pts;
    double S = 1;
    for (int k = 0; k < N; ++k) {
      S += bin[k] * dt;
      Add(pts, left + (k + 0.5) * dt * m_fTimeScale, slot + (f(S) - vmin) * kV);
    }
    KZ_DrawPointList(dc, pts, 20, RGB(255, 0, 0), true);
  }
  const double rmin = lg ? LogBound(m_fRMin) : m_fRMin, rmax = lg ? LogBound(m_fRMax) : m_fRMax;
  const double kR = H / (rmax - rmin);
  if (rmax != rmin && dt > 0) {
    std::list<POINT> pts;
    for (int k = 0; k < N; ++k) {
      const double g = lg ? (bin[k] > 0 ? std::log10(bin[k]) : rmin) : bin[k];
      Add(pts, left + (k + 0.5) * dt * m_fTimeScale, slot + (g - rmin) * kR);
    }
    KZ_DrawPointList(dc, pts, 20, RGB(0, 0, 0), true);
  }

  // Accelerating release: a power law fitted to V1 - S against the time to failure. Bin
  // indices stay inside the bins; Tc before T0 leaves the fit out.
  if (m_bAMR && vRange && m_fTc >= m_fT0) {
    const int ia = std::clamp(static_cast<int>(std::trunc(m_fT0 / dt)), 0, N - 1);
    const int ib = std::clamp(static_cast<int>(std::trunc(m_fTc / dt)), 0, N - 1);
    const int n = ib - ia + 1;
    if (n >= 1) {
      std::vector<float> xs(static_cast<std::size_t>(n)), ys(static_cast<std::size_t>(n));
      double S = 1 + bin[ia] * dt;
      xs[0] = static_cast<float>(n * dt);
      ys[0] = static_cast<float>(m_fV1 - S);
      int m = 1;
      for (int j = 1; j < n; ++j) {
        xs[static_cast<std::size_t>(j)] = static_cast<float>((n - j) * dt);
        S += bin[ia + j] * dt;
        if (m_fV1 < S) break;
        ys[static_cast<std::size_t>(j)] = static_cast<float>(m_fV1 - S);
        m = j + 1;
      }
      double A = 0, p = 0, sp = 0, sa = 0;
      KZ_Stati::FitPowerLaw(xs.data(), ys.data(), 0.0f, 0.0f, m, nullptr, &A, &p, &sp, &sa, nullptr,
                            nullptr, nullptr);
      std::list<POINT> pts;
      for (double t = ia * dt; t <= ib * dt; t += 0.2 * dt) {
        const double value = m_fV0 + m_fV1 - A * std::pow(m_fTc - t, p);
        Add(pts, left + t * m_fTimeScale, slot + (f(value) - vmin) * kV);
      }
      KZ_DrawPointList(dc, pts, 20, RGB(255, 0, 255), true);
      const UINT oldAlign = dc->SetTextAlign(TA_BOTTOM | TA_LEFT);
      dc->TextOut(left + 1000, slot + H - 1000,
                  plat::Format("S= %5.0f - %5.0f (tc-t)^%4.3f, (%f)", m_fV1, A, p, sp));
      dc->SetTextAlign(oldAlign);
    }
  }

  // Omori's law after and before a main shock.
  if (m_bOmori && vRange) {
    plat::CPen pen(PS_SOLID, 20, RGB(255, 0, 0));
    const plat::CPen old = dc->SelectObject(pen);
    auto curve = [&](double Tm, double a, double p, bool after) {
      std::vector<POINT> pts;
      for (double t = 0.01 * dt; t < Tm; t *= 1.5) {
        const double x = left + (after ? t + Tm : Tm - t) * m_fTimeScale;
        const double y =
            slot + std::min((f(a * std::pow(t, -p)) - m_fVMin) * kV, static_cast<double>(H));
        if (std::isfinite(x) && std::isfinite(y)) pts.push_back({TS_Trunc(x), TS_Trunc(y)});
      }
      if (!pts.empty()) dc->Polyline(pts.data(), static_cast<int>(pts.size()));
    };
    curve(m_fTma, m_fAa, m_fPa, true);
    curve(m_fTmf, m_fAf, m_fPf, false);
    dc->SelectObject(old);
  }

  dc->TextOut(left + 2000, slot + H - 200, plat::Format("R(PK), 1/%f", dt));
  const std::string vTitle = plat::Format("V(q=%4.2f)", m_fQ);
  const std::string rTitle = plat::Format("dV/dt(q=%4.2f)", m_fQ);
  if (lg) {
    KZ_DrawLogAxisY(dc, left, slot, H, 1, static_cast<int>(vmin), static_cast<int>(vmax),
                    vTitle.c_str());
    KZ_DrawLogAxisY(dc, left + W, slot, H, -1, static_cast<int>(rmin), static_cast<int>(rmax),
                    rTitle.c_str());
  } else {
    KZ_DrawAxisY(dc, left, slot, H, 1, static_cast<float>(vmin), static_cast<float>(vmax), 10,
                 vTitle.c_str());
    KZ_DrawAxisY(dc, left + W, slot, H, -1, static_cast<float>(rmin), static_cast<float>(rmax), 10,
                 rTitle.c_str());
  }
  return slot;
}

void CTSView::DrawBPanel(plat::CDC* dc, CTremviaDoc& doc, int slot) {
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), we = ws + WindowLength();
  Frame(dc, left, slot, W, H);
  const CAEPeak* pk = doc.GetPeak(0);
  std::vector<const AEPeakWindowRow*> rows;
  if (pk)
    for (int i = 0; i < pk->m_nRows && i < static_cast<int>(pk->m_pRows.size()); ++i) {
      const AEPeakWindowRow& r = pk->m_pRows[static_cast<std::size_t>(i)];
      if (r.tMiddle > we) break;
      if (r.tMiddle < ws) continue;
      rows.push_back(&r);
    }
  const double kB = H / (m_fBMax - m_fBMin);
  const bool bRange = m_fBMax != m_fBMin;
  plat::CPen thin(PS_SOLID, 0, RGB(0, 0, 0));
  auto bCurve = [&](bool lsq, COLORREF brushColour, COLORREF lineColour) {
    plat::CBrush brush(brushColour);
    const plat::CBrush oldBrush = dc->SelectObject(brush);
    const plat::CPen oldPen = dc->SelectObject(thin);
    std::list<POINT> pts;
    for (const AEPeakWindowRow* r : rows) {
      const double y = slot + ((lsq ? r->bLSQ : r->bML) - m_fBMin) * kB;
      if (!std::isfinite(y)) continue;
      const int iy = TS_Trunc(y);
      dc->MoveTo(X(std::max(r->tStart, ws)), iy);
      dc->LineTo(X(r->tEnd), iy);
      const int xe = X(r->tMiddle);
      if (m_bSymb) dc->Ellipse(xe - 100, iy - 100, xe + 100, iy + 100);
      const int e = TS_Trunc(kB * (lsq ? r->bLSQErr : r->relErr));
      dc->MoveTo(xe, iy - e);
      dc->LineTo(xe, iy + e);
      pts.push_back({xe, iy});
    }
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
    KZ_DrawPointList(dc, pts, 40, lineColour, true);
  };
  if (m_bBMLH && bRange) {
    bCurve(false, RGB(0, 0, 0), RGB(0, 0, 255));
    KZ_DrawAxisY(dc, left, slot, H, 1, m_fBMin, m_fBMax, 10, "b");
  }
  if (m_bLogTl && m_fTlMax != m_fTlMin) {
    const double kT = H / (m_fTlMax - m_fTlMin);
    std::list<POINT> pts;
    for (const AEPeakWindowRow* r : rows) {
      const double tl =
          std::log10((r->tEnd - r->tStart) * std::pow(10.0, m_fMmax * r->bML - r->logN));
      Add(pts, X(r->tMiddle), slot + (tl - m_fTlMin) * kT);
    }
    KZ_DrawPointList(dc, pts, 40, RGB(0, 0, 255), true);
    KZ_DrawAxisY(dc, left + W, slot, H, -1, m_fTlMin, m_fTlMax, 10, "Tl");
  }
  if (m_bBLSQ && bRange) bCurve(true, RGB(64, 64, 64), RGB(0, 0, 128));
  const UINT oldAlign = dc->SetTextAlign(TA_BOTTOM | TA_LEFT);
  dc->TextOut(left + 2000, slot + H - 600, plat::Format("n_b=%d", m_nB));
  dc->SetTextAlign(oldAlign);
}

void CTSView::DrawFractalPanel(plat::CDC* dc, CTremviaDoc& doc, int slot) {
  const int H = m_nPanelH, W = PlotWidth(), left = m_nPlotLeft;
  const double ws = WindowStart(), we = ws + WindowLength();
  Frame(dc, left, slot, W, H);
  plat::CBrush red(RGB(255, 0, 0));
  const plat::CBrush oldBrush = dc->SelectObject(red);
  plat::CPen thin(PS_SOLID, 0, RGB(0, 0, 0));
  const plat::CPen oldPen = dc->SelectObject(thin);
  const double kD = H / (m_fD2Max - m_fD2Min);
  const double kC = H / (m_fCLMax - m_fCLMin);
  const double kB = H / (m_fBMax - m_fBMin);
  const bool bOn = m_bBMLHFractal && m_fBMax != m_fBMin;
  const bool dOn = m_bD2 && m_fD2Max != m_fD2Min;
  const bool cOn = m_bCL && m_fCLMax != m_fCLMin;
  const CAEPeak* pk = doc.GetPeak(0);
  const int minArrivals = doc.m_pHypo ? doc.m_pHypo->m_nMinArrivals : 0;
  // Page times onto the event list's time scale.
  const double shift = static_cast<double>(ExperimentStart() - ReferenceTime()) +
                       (static_cast<double>(StartFraction()) - ReferenceFraction());
  std::list<POINT> lb, ld, lc;
  double logR[41] = {};
  double G[6][41] = {};
  auto marks = [&](std::list<POINT>& list, double value, double k, double lo, double err, double ta,
                   double last, int xp) {
    const double y = slot + (value - lo) * k;
    if (!std::isfinite(y)) return;
    const int iy = TS_Trunc(y);
    dc->MoveTo(X(std::max(ta, ws)), iy);
    dc->LineTo(X(last), iy);
    if (m_bSymb) dc->Ellipse(xp - 100, iy - 100, xp + 100, iy + 100);
    const int e = TS_Trunc(k * err);
    dc->MoveTo(xp, iy - e);
    dc->LineTo(xp, iy + e);
    list.push_back({xp, iy});
  };
  for (double ta = ws;;) {
    double t1 = ta + shift, t2 = we + shift;
    float L = 0;
    int nR = 0;
    const int n =
        doc.FractalDimension(&L, logR, G, &nR, 2, 4, &t1, &t2, m_nD2, minArrivals, m_fCLProb);
    if (n < m_nD2 / 2 || n == 0) break;
    const double first = t1 - shift, last = t2 - shift;
    int cum[CAEPeak::kLevelSlots];
    double logN = 0, bML = 0, relErr = 0;
    int firstIndex = 0;
    if (pk)
      pk->WindowStatistics(first, last, cum, &logN, &bML, &relErr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, 0.0, &firstIndex, nullptr);
    const int xp = X(pk ? pk->GetTime(firstIndex + n / 2) : first);
    if (bOn) marks(lb, bML, kB, m_fBMin, relErr, ta, last, xp);
    if (dOn) {
      int k = 15;
      for (int j = 8; j <= 14; ++j)
        if (G[2][j] >= -4.0 && G[2][j + 1] - G[2][j] > 0.2 * (logR[j + 1] - logR[j])) {
          k = j;
          break;
        }
      double a = 0, b = 0, sa = 0, sb = 0;
      KZ_Stati::FitLine(logR + k, G[2] + k, 21, nullptr, &a, &b, &sa, &sb, nullptr, nullptr,
                        nullptr);
      marks(ld, b, kD, m_fD2Min, sb, ta, last, xp);
    }
    if (cOn) {
      const double y = slot + (L - m_fCLMin) * kC;
      if (std::isfinite(y)) {
        const int iy = TS_Trunc(y);
        if (m_bSymb) dc->Rectangle(xp - 80, iy - 20, xp + 80, iy + 20);
        lc.push_back({xp, iy});
      }
    }
    const double next = ta + 0.25 * (last - ta);
    if (!(last <= we) || !(next > ta)) break;  // a window that does not advance ends the walk
    ta = next;
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  KZ_DrawPointList(dc, lb, 40, RGB(255, 0, 0), true);
  KZ_DrawPointList(dc, ld, 40, RGB(0, 0, 255), true);
  KZ_DrawPointList(dc, lc, 40, RGB(0, 255, 0), true);
  const UINT oldAlign = dc->SetTextAlign(TA_BOTTOM | TA_LEFT);
  dc->TextOut(left + 1000, slot + H - 1000,
              plat::Format("n_D=%d, pdf_CL=%3.1f", m_nD2, static_cast<double>(m_fCLProb)));
  dc->SetTextAlign(oldAlign);
  if (dOn) KZ_DrawAxisY(dc, left, slot, H, 1, m_fD2Min, m_fD2Max, 10, "D2");
  int right = left + W;
  if (cOn) {
    KZ_DrawAxisY(dc, right, slot, H, -1, m_fCLMin, m_fCLMax, 10, "C.Len");
    right += 1500;
  }
  if (bOn) KZ_DrawAxisY(dc, right, slot, H, -1, m_fBMin, m_fBMax, 10, "bMLH");
}
