#include "base/numerics/KZ_EQMT.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/numerics/TestTables.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

// (north, east, down) of the reference table to (east, north, up).
KZ_Vector3D FromNed(double n, double e, double d) { return KZ_Vector3D(e, n, -d); }

// Parallel or antiparallel unit vectors.
void ExpectSameAxis(const KZ_Vector3D& a, const KZ_Vector3D& b, const char* what) {
  EXPECT_NEAR(std::fabs(KZ_Dot(a, b)), 1.0, 1e-9) << what;
}

double Wrap360(double deg) {
  double v = std::fmod(deg, 360.0);
  if (v < 0) v += 360.0;
  if (v > 360.0 - 1e-7) v -= 360.0;
  return v;
}

}  // namespace

TEST(KZ_EQMT, AxesAndAuxiliaryPlanesMatchAkiRichards) {
  tv_test::Table t("base/numerics/testdata/b3_mechanisms.txt");
  const int cases = t.integer(), rays = t.integer();
  for (int c = 0; c < cases; ++c) {
    const double s = t.num(), d = t.num(), r = t.num();
    SCOPED_TRACE(testing::Message() << s << "/" << d << "/" << r);
    t.nums(9);  // moment tensor, checked by the mechanism fitting's tests
    const std::vector<double> T = t.nums(3), P = t.nums(3), B = t.nums(3), aux = t.nums(3);
    for (int k = 0; k < rays; ++k) t.nums(5);

    KZ_NodalPlane given;
    given.strike = s * kDeg;
    given.dip = d * kDeg;
    given.rake = r * kDeg;
    const KZ_NodalPlane a = KZ_AuxiliaryPlane(&given);
    ASSERT_TRUE(std::isfinite(a.strike) && std::isfinite(a.dip) && std::isfinite(a.rake));
    EXPECT_NEAR(a.dip / kDeg, aux[1], 1e-5);
    if (aux[1] > 0.01) {
      // A horizontal auxiliary plane has no strike of its own.
      EXPECT_NEAR(Wrap360(a.strike / kDeg), Wrap360(aux[0]), 1e-5);
      EXPECT_NEAR(std::remainder(a.rake / kDeg - aux[2], 360.0), 0.0, 1e-5);
    }
    // The auxiliary plane of the auxiliary plane is the given one again.
    const KZ_NodalPlane back = KZ_AuxiliaryPlane(&a);
    KZ_Vector3D n0, u0, n1, u1;
    KZ_PlaneVectors(given, nullptr, nullptr, &n0, &u0);
    KZ_PlaneVectors(back, nullptr, nullptr, &n1, &u1);
    EXPECT_NEAR(KZ_Dot(n0, n1) * KZ_Dot(u0, u1), 1.0, 1e-6);

    KZ_EQMT eq;
    eq.Plane1 = given;
    eq.Plane2 = a;
    eq.ComputeAxes();
    ExpectSameAxis(eq.T, FromNed(T[0], T[1], T[2]), "T");
    ExpectSameAxis(eq.P, FromNed(P[0], P[1], P[2]), "P");
    ExpectSameAxis(eq.B, FromNed(B[0], B[1], B[2]), "B");
    EXPECT_LE(eq.T.z, 1e-12);
    EXPECT_LE(eq.P.z, 1e-12);
  }
}

TEST(KZ_EQMT, SetMechanismStoresAndOrdersThePlanes) {
  KZ_EQMT eq;
  eq.SetMechanism(0.0, M_PI / 2, 0.0);
  EXPECT_DOUBLE_EQ(eq.Plane1.dip, 88.2 * kDeg);
  eq.SetMechanism(0.0, 1.47, 0.0);
  EXPECT_EQ(eq.Plane1.dip, 1.47);

  // Thrust on a plane dipping 45 degrees east: vertical T, horizontal P across the strike.
  eq.SetMechanism(0.0, 45 * kDeg, 90 * kDeg);
  eq.ComputeAxes();
  EXPECT_NEAR(eq.T.x, 0.0, 1e-12);
  EXPECT_NEAR(eq.T.z, -1.0, 1e-12);
  EXPECT_NEAR(eq.P.x, 1.0, 1e-12);
  EXPECT_NEAR(eq.P.z, 0.0, 1e-12);
  EXPECT_EQ(eq.Plane1.Given, 1);
  EXPECT_NEAR(Wrap360(eq.Plane2.strike / kDeg), 180.0, 1e-5);
  EXPECT_NEAR(eq.Plane2.dip / kDeg, 45.0, 1e-5);
  EXPECT_NEAR(eq.Plane2.rake / kDeg, 90.0, 1e-5);

  // A rake beyond 90 degrees puts the derived plane first; the vectors still describe the
  // given plane until the axes are computed again.
  eq.SetMechanism(200 * kDeg, 30 * kDeg, 150 * kDeg);
  EXPECT_EQ(eq.Plane1.Given, 0);
  EXPECT_EQ(eq.Plane2.Given, 1);
  EXPECT_NEAR(eq.Plane1.strike / kDeg, -43.4, 0.05);
  EXPECT_NEAR(eq.Plane1.dip / kDeg, 75.5, 0.05);
  EXPECT_NEAR(eq.Plane1.rake / kDeg, 63.4, 0.05);
  KZ_Vector3D n;
  KZ_PlaneVectors(eq.Plane2, nullptr, nullptr, &n, nullptr);
  EXPECT_NEAR(KZ_Dot(n, eq.Normal1), 1.0, 1e-12);
  const KZ_NodalPlane again = KZ_AuxiliaryPlane(&eq.Plane1);
  EXPECT_NEAR(Wrap360(again.strike / kDeg), 200.0, 1e-5);
  EXPECT_NEAR(again.dip / kDeg, 30.0, 1e-5);
  EXPECT_NEAR(again.rake / kDeg, 150.0, 1e-5);
}

