#include "base/types/KZ_Vector2D.h"

#include <cmath>

#include "platform/ByteOrder.h"
#include "platform/File.h"

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

KZ_Vector2D::KZ_Vector2D(double angleDeg)
    : x(std::cos(angleDeg * kDegToRad)), y(std::sin(angleDeg * kDegToRad)) {}

double KZ_Vector2D::Length() const { return std::sqrt(x * x + y * y); }

KZ_Vector2D& KZ_Vector2D::Normalize() {
  const double len = Length();
  if (len == 0.0) {
    y = 1.0;
  } else {
    x /= len;
    y /= len;
  }
  return *this;
}

double KZ_Vector2D::AngleDeg() const {
  double a = std::atan2(y, x);
  if (a < 0) a += kTwoPi;
  return a * kRadToDeg;
}

void KZ_Vector2D::Serialize(plat::File& ar, bool storing) {
  unsigned char bytes[16];
  double* const v[2] = {&x, &y};
  if (storing) {
    for (int i = 0; i < 2; ++i) le::PutF64(bytes + 8 * i, *v[i]);
    ar.Write(bytes, sizeof bytes);
  } else if (ar.Read(bytes, sizeof bytes) == sizeof bytes) {
    for (int i = 0; i < 2; ++i) *v[i] = le::GetF64(bytes + 8 * i);
  }
}
