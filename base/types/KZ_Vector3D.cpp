#include "base/types/KZ_Vector3D.h"

#include <algorithm>
#include <cmath>

#include "platform/ByteOrder.h"
#include "platform/File.h"

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kPi = 3.141592653589793;
}  // namespace

KZ_Vector3D::KZ_Vector3D(double azimuthDeg, double polarDeg) {
  const double a = azimuthDeg * kDegToRad;
  const double p = polarDeg * kDegToRad;
  x = std::cos(a) * std::sin(p);
  y = std::sin(a) * std::sin(p);
  z = std::cos(p);
}

void KZ_Vector3D::SetAzimuthPlunge(double azimuth, double plunge) {
  x = std::sin(azimuth) * std::cos(plunge);
  y = std::cos(azimuth) * std::cos(plunge);
  z = std::sin(plunge);
}

double KZ_Vector3D::Length() const { return std::sqrt(x * x + y * y + z * z); }

KZ_Vector3D& KZ_Vector3D::Normalize() {
  const double len = Length();
  if (len == 0.0) {
    z = 1.0;
  } else {
    x /= len;
    y /= len;
    z /= len;
  }
  return *this;
}

void KZ_Vector3D::GetAxisAngles(double* azimuth, double* polar) const {
  // A unit vector's z can round just past +-1; acos would give NaN there.
  double p = std::acos(std::clamp(z, -1.0, 1.0));
  double a = std::fabs(z) > 0.99999 ? 0.0 : std::atan2(y, x);
  if (p > kPi / 2) {
    p = kPi - p;
    a += kPi;
  }
  if (azimuth) *azimuth = a;
  if (polar) *polar = p;
}

void KZ_Vector3D::GetAnglesDeg(double* azimuth, double* polar) const {
  double a = 0.0, p = 0.0;
  GetAxisAngles(&a, &p);
  if (azimuth) *azimuth = a * kRadToDeg;
  if (polar) *polar = p * kRadToDeg;
}

double KZ_Vector3D::Azimuth() const { return std::atan2(y, x); }
double KZ_Vector3D::AzimuthDeg() const { return std::atan2(y, x) * kRadToDeg; }
double KZ_Vector3D::ElevationDeg() const { return std::asin(z) * kRadToDeg; }

double KZ_Dot(const KZ_Vector3D& a, const KZ_Vector3D& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

KZ_Vector3D KZ_Cross(const KZ_Vector3D& a, const KZ_Vector3D& b) {
  KZ_Vector3D c(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
  c.Normalize();
  return c;
}

void KZ_Vector3D::Serialize(plat::File& ar, bool storing) {
  unsigned char bytes[24];
  double* const v[3] = {&x, &y, &z};
  if (storing) {
    for (int i = 0; i < 3; ++i) le::PutF64(bytes + 8 * i, *v[i]);
    ar.Write(bytes, sizeof bytes);
  } else if (ar.Read(bytes, sizeof bytes) == sizeof bytes) {
    for (int i = 0; i < 3; ++i) *v[i] = le::GetF64(bytes + 8 * i);
  }
}
