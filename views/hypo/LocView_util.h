// Small helpers of the "Hypo" page's drawing code.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

// Degrees to radians as the plots have always converted them.
constexpr double kLocDeg = 0.0174533;

// A page coordinate computed in floating point, truncated toward zero (NaN gives 0,
// values beyond the int range saturate).
inline int LocTrunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// A page coordinate kept in a 16-bit field: it saturates rather than wrapping around.
inline std::int16_t LocSaturate16(int v) {
  return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}
