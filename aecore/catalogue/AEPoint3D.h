// Plain x, y, z triple of the sensor and fault tables. The base library has no point type
// of this kind yet; this is the one the catalogue engine uses.
#pragma once

struct KZ_Point3D {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};
