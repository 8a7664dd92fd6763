#include "imagefiles/pcx_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefiles/dib_convert.h"
#include "imagefiles/img_stream.h"
#include "platform/ByteOrder.h"

namespace {

const BYTE kDefault16[16][3] = {
    {0, 0, 0},      {0, 0, 168},    {0, 168, 0},    {0, 168, 168},  {168, 0, 0},     {168, 0, 168},
    {168, 84, 0},   {168, 168, 168}, {84, 84, 84},  {84, 84, 252},  {84, 252, 84},   {84, 252, 252},
    {252, 84, 84},  {252, 84, 252}, {252, 252, 84}, {252, 252, 252},
};

struct Header {
  PcxInfo info;
  BYTE palette16[48];
  std::int64_t length;  // of the whole file
};

// Reads and checks the 128-byte header of an open file.
int ReadHeader(StreamHandle h, Header* out) {
  std::memset(out, 0, sizeof *out);
  out->length = file_seek(h, 0, STREAM_END);
  BYTE b[128];
  DWORD done = 0;
  if (out->length < 128 || file_seek(h, 0, STREAM_BEGIN) != 0 || !file_read(h, b, 128, &done) || done != 128)
    return IMG_NOT_PCX;
  if (b[0] != 10 || b[2] != 1) return IMG_NOT_PCX;
  PcxInfo& i = out->info;
  i.version = b[1];
  i.bitsPerPixel = b[3];
  int xmin = le::GetU16(b + 4), ymin = le::GetU16(b + 6), xmax = le::GetU16(b + 8), ymax = le::GetU16(b + 10);
  i.width = xmax - xmin + 1;
  i.height = ymax - ymin + 1;
  std::memcpy(out->palette16, b + 16, 48);
  i.planes = b[65];
  i.bytesPerLine = le::GetU16(b + 66);
  i.paletteInterp = le::GetU16(b + 68);
  i.imagerBitsPerPixel = i.bitsPerPixel * i.planes;
  if ((i.planes == 4 && i.bitsPerPixel == 1) || i.bitsPerPixel == 4) i.imagerBitsPerPixel = 8;
  // Sizes must agree with each other and with the file: every line holds its pixels,
  // and a run of at most 63 bytes takes 2 bytes of the file.
  if (i.width <= 0 || i.height <= 0 || i.planes == 0) return IMG_NOT_PCX;
  if (static_cast<std::int64_t>(i.bytesPerLine) * 8 < static_cast<std::int64_t>(i.width) * i.bitsPerPixel)
    return IMG_NOT_PCX;
  std::int64_t decoded = static_cast<std::int64_t>(i.bytesPerLine) * i.planes * i.height;
  if (decoded > 32 * (out->length - 128)) return IMG_NOT_PCX;
  if (!img_size_allowed(static_cast<std::uint64_t>(i.width), static_cast<std::uint64_t>(i.height),
                        i.imagerBitsPerPixel))
    return IMG_NOT_PCX;
  return IMG_OK;
}

int ReadHeaderOf(const char* path, Header* out) {
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  int r = ReadHeader(h, out);
  file_close(h);
  return r;
}

int ReadPalette(StreamHandle h, const Header& hd, RGBQUAD* palette) {
  const PcxInfo& i = hd.info;
  if (i.version != 2 && i.version != 5) return 0;
  if (i.planes == 3 && i.bitsPerPixel == 8) return 0;
  int bits = i.bitsPerPixel * i.planes;
  if (bits > 8) return 0;
  int colours = 1 << bits;
  if (colours == 256) {
    BYTE block[769];
    DWORD done = 0;
    if (hd.length >= 128 + 769 && file_seek(h, hd.length - 769, STREAM_BEGIN) >= 0 &&
        file_read(h, block, 769, &done) && done == 769 && block[0] == 12) {
      for (int k = 0; k < 256; ++k)
        palette[k] = RGBQUAD{block[1 + 3 * k + 2], block[1 + 3 * k + 1], block[1 + 3 * k], 0};
      return 256;
    }
    colours = 16;
  }
  int n = std::min(colours, 16);
  for (int k = 0; k < n; ++k)
    palette[k] = RGBQUAD{hd.palette16[3 * k + 2], hd.palette16[3 * k + 1], hd.palette16[3 * k], 0};
  return n;
}

}  // namespace

