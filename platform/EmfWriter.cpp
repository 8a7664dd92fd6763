#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Metafile.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"

namespace plat {
namespace {

enum : DWORD {
  EMR_HEADER = 1,
  EMR_POLYGON = 3,
  EMR_POLYLINE = 4,
  EMR_EOF = 14,
  EMR_SETPIXELV = 15,
  EMR_SETMAPMODE = 17,
  EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19,
  EMR_SETSTRETCHBLTMODE = 21,
  EMR_SETTEXTALIGN = 22,
  EMR_SETTEXTCOLOR = 24,
  EMR_SETBKCOLOR = 25,
  EMR_SETWINDOWEXTEX = 9,
  EMR_SETWINDOWORGEX = 10,
  EMR_SETVIEWPORTEXTEX = 11,
  EMR_SETVIEWPORTORGEX = 12,
  EMR_MOVETOEX = 27,
  EMR_SELECTOBJECT = 37,
  EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40,
  EMR_ELLIPSE = 42,
  EMR_RECTANGLE = 43,
  EMR_LINETO = 54,
  EMR_BITBLT = 76,
  EMR_STRETCHDIBITS = 81,
  EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTW = 84,
};
constexpr DWORD kStock = 0x80000000u;
constexpr DWORD kPenSlots[2] = {1, 2}, kBrushSlots[2] = {3, 4}, kFontSlots[2] = {5, 6};
constexpr DWORD kHandles = 7;

class Emf {
 public:
  std::vector<BYTE> out;
  DWORD records = 0;

