#include "base/numerics/KZ_Transform3D.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Transform3D, RotationIsCounterClockwiseSeenFromTheAxisTip) {
  KZ_Transform3D t;
  t.SetRotation(KZ_Vector3D(0, 0, 1), static_cast<float>(3.141592653589793 / 2));
  KZ_Vector3D p(1, 0, 0);
  t.Apply(p);
  EXPECT_NEAR(p.x, 0, 1e-7);
  EXPECT_NEAR(p.y, 1, 1e-7);
  EXPECT_NEAR(p.z, 0, 1e-7);
  // About x: y goes to z.
  t.SetRotation(KZ_Vector3D(1, 0, 0), static_cast<float>(3.141592653589793 / 2));
  KZ_Vector3D q(0, 1, 0);
  t.Apply(q);
  EXPECT_NEAR(q.z, 1, 1e-7);
}

TEST(Transform3D, RotationAgreesWithRodrigues) {
  KZ_Vector3D axis(1, 2, -2);
  axis.Normalize();
  const float angle = 0.7f;
  KZ_Transform3D t;
  t.SetRotation(axis, angle);
  const KZ_Vector3D v(0.3, -1.2, 2.5);
  KZ_Vector3D r = v;
  t.Apply(r);
  // v cos a + (k x v) sin a + k (k.v)(1 - cos a)
  const double c = std::cos(0.7f), s = std::sin(0.7f), kv = KZ_Dot(axis, v);
  const KZ_Vector3D kxv(axis.y * v.z - axis.z * v.y, axis.z * v.x - axis.x * v.z,
                        axis.x * v.y - axis.y * v.x);
  EXPECT_NEAR(r.x, v.x * c + kxv.x * s + axis.x * kv * (1 - c), 1e-6);
  EXPECT_NEAR(r.y, v.y * c + kxv.y * s + axis.y * kv * (1 - c), 1e-6);
  EXPECT_NEAR(r.z, v.z * c + kxv.z * s + axis.z * kv * (1 - c), 1e-6);
  EXPECT_NEAR(r.Length(), v.Length(), 1e-6);
}

TEST(Transform3D, SetPutsTheVectorsInColumns) {
  KZ_Transform3D t;
  t.Set(KZ_Vector3D(1, 0, 0), KZ_Vector3D(0, 1, 0), KZ_Vector3D(0, 0, 1));
  KZ_Vector3D p(1.5, -2, 3);
  t.Apply(p);
  EXPECT_EQ(p.x, 1.5);
  EXPECT_EQ(p.y, -2.0);
  EXPECT_EQ(p.z, 3.0);
  t.Set(KZ_Vector3D(0, 1, 0), KZ_Vector3D(0, 0, 1), KZ_Vector3D(1, 0, 0));
  KZ_Vector3D e0(1, 0, 0);
  t.Apply(e0);  // column 0
  EXPECT_EQ(e0.y, 1.0);
  EXPECT_EQ(t.m[15], 1.0);
  EXPECT_EQ(t.m[12], 0.0);
}

TEST(Transform3D, AxisIsNotNormalised) {
  KZ_Transform3D t;
  t.SetRotation(KZ_Vector3D(0, 0, 2), static_cast<float>(3.141592653589793));
  KZ_Vector3D p(0, 0, 1);
  t.Apply(p);
  // t z^2 + c = 2 * 4 - 1: a scaling along the axis, not a rotation.
  EXPECT_NEAR(p.z, 7.0, 1e-6);
}
