#include "platform/CDC.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/ByteOrder.h"
#include "platform/RecordingDc.h"

namespace plat {
namespace {

constexpr double kPi = 3.14159265358979323846;

// std::lround without the library call, which every converted point paid: below 2^52
// the integer part and the fraction of v are both exact, so the result is lround's.
LONG RoundHalfAway(double v) {
  if (!(std::fabs(v) < 4503599627370496.0)) return static_cast<LONG>(std::lround(v));
  const long long t = static_cast<long long>(v);
  const double f = v - static_cast<double>(t);
  return static_cast<LONG>(f >= 0.5 ? t + 1 : f <= -0.5 ? t - 1 : t);
}

// MulDiv: a * b / c rounded half away from zero.
LONG MulDiv(LONG a, LONG b, LONG c) {
  if (c == 0) return -1;
  return RoundHalfAway(static_cast<double>(a) * b / c);
}

std::string StripPrefixes(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;  // "&&" gives "&", "&x" gives "x"
    out += s[i];
  }
  return out;
}

}  // namespace

// ---- DcState -------------------------------------------------------------------------

void DcState::ToDevice(double x, double y, double* dx, double* dy) const {
  *dx = (x - windowOrg.x) * viewportExt.cx / windowExt.cx + viewportOrg.x;
  *dy = (y - windowOrg.y) * viewportExt.cy / windowExt.cy + viewportOrg.y;
}

void DcState::ToLogical(double x, double y, double* lx, double* ly) const {
  *lx = (x - viewportOrg.x) * windowExt.cx / viewportExt.cx + windowOrg.x;
  *ly = (y - viewportOrg.y) * windowExt.cy / viewportExt.cy + windowOrg.y;
}

POINT DcState::LPtoDP(POINT p) const {
  double x, y;
  ToDevice(p.x, p.y, &x, &y);
  return POINT{RoundHalfAway(x), RoundHalfAway(y)};
}

POINT DcState::DPtoLP(POINT p) const {
  double x, y;
  ToLogical(p.x, p.y, &x, &y);
  return POINT{RoundHalfAway(x), RoundHalfAway(y)};
}

