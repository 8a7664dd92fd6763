#include "platform/RecordingDc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace plat {
namespace {

int FontHeight(const DcState& s) {
  int h = std::abs(s.font.GetLogFont().lfHeight);
  return h == 0 ? 16 : h;
}

std::uint32_t ToPixel(COLORREF c) {
  return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

// The device-pixel rectangle [x0, x1) x [y0, y1) of a logical rectangle, clipped to the bitmap.
struct PixelRect {
  int x0, y0, x1, y1;
};

PixelRect ToPixels(const DcState& s, const RECT& r, const BitmapBits& b) {
  POINT a = s.LPtoDP({r.left, r.top}), c = s.LPtoDP({r.right, r.bottom});
  PixelRect p{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
  p.x0 = std::max(p.x0, 0);
  p.y0 = std::max(p.y0, 0);
  p.x1 = std::min(p.x1, b.width);
  p.y1 = std::min(p.y1, b.height);
  return p;
}

template <typename F>
void ForPixels(BitmapBits& b, const PixelRect& r, F f) {
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) f(b.At(x, y));
}

void Plot(BitmapBits& b, int x, int y, int size, std::uint32_t color) {
  int h = size / 2;
  for (int yy = y - h; yy < y - h + size; ++yy)
    for (int xx = x - h; xx < x - h + size; ++xx)
      if (xx >= 0 && yy >= 0 && xx < b.width && yy < b.height) b.At(xx, yy) = color;
}

// Bresenham, leaving out the last point as GDI does.
void Line(BitmapBits& b, POINT p, POINT q, int size, std::uint32_t color) {
  int dx = std::abs(q.x - p.x), dy = -std::abs(q.y - p.y);
  int sx = p.x < q.x ? 1 : -1, sy = p.y < q.y ? 1 : -1;
  int err = dx + dy;
  int x = p.x, y = p.y;
  while (!(x == q.x && y == q.y)) {
    Plot(b, x, y, size, color);
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace

RecordingDevice::RecordingDevice(RecordingOptions options) : options_(std::move(options)) {}

int RecordingDevice::GetDeviceCaps(int index) const {
  switch (index) {
    case LOGPIXELSX: return options_.dpiX;
    case LOGPIXELSY: return options_.dpiY;
    case HORZRES: return options_.horzRes;
    case VERTRES: return options_.vertRes;
    case HORZSIZE: return static_cast<int>(std::lround(options_.horzRes * 25.4 / options_.dpiX));
    case VERTSIZE: return static_cast<int>(std::lround(options_.vertRes * 25.4 / options_.dpiY));
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    default: return 0;
  }
}

TEXTMETRIC RecordingDevice::GetTextMetrics(const DcState& state) const {
  if (options_.metrics) return options_.metrics(state);
  int h = FontHeight(state);
  TEXTMETRIC tm;
  tm.tmAscent = static_cast<LONG>(std::lround(0.8 * h));
  tm.tmDescent = h - tm.tmAscent;
  tm.tmHeight = h;
  tm.tmAveCharWidth = static_cast<LONG>(std::lround(0.5 * h));
  tm.tmMaxCharWidth = tm.tmAveCharWidth;
  tm.tmWeight = state.font.GetLogFont().lfWeight;
  return tm;
}

int RecordingDevice::GetTextWidth(const DcState& state, const std::string& text) const {
  if (options_.textWidth) return options_.textWidth(state, text);
  return static_cast<int>(std::lround(0.5 * FontHeight(state) * static_cast<double>(text.size())));
}

void RecordingDevice::Draw(const DcOp& op) {
  ops_.push_back(op);
  if (bitmap_.Bits()) Paint(op);
}

std::unique_ptr<DcDevice> RecordingDevice::CreateCompatibleDevice() const {
  RecordingOptions o = options_;
  o.printing = false;  // a memory DC is never the printer
  o.attributeDc = true;
  return std::make_unique<RecordingDevice>(o);
}

void RecordingDevice::Paint(const DcOp& op) {
  BitmapBits& b = *bitmap_.Bits();
  const DcState& s = op.state;
  const bool pen = op.penStyle != PS_NULL;
  const std::uint32_t penColor = ToPixel(s.pen.Color());
  switch (op.kind) {
    case DcOpKind::FillSolidRect: {
      std::uint32_t c = ToPixel(op.color);
      ForPixels(b, ToPixels(s, op.rect, b), [&](std::uint32_t& p) { p = c; });
      break;
    }
    case DcOpKind::FillRect:
      if (op.brush.Style() == BS_SOLID) {
        std::uint32_t c = ToPixel(op.brush.Color());
        ForPixels(b, ToPixels(s, op.rect, b), [&](std::uint32_t& p) { p = c; });
      }
      break;
    case DcOpKind::PatBlt: {
      PixelRect r = ToPixels(s, op.rect, b);
      if (op.rop == WHITENESS) ForPixels(b, r, [](std::uint32_t& p) { p = 0xFFFFFFFFu; });
      else if (op.rop == BLACKNESS) ForPixels(b, r, [](std::uint32_t& p) { p = 0xFF000000u; });
      else if (op.rop == DSTINVERT) ForPixels(b, r, [](std::uint32_t& p) { p ^= 0x00FFFFFFu; });
      else if (op.rop == PATCOPY && s.brush.Style() == BS_SOLID) {
        std::uint32_t c = ToPixel(s.brush.Color());
        ForPixels(b, r, [&](std::uint32_t& p) { p = c; });
      }
      break;
    }
    case DcOpKind::InvertRect:
      ForPixels(b, ToPixels(s, op.rect, b), [](std::uint32_t& p) { p ^= 0x00FFFFFFu; });
      break;
    case DcOpKind::SetPixel: {
      POINT d = s.LPtoDP(op.points[0]);
      if (d.x >= 0 && d.y >= 0 && d.x < b.width && d.y < b.height) b.At(d.x, d.y) = ToPixel(op.color);
      break;
    }
    case DcOpKind::Rectangle: {
      PixelRect r = ToPixels(s, op.rect, b);
      if (s.brush.Style() == BS_SOLID) {
        std::uint32_t c = ToPixel(s.brush.Color());
        ForPixels(b, r, [&](std::uint32_t& p) { p = c; });
      }
      if (pen && r.x1 > r.x0 && r.y1 > r.y0) {
        POINT c[4] = {{r.x0, r.y0}, {r.x1 - 1, r.y0}, {r.x1 - 1, r.y1 - 1}, {r.x0, r.y1 - 1}};
        for (int i = 0; i < 4; ++i) Line(b, c[i], c[(i + 1) % 4], 1, penColor);
      }
      break;
    }
    case DcOpKind::LineTo:
    case DcOpKind::Polyline:
      if (pen)
        for (std::size_t i = 1; i < op.points.size(); ++i)
          Line(b, s.LPtoDP(op.points[i - 1]), s.LPtoDP(op.points[i]), op.penPixels, penColor);
      break;
    case DcOpKind::StretchDIBits: {
      PackedDibLayout l;
      const BYTE* info = op.dib->data();
      if (!GetPackedDibLayout(info, &l)) break;
      const BYTE* bits = info + l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
      POINT a = s.LPtoDP({op.rect.left, op.rect.top}), c = s.LPtoDP({op.rect.right, op.rect.bottom});
      const int height = std::abs(l.header.biHeight);
      const int sw = op.src.right - op.src.left, sh = op.src.bottom - op.src.top;
      const double dw = c.x - a.x, dh = c.y - a.y;
      if (dw == 0 || dh == 0 || sw == 0 || sh == 0) break;
      // Source rows counted from the bottom: the source's top row is height - src.bottom.
      const int srcTop = height - op.src.bottom;
      // Each device pixel takes the source pixel under its centre; a flipped destination mirrors.
      for (int y = std::max(std::min(a.y, c.y), 0); y < std::min(std::max(a.y, c.y), b.height); ++y) {
        int sy = srcTop + static_cast<int>(std::floor((y + 0.5 - a.y) / dh * sh));
        if (sy < 0 || sy >= height) continue;
        for (int x = std::max(std::min(a.x, c.x), 0); x < std::min(std::max(a.x, c.x), b.width); ++x) {
          int sx = op.src.left + static_cast<int>(std::floor((x + 0.5 - a.x) / dw * sw));
          if (sx < 0 || sx >= l.header.biWidth) continue;
          b.At(x, y) = ToPixel(DibPixel(l, info, bits, sx, sy));
        }
      }
      break;
    }
    default: break;  // polygons, ellipses, text and focus frames are recorded only
  }
}

RecordingDc::RecordingDc(RecordingOptions options) {
  auto dev = std::make_unique<RecordingDevice>(std::move(options));
  recorder_ = dev.get();
  Attach(std::move(dev));
}

std::vector<const DcOp*> RecordingDc::OpsOf(DcOpKind kind) const {
  std::vector<const DcOp*> out;
  for (const auto& op : Ops())
    if (op.kind == kind) out.push_back(&op);
  return out;
}

std::vector<std::string> RecordingDc::Texts() const {
  std::vector<std::string> out;
  for (const auto* op : OpsOf(DcOpKind::Text)) out.push_back(op->text);
  return out;
}

}  // namespace plat
