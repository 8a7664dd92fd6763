#include "wincomp/splash/WCSplashWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/Resources.h"
#include "platform/qt/testing/QtTestApp.h"
#include "wincomp/splash/SplashContour.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

// ---- an outline computed apart from the trace ------------------------------------------

// Whether pixel centre (x, y) lies inside the polygon or on one of its edges (even-odd
// rule for the inside).
bool InOrOn(const std::vector<POINT>& poly, int x, int y) {
  const std::size_t n = poly.size();
  bool in = false;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const POINT a = poly[j], b = poly[i];
    const long long cross = static_cast<long long>(b.x - a.x) * (y - a.y) -
                            static_cast<long long>(b.y - a.y) * (x - a.x);
    if (cross == 0 && x >= std::min(a.x, b.x) && x <= std::max(a.x, b.x) &&
        y >= std::min(a.y, b.y) && y <= std::max(a.y, b.y))
      return true;
    if ((a.y > y) != (b.y > y)) {
      const double xc = a.x + double(b.x - a.x) * (y - a.y) / double(b.y - a.y);
      if (x < xc) in = !in;
    }
  }
  return in;
}

Pixels Covered(const std::vector<POINT>& poly, int w, int h) {
  Pixels out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (InOrOn(poly, x, y)) out.insert({x, y});
  return out;
}

// No vertex lies in the middle of a straight run (the closing point may).
void ExpectStraightRunsKeepOnlyTheirEnds(const std::vector<POINT>& poly) {
  for (std::size_t i = 1; i + 1 < poly.size(); ++i) {
    const POINT a = poly[i - 1], b = poly[i], c = poly[i + 1];
    const int dx1 = b.x - a.x, dy1 = b.y - a.y, dx2 = c.x - b.x, dy2 = c.y - b.y;
    EXPECT_FALSE(dx1 * dy2 - dy1 * dx2 == 0 && dx1 * dx2 + dy1 * dy2 > 0)
        << "point " << i << " (" << b.x << "," << b.y << ") lies inside a straight run";
  }
}

struct ShapeCase {
  const char* what;
  int w, h;
  std::function<bool(int, int)> opaque;
  std::function<bool(int, int)> outlined;  // the pixels the outline encloses
};

TEST(SplashContour, TheOutlineEnclosesExactlyTheShapeNearestTheCorner) {
  auto square = [](int x, int y) { return x >= 2 && x <= 5 && y >= 2 && y <= 5; };
  auto ell = [](int x, int y) {
    return (x >= 1 && x <= 3 && y >= 1 && y <= 7) || (x >= 1 && x <= 7 && y >= 5 && y <= 7);
  };
  auto corner = [](int x, int y) { return x <= 4 && y <= 3; };
  auto filled = [](int x, int y) { return x >= 1 && x <= 8 && y >= 1 && y <= 8; };
  auto ring = [=](int x, int y) { return filled(x, y) && !(x >= 4 && x <= 5 && y >= 4 && y <= 5); };
  // Two shapes: the one the diagonal meets first is outlined.
  auto two = [](int x, int y) {
    return (x >= 1 && x <= 3 && y >= 1 && y <= 3) || (x >= 6 && x <= 8 && y >= 6 && y <= 8);
  };
  auto first = [](int x, int y) { return x >= 1 && x <= 3 && y >= 1 && y <= 3; };
  // Off the diagonal: found by the row scan.
  auto offDiagonal = [](int x, int y) { return x >= 6 && x <= 8 && y >= 0 && y <= 2; };
  const ShapeCase cases[] = {
      {"square", 8, 8, square, square},
      {"L shape", 10, 10, ell, ell},
      {"touching the top-left corner", 8, 6, corner, corner},
      {"ring: the hole stays filled", 10, 10, ring, filled},
      {"two shapes", 10, 10, two, first},
      {"off the diagonal", 10, 4, offDiagonal, offDiagonal},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<POINT> poly;
    auto isBorder = [&](int x, int y, bool dflt) {
      if (x < 0 || y < 0 || x >= c.w || y >= c.h) return dflt;
      return !c.opaque(x, y);
    };
    ASSERT_TRUE(TraceSplashContour(c.w, c.h, isBorder, &poly));
    ASSERT_GE(poly.size(), 3u);
    Pixels want;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
        if (c.outlined(x, y)) want.insert({x, y});
    EXPECT_EQ(Covered(poly, c.w, c.h), want);
    ExpectStraightRunsKeepOnlyTheirEnds(poly);
  }
  // A square's outline has its four corners and at most the closing point besides.
  std::vector<POINT> poly;
  TraceSplashContour(
      8, 8,
      [&](int x, int y, bool d) { return x < 0 || y < 0 || x >= 8 || y >= 8 ? d : !square(x, y); },
      &poly);
  EXPECT_LE(poly.size(), 5u);
  // Nothing opaque: no outline.
  EXPECT_FALSE(TraceSplashContour(
      5, 5, [](int x, int y, bool d) { return x < 0 || y < 0 || x >= 5 || y >= 5 ? d : true; },
      &poly));
  EXPECT_TRUE(poly.empty());
}

