#include "base/plot/view/KZ_View.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "base/plot/KZ_DIB.h"
#include "base/plot/KZ_ViewFont.h"
#include "imagefiles/ImageFormatTable.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"

namespace {

// A page of 2 x 1 inches: a black block in its upper left quarter and a word.
class PageView : public KZ_View {
 public:
  PageView() {
    m_nScrollW = 5080;
    m_nScrollH = 2540;
  }
  void DrawPlot(plat::CDC* dc) override {
    ++draws;
    fontHeight = dc->GetCurrentFont().GetLogFont().lfHeight;
    printing = dc->IsPrinting();
    const plat::CBrush old = dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
    dc->Rectangle(254, -254, 1270, -1016);
    dc->SelectObject(old);
    dc->TextOut(2540, -1800, "Tam");
  }
  int draws = 0;
  LONG fontHeight = 0;
  bool printing = false;
};

std::string Tmp(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

std::string RunTool(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (pclose(p) != 0) out = "FAILED: " + out;
  }
  return out;
}

bool Have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class ViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    view.resize(400, 300);
    view.OnInitialUpdate();
  }
  PageView view;
};

}  // namespace

TEST(ViewFont, ScaledToTheDevice) {
  struct Case {
    int dpi;
    bool printing;
    LONG height;
  };
  const Case cases[] = {{96, false, -414}, {600, true, -360},  {72, false, -360},
                        {83, false, -360}, {120, false, -518}, {200, true, -240}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, printing " << c.printing);
    plat::testing::EnsureQtApp();
    PageView view;  // resets the shared font
    plat::RecordingOptions o;
    o.dpiX = o.dpiY = c.dpi;
    o.printing = c.printing;
    plat::RecordingDc dc(o);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
    EXPECT_EQ(view.fontHeight, c.height);
    EXPECT_EQ(g_ViewFontScaled.lfHeight, c.height);
    EXPECT_EQ(dc.GetCurrentFont(), plat::CFont());  // the scaled font was only borrowed
    const auto texts = dc.OpsOf(plat::DcOpKind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_STREQ(texts[0]->state.font.GetLogFont().lfFaceName, "Times New Roman");
  }
}

TEST(ViewFont, EveryNewViewResetsTheSharedFont) {
  plat::testing::EnsureQtApp();
  g_ViewFont.lfHeight = -20;
  std::strcpy(g_ViewFont.lfFaceName, "Arial");
  PageView view;
  EXPECT_EQ(g_ViewFont.lfHeight, -12);
  EXPECT_EQ(g_ViewFont.lfWeight, 400);
  EXPECT_STREQ(g_ViewFont.lfFaceName, "Times New Roman");
}

TEST_F(ViewTest, ConstructedLayoutAndPageSize) {
  KZ_View plain;
  EXPECT_EQ(plain.m_nPlotLeft, 1000);
  EXPECT_EQ(plain.m_nPlotTop, -1000);
  EXPECT_EQ(plain.m_nScrollW, 23180);
  EXPECT_EQ(plain.m_nPlotW, 16180);
  EXPECT_EQ(plain.m_nHintMask, 0u);
  EXPECT_EQ(plain.GetMapMode(), 0);
  plain.SetPageSize(100, 200000);
  EXPECT_EQ(plain.m_nPlotW, 4000);
  EXPECT_EQ(plain.m_nPlotH, 120000);
  EXPECT_EQ(plain.m_nScrollW, 11000);
  EXPECT_EQ(plain.m_nScrollH, 11000);
  EXPECT_EQ(plain.GetMapMode(), MM_HIMETRIC);
  EXPECT_EQ(plain.GetTotalSize().cx, 11000);
  plain.SetPageSize(16180, 10000);  // the constructor's sizes give the 23180 page back
  EXPECT_EQ(plain.m_nScrollW, 23180);
  EXPECT_EQ(plain.m_nScrollH, 23180);
  plain.SetPageSize(90000, 4000);
  EXPECT_EQ(plain.m_nScrollW, 32000);
  EXPECT_EQ(plain.m_nScrollH, 45000);
}

TEST_F(ViewTest, CachedPictureIsTheRenderedPageAndPaintsOneToOne) {
  KZ_View never;
  never.RenderPageToDIB();  // no scroll sizes yet: nothing happens
  EXPECT_TRUE(never.m_hDIB.empty());

  view.RenderPageToDIB();
  ASSERT_FALSE(view.m_hDIB.empty());
  const int dpi = view.LogPixelsX();
  EXPECT_EQ(KZ_DIBWidth(view.m_hDIB.data()), 2 * dpi);
  EXPECT_EQ(KZ_DIBHeight(view.m_hDIB.data()), dpi);
  const QImage img = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
  auto px = [&](double xmm, double ymm) {
    return img.pixelColor(int(xmm / 25.4 * dpi), int(ymm / 25.4 * dpi));
  };
  EXPECT_EQ(px(7, 6), QColor(Qt::black));   // inside the block, 2.54..12.7 mm by 2.54..10.16
  EXPECT_EQ(px(20, 6), QColor(Qt::white));  // right of it
  EXPECT_EQ(px(7, 15), QColor(Qt::white));  // below it

  // A screen paint blits the picture; a printer draws the page afresh.
  const int before = view.draws;
  plat::RecordingDc screen;
  screen.SetMapMode(MM_HIMETRIC);
  view.OnDraw(&screen);
  EXPECT_EQ(view.draws, before);
  ASSERT_EQ(screen.Ops().size(), 1u);
  EXPECT_EQ(screen.Ops()[0].kind, plat::DcOpKind::StretchDIBits);
  EXPECT_EQ(screen.Ops()[0].rect.left, 0);
  EXPECT_EQ(screen.Ops()[0].rect.top, 0);
  plat::RecordingOptions po;
  po.printing = true;
  po.dpiX = po.dpiY = 600;
  plat::RecordingDc printer(po);
  view.OnDraw(&printer);
  EXPECT_EQ(view.draws, before + 1);
  EXPECT_TRUE(view.printing);
  EXPECT_EQ(view.fontHeight, -360);

  view.FreeCachedDIB();
  EXPECT_TRUE(view.m_hDIB.empty());
  screen.Clear();
  view.OnDraw(&screen);
  EXPECT_EQ(view.draws, before + 2);
}

TEST_F(ViewTest, RenderedAtAScaleFillsTheBitmapWithThePage) {
  view.RenderToDIB(10);  // 5080 x 2540 units -> 121 x 60 pixels
  ASSERT_FALSE(view.m_hDIB.empty());
  EXPECT_EQ(KZ_DIBWidth(view.m_hDIB.data()), 121);
  EXPECT_EQ(KZ_DIBHeight(view.m_hDIB.data()), 60);
  const QImage img = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
  EXPECT_EQ(img.pixelColor(18, 15), QColor(Qt::black));  // upright: the block near the top
  EXPECT_EQ(img.pixelColor(18, 45), QColor(Qt::white));
}

TEST_F(ViewTest, HintsWithoutAMaskBitChangeNothing) {
  view.m_nHintMask = 0x40;
  view.RenderPageToDIB();
  view.BackingImage();  // painted: no longer stale
  ASSERT_FALSE(view.IsStale());
  const int draws = view.draws;
  view.OnUpdate(nullptr, 0x8, nullptr);
  EXPECT_FALSE(view.IsStale());
  EXPECT_EQ(view.draws, draws);
  view.OnUpdate(nullptr, 0x48, nullptr);  // a matching bit renders the cache anew
  EXPECT_TRUE(view.IsStale());
  EXPECT_EQ(view.draws, draws + 1);
  view.BackingImage();
  view.OnUpdate(nullptr, 0, nullptr);  // hint 0 always repaints
  EXPECT_TRUE(view.IsStale());
  EXPECT_EQ(view.draws, draws + 2);
  view.FreeCachedDIB();
  view.BackingImage();
  view.Refresh();
  EXPECT_TRUE(view.IsStale());
  EXPECT_TRUE(view.m_hDIB.empty());  // refreshing draws directly, it makes no cache
}

TEST_F(ViewTest, CopyAsDibLeavesTheCacheAsItFoundIt) {
  view.CopyDIBToClipboard();
  EXPECT_TRUE(view.m_hDIB.empty());
  plat::MemBlock copied = plat::GetClipboardDib();
  ASSERT_FALSE(copied.empty());
  EXPECT_EQ(KZ_DIBWidth(copied.data()), 2 * view.LogPixelsX());

  view.RenderPageToDIB();
  view.CopyDIBToClipboard();
  EXPECT_FALSE(view.m_hDIB.empty());

  view.CopyEMFToClipboard();
  const std::vector<BYTE> emf = plat::GetClipboardEnhMetafile();
  ASSERT_GT(emf.size(), 88u);
  EXPECT_EQ(std::string(emf.begin() + 40, emf.begin() + 44), " EMF");
}

// Every extension the export knows, each file read back by a tool that is not ours.
TEST_F(ViewTest, ExportPictureToEveryFormatReadsBackElsewhere) {
  const int w = 2 * view.LogPixelsX(), h = view.LogPixelsX();
  const std::string size = std::to_string(w) + " " + std::to_string(h);
  struct Reader {
    const char* extension;
    const char* tool;
    std::string command;  // %s: the file
    std::string expect;   // a regular expression the output holds
  };
  const std::string ppm = "P6\\s+" + std::to_string(w) + "\\s+" + std::to_string(h);
  const std::string tiff =
      "Image Width: " + std::to_string(w) + " Image Length: " + std::to_string(h);
  const std::vector<Reader> readers = {
      {".png", "pngcheck", "pngcheck -v %s", std::to_string(w) + " x " + std::to_string(h)},
      {".tif", "tiffinfo", "tiffinfo %s", tiff},
      {".cb", "tiffinfo", "tiffinfo %s", tiff},
      {".ct", "tiffinfo", "tiffinfo %s", tiff},
      {".jpg", "djpeg", "djpeg -pnm %s | head -c 20", ppm},
      {".gif", "giftopnm", "giftopnm %s | pnmfile", std::to_string(w) + " by " + std::to_string(h)},
      {".pcx", "pcxtoppm", "pcxtoppm %s | pnmfile", std::to_string(w) + " by " + std::to_string(h)},
      {".tga", "tgatoppm", "tgatoppm %s | pnmfile", std::to_string(w) + " by " + std::to_string(h)},
      {".bmp", "bmptopnm", "bmptopnm %s | pnmfile", std::to_string(w) + " by " + std::to_string(h)},
      {".bif", "rawtopgm", "rawtopgm " + size + " %s | pnmfile",
       std::to_string(w) + " by " + std::to_string(h)},
      {".eps", "gs", "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox %s", "%%BoundingBox"},
  };
  ASSERT_EQ(readers.size() + 0u, static_cast<std::size_t>(kImageFormatCount));
  for (int i = 0; i < kImageFormatCount; ++i) {
    const std::string ext = ImageFormatTable[i].extension;
    SCOPED_TRACE(ext);
    const auto r = std::find_if(readers.begin(), readers.end(),
                                [&](const Reader& x) { return ext == x.extension; });
    ASSERT_NE(r, readers.end());
    // Upper-case endings choose the same writer.
    const std::string path = Tmp("page" + (i % 2 ? plat::ToUpper(ext) : ext));
    std::filesystem::remove(path);
    view.SaveToGraphicFile(path);
    EXPECT_TRUE(view.m_hDIB.empty());  // a picture made for the export is not kept
    ASSERT_TRUE(std::filesystem::exists(path));
    if (!Have(r->tool)) {
      ADD_FAILURE() << r->tool << " is not installed (scripts/install-deps.sh installs it)";
      continue;
    }
    std::string command = r->command;
    command.replace(command.find("%s"), 2, "'" + path + "'");
    const std::string out = RunTool(command);
    EXPECT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(r->expect))) << out;
  }
}

