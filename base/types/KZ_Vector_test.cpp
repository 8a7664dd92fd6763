#include <gtest/gtest.h>

#include <cmath>

#include "base/base_test_support.h"
#include "base/types/KZ_Vector2D.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/File.h"

namespace {
constexpr double kPi = 3.141592653589793;

void ExpectVec(const KZ_Vector3D& v, double x, double y, double z) {
  EXPECT_NEAR(v.x, x, 1e-15);
  EXPECT_NEAR(v.y, y, 1e-15);
  EXPECT_NEAR(v.z, z, 1e-15);
}
}  // namespace

TEST(Vector3D, FromAzimuthAndPolarDegrees) {
  ExpectVec(KZ_Vector3D(0.0, 90.0), 1, 0, 0);
  ExpectVec(KZ_Vector3D(90.0, 90.0), 0, 1, 0);
  ExpectVec(KZ_Vector3D(123.0, 0.0), 0, 0, 1);
  KZ_Vector3D v;
  ExpectVec(v, 0, 0, 0);
  v.SetAzimuthPlunge(kPi / 2, 0);  // azimuth from y towards x
  ExpectVec(v, 1, 0, 0);
  v.SetAzimuthPlunge(0, kPi / 2);
  ExpectVec(v, 0, 0, 1);
}

TEST(Vector3D, NormalizeAndCross) {
  KZ_Vector3D zero;
  ExpectVec(zero.Normalize(), 0, 0, 1);
  KZ_Vector3D v(3, 0, 4);
  EXPECT_EQ(v.Length(), 5.0);
  ExpectVec(v.Normalize(), 0.6, 0, 0.8);
  ExpectVec(KZ_Cross(KZ_Vector3D(2, 0, 0), KZ_Vector3D(0, 3, 0)), 0, 0, 1);
  ExpectVec(KZ_Cross(KZ_Vector3D(0, 3, 0), KZ_Vector3D(2, 0, 0)), 0, 0, -1);
  ExpectVec(KZ_Cross(KZ_Vector3D(1, 1, 1), KZ_Vector3D(2, 2, 2)), 0, 0, 1);
  EXPECT_EQ(KZ_Dot(KZ_Vector3D(1, 2, 3), KZ_Vector3D(4, -5, 6)), 12.0);
}

TEST(Vector3D, AxisAnglesTurnIntoTheUpperHemisphere) {
  struct Case {
    KZ_Vector3D v;
    double azimuth, polar;
  };
  const Case cases[] = {
      {KZ_Vector3D(0, 0, -1), kPi, 0},
      {KZ_Vector3D(0, -1, 0), -kPi / 2, kPi / 2},
      {KZ_Vector3D(0, 0, 1), 0, 0},
      // z rounded just past 1, as a normalised axis can come out
      {KZ_Vector3D(0, 0, 1.0000000000000002), 0, 0},
      {KZ_Vector3D(0, 0, -1.0000000000000002), kPi, 0},
      {KZ_Vector3D(0, std::sqrt(0.5), -std::sqrt(0.5)), kPi / 2 + kPi, kPi / 4},
  };
  for (const Case& c : cases) {
    double a = -9, p = -9;
    c.v.GetAxisAngles(&a, &p);
    EXPECT_NEAR(a, c.azimuth, 1e-12);
    EXPECT_NEAR(p, c.polar, 1e-7);
  }
  double ad, pd;
  KZ_Vector3D(0, 1, 0).GetAnglesDeg(&ad, &pd);
  EXPECT_NEAR(ad, 90, 1e-12);
  EXPECT_NEAR(pd, 90, 1e-12);
  KZ_Vector3D d(0, 1, 1);
  d.Normalize();
  EXPECT_NEAR(d.AzimuthDeg(), 90, 1e-12);
  EXPECT_NEAR(d.ElevationDeg(), 45, 1e-12);
  EXPECT_NEAR(KZ_Vector3D(-1, 0, 0).Azimuth(), kPi, 1e-15);
}

TEST(Vector2D, AnglesAndNormalisation) {
  EXPECT_NEAR(KZ_Vector2D(0, -1).AngleDeg(), 270, 1e-12);
  EXPECT_NEAR(KZ_Vector2D(-1, 0).AngleDeg(), 180, 1e-12);
  EXPECT_EQ(KZ_Vector2D(1, 0).AngleDeg(), 0.0);
  KZ_Vector2D u(90.0);
  EXPECT_NEAR(u.x, 0, 1e-15);
  EXPECT_NEAR(u.y, 1, 1e-15);
  KZ_Vector2D zero(0.0, 0.0);
  zero.Normalize();
  EXPECT_EQ(zero.x, 0.0);
  EXPECT_EQ(zero.y, 1.0);
  KZ_Vector2D v(3, 4);
  EXPECT_EQ(v.Length(), 5.0);
  v.Normalize();
  EXPECT_NEAR(v.x, 0.6, 1e-15);
}

TEST(Vectors, SerializeAsLittleEndianDoubles) {
  const std::string path = tv_test::TmpPath("vectors.bin");
  {
    plat::File f;
    ASSERT_TRUE(f.Open(path, "wb"));
    KZ_Vector3D a(1.5, -2.0, 3.25);
    KZ_Vector2D b(0.5, 7.0);
    a.Serialize(f, true);
    b.Serialize(f, true);
  }
  plat::File f;
  ASSERT_TRUE(f.Open(path, "rb"));
  EXPECT_EQ(f.GetLength(), 40);
  unsigned char first[8];
  ASSERT_EQ(f.Read(first, 8), 8u);
  const unsigned char onePointFive[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(first[i], onePointFive[i]);
  f.Seek(0, SEEK_SET);
  KZ_Vector3D a;
  KZ_Vector2D b;
  a.Serialize(f, false);
  b.Serialize(f, false);
  EXPECT_EQ(a.z, 3.25);
  EXPECT_EQ(b.y, 7.0);
}
