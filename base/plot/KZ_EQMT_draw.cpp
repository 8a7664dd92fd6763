// Beach balls and radiation patterns of a focal mechanism.
#include <cmath>

#include "base/numerics/KZ_EQMT.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/plot/KZ_PolyPlot.h"
#include "platform/CDC.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The projected great circle of a plane (strike phi, dip delta in radians) as one
// polyline, walked from -theta0 to +theta0 (or back when `reverse`).
void DrawNodalArc(plat::CDC* dc, int cx, int cy, int R, double phi, double delta, bool reverse) {
  // The 1e-10 keeps a vertical plane's a above zero.
  const double a = R * std::tan((kPi / 2 - delta) / 2) + 1e-10;
  const double rho = (static_cast<double>(R) * R + a * a) / (2 * a);
  const double c = rho - a;
  const double ox = cx - c * std::cos(phi), oy = cy + c * std::sin(phi);
  const double theta0 = std::acos(c / rho);
  KZ_PolyPlot line;
  if (a < 1e-3) {
    // A vertical plane: its circle's radius is so large that theta0 rounds to 0 and the
    // points would cancel to nothing; the arc is then the diameter along the strike
    // (sin phi, cos phi), walked in the same direction and with the same point count.
    const double sx = R * std::sin(phi), sy = R * std::cos(phi);
    for (int k = 0; k <= 50; ++k) {
      const double f = (reverse ? 1.0 : -1.0) * (1.0 - k / 25.0);
      line.AddPoint(static_cast<int>(cx + f * sx), static_cast<int>(cy + f * sy));
    }
    line.Draw(dc, PS_SOLID, 20, RGB(0, 0, 0), true, false);
    return;
  }
  auto add = [&](double theta) {
    line.AddPoint(static_cast<int>(ox + rho * std::cos(theta - phi)),
                  static_cast<int>(oy + rho * std::sin(theta - phi)));
  };
  const double step = 0.02 * theta0;
  if (!reverse) {
    for (double t = -theta0; t < theta0; t += step) add(t);
    add(theta0);
  } else {
    for (double t = theta0; t > -theta0; t -= step) add(t);
    add(-theta0);
  }
  line.Draw(dc, PS_SOLID, 20, RGB(0, 0, 0), true, false);
}

// Stereographic position of an axis, taken downward.
POINT AxisPoint(const KZ_Vector3D& axis, int cx, int cy, int R) {
  double az = 0, polar = 0;
  axis.GetAxisAngles(&az, &polar);
  az += kPi;
  const double r = R * std::tan(polar / 2);
  return POINT{static_cast<int>(cx + r * std::cos(az)), static_cast<int>(cy + r * std::sin(az))};
}

}  // namespace

void KZ_EQMT::DrawBeachBall(plat::CDC* dc, int cx, int cy, int R, int mode) {
  if (!dc) return;
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(0, 0, 0)));
  dc->Ellipse(cx - R, cy - R, cx + R, cy + R);
  bool draw1 = true, draw2 = true;
  if (mode >= 1) {
    draw1 = Plane1.dip > Plane2.dip;
    draw2 = Plane2.dip > Plane1.dip;
  }
  if (draw1) DrawNodalArc(dc, cx, cy, R, Plane1.strike, Plane1.dip, false);
  if (draw2) DrawNodalArc(dc, cx, cy, R, Plane2.strike, Plane2.dip, true);
  if (mode <= 0) {
    const POINT t = AxisPoint(T, cx, cy, R);
    dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
    dc->MoveTo(t.x - 75, t.y);
    dc->LineTo(t.x + 75, t.y);
    dc->MoveTo(t.x, t.y - 75);
    dc->LineTo(t.x, t.y + 75);
    const POINT p = AxisPoint(P, cx, cy, R);
    dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
    dc->Ellipse(p.x - 75, p.y - 75, p.x + 75, p.y + 75);
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
}

