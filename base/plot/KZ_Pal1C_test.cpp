#include "base/plot/KZ_Pal1C.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ByteOrder.h"
#include "platform/RecordingDc.h"

namespace {

struct Rgb {
  int r, g, b;
};
Rgb Split(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

// Pixel (x, y from the top) of a recorded 24-bit bottom-up DIB.
Rgb DibPixel(const std::vector<BYTE>& dib, int x, int yFromTop) {
  const int w = le::GetI32(&dib[4]), h = le::GetI32(&dib[8]);
  const std::size_t row = ((static_cast<std::size_t>(w) * 24 + 31) / 32) * 4;
  const BYTE* p = dib.data() + 40 + row * (h - 1 - yFromTop) + 3 * x;
  return {p[2], p[1], p[0]};
}

}  // namespace

TEST(Pal1C, ConstructedState) {
  KZ_Pal1C p;
  EXPECT_EQ(p.m_strScheme[0], "0: Jet");
  EXPECT_EQ(p.m_strScheme[15], "15: Jet(20 ranks))");
  EXPECT_EQ(p.m_strScheme[29], "29: Reserved(20 ranks)");
  EXPECT_EQ(p.m_dCutOff, -9.9e29);
  EXPECT_EQ(p.m_dInvSpan, 1.0);
  p.SetRange(5, 5, 20, 240, 1);  // an empty range is widened to 4..6
  EXPECT_EQ(p.m_dMin, 4);
  EXPECT_EQ(p.m_dMax, 6);
  EXPECT_DOUBLE_EQ(p.m_dInvSpan, 0.5);
}

// Every scheme at the ends, quarters and centre of the range against colours worked out
// independently (tools/base_series/make_palette_table.py).
TEST(Pal1C, SchemeColoursMatchTheReferenceTable) {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/base/plot/testdata/palette_colours.txt");
  ASSERT_TRUE(in);
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    int scheme, r, g, b;
    double value;
    ss >> scheme >> value >> r >> g >> b;
    KZ_Pal1C p;
    p.SetRange(10, 30, 20, 240, scheme);
    const Rgb c = Split(p.ValueToColor(value, 1.0));
    SCOPED_TRACE(line);
    EXPECT_LE(std::abs(c.r - r), 1);
    EXPECT_LE(std::abs(c.g - g), 1);
    EXPECT_LE(std::abs(c.b - b), 1);
    BYTE R, G, B;
    p.ValueToRGB(value, &R, &G, &B, 1.0);
    EXPECT_LE(std::abs(R - r), 1);
    EXPECT_LE(std::abs(G - g), 1);
    EXPECT_LE(std::abs(B - b), 1);
    ++rows;
  }
  EXPECT_EQ(rows, 30 * 6);
}

TEST(Pal1C, ClampingQuantisationAndBrightness) {
  KZ_Pal1C p;
  p.SetRange(0, 100, 20, 240, 0);
  EXPECT_EQ(p.ValueToColor(-50, 1), p.ValueToColor(0, 1));
  EXPECT_EQ(p.ValueToColor(1e9, 1), RGB(255, 0, 0));
  EXPECT_EQ(p.ValueToColor(50, 0.5), RGB(0, 127, 0));
  p.SetRange(0, 100, 20, 240, 15);
  EXPECT_EQ(p.ValueToColor(97, 1), p.ValueToColor(95, 1));
  EXPECT_NE(p.ValueToColor(97, 1), p.ValueToColor(100, 1));
  p.SetRange(0, 100, 20, 240, 10);
  EXPECT_EQ(p.ValueToColor(0, 1), RGB(0, 0, 168));
  EXPECT_EQ(p.ValueToColor(100, 1), RGB(255, 255, 255));

  // An inverted range maps its minimum to the start of the scheme as well.
  p.SetRange(100, 0, 20, 240, 0);
  EXPECT_EQ(p.ValueToColor(100, 1), RGB(0, 0, 255));
  EXPECT_EQ(p.ValueToColor(0, 1), RGB(255, 0, 0));

  // The float form always goes through HSV: Jet is the two-hue form there.
  p.SetRange(0, 1, 0, 240, 0);
  float r, g, b;
  p.ValueToRGBf(0.0f, &r, &g, &b, 1.0f);
  EXPECT_FLOAT_EQ(r, 1.0f);  // hue 0 at full saturation
  EXPECT_FLOAT_EQ(g, 0.0f);
  double R, G, B;
  p.ValueToRGBd(0.5, &R, &G, &B, 1.0);
  EXPECT_DOUBLE_EQ(R, 0.0);
  EXPECT_DOUBLE_EQ(G, 1.0);
  EXPECT_DOUBLE_EQ(B, 0.0);
}

