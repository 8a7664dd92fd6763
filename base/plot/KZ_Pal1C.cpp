#include "base/plot/KZ_Pal1C.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_DIB.h"
#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/ImageFormatTable.h"
#include "platform/CDC.h"
#include "platform/Strings.h"

namespace {

// clang-format off
constexpr const char* kSchemeNames[KZ_Pal1C::kSchemes] = {
    "0: Jet", "1: Grey", "2: Purple", "3: Rainbow", "4: R-Y-B", "5: B-Y-W", "6: B-Y",
    "7: B-Y-R", "8: W-Y-R", "9: B-R-B-G-B", "10: Terrain", "11: Reserved", "12: Reserved",
    "13: Reserved", "14: Reserved", "15: Jet(20 ranks))", "16: Gray(20 ranks)",
    "17: Purple(20 ranks)", "18: Rainbow(20 ranks)", "19: R-Y-B(20 ranks)",
    "20: B-Y-W(20 ranks)", "21: B-Y(20 ranks)", "22: B-Y-R(20 ranks)", "23: W-Y-R(20 ranks)",
    "24: B-R-B-G-B(20 ranks)", "25: Terrain(20 ranks)", "26: Reserved(20 ranks)",
    "27: Reserved(20 ranks)", "28: Reserved(20 ranks)", "29: Reserved(20 ranks)"};
// clang-format on

constexpr double kPi = 3.14159265358979323846;

// The six sectors of the HSV model; `sector` must lie in 0..5.
void Sectors(int sector, double f, double s, double v, double* r, double* g, double* b) {
  const double p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
  switch (sector) {
    case 0:
      *r = v, *g = t, *b = p;
      break;
    case 1:
      *r = q, *g = v, *b = p;
      break;
    case 2:
      *r = p, *g = v, *b = t;
      break;
    case 3:
      *r = p, *g = q, *b = v;
      break;
    case 4:
      *r = t, *g = p, *b = v;
      break;
    default:
      *r = v, *g = p, *b = q;
      break;
  }
}

// The conversions other than the byte one: negative hues are brought into 0..360 and a
// sector of 6 (a hue of 360 or more) counts as 0.
void Hsv(double h, double s, double v, double* r, double* g, double* b) {
  if (!std::isfinite(h)) h = 0;
  if (h < 0) h = std::fmod(h, 360.0) + 360.0;
  double q = h / 60.0;
  if (q >= 6.0) q = 0.0;
  const int sector = static_cast<int>(q);
  Sectors(sector, q - sector, s, v, r, g, b);
}

int Byte(double c) {
  const double x = std::trunc(255.0 * c);
  return static_cast<int>(std::clamp(x, 0.0, 255.0));
}

int Clamp255(double x) { return static_cast<int>(std::clamp(std::trunc(x), 0.0, 255.0)); }

// Paints the cells into a memory bitmap of the destination's pixel size and blits it into
// the rectangle from (x, y) to (x + w, y - h). `cellColour(i)` gives cell i of `cells`,
// counted from the bottom (vertical) or from the left (horizontal). A bitmap that cannot
// be made leaves the area unpainted.
template <class Colour>
void PaintCells(plat::CDC* dc, int x, int y, int w, int h, int cells, bool vertical,
                Colour cellColour) {
  SIZE size{w, h};
  dc->LPtoDP(&size);
  const int pw = size.cx, ph = size.cy;
  if (pw <= 0 || ph <= 0) return;
  plat::CDC mem;
  plat::CBitmap bitmap;
  if (!mem.CreateCompatibleDC(dc) || !bitmap.CreateCompatibleBitmap(dc, pw, ph)) return;
  plat::CBitmap old = mem.SelectObject(bitmap);
  mem.PatBlt(0, 0, pw, ph, WHITENESS);
  // Cells are laid out in whole pixels so that they cover the bitmap without gaps.
  for (int i = 0; i < cells; ++i) {
    const COLORREF c = cellColour(i);
    if (vertical) {
      const int top = ph - static_cast<int>(static_cast<long long>(i + 1) * ph / cells);
      const int bottom = ph - static_cast<int>(static_cast<long long>(i) * ph / cells);
      if (bottom > top) mem.FillSolidRect(0, top, pw, bottom - top, c);
    } else {
      const int left = static_cast<int>(static_cast<long long>(i) * pw / cells);
      const int right = static_cast<int>(static_cast<long long>(i + 1) * pw / cells);
      if (right > left) mem.FillSolidRect(left, 0, right - left, ph, c);
    }
  }
  mem.SelectObject(old);
  // Bitmap to packed DIB, to the image library's descriptor, painted into the
  // destination (its height negative: the rectangle runs downward in a y-up mapping).
  plat::MemBlock dib = KZ_BitmapToDIB(bitmap);
  if (!dib) return;
  ImageDescriptor image;
  if (!DIBToImageDescriptor(&image, dib) || !image.header) return;
  const RECT destination{x, y, x + w, y - h};
  PaintDIB(dc, &destination, &image, nullptr);
  img_free(&image);
}

}  // namespace

