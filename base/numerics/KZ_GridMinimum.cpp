#include "base/numerics/KZ_GridMinimum.h"

#include <cfloat>
#include <cmath>
#include <initializer_list>

namespace {

constexpr double kEmpty = 3.4028234663852886e38;  // FLT_MAX
constexpr double kFloatMin = 1.1754943508222875e-38;

inline int At(int a, int b, int c) { return 9 * (a + 1) + 3 * (b + 1) + (c + 1); }

// One neighbour read along an axis: the direct value when it exists and was evaluated,
// else the value on the opposite side (mirrored), else nothing.
bool ReadAlong(const double grid[], int pos, int n, int stride, int baseIndex, int dir, double* out,
               bool* direct) {
  const int near = pos + dir;
  if (near >= 0 && near < n) {
    const double v = grid[baseIndex + dir * stride];
    if (v < kEmpty) {
      *out = v;
      *direct = true;
      return true;
    }
  }
  const int far = pos - dir;
  if (far >= 0 && far < n) {
    const double v = grid[baseIndex - dir * stride];
    if (v < kEmpty) {
      *out = v;
      *direct = false;
      return true;
    }
  }
  return false;
}

}  // namespace

bool KZ_HasLowerNeighbour(const double grid[], int index, int ix, int iy, int iz,
                          const int dims[3]) {
  const int nx = dims[0], ny = dims[1], nz = dims[2];
  const double centre = grid[index];
  for (int dx = -1; dx <= 1; ++dx) {
    const int x = ix + dx;
    if (x < 0 || x >= nx) continue;
    for (int dy = -1; dy <= 1; ++dy) {
      const int y = iy + dy;
      if (y < 0 || y >= ny) continue;
      for (int dz = -1; dz <= 1; ++dz) {
        const int z = iz + dz;
        if (z < 0 || z >= nz || (dx == 0 && dy == 0 && dz == 0)) continue;
        const double v = grid[x + nx * (y + ny * z)];
        if (v == kEmpty) continue;
        if (v < centre) return true;
      }
    }
  }
  return false;
}

int KZ_GatherNeighbourhood(const double grid[], int index, int ix, int iy, int iz,
                           const int dims[3], double F[27]) {
  const int nx = dims[0], ny = dims[1], nz = dims[2];
  const double f0 = grid[index];
  for (int i = 0; i < 27; ++i) F[i] = f0 + 0.1 * std::fabs(f0);
  int count = 54;
  const int sx = 1, sy = nx, sz = nx * ny;
  auto inside = [](int v, int n) { return v >= 0 && v < n; };

  // x pass
  for (int dy = -1; dy <= 1; ++dy)
    for (int dz = -1; dz <= 1; ++dz) {
      if (!inside(iy + dy, ny) || !inside(iz + dz, nz)) continue;
      const int base = ix + nx * ((iy + dy) + ny * (iz + dz));
      for (int dir : {-1, 1}) {
        double v;
        bool direct;
        if (ReadAlong(grid, ix, nx, sx, base, dir, &v, &direct)) {
          F[At(dir, dy, dz)] = v;
          if (direct) --count;
        }
      }
    }
  // y pass
  for (int dx = -1; dx <= 1; ++dx)
    for (int dz = -1; dz <= 1; ++dz) {
      if (!inside(ix + dx, nx) || !inside(iz + dz, nz)) continue;
      const int base = (ix + dx) + nx * (iy + ny * (iz + dz));
      for (int dir : {-1, 1}) {
        double v;
        bool direct;
        if (ReadAlong(grid, iy, ny, sy, base, dir, &v, &direct)) {
          F[At(dx, dir, dz)] = v;
          if (direct) --count;
        }
      }
    }
  // z pass
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) {
      if (!inside(ix + dx, nx) || !inside(iy + dy, ny)) continue;
      const int base = (ix + dx) + nx * ((iy + dy) + ny * iz);
      for (int dir : {-1, 1}) {
        double v;
        bool direct;
        if (ReadAlong(grid, iz, nz, sz, base, dir, &v, &direct)) {
          F[At(dx, dy, dir)] = v;
          if (direct) --count;
        }
      }
    }
  return count;
}