// The shapes with square roots (rainbow, R-Y-B, B-Y-R) give, over a fine sweep of the
// range, the colours of the power-law formulas with pow(x, 0.5), which pages once paid
// for cell by cell.
TEST(Pal1C, SquareRootShapesGiveThePowerLawColours) {
  for (const int scheme : {3, 4, 7}) {
    SCOPED_TRACE(scheme);
    KZ_Pal1C p;
    p.SetRange(-1, 1, 0, 360, scheme);
    int differ = 0, worst = 0;
    for (int k = 0; k <= 20000; ++k) {
      const double value = -1 + k / 10000.0, f = p.Position(value);
      double H = 0, S = 1;
      if (scheme == 3) {
        H = f <= 0.5 ? 150 - 130 * std::pow(1 - 2 * f, 0.5) : 130 + 160 * std::pow(2 * f - 1, 0.75);
      } else {
        H = (scheme == 4 ? (f - 0.5) : (0.5 - f)) * 150 +
            (scheme == 4 ? (f <= 0.5 ? 80 : 165) : (f >= 0.5 ? 80 : 165));
        S = 0.05 + 0.95 * std::pow(2 * std::fabs(f - 0.5), 0.5);
      }
      const Rgb want = Split(KZ_HSVToColor(static_cast<float>(H), static_cast<float>(S), 1.0f));
      const Rgb got = Split(p.ValueToColor(value, 1.0));
      const int d = std::max({std::abs(got.r - want.r), std::abs(got.g - want.g),
                              std::abs(got.b - want.b)});
      differ += d > 0;
      worst = std::max(worst, d);
    }
    EXPECT_LE(worst, 1);
    EXPECT_LE(differ, 5);
  }
}

TEST(Pal1C, HsvConversions) {
  BYTE r, g, b;
  KZ_HSVToRGBBytes(360, 1, 1, &r, &g, &b);  // reduced once: the colour of hue 0
  EXPECT_EQ(RGB(r, g, b), RGB(255, 0, 0));
  KZ_HSVToRGBBytes(720, 1, 1, &r, &g, &b);  // still out of range: black
  EXPECT_EQ(RGB(r, g, b), RGB(0, 0, 0));
  KZ_HSVToRGBBytes(120, 1, 1, &r, &g, &b);
  EXPECT_EQ(RGB(r, g, b), RGB(0, 255, 0));
  EXPECT_EQ(KZ_HSVToColor(360.0f, 1.0f, 1.0f), RGB(255, 0, 0));
  EXPECT_EQ(KZ_HSVToColor(-120.0f, 1.0f, 1.0f), RGB(0, 0, 255));
  EXPECT_EQ(KZ_HSVToColor(0.0f, 0.0f, 0.5f), RGB(127, 127, 127));
  float fr, fg, fb;
  KZ_HSVToRGBf(240.0f, 1.0f, 2.0f, &fr, &fg, &fb);  // clamped
  EXPECT_EQ(fb, 1.0f);
  const double hsv[3] = {300, 1, 1};
  double dr, dg, db;
  KZ_HSVToRGB(hsv, &dr, &dg, &db);
  EXPECT_DOUBLE_EQ(dr, 1);
  EXPECT_DOUBLE_EQ(dg, 0);
  EXPECT_DOUBLE_EQ(db, 1);
}

