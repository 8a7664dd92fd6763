#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/img_memory.h"
#include "imagefiles/jpeg_codec.h"
#include "imagefiles/jpeg_test_util.h"

using namespace jpegtest;

namespace {

// Offset of the nth marker segment 0xFF `marker` in the header part of a file (before
// the first SOS, or the SOS itself); npos when absent.
std::size_t FindSegment(const Bytes& f, int marker, int nth = 0) {
  std::size_t i = 2;
  while (i + 4 <= f.size() && f[i] == 0xFF) {
    if (f[i + 1] == marker && nth-- == 0) return i;
    if (f[i + 1] == 0xDA) break;
    i += 2 + ((f[i + 2] << 8) | f[i + 3]);
  }
  return std::string::npos;
}

Bytes Segment(int marker, const Bytes& payload) {
  const std::size_t n = payload.size() + 2;
  Bytes s = {0xFF, static_cast<std::uint8_t>(marker), static_cast<std::uint8_t>(n >> 8),
             static_cast<std::uint8_t>(n)};
  // Room for the whole segment up front; without it GCC 12 at -O3 misreads the append as
  // writing past the four header bytes.
  s.reserve(2 + n);
  s.insert(s.end(), payload.begin(), payload.end());
  return s;
}

Bytes ReplaceSegment(const Bytes& f, int marker, const Bytes& payload) {
  const std::size_t at = FindSegment(f, marker);
  EXPECT_NE(at, std::string::npos);
  const std::size_t len = 2 + ((f[at + 2] << 8) | f[at + 3]);
  Bytes out(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(at));
  const Bytes s = Segment(marker, payload);
  out.insert(out.end(), s.begin(), s.end());
  out.insert(out.end(), f.begin() + static_cast<std::ptrdiff_t>(at + len), f.end());
  return out;
}

Bytes Payload(const Bytes& f, int marker) {
  const std::size_t at = FindSegment(f, marker);
  const std::size_t len = (f[at + 2] << 8) | f[at + 3];
  return Bytes(f.begin() + static_cast<std::ptrdiff_t>(at + 4),
               f.begin() + static_cast<std::ptrdiff_t>(at + 2 + len));
}

Bytes InsertAfterSoi(const Bytes& f, const Bytes& segment) {
  Bytes out = f;
  out.insert(out.begin() + 2, segment.begin(), segment.end());
  return out;
}

// Our samples against djpeg's: the same except that our red and blue may exceed its
// by one, since the chroma terms are truncated towards zero where djpeg floors them.
void ExpectMatchesDjpeg(const Picture& ours, const Picture& ref, const std::string& name) {
  ASSERT_EQ(ours.width, ref.width) << name;
  ASSERT_EQ(ours.height, ref.height) << name;
  ASSERT_EQ(ours.channels, ref.channels) << name;
  int bad = 0;
  for (std::size_t i = 0; i < ref.data.size(); ++i) {
    const int d = ours.data[i] - ref.data[i];
    const bool chroma = ref.channels == 3 && (i % 3) != 1;
    if (d != 0 && !(chroma && d == 1)) ++bad;
  }
  EXPECT_EQ(bad, 0) << name << ": samples outside the allowed difference";
}

struct DecodeCase {
  const char* file;
  const char* reference;
};

class JpegDecodeAgainstDjpeg : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(JpegDecodeAgainstDjpeg, MatchesReference) {
  const DecodeCase& c = GetParam();
  const Decoded d = Decode(ReadBytes(Fixture(c.file)));
  ASSERT_EQ(d.rc, 0) << c.file;
  ExpectMatchesDjpeg(d.picture, ReadPnm(Fixture(c.reference)), c.file);
}

// Baseline files, their lossless progressive twins, and the layouts that need the
// standard's block order: grey frames with 2 x 2 sampling, one scan per component,
// restart markers in progressive scans, DC scans of a subsampled component alone.
INSTANTIATE_TEST_SUITE_P(
    Files, JpegDecodeAgainstDjpeg,
    ::testing::Values(DecodeCase{"b444.jpg", "b444.pnm"}, DecodeCase{"b422.jpg", "b422.pnm"},
                      DecodeCase{"b420.jpg", "b420.pnm"}, DecodeCase{"grey22.jpg", "grey22.pnm"},
                      DecodeCase{"rst.jpg", "rst.pnm"}, DecodeCase{"opt.jpg", "opt.pnm"},
                      DecodeCase{"seq3.jpg", "b420.pnm"}, DecodeCase{"pb444.jpg", "b444.pnm"},
                      DecodeCase{"pb422.jpg", "b422.pnm"}, DecodeCase{"pb420.jpg", "b420.pnm"},
                      DecodeCase{"pgrey22.jpg", "grey22.pnm"}, DecodeCase{"prst.jpg", "rst.pnm"},
                      DecodeCase{"popt.jpg", "opt.pnm"}, DecodeCase{"pdcsplit.jpg", "b420.pnm"}));

TEST(JpegDecode, ProgressiveTwinsDecodeExactlyLikeTheirBaselines) {
  const char* pairs[][2] = {{"b444.jpg", "pb444.jpg"}, {"b420.jpg", "pb420.jpg"},
                            {"b420.jpg", "pdcsplit.jpg"}, {"b420.jpg", "seq3.jpg"},
                            {"grey22.jpg", "pgrey22.jpg"}, {"rst.jpg", "prst.jpg"}};
  for (auto& p : pairs) {
    const Decoded a = Decode(ReadBytes(Fixture(p[0])));
    const Decoded b = Decode(ReadBytes(Fixture(p[1])));
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(a.picture.data, b.picture.data) << p[1];
  }
  // jpegtran writes its grey twin with 1 x 1 sampling; with 2 x 2 stated in the frame
  // the scans of a one-component frame keep the same block order.
  Bytes twin = ReadBytes(Fixture("pgrey22.jpg"));
  const std::size_t sof = FindSegment(twin, 0xC2);
  ASSERT_NE(sof, std::string::npos);
  ASSERT_EQ(twin[sof + 11], 0x11);
  twin[sof + 11] = 0x22;
  const Decoded b = Decode(twin);
  ASSERT_EQ(b.rc, 0);
  EXPECT_EQ(b.picture.data, Decode(ReadBytes(Fixture("grey22.jpg"))).picture.data);
}

TEST(JpegDecode, InformationRecord) {
  JpegInfo i{};
  const Bytes b420 = ReadBytes(Fixture("b420.jpg"));
  ASSERT_EQ(jpeg_read_info(nullptr, b420.data(), b420.size(), &i), 0);
  EXPECT_EQ(i.process, 0);
  EXPECT_EQ(i.width, 45);
  EXPECT_EQ(i.height, 43);
  EXPECT_EQ(i.components, 3);
  EXPECT_EQ(i.precision, 8);
  EXPECT_EQ(i.sampling[0], 0x22);
  EXPECT_EQ(i.sampling[1], 0x11);
  EXPECT_EQ(i.sampling[2], 0x11);
  EXPECT_EQ(i.sampling[3], 0);
  EXPECT_EQ(i.imagerBitsPerPixel, 24);
  ASSERT_EQ(jpeg_info(Fixture("grey22.jpg").c_str(), &i), 0);
  EXPECT_EQ(i.process, 0);
  EXPECT_EQ(i.components, 1);
  EXPECT_EQ(i.sampling[0], 0x22);
  EXPECT_EQ(i.imagerBitsPerPixel, 8);
  ASSERT_EQ(jpeg_info(Fixture("pgrey22.jpg").c_str(), &i), 0);
  EXPECT_EQ(i.process, 2);
}

TEST(JpegDecode, SharedSamplesMatchTheirReferences) {
  // hopper.jpg (baseline 4:2:0) against the picture it was made from.
  const Decoded h = Decode(ReadBytes(Fixture("hopper.jpg")));
  ASSERT_EQ(h.rc, 0);
  const Picture src = ReadPnm(Fixture("hopper.ppm"));
  ASSERT_EQ(src.width, 128);
  ASSERT_EQ(h.picture.data.size(), src.data.size());
  double absSum = 0, mean[3] = {};
  for (std::size_t i = 0; i < src.data.size(); ++i) {
    absSum += std::abs(h.picture.data[i] - src.data[i]);
    mean[i % 3] += h.picture.data[i];
  }
  const double n = 128.0 * 128.0;
  EXPECT_LT(absSum / (3 * n), 2.0);
  EXPECT_NEAR(mean[0] / n, 89.7, 1.0);
  EXPECT_NEAR(mean[1] / n, 80.1, 1.0);
  EXPECT_NEAR(mean[2] / n, 95.4, 1.0);

  // sample.jpg (progressive, 10 scans): every pixel close to the bitmap.
  const Decoded s = Decode(ReadBytes(Fixture("sample.jpg")));
  ASSERT_EQ(s.rc, 0);
  EXPECT_EQ(s.info.process, 2);
  const Picture ref = ReadBmp24(Fixture("sample.bmp"));
  ASSERT_EQ(s.picture.width, ref.width);
  ASSERT_EQ(s.picture.height, ref.height);
  int worst = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      int d2 = 0;
      for (int ch = 0; ch < 3; ++ch) {
        const int d = s.picture.at(x, y, ch) - ref.at(x, y, ch);
        d2 += d * d;
      }
      worst = std::max(worst, d2);
    }
  EXPECT_LE(worst, 100);
}