double KZ_FindGridMinimum(const double grid[], const int dims[3], double result[9], int* status,
                          int* count, int minima[10]) {
  const int nx = dims[0], ny = dims[1], nz = dims[2];
  int list[10];
  int size = 0;
  for (int ix = 0; ix < nx; ++ix)
    for (int iy = 0; iy < ny; ++iy)
      for (int iz = 0; iz < nz; ++iz) {
        const int index = ix + nx * (iy + ny * iz);
        const double v = grid[index];
        if (v >= kEmpty || KZ_HasLowerNeighbour(grid, index, ix, iy, iz, dims)) continue;
        int pos = 0;
        while (pos < size && !(grid[list[pos]] > v)) ++pos;
        if (pos >= 10) continue;  // not lower than the tenth of a full list
        const int last = size < 10 ? size : 9;
        for (int k = last; k > pos; --k) list[k] = list[k - 1];
        list[pos] = index;
        if (size < 10) ++size;
      }
  if (size == 0) {
    if (status) *status = 1;
    return -1.0;
  }
  if (count) *count = size;
  if (minima)
    for (int k = 0; k < size; ++k) minima[k] = list[k];

  const int best = list[0];
  const int iz = best / (nx * ny);
  const int iy = (best - iz * nx * ny) / nx;
  const int ix = best - iz * nx * ny - iy * nx;
  const double f0 = grid[best];
  double F[27];
  int st = KZ_GatherNeighbourhood(grid, best, ix, iy, iz, dims, F);

  auto f = [&F](int a, int b, int c) { return F[At(a, b, c)]; };
  double dxx = f(1, 0, 0) + f(-1, 0, 0) - 2 * f0;
  double dyy = f(0, 1, 0) + f(0, -1, 0) - 2 * f0;
  double dzz = f(0, 0, 1) + f(0, 0, -1) - 2 * f0;
  if (dxx < kFloatMin) dxx = kFloatMin;
  if (dyy < kFloatMin) dyy = kFloatMin;
  if (dzz < kFloatMin) dzz = kFloatMin;
  const double dxy = (f(-1, -1, 0) + f(1, 1, 0) - f(-1, 1, 0) - f(1, -1, 0)) / 4;
  const double dxz = (f(-1, 0, -1) + f(1, 0, 1) - f(-1, 0, 1) - f(1, 0, -1)) / 4;
  const double dyz = (f(0, -1, -1) + f(0, 1, 1) - f(0, -1, 1) - f(0, 1, -1)) / 4;
  const double gx = f(1, 0, 0) - f(-1, 0, 0);
  const double gy = f(0, 1, 0) - f(0, -1, 0);
  const double gz = f(0, 0, 1) - f(0, 0, -1);

  // The quadratic model f0 + g.s/2 + s'Hs/2 (H from the differences above, each mixed
  // term counted twice in s'Hs) is stationary where 2H s = g; the position moves by -s.
  const double a11 = 2 * dxx, a22 = 2 * dyy, a33 = 2 * dzz;
  const double a12 = 2 * dxy, a13 = 2 * dxz, a23 = 2 * dyz;
  const double det =
      a11 * (a22 * a33 - a23 * a23) - a12 * (a12 * a33 - a23 * a13) + a13 * (a12 * a23 - a22 * a13);
  double sx = 0, sy = 0, sz = 0;
  double value = f0;
  if (det != 0.0 && std::isfinite(det)) {
    sx =
        (gx * (a22 * a33 - a23 * a23) - a12 * (gy * a33 - a23 * gz) + a13 * (gy * a23 - a22 * gz)) /
        det;
    sy =
        (a11 * (gy * a33 - a23 * gz) - gx * (a12 * a33 - a23 * a13) + a13 * (a12 * gz - gy * a13)) /
        det;
    sz =
        (a11 * (a22 * gz - gy * a23) - a12 * (a12 * gz - gy * a13) + gx * (a12 * a23 - a22 * a13)) /
        det;
    value = f0 - 0.5 * (dxx * sx * sx + dyy * sy * sy + dzz * sz * sz + 2 * dxy * sx * sy +
                        2 * dxz * sx * sz + 2 * dyz * sy * sz);
  } else {
    st = -1;  // singular model: report failure instead of a NaN position
  }
  if (status) *status = st;
  result[0] = ix - sx;
  result[1] = iy - sy;
  result[2] = iz - sz;
  result[3] = dxx;
  result[4] = dyy;
  result[5] = dzz;
  result[6] = dxy;
  result[7] = dxz;
  result[8] = dyz;
  return value;
}
