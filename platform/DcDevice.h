// What a device context hands to its back end: the resolved drawing state and one
// primitive at a time, in logical units. Back ends (the recording one, the memory-bitmap
// raster, the Qt painter) implement DcDevice; metafile writers serialise recorded ops.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace plat {

// The attributes a DC carries (saved and restored by SaveDC/RestoreDC).
struct DcState {
  int mapMode = MM_TEXT;
  POINT windowOrg{};
  SIZE windowExt{1, 1};
  POINT viewportOrg{};
  SIZE viewportExt{1, 1};
  CPen pen = CPen::Stock(BLACK_PEN);
  CBrush brush = CBrush::Stock(WHITE_BRUSH);
  CFont font = CFont::Stock(SYSTEM_FONT);
  CBitmap bitmap;  // memory DCs only
  UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int polyFillMode = ALTERNATE;
  int stretchBltMode = BLACKONWHITE;
  int rop2 = R2_COPYPEN;
  POINT currentPosition{};

  // Device units per logical unit (negative when the axes point opposite ways).
  double ScaleX() const { return static_cast<double>(viewportExt.cx) / windowExt.cx; }
  double ScaleY() const { return static_cast<double>(viewportExt.cy) / windowExt.cy; }
  // Exact (unrounded) conversions.
  void ToDevice(double x, double y, double* dx, double* dy) const;
  void ToLogical(double x, double y, double* lx, double* ly) const;
  // Rounded as GDI rounds.
  POINT LPtoDP(POINT p) const;
  POINT DPtoLP(POINT p) const;
};

enum class DcOpKind {
  LineTo,          // points: from, to
  Polyline,        // points
  Polygon,         // points
  Rectangle,       // rect
  Ellipse,         // rect (bounding box)
  FillSolidRect,   // rect, color (no outline; background colour left set)
  FillRect,        // rect, brush (the op's own, not the selected one)
  PatBlt,          // rect (x, y, x + w, y + h), rop, with the selected brush
  SetPixel,        // points[0], color
  InvertRect,      // rect
  DrawFocusRect,   // rect
  Text,            // TextOut/ExtTextOut/DrawText line: points[0] reference, text, flags, rect
  StretchDIBits,   // rect (destination x, y, x + w, y + h), src, dib, rop
};

// One primitive with the state it was drawn with. How a back end draws each kind:
// - lines and outlines with the state's pen as penPixels/penStyle say (PS_NULL: none),
//   round caps and joins; Rectangle, Ellipse and Polygon filled with the state's brush
//   (BS_NULL: not filled; polygons by polyFillMode); boxes as given (top may exceed
//   bottom), leaving out the right and bottom edge as GDI does;
// - Text: glyphs upright on the device along the rotated baseline of textBox; with
//   bkMode OPAQUE the box is first filled with bkColor; with ETO_OPAQUE the rect is
//   filled with bkColor; with ETO_CLIPPED the text is clipped to rect;
// - StretchDIBits: the source's top-left goes to logical (rect.left, rect.top), its
//   bottom-right to (rect.right, rect.bottom); flipped device corners mirror it;
// - PatBlt by rop (WHITENESS, BLACKNESS, PATCOPY with the state's brush, DSTINVERT).
struct DcOp {
  DcOpKind kind;
  DcState state;
  std::vector<POINT> points{};
  RECT rect{};
  COLORREF color = 0;
  CBrush brush{};  // FillRect
  DWORD rop = 0;
  UINT flags = 0;  // ETO_* of text
  bool hasRect = false;  // text: ExtTextOut got a rectangle

  // Pen as the device draws it: width in device pixels (at least one) and the style
  // after GDI's rule that styled pens wider than one pixel draw solid.
  int penPixels = 1;
  UINT penStyle = PS_SOLID;

  // Text: the string (bytes), advance of each character in logical units, and the
  // text's box (four corners in logical units, starting at the start of the baseline's
  // top-left corner as the glyphs stand: top-left, top-right, bottom-right, bottom-left).
  std::string text{};
  std::vector<int> dx{};
  std::array<POINT, 4> textBox{};

  // StretchDIBits: source rectangle (left, top, right, bottom in DIB pixels, rows
  // counted from the bottom as Windows counts them) and a copy of the packed DIB
  // (header, colour table, bits).
  RECT src{};
  std::shared_ptr<const std::vector<BYTE>> dib{};
};

// Bounds of an op in logical units (inclusive-exclusive as RECT; normalised).
RECT OpBounds(const DcOp& op);

class DcDevice {
 public:
  virtual ~DcDevice() = default;
  virtual int GetDeviceCaps(int index) const = 0;
  virtual bool IsPrinting() const { return false; }
  // Whether the DC has an attribute DC to ask about fonts and sizes (metafile DCs
  // without a reference DC do not).
  virtual bool HasAttributeDc() const { return true; }
  // Font metrics and text widths in logical units of the state's mapping.
  virtual TEXTMETRIC GetTextMetrics(const DcState& state) const = 0;
  virtual int GetTextWidth(const DcState& state, const std::string& text) const = 0;
  virtual void Draw(const DcOp& op) = 0;
  // A back end for a memory DC compatible with this one (for CreateCompatibleDC).
  virtual std::unique_ptr<DcDevice> CreateCompatibleDevice() const;
  // A bitmap was selected into this (memory) device.
  virtual void SelectBitmap(const CBitmap&) {}
};

}  // namespace plat