TEST(JpegDecode, FillsTheWorkingRectangleOfALargerImage) {
  const Bytes file = ReadBytes(Fixture("b420.jpg"));
  const Picture ref = Decode(file).picture;
  ImageDescriptor d{};
  ASSERT_EQ(img_alloc(&d, 60, 50, 24), 0);
  d.left = 7;
  d.top = 4;
  d.right = 40;  // narrower than the file: columns are cut
  ASSERT_EQ(jpeg_load_stream(nullptr, file.data(), file.size(), &d), 0);
  d.left = d.top = 0;
  d.right = 59;
  const Picture all = FromImage(d);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const bool inside = x >= 7 && x <= 40 && y >= 4 && y < 4 + 43;
        const int want = inside ? ref.at(x - 7, y - 4, ch) : 0;
        ASSERT_EQ(all.at(x, y, ch), want) << x << "," << y;
      }
  img_free(&d);
}

TEST(JpegDecode, GreyFileLoadsWithGreyPalette) {
  const Bytes file = ReadBytes(Fixture("grey22.jpg"));
  ImageDescriptor d{};
  ASSERT_EQ(img_alloc(&d, 45, 43, 8), 0);
  d.palette[3].rgbRed = 99;  // disturbed; the load restores the ramp
  d.flags = 0;
  ASSERT_EQ(jpeg_load_stream(nullptr, file.data(), file.size(), &d), 0);
  EXPECT_EQ(img_is_grey(&d), 1);
  EXPECT_EQ(d.flags & IMG_GREY, IMG_GREY);
  img_free(&d);
}

