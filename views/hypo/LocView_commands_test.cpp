#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/CrtRand.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeShell.h"
#include "platform/testing/FakeSound.h"
#include "platform/testing/ScriptedUi.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_testkit.h"

namespace fs = std::filesystem;
using plat::DcOp;
using plat::DcOpKind;
using plat::testing::Prompt;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string TempDir(const std::string& name) {
  const std::string dir = std::string(TV_TEST_TMPDIR) + "/hypo_" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A summary of a drawing that does not depend on where the markers' jitter put them.
std::string Summary(const plat::RecordingDc& dc) {
  std::ostringstream s;
  for (const DcOp& op : dc.Ops()) {
    s << static_cast<int>(op.kind) << ":" << op.state.brush.Color() << ":" << op.state.pen.Color();
    if (op.kind == DcOpKind::Text) s << ":" << op.text;
    s << "\n";
  }
  return s.str();
}

// Answers the next modal property sheet: fills the named fields and presses OK, or
// presses Cancel; `offered` receives the fields' texts as the sheet showed them.
void AnswerSheet(std::map<std::string, std::string> fields, bool ok,
                 std::map<std::string, std::string>* offered) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* sheet = QApplication::activeModalWidget();
    if (!sheet) return;
    timer->stop();
    timer->deleteLater();
    for (QLineEdit* e : sheet->findChildren<QLineEdit*>()) {
      const std::string id = e->objectName().toStdString();
      (*offered)[id] = e->text().toStdString();
      if (fields.count(id)) e->setText(QString::fromStdString(fields.at(id)));
    }
    sheet->findChild<QPushButton*>(ok ? "1" : "2")->click();
  });
  timer->start(10);
}

}  // namespace

// Play-back.
TEST_F(HypoPage, PlayBackLeavesEachEventInTheColourOfItsAge) {
  // 150 events 1 s apart on a grid of the map panel, apart enough to be probed alone.
  for (int i = 0; i < 150; ++i) Add(-18.2f + 2.6f * (i % 15), -11.7f + 2.6f * (i / 15), 0, 1.0 + i);
  view.BackingImage();  // the plot as painted sets the drawing state
  view.m_nPlayPos = 0;
  plat::testing::ScriptedUi ui;
  plat::testing::FakeSound sound;
  view.PlayBack();
  EXPECT_EQ(view.m_nPlayPos, -1);
  EXPECT_EQ(ui.InputPolls(), 150);
  ASSERT_EQ(view.waits.size(), 149u);
  EXPECT_EQ(view.waits.front(), 10);  // 1 s at speed 10
  const QImage& img = view.ClientImage();
  for (int i = 0; i < 150; ++i) {
    const AEEventEntry& e = *doc.m_EventList[i];
    const POINT p = Device({view.m_ptPanel[0].x + static_cast<int>(100 * e.x),
                            view.m_ptPanel[0].y + static_cast<int>(100 * e.y)});
    const QRgb expected = i == 149              ? qRgb(255, 0, 0)
                          : (i >= 1 && i <= 49) ? qRgb(92, 64, 64)
                                                : qRgb(0, 0, 255);
    EXPECT_EQ(img.pixel(p.x, p.y), expected) << "step " << i;
  }
}

TEST_F(HypoPage, PlayBackSoundsByMagnitudeWaitsByTimeAndStopsOnInput) {
  for (int k = 0; k < 5; ++k)
    doc.m_pSideBuf[k] = std::make_unique<std::vector<BYTE>>(1, static_cast<BYTE>(k));
  struct Ev {
    double t;
    float Mw;
  } events[] = {{5, 0.5f}, {205, 2.0f}, {205.0625, 3.99f}, {215.0625, 4.0f}, {216, 7.0f}};
  for (const Ev& e : events) Add(0, 0, 0, e.t, 10, 1, e.Mw);
  Add(0, 0, 0, 1500);  // after the window: never played
  view.BackingImage();
  plat::testing::FakeSound sound;
  {
    plat::testing::ScriptedUi ui;
    view.m_nPlayPos = 0;
    view.PlayBack();
  }
  std::vector<int> heard;
  for (const auto& p : sound.played) heard.push_back(p.wav.at(0) + (p.async ? 10 : 0));
  EXPECT_EQ(heard, (std::vector<int>{1, 2, 3, 4, 4, 10}));     // slot 0 at the end, not waited for
  EXPECT_EQ(view.waits, (std::vector<int>{1000, 0, 100, 9}));  // 200 s capped at 1000 units
  // Speed 5 halves the waits; a click after the second step ends the play-back there.
  view.waits.clear();
  sound.played.clear();
  view.m_nPlaySpeed = 5;
  view.m_nPlayPos = 0;
  plat::testing::ScriptedUi ui;
  ui.InputPendingAfter(2);
  view.PlayBack();
  EXPECT_EQ(view.waits, (std::vector<int>{1000, 0}));
  EXPECT_EQ(sound.played.size(), 3u);
  EXPECT_EQ(view.m_nPlayPos, -1);
}

