#include "wincomp/maskededit/WCMaskedEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLocale>
#include <QTest>
#include <memory>

#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "wincomp/maskededit/WChhmmssEdit.h"

namespace {

// Types `keys` into the edit: "{Del}", "{Bs}", "{Ins}", "{Left}", "{Right}", "{Home}",
// "{Up}", "{Down}", "{Paste}", "{Cut}" are keys, anything else typed characters.
void Type(QWidget* w, const std::string& keys) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == '{') {
      const std::size_t close = keys.find('}', i);
      const std::string k = keys.substr(i + 1, close - i - 1);
      i = close;
      if (k == "Paste")
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
      else if (k == "Cut")
        QTest::keyClick(w, Qt::Key_X, Qt::ControlModifier);
      else {
        const Qt::Key key = k == "Del"     ? Qt::Key_Delete
                            : k == "Bs"    ? Qt::Key_Backspace
                            : k == "Ins"   ? Qt::Key_Insert
                            : k == "Left"  ? Qt::Key_Left
                            : k == "Right" ? Qt::Key_Right
                            : k == "Home"  ? Qt::Key_Home
                            : k == "Up"    ? Qt::Key_Up
                                           : Qt::Key_Down;
        QTest::keyClick(w, key);
      }
    } else {
      QTest::keyClicks(w, QString(QChar(keys[i])));
    }
  }
}

struct EditCase {
  const char* what;
  const char* mask;   // nullptr: the hh:mm:ss time edit
  const char* input;  // input data set first (nullptr: leave the new control's)
  int selStart;       // selection (or caret when equal) before typing
  int selEnd;
  const char* clip;  // clipboard text before typing (nullptr: leave it)
  const char* keys;
  const char* text;  // the text shown afterwards
  int caret;
  int beeps;  // exclamation beeps heard
};

class MaskedEditKeys : public ::testing::TestWithParam<EditCase> {};

TEST_P(MaskedEditKeys, TypingGivesTheTextAndCaret) {
  plat::testing::EnsureQtApp();
  QLocale::setDefault(QLocale::c());
  const EditCase& c = GetParam();
  plat::testing::ScriptedUi ui;
  std::unique_ptr<CWCMaskedEdit> e;
  if (c.mask) {
    e = std::make_unique<CWCMaskedEdit>();
    e->SetMask(c.mask);
  } else {
    e = std::make_unique<CWChhmmssEdit>();
  }
  if (c.input) e->SetInputData(c.input, 0, TRUE);
  if (c.clip) QGuiApplication::clipboard()->setText(QString::fromLatin1(c.clip));
  e->setSelection(c.selStart, c.selEnd - c.selStart);
  if (c.selStart == c.selEnd) e->setCursorPosition(c.selStart);
  Type(e.get(), c.keys);
  EXPECT_EQ(e->GetWindowText(), c.text);
  EXPECT_EQ(e->GetMaskedText(), c.text);  // the text mirrors the positions
  EXPECT_EQ(e->cursorPosition(), c.caret);
  EXPECT_EQ(ui.Beeps(), std::vector<UINT>(c.beeps, MB_ICONEXCLAMATION));
}

