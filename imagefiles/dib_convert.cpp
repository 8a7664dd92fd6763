#include "imagefiles/dib_convert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefiles/img_memory.h"

namespace {

const BYTE kLeadMask[8] = {0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
const BYTE kLowOnes[9] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};

std::size_t DibRowBytes(std::int64_t width, int bits) {
  return static_cast<std::size_t>(((width * bits + 31) / 8) & ~std::int64_t{3});
}

}  // namespace

// ---------------------------------------------------------------- bit routines

void bits_insert(BYTE* row, const BYTE* bits, unsigned bitOffset, unsigned count) {
  unsigned o = bitOffset & 7;
  unsigned full = count / 8, rem = count % 8;
  for (unsigned j = 0; j < full; ++j) {
    BYTE b = bits[j];
    row[j] = static_cast<BYTE>((row[j] & kLeadMask[o]) | (b >> o));
    if (o) row[j + 1] = static_cast<BYTE>((row[j + 1] & (0xFF >> o)) | (b << (8 - o)));
  }
  if (rem) {
    unsigned mask = ((0xFFFFu << (16 - rem)) & 0xFFFFu) >> o;
    unsigned val = (static_cast<unsigned>(bits[full]) << 8) >> o;
    bool two = o + rem > 8;
    unsigned w = (static_cast<unsigned>(row[full]) << 8) | (two ? row[full + 1] : 0u);
    w = (w & ~mask) | (val & mask);
    row[full] = static_cast<BYTE>(w >> 8);
    if (two) row[full + 1] = static_cast<BYTE>(w);
  }
}

void bits_extract(BYTE* out, const BYTE* row, unsigned bitOffset, unsigned count) {
  unsigned o = bitOffset & 7;
  std::size_t available = (o + count + 7) / 8;  // bytes of row that hold the run
  std::size_t outBytes = (count + 7) / 8;
  for (std::size_t j = 0; j < outBytes; ++j) {
    unsigned v = static_cast<unsigned>(row[j]) << o;
    if (o && j + 1 < available) v |= row[j + 1] >> (8 - o);
    out[j] = static_cast<BYTE>(v);
  }
  if (count % 8) out[outBytes - 1] &= static_cast<BYTE>(0xFF << (8 - count % 8));
}

void bits_set_run(unsigned bitStart, BYTE* row, unsigned count, unsigned limit) {
  if (bitStart >= limit) return;
  if (count > limit - bitStart) count = limit - bitStart;
  if (count == 0) return;
  unsigned first = bitStart, last = bitStart + count - 1;
  unsigned fb = first / 8, lb = last / 8;
  if (fb == lb) {
    BYTE m = static_cast<BYTE>((0xFF >> (first % 8)) & (0xFF << (7 - last % 8)));
    row[fb] |= m;
    return;
  }
  row[fb] |= static_cast<BYTE>(0xFF >> (first % 8));
  for (unsigned k = fb + 1; k < lb; ++k) row[k] = 0xFF;
  row[lb] |= static_cast<BYTE>(0xFF << (7 - last % 8));
}

int byte_runs(BYTE* out, const BYTE* data, int n) {
  int runs = 0;
  int i = 0;
  while (i < n) {
    int j = i + 1;
    while (j < n && data[j] == data[i]) ++j;
    out[runs++] = static_cast<BYTE>(j - i);
    i = j;
  }
  std::memset(out + runs, 0, 4);
  return runs;
}

void nibbles_to_bytes(BYTE* out, const BYTE* in, int count) {
  for (int i = 0; i < count; ++i) {
    BYTE b = in[i / 2];
    out[i] = (i & 1) ? static_cast<BYTE>(b & 0x0F) : static_cast<BYTE>(b >> 4);
  }
}

// ---------------------------------------------------------------- run-length rows

