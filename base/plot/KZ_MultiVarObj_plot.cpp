// The data table's drawings: curves against an X column, profiles against a Y column, a
// colour map of columns against the H variable, a polar diagram with the mean
// orientation of axes and fitted curves, and a value-against-angle rose.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_DIB.h"
#include "base/plot/KZ_Model2D.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/plot/KZ_PolyPlot.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/types/KZ_Range.h"
#include "base/types/KZ_TextParse.h"
#include "base/types/KZ_Vector3D.h"
#include "base/util/KZ_DateTime.h"
#include "platform/CDC.h"
#include "platform/Strings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool Has(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }
bool HasFlag(const KZ_Var1D& v, std::uint32_t flag) { return (v.GetAxisFlags() & flag) != 0; }

// Title, ", " and unit (the unit only when there is one), without trailing blanks and
// then trailing commas.
std::string TrimmedLabel(const KZ_Var1D& v) {
  std::string s = v.m_strTitle;
  if (!v.m_strUnit.empty()) s += ", " + v.m_strUnit;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.back() == ',') s.pop_back();
  return s;
}

void RemoveText(std::string& s, const char* what) {
  const std::size_t at = s.find(what);
  if (at != std::string::npos) s.erase(at, std::strlen(what));
}

// The column colour field; an unset (negative) colour draws black.
COLORREF ColourOf(const KZ_Var1D& v) {
  return v.m_nColour < 0 ? RGB(0, 0, 0) : static_cast<COLORREF>(v.m_nColour);
}

double Sample(const KZ_Var1D& v, int i) { return v.GetMagnitude(i); }
double PlotValue(const KZ_Var1D& v, int i) {
  return i < static_cast<int>(v.m_PlotValues.size()) ? v.m_PlotValues[i] : 0.0;
}

// Shortens the exponents of "%e" texts. The rules were made for three-digit exponents,
// so two-digit ones are widened first; each rule is applied twice over the whole text,
// so that every number of a legend line reads the same way ("1.50e-03" as "1.5e-3").
std::string TidyExponents(std::string s) {
  for (std::size_t e = s.find_first_of("eE"); e != std::string::npos;
       e = s.find_first_of("eE", e + 1)) {
    if (e == 0 || (!std::isdigit(static_cast<unsigned char>(s[e - 1])) && s[e - 1] != '.'))
      continue;
    if (e + 1 >= s.size() || (s[e + 1] != '+' && s[e + 1] != '-')) continue;
    std::size_t digits = 0;
    while (e + 2 + digits < s.size() && std::isdigit(static_cast<unsigned char>(s[e + 2 + digits])))
      ++digits;
    if (digits == 2) s.insert(e + 2, "0");
  }
  for (const char* from : {"0e+", "e+0", "0e-", "e-0"}) {
    const std::string to = from[0] == '0' ? std::string(from + 1) : std::string(from, 2);
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t at = s.find(from); at != std::string::npos;
           at = s.find(from, at + to.size()))
        s.replace(at, 3, to);
  }
  return s;
}

// Julian day of the calendar start in a "START_TIME: ..." line.
double StartJulianDay(const std::string& line) {
  KZ_DateTimeFields f;
  KZ_ParseDateTime(line.size() > 12 ? line.c_str() + 12 : "", &f);
  return KZ_JulianDay(f.year, f.month, f.day, f.hour, f.minute, f.seconds, f.zone);
}

// A filled circle of radius r with the DC's pen and brush; nothing below radius 10.
void DrawDisc(plat::CDC* dc, int x, int y, int r) {
  if (r < 10) return;
  KZ_DrawMarker(dc, x, y, 0, r);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Dispatcher

namespace {
// A log axis's decade from a plot bound; an infinite or absurd bound (a table holding
// values near the ends of the double range) must not reach the integer cast.
int Decade(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(v, -1000.0, 1000.0));
}

bool AnyColumnConstant(const KZ_MultiVarObj& t) {
  for (int c = 0; c < t.m_nColumns && c < static_cast<int>(t.m_Columns.size()); ++c)
    if (std::fabs(t.m_Columns[c].m_dMax - t.m_Columns[c].m_dMin) < 1e-20) return true;
  return false;
}

void MakeAllPlotValues(KZ_MultiVarObj& t) {
  for (int c = 0; c < t.m_nColumns && c < static_cast<int>(t.m_Columns.size()); ++c)
    t.m_Columns[c].MakePlotValues(false, false);
}

int ColumnsInUse(const KZ_MultiVarObj& t) {
  return std::min(t.m_nColumns, static_cast<int>(t.m_Columns.size()));
}

// The row filter of every row a drawing may visit, evaluated once instead of once per
// column (the filter looks at every column of the row).
std::vector<char> RowFilter(const KZ_MultiVarObj& t) {
  int rows = 0;
  for (int c = 0; c < ColumnsInUse(t); ++c) rows = std::max(rows, t.m_Columns[c].m_nCount);
  std::vector<char> ok(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) ok[i] = t.IsRowInRange(i) ? 1 : 0;
  return ok;
}
}  // namespace

void KZ_MultiVarObj::DrawXY(plat::CDC* dc, int x, int y, int w, int h, char grid) {
  if (!dc || AnyColumnConstant(*this)) return;
  if (m_pHVar && m_pHVar->m_nCount == m_nColumns - 1 && m_pHVar->m_nPlotStyle > 1) {
    DrawColourMap(dc, x, y, w, h, grid);
    return;
  }
  int nX = 0, nY = 0;
  for (int c = 0; c < ColumnsInUse(*this); ++c) {
    if (HasFlag(m_Columns[c], KZ_AXIS_X)) ++nX;
    if (HasFlag(m_Columns[c], KZ_AXIS_Y)) ++nY;
  }
  if (nX == 0 && nY == 0) return;
  if (nX == 1 || nX < nY)
    DrawXYCurves(dc, x, y, w, h, grid);
  else
    DrawProfiles(dc, x, y, w, h, grid);
}

