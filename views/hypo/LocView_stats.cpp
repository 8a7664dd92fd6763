// Statistics plots of the time window: the frequency-magnitude distributions with their
// Gutenberg-Richter lines (types 2-4) and the correlation integrals in time and in space
// (types 14 and 15), which also write their curves to the view's curve file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/numerics/KZ_Stati.h"
#include "base/plot/KZ_Axis.h"
#include "base/util/KZ_DateTime.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

namespace {

void Frame(plat::CDC* dc, int left, int top, int right, int bottom) {
  const plat::CBrush old = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(0, 0, 0)));
  dc->Rectangle(left, top, right, bottom);
  dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  dc->Rectangle(left, top, right, bottom);
  dc->SelectObject(old);
}

// "start of the experiment + t0 --> ... + t1" for the head of the curve files.
std::string WindowText(const CAEHypo& h, double t0, double t1) {
  const auto start = plat::MakeLocalTime(h.m_tmStart);
  const std::int64_t base = start ? *start : 0;
  std::string a, b;
  KZ_ElapsedTimeString(a, base, t0);
  KZ_ElapsedTimeString(b, base, t1);
  return a + "-->" + b;
}

// The segment from a to b, the part of it inside the rectangle only (the plot's frame,
// y upward: bottom < top); nothing when it misses the rectangle.
void ClippedSegment(plat::CDC* dc, double ax, double ay, double bx, double by, int left, int top,
                    int right, int bottom) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - left, right - ax, ay - bottom, top - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
  }
  if (!(t0 <= t1)) return;
  dc->MoveTo(LocTrunc(ax + t0 * dx), LocTrunc(ay + t0 * dy));
  dc->LineTo(LocTrunc(ax + t1 * dx), LocTrunc(ay + t1 * dy));
}

}  // namespace

void CLocView::DrawMagFreq(plat::CDC* dc, int kind) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  const double t0 = m_tStart, t1 = m_tEnd;
  int counts[30] = {};
  double logN = 0, bML = 0, relErr = 0, aLSQ = 0, bLSQ = 0, bErr = 0, rate = 0, energy = 0;
  int n = 0;
  // The plot's magnitude axis is the statistics' window.
  double w = 0.1, Mmin = 0.0, Mmax = 0.0;
  if (kind != 0) h.MagnitudeWindow(kind - 1, doc->m_EventList, &Mmin, &Mmax);
  if (kind == 0) {
    w = 0.25;
    Mmin = 0;
    Mmax = 3;
    const CAEPeak* peaks = doc->GetPeak(0);
    if (peaks)
      n = peaks->WindowStatistics(t0, t1, counts, &logN, &bML, &relErr, &aLSQ, &bLSQ, &bErr, &rate,
                                  &energy, 1.0, nullptr, nullptr);
  } else {
    n = h.BValue(kind - 1, doc->m_EventList, t0, t1, counts, &logN, &bML, &relErr, &aLSQ, &bLSQ,
                 &bErr, &rate, &energy, 1.0);
  }
  n = std::clamp(n, 0, 30);
  const int left = m_ptOrigin.x + 1500, top = m_ptOrigin.y, bottom = m_ptOrigin.y - 10000;
  const char* label = kind == 0 ? "M(Peak)" : (kind == 1 ? "M(Wave)" : "M(Fc)");

  const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(0, 0, 0)));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->Rectangle(left, top, left + 12000, bottom);
  KZ_DrawAxisInclined(dc, left, bottom, 12000, 0, -1, static_cast<float>(Mmin),
                      static_cast<float>(Mmax), 12, label);
  KZ_DrawLogAxisY(dc, left, bottom, 10000, 1, 0, 5, "Log10(N)");

  // Without bins there is no magnitude scale, and without a slope no line.
  if (n > 0) {
    const double xs = 12000 / (n * w);
    dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
    for (int i = 0; i < n; ++i) {
      if (counts[i] < 1) continue;
      const int X = LocTrunc(i * w * xs + left),
                Y = LocTrunc(std::log10(counts[i]) * 2000 + bottom);
      dc->Ellipse(X - 100, Y - 100, X + 100, Y + 100);
    }
    const double a = logN, b = bML;
    if (b != 0 && std::isfinite(a) && std::isfinite(b)) {
      // log10 N = a - b (M - Mmin), from log10 N = 5 or Mmin to log10 N = 0 or Mmax, on the
      // magnitude axis' own scale so that the line stays within the frame whatever the
      // sign of b and the width of the range.
      double M1 = Mmin + (a - 5) / b, M2 = Mmin + a / b;
      if (M1 > M2) std::swap(M1, M2);
      M1 = std::max(Mmin, M1);
      M2 = std::min(Mmax, M2);
      const double span = Mmax - Mmin;
      if (M1 <= M2 && span > 0) {
        const double ms = 12000 / span;
        auto pt = [&](double M) {
          return POINT{LocTrunc((M - Mmin) * ms + left),
                       LocTrunc(std::clamp(a - b * (M - Mmin), 0.0, 5.0) * 2000 + bottom)};
        };
        const POINT p1 = pt(M1), p2 = pt(M2);
        dc->MoveTo(p1.x, p1.y);
        dc->LineTo(p2.x, p2.y);
      }
    }
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);

  // The text block under the magnitude axis: each line at its designed place, or lower
  // when the axis' labels or the line above need the room at the font in use.
  const int N = counts[0];
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) tm = TEXTMETRIC{};
  const int ascent = std::abs(static_cast<int>(tm.tmAscent));
  const int lineH = KZ_TextLineHeight(dc);
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  int y = KZ_NextLineY(dc, bottom - 800, bottom - KZ_AxisTextDepth(dc, 750) + lineH);
  dc->TextOut(
      left, y,
      plat::Format("N=%d, b(ML)=%4.2f(%4.2f), a(ML)=%.2f, b(LSQ)=%4.2f(%4.2f), a(LSQ)=%.2f", N, bML,
                   N > 0 ? 1 / std::sqrt(static_cast<double>(N)) : 0.0, logN, bLSQ, bErr, aLSQ));
  const std::tm& r = h.m_tmRef;
  y = KZ_NextLineY(dc, bottom - 1500, y);
  dc->TextOut(
      left, y,
      plat::Format(" t[%.6f - %.6f], %04d/%02d/%02d %02d:%02d:%02d\n", t0, t1, r.tm_year + 1900,
                   r.tm_mon + 1, r.tm_mday, r.tm_hour, r.tm_min, r.tm_sec));
  // The title line stands on its baseline.
  y = KZ_NextLineY(dc, bottom - 1800 + ascent, y);
  DrawTitleLine(dc, left, y - ascent, 0);
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  if (kind == 2) {
    y = KZ_NextLineY(dc, bottom - 2200, y);
    dc->TextOut(left, y,
                plat::Format(" M(Fc) = %.2f log(Fc) + %.2f\n", h.m_fMagFcSlope, h.m_fMagFcConst));
  }
}

