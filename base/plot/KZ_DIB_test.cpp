#include "base/plot/KZ_DIB.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "base/base_test_support.h"
#include "base/plot/plot_test_support.h"
#include "platform/ByteOrder.h"
#include "platform/CDC.h"
#include "platform/RecordingDc.h"

namespace {

using plot_test::Dib24;

std::string AsString(const std::vector<unsigned char>& v) {
  return std::string(v.begin(), v.end());
}

// An info header (optionally with a colour table of `colors` entries) for the accessors.
std::vector<BYTE> Header(int w, int h, int bits, DWORD clrUsed, int colors) {
  std::vector<BYTE> b(40 + colors * 4, 0);
  le::PutU32(b.data(), 40);
  le::PutU32(b.data() + 4, static_cast<DWORD>(w));
  le::PutU32(b.data() + 8, static_cast<DWORD>(h));
  le::PutU16(b.data() + 12, 1);
  le::PutU16(b.data() + 14, static_cast<WORD>(bits));
  le::PutU32(b.data() + 32, clrUsed);
  return b;
}

TEST(KZ_DIB, HeaderAccessorsCountColoursAndFindTheBits) {
  struct Case {
    int bits;
    DWORD clrUsed;
    int colors;
  } cases[] = {{1, 0, 2}, {4, 0, 16}, {8, 0, 256}, {24, 0, 0}, {8, 5, 5}, {32, 0, 0}};
  for (const Case& c : cases) {
    std::vector<BYTE> h = Header(7, -3, c.bits, c.clrUsed, 0);
    EXPECT_EQ(KZ_DIBNumColors(h.data()), c.colors) << c.bits << " bits, used " << c.clrUsed;
    EXPECT_EQ(KZ_FindDIBBits(h.data()) - h.data(), 40 + 4 * c.colors);
    EXPECT_EQ(KZ_DIBWidth(h.data()), 7);
    EXPECT_EQ(KZ_DIBHeight(h.data()), -3);
  }
  // A core header: 16-bit sizes, 3-byte colour entries.
  BYTE core[12] = {};
  le::PutU32(core, 12);
  le::PutU16(core + 4, 300);
  le::PutU16(core + 6, 20);
  le::PutU16(core + 8, 1);
  le::PutU16(core + 10, 8);
  EXPECT_EQ(KZ_DIBWidth(core), 300);
  EXPECT_EQ(KZ_DIBHeight(core), 20);
  EXPECT_EQ(KZ_DIBNumColors(core), 256);
  EXPECT_EQ(KZ_FindDIBBits(core) - core, 12 + 3 * 256);
}

TEST(KZ_DIB, InitBitmapInfoHeaderRoundsTheDepthAndPadsRows) {
  struct Case {
    int w, h, bits, depth;
    DWORD image;
  } cases[] = {{10, 1, 24, 24, 32}, {10, 3, 3, 4, 24}, {10, 2, 16, 24, 64},
               {33, 2, 1, 1, 16},   {5, 4, 8, 8, 32},  {101, 50, 32, 24, 15200}};
  for (const Case& c : cases) {
    BITMAPINFOHEADER h;
    h.biClrUsed = 9;  // cleared
    KZ_InitBitmapInfoHeader(&h, c.w, c.h, c.bits);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biBitCount, c.depth) << c.bits;
    EXPECT_EQ(h.biSizeImage, c.image) << c.w << "x" << c.h << "x" << c.bits;
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biClrUsed, 0u);
  }
}

TEST(KZ_DIB, SaveWritesTheFileHeaderAndReadGivesTheDibBack) {
  plat::MemBlock dib = Dib24(2, 2, [](int x, int y) { return x == y ? 0xFF0000u : 0x0000FFu; });
  le::PutU32(dib.data() + 20, 0);  // the writer fills the image size in
  const std::string path = tv_test::TmpPath("two.bmp");
  ASSERT_EQ(KZ_SaveDIBFile(dib, path), 1);
  const std::vector<unsigned char> file = tv_test::ReadBytes(path);
  ASSERT_EQ(file.size(), 14u + 40 + 16);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(le::GetU32(file.data() + 2), 70u);
  EXPECT_EQ(le::GetU32(file.data() + 6), 0u);
  EXPECT_EQ(le::GetU32(file.data() + 10), 54u);
  EXPECT_EQ(le::GetU32(file.data() + 14 + 20), 16u);

  plat::MemBlock back;
  ASSERT_EQ(KZ_ReadDIBFile(&back, path), 1);
  ASSERT_EQ(back.Size(), 56u);
  EXPECT_EQ(0, std::memcmp(back.data() + 40, dib.data() + 40, 16));
}