TEST(KZ_EQMT, HorizontalAndVerticalPlanesGiveFiniteAngles) {
  for (double rake : {0.0, 30.0, -120.0, 90.0, 180.0}) {
    // Horizontal plane: the auxiliary plane is vertical, striking across the slip.
    KZ_NodalPlane flat;
    flat.strike = 10 * kDeg;
    flat.rake = rake * kDeg;
    const KZ_NodalPlane v = KZ_AuxiliaryPlane(&flat);
    EXPECT_TRUE(std::isfinite(v.strike) && std::isfinite(v.rake)) << rake;
    EXPECT_NEAR(v.dip, M_PI / 2, 1e-7) << rake;
    KZ_Vector3D s, u;
    KZ_PlaneVectors(v, nullptr, &s, nullptr, nullptr);
    KZ_PlaneVectors(flat, nullptr, nullptr, nullptr, &u);
    EXPECT_NEAR(KZ_Dot(s, u), 0.0, 1e-7);
    // And back again: a horizontal plane with finite angles.
    const KZ_NodalPlane h = KZ_AuxiliaryPlane(&v);
    EXPECT_TRUE(std::isfinite(h.strike) && std::isfinite(h.dip) && std::isfinite(h.rake));
    EXPECT_NEAR(h.dip, 0.0, 1e-7);
  }
}

TEST(KZ_EQMT, RakeTypeAndTernaryPosition) {
  KZ_EQMT eq;
  eq.Plane1.rake = 170 * kDeg;
  eq.Plane2.rake = -30 * kDeg;
  EXPECT_NEAR(eq.GetRakeType(), 10.0f / 90.0f, 1e-6);
  eq.Plane1.rake = 90 * kDeg;
  eq.Plane2.rake = 90 * kDeg;
  EXPECT_NEAR(eq.GetRakeType(), 1.0f, 1e-6);

  double x = 1, y = 1;
  KZ_MechTernaryXY(0.4, 0.4, 0.3, &x, &y);
  EXPECT_NEAR(x, 0.0, 1e-12);
  // Vertical B axis (P and T horizontal): a defined point on the same centre line.
  KZ_MechTernaryXY(0.0, 0.0, M_PI / 2, &x, &y);
  EXPECT_TRUE(std::isfinite(y));
  EXPECT_NEAR(x, 0.0, 1e-12);
  // The three pure corners: vertical T (thrust), vertical P (normal), vertical B.
  double tx, ty, nx, ny, sx, sy;
  KZ_MechTernaryXY(0.0, M_PI / 2, 0.0, &tx, &ty);
  KZ_MechTernaryXY(M_PI / 2, 0.0, 0.0, &nx, &ny);
  KZ_MechTernaryXY(0.0, 0.0, M_PI / 2, &sx, &sy);
  EXPECT_NEAR(tx, -nx, 1e-12);
  EXPECT_NEAR(ty, ny, 1e-12);
  EXPECT_GT(sy, ty);
}

TEST(KZ_EQMT, PlaneBasisWithRake) {
  KZ_Vector3D s, d, n, u;
  KZ_PlaneBasisRake(30 * kDeg, 50 * kDeg, 70 * kDeg, &s, &d, &n, &u);
  KZ_NodalPlane pl;
  pl.strike = 30 * kDeg;
  pl.dip = 50 * kDeg;
  pl.rake = 70 * kDeg;
  KZ_Vector3D u2;
  KZ_PlaneVectors(pl, nullptr, nullptr, nullptr, &u2);
  EXPECT_NEAR(KZ_Dot(u, u2), 1.0, 1e-6);
  // A dip below 0.01 rad is taken as 0.01.
  KZ_PlaneBasis(0.0, 0.0, &s, &d, &n);
  EXPECT_NEAR(n.z, std::cos(0.01), 1e-12);
}
