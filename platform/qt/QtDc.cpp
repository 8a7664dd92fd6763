#include "platform/qt/QtDc.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "platform/ByteOrder.h"
#include "platform/Strings.h"
#include "platform/qt/View.h"

namespace plat {
namespace {

constexpr int kSpriteMax = 24;  // pixels: larger ellipses are drawn directly

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QString ToQString(const std::string& bytes) { return DisplayText(bytes); }

Qt::PenStyle ToQtStyle(UINT style) {
  switch (style) {
    case PS_DASH:
      return Qt::DashLine;
    case PS_DOT:
      return Qt::DotLine;
    case PS_DASHDOT:
      return Qt::DashDotLine;
    case PS_DASHDOTDOT:
      return Qt::DashDotDotLine;
    case PS_NULL:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;
  }
}

bool HasPen(const DcOp& op) { return op.penStyle != PS_NULL && op.state.pen.Style() != PS_NULL; }

QPen MakePen(const DcOp& op) {
  if (!HasPen(op)) return QPen(Qt::NoPen);
  QPen pen(ToQColor(op.state.pen.Color()));
  pen.setWidth(op.penPixels);
  pen.setStyle(ToQtStyle(op.penStyle));
  // GDI's one-pixel lines leave out their last point, as a flat cap does; wider pens
  // have round ends and joins.
  pen.setCapStyle(op.penPixels <= 1 ? Qt::FlatCap : Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QBrush MakeBrush(const CBrush& b) {
  if (b.Style() == BS_NULL) return QBrush(Qt::NoBrush);
  return QBrush(ToQColor(b.Color()));
}

// Device rectangle of a logical one, normalised (left < right, top < bottom).
QRect DeviceRect(const DcState& s, const RECT& r) {
  POINT a = s.LPtoDP({r.left, r.top}), b = s.LPtoDP({r.right, r.bottom});
  return QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
               QPoint(std::max(a.x, b.x) - 1, std::max(a.y, b.y) - 1));
}

QPointF DevicePointF(const DcState& s, POINT p) {
  double x, y;
  s.ToDevice(p.x, p.y, &x, &y);
  return QPointF(x, y);
}

// A dense one-pixel polyline on a raster device keeps, per run of points in one pixel
// column, the first, the lowest, the highest and the last point: the pixels drawn
// stay the same, and a curve of many samples per column costs a few segments per column.
QPolygonF ThinPerColumn(const QPolygonF& in) {
  if (in.size() < 8) return in;
  QPolygonF out;
  out.reserve(in.size() / 2);
  qsizetype i = 0;
  while (i < in.size()) {
    const double col = in[i].x();
    qsizetype j = i, lo = i, hi = i;
    while (j + 1 < in.size() && in[j + 1].x() == col) {
      ++j;
      if (in[j].y() < in[lo].y()) lo = j;
      if (in[j].y() > in[hi].y()) hi = j;
    }
    out << in[i];
    if (lo != i && lo != j && lo < hi) out << in[lo];
    if (hi != i && hi != j) out << in[hi];
    if (lo != i && lo != j && lo > hi) out << in[lo];
    if (j != i) out << in[j];
    i = j + 1;
  }
  return out;
}

// A crowded one-pixel polyline whose x never turns back (a sampled curve with several
// points per pixel column) is drawn on a raster device as one vertical span per column:
// a column's pixels of such a line form one run from its lowest to its highest point,
// and a step into the next column splits its rise between the two columns as the line
// drawing does, so the picture stays within one pixel of the drawn segments at a
// fraction of their cost. Steps over more than one column are drawn as lines. Returns
// false, drawing nothing, for a line that is not crowded or not x-monotone.
bool DrawColumnSpans(QPainter* p, const QPolygonF& poly, const QColor& colour) {
  const qsizetype n = poly.size();
  if (n < 64) return false;
  const int x0 = static_cast<int>(poly[0].x());
  const int dir = poly[n - 1].x() >= poly[0].x() ? 1 : -1;
  const int width = dir * (static_cast<int>(poly[n - 1].x()) - x0) + 1;
  if (width > 1 << 16 || n < 2 * static_cast<qsizetype>(width)) return false;
  for (qsizetype i = 1; i < n; ++i)
    if ((poly[i].x() - poly[i - 1].x()) * dir < 0) return false;

  std::vector<int> lo(static_cast<std::size_t>(width), INT_MAX);
  std::vector<int> hi(static_cast<std::size_t>(width), INT_MIN);
  auto extend = [&](int c, int a, int b) {
    lo[c] = std::min(lo[c], std::min(a, b));
    hi[c] = std::max(hi[c], std::max(a, b));
  };
  QVector<QLine> jumps;
  int ca = 0, ya = static_cast<int>(poly[0].y());
  extend(0, ya, ya);
  for (qsizetype i = 1; i < n; ++i) {
    const int cb = dir * (static_cast<int>(poly[i].x()) - x0);
    const int yb = static_cast<int>(poly[i].y());
    if (cb == ca) {
      extend(ca, ya, yb);
    } else if (cb == ca + 1) {
      const int mid = ya + (yb - ya) / 2;
      extend(ca, ya, mid);
      extend(cb, mid, yb);
    } else {
      jumps << QLine(x0 + dir * ca, ya, x0 + dir * cb, yb);
      extend(cb, yb, yb);
    }
    ca = cb;
    ya = yb;
  }
  for (int c = 0; c < width; ++c)
    if (lo[c] <= hi[c]) {
      const int x = x0 + dir * c;
      p->fillRect(QRect(x, lo[c], 1, hi[c] - lo[c] + 1), colour);
    }
  if (!jumps.isEmpty()) p->drawLines(jumps);
  return true;
}

void XorPixel(QImage* img, int x, int y) {
  if (x < 0 || y < 0 || x >= img->width() || y >= img->height()) return;
  auto* line = reinterpret_cast<QRgb*>(img->scanLine(y));
  line[x] ^= 0x00FFFFFFu;
}

}  // namespace

// The 32-bit pixels a raster painter draws into, for the shortcuts that write them
// directly: the same buffer the painter uses (not a detached copy), so direct writes and
// painted primitives land in one picture in drawing order.
struct QtPainterDevice::Pixels {
  QRgb* bits = nullptr;
  qsizetype stride = 0;  // pixels per row
  int width = 0, height = 0;