TEST(KZ_DIB, SaveRefusesWhatItCannotWriteWhole) {
  plat::MemBlock empty;
  EXPECT_EQ(KZ_SaveDIBFile(empty, tv_test::TmpPath("empty.bmp")), 0);
  BYTE core[12] = {12, 0, 0, 0, 2, 0, 2, 0, 1, 0, 24, 0};
  EXPECT_EQ(KZ_SaveDIBFile(plat::MemBlock(core, sizeof core), tv_test::TmpPath("core.bmp")), 0);
  // A header promising more rows than the block holds.
  plat::MemBlock shortDib = Dib24(4, 4, [](int, int) { return 0u; });
  shortDib.Resize(60);
  EXPECT_EQ(KZ_SaveDIBFile(shortDib, tv_test::TmpPath("short.bmp")), 0);
  // A file that cannot be created, and one whose writes fail (a full device).
  plat::MemBlock dib = Dib24(2, 2, [](int, int) { return 0u; });
  EXPECT_EQ(KZ_SaveDIBFile(dib, tv_test::TmpPath("no/such/folder.bmp")), 0);
  EXPECT_EQ(KZ_SaveDIBFile(dib, "/dev/full"), 0);
}

TEST(KZ_DIB, OurBmpFilesDecodeInPillowToTheSamePixels) {
  if (!plot_test::HavePillow()) GTEST_SKIP() << "python3 with Pillow is not installed";
  // 5 pixels wide: rows carry padding; colours differ per pixel and per row.
  auto colour = [](int x, int y) {
    return static_cast<unsigned>((x * 50) << 16 | (y * 80) << 8 | (x + y) * 20);
  };
  const std::string path = tv_test::TmpPath("pillow.bmp");
  ASSERT_EQ(KZ_SaveDIBFile(Dib24(5, 3, colour), path), 1);
  std::string out;
  ASSERT_EQ(
      plot_test::RunTool(
          "/usr/bin/python3 -c \"from PIL import Image\n"
          "im = Image.open('" +
              path +
              "').convert('RGB')\n"
              "print(im.size[0], im.size[1])\n"
              "for y in range(im.size[1]):\n"
              "  print(' '.join('%d,%d,%d' % im.getpixel((x, y)) for x in range(im.size[0])))\"",
          &out),
      0)
      << out;
  std::ostringstream want;
  want << "5 3\n";
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const unsigned c = colour(x, y);
      want << (x ? " " : "") << (c >> 16) << ',' << ((c >> 8) & 255) << ',' << (c & 255);
    }
    want << "\n";
  }
  EXPECT_EQ(out, want.str());
}

// A valid 3 x 2 8-bit file with a 4-entry colour table, to corrupt field by field.
std::string ValidPaletteBmp() {
  std::string f(14 + 40 + 16 + 8, '\0');
  BYTE* p = reinterpret_cast<BYTE*>(f.data());
  p[0] = 'B';
  p[1] = 'M';
  le::PutU32(p + 2, static_cast<DWORD>(f.size()));
  le::PutU32(p + 10, 14 + 40 + 16);
  std::vector<BYTE> h = Header(3, 2, 8, 4, 4);
  std::memcpy(p + 14, h.data(), h.size());
  for (int i = 0; i < 8; ++i) p[70 + i] = static_cast<BYTE>(i % 4);
  return f;
}

