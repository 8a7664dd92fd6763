#include "base/plot/KZ_PolyPlot.h"

#include <cmath>

#include "platform/CDC.h"

void KZ_PolyPlot::Close(bool close) {
  if (close && !m_Points.empty()) m_Points.push_back(m_Points.front());
}

void KZ_PolyPlot::Draw(plat::CDC* dc, UINT penStyle, int penWidth, COLORREF color, bool clear,
                       bool close) {
  const plat::CPen old = dc->SelectObject(plat::CPen(penStyle, penWidth, color));
  DrawCurrentPen(dc, clear, close);
  dc->SelectObject(old);
}

void KZ_PolyPlot::DrawCurrentPen(plat::CDC* dc, bool clear, bool close) {
  Close(close);
  if (!m_Points.empty()) dc->Polyline(m_Points.data(), static_cast<int>(m_Points.size()));
  if (clear) m_Points.clear();
}

void KZ_PolyPlot::DrawFilled(plat::CDC* dc, UINT penStyle, int penWidth, COLORREF penColor,
                             COLORREF brushColor, bool clear) {
  const plat::CPen oldPen = dc->SelectObject(plat::CPen(penStyle, penWidth, penColor));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(brushColor));
  if (!m_Points.empty()) dc->Polygon(m_Points.data(), static_cast<int>(m_Points.size()));
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
  if (clear) m_Points.clear();
}

KZ_ColumnThinner::KZ_ColumnThinner(const plat::CDC* dc, KZ_PolyPlot* out) : m_pOut(out) {
  if (!dc) return;
  const plat::DcState& s = dc->State();
  m_nWindowX = s.windowOrg.x;
  m_nViewportX = s.viewportOrg.x;
  m_nExtWindow = s.windowExt.cx;
  m_nExtViewport = s.viewportExt.cx;
}

// The device x of a logical x in the device context's arithmetic and rounding (half away
// from zero), without a call per point.
int KZ_ColumnThinner::Column(int x) {
  if (!m_bHaveX || x != m_nLastX) {
    m_nLastX = x;
    const double v = (static_cast<double>(x) - m_nWindowX) * m_nExtViewport / m_nExtWindow +
                     m_nViewportX;
    const double t = std::trunc(v), f = v - t;
    m_nLastColumn = static_cast<int>(f >= 0.5 ? t + 1 : f <= -0.5 ? t - 1 : t);
    m_bHaveX = true;
  }
  return m_nLastColumn;
}

void KZ_ColumnThinner::Add(int x, int y) {
  const int c = Column(x);
  const POINT p{x, y};
  if (m_bOpen && c == m_nColumn) {
    ++m_nCount;
    if (y < m_Low.y) m_Low = p, m_nLow = m_nCount;
    if (y > m_High.y) m_High = p, m_nHigh = m_nCount;
    m_Last = p;
    return;
  }
  Finish();
  m_bOpen = true;
  m_nColumn = c;
  m_First = m_Low = m_High = m_Last = p;
  m_nLow = m_nHigh = m_nCount = 0;
}

void KZ_ColumnThinner::Finish() {
  if (!m_bOpen) return;
  m_bOpen = false;
  m_pOut->AddPoint(m_First.x, m_First.y);
  const bool low = m_nLow != 0 && m_nLow != m_nCount, high = m_nHigh != 0 && m_nHigh != m_nCount;
  if (low && (!high || m_nLow < m_nHigh)) m_pOut->AddPoint(m_Low.x, m_Low.y);
  if (high) m_pOut->AddPoint(m_High.x, m_High.y);
  if (low && high && m_nLow > m_nHigh) m_pOut->AddPoint(m_Low.x, m_Low.y);
  if (m_nCount != 0) m_pOut->AddPoint(m_Last.x, m_Last.y);
}

void KZ_DrawPointList(plat::CDC* dc, std::list<POINT>& points, int penWidth, COLORREF color,
                      bool free) {
  if (!points.empty()) {
    const std::vector<POINT> line(points.begin(), points.end());
    const plat::CPen old = dc->SelectObject(plat::CPen(PS_SOLID, penWidth, color));
    dc->Polyline(line.data(), static_cast<int>(line.size()));
    dc->SelectObject(old);
  }
  if (free) points.clear();
}

namespace {
int T(double v) { return static_cast<int>(std::trunc(v)); }

void Segment(plat::CDC* dc, int x1, int y1, int x2, int y2) {
  dc->MoveTo(x1, y1);
  dc->LineTo(x2, y2);
}

void Plus(plat::CDC* dc, int x, int y, int r) {
  Segment(dc, x - r, y, x + r, y);
  Segment(dc, x, y - r, x, y + r);
}
}  // namespace

void KZ_DrawMarker(plat::CDC* dc, int x, int y, int type, int r) {
  if (type < 0 || r < 10) {
    dc->SetPixel(x, y, RGB(0, 0, 0));
    return;
  }
  const double R = r;
  switch (type % 10) {
    case 0:
      dc->Ellipse(x - r, y - r, x + r, y + r);
      break;
    case 1:
      if (type > 10) {
        Plus(dc, x, y, r);
      } else {
        const POINT p[] = {{T(x + R / 2), y}, {x, y + r}, {T(x - R / 2), y}, {x, y - r}};
        dc->Polygon(p, 4);
      }
      break;
    case 2: {
      const POINT p[] = {{x + r, y}, {x, T(y + R / 2)}, {x - r, y}, {x, T(y - R / 2)}};
      dc->Polygon(p, 4);
      break;
    }
    case 3: {
      const POINT p[] = {{x + r, T(y - 0.7 * R)}, {x, T(y + 1.3 * R)}, {x - r, T(y - 0.7 * R)}};
      dc->Polygon(p, 3);
      break;
    }
    case 4:
      dc->Rectangle(x - r, y - r, x + r, y + r);
      break;
    case 5: {
      const POINT p[] = {
          {x + r, y}, {x, y + r}, {x - r, y}, {T(x - 0.6 * R), y - r}, {T(x + 0.6 * R), y - r}};
      dc->Polygon(p, 5);
      break;
    }
    case 6: {
      const int xr = T(x + R / 2), xl = T(x - R / 2);
      const int yd = T(y - 0.85 * R), yu = T(y + 0.85 * R);
      const POINT p[] = {{x + r, y}, {xr, yd}, {xl, yd},  {x - r, y},
                         {xl, yu},   {xr, yu}, {x + r, y}};
      dc->Polygon(p, 7);
      break;
    }
    case 7:
      Plus(dc, x, y, r);
      break;
    case 8:
      Segment(dc, x - r, y - r, x + r, y + r);
      Segment(dc, x - r, y + r, x + r, y - r);
      break;
    default:
      break;
  }
}
