// PNG files: signature, chunks and their CRCs, the information record, zlib streams, and
// the order of loading and saving. Row filters, sample unpacking and Adam7 live in
// png_filters.cpp.
#include "imagefiles/png_codec.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imagefiles/dib_convert.h"
#include "imagefiles/img_stream.h"
#include "imagefiles/png_filters.h"
#include "platform/Runtime.h"

namespace {

// Guards every call together with the detail code and the remembered chunk positions.
plat::CriticalSection& PngLock() {
  static plat::CriticalSection lock;
  return lock;
}
int g_detail = 0;

constexpr BYTE kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kBufferSize = 8192;
// The widest row the library can hold; wider files are refused before any buffer is sized.
constexpr DWORD kMaxWidth = 65535;

// The chunk CRC is the CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320),
// the same that zlib computes; zlib's is used for its speed. The running register is kept
// uninverted: it starts at all ones and is inverted at the end.
std::uint32_t CrcUpdate(std::uint32_t crc, const BYTE* p, std::size_t n) {
  if (n == 0) return crc;  // zlib answers a null buffer with its initial value
  return static_cast<std::uint32_t>(crc32(crc ^ 0xFFFFFFFFu, p, static_cast<uInt>(n))) ^ 0xFFFFFFFFu;
}

std::uint32_t Be32(const BYTE* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
void PutBe32(BYTE* p, std::uint32_t v) {
  p[0] = static_cast<BYTE>(v >> 24);
  p[1] = static_cast<BYTE>(v >> 16);
  p[2] = static_cast<BYTE>(v >> 8);
  p[3] = static_cast<BYTE>(v);
}

// Ends a call with -63 and the detail code.
int Fail(int detail) {
  g_detail = detail;
  return IMG_PNG_ERROR;
}

struct ChunkPositions {
  std::int64_t plte = -1;
  std::uint32_t plteLength = 0;
  std::int64_t idat = -1;
  std::uint32_t idatLength = 0;
};

// Reads chunks of an open stream through the CRC, never beyond the file's length.
class ChunkReader {
 public:
  explicit ChunkReader(StreamBinding* b) : b_(b) {
    const std::int64_t pos = stream_seek(b, 0, STREAM_CURRENT);
    length_ = stream_length(b);
    stream_seek(b, pos, STREAM_BEGIN);
  }
  std::int64_t Length() const { return length_; }
  std::int64_t Position() { return stream_seek(b_, 0, STREAM_CURRENT); }

  // Reads n bytes and feeds them to the CRC; false on a short read.
  bool Read(void* p, std::size_t n) {
    if (stream_read(b_, p, n) != n) return false;
    crc_ = CrcUpdate(crc_, static_cast<BYTE*>(p), n);
    return true;
  }
  bool Skip(std::size_t n) {
    BYTE buf[kBufferSize];
    while (n > 0) {
      const std::size_t k = std::min(n, kBufferSize);
      if (!Read(buf, k)) return false;
      n -= k;
    }
    return true;
  }
  // The chunk's length and type; the CRC starts over the type. Detail code or 0.
  int Header(std::uint32_t* length, BYTE type[4]) {
    BYTE h[8];
    if (stream_read(b_, h, 8) != 8) return -113;
    *length = Be32(h);
    std::memcpy(type, h + 4, 4);
    // Data and CRC must lie within the file.
    const std::int64_t pos = Position();
    if (*length > 0x7FFFFFFFu || pos < 0 || pos + *length + 4 > length_) return -113;
    crc_ = 0xFFFFFFFFu;
    crc_ = CrcUpdate(crc_, type, 4);
    return 0;
  }
  int CheckCrc() {
    BYTE c[4];
    if (stream_read(b_, c, 4) != 4) return -113;
    return Be32(c) == (crc_ ^ 0xFFFFFFFFu) ? 0 : -111;
  }
  void PresetIdat() {
    crc_ = CrcUpdate(0xFFFFFFFFu, reinterpret_cast<const BYTE*>("IDAT"), 4);
  }

 private:
  StreamBinding* b_;
  std::int64_t length_ = 0;
  std::uint32_t crc_ = 0xFFFFFFFFu;
};

bool IsType(const BYTE* t, const char* name) { return std::memcmp(t, name, 4) == 0; }

// Reads up to `want` bytes of the chunk's data into `dst`, skips the rest; all through CRC.
bool ReadPart(ChunkReader& r, std::uint32_t length, void* dst, std::size_t want) {
  const std::size_t n = std::min<std::size_t>(length, want);
  return r.Read(dst, n) && r.Skip(length - n);
}

int HandleIhdr(ChunkReader& r, std::uint32_t length, PngInfo* info) {
  if (length != 13) return -102;
  BYTE h[13];
  if (!r.Read(h, 13)) return -113;
  const DWORD width = Be32(h), height = Be32(h + 4);
  const int depth = h[8], colourType = h[9];
  if (width == 0 || height == 0 || width > kMaxWidth || height > 0x7FFFFFFFu) return -109;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return -103;
  static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  if (colourType > 6 || kChannels[colourType] == 0) return -104;
  const int combination = png_combination(colourType, depth);
  if (combination < 0) return -105;
  if (h[12] > 1) return -106;
  if (h[10] != 0) return -107;
  if (h[11] != 0) return -108;
  info->width = width;
  info->height = height;
  info->bitDepth = static_cast<DWORD>(depth);
  info->colorType = static_cast<DWORD>(colourType);
  info->interlace = h[12];
  info->combination = static_cast<DWORD>(combination);
  info->imagerBitsPerPixel = static_cast<DWORD>(png_imager_bits(combination));
  info->channels = static_cast<DWORD>(kChannels[colourType]);
  info->bitsPerPixel = info->channels * info->bitDepth;
  info->bytesPerRow = static_cast<DWORD>((static_cast<std::uint64_t>(info->bitsPerPixel) * width + 7) / 8);
  return 0;
}

// Walks the chunks into the record, remembering the first PLTE and IDAT. Detail or 0.
int WalkChunks(StreamBinding* b, ChunkReader& r, PngInfo* info, ChunkPositions* pos) {
  std::memset(info, 0, sizeof(*info));
  BYTE sig[8];
  if (stream_read(b, sig, 8) != 8) return -113;
  if (std::memcmp(sig, kSignature, 8) != 0) return -110;
  bool haveHeader = false;
  bool transparencySeen = false;
  std::uint64_t idatBytes = 0;
  for (;;) {
    std::uint32_t length = 0;
    BYTE type[4];
    if (int e = r.Header(&length, type)) return e;
    int e = 0;
    if (IsType(type, "IHDR")) {
      e = HandleIhdr(r, length, info);
      haveHeader = e == 0;
    } else if (!haveHeader) {
      // Nothing can be read before the header: the record has no width.
      return -109;
    } else if (IsType(type, "IEND")) {
      // Deflate makes at most 1032 bytes of each byte it reads: a picture that the image
      // data cannot fill, or one above the library's limit, is refused before any buffer
      // is sized for it.
      const std::uint64_t pixels = static_cast<std::uint64_t>(info->width) * info->height;
      if (pixels > IMG_MAX_COMPRESSED_PIXELS ||
          pixels * info->bitsPerPixel / 8 > 1032 * (idatBytes + 1) ||
          !img_size_allowed(info->width, info->height, static_cast<int>(info->imagerBitsPerPixel)))
        return -109;
      return 0;
    } else if (IsType(type, "IDAT")) {
      idatBytes += length;
      if (pos->idat < 0) {
        pos->idat = r.Position();
        pos->idatLength = length;
      }
      if (stream_seek(b, static_cast<std::int64_t>(length) + 4, STREAM_CURRENT) < 0) return -113;
      continue;  // the CRC of IDAT is checked while loading
    } else if (IsType(type, "PLTE")) {
      if (pos->plte < 0) {
        pos->plte = r.Position();
        pos->plteLength = length;
      }
      if (!r.Skip(length)) e = -113;
    } else if (IsType(type, "tRNS") && !transparencySeen && length <= 256) {
      transparencySeen = true;
      BYTE t[256];
      if (!r.Read(t, length)) return -113;
      info->transparencySeen = 1;
      if (info->colorType == 3 && length > 0) {
        // The entry with the smallest alpha, the first one on ties.
        std::uint32_t best = 0;
        for (std::uint32_t i = 1; i < length; ++i)
          if (t[i] < t[best]) best = i;
        info->transparency[0] = static_cast<BYTE>(best);
        info->transparencyCount = 1;
      } else if (info->colorType != 3) {
        BYTE v[8] = {};
        const std::uint32_t n = std::min<std::uint32_t>(length, 6);
        for (std::uint32_t i = 0; i + 1 < n; i += 2) {
          v[i] = t[i + 1];
          v[i + 1] = t[i];
        }
        std::memcpy(info->transparency, v, 4);
        std::memcpy(&info->reserved, v + 4, 4);
        info->transparencyCount = length;
      }
    } else if (IsType(type, "bKGD") && !info->backgroundSeen && length < 7) {
      BYTE v[6] = {};
      if (!r.Read(v, length)) return -113;
      info->backgroundSeen = 1;
      info->backgroundLength = length;
      if (info->colorType != 3)
        for (std::uint32_t i = 0; i + 1 < length; i += 2) std::swap(v[i], v[i + 1]);
      std::memcpy(info->background, v, length);
    } else if (IsType(type, "gAMA")) {
      BYTE v[4] = {};
      if (!ReadPart(r, length, v, 4)) return -113;
      info->gamma = Be32(v);
    } else if (IsType(type, "pHYs") || IsType(type, "oFFs")) {
      BYTE v[9] = {};
      if (!ReadPart(r, length, v, 9)) return -113;
      if (IsType(type, "pHYs")) {
        info->xPixelsPerUnit = Be32(v);
        info->yPixelsPerUnit = Be32(v + 4);
        info->unit = v[8];
      } else {
        info->xOffset = Be32(v);
        info->yOffset = Be32(v + 4);
        info->offsetUnit = v[8];
      }
    } else if (IsType(type, "sBIT")) {
      const std::size_t n = info->colorType == 3 ? 3 : std::min<std::size_t>(info->channels, 4);
      if (!ReadPart(r, length, info->significantBits, n)) return -113;
    } else if ((type[0] & 0x20) == 0) {
      return -100;  // a critical chunk this codec does not know
    } else {
      if (!r.Skip(length)) return -113;  // tEXt and every other ancillary chunk
    }
    if (e) return e;
    if (int c = r.CheckCrc()) return c;
  }
}

// Opens the file (or, without a path, the memory block) and walks its chunks. 0, -4, or -63 with the detail set.
int OpenAndWalk(const char* path, const void* data, std::size_t size, StreamBinding* b,
                PngInfo* info, ChunkPositions* pos) {
  g_detail = 0;
  if (stream_open_read(b, path, data, size) != 0) return IMG_OPEN_FAILED;
  ChunkReader r(b);
  const int e = WalkChunks(b, r, info, pos);
  if (e) {
    stream_close(b);
    return Fail(e);
  }
  return 0;
}

// Feeds inflate with IDAT data, chunk after chunk, through the CRC.
class IdatFeeder {
 public:
  IdatFeeder(ChunkReader& r, std::uint32_t firstLength) : r_(r), left_(firstLength) {}
  // Refills the input when it is used up. Detail code or 0; `ended` when a chunk other
  // than IDAT follows.
  int Refill(z_stream& z) {
    while (z.avail_in == 0 && !ended_) {
      if (left_ == 0) {
        if (int c = r_.CheckCrc()) return c;
        std::uint32_t length = 0;
        BYTE type[4];
        if (int e = r_.Header(&length, type)) return e;
        if (!IsType(type, "IDAT")) {
          ended_ = true;
          break;
        }
        left_ = length;
        continue;
      }
      const std::size_t n = std::min<std::size_t>(left_, kBufferSize);
      if (!r_.Read(buf_, n)) return -113;
      left_ -= static_cast<std::uint32_t>(n);
      z.next_in = buf_;
      z.avail_in = static_cast<uInt>(n);
    }
    return 0;
  }
  bool Leftover(const z_stream& z) const { return z.avail_in > 0 || left_ > 0; }
  // After the last row: the rest of the current chunk is read, so that its CRC is
  // checked too. Detail code or 0.
  int Finish() {
    if (ended_) return 0;
    if (!r_.Skip(left_)) return -113;
    left_ = 0;
    return r_.CheckCrc();
  }

 private:
  ChunkReader& r_;
  std::uint32_t left_;
  bool ended_ = false;
  BYTE buf_[kBufferSize];
};

// Places one unpacked pass row into image row `y` of the rectangle.
void png_place_row(const BYTE* row, const PngPass& pass, int filePixels, int bits, DWORD columns,
              ImageDescriptor* d, DWORD y) {
  BYTE* out = img_row(d, d->top + y);
  const DWORD first = static_cast<DWORD>(pass.firstColumn);
  const DWORD step = static_cast<DWORD>(pass.columnStep);
  if (first >= columns) return;
  // Pixels of the pass row that land inside the rectangle.
  const DWORD n = std::min<DWORD>(static_cast<DWORD>(filePixels), (columns - first + step - 1) / step);
  if (bits == 8) {
    BYTE* o = out + d->left + first;
    if (step == 1) {
      std::memcpy(o, row, n);
    } else {
      for (DWORD i = 0; i < n; ++i) o[i * step] = row[i];
    }
  } else if (bits == 24) {
    BYTE* o = out + 3 * (d->left + first);
    const std::size_t s = 3 * step;
    for (DWORD i = 0; i < n; ++i, o += s, row += 3) {
      o[0] = row[2];
      o[1] = row[1];
      o[2] = row[0];
    }
  } else if (step == 1) {
    bits_insert(out + d->left / 8, row, d->left, n);
  } else {
    const DWORD base = (d->left % 8) + first;
    BYTE* o = out + d->left / 8;
    for (DWORD i = 0; i < n; ++i) {
      const DWORD bit = base + i * step;
      const BYTE mask = static_cast<BYTE>(0x80 >> (bit & 7));
      if (row[i >> 3] & (0x80 >> (i & 7)))
        o[bit >> 3] |= mask;
      else
        o[bit >> 3] &= static_cast<BYTE>(~mask);
    }
  }
}

// The reverse of png_place_row for saving: pass row bytes behind row[0].
void png_gather_row(BYTE* row, const PngPass& pass, int pixels, int bits, ImageDescriptor* d, DWORD y) {
  const BYTE* in = img_row(d, d->top + y);
  const DWORD first = static_cast<DWORD>(pass.firstColumn);
  const DWORD step = static_cast<DWORD>(pass.columnStep);
  if (bits == 8) {
    const BYTE* s = in + d->left + first;
    for (int i = 0; i < pixels; ++i) row[i] = s[static_cast<DWORD>(i) * step];
  } else if (bits == 24) {
    const BYTE* s = in + 3 * (d->left + first);
    for (int i = 0; i < pixels; ++i, s += 3 * step) {
      row[3 * i] = s[2];
      row[3 * i + 1] = s[1];
      row[3 * i + 2] = s[0];
    }
  } else {
    std::memset(row, 0, static_cast<std::size_t>(pixels + 7) / 8);
    const DWORD base = d->left + first;
    for (int i = 0; i < pixels; ++i) {
      const DWORD bit = base + static_cast<DWORD>(i) * step;
      if (in[bit >> 3] & (0x80 >> (bit & 7))) row[i >> 3] |= static_cast<BYTE>(0x80 >> (i & 7));
    }
  }
}

int LoadPixels(StreamBinding* b, const PngInfo& info, const ChunkPositions& pos, ImageDescriptor* d) {
  if (pos.idat < 0) return Fail(-115);
  const DWORD rows = std::min<DWORD>(img_rect_height(d), info.height);
  const DWORD columns = std::min<DWORD>(img_rect_width(d), info.width);
  const int width = static_cast<int>(info.width);
  const int bpp = static_cast<int>(info.bitsPerPixel);
  const int distance = std::max(1, (bpp + 7) / 8);
  const int bits = img_bits(d);
  // The row is unpacked in place, which may widen it to a byte (or three) per pixel.
  const std::size_t rowSize = std::max<std::size_t>(info.bytesPerRow + 1, 4 * static_cast<std::size_t>(width) + 8);
  std::vector<BYTE> row, prev;
  try {
    row.assign(rowSize, 0);
    prev.assign(info.bytesPerRow + 1, 0);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  z_stream z{};
  if (inflateInit2(&z, 15) != Z_OK) return Fail(-114);
  ChunkReader r(b);
  int result = 0;
  if (stream_seek(b, pos.idat, STREAM_BEGIN) != pos.idat) {
    inflateEnd(&z);
    return Fail(-113);
  }
  r.PresetIdat();
  auto feeder = std::make_unique<IdatFeeder>(r, pos.idatLength);
  const int passes = info.interlace ? 7 : 1;
  for (int p = 0; p < passes && result == 0; ++p) {
    const PngPass& pass = info.interlace ? kAdam7[p] : kNoInterlace;
    const int pixels = png_pass_pixels(pass, width);
    if (pixels == 0) continue;
    const std::size_t bytes = png_pass_row_bytes(pass, width, bpp);
    std::fill(prev.begin(), prev.end(), 0);
    for (DWORD y = static_cast<DWORD>(pass.firstRow); y < info.height && result == 0;
         y += static_cast<DWORD>(pass.rowStep)) {
      z.next_out = row.data();
      z.avail_out = static_cast<uInt>(bytes + 1);
      while (z.avail_out > 0) {
        if (int e = feeder->Refill(z)) {
          result = Fail(e);
          break;
        }
        const int zr = inflate(&z, Z_PARTIAL_FLUSH);
        if (zr == Z_STREAM_END) {
          if (z.avail_out > 0 || feeder->Leftover(z)) result = Fail(-112);
          break;
        }
        if (zr != Z_OK) {
          result = Fail(-115);
          break;
        }
      }
      if (result || y >= rows) continue;
      png_unfilter_row(row.data(), prev.data(), bytes, distance);
      png_unpack_row(static_cast<int>(info.combination), row.data() + 1, pixels);
      png_place_row(row.data() + 1, pass, pixels, bits, columns, d, y);
    }
  }
  if (result == 0)
    if (int e = feeder->Finish()) result = Fail(e);
  inflateEnd(&z);
  return result;
}

int ReadPalette(StreamBinding* b, const ChunkPositions& pos, RGBQUAD* palette) {
  if (pos.plte < 0) return 0;
  const std::uint32_t n = std::min<std::uint32_t>(pos.plteLength / 3, 256);
  BYTE rgb[768];
  if (stream_seek(b, pos.plte, STREAM_BEGIN) != pos.plte || stream_read(b, rgb, 3 * n) != 3 * n) return 0;
  for (std::uint32_t i = 0; i < n; ++i)
    palette[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
  return static_cast<int>(n);
}

// ---- saving

class PngWriter {
 public:
  explicit PngWriter(StreamBinding* b) : b_(b) {}
  // 0 or -3.
  int Chunk(const char* type, const BYTE* data, std::size_t n) {
    BYTE head[8];
    PutBe32(head, static_cast<std::uint32_t>(n));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = CrcUpdate(0xFFFFFFFFu, head + 4, 4);
    crc = CrcUpdate(crc, data, n);
    BYTE tail[4];
    PutBe32(tail, crc ^ 0xFFFFFFFFu);
    if (!stream_write_all(b_, head, 8) || (n && !stream_write_all(b_, data, n)) ||
        !stream_write_all(b_, tail, 4))
      return IMG_WRITE_FAILED;
    return 0;
  }

 private:
  StreamBinding* b_;
};

int SavePixels(StreamBinding* b, ImageDescriptor* d, int options) {
  PngWriter w(b);
  const DWORD width = img_rect_width(d), height = img_rect_height(d);
  const bool interlaced = options & 1;
  const int bits = img_bits(d);
  int colourType, depth;
  if (bits == 24) {
    colourType = 2;
    depth = 8;
  } else if (bits == 8 && (d->flags & IMG_GREY)) {
    colourType = 0;
    depth = 8;
  } else {
    colourType = 3;
    depth = bits;
  }
  const int combination = png_combination(colourType, depth);
  if (combination != 3 && combination != 4 && combination != 5 && combination != 7 &&
      combination != 10)
    return Fail(-105);
  // Palette images and images below 8 bits use None; else the options choose.
  int filter = kPngNone;
  bool adaptive = false;
  if (colourType != 3 && depth >= 8 && options <= 11) {
    const int f = options & 14;
    adaptive = f == 0;
    filter = f / 2 - 1;
  }
  const bool fixedNone = !adaptive && filter == kPngNone;

  if (!stream_write_all(b, kSignature, 8)) return IMG_WRITE_FAILED;
  BYTE ihdr[13];
  PutBe32(ihdr, width);
  PutBe32(ihdr + 4, height);
  ihdr[8] = static_cast<BYTE>(depth);
  ihdr[9] = static_cast<BYTE>(colourType);
  ihdr[10] = 0;
  ihdr[11] = 0;
  ihdr[12] = interlaced ? 1 : 0;
  if (int e = w.Chunk("IHDR", ihdr, 13)) return e;
  if (colourType == 3) {
    int n = std::min(d->colorCount, 256);
    if (n <= 0) n = 1 << bits;
    BYTE plte[768];
    for (int i = 0; i < n; ++i) {
      plte[3 * i] = d->palette[i].rgbRed;
      plte[3 * i + 1] = d->palette[i].rgbGreen;
      plte[3 * i + 2] = d->palette[i].rgbBlue;
    }
    if (int e = w.Chunk("PLTE", plte, 3 * static_cast<std::size_t>(n))) return e;
  }
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8,
                   fixedNone ? Z_DEFAULT_STRATEGY : Z_FILTERED) != Z_OK) {
    g_detail = -114;
    return IMG_NO_MEMORY;
  }
  const int bpp = depth * (colourType == 2 ? 3 : 1);
  const int distance = std::max(1, bpp / 8);
  const std::size_t fullBytes = (static_cast<std::size_t>(width) * bpp + 7) / 8;
  std::vector<BYTE> row(fullBytes + 1), prev(fullBytes + 1), filtered(fullBytes + 1);
  BYTE out[kBufferSize];
  z.next_out = out;
  z.avail_out = kBufferSize;
  int result = 0;
  auto drain = [&](int flush) -> int {
    // Runs deflate until it needs more input (or, finishing, until the stream ends),
    // writing every full buffer as one IDAT chunk.
    for (;;) {
      const int zr = deflate(&z, flush);
      if (zr != Z_OK && zr != Z_STREAM_END && zr != Z_BUF_ERROR) {
        g_detail = -116;
        return IMG_PNG_COMPRESS;
      }
      if (z.avail_out == 0 || (zr == Z_STREAM_END && z.avail_out < kBufferSize)) {
        if (w.Chunk("IDAT", out, kBufferSize - z.avail_out)) {
          g_detail = -117;
          return IMG_WRITE_FAILED;
        }
        z.next_out = out;
        z.avail_out = kBufferSize;
      }
      if (zr == Z_STREAM_END) return 0;
      if (flush != Z_FINISH && z.avail_in == 0 && z.avail_out > 0) return 0;
    }
  };
  const int passes = interlaced ? 7 : 1;
  for (int p = 0; p < passes && result == 0; ++p) {
    const PngPass& pass = interlaced ? kAdam7[p] : kNoInterlace;
    const int pixels = png_pass_pixels(pass, static_cast<int>(width));
    if (pixels == 0) continue;
    const std::size_t bytes = png_pass_row_bytes(pass, static_cast<int>(width), bpp);
    std::fill(prev.begin(), prev.end(), 0);
    for (DWORD y = static_cast<DWORD>(pass.firstRow); y < height && result == 0;
         y += static_cast<DWORD>(pass.rowStep)) {
      png_gather_row(row.data() + 1, pass, pixels, bits, d, y);
      const int type = adaptive ? png_choose_filter(row.data(), prev.data(), bytes, distance) : filter;
      png_filter_apply(type, row.data(), prev.data(), filtered.data(), bytes, distance);
      z.next_in = filtered.data();
      z.avail_in = static_cast<uInt>(bytes + 1);
      result = drain(Z_NO_FLUSH);
    }
  }
  if (result == 0) result = drain(Z_FINISH);
  deflateEnd(&z);
  if (result == 0) result = w.Chunk("IEND", nullptr, 0);
  return result;
}

}  // namespace

int png_read_info(const char* path, const void* data, std::size_t size, PngInfo* info) {
  plat::CriticalSectionLock lock(PngLock());
  StreamBinding b;
  ChunkPositions pos;
  const int r = OpenAndWalk(path, data, size, &b, info, &pos);
  if (r == 0) stream_close(&b);
  return r;
}

int png_info(const char* path, PngInfo* info) { return png_read_info(path, nullptr, 0, info); }

namespace {

int ReadPaletteFrom(const char* path, const void* data, std::size_t size, RGBQUAD* palette) {
  plat::CriticalSectionLock lock(PngLock());
  StreamBinding b;
  ChunkPositions pos;
  PngInfo info;
  const int saved = g_detail;
  if (OpenAndWalk(path, data, size, &b, &info, &pos) != 0) {
    g_detail = saved;
    return 0;
  }
  const int n = info.colorType == 3 ? ReadPalette(&b, pos, palette) : 0;
  stream_close(&b);
  return n;
}

}  // namespace

int png_read_palette(const char* path, RGBQUAD* palette) {
  return ReadPaletteFrom(path, nullptr, 0, palette);
}

int png_load_stream(const char* path, const void* data, std::size_t size, ImageDescriptor* d) {
  if (int r = img_check_1_8_24(d)) return r;
  int result;
  {
    plat::CriticalSectionLock lock(PngLock());
    StreamBinding b;
    ChunkPositions pos;
    PngInfo info;
    result = OpenAndWalk(path, data, size, &b, &info, &pos);
    if (result) return result;
    // Rows of one depth never go into an image of another.
    if (info.imagerBitsPerPixel != static_cast<DWORD>(img_bits(d))) {
      stream_close(&b);
      return IMG_BAD_DEPTH;
    }
    result = LoadPixels(&b, info, pos, d);
    stream_close(&b);
  }
  if (result == 0 && img_bits(d) <= 8) {
    // The image's table has room for 2^bits entries, whatever the file's PLTE holds.
    RGBQUAD palette[256];
    const int n = std::min(ReadPaletteFrom(path, data, size, palette), 1 << img_bits(d));
    if (n > 0) {
      std::copy(palette, palette + n, d->palette);
      d->colorCount = n;
      img_update_grey_flag(d);
    } else {
      img_set_grey_palette(d);
    }
  }
  return result;
}

int png_load(const char* path, ImageDescriptor* d) { return png_load_stream(path, nullptr, 0, d); }

int png_save_stream(const char* path, ImgMem* out, ImageDescriptor* d, int options) {
  if (out) *out = nullptr;
  if (int r = img_check_1_8_24(d)) return r;
  plat::CriticalSectionLock lock(PngLock());
  g_detail = 0;
  StreamBinding b;
  if (stream_open_write(&b, path, out) != 0) return IMG_CREATE_FAILED;
  int result = SavePixels(&b, d, options);
  if (!path) {
    // Into memory a failed write can only mean that memory ran out.
    if (result == IMG_WRITE_FAILED) result = IMG_NO_MEMORY;
    if (g_detail == -117) g_detail = -114;
  }
  return stream_finish_write(&b, path, out, result);
}

int png_save(const char* path, ImageDescriptor* d, int options) {
  return png_save_stream(path, nullptr, d, options);
}

int png_last_error() {
  plat::CriticalSectionLock lock(PngLock());
  return g_detail;
}
