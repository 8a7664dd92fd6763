#include "base/numerics/KZ_GridMinimum.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace {

struct Grid {
  int dims[3];
  std::vector<double> v;
  Grid(int nx, int ny, int nz, double fill)
      : dims{nx, ny, nz}, v(static_cast<std::size_t>(nx) * ny * nz, fill) {}
  double& at(int x, int y, int z) { return v[x + dims[0] * (y + dims[1] * z)]; }
};

}  // namespace

TEST(GridMinimum, ExactOnQuadratics) {
  struct Case {
    double p0[3];
    double h[6];  // hxx, hyy, hzz, hxy, hxz, hyz (positive definite)
    double c;
  };
  const Case cases[] = {
      {{4.3, 3.7, 5.2}, {1, 2, 3, 0, 0, 0}, 7},
      {{4.6, 4.4, 3.55}, {2, 1.5, 1, 0.4, -0.3, 0.2}, -2.5},
      {{3.1, 5.9, 4.05}, {0.5, 3, 1.2, -0.6, 0.1, 0.9}, 100},
  };
  for (const Case& k : cases) {
    Grid g(9, 10, 8, 0);
    for (int z = 0; z < 8; ++z)
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 9; ++x) {
          const double d[3] = {x - k.p0[0], y - k.p0[1], z - k.p0[2]};
          g.at(x, y, z) = k.c + k.h[0] * d[0] * d[0] + k.h[1] * d[1] * d[1] + k.h[2] * d[2] * d[2] +
                          2 * (k.h[3] * d[0] * d[1] + k.h[4] * d[0] * d[2] + k.h[5] * d[1] * d[2]);
        }
    double res[9];
    int status = -9, count = 0, minima[10];
    const double f = KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(count, 1);
    EXPECT_NEAR(f, k.c, 1e-9);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(res[i], k.p0[i], 1e-9);
    // The differences are the exact second derivatives of the quadratic.
    EXPECT_NEAR(res[3], 2 * k.h[0], 1e-9);
    EXPECT_NEAR(res[4], 2 * k.h[1], 1e-9);
    EXPECT_NEAR(res[5], 2 * k.h[2], 1e-9);
    EXPECT_NEAR(res[6], 2 * k.h[3], 1e-9);
    EXPECT_NEAR(res[7], 2 * k.h[4], 1e-9);
    EXPECT_NEAR(res[8], 2 * k.h[5], 1e-9);
  }
}

TEST(GridMinimum, EmptyGridHasNoMinimum) {
  Grid g(3, 3, 3, FLT_MAX);
  double res[9] = {42};
  int status = 0, count = 77, minima[10] = {55};
  EXPECT_EQ(KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima), -1.0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(res[0], 42.0);
  EXPECT_EQ(minima[0], 55);
}

TEST(GridMinimum, SingleCellKeepsItsStartingNeighbourhood) {
  for (double f0 : {5.0, 0.0}) {
    Grid g(3, 3, 3, FLT_MAX);
    g.at(1, 1, 1) = f0;
    double res[9];
    int status = 0, count = 0, minima[10];
    EXPECT_EQ(KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima), f0);
    EXPECT_EQ(status, 54);
    EXPECT_EQ(minima[0], 13);
    const double d = f0 == 0 ? 1.1754943508222875e-38 : 0.2 * f0;
    for (int i = 3; i < 6; ++i) EXPECT_NEAR(res[i], d, 1e-12);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(res[i], 1.0);
  }
}

TEST(GridMinimum, FaceCellIsMirrored) {
  Grid g(4, 5, 5, 0);
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 4; ++x)
        g.at(x, y, z) = (x + 0.4) * (x + 0.4) + (y - 2) * (y - 2) + (z - 2) * (z - 2);
  double res[9];
  int status = 0, count = 0, minima[10];
  KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima);
  EXPECT_EQ(minima[0], g.dims[0] * (2 + 5 * 2));
  EXPECT_EQ(res[0], 0.0);  // gx = 0 after mirroring
  EXPECT_NEAR(res[1], 2.0, 1e-12);
  // Nine x-1 reads mirrored, and the y and z passes skip the six entries with dx = -1.
  EXPECT_EQ(status, 9 + 12);
}

