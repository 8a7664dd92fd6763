// The pages' context menus on the running program, through real mouse events: a right
// click on each page opens its popup with its items in order, the items enable and check
// through the commands' update handlers, and a click on an item runs its command. And no
// command a page handles is left without a way in for the user.
// Mouse events go through the windows, as the window system delivers them, so that a
// right click becomes a context-menu request.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "app/AppTestKit.h"
#include "app/TremviaResources.h"
#include "platform/qt/Resources.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview.h"
#include "views/graph/GraphView.h"
#include "views/hypo/LocView.h"
#include "views/source/SourceView.h"
#include "views/timeseries/TSView.h"
#include "views/trace/TraceView.h"
#include "views/wave/WaveView.h"

using apptest::Frame;
using plat::testing::Prompt;

namespace {

// One item as the popup shows it; a submenu shows as id 0 followed by its own items.
struct Shown {
  UINT id;
  std::string text;
  bool enabled;
  bool checked;
};

void List(QMenu* m, std::vector<Shown>* out) {
  for (QAction* a : m->actions()) {
    if (a->isSeparator()) continue;
    out->push_back({a->menu() ? 0u : a->data().toUInt(), a->text().toStdString(), a->isEnabled(),
                    a->isChecked()});
    if (a->menu()) List(a->menu(), out);
  }
}

// Right-clicks the middle of `page` and lists the popup that opens; then clicks the item
// `choose` of its first level, or closes the popup with Escape when `choose` is 0.
std::vector<Shown> RightClick(QWidget* page, UINT choose) {
  std::vector<Shown> shown;
  bool opened = false, clicked = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    opened = true;
    List(menu, &shown);
    for (QAction* a : menu->actions())
      if (!a->menu() && !a->isSeparator() && a->data().toUInt() == choose && choose != 0) {
        QTest::mouseMove(menu, menu->actionGeometry(a).center());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        clicked = true;
        break;
      }
    if (!clicked) QTest::keyClick(menu, Qt::Key_Escape);
  });
  QTest::mouseClick(page, Qt::RightButton, {}, page->rect().center());
  QApplication::processEvents();
  EXPECT_TRUE(opened) << "no popup opened";
  EXPECT_EQ(clicked, choose != 0);
  return shown;
}

std::vector<UINT> Ids(const std::vector<Shown>& shown) {
  std::vector<UINT> ids;
  for (const Shown& s : shown) ids.push_back(s.id);
  return ids;
}

const Shown* Find(const std::vector<Shown>& shown, const std::string& text) {
  for (const Shown& s : shown)
    if (s.text == text) return &s;
  return nullptr;
}

struct PageCase {
  const char* title;
  std::function<QWidget*(CMainFrame&)> show;  // brings the page to the front
  std::vector<UINT> ids;                      // the popup's items in order (0: submenu or none)
  std::vector<const char*> disabled;          // items that no command answers here
  UINT choose;
  // Prepares the choice (scripted answers) and checks that its command ran; gets the
  // popup as shown before and after the choice.
  std::function<void(QWidget*, const std::vector<Shown>&, const std::vector<Shown>&)> check;
};

QWidget* ShowPage(CWCTabViewContainer& c, int i) {
  c.SetActivePageIndex(i);
  QApplication::processEvents();
  return c.GetPage(i);
}

const Shown& Item(const std::vector<Shown>& shown, UINT id) {
  static const Shown none{0, "<missing>", false, false};
  for (const Shown& s : shown)
    if (s.id == id) return s;
  return none;
}

}  // namespace

