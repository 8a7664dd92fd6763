#include "imagefiles/tga_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefiles/img_stream.h"
#include "platform/ByteOrder.h"
#include "platform/Runtime.h"

namespace {

plat::CriticalSection& TgaLock() {
  static plat::CriticalSection cs;
  return cs;
}

struct TgaFile {
  TgaInfo info;
  int colorMapLength = 0;
  std::int64_t dataOffset = 0;
  std::int64_t colorMapOffset = 0;
  std::int64_t length = 0;
};

int EntryBytes(int bits) { return (bits + 7) / 8; }

// Reads the header and checks every size against the file's length.
int ReadHeader(StreamHandle h, TgaFile* f) {
  *f = TgaFile{};
  f->length = file_seek(h, 0, STREAM_END);
  BYTE b[18], tail[18];
  DWORD done = 0;
  if (f->length < 18 || file_seek(h, 0, STREAM_BEGIN) != 0 || !file_read(h, b, 18, &done) || done != 18)
    return IMG_BAD_TGA;
  if (file_seek(h, f->length - 18, STREAM_BEGIN) < 0 || !file_read(h, tail, 18, &done) || done != 18)
    return IMG_BAD_TGA;
  TgaInfo& i = f->info;
  i.idLength = b[0];
  i.colorMapType = b[1];
  i.imageType = b[2];
  f->colorMapLength = le::GetU16(b + 5);
  i.colorMapEntrySize = b[7];
  i.xOrigin = le::GetU16(b + 8);
  i.yOrigin = le::GetU16(b + 10);
  i.width = le::GetU16(b + 12);
  i.height = le::GetU16(b + 14);
  i.pixelDepth = b[16];
  i.alphaBits = b[17] & 15;
  i.screenOrigin = b[17] >> 4;
  i.interleave = b[17] & 192;
  i.imagerBitsPerPixel = i.pixelDepth == 8 ? 8 : 24;
  f->dataOffset = 18 + i.idLength;
  if (i.colorMapType) {
    f->colorMapOffset = f->dataOffset;
    f->dataOffset += static_cast<std::int64_t>(f->colorMapLength) * EntryBytes(i.colorMapEntrySize);
  }
  if ((i.imageType == 0 || i.imageType >= 12) && std::memcmp(tail, "TRUEVISION-XFILE", 16) != 0)
    return IMG_BAD_TGA;
  if (f->dataOffset > f->length) return IMG_BAD_TGA;
  // The pixels must fit in the file: all of them uncompressed, and no more than 128 per
  // two bytes run-length encoded.
  std::int64_t pixels = static_cast<std::int64_t>(i.width) * i.height;
  std::int64_t data = f->length - f->dataOffset;
  if (i.width == 0 || i.height == 0) return IMG_BAD_TGA;
  if (i.imageType & 8) {
    if (pixels > 64 * data) return IMG_BAD_TGA;
  } else if (pixels * EntryBytes(i.pixelDepth) > data) {
    return IMG_BAD_TGA;
  }
  if (!img_size_allowed(i.width, i.height, i.imagerBitsPerPixel)) return IMG_BAD_TGA;
  return IMG_OK;
}

int FormatCheck(const TgaFile& f, const ImageDescriptor* d) {
  const TgaInfo& i = f.info;
  if ((i.imageType & 7) == 2) {
    if (img_bits(d) != 24) return IMG_BAD_DEPTH;
  } else {
    if (img_bits(d) != 8) return IMG_BAD_DEPTH;
    if ((i.imageType & 7) != 1 && (i.imageType & 7) != 3) return IMG_BAD_TGA;
  }
  // An 8-bit image takes one byte per file pixel.
  if (img_bits(d) == 8 && i.pixelDepth != 8) return IMG_BAD_DEPTH;
  if (i.interleave) return IMG_BAD_TGA;
  if (i.pixelDepth != 8 && i.pixelDepth != 16 && i.pixelDepth != 24 && i.pixelDepth != 32) return IMG_BAD_TGA;
  if (i.width >= 32768 || i.height >= 32768) return IMG_BAD_TGA;
  return IMG_OK;
}

// One pixel of the file as blue, green, red.
void ToBgr(const BYTE* p, int bytes, BYTE* o) {
  if (bytes >= 3) {
    o[0] = p[0];
    o[1] = p[1];
    o[2] = p[2];
    return;
  }
  DWORD v = le::GetU16(p);
  o[0] = static_cast<BYTE>(v << 3);
  o[1] = static_cast<BYTE>((v >> 2) & 0xF8);
  o[2] = static_cast<BYTE>((v >> 7) & 0xF8);
}

int LoadRows(StreamHandle h, const TgaFile& f, ImageDescriptor* d) {
  const TgaInfo& i = f.info;
  DWORD rows = std::min<DWORD>(img_rect_height(d), static_cast<DWORD>(i.height));
  DWORD columns = std::min<DWORD>(img_rect_width(d), static_cast<DWORD>(i.width));
  std::vector<BYTE> data;
  try {
    data.resize(static_cast<std::size_t>(f.length - f.dataOffset));
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  DWORD done = 0;
  if (file_seek(h, f.dataOffset, STREAM_BEGIN) != f.dataOffset ||
      !file_read(h, data.data(), static_cast<DWORD>(data.size()), &done) || done != data.size())
    return IMG_BAD_TGA;
  int bpp = EntryBytes(i.pixelDepth);
  std::size_t fileRow = static_cast<std::size_t>(i.width) * static_cast<std::size_t>(bpp);
  std::vector<BYTE> row(fileRow + 8, 0);
  bool topLeft = (i.screenOrigin & 2) != 0;
  DWORD fileRows = topLeft ? rows : static_cast<DWORD>(i.height);
  DWORD skip = topLeft ? 0 : static_cast<DWORD>(i.height) - rows;
  std::size_t pos = 0;
  for (DWORD k = 0; k < fileRows; ++k) {
    const BYTE* px;
    if (i.imageType & 8) {
      int used = tga_rle_decode_row(data.data() + pos, data.size() - pos, row.data(), i.width, bpp);
      if (used < 0) return used;
      pos += static_cast<std::size_t>(used);
      px = row.data();
    } else {
      px = data.data() + pos;
      pos += fileRow;
    }
    if (k < skip) continue;
    DWORD stored = k - skip;
    BYTE* dst = img_row(d, topLeft ? d->top + stored : d->bottom - stored);
    if (img_bits(d) == 8) {
      std::memcpy(dst + d->left, px, columns);  // 8-bit pixels only reach 8-bit images
    } else {
      for (DWORD x = 0; x < columns; ++x) ToBgr(px + bpp * x, bpp, dst + 3 * (d->left + x));
    }
  }
  return IMG_OK;
}

int LoadPalette(StreamHandle h, const TgaFile& f, ImageDescriptor* d) {
  const TgaInfo& i = f.info;
  int type = i.imageType & 7;
  if (type == 1 && i.colorMapType && f.colorMapLength > 0) {
    int n = std::min({f.colorMapLength, 256, dib_color_count(d->header)});
    int eb = EntryBytes(i.colorMapEntrySize);
    if (eb < 2) return IMG_BAD_TGA;
    std::vector<BYTE> map(static_cast<std::size_t>(n) * static_cast<std::size_t>(eb));
    DWORD done = 0;
    if (file_seek(h, f.colorMapOffset, STREAM_BEGIN) != f.colorMapOffset ||
        !file_read(h, map.data(), static_cast<DWORD>(map.size()), &done) || done != map.size())
      return IMG_BAD_TGA;
    for (int k = 0; k < n; ++k) {
      BYTE o[3];
      ToBgr(map.data() + k * eb, eb, o);
      d->palette[k] = RGBQUAD{o[0], o[1], o[2], 0};
    }
    d->colorCount = n;
    img_update_grey_flag(d);
  } else {
    img_set_grey_palette(d);
  }
  return IMG_OK;
}

}  // namespace

int tga_info(const char* path, TgaInfo* info) {
  plat::CriticalSectionLock lock(TgaLock());
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  TgaFile f;
  int r = ReadHeader(h, &f);
  file_close(h);
  *info = f.info;
  return r;
}

int tga_load(const char* path, ImageDescriptor* d) {
  int r = img_check_8_24(d);
  if (r) return r;
  TgaFile f;
  {
    plat::CriticalSectionLock lock(TgaLock());
    StreamHandle h = file_open_read(path);
    if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
    r = ReadHeader(h, &f);
    if (r == IMG_OK) r = FormatCheck(f, d);
    if (r == IMG_OK) r = LoadRows(h, f, d);
    file_close(h);
  }
  if (r) return r;
  plat::CriticalSectionLock lock(TgaLock());
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  r = LoadPalette(h, f, d);
  file_close(h);
  return r;
}

int tga_rle_decode_row(BYTE* in, std::size_t inSize, BYTE* out, int count, int bpp) {
  std::size_t p = 0;
  int x = 0;
  const std::size_t pb = static_cast<std::size_t>(bpp);
  while (x < count) {
    if (p >= inSize) return IMG_BAD_TGA;
    BYTE head = in[p];
    int n = (head & 0x7F) + 1;
    int fit = std::min(n, count - x);
    if (head & 0x80) {
      if (p + 1 + pb > inSize) return IMG_BAD_TGA;
      for (int k = 0; k < fit; ++k) std::memcpy(out + pb * static_cast<std::size_t>(x + k), in + p + 1, pb);
      x += fit;
      if (fit < n) {
        // The rest of the run continues the next row.
        in[p] = static_cast<BYTE>(0x80 | (n - fit - 1));
        return static_cast<int>(p);
      }
      p += 1 + pb;
    } else {
      if (p + 1 + pb * static_cast<std::size_t>(fit) > inSize) return IMG_BAD_TGA;
      std::memcpy(out + pb * static_cast<std::size_t>(x), in + p + 1, pb * static_cast<std::size_t>(fit));
      x += fit;
      if (fit < n) {
        // The rest of the raw packet continues the next row: its header moves in front of
        // the pixels not yet used.
        std::size_t at = p + pb * static_cast<std::size_t>(fit);
        in[at] = static_cast<BYTE>(n - fit - 1);
        return static_cast<int>(at);
      }
      p += 1 + pb * static_cast<std::size_t>(n);
    }
  }
  return static_cast<int>(p);
}

int tga_rle_encode_row(BYTE* out, const BYTE* in, int count, int bpp) {
  const std::size_t pb = static_cast<std::size_t>(bpp);
  int w = 0;
  auto same = [&](int a, int b) { return std::memcmp(in + pb * a, in + pb * b, pb) == 0; };
  for (int start = 0; start < count; start += 128) {
    int piece = std::min(128, count - start);
    std::vector<int> runs;
    for (int k = 0; k < piece;) {
      int n = 1;
      while (k + n < piece && same(start + k, start + k + n)) ++n;
      runs.push_back(n);
      k += n;
    }
    int rawStart = 0, rawLen = 0, at = start;
    auto flushRaw = [&]() {
      if (!rawLen) return;
      out[w++] = static_cast<BYTE>(rawLen - 1);
      std::memcpy(out + w, in + pb * rawStart, pb * rawLen);
      w += static_cast<int>(pb) * rawLen;
      rawLen = 0;
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
      int n = runs[r];
      // A pair between two single pixels costs no more inside the raw packet.
      bool pairInRaw = n == 2 && r > 0 && runs[r - 1] == 1 && r + 1 < runs.size() && runs[r + 1] == 1;
      if (n == 1 || pairInRaw) {
        if (!rawLen) rawStart = at;
        rawLen += n;
      } else {
        flushRaw();
        out[w++] = static_cast<BYTE>(127 + n);
        std::memcpy(out + w, in + pb * at, pb);
        w += static_cast<int>(pb);
      }
      at += n;
    }
    flushRaw();
  }
  return w;
}

int tga_save(const char* path, ImageDescriptor* d, int rle) {
  int r = img_check_8_24(d);
  if (r) return r;
  if (img_bits(d) != 24) return IMG_BAD_DEPTH;
  plat::CriticalSectionLock lock(TgaLock());
  StreamHandle h = file_create(path);
  if (h == STREAM_INVALID) return IMG_CREATE_FAILED;
  DWORD columns = img_rect_width(d), rows = img_rect_height(d);
  std::vector<BYTE> out(64, 0);
  out[0] = 46;
  out[2] = rle ? 10 : 2;
  le::PutU16(out.data() + 12, static_cast<WORD>(columns));
  le::PutU16(out.data() + 14, static_cast<WORD>(rows));
  out[16] = 24;
  std::memcpy(out.data() + 18, "Imager Image", 12);
  std::vector<BYTE> enc(4 * static_cast<std::size_t>(columns) + 8);
  auto flush = [&]() {
    bool ok = file_write_all(h, out.data(), out.size());
    out.clear();
    return ok;
  };
  r = IMG_OK;
  for (DWORD k = 0; k < rows && r == IMG_OK; ++k) {
    const BYTE* src = img_row(d, d->bottom - k) + 3 * d->left;
    if (rle) {
      int n = tga_rle_encode_row(enc.data(), src, static_cast<int>(columns), 3);
      out.insert(out.end(), enc.begin(), enc.begin() + n);
    } else {
      out.insert(out.end(), src, src + 3 * columns);
    }
    if (out.size() >= 0x20000 && !flush()) r = IMG_WRITE_FAILED;
  }
  if (r == IMG_OK) {
    static const char kFooter[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), 8, 0);
    out.insert(out.end(), kFooter, kFooter + 18);  // with its closing zero
    if (!flush()) r = IMG_WRITE_FAILED;
  }
  return file_finish_write(h, path, r);
}