  std::size_t Begin(DWORD type) {
    std::size_t at = out.size();
    U32(type);
    U32(0);
    ++records;
    return at;
  }
  void End(std::size_t at) {
    while (out.size() % 4) out.push_back(0);
    le::PutU32(out.data() + at + 4, static_cast<DWORD>(out.size() - at));
  }
  void U32(DWORD v) {
    BYTE b[4];
    le::PutU32(b, v);
    out.insert(out.end(), b, b + 4);
  }
  void I32(LONG v) { U32(static_cast<DWORD>(v)); }
  void F32(float f) {
    BYTE b[4];
    le::PutF32(b, f);
    out.insert(out.end(), b, b + 4);
  }
  void Rect(const RECT& r) {
    I32(r.left);
    I32(r.top);
    I32(r.right);
    I32(r.bottom);
  }
  void Simple(DWORD type, DWORD value) {
    auto at = Begin(type);
    U32(value);
    End(at);
  }
  void Pair(DWORD type, LONG a, LONG b) {
    auto at = Begin(type);
    I32(a);
    I32(b);
    End(at);
  }
};

RECT Inclusive(const RECT& r) {
  return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

// Writes the state changes an op needs relative to what was written so far.
class StateWriter {
 public:
  explicit StateWriter(Emf& e) : e_(e) {}

  void Sync(const DcState& s) {
    if (s.mapMode != cur_.mapMode) {
      e_.Simple(EMR_SETMAPMODE, static_cast<DWORD>(s.mapMode));
      cur_.mapMode = s.mapMode;
      extKnown_ = false;
    }
    if (s.mapMode == MM_ANISOTROPIC &&
        (!extKnown_ || s.windowExt.cx != cur_.windowExt.cx || s.windowExt.cy != cur_.windowExt.cy ||
         s.viewportExt.cx != cur_.viewportExt.cx || s.viewportExt.cy != cur_.viewportExt.cy)) {
      e_.Pair(EMR_SETWINDOWEXTEX, s.windowExt.cx, s.windowExt.cy);
      e_.Pair(EMR_SETVIEWPORTEXTEX, s.viewportExt.cx, s.viewportExt.cy);
      cur_.windowExt = s.windowExt;
      cur_.viewportExt = s.viewportExt;
      extKnown_ = true;
    }
    if (s.windowOrg.x != cur_.windowOrg.x || s.windowOrg.y != cur_.windowOrg.y) {
      e_.Pair(EMR_SETWINDOWORGEX, s.windowOrg.x, s.windowOrg.y);
      cur_.windowOrg = s.windowOrg;
    }
    if (s.viewportOrg.x != cur_.viewportOrg.x || s.viewportOrg.y != cur_.viewportOrg.y) {
      e_.Pair(EMR_SETVIEWPORTORGEX, s.viewportOrg.x, s.viewportOrg.y);
      cur_.viewportOrg = s.viewportOrg;
    }
    SyncPen(s.pen);
    SyncBrush(s.brush);
    SyncFont(s.font);
    if (s.textAlign != cur_.textAlign) e_.Simple(EMR_SETTEXTALIGN, cur_.textAlign = s.textAlign);
    if (s.textColor != cur_.textColor) e_.Simple(EMR_SETTEXTCOLOR, cur_.textColor = s.textColor);
    if (s.bkColor != cur_.bkColor) e_.Simple(EMR_SETBKCOLOR, cur_.bkColor = s.bkColor);
    if (s.bkMode != cur_.bkMode) e_.Simple(EMR_SETBKMODE, static_cast<DWORD>(cur_.bkMode = s.bkMode));
    if (s.polyFillMode != cur_.polyFillMode)
      e_.Simple(EMR_SETPOLYFILLMODE, static_cast<DWORD>(cur_.polyFillMode = s.polyFillMode));
    if (s.stretchBltMode != cur_.stretchBltMode)
      e_.Simple(EMR_SETSTRETCHBLTMODE, static_cast<DWORD>(cur_.stretchBltMode = s.stretchBltMode));
  }

  void MoveTo(POINT p) {
    if (cpKnown_ && p.x == cp_.x && p.y == cp_.y) return;
    e_.Pair(EMR_MOVETOEX, p.x, p.y);
    cp_ = p;
    cpKnown_ = true;
  }
  void MovedTo(POINT p) {
    cp_ = p;
    cpKnown_ = true;
  }

 private:
  // A new object goes into the slot not in use, is selected, and the old one deleted.
  void Replace(const DWORD (&slots)[2], int& used) {
    DWORD slot = slots[used == 0 ? 1 : 0];
    e_.Simple(EMR_SELECTOBJECT, slot);
    if (used >= 0) e_.Simple(EMR_DELETEOBJECT, slots[used]);
    used = used == 0 ? 1 : 0;
  }
  void Stock(int index, const DWORD (&slots)[2], int& used) {
    e_.Simple(EMR_SELECTOBJECT, kStock | static_cast<DWORD>(index));
    if (used >= 0) e_.Simple(EMR_DELETEOBJECT, slots[used]);
    used = -1;
  }
  DWORD FreeSlot(const DWORD (&slots)[2], int used) const { return slots[used == 0 ? 1 : 0]; }

  void SyncPen(const CPen& p) {
    if (p == cur_.pen) return;
    cur_.pen = p;
    if (p.StockIndex() >= 0) return Stock(p.StockIndex(), kPenSlots, pen_);
    auto at = e_.Begin(EMR_CREATEPEN);
    e_.U32(FreeSlot(kPenSlots, pen_));
    e_.U32(p.Style());
    e_.I32(p.Width());
    e_.I32(0);
    e_.U32(p.Color());
    e_.End(at);
    Replace(kPenSlots, pen_);
  }
  void SyncBrush(const CBrush& b) {
    if (b == cur_.brush) return;
    cur_.brush = b;
    if (b.StockIndex() >= 0) return Stock(b.StockIndex(), kBrushSlots, brush_);
    auto at = e_.Begin(EMR_CREATEBRUSHINDIRECT);
    e_.U32(FreeSlot(kBrushSlots, brush_));
    e_.U32(b.Style());
    e_.U32(b.Color());
    e_.U32(0);
    e_.End(at);
    Replace(kBrushSlots, brush_);
  }
  void SyncFont(const CFont& f) {
    if (f == cur_.font) return;
    cur_.font = f;
    if (f.StockIndex() >= 0) return Stock(f.StockIndex(), kFontSlots, font_);
    const LOGFONT& lf = f.GetLogFont();
    auto at = e_.Begin(EMR_EXTCREATEFONTINDIRECTW);
    e_.U32(FreeSlot(kFontSlots, font_));
    e_.I32(lf.lfHeight);
    e_.I32(lf.lfWidth);
    e_.I32(lf.lfEscapement);
    e_.I32(lf.lfOrientation);
    e_.I32(lf.lfWeight);
    e_.out.insert(e_.out.end(), {lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfOutPrecision,
                                 lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily});
    std::u16string face = DecodeForDisplay(std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE)));
    face.resize(32, u'\0');
    for (char16_t c : face) {
      e_.out.push_back(static_cast<BYTE>(c));
      e_.out.push_back(static_cast<BYTE>(c >> 8));
    }
    e_.End(at);
    Replace(kFontSlots, font_);
  }