// For each page: the popup's item ids are the page's own, in order; items without a
// command show disabled; a click on one item runs its command and the next popup shows
// its new state.
TEST(ContextMenus, ARightClickOnEveryPageOpensItsPopupAndRunsTheChosenCommand) {
  CMainFrame& f = Frame();
  f.show();
  QApplication::processEvents();
  const PageCase cases[] = {
      {"Trace",
       [](CMainFrame& m) { return ShowPage(m.m_tabTopLeft, 0); },
       {32992, 0, 32996, 33090, 33100, 33260, 32832, 32834, 34156},
       {"Font..."},
       CTraceView::ID_TRACE_ZOOM,
       [](QWidget* page, const std::vector<Shown>& before, const std::vector<Shown>& after) {
         EXPECT_TRUE(Item(before, 32832).checked);  // zoomed from the start
         EXPECT_FALSE(Item(after, 32832).checked);
         EXPECT_EQ(dynamic_cast<CTraceView*>(page)->m_bZoom, 0);
         dynamic_cast<CTraceView*>(page)->m_bZoom = 1;
       }},
      {"TS",
       [](CMainFrame& m) { return ShowPage(m.m_tabBottomLeft, 0); },
       {34141, 32775, 32776, 34178, 34140, 34190, 32786, 32788, 34147, 34982, 34364,
        32782, 34980, 34193, 32779, 32783, 32802, 32780, 32781, 0,     32774, 32777,
        32778, 32818, 32785, 34465, 34566, 0,     34143, 34144, 34145, 34210, 34211,
        34212, 34156, 57607, 57609},
       {},
       CTSView::ID_TS_LOADPEAK,
       {}},
      {"Wave",
       [](CMainFrame& m) { return ShowPage(m.m_tabBottomLeft, 1); },
       {32992, 33404, 34010, 34222, 34223, 32828, 32860, 34015, 34016, 34017, 35798, 34170, 0,
        34171, 34172, 34173, 34012, 34156, 0, 0},
       {"Pickup and location (|->) ", "Make Semblance"},
       CWaveView::ID_WAVE_NORMALIZE,
       [](QWidget* page, const std::vector<Shown>& before, const std::vector<Shown>& after) {
         EXPECT_FALSE(Item(before, 34170).checked);
         EXPECT_TRUE(Item(after, 34170).checked);
         EXPECT_TRUE(Item(after, 34171).checked);  // no clipping
         dynamic_cast<CWaveView*>(page)->m_bNormalize = 0;
       }},
      {"Hypo",
       [](CMainFrame& m) { return ShowPage(m.m_tabTopRight, 0); },
       {34230, 34189, 32850, 34156, 34191, 34153, 34162, 34152, 34667, 34154, 34155, 34158,
        34159, 34169, 34105, 34210, 34211, 34212, 57607},
       {"Model Analyse", "Randomization of XYZ"},
       CLocView::ID_LOC_LOADFROMFILE,
       {}},
      {"Foc",
       [](CMainFrame& m) { return ShowPage(m.m_tabBottomRight, 0); },
       {33402, 33423, 33504, 33610, 32841, 32843, 32844, 34210, 34211, 34212, 57607, 34156,
        34141},
       {"Font...", "Property..."},
       CSourceView::ID_SRC_WAVEFORM,
       [](QWidget* page, const std::vector<Shown>& before, const std::vector<Shown>& after) {
         EXPECT_FALSE(Item(before, 32844).checked);
         EXPECT_TRUE(Item(after, 32844).checked);
         dynamic_cast<CSourceView*>(page)->m_bShowWave = 0;
       }},
      {"X-Ys graph",
       [](CMainFrame& m) { return ShowPage(m.m_tabBottomRight, 1); },
       {32377, 32346, 32814, 32813, 34210, 34211, 34212},
       {},
       CGraphView::ID_GRAPH_POLAR,
       [](QWidget* page, const std::vector<Shown>& before, const std::vector<Shown>& after) {
         // Without a table no mode is shown: none is ticked, each may be chosen, and the
         // choice is kept for the table to come.
         EXPECT_FALSE(Item(before, 32814).checked);
         EXPECT_TRUE(Item(before, 32814).enabled);
         EXPECT_FALSE(Item(after, 32346).checked);
         EXPECT_TRUE(Item(after, 32814).enabled);
         EXPECT_EQ(dynamic_cast<CGraphView*>(page)->m_nDrawMode, 1);
         dynamic_cast<CGraphView*>(page)->m_nDrawMode = 2;
       }},
      {"OpenGL",
       [](CMainFrame& m) { return ShowPage(m.m_tabBottomRight, 2); },
       {32816, 32817, 0, 0},
       {"Hints?", "Load"},
       CGLview::ID_GL_SAVEBMP,
       {}},
  };
  // The commands that ask for a file: the dialog the user would see, cancelled.
  const std::map<UINT, std::pair<Prompt, const char*>> fileCommands = {
      {CTSView::ID_TS_LOADPEAK, {Prompt::OpenFile, "Open Peak file"}},
      {CLocView::ID_LOC_LOADFROMFILE, {Prompt::OpenFile, "Load Location data"}},
      {CGLview::ID_GL_SAVEBMP, {Prompt::SaveFile, "Save 3D snapshot to bmp file"}}};

  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.title);
    QWidget* page = c.show(f);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->isVisible());
    const std::vector<Shown> before = RightClick(page, 0);
    EXPECT_EQ(Ids(before), c.ids);
    for (const char* text : c.disabled) {
      const Shown* s = Find(before, text);
      ASSERT_NE(s, nullptr) << text;
      EXPECT_FALSE(s->enabled) << text;
    }
    EXPECT_TRUE(Item(before, c.choose).enabled);
    plat::testing::ScriptedUi ui;
    if (auto it = fileCommands.find(c.choose); it != fileCommands.end())
      ui.ExpectFileDialog(it->second.first, it->second.second, std::nullopt);
    RightClick(page, c.choose);
    EXPECT_EQ(ui.PendingExpectations(), 0u);  // the dialog was asked for
    // The page the click was on is the one the command reached.
    EXPECT_EQ(f.GetActiveView(), dynamic_cast<plat::CView*>(page));
    const std::vector<Shown> after = RightClick(page, 0);
    if (c.check) c.check(page, before, after);
  }
  f.m_tabTopLeft.SetActivePageIndex(0);
  f.m_tabBottomLeft.SetActivePageIndex(0);
  f.m_tabTopRight.SetActivePageIndex(0);
  f.m_tabBottomRight.SetActivePageIndex(0);
}