// ---- free conversions ----

void KZ_HSVToRGBBytes(double h, double s, double v, BYTE* r, BYTE* g, BYTE* b) {
  if (h >= 360.0) h -= 360.0;
  const double q = h / 60.0;
  if (!(q >= 0.0 && q < 6.0)) {
    *r = *g = *b = 0;
    return;
  }
  const int sector = static_cast<int>(q);
  double R, G, B;
  Sectors(sector, q - sector, s, v, &R, &G, &B);
  *r = static_cast<BYTE>(Byte(R));
  *g = static_cast<BYTE>(Byte(G));
  *b = static_cast<BYTE>(Byte(B));
}

void KZ_HSVToRGBd(double h, double s, double v, double* r, double* g, double* b) {
  Hsv(h, s, v, r, g, b);
}

void KZ_HSVToRGBf(float h, float s, float v, float* r, float* g, float* b) {
  double R, G, B;
  Hsv(h, s, v, &R, &G, &B);
  *r = static_cast<float>(std::clamp(R, 0.0, 1.0));
  *g = static_cast<float>(std::clamp(G, 0.0, 1.0));
  *b = static_cast<float>(std::clamp(B, 0.0, 1.0));
}

COLORREF KZ_HSVToColor(float h, float s, float v) {
  double R, G, B;
  Hsv(h, s, v, &R, &G, &B);
  return RGB(Byte(R), Byte(G), Byte(B));
}

void KZ_HSVToRGB(const double hsv[3], double* r, double* g, double* b) {
  Hsv(hsv[0], hsv[1], hsv[2], r, g, b);
}

// ---- palette ----

KZ_Pal1C::KZ_Pal1C() {
  for (int i = 0; i < kSchemes; ++i) m_strScheme[i] = kSchemeNames[i];
  Recompute();
}

void KZ_Pal1C::SetRange(double min, double max, double hueStart, double hueEnd, int scheme) {
  m_dMin = min;
  m_dMax = max;
  m_dHueStart = hueStart;
  m_dHueEnd = hueEnd;
  m_nScheme = scheme;
  Recompute();
}

void KZ_Pal1C::Recompute() { AdjustRange(m_dMin, m_dMax); }

void KZ_Pal1C::AdjustRange(double min, double max) {
  if (!(std::fabs(max - min) >= 1e-10)) {
    min -= 1.0;
    max += 1.0;
  }
  m_dMin = min;
  m_dMax = max;
  m_dInvSpan = 1.0 / (max - min);
}

int KZ_Pal1C::Shape() const {
  const int s = ((m_nScheme % kSchemes) + kSchemes) % kSchemes;
  return s % 15;
}

double KZ_Pal1C::Position(double value) const {
  const double lo = std::min(m_dMin, m_dMax), hi = std::max(m_dMin, m_dMax);
  if (std::isnan(value)) value = lo;
  value = std::clamp(value, lo, hi);
  double f = (value - m_dMin) * m_dInvSpan;
  if (f < 0) f += 1.0;
  const int s = ((m_nScheme % kSchemes) + kSchemes) % kSchemes;
  if (s >= 15) f = std::trunc(std::floor(f * 20.0)) * 0.05;
  return f;
}