TEST_F(ViewTest, MetafileExportsStandUpright) {
  const std::string emfPath = Tmp("page.emf"), wmfPath = Tmp("page.WMF");
  view.SaveToGraphicFile(emfPath);
  view.SaveToGraphicFile(wmfPath);
  std::ifstream emfIn(emfPath, std::ios::binary);
  const std::string emf((std::istreambuf_iterator<char>(emfIn)), {});
  ASSERT_GT(emf.size(), 100u);
  EXPECT_EQ(emf.substr(40, 4), " EMF");
  // The frame is the page in 0.01 mm.
  auto i32 = [&](int at) {
    return int(std::uint8_t(emf[at]) | std::uint8_t(emf[at + 1]) << 8 |
               std::uint8_t(emf[at + 2]) << 16 | std::uint8_t(emf[at + 3]) << 24);
  };
  EXPECT_EQ(i32(24), 0);
  EXPECT_EQ(i32(32), 5080);
  EXPECT_EQ(i32(36), 2540);
  ASSERT_TRUE(Have("wmf2svg")) << "wmf2svg is not installed";
  const std::string svgPath = wmfPath + ".svg";
  ASSERT_EQ(RunTool("wmf2svg -o '" + svgPath + "' '" + wmfPath + "'").rfind("FAILED", 0),
            std::string::npos);
  std::ifstream svgIn(svgPath);
  const std::string svg((std::istreambuf_iterator<char>(svgIn)), {});
  // The reader frames the drawing: the block of the page's upper left must stand above
  // the word of its lower half (an upside-down picture has it the other way round).
  std::smatch m;
  ASSERT_TRUE(std::regex_search(svg, m,
                                std::regex("<rect x=\"([-0-9.]+)\" y=\"([-0-9.]+)\" "
                                           "width=\"([0-9.]+)\" height=\"([0-9.]+)\"")))
      << svg;
  const double blockBottom = std::stod(m[2]) + std::stod(m[4]);
  ASSERT_TRUE(std::regex_search(
      svg, m, std::regex("matrix\\([-0-9. ]+ ([-0-9.]+) ([-0-9.]+)\\)\"\\s*>T</text>")))
      << svg;
  EXPECT_GT(std::stod(m[2]), blockBottom);
}

