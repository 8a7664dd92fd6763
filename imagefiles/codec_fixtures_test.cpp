// Decoding checked against files that other tools wrote (ImageMagick, Pillow, netpbm and
// third-party samples) and the pixels that a reference decoder made of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using codec_test::Bytes;
using codec_test::Fixture;
using codec_test::ReadBytes;
using codec_test::RgbPixels;

struct FixtureCase {
  const char* file;
  const char* expected;  // RGB bytes of the reference decoder
  int bits;              // depth of the loaded image
};

TEST(CodecFixtures, DecodeLikeTheReferenceDecoders) {
  const FixtureCase cases[] = {
      {"bmp_1.bmp", "bmp_1.bmp.rgb", 1},
      {"bmp_4.bmp", "bmp_4.bmp.rgb", 8},
      {"bmp_8.bmp", "bmp_8.bmp.rgb", 8},
      {"bmp_rle4.bmp", "bmp_rle4.bmp.rgb", 8},
      {"bmp_rle8.bmp", "bmp_rle8.bmp.rgb", 8},
      // The top row ends with end-of-bitmap and no end-of-line.
      {"bmp_rle4_eob.bmp", "bmp_rle4_eob.bmp.rgb", 8},
      {"bmp_rle8_eob.bmp", "bmp_rle8_eob.bmp.rgb", 8},
      {"bmp_os2_8.bmp", "bmp_os2_8.bmp.rgb", 8},
      {"bmp_24.bmp", "bmp_24.bmp.rgb", 24},
      {"bmp_topdown.bmp", "bmp_topdown.bmp.rgb", 24},
      {"bmp_555.bmp", "bmp_555.bmp.rgb", 24},
      {"bmp_565.bmp", "bmp_565.bmp.rgb", 24},
      {"bmp_32.bmp", "bmp_32.bmp.rgb", 24},
      {"sample.bmp", "sample.bmp.rgb", 24},
      {"pcx_1.pcx", "pcx_1.pcx.rgb", 1},
      {"pcx_4plane.pcx", "pcx_4plane.pcx.rgb", 8},
      {"pcx_4plane_v3.pcx", "pcx_4plane_v3.pcx.rgb", 8},
      {"pcx_4bit.pcx", "pcx_4bit.pcx.rgb", 8},
      {"pcx_8.pcx", "pcx_8.pcx.rgb", 8},
      {"pcx_grey.pcx", "pcx_grey.pcx.rgb", 8},
      {"pcx_24.pcx", "pcx_24.pcx.rgb", 24},
      {"sample.pcx", "sample.bmp.rgb", 24},
      {"tga_grey.tga", "tga_grey.tga.rgb", 8},
      {"tga_greyrle.tga", "tga_greyrle.tga.rgb", 8},
      {"tga_map.tga", "tga_map.tga.rgb", 8},
      {"tga_maprle.tga", "tga_maprle.tga.rgb", 8},
      {"tga_16.tga", "tga_16.tga.rgb", 24},
      {"tga_16rle.tga", "tga_16rle.tga.rgb", 24},
      {"tga_24.tga", "tga_24.tga.rgb", 24},
      {"tga_24rle.tga", "tga_24rle.tga.rgb", 24},
      {"tga_24top.tga", "tga_24top.tga.rgb", 24},
      {"tga_32rle.tga", "tga_32rle.tga.rgb", 24},
      {"sample.tga", "sample.bmp.rgb", 24},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    ImageDescriptor d;
    ASSERT_EQ(LoadImageFile(Fixture(c.file).c_str(), &d), IMG_OK);
    EXPECT_EQ(d.header->biBitCount, c.bits);
    Bytes want = ReadBytes(Fixture(c.expected));
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(RgbPixels(d), want);
    img_free(&d);
  }
}

// The same run-length rows as a packed DIB in memory (the file without its 14-byte
// file header): the row that the end-of-bitmap code ends is kept there too.
TEST(CodecFixtures, RunLengthDibsKeepTheirLastRow) {
  for (const char* name : {"bmp_rle4_eob.bmp", "bmp_rle8_eob.bmp"}) {
    SCOPED_TRACE(name);
    const Bytes file = ReadBytes(Fixture(name));
    ASSERT_GT(file.size(), 14u);
    plat::MemBlock dib(file.data() + 14, file.size() - 14);
    ImageDescriptor d;
    DIBToImageDescriptor(&d, dib);
    ASSERT_NE(d.header, nullptr);
    EXPECT_EQ(RgbPixels(d), ReadBytes(Fixture(std::string(name) + ".rgb")));
    img_free(&d);
  }
}

TEST(CodecFixtures, LoadImageToDibKeepsThePictureSize) {
  plat::MemBlock dib = LoadImageToDIB(Fixture("sample.tga").c_str());
  ASSERT_FALSE(dib.empty());
  BITMAPINFOHEADER h = ReadInfoHeader(dib.data());
  EXPECT_EQ(h.biWidth, 23);
  EXPECT_EQ(h.biHeight, 42);
  EXPECT_EQ(dib.Size(), 40u + 72u * 42u);  // rows of 69 bytes padded to 72
  ImageDescriptor d;
  DIBToImageDescriptor(&d, dib);
  ASSERT_NE(d.header, nullptr);
  EXPECT_EQ(RgbPixels(d), ReadBytes(Fixture("sample.bmp.rgb")));
  img_free(&d);
}

}  // namespace
