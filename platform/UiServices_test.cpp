#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Shell.h"
#include "platform/UiServices.h"
#include "platform/testing/ScriptedUi.h"

using plat::testing::Prompt;
using plat::testing::ScriptedUi;

TEST(UiServices, HeadlessAnswersTheDefaultButtonAndCancelsDialogs) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK | MB_ICONHAND, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNOCANCEL, IDYES},
      {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::AfxMessageBox("?", c.type), c.answer) << c.type;
  EXPECT_FALSE(plat::Ui().FileDialog({}).has_value());
  EXPECT_FALSE(plat::Ui().BrowseFolder("x").has_value());
  EXPECT_FALSE(plat::Ui().GetInputState());
}

TEST(UiServices, ParsesClassLibraryFilters) {
  auto f = plat::ParseFileFilter("Parameter file(*.pad;*.par)|*.pad;*.par||");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].description, "Parameter file(*.pad;*.par)");
  EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.pad", "*.par"}));
  // A single trailing bar and several entries.
  f = plat::ParseFileFilter("Seg2 File(*.sg2)|*.sg2|Text(*.txt)|*.txt|");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[1].description, "Text(*.txt)");
  EXPECT_EQ(f[1].patterns, (std::vector<std::string>{"*.txt"}));
  EXPECT_TRUE(plat::ParseFileFilter("").empty());
}

TEST(ScriptedUi, AnswersQuestionsInOrderAndRecordsEverything) {
  ScriptedUi ui;
  ui.ExpectMessage("Convert AEF to AEH?", IDNO)
      .ExpectFileDialog(Prompt::OpenFile, "Load parameters", std::string("/x/a.pad"))
      .ExpectMessage("open failed!, create??", IDYES)
      .ExpectFolder("Working folder", std::nullopt);
  EXPECT_EQ(plat::AfxMessageBox("Convert AEF to AEH?", MB_YESNO), IDNO);
  // An OK box needs no script.
  EXPECT_EQ(plat::AfxMessageBox("Save file failed!!"), IDOK);
  plat::FileDialogOptions o;
  o.title = "Load parameters";
  o.filter = "Parameter file(*.pad;*.par)|*.pad;*.par||";
  EXPECT_EQ(plat::Ui().FileDialog(o).value_or(""), "/x/a.pad");
  EXPECT_EQ(plat::AfxMessageBox("/d/e.aeh open failed!, create??", MB_YESNO), IDYES);
  EXPECT_FALSE(plat::Ui().BrowseFolder("Working folder of hypoDD").has_value());
  plat::MessageBeep(MB_ICONHAND);
  plat::MessageBeep(0);
  plat::Ui().SetPaneText(0, "AE#1", true);
  {
    plat::CWaitCursor outer;
    plat::CWaitCursor inner;
    EXPECT_EQ(ui.WaitCursorDepth(), 2);
  }
  EXPECT_EQ(ui.WaitCursorDepth(), 0);
  EXPECT_EQ(ui.WaitCursorBegins(), 2);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Convert AEF to AEH?", "Save file failed!!",
                                                          "/d/e.aeh open failed!, create??"}));
  ASSERT_EQ(ui.Shown().size(), 5u);
  EXPECT_EQ(ui.Shown()[2].filter, o.filter);
  EXPECT_EQ(ui.Beeps(), (std::vector<UINT>{MB_ICONHAND, 0}));
  ASSERT_EQ(ui.PaneTexts().size(), 1u);
  EXPECT_EQ(ui.PaneTexts()[0].text, "AE#1");
}

TEST(ScriptedUi, UnexpectedOrUnansweredPromptsFailTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUi ui;
        plat::AfxMessageBox("Are you sure to exit loop?", MB_YESNO);
      },
      "unexpected message box");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUi ui;
        ui.ExpectMessage("Skip?", IDYES);
        plat::Ui().BrowseFolder("Select folder");
        plat::AfxMessageBox("Skip?", MB_YESNO);
      },
      "while expecting message box");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUi ui;
        ui.ExpectMessage("Skip?", IDYES);
      },
      "was never shown");
  EXPECT_NONFATAL_FAILURE({ ScriptedUi ui; ui.BeginWaitCursor(); }, "unbalanced");
}

TEST(ScriptedUi, InputArrivesAfterTheGivenNumberOfPolls) {
  ScriptedUi ui;
  ui.InputPendingAfter(3);
  std::vector<bool> polls;
  for (int i = 0; i < 5; ++i) polls.push_back(plat::Ui().GetInputState());
  EXPECT_EQ(polls, (std::vector<bool>{false, false, false, true, false}));
}

TEST(ScriptedUi, RestoresThePreviousServices) {
  {
    ScriptedUi outer;
    {
      ScriptedUi inner;
      EXPECT_EQ(&plat::Ui(), &inner);
    }
    EXPECT_EQ(&plat::Ui(), &outer);
  }
  EXPECT_EQ(plat::AfxMessageBox("q", MB_YESNO | MB_DEFBUTTON2), IDNO);  // headless again
}

TEST(Shell, SiblingProgramIsFoundWithoutExeThenWithIt) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(TV_TEST_TMPDIR) / "siblings";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* n : {"Sylvor_AE", "Sylvor_AE.exe", "TKurvo.EXE"}) std::ofstream(dir / n) << "x";
  EXPECT_EQ(plat::FindSiblingProgram("Sylvor_AE.exe", dir.string()).value_or(""),
            (dir / "Sylvor_AE").string());
  EXPECT_EQ(plat::FindSiblingProgram("TKurvo.exe", dir.string()).value_or(""),
            (dir / "TKurvo.EXE").string());
  EXPECT_FALSE(plat::FindSiblingProgram("HypoDD_Quintar.exe", dir.string()).has_value());
}
