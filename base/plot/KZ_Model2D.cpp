#include "base/plot/KZ_Model2D.h"

#include <algorithm>
#include <cmath>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_Spline.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/types/KZ_Var1D.h"
#include "base/types/KZ_Var2D.h"
#include "platform/ByteOrder.h"
#include "platform/CDC.h"
#include "platform/File.h"

namespace {

// Device coordinates are truncated toward zero; values beyond an int are held at its ends.
int Trunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

}  // namespace

KZ_Model2D::KZ_Model2D() { SetGrid(0.0f, 1500.0f, 16, -4000.0f, -2800.0f, 21, "null", "m", "m"); }

int KZ_Model2D::SetGrid(float x0, float x1, int nx, float y0, float y1, int ny, const std::string& title,
                        const std::string& xLabel, const std::string& yLabel) {
  m_strTitle = title;
  m_strXLabel = xLabel;
  m_strYLabel = yLabel;
  m_x0 = x0, m_x1 = x1, m_y0 = y0, m_y1 = y1;
  m_nx = std::clamp(nx, 0, kMaxNodes);
  m_ny = std::clamp(ny, 0, kMaxNodes);
  // The step comes from the requested count, so a capped grid keeps the requested spacing.
  const float dx = nx > 1 ? static_cast<float>((static_cast<double>(x1) - x0) / (nx - 1)) : 0.0f;
  const float dy = ny > 1 ? static_cast<float>((static_cast<double>(y1) - y0) / (ny - 1)) : 0.0f;
  for (int i = 0; i < m_nx; ++i) m_XNodes[i] = i * static_cast<double>(dx) + m_x0;
  for (int j = 0; j < m_ny; ++j) m_YNodes[j] = j * static_cast<double>(dy) + m_y0;
  m_nCentreX = m_nx / 2;
  m_nCentreY = m_ny / 2;
  return 1;
}

int KZ_Model2D::SetGridFromColumns(const KZ_Var1D* x, const KZ_Var1D* y, const std::string& title) {
  if (!x || !y) return 0;
  m_strTitle = title;
  m_strXLabel = x->m_strUnit;
  m_strYLabel = y->m_strUnit;
  m_x0 = x->m_fPlotMin, m_x1 = x->m_fPlotMax;
  m_y0 = y->m_fPlotMin, m_y1 = y->m_fPlotMax;
  m_nx = std::clamp(std::min<int>(x->m_nCount, static_cast<int>(x->m_PlotValues.size())), 0, kMaxNodes);
  m_ny = std::clamp(std::min<int>(y->m_nCount, static_cast<int>(y->m_PlotValues.size())), 0, kMaxNodes);
  std::copy(x->m_PlotValues.begin(), x->m_PlotValues.begin() + m_nx, m_XNodes.begin());
  std::copy(y->m_PlotValues.begin(), y->m_PlotValues.begin() + m_ny, m_YNodes.begin());
  m_nCentreX = m_nx / 2;
  m_nCentreY = m_ny / 2;
  return 1;
}

int KZ_Model2D::WriteBinary(const std::string& path, KZ_Var2D* v, const std::string& label, double value) {
  if (!v || !v->m_ppData) return 0;
  plat::File f;
  if (!f.Open(path, "wb")) return 0;
  KZ_GridHeader h;
  h.type = 8;
  h.nx = v->m_nx;
  h.ny = v->m_ny;
  h.xStep = m_nx > 0 ? (m_x1 - m_x0) / m_nx : 0.0;
  h.scale = static_cast<float>(v->m_dScale);
  h.x0 = static_cast<float>(m_x0), h.x1 = static_cast<float>(m_x1);
  h.y0 = static_cast<float>(m_y0), h.y1 = static_cast<float>(m_y1);
  h.min = static_cast<float>(v->m_dMin);
  h.max = static_cast<float>(v->m_dMax);
  h.code = 1;
  h.components = 1;
  h.description = v->m_strTitle + " " + v->m_strUnit;
  h.label = label;
  unsigned char bytes[KZ_GRID_HEADER_BYTES + 8];
  KZ_FormatGridHeader(h, bytes);
  le::PutF64(bytes + KZ_GRID_HEADER_BYTES, value);
  f.Write(bytes, sizeof(bytes));
  const int r = v->WriteTo(&f, 'b', 8);
  f.Close();
  return r;
}