TEST(Pal1C, VerticalColourBarLabelsAndCells) {
  struct Case {
    int length;
    int labels;
  };
  for (const Case c : {Case{3000, 3}, Case{3049, 3}, Case{3050, 5}, Case{5000, 5}, Case{5049, 5},
                       Case{5050, 11}}) {
    SCOPED_TRACE(c.length);
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    KZ_Pal1C p;
    p.SetRange(0, 100, 20, 240, 0);
    p.m_strTitle = "Depth";
    EXPECT_EQ(p.DrawColorBarV(&dc, 1000, 9000, c.length, 500, 1.0), 1);
    const int H = 50 * (c.length / 50);
    auto texts = dc.OpsOf(plat::DcOpKind::Text);
    ASSERT_EQ(static_cast<int>(texts.size()), c.labels + 1);
    for (int k = 0; k < c.labels; ++k) {
      EXPECT_EQ(texts[k]->points[0].x, 1000 + 500 + 200);
      EXPECT_EQ(texts[k]->points[0].y, 9000 - H + 200 + k * (H / (c.labels - 1)));
      EXPECT_EQ(texts[k]->state.bkColor, RGB(255, 255, 255));
    }
    EXPECT_EQ(texts.front()->text, "0");
    EXPECT_EQ(texts[c.labels - 1]->text, "100");
    EXPECT_EQ(texts.back()->text, "Depth");
    EXPECT_EQ(texts.back()->points[0].y, 9000 - H - 500);
    EXPECT_EQ(texts[1]->text, c.labels == 3 ? "50" : c.labels == 5 ? "25" : "10");
  }

  // The picture: 50 cells from the minimum at the bottom to the top, beside the labels.
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  KZ_Pal1C p;
  p.SetRange(0, 100, 20, 240, 0);
  p.DrawColorBarV(&dc, 1000, 9000, 5000, 500, 1.0);
  auto blits = dc.OpsOf(plat::DcOpKind::StretchDIBits);
  ASSERT_EQ(blits.size(), 1u);
  const plat::DcOp& op = *blits[0];
  EXPECT_EQ(op.rect.left, 1000);
  EXPECT_EQ(op.rect.top, 9000);
  EXPECT_EQ(op.rect.right, 1500);
  EXPECT_EQ(op.rect.bottom, 4000);
  const std::vector<BYTE>& dib = *op.dib;
  const int h = le::GetI32(&dib[8]);
  ASSERT_GT(h, 50);
  const Rgb bottom = DibPixel(dib, 2, h - 1), top = DibPixel(dib, 2, 0),
            middle = DibPixel(dib, 2, h / 2);
  const Rgb wantBottom = Split(p.ValueToColor(0, 1)), wantTop = Split(p.ValueToColor(98, 1));
  EXPECT_EQ(bottom.b, wantBottom.b);
  EXPECT_EQ(bottom.g, wantBottom.g);
  EXPECT_EQ(top.r, wantTop.r);
  EXPECT_EQ(top.g, wantTop.g);
  EXPECT_EQ(middle.g, 255);  // green around the centre of Jet
}

TEST(Pal1C, HorizontalColourBar) {
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  KZ_Pal1C p;
  p.SetRange(0.25, 1.5, 20, 240, 1);
  p.m_strTitle = "Mw";
  p.DrawColorBar(&dc, 2000, 3000, 400, 10000, 0);
  auto texts = dc.OpsOf(plat::DcOpKind::Text);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0]->text, ".25");
  EXPECT_EQ(texts[0]->points[0].x, 2000);
  EXPECT_EQ(texts[0]->points[0].y, 3000 + 400 + 150);
  EXPECT_EQ(texts[0]->state.textAlign, TA_BASELINE | TA_CENTER);
  EXPECT_EQ(texts[1]->text, "1.5");
  EXPECT_EQ(texts[1]->points[0].x, 12000);
  EXPECT_EQ(texts[2]->text, "Mw");
  EXPECT_EQ(texts[2]->points[0].x, 7000);
  EXPECT_EQ(texts[2]->points[0].y, 2800);
  EXPECT_EQ(texts[2]->state.textAlign, TA_TOP | TA_CENTER);
  EXPECT_EQ(dc.GetTextAlign(), TA_LEFT | TA_TOP);  // restored
  auto blits = dc.OpsOf(plat::DcOpKind::StretchDIBits);
  ASSERT_EQ(blits.size(), 1u);
  const std::vector<BYTE>& dib = *blits[0]->dib;
  const int w = le::GetI32(&dib[4]);
  EXPECT_EQ(DibPixel(dib, 0, 1).r, 0);        // grey ramp: black at the left
  EXPECT_GT(DibPixel(dib, w - 1, 1).r, 250);  // white at the right
}
