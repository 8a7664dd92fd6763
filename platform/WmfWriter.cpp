#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Metafile.h"

namespace plat {
namespace {

enum : WORD {
  META_EOF = 0x0000,
  META_SETBKCOLOR = 0x0201,
  META_SETBKMODE = 0x0102,
  META_SETMAPMODE = 0x0103,
  META_SETPOLYFILLMODE = 0x0106,
  META_SETSTRETCHBLTMODE = 0x0107,
  META_SETTEXTCOLOR = 0x0209,
  META_SETWINDOWORG = 0x020B,
  META_SETWINDOWEXT = 0x020C,
  META_SETVIEWPORTORG = 0x020D,
  META_SETVIEWPORTEXT = 0x020E,
  META_LINETO = 0x0213,
  META_MOVETO = 0x0214,
  META_SELECTOBJECT = 0x012D,
  META_SETTEXTALIGN = 0x012E,
  META_DELETEOBJECT = 0x01F0,
  META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEFONTINDIRECT = 0x02FB,
  META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYGON = 0x0324,
  META_POLYLINE = 0x0325,
  META_ELLIPSE = 0x0418,
  META_RECTANGLE = 0x041B,
  META_SETPIXEL = 0x041F,
  META_PATBLT = 0x061D,
  META_EXTTEXTOUT = 0x0A32,
  META_STRETCHDIB = 0x0F43,
};

class Wmf {
 public:
  std::vector<BYTE> out;
  DWORD maxRecord = 0;

  std::size_t Begin(WORD function) {
    std::size_t at = out.size();
    U32(0);
    U16(function);
    return at;
  }
  void End(std::size_t at) {
    if (out.size() % 2) out.push_back(0);
    DWORD words = static_cast<DWORD>((out.size() - at) / 2);
    le::PutU32(out.data() + at, words);
    maxRecord = std::max(maxRecord, words);
  }
  void U16(WORD v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
  }
  void I16(int v) { U16(static_cast<WORD>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767)))); }
  void U32(DWORD v) {
    U16(static_cast<WORD>(v));
    U16(static_cast<WORD>(v >> 16));
  }
  void Words(WORD function, std::initializer_list<int> values) {
    auto at = Begin(function);
    for (int v : values) I16(v);
    End(at);
  }
  void Dword(WORD function, DWORD v) {
    auto at = Begin(function);
    U32(v);
    End(at);
  }
};

// Uniform scaling of every logical quantity into 16 bits.
struct Scaler {
  double s = 1;
  int operator()(LONG v) const { return static_cast<int>(std::lround(v * s)); }
};

class ObjectTable {
 public:
  int Create() {
    for (std::size_t i = 0; i < used_.size(); ++i)
      if (!used_[i]) {
        used_[i] = true;
        return static_cast<int>(i);
      }
    used_.push_back(true);
    return static_cast<int>(used_.size() - 1);
  }
  void Delete(int i) { used_[static_cast<std::size_t>(i)] = false; }
  int Size() const { return static_cast<int>(used_.size()); }

 private:
  std::vector<bool> used_;
};

class StateWriter {
 public:
  StateWriter(Wmf& w, Scaler k) : w_(w), k_(k) {}

  void Sync(const DcState& s) {
    if (s.mapMode != cur_.mapMode) {
      w_.Words(META_SETMAPMODE, {s.mapMode});
      cur_.mapMode = s.mapMode;
      extKnown_ = false;
    }
    if (s.mapMode == MM_ANISOTROPIC &&
        (!extKnown_ || s.windowExt.cx != cur_.windowExt.cx || s.windowExt.cy != cur_.windowExt.cy ||
         s.viewportExt.cx != cur_.viewportExt.cx || s.viewportExt.cy != cur_.viewportExt.cy)) {
      w_.Words(META_SETWINDOWEXT, {k_(s.windowExt.cy), k_(s.windowExt.cx)});
      w_.Words(META_SETVIEWPORTEXT, {k_(s.viewportExt.cy), k_(s.viewportExt.cx)});
      cur_.windowExt = s.windowExt;
      cur_.viewportExt = s.viewportExt;
      extKnown_ = true;
    }
    if (s.windowOrg.x != cur_.windowOrg.x || s.windowOrg.y != cur_.windowOrg.y) {
      w_.Words(META_SETWINDOWORG, {k_(s.windowOrg.y), k_(s.windowOrg.x)});
      cur_.windowOrg = s.windowOrg;
    }
    if (s.viewportOrg.x != cur_.viewportOrg.x || s.viewportOrg.y != cur_.viewportOrg.y) {
      w_.Words(META_SETVIEWPORTORG, {k_(s.viewportOrg.y), k_(s.viewportOrg.x)});
      cur_.viewportOrg = s.viewportOrg;
    }
    if (!penKnown_ || !(s.pen == cur_.pen)) SyncPen(s.pen);
    if (!brushKnown_ || !(s.brush == cur_.brush)) SyncBrush(s.brush);
    if (!(s.font == cur_.font) || !fontKnown_) SyncFont(s.font);
    if (s.textAlign != cur_.textAlign) w_.Dword(META_SETTEXTALIGN, cur_.textAlign = s.textAlign);
    if (s.textColor != cur_.textColor) w_.Dword(META_SETTEXTCOLOR, cur_.textColor = s.textColor);
    if (s.bkColor != cur_.bkColor) w_.Dword(META_SETBKCOLOR, cur_.bkColor = s.bkColor);
    if (s.bkMode != cur_.bkMode) w_.Dword(META_SETBKMODE, static_cast<DWORD>(cur_.bkMode = s.bkMode));
    if (s.polyFillMode != cur_.polyFillMode)
      w_.Dword(META_SETPOLYFILLMODE, static_cast<DWORD>(cur_.polyFillMode = s.polyFillMode));
    if (s.stretchBltMode != cur_.stretchBltMode)
      w_.Dword(META_SETSTRETCHBLTMODE, static_cast<DWORD>(cur_.stretchBltMode = s.stretchBltMode));
  }