namespace {

int RleDecodeRow(BYTE* out, const BYTE* in, std::size_t inSize, int count, bool four, int& x) {
  std::size_t p = 0;
  int room = count;
  x = 0;  // pixels written
  while (room >= 0) {
    if (p + 2 > inSize) return IMG_UNSUPPORTED;
    int n = in[p], c = in[p + 1];
    p += 2;
    if (n > 0) {
      room -= n;
      if (four) {
        if (room < 0) return IMG_UNSUPPORTED;  // an encoded run that does not fit writes nothing
        for (int k = 0; k < n; ++k) out[x++] = static_cast<BYTE>((k & 1) ? (c & 0x0F) : (c >> 4));
      } else {
        int fit = room < 0 ? n + room : n;
        std::memset(out + x, c, static_cast<std::size_t>(fit));
        x += fit;
      }
      continue;
    }
    if (c == 0) return static_cast<int>(p);
    if (c == 1) return RLE_END_OF_BITMAP;
    if (c == 2) return IMG_UNSUPPORTED;
    room -= c;
    int fit = room < 0 ? c + room : c;
    std::size_t bytes = four ? static_cast<std::size_t>(c + 1) / 2 : static_cast<std::size_t>(c);
    if (p + bytes > inSize) return IMG_UNSUPPORTED;
    for (int k = 0; k < fit; ++k) {
      out[x++] = four ? static_cast<BYTE>((k & 1) ? (in[p + k / 2] & 0x0F) : (in[p + k / 2] >> 4))
                      : in[p + k];
    }
    p += bytes;
    if (p & 1) ++p;  // absolute runs are padded to 16 bits
  }
  return IMG_UNSUPPORTED;
}

}  // namespace

int rle8_decode_row(BYTE* out, const BYTE* in, std::size_t inSize, int count, int* written) {
  int x = 0;
  const int r = RleDecodeRow(out, in, inSize, count, false, x);
  if (written) *written = x;
  return r;
}

int rle4_decode_row(BYTE* out, const BYTE* in, std::size_t inSize, int count, int* written) {
  int x = 0;
  const int r = RleDecodeRow(out, in, inSize, count, true, x);
  if (written) *written = x;
  return r;
}

// ---------------------------------------------------------------- region copies

void img_copy_palette(const ImageDescriptor* s, ImageDescriptor* t) {
  if (!s->palette || !t->palette || !s->header || !t->header) return;
  if (s->header->biBitCount > 8 || t->header->biBitCount > 8) return;
  int n = std::min(s->colorCount, dib_color_count(t->header));
  if (n < 0) n = 0;
  std::memmove(t->palette, s->palette, 4 * static_cast<std::size_t>(n));
  t->colorCount = n;
  t->flags = (t->flags & ~IMG_GREY) | (s->flags & IMG_GREY);
}

int img_copy_region(ImageDescriptor* s, ImageDescriptor* t) {
  int r = img_check_1_8_24(s);
  if (r) return r;
  r = img_check_1_8_24(t);
  if (r) return r;
  int bits = s->header->biBitCount;
  if (bits != t->header->biBitCount) return IMG_BAD_DEPTH;
  DWORD w, h;
  img_copy_extent(s, t, &w, &h);
  std::int64_t sTop = static_cast<std::int64_t>(img_height(s)) - s->top - 1;
  std::int64_t tTop = static_cast<std::int64_t>(img_height(t)) - t->top - 1;
  std::vector<BYTE> scratch;
  if (bits == 1) scratch.assign(w / 8 + 4, 0);
  auto copyRow = [&](DWORD k) {  // k-th row of the region from its top
    BYTE* src = s->pixels + static_cast<std::size_t>(sTop - k) * s->rowBytes + (bits * s->left) / 8;
    BYTE* dst = t->pixels + static_cast<std::size_t>(tTop - k) * t->rowBytes + (bits * t->left) / 8;
    if (bits == 1) {
      bits_extract(scratch.data(), src, s->left, w);
      bits_insert(dst, scratch.data(), t->left, w);
    } else {
      std::memmove(dst, src, static_cast<std::size_t>(w) * (bits / 8));
    }
  };
  if (sTop > tTop) {
    // Source rows lie above the destination's in storage: copy from the region's bottom
    // row upward so that an overlapping copy never reads a row it has overwritten.
    for (DWORD k = h; k-- > 0;) copyRow(k);
  } else {
    for (DWORD k = 0; k < h; ++k) copyRow(k);
  }
  return IMG_OK;
}

int img_copy(ImageDescriptor* s, ImageDescriptor* t) {
  int r = img_copy_region(s, t);
  if (r == IMG_OK) img_copy_palette(s, t);
  return r;
}

// ---------------------------------------------------------------- DIB conversions

int img_to_dib(ImageDescriptor* s, BITMAPINFOHEADER** outHeader) {
  *outHeader = nullptr;
  int r = img_check_1_8_24(s);
  if (r) return r;
  ImageDescriptor n;
  r = img_alloc_packed(&n, static_cast<int>(img_rect_width(s)), static_cast<int>(img_rect_height(s)),
                       s->header->biBitCount);
  if (r) return r;
  r = img_copy(s, &n);
  if (r) {
    img_free(&n);
    return r;
  }
  *outHeader = n.header;
  return IMG_OK;
}