void CLocView::DrawCorrelationTime(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  plat::CWaitCursor wait;
  double* x = m_pCurveBufA.data();
  double* y = m_pCurveBufB.data();
  int c = 0, n = 0;
  if (const CAEPeak* peaks = doc->GetPeak(0))
    n = peaks->IntervalHistogram(m_tStart, m_tEnd, x, y, &c);
  c = std::clamp(c, 0, 26);
  const int left = m_ptOrigin.x + 500, top = m_ptOrigin.y, bottom = m_ptOrigin.y - 8000,
            right = left + 10000;
  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  Frame(dc, left, top, right, bottom);
  dc->SelectObject(plat::CPen(PS_DOT, 15, RGB(0, 0, 0)));
  for (int k = 1; k <= 9; ++k) {
    dc->MoveTo(left + 1000 * k, top);
    dc->LineTo(left + 1000 * k, bottom);
  }
  for (int k = 1; k <= 7; ++k) {
    dc->MoveTo(left, top - 1000 * k);
    dc->LineTo(right, top - 1000 * k);
  }
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
  const int r = LocTrunc(2 * h.m_fHypoScale);
  for (int i = 0; i < c; ++i) {
    if (y[i] < -4) continue;
    const int X = LocTrunc((x[i] + 2) * 2000 + left), Y = LocTrunc(y[i] * 2000 + top);
    dc->Ellipse(X - r, Y - r, X + r, Y + r);
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  KZ_DrawLogAxisX(dc, left, bottom, 10000, -1, -2, 3, "t [msec]");
  KZ_DrawAxisY(dc, left, bottom, 8000, 1, -4, 0, 8, "log C(r)");
  DrawTitleLine(dc, left, bottom - 2000, n);

  if (m_strCurveFile.empty()) return;
  std::FILE* f = std::fopen(m_strCurveFile.c_str(), "wt");
  if (!f) return;
  std::fprintf(f, "KVDATA01 %s: n=%d\n", WindowText(h, m_tStart, m_tEnd).c_str(), n);
  std::fprintf(f, "SAMPLES %05d\n", c);
  std::fprintf(f, "Log10(r),msec ");
  std::fprintf(f, " Log10(C(T>t)),q=%02d", 2);
  std::fprintf(f, "\n");
  for (int i = 0; i < c; ++i) {
    std::fprintf(f, "%f", x[i]);
    std::fprintf(f, " %f", y[i]);
    std::fprintf(f, "\n");
  }
  std::fclose(f);
}

void CLocView::DrawCorrelationRadius(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  constexpr int kRow = 41;
  double* x = m_pCurveBufA.data();
  auto* G = reinterpret_cast<double(*)[kRow]>(m_pCurveBufB.data());  // 24 rows of 41
  float length = 0;
  int K = 0;
  double t0 = m_tStart, t1 = m_tEnd;
  const int n =
      doc->FractalDimension(&length, x, G, &K, 2, 22, &t0, &t1, -1, h.m_nMinArrivals, 0.5f);
  if (n == 0) return;
  K = std::clamp(K, 0, kRow);
  const double* y2 = G[2];

  int i0 = 16;
  for (int i = 8; i <= 15 && i + 1 < K; ++i)
    if (y2[i] >= -4 && y2[i + 1] - y2[i] > 0.2 * (x[i + 1] - x[i])) {
      i0 = i;
      break;
    }
  double a = 0, b = 0, siga = 0, sigb = 0, chi2 = 0;
  KZ_Stati::FitLine(x + i0, y2 + i0, std::min(21, std::max(K - i0, 0)), nullptr, &a, &b, &siga,
                    &sigb, nullptr, &chi2, nullptr);

  const int left = m_ptOrigin.x + 500, top = m_ptOrigin.y, right = left + 8000,
            bottom = m_ptOrigin.y - 8000;
  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  Frame(dc, left, top, right, bottom);
  dc->SelectObject(plat::CPen(PS_DOT, 15, RGB(0, 0, 0)));
  for (int k = 1; k <= 9; ++k) {
    dc->MoveTo(left + 800 * k, top);
    dc->LineTo(left + 800 * k, bottom);
  }
  for (int k = 1; k <= 7; ++k) {
    dc->MoveTo(left, top - 1000 * k);
    dc->LineTo(right, top - 1000 * k);
  }
  auto X = [&](double v) { return LocTrunc(v * 4000 + left); };
  auto Y = [&](double v) { return LocTrunc(v * 2000 + top); };
  static constexpr int kOrders[6] = {2, 6, 10, 14, 18, 22};
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  for (const int q : kOrders) {
    const int v = ((q - 2) * 20) % 256;
    dc->SelectObject(plat::CBrush(RGB(v, 0, 0)));
    // Points below the axis's floor (log C of -4) stay off: the frame holds the plot.
    for (int i = 0; i < K; ++i) {
      const int cx = X(x[i]), cy = Y(G[q][i]);
      if (cx - 50 >= left && cx + 50 <= right && cy - 50 >= bottom && cy + 50 <= top)
        dc->Ellipse(cx - 50, cy - 50, cx + 50, cy + 50);
    }
  }
  // The lines are cut at the frame.
  auto xd = [&](double v) { return v * 4000 + left; };
  auto yd = [&](double v) { return v * 2000 + top; };
  dc->SelectObject(plat::CPen(PS_SOLID, 15, RGB(0, 0, 255)));
  for (int i = 0; i + 1 < K; ++i)
    ClippedSegment(dc, xd(x[i]), yd(G[23][i]), xd(x[i + 1]), yd(G[23][i + 1]), left, top, right,
                   bottom);
  dc->SelectObject(plat::CPen(PS_DOT, 15, RGB(255, 0, 0)));
  const double xa = x[i0], xb = x[std::min(29, K - 1)];
  ClippedSegment(dc, xd(xa), yd(a + b * xa), xd(xb), yd(a + b * xb), left, top, right, bottom);
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  dc->TextOut(left + 4000, top - 4000,
              plat::Format("D2=%4.2f, MS2=%4.2f, R2=%4.2f", b, sigb, chi2));
  KZ_DrawLogAxisX(dc, left, bottom, 8000, -1, 0, 2, "r [mm]");
  KZ_DrawAxisY(dc, left, bottom, 8000, 1, -4, 0, 8, "log C(r)");
  DrawTitleLine(dc, left, bottom - 2000, n);

  if (m_strCurveFile.empty()) return;
  std::FILE* f = std::fopen(m_strCurveFile.c_str(), "wt");
  if (!f) return;
  std::fprintf(f, "KVDATA01 %s: n=%d C.Len=%4.1f\n", WindowText(h, m_tStart, m_tEnd).c_str(), n,
               length);
  std::fprintf(f, "SAMPLES %05d\n", K);
  std::fprintf(f, "Log10(r),mm ");
  for (const int q : kOrders) std::fprintf(f, " Log10(C(R>r)),q=%02d", q);
  std::fprintf(f, "\n");
  for (int i = 0; i < K; ++i) {
    std::fprintf(f, "%f", x[i]);
    for (const int q : kOrders) std::fprintf(f, " %f", G[q][i]);
    std::fprintf(f, "\n");
  }
  std::fprintf(f, "[PARAMETERS]\n");
  std::fprintf(f, "min=0.0 -4.0 -4.0 -4.0 -4.0 -4.0 -4.0\n");
  std::fprintf(f, "max=2.0  0.0 0.0   0.0  0.0  0.0 -0.0\n");
  std::fclose(f);
}
