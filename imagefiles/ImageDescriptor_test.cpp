#include "imagefiles/ImageDescriptor.h"

#include <gtest/gtest.h>

#include "imagefiles/img_memory.h"

namespace {

struct AllocCase {
  int bits;
  int width;
  int imageBits;
  DWORD rowBytes;
  int colors;
  DWORD flags;
};

TEST(ImageDescriptor, AllocLaysOutThePackedDib) {
  const AllocCase cases[] = {
      {1, 3, 1, 4, 2, IMG_GREY},     {4, 3, 8, 4, 256, IMG_GREY}, {8, 5, 8, 8, 256, IMG_GREY},
      {16, 3, 16, 8, 0, IMG_GREY},   {24, 3, 24, 12, 0, 0},
  };
  for (const AllocCase& c : cases) {
    SCOPED_TRACE(c.bits);
    ImageDescriptor d;
    ASSERT_EQ(img_alloc(&d, c.width, 2, c.bits), IMG_OK);
    EXPECT_EQ(d.header->biBitCount, c.imageBits);
    EXPECT_EQ(d.rowBytes, c.rowBytes);
    EXPECT_EQ(d.colorCount, c.colors);
    EXPECT_EQ(d.flags, c.flags);
    EXPECT_EQ(d.header->biSize, 40u);
    EXPECT_EQ(d.header->biSizeImage, c.rowBytes * 2);
    EXPECT_EQ(d.header->biClrUsed, static_cast<DWORD>(c.colors));
    EXPECT_EQ(reinterpret_cast<BYTE*>(d.palette), reinterpret_cast<BYTE*>(d.header) + 40);
    EXPECT_EQ(d.pixels, reinterpret_cast<BYTE*>(d.header) + 40 + 4 * c.colors);
    EXPECT_EQ(d.right, static_cast<DWORD>(c.width - 1));
    EXPECT_EQ(d.bottom, 1u);
    if (c.colors) {
      int last = c.colors - 1;
      EXPECT_EQ(d.palette[last].rgbRed, 255);
      EXPECT_EQ(d.palette[1].rgbGreen, c.colors == 2 ? 255 : 1);
    }
    EXPECT_EQ(img_is_grey(&d), c.bits == 24 ? 0 : 1);
    img_free(&d);
    EXPECT_EQ(d.header, nullptr);
  }
}

TEST(ImageDescriptor, AllocRefusesBadArguments) {
  ImageDescriptor d;
  EXPECT_EQ(img_alloc(&d, 4, 4, 2), IMG_BAD_DEPTH);
  EXPECT_EQ(img_alloc(&d, 0, 4, 8), IMG_BAD_ARGUMENT);
  EXPECT_EQ(img_alloc(&d, 4, -1, 8), IMG_BAD_ARGUMENT);
  EXPECT_EQ(d.header, nullptr);
  // More than a 32-bit image size can describe.
  EXPECT_EQ(img_alloc(&d, 60000, 60000, 24), IMG_NO_MEMORY);
}

TEST(ImageDescriptor, GreyStepsAndGreyTest) {
  const int steps[] = {255, 255, 85, 36, 17, 8, 4, 2, 1, 1};
  for (int b = 0; b <= 9; ++b) EXPECT_EQ(img_grey_step(b), steps[b]) << b;
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 2, 2, 8), IMG_OK);
  d.colorCount = 16;  // fewer entries still grey when they run 0, 1, 2, ...
  EXPECT_EQ(img_is_grey(&d), 1);
  d.palette[3].rgbBlue = 9;
  EXPECT_EQ(img_is_grey(&d), 0);
  d.palette[3] = RGBQUAD{4, 4, 4, 0};  // grey but off the ramp
  EXPECT_EQ(img_is_grey(&d), 0);
  img_free(&d);
}

TEST(ImageDescriptor, CheckValidatesRectangleDepthAndCompression) {
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 10, 10, 8), IMG_OK);
  d.left = 7;
  d.right = 2;
  EXPECT_EQ(img_check_8_24(&d), IMG_OK);
  EXPECT_EQ(d.left, 2u);
  EXPECT_EQ(d.right, 7u);
  d.bottom = 10;
  EXPECT_EQ(img_check_8_24(&d), IMG_BAD_ARGUMENT);
  d.bottom = 9;
  d.header->biCompression = BI_RLE8;
  EXPECT_EQ(img_check_1_8_24(&d), IMG_COMPRESSED);
  d.header->biCompression = BI_RGB;
  // A pixel pointer outside the image block.
  BYTE other[4];
  BYTE* keep = d.pixels;
  d.pixels = other;
  EXPECT_EQ(img_check_8_24(&d), IMG_BAD_POINTER);
  d.pixels = nullptr;
  EXPECT_EQ(img_check_8_24(&d), IMG_BAD_POINTER);
  d.pixels = keep;
  img_free(&d);

  ASSERT_EQ(img_alloc(&d, 4, 4, 16), IMG_OK);
  EXPECT_EQ(img_check_1_8_24(&d), IMG_BAD_DEPTH);
  EXPECT_EQ(img_check_1_8_16_24(&d), IMG_OK);
  d.header->biCompression = BI_RLE8;
  EXPECT_EQ(img_check_1_8_24(&d), IMG_COMPRESSED);
  img_free(&d);

  // Width limits: 1-bit images may be wider than others.
  ASSERT_EQ(img_alloc(&d, 40000, 1, 1), IMG_OK);
  EXPECT_EQ(img_check_1_8_24(&d), IMG_OK);
  img_free(&d);
  ASSERT_EQ(img_alloc(&d, 40000, 1, 8), IMG_OK);
  EXPECT_EQ(img_check_1_8_24(&d), IMG_BAD_ARGUMENT);
  img_free(&d);
}

TEST(ImageDescriptor, FreeLeavesForeignAndEmptyDescriptorsAlone) {
  ImageDescriptor d;
  img_free(&d);
  EXPECT_EQ(d.header, nullptr);
  BYTE foreign[64] = {};
  d.header = reinterpret_cast<BITMAPINFOHEADER*>(foreign);
  d.colorCount = 3;
  img_free(&d);
  EXPECT_EQ(d.colorCount, 3);  // not ours: unchanged, nothing freed
}

TEST(ImageDescriptor, CopyExtentCutsToTheDestination) {
  ImageDescriptor s, t;
  ASSERT_EQ(img_alloc(&s, 20, 5, 8), IMG_OK);
  ASSERT_EQ(img_alloc(&t, 8, 30, 8), IMG_OK);
  DWORD w = 0, h = 0;
  img_copy_extent(&s, &t, &w, &h);
  EXPECT_EQ(w, 8u);
  EXPECT_EQ(h, 5u);
  img_free(&s);
  img_free(&t);
}

TEST(ImageDescriptor, DibColorCount) {
  BITMAPINFOHEADER h;
  h.biBitCount = 4;
  EXPECT_EQ(dib_color_count(&h), 16);
  h.biClrUsed = 5;
  EXPECT_EQ(dib_color_count(&h), 5);
  h.biClrUsed = 0;
  h.biBitCount = 24;
  EXPECT_EQ(dib_color_count(&h), 0);
}

}  // namespace