namespace {

std::set<UINT> MenuIds(const std::vector<plat::MenuItem>& items) {
  std::set<UINT> ids;
  for (const plat::MenuItem& it : items) {
    if (it.IsPopup()) {
      const std::set<UINT> sub = MenuIds(it.items);
      ids.insert(sub.begin(), sub.end());
    } else if (it.id != 0) {
      ids.insert(it.id);
    }
  }
  return ids;
}

// The commands the pages handle that nothing sends, with the reason, one per line:
// "<id> <page title or *> <reason>".
std::map<std::pair<UINT, std::string>, std::string> CommandsWithoutSender() {
  std::map<std::pair<UINT, std::string>, std::string> out;
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/app/testdata/commands_without_sender.txt");
  EXPECT_TRUE(in.good());
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    UINT id = 0;
    std::string page, reason;
    ss >> id >> page;
    std::getline(ss, reason);
    EXPECT_GT(reason.size(), 10u) << "a reason for " << id;
    out[{id, page}] = reason;
  }
  return out;
}

}  // namespace

// Every command in a page's command table has a sender while that page is active: an
// item of the main menu, of the page's own context menu, a toolbar button or a shortcut;
// or it stands in the short list of commands without one, with its reason.
TEST(ContextMenus, EveryCommandOfEveryPageHasASender) {
  CMainFrame& f = Frame();
  const plat::Resources& r = plat::Resources::Get();
  ASSERT_NE(r.Menu(IDR_MAINFRAME), nullptr);
  std::set<UINT> everywhere = MenuIds(*r.Menu(IDR_MAINFRAME));
  for (UINT id : *r.ToolBar(IDR_TOOLBAR)) everywhere.insert(id);
  for (const plat::Accelerator& a : *r.Accelerators(IDR_MAINFRAME)) everywhere.insert(a.id);
  const auto exempt = CommandsWithoutSender();
  std::set<std::pair<UINT, std::string>> used;

  struct Page {
    CWCTabViewContainer* pane;
    int index;
    UINT menu;  // context menu resource and popup, menu 0 for none
    int popup;
  };
  const Page pages[] = {{&f.m_tabTopLeft, 0, IDR_PAGE_MENU, 0},
                        {&f.m_tabBottomLeft, 0, IDR_PAGE_MENU, 3},
                        {&f.m_tabBottomLeft, 1, IDR_PAGE_MENU, 2},
                        {&f.m_tabTopRight, 0, IDR_PAGE_MENU, 1},
                        {&f.m_tabTopRight, 1, 0, 0},
                        {&f.m_tabTopRight, 2, 0, 0},
                        {&f.m_tabBottomRight, 0, IDR_PAGE_MENU, 5},
                        {&f.m_tabBottomRight, 1, IDR_GRAPH_MENU, 0},
                        {&f.m_tabBottomRight, 2, IDR_GRAPH_MENU, 2}};
  for (const Page& p : pages) {
    const std::string title = p.pane->GetPageTitle(p.index);
    SCOPED_TRACE(title);
    auto* target = dynamic_cast<plat::CCmdTarget*>(p.pane->GetPage(p.index));
    ASSERT_NE(target, nullptr);
    std::set<UINT> senders = everywhere;
    if (p.menu) {
      const plat::MenuResource* menu = r.Menu(p.menu);
      ASSERT_NE(menu, nullptr);
      ASSERT_LT(p.popup, static_cast<int>(menu->size()));
      const std::set<UINT> own = MenuIds((*menu)[static_cast<std::size_t>(p.popup)].items);
      senders.insert(own.begin(), own.end());
    }
    for (const auto& [first, last] : target->CommandRanges())
      for (UINT id = first; id <= last; ++id) {
        const bool sent = senders.count(id) != 0;
        const bool listed = exempt.count({id, title}) || exempt.count({id, "*"});
        EXPECT_TRUE(sent || listed) << "command " << id << " has no sender";
        if (listed) used.insert(exempt.count({id, title}) ? std::make_pair(id, title)
                                                          : std::make_pair(id, std::string("*")));
        // The list holds only commands that really lack a sender.
        EXPECT_FALSE(sent && listed) << "command " << id << " has a sender but is listed";
      }
  }
  for (const auto& [key, reason] : exempt)
    EXPECT_TRUE(used.count(key)) << key.first << " " << key.second << " is listed but no page handles it";
}