// ---- pictures --------------------------------------------------------------------------

// The fixtures' picture (see tools/splash/make_splash_bmps.py): an L on white and a dot.
COLORREF FixtureColour(int x, int y) {
  if ((x >= 2 && x <= 4 && y >= 1 && y <= 7) || (x >= 2 && x <= 10 && y >= 5 && y <= 7))
    return RGB(200, 30, 60);
  if (x == 12 && y == 0) return RGB(10, 120, 240);
  return RGB(255, 255, 255);
}
constexpr int kW = 13, kH = 9;

std::string Fixture(const char* name) {
  return std::string(TV_SOURCE_DIR) + "/wincomp/splash/testdata/" + name;
}
std::vector<BYTE> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(f), {});
}
std::string WriteTemp(const char* name, const std::vector<BYTE>& bytes) {
  const std::string path = std::string(TV_TEST_TMPDIR) + "/" + name;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}
void Put32(std::vector<BYTE>& b, std::size_t at, DWORD v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
}
void Put16(std::vector<BYTE>& b, std::size_t at, WORD v) {
  b[at] = static_cast<BYTE>(v);
  b[at + 1] = static_cast<BYTE>(v >> 8);
}
// The fixture as a top-down DIB: rows reversed, height negative.
std::vector<BYTE> TopDown(std::vector<BYTE> bmp) {
  const std::size_t off = bmp[10] | bmp[11] << 8, row = (kW * 3 + 3) / 4 * 4;
  std::vector<BYTE> out = bmp;
  for (int y = 0; y < kH; ++y)
    std::copy_n(bmp.begin() + off + (kH - 1 - y) * row, row, out.begin() + off + y * row);
  Put32(out, 14 + 8, static_cast<DWORD>(-kH));
  return out;
}

// The 8-bit fixture repacked with 4 bits per pixel (its indices are below 16).
std::vector<BYTE> FourBit(const std::vector<BYTE>& bmp8) {
  const std::size_t off8 = bmp8[10] | bmp8[11] << 8, row8 = (kW + 3) / 4 * 4;
  const std::size_t row4 = (kW * 4 + 31) / 32 * 4, off4 = 14 + 40 + 16 * 4;
  std::vector<BYTE> out(off4 + row4 * kH, 0);
  std::copy_n(bmp8.begin(), 14 + 40, out.begin());
  std::copy_n(bmp8.begin() + 14 + 40, 16 * 4, out.begin() + 14 + 40);
  Put32(out, 2, static_cast<DWORD>(out.size()));
  Put32(out, 10, static_cast<DWORD>(off4));
  Put16(out, 14 + 14, 4);
  Put32(out, 14 + 20, static_cast<DWORD>(row4 * kH));
  Put32(out, 14 + 32, 16);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const BYTE index = bmp8[off8 + y * row8 + x];
      EXPECT_LT(index, 16);
      out[off4 + y * row4 + x / 2] |= static_cast<BYTE>(x % 2 ? index : index << 4);
    }
  return out;
}

