#include "base/plot/KZ_DIB.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/util/KZ_FileUtil.h"
#include "base/util/KZ_InetFile.h"
#include "imagefiles/ImageFormatTable.h"
#include "platform/ByteOrder.h"
#include "platform/CDC.h"
#include "platform/File.h"

namespace {

bool IsInfoHeader(const BYTE* dib) { return le::GetU32(dib) == BITMAPINFOHEADER::kSize; }

int BitCount(const BYTE* dib) {
  return IsInfoHeader(dib) ? le::GetU16(dib + 14) : le::GetU16(dib + 10);
}

std::size_t RowBytes(long long width, int bits) {
  return static_cast<std::size_t>((width * bits + 31) / 32) * 4;
}

// Header, colour table and (for uncompressed pictures) all rows lie inside the block,
// and the dimensions are ones a picture can have.
bool DibFits(const BYTE* dib, std::size_t size) {
  if (size < BITMAPCOREHEADER::kSize) return false;
  const DWORD headerSize = le::GetU32(dib);
  if (headerSize != BITMAPINFOHEADER::kSize && headerSize != BITMAPCOREHEADER::kSize) return false;
  if (size < headerSize) return false;
  const long long width = KZ_DIBWidth(dib);
  const long long height = std::llabs(static_cast<long long>(KZ_DIBHeight(dib)));
  const int bits = BitCount(dib);
  if (width <= 0 || height <= 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const bool info = headerSize == BITMAPINFOHEADER::kSize;
  const long long colors = KZ_DIBNumColors(dib);
  if (colors > 65536) return false;
  const long long head = headerSize + colors * (info ? 4 : 3);
  long long image = static_cast<long long>(RowBytes(width, bits)) * height;
  if (info) {
    const DWORD compression = le::GetU32(dib + 16);
    if (compression == BI_RLE8 || compression == BI_RLE4) {
      if ((compression == BI_RLE8) != (bits == 8) || (compression == BI_RLE4) != (bits == 4))
        return false;
      image = le::GetU32(dib + 20);
    } else if (compression != BI_RGB) {
      return false;
    }
  }
  return head + image <= static_cast<long long>(size);
}

// One colour component of a pixel given by a bit field, scaled to 8 bits.
BYTE FieldValue(DWORD pixel, DWORD mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const std::uint64_t top = mask >> shift, v = (pixel & mask) >> shift;
  return static_cast<BYTE>((v * 255 + top / 2) / top);
}

constexpr DWORD kV4HeaderSize = 108;
constexpr DWORD kV5HeaderSize = 124;

// The newer info headers (108-byte V4, 124-byte V5, what most tools write today) begin
// with the 40-byte one; the rest of the program reads only that. The block becomes a
// 40-byte header, the colour table and the rows from `bitsOffset` (the file's bits
// offset within the block): the colour-space fields are dropped, and pixels given by bit
// fields are unpacked into 24-bit rows. A 40-byte or core header is left as it is.
// False when the picture does not fit the block or its layout is not one a BMP has.
bool NormaliseInfoHeader(plat::MemBlock& block, std::size_t bitsOffset, bool* changed) {
  *changed = false;
  const BYTE* in = block.data();
  const DWORD headerSize = le::GetU32(in);
  if (headerSize != kV4HeaderSize && headerSize != kV5HeaderSize) return true;
  if (block.Size() < headerSize) return false;
  const long long width = le::GetI32(in + 4);
  const long long height = std::llabs(static_cast<long long>(le::GetI32(in + 8)));
  const int bits = le::GetU16(in + 14);
  const DWORD compression = le::GetU32(in + 16);
  if (width <= 0 || height <= 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const DWORD used = le::GetU32(in + 32);
  const long long colors = bits <= 8 ? (used ? used : 1LL << bits) : used;
  if (colors > 65536) return false;
  const std::size_t table = static_cast<std::size_t>(colors) * 4;
  if (bitsOffset < headerSize + table || bitsOffset > block.Size()) return false;
  const std::size_t available = block.Size() - bitsOffset;
  const std::size_t rowBytes = RowBytes(width, bits);
  const bool fields = compression == BI_BITFIELDS;
  std::size_t image;
  if (compression == BI_RLE8 || compression == BI_RLE4) {
    if ((compression == BI_RLE8) != (bits == 8) || (compression == BI_RLE4) != (bits == 4))
      return false;
    image = le::GetU32(in + 20);
    if (image > available) return false;
  } else if (compression == BI_RGB || (fields && (bits == 16 || bits == 32))) {
    if (static_cast<unsigned long long>(height) > available / rowBytes) return false;
    image = rowBytes * static_cast<std::size_t>(height);
  } else {
    return false;
  }

  BYTE header[BITMAPINFOHEADER::kSize];
  std::memcpy(header, in, sizeof header);
  le::PutU32(header, BITMAPINFOHEADER::kSize);
  const std::size_t outRow = fields ? RowBytes(width, 24) : rowBytes;
  const std::size_t outImage = fields ? outRow * static_cast<std::size_t>(height) : image;
  if (fields) {
    le::PutU16(header + 14, 24);
    le::PutU32(header + 16, BI_RGB);
    le::PutU32(header + 20, static_cast<DWORD>(outImage));
    le::PutU32(header + 32, 0);
    le::PutU32(header + 36, 0);
  }
  plat::MemBlock out(sizeof header + (fields ? 0 : table) + outImage);
  BYTE* o = out.data();
  std::memcpy(o, header, sizeof header);
  o += sizeof header;
  const BYTE* rows = in + bitsOffset;
  if (!fields) {
    std::memcpy(o, in + headerSize, table);
    std::memcpy(o + table, rows, image);
  } else {
    const DWORD masks[3] = {le::GetU32(in + 40), le::GetU32(in + 44), le::GetU32(in + 48)};
    for (long long y = 0; y < height; ++y) {
      const BYTE* r = rows + static_cast<std::size_t>(y) * rowBytes;
      BYTE* d = o + static_cast<std::size_t>(y) * outRow;
      for (long long x = 0; x < width; ++x, d += 3) {
        const DWORD v = bits == 16 ? le::GetU16(r + 2 * x) : le::GetU32(r + 4 * x);
        d[0] = FieldValue(v, masks[2]);
        d[1] = FieldValue(v, masks[1]);
        d[2] = FieldValue(v, masks[0]);
      }
    }
  }
  block = std::move(out);
  *changed = true;
  return true;
}

}  // namespace

int KZ_DIBWidth(const BYTE* dib) {
  return IsInfoHeader(dib) ? le::GetI32(dib + 4) : le::GetU16(dib + 4);
}

int KZ_DIBHeight(const BYTE* dib) {
  return IsInfoHeader(dib) ? le::GetI32(dib + 8) : le::GetU16(dib + 6);
}

int KZ_DIBNumColors(const BYTE* dib) {
  if (IsInfoHeader(dib)) {
    const DWORD used = le::GetU32(dib + 32);
    if (used != 0) return static_cast<int>(std::min<DWORD>(used, 0x7FFFFFFF));
  }
  switch (BitCount(dib)) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

const BYTE* KZ_FindDIBBits(const BYTE* dib) {
  const std::size_t entry = IsInfoHeader(dib) ? 4 : 3;
  return dib + le::GetU32(dib) + static_cast<std::size_t>(KZ_DIBNumColors(dib)) * entry;
}

BYTE* KZ_FindDIBBits(BYTE* dib) {
  return const_cast<BYTE*>(KZ_FindDIBBits(static_cast<const BYTE*>(dib)));
}

void KZ_InitBitmapInfoHeader(BITMAPINFOHEADER* header, int width, int height, int bits) {
  *header = BITMAPINFOHEADER{};
  header->biSize = BITMAPINFOHEADER::kSize;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24);
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(RowBytes(width, header->biBitCount) *
                                           static_cast<std::size_t>(std::max(height, 0)));
}

plat::MemBlock KZ_CopyHandle(const plat::MemBlock& block) { return block.Copy(); }

plat::MemBlock KZ_BitmapToDIB(const plat::CBitmap& bitmap, const void* /*palette*/) {
  BITMAP bm;
  if (bitmap.IsNull() || !bitmap.GetBitmap(&bm)) return {};
  BITMAPINFOHEADER h;
  KZ_InitBitmapInfoHeader(&h, bm.bmWidth, bm.bmHeight, bm.bmPlanes * bm.bmBitsPixel);
  BYTE probe[BITMAPINFOHEADER::kSize];
  WriteInfoHeader(h, probe);
  const std::size_t head =
      BITMAPINFOHEADER::kSize + static_cast<std::size_t>(KZ_DIBNumColors(probe)) * 4;
  plat::MemBlock block(head + h.biSizeImage);
  std::memcpy(block.data(), probe, sizeof probe);
  const int lines =
      plat::GetDIBits(bitmap, 0, static_cast<UINT>(bm.bmHeight), block.data() + head, h);
  if (lines != bm.bmHeight) return {};
  return block;
}

int KZ_SaveDIB(const plat::MemBlock& dib, plat::File* file) {
  if (!file || dib.Size() < BITMAPINFOHEADER::kSize || !IsInfoHeader(dib.data())) return 0;
  plat::MemBlock copy = dib.Copy();
  BYTE* info = copy.data();
  const std::size_t head =
      BITMAPINFOHEADER::kSize + static_cast<std::size_t>(KZ_DIBNumColors(info)) * 4;
  const DWORD compression = le::GetU32(info + 16);
  std::size_t image;
  if (compression == BI_RLE8 || compression == BI_RLE4) {
    image = le::GetU32(info + 20);
  } else {
    image = RowBytes(KZ_DIBWidth(info), BitCount(info)) *
            static_cast<std::size_t>(std::llabs(static_cast<long long>(KZ_DIBHeight(info))));
    le::PutU32(info + 20, static_cast<DWORD>(image));
  }
  // A block shorter than its header says would put bytes from outside it into the file.
  if (head + image > copy.Size()) return 0;
  BYTE fileHeader[BITMAPFILEHEADER::kSize];
  BITMAPFILEHEADER fh;
  fh.bfSize = static_cast<DWORD>(BITMAPFILEHEADER::kSize + head + image);
  fh.bfOffBits = static_cast<DWORD>(BITMAPFILEHEADER::kSize + head);
  WriteFileHeader(fh, fileHeader);
  if (file->Write(fileHeader, sizeof fileHeader) != sizeof fileHeader) return 0;
  if (file->Write(info, head + image) != head + image) return 0;
  return file->Flush() ? 1 : 0;
}

int KZ_SaveDIBFile(const plat::MemBlock& dib, const std::string& path) {
  plat::File file;
  if (!file.Open(path, "w+b")) return 0;
  const int ok = KZ_SaveDIB(dib, &file);
  file.Close();
  return ok;
}

int KZ_PaintDIB(plat::CDC* dc, const RECT* destination, const plat::MemBlock& dib,
                const RECT* source, const void* /*palette*/) {
  plat::PackedDibLayout l;
  if (!dc || !destination || dib.empty() || !plat::GetPackedDibLayout(dib.data(), &l)) return 0;
  const BYTE* info = dib.data();
  const BYTE* bits = info + l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
  const int width = KZ_DIBWidth(info), height = KZ_DIBHeight(info);
  const int dw = destination->right - destination->left;
  const int dh = destination->bottom - destination->top;
  dc->SetStretchBltMode(COLORONCOLOR);
  if (source && source->right - source->left == dw && source->bottom - source->top == dh) {
    return dc->SetDIBitsToDevice(destination->left, destination->top, static_cast<DWORD>(dw),
                                 static_cast<DWORD>(dh), source->left, height - source->bottom, 0,
                                 static_cast<UINT>(height), bits, info, DIB_RGB_COLORS);
  }
  if (source)
    return dc->StretchDIBits(destination->left, destination->top, dw, dh, source->left,
                             height - source->bottom, source->right - source->left,
                             source->bottom - source->top, bits, info, DIB_RGB_COLORS, SRCCOPY);
  return dc->StretchDIBits(destination->left, destination->top, dw, dh, 0, 0, width, height, bits,
                           info, DIB_RGB_COLORS, SRCCOPY);
}

int KZ_ReadDIBFile(plat::MemBlock* out, const std::string& path) {
  if (!out) return 0;
  *out = plat::MemBlock();
  KZ_InetFile inet;
  plat::File* file = inet.Open(path, "rb");
  if (!file) return 0;
  BYTE head[BITMAPFILEHEADER::kSize];
  if (file->Read(head, sizeof head) != sizeof head || head[0] != 'B' || head[1] != 'M') return 0;
  const BITMAPFILEHEADER fh = ReadFileHeader(head);
  if (fh.bfSize < BITMAPFILEHEADER::kSize + BITMAPCOREHEADER::kSize) return 0;
  const std::size_t want = fh.bfSize - BITMAPFILEHEADER::kSize;
  // The size field is only a claim: the block grows with the bytes that really arrive,
  // so a forged size never makes a large allocation.
  plat::MemBlock block;
  std::size_t got = 0;
  while (got < want) {
    const std::size_t chunk = std::min<std::size_t>(want - got, 1 << 20);
    block.Resize(got + chunk);
    const std::size_t n = file->Read(block.data() + got, chunk);
    got += n;
    if (n < chunk) break;
  }
  if (got != want || fh.bfOffBits < BITMAPFILEHEADER::kSize) return 0;
  bool normalised = false;
  if (!NormaliseInfoHeader(block, fh.bfOffBits - BITMAPFILEHEADER::kSize, &normalised)) return 0;
  if (!DibFits(block.data(), block.Size())) return 0;
  const std::size_t bitsOffset = static_cast<std::size_t>(
      KZ_FindDIBBits(static_cast<const BYTE*>(block.data())) - block.data());
  if (!normalised && fh.bfOffBits != BITMAPFILEHEADER::kSize + bitsOffset) return 0;
  *out = std::move(block);
  return 1;
}

int KZ_LoadPicture(plat::MemBlock* out, const std::string& path) {
  if (!out) return 0;
  if (KZ_HasSuffix(path, ".BMP")) return KZ_ReadDIBFile(out, path);
  *out = LoadImageToDIB(path.c_str());
  return out->empty() ? 0 : 1;
}

bool KZ_DrawPictureFile(plat::CDC* dc, const std::string& path, int left, int top, int right,
                        int bottom) {
  plat::MemBlock dib;
  if (!dc || !KZ_LoadPicture(&dib, path)) return false;
  const RECT destination{left, top, right, bottom};
  KZ_PaintDIB(dc, &destination, dib, nullptr);
  return true;
}
