// The working sheet in-process on a copy of the synthetic sample experiment: the dialog
// made by Utilities > Working sheet, the immediate write-back of edited option cells,
// and the "Draw Opt." tab's lists, "Redraw.." button and hints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/DlgOper.h"
#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "app/TremviaDocument.h"
#include "app/TremviaResources.h"
#include "app/WorkingSheet_testkit.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/graph/GraphView.h"
#include "views/hypo/LocView.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGTab.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;
using wstest::HintRecorder;
using wstest::Session;
using wstest::Use;

namespace {

// A copy of the sample experiment of its own, so that nothing written reaches the repo.
fs::path Experiment() {
  static const fs::path dir = wstest::CopyExperiment("WorkingSheet");
  return dir;
}

Session& WithEvent() {
  static Session* s = new Session((Experiment() / "CUBE.00/000000.WAV").string(),
                                  (Experiment() / "Cube.pad").string());
  return *s;
}

Session& ParameterFileOnly() {
  static Session* s = new Session((Experiment() / "Cube.pad").string(), "");
  return *s;
}

TEST(WorkingSheet, AParameterFileAloneLeavesTheDrawingTabEmptyAndTheDialogIsMadeOnce) {
  Session& s = ParameterFileOnly();
  ASSERT_NE(s.frame, nullptr);
  EXPECT_EQ(s.frame->m_pDlgOper, nullptr);
  // The document keeps an empty waveform object after a parameter file; the tab asks
  // for one that exists, as after an event file.
  s.host->m_pWave.reset();
  Use use(s);
  CDlgOper* dlg = s.frame->m_pDlgOper.get();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(dlg->windowTitle(), "Options and Utilities");
  CGridFun& g = use.Grid();
  EXPECT_EQ(g.GetSheetCount(), 6);
  const CSGTab& tabs = *g.m_CUGTab;
  ASSERT_EQ(tabs.GetTabCount(), 6);
  const char* labels[] = {"Draw Opt.", "File", "VM, reLoc", "Mec", "T-M", "AE DP"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(tabs.m_tabLabels[i], labels[i]);
  // The grid fills the client area, also after the dialog is resized.
  EXPECT_EQ(SGWidgetOf(g)->geometry(), dlg->rect());
  dlg->resize(dlg->width() + 120, dlg->height() + 80);
  QApplication::processEvents();
  EXPECT_EQ(SGWidgetOf(g)->geometry(), dlg->rect());
  // Sheet 0 is current, laid out but without rows of options.
  EXPECT_EQ(g.GetCurrentSheet(), 0);
  EXPECT_EQ(g.GetRowCount(), 75);
  EXPECT_EQ(g.GetColumnWidth(1), 100);
  for (long r = 0; r < 17; ++r) EXPECT_EQ(use.Text(0, r), "") << r;

  // A click on a sheet tab shows that sheet.
  QWidget* tabWidget = SGWidgetOf(*g.m_CUGTab);
  int x = 0;
  while (x < tabWidget->width() && tabs.HitTab(x) != CGridFun::kMec) ++x;
  ASSERT_LT(x, tabWidget->width());
  QTest::mouseClick(tabWidget, Qt::LeftButton, Qt::NoModifier,
                    QPoint(x + 2, tabWidget->height() / 2));
  EXPECT_EQ(g.GetCurrentSheet(), CGridFun::kMec);
  EXPECT_EQ(g.GetRowCount(), 40);
  g.OnSheetTabClicked(CGridFun::kDrawOpt);

  // Closing hides it; the next use shows the same dialog with the same cells.
  g.SetCellText(1, 30, "kept");
  dlg->close();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(s.frame->SendCommand(ID_WORKING_SHEET));
  EXPECT_EQ(s.frame->m_pDlgOper.get(), dlg);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(use.Text(1, 30), "kept");
  dlg->hide();
}

TEST(WorkingSheet, DrawOptShowsTheOpenExperimentsOptions) {
  Use use(WithEvent());
  CGridFun& g = use.Grid();
  CAEHypo& h = use.Hypo();
  EXPECT_EQ(use.Text(0, 0), "Selection options");
  EXPECT_EQ(use.Text(0, 3), "Redraw..");
  CSGCell list;
  g.GetCell(1, 3, &list);
  EXPECT_EQ(g.OptionLine(list.GetLabel(), 15), "15: C(r)-r");
  EXPECT_EQ(KZ_ParseLeadingInt(use.Text(1, 3).c_str()), h.m_nPlotType);
  EXPECT_EQ(KZ_ParseLeadingInt(use.Text(0, 7).c_str()), h.m_nSizeMode);
  EXPECT_EQ(KZ_ParseLeadingInt(use.Text(2, 7).c_str()), h.m_nColorMode);
  EXPECT_EQ(use.Text(3, 9), "Az,Ad=0,60 deg");
  EXPECT_EQ(use.Text(0, 15), "1");  // "Diffusive front" starts ticked
  EXPECT_EQ(use.Text(0, 16), h.m_bSolidCircles ? "1" : "0");
  // Option cells are chosen from their lists, values typed, labels fixed.
  EXPECT_TRUE(g.IsCellEditable(2, 1));
  EXPECT_FALSE(g.IsCellEditable(2, 2));  // "-"
  EXPECT_FALSE(g.IsCellEditable(1, 3));
  EXPECT_FALSE(g.IsCellEditable(4, 1));
  // The tab as the user sees it, kept beside the test's other files.
  use.Dialog()->resize(900, 560);
  QApplication::processEvents();
  use.Dialog()->grab().save(QString(TV_TEST_TMPDIR) + "/working-sheet-draw-opt.png");
}

TEST(WorkingSheet, EditedOptionCellsAreWrittenAtOnce) {
  Use use(WithEvent());
  CAEHypo& h = use.Hypo();
  struct Case {
    int sheet, col;
    long row;
    const char* typed;
    double want;
    int CAEHypo::*i;
    float CAEHypo::*f;
  } cases[] = {
      {0, 1, 1, "F=9", 9, &CAEHypo::m_nClassMask, nullptr},
      {0, 2, 1, "Ns=5.9", 5, &CAEHypo::m_nMinArrivals, nullptr},
      {0, 3, 1, "CC>=0.75", 0.75, nullptr, &CAEHypo::m_fMinCC},
      {0, 1, 2, "Air=0.2", 0.2, nullptr, &CAEHypo::m_fAirMargin},
      {0, 1, 5, "1.5", 1.5, nullptr, &CAEHypo::m_fSampleScale},
      {0, 2, 5, "33", 33, nullptr, &CAEHypo::m_fHypoScale},
      {2, 1, 11, "x=1.25", 1.25, nullptr, &CAEHypo::m_fFixX},
      {2, 1, 12, "y=-2", -2, nullptr, &CAEHypo::m_fFixY},
      {2, 1, 13, "z=30.5", 30.5, nullptr, &CAEHypo::m_fFixZ},
      {2, 1, 14, "miSN=3.5", 3.5, nullptr, &CAEHypo::m_fMinSN},
      {2, 2, 14, "mxRes=0.4", 0.4, nullptr, &CAEHypo::m_fMaxRes},
      {2, 1, 15, "200", 200, &CAEHypo::m_nPickStart, nullptr},
      {2, 2, 15, "2048.7", 2048, &CAEHypo::m_nPickLength, nullptr},
      {2, 1, 17, "tW=12.5", 12.5, nullptr, &CAEHypo::m_fMwFcWindow},
      {3, 1, 1, "nP=11", 11, &CAEHypo::m_nMecMinFM, nullptr},
      {3, 2, 1, "Acri=0.3", 0.3, nullptr, &CAEHypo::m_fMecAcri},
      {3, 1, 2, "nU=4", 4, &CAEHypo::m_nMecMinUp, nullptr},
      {3, 2, 2, "nD=-6.8", 0, &CAEHypo::m_nMecMinDown, nullptr},  // a count stays >= 0
      // Values the readers cannot hold are kept within their range.
      {2, 2, 15, "99999", 16396, &CAEHypo::m_nPickLength, nullptr},
      {0, 2, 1, "Ns=1e30", INT_MAX, &CAEHypo::m_nMinArrivals, nullptr},
      {0, 3, 1, "CC>=nan", 0, nullptr, &CAEHypo::m_fMinCC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "sheet " << c.sheet << " " << c.typed);
    plat::testing::ScriptedUi ui;
    use.Type(c.sheet, c.col, c.row, c.typed);
    if (c.i) {
      EXPECT_EQ(h.*c.i, static_cast<int>(c.want));
    } else {
      EXPECT_NEAR(h.*c.f, c.want, 1e-6);
    }
    const bool noted = !ui.PaneTexts().empty();
    const bool clamped = c.want == 16396 || c.want == INT_MAX ||
                         std::string(c.typed) == "CC>=nan" || std::string(c.typed) == "nD=-6.8";
    EXPECT_EQ(noted, clamped);
  }
  // A cancelled edit and cells that are read only by "Redraw.." store nothing.
  const int ns = h.m_nMinArrivals;
  use.Grid().SetCurrentSheet(0);
  use.Grid().OnEditFinish(2, 1, nullptr, "Ns=3", 1);
  EXPECT_EQ(h.m_nMinArrivals, ns);
  const float x = h.m_fFaultX, az = h.m_fFaultAzimuth;
  use.Type(0, 1, 9, "x,y,z=7,8,9");
  use.Type(0, 3, 9, "Az,Ad=45,10");
  use.Type(0, 1, 10, "Az,Ad=5,6");
  EXPECT_EQ(h.m_fFaultX, x);
  EXPECT_EQ(h.m_fFaultAzimuth, az);
  EXPECT_TRUE(use.recorder.hints.empty());  // no page is told
}

TEST(WorkingSheet, RealTypingAndPastingReachTheOptionBlock) {
  Use use(WithEvent());
  CGridFun& g = use.Grid();
  CAEHypo& h = use.Hypo();
  g.SetCurrentSheet(CGridFun::kDrawOpt);
  CDlgOper* dlg = use.Dialog();
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
  QWidget* cells = SGWidgetOf(*g.m_CUGGrid);
  RECT r{};
  g.GetCellRect(2, 1, &r);
  QTest::mouseClick(cells, Qt::LeftButton, Qt::NoModifier,
                    QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  ASSERT_EQ(std::make_pair(g.GetCurrentColumn(), g.GetCurrentRow()), std::make_pair(2, 1L));
  QTest::mouseDClick(cells, Qt::LeftButton, Qt::NoModifier,
                     QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  ASSERT_TRUE(g.m_editInProgress);
  QWidget* editor = SGWidgetOf(g.m_defEditCtrl);
  QTest::keyClicks(editor, "Ns=6");
  QTest::keyClick(editor, Qt::Key_Return);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_EQ(use.Text(2, 1), "Ns=6");
  EXPECT_EQ(h.m_nMinArrivals, 6);
  // A key typed on the cell opens the editor and is the edit's first character.
  g.GotoCell(2, 1);
  QTest::keyClick(cells, 'N');
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  ASSERT_TRUE(g.m_editInProgress);
  QTest::keyClicks(editor, "s=7");
  QTest::keyClick(editor, Qt::Key_Return);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_EQ(use.Text(2, 1), "Ns=7");
  EXPECT_EQ(h.m_nMinArrivals, 7);

  // Pasting over a handled cell stores the first number of what was pasted.
  g.GotoCell(2, 1);
  g.CopyTextToClipboard("Ns=12\tjunk");
  g.OnPopupCommand(2, 1, 1, KZ_GridFit::kMenuPaste);
  EXPECT_EQ(h.m_nMinArrivals, 12);
}

TEST(WorkingSheet, RedrawReadsEveryDrawingOptionFromItsCell) {
  Session& s = WithEvent();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CLocView* view = s.frame->GetLocView(FALSE);
  ASSERT_NE(view, nullptr);
  CGridFun& g = use.Grid();
  g.SetCurrentSheet(0);
  const int ns = h.m_nMinArrivals, mask = h.m_nClassMask;
  struct Cell {
    int col;
    long row;
    const char* text;
  } cells[] = {
      {1, 5, "2.5"},
      {2, 5, "44"},
      {0, 7, "2: Sized by crack size"},
      {2, 7, "3: Color br U/D"},
      {1, 9, "x,y,z=10,20,30"},
      {2, 9, "L=62.5"},
      {3, 9, "Az,Ad=0,60 deg"},
      {1, 10, "Az,Ad=-90,30"},
      {2, 10, "H=12.5"},
      {3, 10, "Z0=40"},
      {1, 11, "Deyes=55"},
      {2, 11, "Dto=450"},
      {3, 11, "Dlr=80"},
      {0, 12, "1"},
      {2, 12, "U/(U+D)>=0.6"},
      {0, 13, "1"},
      {2, 13, "0"},
      {0, 14, "0"},
      {2, 14, "1"},
      {2, 15, "D=0.5 m^2/s"},
      {0, 16, "0"},
      {1, 1, "F=01"},  // read only when typed, never by "Redraw.."
  };
  for (const Cell& c : cells) g.SetCellText(c.col, c.row, c.text);
  // "Diffusive front" unticked by a click on its box.
  CDlgOper* dlg = use.Dialog();
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
  ASSERT_EQ(use.Text(0, 15), "1");
  RECT box{};
  g.GetCellRect(0, 15, &box);
  QTest::mouseClick(SGWidgetOf(*g.m_CUGGrid), Qt::LeftButton, Qt::NoModifier,
                    QPoint(box.left + 9, (box.top + box.bottom) / 2));
  EXPECT_EQ(g.GetCellNumber(0, 15), 0.0);
  use.PressRedraw();
  EXPECT_EQ(h.m_fSampleScale, 2.5f);
  EXPECT_EQ(h.m_fHypoScale, 44.0f);
  EXPECT_EQ(h.m_nSizeMode, 2);
  EXPECT_EQ(h.m_nColorMode, 3);
  EXPECT_EQ(std::make_tuple(h.m_fFaultX, h.m_fFaultY, h.m_fFaultZ),
            std::make_tuple(10.0f, 20.0f, 30.0f));
  EXPECT_EQ(h.m_fFaultLen, 62.5f);
  EXPECT_EQ(std::make_pair(h.m_fFaultAzimuth, h.m_fFaultDip), std::make_pair(0.0f, 60.0f));
  EXPECT_EQ(std::make_pair(view->m_fViewAz, view->m_fViewAd), std::make_pair(-90.0f, 30.0f));
  EXPECT_EQ(view->m_fHalfWidth, 12.5f);
  EXPECT_EQ(view->m_fZ0, 40.0f);
  EXPECT_EQ(view->m_fEyeDist, 55.0f);
  EXPECT_EQ(view->m_fViewDist, 450.0f);
  EXPECT_EQ(view->m_fStereoShift, 80.0f);
  EXPECT_EQ(h.m_bTTypeOpen, 1);
  EXPECT_NEAR(h.m_fTTypeRatio, 0.6f, 1e-6);
  EXPECT_EQ(std::make_tuple(h.m_bUnselected, h.m_bColorBG, h.m_bRandomOrder, h.m_bEventNumbers,
                            h.m_bSolidCircles),
            std::make_tuple(1, 0, 0, 1, 0));
  EXPECT_EQ(h.m_fDiffusivity, -1.0f);  // "Diffusive front" unticked, whatever row 15 holds
  EXPECT_EQ(h.m_nMinArrivals, ns);
  EXPECT_EQ(h.m_nClassMask, mask);
  // One hint 64, on the release only.
  EXPECT_EQ(use.recorder.hints, std::vector<LONG>{HINT_LOC});

  // Ticked again, the front takes row 15's diffusivity.
  g.SetCellText(0, 15, "1");
  use.PressRedraw();
  EXPECT_NEAR(h.m_fDiffusivity, 0.5f, 1e-6);
}

TEST(WorkingSheet, ListChoicesSetThePlotTypeAndRelabelTheRange) {
  Session& s = WithEvent();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CLocView* hypo = s.frame->GetLocView(TRUE);
  s.frame->show();
  QApplication::processEvents();
  const int renders = hypo->RenderCount();
  use.Choose(1, 3, "15: C(r)-r");
  EXPECT_EQ(h.m_nPlotType, 15);
  EXPECT_EQ(use.recorder.hints, std::vector<LONG>{HINT_LOC});
  QApplication::processEvents();
  EXPECT_GT(hypo->RenderCount(), renders);  // the "Hypo" page is drawn again

  use.recorder.hints.clear();
  use.Choose(2, 7, "2: Color by b-vale");
  EXPECT_EQ(h.m_nColorMode, 2);
  char bmi[32], bmx[32];
  std::snprintf(bmi, sizeof bmi, "bmi=%.2f", h.m_fBMin);
  std::snprintf(bmx, sizeof bmx, "bmx=%.2f", h.m_fBMax);
  EXPECT_EQ(use.Text(2, 8), bmi);
  EXPECT_EQ(use.Text(3, 8), bmx);
  use.Choose(2, 7, "0: Color by time");
  EXPECT_EQ(h.m_nColorMode, 0);
  EXPECT_EQ(use.Text(2, 8), "mi=0.0");
  EXPECT_EQ(use.Text(3, 8), "mx=1.0");
  // A ticked box, like the colour mode, waits for "Redraw..".
  const int unselected = h.m_bUnselected;
  use.Grid().SetCellText(0, 13, unselected ? "0" : "1");
  EXPECT_EQ(use.Notify(0, 13, SGN_CHECK_CHANGED, unselected ? 0 : 1), 1);
  EXPECT_EQ(h.m_bUnselected, unselected);
  EXPECT_TRUE(use.recorder.hints.empty());
  use.PressRedraw();
  EXPECT_EQ(h.m_bUnselected, unselected ? 0 : 1);
}

// Opens the drop list of a cell of the current sheet with a click on its button and
// clicks the entry `line`, both delivered as the window system delivers them (to the
// widget that holds the mouse).
void ClickListEntry(CGridFun& grid, int col, long row, const std::string& line) {
  grid.GotoCell(col, row);
  QApplication::processEvents();
  QWidget* area = SGWidgetOf(*grid.m_CUGGrid);
  QWidget* top = area->window();
  QWindow* window = top->windowHandle();
  ASSERT_NE(window, nullptr);
  RECT r;
  grid.GetCellRect(col, row, &r);
  QTest::mouseClick(window, Qt::LeftButton, {},
                    area->mapTo(top, QPoint(r.right - 4, (r.top + r.bottom) / 2)));
  QApplication::processEvents();
  QListWidget* list = area->findChild<QListWidget*>();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->isVisible());
  ASSERT_EQ(QWidget::mouseGrabber(), list);
  const auto found = list->findItems(QString::fromStdString(line), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << line;
  list->scrollToItem(found[0]);
  QTest::mouseClick(window, Qt::LeftButton, {},
                    list->viewport()->mapTo(top, list->visualItemRect(found[0]).center()));
  QApplication::processEvents();
  QApplication::processEvents();
}

TEST(WorkingSheet, AMouseClickOnADropListEntryChoosesIt) {
  Session& s = WithEvent();
  Use use(s);
  CAEHypo& h = use.Hypo();
  use.Dialog()->show();
  use.Dialog()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(use.Dialog()));
  // The plot-type chooser of "Draw Opt.".
  use.Grid().SetCurrentSheet(CGridFun::kDrawOpt);
  ClickListEntry(use.Grid(), 1, 3, "15: C(r)-r");
  EXPECT_EQ(h.m_nPlotType, 15);
  EXPECT_EQ(use.Text(1, 3), "15: C(r)-r");
  ClickListEntry(use.Grid(), 1, 3, "6: XZ, YZ, XY plot");
  EXPECT_EQ(h.m_nPlotType, 6);
  // A "Do.." list of "Mec": the choice is what the button then works on.
  use.Grid().SetCurrentSheet(CGridFun::kMec);
  ClickListEntry(use.Grid(), 1, 5, "1: Selected events");
  EXPECT_EQ(use.Text(1, 5), "1: Selected events");
  EXPECT_EQ(use.Grid().GetInt(1, 5), 1);
}

// A drop list opens at the cell's present choice and is wide enough for every entry.
TEST(WorkingSheet, ADropListOpensAtTheChoiceAndShowsWholeEntries) {
  Session& s = WithEvent();
  Use use(s);
  use.Dialog()->show();
  use.Dialog()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(use.Dialog()));
  CGridFun& grid = use.Grid();
  grid.SetCurrentSheet(CGridFun::kDrawOpt);
  ClickListEntry(grid, 1, 3, "15: C(r)-r");
  ASSERT_EQ(use.Text(1, 3), "15: C(r)-r");
  grid.GotoCell(1, 3);
  QApplication::processEvents();
  QWidget* area = SGWidgetOf(*grid.m_CUGGrid);
  QWidget* top = area->window();
  RECT r;
  grid.GetCellRect(1, 3, &r);
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                    area->mapTo(top, QPoint(r.right - 4, (r.top + r.bottom) / 2)));
  QApplication::processEvents();
  QListWidget* list = area->findChild<QListWidget*>();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->isVisible());
  ASSERT_NE(list->currentItem(), nullptr);
  EXPECT_EQ(list->currentItem()->text(), "15: C(r)-r");
  EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(list->currentItem())));
  for (int i = 0; i < list->count(); ++i)
    EXPECT_LE(list->fontMetrics().horizontalAdvance(list->item(i)->text()),
              list->viewport()->width())
        << list->item(i)->text().toStdString();
  // Up to fifteen entries are seen without scrolling.
  const int rows = std::min(list->count(), 15);
  EXPECT_GE(list->viewport()->height(), rows * list->sizeHintForRow(0));
  QTest::keyClick(list, Qt::Key_Escape);
  QApplication::processEvents();
  // A list closed a while ago: the next click on the button opens it at once.
  QTest::qWait(CSGDropListType::kJustClosedMs + 100);
  ClickListEntry(grid, 1, 3, "6: XZ, YZ, XY plot");
  EXPECT_EQ(use.Text(1, 3), "6: XZ, YZ, XY plot");
}

