// The program started in-process on a copy of the sample experiment: the main frame's
// geometry and pages, the open modes, and the frame's and application's commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "app/AppTestKit.h"
#include "app/GridViewData.h"
#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "app/TremviaDocument.h"
#include "app/TremviaResources.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeShell.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview.h"
#include "views/graph/GraphView.h"
#include "views/hypo/LocView.h"
#include "views/source/SourceView.h"
#include "views/timeseries/TSView.h"
#include "views/trace/TraceView.h"
#include "views/wave/WaveView.h"
#include "wincomp/splash/WCSplashWnd.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

using apptest::App;
using apptest::Frame;
using apptest::SamplePad;

std::vector<std::string> Titles(const CWCTabViewContainer& c) {
  std::vector<std::string> t;
  for (int i = 0; i < c.GetPageCount(); ++i) t.push_back(c.GetPageTitle(i));
  return t;
}

TEST(MainFrame, GeometryFollowsTheScreenSize) {
  struct Case {
    int w, h;
    MainFrameGeometry g;
  } cases[] = {
      {1920, 1080, {45, 25, 1824, 1026, 864, 145, 486}},
      {1280, 1024, {30, 24, 1216, 972, 576, 138, 460}},
      {800, 600, {19, 14, 760, 570, 360, 81, 270}},
      {640, 300, {15, 7, 608, 285, 288, 40, 135}},
  };
  for (const Case& c : cases) {
    const MainFrameGeometry g = MainFrameGeometry::ForScreen(c.w, c.h);
    EXPECT_EQ(std::make_tuple(g.x, g.y, g.cx, g.cy), std::make_tuple(c.g.x, c.g.y, c.g.cx, c.g.cy))
        << c.w << "x" << c.h;
    EXPECT_EQ(std::make_tuple(g.leftColumn, g.leftTopRow, g.rightTopRow),
              std::make_tuple(c.g.leftColumn, c.g.leftTopRow, c.g.rightTopRow))
        << c.w << "x" << c.h;
  }

  // The frame made on this screen: maximised, restored at 95 % placed at 2.5 %; the
  // splitters at their ideal sizes, top rows never below 50 pixels.
  CMainFrame& f = Frame();
  const QSize screen = f.screen()->size();
  const MainFrameGeometry g = MainFrameGeometry::ForScreen(screen.width(), screen.height());
  const plat::CREATESTRUCT& cs = f.GetCreateStruct();
  EXPECT_EQ(std::make_tuple(cs.x, cs.y, cs.cx, cs.cy), std::make_tuple(g.x, g.y, g.cx, g.cy));
  EXPECT_TRUE(cs.style & WS_MAXIMIZE);
  QApplication::processEvents();
  EXPECT_EQ(f.m_wndSplitter.sizes().at(0), g.leftColumn);
  EXPECT_EQ(f.m_wndSplitLeft.sizes().at(0), std::max(g.leftTopRow, MainFrameGeometry::kMinRow));
  EXPECT_EQ(f.m_wndSplitRight.sizes().at(0), g.rightTopRow);
  EXPECT_EQ(f.m_tabTopLeft.minimumHeight(), MainFrameGeometry::kMinRow);
  EXPECT_EQ(f.m_tabTopRight.minimumHeight(), MainFrameGeometry::kMinRow);
  // Two status panes: the stretching message pane and one of a quarter screen width.
  EXPECT_EQ(f.m_wndStatusBar.GetCount(), 2);
  EXPECT_EQ(f.m_wndStatusBar.Pane(1)->width(), screen.width() / 4);
  EXPECT_EQ(f.dockWidgetArea(f.GetBarFrame(&f.m_wndToolBar)), Qt::TopDockWidgetArea);
  EXPECT_EQ(f.m_wndToolBar.GetToolBar()->actions().size(), 50);
}