// ---------------------------------------------------------------------------------
// Curves against the X column

void KZ_MultiVarObj::DrawXYCurves(plat::CDC* dc, int x, int y, int w, int h, char grid) {
  if (!dc) return;
  const int ncol = ColumnsInUse(*this);
  MakeAllPlotValues(*this);
  int ix = -1;
  for (int c = 0; c < ncol && ix < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_X)) ix = c;
  if (ix < 0 || m_Columns[ix].m_nCount < 2) return;

  // Lower and upper X bounds per row in the two columns after the X column.
  const KZ_Var1D* xLow = nullptr;
  const KZ_Var1D* xHigh = nullptr;
  if ((m_Columns[ix].m_nPlotStyle & 8) && ix + 2 < ncol &&
      m_Columns[ix + 1].m_strTitle.rfind("mi", 0) != 0) {
    xLow = &m_Columns[ix + 1];
    xHigh = &m_Columns[ix + 2];
  }
  int iz = -1;
  for (int c = 0; c < ncol && iz < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_Z)) iz = c;
  const KZ_Var1D* zc = iz >= 0 ? &m_Columns[iz] : nullptr;
  const double zmin = zc ? zc->m_fPlotMin : -1e30, zmax = zc ? zc->m_fPlotMax : 1e30;

  const KZ_Var1D& X0 = m_Columns[ix];
  const double xmin = X0.m_fPlotMin, xmax = X0.m_fPlotMax;
  const double sx = w / (xmax - xmin);
  const double xlo = std::min(xmin, xmax), xhi = std::max(xmin, xmax);
  const int y0 = y - h;
  const std::string startLine =
      m_nHeaders >= 0 && m_nHeaders < kHeaderLines ? m_strHeader[m_nHeaders] : "";

  std::string xLabel = TrimmedLabel(X0);
  const int xTicks = Has(xLabel, "deg") ? 8 : 10;
  const bool timeWord = Has(xLabel, "Time") || Has(xLabel, "time") || Has(xLabel, "day") ||
                        Has(xLabel, "hour") || Has(xLabel, "min") || Has(xLabel, "sec");
  if (timeWord && Has(startLine, "START_TIME")) {
    const double f = KZ_UnitToSI(xLabel.c_str(), nullptr);
    if (grid)
      KZ_DrawTimeAxis2(dc, x, y0, w, 0.0f, -1, StartJulianDay(startLine) + xmin * f / 86400.0,
                       (xmax - xmin) * f / 86400.0, X0.m_nLog == 1 ? "log" : " ");
    KZ_DrawAxisX(dc, x, y, w, 1, static_cast<float>(xmin), static_cast<float>(xmax), xTicks,
                 xLabel.c_str(), 0);
  } else if (Has(xLabel, "log") || X0.m_nLog == 1) {
    RemoveText(xLabel, "log");
    if (grid)
      KZ_DrawLogAxisX(dc, x, y0, w, -1, Decade(xmin), Decade(xmax),
                      xLabel.c_str());
    KZ_DrawLogAxisX(dc, x, y, w, 1, Decade(xmin), Decade(xmax), xLabel.c_str());
  } else {
    if (grid)
      KZ_DrawAxisX(dc, x, y0, w, -1, static_cast<float>(xmin), static_cast<float>(xmax), xTicks,
                   xLabel.c_str(), 0);
    KZ_DrawAxisX(dc, x, y, w, 1, static_cast<float>(xmin), static_cast<float>(xmax), xTicks,
                 xLabel.c_str(), 0);
  }

  int nY = 0;
  for (int c = 0; c < ncol; ++c)
    if (c != ix && HasFlag(m_Columns[c], KZ_AXIS_Y)) ++nY;
  if (nY == 0) return;

  dc->SetTextAlign(TA_LEFT | TA_TOP);
  int ty = y0 - 1800;
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i) {
    KZ_DrawMultilineText(dc, x, &ty, m_strHeader[i]);
    ty -= 750;
  }
  int lx = x, ly = y0;
  if (static_cast<int>(xmin + xmax) == 0) {
    dc->MoveTo(x + w / 2, y0);
    dc->LineTo(x + w / 2, y);
  }
  KZ_Pal1C rainbow;
  rainbow.SetRange(0.0, X0.m_nCount, 0.0, 360.0, 3);
  const std::vector<char> rowOk = RowFilter(*this);
  const int s = static_cast<int>(m_fSizeScale);

  // What each drawn Y column used, for the iso-Z lines.
  struct Drawn {
    int xc, yc;
    double ymin, sy;
  };
  std::vector<Drawn> drawn;
  int xc = ix;
  bool pairMet = false;
  double ymin = 0, ymax = 1, sy = 1;
  int k = 0;
  for (int c = 0; c < ncol; ++c) {
    if (c == xc || !HasFlag(m_Columns[c], KZ_AXIS_Y)) continue;
    int yc = c;
    const bool pairBefore = pairMet;
    if (HasFlag(m_Columns[c], KZ_AXIS_X)) {
      if (c + 1 >= ncol) continue;
      xc = c;
      yc = c + 1;
      ++c;
      pairMet = true;
    }
    ++k;
    KZ_Var1D& X = m_Columns[xc];
    KZ_Var1D& Y = m_Columns[yc];
    const COLORREF colour = ColourOf(Y);
    const plat::CPen oldPen =
        dc->SelectObject(plat::CPen(PS_SOLID, X.m_nCount < 500 ? 25 : 0, colour));
    dc->SetTextColor(colour);
    // Once a pair has set the axes, later columns are drawn on its range.
    if (k == 1 || !pairBefore) {
      ymin = Y.m_fPlotMin;
      ymax = Y.m_fPlotMax;
    }
    sy = h / (ymax - ymin);
    const double lower = std::min(ymin, ymax), upper = std::max(ymin, ymax);
    std::string label = Y.m_strTitle + ", " + Y.m_strUnit;
    if (k == 1 || k == 2) {
      const int ax = k == 1 ? x : x + w;
      const int side = k == 1 ? 1 : -1;
      const bool logAxis = Y.m_nLog == 1 || (Has(label, "log") && (k == 1 || nY == 2));
      if (logAxis) {
        RemoveText(label, "log");
        KZ_DrawLogAxisY(dc, ax, y0, h, side, Decade(ymin), Decade(ymax),
                        label.c_str());
      } else {
        KZ_DrawAxisY(dc, ax, y0, h, side, static_cast<float>(ymin), static_cast<float>(ymax), 10,
                     label.c_str(), colour);
      }
      if (k == 2) lx = x + w + 2300, ly = y;
    } else if (k < 20) {
      dc->SetTextAlign(TA_LEFT | TA_TOP);
      dc->TextOut(lx, ly,
                  TidyExponents(plat::Format("%s, [%.2e, %.2e]", label.c_str(), ymin, ymax)));
      ly -= 500;
    }
    const bool circles = Has(Y.m_strTitle, "cir");
    if (circles) Y.m_nPlotStyle = 1;
    const int style = Y.m_nPlotStyle;

    // Error-bar columns: values before and half-widths here when the next column's
    // title begins with "mi", else lower and upper bounds in the two columns after.
    const bool halfWidths = yc + 1 < ncol && m_Columns[yc + 1].m_strTitle.rfind("mi", 0) == 0;
    const KZ_Var1D* eVal = halfWidths && yc >= 1 ? &m_Columns[yc - 1] : nullptr;
    const KZ_Var1D* eLow = !halfWidths && yc + 2 < ncol ? &m_Columns[yc + 1] : nullptr;
    const KZ_Var1D* eHigh = eLow ? &m_Columns[yc + 2] : nullptr;

    const int n = std::min(X.m_nCount, Y.m_nCount);
    const int nx = X.m_nCount;
    auto PX = [&](double v) { return static_cast<int>(x + (v - xmin) * sx); };
    auto PY = [&](double v) { return static_cast<int>(y0 + (v - ymin) * sy); };
    // Crowded lines reach the device as a few points per pixel column.
    KZ_PolyPlot line;
    KZ_ColumnThinner thinned(dc, &line);
    int lastX = x, lastY = y0;
    for (int i = 0; i < n; ++i) {
      const double xi = PlotValue(X, i);
      if (xi < xlo || xi > xhi) continue;
      if (zc && (i >= zc->m_nCount || PlotValue(*zc, i) < zmin || PlotValue(*zc, i) > zmax))
        continue;
      if (!rowOk[i]) continue;
      const double yi = PlotValue(Y, i);
      const int px = PX(xi), py = PY(std::max(yi, lower));
      if (style & 1) {
        const int r = zc ? static_cast<int>((PlotValue(*zc, i) - zmin) * m_fSizeScale) : s;
        if (circles) {
          const plat::CBrush oldBrush =
              dc->SelectObject(plat::CBrush(rainbow.ValueToColor(i, 1.0)));
          DrawDisc(dc, px, py, r);
          dc->SelectObject(oldBrush);
        } else {
          dc->Ellipse(px - r, py - r, px + r, py + r);
        }
        if (k == 1 && xLow) {
          dc->MoveTo(PX(PlotValue(*xLow, i)), py);
          dc->LineTo(PX(PlotValue(*xHigh, i)), py);
        }
      }
      if (style & 2) {
        if (std::abs(px - lastX) > 100 || std::abs(py - lastY) > 100) {
          thinned.Add(px, py);
          lastX = px;
          lastY = py;
        }
      }
      if (style & 4) {
        const double left =
            i == 0 ? (3 * PlotValue(X, 0) - PlotValue(X, 1)) / 2 : (PlotValue(X, i - 1) + xi) / 2;
        const double right = i == nx - 1 ? (3 * PlotValue(X, nx - 1) - PlotValue(X, nx - 2)) / 2
                                         : (xi + PlotValue(X, i + 1)) / 2;
        const int bl = PX(left), br = PX(right);
        if (!(std::max(bl, br) < x || std::min(bl, br) > x + w)) dc->Rectangle(bl, y0, br, py);
      }
      if (style & 8) {
        if (eVal) {
          const double e = PlotValue(*eVal, i), v = yi;
          if (e >= lower && e <= upper) {
            dc->MoveTo(px, PY(e - v));
            dc->LineTo(px, PY(e + v));
          }
        } else if (eLow) {
          const double lo = PlotValue(*eLow, i), hi = PlotValue(*eHigh, i);
          if (lo >= lower && hi <= upper) {
            dc->MoveTo(px, PY(lo));
            dc->LineTo(px, PY(hi));
          }
        }
      }
    }
    thinned.Finish();
    if (style & 2) line.Draw(dc, PS_SOLID, Y.m_nLineWidth, colour, true, false);
    dc->SelectObject(oldPen);
    drawn.push_back({xc, yc, ymin, sy});
  }

  // Fitted curves of the analysis matrix (row 0 x, row 1 y).
  for (int j = 1; j < m_nHeaders && j < kHeaderLines; ++j) {
    const std::string& line = m_strHeader[j];
    if (!Has(line, "Fitting")) continue;
    int fx = -1, fy = 0;
    KZ_GetKeyInt(line.c_str(), "iX=", &fx);
    if (fx != xc) continue;
    KZ_GetKeyInt(line.c_str(), "iY=", &fy);
    if (fy < 0 || fy >= ncol) continue;  // a fit of a column the table does not have
    const double fmin = m_Columns[fy].m_fPlotMin;
    if (!m_ppMatrix || m_nMatrixRows < 2) continue;  // no y row to draw
    KZ_PolyPlot curve;
    for (int m = 0; m < m_nMatrixColumns; ++m)
      curve.AddPoint(static_cast<int>(x + (m_ppMatrix[0][m] - xmin) * sx),
                     static_cast<int>(y0 + (m_ppMatrix[1][m] - fmin) * sy));
    curve.Draw(dc, PS_SOLID, 30, RGB(255, 0, 0), true, false);
  }

  // Iso-Z lines: for each tenth of the Z range, the point of each Y column where Z first
  // reaches the level.
  if (zc) {
    const double step = (zmax - zmin) / 10;
    for (int L = 1; L <= 10; ++L) {
      const double level = L * step;
      int j = -1;
      for (int i = 1; i < zc->m_nCount; ++i)
        if (PlotValue(*zc, i) >= level) {
          j = i;
          break;
        }
      if (j < 0) break;
      const double dz = PlotValue(*zc, j) - PlotValue(*zc, j - 1);
      const double t = dz != 0 ? (PlotValue(*zc, j) - level) / dz : 0.0;
      KZ_PolyPlot iso;
      for (const Drawn& d : drawn) {
        const KZ_Var1D& X = m_Columns[d.xc];
        const KZ_Var1D& Y = m_Columns[d.yc];
        if (j >= X.m_nCount || j >= Y.m_nCount) continue;
        const double xv = PlotValue(X, j) - (PlotValue(X, j) - PlotValue(X, j - 1)) * t;
        const double yv = PlotValue(Y, j) - (PlotValue(Y, j) - PlotValue(Y, j - 1)) * t;
        iso.AddPoint(static_cast<int>(x + (xv - xmin) * sx),
                     static_cast<int>(y0 + (yv - d.ymin) * d.sy));
      }
      iso.Draw(dc, PS_SOLID, 30, KZ_CycleColor(0), true, false);
    }
  }
}