// ---------------------------------------------------------------------------------
// Frames, scans and tables the codec refuses

struct RefusedCase {
  const char* what;
  Bytes file;
  int expected;
};

std::vector<RefusedCase> RefusedCases() {
  const Bytes b420 = ReadBytes(Fixture("b420.jpg"));
  const Bytes sof = Payload(b420, 0xC0);  // P, Y, X, Nf = 3, then 3 x (id, HV, Tq)
  const Bytes sos = Payload(b420, 0xDA);  // Ns = 3, (id, Td Ta) x 3, Ss, Se, AhAl
  auto withSof = [&](auto edit, int marker = 0xC0) {
    Bytes s = sof;
    edit(s);
    Bytes f = ReplaceSegment(b420, 0xC0, s);
    f[FindSegment(f, 0xC0) + 1] = static_cast<std::uint8_t>(marker);
    return f;
  };
  auto withSos = [&](auto edit) {
    Bytes s = sos;
    edit(s);
    return ReplaceSegment(b420, 0xDA, s);
  };
  auto withDht = [&](auto edit) {
    Bytes s = Payload(b420, 0xC4);
    edit(s);
    return ReplaceSegment(b420, 0xC4, s);
  };
  // The first scan of the progressive twin: DC of all three components, Al 1.
  const Bytes pb420 = ReadBytes(Fixture("pb420.jpg"));
  auto withFirstScan = [&](auto edit) {
    Bytes s = Payload(pb420, 0xDA);
    edit(s);
    return ReplaceSegment(pb420, 0xDA, s);
  };
  std::vector<RefusedCase> cases = {
      {"progressive DC scan with Se 5", withFirstScan([](Bytes& s) { s[8] = 5; }), -43},
      {"progressive scan with Al 14", withFirstScan([](Bytes& s) { s[9] = 0x0E; }), -43},
      {"refinement with Al not Ah - 1", withFirstScan([](Bytes& s) { s[9] = 0x31; }), -43},
      {"progressive AC scan of three components", withFirstScan([](Bytes& s) {
         s[7] = 1;
         s[8] = 5;
       }), -43},
      {"12-bit samples", withSof([](Bytes& s) { s[0] = 12; }), -43},
      {"arithmetic coding (SOF9)", withSof([](Bytes&) {}, 0xC9), -43},
      {"lossless (SOF3)", withSof([](Bytes&) {}, 0xC3), -43},
      {"four components", withSof([](Bytes& s) {
         s[5] = 4;
         s.insert(s.end(), {4, 0x11, 0});
       }), -43},
      {"sampling factor 0", withSof([](Bytes& s) { s[7] = 0x20; }), -43},
      {"sampling factor 5", withSof([](Bytes& s) { s[7] = 0x51; }), -43},
      {"11 blocks per MCU", withSof([](Bytes& s) { s[7] = 0x33; }), -43},
      {"undefined quantisation table", withSof([](Bytes& s) { s[8] = 2; }), -43},
      {"duplicate component id", withSof([](Bytes& s) { s[9] = s[6]; }), -43},
      {"frame length disagrees with Nf", withSof([](Bytes& s) { s.push_back(0); }), -43},
      {"height 0", withSof([](Bytes& s) { s[1] = s[2] = 0; }), -1},
      {"scan names an undefined Huffman table", withSos([](Bytes& s) { s[2] = 0x33; }), -43},
      {"scan names an unknown component", withSos([](Bytes& s) { s[1] = 9; }), -43},
      {"scan components out of the frame's order", withSos([](Bytes& s) { std::swap(s[1], s[3]); }), -43},
      {"scan length disagrees with Ns", withSos([](Bytes& s) { s[0] = 2; }), -43},
      {"Huffman counts beyond the segment", withDht([](Bytes& s) { s[16] = 200; }), -43},
      {"Huffman table index 4", withDht([](Bytes& s) { s[0] = 0x04; }), -43},
      {"Huffman table class 2", withDht([](Bytes& s) { s[0] = 0x20; }), -43},
      // Three one-bit codes (the first table is the DC table with counts 0, 1, 5, ...).
      {"Huffman codes overflow their lengths", withDht([](Bytes& s) {
         s[1] = 3;
         s[3] -= 3;
       }), -43},
      {"quantisation table index 4",
       [&] {
         Bytes q = Payload(b420, 0xDB);
         q[0] = 0x04;
         return ReplaceSegment(b420, 0xDB, q);
       }(),
       -43},
      {"restart segment of 3 bytes", InsertAfterSoi(b420, Segment(0xDD, {0, 1, 2})), -43},
      {"segment length below 2",
       [&] {
         Bytes f = b420;
         f[FindSegment(f, 0xE0) + 3] = 1;
         f[FindSegment(f, 0xE0) + 2] = 0;
         return f;
       }(),
       -43},
      {"first APP0 is not JFIF", InsertAfterSoi(b420, Segment(0xE0, {'J', 'F', 'X', 'X', 0, 0x10})), -43},
      {"no SOI first", Bytes(b420.begin() + 2, b420.end()), -43},
      {"not a JPEG file at all", Bytes(200, 'x'), -43},
  };
  return cases;
}

