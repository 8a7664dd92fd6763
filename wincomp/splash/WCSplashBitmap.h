// The picture of a splash window: a device-independent bitmap loaded from a bitmap
// resource or a BMP file, kept as an image to draw, its palette, and (on request) its
// header and pixel bytes so that single pixels can be read back.
#pragma once
#include <QImage>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/WinTypes.h"

class QPainter;

class CWCSplashBitmap {
 public:
  // A bitmap resource of the program (a packed DIB), by name ("#132" for id 132).
  BOOL LoadFromResource(const std::string& name, BOOL keepPixels);
  // A BMP file. The file is checked before use: the "BM" magic, a header size we know,
  // 1, 4, 8 or 24 bits per pixel without compression, a colour table no longer than the
  // depth allows, and the pixel rows within the file. Anything else fails to load.
  BOOL LoadFromFile(const std::string& path, BOOL keepPixels);
  // A packed DIB in memory; `bitsOffset` is where the rows start counted from `dib`
  // (0: right after the colour table).
  BOOL LoadFromDib(const BYTE* dib, std::size_t size, std::size_t bitsOffset, BOOL keepPixels);

  BOOL HasBitmap() const { return !m_image.isNull(); }
  // The bitmap's description (zero sizes without a bitmap).
  int GetSize(BITMAP* bm) const;
  // Copies the picture at (0, 0) in its own size.
  void Draw(QPainter* dc) const;
  // The colour of pixel (x, y), rows counted from the top; 0xFFFFFFFF outside the
  // picture, without kept pixels, or for a palette index the palette lacks.
  COLORREF GetPixelColour(int x, int y) const;

  const QImage& Image() const { return m_image; }
  const std::vector<COLORREF>& Palette() const { return m_palette; }

 private:
  void Clear();

  QImage m_image;                   // the picture to draw
  std::vector<COLORREF> m_palette;  // from the colour table; empty when it has none
  BITMAPINFOHEADER m_bmi;           // copy of the header (kept pixels only)
  std::vector<BYTE> m_bits;         // the pixel rows (kept pixels only)
  // Pixel access.
  std::size_t m_nBitsPerRow = 0;  // rounded up to a multiple of 32
  int m_nMaxX = -1;
  int m_nMaxY = -1;
  int m_nBitsPerPixel = 0;
  int m_nShift = 0;  // 8 - bits per pixel
  bool m_bTopDown = false;
};
