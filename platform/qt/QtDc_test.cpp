#include "platform/qt/QtDc.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "platform/qt/testing/QtTestApp.h"

namespace plat {
namespace {

class QtDcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApp();
    image = QImage(400, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
  }
  // Colour of a pixel as COLORREF-like components, for tolerant comparisons.
  bool Near(int x, int y, COLORREF c, int tol = 40) const {
    QRgb p = image.pixel(x, y);
    return std::abs(qRed(p) - GetRValue(c)) <= tol && std::abs(qGreen(p) - GetGValue(c)) <= tol &&
           std::abs(qBlue(p) - GetBValue(c)) <= tol;
  }
  bool White(int x, int y) const { return Near(x, y, RGB(255, 255, 255), 10); }
  // Bounding box of the pixels that are not white.
  QRect Ink(const QImage& img) const {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) box |= QRect(x, y, 1, 1);
    return box;
  }
  // On failure: the picture drawn, the expected one and their difference (red where
  // they differ), as test artefacts.
  void SaveDiff(const std::string& name, const QImage& expected) const {
    QImage diff = expected.copy();
    for (int y = 0; y < diff.height(); ++y)
      for (int x = 0; x < diff.width(); ++x)
        if (image.pixel(x, y) != expected.pixel(x, y)) diff.setPixel(x, y, qRgb(255, 0, 0));
    const std::string base = std::string(TV_TEST_TMPDIR) + "/" + name;
    image.save(QString::fromStdString(base + "-drawn.png"));
    expected.save(QString::fromStdString(base + "-expected.png"));
    diff.save(QString::fromStdString(base + "-diff.png"));
  }
  QImage image;
};

TEST_F(QtDcTest, HimetricPutsThePageTopLeftAtTheOriginWithYUp) {
  CImageDC dc(&image, 96, 96);
  dc.SetMapMode(MM_HIMETRIC);
  // One inch square below and right of the origin: 96 x 96 pixels from (0, 0).
  dc.FillSolidRect(RECT{0, 0, 2540, -2540}, RGB(0, 0, 255));
  // A hair line half an inch further down, from x = 1.5 in to 3 in.
  dc.MoveTo(3810, -3810);
  dc.LineTo(7620, -3810);
  dc.Qt()->End();
  EXPECT_TRUE(Near(1, 1, RGB(0, 0, 255)));
  EXPECT_TRUE(Near(95, 95, RGB(0, 0, 255)));
  EXPECT_TRUE(White(97, 97));
  EXPECT_TRUE(Near(200, 144, RGB(0, 0, 0)));  // 1.5 in down = 144 px
  EXPECT_TRUE(White(200, 141));
  EXPECT_TRUE(White(200, 147));
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 96);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 400);
}

// GDI leaves out the right and bottom edge; without a pen the fill loses one more.
TEST_F(QtDcTest, RectangleAndEllipseEdgeRules) {
  CImageDC dc(&image);
  dc.SelectObject(CBrush(RGB(255, 0, 0)));
  dc.Rectangle(10, 10, 20, 20);
  dc.SelectObject(CPen::Stock(NULL_PEN));
  dc.Rectangle(30, 10, 40, 20);
  // A box given bottom-up draws the same.
  dc.SelectObject(CPen::Stock(BLACK_PEN));
  dc.Ellipse(50, 40, 90, 10);
  dc.Qt()->End();
  struct Probe {
    int x, y;
    COLORREF c;
    bool white;
  } probes[] = {
      {10, 10, RGB(0, 0, 0), false},
      {19, 19, RGB(0, 0, 0), false},
      {19, 14, RGB(0, 0, 0), false},
      {20, 14, 0, true},
      {14, 20, 0, true},
      {15, 15, RGB(255, 0, 0), false},
      {30, 10, RGB(255, 0, 0), false},
      {38, 18, RGB(255, 0, 0), false},
      {39, 15, 0, true},
      {35, 19, 0, true},
      {70, 25, RGB(255, 0, 0), false},
      {70, 10, RGB(0, 0, 0), false},
      {70, 40, 0, true},
      {50, 12, 0, true},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(::testing::Message() << "pixel " << p.x << "," << p.y);
    if (p.white)
      EXPECT_TRUE(White(p.x, p.y));
    else
      EXPECT_TRUE(Near(p.x, p.y, p.c));
  }
}

