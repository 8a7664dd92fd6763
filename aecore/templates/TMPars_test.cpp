#include "aecore/templates/TMPars.h"

#include <gtest/gtest.h>

#include <string>

#include "aecore/aecore_test_support.h"

using tv_test::ReadText;
using tv_test::TmpDir;
using tv_test::WriteText;

namespace {

// The file a freshly initialised block writes, line by line as the sibling program reads it.
const char* const kInitFile =
    "!Parameters for template-matching of Halvic AEs\n"
    "       P velocity Vx = -1.00\n"
    "       P velocity Vy = -1.00\n"
    "       P velocity Vz = -1.00\n"
    "          Time shift = 2.00\n"
    "       Time before P = 5.00\n"
    "        Time after P = 10.00\n"
    "     Interevent time = 250\n"
    "         Tenper head = 0.00\n"
    "         Tenper tail = 0.30\n"
    "    Lower corn freq. = 0.10\n"
    "    Upper corn. freq = 3.00\n"
    " CC def. similar evt = 0.90\n"
    "       Threshold CC  = 0.40\n"
    "       Threshold SNR = 2.00\n"
    "Searching distance X = 3.00\n"
    "Searching distance Y = 3.00\n"
    "Searching distance Z = 3.00\n"
    "       Grid number X = 6\n"
    "       Grid number Y = 6\n"
    "       Grid number Z = 6\n"
    "       Template path = \"\"\n"
    "    AE waveform path = \"\"\n"
    "         Output path = \"\"\n"
    " Number of templates = 1000\n"
    " Max. number of evts = 1000\n"
    "         Output flag = 2\n"
    "         Maximum Mid = 12\n"
    "Redo pre-detected ev = 0\n";

TMPars Fresh() {
  TMPars p;
  InitTMParameters(p);
  return p;
}

}  // namespace

TEST(TMParameterFile, InitialBlockWritesTheFixedLines) {
  const std::string dir = TmpDir("tmpars_init");
  const TMPars p = Fresh();
  ASSERT_EQ(WriteTMParameters(dir + "/ML_CC_AE_pars.txt", p), 1);
  EXPECT_EQ(ReadText(dir + "/ML_CC_AE_pars.txt"), kInitFile);
}

TEST(TMParameterFile, RoundTripKeepsEveryWrittenField) {
  const std::string dir = TmpDir("tmpars_round");
  TMPars p = Fresh();
  p.m_fVx = 5.25f;
  p.m_fVy = 5.5f;
  p.m_fVz = 6.0f;
  p.m_fTimeShift = 1.5f;
  p.m_fInterevent = 120.0f;
  p.m_fThresholdCC = 0.65f;
  p.m_nGridX = 2;
  p.m_nGridY = 3;
  p.m_nGridZ = 4;
  p.m_iTS = 10;
  p.m_iTE = 20;
  p.m_nTemplates = 30;
  p.m_nMaxMid = 9;
  p.m_nOutputFlag = 5;
  p.m_strTemplatePath = "/data/My Templates/";
  p.m_strWavePath = "/data/wave files/";
  p.m_strOutputPath = "/out/";
  const std::string path = dir + "/ML_CC_AE_pars.txt";
  ASSERT_EQ(WriteTMParameters(path, p), 1);
  EXPECT_NE(ReadText(path).find(" Number of templates = 30 iTS=10 iTE=20\n"), std::string::npos);
  EXPECT_NE(ReadText(path).find("       Template path = \"/data/My Templates/\"\n"),
            std::string::npos);

  TMPars q = Fresh();
  q.m_nMinStations = 7;
  q.m_nFirstAE = 33;  // the event range travels outside the file
  ASSERT_EQ(ReadTMParameters(path, q), 1);
  EXPECT_FLOAT_EQ(q.m_fVx, 5.25f);
  EXPECT_FLOAT_EQ(q.m_fVz, 6.0f);
  EXPECT_FLOAT_EQ(q.m_fTimeShift, 1.5f);
  EXPECT_FLOAT_EQ(q.m_fInterevent, 120.0f);
  EXPECT_FLOAT_EQ(q.m_fThresholdCC, 0.65f);
  EXPECT_EQ(q.m_nGridX, 2);
  EXPECT_EQ(q.m_nGridY, 3);
  EXPECT_EQ(q.m_nGridZ, 4);
  EXPECT_EQ(q.m_nTemplates, 30);
  EXPECT_EQ(q.m_iTS, 10);
  EXPECT_EQ(q.m_iTE, 20);
  EXPECT_EQ(q.m_nMaxMid, 9);
  EXPECT_EQ(q.m_nOutputFlag, 5);
  EXPECT_EQ(q.m_strTemplatePath, "/data/My Templates/");
  EXPECT_EQ(q.m_strWavePath, "/data/wave files/");
  EXPECT_EQ(q.m_strOutputPath, "/out/");
  EXPECT_EQ(q.m_nMinStations, 4);
  EXPECT_EQ(q.m_nFirstAE, 33);

  // Written back, the block gives the same bytes.
  ASSERT_EQ(WriteTMParameters(dir + "/again.txt", q), 1);
  EXPECT_EQ(ReadText(dir + "/again.txt"), ReadText(path));
}