TEST(WorkingSheet, SideHeadingsReachNoExecutorAndFormHelpAddresses) {
  Use use(WithEvent());
  CGridFun& g = use.Grid();
  CAEHypo& h = use.Hypo();
  g.SetCurrentSheet(0);
  const int plot = h.m_nPlotType;
  EXPECT_EQ(use.Notify(-1, 3, SGN_BUTTON_UP), 0);
  std::string chosen = "3: M-N (wave)";
  EXPECT_EQ(g.OnCellTypeNotify(1, -1, 3, SGN_DROPLIST_SELECTED,
                               static_cast<long>(reinterpret_cast<std::intptr_t>(&chosen))),
            0);
  EXPECT_EQ(h.m_nPlotType, plot);
  EXPECT_TRUE(use.recorder.hints.empty());

  struct Case {
    int sheet, col;
    long row;
    const char* cell;
    const char* address;
  } cases[] = {
      {0, -1, 5, nullptr, "Tremvia_Opt/Opt.htm#Opt_005"},
      {0, 0, 7, "Sizes ?=Symbol", "Tremvia_Opt/Symbol.htm#Opt_007"},
      {1, 0, 12, "?=Rename", "Tremvia_Opt/Rename.htm#Utl_012"},
      {2, -1, 3, nullptr, "Tremvia_Utl/Utl.htm#Utl_003"},
      {5, 0, 120, "Fit ?=CPB", "Tremvia_Utl/CPB.htm#Utl_120"},
  };
  for (const Case& c : cases) {
    g.SetCurrentSheet(c.sheet);
    if (c.cell) g.SetCellText(c.col, c.row, c.cell);
    g.ShowHelp(c.col, c.row);
    EXPECT_EQ(g.m_strHelpAddress, c.address);
  }
  g.SetCurrentSheet(0);
}

