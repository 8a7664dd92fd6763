// Interpolating cubic splines in one and two dimensions over increasing abscissae.
// An end slope above 9.9e29 means a natural end (second derivative 0 there).
#pragma once

// Fills y2[0 .. n-1] with the second derivatives; yp1 and ypn are the first derivatives at
// x[0] and x[n-1] or natural ends. Needs n >= 2.
void KZ_Spline(const double x[], const double y[], int n, double yp1, double ypn, double y2[]);

// The spline's value at x (outside the table: the cubic of the first or last interval).
void KZ_SplineEval(const double xa[], const double ya[], const double y2a[], int n, double x,
                   double* y);

// Natural splines along x2 of every row: y2a[j] from ya[j], j = 0 .. m-1 (x1 is not read).
void KZ_SplineRows(const double x1[], const double x2[], double* const ya[], int m, int n,
                   double* const y2a[]);

// The surface value at (p1, p2): every row evaluated at p2 (in parallel), then a natural
// spline across the rows evaluated at p1.
void KZ_SplineEval2D(const double x1[], const double x2[], double* const ya[], double* const y2a[],
                     int m, int n, double p1, double p2, double* y);