TEST_F(HypoPage, PlayBackRequestWaitsForEventsAndRunsAfterTheDrawing) {
  plat::testing::ScriptedUi ui;
  plat::testing::FakeSound sound;
  view.OnCmdMsg(CLocView::ID_LOC_PLAYBACK200, nullptr);
  EXPECT_EQ(view.m_nPlaySpeed, 5);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{HINT_LOC});
  for (int round = 0; round < 2; ++round) {  // an empty list keeps the request pending
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
    view.BackingImage();
    QApplication::processEvents();
    EXPECT_EQ(view.m_nPlayPos, 0);
  }
  Add(0, 0, 0, 10);
  Add(0, 0, 0, 30);
  view.OnUpdate(nullptr, HINT_LOC, nullptr);
  view.BackingImage();
  EXPECT_TRUE(view.waits.empty());  // not inside the drawing
  QApplication::processEvents();
  EXPECT_EQ(view.waits, std::vector<int>{100});
  EXPECT_EQ(view.m_nPlayPos, -1);
  // Stop clears a request before it starts.
  view.OnCmdMsg(CLocView::ID_LOC_PLAYBACK100, nullptr);
  view.OnCmdMsg(CLocView::ID_LOC_STOPPLAYBACK, nullptr);
  EXPECT_EQ(view.m_nPlayPos, -1);
}

// After a play-back, whether a click stopped it or it ran to its end, every repaint shows
// the plot again.
TEST_F(HypoPage, PageIsDrawnAgainAfterPlayBack) {
  plat::QtServicesInstaller qtServices;  // the real input probe
  doc.m_pHypo->m_nColorMode = 2;          // filled markers in one grey
  doc.m_pHypo->m_fHypoScale = 150;
  for (int i = 0; i < 6; ++i) Add(-15.0f + 6 * i, 0, 0, 10.0 + i);
  for (const bool click : {true, false}) {
    SCOPED_TRACE(click ? "stopped by a click" : "run to its end");
    view.waits.clear();
    view.onWait = [&](int waits) {
      if (!click || waits != 2) return;
      const QPointF at(20, 20);
      QCoreApplication::postEvent(&view, new QMouseEvent(QEvent::MouseButtonPress, at, at, at,
                                                         Qt::LeftButton, Qt::LeftButton,
                                                         Qt::NoModifier));
      QCoreApplication::postEvent(&view, new QMouseEvent(QEvent::MouseButtonRelease, at, at, at,
                                                         Qt::LeftButton, Qt::NoButton,
                                                         Qt::NoModifier));
    };
    view.OnCmdMsg(CLocView::ID_LOC_PLAYBACK100, nullptr);
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
    view.BackingImage();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(view.m_nPlayPos, -1);
    EXPECT_EQ(view.waits.size(), click ? 2u : 5u);
    for (int paint = 0; paint < 2; ++paint) {  // an exposure repaints the page
      view.Invalidate(TRUE);
      const QImage& img = view.BackingImage();
      const POINT p = Device({view.m_ptPanel[0].x - 900, view.m_ptPanel[0].y});  // event 1
      EXPECT_EQ(img.pixel(p.x, p.y), qRgb(136, 136, 136)) << "paint " << paint;
    }
  }
}

