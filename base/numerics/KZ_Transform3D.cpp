#include "base/numerics/KZ_Transform3D.h"

#include <cmath>

KZ_Transform3D::KZ_Transform3D() { SetIdentity(); }

void KZ_Transform3D::SetIdentity() {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void KZ_Transform3D::Set(KZ_Vector3D c0, KZ_Vector3D c1, KZ_Vector3D c2) {
  SetIdentity();
  const KZ_Vector3D* cols[3] = {&c0, &c1, &c2};
  for (int c = 0; c < 3; ++c) {
    m[4 * c + 0] = cols[c]->x;
    m[4 * c + 1] = cols[c]->y;
    m[4 * c + 2] = cols[c]->z;
  }
}

void KZ_Transform3D::SetRotation(const KZ_Vector3D& axis, float angle) {
  SetIdentity();
  const double x = axis.x, y = axis.y, z = axis.z;
  // Sine, cosine, 1 - cos and the mixed products are held in single precision.
  const float s = std::sin(angle);
  const float c = std::cos(angle);
  const float t = 1.0f - c;
  const float xy = static_cast<float>(x * y);
  const float xz = static_cast<float>(x * z);
  const float yz = static_cast<float>(y * z);
  m[0] = t * x * x + c;
  m[5] = t * y * y + c;
  m[10] = t * z * z + c;
  m[1] = t * xy + s * z;
  m[4] = t * xy - s * z;
  m[2] = t * xz - s * y;
  m[8] = t * xz + s * y;
  m[6] = t * yz + s * x;
  m[9] = t * yz - s * x;
}

void KZ_Transform3D::Apply(KZ_Vector3D& p) const {
  const double x = p.x, y = p.y, z = p.z;
  p.x = m[0] * x + m[4] * y + m[8] * z + m[12];
  p.y = m[1] * x + m[5] * y + m[9] * z + m[13];
  p.z = m[2] * x + m[6] * y + m[10] * z + m[14];
}