const EditCase kCases[] = {
    {"digits step over the separators", nullptr, nullptr, 0, 0, nullptr, "123456", "12:34:56", 8,
     0},
    {"a letter beeps and changes nothing", nullptr, nullptr, 0, 0, nullptr, "a", "00:00:00", 0, 1},
    {"the time edit overtypes", nullptr, "123456", 0, 0, nullptr, "9", "92:34:56", 1, 0},
    {"Insert switches the time edit to inserting", nullptr, "123456", 0, 0, nullptr, "{Ins}9",
     "91:23:45", 1, 0},
    {"a plain masked edit inserts and drops the last", "##-##", "1234", 1, 1, nullptr, "9", "19-23",
     3, 0},
    {"a rejected insertion leaves all as it was", "#?", "1x", 0, 0, nullptr, "5", "1x", 0, 1},
    {"typing on a separator beeps and steps on", nullptr, "123456", 2, 2, nullptr, "7", "12:34:56",
     3, 1},
    {"Delete on a separator deletes the next input", nullptr, "123456", 2, 2, nullptr, "{Del}",
     "12:45:6 ", 3, 0},
    {"Delete at the end does nothing", nullptr, "123456", 8, 8, nullptr, "{Del}", "12:34:56", 8, 0},
    {"Backspace after a separator deletes the input before it", nullptr, "123456", 3, 3, nullptr,
     "{Bs}", "13:45:6 ", 1, 0},
    {"Backspace at the start does nothing", nullptr, "123456", 0, 0, nullptr, "{Bs}", "12:34:56", 0,
     0},
    {"Backspace over a selected separator takes the input before it", nullptr, "123456", 2, 3,
     nullptr, "{Bs}", "13:45:6 ", 1, 0},
    {"typing over a selection replaces it", nullptr, "123456", 0, 8, nullptr, "7", "7 :  :  ", 1,
     0},
    {"typing over a selected literal beeps", nullptr, "123456", 2, 3, nullptr, "7", "12:34:56", 3,
     1},
    {"pasting skips letters and literals", "##:##", nullptr, 0, 0, "ab12", "{Paste}", "12:  ", 3,
     0},
    {"pasting in the middle closes the input up", "####", "12", 2, 2, "3x4", "{Paste}", "1234", 4,
     0},
    {"cut closes the input up", nullptr, "123456", 0, 3, nullptr, "{Cut}", "34:56:  ", 0, 0},
    {"Right steps over a separator", nullptr, "123456", 1, 1, nullptr, "{Right}", "12:34:56", 3, 0},
    {"Down moves as Right does", nullptr, "123456", 1, 1, nullptr, "{Down}", "12:34:56", 3, 0},
    {"Left stops after the input before a separator", nullptr, "123456", 3, 3, nullptr, "{Left}",
     "12:34:56", 2, 0},
    {"Home goes to the first input position", "(###)", "123", 4, 4, nullptr, "{Home}", "(123)", 1,
     0},
    {"case-changing positions convert", "><&", nullptr, 0, 0, nullptr, "aB%", "Ab%", 3, 0},
    {"letter positions refuse digits", "?A", nullptr, 0, 0, nullptr, "1a1", "a1", 2, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, MaskedEditKeys, ::testing::ValuesIn(kCases));

TEST(MaskedEdit, MaskCharactersAndEscapes) {
  plat::testing::EnsureQtApp();
  QLocale::setDefault(QLocale::c());
  CWCMaskedEdit e;
  struct {
    const char* mask;
    const char* shown;
    int inputs;
  } cases[] = {
      {"##.##", "  .  ", 4}, {"\\##", "# ", 1},  // an escaped mask character is a literal
      {"#\\", " \\", 1},                         // a final backslash stands for itself
      {"a#b", "a b", 1},     {"", "", 0},
  };
  for (const auto& c : cases) {
    e.SetMask(c.mask);
    EXPECT_EQ(e.GetMaskedText(), c.shown) << c.mask;
    EXPECT_EQ(e.GetWindowText(), c.shown) << c.mask;
    int inputs = 0;
    for (int i = 0; i < static_cast<int>(e.GetMaskedText().size()); ++i)
      inputs += e.IsInputPosition(i) ? 1 : 0;
    EXPECT_EQ(inputs, c.inputs) << c.mask;
    EXPECT_FALSE(e.IsInputPosition(-1));
  }
  // SetInputData reports skipped characters and keeps the accepted ones.
  e.SetMask("##-##");
  EXPECT_FALSE(e.SetInputData("1x234", 0, TRUE));
  EXPECT_EQ(e.GetMaskedText(), "12-34");
  EXPECT_TRUE(e.SetInputData("9", 2, TRUE));  // keeps the first two, then 9
  EXPECT_EQ(e.GetMaskedText(), "12-9 ");
  EXPECT_TRUE(e.SetInputData("1 2", 0, FALSE));  // prompts left out
  EXPECT_EQ(e.GetInputData(), "12  ");
  EXPECT_FALSE(e.IsInputEmpty());
  e.EmptyData();
  EXPECT_FALSE(e.HasMask());
}

TEST(MaskedEdit, TextSetFromOutsideWithOrWithoutSeparatorsGivesTheSameTime) {
  plat::testing::EnsureQtApp();
  QLocale::setDefault(QLocale::c());
  CWChhmmssEdit e;
  EXPECT_EQ(e.GetWindowText(), "00:00:00");
  std::vector<UINT> codes;
  e.m_fnCommand = [&](UINT, UINT code) { codes.push_back(code); };
  for (const char* text : {"12:34:56", "123456"}) {
    codes.clear();
    EXPECT_TRUE(e.SetWindowText(text));
    EXPECT_EQ(e.GetWindowText(), "12:34:56") << text;
    int h = -1, m = -1, s = -1;
    EXPECT_EQ(e.GetTime(h, m, s), 12 * 3600 + 34 * 60 + 56) << text;
    // Setting the text from outside tells the parent of the update only.
    EXPECT_EQ(codes, std::vector<UINT>{EN_UPDATE}) << text;
  }
  // Typing tells it of the change as well.
  codes.clear();
  e.setCursorPosition(0);
  QTest::keyClicks(&e, "2");
  EXPECT_EQ(codes, (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  // Without a mask the edit is a plain line edit.
  CWCMaskedEdit plain;
  plain.SetWindowText("12:34");
  QTest::keyClicks(&plain, "x");
  EXPECT_EQ(plain.GetWindowText(), "12:34x");
  EXPECT_EQ(plain.GetInputData(), "12:34x");
}

TEST(MaskedEdit, GetTimeReadsAllThreeFieldsWhateverTheTimeSeparator) {
  plat::testing::EnsureQtApp();
  struct {
    QLocale locale;
    char sep;
  } cases[] = {{QLocale(QLocale::English, QLocale::UnitedStates), ':'},
               {QLocale(QLocale::Finnish, QLocale::Finland), '.'}};
  for (const auto& c : cases) {
    QLocale::setDefault(c.locale);
    CWChhmmssEdit e;
    EXPECT_EQ(e.GetTimeSeparator(), c.sep);
    e.SetTime(7, 8, 9);
    EXPECT_EQ(e.GetWindowText(), std::string("07") + c.sep + "08" + c.sep + "09");
    int h = -1, m = -1, s = -1;
    EXPECT_EQ(e.GetTime(h, m, s), 7 * 3600 + 8 * 60 + 9);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(m, 8);
    EXPECT_EQ(s, 9);
    // A field cut short by the prompt ends the reading: the caller's values stay.
    e.SetInputData("1 3456", 0, TRUE);
    h = m = s = 5;
    EXPECT_EQ(e.GetTime(h, m, s), 1 * 3600 + 5 * 60 + 5);
  }
  QLocale::setDefault(QLocale::c());
}

TEST(MaskedEdit, FocusLossAsksTheParentAndARejectionKeepsTheFocus) {
  plat::testing::EnsureQtApp();
  QLocale::setDefault(QLocale::c());
  plat::testing::ScriptedUi ui;
  QWidget dlg;
  auto* e = new CWChhmmssEdit(&dlg);
  e->SetDlgCtrlID(906);
  auto* other = new QLineEdit(&dlg);
  other->move(0, 40);
  dlg.show();
  dlg.activateWindow();
  QApplication::setActiveWindow(&dlg);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

  int asked = 0;
  BOOL answer = TRUE;
  e->m_fnValidate = [&](MaskedEditValidateNotify* n) {
    ++asked;
    EXPECT_EQ(n->hdr.hwndFrom, e);
    EXPECT_EQ(n->hdr.idFrom, 906u);
    EXPECT_EQ(n->hdr.code, 0x8136u);
    EXPECT_TRUE(n->bValid);
    EXPECT_TRUE(n->bDefaultValidation);
    n->bValid = answer;
    n->nPosition = 3;
  };
  e->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(e->hasFocus());
  // Accepted: the focus moves on quietly.
  other->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(other->hasFocus());
  EXPECT_TRUE(ui.Beeps().empty());
  // Rejected: a beep, and the focus comes back with the caret on the given position.
  e->setFocus();
  QApplication::processEvents();
  answer = FALSE;
  other->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(e->hasFocus());
  EXPECT_EQ(e->cursorPosition(), 3);
  EXPECT_EQ(ui.Beeps(), std::vector<UINT>{MB_ICONEXCLAMATION});
  e->m_fnValidate = nullptr;
}

TEST(MaskedEdit, PlainMaskedEditDefaultsAndAutoTab) {
  plat::testing::EnsureQtApp();
  QLocale::setDefault(QLocale::c());
  QWidget dlg;
  auto* e = new CWCMaskedEdit(&dlg);
  auto* next = new QLineEdit(&dlg);
  EXPECT_TRUE(e->GetInsertMode());
  EXPECT_EQ(e->GetPromptChar(), ' ');
  e->SetMask("##");
  e->SetAutoTab(TRUE);
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  e->setFocus();
  QApplication::processEvents();
  QTest::keyClicks(e, "12");
  QApplication::processEvents();
  EXPECT_EQ(e->GetWindowText(), "12");
  EXPECT_TRUE(next->hasFocus());
}

}  // namespace
