#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/base_test_support.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/testing/ScriptedUi.h"

using tv_test::TmpPath;
using tv_test::WriteTmpFile;

namespace {

std::string Fixture(const std::string& name) {
  return std::string(TV_SOURCE_DIR) + "/base/series/testdata/" + name;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(s);
  std::string item;
  while (std::getline(ss, item, sep)) out.push_back(item);
  return out;
}

// A table loaded with a known file, to see that refused files leave it alone.
void LoadKnown(KZ_MultiVarObj& t) {
  const std::string path = WriteTmpFile("known.kv0", "KVDATA01\nSAMPLES 2\nx y,mm\n1 2\n3 4\n");
  ASSERT_EQ(t.LoadFile(path), 2);
}

void ExpectKnown(KZ_MultiVarObj& t) {
  ASSERT_EQ(t.m_nColumns, 2);
  EXPECT_EQ(t.m_Columns[1].m_strTitle, "y");
  EXPECT_EQ(t.m_Columns[1].m_strUnit, "mm");
  EXPECT_EQ(t.m_Columns[1].m_nCount, 2);
  EXPECT_EQ(t.m_ppData[1][1], 4);
  EXPECT_EQ(t.m_strHeader[0], "File: " + TmpPath("known.kv0"));
}

}  // namespace

TEST(KVData, TableRoundTripWithAllColumns) {
  KZ_MultiVarObj t;
  const int nc = 101, nr = 7;
  t.SetSize(nc, 4000);
  t.m_nColumns = nc;
  t.m_strHeader[0] = "Run 7";
  t.m_strHeader[1] = "Loading rate 1e-5/s";
  t.m_nHeaders = 2;
  t.m_strHeader[2] = "START_TIME: 2009/05/01 12:00:30";
  for (int c = 0; c < nc; ++c) {
    for (int r = 0; r < nr; ++r) t.m_ppData[c][r] = (c - 50) * 1.5 + r * 0.0123457 + 1e-3 * c;
    t.m_Columns[c].SetAll(nr, 0, 0, std::string("T").append(std::to_string(c)),
                          c % 3 ? std::string("u").append(std::to_string(c)) : "", c % 4);
    t.m_Columns[c].m_nPlotStyle = static_cast<std::uint16_t>(1 + c % 5);
  }
  for (int k = 0; k < nc - 1; ++k) t.m_HValues[k] = 0.25 * k;
  t.m_pHVar->Attach("Freq", "Hz", t.m_HValues.data(), nullptr, nc - 1, 0, 0, 0, 1, 0, 0);
  const std::string path = TmpPath("roundtrip.kv0");
  ASSERT_EQ(t.SaveKVData(path), 1);

  KZ_MultiVarObj back;
  ASSERT_EQ(back.LoadFile(path), nr);
  ASSERT_EQ(back.m_nColumns, nc);
  EXPECT_EQ(back.m_nHeaders, 3);
  EXPECT_EQ(back.m_strHeader[0], "File: " + path);
  EXPECT_EQ(back.m_strHeader[1], "Run 7");
  EXPECT_EQ(back.m_strHeader[2], "Loading rate 1e-5/s");
  EXPECT_EQ(back.m_strHeader[3], "START_TIME: 2009/05/01 12:00:30");
  for (int c = 0; c < nc; ++c) {
    SCOPED_TRACE(c);
    const KZ_Var1D& a = t.m_Columns[c];
    const KZ_Var1D& b = back.m_Columns[c];
    EXPECT_EQ(b.m_strTitle, a.m_strTitle);
    EXPECT_EQ(b.m_strUnit, a.m_strUnit);
    EXPECT_EQ(b.m_nPlotStyle, a.m_nPlotStyle);
    EXPECT_EQ(b.m_nAxisFlags, a.m_nAxisFlags);
    EXPECT_EQ(b.m_nCount, nr);
    for (int r = 0; r < nr; ++r) EXPECT_NEAR(back.m_ppData[c][r], t.m_ppData[c][r], 5.0001e-7);
  }
  ASSERT_EQ(back.m_pHVar->m_nCount, nc - 1);
  EXPECT_EQ(back.m_pHVar->m_strTitle, "Freq");
  EXPECT_EQ(back.m_pHVar->m_strUnit, "Hz");
  EXPECT_EQ(back.m_HValues[99], 24.75);
  EXPECT_EQ(back.m_pHVar->m_dMax, 24.75);
}

