#include "imagefiles/bmp_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"
#include "imagefiles/img_stream.h"

namespace {

using Bytes = std::vector<BYTE>;
using codec_test::TempPath;

TEST(BmpCodec, Rle8RowEncoding) {
  struct Case {
    const char* name;
    Bytes row;
    Bytes code;
  };
  Bytes long300(300, 7);
  const Case cases[] = {
      {"300 equal bytes", long300, {255, 7, 45, 7, 0, 0}},
      {"short literal as pairs", {1, 2, 3, 3}, {1, 1, 1, 2, 2, 3, 0, 0}},
      {"odd literal padded", {1, 2, 3, 4, 4}, {0, 3, 1, 2, 3, 0, 2, 4, 0, 0}},
      {"even literal", {5, 6, 7, 8}, {0, 4, 5, 6, 7, 8, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(2 * c.row.size() + 16);
    int n = rle8_encode_row(out.data(), c.row.data(), static_cast<int>(c.row.size()));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.code);
  }
}

TEST(BmpCodec, SaveAndLoadEveryDepthAndRectangle) {
  for (int bits : {1, 8, 24}) {
    for (int rle : {0, 1}) {
      if (rle && bits != 8) continue;
      SCOPED_TRACE(bits * 10 + rle);
      ImageDescriptor s;
      ASSERT_EQ(img_alloc(&s, 37, 11, bits), IMG_OK);
      for (DWORD y = 0; y < 11; ++y)
        for (DWORD b = 0; b < s.rowBytes; ++b) img_row(&s, y)[b] = static_cast<BYTE>((y * 7 + b / 3) * 13);
      if (bits == 8) s.palette[5] = RGBQUAD{1, 2, 3, 0};
      s.left = 3;
      s.right = 30;
      s.top = 2;
      s.bottom = 9;
      std::string path = TempPath("roundtrip.bmp");
      ASSERT_EQ(bmp_save(path.c_str(), &s, rle), IMG_OK);
      ImageDescriptor t;
      ASSERT_EQ(LoadImageFile(path.c_str(), &t), IMG_OK);
      ASSERT_EQ(t.header->biWidth, 28);
      ASSERT_EQ(t.header->biHeight, 8);
      ASSERT_EQ(t.header->biBitCount, bits);
      for (DWORD y = 0; y < 8; ++y) {
        for (DWORD x = 0; x < 28; ++x) {
          auto px = [bits](const ImageDescriptor& d, DWORD yy, DWORD xx) {
            const BYTE* r = img_row(&d, yy);
            if (bits == 1) return (r[xx / 8] >> (7 - xx % 8)) & 1;
            if (bits == 8) return static_cast<int>(r[xx]);
            return r[3 * xx] | (r[3 * xx + 1] << 8) | (r[3 * xx + 2] << 16);
          };
          ASSERT_EQ(px(t, y, x), px(s, y + 2, x + 3)) << x << "," << y;
        }
      }
      if (bits == 8) {
        EXPECT_EQ(t.palette[5].rgbRed, 3);
        EXPECT_EQ(t.flags & IMG_GREY, 0u);
      }
      img_free(&s);
      img_free(&t);
    }
  }
}

TEST(BmpCodec, SmallPictureFillsTheBottomRowsOfALargerImage) {
  std::string fixture = std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/bmp_24.bmp";  // 13 x 7
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 16, 16, 24), IMG_OK);
  std::fill(d.pixels, d.pixels + 16 * d.rowBytes, BYTE{0xEE});
  ASSERT_EQ(bmp_load(fixture.c_str(), &d), IMG_OK);
  EXPECT_EQ(img_row(&d, 8)[0], 0xEE);
  EXPECT_NE(img_row(&d, 9)[0], 0xEE);
  EXPECT_EQ(img_row(&d, 15)[3 * 13], 0xEE);
  img_free(&d);
}

