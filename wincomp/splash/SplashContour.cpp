#include "wincomp/splash/SplashContour.h"

namespace {
// Neighbour steps, clockwise from the upper left (y pointing down).
constexpr int kDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
constexpr int kDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
// First direction to search after arriving in direction d.
constexpr int kSearchFrom[8] = {6, 0, 0, 2, 2, 4, 4, 6};
}  // namespace

bool TraceSplashContour(int width, int height, const SplashBorderTest& isBorder,
                        std::vector<POINT>* points) {
  points->clear();
  if (width <= 0 || height <= 0) return false;
  auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < width && y < height; };

  // Walk the diagonal from the top-left corner to the first opaque pixel.
  int x = isBorder(0, 0, true) ? 0 : -1;
  int y = x;
  const int sx = x <= (width - 1) / 2 ? 1 : -1;
  const int sy = y <= (height - 1) / 2 ? 1 : -1;
  do {
    x += sx;
    y += sy;
  } while (inside(x, y) && isBorder(x, y, false));
  if (!inside(x, y)) {
    // The diagonal missed the shape: the first opaque pixel row by row.
    bool found = false;
    for (int r = 0; r < height && !found; ++r)
      for (int c = 0; c < width && !found; ++c)
        if (!isBorder(c, r, true)) x = c, y = r, found = true;
    if (!found) return false;
  }

  int dir = -1;
  for (int d = 0; d < 8 && dir < 0; ++d)
    if (!isBorder(x + kDx[d], y + kDy[d], true)) dir = d;
  if (dir < 0) return false;
  const POINT p0{x + kDx[dir], y + kDy[dir]};
  POINT cur = p0;
  points->push_back(p0);

  // Every state (point, direction) is met at most once on a closed trace; the bound
  // stops a walk that would circle without coming back to its first point.
  const long long maxSteps = 8LL * width * height + 8;
  for (long long step = 0; step < maxSteps; ++step) {
    int next = -1;
    for (int k = 0; k < 7 && next < 0; ++k) {
      const int d = (kSearchFrom[dir] + k) % 8;
      if (!isBorder(cur.x + kDx[d], cur.y + kDy[d], true)) next = d;
    }
    if (next < 0) break;  // a lone pixel: nowhere to go
    cur = POINT{cur.x + kDx[next], cur.y + kDy[next]};
    if (next == dir)
      points->back() = cur;
    else
      points->push_back(cur);
    dir = next;
    if (cur.x == p0.x && cur.y == p0.y) break;
  }
  return true;
}
