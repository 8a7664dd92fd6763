#include "imagefiles/lzw_packbits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// Packs (code, width) pairs most significant bit first (TIFF) or least first (GIF).
Bytes PackMsb(const std::vector<std::pair<int, int>>& codes) {
  Bytes out;
  std::uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    acc = (acc << width) | static_cast<std::uint64_t>(code);
    bits += width;
    while (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<BYTE>(acc >> bits));
    }
  }
  if (bits > 0) out.push_back(static_cast<BYTE>(acc << (8 - bits)));
  return out;
}

Bytes PackLsb(const std::vector<std::pair<int, int>>& codes) {
  Bytes out;
  std::uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    acc |= static_cast<std::uint64_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(static_cast<BYTE>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(static_cast<BYTE>(acc));
  return out;
}

Bytes Mixed(std::size_t n, unsigned seed) {
  // Runs, repeats and noise, so that every packet kind and table growth occurs.
  std::mt19937 rng(seed);
  Bytes data;
  while (data.size() < n) {
    switch (rng() % 3) {
      case 0:
        data.insert(data.end(), 1 + rng() % 300, static_cast<BYTE>(rng()));
        break;
      case 1:
        for (int k = 0, len = 1 + static_cast<int>(rng() % 40); k < len; ++k)
          data.push_back(static_cast<BYTE>(rng() % 4));
        break;
      default:
        for (int k = 0, len = 1 + static_cast<int>(rng() % 40); k < len; ++k)
          data.push_back(static_cast<BYTE>(rng()));
    }
  }
  data.resize(n);
  return data;
}

TEST(PackBits, DecodesPacketsAndSkipsNoOperation) {
  struct Case {
    Bytes in;
    int count;
    Bytes out;
    int consumed;
  };
  const std::vector<Case> cases = {
      {{0xFE, 0xAA, 0x02, 0x01, 0x02, 0x03}, 6, {0xAA, 0xAA, 0xAA, 0x01, 0x02, 0x03}, 6},
      {{0x80, 0x00, 0x42}, 1, {0x42}, 3},
      // A repeat packet longer than needed still consumes its value byte ...
      {{0xF0, 0x11, 0x00, 0x22}, 3, {0x11, 0x11, 0x11}, 2},
      // ... a literal consumes only what it copies.
      {{0x03, 0x01, 0x02, 0x03, 0x04}, 2, {0x01, 0x02}, 3},
      // Input that runs out early stops without reading past it.
      {{0x05, 0x01, 0x02}, 6, {0x01, 0x02, 0, 0, 0, 0}, 3},
      {{0xFD}, 4, {0, 0, 0, 0}, 1},
  };
  for (const auto& c : cases) {
    Bytes out(static_cast<std::size_t>(c.count), 0);
    EXPECT_EQ(packbits_decode_row(out.data(), c.in.data(), c.in.size(), c.count), c.consumed);
    EXPECT_EQ(out, c.out);
  }
}

TEST(PackBits, EncodesRunsAndLiterals) {
  struct Case {
    Bytes in;
    Bytes out;
  };
  const std::vector<Case> cases = {
      {{0x11, 0x11, 0x22, 0x33, 0x33, 0x33}, {0xFF, 0x11, 0x00, 0x22, 0xFE, 0x33}},
      {{0x11, 0x22, 0x11, 0x22}, {0x03, 0x11, 0x22, 0x11, 0x22}},
      // A pair between two single bytes joins the literal.
      {{0x01, 0x02, 0x02, 0x03}, {0x03, 0x01, 0x02, 0x02, 0x03}},
      {Bytes(300, 0x5A), {0x82, 0x5A, 0x82, 0x5A, 0xD3, 0x5A}},
  };
  for (const auto& c : cases) {
    Bytes out(c.in.size() * 2 + 8);
    out.resize(static_cast<std::size_t>(
        packbits_encode_row(out.data(), c.in.data(), static_cast<int>(c.in.size()))));
    EXPECT_EQ(out, c.out);
  }
}

TEST(PackBits, RoundTripsMixedRows) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    const Bytes row = Mixed(1000 + seed * 37, seed);
    Bytes enc(row.size() * 2);
    const int n = packbits_encode_row(enc.data(), row.data(), static_cast<int>(row.size()));
    Bytes dec(row.size());
    EXPECT_EQ(packbits_decode_row(dec.data(), enc.data(), static_cast<std::size_t>(n),
                                  static_cast<int>(row.size())),
              n);
    EXPECT_EQ(dec, row);
  }
}

TEST(TiffLzw, WidthGrowsAfterThe254thCode) {
  // Clear, 254 codes of 9 bits, then codes of 10 bits: early change as TIFF defines it.
  std::vector<std::pair<int, int>> codes = {{256, 9}};
  Bytes expect;
  for (int i = 0; i < 254; ++i) {
    codes.push_back({i & 0x7F, 9});
    expect.push_back(static_cast<BYTE>(i & 0x7F));
  }
  codes.push_back({200, 10});
  expect.push_back(200);
  codes.push_back({257, 10});
  const Bytes in = PackMsb(codes);
  Bytes out(1000);
  std::size_t made = 0;
  bool end = false;
  EXPECT_EQ(tiff_lzw_decode_strip(in.data(), in.size(), out.data(), out.size(), &made, &end), 0);
  EXPECT_TRUE(end);
  out.resize(made);
  EXPECT_EQ(out, expect);
}