// Line drawings saved with RLE8 are mostly rows that end at once: 2 bytes for a row of
// 3000 pixels, and the end-of-bitmap code leaves every row above it index 0.
TEST(BmpCodec, SparseRunLengthPicturesLoad) {
  const int w = 3000, h = 400;
  Bytes data = {200, 1, 0, 0};  // bottom row: 200 pixels of colour 1
  for (int y = 1; y < 199; ++y) data.insert(data.end(), {0, 0});
  data.insert(data.end(), {10, 1, 0, 1});  // row 199: 10 pixels, then the end of the bitmap
  Bytes file = {'B', 'M'};
  auto u32 = [&](unsigned v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<BYTE>(v >> (8 * i)));
  };
  auto u16 = [&](unsigned v) {
    file.insert(file.end(), {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8)});
  };
  const unsigned offset = 14 + 40 + 8;
  u32(offset + static_cast<unsigned>(data.size()));
  u32(0);
  u32(offset);
  u32(40);
  u32(w);
  u32(h);
  u16(1);
  u16(8);
  u32(1);  // RLE8
  u32(static_cast<unsigned>(data.size()));
  u32(0);
  u32(0);
  u32(2);
  u32(2);
  file.insert(file.end(), {0, 0, 0, 0, 0, 0, 255, 0});  // black, red
  file.insert(file.end(), data.begin(), data.end());
  const std::string path = TempPath("sparse_rle8.bmp");
  codec_test::WriteBytes(path, file);
  ImageDescriptor d;
  ASSERT_EQ(LoadImageFile(path.c_str(), &d), IMG_OK);
  ASSERT_EQ(d.header->biWidth, w);
  EXPECT_EQ(img_row(&d, h - 1)[199], 1);
  EXPECT_EQ(img_row(&d, h - 1)[200], 0);
  EXPECT_EQ(img_row(&d, h - 2)[0], 0);
  EXPECT_EQ(img_row(&d, h - 200)[9], 1);
  EXPECT_EQ(img_row(&d, h - 200)[10], 0);
  EXPECT_EQ(img_row(&d, 0)[0], 0);
  EXPECT_EQ(d.palette[1].rgbRed, 255);
  img_free(&d);
}

TEST(BmpCodec, RleOnlyForEightBitsAndFailedSaveLeavesNoFile) {
  ImageDescriptor s;
  ASSERT_EQ(img_alloc(&s, 4, 4, 24), IMG_OK);
  std::string path = TempPath("rle24.bmp");
  EXPECT_EQ(bmp_save(path.c_str(), &s, 1), IMG_UNSUPPORTED);
  EXPECT_FALSE(file_exists(path.c_str()));
  img_free(&s);
}

TEST(BmpCodec, MemoryFormsMatchTheFileForms) {
  ImageDescriptor s;
  ASSERT_EQ(img_alloc(&s, 5, 3, 8), IMG_OK);
  img_row(&s, 0)[0] = 9;
  ImgMem out = nullptr;
  ASSERT_EQ(bmp_save_mem(&out, &s, 1), IMG_OK);
  ASSERT_NE(out, nullptr);
  const BYTE* p = ImgMemLock(out);
  std::size_t n = ImgMemSize(out);
  EXPECT_EQ(p[0], 'B');
  EXPECT_EQ(p[30], 1);  // compression RLE8
  EXPECT_EQ(p[n - 2], 0);
  EXPECT_EQ(p[n - 1], 1);  // end of bitmap
  EXPECT_EQ(static_cast<std::size_t>(p[2] | (p[3] << 8) | (p[4] << 16)), n);
  BITMAPINFOHEADER h;
  ASSERT_EQ(bmp_info_mem(p, n, &h), IMG_OK);
  EXPECT_EQ(h.biWidth, 5);
  ImageDescriptor t;
  ASSERT_EQ(img_alloc(&t, 5, 3, 8), IMG_OK);
  ASSERT_EQ(bmp_load_mem(p, n, &t), IMG_OK);
  EXPECT_EQ(img_row(&t, 0)[0], 9);
  EXPECT_EQ(bmp_load_mem(nullptr, 0, &t), IMG_BAD_SOURCE);
  ImgMemFree(out);
  img_free(&s);
  img_free(&t);
}

}  // namespace