TEST(SplashBitmap, PixelsReadBackFromFilesWrittenByAnotherTool) {
  plat::testing::EnsureQtApp();
  struct {
    const char* what;
    std::string path;
    bool mono;
  } cases[] = {
      {"24 bits", Fixture("lshape24.bmp"), false},
      {"8 bits with a colour table", Fixture("lshape8.bmp"), false},
      {"1 bit", Fixture("lshape1.bmp"), true},
      {"24 bits top-down", WriteTemp("topdown.bmp", TopDown(ReadAll(Fixture("lshape24.bmp")))),
       false},
      {"4 bits", WriteTemp("four.bmp", FourBit(ReadAll(Fixture("lshape8.bmp")))), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CWCSplashBitmap bm;
    ASSERT_TRUE(bm.LoadFromFile(c.path, TRUE));
    BITMAP info;
    ASSERT_TRUE(bm.GetSize(&info));
    EXPECT_EQ(info.bmWidth, kW);
    EXPECT_EQ(info.bmHeight, kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        COLORREF want = FixtureColour(x, y);
        if (c.mono) want = want == RGB(255, 255, 255) ? want : RGB(0, 0, 0);
        ASSERT_EQ(bm.GetPixelColour(x, y), want) << x << "," << y;
        const QRgb shown = bm.Image().pixel(x, y);
        ASSERT_EQ(RGB(qRed(shown), qGreen(shown), qBlue(shown)), want) << x << "," << y;
      }
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {kW, 0}, {0, kH}})
      EXPECT_EQ(bm.GetPixelColour(x, y), 0xFFFFFFFFu);
  }
  // Without kept pixels the picture draws but no pixel reads back.
  CWCSplashBitmap bm;
  ASSERT_TRUE(bm.LoadFromFile(Fixture("lshape24.bmp"), FALSE));
  EXPECT_TRUE(bm.HasBitmap());
  EXPECT_EQ(bm.GetPixelColour(3, 3), 0xFFFFFFFFu);
}

TEST(SplashBitmap, MissingTruncatedAndCorruptedFilesDoNotLoad) {
  plat::testing::EnsureQtApp();
  const std::vector<BYTE> good = ReadAll(Fixture("lshape8.bmp"));
  ASSERT_GT(good.size(), 1078u);
  using Mutate = std::function<void(std::vector<BYTE>&)>;
  const std::pair<const char*, Mutate> cases[] = {
      {"empty", [](auto& b) { b.clear(); }},
      {"file header only", [](auto& b) { b.resize(14); }},
      {"cut inside the info header", [](auto& b) { b.resize(30); }},
      {"cut inside the colour table", [](auto& b) { b.resize(200); }},
      {"one byte of pixels short", [](auto& b) { b.pop_back(); }},
      {"wrong magic", [](auto& b) { b[0] = 'X'; }},
      {"unknown header size", [](auto& b) { Put32(b, 14, 20); }},
      {"header size past the file",
       [](auto& b) {
         Put32(b, 14, 124);
         b.resize(100);
       }},
      {"16 bits per pixel", [](auto& b) { Put16(b, 14 + 14, 16); }},
      {"32 bits per pixel", [](auto& b) { Put16(b, 14 + 14, 32); }},
      {"run-length compressed", [](auto& b) { Put32(b, 14 + 16, 1); }},
      {"more colours than 8 bits hold", [](auto& b) { Put32(b, 14 + 32, 300); }},
      {"pixel offset past the end", [](auto& b) { Put32(b, 10, 0x7FFFFFF0); }},
      {"pixel offset inside the colour table", [](auto& b) { Put32(b, 10, 100); }},
      {"zero width", [](auto& b) { Put32(b, 14 + 4, 0); }},
      {"zero height", [](auto& b) { Put32(b, 14 + 8, 0); }},
      {"huge width", [](auto& b) { Put32(b, 14 + 4, 0x7FFFFFFF); }},
      {"huge negative height", [](auto& b) { Put32(b, 14 + 8, 0x80000000u); }},
      {"rows larger than the file", [](auto& b) { Put32(b, 14 + 8, 500); }},
  };
  CWCSplashBitmap bm;
  EXPECT_TRUE(bm.LoadFromFile(WriteTemp("good.bmp", good), TRUE));
  EXPECT_FALSE(bm.LoadFromFile(std::string(TV_TEST_TMPDIR) + "/no-such-file.bmp", TRUE));
  EXPECT_FALSE(bm.HasBitmap());
  for (const auto& [what, mutate] : cases) {
    std::vector<BYTE> bytes = good;
    mutate(bytes);
    CWCSplashWnd w;
    EXPECT_FALSE(w.LoadBitmapFile(WriteTemp("bad.bmp", bytes), RGB(255, 255, 255), nullptr, 0))
        << what;
    EXPECT_FALSE(w.GetBitmap().HasBitmap()) << what;
  }
}

// ---- the window ------------------------------------------------------------------------

constexpr UINT kPicture = 9132;

void RegisterPicture(UINT id, const std::vector<BYTE>& bmpFile) {
  plat::Resources::Get().SetBitmap(id, std::vector<BYTE>(bmpFile.begin() + 14, bmpFile.end()));
}

