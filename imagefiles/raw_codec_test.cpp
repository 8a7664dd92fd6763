#include "imagefiles/raw_codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using Bytes = std::vector<BYTE>;
using codec_test::TempPath;

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(RawCodec, ShortFileFillsWholeRowsOnly) {
  std::string path = TempPath("short.bif");
  std::ofstream(path, std::ios::binary).write("ABCDEFGHIJ", 10);  // two rows of 4 and a part
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 4, 4, 8), IMG_OK);
  std::fill(d.pixels, d.pixels + 4 * d.rowBytes, BYTE{7});
  d.palette[1].rgbBlue = 99;
  ASSERT_EQ(LoadImageFile(path.c_str(), &d), IMG_OK);
  EXPECT_EQ(Bytes(img_row(&d, 1), img_row(&d, 1) + 4), (Bytes{'E', 'F', 'G', 'H'}));
  EXPECT_EQ(Bytes(img_row(&d, 2), img_row(&d, 2) + 4), (Bytes{7, 7, 7, 7}));
  EXPECT_EQ(d.palette[1].rgbBlue, 1);  // raw files carry no palette: grey ramp
  img_free(&d);

  // The raw format has no size: the glue needs an image of the file's size.
  EXPECT_EQ(LoadImageFile(path.c_str(), &d), IMG_BAD_POINTER);
  EXPECT_EQ(LoadImageFile(TempPath("none.bif").c_str(), &d), IMG_OPEN_FAILED);
  ASSERT_EQ(img_alloc(&d, 4, 4, 24), IMG_OK);
  EXPECT_EQ(raw_load(path.c_str(), &d), IMG_BAD_DEPTH);
  EXPECT_EQ(raw_save(path.c_str(), &d), IMG_BAD_DEPTH);
  img_free(&d);
}

TEST(EpsWriter, GreyAndColourPictures) {
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 10, 10, 8), IMG_OK);
  d.left = 2;
  d.right = 4;
  d.top = 5;
  d.bottom = 6;
  img_row(&d, 5)[2] = 0xAB;
  std::string path = TempPath("grey.eps");
  ASSERT_EQ(eps_save(path.c_str(), &d), IMG_OK);
  std::string t = ReadText(path);
  EXPECT_EQ(t.rfind("%!PS-Adobe-2.0 EPSF-2.0\r\n%%BoundingBox: 0 0 3 2\r\n", 0), 0u);
  EXPECT_EQ(t.find("setcolorspace"), std::string::npos);
  EXPECT_NE(t.find("\r\n[3 0 0 -2 0 2]\r\n"), std::string::npos);
  EXPECT_NE(t.find("image\r\nab0000000000\r\nshowpage\r\n"), std::string::npos);

  d.palette[0] = RGBQUAD{255, 16, 5, 0};
  ASSERT_EQ(eps_save(path.c_str(), &d), IMG_OK);
  t = ReadText(path);
  EXPECT_EQ(t.rfind("%!PS-Adobe-3.0 EPSF-3.0\r\n", 0), 0u);
  std::size_t open = t.find("[/Indexed /DeviceRGB 255 <\r\n");
  std::size_t close = t.find(">] setcolorspace");
  ASSERT_NE(open, std::string::npos);
  ASSERT_NE(close, std::string::npos);
  std::string table = t.substr(open + 28, close - open - 28);
  EXPECT_EQ(table.rfind("0510ff ", 0), 0u);
  std::size_t entries = 0;
  for (char c : table) entries += c == ' ';
  EXPECT_EQ(entries, 256u);
  // Colour needs the dictionary form of image.
  EXPECT_NE(t.find("/ImageMatrix [3 0 0 -2 0 2]"), std::string::npos);
  img_free(&d);

  // Every line stays within 255 characters, however wide the picture.
  ASSERT_EQ(img_alloc(&d, 1000, 2, 8), IMG_OK);
  d.palette[7].rgbRed = 1;
  ASSERT_EQ(eps_save(path.c_str(), &d), IMG_OK);
  t = ReadText(path);
  std::size_t start = 0, longest = 0;
  for (std::size_t at = t.find("\r\n"); at != std::string::npos; at = t.find("\r\n", start)) {
    longest = std::max(longest, at - start);
    start = at + 2;
  }
  EXPECT_LE(longest, 255u);
  EXPECT_EQ(start, t.size());
  img_free(&d);
}

}  // namespace