RECT OpBounds(const DcOp& op) {
  std::vector<POINT> pts = op.points;
  auto addRect = [&](const RECT& r) {
    pts.push_back({r.left, r.top});
    pts.push_back({r.right, r.bottom});
  };
  switch (op.kind) {
    case DcOpKind::Text:
      pts.assign(op.textBox.begin(), op.textBox.end());
      if (op.hasRect && (op.flags & ETO_OPAQUE)) addRect(op.rect);
      break;
    case DcOpKind::LineTo:
    case DcOpKind::Polyline:
    case DcOpKind::Polygon:
    case DcOpKind::SetPixel: break;
    default: addRect(op.rect); break;
  }
  if (pts.empty()) return RECT{};
  RECT r{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (const POINT& p : pts) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  return r;
}

std::unique_ptr<DcDevice> DcDevice::CreateCompatibleDevice() const {
  RecordingOptions o;
  o.dpiX = GetDeviceCaps(LOGPIXELSX);
  o.dpiY = GetDeviceCaps(LOGPIXELSY);
  o.horzRes = GetDeviceCaps(HORZRES);
  o.vertRes = GetDeviceCaps(VERTRES);
  return std::make_unique<RecordingDevice>(o);
}

// ---- CDC -----------------------------------------------------------------------------

CDC::CDC(std::unique_ptr<DcDevice> device) : device_(std::move(device)) {}

CDC::~CDC() = default;

void CDC::Attach(std::unique_ptr<DcDevice> device) {
  device_ = std::move(device);
  s_ = DcState();
  saved_.clear();
}

bool CDC::CreateCompatibleDC(const CDC* ref) {
  std::unique_ptr<DcDevice> dev;
  if (ref && ref->device_) dev = ref->device_->CreateCompatibleDevice();
  else dev = std::make_unique<RecordingDevice>(RecordingOptions());
  if (!dev) return false;
  Attach(std::move(dev));
  return true;
}

int CDC::GetDeviceCaps(int index) const { return device_ ? device_->GetDeviceCaps(index) : 0; }
bool CDC::IsPrinting() const { return device_ && device_->IsPrinting(); }
bool CDC::HasAttributeDc() const { return device_ && device_->HasAttributeDc(); }

int CDC::SetMapMode(int mode) {
  int old = s_.mapMode;
  switch (mode) {
    case MM_TEXT:
      s_.windowExt = {1, 1};
      s_.viewportExt = {1, 1};
      break;
    case MM_HIMETRIC: {
      // 0.01 mm per unit, y up: 2540 units are one inch.
      int dx = GetDeviceCaps(LOGPIXELSX), dy = GetDeviceCaps(LOGPIXELSY);
      s_.windowExt = {2540, 2540};
      s_.viewportExt = {dx > 0 ? dx : 96, -(dy > 0 ? dy : 96)};
      break;
    }
    case MM_ANISOTROPIC: break;  // keeps the current extents
    default: return 0;
  }
  s_.mapMode = mode;
  return old;
}

POINT CDC::SetWindowOrg(int x, int y) {
  POINT old = s_.windowOrg;
  s_.windowOrg = {x, y};
  return old;
}

POINT CDC::SetViewportOrg(int x, int y) {
  POINT old = s_.viewportOrg;
  s_.viewportOrg = {x, y};
  return old;
}

SIZE CDC::SetWindowExt(int cx, int cy) {
  SIZE old = s_.windowExt;
  if (s_.mapMode == MM_ANISOTROPIC && cx != 0 && cy != 0) s_.windowExt = {cx, cy};
  return old;
}

SIZE CDC::SetViewportExt(int cx, int cy) {
  SIZE old = s_.viewportExt;
  if (s_.mapMode == MM_ANISOTROPIC && cx != 0 && cy != 0) s_.viewportExt = {cx, cy};
  return old;
}

void CDC::LPtoDP(POINT* p, int count) const {
  for (int i = 0; i < count; ++i) p[i] = s_.LPtoDP(p[i]);
}

void CDC::LPtoDP(RECT* r) const {
  POINT a = s_.LPtoDP({r->left, r->top}), b = s_.LPtoDP({r->right, r->bottom});
  *r = RECT{a.x, a.y, b.x, b.y};
}

void CDC::LPtoDP(SIZE* s) const {
  s->cx = MulDiv(s->cx, std::abs(s_.viewportExt.cx), std::abs(s_.windowExt.cx));
  s->cy = MulDiv(s->cy, std::abs(s_.viewportExt.cy), std::abs(s_.windowExt.cy));
}

void CDC::DPtoLP(POINT* p, int count) const {
  for (int i = 0; i < count; ++i) p[i] = s_.DPtoLP(p[i]);
}

void CDC::DPtoLP(RECT* r) const {
  POINT a = s_.DPtoLP({r->left, r->top}), b = s_.DPtoLP({r->right, r->bottom});
  *r = RECT{a.x, a.y, b.x, b.y};
}

void CDC::DPtoLP(SIZE* s) const {
  s->cx = MulDiv(s->cx, std::abs(s_.windowExt.cx), std::abs(s_.viewportExt.cx));
  s->cy = MulDiv(s->cy, std::abs(s_.windowExt.cy), std::abs(s_.viewportExt.cy));
}

int CDC::SaveDC() {
  saved_.push_back(s_);
  return static_cast<int>(saved_.size());
}

bool CDC::RestoreDC(int saved) {
  int n = static_cast<int>(saved_.size());
  if (saved < 0) saved = n + saved + 1;
  if (saved < 1 || saved > n) return false;
  bool bitmapChanged = !(saved_[saved - 1].bitmap == s_.bitmap);
  s_ = saved_[saved - 1];
  saved_.resize(saved - 1);
  if (bitmapChanged && device_) device_->SelectBitmap(s_.bitmap);
  return true;
}

CPen CDC::SelectObject(const CPen& pen) {
  CPen old = s_.pen;
  s_.pen = pen;
  return old;
}

CBrush CDC::SelectObject(const CBrush& brush) {
  CBrush old = s_.brush;
  s_.brush = brush;
  return old;
}

CFont CDC::SelectObject(const CFont& font) {
  CFont old = s_.font;
  s_.font = font;
  return old;
}

CBitmap CDC::SelectObject(const CBitmap& bitmap) {
  CBitmap old = s_.bitmap;
  s_.bitmap = bitmap;
  if (device_) device_->SelectBitmap(bitmap);
  return old;
}

UINT CDC::SetTextAlign(UINT flags) {
  UINT old = s_.textAlign;
  s_.textAlign = flags;
  return old;
}

COLORREF CDC::SetTextColor(COLORREF c) {
  COLORREF old = s_.textColor;
  s_.textColor = c;
  return old;
}

COLORREF CDC::SetBkColor(COLORREF c) {
  COLORREF old = s_.bkColor;
  s_.bkColor = c;
  return old;
}

int CDC::SetBkMode(int mode) {
  if (mode != OPAQUE && mode != TRANSPARENT) return 0;
  int old = s_.bkMode;
  s_.bkMode = mode;
  return old;
}

int CDC::SetPolyFillMode(int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  int old = s_.polyFillMode;
  s_.polyFillMode = mode;
  return old;
}

int CDC::SetStretchBltMode(int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int old = s_.stretchBltMode;
  s_.stretchBltMode = mode;
  return old;
}

DcOp CDC::NewOp(DcOpKind kind) const {
  // Made with the state at once: a default state would make stock objects only to have
  // them overwritten, a cost that every primitive paid.
  DcOp op{.kind = kind, .state = s_};
  int w = s_.pen.Width();
  op.penPixels = w == 0 ? 1 : std::max(1, static_cast<int>(RoundHalfAway(w * std::fabs(s_.ScaleX()))));
  UINT style = s_.pen.Style();
  if (style == PS_INSIDEFRAME) style = PS_SOLID;
  if (style >= PS_DASH && style <= PS_DASHDOTDOT && op.penPixels > 1) style = PS_SOLID;
  op.penStyle = style;
  return op;
}

void CDC::Emit(DcOp&& op) {
  if (device_) device_->Draw(op);
}

POINT CDC::MoveTo(int x, int y) {
  POINT old = s_.currentPosition;
  s_.currentPosition = {x, y};
  return old;
}

bool CDC::LineTo(int x, int y) {
  DcOp op = NewOp(DcOpKind::LineTo);
  op.points = {s_.currentPosition, POINT{x, y}};
  s_.currentPosition = {x, y};
  Emit(std::move(op));
  return true;
}

bool CDC::Polyline(const POINT* points, int count) {
  if (!points || count < 2) return false;
  DcOp op = NewOp(DcOpKind::Polyline);
  op.points.assign(points, points + count);
  Emit(std::move(op));
  return true;
}

bool CDC::Polygon(const POINT* points, int count) {
  if (!points || count < 2) return false;
  DcOp op = NewOp(DcOpKind::Polygon);
  op.points.assign(points, points + count);
  Emit(std::move(op));
  return true;
}

bool CDC::Rectangle(int x1, int y1, int x2, int y2) {
  DcOp op = NewOp(DcOpKind::Rectangle);
  op.rect = {x1, y1, x2, y2};
  Emit(std::move(op));
  return true;
}

bool CDC::Ellipse(int x1, int y1, int x2, int y2) {
  DcOp op = NewOp(DcOpKind::Ellipse);
  op.rect = {x1, y1, x2, y2};
  Emit(std::move(op));
  return true;
}

void CDC::FillSolidRect(const RECT& r, COLORREF color) {
  s_.bkColor = color;
  DcOp op = NewOp(DcOpKind::FillSolidRect);
  op.rect = r;
  op.color = color;
  Emit(std::move(op));
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  FillSolidRect(RECT{x, y, x + cx, y + cy}, color);
}

void CDC::FillRect(const RECT& r, const CBrush& brush) {
  DcOp op = NewOp(DcOpKind::FillRect);
  op.rect = r;
  op.brush = brush;
  Emit(std::move(op));
}

bool CDC::PatBlt(int x, int y, int width, int height, DWORD rop) {
  DcOp op = NewOp(DcOpKind::PatBlt);
  op.rect = {x, y, x + width, y + height};
  op.rop = rop;
  Emit(std::move(op));
  return true;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF color) {
  DcOp op = NewOp(DcOpKind::SetPixel);
  op.points = {POINT{x, y}};
  op.color = color;
  Emit(std::move(op));
  return color;
}

void CDC::InvertRect(const RECT& r) {
  DcOp op = NewOp(DcOpKind::InvertRect);
  op.rect = r;
  Emit(std::move(op));
}

void CDC::DrawFocusRect(const RECT& r) {
  DcOp op = NewOp(DcOpKind::DrawFocusRect);
  op.rect = r;
  Emit(std::move(op));
}

bool CDC::TextOut(int x, int y, const std::string& text) {
  TextOp(x, y, 0, nullptr, text, nullptr, s_.textAlign);
  return true;
}

bool CDC::ExtTextOut(int x, int y, UINT options, const RECT* rect, const std::string& text, const int* dx) {
  TextOp(x, y, options, rect, text, dx, s_.textAlign);
  return true;
}

void CDC::TextOp(int x, int y, UINT options, const RECT* rect, const std::string& text, const int* dx,
                 UINT align) {
  DcOp op = NewOp(DcOpKind::Text);
  op.state.textAlign = align;
  op.flags = options;
  if (rect) {
    op.rect = *rect;
    op.hasRect = true;
  }
  op.text = text;
  POINT ref{x, y};
  if (align & TA_UPDATECP) ref = s_.currentPosition;
  op.points = {ref};

  int width = 0;
  op.dx.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    op.dx[i] = dx ? dx[i] : (device_ ? device_->GetTextWidth(s_, text.substr(i, 1)) : 0);
    width += op.dx[i];
  }
  if (!dx && device_) width = device_->GetTextWidth(s_, text);
  TEXTMETRIC tm{};
  if (device_) tm = device_->GetTextMetrics(s_);

  // The box in device space: glyphs stand upright on the device, the baseline turned by
  // the escapement counter-clockwise as seen, and the alignment taken along it.
  double rx, ry;
  s_.ToDevice(ref.x, ref.y, &rx, &ry);
  const double sx = std::fabs(s_.ScaleX()), sy = std::fabs(s_.ScaleY());
  const double w = width * sx, a = tm.tmAscent * sy, d = tm.tmDescent * sy;
  const double th = s_.font.GetLogFont().lfEscapement / 10.0 * kPi / 180.0;
  const double ux = std::cos(th), uy = -std::sin(th);    // along the baseline
  const double upx = -std::sin(th), upy = -std::cos(th);  // towards the glyphs' tops
  double along = 0, up = 0;
  if ((align & TA_CENTER) == TA_CENTER) along = -w / 2;
  else if (align & TA_RIGHT) along = -w;
  if ((align & TA_BASELINE) == TA_BASELINE) up = 0;
  else if (align & TA_BOTTOM) up = d;
  else up = -a;
  const double bx = rx + along * ux + up * upx, by = ry + along * uy + up * upy;
  const double corners[4][2] = {{bx + a * upx, by + a * upy},
                                {bx + w * ux + a * upx, by + w * uy + a * upy},
                                {bx + w * ux - d * upx, by + w * uy - d * upy},
                                {bx - d * upx, by - d * upy}};
  for (int i = 0; i < 4; ++i) {
    double lx, ly;
    s_.ToLogical(corners[i][0], corners[i][1], &lx, &ly);
    op.textBox[i] = POINT{RoundHalfAway(lx), RoundHalfAway(ly)};
  }
  if (align & TA_UPDATECP) {
    // The current position moves to the far end of the text from the reference point.
    double ex = rx, ey = ry;
    if ((align & TA_CENTER) != TA_CENTER) {
      double sign = (align & TA_RIGHT) ? -1 : 1;
      ex += sign * w * ux;
      ey += sign * w * uy;
    }
    double lx, ly;
    s_.ToLogical(ex, ey, &lx, &ly);
    s_.currentPosition = POINT{RoundHalfAway(lx), RoundHalfAway(ly)};
  }
  Emit(std::move(op));
}