TEST(KZ_DIB, ReadRefusesFilesWhoseSizesDoNotAgree) {
  plat::MemBlock dib;
  ASSERT_EQ(KZ_ReadDIBFile(&dib, tv_test::WriteTmpFile("valid.bmp", ValidPaletteBmp())), 1);
  EXPECT_EQ(dib.Size(), 40u + 16 + 8);

  auto patched = [](std::size_t at, DWORD value, int bytes) {
    std::string f = ValidPaletteBmp();
    if (bytes == 4)
      le::PutU32(f.data() + at, value);
    else
      le::PutU16(f.data() + at, static_cast<WORD>(value));
    return f;
  };
  const std::string valid = ValidPaletteBmp();
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"not BM", "XM" + valid.substr(2)},
      {"shorter than the file header", valid.substr(0, 10)},
      {"empty", ""},
      {"truncated rows", valid.substr(0, valid.size() - 3)},
      {"size field beyond the file", patched(2, 0xFFFFFFF0u, 4)},
      {"size field below the headers", patched(2, 20, 4)},
      {"size field below 14", patched(2, 3, 4)},
      {"header size 124", patched(14, 124, 4)},
      {"header size 0", patched(14, 0, 4)},
      {"zero width", patched(18, 0, 4)},
      {"negative width", patched(18, 0xFFFFFFFFu, 4)},
      {"zero height", patched(22, 0, 4)},
      {"huge height", patched(22, 0x7FFFFFFFu, 4)},
      {"bit count 7", patched(28, 7, 2)},
      {"colour count beyond the file", patched(46, 200, 4)},
      {"colour count overflowing", patched(46, 0xFFFFFFFFu, 4)},
      {"unknown compression", patched(30, 9, 4)},
      {"bits offset not after the colour table", patched(10, 54, 4)},
  };
  for (const Case& c : cases) {
    plat::MemBlock out = Dib24(1, 1, [](int, int) { return 0u; });
    EXPECT_EQ(KZ_ReadDIBFile(&out, tv_test::WriteTmpFile("bad.bmp", c.bytes)), 0) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
  plat::MemBlock out;
  EXPECT_EQ(KZ_ReadDIBFile(&out, tv_test::TmpPath("missing.bmp")), 0);
}

// A BMP file with a V4 (108-byte) or V5 (124-byte) info header, as most tools write
// today: pixels from `rows` (already padded), the colour table and the bit-field masks
// (red, green, blue, alpha) given; `gap` bytes between the colour table and the rows.
std::string NewHeaderBmp(DWORD headerSize, int w, int h, int bits, DWORD compression,
                         std::vector<DWORD> masks, std::vector<DWORD> table,
                         const std::vector<BYTE>& rows, std::size_t gap = 0) {
  const std::size_t offBits = 14 + headerSize + 4 * table.size() + gap;
  std::string f(offBits + rows.size(), '\0');
  BYTE* p = reinterpret_cast<BYTE*>(f.data());
  p[0] = 'B';
  p[1] = 'M';
  le::PutU32(p + 2, static_cast<DWORD>(f.size()));
  le::PutU32(p + 10, static_cast<DWORD>(offBits));
  BYTE* i = p + 14;
  le::PutU32(i, headerSize);
  le::PutU32(i + 4, static_cast<DWORD>(w));
  le::PutU32(i + 8, static_cast<DWORD>(h));
  le::PutU16(i + 12, 1);
  le::PutU16(i + 14, static_cast<WORD>(bits));
  le::PutU32(i + 16, compression);
  le::PutU32(i + 20, static_cast<DWORD>(rows.size()));
  le::PutU32(i + 24, 2835);
  le::PutU32(i + 28, 2835);
  le::PutU32(i + 32, static_cast<DWORD>(table.size()));
  for (std::size_t k = 0; k < masks.size(); ++k) le::PutU32(i + 40 + 4 * k, masks[k]);
  le::PutU32(i + 56, 0x73524742);  // 'sRGB' colour space; its endpoints and gammas stay 0
  if (headerSize == 124) le::PutU32(i + 108, 4);  // rendering intent
  for (std::size_t k = 0; k < table.size(); ++k) le::PutU32(i + headerSize + 4 * k, table[k]);
  std::memcpy(p + offBits, rows.data(), rows.size());
  return f;
}

// Rows of 3 x 2 pixels, bottom-up unless `topDown`, each pixel `bytes` wide little-endian.
std::vector<BYTE> Rows(int bytes, const std::vector<DWORD>& pixelsTopFirst, bool topDown) {
  const std::size_t row = (3 * bytes + 3) / 4 * 4;
  std::vector<BYTE> out(2 * row, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const int r = topDown ? y : 1 - y;
      for (int b = 0; b < bytes; ++b)
        out[r * row + x * bytes + b] = static_cast<BYTE>(pixelsTopFirst[y * 3 + x] >> (8 * b));
    }
  return out;
}