// Square roots are taken with sqrt rather than pow(x, 0.5): the same values to the last
// bit or one, at a fraction of the cost for pages that colour a cell at a time.
void KZ_Pal1C::ValueToHSV(double value, double* hue, double* saturation, double* v) const {
  const double f = Position(value);
  const double hs = m_dHueStart, he = m_dHueEnd;
  double H = 0.0, S = 1.0, V = 1.0;
  switch (Shape()) {
    case 0:  // Jet
      if (2 * f <= 1)
        H = hs, S = 1 - 2 * f;
      else
        H = he, S = 2 * f - 1;
      break;
    case 1:  // Grey
      H = 0, S = 0, V = f < 0 ? 0 : f;
      break;
    case 2:  // Purple
      H = std::fabs(he - hs) <= 0.001 ? hs : 299.0;
      S = f * f;
      break;
    case 3:  // Rainbow
      H = f <= 0.5 ? 150 - 130 * std::sqrt(1 - 2 * f) : 130 + 160 * std::pow(2 * f - 1, 0.75);
      break;
    case 4:  // R-Y-B
      H = (f - 0.5) * 150 + (f <= 0.5 ? 80 : 165);
      S = 0.05 + 0.95 * std::sqrt(2 * std::fabs(f - 0.5));
      break;
    case 5: {  // B-Y-W
      H = (0.5 - f) * 150 + (f >= 0.5 ? 90 : 165);
      const double s0 = 2 * std::fabs(f - 0.5) * 0.8 + (f <= 0.5 ? 0.1 : 0.2);
      S = f > 0.8 ? (1 - f) * 5 * s0 : s0;
      break;
    }
    case 6:  // B-Y
      if (f < 0.25)
        H = 130 - (0.25 - f) * 200, S = 1;
      else if (f < 0.5)
        H = 180, S = 1 - (f - 0.25) * 4;
      else if (f < 0.75)
        H = 90, S = (f - 0.5) * 4;
      else
        H = (f - 0.75) * 200 + 20, S = 1;
      break;
    case 7:  // B-Y-R
      H = (0.5 - f) * 150 + (f >= 0.5 ? 80 : 165);
      S = 0.05 + 0.95 * std::sqrt(2 * std::fabs(f - 0.5));
      break;
    case 8:  // W-Y-R
      H = (1 - f) * 120;
      S = f < 0.4 ? f * 2.5 : 1;
      break;
    case 9:  // B-R-B-G-B
      H = f >= 0.5 ? 240 - std::fabs(f - 0.75) * 400 : 20 + std::fabs(0.25 - f) * 400;
      V = (f > 0.25 && f < 0.75) ? 0.8 : 1;
      break;
    default:  // Terrain and the reserved shapes: a grey ramp
      H = 0, S = 0, V = f;
      break;
  }
  *hue = H;
  *saturation = S;
  *v = V;
}

void KZ_Pal1C::ValueToHSVArray(double value, double hsv[3]) const {
  ValueToHSV(value, &hsv[0], &hsv[1], &hsv[2]);
}

bool KZ_Pal1C::OwnRuleBytes(double value, double brightness, int rgb[3]) const {
  const int shape = Shape();
  if (shape != 0 && shape != 6 && shape != 10) return false;
  const double f = Position(value);
  if (shape == 6) {
    const double c = (1 - std::cos(f * kPi)) / 2;
    rgb[0] = rgb[1] = Byte(c);
    rgb[2] = 255 - rgb[0];
    return true;
  }
  // Jet and Terrain work on the (clamped, for schemes 15..29 quantised) value itself.
  const double d = m_dMax - m_dMin;
  const int s = ((m_nScheme % kSchemes) + kSchemes) % kSchemes;
  double v;
  if (s >= 15) {
    v = m_dMin + f * d;
  } else {
    v = std::isnan(value) ? m_dMin
                          : std::clamp(value, std::min(m_dMin, m_dMax), std::max(m_dMin, m_dMax));
  }
  double c[3];
  if (shape == 0) {
    const double t = (v - m_dMin) / d;
    if (t < 0.25)
      c[0] = 0, c[1] = 1020 * t, c[2] = 255;
    else if (t <= 0.5)
      c[0] = 0, c[1] = 255, c[2] = 255 - 1020 * (t - 0.25);
    else if (t <= 0.75)
      c[0] = 1020 * (t - 0.5), c[1] = 255, c[2] = 0;
    else
      c[0] = 255, c[1] = 255 - 1020 * (t - 0.75), c[2] = 0;
  } else {
    static constexpr double kStops[5][3] = {
        {0, 0, 168}, {0, 168, 0}, {210, 180, 140}, {139, 69, 19}, {255, 255, 255}};
    const double q = (v - m_dMin) / (d / 4);
    const double k = std::floor(q);
    if (k < 0) {
      c[0] = kStops[0][0], c[1] = kStops[0][1], c[2] = kStops[0][2];
    } else if (k >= 4) {
      c[0] = c[1] = c[2] = 255;
    } else {
      const int i = static_cast<int>(k);
      const double t = q - k;
      for (int j = 0; j < 3; ++j) c[j] = kStops[i][j] + (kStops[i + 1][j] - kStops[i][j]) * t;
    }
  }
  for (int j = 0; j < 3; ++j) rgb[j] = Clamp255(Clamp255(c[j]) * brightness);
  return true;
}

COLORREF KZ_Pal1C::ValueToColor(double value, double brightness) const {
  int rgb[3];
  if (OwnRuleBytes(value, brightness, rgb)) return RGB(rgb[0], rgb[1], rgb[2]);
  double h, s, v;
  ValueToHSV(value, &h, &s, &v);
  return KZ_HSVToColor(static_cast<float>(h), static_cast<float>(s),
                       static_cast<float>(v * brightness));
}

