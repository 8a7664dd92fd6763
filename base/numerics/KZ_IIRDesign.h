// Recursive (IIR) filter design as a cascade of second-order sections, and filtering of
// float series through it.
//
// Section k: numerator sn[3k .. 3k+2], denominator sd[3k .. 3k+2]. While analog they are
// the coefficients of 1, s, s^2; after the bilinear transform the digital section is
// (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) with b = sn[3k ..], (1, a1, a2) = sd[3k ..].
#pragma once
#include "base/numerics/KZ_IIRPrototypes.h"

// Sections a design can produce: band-pass and band-reject split every pole pair in two.
constexpr int KZ_IIR_MAX_SECTIONS = 2 * KZ_IIR_MAX_ROOTS;

// Designs the filter. band: "LP", "HP", "BP", "BR"; proto: "BU" (Butterworth), "BE" or
// "BESSEL", "C1", "C2" (Chebyshev I, II), both compared on two characters. a and trbndw
// are the Chebyshev stop-band attenuation (amplitude ratio) and transition bandwidth; fl
// and fh the corners in the reciprocal unit of the sampling interval ts. sn and sd must
// hold 3 x nsects values: at most 3 x order (band-pass, band-reject) or
// 3 x (order - order / 2), and never more than 3 x KZ_IIR_MAX_SECTIONS.
// Returns 1 when designed, 0 when refused: an unknown prototype (reported on the standard
// error stream), an unknown band, an order the root or section arrays cannot hold, or
// Chebyshev parameters without a solution (a <= 1). A refused design writes nothing.
int KZ_IIRDesign(int order, const char* band, const char* proto, double a, double trbndw, double fl,
                 double fh, double ts, double sn[], double sd[], int* nsects);

// Filters data in place through the sections, each over the whole series with its state
// starting at 0; with zeroPhase a second pass of every section runs backwards in time.
void KZ_IIRApply(float data[], int n, int zeroPhase, const double sn[], const double sd[],
                 int nsects);

// Prototype roots to analog sections (cutoff 1, or the band between fl and fh in
// prewarped frequencies); the band transforms recount *nsects.
void KZ_ProtoToLowPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                       double dcvalue, int nsects, double sn[], double sd[]);
void KZ_ProtoToHighPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                        double dcvalue, int nsects, double sn[], double sd[]);
void KZ_ProtoToBandPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                        double dcvalue, int* nsects, double fl, double fh, double sn[],
                        double sd[]);
void KZ_ProtoToBandReject(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                          double dcvalue, int* nsects, double fl, double fh, double sn[],
                          double sd[]);
// Moves a unit cutoff to f.
void KZ_IIRScaleCutoff(double sn[], double sd[], int nsects, double f);
// Analog to digital sections, s = (1 - z^-1) / (1 + z^-1).
void KZ_IIRBilinear(double sn[], double sd[], int nsects);

KZ_Complex KZ_ComplexExp(double x, double y);
// (x + iy)^q for a real exponent q.
KZ_Complex KZ_ComplexPow(double x, double y, double q);