int pcx_rle_decode_row(BYTE* out, BYTE* in, std::size_t inSize, int count) {
  std::size_t p = 0;
  int x = 0;
  while (x < count) {
    if (p >= inSize) return IMG_NOT_PCX;
    BYTE b = in[p];
    if (b > 0xC0) {
      if (p + 1 >= inSize) return IMG_NOT_PCX;
      int n = b & 0x3F;
      BYTE v = in[p + 1];
      if (x + n > count) {
        // The rest of the run starts the next line.
        int fit = count - x;
        std::memset(out + x, v, static_cast<std::size_t>(fit));
        in[p] = static_cast<BYTE>(0xC0 + (n - fit));
        return static_cast<int>(p);
      }
      std::memset(out + x, v, static_cast<std::size_t>(n));
      x += n;
      p += 2;
    } else {
      out[x++] = b;
      ++p;
    }
  }
  return static_cast<int>(p);
}

int pcx_rle_encode_row(BYTE* out, const BYTE* in, int count) {
  int w = 0;
  int i = 0;
  while (i < count) {
    int n = 1;
    while (i + n < count && n < 63 && in[i + n] == in[i]) ++n;
    if (n == 1 && in[i] < 0xC0) {
      out[w++] = in[i];
    } else {
      out[w++] = static_cast<BYTE>(0xC0 + n);
      out[w++] = in[i];
    }
    i += n;
  }
  return w;
}

int pcx_mode(const PcxInfo* i) {
  if (i->planes == 1 && i->bitsPerPixel == 8) return 1;
  if (i->planes == 1 && i->bitsPerPixel == 1) return 2;
  if (i->planes == 4 && i->bitsPerPixel == 1) return 3;
  if (i->planes == 1 && i->bitsPerPixel == 4) return 4;
  if (i->planes == 3 && i->bitsPerPixel == 8) return 5;
  return IMG_NOT_PCX;
}

int pcx_info(const char* path, PcxInfo* info) {
  Header hd;
  int r = ReadHeaderOf(path, &hd);
  *info = r == IMG_OK || r == IMG_NOT_PCX ? hd.info : PcxInfo{};
  return r;
}

int pcx_read_palette(const char* path, RGBQUAD* palette) {
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  Header hd;
  int r = ReadHeader(h, &hd);
  if (r == IMG_OK) r = ReadPalette(h, hd, palette);
  file_close(h);
  return r;
}

int pcx_load(const char* path, ImageDescriptor* d) {
  int r = img_check_1_8_24(d);
  if (r) return r;
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  Header hd;
  r = ReadHeader(h, &hd);
  const PcxInfo& i = hd.info;
  int mode = r == IMG_OK ? pcx_mode(&i) : r;
  if (mode < 0) {
    file_close(h);
    return mode;
  }
  // The image must have the depth the file loads into.
  int want = mode == 2 ? 1 : mode == 5 ? 24 : 8;
  if (img_bits(d) != want) {
    file_close(h);
    return IMG_BAD_DEPTH;
  }
  DWORD rows = std::min<DWORD>(img_rect_height(d), static_cast<DWORD>(i.height));
  DWORD columns = std::min<DWORD>(img_rect_width(d), static_cast<DWORD>(i.width));
  std::vector<BYTE> data;
  try {
    data.resize(static_cast<std::size_t>(hd.length - 128));
  } catch (const std::bad_alloc&) {
    file_close(h);
    return IMG_NO_MEMORY;
  }
  DWORD done = 0;
  bool ok = file_seek(h, 128, STREAM_BEGIN) == 128 && file_read(h, data.data(), static_cast<DWORD>(data.size()), &done) &&
            done == data.size();
  file_close(h);
  if (!ok) return IMG_NOT_PCX;

  std::size_t bpl = static_cast<std::size_t>(i.bytesPerLine);
  std::size_t lineBytes = bpl * static_cast<std::size_t>(i.planes);
  std::vector<BYTE> line(lineBytes + 8, 0), pix(3 * static_cast<std::size_t>(columns) + 8, 0);
  std::size_t pos = 0;
  for (DWORD k = 0; k < rows; ++k) {
    int used = pcx_rle_decode_row(line.data(), data.data() + pos, data.size() - pos, static_cast<int>(lineBytes));
    if (used < 0) return used;
    pos += static_cast<std::size_t>(used);
    BYTE* dst = img_row(d, d->top + k);
    switch (mode) {
      case 1:
        std::memcpy(dst + d->left, line.data(), columns);
        break;
      case 2:
        bits_insert(dst + d->left / 8, line.data(), d->left, columns);
        break;
      case 3:
        for (DWORD x = 0; x < columns; ++x) {
          int v = 0;
          for (int plane = 0; plane < 4; ++plane)
            v |= ((line[plane * bpl + x / 8] >> (7 - x % 8)) & 1) << plane;
          dst[d->left + x] = static_cast<BYTE>(v);
        }
        break;
      case 4:
        nibbles_to_bytes(pix.data(), line.data(), static_cast<int>(columns));
        std::memcpy(dst + d->left, pix.data(), columns);
        break;
      case 5:
        for (DWORD x = 0; x < columns; ++x) {
          BYTE* o = dst + 3 * (d->left + x);
          o[0] = line[2 * bpl + x];
          o[1] = line[bpl + x];
          o[2] = line[x];
        }
        break;
    }
  }

  if (!d->palette || img_bits(d) > 8) return IMG_OK;
  RGBQUAD pal[256];
  h = file_open_read(path);
  int n = 0;
  if (h != STREAM_INVALID) {
    n = ReadPalette(h, hd, pal);
    file_close(h);
  }
  if (n == 2 && std::memcmp(&pal[0], &pal[1], sizeof pal[0]) == 0) n = 0;
  if (n > 0) {
    n = std::min(n, dib_color_count(d->header));
    std::memcpy(d->palette, pal, 4 * static_cast<std::size_t>(n));
    d->colorCount = n;
    img_update_grey_flag(d);
  } else if (mode == 3 || mode == 4) {
    for (int c = 0; c < 16; ++c) d->palette[c] = RGBQUAD{kDefault16[c][2], kDefault16[c][1], kDefault16[c][0], 0};
    d->colorCount = 16;
    d->flags &= ~IMG_GREY;
  } else {
    img_set_grey_palette(d);
  }
  return IMG_OK;
}