TEST(TiffLzw, CorruptCodesAreRefused) {
  const std::vector<std::vector<std::pair<int, int>>> bad = {
      {{300, 9}},                       // first code of a strip beyond the literals
      {{256, 9}, {258, 9}},             // string code right after a clear
      {{256, 9}, {65, 9}, {300, 9}},    // beyond the next free code
  };
  for (const auto& codes : bad) {
    const Bytes in = PackMsb(codes);
    Bytes out(64);
    std::size_t made = 0;
    EXPECT_EQ(tiff_lzw_decode_strip(in.data(), in.size(), out.data(), out.size(), &made), -62);
  }
  // The code that is not yet in the table is the previous string plus its first byte.
  const Bytes in = PackMsb({{256, 9}, {65, 9}, {258, 9}, {257, 9}});
  Bytes out(64);
  std::size_t made = 0;
  EXPECT_EQ(tiff_lzw_decode_strip(in.data(), in.size(), out.data(), out.size(), &made), 0);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(made)), (Bytes{65, 65, 65}));
}

TEST(TiffLzw, EncoderRoundTripsThroughTableResets) {
  // 200 000 mixed bytes fill the table many times over.
  const Bytes data = Mixed(200000, 7);
  TiffLzwEncoder enc;
  Bytes strip;
  enc.StartStrip(strip);
  enc.Encode(data.data(), 12345);
  enc.Encode(data.data() + 12345, data.size() - 12345);
  enc.FinishStrip();
  EXPECT_LT(strip.size(), data.size());
  Bytes out(data.size() + 10);
  std::size_t made = 0;
  bool end = false;
  EXPECT_EQ(tiff_lzw_decode_strip(strip.data(), strip.size(), out.data(), out.size(), &made, &end),
            0);
  EXPECT_TRUE(end);
  out.resize(made);
  EXPECT_EQ(out, data);
  // The output capacity cuts a string that does not fit.
  Bytes small(1000);
  EXPECT_EQ(tiff_lzw_decode_strip(strip.data(), strip.size(), small.data(), small.size(), &made),
            0);
  EXPECT_EQ(made, 1000u);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), data.begin()));
}

Bytes GifDecode(const Bytes& in, int minCode, int width, int* result) {
  Bytes out;
  *result = gif_lzw_decode(in.data(), in.size(), minCode, width, [&](const BYTE* row) {
    out.insert(out.end(), row, row + width);
    return false;
  });
  return out;
}

TEST(GifLzw, DecodesCodesAndChecksThem) {
  int r = 0;
  // Clear 4, end 5: code 6 right after 1 is "1" plus its own first byte.
  EXPECT_EQ(GifDecode(PackLsb({{4, 3}, {1, 3}, {6, 3}, {5, 3}}), 2, 1, &r), (Bytes{1, 1, 1}));
  EXPECT_EQ(r, 0);
  GifDecode(PackLsb({{4, 3}, {6, 3}}), 2, 1, &r);  // string code after a clear
  EXPECT_EQ(r, -62);
  GifDecode(PackLsb({{4, 3}, {1, 3}, {7, 3}}), 2, 1, &r);  // beyond the next free code
  EXPECT_EQ(r, -62);
  GifDecode(PackLsb({{4, 3}, {1, 3}}), 9, 1, &r);  // minimum code size out of range
  EXPECT_EQ(r, -62);
}

TEST(GifLzw, EncoderRoundTripsLiteralAndCompressed) {
  const Bytes data = Mixed(60000, 11);
  for (int minCode : {2, 8}) {
    Bytes pixels = data;
    if (minCode == 2)
      for (auto& p : pixels) p &= 1;
    for (bool literal : {true, false}) {
      Bytes enc;
      GifLzwEncoder e(minCode, literal, enc);
      e.Encode(pixels.data(), pixels.size());
      e.Finish();
      int r = 0;
      EXPECT_EQ(GifDecode(enc, minCode, 100, &r), pixels) << minCode << literal;
      EXPECT_EQ(r, 0);
    }
  }
  // Literal codes keep 9 bits: a clear code before the first pixel and after every 254.
  Bytes enc;
  GifLzwEncoder e(8, true, enc);
  Bytes px(600, 7);
  e.Encode(px.data(), px.size());
  e.Finish();
  // 600 pixels, 3 clears, the end code: 604 codes of 9 bits.
  EXPECT_EQ(enc.size(), (604u * 9 + 7) / 8);
  EXPECT_EQ(enc[0], 0x00);  // low 8 bits of the clear code 256
  EXPECT_EQ(enc[1] & 1, 1);
}

}  // namespace
