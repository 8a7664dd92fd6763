#include "base/numerics/KZ_Spline.h"

#include <vector>

namespace {
constexpr double kNaturalEnd = 9.9e29;
constexpr double kNatural = 1e30;
}  // namespace

void KZ_Spline(const double x[], const double y[], int n, double yp1, double ypn, double y2[]) {
  if (n < 1) return;
  if (n == 1) {
    y2[0] = 0.0;
    return;
  }
  std::vector<double> u(static_cast<std::size_t>(n));
  if (yp1 > kNaturalEnd) {
    y2[0] = u[0] = 0.0;
  } else {
    y2[0] = -0.5;
    u[0] = (3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / (x[1] - x[0]) - yp1);
  }
  for (int i = 1; i < n - 1; ++i) {
    const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
    const double p = sig * y2[i - 1] + 2.0;
    y2[i] = (sig - 1.0) / p;
    u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
    u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
  }
  double qn, un;
  if (ypn > kNaturalEnd) {
    qn = un = 0.0;
  } else {
    qn = 0.5;
    un = (3.0 / (x[n - 1] - x[n - 2])) * (ypn - (y[n - 1] - y[n - 2]) / (x[n - 1] - x[n - 2]));
  }
  y2[n - 1] = (un - qn * u[n - 2]) / (qn * y2[n - 2] + 1.0);
  for (int k = n - 2; k >= 0; --k) y2[k] = y2[k] * y2[k + 1] + u[k];
}

void KZ_SplineEval(const double xa[], const double ya[], const double y2a[], int n, double x,
                   double* y) {
  if (!y || n < 1) return;
  int klo = 0;
  int khi = n - 1;
  while (khi - klo > 1) {
    const int k = (khi + klo) >> 1;
    if (xa[k] > x)
      khi = k;
    else
      klo = k;
  }
  const double h = xa[khi] - xa[klo];
  if (h == 0.0) {
    // A single point, or equal neighbouring abscissae: no interval to interpolate in.
    *y = ya[klo];
    return;
  }
  const double a = (xa[khi] - x) / h;
  const double b = (x - xa[klo]) / h;
  *y = a * ya[klo] + b * ya[khi] +
       ((a * a * a - a) * y2a[klo] + (b * b * b - b) * y2a[khi]) * (h * h) / 6.0;
}

void KZ_SplineRows(const double* /*x1*/, const double x2[], double* const ya[], int m, int n,
                   double* const y2a[]) {
  for (int j = 0; j < m; ++j) KZ_Spline(x2, ya[j], n, kNatural, kNatural, y2a[j]);
}

void KZ_SplineEval2D(const double x1[], const double x2[], double* const ya[], double* const y2a[],
                     int m, int n, double p1, double p2, double* y) {
  if (!y || m < 1) return;
  std::vector<double> rows(static_cast<std::size_t>(m));
  std::vector<double> rows2(static_cast<std::size_t>(m));
  double* out = rows.data();
  // Each iteration reads the shared grids and writes only its own element. One evaluation
  // is a few hundred operations: threads pay off only for very tall grids, and a region
  // opened per point (the colour fields evaluate one per sub-cell) stalls a busy machine.
#pragma omp parallel for schedule(static) if (m >= 4096)
  for (int j = 0; j < m; ++j) KZ_SplineEval(x2, ya[j], y2a[j], n, p2, &out[j]);
  KZ_Spline(x1, rows.data(), m, kNatural, kNatural, rows2.data());
  KZ_SplineEval(x1, rows.data(), rows2.data(), m, p1, y);
}
