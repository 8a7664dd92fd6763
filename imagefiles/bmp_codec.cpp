#include "imagefiles/bmp_codec.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefiles/dib_convert.h"
#include "imagefiles/img_stream.h"
#include "platform/ByteOrder.h"
#include "platform/Runtime.h"

namespace {

plat::CriticalSection& BmpLock() {
  static plat::CriticalSection cs;
  return cs;
}

enum RowMode {
  kNone = 0,
  kBits1 = 1,
  kBits4 = 2,
  kBits8 = 3,
  kBits24 = 4,
  kRle4 = 5,
  kRle8 = 6,
  kBits555 = 7,
  kBits565 = 8,
  kBits32 = 9,
  kBits32Fields = 10,
};

// What the headers tell about the file, all checked against the file's length.
struct BmpFile {
  BITMAPINFOHEADER info;
  std::int64_t length = 0;
  DWORD offBits = 0;
  bool core = false;       // 12-byte core header: 3-byte colour entries
  DWORD tableOffset = 0;   // 14 + header size
  int tableEntries = 0;    // colour entries present in the file (at most 256)
  int layout16 = 0;        // 0 not 16-bit, 1 5-5-5, 2 5-6-5
  DWORD masks[3] = {0, 0, 0};
  bool topDown = false;
  DWORD height = 0;        // rows, whatever the direction
  RowMode mode = kNone;
};

std::size_t RowSize(std::int64_t width, int bits) {
  return static_cast<std::size_t>(((width * bits + 31) / 32) * 4);
}

RowMode PickMode(int bits, DWORD compression, int layout16) {
  switch (bits) {
    case 1:
      return compression <= 3 ? kBits1 : kNone;
    case 4:
      return compression == BI_RGB ? kBits4 : compression == BI_RLE4 ? kRle4 : kNone;
    case 8:
      return compression == BI_RGB ? kBits8 : compression == BI_RLE8 ? kRle8 : kNone;
    case 16:
      if (compression != BI_RGB && compression != BI_BITFIELDS) return kNone;
      return layout16 == 2 ? kBits565 : kBits555;
    case 24:
      return compression <= 3 ? kBits24 : kNone;
    case 32:
      return compression == BI_RGB ? kBits32 : compression == BI_BITFIELDS ? kBits32Fields : kNone;
    default:
      return kNone;
  }
}

// Reads and checks the headers; the binding is left open at an unspecified position.
int ReadHeaders(StreamBinding* b, BmpFile* f) {
  f->length = stream_length(b);
  BYTE head[14 + 40] = {};
  if (f->length < 14 + 12 || !stream_read_exact(b, head, 14 + 4)) return IMG_NOT_BMP;
  if (le::GetU16(head) != 0x4D42) return IMG_NOT_BMP;
  f->offBits = le::GetU32(head + 10);
  DWORD size = le::GetU32(head + 14);
  BITMAPINFOHEADER& h = f->info;
  if (size < 13) {
    if (size != 12 || !stream_read_exact(b, head + 18, 8)) return IMG_NOT_BMP;
    BITMAPCOREHEADER c = ReadCoreHeader(head + 14);
    h = BITMAPINFOHEADER{};
    h.biWidth = c.bcWidth;
    h.biHeight = c.bcHeight;
    h.biPlanes = c.bcPlanes;
    h.biBitCount = c.bcBitCount;
    f->core = true;
  } else {
    if (size < 40 || !stream_read_exact(b, head + 18, 36)) return IMG_NOT_BMP;
    h = ReadInfoHeader(head + 14);
    h.biSize = 40;
  }
  f->tableOffset = 14 + size;
  if (f->tableOffset > f->length) return IMG_NOT_BMP;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return IMG_NOT_BMP;
  f->topDown = h.biHeight < 0;
  f->height = static_cast<DWORD>(f->topDown ? -h.biHeight : h.biHeight);
  h.biHeight = static_cast<LONG>(f->height);
  int bits = h.biBitCount;
  if (h.biClrUsed == 0) h.biClrUsed = bits < 16 ? (1u << std::min(bits, 15)) : 0;
  if (h.biClrImportant == 0) h.biClrImportant = h.biClrUsed;
  if (h.biSizeImage == 0)
    h.biSizeImage = static_cast<DWORD>(RowSize(h.biWidth, bits) * f->height);

  // Colour entries that the file really holds.
  std::int64_t entrySize = f->core ? 3 : 4;
  if (bits <= 8) {
    if (f->tableOffset + static_cast<std::int64_t>(h.biClrUsed) * entrySize > f->length) return IMG_NOT_BMP;
    f->tableEntries = static_cast<int>(std::min<DWORD>(h.biClrUsed, 256));
  }
  // Bit-field masks sit right behind the 40-byte header, inside V4 and V5 headers too.
  if (!f->core && h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)) {
    BYTE m[12];
    if (stream_seek(b, 14 + 40, STREAM_BEGIN) != 14 + 40 || !stream_read_exact(b, m, 12)) return IMG_NOT_BMP;
    for (int i = 0; i < 3; ++i) f->masks[i] = le::GetU32(m + 4 * i);
  }
  if (bits == 16)
    f->layout16 = h.biCompression == BI_BITFIELDS && f->masks[0] == 0xF800 && f->masks[1] == 0x7E0 ? 2 : 1;
  f->mode = PickMode(bits, h.biCompression, f->layout16);