// V4 and V5 files are read into the 40-byte header the program paints: colour-space
// fields ignored, bit fields honoured (the colour of each pixel is the masked value
// scaled to 0..255, within rounding), palettes and plain rows kept.
TEST(KZ_DIB, ReadAcceptsV4AndV5HeadersAndHonoursBitFields) {
  const std::vector<DWORD> rgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x80C040};
  struct Case {
    const char* what;
    std::string file;
    std::vector<DWORD> expected;  // 0xRRGGBB, top row first
    bool pillow;                  // a layout Pillow reads too
  };
  std::vector<DWORD> px32;
  for (DWORD c : rgb) px32.push_back(0xFF000000u | c);
  // 5-6-5: red 31, green 63, blue 31, black, white, and (16, 32, 8) of (31, 63, 31).
  const std::vector<DWORD> px565 = {0xF800, 0x07E0, 0x001F, 0x0000, 0xFFFF,
                                    16u << 11 | 32u << 5 | 8u};
  const std::vector<DWORD> exp565 = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF,
                                     static_cast<DWORD>(std::lround(16 * 255.0 / 31)) << 16 |
                                         static_cast<DWORD>(std::lround(32 * 255.0 / 63)) << 8 |
                                         static_cast<DWORD>(std::lround(8 * 255.0 / 31))};
  // Ten bits a colour, blue in the low bits: 1023 is full, 512 is 127.6.
  const std::vector<DWORD> px10 = {1023u << 20, 1023u << 10, 1023u, 0, 0x3FFFFFFF,
                                   512u << 20 | 768u << 10 | 256u};
  const std::vector<DWORD> exp10 = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF,
                                    static_cast<DWORD>(std::lround(512 * 255.0 / 1023)) << 16 |
                                        static_cast<DWORD>(std::lround(768 * 255.0 / 1023)) << 8 |
                                        static_cast<DWORD>(std::lround(256 * 255.0 / 1023))};
  const std::vector<DWORD> table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  const Case cases[] = {
      {"V5, 32 bits, bit fields", NewHeaderBmp(124, 3, 2, 32, BI_BITFIELDS,
                                               {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {},
                                               Rows(4, px32, false)),
       rgb, true},
      {"V4, 16 bits 5-6-5, top-down", NewHeaderBmp(108, 3, -2, 16, BI_BITFIELDS,
                                                   {0xF800, 0x07E0, 0x001F, 0}, {},
                                                   Rows(2, px565, true)),
       exp565, true},
      {"V5, 32 bits, ten-bit fields", NewHeaderBmp(124, 3, 2, 32, BI_BITFIELDS,
                                                   {0x3FF00000, 0xFFC00, 0x3FF, 0}, {},
                                                   Rows(4, px10, false)),
       exp10, false},
      {"V4, 24 bits", NewHeaderBmp(108, 3, 2, 24, BI_RGB, {}, {}, Rows(3, rgb, false)), rgb,
       true},
      {"V5, 8-bit palette, gap before the rows",
       NewHeaderBmp(124, 3, 2, 8, BI_RGB, {}, table, Rows(1, {1, 2, 3, 0, 3, 2}, false), 20),
       {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0x0000FF, 0x00FF00}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = tv_test::WriteTmpFile("new.bmp", c.file);
    plat::MemBlock dib;
    ASSERT_EQ(KZ_LoadPicture(&dib, path), 1);
    EXPECT_EQ(le::GetU32(dib.data()), 40u);
    plat::PackedDibLayout l;
    ASSERT_TRUE(plat::GetPackedDibLayout(dib.data(), &l));
    ASSERT_GE(dib.Size(), l.colorTableOffset + 4 * l.colors + l.imageBytes);
    const BYTE* bits = KZ_FindDIBBits(static_cast<const BYTE*>(dib.data()));
    std::vector<int> got;  // r, g, b of each pixel, top row first
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        const COLORREF px = plat::DibPixel(l, dib.data(), bits, x, y);
        const DWORD want = c.expected[y * 3 + x];
        EXPECT_EQ(GetRValue(px), want >> 16 & 255) << x << "," << y;
        EXPECT_EQ(GetGValue(px), want >> 8 & 255) << x << "," << y;
        EXPECT_EQ(GetBValue(px), want & 255) << x << "," << y;
        got.insert(got.end(), {GetRValue(px), GetGValue(px), GetBValue(px)});
      }
    // The hand-built file is a BMP another reader takes the same way (Pillow widens
    // fields by repeating their bits, so it may differ by one step).
    if (!c.pillow || !plot_test::HavePillow()) continue;
    std::string out;
    ASSERT_EQ(plot_test::RunTool("/usr/bin/python3 -c \"from PIL import Image\n"
                                 "im = Image.open('" + path + "').convert('RGB')\n"
                                 "for y in range(2):\n"
                                 "  for x in range(3): print(*im.getpixel((x, y)))\"",
                                 &out),
              0)
        << out;
    std::istringstream in(out);
    for (std::size_t k = 0; k < got.size(); ++k) {
      int v = -1;
      in >> v;
      EXPECT_NEAR(v, got[k], 1) << "component " << k;
    }
  }
}

