// Writing TIFF files: little-endian, the directory reserved in front of each page's data
// and filled in at the end, strips of about 16 KB of rows, and pages appended to an
// existing file with every page's count renumbered.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagefiles/ccitt.h"
#include "imagefiles/dib_convert.h"
#include "imagefiles/lzw_packbits.h"
#include "imagefiles/tiff_internal.h"
#include "platform/ByteOrder.h"

namespace {

constexpr std::size_t kBufferSize = 98304;
constexpr std::uint32_t kStripTarget = 16384;
constexpr std::uint32_t kDirectoryBlock = 272;
constexpr int kCompressions[5] = {1, 5, 32773, 2, 4};

struct PageJob {
  StreamBinding* b;
  ImageDescriptor* d;
  TiffMode mode;
  int compression;
  bool invert;
  bool singleStrip;
  int pageCount;
  int pageNumber;
};

bool WriteAt(StreamBinding* b, std::int64_t pos, const void* data, std::size_t n) {
  return stream_seek(b, pos, STREAM_BEGIN) == pos && stream_write_all(b, data, n);
}

// One image row as the file stores it (before compression): 1-bit rows inverted when the
// palette asks for it, 24-bit pixels as red, green, blue.
void FetchRow(const PageJob& j, DWORD y, DWORD width, BYTE* out) {
  const ImageDescriptor* d = j.d;
  const BYTE* in = img_row(d, d->top + y);
  switch (img_bits(d)) {
    case 1: {
      bits_extract(out, in + d->left / 8, d->left, width);
      if (j.invert) {
        const std::size_t n = (width + 7) / 8;
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<BYTE>(~out[i]);
        if (width % 8) out[n - 1] &= static_cast<BYTE>(0xFF << (8 - width % 8));
      }
      break;
    }
    case 8:
      std::memcpy(out, in + d->left, width);
      break;
    case 16:
      std::memcpy(out, in + 2 * static_cast<std::size_t>(d->left), 2 * static_cast<std::size_t>(width));
      break;
    default: {
      const BYTE* s = in + 3 * static_cast<std::size_t>(d->left);
      for (DWORD x = 0; x < width; ++x, s += 3) {
        out[3 * x] = s[2];
        out[3 * x + 1] = s[1];
        out[3 * x + 2] = s[0];
      }
    }
  }
}

// Writes the strips of every mode but LZW; offsets receives each strip's start and the end.
int tiff_write_strips(const PageJob& j, DWORD width, DWORD rows, std::size_t rowSize, std::uint32_t rowsPerStrip,
                std::vector<std::uint32_t>* offsets) {
  const bool packBits = j.mode == kModePackBits1 || j.mode == kModePackBits8;
  const bool g4 = j.mode == kModeCcittG4;
  const std::size_t threshold = kBufferSize > (packBits ? 2 : 1) * rowSize ? kBufferSize - (packBits ? 2 : 1) * rowSize : 0;
  std::vector<BYTE> buf, row, packed;
  CcittLines lines;
  try {
    buf.reserve(kBufferSize + 2 * rowSize + 16);
    row.assign(rowSize + 4, 0);
    if (packBits) packed.assign(rowSize + rowSize / 127 + 8, 0);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  if (g4 && ccitt_lines_alloc(lines, static_cast<int>(width)) != 0) return IMG_NO_MEMORY;
  CcittBits bits;
  bits.out = &buf;
  auto flush = [&]() {
    if (!buf.empty() && !stream_write_all(j.b, buf.data(), buf.size())) return false;
    buf.clear();
    return true;
  };
  std::size_t strip = 0;
  for (DWORD r = 0; r < rows; ++r) {
    if (r % rowsPerStrip == 0) {
      if (g4) {
        if (r > 0) ccitt_g4_strip_end(bits);
        ccitt_lines_reset(lines);
        bits.acc = 0;
        bits.count = 0;
      }
      if (!flush()) return IMG_WRITE_FAILED;
      (*offsets)[strip++] = static_cast<std::uint32_t>(stream_seek(j.b, 0, STREAM_CURRENT));
    } else if (buf.size() >= threshold && !flush()) {
      return IMG_WRITE_FAILED;
    }
    FetchRow(j, r, width, row.data());
    switch (j.mode) {
      case kModePackBits1:
      case kModePackBits8: {
        const int n = packbits_encode_row(packed.data(), row.data(), static_cast<int>(rowSize));
        buf.insert(buf.end(), packed.begin(), packed.begin() + n);
        break;
      }
      case kModeCcittRle:
        ccitt_encode_mh_row(bits, row.data(), static_cast<int>(width));
        break;
      case kModeCcittG4:
        if (ccitt_encode_g4_row(bits, row.data(), static_cast<int>(width), lines) != 0) return IMG_CCITT_CHANGES;
        break;
      default:
        buf.insert(buf.end(), row.begin(), row.begin() + static_cast<long>(rowSize));
    }
  }
  if (g4) ccitt_g4_strip_end(bits);
  if (!flush()) return IMG_WRITE_FAILED;
  (*offsets)[strip] = static_cast<std::uint32_t>(stream_seek(j.b, 0, STREAM_CURRENT));
  return 0;
}

int tiff_lzw_encode(const PageJob& j, DWORD width, DWORD rows, std::size_t rowSize, std::uint32_t rowsPerStrip,
                   std::vector<std::uint32_t>* offsets) {
  std::vector<BYTE> buf, row;
  try {
    buf.reserve(kBufferSize);
    row.assign(rowSize + 4, 0);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  TiffLzwEncoder enc;
  std::size_t strip = 0;
  for (DWORD r = 0; r < rows; r += rowsPerStrip) {
    (*offsets)[strip++] = static_cast<std::uint32_t>(stream_seek(j.b, 0, STREAM_CURRENT));
    buf.clear();
    enc.StartStrip(buf);
    for (DWORD k = r; k < rows && k < r + rowsPerStrip; ++k) {
      FetchRow(j, k, width, row.data());
      enc.Encode(row.data(), rowSize);
      if (buf.size() >= kBufferSize) {
        if (!stream_write_all(j.b, buf.data(), buf.size())) return IMG_WRITE_FAILED;
        buf.clear();
      }
    }
    enc.FinishStrip();
    if (!buf.empty() && !stream_write_all(j.b, buf.data(), buf.size())) return IMG_WRITE_FAILED;
  }
  (*offsets)[strip] = static_cast<std::uint32_t>(stream_seek(j.b, 0, STREAM_CURRENT));
  return 0;
}

struct Entry {
  WORD tag, type;
  DWORD count, value;
};

// The directory block at P, with the strip arrays and the colour map behind it.
int tiff_write_ifd(const PageJob& j, std::int64_t P, DWORD width, DWORD rows, std::uint32_t rowsPerStrip,
                   std::uint32_t strips, std::uint32_t m, const std::vector<std::uint32_t>& offsets) {
  const ImageDescriptor* d = j.d;
  const int bits = img_bits(d);
  const bool lzw = j.compression == 5;
  std::vector<BYTE> block(kDirectoryBlock + 8 * std::size_t{strips} + 2 * std::size_t{m}, 0);
  const DWORD p = static_cast<DWORD>(P);
  const DWORD arrays = p + kDirectoryBlock;
  const DWORD mapAt = arrays + 8 * strips;
  std::vector<Entry> e;
  const bool paged = j.pageCount > 0;
  const int photometric = bits == 24 ? 2 : (j.mode == kModeCcittRle || j.mode == kModeCcittG4) ? 0 : m ? 3 : 1;
  e.push_back({254, kTiffLong, 1, paged ? 2u : 0u});
  e.push_back({255, kTiffShort, 1, paged ? 3u : 1u});
  e.push_back({256, kTiffShort, 1, width});
  e.push_back({257, kTiffShort, 1, rows});
  if (bits == 24)
    e.push_back({258, kTiffShort, 3, p + 250});
  else
    e.push_back({258, kTiffShort, 1, static_cast<DWORD>(bits)});
  e.push_back({259, kTiffShort, 1, static_cast<DWORD>(j.compression)});
  e.push_back({262, kTiffShort, 1, static_cast<DWORD>(photometric)});
  if (bits == 1 && strips == 1)
    e.push_back({266, kTiffShort, 1, 1});
  else
    e.push_back({269, kTiffAscii, 7, p + 256});  // "Imager" and its terminating zero
  e.push_back({273, kTiffLong, strips, strips == 1 ? offsets[0] : arrays});
  e.push_back({277, kTiffShort, 1, bits == 24 ? 3u : 1u});
  e.push_back({278, kTiffLong, 1, rowsPerStrip});
  e.push_back({279, kTiffLong, strips, strips == 1 ? offsets[1] - offsets[0] : arrays + 4 * strips});
  e.push_back({282, kTiffRational, 1, p + 234});
  e.push_back({283, kTiffRational, 1, p + 242});
  e.push_back({284, kTiffShort, 1, 1});
  e.push_back({296, kTiffShort, 1, 2});
  if (paged)
    e.push_back({297, kTiffShort, 2,
                 static_cast<DWORD>(j.pageNumber & 0xFFFF) | static_cast<DWORD>(j.pageCount & 0xFFFF) << 16});
  if (lzw) e.push_back({317, kTiffShort, 1, 1});
  if (m) e.push_back({320, kTiffShort, m, mapAt});
  le::PutU16(&block[0], static_cast<std::uint16_t>(e.size()));
  for (std::size_t i = 0; i < e.size(); ++i) {
    BYTE* q = &block[2 + 12 * i];
    le::PutU16(q, e[i].tag);
    le::PutU16(q + 2, e[i].type);
    le::PutU32(q + 4, e[i].count);
    le::PutU32(q + 8, e[i].value);
  }
  le::PutU32(&block[2 + 12 * e.size()], 0);
  le::PutU32(&block[234], 300);
  le::PutU32(&block[238], 1);
  le::PutU32(&block[242], 300);
  le::PutU32(&block[246], 1);
  le::PutU16(&block[250], 8);
  le::PutU16(&block[252], 8);
  le::PutU16(&block[254], 8);
  std::memcpy(&block[256], "Imager", 6);
  if (strips > 1)
    for (std::uint32_t s = 0; s < strips; ++s) {
      le::PutU32(&block[kDirectoryBlock + 4 * s], offsets[s]);
      le::PutU32(&block[kDirectoryBlock + 4 * (strips + s)], offsets[s + 1] - offsets[s]);
    }
  for (std::uint32_t i = 0; i < m / 3; ++i) {
    const RGBQUAD& q = d->palette[i];
    BYTE* map = &block[kDirectoryBlock + 8 * std::size_t{strips}];
    le::PutU16(map + 2 * i, static_cast<std::uint16_t>(q.rgbRed << 8));
    le::PutU16(map + 2 * (256 + i), static_cast<std::uint16_t>(q.rgbGreen << 8));
    le::PutU16(map + 2 * (512 + i), static_cast<std::uint16_t>(q.rgbBlue << 8));
  }
  if (!WriteAt(j.b, P, block.data(), block.size())) return IMG_WRITE_FAILED;
  return 0;
}

// The page at P: directory block, strip arrays, colour map, then the strips.
int WritePage(const PageJob& j, std::int64_t P) {
  ImageDescriptor* d = j.d;
  const int bits = img_bits(d);
  const DWORD width = img_rect_width(d), rows = img_rect_height(d);
  const std::size_t rowSize = bits == 1 ? (width + 7) / 8 : static_cast<std::size_t>(width) * (bits / 8);
  const std::uint64_t total = static_cast<std::uint64_t>(rows) * rowSize;
  const std::uint64_t target = j.singleStrip ? 2147483647u : kStripTarget;
  std::uint32_t rowsPerStrip = rows, strips = 1;
  if (total > target) {
    rowsPerStrip = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, target / rowSize));
    const std::uint64_t stripSize = rowsPerStrip * static_cast<std::uint64_t>(rowSize);
    strips = static_cast<std::uint32_t>((total + stripSize - 1) / stripSize);
  }
  // A colour map always holds one entry per possible sample value.
  const std::uint32_t m = bits == 8 && d->colorCount > 0 && !(d->flags & IMG_GREY) ? 3 * 256 : 0;
  std::vector<std::uint32_t> offsets;
  try {
    offsets.assign(strips + std::size_t{1}, 0);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  const std::int64_t dataStart = P + kDirectoryBlock + 8 * std::int64_t{strips} + 2 * std::int64_t{m};
  if (dataStart > 0xFFFFFFF0LL || stream_seek(j.b, dataStart, STREAM_BEGIN) != dataStart) return IMG_WRITE_FAILED;
  const bool lzw = j.compression == 5;
  int r = lzw ? tiff_lzw_encode(j, width, rows, rowSize, rowsPerStrip, &offsets)
              : tiff_write_strips(j, width, rows, rowSize, rowsPerStrip, &offsets);
  if (r) return r;

  return tiff_write_ifd(j, P, width, rows, rowsPerStrip, strips, m, offsets);
}

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const char* path, std::vector<BYTE>* bytes, int* error) {
  StreamBinding b;
  *error = 0;
  if (stream_open_read(&b, path, nullptr, 0) != 0) return false;
  const std::int64_t n = stream_length(&b);
  try {
    bytes->resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  } catch (const std::bad_alloc&) {
    *error = IMG_NO_MEMORY;
  }
  if (*error == 0 && (stream_seek(&b, 0, STREAM_BEGIN) != 0 || !stream_read_exact(&b, bytes->data(), bytes->size())))
    *error = IMG_NOT_TIFF;
  stream_close(&b);
  return true;
}

// Appends a page to the file's bytes: the new file is built in a memory sink (the old
// bytes, the new page behind them, then the renumbered page counts and the link to the
// new directory) and copied over the file only when all of it succeeded.
int Append(const char* path, const std::vector<BYTE>& old, PageJob j, int page) {
  StreamBinding src;
  if (stream_open_read(&src, nullptr, old.data(), old.size()) != 0) return IMG_NO_MEMORY;
  TiffReader reader(&src);
  std::vector<TiffDirectory> dirs;
  int r = reader.tiff_walk_pages(&dirs);
  const bool big = reader.BigEndian();
  stream_close(&src);
  if (r) return r;
  if (big) return IMG_TIFF_BIG_ENDIAN;
  StreamBinding sink;
  ImgMem block = nullptr;
  if (stream_open_write(&sink, nullptr, &block) != 0) return IMG_NO_MEMORY;
  j.b = &sink;
  j.pageCount = static_cast<int>(dirs.size()) + 1;
  j.pageNumber = page;
  const std::int64_t P = static_cast<std::int64_t>(old.size());
  r = stream_write_all(&sink, old.data(), old.size()) ? WritePage(j, P) : IMG_NO_MEMORY;
  for (std::size_t i = 0; r == 0 && i < dirs.size(); ++i) {
    BYTE v[4];
    if (dirs[i].pageNumberEntry >= 0) {
      le::PutU16(v, static_cast<std::uint16_t>(j.pageCount));
      if (!WriteAt(&sink, dirs[i].pageNumberEntry + 10, v, 2)) r = IMG_NO_MEMORY;
    }
    if (i + 1 == dirs.size()) {
      le::PutU32(v, static_cast<std::uint32_t>(P));
      if (!WriteAt(&sink, dirs[i].nextField, v, 4)) r = IMG_NO_MEMORY;
    }
  }
  if (r == IMG_WRITE_FAILED) r = IMG_NO_MEMORY;
  r = stream_finish_write(&sink, nullptr, &block, r);
  if (r == 0) {
    // Copy back over the existing file.
    StreamBinding out;
    if (stream_open_write(&out, path, nullptr) != 0) {
      r = IMG_CREATE_FAILED;
    } else {
      const BYTE* data = ImgMemLock(block);
      r = stream_write_all(&out, data, ImgMemSize(block)) ? 0 : IMG_WRITE_FAILED;
      ImgMemUnlock(block);
      stream_finish_write(&out, path, nullptr, 0);
    }
  }
  if (block) ImgMemFree(block);
  return r;
}

}  // namespace

