// Picture files drawn into a real raster device: BMP through our own reader, PNG through
// the image library, both written here by Qt as an independent writer.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <string>

#include "base/plot/KZ_DIB.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"

namespace {

// A 4 x 2 picture: red left half, blue right half, a green pixel at the top-left corner.
QImage Picture() {
  QImage img(4, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) img.setPixel(x, y, x < 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
  img.setPixel(0, 0, qRgb(0, 255, 0));
  return img;
}

TEST(KZ_DrawPictureFile, BmpAndPngLandInTheRectangle) {
  plat::testing::EnsureQtApp();
  for (const char* name : {"qt_picture.bmp", "qt_picture.png"}) {
    const std::string path = std::string(TV_TEST_TMPDIR) + "/" + name;
    ASSERT_TRUE(Picture().save(QString::fromStdString(path)));
    QImage page(100, 80, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
      plat::CImageDC dc(&page);
      // Pixels 20..59 across and 10..29 down: each picture pixel becomes 10 x 10.
      KZ_DrawPictureFile(&dc, path, 20, 10, 60, 30);
    }
    auto at = [&](int x, int y) { return QColor(page.pixel(x, y)); };
    EXPECT_EQ(at(25, 15), QColor(0, 255, 0)) << name;
    EXPECT_EQ(at(35, 15), QColor(255, 0, 0)) << name;
    EXPECT_EQ(at(25, 25), QColor(255, 0, 0)) << name;
    EXPECT_EQ(at(45, 25), QColor(0, 0, 255)) << name;
    EXPECT_EQ(at(58, 28), QColor(0, 0, 255)) << name;
    for (auto [x, y] : {std::pair{18, 20}, {61, 20}, {40, 8}, {40, 31}})
      EXPECT_EQ(at(x, y), QColor(Qt::white)) << name << " outside at " << x << "," << y;
  }
}

}  // namespace
