#include "platform/qt/Framework.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"

namespace plat {
namespace {

constexpr LONG kHintNow = 0x1000;

// A view that records its updates; with `paintNow` it paints at once on kHintNow.
class RecordingView : public CView {
 public:
  void OnUpdate(CView* sender, LONG hint, void* object) override {
    updates.push_back({sender, hint, object});
    Invalidate(TRUE);
    if (paintNow && (hint & kHintNow)) UpdateWindow();
  }
  void OnDraw(CDC* dc) override {
    ++draws;
    dc->FillSolidRect(RECT{0, 0, 10, 10}, RGB(0, 0, 0));
  }
  struct Update {
    CView* sender;
    LONG hint;
    void* object;
  };
  std::vector<Update> updates;
  bool paintNow = false;
  int draws = 0;
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureQtApp(); }
};

TEST_F(FrameworkTest, UpdateAllViewsSkipsTheSenderAndHintNowPaintsBeforeReturning) {
  CDocument doc;
  RecordingView a, b, c;
  b.paintNow = true;
  for (RecordingView* v : {&a, &b, &c}) {
    doc.AddView(v);
    v->resize(40, 30);
    v->show();
  }
  QCoreApplication::processEvents();
  const int drawsB = b.draws, drawsA = a.draws;

  int object = 0;
  doc.UpdateAllViews(&c, kHintNow | 0x4, &object);
  // b painted inside the call; a only invalidated; c, the sender, was not told.
  EXPECT_EQ(b.draws, drawsB + 1);
  EXPECT_EQ(a.draws, drawsA);
  EXPECT_TRUE(a.IsStale());
  ASSERT_EQ(a.updates.size(), 1u);
  EXPECT_EQ(a.updates[0].sender, &c);
  EXPECT_EQ(a.updates[0].hint, kHintNow | 0x4);
  EXPECT_EQ(a.updates[0].object, &object);
  EXPECT_TRUE(c.updates.empty());

  // A sender that is no view of the document reaches every view as null.
  doc.UpdateAllViews(&object, 8);
  EXPECT_EQ(c.updates.size(), 1u);
  EXPECT_EQ(c.updates[0].sender, nullptr);
  // Two invalidations before the next paint cost one drawing.
  doc.UpdateAllViews(nullptr, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(a.draws, drawsA + 1);
}

TEST_F(FrameworkTest, InitialUpdateIsAnUpdateWithHintZero) {
  CDocument doc;
  RecordingView v;
  doc.AddView(&v);
  v.OnInitialUpdate();
  ASSERT_EQ(v.updates.size(), 1u);
  EXPECT_EQ(v.updates[0].hint, 0);
  EXPECT_EQ(v.updates[0].sender, nullptr);
}

// Commands go view, document, frame, application; the first table that maps the id wins,
// and an id nobody maps is disabled.
TEST_F(FrameworkTest, CommandsRouteViewDocumentFrameApplication) {
  CWinApp app("Test");
  CDocument doc;
  CFrameWnd frame;
  auto* view = new RecordingView;
  doc.AddView(view);
  frame.setCentralWidget(view);
  frame.SetActiveView(view);
  std::vector<std::string> ran;
  auto record = [&](std::string who) { return [&ran, who] { ran.push_back(who); }; };
  view->MapCommand(100, record("view"));
  doc.MapCommand(100, record("doc"));
  doc.MapCommand(101, record("doc"));
  frame.MapCommand(101, record("frame"));
  frame.MapCommand(102, record("frame"));
  app.MapCommand(102, record("app"));
  app.MapCommand(103, record("app"));
  // Update handlers: 104 disabled by the view although the frame runs it; 105 checked.
  frame.MapCommand(104, record("frame"));
  view->MapUpdate(104, [](CCmdUI* ui) { ui->Enable(FALSE); });
  app.MapCommand(105, record("app"));
  app.MapUpdate(105, [](CCmdUI* ui) { ui->SetCheck(1); });
  // A range handler receives the id.
  UINT rangeId = 0;
  frame.MapCommandRange(200, 209, [&](UINT id) { rangeId = id; });

  struct Case {
    UINT id;
    const char* handler;  // "" for none
    bool enabled;
    int check;
  } cases[] = {
      {100, "view", true, 0}, {101, "doc", true, 0}, {102, "frame", true, 0}, {103, "app", true, 0},
      {104, "", false, 0},    {105, "app", true, 1}, {106, "", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    CCmdUI ui;
    frame.UpdateCommandUI(c.id, &ui);
    EXPECT_EQ(ui.m_bEnabled, c.enabled);
    EXPECT_EQ(ui.m_nCheck, c.check);
    ran.clear();
    EXPECT_EQ(frame.SendCommand(c.id), *c.handler != 0);
    EXPECT_EQ(ran, *c.handler ? std::vector<std::string>{c.handler} : std::vector<std::string>{});
  }
  EXPECT_TRUE(frame.SendCommand(203));
  EXPECT_EQ(rangeId, 203u);

  // Menu items and toolbar buttons take the update handlers' state.
  Resources::Get().SetMenu(
      9001,
      {MenuItem{
          0, "&Test", {MenuItem{105, "Checked", {}}, MenuItem{}, MenuItem{106, "None", {}}}}});
  Resources::Get().SetToolBar(9002, {100, ID_SEPARATOR, 104});
  ASSERT_TRUE(frame.LoadMenu(9001));
  CToolBar bar;
  ASSERT_TRUE(bar.CreateEx(&frame, TBSTYLE_FLAT, CBRS_TOP | CBRS_GRIPPER));
  ASSERT_TRUE(bar.LoadToolBar(9002));
  frame.UpdateAllCommandUI();
  ASSERT_EQ(frame.ActionsFor(105).size(), 1u);
  EXPECT_TRUE(frame.ActionsFor(105)[0]->isChecked());
  EXPECT_FALSE(frame.ActionsFor(106)[0]->isEnabled());
  EXPECT_TRUE(bar.ButtonAction(0)->isEnabled());
  EXPECT_EQ(bar.ButtonAction(1), nullptr);
  EXPECT_FALSE(bar.ButtonAction(2)->isEnabled());
  // Triggering the button runs the view's handler through the frame.
  ran.clear();
  bar.ButtonAction(0)->trigger();
  EXPECT_EQ(ran, std::vector<std::string>{"view"});
}

// Prompts come from the string table: the text before "\n" in the status bar when an
// item is hovered, the text after it as the button's tooltip; "Ready" when idle.
TEST_F(FrameworkTest, CommandPromptsAndIdleText) {
  CFrameWnd frame;
  CStatusBar status;
  ASSERT_TRUE(status.Create(&frame));
  const UINT panes[] = {ID_SEPARATOR, ID_SEPARATOR};
  ASSERT_TRUE(status.SetIndicators(panes, 2));
  EXPECT_EQ(status.GetPaneText(0), "Ready");
  Resources::Get().SetString(34205, "Show working sheets\nWorking sheet");
  Resources::Get().SetToolBar(9004, {34205});
  CToolBar bar;
  ASSERT_TRUE(bar.CreateEx(&frame, TBSTYLE_FLAT, CBRS_TOP));
  ASSERT_TRUE(bar.LoadToolBar(9004));
  EXPECT_EQ(bar.ButtonAction(0)->toolTip().toStdString(), "Working sheet");
  bar.ButtonAction(0)->hover();
  EXPECT_EQ(status.GetPaneText(0), "Show working sheets");
}

TEST_F(FrameworkTest, AcceleratorsFireTheirCommand) {
  CFrameWnd frame;
  int fired = 0;
  frame.MapCommand(ID_FILE_PRINT, [&] { ++fired; });
  Resources::Get().SetAccelerators(9003, {{"Ctrl+P", ID_FILE_PRINT}});
  ASSERT_TRUE(frame.LoadAccelTable(9003));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  frame.UpdateAllCommandUI();
  QTest::keyClick(&frame, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
}

class TimerView : public CView {
 public:
  void OnTimer(UINT id) override {
    ticks[id]++;
    if (id == 2 && ticks[id] == 1) SetTimer(2, 5);  // re-set inside its own tick
  }
  std::map<UINT, int> ticks;
};

TEST_F(FrameworkTest, TimersRunPerWindowById) {
  TimerView a, b;
  a.SetTimer(1, 5);
  a.SetTimer(2, 5);
  b.SetTimer(1, 5);
  EXPECT_EQ(a.SetTimer(1, 10), 1u);  // setting a running id restarts it: still one timer
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 2000 && (a.ticks[1] < 3 || a.ticks[2] < 3 || b.ticks[1] < 3))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_GE(a.ticks[1], 3);
  EXPECT_GE(a.ticks[2], 3);
  EXPECT_GE(b.ticks[1], 3);
  EXPECT_TRUE(a.KillTimer(1));
  EXPECT_FALSE(a.KillTimer(1));
  EXPECT_FALSE(a.HasTimer(1));
  EXPECT_TRUE(b.HasTimer(1));  // the other window's timer 1 runs on
  const int stopped = a.ticks[1];
  QTest::qWait(60);
  EXPECT_EQ(a.ticks[1], stopped);
  EXPECT_GT(b.ticks[1], 3);
}

// The program's own settings, opened by a test, are a file in the test binary's scratch
// folder: tests never touch the user's recent-file list.
TEST_F(FrameworkTest, TestsKeepTheirSettingsInTheirScratchFolder) {
  const QString scratch = QDir(TV_TEST_TMPDIR).absolutePath();
  QSettings s("Berit TAM", "Tremvia");
  EXPECT_TRUE(QFileInfo(s.fileName()).absoluteFilePath().startsWith(scratch + "/"))
      << s.fileName().toStdString();
  EXPECT_FALSE(s.fileName().startsWith(QDir::homePath() + "/.config/"))
      << s.fileName().toStdString();
}

TEST_F(FrameworkTest, RecentFilesAndPreviewPagesPersistInTheSettingsFile) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("settings.ini").toStdString();
  {
    CWinApp app("Tremvia");
    app.SetRegistryKey("Berit TAM");
    app.SetProfileFile(ini);
    app.LoadStdProfileSettings(4);
    ASSERT_EQ(app.GetRecentFileList()->GetCount(), 0);
    for (const char* f : {"/d/a.pad", "/d/b.wav", "/d/c.loc", "/d/d.aew", "/d/e.sg2", "/d/b.wav"})
      app.AddToRecentFileList(f);
    app.SetPreviewPages(2);
    app.ExitInstance();
  }
  CWinApp app("Tremvia");
  app.SetProfileFile(ini);
  app.LoadStdProfileSettings(4);
  const CRecentFileList& mru = *app.GetRecentFileList();
  ASSERT_EQ(mru.GetCount(), 4);
  EXPECT_EQ(mru[0], "/d/b.wav");  // most recent first, no duplicate
  EXPECT_EQ(mru[1], "/d/e.sg2");
  EXPECT_EQ(mru[2], "/d/d.aew");
  EXPECT_EQ(mru[3], "/d/c.loc");
  EXPECT_EQ(app.GetPreviewPages(), 2);
  EXPECT_TRUE(app.WriteProfileInt("Settings", "X", 7));
  EXPECT_EQ(app.GetProfileInt("Settings", "X", 0), 7);
  EXPECT_EQ(app.GetProfileInt("Settings", "Missing", -3), -3);
}

// The single-document open flow: the first open builds document and frame (views
// included) before the document reads the file; a failed first open leaves no window;
// later opens reuse document, frame and views.
class OpenDoc : public CDocument {
 public:
  BOOL OnOpenDocument(const std::string& path) override {
    opened.push_back(path);
    framesAtOpen.push_back(AfxGetMainWnd() != nullptr);
    return path.find("bad") == std::string::npos;
  }
  std::vector<std::string> opened;
  std::vector<bool> framesAtOpen;
};

TEST_F(FrameworkTest, SingleDocumentTemplateOpenFlow) {
  QTemporaryDir dir;
  CWinApp app("Tremvia");
  app.SetProfileFile(dir.filePath("s.ini").toStdString());
  app.LoadStdProfileSettings(4);
  auto* tmpl = new CSingleDocTemplate(9010, RUNTIME_CLASS(OpenDoc), RUNTIME_CLASS(CFrameWnd),
                                      RUNTIME_CLASS(RecordingView));
  app.AddDocTemplate(tmpl);

  EXPECT_EQ(app.OpenDocumentFile("/x/bad.pad"), nullptr);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(tmpl->GetDocument(), nullptr);

  auto* doc = dynamic_cast<OpenDoc*>(app.OpenDocumentFile("/x/first.wav"));
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(app.m_pMainWnd, nullptr);
  EXPECT_EQ(doc->framesAtOpen, std::vector<bool>{true});
  ASSERT_EQ(doc->GetViews().size(), 1u);
  auto* view = static_cast<RecordingView*>(doc->GetViews()[0]);
  ASSERT_EQ(view->updates.size(), 1u);  // OnInitialUpdate -> OnUpdate(0)
  EXPECT_EQ(view->updates[0].hint, 0);
  EXPECT_EQ(doc->GetTitle(), "first.wav");
  EXPECT_EQ(app.m_pMainWnd->GetActiveView(), view);
  EXPECT_EQ(Ui().DialogFolder(), "/x");  // the next file dialog starts beside it

  CFrameWnd* frame = app.m_pMainWnd;
  EXPECT_EQ(app.OpenDocumentFile("/x/second.loc"), doc);
  EXPECT_EQ(app.m_pMainWnd, frame);
  EXPECT_EQ(doc->GetViews().size(), 1u);
  EXPECT_EQ(view->updates.size(), 2u);
  // A failed later open leaves document and frame in place.
  EXPECT_EQ(app.OpenDocumentFile("/x/bad2.pad"), nullptr);
  EXPECT_EQ(app.m_pMainWnd, frame);
  EXPECT_EQ(app.GetRecentFileList()->GetCount(), 2);
  EXPECT_EQ((*app.GetRecentFileList())[0], "/x/second.loc");
  app.CloseAllDocuments();
}

// A file that cannot be read is refused with its name and the system's reason.
TEST_F(FrameworkTest, FailedOpenNamesTheFileAndTheReason) {
  plat::testing::ScriptedUi ui;
  ui.ExpectMessage("Failed to open document.", IDOK);
  CDocument doc;
  EXPECT_FALSE(doc.OnOpenDocument("/no/such/folder/run.pad"));
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("/no/such/folder/run.pad"), std::string::npos);
  EXPECT_NE(ui.MessageTexts()[0].find("No such file or directory"), std::string::npos);
}

TEST_F(FrameworkTest, NextAndPreviousPaneMoveTheActiveView) {
  CFrameWnd frame;
  auto* cols = new CSplitterWnd;
  ASSERT_TRUE(cols->CreateStatic(&frame, 1, 2));
  auto* left = new CSplitterWnd;
  ASSERT_TRUE(left->CreateStatic(cols, 0, 0, 2, 1));
  RecordingView *topLeft = new RecordingView, *bottomLeft = new RecordingView,
                *right = new RecordingView;
  left->SetPane(0, 0, topLeft);
  left->SetPane(1, 0, bottomLeft);
  cols->SetPane(0, 1, right);
  frame.setCentralWidget(cols);
  frame.resize(400, 300);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_EQ(frame.VisibleViews(), (std::vector<CView*>{topLeft, bottomLeft, right}));
  frame.SetActiveView(topLeft);
  std::vector<CView*> seen;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(frame.SendCommand(ID_NEXT_PANE));
    seen.push_back(frame.GetActiveView());
  }
  EXPECT_EQ(seen, (std::vector<CView*>{bottomLeft, right, topLeft}));
  ASSERT_TRUE(frame.SendCommand(ID_PREV_PANE));
  EXPECT_EQ(frame.GetActiveView(), right);
}

