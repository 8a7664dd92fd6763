#include "base/plot/KZ_Axis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/plot/KZ_ViewFont.h"
#include "base/util/KZ_DateTime.h"
#include "platform/RecordingDc.h"

namespace {

using plat::DcOp;
using plat::DcOpKind;

plat::RecordingDc* Himetric(plat::RecordingDc& dc) {
  dc.SetMapMode(MM_HIMETRIC);
  return &dc;
}

// Tick lines of an axis: every line op but the first (the axis line itself).
std::vector<const DcOp*> Ticks(const plat::RecordingDc& dc) {
  auto lines = dc.OpsOf(DcOpKind::LineTo);
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

std::vector<std::string> Labels(const plat::RecordingDc& dc, const char* title) {
  std::vector<std::string> out;
  for (const std::string& t : dc.Texts())
    if (t != title) out.push_back(t);
  return out;
}

}  // namespace

TEST(Axis, TickFormatByStep) {
  struct Case {
    double a, b;
    int n;
    const char* format;
  };
  const Case cases[] = {{0, 100, 10, "%.0f"}, {0, 1, 10, "%.1f"},   {0, 0.25, 10, "%.3f"},
                        {0, 1e6, 10, "%.2e"}, {0, 0.5, 10, "%.2f"}, {0, 0.0005, 10, "%.2e"},
                        {100, 0, 10, "%.0f"}, {0, 360, 12, "%.0f"}};
  for (const Case& c : cases) {
    std::string f;
    EXPECT_EQ(KZ_TickFormat(f, c.a, c.b, c.n), c.format) << c.a << ".." << c.b << "/" << c.n;
  }
}

TEST(Axis, CompactNumbersAndValueLabels) {
  plat::RecordingDc dc;
  KZ_DrawNumber(&dc, 0, 0, "%.2e", 1.5e-5);
  KZ_DrawNumber(&dc, 0, 0, "%.2e", 2.0e10);
  KZ_DrawNumber(&dc, 0, 0, "%.2e", 1.0);
  KZ_DrawNumber(&dc, 0, 0, "%5.1f", 2.5);
  KZ_FormatAxisNumber(&dc, 0, 0, -9999);
  KZ_FormatAxisNumber(&dc, 0, 0, 123456);
  EXPECT_EQ(dc.Texts(),
            (std::vector<std::string>{"1.5e-5", "2.e+10", "1.e+0", "2.5", "-9999", "1.235e+5"}));

  struct Case {
    double v;
    const char* unit;
    const char* text;
  };
  const Case cases[] = {{0.25, "", ".25"},         {1.5, "", "1.5"},         {12, " mm", "12"},
                        {123456.7, "", "1.2e+05"}, {0.005, "", ".005"},      {-0.25, "", "-0.25"},
                        {250.4, "s", "250s"},      {0.00002, "", "2.0e-05"}, {20000, "", "2e+4"}};
  for (const Case& c : cases) EXPECT_EQ(KZ_ValueLabelText(c.v, c.unit), c.text) << c.v;
  // The drawn label is the same text, and its extent is returned.
  dc.Clear();
  const SIZE size = KZ_DrawValueLabel(&dc, 10, 20, 0.25, "");
  ASSERT_EQ(dc.Texts(), std::vector<std::string>{".25"});
  EXPECT_EQ(size.cx, dc.GetTextExtent(".25").cx);
}

TEST(Axis, HorizontalAxisTickCountsAndLabels) {
  struct Case {
    float first, last;
    int ticks;
    int intervals;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {0, 360, 0, 12, {"0", "60", "120", "180", "240", "300", "360"}},
      {0, 3, 0, 6, {"0.0", "1.0", "2.0", "3.0"}},
      {0, 3, -5, 6, {"0.0", "1.0", "2.0", "3.0"}},  // span 3 always gets 6 labelled ticks
      {0, 90, 4, 9, {"0", "20", "40", "60", "80"}},
      {0, 8, 0, 8, {"0", "2", "4", "6", "8"}},
      {0, 100, 0, 10, {"0", "20", "40", "60", "80", "100"}},
      {0, 100, -10, 10, {}},  // a negative count: ticks only
      {0, 1e6, 0, 10, {"0.e+0", "2.e+5", "4.e+5", "6.e+5", "8.e+5", "1.e+6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " n=" << c.ticks);
    plat::RecordingDc dc;
    KZ_DrawAxisX(Himetric(dc), 1000, -5000, 12000, -1, c.first, c.last, c.ticks, "T",
                 RGB(255, 0, 0));
    EXPECT_EQ(static_cast<int>(Ticks(dc).size()), c.intervals + 1);
    EXPECT_EQ(Labels(dc, "T"), c.labels);
    // Ticks below the axis, from its start to its end.
    const auto ticks = Ticks(dc);
    EXPECT_EQ(ticks.front()->points[0].x, 1000);
    EXPECT_EQ(ticks.back()->points[0].x, 13000);
    EXPECT_EQ(ticks.front()->points[1].y, -5150);
  }
}

TEST(Axis, HorizontalAxisPlacesTextOnItsSideAndRestoresPenAndColour) {
  plat::RecordingDc dc;
  Himetric(dc);
  const plat::CPen mine(PS_SOLID, 5, RGB(1, 2, 3));
  dc.SelectObject(mine);
  KZ_DrawAxisX(&dc, 0, 0, 10000, 1, 0, 10, 0, "Title", RGB(0, 0, 255));
  EXPECT_EQ(dc.GetCurrentPen(), mine);
  EXPECT_EQ(dc.GetTextColor(), RGB(0, 0, 0));
  EXPECT_EQ(dc.GetBkColor(), RGB(255, 255, 255));
  for (const DcOp* op : dc.OpsOf(DcOpKind::LineTo)) {
    EXPECT_EQ(op->state.pen.Width(), 20);
    EXPECT_EQ(op->state.pen.Color(), RGB(0, 0, 0));
  }
  const auto texts = dc.OpsOf(DcOpKind::Text);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front()->points[0].y, 300);  // labels 300 above, baseline-centred
  EXPECT_EQ(texts.front()->state.textAlign, TA_BASELINE | TA_CENTER);
  EXPECT_EQ(texts.front()->state.textColor, RGB(0, 0, 255));
  EXPECT_EQ(texts.back()->text, "Title");
  EXPECT_EQ(texts.back()->points[0].x, 5000);
  EXPECT_EQ(texts.back()->points[0].y, 1000);
  // Without a title there are neither labels nor a title.
  dc.Clear();
  KZ_DrawAxisX(&dc, 0, 0, 10000, 1, 0, 10, 0, nullptr, 0);
  EXPECT_TRUE(dc.Texts().empty());
  EXPECT_EQ(Ticks(dc).size(), 11u);
}

TEST(Axis, VerticalAxisLabelsRightAlignedAndTitleTurned) {
  plat::RecordingDc dc;
  Himetric(dc);
  g_ViewFontScaled.lfHeight = -414;
  KZ_DrawAxisY(&dc, 5000, -10000, 8000, 1, -4, 0, 8, "log C(r)");
  const auto ticks = Ticks(dc);
  ASSERT_EQ(ticks.size(), 9u);  // a span of 4 keeps the 8 intervals asked for
  EXPECT_EQ(ticks[0]->points[1].x, 4850);
  EXPECT_EQ(ticks[8]->points[0].y, -2000);
  const auto texts = dc.OpsOf(DcOpKind::Text);
  ASSERT_EQ(texts.size(), 6u);  // five labels and the title
  EXPECT_EQ(texts[0]->text, "-4.0");
  EXPECT_EQ(texts[0]->points[0].x, 4750);
  EXPECT_EQ(texts[0]->points[0].y, -10150);
  EXPECT_EQ(texts[0]->state.textAlign, TA_BASELINE | TA_RIGHT);
  const DcOp& title = *texts[5];
  EXPECT_EQ(title.text, "log C(r)");
  EXPECT_EQ(title.state.font.GetLogFont().lfEscapement, -900);
  EXPECT_EQ(title.state.font.GetLogFont().lfHeight, -414);
  int widest = 0;
  for (int i = 0; i < 5; ++i) widest = std::max(widest, int(dc.GetTextExtent(texts[i]->text).cx));
  // At its designed place (widest + 500 left of the axis) or further out, so that the
  // turned glyphs, their tops toward the axis, stay clear of the labels.
  EXPECT_LE(title.points[0].x, 5000 - (widest + 500));
  int titleRight = title.textBox[0].x;
  for (const POINT& p : title.textBox) titleRight = std::max<int>(titleRight, p.x);
  EXPECT_LT(titleRight, 5000 - 250 - widest);
  EXPECT_EQ(title.points[0].y, -6000);
  // The title font was only borrowed.
  EXPECT_EQ(dc.GetCurrentFont(), plat::CFont());
  // Side -1 mirrors ticks and labels to the right.
  dc.Clear();
  KZ_DrawAxisY(&dc, 5000, -10000, 8000, -1, 0, 1, 10, "U");
  EXPECT_EQ(Ticks(dc)[0]->points[1].x, 5150);
  EXPECT_EQ(dc.OpsOf(DcOpKind::Text)[0]->state.textAlign, TA_BASELINE | TA_LEFT);
  EXPECT_EQ(dc.OpsOf(DcOpKind::Text)[0]->points[0].x, 5250);
}

TEST(Axis, InclinedAxisRunsAlongItsAngle) {
  plat::RecordingDc dc;
  Himetric(dc);
  KZ_DrawAxisInclined(&dc, 1000, -20000, 24000, 0, -1, 0, 200, 10, "Time(usec)");
  const auto ticks = Ticks(dc);
  ASSERT_EQ(ticks.size(), 11u);
  EXPECT_EQ(ticks[5]->points[0].x, 13000);
  EXPECT_EQ(ticks[5]->points[1].y, -20150);
  EXPECT_EQ(Labels(dc, "Time(usec)"),
            (std::vector<std::string>{"0", "40", "80", "120", "160", "200"}));
  EXPECT_EQ(dc.OpsOf(DcOpKind::Text).back()->points[0].y, -20750);
  // Upward at 90 degrees with ticks on the left; nothing when first >= last.
  dc.Clear();
  KZ_DrawAxisInclined(&dc, 0, 0, 10000, 90, 1, 0, 10, 10, "Z");
  EXPECT_EQ(Ticks(dc)[10]->points[0].y, 10000);
  EXPECT_EQ(Ticks(dc)[10]->points[1].x, -150);
  dc.Clear();
  KZ_DrawAxisInclined(&dc, 0, 0, 10000, 0, 1, 5, 5, 10, "Z");
  EXPECT_TRUE(dc.Ops().empty());
}

TEST(Axis, LogarithmicAxes) {
  plat::RecordingDc dc;
  Himetric(dc);
  KZ_DrawLogAxisX(&dc, 0, 0, 10000, -1, -2, 3, "t [msec]");
  const auto lines = dc.OpsOf(DcOpKind::LineTo);
  int grey = 0, major = 0;
  for (const DcOp* op : lines) {
    if (op->state.pen.Color() == RGB(128, 128, 128)) {
      ++grey;
      EXPECT_EQ(op->points[1].y, -150);
    } else if (op->points[1].y == -200) {
      ++major;
    }
  }
  EXPECT_EQ(grey, 5 * 8);
  EXPECT_EQ(major, 6);
  EXPECT_EQ(Labels(dc, "t [msec]"),
            (std::vector<std::string>{".01", ".1", "1", "10", "100", "1000"}));
  // The minor tick of 2 in the first decade at log10(2) of the 2000-unit decade.
  EXPECT_EQ(lines[0]->points[0].x, 602);
  // Reversed decades from the right end: 10^3 at the right, 10^0 at the left.
  dc.Clear();
  KZ_DrawLogAxisX(&dc, 0, 0, 10000, -1, 3, 0, "r");
  std::vector<std::pair<int, std::string>> labels;
  for (const DcOp* op : dc.OpsOf(DcOpKind::Text))
    if (op->text != "r") labels.push_back({op->points[0].x, op->text});
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_EQ(labels.front(), std::make_pair(10000, std::string("1")));
  EXPECT_EQ(labels.back(), std::make_pair(1, std::string("1000")));
  // Vertical: labels to the left, title turned at x - 2250.
  dc.Clear();
  KZ_DrawLogAxisY(&dc, 5000, 0, 10000, 1, 0, 5, "Log10(N)");
  const auto texts = dc.OpsOf(DcOpKind::Text);
  EXPECT_EQ(texts[0]->points[0].x, 4700);
  EXPECT_EQ(texts[0]->points[0].y, -150);
  EXPECT_EQ(texts[5]->text, "1e+5");
  EXPECT_EQ(texts.back()->points[0].x, 2750);
  EXPECT_EQ(texts.back()->state.font.GetLogFont().lfEscapement, -900);
}

TEST(Axis, TimeAxisUnitsFromTheSpan) {
  struct Case {
    double span;
    const char* unitTitle;
    int ticks;
    std::string secondLabel;
  };
  const Case cases[] = {
      {3600, "Time (min)", 11, "12"},  // step 360 s, labels every 12 minutes
      {20 * 86400.0, "Time (day)", 11, "4"},
      {15 * 86400.0, "Time (day)", 16, "2"},  // whole days in 6..19: one tick a day
      {12 * 3600.0, "Time (hour)", 7, "4"},   // 12 whole hours: a multiple of 6
      {0.05, "Time (msec)", 11, "10"},
      {5e-4, "Time (usec)", 11, "100"},
      {100, "Time (sec)", 11, "20"},
      {3.15576e7 * 100, "Time (year)", 11, "20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.span);
    plat::RecordingDc dc;
    KZ_DrawTimeAxis(Himetric(dc), 0, 0, 20000, 0, -1, 0, c.span, nullptr, "");
    EXPECT_EQ(static_cast<int>(Ticks(dc).size()), c.ticks);
    const auto texts = dc.Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[1], c.secondLabel);
    EXPECT_EQ(texts.back(), c.unitTitle);
  }
  plat::RecordingDc dc;
  KZ_DrawTimeAxis(Himetric(dc), 0, 0, 20000, 0, -1, 0, 1e-6, nullptr, "x");
  EXPECT_TRUE(dc.Ops().empty());
}

TEST(Axis, TimeAxisWithCalendarStart) {
  // 2020/03/01 00:00:00 UTC (the tests run in UTC), a two-hour window and ten years.
  const std::int64_t start = 1583020800;
  plat::RecordingDc dc;
  KZ_DrawTimeAxis(Himetric(dc), 0, 0, 20000, 0, -1, 0, 7200, &start, "Experiment");
  auto texts = dc.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "2020/03/01"), texts.end());
  EXPECT_EQ(texts.back(), "Experiment");
  dc.Clear();
  KZ_DrawTimeAxis(&dc, 0, 0, 20000, 0, -1, 90, 7200, &start, " ");
  texts = dc.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "2020/03/01 00:01:30"), texts.end());
  EXPECT_EQ(texts.back(), "2020/03/01 00:01:30");  // a title beginning with a blank is not written
  dc.Clear();
  KZ_DrawTimeAxis(&dc, 0, 0, 20000, 0, -1, 0, 10 * 3.15576e7, &start, "");
  texts = dc.Texts();
  EXPECT_EQ(texts.front(), "2021");  // calendar years after the start
  EXPECT_NE(std::find(texts.begin(), texts.end(), "2029"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Time (year)"), texts.end());
}

TEST(Axis, CalendarTimeAxis) {
  const double jd = KZ_JulianDay(2010, 5, 17, 6, 30, 0, 0);
  struct Case {
    double span;
    const char* title;
    const char* firstLabel;
  };
  const Case cases[] = {{3000, "Time (year)", "2011"},
                        {400, "Time", "2010/06"},
                        {10, "Time (day)", "05/18"},
                        {0.5, "Time (hour)", "07"},
                        {0.05, "Time (min)", "06:30"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.span);
    plat::RecordingDc dc;
    KZ_DrawTimeAxis2(Himetric(dc), 0, 0, 20000, 0, -1, jd, c.span, " ");
    const auto texts = dc.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.front(), c.firstLabel);
    EXPECT_EQ(texts.back(), c.title);
    // Labels never stand closer than 1501 units.
    int last = -100000;
    for (const DcOp* op : dc.OpsOf(DcOpKind::Text)) {
      if (op->text == c.title) continue;
      EXPECT_GE(op->points[0].x - last, 1501);
      last = op->points[0].x;
    }
  }
}