TEST_F(QtDcTest, PenWidthsScaleWithTheMappingAndWideStyledPensDrawSolid) {
  CImageDC dc(&image, 96, 96);
  dc.SetMapMode(MM_HIMETRIC);
  // 100 units (1 mm) is about 4 pixels at 96 dpi.
  dc.SelectObject(CPen(PS_DOT, 100, RGB(0, 0, 0)));
  dc.MoveTo(254, -254);  // y = 10 px
  dc.LineTo(7620, -254);
  // The same dotted pen one pixel wide has gaps.
  dc.SelectObject(CPen(PS_DOT, 0, RGB(0, 0, 0)));
  dc.MoveTo(254, -2540);  // y = 96 px
  dc.LineTo(7620, -2540);
  dc.Qt()->End();
  EXPECT_TRUE(Near(100, 11, 0));
  EXPECT_TRUE(Near(100, 9, 0));
  EXPECT_TRUE(White(100, 15));
  int wideInk = 0, thinInk = 0;
  for (int x = 20; x < 280; ++x) {
    wideInk += !White(x, 10);
    thinInk += !White(x, 96);
  }
  EXPECT_EQ(wideInk, 260);
  EXPECT_GT(thinInk, 40);
  EXPECT_LT(thinInk, 220);
}

TEST_F(QtDcTest, OpaqueTextFillsItsBoxAndTransparentTextDoesNot) {
  CImageDC dc(&image);
  LOGFONT lf{};
  lf.lfHeight = -20;
  lf.lfWeight = FW_NORMAL;
  std::snprintf(lf.lfFaceName, LF_FACESIZE, "Arial");
  CFont font;
  font.CreateFontIndirect(lf);
  dc.SelectObject(font);
  dc.SetBkColor(RGB(0, 255, 0));
  SIZE ext = dc.GetTextExtent("Wave  page");
  dc.TextOut(20, 20, "Wave  page");
  dc.SetBkMode(TRANSPARENT);
  dc.TextOut(20, 120, "Wave  page");
  dc.Qt()->End();
  // The gap between the words is background in the opaque line only.
  int green = 0, greenTransparent = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      if (!Near(x, y, RGB(0, 255, 0), 10)) continue;
      (y < 100 ? green : greenTransparent)++;
    }
  EXPECT_GT(green, ext.cx * ext.cy / 3);
  EXPECT_EQ(greenTransparent, 0);
  EXPECT_TRUE(Near(20, 20, RGB(0, 255, 0), 10));
  EXPECT_TRUE(Near(20 + ext.cx - 1, 20 + ext.cy - 1, RGB(0, 255, 0), 10));
  EXPECT_TRUE(White(20 + ext.cx + 2, 20 + ext.cy / 2));
}