  void MoveTo(POINT p) {
    if (cpKnown_ && p.x == cp_.x && p.y == cp_.y) return;
    w_.Words(META_MOVETO, {k_(p.y), k_(p.x)});
    cp_ = p;
    cpKnown_ = true;
  }
  void MovedTo(POINT p) {
    cp_ = p;
    cpKnown_ = true;
  }
  int Objects() const { return objects_.Size(); }

 private:
  // A metafile has no stock objects: every pen, brush and font is created, selected,
  // and the one it replaces deleted.
  void Swap(int& current, int created) {
    w_.Words(META_SELECTOBJECT, {created});
    if (current >= 0) {
      w_.Words(META_DELETEOBJECT, {current});
      objects_.Delete(current);
    }
    current = created;
  }
  void SyncPen(const CPen& p) {
    cur_.pen = p;
    penKnown_ = true;
    int id = objects_.Create();
    auto at = w_.Begin(META_CREATEPENINDIRECT);
    w_.U16(static_cast<WORD>(p.Style()));
    w_.I16(k_(p.Width()));
    w_.I16(0);
    w_.U32(p.Color());
    w_.End(at);
    Swap(pen_, id);
  }
  void SyncBrush(const CBrush& b) {
    cur_.brush = b;
    brushKnown_ = true;
    int id = objects_.Create();
    auto at = w_.Begin(META_CREATEBRUSHINDIRECT);
    w_.U16(static_cast<WORD>(b.Style()));
    w_.U32(b.Color());
    w_.U16(0);
    w_.End(at);
    Swap(brush_, id);
  }
  void SyncFont(const CFont& f) {
    cur_.font = f;
    fontKnown_ = true;
    const LOGFONT& lf = f.GetLogFont();
    int id = objects_.Create();
    auto at = w_.Begin(META_CREATEFONTINDIRECT);
    w_.I16(k_(lf.lfHeight));
    w_.I16(k_(lf.lfWidth));
    w_.I16(lf.lfEscapement);
    w_.I16(lf.lfOrientation);
    w_.I16(lf.lfWeight);
    w_.out.insert(w_.out.end(), {lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfOutPrecision,
                                 lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily});
    char face[LF_FACESIZE] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE - 1);
    w_.out.insert(w_.out.end(), face, face + LF_FACESIZE);
    w_.End(at);
    Swap(font_, id);
  }

  Wmf& w_;
  Scaler k_;
  DcState cur_;
  bool extKnown_ = false, penKnown_ = false, brushKnown_ = false, fontKnown_ = false;
  int pen_ = -1, brush_ = -1, font_ = -1;
  ObjectTable objects_;
  POINT cp_{};
  bool cpKnown_ = true;
};

void Box(Wmf& w, WORD function, const RECT& r, const Scaler& k) {
  w.Words(function, {k(r.bottom), k(r.right), k(r.top), k(r.left)});
}

void Text(Wmf& w, const DcOp& op, const Scaler& k) {
  auto at = w.Begin(META_EXTTEXTOUT);
  w.I16(k(op.points[0].y));
  w.I16(k(op.points[0].x));
  w.I16(static_cast<int>(op.text.size()));
  const bool rect = op.hasRect && (op.flags & (ETO_OPAQUE | ETO_CLIPPED));
  w.U16(static_cast<WORD>(rect ? op.flags & (ETO_OPAQUE | ETO_CLIPPED) : 0));
  if (rect) {
    w.I16(k(op.rect.left));
    w.I16(k(op.rect.top));
    w.I16(k(op.rect.right));
    w.I16(k(op.rect.bottom));
  }
  w.out.insert(w.out.end(), op.text.begin(), op.text.end());
  if (w.out.size() % 2) w.out.push_back(0);
  for (std::size_t i = 0; i < op.text.size(); ++i) w.I16(k(i < op.dx.size() ? op.dx[i] : 0));
  w.End(at);
}

