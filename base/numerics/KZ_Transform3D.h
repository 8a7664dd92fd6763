// A 4 x 4 transformation of 3-D points, stored by columns (element (r, c) is m[4c + r]),
// used to turn points on the focal sphere. The translation column stays 0.
#pragma once
#include "base/types/KZ_Vector3D.h"

class KZ_Transform3D {
 public:
  double m[16];

  KZ_Transform3D();
  virtual ~KZ_Transform3D() = default;

  void SetIdentity();
  // Identity, then columns 0, 1, 2 = c0, c1, c2.
  void Set(KZ_Vector3D c0, KZ_Vector3D c1, KZ_Vector3D c2);
  // Identity, then the rotation by `angle` (radians) counter-clockwise about `axis` seen
  // from its tip. The axis is used as given: it must have unit length for a rotation.
  void SetRotation(const KZ_Vector3D& axis, float angle);
  // p = M p.
  void Apply(KZ_Vector3D& p) const;
};
