#include "imagefiles/png_filters.h"

#include <cstdlib>
#include <cstring>

const PngPass kAdam7[7] = {{0, 8, 0, 8}, {0, 8, 4, 8}, {4, 8, 0, 4}, {0, 4, 2, 4},
                           {2, 4, 0, 2}, {0, 2, 1, 2}, {1, 2, 0, 1}};
const PngPass kNoInterlace = {0, 1, 0, 1};

int png_row_in_pass(int pass, int width, int row) {
  const PngPass& p = kAdam7[pass];
  if (p.firstColumn >= width) return 0;
  return row >= p.firstRow && (row - p.firstRow) % p.rowStep == 0;
}

int png_pass_pixels(const PngPass& pass, int width) {
  if (pass.firstColumn >= width) return 0;
  return (width - pass.firstColumn + pass.columnStep - 1) / pass.columnStep;
}

std::size_t png_pass_row_bytes(const PngPass& pass, int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(png_pass_pixels(pass, width)) *
              static_cast<std::size_t>(bitsPerPixel) +
          7) /
         8;
}

int png_paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

void png_unfilter_row(BYTE* row, BYTE* prev, std::size_t n, int distance) {
  BYTE* x = row + 1;
  const BYTE* up = prev + 1;
  const std::size_t d = static_cast<std::size_t>(distance);
  switch (row[0]) {
    case kPngSub:
      for (std::size_t i = d; i < n; ++i) x[i] = static_cast<BYTE>(x[i] + x[i - d]);
      break;
    case kPngUp:
      for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<BYTE>(x[i] + up[i]);
      break;
    case kPngAverage:
      for (std::size_t i = 0; i < d && i < n; ++i) x[i] = static_cast<BYTE>(x[i] + (up[i] >> 1));
      for (std::size_t i = d; i < n; ++i)
        x[i] = static_cast<BYTE>(x[i] + ((x[i - d] + up[i]) >> 1));
      break;
    case kPngPaeth:
      for (std::size_t i = 0; i < d && i < n; ++i) x[i] = static_cast<BYTE>(x[i] + up[i]);
      for (std::size_t i = d; i < n; ++i) {
        const int a = x[i - d], b = up[i], c = up[i - d];
        // Branch-light form of the predictor: the same choice as png_paeth.
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(a + b - 2 * c);
        const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        x[i] = static_cast<BYTE>(x[i] + pred);
      }
      break;
    default:
      break;  // None, or a type byte that names no filter
  }
  std::memcpy(prev + 1, x, n);
}

namespace {

inline int Predict(int type, const BYTE* x, const BYTE* up, std::size_t i, std::size_t d) {
  const int a = i >= d ? x[i - d] : 0;
  const int b = up[i];
  const int c = i >= d ? up[i - d] : 0;
  switch (type) {
    case kPngSub:
      return a;
    case kPngUp:
      return b;
    case kPngAverage:
      return (a + b) >> 1;
    case kPngPaeth:
      return png_paeth(a, b, c);
    default:
      return 0;
  }
}

}  // namespace

long png_filter_cost(int type, const BYTE* row, const BYTE* prev, std::size_t n, int distance) {
  long cost = 0;
  const std::size_t d = static_cast<std::size_t>(distance);
  for (std::size_t i = 0; i < n; ++i) {
    const int f = static_cast<BYTE>(row[1 + i] - Predict(type, row + 1, prev + 1, i, d));
    cost += f < 128 ? f : 256 - f;
  }
  return cost;
}

void png_filter_apply(int type, const BYTE* row, BYTE* prev, BYTE* out, std::size_t n,
                      int distance) {
  const std::size_t d = static_cast<std::size_t>(distance);
  out[0] = static_cast<BYTE>(type);
  for (std::size_t i = 0; i < n; ++i)
    out[1 + i] = static_cast<BYTE>(row[1 + i] - Predict(type, row + 1, prev + 1, i, d));
  std::memcpy(prev + 1, row + 1, n);
}

int png_choose_filter(const BYTE* row, const BYTE* prev, std::size_t n, int distance) {
  int best = kPngNone;
  long bestCost = png_filter_cost(kPngNone, row, prev, n, distance);
  for (int type = kPngSub; type <= kPngPaeth; ++type) {
    const long cost = png_filter_cost(type, row, prev, n, distance);
    if (cost < bestCost) {
      bestCost = cost;
      best = type;
    }
  }
  return best;
}

namespace {

struct Combination {
  int colourType;
  int bitDepth;
  int imagerBits;
};
constexpr Combination kCombinations[15] = {
    {0, 1, 1},  {0, 2, 8},  {0, 4, 8},  {0, 8, 8},  {0, 16, 8}, {2, 8, 24}, {2, 16, 24},
    {3, 1, 1},  {3, 2, 8},  {3, 4, 8},  {3, 8, 8},  {4, 8, 8},  {4, 16, 8}, {6, 8, 24},
    {6, 16, 24}};

// Expands sub-byte samples to one byte each, from the end so that it works in place.
void Expand(BYTE* row, int pixels, int bits, int scale) {
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  for (int i = pixels - 1; i >= 0; --i) {
    const int shift = 8 - bits * (i % perByte + 1);
    row[i] = static_cast<BYTE>(((row[i / perByte] >> shift) & mask) * scale);
  }
}

// Keeps `keep` bytes of every group of `stride` bytes (taking every `step`-th byte).
void Select(BYTE* row, int pixels, int stride, int keep, int step) {
  BYTE* out = row;
  const BYTE* in = row;
  for (int i = 0; i < pixels; ++i, in += stride)
    for (int k = 0; k < keep; ++k) *out++ = in[k * step];
}

}  // namespace

int png_combination(int colourType, int bitDepth) {
  for (int i = 0; i < 15; ++i)
    if (kCombinations[i].colourType == colourType && kCombinations[i].bitDepth == bitDepth) return i;
  return -1;
}

int png_imager_bits(int combination) { return kCombinations[combination].imagerBits; }

void png_unpack_row(int combination, BYTE* row, int pixels) {
  switch (combination) {
    case 1:  // grey 2
      Expand(row, pixels, 2, 85);
      break;
    case 2:  // grey 4
      Expand(row, pixels, 4, 17);
      break;
    case 8:  // palette 2
      Expand(row, pixels, 2, 1);
      break;
    case 9:  // palette 4
      Expand(row, pixels, 4, 1);
      break;
    case 4:  // grey 16: high bytes
      Select(row, pixels, 2, 1, 1);
      break;
    case 6:  // RGB 16
      Select(row, pixels, 6, 3, 2);
      break;
    case 11:  // grey with alpha 8
      Select(row, pixels, 2, 1, 1);
      break;
    case 12:  // grey with alpha 16
      Select(row, pixels, 4, 1, 1);
      break;
    case 13:  // RGB with alpha 8
      Select(row, pixels, 4, 3, 1);
      break;
    case 14:  // RGB with alpha 16
      Select(row, pixels, 8, 3, 2);
      break;
    default:
      break;  // grey 1, palette 1, grey 8, palette 8, RGB 8 are used as they are
  }
}
