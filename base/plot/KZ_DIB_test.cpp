#include "base/plot/KZ_DIB.h"

#include <gtest/gtest.h>

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
