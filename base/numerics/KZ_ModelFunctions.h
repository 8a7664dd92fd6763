// Probability functions of the histogram fits and the model functions of the
// time-to-failure analysis. A model function reads its abscissa from p[0] and its
// parameters from p[1..k] and changes nothing.
#pragma once

// lambda^k e^-lambda / k!; large k and lambda are handled without overflow.
double KZ_PoissonPmf(int k, double lambda);
// Normal density with the variance (not the standard deviation) as third argument.
double KZ_NormalPdf(double x, double mean, double variance);
// n! / (k! (n - k)!) p^k (1 - p)^(n - k); large n are handled without overflow.
double KZ_BinomialPmf(int k, int n, double p);
// 0 for x < 0, else (k / lambda) (x / lambda)^(k - 1) exp(-(x / lambda)^k).
double KZ_WeibullPdf(double x, double lambda, double k);

typedef double (*KZ_ModelFunction)(double* p);

// p[1] + p[2] x^p[3].
double KZ_PowerLawModel(double* p);
// 1 + p[1] x^p[4] + p[2] x^p[4] cos(p[5] ln x + p[3]).
double KZ_LogPeriodicModel(double* p);
// Re exp(p[3] x^p[4] exp((p[1] + i p[2]) e^(i p[5] ln x))).
double KZ_LogPeriodicModelC(double* p);
// d/dx of KZ_LogPeriodicModelC.
double KZ_LogPeriodicModel2(double* p);