TEST_F(QtDcTest, TextStandsUprightAndTurnsWithTheEscapement) {
  struct Case {
    int escapement;
    bool tallerThanWide;
  } cases[] = {{0, false}, {900, true}, {-900, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escapement);
    image.fill(Qt::white);
    CImageDC dc(&image, 96, 96);
    dc.SetMapMode(MM_HIMETRIC);
    LOGFONT lf{};
    lf.lfHeight = -414;
    lf.lfEscapement = lf.lfOrientation = c.escapement;
    std::snprintf(lf.lfFaceName, LF_FACESIZE, "Times New Roman");
    CFont font;
    font.CreateFontIndirect(lf);
    dc.SelectObject(font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextAlign(TA_BASELINE | TA_LEFT);
    // Reference point at (200, 150) pixels.
    dc.TextOut(200 * 2540 / 96, -150 * 2540 / 96, "Amplitude");
    dc.Qt()->End();
    QRect ink = Ink(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_EQ(ink.height() > ink.width(), c.tallerThanWide);
    if (c.escapement == 0) {  // upright: the glyphs stand above the baseline, to the right
      EXPECT_LE(ink.bottom(), 155);
      EXPECT_LT(ink.top(), 145);
      EXPECT_GE(ink.left(), 199);
    } else if (c.escapement == 900) {  // reads upwards, glyph tops to the left
      EXPECT_LE(ink.bottom(), 152);
      EXPECT_LE(ink.right(), 206);  // only descenders pass the baseline
      EXPECT_LT(ink.left(), 190);
    } else {  // reads downwards, glyph tops to the right
      EXPECT_GE(ink.top(), 148);
      EXPECT_GE(ink.left(), 194);
      EXPECT_GT(ink.right(), 210);
    }
  }
}

TEST_F(QtDcTest, TextMetricsComeFromTheFontInLogicalUnits) {
  CImageDC dc(&image, 96, 96);
  dc.SetMapMode(MM_HIMETRIC);
  LOGFONT lf{};
  lf.lfHeight = -414;
  std::snprintf(lf.lfFaceName, LF_FACESIZE, "Times New Roman");
  CFont font;
  font.CreateFontIndirect(lf);
  dc.SelectObject(font);
  TEXTMETRIC tm{};
  ASSERT_TRUE(dc.GetTextMetrics(&tm));
  EXPECT_GE(tm.tmHeight, 414);
  EXPECT_LE(tm.tmHeight, 560);
  EXPECT_GT(tm.tmAscent, 2 * tm.tmDescent);
  EXPECT_GT(dc.GetTextExtent("WWWW").cx, 2 * dc.GetTextExtent("iiii").cx);
  EXPECT_EQ(dc.GetTextExtent("").cx, 0);
}

TEST_F(QtDcTest, InvertAndFocusRectangleUndoThemselves) {
  CImageDC dc(&image);
  dc.FillSolidRect(RECT{0, 0, 50, 50}, RGB(10, 200, 30));
  QImage before = image.copy();
  dc.InvertRect(RECT{20, 20, 80, 80});
  dc.Qt()->End();
  EXPECT_TRUE(Near(25, 25, RGB(245, 55, 225), 2));
  EXPECT_TRUE(Near(60, 60, RGB(0, 0, 0), 2));
  EXPECT_TRUE(Near(80, 80, RGB(255, 255, 255), 2));
  dc.InvertRect(RECT{20, 20, 80, 80});
  dc.DrawFocusRect(RECT{5, 5, 45, 45});
  dc.Qt()->End();
  EXPECT_NE(image, before);
  dc.DrawFocusRect(RECT{5, 5, 45, 45});
  dc.Qt()->End();
  EXPECT_EQ(image, before);
}

TEST_F(QtDcTest, DibBlitsKeepTheirOrientationOnAYUpPage) {
  // 2 x 2 bottom-up 24-bit DIB: bottom row red, green; top row blue, white.
  MemBlock dib(BITMAPINFOHEADER::kSize + 2 * 8);
  BITMAPINFOHEADER h;
  h.biWidth = 2;
  h.biHeight = 2;
  h.biBitCount = 24;
  WriteInfoHeader(h, dib.data());
  BYTE* bits = dib.data() + BITMAPINFOHEADER::kSize;
  const BYTE rows[2][6] = {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}};
  std::memcpy(bits, rows[0], 6);
  std::memcpy(bits + 8, rows[1], 6);
  CImageDC dc(&image, 96, 96);
  dc.SetMapMode(MM_HIMETRIC);
  // 100 x 100 pixels at (96, 96): logical x 2540..(2540 + 2646), y -2540 downwards.
  dc.StretchDIBits(2540, -2540, 2646, -2646, 0, 0, 2, 2, bits, dib.data(), DIB_RGB_COLORS, SRCCOPY);
  dc.Qt()->End();
  EXPECT_TRUE(Near(110, 110, RGB(0, 0, 255), 5));  // top-left: blue
  EXPECT_TRUE(Near(180, 110, RGB(255, 255, 255), 5));
  EXPECT_TRUE(Near(110, 180, RGB(255, 0, 0), 5));  // bottom-left: red
  EXPECT_TRUE(Near(180, 180, RGB(0, 255, 0), 5));
  QImage back = PackedDibToImage(dib.data(), dib.Size());
  ASSERT_EQ(back.size(), QSize(2, 2));
  EXPECT_EQ(back.pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
  MemBlock again = ImageToPackedDib(back);
  EXPECT_EQ(PackedDibToImage(again.data(), again.Size()), back);
}

TEST_F(QtDcTest, MemoryBitmapDcPaintsIntoTheBitmapForAPackedDib) {
  CImageDC screen(&image, 96, 96);
  CDC mem;
  ASSERT_TRUE(mem.CreateCompatibleDC(&screen));
  CBitmap bmp;
  ASSERT_TRUE(bmp.CreateCompatibleBitmap(&screen, 60, 40));
  CBitmap old = mem.SelectObject(bmp);
  mem.PatBlt(0, 0, 60, 40, WHITENESS);
  mem.SetMapMode(MM_HIMETRIC);
  mem.SelectObject(CBrush(RGB(0, 0, 200)));
  mem.SelectObject(CPen::Stock(NULL_PEN));
  mem.Ellipse(0, 0, 2540 * 40 / 96, -2540 * 40 / 96);  // a 40-pixel disc at the top-left
  mem.SelectObject(old);
  MemBlock dib = bmp.ToPackedDib(24);
  QImage pic = PackedDibToImage(dib.data(), dib.Size());
  ASSERT_EQ(pic.size(), QSize(60, 40));
  EXPECT_EQ(pic.pixel(20, 20) & 0xFFFFFF, 0x0000C8u);
  EXPECT_EQ(pic.pixel(55, 20) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(pic.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

// Ink pixels of `a` with no ink pixel of `b` in their 3 x 3 neighbourhood.
int InkFartherThanOnePixel(const QImage& a, const QImage& b) {
  auto ink = [](const QImage& img, int x, int y) {
    return x >= 0 && y >= 0 && x < img.width() && y < img.height() &&
           (img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  };
  int far = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      if (!ink(a, x, y)) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
        for (int dx = -1; dx <= 1 && !near; ++dx) near = ink(b, x + dx, y + dy);
      far += !near;
    }
  return far;
}

// Dense curves drawn through the DC (thinned or drawn as per-column spans on raster
// devices) stay within one pixel of the full curve drawn segment by segment, both ways:
// no pixel added far from the line, no part of the line lost.
TEST_F(QtDcTest, DensePolylinesStayWithinOnePixelOfTheDrawnLine) {
  struct Case {
    const char* name;
    int n;
    double (*x)(double t);
    double (*y)(double t);
  };
  const Case cases[] = {
      // smooth oscillation, 50 points per column
      {"smooth", 20000, [](double t) { return 10 + 380 * t; },
       [](double t) { return 150 + 120 * std::sin(t * 90) * std::cos(t * 7); }},
      // a noisy series, about 4 points per column jumping over half the height
      {"noisy", 1500, [](double t) { return 20 + 360 * t; },
       [](double t) { return 150 + 60 * std::sin(t * 9) + 70 * std::sin(t * 1500 * 1.7); }},
      // the same drawn right to left
      {"leftward", 1500, [](double t) { return 380 - 360 * t; },
       [](double t) { return 150 + 60 * std::sin(t * 9) + 70 * std::sin(t * 1500 * 1.7); }},
      // crowded stretches joined by steps over many columns
      {"gaps", 3000, [](double t) { return 10 + 330 * t + (t > 0.5 ? 3 : 0) + (t > 0.8 ? 40 : 0); },
       [](double t) { return 150 + 100 * std::sin(t * 400); }},
      // turns back in x: drawn as segments
      {"loops", 20000, [](double t) { return 200 + 150 * std::sin(t * 40); },
       [](double t) { return 150 + 120 * std::cos(t * 31); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    image.fill(Qt::white);
    std::vector<POINT> pts;
    for (int i = 0; i < c.n; ++i) {
      const double t = i / static_cast<double>(c.n);
      pts.push_back(POINT{static_cast<LONG>(c.x(t)), static_cast<LONG>(c.y(t))});
    }
    CImageDC dc(&image);
    dc.Polyline(pts.data(), static_cast<int>(pts.size()));
    dc.Qt()->End();
    QImage ref(image.size(), QImage::Format_RGB32);
    ref.fill(Qt::white);
    {
      QPainter p(&ref);
      QPen pen(Qt::black);
      pen.setWidth(1);
      pen.setCapStyle(Qt::FlatCap);
      p.setPen(pen);
      QPolygonF poly;
      for (const POINT& pt : pts) poly << QPointF(pt.x, pt.y);
      p.drawPolyline(poly);
    }
    int ink = 0;
    for (int y = 0; y < ref.height(); ++y)
      for (int x = 0; x < ref.width(); ++x) ink += (ref.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(InkFartherThanOnePixel(image, ref), 0);
    EXPECT_EQ(InkFartherThanOnePixel(ref, image), 0);
    if (HasFailure()) SaveDiff(std::string("dense-polyline-") + c.name, ref);
  }
}

// Small discs are stamped from one drawing per size and colours: the stamps have the
// pixels of drawing each disc in its place.
TEST_F(QtDcTest, StampedSmallEllipsesMatchDrawnOnes) {
  struct Disc {
    int x, y, w, h;
    bool pen;
    COLORREF fill;
  };
  std::vector<Disc> discs;
  unsigned seed = 7;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
  };
  for (int i = 0; i < 300; ++i)
    discs.push_back({next(380), next(280), 2 + next(20), 2 + next(20), next(2) == 0,
                     RGB(next(2) * 255, 100, next(2) * 255)});
  CImageDC dc(&image);
  for (const Disc& c : discs) {
    dc.SelectObject(c.pen ? CPen(PS_SOLID, 0, RGB(0, 0, 0)) : CPen::Stock(NULL_PEN));
    dc.SelectObject(CBrush(c.fill));
    dc.Ellipse(c.x, c.y, c.x + c.w, c.y + c.h);
  }
  dc.Qt()->End();
  QImage ref(image.size(), QImage::Format_RGB32);
  ref.fill(Qt::white);
  {
    QPainter p(&ref);
    for (const Disc& c : discs) {
      QPen pen(Qt::black);
      pen.setWidth(1);
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::RoundJoin);
      p.setPen(c.pen ? pen : QPen(Qt::NoPen));
      p.setBrush(QColor(GetRValue(c.fill), GetGValue(c.fill), GetBValue(c.fill)));
      p.drawEllipse(QRectF(c.x, c.y, c.w - 1, c.h - 1));
    }
  }
  int differ = 0;
  for (int y = 0; y < ref.height(); ++y)
    for (int x = 0; x < ref.width(); ++x) differ += image.pixel(x, y) != ref.pixel(x, y);
  // Qt flattens curves in absolute coordinates, so a stamp may differ by the odd edge
  // pixel; a misplaced stamp would differ by thousands.
  EXPECT_LE(differ, 20);
  if (HasFailure()) SaveDiff("stamped-ellipses", ref);
}

// The raster shortcuts (fills and one-pixel lines along rows and columns written straight
// into the pixels, discs copied from their sprites) draw what the painter draws: a scene
// of many such primitives, partly off the picture, interleaved with diagonal lines and
// wide pens, in device and page units, into a window image and a memory bitmap.
TEST_F(QtDcTest, RasterShortcutsDrawWhatThePainterDraws) {
  unsigned seed = 11;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
  };
  auto scene = [&](CDC& dc, bool himetric, bool discs) {
    seed = 11;
    const int k = himetric ? 26 : 1;  // page units per pixel, about, at 96 dpi
    if (himetric) dc.SetMapMode(MM_HIMETRIC);
    auto X = [&] { return (next(440) - 20) * k; };
    auto Y = [&] { return himetric ? -(next(340) - 20) * k : next(340) - 20; };
    for (int i = 0; i < 3000; ++i) {
      const COLORREF c = RGB(next(4) * 85, next(4) * 85, next(4) * 85);
      const int what = next(discs ? 8 : 6), x = X(), y = Y(), len = (next(40) - 20) * k;
      switch (what) {
        case 0:
          dc.FillSolidRect(x, y, next(30) * k, next(30) * k * (himetric ? -1 : 1), c);
          break;
        case 1:
          dc.FillRect(RECT{x, y, x + len, y + len}, CBrush(c));
          break;
        case 2:
        case 3: {
          dc.SelectObject(CPen(PS_SOLID, next(3) == 0 ? 3 * k : 0, c));
          dc.MoveTo(x, y);
          if (what == 2)
            dc.LineTo(x + len, y);
          else
            dc.LineTo(x, y + len);
          break;
        }
        case 4: {
          const POINT pts[2] = {{x, y}, {x + len, y + (next(2) ? len / 2 : 0)}};
          dc.SelectObject(CPen(next(4) == 0 ? PS_DOT : PS_SOLID, 0, c));
          dc.Polyline(pts, 2);
          break;
        }
        case 5:
          dc.SelectObject(CPen(PS_SOLID, 0, c));
          dc.MoveTo(x, y);
          dc.LineTo(x, y);  // nothing to draw
          break;
        default: {
          dc.SelectObject(next(2) ? CPen(PS_SOLID, 0, RGB(0, 0, 0)) : CPen::Stock(NULL_PEN));
          dc.SelectObject(next(3) ? CBrush(c) : CBrush::Stock(NULL_BRUSH));
          const int d = (2 + next(18)) * k;
          dc.Ellipse(x, y, x + d, y + d * (himetric ? -1 : 1));
          break;
        }
      }
    }
  };
  auto differing = [](const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
  };
  for (const bool himetric : {false, true})
    for (const bool discs : {false, true}) {
      SCOPED_TRACE(std::string(himetric ? "page units" : "pixels") + (discs ? ", discs" : ""));
      QImage plain(image.size(), QImage::Format_ARGB32_Premultiplied);
      plain.fill(Qt::white);
      image.fill(Qt::white);
      {
        CImageDC dc(&image);
        scene(dc, himetric, discs);
      }
      {
        CImageDC dc(&plain);
        dc.Qt()->SetRasterShortcuts(false);
        scene(dc, himetric, discs);
      }
      // Through a memory DC onto a bitmap, as pages are rendered to pictures.
      QImage memory;
      {
        CImageDC ref(&image);
        CDC mem;
        CBitmap bitmap;
        ASSERT_TRUE(mem.CreateCompatibleDC(&ref));
        ASSERT_TRUE(bitmap.CreateBitmap(image.width(), image.height()));
        mem.SelectObject(bitmap);
        mem.PatBlt(0, 0, image.width(), image.height(), WHITENESS);
        scene(mem, himetric, discs);
        mem.SelectObject(CBitmap());
        auto bits = bitmap.Bits();
        memory = QImage(reinterpret_cast<const uchar*>(bits->pixels.data()), bits->width,
                        bits->height, bits->width * 4, QImage::Format_RGB32)
                     .copy();
      }
      const QImage reference = plain.convertToFormat(QImage::Format_RGB32);
      // Fills and lines to the pixel; discs drawn in place may differ from their stamps by
      // the odd edge pixel (see above).
      const int allowed = discs ? 40 : 0;
      EXPECT_LE(differing(image, reference), allowed);
      EXPECT_LE(differing(memory, reference), allowed);
      EXPECT_LE(differing(memory, image), 0);
      if (HasFailure()) {
        SaveDiff(std::string("shortcuts-") + (himetric ? "himetric" : "pixels") +
                     (discs ? "-discs" : ""),
                 reference);
        return;
      }
    }
}

}  // namespace
}  // namespace plat
