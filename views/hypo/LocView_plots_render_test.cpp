// Every plot type of the page on the bundled synthetic experiment, rendered at 96 dpi
// (the pictures are kept beside the test's temporary files), and on bad input.
#include <omp.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/qt/QtDc.h"
#include "platform/testing/ScriptedUi.h"
#include "views/hypo/LocView_plots_testkit.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(HypoPlotsOnTheSyntheticExperiment, EveryTypeDrawsAndLeavesTheCatalogueAlone) {
  plat::testing::EnsureQtApp();
  omp_set_num_threads(1);  // see the density test
  const std::string dir = std::string(TV_TEST_TMPDIR) + "/hypo_plots_cube";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir, fs::copy_options::recursive);
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV"));
  }
  CAEHypo& h = *doc.m_pHypo;
  ASSERT_TRUE(doc.BuildEventList(0, h.GetNumAE(), 0, 0));
  ASSERT_FALSE(doc.m_EventList.empty());
  h.m_nMinArrivals = 0;
  h.m_bTTypeOpen = 1;
  ASSERT_TRUE(h.GetAEH(1));
  const AEHRecord current = h.m_Rec;
  const int currentIndex = h.m_nCurAE;
  const std::string catalogue = ReadFile(dir + "/Cube.aeh");
  CLocView view;
  view.SetData(&doc);
  view.resize(1000, 800);
  view.OnInitialUpdate();
  for (int type = 0; type <= 21; ++type) {
    SCOPED_TRACE(type);
    h.m_nPlotType = type;
    h.m_nColorMode = type == 8 ? 3 : 1;
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
    view.RenderPageToDIB();
    const QImage page = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
    ASSERT_FALSE(page.isNull());
    page.save(QString::fromStdString(dir + "/type_" + std::to_string(type) + ".png"));
    auto px = [&](int xPage, int yPage) {
      return page.pixel(xPage * 96 / 2540, -yPage * 96 / 2540) & 0xFFFFFF;
    };
    int inked = 0;
    for (int y = 0; y < page.height(); y += 4)
      for (int x = 0; x < page.width(); x += 4) inked += (page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(inked, 20);
    if (type == 17) {
      EXPECT_EQ(px(6000, -6000), 0u);  // the sphere's cross
    }
    if (type == 21) {
      EXPECT_NE(px(7000, -7000), 0xFFFFFFu);  // the coloured triangle
    }
    EXPECT_EQ(std::memcmp(&h.m_Rec, &current, sizeof current), 0);
    EXPECT_EQ(h.m_nCurAE, currentIndex);
  }
  doc.m_pHypo.reset();  // closes the catalogue
  EXPECT_EQ(ReadFile(dir + "/Cube.aeh"), catalogue);
}

TEST_F(HypoPlots, BadInputDrawsQuietly) {
  plat::testing::ScriptedUi ui;
  auto drawAll = [&] {
    for (int type = 0; type <= 21; ++type) {
      if (type == 1 || type == 6) continue;
      SCOPED_TRACE(type);
      Draw(type);
    }
  };
  drawAll();  // an empty list
  Add(0, 0, 0, 5000);
  Add(1, 1, 1, 6000);
  drawAll();  // no event in the window
  // A catalogue that claims more records than it holds, the last one cut short.
  Catalogue({{5, 5}});
  doc.m_pHypo->m_nAE = 4;
  doc.m_pHypo->m_bTTypeOpen = 1;
  for (auto& e : doc.m_EventList) e->time = 10;
  doc.m_EventList[1]->record = 3;
  drawAll();
  EXPECT_TRUE(ui.Shown().empty());
}
