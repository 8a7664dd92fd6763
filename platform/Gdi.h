// GDI values and drawing objects for the device context (CDC.h): pens, brushes, fonts
// and bitmaps. The objects are values rather than handles: copying one gives the same
// object (a CBitmap copy shares its pixels, as a bitmap handle would), nothing needs
// deleting, and SelectObject returns the previously selected object by value, so
// "CPen old = dc.SelectObject(pen); ... dc.SelectObject(old);" restores it.
// Constants keep their Windows values.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/MemBlock.h"
#include "platform/WinTypes.h"

// Mapping modes (only MM_TEXT, MM_HIMETRIC and MM_ANISOTROPIC are supported).
constexpr int MM_TEXT = 1;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_ANISOTROPIC = 8;

// Pen styles.
constexpr UINT PS_SOLID = 0;
constexpr UINT PS_DASH = 1;
constexpr UINT PS_DOT = 2;
constexpr UINT PS_DASHDOT = 3;
constexpr UINT PS_DASHDOTDOT = 4;
constexpr UINT PS_NULL = 5;
constexpr UINT PS_INSIDEFRAME = 6;

// Brush styles.
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// Text alignment (SetTextAlign).
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Polygon fill and stretch modes, mix mode.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int R2_COPYPEN = 13;

// Raster operations in use.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr UINT DIB_RGB_COLORS = 0;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x2;
constexpr UINT ETO_CLIPPED = 0x4;

// DrawText formats.
constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;

// GetDeviceCaps indices.
constexpr int HORZSIZE = 4;   // millimetres
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;    // pixels
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr int LF_FACESIZE = 32;

// In memory only (never written as a struct). A negative height is the character (em)
// height, a positive one the cell height; escapement and orientation are in tenths of a
// degree, counter-clockwise as seen on the page.
struct LOGFONT {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
bool operator==(const LOGFONT& a, const LOGFONT& b);

struct TEXTMETRIC {
  LONG tmHeight = 0;  // ascent + descent
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
};

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 0;
};

namespace plat {

class CPen {
 public:
  CPen() = default;  // the null pen until created
  CPen(UINT style, int width, COLORREF color) { CreatePen(style, width, color); }
  bool CreatePen(UINT style, int width, COLORREF color);
  bool CreateStockObject(int index);  // WHITE_PEN, BLACK_PEN, NULL_PEN
  static CPen Stock(int index);

  UINT Style() const { return style_; }
  int Width() const { return width_; }  // logical units; 0 = one device pixel
  COLORREF Color() const { return color_; }
  int StockIndex() const { return stock_; }  // -1 when not a stock object
  bool operator==(const CPen& o) const = default;

 private:
  UINT style_ = PS_NULL;
  int width_ = 0;
  COLORREF color_ = 0;
  int stock_ = -1;
};

class CBrush {
 public:
  CBrush() = default;  // the null brush until created
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  bool CreateSolidBrush(COLORREF color);
  bool CreateStockObject(int index);  // WHITE_BRUSH ... NULL_BRUSH
  static CBrush Stock(int index);

  UINT Style() const { return style_; }
  COLORREF Color() const { return color_; }
  int StockIndex() const { return stock_; }
  bool operator==(const CBrush& o) const = default;

 private:
  UINT style_ = BS_NULL;
  COLORREF color_ = 0;
  int stock_ = -1;
};

class CFont {
 public:
  CFont();  // the system font
  bool CreateFontIndirect(const LOGFONT& lf);
  bool CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, const char* faceName);
  // Height in tenths of a point at `dpiY` pixels per inch (the screen's 96 by default).
  bool CreatePointFont(int pointSize10, const char* faceName, int dpiY = 96);
  bool CreateStockObject(int index);  // SYSTEM_FONT, ANSI_VAR_FONT, DEFAULT_GUI_FONT
  static CFont Stock(int index);

  const LOGFONT& GetLogFont() const { return lf_; }
  int StockIndex() const { return stock_; }
  bool operator==(const CFont& o) const { return stock_ == o.stock_ && lf_ == o.lf_; }

 private:
  LOGFONT lf_{};
  int stock_ = -1;
};

// Pixels of a bitmap: top-down rows, each pixel 0xFFRRGGBB (the layout of a 32-bit
// "RGB32" image, so a raster back end can draw into it in place).
struct BitmapBits {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

class CBitmap {
 public:
  CBitmap() = default;
  // A 32-bit bitmap of w by h pixels (contents black until painted).
  bool CreateBitmap(int width, int height);
  // Same as CreateBitmap: every device here is a 32-bit one.
  bool CreateCompatibleBitmap(const class CDC* dc, int width, int height);
  bool IsNull() const { return !bits_; }
  int GetBitmap(BITMAP* bm) const;  // false (0) for a null bitmap
  std::shared_ptr<BitmapBits> Bits() const { return bits_; }
  bool operator==(const CBitmap& o) const { return bits_ == o.bits_; }

  // GetDIBits into a packed DIB: BITMAPINFOHEADER (bottom-up, BI_RGB), no colour table,
  // rows padded to 4 bytes. bitCount 24 or 32; an empty block for a null bitmap.
  MemBlock ToPackedDib(int bitCount = 24) const;

 private:
  std::shared_ptr<BitmapBits> bits_;
};

// GetDIBits: fills `bits` with `lines` rows from `startScan` (counted from the bottom) of
// `bitmap` in the format `header` gives (biBitCount 24 or 32, BI_RGB; a negative
// height asks for top-down rows). Returns the number of rows copied (0 on failure).
int GetDIBits(const CBitmap& bitmap, UINT startScan, UINT lines, BYTE* bits, const BITMAPINFOHEADER& header);

// Layout of a packed DIB starting at `info` (BITMAPINFOHEADER, optional BI_BITFIELDS
// masks, colour table, bits): false when the header is not one we can read.
struct PackedDibLayout {
  BITMAPINFOHEADER header;
  std::size_t colorTableOffset = 0;  // from `info`
  int colors = 0;                    // entries in the colour table
  std::size_t rowBytes = 0;
  std::size_t imageBytes = 0;
};
bool GetPackedDibLayout(const BYTE* info, PackedDibLayout* out);
// The colour of pixel (x, y) (y counted from the top of the picture) of a DIB with the
// given layout, colour table at `info` + colorTableOffset and rows at `bits`.
COLORREF DibPixel(const PackedDibLayout& l, const BYTE* info, const BYTE* bits, int x, int y);

}  // namespace plat
