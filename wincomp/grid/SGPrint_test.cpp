// Printing a sheet's cells onto pages of a fake printer.
#include "wincomp/grid/SGPrint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGTestGrid.h"

using plat::DcOpKind;

namespace {

// An A4 page at 600 dpi: 210 x 297 mm, 4960 x 7016 pixels.
plat::RecordingOptions A4(int horzRes = 4960, int vertRes = 7016) {
  plat::RecordingOptions o;
  o.dpiX = o.dpiY = 600;
  o.horzRes = horzRes;
  o.vertRes = vertRes;
  o.printing = true;
  return o;
}

struct Sheet : SGHeadlessGrid {
  Sheet(int cols, long rows) {
    grid.SetColumnCount(cols);
    grid.SetRowCount(rows);
  }
  CSGPrintJob& Job() { return *grid.m_printJob; }
  std::string Bands() {
    std::string s;
    for (int k = 1; k <= Job().m_pageCols; ++k) {
      int c0, c1;
      long r0, r1;
      Job().GetPage(k, &c0, &c1, &r0, &r1);
      s += std::to_string(c0) + "-" + std::to_string(c1) + " ";
    }
    return s;
  }
};

}  // namespace

TEST(SGPrint, ScalesAndOffsetsOfAnA4Page) {
  Sheet h(5, 10);
  plat::RecordingDc dc(A4());
  EXPECT_EQ(h.grid.PrintInit(&dc, nullptr, 0, 0, 4, 9), 1);
  // 160 x 247 mm printable: 606 x 933 grid pixels.
  EXPECT_NEAR(h.Job().m_hScale, 160.0 * 4960 / 210 / 606, 1e-4);
  EXPECT_NEAR(h.Job().m_vScale, 247.0 * 7016 / 297 / 933, 1e-4);
  EXPECT_EQ(h.Job().m_leftOffset, 590);
  EXPECT_EQ(h.Job().m_topOffset, 590);
  EXPECT_EQ(static_cast<int>(75 * h.Job().m_hScale), 467);
  EXPECT_EQ(static_cast<int>(20 * h.Job().m_vScale), 125);
}

TEST(SGPrint, ColumnBands) {
  struct Case {
    std::vector<int> widths;
    std::string bands;
  };
  const std::vector<Case> cases = {
      {std::vector<int>(10, 75), "0-7 8-9 "},
      {{75, 75, 700}, "0-2 "},
      {{700, 75}, "0-0 1-1 "},
      {{300, 306, 10}, "0-1 2-2 "},  // exactly the capacity still fits
      {{75, 0, 75}, "0-2 "},
  };
  for (const Case& k : cases) {
    Sheet h(static_cast<int>(k.widths.size()), 1);
    for (size_t c = 0; c < k.widths.size(); ++c)
      h.grid.SetColumnWidth(static_cast<int>(c), k.widths[c]);
    plat::RecordingDc dc(A4());
    h.grid.PrintInit(&dc, nullptr, 0, 0, static_cast<int>(k.widths.size()) - 1, 0);
    EXPECT_EQ(h.Bands(), k.bands);
  }
}

TEST(SGPrint, PagesRunAcrossThenDown) {
  Sheet h(24, 60);  // 3 bands of 8 columns; rows of 20: 46 to a page
  plat::RecordingDc dc(A4());
  ASSERT_EQ(h.grid.PrintInit(&dc, nullptr, 0, 0, 23, 59), 6);
  struct Page {
    int page, c0, c1;
    long r0, r1;
  };
  for (const Page& p : {Page{1, 0, 7, 0, 45}, Page{3, 16, 23, 0, 45}, Page{4, 0, 7, 46, 59},
                        Page{6, 16, 23, 46, 59}}) {
    int c0, c1;
    long r0, r1;
    ASSERT_EQ(h.Job().GetPage(p.page, &c0, &c1, &r0, &r1), 1);
    EXPECT_EQ(std::vector<long>({c0, c1, r0, r1}), std::vector<long>({p.c0, p.c1, p.r0, p.r1}))
        << p.page;
  }
  dc.Clear();
  EXPECT_EQ(h.grid.PrintPage(&dc, 7), 0);
  EXPECT_TRUE(dc.Ops().empty());
}