// One file per dialect the program writes, made by tools/base_series/make_kv_fixtures.py.
TEST(KVData, EveryDialectLoads) {
  std::ifstream in(Fixture("kv_dialects.txt"));
  ASSERT_TRUE(in);
  std::string line;
  int files = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto f = Split(line, '|');
    ASSERT_EQ(f.size(), 10u);
    SCOPED_TRACE(f[0]);
    KZ_MultiVarObj t;
    const int rows = std::stoi(f[2]);
    EXPECT_EQ(t.LoadFile(Fixture(f[0])), rows);
    const int nc = std::stoi(f[1]);
    ASSERT_EQ(t.m_nColumns, nc);
    EXPECT_EQ(t.m_Columns[0].m_strTitle, f[3]);
    EXPECT_EQ(t.m_Columns[0].m_strUnit, f[4]);
    EXPECT_EQ(t.m_Columns[nc - 1].m_strTitle, f[5]);
    EXPECT_EQ(t.m_Columns[nc - 1].m_strUnit, f[6]);
    EXPECT_EQ(t.m_Columns[nc - 1].m_nCount, rows);
    if (f[7] != "-") {
      EXPECT_DOUBLE_EQ(t.m_ppData[nc - 1][rows - 1], std::stod(f[7]));
    }
    EXPECT_EQ(t.m_strHeader[0], "File: " + Fixture(f[0]));
    ++files;
  }
  EXPECT_EQ(files, 16);
}

TEST(KVData, TableDialectLinesAndHeader) {
  KZ_MultiVarObj t;
  ASSERT_EQ(t.LoadFile(Fixture("kv_table.kv0")), 3);
  EXPECT_EQ(t.m_nHeaders, 3);
  EXPECT_EQ(t.m_strHeader[1], "File: C:/exp/old.kv0");
  EXPECT_EQ(t.m_strHeader[2], "My table");
  EXPECT_EQ(t.m_strHeader[3], "START_TIME: 2009/05/01 12:00:30");
  const int styles[] = {1, 2, 4, 8};
  const unsigned flags[] = {1, 2, 0, 2};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(t.m_Columns[c].m_nPlotStyle, styles[c]);
    EXPECT_EQ(t.m_Columns[c].m_nAxisFlags, flags[c]);
  }
  EXPECT_EQ(t.m_Columns[2].m_dMin, 0);  // "Az" in degrees
  EXPECT_EQ(t.m_Columns[2].m_dMax, 360);
  EXPECT_EQ(t.m_Columns[1].m_dMin, 1);  // others: computed and rounded outwards
  EXPECT_EQ(t.m_Columns[1].m_dMax, 5);
  EXPECT_EQ(t.m_pHVar->m_nCount, 3);
  EXPECT_EQ(t.m_pHVar->m_strTitle, "Freq");
  EXPECT_EQ(t.m_HValues[2], 30);

  KZ_MultiVarObj d;
  ASSERT_EQ(d.LoadFile(Fixture("kv_detector.kv0")), 3);  // the second run's head ends the rows
  EXPECT_EQ(d.m_Columns[0].m_nAxisFlags, 1u);
  EXPECT_EQ(d.m_Columns[1].m_nAxisFlags, 0u);
  EXPECT_EQ(d.m_Columns[9].m_nAxisFlags, 2u);
  EXPECT_EQ(d.m_strHeader[1], "Detecte event");
}

