// Radix-2 FFTs on interleaved double arrays (element k: real part at 2k, imaginary part
// at 2k + 1) and the circular correlation built on them. The transform sign is
// exp(+2 pi i isign j k / nn); nothing is scaled.
#pragma once

// In place: data[k] := sum_j data[j] exp(2 pi i isign j k / nn). nn (and n below) must be
// a power of two; other lengths leave the data as they are.
void KZ_FFT(double data[], int nn, int isign);

// isign +1: 2n real samples -> packed spectrum (position 0 the real value at frequency 0,
// position 1 the real value at the Nyquist frequency n, then frequency k at 2k, 2k + 1).
// isign -1: the packed spectrum back to 2n samples multiplied by n.
void KZ_RealFFT(double data[], int n, int isign);

// Complete complex spectra (sign +1, n frequencies, 2n doubles each) of two real series
// of n samples, from one complex transform.
void KZ_TwoFFT(const double data1[], const double data2[], double fft1[], double fft2[], int n);

// Circular correlation ans[k] = sum_j data1[(j + k) mod m] data2[j] over the first m
// samples (m the largest power of two not above n), lags in wrap-around order in
// ans[0 .. m-1]; ans[m .. n-1] = 0. Writes only ans[0 .. n-1].
void KZ_Correl(const double data1[], const double data2[], int n, double ans[]);