// The fixture picture's pixels that are not white.
Pixels InkOfTheL() {
  Pixels p;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < 11; ++x)
      if (FixtureColour(x, y) != RGB(255, 255, 255)) p.insert({x, y});
  return p;
}
std::vector<POINT> Points(const QPolygon& poly) {
  std::vector<POINT> out;
  for (const QPoint& q : poly) out.push_back(POINT{q.x(), q.y()});
  return out;
}

TEST(SplashWnd, TransparentColourChoicesShapeTheWindow) {
  plat::testing::EnsureQtApp();
  RegisterPicture(kPicture, ReadAll(Fixture("lshape24.bmp")));
  {
    CWCSplashWnd w;
    // White cut away: the L alone (the dot is a shape of its own and stays out).
    ASSERT_TRUE(w.LoadBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
    EXPECT_EQ(Covered(Points(w.GetRegionPolygon()), kW, kH), InkOfTheL());
    // No transparent colour: the full rectangle.
    ASSERT_TRUE(w.LoadBitmap(kPicture, CWCSplashWnd::kNoTransparentColour, nullptr, 0));
    EXPECT_TRUE(w.GetRegionPolygon().isEmpty());
    // The colour at the start point: the top-left pixel without one.
    ASSERT_TRUE(w.LoadBitmap(kPicture, CWCSplashWnd::kColourAtStartPoint, nullptr, 0));
    EXPECT_EQ(w.GetTransparentColour(), RGB(255, 255, 255));
    EXPECT_EQ(Covered(Points(w.GetRegionPolygon()), kW, kH), InkOfTheL());
    // ... or the colour under the given start point; an unreadable one falls back to
    // the top-left pixel.
    const POINT onTheL{3, 3}, outside{100, 100};
    w.LoadBitmap(kPicture, CWCSplashWnd::kColourAtStartPoint, &onTheL, 0);
    EXPECT_EQ(w.GetTransparentColour(), RGB(200, 30, 60));
    w.LoadBitmap(kPicture, CWCSplashWnd::kColourAtStartPoint, &outside, 0);
    EXPECT_EQ(w.GetTransparentColour(), RGB(255, 255, 255));
    // The tolerance applies to each of red, green and blue.
    struct {
      COLORREF colour;
      BYTE tolerance;
      BOOL border;
    } tol[] = {{RGB(205, 30, 60), 5, TRUE},
               {RGB(206, 30, 60), 5, FALSE},
               {RGB(195, 35, 55), 5, TRUE},
               {RGB(200, 30, 66), 5, FALSE}};
    for (const auto& t : tol) {
      w.LoadBitmap(kPicture, t.colour, nullptr, t.tolerance);
      EXPECT_EQ(w.IsBorderColour(3, 3, FALSE), t.border) << std::hex << t.colour;
    }
    EXPECT_TRUE(w.IsBorderColour(-1, 0, TRUE));
    EXPECT_FALSE(w.IsBorderColour(-1, 0, FALSE));
  }
  // A picture all of the transparent colour loads FALSE and shows as a rectangle.
  std::vector<BYTE> white = ReadAll(Fixture("lshape24.bmp"));
  std::fill(white.begin() + 54, white.end(), BYTE(0xFF));
  RegisterPicture(kPicture + 1, white);
  CWCSplashWnd w;
  EXPECT_FALSE(w.LoadBitmap(kPicture + 1, RGB(255, 255, 255), nullptr, 0));
  EXPECT_TRUE(w.GetBitmap().HasBitmap());
  EXPECT_TRUE(w.GetRegionPolygon().isEmpty());
  ASSERT_TRUE(w.Show(-1));
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.mask().isEmpty());
  EXPECT_EQ(w.size(), QSize(kW, kH));
  w.Hide();
  EXPECT_FALSE(w.isVisible());
  // An outline that encloses nothing (a diagonal line of pixels) keeps the window
  // rectangular rather than hiding it.
  std::vector<BYTE> line = white;
  const std::size_t row = (kW * 3 + 3) / 4 * 4;
  for (int i = 0; i < 3; ++i) {
    const std::size_t at = 54 + (kH - 1 - (2 + i)) * row + (2 + i) * 3;
    line[at] = line[at + 1] = line[at + 2] = 0;
  }
  RegisterPicture(kPicture + 2, line);
  EXPECT_FALSE(w.LoadBitmap(kPicture + 2, RGB(255, 255, 255), nullptr, 0));
  EXPECT_TRUE(w.GetRegionPolygon().isEmpty());
  // An unknown resource does not load; a window without a picture does not show.
  CWCSplashWnd none;
  EXPECT_FALSE(none.LoadBitmap(4242, RGB(255, 255, 255), nullptr, 0));
  EXPECT_FALSE(none.Show(-1));
}