// Folder paths longer than any fixed line buffer (here 300 and 600 characters) come back
// whole, and the fields after them stay in their places.
TEST(TMParameterFile, LongPathsKeepTheLaterFields) {
  const std::string dir = TmpDir("tmpars_long");
  TMPars p = Fresh();
  p.m_strTemplatePath = "/data/" + std::string(300, 't') + "/";
  p.m_strWavePath = "/data/" + std::string(600, 'w') + "/";
  p.m_strOutputPath = "/out/";
  p.m_nTemplates = 30;
  p.m_nMaxEvents = 77;
  p.m_nOutputFlag = 5;
  p.m_nMaxMid = 9;
  const std::string path = dir + "/ML_CC_AE_pars.txt";
  ASSERT_EQ(WriteTMParameters(path, p), 1);
  TMPars q = Fresh();
  ASSERT_EQ(ReadTMParameters(path, q), 1);
  EXPECT_EQ(q.m_strTemplatePath, p.m_strTemplatePath);
  EXPECT_EQ(q.m_strWavePath, p.m_strWavePath);
  EXPECT_EQ(q.m_strOutputPath, "/out/");
  EXPECT_EQ(q.m_nTemplates, 30);
  EXPECT_EQ(q.m_nMaxEvents, 77);
  EXPECT_EQ(q.m_nOutputFlag, 5);
  EXPECT_EQ(q.m_nMaxMid, 9);
}

// Hand-edited files: the reader goes by position and takes defaults for what it cannot read.
TEST(TMParameterFile, EditedFilesReadByPosition) {
  const std::string dir = TmpDir("tmpars_edit");
  struct Case {
    const char* name;
    std::string from, to;  // replaced text of the initial file
    float thresholdCC, timeShift, vx;
    int gridZ, redo, mean;
  };
  const Case cases[] = {
      // A deleted "=" yields the reader default, not the number on the line.
      {"no equals", "Threshold CC  = 0.40", "Threshold CC    0.40", 0.5f, 2.0f, -1.0f, 6, 0, 0},
      {"no number", "Time shift = 2.00", "Time shift = ", 0.4f, 0.3f, -1.0f, 6, 0, 0},
      // Comments and blank lines in between do not shift the fields.
      {"comment and blank", "          Time shift = 2.00\n",
       "          Time shift = 2.00\n\n# a note\n   ! another\n", 0.4f, 2.0f, -1.0f, 6, 0, 0},
      // Any other extra line does: every later field moves down by one.
      {"extra line", "          Time shift = 2.00\n", "          Time shift = 2.00\nExtra = 9.00\n",
       0.9f, 2.0f, -1.0f, 6, 0, 0},
      // Switch lines after the fixed rows: "all" sets the redo flag, "mean" mean removal.
      {"switches", "Redo pre-detected ev = 0\n",
       "Redo pre-detected ev = 0\nRedo all = 1\nmean removal = 1\n", 0.4f, 2.0f, -1.0f, 6, 1, 1},
      // A file cut short: the missing rows take the reader defaults.
      {"truncated", "Searching distance X", "[END] Searching distance X", 0.4f, 2.0f, -1.0f, 5, 0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = kInitFile;
    const std::size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, c.from.size(), c.to);
    const std::string path = dir + "/pars.txt";
    WriteText(path, text);
    TMPars p = Fresh();
    ASSERT_EQ(ReadTMParameters(path, p), 1);
    EXPECT_FLOAT_EQ(p.m_fThresholdCC, c.thresholdCC);
    EXPECT_FLOAT_EQ(p.m_fTimeShift, c.timeShift);
    EXPECT_FLOAT_EQ(p.m_fVx, c.vx);
    EXPECT_EQ(p.m_nGridZ, c.gridZ);
    EXPECT_EQ(p.m_bRedo, c.redo);
    EXPECT_EQ(p.m_bMeanRemoval, c.mean);
  }
}

TEST(TMParameterFile, FailuresLeaveBlockAndDiskAlone) {
  const std::string dir = TmpDir("tmpars_fail");
  TMPars p = Fresh();
  p.m_fVx = 3.0f;
  EXPECT_EQ(ReadTMParameters(dir + "/missing.txt", p), 0);
  EXPECT_FLOAT_EQ(p.m_fVx, 3.0f);
  EXPECT_EQ(WriteTMParameters(dir + "/no/such/folder/pars.txt", p), 0);
}
