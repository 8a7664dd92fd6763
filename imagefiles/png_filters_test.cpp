#include "imagefiles/png_filters.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

TEST(PngFilters, UnpacksSamplesOfEveryCombination) {
  struct Case {
    int colourType, depth;
    Bytes in;
    int pixels;
    Bytes out;
  };
  const std::vector<Case> cases = {
      {0, 2, {0x1B}, 4, {0, 85, 170, 255}},
      {0, 4, {0xF0}, 2, {255, 0}},
      {3, 2, {0xE4, 0x80}, 5, {3, 2, 1, 0, 2}},
      {3, 4, {0x5A}, 2, {5, 10}},
      {0, 16, {0x12, 0x34, 0xAB, 0xCD}, 2, {0x12, 0xAB}},
      {2, 16, {1, 2, 3, 4, 5, 6}, 1, {1, 3, 5}},
      {4, 8, {7, 200, 9, 100}, 2, {7, 9}},
      {4, 16, {7, 1, 200, 2}, 1, {7}},
      {6, 8, {1, 2, 3, 4, 5, 6, 7, 8}, 2, {1, 2, 3, 5, 6, 7}},
      {6, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}, 1, {0x12, 0x56, 0x9A}},
  };
  for (const auto& c : cases) {
    const int comb = png_combination(c.colourType, c.depth);
    ASSERT_GE(comb, 0);
    Bytes row = c.in;
    row.resize(std::max(row.size(), c.out.size()));
    png_unpack_row(comb, row.data(), c.pixels);
    row.resize(c.out.size());
    EXPECT_EQ(row, c.out) << c.colourType << "/" << c.depth;
  }
  EXPECT_EQ(png_combination(3, 16), -1);
  EXPECT_EQ(png_combination(2, 4), -1);
  EXPECT_EQ(png_imager_bits(png_combination(3, 1)), 1);
  EXPECT_EQ(png_imager_bits(png_combination(4, 16)), 8);
  EXPECT_EQ(png_imager_bits(png_combination(6, 8)), 24);
}

TEST(PngFilters, Adam7PassesOfASmallImage) {
  // 3 x 3: pass of each pixel, rows top to bottom.
  const int expect[3][3] = {{0, 5, 3}, {6, 6, 6}, {4, 5, 4}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      int found = -1;
      for (int p = 0; p < 7; ++p) {
        const PngPass& pass = kAdam7[p];
        if (png_row_in_pass(p, 3, y) && x >= pass.firstColumn &&
            (x - pass.firstColumn) % pass.columnStep == 0)
          found = p;
      }
      EXPECT_EQ(found, expect[y][x]) << x << "," << y;
    }
  EXPECT_EQ(png_pass_pixels(kAdam7[1], 4), 0);
  EXPECT_EQ(png_pass_pixels(kAdam7[1], 5), 1);
  EXPECT_EQ(png_pass_row_bytes(kAdam7[6], 9, 1), 2u);
}

TEST(PngFilters, EveryFilterRoundTrips) {
  std::mt19937 rng(5);
  for (int distance : {1, 3, 4, 8}) {
    const std::size_t n = 61;
    Bytes prevRow(n + 1), row(n + 1);
    for (auto& b : prevRow) b = static_cast<BYTE>(rng());
    for (auto& b : row) b = static_cast<BYTE>(rng() % 7 == 0 ? rng() : 100 + rng() % 5);
    for (int type = 0; type <= 4; ++type) {
      Bytes encPrev = prevRow, out(n + 1);
      png_filter_apply(type, row.data(), encPrev.data(), out.data(), n, distance);
      EXPECT_EQ(Bytes(encPrev.begin() + 1, encPrev.end()), Bytes(row.begin() + 1, row.end()));
      Bytes decPrev = prevRow;
      png_unfilter_row(out.data(), decPrev.data(), n, distance);
      EXPECT_EQ(Bytes(out.begin() + 1, out.end()), Bytes(row.begin() + 1, row.end()))
          << "type " << type << " distance " << distance;
    }
  }
  // A type byte that names no filter leaves the row as it is.
  Bytes row = {7, 1, 2, 3}, prev = {0, 9, 9, 9};
  png_unfilter_row(row.data(), prev.data(), 3, 1);
  EXPECT_EQ(row, (Bytes{7, 1, 2, 3}));
}

TEST(PngFilters, AdaptiveChoiceTakesTheFirstCheapest) {
  // Above a zero row Sub and Paeth cost the same (40); None and Up 100, Average 70.
  const Bytes row = {0, 10, 20, 30, 40}, prev(5, 0);
  EXPECT_EQ(png_filter_cost(kPngSub, row.data(), prev.data(), 4, 1), 40);
  EXPECT_EQ(png_filter_cost(kPngPaeth, row.data(), prev.data(), 4, 1), 40);
  EXPECT_EQ(png_filter_cost(kPngAverage, row.data(), prev.data(), 4, 1), 70);
  EXPECT_EQ(png_choose_filter(row.data(), prev.data(), 4, 1), kPngSub);
  // Bytes count as signed magnitudes: 255 costs 1.
  const Bytes neg = {0, 255, 255};
  EXPECT_EQ(png_filter_cost(kPngNone, neg.data(), prev.data(), 2, 1), 2);
}

}  // namespace
