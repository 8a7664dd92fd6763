// Small helpers of the "Hypo" page's drawing code.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "base/plot/KZ_DIB.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

// Degrees to radians as the plots have always converted them.
constexpr double kLocDeg = 0.0174533;

// A page coordinate computed in floating point, truncated toward zero (NaN gives 0,
// values beyond the int range saturate).
inline int LocTrunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// A rake in degrees as printed: in -180..180 (the auxiliary plane's may come out of its
// construction a turn away).
inline double LocRake180(double deg) {
  if (!std::isfinite(deg)) return deg;
  double r = std::fmod(deg, 360.0);
  if (r > 180) r -= 360;
  if (r < -180) r += 360;
  return r;
}

// The least distance of a plot's drawing from the page's left and top edges, page units.
constexpr int kLocPageEdge = 50;

// A page coordinate kept in a 16-bit field: it saturates rather than wrapping around.
inline std::int16_t LocSaturate16(int v) {
  return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

// The background picture of a plot stretched into the rectangle; a picture that cannot
// be read is named in the first status pane, where the user looks for why it is missing.
inline void LocDrawPicture(plat::CDC* dc, const std::string& path, int left, int top, int right,
                           int bottom) {
  if (!KZ_DrawPictureFile(dc, path, left, top, right, bottom))
    plat::Ui().SetPaneText(0, plat::Format("Can not read the picture file %s", path.c_str()),
                           false);
}