void Points(Wmf& w, WORD function, const std::vector<POINT>& pts, const Scaler& k) {
  auto at = w.Begin(function);
  w.I16(static_cast<int>(pts.size()));
  for (const POINT& p : pts) {
    w.I16(k(p.x));
    w.I16(k(p.y));
  }
  w.End(at);
}

}  // namespace

double WmfScale(const std::vector<DcOp>& ops) {
  double m = 0;
  auto see = [&](double v) { m = std::max(m, std::fabs(v)); };
  auto seeRect = [&](const RECT& r) {
    see(r.left);
    see(r.top);
    see(r.right);
    see(r.bottom);
  };
  for (const DcOp& op : ops) {
    const DcState& s = op.state;
    see(s.windowOrg.x);
    see(s.windowOrg.y);
    see(s.viewportOrg.x);
    see(s.viewportOrg.y);
    if (s.mapMode == MM_ANISOTROPIC) {
      see(s.windowExt.cx);
      see(s.windowExt.cy);
      see(s.viewportExt.cx);
      see(s.viewportExt.cy);
    }
    for (const POINT& p : op.points) {
      see(p.x);
      see(p.y);
    }
    seeRect(op.rect);
    if (op.kind == DcOpKind::PatBlt || op.kind == DcOpKind::StretchDIBits) {
      see(op.rect.right - op.rect.left);
      see(op.rect.bottom - op.rect.top);
    }
  }
  return m > 32767 ? 32767 / m : 1.0;
}

std::vector<BYTE> WriteWmf(const std::vector<DcOp>& ops) {
  Wmf w;
  // METAHEADER: type 1 (disk), 9 words, version 3.0; sizes filled in below.
  w.U16(1);
  w.U16(9);
  w.U16(0x0300);
  w.U32(0);
  w.U16(0);
  w.U32(0);
  w.U16(0);

  Scaler k{WmfScale(ops)};
  StateWriter state(w, k);
  for (const DcOp& op : ops) {
    if (op.kind == DcOpKind::DrawFocusRect) continue;
    DcState s = op.state;
    if (op.kind == DcOpKind::FillRect) s.brush = op.brush;
    state.Sync(s);
    switch (op.kind) {
      case DcOpKind::LineTo:
        state.MoveTo(op.points[0]);
        w.Words(META_LINETO, {k(op.points[1].y), k(op.points[1].x)});
        state.MovedTo(op.points[1]);
        break;
      case DcOpKind::Polyline: Points(w, META_POLYLINE, op.points, k); break;
      case DcOpKind::Polygon: Points(w, META_POLYGON, op.points, k); break;
      case DcOpKind::Rectangle: Box(w, META_RECTANGLE, op.rect, k); break;
      case DcOpKind::Ellipse: Box(w, META_ELLIPSE, op.rect, k); break;
      case DcOpKind::FillSolidRect: {
        DcOp t = op;
        t.text.clear();
        t.dx.clear();
        t.flags = ETO_OPAQUE;
        t.hasRect = true;
        t.points = {POINT{op.rect.left, op.rect.top}};
        Text(w, t, k);
        break;
      }
      case DcOpKind::FillRect:
      case DcOpKind::PatBlt:
      case DcOpKind::InvertRect: {
        DWORD rop = op.kind == DcOpKind::FillRect ? PATCOPY : op.kind == DcOpKind::InvertRect ? DSTINVERT : op.rop;
        auto at = w.Begin(META_PATBLT);
        w.U32(rop);
        w.I16(k(op.rect.bottom) - k(op.rect.top));
        w.I16(k(op.rect.right) - k(op.rect.left));
        w.I16(k(op.rect.top));
        w.I16(k(op.rect.left));
        w.End(at);
        break;
      }
      case DcOpKind::SetPixel: {
        auto at = w.Begin(META_SETPIXEL);
        w.U32(op.color);
        w.I16(k(op.points[0].y));
        w.I16(k(op.points[0].x));
        w.End(at);
        break;
      }
      case DcOpKind::Text: Text(w, op, k); break;
      case DcOpKind::StretchDIBits: {
        if (!op.dib) break;
        auto at = w.Begin(META_STRETCHDIB);
        w.U32(op.rop);
        w.U16(DIB_RGB_COLORS);
        w.I16(op.src.bottom - op.src.top);
        w.I16(op.src.right - op.src.left);
        w.I16(op.src.top);
        w.I16(op.src.left);
        w.I16(k(op.rect.bottom) - k(op.rect.top));
        w.I16(k(op.rect.right) - k(op.rect.left));
        w.I16(k(op.rect.top));
        w.I16(k(op.rect.left));
        w.out.insert(w.out.end(), op.dib->begin(), op.dib->end());
        w.End(at);
        break;
      }
      case DcOpKind::DrawFocusRect: break;
    }
  }
  auto eof = w.Begin(META_EOF);
  w.End(eof);

  le::PutU32(w.out.data() + 6, static_cast<DWORD>(w.out.size() / 2));
  le::PutU16(w.out.data() + 10, static_cast<WORD>(state.Objects()));
  le::PutU32(w.out.data() + 12, w.maxRecord);
  return w.out;
}

}  // namespace plat
