// A plain position in 3-D (sensor positions, fault outline points, hypocentres).
#pragma once

struct KZ_Point3D {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};