TEST(MainFrame, EveryToolbarButtonSaysWhatItDoes) {
  CMainFrame& f = Frame();
  f.show();
  auto* buttons = dynamic_cast<CWCBarButtons*>(f.GetBarFrame(&f.m_wndToolBar)->widget());
  ASSERT_NE(buttons, nullptr);
  int count = 0;
  for (QToolButton* b : buttons->Buttons()) {
    if (!b) continue;
    ++count;
    const UINT id = b->defaultAction()->data().toUInt();
    const std::string tip = b->toolTip().toStdString();
    EXPECT_FALSE(tip.empty()) << id;
    EXPECT_NE(tip.find_first_not_of("0123456789"), std::string::npos) << id << " " << tip;
    // Hovering the button puts its prompt into the status bar.
    f.SetMessageText("Ready");
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), b->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(b, &enter);
    const std::string prompt = f.m_wndStatusBar.GetPaneText(0);
    EXPECT_NE(prompt, "Ready") << id;
    EXPECT_EQ(prompt, plat::Resources::Get().Prompt(id)) << id;
  }
  EXPECT_EQ(count, 37);  // 50 positions, 13 of them separators
  // The two auto-loading toggles are not speeds.
  EXPECT_EQ(plat::Resources::Get().ToolTip(32810),
            "Re-save each event's record while auto-loading (on/off)");
  EXPECT_EQ(plat::Resources::Get().ToolTip(33434), "Locate each event while auto-loading (on/off)");
}

TEST(MainFrame, FourPanesHoldTheNinePagesOfACommandLineStart) {
  CMainFrame& f = Frame();
  EXPECT_EQ(App().m_nOpenMode, 0);
  using V = std::vector<std::string>;
  EXPECT_EQ(Titles(f.m_tabTopLeft), V{"Trace"});
  EXPECT_EQ(Titles(f.m_tabBottomLeft), (V{"TS", "Wave"}));
  EXPECT_EQ(Titles(f.m_tabTopRight), (V{"Hypo", "Event", "Output: sheet"}));
  EXPECT_EQ(Titles(f.m_tabBottomRight), (V{"Foc", "X-Ys graph", "OpenGL"}));
  EXPECT_TRUE(dynamic_cast<CTraceView*>(f.m_tabTopLeft.GetPage(0)));
  EXPECT_TRUE(dynamic_cast<CTSView*>(f.m_tabBottomLeft.GetPage(0)));
  EXPECT_TRUE(CTremviaApp::WaveViewClass()->m_pfnIsKindOf(
      dynamic_cast<plat::CObject*>(f.m_tabBottomLeft.GetPage(1))));
  EXPECT_TRUE(dynamic_cast<plat::CEditView*>(f.m_tabTopRight.GetPage(1)));
  EXPECT_TRUE(dynamic_cast<CSourceView*>(f.m_tabBottomRight.GetPage(0)));
  EXPECT_TRUE(dynamic_cast<CGLview*>(f.m_tabBottomRight.GetPage(2)));
  // Every page belongs to the one document.
  auto* doc = dynamic_cast<CTremviaDocument*>(
      dynamic_cast<plat::CView*>(f.m_tabTopLeft.GetPage(0))->GetDocument());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetViews().size(), 9u);
  EXPECT_EQ(f.GetDoc(), &doc->Data());
  // Mode 0 shows "TS" in the bottom-left pane and the first page elsewhere.
  for (const CWCTabViewContainer* c :
       {&f.m_tabTopLeft, &f.m_tabBottomLeft, &f.m_tabTopRight, &f.m_tabBottomRight})
    EXPECT_EQ(c->GetActivePageIndex(), 0);

  // Accessors: without the flag the active page stays, with it the page comes to front.
  EXPECT_EQ(f.GetGraphView(FALSE), f.m_tabBottomRight.GetPage(1));
  EXPECT_EQ(f.GetGridDataView(FALSE), f.m_tabTopRight.GetPage(2));
  EXPECT_EQ(f.GetLocView(FALSE), f.m_tabTopRight.GetPage(0));
  EXPECT_EQ(f.m_tabBottomRight.GetActivePageIndex(), 0);
  EXPECT_EQ(f.m_tabTopRight.GetActivePageIndex(), 0);
  EXPECT_NE(f.GetGridDataView(TRUE), nullptr);
  EXPECT_EQ(f.m_tabTopRight.GetActivePageIndex(), 2);
  EXPECT_NE(f.GetLocView(TRUE), nullptr);
  EXPECT_EQ(f.m_tabTopRight.GetActivePageIndex(), 0);
  EXPECT_NE(f.GetGraphView(TRUE), nullptr);
  EXPECT_EQ(f.m_tabBottomRight.GetActivePageIndex(), 1);
  f.m_tabBottomRight.SetActivePageIndex(0);
}