TEST(Axis, MultilineTextStepsByTheWorkingFontAndStopsLow) {
  g_ViewFontScaled.lfHeight = -414;
  plat::RecordingDc dc;
  int y = -1000;
  KZ_DrawMultilineText(Himetric(dc), 500, &y, "one\ntwo\nthree");
  EXPECT_EQ(dc.Texts(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(dc.OpsOf(DcOpKind::Text)[2]->points[0].y, -1000 - 2 * 496);
  EXPECT_EQ(y, -1000 - 2 * 496);
  dc.Clear();
  y = -29800;
  KZ_DrawMultilineText(&dc, 0, &y, "a\nb\nc");
  EXPECT_EQ(dc.Texts(), std::vector<std::string>{"a"});
  dc.Clear();
  y = 0;
  KZ_DrawMultilineText(&dc, 0, &y, "\nx");  // a newline first does not split
  EXPECT_EQ(dc.Texts(), std::vector<std::string>{"\nx"});
}

// Plot bounds come from data files: every axis returns (with a bounded drawing) for
// infinite, NaN and the largest finite bounds, and for the decades that casts of such
// bounds make.
TEST(Axis, ExtremeAndNonFiniteBoundsReturn) {
  const float finf = std::numeric_limits<float>::infinity();
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  const float fbad[] = {finf, -finf, fnan, FLT_MAX, -FLT_MAX, 0.0f, 1.0f};
  const double dinf = std::numeric_limits<double>::infinity();
  const double dbad[] = {dinf, -dinf, std::nan(""), DBL_MAX, -DBL_MAX, 1e300, 0.0, 2.0};
  const int decades[] = {INT_MIN, INT_MAX, -2147483647, 0, 3};
  const std::size_t kBound = 100000;  // far above any real axis, far below a runaway loop
  plat::RecordingDc dc;
  Himetric(dc);
  for (float a : fbad)
    for (float b : fbad) {
      SCOPED_TRACE(testing::Message() << a << " .. " << b);
      dc.Clear();
      KZ_DrawAxisX(&dc, 0, 0, 10000, 1, a, b, 0, "x", 0);
      KZ_DrawAxisY(&dc, 0, 0, 10000, 1, a, b, 10, "y", 0);
      KZ_DrawAxisInclined(&dc, 0, 0, 10000, 30.0f, 1, a, b, 10, "t");
      EXPECT_LT(dc.Ops().size(), kBound);
    }
  for (int e0 : decades)
    for (int e1 : decades) {
      SCOPED_TRACE(testing::Message() << e0 << " .. " << e1);
      dc.Clear();
      KZ_DrawLogAxisX(&dc, 0, 0, 10000, 1, e0, e1, "x");
      KZ_DrawLogAxisY(&dc, 0, 0, 10000, 1, e0, e1, "y");
      EXPECT_LT(dc.Ops().size(), kBound);
    }
  const std::int64_t start = 1262304000;  // 2010-01-01
  for (double a : dbad)
    for (double b : dbad) {
      SCOPED_TRACE(testing::Message() << a << " + " << b);
      dc.Clear();
      KZ_DrawTimeAxis(&dc, 0, 0, 10000, 0.0f, 1, a, b, &start, "t");
      KZ_DrawTimeAxis(&dc, 0, 0, 10000, 0.0f, 1, a, b, nullptr, "t");
      for (const char* title : {" ", "log"})
        KZ_DrawTimeAxis2(&dc, 0, 0, 10000, 0.0f, -1, a, b, title);
      EXPECT_LT(dc.Ops().size(), kBound);
    }
  for (double v : dbad) {
    std::string format;
    KZ_TickFormat(format, v, -v, 10);
    EXPECT_FALSE(format.empty());
    EXPECT_FALSE(KZ_ValueLabelText(v, "").empty());
  }
}

// With a tall font (the user may choose any), the labels and titles of every kind of axis
// and side still stand apart: the titles move out from the labels as far as the font
// needs. The boxes are the recorded texts' boxes (axis-aligned here).
TEST(Axis, TitlesMoveClearOfTheLabelsForTallFonts) {
  struct Case {
    const char* what;
    void (*draw)(plat::CDC*);
  };
  const Case cases[] = {
      {"X below",
       [](plat::CDC* dc) { KZ_DrawAxisX(dc, 5000, -10000, 12000, -1, 0, 100, 10, "x, mm", 0); }},
      {"X above",
       [](plat::CDC* dc) { KZ_DrawAxisX(dc, 5000, -10000, 12000, 1, 0, 100, 10, "x, mm", 0); }},
      {"Y left",
       [](plat::CDC* dc) { KZ_DrawAxisY(dc, 8000, -10000, 8000, 1, -4, 0, 8, "log C(r)"); }},
      {"Y right",
       [](plat::CDC* dc) { KZ_DrawAxisY(dc, 8000, -10000, 8000, -1, 0, 1000, 10, "Tl"); }},
      {"log X below",
       [](plat::CDC* dc) { KZ_DrawLogAxisX(dc, 5000, -10000, 12000, -1, -2, 3, "t [msec]"); }},
      {"log Y left",
       [](plat::CDC* dc) { KZ_DrawLogAxisY(dc, 8000, -10000, 10000, 1, 0, 5, "Log10(N)"); }},
      {"log Y right",
       [](plat::CDC* dc) { KZ_DrawLogAxisY(dc, 8000, -10000, 10000, -1, 0, 5, "R"); }},
      {"inclined",
       [](plat::CDC* dc) {
         KZ_DrawAxisInclined(dc, 5000, -10000, 12000, 0, -1, -12, -9, 12, "M(Wave)");
       }},
      {"time",
       [](plat::CDC* dc) {
         const std::int64_t start = 0;
         KZ_DrawTimeAxis(dc, 5000, -10000, 20000, 0, -1, 0, 1000, &start, "Window");
       }},
  };
  for (const int height : {-414, -700}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(height));
      plat::RecordingDc dc;
      Himetric(dc);
      plat::CFont font;
      font.CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman");
      dc.SelectObject(font);
      g_ViewFontScaled.lfHeight = height;
      c.draw(&dc);
      const auto texts = dc.OpsOf(DcOpKind::Text);
      ASSERT_GE(texts.size(), 2u);
      auto box = [](const DcOp* op) {
        RECT r{op->textBox[0].x, op->textBox[0].y, op->textBox[0].x, op->textBox[0].y};
        for (const POINT& p : op->textBox) {
          r.left = std::min(r.left, p.x);
          r.right = std::max(r.right, p.x);
          r.bottom = std::min(r.bottom, p.y);
          r.top = std::max(r.top, p.y);
        }
        return r;
      };
      for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
          const RECT a = box(texts[i]), b = box(texts[j]);
          const bool overlap =
              a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
          EXPECT_FALSE(overlap) << texts[i]->text << " / " << texts[j]->text;
        }
    }
  }
}

