// The program end to end on a real display (run under xvfb-run): started as the
// executable starts it, with scripted answers, on a fresh copy of the sample experiment.
// The first three events are picked, located and saved by command id, the Hypo page is
// shown and the working sheet makes the data sheet. The records on disk are compared
// with the experiment's known sources; screenshots are kept as artefacts.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "aecore/catalogue/AEHypo.h"
#include "app/DlgOper.h"
#include "app/GridViewData.h"
#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "app/TremviaResources.h"
#include "numerics/nml_runtime.h"
#include "platform/qt/QtUi.h"
#include "platform/qt/Resources.h"
#include "platform/testing/ScriptedUi.h"
#include "views/hypo/LocView.h"
#include "wincomp/grid/SGCtrl.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

constexpr UINT kPickupP = 32992;
constexpr UINT kLocation = 33404;
constexpr UINT kSaveLocation = 34010;
constexpr int kEvents = 3;

struct Source {
  double x, y, z;
};

std::vector<Source> Truth(const fs::path& file) {
  std::ifstream in(file);
  std::vector<Source> s;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream f(line);
    int i = 0;
    Source p{};
    if (f >> i >> p.x >> p.y >> p.z) s.push_back(p);
  }
  return s;
}

void Save(QWidget* w, const std::string& name) {
  const fs::path dir = TV_ARTEFACT_DIR;
  fs::create_directories(dir);
  w->grab().save(QString::fromStdString((dir / name).string()));
}