  // The pixel data must lie in the file and uncompressed rows must all be there.
  // Run-length data can end any row, or the whole bitmap, in two bytes (the rest stays
  // index 0), so its pictures are held to the library's limit instead.
  if (f->offBits < 14 + 12 || f->offBits >= f->length) return IMG_NOT_BMP;
  std::uint64_t data = static_cast<std::uint64_t>(f->length - f->offBits);
  std::uint64_t pixels = static_cast<std::uint64_t>(h.biWidth) * f->height;
  if (f->mode == kRle4 || f->mode == kRle8) {
    if (f->topDown || pixels > IMG_MAX_COMPRESSED_PIXELS) return IMG_NOT_BMP;
  } else if (f->mode != kNone) {
    if (static_cast<std::uint64_t>(RowSize(h.biWidth, bits)) * f->height > data) return IMG_NOT_BMP;
  }
  if (!img_size_allowed(static_cast<std::uint64_t>(h.biWidth), f->height, bits < 16 ? bits : 24))
    return IMG_NOT_BMP;
  return IMG_OK;
}

int InfoBody(StreamBinding* b, BITMAPINFOHEADER* header) {
  BmpFile f;
  int r = ReadHeaders(b, &f);
  stream_close(b);
  if (r == IMG_OK) *header = f.info;
  return r;
}

// Expands an n-bit field to 8 bits by repeating its top bits.
BYTE Scale(DWORD v, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return static_cast<BYTE>(v >> (width - 8));
  DWORD out = 0;
  for (int shift = 8 - width; shift > -width; shift -= width) out |= shift >= 0 ? v << shift : v >> -shift;
  return static_cast<BYTE>(out);
}