void KZ_Pal1C::ValueToRGB(double value, BYTE* r, BYTE* g, BYTE* b, double brightness) const {
  int rgb[3];
  if (OwnRuleBytes(value, brightness, rgb)) {
    *r = static_cast<BYTE>(rgb[0]), *g = static_cast<BYTE>(rgb[1]), *b = static_cast<BYTE>(rgb[2]);
    return;
  }
  double h, s, v;
  ValueToHSV(value, &h, &s, &v);
  KZ_HSVToRGBBytes(h, s, v * brightness, r, g, b);
}

void KZ_Pal1C::ValueToRGBd(double value, double* r, double* g, double* b, double brightness) const {
  const int shape = Shape();
  if (shape == 0) {
    // Jet with unquantised components in 0..1.
    const double f = Position(value);
    double c[3];
    if (f < 0.25)
      c[0] = 0, c[1] = 4 * f, c[2] = 1;
    else if (f <= 0.5)
      c[0] = 0, c[1] = 1, c[2] = 1 - 4 * (f - 0.25);
    else if (f <= 0.75)
      c[0] = 4 * (f - 0.5), c[1] = 1, c[2] = 0;
    else
      c[0] = 1, c[1] = 1 - 4 * (f - 0.75), c[2] = 0;
    *r = std::clamp(c[0], 0.0, 1.0) * brightness;
    *g = std::clamp(c[1], 0.0, 1.0) * brightness;
    *b = std::clamp(c[2], 0.0, 1.0) * brightness;
    return;
  }
  int rgb[3];
  if (OwnRuleBytes(value, brightness, rgb)) {
    *r = rgb[0] / 255.0, *g = rgb[1] / 255.0, *b = rgb[2] / 255.0;
    return;
  }
  double h, s, v;
  ValueToHSV(value, &h, &s, &v);
  KZ_HSVToRGBd(h, s, v * brightness, r, g, b);
}

void KZ_Pal1C::ValueToRGBf(float value, float* r, float* g, float* b, float brightness) const {
  double h, s, v;
  ValueToHSV(value, &h, &s, &v);
  KZ_HSVToRGBf(static_cast<float>(h), static_cast<float>(s), static_cast<float>(v * brightness), r,
               g, b);
}

int KZ_Pal1C::DrawColorBarV(plat::CDC* dc, int x, int y, int height, int width,
                            double brightness) const {
  if (!dc) return 1;
  const int cell = height / 50;
  const int H = 50 * cell;
  const double lo = std::min(m_dMin, m_dMax), span = std::fabs(m_dMax - m_dMin);
  PaintCells(dc, x, y, width, H, 50, true,
             [&](int i) { return ValueToColor(lo + i * span / 50, brightness); });

  const int n = H > 5000 ? 11 : H >= 3001 ? 5 : 3;
  const COLORREF oldBk = dc->SetBkColor(RGB(255, 255, 255));
  // Each label hangs from 2 mm above its value, so it stands centred on the value's
  // height and the top one stays level with the bar's top; whatever alignment the
  // page's axes left behind must not move them.
  const UINT oldAlign = dc->SetTextAlign(TA_LEFT | TA_TOP);
  for (int k = 0; k < n; ++k) {
    const double v = lo + k * span / (n - 1);
    KZ_DrawLabel(dc, x + width + 200, y - H + 200 + k * (H / (n - 1)), v);
  }
  dc->TextOut(x, y - H - 500, m_strTitle);
  dc->SetTextAlign(oldAlign);
  dc->SetBkColor(oldBk);
  return 1;
}

void KZ_Pal1C::DrawColorBarH(plat::CDC* dc, int x, int y, int height, int width,
                             double brightness) const {
  if (!dc) return;
  const double lo = std::min(m_dMin, m_dMax), span = std::fabs(m_dMax - m_dMin);
  PaintCells(dc, x, y, width, height, 500, false,
             [&](int i) { return ValueToColor(lo + i * span / 500, brightness); });
  const COLORREF oldBk = dc->SetBkColor(RGB(255, 255, 255));
  const UINT oldAlign = dc->SetTextAlign(TA_BASELINE | TA_CENTER);
  KZ_DrawLabel(dc, x, y + height + 150, m_dMin);
  KZ_DrawLabel(dc, x + width, y + height + 150, m_dMax);
  dc->SetTextAlign(TA_TOP | TA_CENTER);
  dc->TextOut(x + width / 2, y - 200, m_strTitle);
  dc->SetTextAlign(oldAlign);
  dc->SetBkColor(oldBk);
}

void KZ_Pal1C::DrawColorBar(plat::CDC* dc, int x, int y, int height, int width,
                            int orientation) const {
  if (orientation == 1)
    DrawColorBarV(dc, x, y, height, width, 1.0);
  else
    DrawColorBarH(dc, x, y, height, width, 1.0);
}
