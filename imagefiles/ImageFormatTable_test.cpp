#include "imagefiles/ImageFormatTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imagefiles/codec_test_support.h"
#include "imagefiles/dib_convert.h"
#include "imagefiles/img_memory.h"

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
  EXPECT_TRUE(LoadImageToDIB(TV_TEST_TMPDIR "/missing.xyz").empty());
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

TEST(ImageFormatTable, DescribeTexts) {
  const std::string dir = std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/";
  struct Case {
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      {"tga_24rle.tga", "\nImage width: 13, Image length: 7\nBits per sample: 24\nScreen origin: 0\nImage type: 10\n"
                        "Imager bits per pixel: 24"},
      {"pcx_4plane.pcx", "\nImage width: 13, Image length: 7\nPlanes: 4\nBits per pixel: 1\nVersion: 5, Bytes per "
                         "line: 2\nPalette interp: 1\nImager bits per pixel: 8"},
      {"bmp_rle8.bmp", "\nImage width: 13, Image length: 7\nPlanes: 1\nBitCount: 8\nHeader size: 40\nCompression: 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = dir + c.file, text;
    const ImageFormatEntry* e = FindImageFormat(path.c_str());
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->describe(path.c_str(), &text), IMG_OK);
    EXPECT_EQ(text.rfind("File name: " + path + "\n", 0), 0u);
    EXPECT_NE(text.find(c.expected), std::string::npos) << text;
  }
  std::string text;
  std::string raw = dir + "bmp_24.bmp.rgb.bif";
  EXPECT_EQ(FindImageFormat(raw.c_str())->describe(raw.c_str(), &text), IMG_OPEN_FAILED);
}

TEST(ImageFormatTable, DibEntryPointsRefuseNullHandles) {
  ImageDescriptor d;
  d.colorCount = 7;
  EXPECT_EQ(DIBToImageDescriptor(&d, plat::MemBlock()), &d);
  EXPECT_EQ(d.header, nullptr);
  EXPECT_EQ(d.colorCount, 0);
  EXPECT_EQ(SaveDIBToImage(TV_TEST_TMPDIR "/x.bmp", plat::MemBlock(), 75), 0);
}

}  // namespace

namespace {

// A 24-bit page of `w` x `h` with about w x h different colours, as a packed DIB.
plat::MemBlock Page(int w, int h) {
  ImageDescriptor d;
  img_alloc(&d, w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = img_row(&d, static_cast<DWORD>(y)) + 3 * x;
      p[0] = static_cast<BYTE>(x * 255 / (w - 1));
      p[1] = static_cast<BYTE>(y * 255 / (h - 1));
      p[2] = static_cast<BYTE>((x * 7 + y * 13) % 256);
    }
  BITMAPINFOHEADER* hd = nullptr;
  img_to_dib(&d, &hd);
  img_free(&d);
  ImgMem block = ImgMemHandle(hd);
  plat::MemBlock dib(reinterpret_cast<const BYTE*>(hd), ImgMemSize(block));
  ImgMemFree(block);
  return dib;
}

using codec_test::ReadBytes;

TEST(SaveDibToImage, EveryFormatOfThisLibrarySavesA24BitPage) {
  plat::MemBlock page = Page(40, 30);  // 1200 colours: more than a palette holds
  ImageDescriptor src;
  DIBToImageDescriptor(&src, page);
  ASSERT_NE(src.header, nullptr);
  for (const char* ext : {".bmp", ".pcx", ".tga", ".bif", ".eps"}) {
    SCOPED_TRACE(ext);
    std::string path = std::string(TV_TEST_TMPDIR) + "/page" + ext;
    std::remove(path.c_str());
    ASSERT_EQ(SaveDIBToImage(path.c_str(), page, 75), 1);
    ASSERT_FALSE(ReadBytes(path).empty());
    if (std::string(ext) == ".eps") continue;
    ImageDescriptor back;
    if (std::string(ext) == ".bif") {
      ASSERT_EQ(img_alloc(&back, 40, 30, 8), IMG_OK);
    }
    ASSERT_EQ(LoadImageFile(path.c_str(), &back), IMG_OK);
    // Colours come back exactly, or from the nearest point of the colour cube, or (raw
    // files) as grey levels.
    for (DWORD y = 0; y < 30; ++y)
      for (DWORD x = 0; x < 40; ++x) {
        const BYTE* s = img_row(&src, y) + 3 * x;
        BYTE rgb[3];
        if (back.header->biBitCount == 24) {
          const BYTE* b = img_row(&back, y) + 3 * x;
          rgb[0] = b[0], rgb[1] = b[1], rgb[2] = b[2];
        } else {
          const RGBQUAD& q = back.palette[img_row(&back, y)[x]];
          rgb[0] = q.rgbBlue, rgb[1] = q.rgbGreen, rgb[2] = q.rgbRed;
        }
        if (std::string(ext) == ".bif") {
          int grey = (299 * s[2] + 587 * s[1] + 114 * s[0] + 500) / 1000;
          ASSERT_EQ(rgb[0], grey);
        } else {
          for (int c = 0; c < 3; ++c) ASSERT_LE(std::abs(rgb[c] - s[c]), 26) << x << "," << y;
        }
      }
    img_free(&back);
  }
  img_free(&src);
}

TEST(SaveDibToImage, FormatArgumentAndFailures) {
  plat::MemBlock page = Page(8, 4);
  std::string tga = std::string(TV_TEST_TMPDIR) + "/f.tga", bmp = std::string(TV_TEST_TMPDIR) + "/f.bmp";
  ASSERT_EQ(SaveDIBToImage(tga.c_str(), page, 8), 1);
  EXPECT_EQ(ReadBytes(tga)[2], 10);  // run-length
  ASSERT_EQ(SaveDIBToImage(tga.c_str(), page, 75), 1);
  EXPECT_EQ(ReadBytes(tga)[2], 2);
  // RLE8 asked for a 24-bit page: the save fails and says so.
  EXPECT_EQ(SaveDIBToImage(bmp.c_str(), page, 10), 0);
  EXPECT_TRUE(ReadBytes(bmp).empty());
  EXPECT_EQ(SaveDIBToImage((std::string(TV_TEST_TMPDIR) + "/no/such/folder/f.bmp").c_str(), page, 75), 0);
  EXPECT_EQ(SaveDIBToImage((std::string(TV_TEST_TMPDIR) + "/f.xyz").c_str(), page, 75), 0);

  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 8, 4, 8), IMG_OK);
  BITMAPINFOHEADER* h = nullptr;
  ASSERT_EQ(img_to_dib(&d, &h), IMG_OK);
  ImgMem block = ImgMemHandle(h);
  plat::MemBlock dib8(reinterpret_cast<const BYTE*>(h), ImgMemSize(block));
  ImgMemFree(block);
  ASSERT_EQ(SaveDIBToImage(bmp.c_str(), dib8, 10), 1);
  EXPECT_EQ(ReadBytes(bmp)[30], 1);  // BI_RLE8
  img_free(&d);
}

}  // namespace