// A working-sheet result: the document's table shown on the "Output: sheet" page and
// plotted on the "X-Ys graph" page, both brought to the front.
TEST(MainFrame, ShowDataSheetBringsTheDocumentsTableToTheSheetAndTheGraph) {
  CMainFrame& f = Frame();
  KZ_MultiVarObj* t = f.GetDoc()->m_pCurSheet;
  ASSERT_NE(t, nullptr);
  t->m_nColumns = 2;
  t->m_nRows = 3;
  for (int c = 0; c < 2; ++c) {
    for (int r = 0; r < 3; ++r) t->m_ppData[c][r] = 10 * c + r;
    t->m_Columns[c].SetAll(3, 0, 30, c ? "rate" : "time", "s", c ? KZ_AXIS_Y : KZ_AXIS_X);
  }
  f.ShowDataSheet();
  CGridViewData* page = f.GetGridDataView(FALSE);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(f.m_tabTopRight.GetActivePageIndex(), 2);
  EXPECT_EQ(page->GetData(), t);
  EXPECT_EQ(page->Grid().GetCellText(1, 0), std::string("rate"));
  EXPECT_DOUBLE_EQ(page->Grid().GetCellNumber(1, 6), 12);
  EXPECT_EQ(page->Grid().GetCellText(1, -1), std::string("Y:1"));
  EXPECT_EQ(f.GetGraphView(FALSE)->GetData(), t);
  page->ForgetTable(t);
  t->SetSize(0, 0);
  t->m_nColumns = 0;
  t->m_nRows = 0;
  f.m_tabTopRight.SetActivePageIndex(0);
  f.m_tabBottomRight.SetActivePageIndex(0);
}

TEST(MainFrame, AFirstFileOfMode3LeavesOutTheOpenGLPageAndShowsWave) {
  CTremviaApp& app = App();
  plat::testing::ScriptedUi ui;
  plat::CSingleDocTemplate other(IDR_MAINFRAME, RUNTIME_CLASS(CTremviaDocument),
                                 RUNTIME_CLASS(CMainFrame), CTremviaApp::WaveViewClass());
  app.m_nOpenMode = 3;
  ASSERT_NE(other.OpenDocumentFile(SamplePad(), FALSE), nullptr);
  app.m_nOpenMode = 0;
  auto* f = dynamic_cast<CMainFrame*>(other.GetFrame());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Titles(f->m_tabBottomRight), (std::vector<std::string>{"Foc", "X-Ys graph"}));
  EXPECT_EQ(f->m_tabBottomLeft.GetActivePageIndex(), 1);
  EXPECT_EQ(f->GetActiveView(), f->m_tabBottomLeft.GetPage(1));
}

TEST(TremviaApp, OpenModeComesFromTheLastThreeCharactersOfThePath) {
  const std::pair<const char*, int> cases[] = {
      {"/data/X.PAD", 1}, {"notepad", 1}, {"run.Pad", 1}, {"list.loc", 2}, {"LOC", 2},
      {"x.wav", 3},       {"e.sg2", 3},   {"ad", 3},      {"", 3},         {"a.padx", 3}};
  for (const auto& [path, mode] : cases) EXPECT_EQ(CTremviaApp::OpenModeOf(path), mode) << path;
}

