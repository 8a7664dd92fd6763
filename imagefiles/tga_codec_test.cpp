#include "imagefiles/tga_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/codec_test_support.h"

namespace {

using codec_test::Bytes;
using codec_test::ReadBytes;

TEST(TgaCodec, PacketsThatCrossRows) {
  // A run of 100 of which 60 fit leaves a run of 40 for the next row.
  Bytes in = {0x80 | 99, 5};
  Bytes out(100, 0);
  EXPECT_EQ(tga_rle_decode_row(in.data(), in.size(), out.data(), 60, 1), 0);
  EXPECT_EQ(in[0], 0x80 | 39);
  EXPECT_EQ(tga_rle_decode_row(in.data(), in.size(), out.data(), 40, 1), 2);
  // A raw packet of 5 split after 2: the next row reads the last 3.
  Bytes raw = {4, 1, 2, 3, 4, 5};
  EXPECT_EQ(tga_rle_decode_row(raw.data(), raw.size(), out.data(), 2, 1), 2);
  int used = tga_rle_decode_row(raw.data() + 2, raw.size() - 2, out.data(), 3, 1);
  EXPECT_EQ(used, 4);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{3, 4, 5}));
  EXPECT_EQ(tga_rle_decode_row(raw.data(), 3, out.data(), 5, 1), IMG_BAD_TGA);  // data ends
}

TEST(TgaCodec, EncodeRuns) {
  struct Case {
    const char* name;
    Bytes row;
    Bytes code;
  };
  const Case cases[] = {
      {"run then singles", {7, 7, 7, 1, 2}, {0x82, 7, 0x01, 1, 2}},
      {"pair between singles joins the raw packet", {1, 2, 2, 3}, {0x03, 1, 2, 2, 3}},
      {"single before a longer run", {1, 2, 2, 2}, {0x00, 1, 0x82, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes code(2 * c.row.size() + 2);
    int n = tga_rle_encode_row(code.data(), c.row.data(), static_cast<int>(c.row.size()), 1);
    EXPECT_EQ(Bytes(code.begin(), code.begin() + n), c.code);
  }
  // Pieces of at most 128 pixels.
  Bytes row(300, 9), code(700);
  int n = tga_rle_encode_row(code.data(), row.data(), 300, 1);
  EXPECT_EQ(Bytes(code.begin(), code.begin() + n), (Bytes{0xFF, 9, 0xFF, 9, 0x80 + 43, 9}));
}

TEST(TgaCodec, SavedFileLayout) {
  std::string path = std::string(TV_TEST_TMPDIR) + "/saved.tga";
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 5, 4, 24), IMG_OK);
  ASSERT_EQ(tga_save(path.c_str(), &d, 1), IMG_OK);
  Bytes f = ReadBytes(path);
  ASSERT_GT(f.size(), 64u + 26u);
  EXPECT_EQ(f[0], 46);
  EXPECT_EQ(f[2], 10);
  EXPECT_EQ(f[16], 24);
  EXPECT_EQ(std::string(f.begin() + 18, f.begin() + 30), "Imager Image");
  EXPECT_EQ(std::string(f.end() - 18, f.end()), std::string("TRUEVISION-XFILE.\0", 18));
  img_free(&d);
  ASSERT_EQ(img_alloc(&d, 5, 4, 8), IMG_OK);
  EXPECT_EQ(tga_save(path.c_str(), &d, 0), IMG_BAD_DEPTH);
  img_free(&d);
}

TEST(TgaCodec, PlacementByOrigin) {
  const std::string dir = std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/";
  // 13 x 7 files in a 16 x 16 image: bottom-left files fill the bottom rows, top-left
  // files the top rows.
  for (const char* name : {"tga_24.tga", "tga_24top.tga"}) {
    SCOPED_TRACE(name);
    bool top = std::string(name) == "tga_24top.tga";
    ImageDescriptor d;
    ASSERT_EQ(img_alloc(&d, 16, 16, 24), IMG_OK);
    std::fill(d.pixels, d.pixels + 16 * d.rowBytes, BYTE{0xEE});
    ASSERT_EQ(tga_load((dir + name).c_str(), &d), IMG_OK);
    EXPECT_EQ(img_row(&d, top ? 7 : 8)[0], 0xEE);
    EXPECT_NE(img_row(&d, top ? 6 : 9)[0], 0xEE);
    img_free(&d);
  }
  // A rectangle lower than the picture keeps the picture's top rows.
  ImageDescriptor full, part;
  ASSERT_EQ(img_alloc(&full, 13, 7, 24), IMG_OK);
  ASSERT_EQ(img_alloc(&part, 13, 4, 24), IMG_OK);
  ASSERT_EQ(tga_load((dir + "tga_24rle.tga").c_str(), &full), IMG_OK);
  ASSERT_EQ(tga_load((dir + "tga_24rle.tga").c_str(), &part), IMG_OK);
  for (DWORD y = 0; y < 4; ++y)
    EXPECT_EQ(Bytes(img_row(&part, y), img_row(&part, y) + 39), Bytes(img_row(&full, y), img_row(&full, y) + 39));
  img_free(&full);
  img_free(&part);
}

}  // namespace