// A static splitter keeps the ideal sizes of its leading panes; the last takes the rest.
TEST_F(FrameworkTest, SplitterPanesKeepTheirIdealSizes) {
  CFrameWnd frame;
  auto* cols = new CSplitterWnd;
  ASSERT_TRUE(cols->CreateStatic(&frame, 1, 2));
  auto* left = new CSplitterWnd;
  ASSERT_TRUE(left->CreateStatic(cols, 0, 0, 2, 1));
  frame.setCentralWidget(cols);
  cols->SetColumnInfo(0, 300, 0);
  left->SetRowInfo(0, 90, 50);
  frame.resize(800, 600);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(cols->GetPane(0, 0), left);
  EXPECT_EQ(left->width(), 300);
  EXPECT_EQ(left->GetPane(0, 0)->height(), 90);
  frame.resize(1000, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(left->width(), 300);
  EXPECT_EQ(left->GetPane(0, 0)->height(), 90);
  EXPECT_GT(cols->GetPane(0, 1)->width(), 600);
}

TEST_F(FrameworkTest, ScrollViewMapsHimetricAndScrollPosition) {
  class Page : public CScrollView {};
  Page v;
  v.resize(300, 200);
  v.SetScrollSizes(MM_HIMETRIC, SIZE{27000, 23000});
  const int dpi = v.LogPixelsX();
  const LONG devW = static_cast<LONG>(std::lround(27000.0 * dpi / 2540));
  EXPECT_EQ(v.GetDeviceTotalSize().cx, devW);
  EXPECT_TRUE(v.HasScrollBar(SB_HORZ));
  EXPECT_TRUE(v.HasScrollBar(SB_VERT));
  v.ScrollToDevicePosition(POINT{50, 40});
  EXPECT_EQ(v.GetDeviceScrollPosition().x, 50);
  POINT logical = v.GetScrollPosition();
  EXPECT_NEAR(logical.x, 50 * 2540 / dpi, 2);
  EXPECT_NEAR(logical.y, -40 * 2540 / dpi, 2);
  QImage img(10, 10, QImage::Format_RGB32);
  CImageDC dc(&img, dpi, dpi);
  v.OnPrepareDC(&dc);
  EXPECT_EQ(dc.GetMapMode(), MM_HIMETRIC);
  EXPECT_EQ(dc.GetViewportOrg().x, -50);
  EXPECT_EQ(dc.GetViewportOrg().y, -40);
  // Beyond the end the position stops at total minus client size.
  v.ScrollToDevicePosition(POINT{100000, -5});
  RECT client;
  v.GetClientRect(&client);
  EXPECT_EQ(v.GetDeviceScrollPosition().x, devW - client.right);
  EXPECT_EQ(v.GetDeviceScrollPosition().y, 0);
  SCROLLINFO si;
  ASSERT_TRUE(v.GetScrollInfo(SB_HORZ, &si));
  EXPECT_EQ(si.nMax, devW - 1);
  EXPECT_EQ(si.nPos, v.GetDeviceScrollPosition().x);
  int told = 0;
  v.SetScrollListener([&] { ++told; });
  v.SetScrollPos(SB_HORZ, 10);
  EXPECT_EQ(v.GetDeviceScrollPosition().x, 10);
  EXPECT_GT(told, 0);
  // A small page needs no bars.
  v.SetScrollSizes(MM_HIMETRIC, SIZE{2540, 2540});
  EXPECT_FALSE(v.HasScrollBar(SB_HORZ));
  EXPECT_EQ(v.GetDeviceScrollPosition().x, 0);
}

TEST_F(FrameworkTest, ClientDcDrawsIntoTheViewAndShowsIt) {
  RecordingView v;
  v.resize(50, 50);
  v.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
  const int draws = v.draws;
  {
    CClientDC dc(&v);
    dc.FillSolidRect(RECT{20, 20, 30, 30}, RGB(255, 0, 0));
  }
  EXPECT_EQ(v.BackingImage().pixel(25, 25) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(v.BackingImage().pixel(5, 5) & 0xFFFFFF, 0x000000u);  // OnDraw's own drawing stays
  EXPECT_EQ(v.draws, draws);
  QImage shown = v.grab().toImage();
  EXPECT_EQ(shown.pixel(25, 25) & 0xFFFFFF, 0xFF0000u);
  // On a view waiting to be repainted a client DC (as a reference for a memory DC)
  // costs no drawing; the repaint that follows draws the view afresh.
  v.Invalidate();
  {
    CClientDC dc(&v);
    v.OnPrepareDC(&dc);
    EXPECT_EQ(v.draws, draws);
  }
  EXPECT_EQ(v.draws, draws + 1);
}

}  // namespace
}  // namespace plat
