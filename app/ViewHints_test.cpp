// Which pages an update hint repaints, for every hint value the program sends: one table
// over the nine pages of the main window, each made from the class the frame uses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGridLayout>
#include <map>
#include <set>
#include <string>

#include "app/GridViewData.h"
#include "app/TremviaApp.h"
#include "app/TremviaDocument.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview.h"
#include "views/graph/GraphView.h"
#include "views/hypo/LocView.h"
#include "views/source/SourceView.h"
#include "views/timeseries/TSView.h"
#include "views/trace/TraceView.h"

namespace {

using Pages = std::set<std::string>;

struct Host {
  Host() {
    auto* grid = new QGridLayout(&window);
    const std::pair<const char*, const plat::CRuntimeClass*> classes[] = {
        {"Trace", RUNTIME_CLASS(CTraceView)},
        {"Wave", CTremviaApp::WaveViewClass()},
        {"TS", RUNTIME_CLASS(CTSView)},
        {"Foc", RUNTIME_CLASS(CSourceView)},
        {"Hypo", RUNTIME_CLASS(CLocView)},
        {"X-Ys graph", RUNTIME_CLASS(CGraphView)},
        {"OpenGL", RUNTIME_CLASS(CGLview)},
        {"Event", RUNTIME_CLASS(plat::CEditView)},
        {"Output: sheet", RUNTIME_CLASS(CGridViewData)}};
    int i = 0;
    for (const auto& [title, rc] : classes) {
      auto* view = dynamic_cast<plat::CView*>(rc->CreateObject());
      doc.AddView(view);
      grid->addWidget(view, i / 3, i % 3);
      views[title] = view;
      ++i;
    }
    window.resize(900, 600);
    window.show();
    for (auto& [title, v] : views) v->OnInitialUpdate();
    Settle();
  }
  // Paints every page that is waiting, so that each case starts from fresh pages.
  void Settle() {
    QApplication::processEvents();
    for (auto& [title, v] : views) v->BackingImage();
  }
  std::map<std::string, int> Renders() const {
    std::map<std::string, int> n;
    for (const auto& [title, v] : views) n[title] = v->RenderCount();
    return n;
  }
  bool qt = (plat::testing::EnsureQtApp(), true);
  QWidget window;
  CTremviaDocument doc;
  std::map<std::string, plat::CView*> views;
};

TEST(ViewHints, EachHintRepaintsItsPagesAndHintNowPaintsBeforeTheSenderGoesOn) {
  plat::testing::ScriptedUi ui;  // the 3-D page writes into the status bar
  Host host;
  const Pages every = {"Trace", "OpenGL", "Event"};  // pages that react to every hint
  auto with = [&](Pages more) {
    more.insert(every.begin(), every.end());
    return more;
  };
  struct Case {
    const char* sender;  // page sending the hint, or null
    LONG hint;
    Pages repainted;
    Pages paintedAtOnce;
  };
  const Case cases[] = {
      {nullptr, 0, with({"Wave", "TS", "Foc", "Hypo"}), {}},
      {nullptr, 2, with({}), {}},
      {nullptr, 4, with({"Wave"}), {}},
      {nullptr, 5, with({"Wave"}), {}},
      {nullptr, 6, with({"Wave"}), {}},
      {nullptr, 8, with({"TS"}), {}},
      {nullptr, 15, with({"TS", "Wave"}), {}},
      {nullptr, 16, with({"Foc"}), {}},
      {nullptr, 22, with({"Foc", "Wave"}), {}},
      {nullptr, 31, with({"Foc", "TS", "Wave"}), {}},
      {nullptr, 64, with({"Hypo"}), {}},
      {nullptr, 120, with({"Hypo", "Foc", "TS"}), {}},
      {nullptr, 0x100, with({"X-Ys graph"}), {}},
      {nullptr, 0x1008, with({"TS"}), {"TS"}},
      // "Hypo" only flashes the current event: its page is not redrawn.
      {nullptr, 0x1044, with({"Wave"}), {"Wave"}},
      // The sender is never told.
      {"TS", 16, with({"Foc"}), {}},
      {"TS", 8, with({}), {}},
      {"TS", 0, with({"Wave", "Foc", "Hypo"}), {}},
      {"OpenGL", 0x1008, {"Trace", "Event", "TS"}, {"TS"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "hint " << c.hint << " from " << (c.sender ? c.sender : "nobody"));
    const auto before = host.Renders();
    host.doc.UpdateAllViews(c.sender ? host.views.at(c.sender) : nullptr, c.hint, nullptr);
    const auto after = host.Renders();
    Pages repainted, atOnce;
    for (const auto& [title, v] : host.views) {
      const bool painted = after.at(title) > before.at(title);
      if (painted) atOnce.insert(title);
      if (painted || v->IsStale()) repainted.insert(title);
    }
    EXPECT_EQ(repainted, c.repainted);
    // Pages told with HINT_NOW have painted before UpdateAllViews returned (others may
    // have been painted with them, but only pages that were told).
    for (const std::string& p : c.paintedAtOnce) EXPECT_TRUE(atOnce.count(p)) << p;
    for (const std::string& p : atOnce) EXPECT_TRUE(c.repainted.count(p)) << p;
    if (!(c.hint & HINT_NOW)) {
      EXPECT_TRUE(atOnce.empty());
    }
    host.Settle();
  }
  // The 3-D page says in the status bar that it rendered its scene again.
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().text, "CGLview::OnUpdate()");
}

}  // namespace
