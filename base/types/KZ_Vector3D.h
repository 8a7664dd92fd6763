// Double-precision 3-D vector: directions and positions in the specimen frame, axes of
// focal mechanisms, points of the 3-D view. Angles are radians unless a name says Deg.
#pragma once

namespace plat {
class File;
}

class KZ_Vector3D {
 public:
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  KZ_Vector3D() = default;
  KZ_Vector3D(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  // Unit vector of an azimuth (from x towards y) and a polar angle (from z), in degrees.
  KZ_Vector3D(double azimuthDeg, double polarDeg);
  virtual ~KZ_Vector3D() = default;
  KZ_Vector3D(const KZ_Vector3D&) = default;
  KZ_Vector3D& operator=(const KZ_Vector3D&) = default;

  // Azimuth from y towards x and plunge up from the x-y plane (orientation plots).
  void SetAzimuthPlunge(double azimuth, double plunge);
  // The vector's 8-byte little-endian doubles (x, y, z in that order) read from the file, or
  // written to it when storing. The platform has no separate archive class: a binary file
  // and the direction stand for one.
  virtual void Serialize(plat::File& ar, bool storing);
  double Length() const;
  // Unit length; a zero vector becomes (0, 0, 1).
  KZ_Vector3D& Normalize();
  // The vector taken as an undirected axis in the upper hemisphere: azimuth atan2(y, x)
  // (0 when the axis is practically vertical) and polar angle acos(z).
  void GetAxisAngles(double* azimuth, double* polar) const;
  void GetAnglesDeg(double* azimuth, double* polar) const;
  double Azimuth() const;
  double AzimuthDeg() const;
  double ElevationDeg() const;
};

double KZ_Dot(const KZ_Vector3D& a, const KZ_Vector3D& b);
// The normalised cross product a x b; parallel vectors give (0, 0, 1).
KZ_Vector3D KZ_Cross(const KZ_Vector3D& a, const KZ_Vector3D& b);
