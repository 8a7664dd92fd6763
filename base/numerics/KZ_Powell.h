// Powell's direction-set minimisation without derivatives: line minimisations along a
// set of directions (bracketing, then Brent's method), the direction of largest decrease
// replaced by the overall step when that promises progress.
//
// The line minimiser keeps its line (point, direction, objective) in process-wide state,
// so none of this is reentrant or usable from two threads, and n is at most 20.
#pragma once

// Objective: the value at x[0 .. n-1]; the second argument is always null and the third
// points at a scratch double of the minimiser's own.
using KZ_PowellObjective = double (*)(double* x, void* unused, double* scratch);
using KZ_LineFunc = double (*)(double s);

constexpr int KZ_POWELL_MAX_PARAMS = 20;

// Minimises from p (overwritten with the minimum). xi: n row pointers to n doubles whose
// columns are the directions (changed in place), or null for the unit directions. ftol:
// fractional tolerance on the value; itmax: passes over the directions. Returns true when
// stopped by the pass limit or by a value of magnitude above 1e9 (or when n is not in
// 1 .. 20, doing nothing), false when converged.
bool KZ_PowellMinimize(KZ_PowellObjective f, double p[], double** xi, int n, double ftol,
                       int itmax);

// Moves p to the minimum along xi, scales xi to the step taken; *fret = the value there.
void KZ_LineMinimize(double p[], double xi[], int n, double* fret, KZ_PowellObjective f);

// The objective at start + s direction of the current line.
double KZ_LineFunction(double s);

// From a, b: a triple a, b, c with f(b) below f(a) and f(c), and the three values.
void KZ_BracketMinimum(double* a, double* b, double* c, double* fa, double* fb, double* fc,
                       KZ_LineFunc f);

// Brent's method inside the bracket (a, b, c); returns the minimum value, *xmin its abscissa.
double KZ_BrentMinimize(double a, double b, double c, KZ_LineFunc f, double tol, double* xmin);