SIZE CDC::GetTextExtent(const std::string& text) const {
  if (!device_) return SIZE{};
  TEXTMETRIC tm = device_->GetTextMetrics(s_);
  return SIZE{device_->GetTextWidth(s_, text), tm.tmHeight};
}

bool CDC::GetTextMetrics(TEXTMETRIC* tm) const {
  if (!device_ || !tm) return false;
  *tm = device_->GetTextMetrics(s_);
  return true;
}

int CDC::DrawText(const std::string& raw, RECT* rect, UINT format) {
  if (!rect || !device_) return 0;
  const std::string text = (format & DT_NOPREFIX) ? raw : StripPrefixes(raw);
  const int lineHeight = device_->GetTextMetrics(s_).tmHeight;
  const int down = s_.ScaleY() >= 0 ? 1 : -1;  // logical direction of "down" on the device
  const int boxWidth = std::abs(rect->right - rect->left);

  std::vector<std::string> lines;
  if (format & DT_SINGLELINE) {
    lines.push_back(text);
  } else {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t nl = text.find('\n', start);
      if (nl == std::string::npos) nl = text.size();
      std::string para = text.substr(start, nl - start);
      if (!para.empty() && para.back() == '\r') para.pop_back();
      if (format & DT_WORDBREAK) {
        std::string line;
        std::size_t i = 0;
        bool any = false;
        while (i <= para.size()) {
          std::size_t sp = para.find(' ', i);
          if (sp == std::string::npos) sp = para.size();
          std::string word = para.substr(i, sp - i);
          std::string tryLine = line.empty() ? word : line + " " + word;
          if (!line.empty() && device_->GetTextWidth(s_, tryLine) > boxWidth) {
            lines.push_back(line);
            line = word;
          } else {
            line = tryLine;
          }
          any = true;
          i = sp + 1;
        }
        if (any) lines.push_back(line);
      } else {
        lines.push_back(para);
      }
      start = nl + 1;
    }
  }

  int maxWidth = 0;
  for (const auto& l : lines) maxWidth = std::max(maxWidth, device_->GetTextWidth(s_, l));
  const int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    if (!(format & DT_WORDBREAK) || maxWidth > boxWidth) rect->right = rect->left + maxWidth;
    rect->bottom = rect->top + down * total;
    return total;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    int boxHeight = std::abs(rect->bottom - rect->top);
    if (format & DT_BOTTOM) y = rect->bottom - down * lineHeight;
    else if (format & DT_VCENTER) y = rect->top + down * ((boxHeight - lineHeight) / 2);
  }
  for (const auto& l : lines) {
    int w = device_->GetTextWidth(s_, l);
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (boxWidth - w) / 2;
    else if (format & DT_RIGHT) x = rect->right - w;
    TextOp(x, y, 0, nullptr, l, nullptr, TA_LEFT | TA_TOP);
    y += down * lineHeight;
  }
  return total;
}

