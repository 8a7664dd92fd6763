#include "platform/WinTypes.h"

#include "platform/ByteOrder.h"

static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(LONG) == 4);
static_assert(sizeof(COLORREF) == 4);
static_assert(sizeof(RGBQUAD) == 4 && sizeof(RGBTRIPLE) == 3);
static_assert(sizeof(POINT) == 8 && sizeof(RECT) == 16);

void WriteFileHeader(const BITMAPFILEHEADER& h, BYTE* out) {
  le::PutU16(out, h.bfType);
  le::PutU32(out + 2, h.bfSize);
  le::PutU16(out + 6, h.bfReserved1);
  le::PutU16(out + 8, h.bfReserved2);
  le::PutU32(out + 10, h.bfOffBits);
}

BITMAPFILEHEADER ReadFileHeader(const BYTE* in) {
  BITMAPFILEHEADER h;
  h.bfType = le::GetU16(in);
  h.bfSize = le::GetU32(in + 2);
  h.bfReserved1 = le::GetU16(in + 6);
  h.bfReserved2 = le::GetU16(in + 8);
  h.bfOffBits = le::GetU32(in + 10);
  return h;
}

void WriteInfoHeader(const BITMAPINFOHEADER& h, BYTE* out) {
  le::PutU32(out, h.biSize);
  le::PutI32(out + 4, h.biWidth);
  le::PutI32(out + 8, h.biHeight);
  le::PutU16(out + 12, h.biPlanes);
  le::PutU16(out + 14, h.biBitCount);
  le::PutU32(out + 16, h.biCompression);
  le::PutU32(out + 20, h.biSizeImage);
  le::PutI32(out + 24, h.biXPelsPerMeter);
  le::PutI32(out + 28, h.biYPelsPerMeter);
  le::PutU32(out + 32, h.biClrUsed);
  le::PutU32(out + 36, h.biClrImportant);
}

BITMAPINFOHEADER ReadInfoHeader(const BYTE* in) {
  BITMAPINFOHEADER h;
  h.biSize = le::GetU32(in);
  h.biWidth = le::GetI32(in + 4);
  h.biHeight = le::GetI32(in + 8);
  h.biPlanes = le::GetU16(in + 12);
  h.biBitCount = le::GetU16(in + 14);
  h.biCompression = le::GetU32(in + 16);
  h.biSizeImage = le::GetU32(in + 20);
  h.biXPelsPerMeter = le::GetI32(in + 24);
  h.biYPelsPerMeter = le::GetI32(in + 28);
  h.biClrUsed = le::GetU32(in + 32);
  h.biClrImportant = le::GetU32(in + 36);
  return h;
}

void WriteCoreHeader(const BITMAPCOREHEADER& h, BYTE* out) {
  le::PutU32(out, h.bcSize);
  le::PutU16(out + 4, h.bcWidth);
  le::PutU16(out + 6, h.bcHeight);
  le::PutU16(out + 8, h.bcPlanes);
  le::PutU16(out + 10, h.bcBitCount);
}

BITMAPCOREHEADER ReadCoreHeader(const BYTE* in) {
  BITMAPCOREHEADER h;
  h.bcSize = le::GetU32(in);
  h.bcWidth = le::GetU16(in + 4);
  h.bcHeight = le::GetU16(in + 6);
  h.bcPlanes = le::GetU16(in + 8);
  h.bcBitCount = le::GetU16(in + 10);
  return h;
}

void WriteRgbQuad(const RGBQUAD& q, BYTE* out) {
  out[0] = q.rgbBlue;
  out[1] = q.rgbGreen;
  out[2] = q.rgbRed;
  out[3] = q.rgbReserved;
}

RGBQUAD ReadRgbQuad(const BYTE* in) { return RGBQUAD{in[0], in[1], in[2], in[3]}; }
