// Fixed-size Windows types and the structs whose bytes matter, with explicit
// little-endian codecs. Never dump these structs to a file directly: use the codecs.
#pragma once
#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;   // 32 bits as on Windows, not the 64-bit Linux long
using UINT = std::uint32_t;
using BOOL = int;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

struct POINT {
  LONG x = 0;
  LONG y = 0;
};
struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};
// right and bottom are exclusive.
struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

// Compression values of BITMAPINFOHEADER.
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};
struct RGBTRIPLE {
  BYTE rgbtBlue = 0;
  BYTE rgbtGreen = 0;
  BYTE rgbtRed = 0;
};

struct BITMAPFILEHEADER {
  WORD bfType = 0x4D42;  // "BM"
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
  static constexpr std::size_t kSize = 14;
};

struct BITMAPINFOHEADER {
  DWORD biSize = 40;
  LONG biWidth = 0;
  LONG biHeight = 0;
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = BI_RGB;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
  static constexpr std::size_t kSize = 40;
};

struct BITMAPCOREHEADER {
  DWORD bcSize = 12;
  WORD bcWidth = 0;
  WORD bcHeight = 0;
  WORD bcPlanes = 1;
  WORD bcBitCount = 0;
  static constexpr std::size_t kSize = 12;
};

// Codecs: Read* decode from at least kSize bytes, Write* encode exactly kSize bytes.
void WriteFileHeader(const BITMAPFILEHEADER& h, BYTE* out);
BITMAPFILEHEADER ReadFileHeader(const BYTE* in);
void WriteInfoHeader(const BITMAPINFOHEADER& h, BYTE* out);
BITMAPINFOHEADER ReadInfoHeader(const BYTE* in);
void WriteCoreHeader(const BITMAPCOREHEADER& h, BYTE* out);
BITMAPCOREHEADER ReadCoreHeader(const BYTE* in);
void WriteRgbQuad(const RGBQUAD& q, BYTE* out);
RGBQUAD ReadRgbQuad(const BYTE* in);