TEST(TextLines, ALongLineBreaksAtBlanksOrSeparatorsBeforeTheRightEdge) {
  plat::RecordingDc dc;
  Himetric(dc);
  plat::CFont font;
  font.CreateFont(-414, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman");
  dc.SelectObject(font);
  const std::string text =
      "/data/experiments/granite/run-2024/CUBE.00/000123.WAV 2024/05/06 10:11:12 "
      "(000001.500000 sec) S:(1.00 2.00 3.00)(4.0) V:(5.5 5.5 5.5) Mid=16";
  const int right = 20000;
  const int last = KZ_DrawTextWrapped(&dc, 1000, -500, text, right);
  const auto lines = dc.OpsOf(DcOpKind::Text);
  ASSERT_GE(lines.size(), 2u);
  std::string joined;
  int y = 1;
  for (const DcOp* op : lines) {
    EXPECT_EQ(op->points[0].x, 1000);
    EXPECT_LE(op->textBox[1].x, right) << op->text;  // nothing past the edge
    EXPECT_LT(op->points[0].y, y);                   // each line below the one before
    if (y != 1) {
      EXPECT_LE(op->points[0].y, y - 414);  // by a line's height at least
    }
    y = op->points[0].y;
    joined += op->text;
  }
  EXPECT_EQ(last, y);
  // Nothing lost but the blanks at the breaks.
  std::string compact = text, got = joined;
  compact.erase(std::remove(compact.begin(), compact.end(), ' '), compact.end());
  got.erase(std::remove(got.begin(), got.end(), ' '), got.end());
  EXPECT_EQ(got, compact);
  // A line that fits is written whole, where it was asked for.
  dc.Clear();
  EXPECT_EQ(KZ_DrawTextWrapped(&dc, 1000, -500, "short", right), -500);
  EXPECT_EQ(dc.Texts(), std::vector<std::string>{"short"});
}