TEST(EndToEnd, ThreeEventsArePickedLocatedSavedShownAndTabulated) {
  const fs::path exp = fs::path(TV_TEST_TMPDIR) / "EndToEnd";
  fs::remove_all(exp);
  fs::copy(fs::path(TV_SOURCE_DIR) / "examples/SynthCube", exp, fs::copy_options::recursive);
  const std::string pad = (exp / "Cube.pad").string();
  const std::string event0 = (exp / "CUBE.00/000000.WAV").string();

  // As the executable starts: no numerical failure ends the program, the application
  // object made once, then its start-up without a file on the command line.
  nml_error_set_stop_fatal(0);
  static char arg0[] = "tremvia";
  static char* argv[] = {arg0, nullptr};
  static int argc = 1;
  new QApplication(argc, argv);  // kept to the end of the process, as the windows are
  plat::ForceCNumericLocale();
  auto* app = new CTremviaApp;  // lives as long as the program
  if (app->m_pszAppName.empty()) app->m_pszAppName = "Tremvia";
  QApplication::setApplicationName("Tremvia");
  app->SetProfileFile((exp / "settings.ini").string());
  app->SetCommandLine({});
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Open Tremvia File", event0);
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", pad);
  ASSERT_TRUE(app->InitInstance());
  auto* frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
  ASSERT_NE(frame, nullptr);
  frame->show();
  QApplication::processEvents();
  CTremviaDoc& doc = *frame->GetDoc();
  ASSERT_TRUE(doc.m_pWave);
  for (int k = 0; k < kEvents; ++k) {
    EXPECT_EQ(doc.m_pWave->m_nEvent, k);
    EXPECT_TRUE(frame->SendCommand(kPickupP));
    EXPECT_TRUE(frame->SendCommand(kLocation));
    EXPECT_TRUE(frame->SendCommand(kSaveLocation));
    QApplication::processEvents();
    if (k + 1 < kEvents) {
      EXPECT_TRUE(frame->SendCommand(ID_LOAD_NEXT));
    }
  }
  Save(frame, "e2e-main-window.png");

  // The Hypo page: the saved events' markers are drawn. The page is rendered with the
  // three events listed and again with none; the markers are what differs.
  CLocView* loc = frame->GetLocView(TRUE);
  ASSERT_NE(loc, nullptr);
  auto render = [&] {
    doc.m_Host.UpdateAllViews(nullptr, 0, nullptr);
    QApplication::processEvents();
    return loc->BackingImage().copy();
  };
  doc.BuildEventList(0, kEvents - 1, 0, 0);
  ASSERT_EQ(doc.m_EventList.size(), static_cast<std::size_t>(kEvents));
  const QImage shown = render();
  Save(loc, "e2e-hypo-page.png");
  doc.ClearEventList();
  const QImage empty = render();
  ASSERT_EQ(shown.size(), empty.size());
  ASSERT_FALSE(shown.isNull());
  int changed = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) changed += shown.pixel(x, y) != empty.pixel(x, y);
  EXPECT_GT(changed, 3 * 10);
  doc.BuildEventList(0, doc.m_pHypo->GetNumAE() - 1, 0, 0);

  // The working sheet's "6: Make data sheet".
  EXPECT_TRUE(frame->SendCommand(ID_WORKING_SHEET));
  QApplication::processEvents();
  ASSERT_TRUE(frame->m_pDlgOper);
  CGridFun& grid = frame->m_pDlgOper->m_Grid;
  grid.SetCurrentSheet(CGridFun::kFile, 1);
  grid.SetCellText(1, 1, "6: Make data sheet");
  grid.OnCellTypeNotify(grid.m_nButtonIndex, 0, 1, SGN_BUTTON_UP, 0);
  QApplication::processEvents();
  grid.RedrawAll();
  QApplication::processEvents();
  Save(frame->m_pDlgOper.get(), "e2e-working-sheet.png");
  Save(frame, "e2e-data-sheet.png");
  CGridViewData* sheetView = frame->GetGridDataView(FALSE);
  ASSERT_NE(sheetView, nullptr);
  const KZ_MultiVarObj* table = sheetView->GetData();
  ASSERT_NE(table, nullptr);
  std::vector<int> listed;
  for (int r = 0; r < table->m_nRows; ++r)
    listed.push_back(static_cast<int>(table->m_ppData[0][r]));
  for (int k = 0; k < kEvents; ++k)
    EXPECT_NE(std::find(listed.begin(), listed.end(), k), listed.end()) << k;
  // And the page's grid shows them: the first column of the data rows holds the records.
  KZ_GridData& cells = sheetView->Grid();
  std::vector<int> shownRecords;
  for (long r = KZ_GridData::kHeadRows; r < cells.GetRowCount(); ++r) {
    const char* text = cells.GetCellText(0, r);
    if (text && *text) shownRecords.push_back(std::atoi(text));
  }
  for (int k = 0; k < kEvents; ++k)
    EXPECT_NE(std::find(shownRecords.begin(), shownRecords.end(), k), shownRecords.end()) << k;

  // The questions came in the order of the script, and none is left.
  ASSERT_GE(ui.Shown().size(), 2u);
  EXPECT_EQ(ui.Shown()[0].text, "Open Tremvia File");
  EXPECT_EQ(ui.Shown()[1].text, "Load parameters");
  EXPECT_EQ(ui.PendingExpectations(), 0u);

  // The records as written to disk, read by a catalogue engine of their own.
  const std::vector<Source> truth = Truth(exp / "truth.txt");
  ASSERT_GE(truth.size(), static_cast<std::size_t>(kEvents));
  CAEHypo disk;
  ASSERT_TRUE(disk.LoadPad(pad, false));
  for (int k = 0; k < kEvents; ++k) {
    AEHRecord r{};
    ASSERT_TRUE(disk.GetAEH(k, &r)) << k;
    EXPECT_GE(r.nArrivals, 4) << k;
    const double d = std::sqrt((r.fX - truth[k].x) * (r.fX - truth[k].x) +
                               (r.fY - truth[k].y) * (r.fY - truth[k].y) +
                               (r.fZ - truth[k].z) * (r.fZ - truth[k].z));
    EXPECT_LT(d, 2.5) << "event " << k << " at " << r.fX << ", " << r.fY << ", " << r.fZ;
  }
  // The program's end: windows go before the Qt application does.
  app->ExitInstance();
  app->CloseAllDocuments();
}

}  // namespace
