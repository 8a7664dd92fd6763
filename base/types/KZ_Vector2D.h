// Double-precision 2-D vector of the polar and orientation plots.
#pragma once

namespace plat {
class File;
}

class KZ_Vector2D {
 public:
  double x = 0.0;
  double y = 0.0;

  KZ_Vector2D() = default;
  KZ_Vector2D(double x_, double y_) : x(x_), y(y_) {}
  // (cos, sin) of an angle in degrees.
  explicit KZ_Vector2D(double angleDeg);
  virtual ~KZ_Vector2D() = default;
  KZ_Vector2D(const KZ_Vector2D&) = default;
  KZ_Vector2D& operator=(const KZ_Vector2D&) = default;

  // The vector's 8-byte little-endian doubles (x, y in that order) read from the file, or
  // written to it when storing. The platform has no separate archive class: a binary file
  // and the direction stand for one.
  virtual void Serialize(plat::File& ar, bool storing);
  double Length() const;
  // Unit length; a zero vector becomes (0, 1).
  KZ_Vector2D& Normalize();
  // atan2(y, x) in [0, 360) degrees.
  double AngleDeg() const;
};