  QRgb* Row(int y) const { return bits + y * stride; }
  // An opaque colour as the painter stores it in these formats.
  static QRgb Opaque(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

  void Fill(const QRect& r, QRgb c) const {
    const int x0 = std::max(r.left(), 0), x1 = std::min(r.right() + 1, width);
    const int y0 = std::max(r.top(), 0), y1 = std::min(r.bottom() + 1, height);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y) std::fill(Row(y) + x0, Row(y) + x1, c);
  }

  // A one-pixel segment along a row or a column between two device points, as the
  // painter rasterises it: the pixels from the smaller coordinate up to, not including,
  // the larger one, whichever way the segment runs. Returns false for any other segment.
  bool AxisSegment(POINT a, POINT b, QRgb c) const {
    if (a.y == b.y) {
      if (a.x != b.x)
        Fill(QRect(QPoint(std::min(a.x, b.x), a.y), QPoint(std::max(a.x, b.x) - 1, a.y)), c);
      return true;
    }
    if (a.x == b.x) {
      Fill(QRect(QPoint(a.x, std::min(a.y, b.y)), QPoint(a.x, std::max(a.y, b.y) - 1)), c);
      return true;
    }
    return false;
  }
};

QString DisplayText(const std::string& bytes) {
  std::u16string u = DecodeForDisplay(bytes);
  return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

// ---- DIB <-> image -------------------------------------------------------------------

QImage PackedDibToImage(const BYTE* dib, std::size_t size) {
  PackedDibLayout l;
  if (!dib || size < BITMAPINFOHEADER::kSize || !GetPackedDibLayout(dib, &l)) return QImage();
  const std::size_t head = l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
  if (head > size || size - head < l.imageBytes) return QImage();
  const int w = l.header.biWidth, h = std::abs(l.header.biHeight);
  if (w <= 0 || h <= 0) return QImage();
  const BYTE* bits = dib + head;
  QImage img(w, h, QImage::Format_RGB32);
  const bool bottomUp = l.header.biHeight > 0;
  const int bpp = l.header.biBitCount;
  if (l.header.biCompression == BI_RGB && (bpp == 24 || bpp == 32)) {
    for (int y = 0; y < h; ++y) {
      const BYTE* row = bits + static_cast<std::size_t>(bottomUp ? h - 1 - y : y) * l.rowBytes;
      auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
      const int step = bpp / 8;
      for (int x = 0; x < w; ++x)
        out[x] = qRgb(row[x * step + 2], row[x * step + 1], row[x * step]);
    }
    return img;
  }
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      COLORREF c = DibPixel(l, dib, bits, x, y);
      out[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
  return img;
}

MemBlock ImageToPackedDib(const QImage& source, int bitCount) {
  if (source.isNull() || (bitCount != 24 && bitCount != 32)) return MemBlock();
  QImage img = source.convertToFormat(QImage::Format_RGB32);
  const int w = img.width(), h = img.height();
  const std::size_t rowBytes = ((static_cast<std::size_t>(w) * bitCount + 31) / 32) * 4;
  MemBlock block(BITMAPINFOHEADER::kSize + rowBytes * h);
  BITMAPINFOHEADER hdr;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biBitCount = static_cast<WORD>(bitCount);
  hdr.biSizeImage = static_cast<DWORD>(rowBytes * h);
  hdr.biXPelsPerMeter = img.dotsPerMeterX();
  hdr.biYPelsPerMeter = img.dotsPerMeterY();
  WriteInfoHeader(hdr, block.data());
  BYTE* bits = block.data() + BITMAPINFOHEADER::kSize;
  const int step = bitCount / 8;
  for (int y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    BYTE* row = bits + static_cast<std::size_t>(h - 1 - y) * rowBytes;
    for (int x = 0; x < w; ++x) {
      row[x * step] = static_cast<BYTE>(qBlue(in[x]));
      row[x * step + 1] = static_cast<BYTE>(qGreen(in[x]));
      row[x * step + 2] = static_cast<BYTE>(qRed(in[x]));
      if (step == 4) row[x * step + 3] = 0;
    }
  }
  return block;
}

// ---- QtPainterDevice -----------------------------------------------------------------

struct QtPainterDevice::FontEntry {
  LOGFONT lf{};
  int stock = -1;
  double sx = 0, sy = 0;
  QFont font;
  std::unique_ptr<QFontMetricsF> metrics;
};

const QtPainterDevice::FontEntry& QtPainterDevice::Font(const DcState& s) const {
  const LOGFONT& lf = s.font.GetLogFont();
  const double sx = std::fabs(s.ScaleX()), sy = std::fabs(s.ScaleY());
  if (!font_ || !(font_->lf == lf) || font_->stock != s.font.StockIndex() || font_->sx != sx ||
      font_->sy != sy) {
    auto e = std::make_unique<FontEntry>();
    e->lf = lf;
    e->stock = s.font.StockIndex();
    e->sx = sx;
    e->sy = sy;
    e->font = MakeFont(s);
    e->metrics = std::make_unique<QFontMetricsF>(e->font);
    font_ = std::move(e);
  }
  return *font_;
}

// Small ellipses (markers, event discs) drawn once per size and colours and stamped:
// on a raster device the stamp has exactly the pixels of drawing the ellipse there.
struct QtPainterDevice::Sprites {
  struct Key {
    int w, h, penPixels;
    UINT penStyle;
    COLORREF penColor;
    UINT brushStyle;
    COLORREF brushColor;
    auto operator<=>(const Key&) const = default;
  };
  // A run of opaque pixels in one row of a sprite.
  struct Run {
    int y, x0, x1;
  };
  struct Sprite {
    QImage image;
    // The sprite drawn without antialiasing has only opaque and empty pixels: stamping is
    // then copying its opaque runs. Empty when some pixel is partly covered.
    std::vector<Run> runs;
    bool binary = false;
  };
  std::map<Key, Sprite> images;
  // Markers come in long runs of one kind: the last one found is checked first.
  Key lastKey{};
  const Sprite* last = nullptr;
};

void QtPainterDevice::StampEllipse(QPainter* p, const DcOp& op, const QRect& d, const Pixels* px) {
  const bool pen = HasPen(op);
  Sprites::Key key{d.width(),
                   d.height(),
                   pen ? op.penPixels : 0,
                   pen ? op.penStyle : PS_NULL,
                   pen ? op.state.pen.Color() : 0,
                   op.state.brush.Style(),
                   op.state.brush.Style() == BS_NULL ? 0 : op.state.brush.Color()};
  if (!sprites_) sprites_ = std::make_unique<Sprites>();
  const int pad = key.penPixels + 1;
  const Sprites::Sprite* sprite = sprites_->last;
  if (!sprite || !(sprites_->lastKey == key)) {
    if (sprites_->images.size() > 256) sprites_->images.clear();
    auto it = sprites_->images.find(key);
    if (it == sprites_->images.end()) {
      Sprites::Sprite made;
      QImage& img = made.image;
      img = QImage(d.width() + 2 * pad, d.height() + 2 * pad, QImage::Format_ARGB32_Premultiplied);
      img.fill(Qt::transparent);
      QPainter sp(&img);
      sp.setPen(MakePen(op));
      sp.setBrush(MakeBrush(op.state.brush));
      sp.drawEllipse(QRectF(pad, pad, d.width() - 1, d.height() - 1));
      sp.end();
      made.binary = true;
      for (int y = 0; y < img.height() && made.binary; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width();) {
          const int a = qAlpha(row[x]);
          if (a != 0 && a != 255) {
            made.binary = false;
            break;
          }
          if (a == 0) {
            ++x;
            continue;
          }
          const int x0 = x;
          while (x < img.width() && qAlpha(row[x]) == 255) ++x;
          made.runs.push_back({y, x0, x});
        }
      }
      if (!made.binary) made.runs.clear();
      it = sprites_->images.emplace(key, std::move(made)).first;
    }
    sprites_->lastKey = key;
    sprites_->last = sprite = &it->second;
  }
  const int left = d.left() - pad, top = d.top() - pad;
  if (px && sprite->binary) {
    // Copying the opaque runs gives what drawing the image over the page gives.
    for (const Sprites::Run& r : sprite->runs) {
      const int y = top + r.y;
      if (y < 0 || y >= px->height) continue;
      const int x0 = std::max(left + r.x0, 0), x1 = std::min(left + r.x1, px->width);
      if (x0 >= x1) continue;
      const auto* src = reinterpret_cast<const QRgb*>(sprite->image.constScanLine(r.y));
      std::copy(src + (x0 - left), src + (x1 - left), px->Row(y) + x0);
    }
    return;
  }
  p->drawImage(QPoint(left, top), sprite->image);
}

QtPainterDevice::QtPainterDevice(QImage* image, int dpiX, int dpiY)
    : image_(image), dpiX_(dpiX > 0 ? dpiX : 96), dpiY_(dpiY > 0 ? dpiY : 96) {}

QtPainterDevice::QtPainterDevice(QPrinter* printer) : printer_(printer) {
  dpiX_ = dpiY_ = printer ? printer->resolution() : 600;
}

QtPainterDevice::~QtPainterDevice() { End(); }

QPaintDevice* QtPainterDevice::Target() const {
  if (printer_) return printer_;
  if (memory_) return bitmapImage_.get();
  return image_;
}

QPainter* QtPainterDevice::Painter() {
  if (painter_ && painter_->isActive()) return painter_.get();
  QPaintDevice* t = Target();
  if (!t) return nullptr;
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(t)) {
    painter_.reset();
    return nullptr;
  }
  painter_->setRenderHint(QPainter::Antialiasing, !Raster());
  painter_->setRenderHint(QPainter::TextAntialiasing, true);
  return painter_.get();
}

void QtPainterDevice::End() {
  if (painter_ && painter_->isActive()) painter_->end();
  painter_.reset();
}

bool QtPainterDevice::NewPage() {
  if (!printer_) return false;
  if (!Painter()) return false;
  return printer_->newPage();
}

void QtPainterDevice::SelectBitmap(const CBitmap& bitmap) {
  if (!memory_) return;
  End();
  bitmap_ = bitmap;
  bitmapImage_.reset();
  if (auto bits = bitmap.Bits(); bits && bits->width > 0 && bits->height > 0)
    bitmapImage_ =
        std::make_unique<QImage>(reinterpret_cast<uchar*>(bits->pixels.data()), bits->width,
                                 bits->height, bits->width * 4, QImage::Format_RGB32);
}

std::unique_ptr<DcDevice> QtPainterDevice::CreateCompatibleDevice() const {
  std::unique_ptr<QtPainterDevice> d(new QtPainterDevice());
  d->memory_ = true;
  d->shortcuts_ = shortcuts_;
  d->dpiX_ = dpiX_;
  d->dpiY_ = dpiY_;
  return d;
}

int QtPainterDevice::GetDeviceCaps(int index) const {
  int w = 0, h = 0;
  if (printer_) {
    w = printer_->width();
    h = printer_->height();
  } else if (const QImage* img = memory_ ? bitmapImage_.get() : image_) {
    w = img->width();
    h = img->height();
  }
  switch (index) {
    case LOGPIXELSX:
      return dpiX_;
    case LOGPIXELSY:
      return dpiY_;
    case HORZRES:
      return w;
    case VERTRES:
      return h;
    case HORZSIZE:
      return printer_ ? printer_->widthMM() : static_cast<int>(std::lround(w * 25.4 / dpiX_));
    case VERTSIZE:
      return printer_ ? printer_->heightMM() : static_cast<int>(std::lround(h * 25.4 / dpiY_));
    case BITSPIXEL:
      return printer_ ? 24 : 32;
    case PLANES:
      return 1;
    default:
      return 0;
  }
}

QFont QtPainterDevice::MakeFont(const DcState& s) const {
  const LOGFONT& lf = s.font.GetLogFont();
  QFont f(QString::fromStdString(SubstituteFontFace(lf.lfFaceName)));
  // Stock fonts are sized in device pixels whatever the mapping.
  const bool stock = s.font.StockIndex() >= 0;
  const double sy = stock ? 1.0 : std::fabs(s.ScaleY()), sx = stock ? 1.0 : std::fabs(s.ScaleX());
  double h = std::abs(lf.lfHeight) * sy;
  if (lf.lfHeight == 0) h = 16;
  if (lf.lfHeight > 0) {
    // A cell height: ascent + descent is the height asked for.
    QFont probe = f;
    probe.setPixelSize(100);
    QFontMetricsF fm(probe);
    double cell = fm.ascent() + fm.descent();
    if (cell > 0) h = h * 100.0 / cell;
  }
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(h))));
  int weight = lf.lfWeight == 0 ? 400 : std::clamp<int>(lf.lfWeight, 100, 900);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setItalic(lf.lfItalic != 0);
  f.setUnderline(lf.lfUnderline != 0);
  f.setStrikeOut(lf.lfStrikeOut != 0);
  if (lf.lfWidth != 0) {
    QFontMetricsF fm(f);
    double avg = fm.averageCharWidth();
    if (avg > 0)
      f.setStretch(std::clamp(
          static_cast<int>(std::lround(100.0 * std::abs(lf.lfWidth) * sx / avg)), 1, 4000));
  }
  return f;
}

