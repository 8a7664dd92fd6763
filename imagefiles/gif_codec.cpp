// GIF files: the first image of a GIF87a or GIF89a file, interlaced or not, read into a
// 1-bit (two-colour files) or 8-bit image; 1- and 8-bit images written with a global
// colour table, optionally interlaced, transparent, or in literal codes.
#include "imagefiles/gif_codec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagefiles/img_stream.h"
#include "imagefiles/lzw_packbits.h"
#include "platform/Runtime.h"

namespace {

plat::CriticalSection& GifLock() {
  static plat::CriticalSection lock;
  return lock;
}

// Where the colour table in force and the image data lie.
struct GifLayout {
  std::int64_t table = -1;
  int tableEntries = 0;
  std::int64_t data = -1;
};

std::uint16_t Le16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Reads the whole stream into memory (GIF files are read from front to back).
bool ReadAll(StreamBinding* b, std::vector<BYTE>* out) {
  const std::int64_t n = stream_length(b);
  if (n < 0) return false;
  try {
    out->resize(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return stream_seek(b, 0, STREAM_BEGIN) == 0 && stream_read_exact(b, out->data(), out->size());
}

// Skips data sub-blocks from `pos`; false when they run past the end of the file.
bool SkipSubBlocks(const std::vector<BYTE>& f, std::size_t* pos) {
  for (;;) {
    if (*pos >= f.size()) return false;
    const std::size_t n = f[(*pos)++];
    if (n == 0) return true;
    *pos += n;
  }
}

int ParseHeader(const std::vector<BYTE>& f, GifInfo* info, GifLayout* layout) {
  *info = GifInfo{};
  info->transparent = -1;
  *layout = GifLayout{};
  if (f.size() < 13 || std::memcmp(f.data(), "GIF", 3) != 0) return IMG_NOT_GIF;
  info->version = (f[3] - '0') * 10 + (f[4] - '0');
  const BYTE packed = f[10];
  info->colorResolution = ((packed >> 4) & 7) + 1;
  info->bitsPerPixel = (packed & 7) + 1;
  std::size_t pos = 13;
  if (packed & 0x80) {
    layout->table = 13;
    layout->tableEntries = 1 << info->bitsPerPixel;
    pos += 3 * static_cast<std::size_t>(layout->tableEntries);
  }
  // The first image, behind any extensions; bytes that begin no block are passed over.
  while (pos < f.size()) {
    const BYTE b = f[pos];
    if (b == 0x21) {
      if (pos + 2 > f.size()) break;
      const BYTE label = f[pos + 1];
      if (label == 0xF9 && pos + 7 <= f.size() && (f[pos + 3] & 1)) info->transparent = f[pos + 6];
      pos += 2;
      if (!SkipSubBlocks(f, &pos)) return IMG_CORRUPT_DATA;
    } else if (b == 0x2C) {
      if (pos + 11 > f.size()) break;
      const BYTE* d = &f[pos + 1];
      info->width = Le16(d + 4);
      info->height = Le16(d + 6);
      info->interlace = (d[8] >> 6) & 1;
      pos += 10;
      if (d[8] & 0x80) {
        info->bitsPerPixel = (d[8] & 7) + 1;
        layout->table = static_cast<std::int64_t>(pos);
        layout->tableEntries = 1 << info->bitsPerPixel;
        pos += 3 * static_cast<std::size_t>(layout->tableEntries);
      }
      if (pos >= f.size()) break;
      info->codeSize = f[pos];
      layout->data = static_cast<std::int64_t>(pos + 1);
      // No LZW code is narrower than one bit or stands for more than 4096 pixels: a
      // picture the rest of the file cannot fill is refused before a buffer is sized.
      const std::uint64_t pixels = static_cast<std::uint64_t>(info->width) * info->height;
      const std::uint64_t data = f.size() - (pos + 1);
      if (pixels > IMG_MAX_COMPRESSED_PIXELS || pixels > data * 8 * 4096 ||
          !img_size_allowed(info->width, info->height, info->bitsPerPixel == 1 ? 1 : 8))
        return IMG_NOT_GIF;
      info->imagerBitsPerPixel = info->bitsPerPixel == 1 ? 1 : 8;
      // A colour table that the file does not hold in full is not used.
      if (layout->table >= 0 && layout->table + 3 * layout->tableEntries > static_cast<std::int64_t>(f.size()))
        layout->table = -1;
      return 0;
    } else if (b == 0x3B) {
      break;
    } else {
      ++pos;
    }
  }
  return IMG_NOT_GIF;
}

// The whole file (or, without a path, the memory block) with its header parsed.
int Open(const char* path, const void* data, std::size_t size, std::vector<BYTE>* file,
         GifInfo* info, GifLayout* layout) {
  // Without a path the block must be there at all; a small block is read as it is.
  if (!path && !data) return IMG_BAD_SOURCE;
  StreamBinding b;
  if (stream_open_read(&b, path, data, size) != 0) return IMG_OPEN_FAILED;
  const bool ok = ReadAll(&b, file);
  stream_close(&b);
  if (!ok) return IMG_OPEN_FAILED;
  return ParseHeader(*file, info, layout);
}

// Image row of file row r of an interlaced image of height h.
int InterlacedRow(int r, int h) {
  const int s2 = (h + 7) / 8;
  const int s3 = s2 + std::max(0, (h - 4 + 7) / 8);
  const int s4 = s3 + std::max(0, (h - 2 + 3) / 4);
  if (r < s2) return r * 8;
  if (r < s3) return (r - s2) * 8 + 4;
  if (r < s4) return (r - s3) * 4 + 2;
  return (r - s4) * 2 + 1;
}

}  // namespace

int gif_read_info(const char* path, const void* data, std::size_t size, GifInfo* info) {
  plat::CriticalSectionLock lock(GifLock());
  std::vector<BYTE> file;
  GifLayout layout;
  return Open(path, data, size, &file, info, &layout);
}

int gif_info(const char* path, GifInfo* info) { return gif_read_info(path, nullptr, 0, info); }

int gif_load(const char* path, ImageDescriptor* d) { return gif_load_stream(path, nullptr, 0, d); }

int gif_load_stream(const char* path, const void* block, std::size_t blockSize, ImageDescriptor* d) {
  if (int r = img_check_1_8_24(d)) return r;
  if (img_bits(d) == 24) return IMG_BAD_DEPTH;
  plat::CriticalSectionLock lock(GifLock());
  std::vector<BYTE> file;
  GifInfo info;
  GifLayout layout;
  if (int r = Open(path, block, blockSize, &file, &info, &layout)) return r;
  const int rows = static_cast<int>(std::min<DWORD>(img_rect_height(d), static_cast<DWORD>(info.height)));
  const int columns = static_cast<int>(std::min<DWORD>(img_rect_width(d), static_cast<DWORD>(info.width)));
  // The contents of the data sub-blocks, joined; a block cut by the end of the file
  // gives what it holds.
  std::vector<BYTE> data;
  for (std::size_t pos = static_cast<std::size_t>(layout.data); pos < file.size();) {
    const std::size_t n = file[pos++];
    if (n == 0) break;
    const std::size_t take = std::min(n, file.size() - pos);
    data.insert(data.end(), file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos + take));
    pos += n;
  }
  const bool oneBit = img_bits(d) == 1;
  int fileRow = 0;
  const int fileRows = info.interlace ? info.height : rows;
  int result = 0;
  if (info.width > 0 && fileRows > 0) {
    result = gif_lzw_decode(data.data(), data.size(), info.codeSize, info.width, [&](const BYTE* row) {
      const int y = info.interlace ? InterlacedRow(fileRow, info.height) : fileRow;
      ++fileRow;
      if (y < rows && columns > 0) {
        BYTE* out = img_row(d, d->top + static_cast<DWORD>(y));
        if (oneBit) {
          for (int x = 0; x < columns; ++x) {
            const DWORD bit = d->left + static_cast<DWORD>(x);
            const BYTE mask = static_cast<BYTE>(0x80 >> (bit & 7));
            if (row[x])
              out[bit >> 3] |= mask;
            else
              out[bit >> 3] &= static_cast<BYTE>(~mask);
          }
        } else {
          std::memcpy(out + d->left, row, static_cast<std::size_t>(columns));
        }
      }
      return fileRow >= fileRows;
    });
    // Data that ends before the last row is broken off like corrupt data.
    if (result == 0 && fileRow < fileRows) result = IMG_CORRUPT_DATA;
  }
  if (result != 0 && result != IMG_CORRUPT_DATA) return result;
  // The palette of the colour table in force (also after corrupt data: the rows decoded
  // so far stay).
  if (layout.table >= 0) {
    // The image's table has room for 2^bits entries.
    const int n = std::min(layout.tableEntries, 1 << img_bits(d));
    const BYTE* t = &file[static_cast<std::size_t>(layout.table)];
    for (int i = 0; i < n; ++i) d->palette[i] = RGBQUAD{t[3 * i + 2], t[3 * i + 1], t[3 * i], 0};
    d->colorCount = n;
    img_update_grey_flag(d);
  } else {
    img_set_grey_palette(d);
  }
  return result;
}

int gif_save(const char* path, ImageDescriptor* d, int options, int transparent) {
  return gif_save_stream(path, nullptr, d, options, transparent);
}

int gif_save_stream(const char* path, ImgMem* out, ImageDescriptor* d, int options, int transparent) {
  if (out) *out = nullptr;
  if ((options & 2) && (transparent < 0 || transparent > 255)) return IMG_BAD_TRANSPARENT;
  if ((options & 4) && d->colorCount >= 17) return IMG_BAD_ARGUMENT;
  if (int r = img_check_1_8_24(d)) return r;
  if (img_bits(d) == 24) return IMG_BAD_DEPTH;
  plat::CriticalSectionLock lock(GifLock());
  const int bits = img_bits(d) == 1 ? 1 : (options & 4) ? 4 : 8;
  const DWORD width = img_rect_width(d), height = img_rect_height(d);
  std::vector<BYTE> f;
  f.insert(f.end(), {'G', 'I', 'F', '8', static_cast<BYTE>((options & 2) ? '9' : '7'), 'a'});
  f.insert(f.end(), {static_cast<BYTE>(width), static_cast<BYTE>(width >> 8), static_cast<BYTE>(height),
                     static_cast<BYTE>(height >> 8), static_cast<BYTE>(0xF0 + bits - 1), 0, 0});
  for (int i = 0; i < (1 << bits); ++i)
    f.insert(f.end(), {d->palette[i].rgbRed, d->palette[i].rgbGreen, d->palette[i].rgbBlue});
  if (options & 2) f.insert(f.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, static_cast<BYTE>(transparent), 0x00});
  f.insert(f.end(), {0x2C, 0, 0, 0, 0, static_cast<BYTE>(width), static_cast<BYTE>(width >> 8),
                     static_cast<BYTE>(height), static_cast<BYTE>(height >> 8),
                     static_cast<BYTE>((options & 1) ? 0x40 : 0)});
  const int codeSize = bits == 1 ? 2 : bits;
  f.push_back(static_cast<BYTE>(codeSize));
  // Rows in file order, pixels from the rectangle; values are kept inside the table.
  std::vector<BYTE> codes;
  {
    GifLzwEncoder enc(codeSize, (options & 8) != 0, codes);
    std::vector<BYTE> row(width);
    const BYTE mask = static_cast<BYTE>((1 << bits) - 1);
    auto put = [&](DWORD y) {
      const BYTE* in = img_row(d, d->top + y);
      for (DWORD x = 0; x < width; ++x) {
        const DWORD px = d->left + x;
        row[x] = bits == 1 ? static_cast<BYTE>((in[px >> 3] >> (7 - (px & 7))) & 1) : static_cast<BYTE>(in[px] & mask);
      }
      enc.Encode(row.data(), row.size());
    };
    if (options & 1) {
      static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (DWORD y = static_cast<DWORD>(kStart[p]); y < height; y += static_cast<DWORD>(kStep[p])) put(y);
    } else {
      for (DWORD y = 0; y < height; ++y) put(y);
    }
    enc.Finish();
  }
  for (std::size_t i = 0; i < codes.size(); i += 254) {
    const std::size_t n = std::min<std::size_t>(254, codes.size() - i);
    f.push_back(static_cast<BYTE>(n));
    f.insert(f.end(), codes.begin() + static_cast<long>(i), codes.begin() + static_cast<long>(i + n));
  }
  f.push_back(0);
  f.push_back(0x3B);
  StreamBinding b;
  if (stream_open_write(&b, path, out) != 0) return IMG_CREATE_FAILED;
  int result = stream_write_all(&b, f.data(), f.size()) ? 0 : IMG_WRITE_FAILED;
  if (!path && result == IMG_WRITE_FAILED) result = IMG_NO_MEMORY;
  return stream_finish_write(&b, path, out, result);
}