int LoadBody(StreamBinding* b, ImageDescriptor* d) {
  BmpFile f;
  int r = ReadHeaders(b, &f);
  if (r) return r;
  const BITMAPINFOHEADER& h = f.info;
  int fileBits = h.biBitCount, imageBits = img_bits(d);
  bool depthOk = fileBits == imageBits || (imageBits == 8 && fileBits == 4) ||
                 (imageBits == 24 && (fileBits == 16 || fileBits == 32));
  if (!depthOk) return IMG_BAD_DEPTH;
  if (f.mode == kNone) return IMG_UNSUPPORTED;
  DWORD columns = std::min<DWORD>(img_rect_width(d), static_cast<DWORD>(h.biWidth));
  DWORD rows = std::min<DWORD>(img_rect_height(d), f.height);

  std::vector<BYTE> data;
  try {
    data.resize(static_cast<std::size_t>(f.length - f.offBits));
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  if (stream_seek(b, f.offBits, STREAM_BEGIN) != f.offBits || !stream_read_exact(b, data.data(), data.size()))
    return IMG_NOT_BMP;

  std::size_t srcRow = RowSize(h.biWidth, fileBits);
  std::vector<BYTE> scratch(2 * srcRow + 8, 0);
  int shifts[3] = {0, 0, 0}, widths[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    shifts[i] = f.masks[i] ? std::countr_zero(f.masks[i]) : 0;
    widths[i] = std::popcount(f.masks[i]);
  }
  std::size_t pos = 0;
  // File rows in file order; for bottom-up files the first (height - rows) are the
  // bottom of the picture that does not fit and are skipped.
  DWORD skip = f.topDown ? 0 : f.height - rows;
  DWORD fileRows = f.topDown ? rows : f.height;
  bool lastRow = false;  // the end-of-bitmap code ended this row
  for (DWORD k = 0; k < fileRows && !lastRow; ++k) {
    const BYTE* src = data.data() + pos;
    const BYTE* line = src;  // one byte (or 3) per pixel after decoding
    switch (f.mode) {
      case kBits4:
        nibbles_to_bytes(scratch.data(), src, static_cast<int>(columns));
        line = scratch.data();
        break;
      case kRle4:
      case kRle8: {
        int room = f.mode == kRle8 ? static_cast<int>(srcRow) : static_cast<int>(2 * srcRow);
        std::fill(scratch.begin(), scratch.end(), 0);
        int written = 0;
        int used = f.mode == kRle8
                       ? rle8_decode_row(scratch.data(), src, data.size() - pos, room, &written)
                       : rle4_decode_row(scratch.data(), src, data.size() - pos, room, &written);
        if (used == RLE_END_OF_BITMAP) {
          // Pixels before the code are the last row's: it is kept, the rows above stay.
          if (written == 0) return IMG_OK;
          lastRow = true;
        } else if (used < 0) {
          return used;
        } else {
          pos += static_cast<std::size_t>(used);
        }
        line = scratch.data();
        break;
      }
      case kBits555:
      case kBits565:
        for (DWORD x = 0; x < columns; ++x) {
          DWORD v = le::GetU16(src + 2 * x);
          BYTE* o = scratch.data() + 3 * x;
          DWORD bl = v & 0x1F;
          o[0] = static_cast<BYTE>((bl << 3) | (bl >> 2));
          if (f.mode == kBits565) {
            DWORD g = (v >> 5) & 0x3F, rd = (v >> 11) & 0x1F;
            o[1] = static_cast<BYTE>((g << 2) | (g >> 4));
            o[2] = static_cast<BYTE>((rd << 3) | (rd >> 2));
          } else {
            DWORD g = (v >> 5) & 0x1F, rd = (v >> 10) & 0x1F;
            o[1] = static_cast<BYTE>((g << 3) | (g >> 2));
            o[2] = static_cast<BYTE>((rd << 3) | (rd >> 2));
          }
        }
        line = scratch.data();
        break;
      case kBits32:
        for (DWORD x = 0; x < columns; ++x) std::memcpy(scratch.data() + 3 * x, src + 4 * x, 3);
        line = scratch.data();
        break;
      case kBits32Fields:
        for (DWORD x = 0; x < columns; ++x) {
          DWORD v = le::GetU32(src + 4 * x);
          BYTE* o = scratch.data() + 3 * x;
          for (int c = 0; c < 3; ++c) o[2 - c] = Scale((v & f.masks[c]) >> shifts[c], widths[c]);
        }
        line = scratch.data();
        break;
      default:
        break;
    }
    if (f.mode != kRle4 && f.mode != kRle8) pos += srcRow;
    if (k < skip) continue;
    DWORD stored = k - skip;  // 0 is the rectangle's bottom row (top row for top-down files)
    DWORD y = f.topDown ? d->top + stored : d->bottom - stored;
    BYTE* dst = img_row(d, y);
    if (imageBits == 1) {
      bits_insert(dst + d->left / 8, line, d->left, columns);
    } else {
      std::size_t bpp = static_cast<std::size_t>(imageBits / 8);
      std::memcpy(dst + bpp * d->left, line, bpp * columns);
    }
  }
  return IMG_OK;
}

// Reads the colour table into the image's palette (images with a palette only).
int LoadPalette(StreamBinding* b, ImageDescriptor* d) {
  BmpFile f;
  int r = ReadHeaders(b, &f);
  if (r) return r;
  int capacity = dib_color_count(d->header);
  int n = std::min(f.tableEntries, capacity);
  std::size_t entry = f.core ? 3 : 4;
  std::vector<BYTE> table(entry * static_cast<std::size_t>(n) + 1);
  if (n > 0 && (stream_seek(b, f.tableOffset, STREAM_BEGIN) != f.tableOffset ||
                !stream_read_exact(b, table.data(), entry * static_cast<std::size_t>(n))))
    return IMG_NOT_BMP;
  for (int i = 0; i < n; ++i) {
    const BYTE* e = table.data() + entry * static_cast<std::size_t>(i);
    d->palette[i] = RGBQUAD{e[0], e[1], e[2], 0};
  }
  d->colorCount = n;
  img_update_grey_flag(d);
  return IMG_OK;
}

int LoadFrom(const char* path, const void* data, std::size_t size, ImageDescriptor* d) {
  int r = img_check_1_8_24(d);
  if (r) return r;
  if (!path && !data) return IMG_BAD_SOURCE;
  StreamBinding b;
  {
    plat::CriticalSectionLock lock(BmpLock());
    r = stream_open_read(&b, path, data, size);
    if (r) return r;
    r = LoadBody(&b, d);
    stream_close(&b);
  }
  if (r || !d->palette || img_bits(d) > 8) return r;
  plat::CriticalSectionLock lock(BmpLock());
  r = stream_open_read(&b, path, data, size);
  if (r) return r;
  r = LoadPalette(&b, d);
  stream_close(&b);
  return r;
}

int InfoFrom(const char* path, const void* data, std::size_t size, BITMAPINFOHEADER* header) {
  if (!path && !data) return IMG_BAD_SOURCE;
  plat::CriticalSectionLock lock(BmpLock());
  StreamBinding b;
  int r = stream_open_read(&b, path, data, size);
  if (r) return r;
  return InfoBody(&b, header);
}

int SaveBody(StreamBinding* b, ImageDescriptor* d, int rle) {
  int bits = img_bits(d);
  if (rle && bits != 8) return IMG_UNSUPPORTED;
  DWORD columns = img_rect_width(d), rows = img_rect_height(d);
  int colors = std::max(0, std::min(d->colorCount, dib_color_count(d->header)));
  if (bits > 8) colors = 0;
  if (stream_seek(b, 54, STREAM_BEGIN) != 54) return IMG_WRITE_FAILED;
  std::vector<BYTE> table(4 * static_cast<std::size_t>(colors) + 1);
  for (int i = 0; i < colors; ++i) WriteRgbQuad(d->palette[i], table.data() + 4 * i);
  if (!stream_write_all(b, table.data(), 4 * static_cast<std::size_t>(colors))) return IMG_WRITE_FAILED;

  std::size_t padded = RowSize(columns, bits);
  std::size_t bpp = static_cast<std::size_t>(bits / 8);
  std::vector<BYTE> out;
  out.reserve(0x18000);
  std::vector<BYTE> row(padded + 8, 0);
  std::vector<BYTE> enc(2 * static_cast<std::size_t>(columns) + 2 * (columns / 255 + 1) + 8);
  auto flush = [&]() {
    bool ok = stream_write_all(b, out.data(), out.size());
    out.clear();
    return ok;
  };
  for (DWORD k = 0; k < rows; ++k) {
    const BYTE* src = img_row(d, d->bottom - k);
    std::fill(row.begin(), row.end(), 0);
    if (bits == 1) {
      bits_extract(row.data(), src + d->left / 8, d->left, columns);
    } else {
      std::memcpy(row.data(), src + bpp * d->left, bpp * columns);
    }
    if (rle) {
      int n = rle8_encode_row(enc.data(), row.data(), static_cast<int>(columns));
      out.insert(out.end(), enc.begin(), enc.begin() + n);
    } else {
      out.insert(out.end(), row.begin(), row.begin() + static_cast<long>(padded));
    }
    if (out.size() >= 0x18000 && !flush()) return IMG_WRITE_FAILED;
  }
  if (rle) {
    out.push_back(0);
    out.push_back(1);
  }
  if (!flush()) return IMG_WRITE_FAILED;
  std::int64_t fileSize = stream_seek(b, 0, STREAM_CURRENT);
  if (fileSize < 0) return IMG_WRITE_FAILED;

  BITMAPFILEHEADER fh;
  fh.bfSize = static_cast<DWORD>(fileSize);
  fh.bfOffBits = 54 + 4 * static_cast<DWORD>(colors);
  BITMAPINFOHEADER ih;
  ih.biWidth = static_cast<LONG>(columns);
  ih.biHeight = static_cast<LONG>(rows);
  ih.biPlanes = 1;
  ih.biBitCount = static_cast<WORD>(bits);
  ih.biCompression = rle ? BI_RLE8 : BI_RGB;
  ih.biSizeImage = fh.bfSize - fh.bfOffBits;
  ih.biClrUsed = ih.biClrImportant = static_cast<DWORD>(colors);
  BYTE head[54];
  WriteFileHeader(fh, head);
  WriteInfoHeader(ih, head + 14);
  if (stream_seek(b, 0, STREAM_BEGIN) != 0 || !stream_write_all(b, head, 54)) return IMG_WRITE_FAILED;
  return IMG_OK;
}

int SaveTo(const char* path, ImgMem* out, ImageDescriptor* d, int rle) {
  int r = img_check_1_8_24(d);
  if (r) return r;
  plat::CriticalSectionLock lock(BmpLock());
  StreamBinding b;
  r = stream_open_write(&b, path, out);
  if (r) return r;
  r = SaveBody(&b, d, rle);
  return stream_finish_write(&b, path, out, r);
}

// Writes a literal of n bytes: short ones as single-byte runs, longer ones as an
// absolute run padded to 16 bits.
int PutLiteral(BYTE* out, const BYTE* lit, int n) {
  int w = 0;
  if (n <= 0) return 0;
  if (n < 3) {
    for (int i = 0; i < n; ++i) {
      out[w++] = 1;
      out[w++] = lit[i];
    }
    return w;
  }
  out[w++] = 0;
  out[w++] = static_cast<BYTE>(n);
  std::memcpy(out + w, lit, static_cast<std::size_t>(n));
  w += n;
  if (n & 1) out[w++] = 0;
  return w;
}

}  // namespace

