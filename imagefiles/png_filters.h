// Row-level work of the PNG codec: the five scanline filters, the choice of a filter per
// row when saving, the unpacking of PNG samples into the library's 1-, 8- and 24-bit
// pixels, and the Adam7 interlace.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/WinTypes.h"

// One Adam7 pass: first row, row step, first column, column step.
struct PngPass {
  int firstRow;
  int rowStep;
  int firstColumn;
  int columnStep;
};
extern const PngPass kAdam7[7];
// The single pass of a file without interlacing.
extern const PngPass kNoInterlace;

// 1 when image row `row` belongs to the Adam7 pass (a pass whose first column is not
// below the width holds no rows).
int png_row_in_pass(int pass, int width, int row);
// Pixels of one row of the pass, and its bytes without the filter byte.
int png_pass_pixels(const PngPass& pass, int width);
std::size_t png_pass_row_bytes(const PngPass& pass, int width, int bitsPerPixel);

// Filter types.
enum PngFilter { kPngNone = 0, kPngSub = 1, kPngUp = 2, kPngAverage = 3, kPngPaeth = 4 };

int png_paeth(int a, int b, int c);

// Undoes the filter named by row[0] on row[1 .. n] using the previous unfiltered row
// prev[1 .. n], then copies the result into prev. Unknown types leave the row as it is.
// `distance` is the filter distance in bytes ((bits per pixel + 7) / 8, at least 1).
void png_unfilter_row(BYTE* row, BYTE* prev, std::size_t n, int distance);

// Filtering for saving. `row` and `prev` hold the filter byte at [0] and n bytes behind
// it. The cost is the sum over the filtered bytes f of min(f, 256 - f).
long png_filter_cost(int type, const BYTE* row, const BYTE* prev, std::size_t n, int distance);
// Filters the row in place into `out` (n + 1 bytes, type first) and keeps the unfiltered
// row in prev.
void png_filter_apply(int type, const BYTE* row, BYTE* prev, BYTE* out, std::size_t n,
                      int distance);
// Adaptive choice: the first of None, Sub, Up, Average, Paeth with the smallest cost.
int png_choose_filter(const BYTE* row, const BYTE* prev, std::size_t n, int distance);

// Combination index (0 to 14) of a colour type and bit depth; -1 when they do not combine.
int png_combination(int colourType, int bitDepth);
// "Imager bits per pixel" of a combination: 1, 8 or 24.
int png_imager_bits(int combination);

// Unpacks `pixels` samples of an unfiltered row (row points behind the filter byte) in
// place into the library's layout: 1 bit per pixel packed (grey 1, palette 1), one byte
// per pixel (8-bit images) or red, green, blue bytes (24-bit images).
void png_unpack_row(int combination, BYTE* row, int pixels);
