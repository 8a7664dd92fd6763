#include <gtest/gtest.h>

#include <cmath>

#include "platform/ByteOrder.h"
#include "platform/CDC.h"
#include "platform/RecordingDc.h"

using plat::CBitmap;
using plat::CBrush;
using plat::CFont;
using plat::CPen;
using plat::DcOpKind;
using plat::RecordingDc;
using plat::RecordingOptions;

namespace {

RecordingOptions Printer600() {
  RecordingOptions o;
  o.dpiX = o.dpiY = 600;
  o.printing = true;
  return o;
}

CFont Font(int height, int escapement = 0) {
  CFont f;
  f.CreateFont(height, 0, escapement, escapement, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
  return f;
}

}  // namespace

TEST(CDC, StartsInGdisDefaultState) {
  RecordingDc dc;
  const auto& s = dc.State();
  EXPECT_EQ(dc.GetMapMode(), MM_TEXT);
  EXPECT_EQ(dc.GetCurrentPen().StockIndex(), BLACK_PEN);
  EXPECT_EQ(dc.GetCurrentPen().Style(), PS_SOLID);
  EXPECT_EQ(dc.GetCurrentPen().Width(), 0);
  EXPECT_EQ(dc.GetCurrentPen().Color(), RGB(0, 0, 0));
  EXPECT_EQ(dc.GetCurrentBrush().StockIndex(), WHITE_BRUSH);
  EXPECT_EQ(dc.GetCurrentBrush().Color(), RGB(255, 255, 255));
  EXPECT_EQ(dc.GetCurrentFont().StockIndex(), SYSTEM_FONT);
  EXPECT_EQ(dc.GetTextAlign(), TA_LEFT | TA_TOP);
  EXPECT_EQ(dc.GetTextColor(), RGB(0, 0, 0));
  EXPECT_EQ(dc.GetBkColor(), RGB(255, 255, 255));
  EXPECT_EQ(dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(s.polyFillMode, ALTERNATE);
  EXPECT_EQ(dc.GetStretchBltMode(), BLACKONWHITE);
  EXPECT_EQ(s.rop2, R2_COPYPEN);
  EXPECT_EQ(dc.GetCurrentPosition().x, 0);
  EXPECT_EQ(dc.GetWindowExt().cx, 1);
  EXPECT_EQ(dc.GetViewportOrg().y, 0);
  POINT p{7, -3};
  dc.LPtoDP(&p);
  EXPECT_EQ(p.x, 7);
  EXPECT_EQ(p.y, -3);
  // A line drawn at once uses the default pen: black, one pixel.
  dc.LineTo(10, 10);
  ASSERT_EQ(dc.Ops().size(), 1u);
  EXPECT_EQ(dc.Ops()[0].points[0].x, 0);
  EXPECT_EQ(dc.Ops()[0].penPixels, 1);
}

TEST(CDC, SelectObjectReturnsThePreviousObjectAndRestoreDcRestoresState) {
  RecordingDc dc;
  CPen red(PS_SOLID, 20, RGB(255, 0, 0));
  CPen old = dc.SelectObject(red);
  EXPECT_EQ(old.StockIndex(), BLACK_PEN);
  CPen was = dc.SelectObject(CPen::Stock(NULL_PEN));
  EXPECT_EQ(was, red);
  EXPECT_EQ(dc.SelectObject(old).Style(), PS_NULL);
  EXPECT_EQ(dc.GetCurrentPen(), old);

  CBrush grey(RGB(128, 128, 128));
  EXPECT_EQ(dc.SelectObject(grey).StockIndex(), WHITE_BRUSH);
  EXPECT_EQ(dc.SelectObject(Font(-414)).StockIndex(), SYSTEM_FONT);

  int level = dc.SaveDC();
  EXPECT_EQ(level, 1);
  dc.SetMapMode(MM_HIMETRIC);
  dc.SelectObject(CBrush::Stock(NULL_BRUSH));
  dc.SetTextAlign(TA_BASELINE | TA_CENTER);
  dc.SetBkMode(TRANSPARENT);
  EXPECT_EQ(dc.SaveDC(), 2);
  dc.SetTextColor(RGB(1, 2, 3));
  EXPECT_TRUE(dc.RestoreDC(-1));
  EXPECT_EQ(dc.GetTextColor(), RGB(0, 0, 0));
  EXPECT_EQ(dc.GetBkMode(), TRANSPARENT);
  EXPECT_TRUE(dc.RestoreDC(level));
  EXPECT_EQ(dc.GetMapMode(), MM_TEXT);
  EXPECT_EQ(dc.GetCurrentBrush(), grey);
  EXPECT_EQ(dc.GetTextAlign(), 0u);
  EXPECT_EQ(dc.GetCurrentFont().GetLogFont().lfHeight, -414);
  EXPECT_FALSE(dc.RestoreDC(1));  // nothing saved any more
}

TEST(CDC, HimetricMapsHundredthsOfAMillimetreWithYUp) {
  struct Case {
    int dpi;
    POINT viewportOrg;
    POINT lp;
    POINT dp;
  } cases[] = {
      {96, {0, 0}, {2540, -2540}, {96, 96}},       // one inch right and down
      {96, {0, 0}, {1000, -1000}, {38, 38}},       // 37.8 pixels, rounded
      {96, {0, 0}, {-1000, 1000}, {-38, -38}},     // rounding is symmetric
      {96, {-50, -200}, {2540, 0}, {46, -200}},    // scrolled view: origin at minus the position
      {600, {0, 0}, {2540, -5080}, {600, 1200}},   // printer
  };
  for (const auto& c : cases) {
    RecordingOptions o;
    o.dpiX = o.dpiY = c.dpi;
    RecordingDc dc(o);
    EXPECT_EQ(dc.SetMapMode(MM_HIMETRIC), MM_TEXT);
    dc.SetViewportOrg(c.viewportOrg.x, c.viewportOrg.y);
    dc.SetWindowExt(1, 1);  // ignored outside MM_ANISOTROPIC
    POINT p = c.lp;
    dc.LPtoDP(&p);
    EXPECT_EQ(p.x, c.dp.x) << c.dpi << " " << c.lp.x;
    EXPECT_EQ(p.y, c.dp.y) << c.dpi << " " << c.lp.y;
    if (c.dpi == 96 && c.lp.x == 2540) {
      dc.DPtoLP(&p);
      EXPECT_EQ(p.x, c.lp.x);
      EXPECT_EQ(p.y, c.lp.y);
    }
  }
  // Page size to pixels as sizes (magnitudes): 23180 units at 96 dpi.
  RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  SIZE page{23180, 23180};
  dc.LPtoDP(&page);
  EXPECT_EQ(page.cx, 876);
  EXPECT_EQ(page.cy, 876);
  // The mapping a WMF page uses: window and viewport extents both the page size.
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(32000, 45000);
  dc.SetViewportExt(800, -1125);
  POINT q{32000, -45000};
  dc.LPtoDP(&q);
  EXPECT_EQ(q.x, 800);
  EXPECT_EQ(q.y, 1125);
}

// Device points are the exact mapping rounded half away from zero as lround rounds it,
// halves and near-halves included, for mappings that give them in plenty.
TEST(CDC, DevicePointsRoundAsLroundDoes) {
  RecordingDc dc;
  dc.SetMapMode(MM_ANISOTROPIC);
  for (const SIZE ext : {SIZE{4, 2}, SIZE{3, 10}, SIZE{2540, 96}, SIZE{7, -1000003}}) {
    dc.SetWindowExt(ext.cx, ext.cy);
    dc.SetViewportExt(2, -7);
    dc.SetViewportOrg(-3, 5);
    int differ = 0;
    for (LONG v = -200000; v <= 200000; v += 7) {
      POINT p{v, -v};
      dc.LPtoDP(&p);
      double x, y;
      dc.State().ToDevice(v, -v, &x, &y);
      differ += p.x != std::lround(x) || p.y != std::lround(y);
    }
    EXPECT_EQ(differ, 0) << ext.cx << " " << ext.cy;
  }
  POINT far{2000000000, -2000000000};
  dc.SetWindowExt(1, 1);
  dc.SetViewportExt(1, 1);
  dc.SetViewportOrg(0, 0);
  dc.LPtoDP(&far);
  EXPECT_EQ(far.x, 2000000000);
  EXPECT_EQ(far.y, -2000000000);
}

TEST(CDC, PenWidthsAreLogicalAndStyledWidePensDrawSolid) {
  struct Case {
    RecordingOptions dev;
    UINT style;
    int width;
    int pixels;
    UINT drawnStyle;
  } cases[] = {
      {{}, PS_SOLID, 0, 1, PS_SOLID},      {{}, PS_SOLID, 20, 1, PS_SOLID},
      {{}, PS_SOLID, 40, 2, PS_SOLID},     {{}, PS_DOT, 40, 2, PS_SOLID},
      {{}, PS_DOT, 20, 1, PS_DOT},         {{}, PS_DASH, 0, 1, PS_DASH},
      {Printer600(), PS_SOLID, 20, 5, PS_SOLID}, {Printer600(), PS_DOT, 0, 1, PS_DOT},
      {{}, PS_NULL, 50, 2, PS_NULL},
  };
  for (const auto& c : cases) {
    RecordingDc dc(c.dev);
    dc.SetMapMode(MM_HIMETRIC);
    dc.SelectObject(CPen(c.style, c.width, RGB(0, 0, 255)));
    POINT pts[] = {{0, 0}, {1000, -1000}, {2000, 0}};
    dc.Polyline(pts, 3);
    ASSERT_EQ(dc.Ops().size(), 1u);
    EXPECT_EQ(dc.Ops()[0].penPixels, c.pixels) << c.style << "/" << c.width << "@" << c.dev.dpiX;
    EXPECT_EQ(dc.Ops()[0].penStyle, c.drawnStyle) << c.style << "/" << c.width << "@" << c.dev.dpiX;
  }
}

TEST(CDC, TextIsPlacedByItsAlignmentAndEscapement) {
  // Font height -400: ascent 320, descent 80, 200 per character; "abcd" is 800 wide.
  struct Case {
    UINT align;
    int escapement;
    POINT topLeft;
    POINT bottomRight;
  } cases[] = {
      {TA_LEFT | TA_TOP, 0, {1000, -1000}, {1800, -1400}},
      {TA_CENTER | TA_BASELINE, 0, {600, -680}, {1400, -1080}},   // axis labels (30)
      {TA_RIGHT | TA_BASELINE, 0, {200, -680}, {1000, -1080}},    // vertical axis labels (26)
      {TA_CENTER | TA_TOP, 0, {600, -1000}, {1400, -1400}},       // 6
      {TA_LEFT | TA_BOTTOM, 0, {1000, -600}, {1800, -1000}},
      // Turned -90 degrees: the baseline runs down the page, the glyphs' tops face +x.
      {TA_CENTER | TA_BASELINE, -900, {1320, -600}, {920, -1400}},
  };
  for (const auto& c : cases) {
    RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    dc.SelectObject(Font(-400, c.escapement));
    dc.SetTextAlign(c.align);
    dc.TextOut(1000, -1000, "abcd");
    const auto& box = dc.Ops().back().textBox;
    EXPECT_EQ(box[0].x, c.topLeft.x) << c.align << " " << c.escapement;
    EXPECT_EQ(box[0].y, c.topLeft.y) << c.align << " " << c.escapement;
    EXPECT_EQ(box[2].x, c.bottomRight.x) << c.align << " " << c.escapement;
    EXPECT_EQ(box[2].y, c.bottomRight.y) << c.align << " " << c.escapement;
  }
  RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  dc.SelectObject(Font(-400));
  SIZE ext = dc.GetTextExtent("abcd");
  EXPECT_EQ(ext.cx, 800);
  EXPECT_EQ(ext.cy, 400);
  // With TA_UPDATECP the text starts at the current position and moves it on.
  dc.SetTextAlign(TA_UPDATECP);
  dc.MoveTo(100, -100);
  dc.TextOut(0, 0, "ab");
  dc.TextOut(0, 0, "c");
  EXPECT_EQ(dc.Ops()[0].points[0].x, 100);
  EXPECT_EQ(dc.Ops()[1].points[0].x, 500);
  EXPECT_EQ(dc.GetCurrentPosition().x, 700);
  EXPECT_EQ(dc.GetCurrentPosition().y, -100);
}

TEST(CDC, FillSolidRectLeavesTheBackgroundColourSet) {
  RecordingDc dc;
  dc.FillSolidRect(0, 0, 10, 5, RGB(255, 0, 0));
  EXPECT_EQ(dc.GetBkColor(), RGB(255, 0, 0));
  dc.FillRect(RECT{0, 0, 3, 3}, CBrush(RGB(0, 255, 0)));
  EXPECT_EQ(dc.GetCurrentBrush().StockIndex(), WHITE_BRUSH);  // FillRect selects nothing
  dc.TextOut(0, 0, "x");
  EXPECT_EQ(dc.Ops().back().state.bkColor, RGB(255, 0, 0));
  ASSERT_EQ(dc.OpsOf(DcOpKind::FillSolidRect).size(), 1u);
  EXPECT_EQ(dc.OpsOf(DcOpKind::FillSolidRect)[0]->rect.right, 10);
}

TEST(CDC, DrawTextLaysOutAndMeasuresLines) {
  RecordingDc dc;  // MM_TEXT; system font 16 high, 8 per character
  RECT r{0, 0, 100, 40};
  EXPECT_EQ(dc.DrawText("&File", &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER), 16);
  ASSERT_EQ(dc.Texts(), (std::vector<std::string>{"File"}));
  EXPECT_EQ(dc.Ops()[0].points[0].x, 34);  // (100 - 32) / 2
  EXPECT_EQ(dc.Ops()[0].points[0].y, 12);  // (40 - 16) / 2

  RECT calc{10, 10, 10 + 48, 10};
  EXPECT_EQ(dc.DrawText("one two three", &calc, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX), 48);
  EXPECT_EQ(calc.bottom, 58);
  EXPECT_EQ(calc.right, 58);  // every line fits: width kept
  RECT wide{0, 0, 0, 0};
  dc.DrawText("a\nlonger", &wide, DT_CALCRECT);
  EXPECT_EQ(wide.right, 48);
  EXPECT_EQ(wide.bottom, 32);
  EXPECT_EQ(dc.Texts().size(), 1u);  // measuring draws nothing
}

TEST(CDC, MemoryBitmapsPaintCellsAndBecomePackedDibs) {
  RecordingDc screen(Printer600());
  plat::CDC mem;
  ASSERT_TRUE(mem.CreateCompatibleDC(&screen));
  EXPECT_FALSE(mem.IsPrinting());
  EXPECT_EQ(mem.GetDeviceCaps(LOGPIXELSX), 600);
  CBitmap bmp;
  ASSERT_TRUE(bmp.CreateCompatibleBitmap(&screen, 5, 3));
  CBitmap old = mem.SelectObject(bmp);
  EXPECT_TRUE(old.IsNull());
  mem.PatBlt(0, 0, 5, 3, WHITENESS);
  mem.FillSolidRect(0, 0, 2, 1, RGB(255, 0, 0));  // top-left cells
  mem.SetPixel(4, 2, RGB(0, 0, 255));             // bottom-right pixel
  mem.SelectObject(old);

  plat::MemBlock dib = bmp.ToPackedDib();
  BITMAP bm;
  ASSERT_TRUE(bmp.GetBitmap(&bm));
  EXPECT_EQ(bm.bmBitsPixel, 32);
  const std::size_t row = 16;  // 5 * 3 bytes padded to 4
  ASSERT_EQ(dib.Size(), 40 + 3 * row);
  BITMAPINFOHEADER h = ReadInfoHeader(dib.data());
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biSizeImage, 3 * row);
  const BYTE* bits = dib.data() + 40;
  auto pixel = [&](int x, int yFromTop) {
    const BYTE* p = bits + (2 - yFromTop) * row + x * 3;  // bottom-up rows of B, G, R
    return RGB(p[2], p[1], p[0]);
  };
  EXPECT_EQ(pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(pixel(1, 0), RGB(255, 0, 0));
  EXPECT_EQ(pixel(2, 0), RGB(255, 255, 255));
  EXPECT_EQ(pixel(4, 2), RGB(0, 0, 255));
  EXPECT_EQ(pixel(0, 1), RGB(255, 255, 255));
  EXPECT_EQ(bits[15], 0);  // padding
}

TEST(CDC, DibBlitsAreRecordedAndStretchedIntoBitmaps) {
  // A 2 x 2 24-bit DIB, bottom-up: bottom row blue, green; top row red, white.
  BYTE info[40];
  BITMAPINFOHEADER h;
  h.biWidth = 2;
  h.biHeight = 2;
  h.biBitCount = 24;
  WriteInfoHeader(h, info);
  const BYTE bits[16] = {255, 0, 0, 0, 255, 0, 0, 0, /* top */ 0, 0, 255, 255, 255, 255, 0, 0};
  RecordingDc dc;
  CBitmap bmp;
  bmp.CreateBitmap(4, 4);
  dc.SelectObject(bmp);
  dc.SetStretchBltMode(COLORONCOLOR);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 2);
  auto px = [&](int x, int y) { return bmp.Bits()->At(x, y) & 0xFFFFFF; };
  EXPECT_EQ(px(0, 0), 0xFF0000u);  // red, top-left, doubled
  EXPECT_EQ(px(1, 1), 0xFF0000u);
  EXPECT_EQ(px(3, 0), 0xFFFFFFu);
  EXPECT_EQ(px(0, 3), 0x0000FFu);  // blue
  EXPECT_EQ(px(3, 3), 0x00FF00u);  // green
  const auto* op = dc.OpsOf(DcOpKind::StretchDIBits).at(0);
  EXPECT_EQ(op->dib->size(), 40u + 16u);
  EXPECT_EQ(op->state.stretchBltMode, COLORONCOLOR);
  // Same size 1:1 with SetDIBitsToDevice, one pixel in: only the top-right source pixel.
  EXPECT_EQ(dc.SetDIBitsToDevice(2, 2, 1, 1, 1, 1, 0, 2, bits, info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(px(2, 2), 0xFFFFFFu);
  EXPECT_EQ(px(3, 3), 0x00FF00u);
}

TEST(Gdi, WindowsFacesMapToMetricCompatibleFamilies) {
  struct Case {
    const char* windows;
    const char* here;
  } cases[] = {{"Times New Roman", "Liberation Serif"}, {"times", "Liberation Serif"},
               {"Arial", "Liberation Sans"},           {"MS Sans Serif", "Liberation Sans"},
               {"MS Shell Dlg", "Liberation Sans"},    {"System", "Liberation Sans"},
               {"Courier New", "Liberation Mono"},     {"DejaVu Sans", "DejaVu Sans"}};
  for (const auto& c : cases) EXPECT_EQ(plat::SubstituteFontFace(c.windows), c.here);
}