TEXTMETRIC QtPainterDevice::GetTextMetrics(const DcState& s) const {
  const FontEntry& fe = Font(s);
  const QFont& f = fe.font;
  const QFontMetricsF& fm = *fe.metrics;
  const double sy = std::fabs(s.ScaleY());
  const double sx = std::fabs(s.ScaleX());
  auto ly = [&](double v) { return static_cast<LONG>(std::lround(v / (sy > 0 ? sy : 1))); };
  auto lx = [&](double v) { return static_cast<LONG>(std::lround(v / (sx > 0 ? sx : 1))); };
  TEXTMETRIC tm;
  tm.tmAscent = ly(fm.ascent());
  tm.tmDescent = ly(fm.descent());
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = std::max<LONG>(0, ly(fm.ascent() + fm.descent() - f.pixelSize()));
  tm.tmExternalLeading = std::max<LONG>(0, ly(fm.leading()));
  tm.tmAveCharWidth = lx(fm.averageCharWidth());
  tm.tmMaxCharWidth = lx(fm.maxWidth());
  tm.tmWeight = s.font.GetLogFont().lfWeight;
  return tm;
}

int QtPainterDevice::GetTextWidth(const DcState& s, const std::string& text) const {
  if (text.empty()) return 0;
  const QFontMetricsF& fm = *Font(s).metrics;
  const double sx = std::fabs(s.ScaleX());
  return static_cast<int>(std::lround(fm.horizontalAdvance(ToQString(text)) / (sx > 0 ? sx : 1)));
}

