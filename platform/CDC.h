// The device context all drawing goes through, with the class library's method names and
// GDI's semantics: it starts in GDI's default state (MM_TEXT, black one-pixel pen, white
// brush, system font, black text on an opaque white background, left-top alignment),
// maps logical to device units (MM_TEXT; MM_HIMETRIC, 0.01 mm with y up; MM_ANISOTROPIC
// with window and viewport origins and extents), and hands each primitive with its
// resolved state to a back end (DcDevice.h).
// Deliberate differences: objects are values (see Gdi.h); no clipping regions, arcs or
// paths (nothing draws them); DrawText lays lines out itself and ignores clipping.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/DcDevice.h"
#include "platform/Gdi.h"

namespace plat {

class CDC {
 public:
  CDC() = default;  // no device until CreateCompatibleDC or a back end is attached
  explicit CDC(std::unique_ptr<DcDevice> device);
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // A memory DC compatible with `ref` (or with the screen when ref is null), with no
  // bitmap selected until one is.
  bool CreateCompatibleDC(const CDC* ref);
  void Attach(std::unique_ptr<DcDevice> device);
  DcDevice* Device() const { return device_.get(); }

  // Device.
  int GetDeviceCaps(int index) const;
  bool IsPrinting() const;
  bool HasAttributeDc() const;

  // Mapping.
  int SetMapMode(int mode);  // previous mode; 0 for an unsupported mode (ignored)
  int GetMapMode() const { return s_.mapMode; }
  POINT SetWindowOrg(int x, int y);
  POINT SetViewportOrg(int x, int y);
  SIZE SetWindowExt(int cx, int cy);   // MM_ANISOTROPIC only, as in GDI
  SIZE SetViewportExt(int cx, int cy);
  POINT GetWindowOrg() const { return s_.windowOrg; }
  POINT GetViewportOrg() const { return s_.viewportOrg; }
  SIZE GetWindowExt() const { return s_.windowExt; }
  SIZE GetViewportExt() const { return s_.viewportExt; }
  void LPtoDP(POINT* points, int count = 1) const;
  void LPtoDP(RECT* rect) const;
  void LPtoDP(SIZE* size) const;  // magnitudes, as the class library converts sizes
  void DPtoLP(POINT* points, int count = 1) const;
  void DPtoLP(RECT* rect) const;
  void DPtoLP(SIZE* size) const;

  // State.
  int SaveDC();                // the saved level (1, 2, ...)
  bool RestoreDC(int saved);   // -1: the last saved
  const DcState& State() const { return s_; }
  CPen SelectObject(const CPen& pen);
  CBrush SelectObject(const CBrush& brush);
  CFont SelectObject(const CFont& font);
  CBitmap SelectObject(const CBitmap& bitmap);
  const CPen& GetCurrentPen() const { return s_.pen; }
  const CBrush& GetCurrentBrush() const { return s_.brush; }
  const CFont& GetCurrentFont() const { return s_.font; }
  const CBitmap& GetCurrentBitmap() const { return s_.bitmap; }
  UINT SetTextAlign(UINT flags);
  UINT GetTextAlign() const { return s_.textAlign; }
  COLORREF SetTextColor(COLORREF c);
  COLORREF GetTextColor() const { return s_.textColor; }
  COLORREF SetBkColor(COLORREF c);
  COLORREF GetBkColor() const { return s_.bkColor; }
  int SetBkMode(int mode);
  int GetBkMode() const { return s_.bkMode; }
  int SetPolyFillMode(int mode);
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const { return s_.stretchBltMode; }

  // Lines and shapes.
  POINT MoveTo(int x, int y);  // the previous position
  POINT GetCurrentPosition() const { return s_.currentPosition; }
  bool LineTo(int x, int y);
  bool Polyline(const POINT* points, int count);
  bool Polygon(const POINT* points, int count);
  bool Rectangle(int x1, int y1, int x2, int y2);
  bool Rectangle(const RECT& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
  bool Ellipse(int x1, int y1, int x2, int y2);
  bool Ellipse(const RECT& r) { return Ellipse(r.left, r.top, r.right, r.bottom); }
  // Fills with `color` through an opaque empty ExtTextOut, as the class library does:
  // the background colour stays set to `color` afterwards.
  void FillSolidRect(const RECT& r, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void FillRect(const RECT& r, const CBrush& brush);
  bool PatBlt(int x, int y, int width, int height, DWORD rop);
  COLORREF SetPixel(int x, int y, COLORREF color);
  void InvertRect(const RECT& r);
  void DrawFocusRect(const RECT& r);

  // Text (bytes; see Strings.h for how they are shown).
  bool TextOut(int x, int y, const std::string& text);
  bool ExtTextOut(int x, int y, UINT options, const RECT* rect, const std::string& text,
                  const int* dx = nullptr);
  // Lines split at "\n" (and words wrapped with DT_WORDBREAK); returns the text height.
  int DrawText(const std::string& text, RECT* rect, UINT format);
  SIZE GetTextExtent(const std::string& text) const;
  bool GetTextMetrics(TEXTMETRIC* tm) const;

  // DIBs. `info` points at a packed BITMAPINFOHEADER with its colour table; `bits` at
  // the rows. ySrc counts from the bottom of the DIB, as in GDI. Returns the number of
  // scan lines drawn (0 on failure).
  int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, const void* bits, const BYTE* info, UINT usage, DWORD rop);
  int SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                        UINT startScan, UINT scanLines, const void* bits, const BYTE* info, UINT usage);

 protected:
  DcState& MutableState() { return s_; }

 private:
  DcOp NewOp(DcOpKind kind) const;
  void Emit(DcOp&& op);
  void TextOp(int x, int y, UINT options, const RECT* rect, const std::string& text, const int* dx,
              UINT align);

  std::unique_ptr<DcDevice> device_;
  DcState s_;
  std::vector<DcState> saved_;
};

}  // namespace plat
