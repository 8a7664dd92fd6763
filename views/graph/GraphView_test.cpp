#include "views/graph/GraphView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/RecordingDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"

namespace {

using plat::DcOpKind;

// Counts the page drawings so that a test sees which updates repaint.
class CountingGraphView : public CGraphView {
 public:
  void DrawPlot(plat::CDC* dc) override {
    ++draws;
    CGraphView::DrawPlot(dc);
  }
  int draws = 0;
};

// Azimuths and plunges: a table every draw mode has something to draw from.
void FillDirections(KZ_MultiVarObj& t) {
  t.SetSize(3, 3);
  t.m_nColumns = 2;
  const double az[] = {0, 90, 180}, pl[] = {90, 0, 45};
  for (int i = 0; i < 3; ++i) {
    t.m_ppData[0][i] = az[i];
    t.m_ppData[1][i] = pl[i];
  }
  t.m_Columns[0].SetAll(3, 0, 180, "Az", "deg", 1);
  t.m_Columns[1].SetAll(3, 0, 90, "Pl", "deg", 2);
}

std::vector<plat::DcOpKind> Kinds(const plat::RecordingDc& dc) {
  std::vector<plat::DcOpKind> out;
  for (const plat::DcOp& op : dc.Ops()) out.push_back(op.kind);
  return out;
}

void OnNextDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    act(dlg);
  });
}

void SetEdit(QWidget* w, int id, const QString& text) {
  auto* edit = w->findChild<QLineEdit*>(QString::number(id));
  ASSERT_NE(edit, nullptr) << id;
  edit->setText(text);
}

QString EditText(QWidget* w, int id) {
  auto* edit = w->findChild<QLineEdit*>(QString::number(id));
  return edit ? edit->text() : QString("<none>");
}

void Click(QWidget* w, const char* id) {
  auto* b = w->findChild<QPushButton*>(id);
  ASSERT_NE(b, nullptr) << id;
  b->click();
}

class GraphPage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    FillDirections(table);
    view.resize(800, 600);
    view.OnInitialUpdate();
  }
  KZ_MultiVarObj table;
  CountingGraphView view;
};

}  // namespace

TEST_F(GraphPage, OnlyTheGraphHintRepaints) {
  view.SetData(&table);
  const int after = view.draws;
  EXPECT_GT(after, 0);
  view.OnUpdate(nullptr, 0, nullptr);
  view.OnUpdate(nullptr, 0x80, nullptr);
  EXPECT_EQ(view.draws, after);
  view.OnUpdate(nullptr, 0x100 | 0x1, nullptr);
  EXPECT_EQ(view.draws, after + 1);
}

// Each mode draws exactly what the table itself draws at the page's rectangle.
TEST_F(GraphPage, DrawModeChoosesTheTableDrawing) {
  struct Case {
    UINT id;
    int mode;
    std::function<void(plat::CDC*)> direct;
  };
  const int x = 3000, y = -1500, w = 12000, h = 8000;
  const Case cases[] = {
      {CGraphView::ID_GRAPH_YYX, 0, [&](plat::CDC* dc) { table.DrawXY(dc, x, y, w, h, 1); }},
      {CGraphView::ID_GRAPH_POLAR, 1, [&](plat::CDC* dc) { table.DrawPolar(dc, x, y, w, h); }},
      {CGraphView::ID_GRAPH_VANG, 2,
       [&](plat::CDC* dc) { table.DrawValueVsAngle(dc, x, y, w, h); }},
  };
  view.SetData(&table);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    view.OnCmdMsg(c.id, nullptr);
    EXPECT_EQ(view.m_nDrawMode, c.mode);
    EXPECT_EQ(table.m_nGraphMode, c.mode);
    plat::RecordingDc page, direct;
    view.DrawPlot(&page);
    c.direct(&direct);
    EXPECT_FALSE(page.Ops().empty());
    EXPECT_EQ(Kinds(page), Kinds(direct));
    // The current mode is checked and disabled, the two others open.
    for (const Case& other : cases) {
      plat::CCmdUI ui(other.id);
      ASSERT_TRUE(view.OnCmdMsg(other.id, &ui));
      EXPECT_EQ(ui.m_nCheck, other.mode == c.mode ? 1 : 0);
      EXPECT_EQ(ui.m_bEnabled, other.mode != c.mode);
    }
  }
}

// Without a table a mode command only stores the mode; the table shown next is drawn by
// its own mode.
TEST_F(GraphPage, ModeWithoutTableIsOnlyStored) {
  view.OnCmdMsg(CGraphView::ID_GRAPH_YYX, nullptr);
  EXPECT_EQ(view.m_nDrawMode, 0);
  table.m_nGraphMode = 1;
  view.SetData(&table);
  EXPECT_EQ(table.m_nGraphMode, 1);
  plat::RecordingDc page, polar;
  view.DrawPlot(&page);
  table.DrawPolar(&polar, 3000, -1500, 12000, 8000);
  EXPECT_EQ(Kinds(page), Kinds(polar));
}

