#include "imagefiles/ImageFormatTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ImageFormatTable, ExtensionIsTheLastDotOfTheFileName) {
  struct Case {
    const char* path;
    const char* ext;  // null: no row
  };
  const Case cases[] = {
      {"D:\\pics\\scan.TIF", ".tif"}, {"D:\\my.data\\scan.png", ".png"}, {"D:\\pics\\a.b.png", ".png"},
      {"/tmp/x.y/pic.Jpg", ".jpg"},   {"scan.tiff", nullptr},            {"scan.jpeg", nullptr},
      {"D:\\my.data\\scan", nullptr}, {"noext", nullptr},                 {"a.CB", ".cb"},
      {"page.eps", ".eps"},           {"raw.bif", ".bif"},               {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const ImageFormatEntry* e = FindImageFormat(c.path);
    if (!c.ext) {
      EXPECT_EQ(e, nullptr);
    } else {
      ASSERT_NE(e, nullptr);
      EXPECT_STREQ(e->extension, c.ext);
    }
  }
  EXPECT_STREQ(ImageFormatTable[0].extension, ".cb");
  EXPECT_STREQ(ImageFormatTable[10].extension, ".eps");
  EXPECT_EQ(ImageFormatTable[10].load, nullptr);
}

TEST(ImageFormatTable, DispatchersReportUnknownExtensions) {
  ImageDescriptor d;
  EXPECT_EQ(LoadImageFile("picture.tiff", &d), IMG_NO_FORMAT);
  EXPECT_EQ(LoadImageFile("picture.eps", &d), IMG_NO_FORMAT);  // written, never read
  ASSERT_EQ(img_alloc(&d, 4, 4, 8), IMG_OK);
  EXPECT_EQ(SaveImageFile(TV_TEST_TMPDIR "/picture.xyz", &d, 0), IMG_NO_FORMAT);
  img_free(&d);
  EXPECT_EQ(LoadImageToDIB(TV_TEST_TMPDIR "/missing.xyz"), nullptr);
}

TEST(ImageFormatTable, AllocImageBufferKeepsTheExactSize) {
  ImageDescriptor d;
  ASSERT_EQ(AllocImageBuffer(&d, 10, 10, 8), IMG_OK);
  EXPECT_EQ(d.header->biWidth, 10);
  EXPECT_EQ(d.header->biHeight, 10);
  // A failure leaves a 512 x 480 8-bit image behind and reports the failure.
  EXPECT_EQ(AllocImageBuffer(&d, 10, 10, 3), IMG_BAD_DEPTH);
  EXPECT_EQ(d.header->biWidth, 512);
  EXPECT_EQ(d.header->biHeight, 480);
  img_free(&d);
}

TEST(ImageFormatTable, DibEntryPointsRefuseNullHandles) {
  ImageDescriptor d;
  d.colorCount = 7;
  EXPECT_EQ(DIBToImageDescriptor(&d, nullptr), &d);
  EXPECT_EQ(d.header, nullptr);
  EXPECT_EQ(d.colorCount, 0);
  EXPECT_EQ(SaveDIBToImage(TV_TEST_TMPDIR "/x.bmp", nullptr, 75), 0);
}

}  // namespace