  Emf& e_;
  DcState cur_;  // what the playing DC holds: GDI's defaults to begin with
  bool extKnown_ = false;
  int pen_ = -1, brush_ = -1, font_ = -1;  // slot index in use, -1 for a stock object
  POINT cp_{};
  bool cpKnown_ = true;
};

void BitBlt(Emf& e, const RECT& r, DWORD rop, const RECT& bounds) {
  auto at = e.Begin(EMR_BITBLT);
  e.Rect(bounds);
  e.I32(r.left);
  e.I32(r.top);
  e.I32(r.right - r.left);
  e.I32(r.bottom - r.top);
  e.U32(rop);
  e.I32(0);  // xSrc, ySrc
  e.I32(0);
  const float identity[6] = {1, 0, 0, 1, 0, 0};
  for (float f : identity) e.F32(f);
  e.U32(0);  // background colour of the source
  e.U32(DIB_RGB_COLORS);
  for (int i = 0; i < 4; ++i) e.U32(0);  // no source bitmap
  e.End(at);
}

void Points(Emf& e, DWORD type, const std::vector<POINT>& pts, const RECT& bounds) {
  auto at = e.Begin(type);
  e.Rect(bounds);
  e.U32(static_cast<DWORD>(pts.size()));
  for (const POINT& p : pts) {
    e.I32(p.x);
    e.I32(p.y);
  }
  e.End(at);
}

void Text(Emf& e, const DcOp& op, const RECT& bounds, const EmfHeaderInfo& h) {
  const std::u16string text = DecodeForDisplay(op.text);
  auto at = e.Begin(EMR_EXTTEXTOUTW);
  e.Rect(bounds);
  e.U32(1);  // GM_COMPATIBLE
  // 0.01 mm per logical unit, for players that scale text by it.
  e.F32(static_cast<float>(std::fabs(op.state.ScaleX()) * 2540.0 / h.dpiX));
  e.F32(static_cast<float>(std::fabs(op.state.ScaleY()) * 2540.0 / h.dpiY));
  e.I32(op.points[0].x);
  e.I32(op.points[0].y);
  e.U32(static_cast<DWORD>(text.size()));
  const std::size_t fixed = 76;  // record header through offDx
  const std::size_t textBytes = (text.size() * 2 + 3) / 4 * 4;
  e.U32(text.empty() ? 0 : static_cast<DWORD>(fixed));
  e.U32(op.flags);
  e.Rect(op.hasRect ? op.rect : RECT{0, 0, -1, -1});
  e.U32(text.empty() ? 0 : static_cast<DWORD>(fixed + textBytes));
  for (char16_t c : text) {
    e.out.push_back(static_cast<BYTE>(c));
    e.out.push_back(static_cast<BYTE>(c >> 8));
  }
  while ((e.out.size() - at) % 4) e.out.push_back(0);
  // One advance per UTF-16 unit: the byte advances when every byte was one unit, else
  // the text's width spread evenly.
  int total = 0;
  for (int d : op.dx) total += d;
  for (std::size_t i = 0; i < text.size(); ++i) {
    int d = text.size() == op.dx.size() ? op.dx[i] : total / static_cast<int>(text.size());
    e.I32(d);
  }
  e.End(at);
}

void StretchDib(Emf& e, const DcOp& op, const RECT& bounds) {
  PackedDibLayout l;
  if (!op.dib || !GetPackedDibLayout(op.dib->data(), &l)) return;
  const std::size_t head = l.colorTableOffset + static_cast<std::size_t>(l.colors) * 4;
  const std::size_t fixed = 80;
  auto at = e.Begin(EMR_STRETCHDIBITS);
  e.Rect(bounds);
  e.I32(op.rect.left);
  e.I32(op.rect.top);
  e.I32(op.src.left);
  e.I32(op.src.top);
  e.I32(op.src.right - op.src.left);
  e.I32(op.src.bottom - op.src.top);
  e.U32(static_cast<DWORD>(fixed));
  e.U32(static_cast<DWORD>(head));
  e.U32(static_cast<DWORD>(fixed + (head + 3) / 4 * 4));
  e.U32(static_cast<DWORD>(op.dib->size() - head));
  e.U32(DIB_RGB_COLORS);
  e.U32(op.rop);
  e.I32(op.rect.right - op.rect.left);
  e.I32(op.rect.bottom - op.rect.top);
  e.out.insert(e.out.end(), op.dib->begin(), op.dib->begin() + static_cast<long>(head));
  while ((e.out.size() - at) % 4) e.out.push_back(0);
  e.out.insert(e.out.end(), op.dib->begin() + static_cast<long>(head), op.dib->end());
  e.End(at);
}

}  // namespace