// Commands.
TEST_F(HypoPage, LoadSelectionOffersTheCatalogueAndRebuildsTheListOnOkOnly) {
  Add(0, 0, 0, 10);
  std::map<std::string, std::string> offered;
  AnswerSheet({}, false, &offered);
  view.OnCmdMsg(CLocView::ID_LOC_LOADSELECTION, nullptr);
  EXPECT_EQ(offered,
            (std::map<std::string, std::string>{{"1145", "0"}, {"1465", "5"}, {"1434", "0"}}));
  EXPECT_EQ(doc.m_EventList.size(), 1u);
  EXPECT_TRUE(host.updates.empty());
  AnswerSheet({{"1465", "3"}}, true, &offered);
  view.OnCmdMsg(CLocView::ID_LOC_LOADSELECTION, nullptr);
  EXPECT_TRUE(doc.m_EventList.empty());  // no catalogue: nothing to list
  EXPECT_EQ(host.Hints(), std::vector<LONG>{HINT_LOC});
}

TEST_F(HypoPage, BadInputLeavesThePageAsItWas) {
  Add(0, 0, 0, 10);
  Add(5, 5, 5, 20);
  plat::CrtSrand(7);
  const std::string before = Summary(*Record());
  plat::testing::ScriptedUi ui;
  const std::string dir = TempDir("bad");
  // An unreadable list file.
  ui.ExpectFileDialog(Prompt::OpenFile, "Load Location data", dir + "/missing.loc");
  view.OnCmdMsg(CLocView::ID_LOC_LOADFROMFILE, nullptr);
  EXPECT_EQ(doc.m_EventList.size(), 2u);
  // A folder without ".wav" files.
  doc.m_pSideBuf[0] = std::make_unique<std::vector<BYTE>>(1, 9);
  WriteBytes(dir + "/notes.txt", "x");
  ui.ExpectFileDialog(Prompt::OpenFile, "Selects any file", dir + "/notes.txt");
  view.OnCmdMsg(CLocView::ID_LOC_LOADSOUNDS, nullptr);
  EXPECT_EQ(*doc.m_pSideBuf[0], std::vector<BYTE>{9});
  for (int k = 1; k < 5; ++k) EXPECT_FALSE(doc.m_pSideBuf[k]);
  // A missing picture behind the section panel; View > Zoom In.
  ui.ExpectFileDialog(Prompt::OpenFile, "Load Background Bitmap", dir + "/missing.bmp");
  view.OnCmdMsg(CLocView::ID_LOC_BITMAPSECT, nullptr);
  EXPECT_EQ(doc.m_pHypo->m_strDisplayText1, dir + "/missing.bmp");
  view.OnCmdMsg(CLocView::ID_VIEW_ZOOMIN, nullptr);
  EXPECT_EQ(view.m_fZoom, 2.0f);
  plat::CrtSrand(7);
  EXPECT_EQ(Summary(*Record()), before);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
}

// A background picture that cannot be read is named in the first status pane, on the
// map (surface picture) and on the sections (section picture) alike.
TEST_F(HypoPage, UnreadablePictureIsNamedInTheStatusBar) {
  const std::string dir = TempDir("pictures");
  const std::string broken = dir + "/broken.bmp";
  WriteBytes(broken, "BM but no picture follows");
  Add(1, 2, -3, 10);  // the sections are drawn only with events
  for (int type : {0, 6}) {
    doc.m_pHypo->m_nPlotType = type;
    doc.m_pHypo->m_strDisplayText1 = doc.m_pHypo->m_strDisplayText2 = broken;
    plat::testing::ScriptedUi ui;
    view.Refresh();
    view.BackingImage();
    bool named = false;
    for (const auto& p : ui.PaneTexts()) named |= p.pane == 0 && p.text.find(broken) != std::string::npos;
    EXPECT_TRUE(named) << "plot type " << type;
  }
}

TEST_F(HypoPage, SoundFilesFillTheFiveSlotsInNameOrder) {
  const std::string dir = TempDir("sounds");
  for (const char* name : {"g.wav", "a.wav", "C.wav", "b.wav", "e.wav", "D.wav", "f.wav", ".x.wav"})
    WriteBytes(dir + "/" + name, name);
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Selects any file", dir + "/g.wav");
  view.OnCmdMsg(CLocView::ID_LOC_LOADSOUNDS, nullptr);
  const char* expected[] = {"a.wav", "b.wav", "C.wav", "D.wav", "e.wav"};
  for (int k = 0; k < 5; ++k) {
    ASSERT_TRUE(doc.m_pSideBuf[k]) << k;
    EXPECT_EQ(std::string(doc.m_pSideBuf[k]->begin(), doc.m_pSideBuf[k]->end()), expected[k]);
  }
  EXPECT_EQ(ui.Shown().at(0).filter, "Wave File(*.waw)|*.wav||");
}

