// Shared numerical helpers: zeroed 2-D and 3-D arrays in one contiguous block, the sorts
// (a 16-bit heap sort and an iterative quicksort family), medians, nice axis ends, the
// curve colour cycle, three-point smoothing, holding out-of-range samples and a linear
// normalisation. None keeps state between calls.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/WinTypes.h"

// Zero-filled rows x cols arrays: `rows` row pointers into one row-major block, so that
// m[0] is the whole matrix as a plain block. Null when an allocation fails or a size is
// not positive. Released with KZ_FreeMatrix.
char** KZ_AllocMatrix8(int rows, int cols);
std::int16_t** KZ_AllocMatrix16(int rows, int cols);
float** KZ_AllocMatrix32(int rows, int cols);
double** KZ_AllocMatrix64(int rows, int cols);

// Releases the data block and the row pointers; null (or a null row 0) releases nothing.
void KZ_FreeMatrixBlock(void** rows);
template <class T>
void KZ_FreeMatrix(T** m) {
  KZ_FreeMatrixBlock(reinterpret_cast<void**>(m));
}

// Zero-filled d1 x d2 x d3 doubles, third index fastest, in one block; c[i][j] points at
// element (i d2 + j) d3. Null on any failed allocation (what was obtained is released).
double*** KZ_AllocCube64(int d1, int d2, int d3);
void KZ_FreeCube(double*** cube, int d1);

// Ascending heap sort of keys, moving the companion values along (not stable).
void KZ_HeapSort16(int n, std::int16_t keys[], std::uint16_t companion[]);

// Ascending iterative quicksorts (not stable). The ones with a companion array apply
// every move of a key to the companion element with the same index.
void KZ_SortFloatIndex(int n, float keys[], int companion[]);
void KZ_QuickSort(int n, double keys[], int companion[]);
void KZ_QuickSortD(int n, double a[]);
void KZ_QuickSortF(int n, float a[]);

// Medians; the array is left sorted when n > 2. An empty array gives 0.
float KZ_MedianF(float a[], int n);
double KZ_MedianD(double a[], int n);

// Round up / down to a nice axis value (a multiple of the power of ten below |x|).
double KZ_NiceCeil(double x);
double KZ_NiceFloor(double x);
float KZ_NiceCeilF(float x);
float KZ_NiceFloorF(float x);

// A floating value as an integer of type I, truncated toward zero as a cast would; values
// beyond I's range give its nearest end and NaN gives 0. Files may hold any number, and a
// plain cast of one that does not fit is undefined.
template <class I>
I KZ_SaturateCast(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
  if (v >= static_cast<double>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
  return static_cast<I>(v);
}

// Colour i mod 7 of black, blue, green, red, cyan, yellow, magenta.
COLORREF KZ_CycleColor(int i);

// Three-point running mean of the inner samples, `times` times.
void KZ_Smooth3(double a[], int n, int times);

// A sample above hi or below lo takes the value of its predecessor (the first never changes).
void KZ_HoldOutOfRange(double a[], int n, double lo, double hi);

// a[i] = (a[i] - lo) / (hi - lo) for i < *n, then 1 - a[i] when flip > 0. With hi equal
// to lo there is no scale, and the values are left as they are.
void KZ_Normalize01(double a[], int* n, double lo, double hi, int flip);
