#include "base/plot/KZ_DIB.h"

#include <algorithm>
#include <cstdio>

#include "platform/ByteOrder.h"
#include "platform/CDC.h"

namespace {
bool IsInfoHeader(const BYTE* dib) { return le::GetU32(dib) == 40; }
}  // namespace

int KZ_DIBWidth(const BYTE* dib) {
  return IsInfoHeader(dib) ? le::GetI32(dib + 4) : le::GetU16(dib + 4);
}

int KZ_DIBHeight(const BYTE* dib) {
  return IsInfoHeader(dib) ? le::GetI32(dib + 8) : le::GetU16(dib + 6);
}

plat::MemBlock KZ_CopyHandle(const plat::MemBlock& block) { return block.Copy(); }

plat::MemBlock KZ_BitmapToDIB(const plat::CBitmap& bitmap, const void* /*palette*/) {
  if (bitmap.IsNull()) return {};
  return bitmap.ToPackedDib(24);
}

int KZ_SaveDIBFile(const plat::MemBlock& dib, const std::string& path) {
  plat::PackedDibLayout l;
  if (dib.Size() < 40 || !IsInfoHeader(dib.data()) || !plat::GetPackedDibLayout(dib.data(), &l))
    return 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const std::size_t head = l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
  std::size_t image = l.imageBytes;
  plat::MemBlock copy = dib.Copy();
  const DWORD compression = l.header.biCompression;
  if (compression != BI_RLE8 && compression != BI_RLE4)
    le::PutU32(copy.data() + 20, static_cast<DWORD>(image));
  else
    image = le::GetU32(copy.data() + 20);
  image = std::min(image, copy.Size() - std::min(head, copy.Size()));
  BYTE fileHeader[14] = {'B', 'M'};
  le::PutU32(fileHeader + 2, static_cast<DWORD>(14 + head + image));
  le::PutU32(fileHeader + 10, static_cast<DWORD>(14 + head));
  const bool ok = std::fwrite(fileHeader, 1, 14, f) == 14 &&
                  std::fwrite(copy.data(), 1, head + image, f) == head + image;
  return std::fclose(f) == 0 && ok ? 1 : 0;
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