TEST_F(HypoPage, ListCommandsNeedEventsAndPicturesRepaintNothing) {
  plat::testing::ScriptedUi ui;  // any dialog shown would be unexpected
  view.OnCmdMsg(CLocView::ID_LOC_SAVEAS, nullptr);
  view.OnCmdMsg(CLocView::ID_LOC_SAVERV, nullptr);
  view.OnCmdMsg(CLocView::ID_LOC_SAVEDENSITY, nullptr);
  EXPECT_TRUE(ui.Shown().empty());
  view.BackingImage();
  ui.ExpectFileDialog(Prompt::OpenFile, "Load Background Bitmap", "/pictures/surface.jpg");
  view.OnCmdMsg(CLocView::ID_LOC_BITMAPSURFACE, nullptr);
  EXPECT_EQ(doc.m_pHypo->m_strDisplayText2, "/pictures/surface.jpg");
  EXPECT_FALSE(view.IsStale());
  ui.ExpectFileDialog(Prompt::SaveFile, "File (KV0 format)", "/x/curves.kv0");
  view.OnCmdMsg(CLocView::ID_LOC_CURVEFILE, nullptr);
  EXPECT_EQ(view.m_strCurveFile, "/x/curves.kv0");
  ui.ExpectFileDialog(Prompt::OpenFile, "Load Background Bitmap", std::nullopt);
  view.OnCmdMsg(CLocView::ID_LOC_BITMAPSECT, nullptr);
  EXPECT_TRUE(doc.m_pHypo->m_strDisplayText1.empty());
  for (UINT id : {CLocView::ID_LOC_DRAGROTATE, CLocView::ID_LOC_SPARETOGGLE}) {
    plat::CCmdUI before(id);
    view.OnCmdMsg(id, &before);
    view.OnCmdMsg(id, nullptr);
    plat::CCmdUI after(id);
    view.OnCmdMsg(id, &after);
    EXPECT_NE(before.m_nCheck, after.m_nCheck) << id;
  }
  EXPECT_EQ(view.m_bDragRotate, FALSE);
  EXPECT_TRUE(host.updates.empty());
}

TEST_F(HypoPage, LocationErrorEstimationWritesItsSyntheticCatalogueWhereAsked) {
  const std::string dir = TempDir("locerror");
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::SaveFile, "", std::nullopt);
  view.OnCmdMsg(CLocView::ID_ADV_LOCERROR, nullptr);
  EXPECT_TRUE(fs::is_empty(dir));
  ui.ExpectFileDialog(Prompt::SaveFile, "", dir + "/synthetic.aeh");
  view.OnCmdMsg(CLocView::ID_ADV_LOCERROR, nullptr);
  const std::string bytes = ReadBytes(dir + "/synthetic.aeh");
  constexpr int kSize = 128 + 18 * 14;
  ASSERT_EQ(bytes.size(), 100u * kSize);
  AEHRecord rec{};
  AEH_DecodeRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 11 * kSize, 14, &rec);
  EXPECT_EQ(rec.fX, -80);  // x runs in the inner loop
  EXPECT_EQ(rec.fY, -80);
  EXPECT_EQ(rec.nArrivals, 14);
  EXPECT_EQ(rec.fTime[13], 650);
  EXPECT_EQ(rec.nSensor[13], 13);
  EXPECT_TRUE(host.updates.empty());
}

// VRML page.
namespace {

std::string WorldHead(const char* cylinder) {
  return std::string(
             "#VRML V2.0 Tremvia\nBackground {\n  groundColor 0.5 0.5 0.5\n  skyColor    0.6 0.6 "
             "0.8\n"
             "}\n\nDEF VP Viewpoint {\n  position 0 0 150\n}\n\nShape {\n  appearance Appearance "
             "{\n"
             "    material Material {\n      transparency 0.4\n      diffuseColor  0.2 0.2 1\n"
             "      specularColor 1 1 1\n      shininess     1\n    }\n  }\n") +
         cylinder +
         "}\n\nShape {\n  appearance Appearance {\n    material Material {\n"
         "      diffuseColor  0 0 0\n      shininess     1\n    }\n  }\n"
         "  geometry Box { size   60 1 1}\n}\n\nTransform {\n  translation 30 0 0\n  children [\n"
         "    Shape {\n      appearance Appearance {\n        material Material {}\n      }\n"
         "      geometry Text { \n        string \"X\" \n        fontStyle FontStyle { size 5}\n"
         "      }\n    }\n  ]\n}\n\n";
}

std::string Hypocentre(const char* translation) {
  return std::string("Transform {\n") + translation +
         "  children [\n    Shape {\n      appearance Appearance {\n        material Material {\n"
         "          diffuseColor  1 1 0\n        }\n      }\n      geometry Box { size 2 4 2}\n"
         "    }\n  ]\n}\n\n";
}

std::string Sensor(const std::string& placement, const char* colour, const char* geometry) {
  return "Transform {\n" + placement +
         "  children [\n    Shape {\n      appearance Appearance {\n        material Material {\n" +
         colour + "        }\n      }\n" + geometry + "    }\n  ]\n}\n\n";
}

}  // namespace