TEST(JpegRefuses, FramesScansAndTablesItDoesNotHandle) {
  for (const RefusedCase& c : RefusedCases()) {
    const Decoded d = Decode(c.file);
    EXPECT_EQ(d.rc, c.expected) << c.what;
  }
}

TEST(JpegRefuses, ColourFileIntoGreyImageAndTheReverse) {
  EXPECT_EQ(Decode(ReadBytes(Fixture("b420.jpg")), 8).rc, -26);
  EXPECT_EQ(Decode(ReadBytes(Fixture("grey22.jpg")), 24).rc, -26);
}

TEST(JpegDecode, ExifBeforeJfifAndLaterApp0SegmentsPass) {
  const Bytes b420 = ReadBytes(Fixture("b420.jpg"));
  const Bytes exif = Segment(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42});
  const Bytes jfxx = Segment(0xE0, {'J', 'F', 'X', 'X', 0, 0x10});
  Bytes f = InsertAfterSoi(b420, exif);
  const std::size_t app0 = FindSegment(f, 0xE0);
  f.insert(f.begin() + static_cast<std::ptrdiff_t>(app0 + 18), jfxx.begin(), jfxx.end());
  const Decoded d = Decode(f);
  ASSERT_EQ(d.rc, 0);
  EXPECT_EQ(d.picture.data, Decode(b420).picture.data);
}