TEST(MainFrame, CommandsAreRoutedAndItemsWithoutAHandlerStayDisabled) {
  CMainFrame& f = Frame();
  auto enabled = [&](UINT id) {
    plat::CCmdUI ui(id);
    f.UpdateCommandUI(id, &ui);
    return ui.m_bEnabled;
  };
  // The frame's, the application's and the class library's commands are enabled.
  for (UINT id : {ID_WORKING_SHEET, ID_RELOCATION_VP, ID_FILE_NEW, ID_FILE_OPEN, ID_APP_ABOUT,
                  ID_HOME_PAGE, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_APP_EXIT})
    EXPECT_TRUE(enabled(id)) << id;
  // Menu items and buttons whose command nothing handles.
  for (UINT id : {32770u, 34217u, 34024u, 39010u, 34148u, 34156u}) EXPECT_FALSE(enabled(id)) << id;
  for (QAction* a : f.ActionsFor(34217)) EXPECT_FALSE(a->isEnabled());

  // File > New shows the same Open dialog as File > Open; cancelling keeps everything.
  {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Open Tremvia File", std::nullopt);
    ui.ExpectFileDialog(Prompt::OpenFile, "Open Tremvia File", std::nullopt);
    EXPECT_TRUE(f.SendCommand(ID_FILE_NEW));
    EXPECT_TRUE(f.SendCommand(ID_FILE_OPEN));
    ASSERT_EQ(ui.Shown().size(), 2u);
    for (const auto& s : ui.Shown())
      EXPECT_EQ(s.filter,
                "Tremvia File(*.pad;*.wav;*.aew;*.sg2;*.lng;*.loc)|*.pad;*.wav;*.aew;*.sg2;*.lng;"
                "*.loc|");
    EXPECT_EQ(App().m_nOpenMode, 0);
    EXPECT_EQ(App().m_pMainWnd, &f);
  }
  // Help > Home Page asks the shell to open the home page maximised.
  {
    plat::testing::FakeShell shell;
    plat::Shell* old = plat::InstallShell(&shell);
    EXPECT_TRUE(f.SendCommand(ID_HOME_PAGE));
    plat::InstallShell(old);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].verb, "open");
    EXPECT_EQ(shell.calls[0].showCmd, plat::SW_SHOWMAXIMIZED);
  }
  // Help > About shows the About picture until a key or a click; the window deletes
  // itself when it closes and the next About makes a new one.
  ASSERT_NE(CWCSplashWnd::s_pGlobalSplash, nullptr);
  EXPECT_FALSE(CWCSplashWnd::s_pGlobalSplash->isVisible());
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(f.SendCommand(ID_APP_ABOUT));
    CWCSplashWnd* about = CWCSplashWnd::s_pGlobalSplash;
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->GetRegionPolygon().isEmpty());
    QTest::qWait(50);
    EXPECT_TRUE(about->isVisible());
    if (round == 0)
      QTest::keyClick(about, Qt::Key_Space);
    else
      QTest::mouseClick(about, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);
  }
  QTest::qWait(10);
  // View > Toolbar hides and shows the toolbar.
  QWidget* tb = f.GetBarFrame(&f.m_wndToolBar);
  f.show();
  EXPECT_TRUE(f.SendCommand(ID_VIEW_TOOLBAR));
  EXPECT_FALSE(tb->isVisible());
  EXPECT_TRUE(f.SendCommand(ID_VIEW_TOOLBAR));
  EXPECT_TRUE(tb->isVisible());
}