// ---------------------------------------------------------------------------------
// Profiles against the Y column

void KZ_MultiVarObj::DrawProfiles(plat::CDC* dc, int x, int y, int w, int h, char /*grid*/) {
  if (!dc) return;
  const int ncol = ColumnsInUse(*this);
  MakeAllPlotValues(*this);
  int iy = -1;
  for (int c = 0; c < ncol && iy < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_Y)) iy = c;
  if (iy < 0 || m_Columns[iy].m_nCount < 2) return;
  int iz = -1;
  for (int c = 0; c < ncol && iz < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_Z)) iz = c;
  const KZ_Var1D* zc = iz >= 0 ? &m_Columns[iz] : nullptr;
  const double zmin = zc ? zc->m_fPlotMin : -1e30, zmax = zc ? zc->m_fPlotMax : 1e30;

  const int y0 = y - 500 - h;
  const KZ_Var1D& Y0 = m_Columns[iy];
  const double ymin = Y0.m_fPlotMin, ymax = Y0.m_fPlotMax;
  const double sy = h / (ymax - ymin);
  const double ylo = std::min(ymin, ymax), yhi = std::max(ymin, ymax);
  const std::string yLabel = TrimmedLabel(Y0);
  KZ_DrawAxisY(dc, x, y0, h, 1, static_cast<float>(ymin), static_cast<float>(ymax), 10,
               yLabel.c_str(), 0);
  KZ_DrawAxisY(dc, x + w, y0, h, -1, static_cast<float>(ymin), static_cast<float>(ymax), 10,
               yLabel.c_str(), 0);

  const std::vector<char> rowOk = RowFilter(*this);
  struct Drawn {
    int xc, yc;
    double xmin, sx;
  };
  std::vector<Drawn> drawn;
  int yc = iy;
  bool pairMet = false;
  double xmin = 0, xmax = 1, sx = 1;
  int ly = y0 - 1500;
  int k = 0;
  for (int c = 0; c < ncol; ++c) {
    if (c == yc || !HasFlag(m_Columns[c], KZ_AXIS_X)) continue;
    int xc = c;
    const bool pairBefore = pairMet;
    if (HasFlag(m_Columns[c], KZ_AXIS_Y)) {
      if (c + 1 >= ncol) continue;
      yc = c;
      xc = c + 1;
      ++c;
      pairMet = true;
    }
    ++k;
    const KZ_Var1D& X = m_Columns[xc];
    const KZ_Var1D& Y = m_Columns[yc];
    const COLORREF colour = ColourOf(X);
    const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 30, colour));
    dc->SetTextColor(colour);
    if (k == 1 || !pairBefore) {
      xmin = X.m_fPlotMin;
      xmax = X.m_fPlotMax;
    }
    sx = w / (xmax - xmin);
    const std::string label = TrimmedLabel(X);
    if (k == 1) {
      KZ_DrawAxisX(dc, x, y0, w, -1, static_cast<float>(xmin), static_cast<float>(xmax), 10,
                   label.c_str(), colour);
      ly = y0 - 1500;
    } else if (k == 2) {
      KZ_DrawAxisX(dc, x, y0 + h, w, 1, static_cast<float>(xmin), static_cast<float>(xmax), 10,
                   label.c_str(), colour);
    } else {
      const UINT oldAlign = dc->SetTextAlign(TA_CENTER | TA_TOP);
      dc->TextOut(x + w / 2, ly, plat::Format("%s, %6.2f %6.2f)", label.c_str(), xmin, xmax));
      dc->SetTextAlign(oldAlign);
      ly -= 500;
    }
    const int style = X.m_nPlotStyle;
    const bool halfWidths = xc + 1 < ncol && m_Columns[xc + 1].m_strTitle.rfind("mi", 0) == 0;
    const KZ_Var1D* eVal = halfWidths && xc >= 1 ? &m_Columns[xc - 1] : nullptr;
    const KZ_Var1D* eLow = !halfWidths && xc + 2 < ncol ? &m_Columns[xc + 1] : nullptr;
    const KZ_Var1D* eHigh = eLow ? &m_Columns[xc + 2] : nullptr;
    auto PX = [&](double v) { return static_cast<int>(x + (v - xmin) * sx); };
    auto PY = [&](double v) { return static_cast<int>(y0 + (v - ymin) * sy); };
    const int n = std::min(X.m_nCount, Y.m_nCount);
    const int ny = Y.m_nCount;
    KZ_PolyPlot line;
    for (int i = 0; i < n; ++i) {
      const double yi = Sample(Y, i);
      if (yi < ylo || yi > yhi) continue;
      if (zc && (i >= zc->m_nCount || Sample(*zc, i) < zmin || Sample(*zc, i) > zmax)) continue;
      if (!rowOk[i]) continue;
      const double xi = Sample(X, i);
      const int px = PX(std::min(xi, xmax)), py = PY(yi);
      if (style & 1) {
        const int r = zc ? static_cast<int>((Sample(*zc, i) - zmin) * m_fSizeScale)
                         : static_cast<int>(m_fSizeScale);
        dc->Ellipse(px - r, py - r, px + r, py + r);
      }
      if (style & 2) line.AddPoint(px, py);
      if (style & 4) {
        const int bottom = i == 0 ? y0 : PY((Sample(Y, i - 1) + yi) / 2);
        const int top = i == ny - 1 ? y0 + h : PY((yi + Sample(Y, i + 1)) / 2);
        dc->Rectangle(x, top, px, bottom);
      }
      if (style & 8) {
        if (eVal) {
          const double e = Sample(*eVal, i);
          dc->MoveTo(PX(e - xi), py);
          dc->LineTo(PX(e + xi), py);
        } else if (eLow) {
          dc->MoveTo(PX(Sample(*eLow, i)), py);
          dc->LineTo(PX(Sample(*eHigh, i)), py);
        }
      }
    }
    if (style & 2) line.Draw(dc, PS_SOLID, X.m_nLineWidth, colour, true, false);
    dc->SelectObject(oldPen);
    drawn.push_back({xc, yc, xmin, sx});
  }

  dc->SetTextAlign(TA_LEFT | TA_TOP);
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i) {
    dc->TextOut(x, ly, m_strHeader[i]);
    ly -= 500;
  }
  if (static_cast<int>(ymin + ymax) == 0) {
    dc->MoveTo(x, y0 + h / 2);
    dc->LineTo(x + w, y0 + h / 2);
  }
  if (zc) {
    const double step = (zmax - zmin) / 10;
    for (int L = 1; L <= 10; ++L) {
      const double level = L * step;
      int j = -1;
      for (int i = 1; i < zc->m_nCount; ++i)
        if (Sample(*zc, i) >= level) {
          j = i;
          break;
        }
      if (j < 0) break;
      const double dz = Sample(*zc, j) - Sample(*zc, j - 1);
      const double t = dz != 0 ? (Sample(*zc, j) - level) / dz : 0.0;
      KZ_PolyPlot iso;
      for (const Drawn& d : drawn) {
        const KZ_Var1D& X = m_Columns[d.xc];
        const KZ_Var1D& Y = m_Columns[d.yc];
        if (j >= X.m_nCount || j >= Y.m_nCount) continue;
        const double xv = Sample(X, j) - (Sample(X, j) - Sample(X, j - 1)) * t;
        const double yv = Sample(Y, j) - (Sample(Y, j) - Sample(Y, j - 1)) * t;
        iso.AddPoint(static_cast<int>(x + (xv - d.xmin) * d.sx),
                     static_cast<int>(y0 + (yv - ymin) * sy));
      }
      iso.Draw(dc, PS_SOLID, 30, KZ_CycleColor(0), true, false);
    }
  }
}