TEST(GridMinimum, OrderOfEqualAndManyMinima) {
  // Two equal lowest cells: the one with the smaller ix comes first although its index is larger.
  Grid g(6, 6, 6, 10);
  g.at(4, 0, 0) = 1;  // index 4
  g.at(1, 4, 4) = 1;  // index 1 + 6*(4 + 6*4)
  double res[9];
  int status, count, minima[10];
  KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima);
  EXPECT_EQ(count, 10);  // the flat background far from them is a plateau of minima too
  EXPECT_EQ(minima[0], 1 + 6 * (4 + 6 * 4));
  EXPECT_EQ(minima[1], 4);

  // Twelve isolated minima along x: the ten lowest, in ascending order.
  Grid line(36, 1, 1, 100);
  for (int k = 0; k < 12; ++k) line.at(1 + 3 * k, 0, 0) = 12 - k;
  KZ_FindGridMinimum(line.v.data(), line.dims, res, &status, &count, minima);
  EXPECT_EQ(count, 10);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(minima[k], 1 + 3 * (11 - k));
}

TEST(GridMinimum, SingularModelReportsFailure) {
  // Curvatures along x and y equal to their mixed term: the model is a valley, with no
  // single stationary point.
  Grid g(3, 3, 3, 3);
  g.at(1, 1, 1) = 0;
  g.at(0, 1, 1) = g.at(2, 1, 1) = g.at(1, 0, 1) = g.at(1, 2, 1) = g.at(1, 1, 0) = g.at(1, 1, 2) = 1;
  g.at(0, 0, 1) = g.at(2, 2, 1) = 5;
  g.at(0, 2, 1) = g.at(2, 0, 1) = 1;
  double res[9];
  int status = 0, count, minima[10];
  const double f = KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(f, 0.0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(res[i], 1.0);
    EXPECT_FALSE(std::isnan(res[i]));
  }
  EXPECT_EQ(res[6], 2.0);
}

// A grid one cell thick (the mechanism fit's single rake) is refined along its other two
// axes; the missing reads across the thin axis count in the status, never as a failure.
TEST(GridMinimum, OneCellThickGridRefinesAlongTheOthers) {
  for (int thin = 0; thin < 3; ++thin) {
    SCOPED_TRACE(thin);
    const int n[3] = {thin == 0 ? 1 : 7, thin == 1 ? 1 : 7, thin == 2 ? 1 : 7};
    Grid g(n[0], n[1], n[2], 0);
    const double p0[3] = {3.3, 2.8, 3.6};
    for (int z = 0; z < n[2]; ++z)
      for (int y = 0; y < n[1]; ++y)
        for (int x = 0; x < n[0]; ++x) {
          const double d[3] = {x - p0[0], y - p0[1], z - p0[2]};
          double f = 2.0;
          for (int a = 0; a < 3; ++a)
            if (a != thin) f += (a + 1) * d[a] * d[a];
          const int a1 = thin == 0 ? 1 : 0, a2 = thin == 2 ? 1 : 2;
          g.at(x, y, z) = f + 0.5 * d[a1] * d[a2];
        }
    double res[9];
    int status = 0, count = 0, minima[10];
    const double f = KZ_FindGridMinimum(g.v.data(), g.dims, res, &status, &count, minima);
    EXPECT_EQ(status, 42);  // 12 direct face reads of 54
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(res[a], a == thin ? 0.0 : p0[a], 1e-9);
    EXPECT_NEAR(f, 2.0, 1e-9);
  }
}

TEST(GridMinimum, LowerNeighbourIgnoresEmptyAndEqual) {
  Grid g(3, 1, 1, 2);
  g.at(0, 0, 0) = FLT_MAX;
  EXPECT_FALSE(KZ_HasLowerNeighbour(g.v.data(), 1, 1, 0, 0, g.dims));
  g.at(2, 0, 0) = 1;
  EXPECT_TRUE(KZ_HasLowerNeighbour(g.v.data(), 1, 1, 0, 0, g.dims));
}
