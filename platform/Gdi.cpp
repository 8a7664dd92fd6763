#include "platform/Gdi.h"

#include <cmath>

#include "platform/ByteOrder.h"

bool operator==(const LOGFONT& a, const LOGFONT& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
         a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
         a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
         a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
         std::strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

namespace plat {
namespace {

void SetFace(LOGFONT& lf, const char* face) {
  std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
  if (face) std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
}

}  // namespace

bool CPen::CreatePen(UINT style, int width, COLORREF color) {
  if (style > PS_INSIDEFRAME) return false;
  style_ = style;
  width_ = width < 0 ? 0 : width;
  color_ = color;
  stock_ = -1;
  return true;
}

bool CPen::CreateStockObject(int index) {
  switch (index) {
    case WHITE_PEN: CreatePen(PS_SOLID, 0, RGB(255, 255, 255)); break;
    case BLACK_PEN: CreatePen(PS_SOLID, 0, RGB(0, 0, 0)); break;
    case NULL_PEN: CreatePen(PS_NULL, 0, 0); break;
    default: return false;
  }
  stock_ = index;
  return true;
}

CPen CPen::Stock(int index) {
  CPen p;
  p.CreateStockObject(index);
  return p;
}

bool CBrush::CreateSolidBrush(COLORREF color) {
  style_ = BS_SOLID;
  color_ = color;
  stock_ = -1;
  return true;
}

bool CBrush::CreateStockObject(int index) {
  static const BYTE grey[] = {255, 192, 128, 64, 0};
  if (index >= WHITE_BRUSH && index <= BLACK_BRUSH) {
    CreateSolidBrush(RGB(grey[index], grey[index], grey[index]));
  } else if (index == NULL_BRUSH) {
    style_ = BS_NULL;
    color_ = 0;
  } else {
    return false;
  }
  stock_ = index;
  return true;
}

CBrush CBrush::Stock(int index) {
  CBrush b;
  b.CreateStockObject(index);
  return b;
}

CFont::CFont() { CreateStockObject(SYSTEM_FONT); }

bool CFont::CreateFontIndirect(const LOGFONT& lf) {
  lf_ = lf;
  lf_.lfFaceName[LF_FACESIZE - 1] = '\0';
  stock_ = -1;
  return true;
}

bool CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* faceName) {
  LOGFONT lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfStrikeOut = strikeOut;
  lf.lfCharSet = charSet;
  lf.lfOutPrecision = outPrecision;
  lf.lfClipPrecision = clipPrecision;
  lf.lfQuality = quality;
  lf.lfPitchAndFamily = pitchAndFamily;
  SetFace(lf, faceName);
  return CreateFontIndirect(lf);
}

bool CFont::CreatePointFont(int pointSize10, const char* faceName, int dpiY) {
  LOGFONT lf{};
  // Tenths of a point to pixels, rounded as MulDiv rounds; negative: character height.
  lf.lfHeight = -static_cast<LONG>(std::lround(static_cast<double>(pointSize10) * dpiY / 720.0));
  lf.lfWeight = FW_NORMAL;
  SetFace(lf, faceName);
  return CreateFontIndirect(lf);
}

bool CFont::CreateStockObject(int index) {
  LOGFONT lf{};
  switch (index) {
    case SYSTEM_FONT:
      lf.lfHeight = 16;
      lf.lfWeight = FW_BOLD;
      SetFace(lf, "System");
      break;
    case ANSI_VAR_FONT:
      lf.lfHeight = 12;
      lf.lfWeight = FW_NORMAL;
      SetFace(lf, "MS Sans Serif");
      break;
    case DEFAULT_GUI_FONT:
      lf.lfHeight = -11;
      lf.lfWeight = FW_NORMAL;
      SetFace(lf, "MS Shell Dlg");
      break;
    default: return false;
  }
  lf_ = lf;
  stock_ = index;
  return true;
}

CFont CFont::Stock(int index) {
  CFont f;
  f.CreateStockObject(index);
  return f;
}

bool CBitmap::CreateBitmap(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  auto b = std::make_shared<BitmapBits>();
  b->width = width;
  b->height = height;
  b->pixels.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
  bits_ = std::move(b);
  return true;
}

bool CBitmap::CreateCompatibleBitmap(const CDC*, int width, int height) { return CreateBitmap(width, height); }

int CBitmap::GetBitmap(BITMAP* bm) const {
  if (!bits_ || !bm) return 0;
  bm->bmType = 0;
  bm->bmWidth = bits_->width;
  bm->bmHeight = bits_->height;
  bm->bmWidthBytes = bits_->width * 4;
  bm->bmPlanes = 1;
  bm->bmBitsPixel = 32;
  return static_cast<int>(sizeof(BITMAP));
}

int GetDIBits(const CBitmap& bitmap, UINT startScan, UINT lines, BYTE* bits, const BITMAPINFOHEADER& h) {
  auto b = bitmap.Bits();
  if (!b || !bits || (h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB) return 0;
  const bool topDown = h.biHeight < 0;
  const int bpp = h.biBitCount / 8;
  const std::size_t rowBytes = ((static_cast<std::size_t>(b->width) * h.biBitCount + 31) / 32) * 4;
  int copied = 0;
  for (UINT i = 0; i < lines; ++i) {
    int scan = static_cast<int>(startScan + i);  // bottom-up: 0 is the bottom row
    if (scan >= b->height) break;
    int y = topDown ? scan : b->height - 1 - scan;  // row in the top-down pixels
    BYTE* out = bits + i * rowBytes;
    std::memset(out, 0, rowBytes);
    for (int x = 0; x < b->width; ++x) {
      std::uint32_t p = b->At(x, y);
      out[x * bpp + 0] = static_cast<BYTE>(p);
      out[x * bpp + 1] = static_cast<BYTE>(p >> 8);
      out[x * bpp + 2] = static_cast<BYTE>(p >> 16);
    }
    ++copied;
  }
  return copied;
}

MemBlock CBitmap::ToPackedDib(int bitCount) const {
  if (!bits_ || (bitCount != 24 && bitCount != 32)) return MemBlock();
  BITMAPINFOHEADER h;
  h.biWidth = bits_->width;
  h.biHeight = bits_->height;
  h.biBitCount = static_cast<WORD>(bitCount);
  std::size_t rowBytes = ((static_cast<std::size_t>(bits_->width) * bitCount + 31) / 32) * 4;
  h.biSizeImage = static_cast<DWORD>(rowBytes * bits_->height);
  MemBlock block(BITMAPINFOHEADER::kSize + h.biSizeImage);
  WriteInfoHeader(h, block.data());
  GetDIBits(*this, 0, static_cast<UINT>(bits_->height), block.data() + BITMAPINFOHEADER::kSize, h);
  return block;
}

bool GetPackedDibLayout(const BYTE* info, PackedDibLayout* out) {
  if (!info || !out || le::GetU32(info) != BITMAPINFOHEADER::kSize) return false;
  PackedDibLayout l;
  l.header = ReadInfoHeader(info);
  const auto& h = l.header;
  if (h.biWidth <= 0 || h.biHeight == 0) return false;
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return false;
  switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (h.biCompression == BI_BITFIELDS && h.biBitCount != 16 && h.biBitCount != 32) return false;
  l.colorTableOffset = BITMAPINFOHEADER::kSize + (h.biCompression == BI_BITFIELDS ? 12 : 0);
  if (h.biBitCount <= 8) l.colors = h.biClrUsed ? static_cast<int>(h.biClrUsed) : (1 << h.biBitCount);
  else l.colors = static_cast<int>(h.biClrUsed);
  l.rowBytes = ((static_cast<std::size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  l.imageBytes = l.rowBytes * static_cast<std::size_t>(std::abs(h.biHeight));
  *out = l;
  return true;
}

COLORREF DibPixel(const PackedDibLayout& l, const BYTE* info, const BYTE* bits, int x, int y) {
  const auto& h = l.header;
  int height = std::abs(h.biHeight);
  int row = h.biHeight > 0 ? height - 1 - y : y;
  const BYTE* r = bits + static_cast<std::size_t>(row) * l.rowBytes;
  auto table = [&](int i) -> COLORREF {
    if (i >= l.colors) return 0;
    const BYTE* q = info + l.colorTableOffset + static_cast<std::size_t>(i) * 4;
    return RGB(q[2], q[1], q[0]);
  };
  switch (h.biBitCount) {
    case 1: return table((r[x / 8] >> (7 - x % 8)) & 1);
    case 4: return table((r[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case 8: return table(r[x]);
    case 16: {
      unsigned v = le::GetU16(r + x * 2);
      bool r565 = h.biCompression == BI_BITFIELDS && le::GetU32(info + 40) == 0xF800;
      if (r565) return RGB(((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31);
      return RGB(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
    }
    case 24: return RGB(r[x * 3 + 2], r[x * 3 + 1], r[x * 3]);
    case 32: return RGB(r[x * 4 + 2], r[x * 4 + 1], r[x * 4]);
    default: return 0;
  }
}

}  // namespace plat
