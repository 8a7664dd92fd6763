// Double-precision 2-D vector of the polar and orientation plots.
#pragma once

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

  double Length() const;
  // Unit length; a zero vector becomes (0, 1).
  KZ_Vector2D& Normalize();
  // atan2(y, x) in [0, 360) degrees.
  double AngleDeg() const;
};