TEST(KVData, FactorsRangesAndErrorTables) {
  struct Case {
    const char* name;
    const char* text;
    double min1, max1;  // column 1's range after loading
    double v1;          // column 1, row 0
  };
  const Case cases[] = {
      {"factor", "KVDATA02\nSAMPLES 2\nx\ty\n1\t2\nMIN: 0 -1\nMAX: 10 10\n1 3\n2 4\n", -2, 20, 6},
      {"factors on two lines", "KVDATA02\nSAMPLES 2\nx\ty\n1\n 2 rest ignored\n1 3\n2 4\n", 6, 8,
       6},
      {"only MIN", "KVDATA02\nSAMPLES 2\nx\ty\n1 1\nMIN: 0 -100\n1 3\n2 4\n", 3, 4, 3},
      {"version 1: no factor line", "KVDATA01 free title\nSAMPLES 2\nx\ty\n1 3\n2 4\n", 3, 4, 3},
      {"no SAMPLES: titles from the last header line", "KVDATA01\nx\ty\n", 0, 50, 0},
      {"free lines after START_TIME are titles",
       "KVDATA01\nSTART_TIME: 2009/05/01 12:00:30\nx\ty\n1 3\n2 4\n", 3, 4, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KZ_MultiVarObj t;
    t.LoadFile(WriteTmpFile("case.kv0", c.text));
    ASSERT_EQ(t.m_nColumns, 2);
    EXPECT_EQ(t.m_Columns[1].m_strTitle, "y");
    EXPECT_NEAR(t.m_Columns[1].m_dMin, c.min1, 1e-12);
    EXPECT_NEAR(t.m_Columns[1].m_dMax, c.max1, 1e-12);
    EXPECT_EQ(t.m_ppData[1][0], c.v1);
  }

  KZ_MultiVarObj e;
  ASSERT_EQ(e.LoadFile(WriteTmpFile(
                "err.kv0", "KVDATA01 Error of fit\nSAMPLES 2\nn a b c\n1 0.5 2 -3\n2 1 4 -1\n")),
            2);
  EXPECT_EQ(e.m_strHeader[1], "Error of fit");
  EXPECT_EQ(e.m_nColourLevels, 15);
  EXPECT_EQ(e.m_nStep, 62);
  for (int c = 1; c < 4; ++c) {
    EXPECT_EQ(e.m_Columns[c].m_dMin, -3);
    EXPECT_EQ(e.m_Columns[c].m_dMax, 4);
  }
  EXPECT_EQ(e.m_Columns[0].m_dMax, 2);
}

TEST(KVData, DataBeyondTheTableAreCutAndReported) {
  plat::testing::ScriptedUi ui;
  // 105 columns: the table takes its 101, the user is told.
  std::string text = "KVDATA01\n";
  for (int h = 0; h < 20; ++h) text += "header " + std::to_string(h) + "\n";
  text += "SAMPLES 1\n";
  for (int c = 0; c < 105; ++c) {
    text += 'c';
    text += std::to_string(c);
    text += c < 104 ? ' ' : '\n';
  }
  for (int c = 0; c < 105; ++c) text += std::to_string(c) + (c < 104 ? " " : "\n");
  KZ_MultiVarObj t;
  EXPECT_EQ(t.LoadFile(WriteTmpFile("wide.kv0", text)), 1);
  EXPECT_EQ(t.m_nColumns, 101);
  EXPECT_EQ(t.m_ppData[100][0], 100);
  EXPECT_EQ(t.m_nHeaders, 15);
  EXPECT_EQ(t.m_strHeader[14], "header 13");
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("4 columns"), std::string::npos);
  EXPECT_NE(ui.MessageTexts()[0].find("6 header lines"), std::string::npos);

  // More rows than the SAMPLES line announces, and more than the document's 4000: the
  // table grows to hold them.
  std::string rows = "KVDATA01\nSAMPLES 10\nx y\n";
  for (int r = 0; r < 4500; ++r) rows += std::to_string(r) + " " + std::to_string(2 * r) + "\n";
  KZ_MultiVarObj doc;
  doc.SetSize(101, 4000);
  EXPECT_EQ(doc.LoadFile(WriteTmpFile("long.kv0", rows)), 4500);
  EXPECT_GE(doc.m_nRowCapacity, 4500);
  EXPECT_EQ(doc.m_ppData[1][4499], 8998);
  EXPECT_EQ(ui.MessageTexts().size(), 1u);
}

TEST(KVData, ColumnImports) {
  plat::testing::ScriptedUi ui;
  KZ_MultiVarObj h;
  const std::string his =
      WriteTmpFile("run.HIS", "Step FISH_1 Stress Strain\nignored line\n1 10 0.5\n2 20 0.7\n3 x\n");
  EXPECT_EQ(h.LoadFile(his), 2);
  ASSERT_EQ(h.m_nColumns, 3);
  EXPECT_EQ(h.m_Columns[1].m_strTitle, "Stress");
  EXPECT_EQ(h.m_Columns[2].m_strTitle, "Strain");
  EXPECT_EQ(h.m_ppData[2][1], 0.7);
  EXPECT_EQ(h.m_Columns[0].m_nAxisFlags, KZ_AXIS_X);
  EXPECT_EQ(h.m_Columns[1].m_nAxisFlags, KZ_AXIS_Y);
  EXPECT_EQ(h.m_Columns[1].m_nPlotStyle, 1);
  EXPECT_EQ(h.m_Columns[2].m_dMin, 0.5);
  EXPECT_EQ(h.m_strHeader[0], "Load from " + his);
  EXPECT_EQ(h.m_nHeaders, 1);

  KZ_MultiVarObj c;
  std::string csv = "time, load,\tdisp\n";
  for (int r = 0; r < 5003; ++r) csv += std::to_string(r) + "," + std::to_string(r % 7) + ",1.5\n";
  EXPECT_EQ(c.LoadFile(WriteTmpFile("run.csv", csv)), 5000);
  ASSERT_EQ(c.m_nColumns, 3);
  EXPECT_EQ(c.m_Columns[1].m_strTitle, "load");
  EXPECT_EQ(c.m_Columns[2].m_strTitle, "disp");
  EXPECT_EQ(c.m_ppData[0][4999], 4999);
  EXPECT_EQ(c.m_Columns[1].m_nPlotStyle, 2);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("3 rows beyond"), std::string::npos);

  // 21 columns: rows carry at most 20 values, so none is read.
  std::string wide;
  for (int k = 0; k < 21; ++k) wide += "c" + std::to_string(k) + (k < 20 ? "," : "\n");
  for (int k = 0; k < 21; ++k) wide += std::to_string(k) + (k < 20 ? "," : "\n");
  KZ_MultiVarObj w;
  EXPECT_EQ(w.LoadFile(WriteTmpFile("wide.CSV", wide)), 0);
  EXPECT_EQ(w.m_nColumns, 21);
}