// ---------------------------------------------------------------------------------
// Colour map of columns 1..n against the H variable

void KZ_MultiVarObj::DrawColourMap(plat::CDC* dc, int x, int y, int w, int h, char grid) {
  const int ncol = ColumnsInUse(*this);
  if (!dc || !m_pHVar || ncol < 2) return;
  KZ_Var1D& H = *m_pHVar;
  KZ_Var1D& C0 = m_Columns[0];
  KZ_Var1D& C1 = m_Columns[1];
  H.MakePlotValues(false, false);
  C0.MakePlotValues(false, false);
  C1.MakePlotValues(false, false);
  KZ_Model2D model;
  model.SetGridFromColumns(&H, &C0, m_strHeader[1]);
  const std::string startLine =
      m_nHeaders >= 0 && m_nHeaders < kHeaderLines ? m_strHeader[m_nHeaders] : "";
  m_Palette.SetRange(C1.m_fPlotMin, C1.m_fPlotMax, m_Palette.m_dHueStart, m_Palette.m_dHueEnd,
                     m_nColourLevels);
  m_Palette.m_dPlotSpan = C1.m_fPlotSpan;
  m_Palette.m_strTitle = startLine;
  const bool stereo = Has(m_strHeader[0], "stereoplot");
  if (stereo) w = h = std::min(w, h);

  // The field is painted into a white bitmap of the frame's size and blitted as one
  // picture, so that printers and metafiles get one operation instead of every cell.
  const int n = std::min(H.m_nCount, ncol - 1);
  std::vector<double*> values;
  for (int c = 1; c <= n; ++c) values.push_back(m_Columns[c].m_pData);
  SIZE size{w, h};
  dc->LPtoDP(&size);
  plat::CDC mem;
  plat::CBitmap bitmap;
  if (n >= 1 && size.cx > 0 && size.cy > 0 && mem.CreateCompatibleDC(dc) &&
      bitmap.CreateCompatibleBitmap(dc, size.cx, size.cy)) {
    const plat::CBitmap old = mem.SelectObject(bitmap);
    mem.SetMapMode(dc->GetMapMode());
    mem.PatBlt(0, 0, w, -h, WHITENESS);
    model.DrawCells(&mem, 0, 0, w / (H.m_fPlotMax - H.m_fPlotMin),
                    h / (C0.m_fPlotMax - C0.m_fPlotMin), &m_Palette, values.data(), n, C0.m_nCount,
                    m_nStep);
    mem.SelectObject(old);
    const plat::MemBlock dib = KZ_BitmapToDIB(bitmap);
    const RECT destination{x, y, x + w, y - h};
    KZ_PaintDIB(dc, &destination, dib, nullptr);
  }

  const int y0 = y - h;
  if (stereo) {
    const int r = w / 2;
    const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
    const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(0, 0, 0)));
    dc->Ellipse(x, y, x + 2 * r, y - 2 * r);
    dc->MoveTo(x, y - r);
    dc->LineTo(x + 2 * r, y - r);
    dc->MoveTo(x + r, y);
    dc->LineTo(x + r, y - 2 * r);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
    m_Palette.DrawColorBarV(dc, x + 2 * r + 1000, y - r - 500, r, 500, 1.0);
  } else {
    std::string xLabel = TrimmedLabel(H);
    const float hmin = H.m_fPlotMin, hmax = H.m_fPlotMax;
    const int ticks = Has(xLabel, "deg") ? 8 : 10;
    if ((Has(xLabel, "Time") || Has(xLabel, "time")) && Has(startLine, "START_TIME")) {
      const double f = KZ_UnitToSI(xLabel.c_str(), nullptr);
      if (grid)
        KZ_DrawTimeAxis2(dc, x, y0 - 250, w, 0.0f, -1,
                         StartJulianDay(startLine) + hmin * f / 86400.0,
                         (hmax - hmin) * f / 86400.0, H.m_nLog == 1 ? "log" : " ");
      KZ_DrawAxisX(dc, x, y + 250, w, 1, hmin, hmax, ticks, xLabel.c_str(), 0);
    } else if (Has(xLabel, "log") || H.m_nLog == 1) {
      RemoveText(xLabel, "log");
      if (grid)
        KZ_DrawLogAxisX(dc, x, y0 - 250, w, -1, Decade(hmin), Decade(hmax),
                        xLabel.c_str());
      KZ_DrawLogAxisX(dc, x, y + 250, w, 1, Decade(hmin), Decade(hmax),
                      xLabel.c_str());
    } else {
      if (grid) KZ_DrawAxisX(dc, x, y0 - 250, w, -1, hmin, hmax, ticks, xLabel.c_str(), 0);
      KZ_DrawAxisX(dc, x, y + 250, w, 1, hmin, hmax, ticks, xLabel.c_str(), 0);
    }
    const std::string yLabel = TrimmedLabel(C0);
    KZ_DrawAxisY(dc, x - 250, y0, h, 1, C0.m_fPlotMin, C0.m_fPlotMax, 10, yLabel.c_str(), 0);
    KZ_DrawAxisY(dc, x + w + 250, y0, h, -1, C0.m_fPlotMin, C0.m_fPlotMax, 10, "", 0);
    m_Palette.DrawColorBarV(dc, x + w + 2000, y0 + 5000, 5000, 500, 1.0);
  }
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  int ty = y0 - 2000;
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i) {
    dc->TextOut(x, ty, m_strHeader[i]);
    ty -= 600;
  }
}