// Every property sheet of the pages fits the screen (at most 1280 x 800 here), its OK and
// Cancel buttons inside it.
TEST(MainFrame, EveryPropertySheetFitsTheScreen) {
  CMainFrame& f = Frame();
  f.show();
  struct Sheet {
    CWCTabViewContainer* pane;
    int page;
    UINT id;
  };
  const Sheet sheets[] = {{&f.m_tabBottomLeft, 0, CTSView::ID_TS_PROPERTY},
                          {&f.m_tabBottomLeft, 1, CWaveView::ID_VIEW_PROPERTY},
                          {&f.m_tabBottomRight, 1, CGraphView::ID_GRAPH_PROPERTY}};
  for (const Sheet& sh : sheets) {
    SCOPED_TRACE(sh.id);
    auto* view = dynamic_cast<plat::CView*>(sh.pane->GetPage(sh.page));
    ASSERT_NE(view, nullptr);
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dlg) return;
      seen = true;
      const QRect screen = dlg->screen()->availableGeometry();
      const QRect g = dlg->geometry();
      EXPECT_LE(g.width(), 1280);
      EXPECT_LE(g.height(), 800);
      EXPECT_TRUE(screen.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x"
                                      << g.height();
      for (const char* button : {"1", "2"}) {
        auto* b = dlg->findChild<QPushButton*>(button);
        if (!b) continue;
        EXPECT_TRUE(b->isVisible()) << button;
        EXPECT_TRUE(dlg->rect().contains(QRect(b->mapTo(dlg, QPoint(0, 0)), b->size()))) << button;
      }
      dlg->reject();
    });
    plat::testing::ScriptedUi ui;
    view->OnCmdMsg(sh.id, nullptr);
    EXPECT_TRUE(seen);
  }
}

