// Colour palette: a value range mapped to colours by one of 30 numbered schemes (scheme s
// has the shape s mod 15; schemes 15..29 quantise the position into 20 steps), with
// vertical and horizontal colour bars, and the free hue-saturation-value conversions.
#pragma once
#include <string>

#include "platform/WinTypes.h"

namespace plat {
class CDC;
}

class KZ_Pal1C {
 public:
  static constexpr int kSchemes = 30;

  double m_dInvSpan = 1.0;  // 1 / (max - min)
  std::string m_strTitle;   // written with the colour bars
  std::string m_strScheme[kSchemes];
  double m_dMin = 0.0;
  double m_dMax = 1.0;  // may be below the minimum (an inverted range)
  double m_dHueStart = 20.0;
  double m_dHueEnd = 240.0;
  int m_nScheme = 0;
  // Set and read by the owners: colour fields leave values not above the cut-off
  // unpainted; the plot span is the owners' own setting.
  double m_dCutOff = -9.9e29;
  double m_dPlotSpan = 0.0;

  KZ_Pal1C();
  virtual ~KZ_Pal1C() = default;
  KZ_Pal1C(const KZ_Pal1C&) = default;
  KZ_Pal1C& operator=(const KZ_Pal1C&) = default;

  virtual void Recompute();
  virtual void ValueToHSV(double value, double* hue, double* saturation, double* v) const;
  virtual void ValueToHSVArray(double value, double hsv[3]) const;
  virtual void ValueToRGB(double value, BYTE* r, BYTE* g, BYTE* b, double brightness) const;
  virtual void ValueToRGBf(float value, float* r, float* g, float* b, float brightness) const;
  virtual void ValueToRGBd(double value, double* r, double* g, double* b, double brightness) const;
  virtual COLORREF ValueToColor(double value, double brightness) const;
  // A bar of 50 cells standing from (x, y - height') up to (x, y), height' = 50 (height / 50),
  // labelled at its right with 3, 5 or 11 values; the title below it. Returns 1.
  virtual int DrawColorBarV(plat::CDC* dc, int x, int y, int height, int width, double brightness) const;
  // A bar of 500 cells from (x, y) to (x + width, y - height), min and max labelled.
  virtual void DrawColorBarH(plat::CDC* dc, int x, int y, int height, int width, double brightness) const;
  // Orientation 1: vertical, otherwise horizontal; brightness 1.
  virtual void DrawColorBar(plat::CDC* dc, int x, int y, int height, int width, int orientation) const;

  // Stores the range, hue window and scheme and recomputes.
  void SetRange(double min, double max, double hueStart, double hueEnd, int scheme);
  // A range narrower than 1e-10 becomes (min - 1, max + 1); then the inverse span.
  void AdjustRange(double min, double max);

  // Position of a value in 0..1 under the current range and scheme (clamped, quantised
  // for schemes 15..29).
  double Position(double value) const;

 private:
  int Shape() const;
  // Colour of the schemes with a colour rule of their own (Jet, B-Y, Terrain) as bytes;
  // false for the shapes that go through hue, saturation and value.
  bool OwnRuleBytes(double value, double brightness, int rgb[3]) const;
};

// The standard six-sector HSV model (hue in degrees, saturation and value in 0..1).
// Bytes are trunc(255 x component). KZ_HSVToRGBBytes reduces a hue of 360 or more by 360
// once and gives black for any other sector outside 0..5; the others take a sector of 6
// as 0 and bring negative hues into 0..360 first.
void KZ_HSVToRGBBytes(double h, double s, double v, BYTE* r, BYTE* g, BYTE* b);
void KZ_HSVToRGBd(double h, double s, double v, double* r, double* g, double* b);
void KZ_HSVToRGBf(float h, float s, float v, float* r, float* g, float* b);  // clamped to 0..1
COLORREF KZ_HSVToColor(float h, float s, float v);
void KZ_HSVToRGB(const double hsv[3], double* r, double* g, double* b);