void QtPainterDevice::UsePen(QPainter* p, const DcOp& op) {
  const bool has = HasPen(op);
  const COLORREF colour = has ? op.state.pen.Color() : 0;
  const int pixels = has ? op.penPixels : 0;
  const UINT style = has ? op.penStyle : PS_NULL;
  if (!penMade_ || colour != penColour_ || pixels != penPixels_ || style != penStyle_) {
    pen_ = MakePen(op);
    penColour_ = colour;
    penPixels_ = pixels;
    penStyle_ = style;
    penMade_ = true;
  }
  p->setPen(pen_);  // the pen it holds again costs the painter a comparison only
}

void QtPainterDevice::UseBrush(QPainter* p, const CBrush& b) {
  if (!brushMade_ ||
      !(b.Style() == brushStyle_ && (b.Style() == BS_NULL || b.Color() == brushColour_))) {
    brush_ = MakeBrush(b);
    brushStyle_ = b.Style();
    brushColour_ = b.Color();
    brushMade_ = true;
  }
  p->setBrush(brush_);
}

void QtPainterDevice::Draw(const DcOp& op) {
  QPainter* p = Painter();
  if (!p) return;
  const DcState& s = op.state;
  QImage* raster = printer_ ? nullptr : (memory_ ? bitmapImage_.get() : image_);
  const bool shortcuts = raster && shortcuts_;
  // Each kind below sets the pen and brush it draws with (UsePen, UseBrush); the painter
  // keeps them between primitives. Direct pixel writes need the raster's 32-bit pixels
  // with nothing clipping the painter.
  Pixels pixels;
  const Pixels* px = nullptr;
  if (shortcuts && !p->hasClipping() &&
      (raster->format() == QImage::Format_RGB32 || raster->format() == QImage::Format_ARGB32 ||
       raster->format() == QImage::Format_ARGB32_Premultiplied)) {
    pixels.bits = reinterpret_cast<QRgb*>(const_cast<uchar*>(raster->constBits()));
    pixels.stride = raster->bytesPerLine() / 4;
    pixels.width = raster->width();
    pixels.height = raster->height();
    px = &pixels;
  }

  auto points = [&](const std::vector<POINT>& pts) {
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(pts.size()));
    for (const POINT& pt : pts) {
      if (raster) {
        POINT d = s.LPtoDP(pt);
        poly << QPointF(d.x, d.y);
      } else {
        poly << DevicePointF(s, pt);
      }
    }
    return poly;
  };
  // A box as the shape drawing needs it: the device rectangle without its right and
  // bottom edge.
  auto shapeRect = [&](const RECT& r) {
    QRect d = DeviceRect(s, r);  // inclusive of the last pixel inside
    return QRectF(d.left(), d.top(), d.width() - 1, d.height() - 1);
  };

  switch (op.kind) {
    case DcOpKind::LineTo:
    case DcOpKind::Polyline: {
      if (!HasPen(op) || op.points.size() < 2) break;
      const bool thin = op.penPixels <= 1 && op.penStyle == PS_SOLID;
      if (px && thin && op.points.size() == 2 &&
          px->AxisSegment(s.LPtoDP(op.points[0]), s.LPtoDP(op.points[1]),
                          Pixels::Opaque(s.pen.Color())))
        break;
      UsePen(p, op);
      QPolygonF poly = points(op.points);
      if (shortcuts && thin) {
        if (DrawColumnSpans(p, poly, p->pen().color())) break;
        poly = ThinPerColumn(poly);
      }
      p->drawPolyline(poly);
      break;
    }
    case DcOpKind::Polygon: {
      UsePen(p, op);
      UseBrush(p, s.brush);
      p->drawPolygon(points(op.points),
                     s.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
      break;
    }
    case DcOpKind::Rectangle:
    case DcOpKind::Ellipse: {
      QRect d = DeviceRect(s, op.rect);
      if (d.width() < 2 || d.height() < 2) break;
      // Without a pen GDI fills one pixel less on the right and at the bottom: the box
      // without its last column and row is exactly that.
      QRectF box = shapeRect(op.rect);
      if (shortcuts && op.kind == DcOpKind::Ellipse && d.width() <= kSpriteMax &&
          d.height() <= kSpriteMax) {
        StampEllipse(p, op, d, px);
        break;
      }
      UsePen(p, op);
      UseBrush(p, s.brush);
      if (op.kind == DcOpKind::Rectangle) {
        if (HasPen(op))
          p->drawRect(box);
        else
          p->fillRect(box, p->brush());
      } else {
        p->drawEllipse(box);
      }
      break;
    }
    case DcOpKind::FillSolidRect:
      if (px)
        px->Fill(DeviceRect(s, op.rect), Pixels::Opaque(op.color));
      else
        p->fillRect(DeviceRect(s, op.rect), ToQColor(op.color));
      break;
    case DcOpKind::FillRect:
      if (op.brush.Style() == BS_NULL) break;
      if (px)
        px->Fill(DeviceRect(s, op.rect), Pixels::Opaque(op.brush.Color()));
      else
        p->fillRect(DeviceRect(s, op.rect), ToQColor(op.brush.Color()));
      break;
    case DcOpKind::PatBlt: {
      QRect d = DeviceRect(s, op.rect);
      switch (op.rop) {
        case WHITENESS:
          p->fillRect(d, Qt::white);
          break;
        case BLACKNESS:
          p->fillRect(d, Qt::black);
          break;
        case PATCOPY:
          if (s.brush.Style() != BS_NULL) p->fillRect(d, ToQColor(s.brush.Color()));
          break;
        case DSTINVERT:
          if (raster)
            for (int y = d.top(); y <= d.bottom(); ++y)
              for (int x = d.left(); x <= d.right(); ++x) XorPixel(raster, x, y);
          break;
        default:
          break;
      }
      break;
    }
    case DcOpKind::SetPixel: {
      POINT d = s.LPtoDP(op.points[0]);
      if (raster) {
        if (d.x >= 0 && d.y >= 0 && d.x < raster->width() && d.y < raster->height())
          raster->setPixel(d.x, d.y, ToQColor(op.color).rgb());
      } else {
        p->fillRect(QRect(d.x, d.y, 1, 1), ToQColor(op.color));
      }
      break;
    }
    case DcOpKind::InvertRect: {
      if (!raster) break;  // inverting has no meaning on paper
      QRect d = DeviceRect(s, op.rect);
      for (int y = d.top(); y <= d.bottom(); ++y)
        for (int x = d.left(); x <= d.right(); ++x) XorPixel(raster, x, y);
      break;
    }
    case DcOpKind::DrawFocusRect: {
      if (!raster) break;
      QRect d = DeviceRect(s, op.rect);
      // A dotted frame, every other pixel inverted, so drawing it twice removes it.
      for (int x = d.left(); x <= d.right(); ++x) {
        if ((x - d.left()) % 2 == 0) {
          XorPixel(raster, x, d.top());
          if (d.bottom() != d.top()) XorPixel(raster, x, d.bottom());
        }
      }
      for (int y = d.top() + 1; y < d.bottom(); ++y) {
        if ((y - d.top()) % 2 == 0) {
          XorPixel(raster, d.left(), y);
          if (d.right() != d.left()) XorPixel(raster, d.right(), y);
        }
      }
      break;
    }
    case DcOpKind::Text: {
      QPointF c[4];
      for (int i = 0; i < 4; ++i) c[i] = DevicePointF(s, op.textBox[i]);
      p->save();
      if (op.hasRect && (op.flags & ETO_OPAQUE))
        p->fillRect(DeviceRect(s, op.rect), ToQColor(s.bkColor));
      if (op.hasRect && (op.flags & ETO_CLIPPED)) p->setClipRect(DeviceRect(s, op.rect));
      if (!op.text.empty()) {
        if (s.bkMode == OPAQUE) {
          QPolygonF box;
          for (const QPointF& q : c) box << q;
          QPainterPath path;
          path.addPolygon(box);
          path.closeSubpath();
          p->fillPath(path, ToQColor(s.bkColor));
        }
        p->setFont(Font(s).font);
        p->setPen(ToQColor(s.textColor));
        TEXTMETRIC tm = GetTextMetrics(s);
        double frac = tm.tmHeight > 0 ? static_cast<double>(tm.tmAscent) / tm.tmHeight : 0.8;
        QPointF base = c[0] + (c[3] - c[0]) * frac;
        double angle = s.font.GetLogFont().lfEscapement / 10.0;
        p->translate(base);
        if (angle != 0) p->rotate(-angle);
        p->drawText(QPointF(0, 0), ToQString(op.text));
      }
      p->restore();
      break;
    }
    case DcOpKind::StretchDIBits: {
      if (!op.dib || op.dib->empty()) break;
      QImage img = PackedDibToImage(op.dib->data(), op.dib->size());
      if (img.isNull()) break;
      const int H = img.height();
      int sl = std::min(op.src.left, op.src.right), sr = std::max(op.src.left, op.src.right);
      int sb = std::min(op.src.top, op.src.bottom), st = std::max(op.src.top, op.src.bottom);
      QRect src(sl, H - st, sr - sl, st - sb);
      src = src.intersected(img.rect());
      if (src.isEmpty()) break;
      QPointF a = DevicePointF(s, {op.rect.left, op.rect.top}),
              b = DevicePointF(s, {op.rect.right, op.rect.bottom});
      bool mirrorX = (b.x() < a.x()) != (op.src.right < op.src.left);
      bool mirrorY = (b.y() < a.y()) != (op.src.bottom < op.src.top);
      QRectF dst(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
      if (raster)
        dst = QRectF(std::round(dst.left()), std::round(dst.top()), std::round(dst.width()),
                     std::round(dst.height()));
      QImage part = img.copy(src);
      if (mirrorX || mirrorY) part = part.mirrored(mirrorX, mirrorY);
      p->setRenderHint(QPainter::SmoothPixmapTransform, s.stretchBltMode == HALFTONE);
      p->drawImage(dst, part);
      break;
    }
  }
}

// ---- DCs -----------------------------------------------------------------------------

CImageDC::CImageDC(QImage* image, int dpiX, int dpiY)
    : CDC(std::make_unique<QtPainterDevice>(image, dpiX, dpiY)) {}

CPrinterDC::CPrinterDC(QPrinter* printer) : CDC(std::make_unique<QtPainterDevice>(printer)) {}

CPrinterDC::~CPrinterDC() { EndDoc(); }

int CPrinterDC::StartPage() {
  if (!Qt()->Painter()) return 0;
  if (pagePrinted_ && !Qt()->NewPage()) return 0;
  pagePrinted_ = true;
  return 1;
}

int CPrinterDC::EndDoc() {
  Qt()->End();
  return 1;
}

CClientDC::CClientDC(CView* view)
    : CImageDC(&view->ClientImage(), view->LogPixelsX(), view->LogPixelsY()), view_(view) {}

CClientDC::~CClientDC() {
  Qt()->End();
  if (view_->isVisible()) view_->repaint();
}

}  // namespace plat