TEST_F(HypoPage, VrmlWorldOfTheCurrentRecord) {
  CAEHypo& h = *doc.m_pHypo;
  AEHRecord& rec = h.m_Rec;
  rec.fX = 1.5f;
  rec.fY = -2.25f;
  rec.fZ = 10;
  h.m_nSensors = 0;
  const std::string head = WorldHead("  geometry Cylinder { radius   25 height  100}\n");
  const std::string box = Hypocentre("  translation  1.50 10.00  2.25\n");
  EXPECT_EQ(LocView_VrmlWorld(h, nullptr), head + box);

  // Two sensors with arrivals (the first on the upper end face), one without.
  h.m_nSensors = 3;
  h.m_pSensorXYZ[0] = {0, 0, 50};
  h.m_pSensorXYZ[1] = {25, 0, 10};
  h.m_pSensorXYZ[2] = {0, -25, -20};
  rec.nArrivals = 2;
  rec.nSensor[0] = 1;
  rec.nSensor[1] = 0;
  rec.nSensor[2] = 2;
  CAEWave wave;
  wave.Allocate(3, 16, 1);
  wave.m_pPickSN = {50, 2, 7};
  wave.m_pPolarity = {-1, 1, 1};
  const std::string expected =
      head + box +
      Sensor("  rotation -0.00 0 -25.00 1.57\n  translation 25.00 10.00 -0.00\n",
             "          diffuseColor  1 0 0\n",
             "      geometry Cylinder { radius 0.5 height 0.5}\n") +
      Sensor("  translation  0.00 50.00 -0.00\n", "          diffuseColor  0 0 1\n",
             "      geometry Cylinder { radius 2.5 height 0.5}\n") +
      Sensor("  rotation 25.00 0 -0.00 1.57\n  translation  0.00 -20.00 25.00\n",
             "          diffuseColor  0.5 0.5 0.5\n",
             "      geometry Cylinder { radius 1 height 0.5}\n");
  EXPECT_EQ(LocView_VrmlWorld(h, &wave), expected);
  // A sensor index outside the sensor table is placed at the origin, not read from
  // beyond the table.
  rec.nSensor[2] = 100;
  EXPECT_NE(LocView_VrmlWorld(h, &wave).find("  translation  0.00  0.00 -0.00\n"),
            std::string::npos);
}

TEST_F(HypoPage, VrmlPageEmbedsTheWorldWrittenBesideItAndIsOpened) {
  doc.m_pHypo->m_nSensors = 0;
  doc.m_pHypo->m_strTitle = "Granite 3";
  const std::string dir = TempDir("vrml");
  plat::testing::ScriptedUi ui;
  plat::testing::FakeShell shell;
  ui.ExpectFileDialog(Prompt::SaveFile, "Create VRML file", dir + "/ev.htm");
  view.OnCmdMsg(CLocView::ID_LOC_VRML, nullptr);
  EXPECT_EQ(ReadBytes(dir + "/ev.htm"),
            "<HTML>\n<HEAD>\n<TITLE>Create by Tremvia, Arno Tam</TITLE>\n</HEAD>\n"
            "<BODY BGCOLOR=ffffff TEXT=000000>\n<CENTER>\n<H1>Granite 3</H1>\n"
            "<EMBED src=ev.wrl width=500 height=500>\n</EMBED>\n</TD>\n</TR>\n");
  EXPECT_EQ(ReadBytes(dir + "/ev.wrl"), LocView_VrmlWorld(*doc.m_pHypo, nullptr));
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].verb, "open");
  EXPECT_EQ(shell.calls[0].file, dir + "/ev.htm");
  EXPECT_EQ(shell.calls[0].showCmd, plat::SW_SHOWMAXIMIZED);
  // A page that cannot be shown is reported; a cancelled dialog writes nothing.
  shell.succeed = false;
  ui.ExpectFileDialog(Prompt::SaveFile, "Create VRML file", dir + "/ev2.htm");
  view.OnCmdMsg(CLocView::ID_LOC_VRML, nullptr);
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().pane, 0);
  ui.ExpectFileDialog(Prompt::SaveFile, "Create VRML file", std::nullopt);
  view.OnCmdMsg(CLocView::ID_LOC_VRML, nullptr);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 4);
  EXPECT_TRUE(host.updates.empty());
}