TEST(JpegDecode, MemorySourceWithoutDataIsRefused) {
  JpegInfo i{};
  EXPECT_EQ(jpeg_read_info(nullptr, nullptr, 0, &i), -52);
  const Bytes small(50, 0xFF);
  EXPECT_EQ(jpeg_read_info(nullptr, small.data(), small.size(), &i), -52);
  ImageDescriptor d{};
  ASSERT_EQ(img_alloc(&d, 16, 16, 24), 0);
  EXPECT_EQ(jpeg_load_stream(nullptr, nullptr, 0, &d), -52);
  EXPECT_EQ(jpeg_load(Fixture("no-such-file.jpg").c_str(), &d), -4);
  img_free(&d);
}

// ---------------------------------------------------------------------------------
// Damaged data

std::size_t ScanDataStart(const Bytes& f) {
  const std::size_t sos = FindSegment(f, 0xDA);
  return sos + 2 + ((f[sos + 2] << 8) | f[sos + 3]);
}

TEST(JpegDamaged, TruncatedSequentialScanKeepsTheRowsDecodedBeforeTheCut) {
  const Bytes full = ReadBytes(Fixture("b420.jpg"));
  const Picture ref = Decode(full).picture;
  // About two thirds of the scan: the first MCU row (16 picture rows) is complete.
  const std::size_t start = ScanDataStart(full);
  const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(start + (full.size() - start) * 2 / 3));
  const Decoded d = Decode(cut);
  EXPECT_EQ(d.rc, -62);
  ASSERT_EQ(d.picture.data.size(), ref.data.size());
  const std::size_t firstMcuRow = 16 * 45 * 3;
  EXPECT_TRUE(std::equal(ref.data.begin(), ref.data.begin() + firstMcuRow, d.picture.data.begin()));
  // Marker bytes where data should be: the decoder stops there too.
  Bytes eoi = cut;
  eoi.push_back(0xFF);
  eoi.push_back(0xD9);
  EXPECT_EQ(Decode(eoi).rc, -62);
}

TEST(JpegDamaged, ProgressiveFileEndingAfterItsFirstScanLoads) {
  const Bytes full = ReadBytes(Fixture("pb420.jpg"));
  // The second SOS: everything from there on is cut away.
  std::size_t second = std::string::npos;
  int seen = 0;
  for (std::size_t i = 0; i + 1 < full.size(); ++i)
    if (full[i] == 0xFF && full[i + 1] == 0xDA && ++seen == 2) {
      second = i;
      break;
    }
  ASSERT_NE(second, std::string::npos);
  // Back up over the DHT segments in front of the second scan.
  std::size_t end = second;
  for (std::size_t i = ScanDataStart(full); i + 1 < second; ++i)
    if (full[i] == 0xFF && full[i + 1] != 0x00) {
      end = i;
      break;
    }
  const Decoded first = Decode(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(end)));
  EXPECT_EQ(first.rc, 0);
  // Cut inside the first scan: nothing complete to keep.
  const Decoded none = Decode(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(ScanDataStart(full) + 20)));
  EXPECT_EQ(none.rc, -62);
  // A cut in a later scan keeps the earlier ones: a blurred but close picture.
  const Decoded late = Decode(Bytes(full.begin(), full.end() - 40));
  EXPECT_EQ(late.rc, 0);
}