EmfHeaderInfo EmfHeaderFor(const RecordingDc& dc, LONG frameWidth, LONG frameHeight) {
  EmfHeaderInfo h;
  h.frameWidth = frameWidth;
  h.frameHeight = frameHeight;
  h.devicePixels = {dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES)};
  h.deviceMillimeters = {dc.GetDeviceCaps(HORZSIZE), dc.GetDeviceCaps(VERTSIZE)};
  h.dpiX = dc.GetDeviceCaps(LOGPIXELSX);
  h.dpiY = dc.GetDeviceCaps(LOGPIXELSY);
  return h;
}

std::vector<BYTE> WriteEmf(const std::vector<DcOp>& ops, const EmfHeaderInfo& h) {
  Emf e;
  // Header (108 bytes with the extension fields) and its description.
  const char16_t desc[] = u"Tam\0Tam\0";  // plus the array's own terminator: 9 units
  const DWORD descChars = 9;
  auto header = e.Begin(EMR_HEADER);
  e.Rect(RECT{0, 0, -1, -1});  // bounds, filled in below
  e.Rect(RECT{0, 0, h.frameWidth, h.frameHeight});
  e.U32(0x464D4520);  // " EMF"
  e.U32(0x10000);
  e.U32(0);  // nBytes, filled in below
  e.U32(0);  // nRecords
  e.U32(kHandles);  // 16-bit handle count and the 16-bit reserved field
  e.U32(descChars);
  e.U32(108);
  e.U32(0);  // palette entries
  e.I32(h.devicePixels.cx);
  e.I32(h.devicePixels.cy);
  e.I32(h.deviceMillimeters.cx);
  e.I32(h.deviceMillimeters.cy);
  e.U32(0);  // no pixel format
  e.U32(0);
  e.U32(0);  // no OpenGL
  e.I32(h.deviceMillimeters.cx * 1000);
  e.I32(h.deviceMillimeters.cy * 1000);
  for (DWORD i = 0; i < descChars; ++i) {
    e.out.push_back(static_cast<BYTE>(desc[i]));
    e.out.push_back(static_cast<BYTE>(desc[i] >> 8));
  }
  e.End(header);

  StateWriter state(e);
  bool any = false;
  RECT device{};
  for (const DcOp& op : ops) {
    if (op.kind == DcOpKind::DrawFocusRect) continue;
    const RECT b = OpBounds(op);
    POINT c1 = op.state.LPtoDP({b.left, b.top}), c2 = op.state.LPtoDP({b.right, b.bottom});
    RECT d = Inclusive(RECT{c1.x, c1.y, c2.x, c2.y});
    // Boxes leave out their right and bottom edges; the header's bounds are inclusive.
    const bool box = op.kind != DcOpKind::LineTo && op.kind != DcOpKind::Polyline &&
                     op.kind != DcOpKind::Polygon && op.kind != DcOpKind::SetPixel && op.kind != DcOpKind::Text;
    if (box && d.right > d.left) --d.right;
    if (box && d.bottom > d.top) --d.bottom;
    if (!any) device = d;
    device = RECT{std::min(device.left, d.left), std::min(device.top, d.top), std::max(device.right, d.right),
                  std::max(device.bottom, d.bottom)};
    any = true;

    DcState s = op.state;
    if (op.kind == DcOpKind::FillRect) s.brush = op.brush;
    state.Sync(s);
    switch (op.kind) {
      case DcOpKind::LineTo: {
        state.MoveTo(op.points[0]);
        e.Pair(EMR_LINETO, op.points[1].x, op.points[1].y);
        state.MovedTo(op.points[1]);
        break;
      }
      case DcOpKind::Polyline: Points(e, EMR_POLYLINE, op.points, b); break;
      case DcOpKind::Polygon: Points(e, EMR_POLYGON, op.points, b); break;
      case DcOpKind::Rectangle:
      case DcOpKind::Ellipse: {
        auto at = e.Begin(op.kind == DcOpKind::Rectangle ? EMR_RECTANGLE : EMR_ELLIPSE);
        e.Rect(op.rect);
        e.End(at);
        break;
      }
      case DcOpKind::FillSolidRect: {
        DcOp t = op;
        t.kind = DcOpKind::Text;
        t.text.clear();
        t.dx.clear();
        t.flags = ETO_OPAQUE;
        t.hasRect = true;
        t.points = {POINT{op.rect.left, op.rect.top}};
        Text(e, t, b, h);
        break;
      }
      case DcOpKind::FillRect: BitBlt(e, op.rect, PATCOPY, b); break;
      case DcOpKind::PatBlt: BitBlt(e, op.rect, op.rop, b); break;
      case DcOpKind::InvertRect: BitBlt(e, op.rect, DSTINVERT, b); break;
      case DcOpKind::SetPixel: {
        auto at = e.Begin(EMR_SETPIXELV);
        e.I32(op.points[0].x);
        e.I32(op.points[0].y);
        e.U32(op.color);
        e.End(at);
        break;
      }
      case DcOpKind::Text: Text(e, op, b, h); break;
      case DcOpKind::StretchDIBits: StretchDib(e, op, b); break;
      case DcOpKind::DrawFocusRect: break;
    }
  }
  auto eof = e.Begin(EMR_EOF);
  e.U32(0);
  e.U32(16);
  e.U32(20);
  e.End(eof);

  if (any) {
    le::PutI32(e.out.data() + 8, device.left);
    le::PutI32(e.out.data() + 12, device.top);
    le::PutI32(e.out.data() + 16, device.right);
    le::PutI32(e.out.data() + 20, device.bottom);
  }
  le::PutU32(e.out.data() + 48, static_cast<DWORD>(e.out.size()));
  le::PutU32(e.out.data() + 52, e.records);
  return e.out;
}

}  // namespace plat