int tiff_save_page(const char* path, ImgMem* out, int page, int code, ImageDescriptor* d) {
  if (out) *out = nullptr;
  if (int r = img_check_1_8_16_24(d)) return r;
  const bool invert = img_bits(d) == 1 && (d->palette[0].rgbRed || d->palette[0].rgbGreen || d->palette[0].rgbBlue);
  const int c = code & ~16;
  if (c < 0 || c > 4) return IMG_UNSUPPORTED;
  plat::CriticalSectionLock lock(TiffLock());
  PageJob j{};
  j.d = d;
  j.compression = kCompressions[c];
  j.mode = tiff_select_mode(img_bits(d), j.compression, 0, false);
  j.invert = invert;
  j.singleStrip = (code & 16) != 0;
  if (j.mode == kModeNotHandled || j.mode == kModeNone4 || j.mode == kModePackBits4) return IMG_UNSUPPORTED;
  if (page >= 0 && path) {
    std::vector<BYTE> old;
    int error = 0;
    if (ReadWholeFile(path, &old, &error)) return error ? error : Append(path, old, j, page);
  }
  StreamBinding b;
  ImgMem block = nullptr;
  if (stream_open_write(&b, path, &block) != 0) return IMG_CREATE_FAILED;
  j.b = &b;
  j.pageCount = page >= 0 ? 1 : 0;
  j.pageNumber = page >= 0 ? page : 0;
  static const BYTE kHeader[8] = {0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00};
  int r = stream_write_all(&b, kHeader, 8) ? WritePage(j, 8) : IMG_WRITE_FAILED;
  if (!path && r == IMG_WRITE_FAILED) r = IMG_NO_MEMORY;
  r = stream_finish_write(&b, path, &block, r);
  if (out)
    *out = block;
  else if (block)
    ImgMemFree(block);
  return r;
}

int tiff_save(const char* path, ImageDescriptor* d, int code) { return tiff_save_page(path, nullptr, -1, code, d); }