void KZ_EQMT::DrawRadiation(plat::CDC* dc, int cx, int cy, int R, int component, int bar) {
  if (!dc) return;
  static const char* const kLabels[] = {"P", "Sv", "Sh", "S", "S/P"};
  KZ_Pal1C palette;
  palette.SetRange(-1.0, 1.0, 0.0, 360.0, 7);
  palette.m_strTitle = component >= 1 && component <= 5 ? kLabels[component - 1] : "";
  double M[9];
  MomentTensorFromAngles(0.0, 0.0, Plane1.strike * 180.0 / kPi, Plane1.dip * 180.0 / kPi,
                         Plane1.rake * 180.0 / kPi, M);
  // The cell's ray straight from its position, without angles: at distance r from the
  // centre the take-off angle is 2 atan(r / R), whose sine and cosine are rational in
  // r / R, and the azimuth's sine and cosine are i / r and j / r. Only the amplitudes the
  // component needs are formed.
  auto project = [&M](const double a[3], const double b[3]) {
    double s = 0.0;
    for (int k = 0; k < 3; ++k)
      s += a[k] * (M[3 * k] * b[0] + M[3 * k + 1] * b[1] + M[3 * k + 2] * b[2]);
    return s;
  };
  const bool needP = component == 1 || component == 5;
  const bool needSV = component == 2 || component == 4 || component == 5;
  const bool needSH = component == 3 || component == 4 || component == 5;
  // Cells follow each other up a column; a run of one colour is filled as one rectangle
  // (the cells tile it exactly), so a page pays for the colour changes, not for cells far
  // smaller than a pixel.
  struct Run {
    int x = 0, y = 0, n = 0;
    COLORREF colour = 0;
  } run;
  auto flush = [&] {
    if (run.n > 0) dc->FillSolidRect(run.x, run.y, 20, 20 * run.n, run.colour);
    run.n = 0;
  };
  double value = 0.0;
  for (int i = 10 - R; i < R - 10; i += 20) {
    for (int j = 10 - R; j < R - 10; j += 20) {
      if (i == 0 && j == 0) j = 1;  // the centre cell is shifted off the singular ray
      const double r = std::sqrt(static_cast<double>(i) * i + static_cast<double>(j) * j);
      if (r > R) continue;
      const double q = r / R, d = 1.0 + q * q;
      const double si = 2.0 * q / d, ci = (1.0 - q * q) / d;
      const double sa = i / r, ca = j / r;  // azimuth 90 degrees minus the cell's angle
      const double ray[3] = {ca * si, sa * si, ci};
      double p = 0.0, sv = 0.0, sh = 0.0;
      if (needP) p = project(ray, ray);
      if (needSV) {
        const double e[3] = {ca * ci, sa * ci, -si};
        sv = project(ray, e);
      }
      if (needSH) {
        const double e[3] = {-sa, ca, 0.0};
        sh = project(ray, e);
      }
      switch (component) {
        case 1:
          value = p;
          break;
        case 2:
          value = sv;
          break;
        case 3:
          value = sh;
          break;
        case 4:
          value = std::sqrt(sv * sv + sh * sh);
          break;
        // On a P nodal ray the ratio has no finite value: such cells take the top colour.
        case 5:
          value = p != 0.0 ? std::sqrt(sv * sv + sh * sh) / std::fabs(p) : palette.m_dMax;
          break;
        default:
          break;
      }
      const int x = cx + i - 10, y = cy + j - 10;
      const COLORREF colour = palette.ValueToColor(value, 1.0);
      if (run.n > 0 && run.x == x && run.y + 20 * run.n == y && run.colour == colour) {
        ++run.n;
      } else {
        flush();
        run = Run{x, y, 1, colour};
      }
    }
  }
  flush();
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  DrawBeachBall(dc, cx, cy, R, 0);
  dc->SelectObject(oldBrush);
  if (bar > 0) palette.DrawColorBarV(dc, cx + R + 500, cy + R, 2000, 500, 1.0);
}