// The page on a QImage at 96 dpi, kept as a PNG for inspection.
TEST_F(HypoPage, ThreeProjectionPageOnAnImage) {
  doc.m_pHypo->m_fHypoScale = 150;
  doc.m_pHypo->m_nColorMode = 2;  // filled markers in one grey
  Add(10, 10, 0, 10);
  view.RenderPageToDIB();
  const QImage page = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
  ASSERT_FALSE(page.isNull());
  page.save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/hypo_projections.png"));
  auto px = [&](double xPage, double yPage) {  // page units to the picture's pixels
    return page.pixel(static_cast<int>(xPage * 96 / 2540), static_cast<int>(-yPage * 96 / 2540));
  };
  const POINT P1 = view.m_ptPanel[0];
  EXPECT_EQ(P1.x, 3000 + 7500 + 500);
  EXPECT_EQ(P1.y, -7000);
  EXPECT_EQ(px(P1.x + 1000, P1.y + 1000), qRgb(136, 136, 136));  // the marker in the map
  EXPECT_EQ(px(P1.x - 1500, P1.y - 1000), qRgb(255, 255, 255));  // inside the circle
  bool outline = false;  // the circle's left edge, within a pixel
  for (int dx = -26; dx <= 26; dx += 26) outline |= px(P1.x - 2500 + dx, P1.y) == qRgb(32, 32, 32);
  EXPECT_TRUE(outline);
  EXPECT_EQ(px(P1.x + 2750, P1.y + 800), qRgb(255, 255, 255));  // between the panels
}

// Drawing must not touch the catalogue or the engine's current record.
TEST(HypoPageCatalogue, DrawingLeavesTheCatalogueAndTheCurrentRecordAlone) {
  plat::testing::EnsureQtApp();
  const std::string dir = TempDir("cube");
  fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir, fs::copy_options::recursive);
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV"));
  }
  CAEHypo& h = *doc.m_pHypo;
  ASSERT_GT(h.GetNumAE(), 2);
  ASSERT_TRUE(doc.BuildEventList(0, h.GetNumAE(), 0, 0));
  ASSERT_FALSE(doc.m_EventList.empty());
  h.m_nLocReserved = 1;  // read the selected events' headers while drawing
  h.m_nMinArrivals = 0;
  ASSERT_TRUE(h.GetAEH(0));
  const AEHRecord current = h.m_Rec;
  const std::string catalogue = ReadBytes(dir + "/Cube.aeh");
  TestLocView view;
  view.SetData(&doc);
  view.resize(800, 600);
  view.OnInitialUpdate();
  for (int type : {6, 1}) {
    h.m_nPlotType = type;
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
    view.BackingImage();
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
    EXPECT_FALSE(dc.Ops().empty()) << type;
    EXPECT_EQ(std::memcmp(&h.m_Rec, &current, sizeof current), 0) << type;
  }
  doc.m_pHypo.reset();  // closes the catalogue
  EXPECT_EQ(ReadBytes(dir + "/Cube.aeh"), catalogue);

  // A double click on an event whose waveform file is there loads it and tells the pages.
  const AEEventEntry& e = *doc.m_EventList.at(1);
  view.AddHit(&e, 6000, -6000);
  plat::RecordingDc probe;
  view.OnPrepareDC(&probe);
  POINT client{6000, -6000};
  probe.LPtoDP(&client);
  host.updates.clear();
  view.OnLButtonDblClk(0, client);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{15});
  EXPECT_EQ(doc.m_nCurAE, e.record);
  EXPECT_EQ(doc.m_pWave->m_nEvent, e.record);
}