TEST(WorkingSheet, GarbageInEveryHandledCellLeavesTheOptionBlockValid) {
  Session& s = WithEvent();
  Use use(s);
  CGridFun& g = use.Grid();
  CAEHypo& h = use.Hypo();
  const std::string longText(5000, '9');
  const char* garbage[] = {"",     "abc",           "=",    "-",
                           "1e99", "-1e99",         "nan",  "-inf",
                           "=.=",  "Ns=2147483648", "\t\n", longText.c_str()};
  const struct {
    int sheet, col;
    long row;
  } handled[] = {{0, 1, 1},  {0, 2, 1},  {0, 3, 1},  {0, 1, 2},  {0, 1, 5},  {0, 2, 5},
                 {2, 1, 11}, {2, 1, 12}, {2, 1, 13}, {2, 1, 14}, {2, 2, 14}, {2, 1, 15},
                 {2, 2, 15}, {2, 1, 17}, {3, 1, 1},  {3, 2, 1},  {3, 1, 2},  {3, 2, 2}};
  auto valid = [&] {
    for (float v : {h.m_fMinCC, h.m_fAirMargin, h.m_fSampleScale, h.m_fHypoScale, h.m_fFixX,
                    h.m_fFixY, h.m_fFixZ, h.m_fMinSN, h.m_fMaxRes, h.m_fMwFcWindow, h.m_fMecAcri,
                    h.m_fFaultX, h.m_fFaultY, h.m_fFaultZ, h.m_fFaultLen, h.m_fFaultAzimuth,
                    h.m_fFaultDip, h.m_fTTypeRatio, h.m_fDiffusivity})
      if (!std::isfinite(v)) return false;
    for (int n : {h.m_nClassMask, h.m_nMinArrivals, h.m_nPickStart, h.m_nMecMinFM, h.m_nMecMinUp,
                  h.m_nMecMinDown})
      if (n < 0) return false;
    return h.m_nPickLength >= 0 && h.m_nPickLength <= 16396 && h.m_nSizeMode >= 0 &&
           h.m_nSizeMode <= 2 && h.m_nColorMode >= 0 && h.m_nColorMode <= 3 && h.m_nPlotType >= 0 &&
           h.m_nPlotType <= 21;
  };
  plat::testing::ScriptedUi ui;
  for (const char* text : garbage) {
    for (const auto& c : handled) {
      use.Type(c.sheet, c.col, c.row, text);
      g.CopyTextToClipboard(text);
      g.GotoCell(c.col, c.row);
      g.OnPopupCommand(c.col, c.row, 1, KZ_GridFit::kMenuPaste);
    }
    ASSERT_TRUE(valid()) << text;
    // The same garbage in every cell "Redraw.." and the lists read.
    g.SetCurrentSheet(0);
    for (long row = 5; row <= 16; ++row)
      for (int col = 0; col < 4; ++col) g.SetCellText(col, row, text);
    use.PressRedraw();
    use.Choose(1, 3, text);
    use.Choose(2, 7, text);
    ASSERT_TRUE(valid()) << text;
    CLocView* view = s.frame->GetLocView(FALSE);
    for (float v : {view->m_fViewAz, view->m_fViewAd, view->m_fHalfWidth, view->m_fZ0,
                    view->m_fEyeDist, view->m_fViewDist, view->m_fStereoShift})
      EXPECT_TRUE(std::isfinite(v)) << text;
  }
  EXPECT_TRUE(s.frame->m_pDlgOper->isVisible());
  s.frame->m_pDlgOper->hide();
}

}  // namespace