int dib_to_img(const BITMAPINFOHEADER* dibHeader, std::size_t dibSize, ImageDescriptor* d) {
  if (!dibHeader || dibSize < 40) return IMG_BAD_ARGUMENT;
  // The block may come from anywhere: read its header byte by byte.
  const BYTE* base = reinterpret_cast<const BYTE*>(dibHeader);
  const BITMAPINFOHEADER header = ReadInfoHeader(base);
  const BITMAPINFOHEADER* dib = &header;
  enum Mode { kBits1, kBits4, kRle4, kBits8, kRle8, kBits24 } mode;
  switch (dib->biBitCount) {
    case 1: mode = kBits1; break;
    case 4: mode = dib->biCompression ? kRle4 : kBits4; break;
    case 8: mode = dib->biCompression ? kRle8 : kBits8; break;
    case 24: mode = kBits24; break;
    default: return IMG_BAD_DEPTH;
  }
  img_zero(d);
  std::int64_t width = dib->biWidth, height = dib->biHeight;
  std::uint64_t colors = static_cast<std::uint64_t>(static_cast<DWORD>(dib_color_count(dib)));
  std::uint64_t bitsOffset = static_cast<std::uint64_t>(dib->biSize) + 4 * colors;
  if (dib->biSize < 40 || width <= 0 || height <= 0 || bitsOffset > dibSize) return IMG_BAD_ARGUMENT;
  std::size_t srcRow = DibRowBytes(width, dib->biBitCount);
  bool rle = mode == kRle4 || mode == kRle8;
  if (!rle && bitsOffset + static_cast<std::uint64_t>(srcRow) * height > dibSize) return IMG_BAD_ARGUMENT;
  int depth = dib->biBitCount == 4 ? 8 : dib->biBitCount;
  int r = img_alloc(d, static_cast<int>(width), static_cast<int>(height), depth);
  if (r) return r;
  std::vector<BYTE> scratch;
  try {
    std::size_t n = (mode == kBits1 || mode == kRle8) ? srcRow : (mode == kBits4 || mode == kRle4) ? 2 * srcRow : 0;
    scratch.assign(n + 4, 0);
  } catch (const std::bad_alloc&) {
    img_free(d);
    return IMG_NO_MEMORY;
  }
  std::size_t fill = dib->biBitCount == 1 ? static_cast<std::size_t>((width + 7) / 8)
                                          : static_cast<std::size_t>(width) * (depth / 8);
  const BYTE* src = base + bitsOffset;
  std::size_t left = dibSize - static_cast<std::size_t>(bitsOffset);
  for (std::int64_t y = 0; y < height; ++y) {
    BYTE* dst = d->pixels + static_cast<std::size_t>(y) * d->rowBytes;
    switch (mode) {
      case kBits1:
        std::memcpy(scratch.data(), src, srcRow);
        bits_insert(dst, scratch.data(), d->left, static_cast<unsigned>(width));
        src += srcRow;
        break;
      case kBits4:
        nibbles_to_bytes(scratch.data(), src, static_cast<int>(width));
        std::memcpy(dst, scratch.data(), fill);
        src += srcRow;
        break;
      case kBits8:
      case kBits24:
        std::memcpy(dst, src, fill);
        src += srcRow;
        break;
      case kRle4:
      case kRle8: {
        int room = mode == kRle8 ? static_cast<int>(srcRow) : static_cast<int>(2 * srcRow);
        // A row that ends early leaves index 0, never the previous row's pixels.
        std::fill(scratch.begin(), scratch.end(), 0);
        int written = 0;
        int used = mode == kRle8 ? rle8_decode_row(scratch.data(), src, left, room, &written)
                                 : rle4_decode_row(scratch.data(), src, left, room, &written);
        if (used == RLE_END_OF_BITMAP) {
          // The row that the end of the bitmap ends is kept.
          if (written > 0) std::memcpy(dst, scratch.data(), fill);
          y = height;
          break;
        }
        if (used < 0) {
          img_free(d);
          return used;
        }
        std::memcpy(dst, scratch.data(), fill);
        src += used;
        left -= static_cast<std::size_t>(used);
        break;
      }
    }
  }
  if (dib->biBitCount <= 8) {
    int n = static_cast<int>(std::min<std::uint64_t>(colors, static_cast<std::uint64_t>(d->colorCount)));
    std::memcpy(d->palette, base + dib->biSize, 4 * static_cast<std::size_t>(n));
    d->colorCount = n;
    img_update_grey_flag(d);
  }
  return IMG_OK;
}