QTimer* CloseTimer(CWCSplashWnd* w) {
  for (QTimer* t : w->findChildren<QTimer*>())
    if (t->isActive()) return t;
  return nullptr;
}
void DeleteLaterNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(SplashWnd, TheGlobalInstanceClosesOnInputOrItsTimerAndDeletesItself) {
  plat::testing::EnsureQtApp();
  RegisterPicture(kPicture, ReadAll(Fixture("lshape24.bmp")));
  QWidget elsewhere;
  elsewhere.resize(50, 50);
  elsewhere.show();

  // Loaded at start-up without showing.
  ASSERT_TRUE(CWCSplashWnd::LoadGlobalBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
  CWCSplashWnd* g = CWCSplashWnd::s_pGlobalSplash;
  ASSERT_NE(g, nullptr);
  EXPECT_TRUE(g->IsAutoDelete());
  EXPECT_FALSE(g->isVisible());
  EXPECT_FALSE(g->GetRegionPolygon().isEmpty());

  // Shown with -1: shaped, no timer; moving the mouse does not close it, a key does.
  ASSERT_TRUE(g->Show(-1));
  EXPECT_TRUE(g->isVisible());
  EXPECT_EQ(g->mask(), QRegion(g->GetRegionPolygon(), Qt::OddEvenFill));
  EXPECT_EQ(CloseTimer(g), nullptr);
  QTest::mouseMove(&elsewhere, QPoint(10, 10));
  QTest::qWait(20);
  EXPECT_TRUE(g->isVisible());
  QTest::keyClick(&elsewhere, Qt::Key_A);
  EXPECT_FALSE(g->isVisible());
  DeleteLaterNow();
  EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);

  // The next About makes a new instance; shown with 0 it runs its close timer for the
  // default 750 ms and closes when the timer fires.
  ASSERT_TRUE(CWCSplashWnd::LoadGlobalBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
  g = CWCSplashWnd::s_pGlobalSplash;
  ASSERT_TRUE(g->Show(0));
  EXPECT_EQ(g->GetTimeout(), 750);
  QTimer* t = CloseTimer(g);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->interval(), 750);
  EXPECT_TRUE(g->HasTimer(CWCSplashWnd::TIMER_SPLASH));
  g->OnTimer(CWCSplashWnd::TIMER_SPLASH);
  EXPECT_FALSE(g->isVisible());
  EXPECT_FALSE(g->HasTimer(CWCSplashWnd::TIMER_SPLASH));
  DeleteLaterNow();
  EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);

  // A click anywhere closes it; the click does not reach the window it landed on.
  ASSERT_TRUE(CWCSplashWnd::LoadGlobalBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
  g = CWCSplashWnd::s_pGlobalSplash;
  ASSERT_TRUE(g->Show(-1));
  QTest::mouseClick(&elsewhere, Qt::LeftButton);
  EXPECT_FALSE(g->isVisible());
  DeleteLaterNow();
  EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);
  QTest::qWait(10);

  // Shown again while on screen it stays one window; a delayed Hide restarts the timer.
  ASSERT_TRUE(CWCSplashWnd::LoadGlobalBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
  g = CWCSplashWnd::s_pGlobalSplash;
  ASSERT_TRUE(g->Show(-1));
  ASSERT_TRUE(g->Show(300));
  DeleteLaterNow();
  ASSERT_EQ(CWCSplashWnd::s_pGlobalSplash, g);
  EXPECT_TRUE(g->isVisible());
  g->Hide(40);
  EXPECT_EQ(CloseTimer(g)->interval(), 40);
  EXPECT_EQ(g->GetTimeout(), 40);
  g->Hide();
  DeleteLaterNow();
  EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);

  // Without s_bShowSplash the global instance does not show.
  ASSERT_TRUE(CWCSplashWnd::LoadGlobalBitmap(kPicture, RGB(255, 255, 255), nullptr, 0));
  CWCSplashWnd::s_bShowSplash = FALSE;
  EXPECT_FALSE(CWCSplashWnd::s_pGlobalSplash->Show(-1));
  CWCSplashWnd::s_bShowSplash = TRUE;
  delete CWCSplashWnd::s_pGlobalSplash;
  EXPECT_EQ(CWCSplashWnd::s_pGlobalSplash, nullptr);
}

}  // namespace