// The check mark tells what the page shows: a table brings its own mode. Values against
// an angle are refused for a table whose x is no angle (a time would wind the diagram
// round itself into a filled blot).
TEST_F(GraphPage, TheCheckMarkFollowsTheTableAndVAngNeedsAnAngle) {
  auto check = [&](UINT id) {
    plat::CCmdUI ui(id);
    EXPECT_TRUE(view.OnCmdMsg(id, &ui));
    return std::make_pair(ui.m_nCheck, ui.m_bEnabled);
  };
  table.m_nGraphMode = 0;
  view.SetData(&table);
  EXPECT_EQ(view.m_nDrawMode, 0);
  EXPECT_EQ(check(CGraphView::ID_GRAPH_YYX), std::make_pair(1, false));
  EXPECT_EQ(check(CGraphView::ID_GRAPH_VANG), std::make_pair(0, true));

  KZ_MultiVarObj series;
  series.SetSize(3, 3);
  series.m_nColumns = 2;
  for (int i = 0; i < 3; ++i) {
    series.m_ppData[0][i] = 400.0 * i;
    series.m_ppData[1][i] = 1.0 + i;
  }
  series.m_Columns[0].SetAll(3, 0, 800, "Time", "s", 1);
  series.m_Columns[1].SetAll(3, 1, 3, "Rate", "1/s", 2);
  view.SetData(&series);
  EXPECT_EQ(check(CGraphView::ID_GRAPH_VANG), std::make_pair(0, false));
  plat::testing::ScriptedUi ui;
  view.OnCmdMsg(CGraphView::ID_GRAPH_VANG, nullptr);
  EXPECT_EQ(view.m_nDrawMode, 0);
  EXPECT_EQ(series.m_nGraphMode, 0);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("V-ang"), std::string::npos);
  view.SetData(nullptr);
}

TEST_F(GraphPage, NothingDrawnWithoutTableOrInANarrowWindow) {
  {
    plat::RecordingDc dc;
    view.DrawPlot(&dc);
    EXPECT_TRUE(dc.Ops().empty());
  }
  view.SetData(&table);
  view.resize(9, 600);
  plat::RecordingDc dc;
  view.DrawPlot(&dc);
  EXPECT_TRUE(dc.Ops().empty());
  // A table with no Y column draws what it can and nothing escapes.
  KZ_MultiVarObj onlyX;
  onlyX.SetSize(3, 3);
  onlyX.m_nColumns = 1;
  onlyX.m_Columns[0].SetAll(3, 0, 2, "x", "m", 1);
  view.resize(800, 600);
  for (int mode : {0, 1, 2}) {
    onlyX.m_nGraphMode = mode;
    view.SetData(&onlyX);
    plat::RecordingDc any;
    view.DrawPlot(&any);
  }
}

TEST_F(GraphPage, SetDataNeverFreesTheTable) {
  auto owned = std::make_unique<KZ_MultiVarObj>();
  FillDirections(*owned);
  {
    CGraphView page;
    page.SetData(owned.get());
    page.SetData(nullptr);
    page.SetData(owned.get());
  }
  EXPECT_EQ(owned->m_ppData[0][1], 90);  // still ours and intact after the page is gone
}

// The sheet shows the geometry in whole millimetres; refused values and Cancel change
// nothing, OK sets the geometry and repaints.
TEST_F(GraphPage, PropertySheet) {
  view.SetData(&table);
  view.m_nPlotLeft = 3099;  // truncated toward zero in the sheet
  struct Refusal {
    int id;
    const char* value;
  };
  for (const Refusal r :
       {Refusal{1158, "51"}, Refusal{1199, "-1"}, Refusal{7532, "9"}, Refusal{7633, "321"}}) {
    SCOPED_TRACE(r.id);
    plat::testing::ScriptedUi ui;
    const int draws = view.draws;
    OnNextDialog([&](QDialog* dlg) {
      EXPECT_EQ(EditText(dlg, 1158), "30");
      EXPECT_EQ(EditText(dlg, 1199), "15");
      EXPECT_EQ(EditText(dlg, 7532), "120");
      EXPECT_EQ(EditText(dlg, 7633), "80");
      SetEdit(dlg, r.id, r.value);
      Click(dlg, "1");
      EXPECT_TRUE(dlg->isVisible());
      Click(dlg, "2");
    });
    view.OnCmdMsg(CGraphView::ID_GRAPH_PROPERTY, nullptr);
    EXPECT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_EQ(view.m_nPlotLeft, 3099);
    EXPECT_EQ(view.m_nPlotTop, -1500);
    EXPECT_EQ(view.m_nPlotW, 12000);
    EXPECT_EQ(view.m_nPlotH, 8000);
    EXPECT_EQ(view.draws, draws);
  }
  const int draws = view.draws;
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, 1158, "0");
    SetEdit(dlg, 1199, "50");
    SetEdit(dlg, 7532, "10");
    SetEdit(dlg, 7633, "320");
    Click(dlg, "1");
  });
  view.OnCmdMsg(CGraphView::ID_GRAPH_PROPERTY, nullptr);
  EXPECT_EQ(view.m_nPlotLeft, 0);
  EXPECT_EQ(view.m_nPlotTop, -5000);
  EXPECT_EQ(view.m_nPlotW, 1000);
  EXPECT_EQ(view.m_nPlotH, 32000);
  EXPECT_EQ(view.draws, draws + 1);
}
