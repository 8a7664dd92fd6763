// The device context's back end on QPainter: drawing into a QImage (a view's backing
// image, memory bitmaps, pictures at a given resolution) or onto a printer page.
// It paints in device space with the painter's transform at identity: every logical
// point goes through the DC's own mapping, so y-up pages come out upright, text stands
// upright along its (escaped) baseline, and pen widths scale with the mapping.
// GDI's rules kept: round caps and joins; width 0 is one pixel; styled pens wider than
// one pixel draw solid; Rectangle and Ellipse leave out the right and bottom edge (one
// more with a null pen); opaque text fills its box; inversions XOR the pixels.
// Windows face names map to the Liberation families (SubstituteFontFace).
#pragma once
#include <QBrush>
#include <QImage>
#include <QPen>
#include <QString>
#include <memory>
#include <string>

#include "platform/CDC.h"
#include "platform/DcDevice.h"
#include "platform/MemBlock.h"

class QFont;
class QPainter;
class QPaintDevice;
class QPrinter;
class QRect;

namespace plat {

class CView;

class QtPainterDevice : public DcDevice {
 public:
  // Draws into `image` (not owned; must outlive the device) at dpiX x dpiY.
  QtPainterDevice(QImage* image, int dpiX, int dpiY);
  // Draws on `printer` (not owned); the painter is opened on the first page.
  explicit QtPainterDevice(QPrinter* printer);
  ~QtPainterDevice() override;

  int GetDeviceCaps(int index) const override;
  bool IsPrinting() const override { return printer_ != nullptr; }
  TEXTMETRIC GetTextMetrics(const DcState& state) const override;
  int GetTextWidth(const DcState& state, const std::string& text) const override;
  void Draw(const DcOp& op) override;
  std::unique_ptr<DcDevice> CreateCompatibleDevice() const override;
  void SelectBitmap(const CBitmap& bitmap) override;

  // Ends the painter (flushes a printer page); drawing again reopens it.
  void End();
  // Printer only: starts the next page.
  bool NewPage();
  QPainter* Painter();  // opened on demand; null without a target

  // The Qt font for a DC state's font (face substituted, height in device pixels).
  QFont MakeFont(const DcState& state) const;

  // On a raster, some primitives are written straight into the pixels (solid fills,
  // one-pixel lines along a row or column, small ellipses copied from a sprite's opaque
  // runs) instead of through the painter, with the same pixels as a result. On by
  // default; tests and benchmarks turn it off to draw the reference picture.
  void SetRasterShortcuts(bool on) { shortcuts_ = on; }

 private:
  QtPainterDevice() = default;  // memory device: target set by SelectBitmap
  QPaintDevice* Target() const;
  bool Raster() const { return printer_ == nullptr; }

  QImage* image_ = nullptr;
  QPrinter* printer_ = nullptr;
  bool memory_ = false;
  CBitmap bitmap_;                       // memory device: the selected bitmap
  std::unique_ptr<QImage> bitmapImage_;  // wraps bitmap_'s pixels
  std::unique_ptr<QPainter> painter_;
  int dpiX_ = 96, dpiY_ = 96;
  // The last font made, with its metrics: most primitives reuse it.
  struct FontEntry;
  const FontEntry& Font(const DcState& state) const;
  mutable std::unique_ptr<FontEntry> font_;
  struct Sprites;
  struct Pixels;
  // `pixels`: the raster's own pixels when the shortcuts may write them, else null.
  void StampEllipse(QPainter* p, const DcOp& op, const QRect& deviceBox, const Pixels* pixels);
  std::unique_ptr<Sprites> sprites_;
  bool shortcuts_ = true;
  // The pen and brush of the last primitive, made again only when they change.
  void UsePen(QPainter* p, const DcOp& op);
  void UseBrush(QPainter* p, const CBrush& brush);
  QPen pen_;
  COLORREF penColour_ = 0;
  int penPixels_ = 0;
  UINT penStyle_ = 0;
  bool penMade_ = false;
  QBrush brush_;
  UINT brushStyle_ = 0;
  COLORREF brushColour_ = 0;
  bool brushMade_ = false;
};

// A DC drawing into a QImage (Format_RGB32 or ARGB32) at the given resolution.
class CImageDC : public CDC {
 public:
  CImageDC(QImage* image, int dpiX = 96, int dpiY = 96);
  QtPainterDevice* Qt() const { return static_cast<QtPainterDevice*>(Device()); }
};

// A DC on a printer: pages are started with StartPage (the first one is implicit).
class CPrinterDC : public CDC {
 public:
  explicit CPrinterDC(QPrinter* printer);
  ~CPrinterDC() override;
  int StartPage();  // moves to a new page unless nothing has been printed yet
  int EndPage() { return 1; }
  int EndDoc();  // ends the painter: the file is complete
  QtPainterDevice* Qt() const { return static_cast<QtPainterDevice*>(Device()); }

 private:
  bool pagePrinted_ = false;
};

// A DC on a view's client area outside painting: it draws into the view's backing
// image as it stands and shows the result when destroyed (a view waiting to be
// repainted draws itself afresh then, as an invalidated window would). Making one
// never runs the view's OnDraw, so it also serves as the reference DC for sizes and
// memory DCs. It starts in the default state: call the view's OnPrepareDC to draw "as
// when painting".
class CClientDC : public CImageDC {
 public:
  explicit CClientDC(CView* view);
  ~CClientDC() override;

 private:
  CView* view_;
};

// Text bytes as shown on screen: UTF-8 when valid, else Windows-1252.
QString DisplayText(const std::string& bytes);

// Packed DIB (header, colour table, rows) <-> image. An unreadable DIB gives a null image.
QImage PackedDibToImage(const BYTE* dib, std::size_t size);
MemBlock ImageToPackedDib(const QImage& image, int bitCount = 24);

}  // namespace plat
