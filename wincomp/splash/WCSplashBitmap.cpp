#include "wincomp/splash/WCSplashBitmap.h"

#include <QPainter>
#include <cstdio>
#include <limits>

#include "platform/qt/Resources.h"

namespace {
// The BITMAPINFOHEADER and its later, longer versions (V2, V3, V4, V5).
bool KnownHeaderSize(DWORD size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}
// A larger picture is no splash picture, and the limit keeps the size sums small.
constexpr LONG kMaxSide = 32767;
}  // namespace

void CWCSplashBitmap::Clear() {
  m_image = QImage();
  m_palette.clear();
  m_bmi = BITMAPINFOHEADER();
  m_bits.clear();
  m_nBitsPerRow = 0;
  m_nMaxX = m_nMaxY = -1;
  m_nBitsPerPixel = m_nShift = 0;
  m_bTopDown = false;
}

BOOL CWCSplashBitmap::LoadFromResource(const std::string& name, BOOL keepPixels) {
  Clear();
  const std::vector<BYTE>* dib = plat::Resources::Get().Bitmap(name);
  if (!dib || dib->empty()) return FALSE;
  return LoadFromDib(dib->data(), dib->size(), 0, keepPixels);
}

BOOL CWCSplashBitmap::LoadFromFile(const std::string& path, BOOL keepPixels) {
  Clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return FALSE;
  std::vector<BYTE> data;
  BYTE block[1024];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0)
    data.insert(data.end(), block, block + got);
  std::fclose(f);
  constexpr std::size_t kFileHeader = BITMAPFILEHEADER::kSize;
  if (data.size() <= kFileHeader) return FALSE;
  const BITMAPFILEHEADER fh = ReadFileHeader(data.data());
  if (fh.bfType != 0x4D42) return FALSE;
  // The rows start where the file header says; it must lie past the header and table,
  // which LoadFromDib checks.
  if (fh.bfOffBits <= kFileHeader || fh.bfOffBits > data.size()) return FALSE;
  return LoadFromDib(data.data() + kFileHeader, data.size() - kFileHeader,
                     fh.bfOffBits - kFileHeader, keepPixels);
}

BOOL CWCSplashBitmap::LoadFromDib(const BYTE* dib, std::size_t size, std::size_t bitsOffset,
                                  BOOL keepPixels) {
  Clear();
  if (!dib || size < BITMAPINFOHEADER::kSize) return FALSE;
  const DWORD headerSize =
      static_cast<DWORD>(dib[0] | dib[1] << 8 | dib[2] << 16) | static_cast<DWORD>(dib[3]) << 24;
  if (!KnownHeaderSize(headerSize) || headerSize > size) return FALSE;
  const BITMAPINFOHEADER h = ReadInfoHeader(dib);
  const int bpp = h.biBitCount;
  if (h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 || h.biHeight < -kMaxSide ||
      h.biHeight > kMaxSide || h.biPlanes != 1 || h.biCompression != BI_RGB ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24))
    return FALSE;
  const std::size_t maxColours = bpp <= 8 ? std::size_t(1) << bpp : 256;
  if (h.biClrUsed > maxColours) return FALSE;
  const std::size_t colours = h.biClrUsed ? h.biClrUsed : (bpp <= 8 ? maxColours : 0);
  const std::size_t tableEnd = headerSize + 4 * colours;
  if (tableEnd > size) return FALSE;
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const std::size_t bitsPerRow = (static_cast<std::size_t>(width) * bpp + 31) / 32 * 32;
  const std::size_t imageBytes = bitsPerRow / 8 * static_cast<std::size_t>(height);
  if (bitsOffset == 0) bitsOffset = tableEnd;
  if (bitsOffset < tableEnd || bitsOffset > size || imageBytes > size - bitsOffset) return FALSE;

  for (std::size_t i = 0; i < colours; ++i) {
    const BYTE* q = dib + headerSize + 4 * i;
    m_palette.push_back(RGB(q[2], q[1], q[0]));
  }
  m_bmi = h;
  m_bits.assign(dib + bitsOffset, dib + bitsOffset + imageBytes);
  m_nBitsPerRow = bitsPerRow;
  m_nMaxX = width - 1;
  m_nMaxY = height - 1;
  m_nBitsPerPixel = bpp;
  m_nShift = 8 - bpp;
  m_bTopDown = h.biHeight < 0;

  // The picture to draw, made from the same pixels.
  m_image = QImage(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(m_image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const COLORREF c = GetPixelColour(x, y);
      row[x] = c == 0xFFFFFFFF ? qRgb(0, 0, 0) : qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
  if (!keepPixels) {
    m_bmi = BITMAPINFOHEADER();
    m_bits.clear();
    m_nMaxX = m_nMaxY = -1;
  }
  return TRUE;
}

int CWCSplashBitmap::GetSize(BITMAP* bm) const {
  if (!bm) return 0;
  *bm = BITMAP();
  if (m_image.isNull()) return 0;
  bm->bmWidth = m_image.width();
  bm->bmHeight = m_image.height();
  bm->bmWidthBytes = m_image.bytesPerLine();
  bm->bmBitsPixel = 32;
  return 1;
}

void CWCSplashBitmap::Draw(QPainter* dc) const {
  if (dc && !m_image.isNull()) dc->drawImage(0, 0, m_image);
}

COLORREF CWCSplashBitmap::GetPixelColour(int x, int y) const {
  if (x < 0 || y < 0 || x > m_nMaxX || y > m_nMaxY || m_bits.empty()) return 0xFFFFFFFF;
  const int row = m_bTopDown ? y : m_nMaxY - y;
  const std::size_t bit = m_nBitsPerRow * static_cast<std::size_t>(row) +
                          static_cast<std::size_t>(m_nBitsPerPixel) * static_cast<std::size_t>(x);
  const BYTE* p = m_bits.data() + bit / 8;
  if (m_nBitsPerPixel == 24) return RGB(p[2], p[1], p[0]);
  int index = p[0];
  if (m_nBitsPerPixel < 8) index = ((index << (bit % 8)) & 0xFF) >> m_nShift;
  if (index >= static_cast<int>(m_palette.size())) return 0xFFFFFFFF;
  return m_palette[static_cast<std::size_t>(index)];
}