int CDC::StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                       int srcHeight, const void* bits, const BYTE* info, UINT usage, DWORD rop) {
  PackedDibLayout l;
  if (!bits || !GetPackedDibLayout(info, &l) || usage != DIB_RGB_COLORS) return 0;
  std::size_t head = l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
  auto dib = std::make_shared<std::vector<BYTE>>(info, info + head);
  auto b = static_cast<const BYTE*>(bits);
  dib->insert(dib->end(), b, b + l.imageBytes);
  DcOp op = NewOp(DcOpKind::StretchDIBits);
  op.rect = {xDest, yDest, xDest + destWidth, yDest + destHeight};
  op.src = {xSrc, ySrc, xSrc + srcWidth, ySrc + srcHeight};
  op.rop = rop;
  op.dib = std::move(dib);
  Emit(std::move(op));
  return std::abs(l.header.biHeight);
}

int CDC::SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                           UINT scanLines, const void* bits, const BYTE* info, UINT usage) {
  PackedDibLayout l;
  if (!bits || !GetPackedDibLayout(info, &l) || usage != DIB_RGB_COLORS) return 0;
  const int fullHeight = std::abs(l.header.biHeight);
  if (startScan >= static_cast<UINT>(fullHeight) || scanLines == 0) return 0;
  scanLines = std::min<UINT>(scanLines, static_cast<UINT>(fullHeight) - startScan);
  // The bits hold scan lines startScan.. of the picture: describe them as a DIB of their own.
  std::vector<BYTE> part(info, info + l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4);
  le::PutI32(part.data() + 8, l.header.biHeight < 0 ? -static_cast<LONG>(scanLines) : static_cast<LONG>(scanLines));
  le::PutU32(part.data() + 20, static_cast<DWORD>(l.rowBytes * scanLines));
  // Destination: width by height device pixels from the mapped point, unscaled.
  POINT d = s_.LPtoDP({xDest, yDest});
  POINT a = s_.DPtoLP(d);
  POINT b = s_.DPtoLP({d.x + static_cast<LONG>(width), d.y + static_cast<LONG>(height)});
  return StretchDIBits(a.x, a.y, b.x - a.x, b.y - a.y, xSrc, ySrc - static_cast<int>(startScan),
                       static_cast<int>(width), static_cast<int>(height), bits, part.data(), usage, SRCCOPY)
             ? static_cast<int>(scanLines)
             : 0;
}

}  // namespace plat
