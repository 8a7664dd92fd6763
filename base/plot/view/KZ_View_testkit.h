// Tests of page layout: a page recorded with the real fonts (the Liberation faces that
// stand in for the Windows fonts) at a given resolution, and the texts that collide with
// each other or leave the page; and a page picture compared with the same page drawn
// the plain way.
#pragma once
#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/plot/view/KZ_View.h"
#include "platform/RecordingDc.h"
#include "platform/qt/QtDc.h"

namespace kz_test {

// A page picture against the same page drawn through the painter alone, without the
// device context's raster shortcuts: the pixels inked in the plain drawing, and the
// pixels whose colour channels differ by more than `tolerance`.
struct PictureDifference {
  long inked = 0, differ = 0;
};
// The page drawn through the painter alone into a white image of `size`.
inline QImage DrawPlain(KZ_View& view, QSize size) {
  QImage plain(size, QImage::Format_RGB32);
  plain.fill(Qt::white);
  {
    plat::CImageDC dc(&plain, view.LogPixelsX(), view.LogPixelsY());
    dc.Qt()->SetRasterShortcuts(false);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
  }
  return plain;
}
inline PictureDifference CompareWithPlainDrawing(KZ_View& view, const QImage& drawn,
                                                 int tolerance = 0) {
  PictureDifference d;
  if (drawn.isNull()) return d;
  const QImage plain = DrawPlain(view, drawn.size());
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      const QRgb a = drawn.pixel(x, y), b = plain.pixel(x, y);
      d.inked += (b & 0xFFFFFF) != 0xFFFFFF;
      d.differ += std::abs(qRed(a) - qRed(b)) > tolerance ||
                  std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                  std::abs(qBlue(a) - qBlue(b)) > tolerance;
    }
  return d;
}

// The page as the picture export records it: MM_HIMETRIC, the view font scaled to the
// device, text measured with the fonts the screen (or a printer of that resolution)
// would use.
inline std::unique_ptr<plat::RecordingDc> RecordPageWithRealFonts(KZ_View& view, int dpi = 96,
                                                                  bool printing = false) {
  static QImage screen(1, 1, QImage::Format_RGB32);
  auto qt = std::make_shared<plat::QtPainterDevice>(&screen, dpi, dpi);
  plat::RecordingOptions o;
  o.dpiX = o.dpiY = dpi;
  o.printing = printing;
  o.horzRes = dpi * 17;  // an A4 page
  o.vertRes = dpi * 23;
  o.metrics = [qt](const plat::DcState& s) { return qt->GetTextMetrics(s); };
  o.textWidth = [qt](const plat::DcState& s, const std::string& t) {
    return qt->GetTextWidth(s, t);
  };
  auto dc = std::make_unique<plat::RecordingDc>(o);
  dc->SetMapMode(MM_HIMETRIC);
  view.DrawWithViewFont(dc.get());
  return dc;
}

namespace detail {

using Quad = std::array<POINT, 4>;

// Whether two convex quadrilaterals overlap by more than `tol` along every separating
// direction (their edges' normals).
inline bool Overlap(const Quad& a, const Quad& b, double tol) {
  for (const Quad* q : {&a, &b}) {
    for (int i = 0; i < 4; ++i) {
      const POINT p = (*q)[i], r = (*q)[(i + 1) % 4];
      double nx = -(r.y - p.y), ny = r.x - p.x;
      const double len = std::hypot(nx, ny);
      if (len == 0) continue;
      nx /= len;
      ny /= len;
      auto span = [&](const Quad& s, double* lo, double* hi) {
        *lo = 1e300;
        *hi = -1e300;
        for (const POINT& v : s) {
          const double d = v.x * nx + v.y * ny;
          *lo = std::min(*lo, d);
          *hi = std::max(*hi, d);
        }
      };
      double alo, ahi, blo, bhi;
      span(a, &alo, &ahi);
      span(b, &blo, &bhi);
      if (std::min(ahi, bhi) - std::max(alo, blo) <= tol) return false;
    }
  }
  return true;
}

inline bool SameBox(const Quad& a, const Quad& b) {
  for (int i = 0; i < 4; ++i)
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  return true;
}

inline bool Blank(const std::string& t) {
  return t.find_first_not_of(" \t\r\n") == std::string::npos;
}

inline std::string Describe(const plat::DcOp& op) {
  const auto& b = op.textBox;
  return "\"" + op.text + "\" at (" + std::to_string(b[0].x) + ", " + std::to_string(b[0].y) +
         ")-(" + std::to_string(b[2].x) + ", " + std::to_string(b[2].y) + ")";
}

}  // namespace detail

// Every pair of texts whose boxes overlap by more than `tol` logical units, and every
// text that reaches outside the page (0..width, 0..-height, y up). The same text drawn
// twice in the same place counts once; blank texts are ignored.
inline std::vector<std::string> TextLayoutFaults(const plat::RecordingDc& dc, int width, int height,
                                                 double tol = 30) {
  std::vector<const plat::DcOp*> texts;
  for (const plat::DcOp* op : dc.OpsOf(plat::DcOpKind::Text)) {
    if (detail::Blank(op->text)) continue;
    const bool repeated = std::any_of(texts.begin(), texts.end(), [&](const plat::DcOp* o) {
      return o->text == op->text && detail::SameBox(o->textBox, op->textBox);
    });
    if (!repeated) texts.push_back(op);
  }
  std::vector<std::string> faults;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (const POINT& p : texts[i]->textBox) {
      if (p.x < -tol || p.x > width + tol || p.y > tol || p.y < -height - tol) {
        faults.push_back("off the page: " + detail::Describe(*texts[i]));
        break;
      }
    }
    for (std::size_t j = i + 1; j < texts.size(); ++j)
      if (detail::Overlap(texts[i]->textBox, texts[j]->textBox, tol))
        faults.push_back("overlap: " + detail::Describe(*texts[i]) + " and " +
                         detail::Describe(*texts[j]));
  }
  return faults;
}

// The faults of the view's page at screen resolution and on a 600-dpi printer.
inline std::vector<std::string> PageTextFaults(KZ_View& view) {
  std::vector<std::string> all;
  for (const bool print : {false, true}) {
    const auto dc = RecordPageWithRealFonts(view, print ? 600 : 96, print);
    const SIZE page = print ? view.PrintExtent() : SIZE{view.m_nScrollW, view.m_nScrollH};
    for (std::string& f : TextLayoutFaults(*dc, page.cx, page.cy))
      all.push_back((print ? "print: " : "screen: ") + f);
  }
  return all;
}

}  // namespace kz_test