int pcx_save(const char* path, ImageDescriptor* d) {
  int r = img_check_1_8_24(d);
  if (r) return r;
  int bits = img_bits(d);
  if (bits == 24) return IMG_BAD_DEPTH;
  StreamHandle h = file_create(path);
  if (h == STREAM_INVALID) return IMG_CREATE_FAILED;
  DWORD columns = img_rect_width(d), rows = img_rect_height(d);
  std::size_t rowBytes = bits == 1 ? (columns + 7) / 8 : columns;
  std::size_t bpl = (rowBytes + 1) & ~std::size_t{1};
  bool hasPalette = d->palette && d->colorCount > 0;

  BYTE head[128] = {};
  head[0] = 10;
  head[1] = hasPalette ? 5 : 3;
  head[2] = 1;
  head[3] = static_cast<BYTE>(bits);
  le::PutU16(head + 4, static_cast<WORD>(d->left));
  le::PutU16(head + 6, static_cast<WORD>(d->top));
  le::PutU16(head + 8, static_cast<WORD>(d->right));
  le::PutU16(head + 10, static_cast<WORD>(d->bottom));
  le::PutU16(head + 12, 640);
  le::PutU16(head + 14, 480);
  if (hasPalette && (bits == 1 || d->colorCount <= 16)) {
    int n = std::min(d->colorCount, 16);
    for (int k = 0; k < n; ++k) {
      head[16 + 3 * k] = d->palette[k].rgbRed;
      head[16 + 3 * k + 1] = d->palette[k].rgbGreen;
      head[16 + 3 * k + 2] = d->palette[k].rgbBlue;
    }
  }
  head[65] = 1;
  le::PutU16(head + 66, static_cast<WORD>(bpl));
  le::PutU16(head + 68, 1);

  std::vector<BYTE> out(head, head + 128);
  std::vector<BYTE> row(bpl + 8, 0), enc(2 * bpl + 8);
  auto flush = [&]() {
    bool ok = file_write_all(h, out.data(), out.size());
    out.clear();
    return ok;
  };
  r = IMG_OK;
  for (DWORD k = 0; k < rows && r == IMG_OK; ++k) {
    const BYTE* src = img_row(d, d->top + k);
    std::fill(row.begin(), row.end(), 0);
    if (bits == 1) bits_extract(row.data(), src + d->left / 8, d->left, columns);
    else std::memcpy(row.data(), src + d->left, columns);
    int n = pcx_rle_encode_row(enc.data(), row.data(), static_cast<int>(bpl));
    out.insert(out.end(), enc.begin(), enc.begin() + n);
    if (out.size() >= 0x10000 && !flush()) r = IMG_WRITE_FAILED;
  }
  // Every 8-bit file ends with the 256-entry palette block: readers of 8-bit PCX files
  // look for their colours there, whatever the header palette holds.
  if (r == IMG_OK && bits == 8 && hasPalette) {
    out.push_back(12);
    for (int k = 0; k < 256; ++k) {
      bool have = k < d->colorCount && k < dib_color_count(d->header);
      out.push_back(have ? d->palette[k].rgbRed : 0);
      out.push_back(have ? d->palette[k].rgbGreen : 0);
      out.push_back(have ? d->palette[k].rgbBlue : 0);
    }
  }
  if (r == IMG_OK && !flush()) r = IMG_WRITE_FAILED;
  return file_finish_write(h, path, r);
}