TEST(KZ_DIB, LoadPictureReadsBmpPathsOfAnyCaseThemselves) {
  // The BMP reader hands the file's DIB over byte for byte (colour table of 4 entries,
  // 8 bits); the image library would convert it.
  const std::string valid = ValidPaletteBmp();
  for (const char* name : {"pic.bmp", "PIC2.BMP", "pic3.Bmp"}) {
    plat::MemBlock dib;
    ASSERT_EQ(KZ_LoadPicture(&dib, tv_test::WriteTmpFile(name, valid)), 1) << name;
    EXPECT_EQ(AsString(std::vector<unsigned char>(dib.data(), dib.data() + dib.Size())),
              valid.substr(14))
        << name;
  }
  plat::MemBlock dib;
  EXPECT_EQ(KZ_LoadPicture(&dib, tv_test::WriteTmpFile("junk.png", "not a picture")), 0);
  EXPECT_TRUE(dib.empty());
}

TEST(KZ_DIB, BitmapToDibGivesBottomUpBgrRows) {
  plat::CBitmap bmp;
  ASSERT_TRUE(bmp.CreateBitmap(3, 2));
  auto bits = bmp.Bits();
  bits->At(0, 0) = 0xFF102030u;  // top-left
  bits->At(2, 1) = 0xFFA0B0C0u;  // bottom-right
  plat::MemBlock dib = KZ_BitmapToDIB(bmp);
  ASSERT_EQ(dib.Size(), 40u + 2 * 12);
  EXPECT_EQ(KZ_DIBWidth(dib.data()), 3);
  EXPECT_EQ(KZ_DIBHeight(dib.data()), 2);
  EXPECT_EQ(le::GetU16(dib.data() + 14), 24);
  const BYTE* rows = KZ_FindDIBBits(static_cast<const BYTE*>(dib.data()));
  EXPECT_EQ(rows[6], 0xC0);  // bottom row first: its last pixel, blue byte first
  EXPECT_EQ(rows[7], 0xB0);
  EXPECT_EQ(rows[8], 0xA0);
  EXPECT_EQ(rows[12], 0x30);  // top row
  EXPECT_EQ(rows[14], 0x10);
  EXPECT_TRUE(KZ_BitmapToDIB(plat::CBitmap()).empty());
}

TEST(KZ_DIB, DrawPictureFileStretchesTheWholePictureIntoTheRectangle) {
  const std::string path = tv_test::TmpPath("stretch.bmp");
  ASSERT_EQ(KZ_SaveDIBFile(Dib24(4, 2, [](int, int) { return 0u; }), path), 1);
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  KZ_DrawPictureFile(&dc, path, 1000, -2000, 5000, -4000);
  auto ops = dc.OpsOf(plat::DcOpKind::StretchDIBits);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0]->rect.left, 1000);
  EXPECT_EQ(ops[0]->rect.top, -2000);
  EXPECT_EQ(ops[0]->rect.right, 5000);
  EXPECT_EQ(ops[0]->rect.bottom, -4000);
  EXPECT_EQ(ops[0]->src.right - ops[0]->src.left, 4);
  EXPECT_EQ(ops[0]->state.stretchBltMode, COLORONCOLOR);
  EXPECT_EQ(ops[0]->rop, SRCCOPY);

  plat::RecordingDc nothing;
  KZ_DrawPictureFile(&nothing, tv_test::TmpPath("absent.bmp"), 0, 0, 10, 10);
  EXPECT_TRUE(nothing.Ops().empty());
}

}  // namespace