TEST_F(ViewTest, ExportAsksForTheFileAndCancelDoesNothing) {
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(plat::testing::Prompt::SaveFile, "Save to graphic file", std::nullopt);
  view.SaveToGraphicFile("");
  const std::string path = Tmp("asked.bmp");
  std::filesystem::remove(path);
  ui.ExpectFileDialog(plat::testing::Prompt::SaveFile, "Save to graphic file", path);
  view.SaveToGraphicFile("");
  ASSERT_EQ(ui.Shown().size(), 2u);
  EXPECT_EQ(ui.Shown()[0].filter, "Picture(*.wmf;*.emf;*.bmp)|*.wmf;*.emf;*.bmp||");
  EXPECT_EQ(ui.WaitCursorDepth(), 0);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(
      std::filesystem::file_size(path),
      14u + 40u + std::size_t(((2 * view.LogPixelsX() * 24 + 31) / 32) * 4) * view.LogPixelsX());
}

namespace {
// The font dialog answered with a chosen face and height, or cancelled.
class FontDialogUi : public plat::testing::ScriptedUi {
 public:
  bool ChooseFont(LOGFONT* lf) override {
    offered = *lf;
    if (!ok) return false;
    lf->lfHeight = -16;
    std::strcpy(lf->lfFaceName, "Arial");
    return true;
  }
  bool ok = true;
  LOGFONT offered{};
};
}  // namespace

TEST_F(ViewTest, FontDialogChangesTheSharedFontForEveryPage) {
  view.RenderPageToDIB();
  const std::vector<BYTE> cached = view.m_hDIB.Bytes();
  view.BackingImage();
  FontDialogUi ui;
  ui.ok = false;
  view.ChooseViewFont();
  EXPECT_EQ(ui.offered.lfHeight, -12);
  EXPECT_EQ(g_ViewFont.lfHeight, -12);
  EXPECT_FALSE(view.IsStale());
  ui.ok = true;
  view.ChooseViewFont();
  EXPECT_EQ(g_ViewFont.lfHeight, -16);
  EXPECT_STREQ(g_ViewFont.lfFaceName, "Arial");
  EXPECT_TRUE(view.IsStale());
  EXPECT_EQ(view.m_hDIB.Bytes(), cached);  // the cached picture is not renewed
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  view.DrawWithViewFont(&dc);
  EXPECT_EQ(view.fontHeight, -552);  // -16 x 34.56 at 96 dpi
  KZ_ResetViewFont();
}