// Every prefix and many single-byte corruptions of a few files: only result codes, no
// crash (this binary also runs under AddressSanitizer).
TEST(JpegDamaged, CutsAndCorruptionsReturnCodes) {
  const std::set<int> allowed = {0, -1, -14, -15, -26, -43, -62};
  for (const char* name : {"b420.jpg", "prst.jpg", "seq3.jpg", "pgrey22.jpg"}) {
    const Bytes full = ReadBytes(Fixture(name));
    for (std::size_t n = 100; n < full.size(); n += 3) {
      const Decoded d = Decode(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
      EXPECT_TRUE(allowed.count(d.rc)) << name << " cut at " << n << ": " << d.rc;
    }
    std::uint32_t seed = 1;
    for (std::size_t pos = 2; pos < full.size(); pos += 2) {
      Bytes f = full;
      seed = seed * 1103515245u + 12345u;
      f[pos] = static_cast<std::uint8_t>(seed >> 16);
      const Decoded d = Decode(f);
      EXPECT_TRUE(allowed.count(d.rc)) << name << " byte " << pos << ": " << d.rc;
    }
  }
}

// ---------------------------------------------------------------------------------
// Saving

struct EncodeCase {
  const char* source;
  int quality;
  int mode;
  const char* expected;  // cjpeg's file for the same source and settings
};

class JpegEncodeLikeCjpeg : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(JpegEncodeLikeCjpeg, SameBytes) {
  const EncodeCase& c = GetParam();
  ImageDescriptor d{};
  ToImage(ReadPnm(Fixture(c.source)), &d);
  ImgMem out = nullptr;
  ASSERT_EQ(jpeg_save_stream(nullptr, &out, c.quality, c.mode, &d), 0);
  const BYTE* p = ImgMemLock(out);
  const Bytes ours(p, p + ImgMemSize(out));
  ImgMemFree(out);
  img_free(&d);
  EXPECT_EQ(ours, ReadBytes(Fixture(c.expected))) << c.expected;
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegEncodeLikeCjpeg,
    ::testing::Values(EncodeCase{"src.ppm", 75, 0, "enc_q75.jpg"},
                      EncodeCase{"src.ppm", 75, 2, "enc_q75_opt.jpg"},
                      EncodeCase{"src.ppm", 75, 1, "enc_q75_prog.jpg"},
                      EncodeCase{"src.pgm", 75, 0, "enc_grey_q75.jpg"},
                      EncodeCase{"src.pgm", 75, 2, "enc_grey_q75_opt.jpg"},
                      EncodeCase{"src.pgm", 75, 1, "enc_grey_q75_prog.jpg"},
                      EncodeCase{"src.ppm", 10, 0, "enc_q10.jpg"},
                      EncodeCase{"src.ppm", 75, 7, "enc_q75.jpg"}));  // unknown mode: 0

Bytes SaveToMemory(ImageDescriptor* d, int quality, int mode) {
  ImgMem out = nullptr;
  EXPECT_EQ(jpeg_save_stream(nullptr, &out, quality, mode, d), 0);
  const BYTE* p = ImgMemLock(out);
  Bytes b(p, p + ImgMemSize(out));
  ImgMemFree(out);
  return b;
}

std::vector<int> Markers(const Bytes& f) {
  std::vector<int> m;
  std::size_t i = 0;
  while (i + 1 < f.size()) {
    if (f[i] != 0xFF || f[i + 1] == 0x00 || (f[i + 1] >= 0xD0 && f[i + 1] <= 0xD7)) {
      ++i;
      continue;
    }
    m.push_back(f[i + 1]);
    if (f[i + 1] == 0xD8 || f[i + 1] == 0xD9) {
      i += 2;
      continue;
    }
    i += 2 + ((f[i + 2] << 8) | f[i + 3]);
    if (m.back() == 0xDA)
      while (i + 1 < f.size() && !(f[i] == 0xFF && f[i + 1] != 0 && (f[i + 1] < 0xD0 || f[i + 1] > 0xD7))) ++i;
  }
  return m;
}

TEST(JpegSave, SixteenBitTablesFromQuality23Down) {
  ImageDescriptor d{};
  ToImage(ReadPnm(Fixture("src.ppm")), &d);
  const std::vector<int> q24 = {0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9};
  EXPECT_EQ(Markers(SaveToMemory(&d, 24, 2)), q24);
  const Bytes q23 = SaveToMemory(&d, 23, 2);
  const std::vector<int> sof1 = {0xD8, 0xE0, 0xDB, 0xDB, 0xC1, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9};
  EXPECT_EQ(Markers(q23), sof1);
  EXPECT_EQ(Payload(q23, 0xDB).size(), 129u);  // Pq Tq and 64 two-byte values
  EXPECT_EQ(Payload(q23, 0xDB)[0], 0x10);
  // A progressive file: DHT segments before every scan but the DC refinements.
  const std::vector<int> prog = Markers(SaveToMemory(&d, 75, 1));
  int scans = 0;
  for (std::size_t i = 0; i < prog.size(); ++i)
    if (prog[i] == 0xDA) {
      ++scans;
      const bool refinement = scans == 7;
      EXPECT_EQ(prog[i - 1] == 0xC4, !refinement) << "scan " << scans;
    }
  EXPECT_EQ(scans, 10);
  img_free(&d);
}

TEST(JpegSave, WorkingRectangleAndPaletteImages) {
  const Picture src = ReadPnm(Fixture("src.ppm"));
  ImageDescriptor whole{};
  ToImage(src, &whole);
  whole.left = 5;
  whole.top = 3;
  whole.right = 5 + 20 - 1;
  whole.bottom = 3 + 17 - 1;
  Picture crop;
  crop.width = 20;
  crop.height = 17;
  crop.channels = 3;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 20; ++x)
      for (int ch = 0; ch < 3; ++ch) crop.data.push_back(static_cast<std::uint8_t>(src.at(x + 5, y + 3, ch)));
  ImageDescriptor cropped{};
  ToImage(crop, &cropped);
  EXPECT_EQ(SaveToMemory(&whole, 75, 0), SaveToMemory(&cropped, 75, 0));

  // An 8-bit image without the grey flag is saved through its palette as colour.
  ImageDescriptor pal{};
  ASSERT_EQ(img_alloc(&pal, 20, 17, 8), 0);
  pal.flags = 0;
  for (int i = 0; i < 256; ++i) {
    pal.palette[i].rgbRed = static_cast<BYTE>(i);
    pal.palette[i].rgbGreen = static_cast<BYTE>(255 - i);
    pal.palette[i].rgbBlue = static_cast<BYTE>((i * 7) & 255);
  }
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 20; ++x) {
      const int i = (x * 13 + y * 5) & 255;
      img_row(&pal, y)[x] = static_cast<BYTE>(i);
      BYTE* p = img_row(&cropped, y) + 3 * x;
      p[0] = pal.palette[i].rgbBlue;
      p[1] = pal.palette[i].rgbGreen;
      p[2] = pal.palette[i].rgbRed;
    }
  EXPECT_EQ(SaveToMemory(&pal, 75, 2), SaveToMemory(&cropped, 75, 2));
  img_free(&whole);
  img_free(&cropped);
  img_free(&pal);
}

TEST(JpegSave, FilesThroughTheExtensionTable) {
  const std::string path = std::string(TV_TEST_TMPDIR) + "/saved.jpg";
  ImageDescriptor d{};
  ToImage(ReadPnm(Fixture("src.ppm")), &d);
  // The table saves with the caller's quality and optimised tables.
  ASSERT_EQ(SaveImageFile(path.c_str(), &d, 75), 0);
  EXPECT_EQ(ReadBytes(path), ReadBytes(Fixture("enc_q75_opt.jpg")));
  ImageDescriptor back{};
  ASSERT_EQ(LoadImageFile(path.c_str(), &back), 0);
  EXPECT_EQ(FromImage(back).data, Decode(ReadBytes(path)).picture.data);
  img_free(&back);
  // Depths the codec does not write.
  ImageDescriptor one{};
  ASSERT_EQ(img_alloc(&one, 8, 8, 1), 0);
  EXPECT_EQ(jpeg_save(path.c_str(), &one, 75, 0), -26);
  EXPECT_EQ(jpeg_save((std::string(TV_TEST_TMPDIR) + "/no/such/dir/x.jpg").c_str(), &d, 75, 0), -10);
  img_free(&one);
  img_free(&d);
}

}  // namespace