TEST(SGPrint, FrameLinesOfASingleRowPage) {
  Sheet h(3, 1);
  plat::RecordingDc dc(A4());
  ASSERT_EQ(h.grid.PrintInit(&dc, nullptr, 0, 0, 2, 0), 1);
  dc.Clear();
  h.grid.PrintPage(&dc, 1);
  const int top = 590, bottom = 590 + 125, left = 590, right = 590 + 3 * 467;
  int topLines = 0, bottomLines = 0, leftLines = 0, rightLines = 0;
  for (const auto* op : dc.OpsOf(DcOpKind::LineTo)) {
    const POINT a = op->points[0], b = op->points[1];
    if (a.y == b.y) topLines += a.y == top, bottomLines += a.y == bottom;
    if (a.x == b.x) leftLines += a.x == left, rightLines += a.x == right;
  }
  EXPECT_EQ(topLines, 3);
  EXPECT_EQ(bottomLines, 0);
  EXPECT_EQ(leftLines, 1);
  EXPECT_EQ(rightLines, 1);
}

TEST(SGPrint, JoinedBlockAcrossAPageBreak) {
  Sheet h(2, 15);
  for (long r = 0; r < 10; ++r) h.grid.SetRowHeight(r, 80);   // 800
  for (long r = 10; r < 15; ++r) h.grid.SetRowHeight(r, 60);  // rows 10, 11 fit; 12 breaks
  h.grid.SetCellText(0, 10, "J");
  h.grid.SetCellText(1, 12, "hidden");
  h.grid.JoinCells(0, 10, 1, 12);
  std::vector<CSGCell> before;
  for (long r = 10; r <= 12; ++r)
    for (int c = 0; c <= 1; ++c) {
      before.emplace_back();
      h.grid.GetCell(c, r, &before.back());
    }
  plat::RecordingDc dc(A4());
  ASSERT_EQ(h.grid.PrintInit(&dc, nullptr, 0, 0, 1, 14), 2);
  for (int page = 1; page <= 2; ++page) {
    dc.Clear();
    h.grid.PrintPage(&dc, page);
    int starts = 0;
    for (const std::string& t : dc.Texts()) starts += t == "J";
    EXPECT_EQ(starts, 1) << page;
    size_t k = 0;
    for (long r = 10; r <= 12; ++r)
      for (int c = 0; c <= 1; ++c, ++k) {
        CSGCell now;
        h.grid.GetCell(c, r, &now);
        short o1, o2;
        int c1, c2, r1, r2;
        before[k].GetJoinInfo(&o1, &c1, &r1);
        now.GetJoinInfo(&o2, &c2, &r2);
        EXPECT_EQ(std::vector<int>({o1, c1, r1}), std::vector<int>({o2, c2, r2}))
            << page << ": " << c << "," << r;
        EXPECT_STREQ(now.GetText() ? now.GetText() : "",
                     before[k].GetText() ? before[k].GetText() : "");
      }
  }
}

TEST(SGPrint, PrinterWithoutPaperGivesNoPages) {
  struct Case {
    int horzRes, vertRes;
  };
  // No paper at all; paper narrower than the margins.
  for (const Case& k : {Case{0, 0}, Case{1181, 7016}, Case{4960, 1181}}) {
    Sheet h(5, 10);
    plat::RecordingDc dc(A4(k.horzRes, k.vertRes));
    EXPECT_EQ(h.grid.PrintInit(&dc, nullptr, 0, 0, 4, 9), 0) << k.horzRes;
    dc.Clear();
    EXPECT_EQ(h.grid.PrintPage(&dc, 1), 0);
    EXPECT_TRUE(dc.Ops().empty());
  }
}