TEST(KVData, AddColumnsFromFile) {
  plat::testing::ScriptedUi ui;
  KZ_MultiVarObj t;
  LoadKnown(t);  // two columns, two rows
  const std::string more =
      WriteTmpFile("more.kv0", "KVDATA01\nSAMPLES 3\np,Pa q\n5 6\n7 8\n9 10\n");
  EXPECT_EQ(t.AddColumnsFromFile(more), 4);
  EXPECT_EQ(t.m_Columns[2].m_strTitle, "p");
  EXPECT_EQ(t.m_Columns[2].m_strUnit, "Pa");
  EXPECT_EQ(t.m_Columns[3].m_nCount, 2);  // this table's rows
  EXPECT_EQ(t.m_ppData[3][1], 8);
  EXPECT_EQ(t.m_ppData[3][2], 0);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);  // the third row did not fit the table's rows
  EXPECT_EQ(t.AddColumnsFromFile(TmpPath("missing.kv0")), 0);

  const std::string shorter = WriteTmpFile("short.kv0", "KVDATA01\nSAMPLES 1\nr\n11\n");
  EXPECT_EQ(t.AddColumnsFromFile(shorter), 5);
  EXPECT_EQ(t.m_ppData[4][0], 11);
  EXPECT_EQ(t.m_ppData[4][1], 0);  // padded with zeros
}

// Files that are refused leave the table as it was and say why.
TEST(KVData, BadInputLeavesTheTableIntact) {
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"bad.kv0", "KVDAT 01\nSAMPLES 1\nx\n1\n"},
      {"bad.kv0", ""},
      {"bad.kv0", "KVDATA01 only a magic line\n"},
      {"bad.kv0", "KVDATA01\nSAMPLES 3\n"},
      {"bad.kv0", "KVDATA02\nSAMPLES 1\nx y\n1 two\n"},
      {"bad.kv0", "KVDATA02\nSAMPLES 1\nx y\n1\n"},
      {"bad.kv0", "KVDATA01\nSAMPLES 1\n\x01\x02\n1\n"},
      {"bad.his", ""},
      {"bad.his", "\x01 x\n\n1\n"},
      {"bad.csv", ",,,\n1,2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    plat::testing::ScriptedUi ui;
    KZ_MultiVarObj t;
    LoadKnown(t);
    const std::string path = WriteTmpFile(c.name, c.text);
    EXPECT_EQ(t.LoadFile(path), 0);
    ExpectKnown(t);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find(path), std::string::npos);
  }
  {
    // A NUL byte before the key of a range or plot line: the key still counts (the colon
    // was once looked for in the C text, which ends at the NUL).
    using namespace std::string_literals;
    KZ_MultiVarObj t;
    ASSERT_EQ(
        t.LoadFile(WriteTmpFile("nul.kv0",
                                "KVDATA02\nSAMPLES 2\nx\ty\n1 1\n\0MIN: 0 -100\n"
                                "\0MAX: 0 100\n\0PLOT_TYPE: 0 3\n\0PLOT_XY: 1 2\n1 3\n2 4\n"s)),
        2);
    EXPECT_EQ(t.m_Columns[1].m_dMin, -100);
    EXPECT_EQ(t.m_Columns[1].m_dMax, 100);
  }
  plat::testing::ScriptedUi ui;
  KZ_MultiVarObj t;
  LoadKnown(t);
  EXPECT_EQ(t.LoadFile(TmpPath("no-such-file.kv0")), 0);  // cannot be opened: nothing to say
  ExpectKnown(t);
  EXPECT_TRUE(ui.MessageTexts().empty());
}
