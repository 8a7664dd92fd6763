#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/ByteOrder.h"
#include "platform/Metafile.h"
#include "platform/RecordingDc.h"

using plat::CBrush;
using plat::CFont;
using plat::CPen;
using plat::RecordingDc;

namespace {

constexpr LONG kW = 10160, kH = 5080;  // 4 by 2 inches: 384 by 192 pixels at 96 dpi

// A small page in the way the plot code draws: white background, frame, curve, filled
// marker, disc, rotated title, a pixel and a colour bar picture.
void DrawPage(plat::CDC& dc) {
  dc.FillSolidRect(0, 0, kW, -kH, RGB(255, 255, 255));
  CPen frame(PS_SOLID, 20, RGB(0, 0, 0));
  CPen oldPen = dc.SelectObject(frame);
  CBrush oldBrush = dc.SelectObject(CBrush::Stock(NULL_BRUSH));
  dc.Rectangle(1000, -500, 9000, -4500);
  dc.SelectObject(CPen(PS_DOT, 40, RGB(0, 0, 255)));
  POINT curve[] = {{1000, -4500}, {3000, -1000}, {5000, -3000}, {9000, -600}};
  dc.Polyline(curve, 4);
  dc.SelectObject(CPen::Stock(NULL_PEN));
  dc.SelectObject(CBrush(RGB(255, 0, 0)));
  POINT tri[] = {{4000, -2000}, {4200, -2300}, {3800, -2300}};
  dc.Polygon(tri, 3);
  dc.Ellipse(6000, -2000, 6400, -2400);
  dc.SelectObject(oldBrush);
  dc.SelectObject(oldPen);
  dc.MoveTo(1000, -4700);
  dc.LineTo(9000, -4700);
  CFont title;
  title.CreateFont(-414, 0, -900, -900, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
  CFont oldFont = dc.SelectObject(title);
  dc.SetTextAlign(TA_CENTER | TA_BASELINE);
  dc.TextOut(500, -2500, "Amplitude \xb5V");  // Windows-1252 micro sign
  dc.SelectObject(oldFont);
  dc.SetPixel(5000, -2500, RGB(0, 0, 0));
  BYTE info[40 + 8];
  BITMAPINFOHEADER h;
  h.biWidth = 1;
  h.biHeight = 2;
  h.biBitCount = 8;
  h.biClrUsed = 2;
  WriteInfoHeader(h, info);
  const RGBQUAD table[2] = {{0, 0, 255, 0}, {255, 0, 0, 0}};
  WriteRgbQuad(table[0], info + 40);
  WriteRgbQuad(table[1], info + 44);
  const BYTE bits[8] = {0, 0, 0, 0, 1, 0, 0, 0};
  dc.SetStretchBltMode(COLORONCOLOR);
  dc.StretchDIBits(9200, -500, 400, -4000, 0, 0, 1, 2, bits, info, DIB_RGB_COLORS, SRCCOPY);
}

struct Record {
  DWORD type;
  std::size_t offset;
  DWORD size;
};

std::vector<Record> EmfRecords(const std::vector<BYTE>& f) {
  std::vector<Record> out;
  std::size_t at = 0;
  while (at + 8 <= f.size()) {
    Record r{le::GetU32(&f[at]), at, le::GetU32(&f[at + 4])};
    out.push_back(r);
    if (r.size < 8 || r.size % 4 != 0) break;
    at += r.size;
  }
  return out;
}

RECT RectAt(const std::vector<BYTE>& f, std::size_t at) {
  return RECT{le::GetI32(&f[at]), le::GetI32(&f[at + 4]), le::GetI32(&f[at + 8]), le::GetI32(&f[at + 12])};
}

std::string Scratch(const std::string& name) {
  return (std::filesystem::path(TV_TEST_TMPDIR) / name).string();
}

void Save(const std::string& path, const std::vector<BYTE>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(Emf, PageParsesBackWithConsistentSizesAndBounds) {
  RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  DrawPage(dc);
  std::vector<BYTE> f = plat::WriteEmf(dc.Ops(), plat::EmfHeaderFor(dc, kW, kH));

  // Header.
  ASSERT_GE(f.size(), 128u);
  EXPECT_EQ(le::GetU32(&f[0]), 1u);
  EXPECT_EQ(le::GetU32(&f[4]), 128u);  // 108 + description padded
  EXPECT_EQ(le::GetU32(&f[40]), 0x464D4520u);
  EXPECT_EQ(le::GetU32(&f[48]), f.size());
  const RECT frame = RectAt(f, 24);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.right, kW);
  EXPECT_EQ(frame.bottom, kH);
  // The white background covers the page: the bounds are the page's pixels, inclusive.
  const RECT bounds = RectAt(f, 8);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  EXPECT_EQ(bounds.right, 383);
  EXPECT_EQ(bounds.bottom, 191);
  EXPECT_EQ(le::GetU32(&f[60]), 9u);
  EXPECT_EQ(le::GetU32(&f[64]), 108u);
  const BYTE desc[18] = {'T', 0, 'a', 0, 'm', 0, 0, 0, 'T', 0, 'a', 0, 'm', 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<BYTE>(f.begin() + 108, f.begin() + 126), std::vector<BYTE>(desc, desc + 18));
  EXPECT_EQ(le::GetI32(&f[72]), 1920);  // reference device
  EXPECT_EQ(le::GetI32(&f[80]), 508);

  // Records tile the file exactly and end with EOF.
  auto recs = EmfRecords(f);
  std::size_t total = 0;
  std::map<DWORD, int> count;
  for (const auto& r : recs) {
    ASSERT_GE(r.size, 8u);
    ASSERT_EQ(r.size % 4, 0u) << r.type;
    total += r.size;
    ++count[r.type];
  }
  EXPECT_EQ(total, f.size());
  EXPECT_EQ(le::GetU32(&f[52]), recs.size());
  EXPECT_EQ(recs.back().type, 14u);
  EXPECT_EQ(recs.back().size, 20u);
  EXPECT_EQ(count[17], 1);   // SETMAPMODE
  EXPECT_EQ(count[4], 1);    // POLYLINE
  EXPECT_EQ(count[3], 1);    // POLYGON
  EXPECT_EQ(count[43], 1);   // RECTANGLE
  EXPECT_EQ(count[42], 1);   // ELLIPSE
  EXPECT_EQ(count[54], 1);   // LINETO
  EXPECT_EQ(count[15], 1);   // SETPIXELV
  EXPECT_EQ(count[81], 1);   // STRETCHDIBITS
  EXPECT_EQ(count[84], 2);   // EXTTEXTOUTW: the background fill and the title

  // Handles stay within the table; a selected object is never deleted.
  const DWORD handles = le::GetU16(&f[56]);
  std::map<DWORD, bool> created;
  DWORD selected[3] = {0, 0, 0};  // last selected pen, brush, font slot
  for (const auto& r : recs) {
    const DWORD ih = r.size >= 12 ? le::GetU32(&f[r.offset + 8]) : 0;
    if (r.type == 38 || r.type == 39 || r.type == 82) {
      ASSERT_LT(ih, handles);
      ASSERT_GT(ih, 0u);
      created[ih] = true;
    } else if (r.type == 37) {
      if (ih & 0x80000000u) {
        const DWORD stock = ih & 0xFFu;
        selected[stock <= 5 ? 1 : stock <= 8 ? 0 : 2] = 0;
      } else {
        ASSERT_TRUE(created[ih]) << "select of an object never created";
        selected[(ih - 1) / 2] = ih;
      }
    } else if (r.type == 40) {
      ASSERT_TRUE(created[ih]);
      ASSERT_NE(selected[(ih - 1) / 2], ih) << "deleting the selected object";
      created[ih] = false;
    }
  }

  for (const auto& r : recs) {
    if (r.type == 4) {  // the curve: its points and its bounds
      ASSERT_EQ(r.size, 28u + 4 * 8);
      EXPECT_EQ(le::GetU32(&f[r.offset + 24]), 4u);
      EXPECT_EQ(le::GetI32(&f[r.offset + 28 + 8]), 3000);
      EXPECT_EQ(le::GetI32(&f[r.offset + 28 + 12]), -1000);
      RECT b = RectAt(f, r.offset + 8);
      EXPECT_EQ(b.left, 1000);
      EXPECT_EQ(b.top, -4500);
      EXPECT_EQ(b.right, 9000);
      EXPECT_EQ(b.bottom, -600);
    }
    if (r.type == 84 && le::GetU32(&f[r.offset + 44]) > 0) {  // the title
      const DWORD n = le::GetU32(&f[r.offset + 44]);
      const DWORD offString = le::GetU32(&f[r.offset + 48]);
      const DWORD offDx = le::GetU32(&f[r.offset + 72]);
      EXPECT_EQ(n, 12u);
      EXPECT_EQ(le::GetU16(&f[r.offset + offString + 20]), 0x00B5);  // micro sign
      EXPECT_LE(offDx + 4 * n, r.size);
      EXPECT_EQ(le::GetI32(&f[r.offset + 36]), 500);  // reference point
    }
    if (r.type == 82) {
      EXPECT_EQ(r.size, 104u);
    }
  }
  Save(Scratch("page.emf"), f);
}

namespace {

struct WmfRecord {
  WORD function;
  std::size_t offset;
  DWORD words;
};

std::vector<WmfRecord> WmfRecords(const std::vector<BYTE>& f) {
  std::vector<WmfRecord> out;
  std::size_t at = 18;
  while (at + 6 <= f.size()) {
    WmfRecord r{le::GetU16(&f[at + 4]), at, le::GetU32(&f[at])};
    out.push_back(r);
    if (r.words < 3) break;
    at += 2 * r.words;
  }
  return out;
}

bool RunWmf2Svg(const std::string& wmf, std::string* svg) {
  std::string out = wmf + ".svg";
  std::filesystem::remove(out);
  std::string cmd = "wmf2svg -o '" + out + "' '" + wmf + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return false;
  std::ifstream in(out);
  svg->assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

}  // namespace

TEST(Wmf, SmallPageIsAcceptedByAnIndependentReader) {
  RecordingDc dc;
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(kW, kH);
  dc.SetViewportExt(kW, -kH);  // y up, as the page code draws
  DrawPage(dc);
  EXPECT_EQ(plat::WmfScale(dc.Ops()), 1.0);
  std::vector<BYTE> f = plat::WriteWmf(dc.Ops());

  EXPECT_EQ(le::GetU16(&f[0]), 1u);
  EXPECT_EQ(le::GetU16(&f[2]), 9u);
  EXPECT_EQ(le::GetU16(&f[4]), 0x0300u);
  EXPECT_EQ(le::GetU32(&f[6]) * 2, f.size());
  auto recs = WmfRecords(f);
  DWORD maxWords = 0, totalWords = 9;
  for (const auto& r : recs) {
    maxWords = std::max(maxWords, r.words);
    totalWords += r.words;
  }
  EXPECT_EQ(totalWords * 2, f.size());
  EXPECT_EQ(le::GetU32(&f[12]), maxWords);
  EXPECT_EQ(recs.back().function, 0u);
  EXPECT_GT(le::GetU16(&f[10]), 0u);

  const std::string path = Scratch("page.wmf");
  Save(path, f);
  if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "wmf2svg (libwmf-bin) not installed";
  std::string svg;
  ASSERT_TRUE(RunWmf2Svg(path, &svg)) << "wmf2svg refused " << path;
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  // The reader draws text character by character.
  EXPECT_NE(svg.find(">A</text>"), std::string::npos);
  EXPECT_NE(svg.find("<polyline"), std::string::npos);
  EXPECT_NE(svg.find("<ellipse"), std::string::npos);
}

TEST(Wmf, PagesBeyondSixteenBitsAreScaledUniformlyNotWrapped) {
  // The x-y graph page: 32000 by 48000 units.
  RecordingDc dc;
  dc.SetMapMode(MM_ANISOTROPIC);
  dc.SetWindowExt(32000, 48000);
  dc.SetViewportExt(32000, 48000);
  dc.SelectObject(CPen(PS_SOLID, 40, RGB(0, 0, 0)));
  POINT diagonal[] = {{0, 0}, {16000, -24000}, {32000, -48000}};
  dc.Polyline(diagonal, 3);
  const double s = plat::WmfScale(dc.Ops());
  EXPECT_NEAR(s, 32767.0 / 48000.0, 1e-12);
  std::vector<BYTE> f = plat::WriteWmf(dc.Ops());
  bool sawPolyline = false;
  for (const auto& r : WmfRecords(f)) {
    const BYTE* p = &f[r.offset + 6];
    if (r.function == 0x020C) {  // window extent: y, x
      EXPECT_EQ(le::GetI16(p), 32767);
      EXPECT_EQ(le::GetI16(p + 2), 21845);
    }
    if (r.function == 0x020E) {
      EXPECT_EQ(le::GetI16(p), 32767);  // viewport scaled alike
    }
    if (r.function == 0x02FA) {
      EXPECT_EQ(le::GetI16(p + 2), 27);  // pen width 40 scaled
    }
    if (r.function == 0x0325) {
      sawPolyline = true;
      ASSERT_EQ(le::GetI16(p), 3);
      EXPECT_EQ(le::GetI16(p + 6), 10922);   // 16000 * s
      EXPECT_NEAR(le::GetI16(p + 8), -16383.5, 1);  // never wrapped to a positive value
      EXPECT_EQ(le::GetI16(p + 10), 21845);
      EXPECT_EQ(le::GetI16(p + 12), -32767);
    }
  }
  EXPECT_TRUE(sawPolyline);
  const std::string path = Scratch("graph.wmf");
  Save(path, f);
  if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "wmf2svg (libwmf-bin) not installed";
  std::string svg;
  EXPECT_TRUE(RunWmf2Svg(path, &svg));
}