void KZ_Model2D::DrawField(plat::CDC* dc, int originX, int originY, double xScale, double yScale,
                           const KZ_Pal1C* palette, const KZ_Var2D* v, int subdivisions) {
  if (!dc || !palette || !v || !v->m_ppData || v->m_nx < 1 || v->m_ny < 1) return;
  const int nx = v->m_nx, ny = v->m_ny;
  if (v->m_nComponents < 1) {
    DrawCells(dc, originX, originY, xScale, yScale, palette, v->m_ppData, nx, ny, subdivisions);
    return;
  }
  double** mag = KZ_AllocMatrix64(nx, ny);
  if (!mag) return;
  double* const* data = v->m_ppData;
  // Each iteration reads and writes only its own row.
#pragma omp parallel for schedule(static)
  for (int i = 0; i < nx; ++i) {
    const double* row = data[i];
    for (int j = 0; j < ny; ++j) mag[i][j] = std::sqrt(row[2 * j] * row[2 * j] + row[2 * j + 1] * row[2 * j + 1]);
  }
  DrawCells(dc, originX, originY, xScale, yScale, palette, mag, nx, ny, subdivisions);
  KZ_FreeMatrix(mag);
}

void KZ_Model2D::DrawCells(plat::CDC* dc, int originX, int originY, double xScale, double yScale,
                           const KZ_Pal1C* palette, double* const* values, int nx, int ny, int subdivisions) {
  if (!dc || !palette || !values || nx < 2 || ny < 2) return;
  const double oy = originY - Trunc((m_y1 - m_y0) * yScale);
  auto px = [&](double x) { return Trunc((x - m_x0) * xScale + originX); };
  auto py = [&](double y) { return Trunc((y - m_y0) * yScale + oy); };
  const double* xn = m_XNodes.data();
  const double* yn = m_YNodes.data();
  const COLORREF oldBk = dc->GetBkColor();

  if (subdivisions < 2) {
    // Cell edges halfway between nodes when the values are one fewer than the nodes.
    const bool mid = ny < m_ny;
    for (int j = 0; j + 1 < ny; ++j) {
      if (j + (mid ? 2 : 1) >= m_ny) break;  // no nodes for this row
      const double yl = mid ? (yn[j] + yn[j + 1]) / 2 : yn[j];
      const double yu = mid ? (yn[j + 1] + yn[j + 2]) / 2 : yn[j + 1];
      if (yl > m_y1 || yu < m_y0) continue;
      for (int i = 0; i + 1 < nx; ++i) {
        if (i + (mid ? 2 : 1) >= m_nx) break;
        const double xl = mid ? (xn[i] + xn[i + 1]) / 2 : xn[i];
        const double xr = mid ? (xn[i + 1] + xn[i + 2]) / 2 : xn[i + 1];
        if (xl > m_x1 || xr < m_x0) continue;
        const double v = values[i][j];
        if (!(v > palette->m_dCutOff)) continue;
        RECT r{px(xl), py(yu), px(xr), py(yl)};
        dc->FillSolidRect(r, palette->ValueToColor(v, 1.0));
      }
    }
    dc->SetBkColor(oldBk);
    return;
  }

  // Smooth field: the spline derivatives once, then one rectangle per sub-cell.
  const int mx = std::min(nx, m_nx), my = std::min(ny, m_ny);
  if (mx < 2 || my < 2) return;
  double** y2 = KZ_AllocMatrix64(mx, my);
  if (!y2) return;
  KZ_SplineRows(xn, yn, values, mx, my, y2);
  const int n = subdivisions;
  for (int j = 0; j + 1 < my; ++j) {
    const double dy = (yn[j + 1] - yn[j]) / n;
    for (int a = 0; a < n; ++a) {
      const double y = yn[j] + a * dy;
      const int top = py(y - dy / 2);
      const int height = Trunc(top + dy * yScale + 1) - top;
      for (int i = 0; i + 1 < mx; ++i) {
        const double dx = (xn[i + 1] - xn[i]) / n;
        for (int b = 0; b < n; ++b) {
          const double x = xn[i] + b * dx;
          const int left = px(x);
          const int width = Trunc(left + dx * xScale + 1) - left;
          double v = 0.0;
          KZ_SplineEval2D(xn, yn, values, y2, mx, my, x, y, &v);
          dc->FillSolidRect(left, top, width, height, palette->ValueToColor(v, 1.0));
        }
      }
    }
  }
  KZ_FreeMatrix(y2);
  dc->SetBkColor(oldBk);
}
