// Comparing a picture with a reference drawing of the same page whose lines may lie a
// pixel apart (crowded curves drawn as one span per pixel column against every segment).
#pragma once
#include <QImage>

namespace tv_bench {

inline bool Inked(QRgb p) { return (p & 0xFFFFFF) != 0xFFFFFF; }

// The inked (not white) pixels of `a` with no inked pixel of `b` within one pixel (the
// 3 x 3 neighbourhood). Given a colour, only the pixels of `a` in that colour, and those
// with no pixel of that colour in `b` within one pixel.
inline long UnmatchedInk(const QImage& a, const QImage& b, const QRgb* colour = nullptr) {
  const bool sameColour = colour != nullptr;
  long misses = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      if (!Inked(p) || (colour && (p & 0xFFFFFF) != (*colour & 0xFFFFFF))) continue;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int u = x + dx, v = y + dy;
          if (u < 0 || v < 0 || u >= b.width() || v >= b.height()) continue;
          const QRgb q = b.pixel(u, v);
          found = sameColour ? (q & 0xFFFFFF) == (p & 0xFFFFFF) : Inked(q);
        }
      misses += !found;
    }
  return misses;
}

}  // namespace tv_bench