int rle8_encode_row(BYTE* out, const BYTE* row, int n) {
  int w = 0;
  BYTE runs[255 + 4];
  for (int start = 0; start < n; start += 255) {
    int piece = std::min(255, n - start);
    const BYTE* p = row + start;
    int count = byte_runs(runs, p, piece);
    int litStart = 0, litLen = 0, at = 0;
    for (int i = 0; i < count; ++i) {
      int len = runs[i];
      if (len >= 2) {
        w += PutLiteral(out + w, p + litStart, litLen);
        litLen = 0;
        out[w++] = static_cast<BYTE>(len);
        out[w++] = p[at];
      } else {
        if (litLen == 0) litStart = at;
        ++litLen;
      }
      at += len;
    }
    w += PutLiteral(out + w, p + litStart, litLen);
  }
  out[w++] = 0;
  out[w++] = 0;
  return w;
}

int bmp_info(const char* path, BITMAPINFOHEADER* header) {
  if (!path) return IMG_OPEN_FAILED;
  return InfoFrom(path, nullptr, 0, header);
}
int bmp_info_mem(const void* data, std::size_t size, BITMAPINFOHEADER* header) {
  return InfoFrom(nullptr, data, size, header);
}
int bmp_load(const char* path, ImageDescriptor* d) {
  if (!path) return IMG_OPEN_FAILED;
  return LoadFrom(path, nullptr, 0, d);
}
int bmp_load_mem(const void* data, std::size_t size, ImageDescriptor* d) { return LoadFrom(nullptr, data, size, d); }
int bmp_save(const char* path, ImageDescriptor* d, int rle) {
  if (!path) return IMG_CREATE_FAILED;
  return SaveTo(path, nullptr, d, rle);
}
int bmp_save_mem(ImgMem* out, ImageDescriptor* d, int rle) { return SaveTo(nullptr, out, d, rle); }
