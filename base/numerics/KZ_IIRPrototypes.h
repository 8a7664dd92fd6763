// Normalised analog low-pass prototypes of the recursive filter design: the poles (and,
// for the inverse Chebyshev family, the zeros) of Butterworth, Bessel, Chebyshev type I
// and type II filters, each labelled with a type code for the band transforms:
//   "CP"  the upper pole of a conjugate pair          -> one second-order section
//   "CPZ" such a pair with a conjugate pair of zeros  -> one second-order section with zeros
//   "SP"  a single real pole                          -> one first-order section
// Codes are fixed-width fields of `width` characters (4 in the design), written with
// KZ_PadCopy as the code blank-padded to width - 1 characters.
#pragma once
#include <complex>

using KZ_Complex = std::complex<double>;

// Room of the design's root arrays: 10 roots, so prototypes up to order 20 (Bessel: the
// table of orders 1 to 8). Other orders write no roots and set *nsects to 0.
constexpr int KZ_IIR_MAX_ROOTS = 10;
constexpr int KZ_IIR_MAX_ORDER = 2 * KZ_IIR_MAX_ROOTS;
constexpr int KZ_IIR_MAX_BESSEL_ORDER = 8;

// Copies min(dstWidth, srcLen) characters, pads with blanks to dstWidth and terminates at
// dstWidth; null (doing nothing) for null pointers or a length below 1.
char* KZ_PadCopy(char* dst, int dstWidth, const char* src, int srcLen);

void KZ_ButterworthPoles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                         int order);
void KZ_BesselPoles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                    int order);
// Epsilon of a Chebyshev design (a: stop-band attenuation as an amplitude ratio > 1,
// trbndw: transition bandwidth as a fraction of the pass band) and the pass-band ripple.
void KZ_ChebyshevParams(double a, double trbndw, int order, double* eps, double* ripple);
void KZ_Chebyshev1Poles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                        int order, double eps);
void KZ_Chebyshev2Roots(KZ_Complex p[], KZ_Complex z[], char* types, int width, double* dcvalue,
                        int* nsects, int order, double a, double omegar);
