#include "imagefiles/pcx_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using codec_test::Bytes;
using codec_test::ReadBytes;

TEST(PcxCodec, RunLengthRows) {
  // 0xC0 is a literal; a run that passes the end of the line is split and its count
  // rewritten so that the next line starts with the rest.
  Bytes in = {0xC0, 0xC5, 7, 0xC3, 9};
  Bytes out(8, 0);
  int used = pcx_rle_decode_row(out.data(), in.data(), in.size(), 4);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{192, 7, 7, 7}));
  EXPECT_EQ(in[1], 0xC2);
  used += pcx_rle_decode_row(out.data(), in.data() + used, in.size() - used, 5);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), (Bytes{7, 7, 9, 9, 9}));
  EXPECT_EQ(used, 5);
  EXPECT_EQ(pcx_rle_decode_row(out.data(), in.data(), 1, 3), IMG_NOT_PCX);  // data ends

  struct Case {
    Bytes line;
    Bytes code;
  };
  const Case cases[] = {
      {Bytes(70, 0x21), {0xFF, 0x21, 0xC7, 0x21}},
      {{0xC5}, {0xC1, 0xC5}},
      {{1, 2, 2}, {1, 0xC2, 2}},
      {{0xBF}, {0xBF}},
  };
  for (const Case& c : cases) {
    Bytes code(2 * c.line.size() + 2);
    int n = pcx_rle_encode_row(code.data(), c.line.data(), static_cast<int>(c.line.size()));
    EXPECT_EQ(Bytes(code.begin(), code.begin() + n), c.code);
  }
}

TEST(PcxCodec, HeaderAndPaletteOfSavedFiles) {
  std::string path = std::string(TV_TEST_TMPDIR) + "/saved.pcx";
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 40, 40, 8), IMG_OK);
  d.palette[3] = RGBQUAD{30, 20, 10, 0};
  d.left = 10;
  d.right = 19;
  d.top = 20;
  d.bottom = 29;
  ASSERT_EQ(pcx_save(path.c_str(), &d), IMG_OK);
  Bytes f = ReadBytes(path);
  ASSERT_GT(f.size(), 128u + 769u);
  EXPECT_EQ(f[1], 5);
  EXPECT_EQ(f[4] | (f[5] << 8), 10);
  EXPECT_EQ(f[6] | (f[7] << 8), 20);
  EXPECT_EQ(f[8] | (f[9] << 8), 19);
  EXPECT_EQ(f[10] | (f[11] << 8), 29);
  EXPECT_EQ(f[66] | (f[67] << 8), 10);
  std::size_t block = f.size() - 769;
  EXPECT_EQ(f[block], 12);
  EXPECT_EQ(Bytes(f.begin() + static_cast<long>(block) + 1 + 9, f.begin() + static_cast<long>(block) + 13),
            (Bytes{10, 20, 30}));
  img_free(&d);

  ASSERT_EQ(img_alloc(&d, 9, 3, 1), IMG_OK);
  d.palette[0] = RGBQUAD{1, 2, 3, 0};
  d.palette[1] = RGBQUAD{4, 5, 6, 0};
  ASSERT_EQ(pcx_save(path.c_str(), &d), IMG_OK);
  f = ReadBytes(path);
  EXPECT_EQ(f[1], 5);
  EXPECT_EQ(f[3], 1);
  EXPECT_EQ(f[66] | (f[67] << 8), 2);  // (9 + 7) / 8 rounded up to even
  EXPECT_EQ(Bytes(f.begin() + 16, f.begin() + 22), (Bytes{3, 2, 1, 6, 5, 4}));
  img_free(&d);

  ASSERT_EQ(img_alloc(&d, 4, 4, 24), IMG_OK);
  EXPECT_EQ(pcx_save(path.c_str(), &d), IMG_BAD_DEPTH);
  img_free(&d);
}

TEST(PcxCodec, SmallPictureFillsTheTopRowsOfALargerImage) {
  std::string fixture = std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/pcx_grey.pcx";  // 13 x 7
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 16, 16, 8), IMG_OK);
  std::fill(d.pixels, d.pixels + 16 * d.rowBytes, BYTE{0xEE});
  ASSERT_EQ(pcx_load(fixture.c_str(), &d), IMG_OK);
  EXPECT_NE(img_row(&d, 6)[12], 0xEE);
  EXPECT_EQ(img_row(&d, 6)[13], 0xEE);
  EXPECT_EQ(img_row(&d, 7)[0], 0xEE);
  img_free(&d);
}

}  // namespace