// ---------------------------------------------------------------------------------
// Polar diagram

namespace {

// Unit vector of a compass azimuth phi and an upward plunge psi (radians).
KZ_Vector3D AxisVector(double phi, double psi) {
  return KZ_Vector3D(std::sin(phi) * std::cos(psi), std::cos(phi) * std::cos(psi), std::sin(psi));
}

KZ_Vector3D MeanOf(const std::vector<KZ_Vector3D>& u) {
  KZ_Vector3D m(0, 0, 0);
  for (const auto& v : u) m = KZ_Vector3D(m.x + v.x, m.y + v.y, m.z + v.z);
  m.Normalize();
  return m;
}

KZ_Vector3D Flipped(const KZ_Vector3D& v, const KZ_Vector3D& side) {
  return KZ_Dot(v, side) < 0 ? KZ_Vector3D(-v.x, -v.y, -v.z) : v;
}

}  // namespace

void KZ_MultiVarObj::DrawPolar(plat::CDC* dc, int x, int y, int /*w*/, int /*h*/) {
  if (!dc || AnyColumnConstant(*this)) return;
  const int ncol = ColumnsInUse(*this);
  int ia = -1, ir = -1;
  for (int c = 0; c < ncol; ++c) {
    if (ia < 0 && HasFlag(m_Columns[c], KZ_AXIS_X)) ia = c;
    if (ir < 0 && HasFlag(m_Columns[c], KZ_AXIS_Y)) ir = c;
  }
  if (ia < 0 || ir < 0 || m_Columns[ia].m_nCount < 2 || m_Columns[ir].m_nCount < 2) return;
  MakeAllPlotValues(*this);
  const KZ_Var1D& A = m_Columns[ia];
  const KZ_Var1D& R = m_Columns[ir];

  const int cx = x + 5000, cy = y - 5000;
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->MoveTo(cx - 5500, cy);
  dc->LineTo(cx + 5500, cy);
  dc->MoveTo(cx, cy - 5500);
  dc->LineTo(cx, cy + 5500);
  {
    const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 10, RGB(64, 64, 64)));
    const std::string& rt = R.m_strTitle;
    const int rings = Has(rt, "Ad") || Has(rt, "ad") || Has(rt, "Pl") || Has(rt, "pl") ? 6 : 5;
    for (int k = 1; k <= rings; ++k) {
      const int r = 5000 * k / rings;
      dc->Ellipse(cx - r, cy - r, cx + r, cy + r);
    }
    dc->SelectObject(oldPen);
  }
  const bool degrees = Has(A.m_strUnit, "eg");
  const bool compass = Has(A.m_strTitle, "Az") || Has(A.m_strTitle, "az");
  const int na = A.m_nCount;
  std::vector<double> a(na), theta(na);
  for (int i = 0; i < na; ++i) {
    a[i] = Sample(A, i) * (degrees ? kPi / 180 : 1.0);
    theta[i] = compass ? kPi / 2 - a[i] : a[i];
  }
  int iz = -1;
  for (int c = 0; c < ncol && iz < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_Z)) iz = c;
  const KZ_Var1D* zc = iz >= 0 ? &m_Columns[iz] : nullptr;
  const double zmin = zc ? zc->m_fPlotMin : 0.0;

  std::string meanText;
  double kr = 1, ymin = 0;
  int k = 0;
  for (int c = 0; c < ncol; ++c) {
    const KZ_Var1D& V = m_Columns[c];
    if (V.GetAxisFlags() != KZ_AXIS_Y) continue;
    ++k;
    const bool vDegrees = Has(V.m_strUnit, "eg");
    const double fmax = vDegrees ? 90.0 : kPi / 2;
    kr = 5000 / (V.m_fPlotMax - V.m_fPlotMin);
    ymin = V.m_fPlotMin;
    const bool isAd = Has(V.m_strTitle, "Ad") || Has(V.m_strTitle, "ad");
    const bool isPl = !isAd && (Has(V.m_strTitle, "Pl") || Has(V.m_strTitle, "pl"));
    const int n = std::min(na, V.m_nCount);
    auto rho = [&](int i) {
      const double v = PlotValue(V, i);
      return ((isAd ? v : isPl ? fmax - v : v) - ymin) * kr;
    };
    if (vDegrees && n > 0) {
      // Mean orientation of the axes (azimuth, plunge): an axis and its opposite are one.
      std::vector<KZ_Vector3D> u(n);
      for (int i = 0; i < n; ++i)
        u[i] = AxisVector(compass ? a[i] : kPi / 2 - a[i], PlotValue(V, i) * kPi / 180);
      KZ_Vector3D m = MeanOf(u), mNew = m;
      double alpha = 0, beta = 0;
      for (int it = 0; it < 10; ++it) {
        std::vector<KZ_Vector3D> f(n);
        for (int i = 0; i < n; ++i) f[i] = Flipped(u[i], m);
        mNew = MeanOf(f);
        mNew.GetAnglesDeg(&alpha, &beta);
        if (KZ_Dot(m, mNew) > 0.99) break;
        m = mNew;
      }
      double sa = 0, sb = 0;
      for (int i = 0; i < n; ++i) {
        double ai = 0, bi = 0;
        Flipped(u[i], mNew).GetAnglesDeg(&ai, &bi);
        double d = std::fabs(ai - alpha);
        if (d > 90) d -= 90;
        sa += d;
        sb += (bi - beta) * (bi - beta);
      }
      const float spreadA = std::sqrt(static_cast<float>(sa / na));
      const float spreadB = std::sqrt(static_cast<float>(sb / na));
      meanText =
          plat::Format("(%s, %s) <Az>=%.2f, SE=%.2f, <Pl>=%.2f, SE=%.2f", A.m_strTitle.c_str(),
                       V.m_strTitle.c_str(), 90 - alpha, spreadA, 90 - beta, spreadB);
    }
    const int style = V.m_nPlotStyle;
    if (style & (2 | 4)) {
      KZ_PolyPlot line;
      for (int i = 0; i < n; ++i)
        line.AddPoint(static_cast<int>(cx + rho(i) * std::cos(theta[i])),
                      static_cast<int>(cy + rho(i) * std::sin(theta[i])));
      line.Draw(dc, PS_SOLID, V.m_nLineWidth, KZ_CycleColor(k - 1), true, true);
    }
    if (style & (1 | 4)) {
      for (int i = 0; i < n; ++i) {
        const int r = zc && i < zc->m_nCount
                          ? static_cast<int>((PlotValue(*zc, i) - zmin) * m_fSizeScale)
                          : static_cast<int>(m_fSizeScale);
        const int px = static_cast<int>(cx + rho(i) * std::cos(theta[i]));
        const int py = static_cast<int>(cy + rho(i) * std::sin(theta[i]));
        dc->Ellipse(px - r, py - r, px + r, py + r);
      }
    }
    if ((style & 8) && c >= 1) {
      // This column holds half-widths of the values in the column before it.
      const KZ_Var1D& E = m_Columns[c - 1];
      for (int i = 0; i < n && i < E.m_nCount; ++i) {
        const double e = Sample(E, i), v = PlotValue(V, i);
        const double r0 = (e - v - ymin) * kr, r1 = (e + v - ymin) * kr;
        dc->MoveTo(static_cast<int>(cx + r0 * std::cos(theta[i])),
                   static_cast<int>(cy + r0 * std::sin(theta[i])));
        dc->LineTo(static_cast<int>(cx + r1 * std::cos(theta[i])),
                   static_cast<int>(cy + r1 * std::sin(theta[i])));
      }
    }
  }

  // Fitted curves of the header's "Fitting" lines.
  if (m_nHeaders >= 2 && m_nHeaders <= kHeaderLines) {
    const std::string& last = m_strHeader[m_nHeaders - 1];
    int fx = -1;
    KZ_GetKeyInt(last.c_str(), "iX=", &fx);
    const double rmin = R.m_fPlotMin;
    for (int j = 1; j < m_nHeaders && fx == ia; ++j) {
      const std::string& line = m_strHeader[j];
      if (!Has(line, "Fitting")) continue;
      KZ_PolyPlot curve;
      if (Has(line, "sin(x")) {
        const double fa = KZ_GetKeyFloat(last.c_str(), "y=", 1.0f);
        double fb = KZ_GetKeyFloat(last.c_str(), "x +", 0.0f) * kPi / 180;
        const double fc = KZ_GetKeyFloat(last.c_str(), ") +", 0.0f);
        if (degrees) fb = kPi / 2 - fb;
        for (int t = 0; t <= 360; t += 2) {
          double th = t * kPi / 90;  // twice round the circle
          if (degrees) th = kPi / 2 - th;
          const double r = (fa * std::sin(th + fb) + fc - rmin) * kr;
          curve.AddPoint(static_cast<int>(cx + r * std::cos(th)),
                         static_cast<int>(cy + r * std::sin(th)));
        }
        curve.Draw(dc, PS_SOLID, 30, KZ_CycleColor(k - 1), true, false);
      } else if (Has(line, "Fitting:TI")) {
        const double vmin = KZ_GetKeyFloat(line.c_str(), "min=", 0.0f);
        const float eps = KZ_GetKeyFloat(line.c_str(), "eps=", 0.0f);
        const double del = KZ_GetKeyFloat(line.c_str(), "sig=", eps);
        const double th0 = KZ_GetKeyFloat(line.c_str(), "ng0=", 0.0f) * kPi / 180;
        for (int t = 0; t < 180; ++t) {
          const double th = 2 * t * kPi / 180;
          const double drawn = compass ? kPi / 2 - th : th;
          const double psi = th - th0;
          const double s2 = std::sin(psi) * std::sin(psi), c2 = std::cos(psi) * std::cos(psi);
          const double r = vmin * (1 + del * s2 * c2 + eps * s2 * s2) * kr;
          curve.AddPoint(static_cast<int>(cx + r * std::cos(drawn)),
                         static_cast<int>(cy + r * std::sin(drawn)));
        }
        curve.Draw(dc, PS_SOLID, 50, j == 1 ? RGB(255, 0, 0) : RGB(0, 0, 255), true, true);
      }
    }
  }
  dc->SelectObject(oldBrush);

  dc->SetTextAlign(TA_LEFT | TA_TOP);
  if (!meanText.empty()) dc->TextOut(x, y - 11200, meanText);
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i)
    dc->TextOut(x, y - 12000 - 800 * i, m_strHeader[i]);
}