// Help > About chosen from the keyboard: the release of the key that chose the item comes
// after the picture opened and leaves it on screen; the next key press closes it.
TEST(MainFrame, AboutChosenFromTheKeyboardStaysUntilTheNextKey) {
  CMainFrame& f = Frame();
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  plat::testing::FakeShell shell;  // a wrong item must not start a browser
  plat::Shell* oldShell = plat::InstallShell(&shell);
  // The menu opens with no item marked: the second Down marks About.
  const std::vector<std::vector<Qt::Key>> ways = {{Qt::Key_A},
                                                  {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}};
  for (const auto& keys : ways) {
    SCOPED_TRACE(keys.size());
    // The Help menu opened by a click on its title, its item chosen from the keyboard.
    QMenuBar* bar = f.menuBar();
    QAction* help = nullptr;
    for (QAction* a : bar->actions())
      if (a->text() == "&Help") help = a;
    ASSERT_NE(help, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(help).center());
    QApplication::processEvents();
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    for (Qt::Key k : keys) QTest::keyClick(menu, k);
    QApplication::processEvents();
    CWCSplashWnd* about = CWCSplashWnd::s_pGlobalSplash;
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    QTest::qWait(20);
    EXPECT_TRUE(about->isVisible());
    QTest::keyClick(about, Qt::Key_Space);
    EXPECT_FALSE(about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(10);
  }
  plat::InstallShell(oldShell);
  EXPECT_TRUE(shell.calls.empty());
}

TEST(MainFrame, AnEventOpenedFromTheFileMenuIsDrawnAndLoadNextStepsToTheNext) {
  CMainFrame& f = Frame();
  f.show();
  CTremviaDoc& doc = *f.GetDoc();
  auto enabled = [&](UINT id) {
    plat::CCmdUI ui(id);
    f.UpdateCommandUI(id, &ui);
    return ui.m_bEnabled;
  };
  // A parameter file opens no event file set: nothing to step through yet.
  EXPECT_FALSE(enabled(ID_LOAD_NEXT));
  // File > Open of the first event file, then its parameter file.
  const std::string event0 = (fs::path(SamplePad()).parent_path() / "CUBE.00/000000.WAV").string();
  {
    // Each dialog starts in the folder of the last file chosen, as the window system's
    // does; the parameter file is asked for in the experiment's folder.
    struct Folders : plat::testing::ScriptedUi {
      std::optional<std::string> FileDialog(const plat::FileDialogOptions& o) override {
        started.push_back(DialogFolder());
        auto path = ScriptedUi::FileDialog(o);
        if (path) SetDialogFolder(fs::path(*path).parent_path().string());
        return path;
      }
      std::vector<std::string> started;
    } ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Open Tremvia File", event0);
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", SamplePad());
    EXPECT_TRUE(f.SendCommand(ID_FILE_OPEN));
    ASSERT_EQ(ui.started.size(), 2u);
    EXPECT_EQ(fs::path(ui.started[1]), fs::path(SamplePad()).parent_path());
  }
  EXPECT_EQ(App().m_nOpenMode, 3);
  EXPECT_EQ(App().m_pMainWnd, &f);  // the frame and its pages are kept
  ASSERT_TRUE(doc.m_pWave);
  EXPECT_EQ(doc.m_pWave->GetNumChannels(), 16);
  EXPECT_TRUE(enabled(ID_LOAD_NEXT));

  // The "Wave" page to front: it draws the event.
  f.m_tabBottomLeft.SetActivePageIndex(1);
  auto* wave = dynamic_cast<CWaveView*>(f.m_tabBottomLeft.GetActivePage());
  ASSERT_NE(wave, nullptr);
  f.SetActiveView(wave, TRUE);
  QApplication::processEvents();
  auto ink = [&] {
    const QImage img = wave->BackingImage();
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
      for (int x = 0; x < img.width(); x += 2) n += img.pixel(x, y) != qRgb(255, 255, 255);
    return n * 4.0 / (img.width() * img.height());
  };
  EXPECT_GT(ink(), 0.01);
  // File > Load Next: the next event file, and the page is drawn again.
  {
    plat::testing::ScriptedUi ui;
    const int renders = wave->RenderCount();
    EXPECT_TRUE(f.SendCommand(ID_LOAD_NEXT));
    QApplication::processEvents();
    EXPECT_GT(wave->RenderCount(), renders);
    EXPECT_NE(doc.m_pWave->m_strPath.find("000001"), std::string::npos) << doc.m_pWave->m_strPath;
    EXPECT_GT(ink(), 0.01);
  }
  // The window as the user sees it now, kept beside the test's other files.
  f.grab().save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/main-window-wave.png"));
  f.m_tabBottomLeft.SetActivePageIndex(0);
}

TEST(MainFrame, RelocationRunsOverTheListedRecordsAndStopsOnInput) {
  CMainFrame& f = Frame();
  CTremviaDoc& doc = *f.GetDoc();
  ASSERT_TRUE(doc.m_pHypo);
  const int n = doc.m_pHypo->GetNumAE();
  ASSERT_GT(n, 3);
  {
    // An empty event list: nothing happens.
    plat::testing::ScriptedUi ui;
    doc.ClearEventList();
    f.SendCommand(ID_RELOCATION_VP);
    EXPECT_TRUE(ui.PaneTexts().empty());
    EXPECT_EQ(ui.WaitCursorBegins(), 0);
  }
  {
    // Every listed event lies before the window's end: every record is relocated.
    plat::testing::ScriptedUi ui;
    doc.AddEventEntry(0, 0, 0, 0, 0, 0, 0, -1e9, 5, 0, 0);
    f.SendCommand(ID_RELOCATION_VP);
    ASSERT_EQ(static_cast<int>(ui.PaneTexts().size()), n);
    EXPECT_EQ(ui.PaneTexts()[0].text.rfind("00000:(", 0), 0u) << ui.PaneTexts()[0].text;
    EXPECT_NE(ui.PaneTexts()[0].text.find(")->("), std::string::npos);
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
  }
  {
    // Input after the third record stops the loop.
    plat::testing::ScriptedUi ui;
    doc.ClearEventList();
    doc.AddEventEntry(0, 0, 0, 0, 0, 0, 0, -1e9, 5, 0, 0);
    ui.InputPendingAfter(2);
    f.SendCommand(ID_RELOCATION_VP);
    EXPECT_EQ(ui.PaneTexts().size(), 3u);
  }
}

}  // namespace