// ---------------------------------------------------------------------------------
// Value against angle

void KZ_MultiVarObj::DrawValueVsAngle(plat::CDC* dc, int x, int y, int /*w*/, int /*h*/) {
  if (!dc || AnyColumnConstant(*this)) return;
  const int ncol = ColumnsInUse(*this);
  int ia = -1;
  for (int c = 0; c < ncol && ia < 0; ++c)
    if (HasFlag(m_Columns[c], KZ_AXIS_X)) ia = c;
  if (ia < 0 || m_Columns[ia].m_nCount < 2) return;
  KZ_Var1D& A = m_Columns[ia];
  A.MakePlotValues(false, false);

  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  const int cx = x + 5000, cy = y - 5000;
  dc->MoveTo(cx - 5500, cy);
  dc->LineTo(cx + 5500, cy);
  dc->MoveTo(cx, cy - 5500);
  dc->LineTo(cx, cy + 5500);
  {
    const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 10, RGB(64, 64, 64)));
    for (int r = 1000; r <= 5000; r += 1000) dc->Ellipse(cx - r, cy - r, cx + r, cy + r);
    dc->SelectObject(oldPen);
  }
  const bool degrees = Has(A.m_strUnit, "deg");
  const bool compass = Has(A.m_strTitle, "Az") || Has(A.m_strTitle, "az");
  auto angle = [&](double v) {
    const double t = v * (degrees ? kPi / 180 : 1.0);
    return compass ? kPi / 2 - t : t;
  };
  for (int c = 0; c < ncol; ++c) {
    KZ_Var1D& V = m_Columns[c];
    if (V.GetAxisFlags() != KZ_AXIS_Y) continue;
    V.MakePlotValues(false, false);
    const double kr = 5000 / (V.m_fPlotMax - V.m_fPlotMin);
    KZ_PolyPlot rose;
    const int n = std::min(A.m_nCount, V.m_nCount);
    for (int i = 0; i + 1 < n; ++i) {
      const double th = angle((Sample(A, i) + Sample(A, i + 1)) / 2);
      const double r0 = PlotValue(V, i) * kr, r1 = PlotValue(V, i + 1) * kr;
      rose.AddPoint(static_cast<int>(cx + r0 * std::cos(th)),
                    static_cast<int>(cy + r0 * std::sin(th)));
      rose.AddPoint(static_cast<int>(cx + r1 * std::cos(th)),
                    static_cast<int>(cy + r1 * std::sin(th)));
    }
    rose.DrawFilled(dc, PS_SOLID, 30, RGB(0, 0, 0), ColourOf(V), true);
  }
  dc->SelectObject(oldBrush);
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i)
    dc->TextOut(x, y - 11200 - 800 * i, m_strHeader[i]);
}
