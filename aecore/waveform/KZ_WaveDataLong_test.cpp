#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/Seg2TestFile.h"
#include "platform/ByteOrder.h"
#include "platform/Strings.h"

using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

// Long record: `channels` channels of `n` 16-bit samples, channel after channel; sample
// j of channel c holds 100 c + j % 100 (so every sample tells where it came from).
std::vector<std::uint8_t> LongRecord(int channels, int n) {
  std::vector<std::uint8_t> b(2u * channels * n);
  for (int c = 0; c < channels; ++c)
    for (int j = 0; j < n; ++j)
      le::PutI16(b.data() + 2u * (c * n + j), static_cast<std::int16_t>(100 * c + j % 100));
  return b;
}

// Its description: one SEG-2 trace per channel with its interval in microseconds.
void WriteDescription(const std::string& path, int channels, const char* startSec) {
  std::vector<tv_test::Seg2Trace> traces(channels);
  for (int c = 0; c < channels; ++c) {
    traces[c].strings = {"SAMPLE_INTERVAL 0.5", plat::Format("DESCALING_FACTOR %d", c + 2),
                         plat::Format("RECEIVER_LOCATION 1 2 %d", c)};
    traces[c].samples = 0;
  }
  WriteBytes(path, tv_test::BuildSeg2({std::string("TIME_SEC_USEC ") + startSec}, traces));
}

struct Reading {
  KZ_WaveHeader h;
  KZ_TraceList t;
  Reading() { KZ_ResetWaveHeader(h); }
};

}  // namespace

TEST(LongRange, ReadsBlocksOfEveryChannelWithTheirTimeAndReusesTheTraces) {
  const std::string dir = TmpDir("long_range");
  WriteBytes(dir + "/rec.lng", LongRecord(3, 1000));
  WriteDescription(dir + "/rec.sg2", 3, "100 999900");
  Reading r;
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/rec.lng", r.h, r.t, 200, 300));
  ASSERT_EQ(3u, r.t.size());
  EXPECT_EQ(3, r.h.nChannels);
  for (int c = 0; c < 3; ++c) {
    const KZ_WaveTrace& t = *r.t[c];
    EXPECT_EQ(100, t.m_n);
    EXPECT_DOUBLE_EQ(c + 2, t.m_fDescale);  // the description's fields
    EXPECT_DOUBLE_EQ(c, t.m_fReceiver[2]);
    EXPECT_EQ(100 * c, t.m_pData[0]);
    EXPECT_EQ(100 * c + 99, t.m_pData[99]);
  }
  // 100 s + 999900 us + 200 samples of 0.5 us.
  EXPECT_EQ(101, r.h.nStartSec);
  EXPECT_EQ(0, r.h.nStartUsec);
  EXPECT_EQ(200, r.h.nFirstSample);
  EXPECT_STREQ(("2 / 10 from " + dir + "/rec.lng").c_str(), r.h.szComments);

  // A second call with the same header refills the same traces; a new length resizes them.
  const KZ_WaveTrace* first = r.t[0].get();
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/rec.lng", r.h, r.t, 450, 500));
  ASSERT_EQ(3u, r.t.size());
  EXPECT_EQ(first, r.t[0].get());
  EXPECT_EQ(50, r.t[2]->m_n);
  EXPECT_EQ(250, r.t[2]->m_pData[0]);
  EXPECT_EQ(299, r.t[2]->m_pData[49]);
  EXPECT_EQ(450, r.h.nFirstSample);
}

TEST(LongRange, RefusesRangesOutsideTheRecordAndAppendsNothing) {
  const std::string dir = TmpDir("long_range_bad");
  WriteBytes(dir + "/rec.lng", LongRecord(2, 1000));
  WriteDescription(dir + "/rec.sg2", 2, "0 0");
  struct Case {
    std::int64_t start, end;
  };
  // Block index equal to the number of blocks; a range running into the next channel;
  // an empty or reversed range; a negative start.
  for (const Case c : {Case{1000, 1100}, Case{950, 1050}, Case{500, 500}, Case{-100, 0}}) {
    Reading r;
    EXPECT_EQ(0, KZ_WaveData_ReadLongRange(dir + "/rec.lng", r.h, r.t, c.start, c.end))
        << c.start << ".." << c.end;
    EXPECT_TRUE(r.t.empty());
  }
  Reading r;
  EXPECT_EQ(0, KZ_WaveData_ReadLongRange(dir + "/missing.lng", r.h, r.t, 0, 10));
  EXPECT_TRUE(r.t.empty());
}

TEST(LongRange, TheDescriptionOfAnotherRecordingIsNotReused) {
  const std::string dir = TmpDir("long_range_two");
  WriteBytes(dir + "/a.lng", LongRecord(2, 400));
  WriteDescription(dir + "/a.sg2", 2, "10 0");
  WriteBytes(dir + "/b.lng", LongRecord(4, 400));
  WriteDescription(dir + "/b.sg2", 4, "20 0");
  Reading a, b, a2;
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/a.lng", a.h, a.t, 0, 100));
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/b.lng", b.h, b.t, 0, 100));
  EXPECT_EQ(4u, b.t.size());
  EXPECT_EQ(20, b.h.nStartSec);
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/a.lng", a.h, a.t, 100, 200));
  EXPECT_EQ(10, a.h.nStartSec);
  EXPECT_EQ(50, a.h.nStartUsec);
}

TEST(LongRange, DispatchLooksAtTheFileNameOnly) {
  // "company" holds "any" and "saq" would send it elsewhere: the folder must not count.
  const std::string dir = TmpDir("long_range_company_saq");
  WriteBytes(dir + "/rec.lng", LongRecord(1, 400));
  WriteDescription(dir + "/rec.sg2", 1, "0 0");
  Reading r;
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/rec.lng", r.h, r.t, 0, 100));
  EXPECT_EQ(1u, r.t.size());
}

// ---------------------------------------------------------------- raw and TDMS

namespace {

// Raw segmented file: segments of `seg` samples per channel, channel after channel;
// sample j (counted over the whole recording) of channel c is value(c, j).
std::vector<std::uint8_t> RawFile(int bytes, int channels, int seg, int segments,
                                  const std::function<std::int32_t(int, int)>& value) {
  std::vector<std::uint8_t> b;
  for (int s = 0; s < segments; ++s)
    for (int c = 0; c < channels; ++c)
      for (int j = 0; j < seg; ++j) {
        const std::size_t at = b.size();
        b.resize(at + bytes);
        if (bytes == 4)
          le::PutI32(b.data() + at, value(c, s * seg + j));
        else
          le::PutI16(b.data() + at, static_cast<std::int16_t>(value(c, s * seg + j)));
      }
  return b;
}

// TDMS segment: the 28-byte lead-in, `meta` bytes of metadata, then interleaved frames.
std::vector<std::uint8_t> TdmsFile(int bytes, int channels, int frames, int meta,
                                   const std::function<std::int32_t(int, int)>& value) {
  std::vector<std::uint8_t> b(28 + meta, 0xEE);
  std::memcpy(b.data(), "TDSm", 4);
  le::PutU32(b.data() + 4, 0x0E);
  le::PutU32(b.data() + 8, 4713);
  le::PutU64(b.data() + 12, static_cast<std::uint64_t>(meta) + frames * channels * bytes);
  le::PutU64(b.data() + 20, static_cast<std::uint64_t>(meta));
  for (int j = 0; j < frames; ++j)
    for (int c = 0; c < channels; ++c) {
      const std::size_t at = b.size();
      b.resize(at + bytes);
      if (bytes == 4)
        le::PutI32(b.data() + at, value(c, j));
      else
        le::PutI16(b.data() + at, static_cast<std::int16_t>(value(c, j)));
    }
  return b;
}

std::int32_t Tag(int c, int j) { return (c + 1) * 1000 + j % 1000; }

}  // namespace

TEST(RawBlock, ReadsOneSegmentOfEveryChannelIn16And24Bits) {
  const std::string dir = TmpDir("raw_block");
  struct Case {
    int bits, bytes;
    std::int32_t big;  // a value only the wider samples hold
  };
  for (const Case k : {Case{16, 2, -32768}, Case{24, 4, -8388608}}) {
    const std::string path = dir + plat::Format("/saq_bit%d_chn3_seg100.bin", k.bits);
    WriteBytes(path, RawFile(k.bytes, 3, 100, 4,
                             [&](int c, int j) { return j == 200 && c == 2 ? k.big : Tag(c, j); }));
    Reading r;
    ASSERT_EQ(1, KZ_WaveData_ReadLongRange(path, r.h, r.t, 200, 250)) << k.bits;
    ASSERT_EQ(3u, r.t.size());
    EXPECT_EQ(3, r.h.nChannels);
    EXPECT_EQ(0, r.h.nStartSec);
    EXPECT_EQ(200, r.h.nStartUsec);
    EXPECT_STREQ("NONE", r.h.szUnits);
    for (int c = 0; c < 3; ++c) {
      const KZ_WaveTrace& t = *r.t[c];
      EXPECT_EQ(50, t.m_n);
      EXPECT_EQ(c, t.m_nChannel);
      EXPECT_DOUBLE_EQ(c + 1, t.m_fReceiver[2]);
      EXPECT_DOUBLE_EQ(1e-6, t.m_fInterval);
      EXPECT_DOUBLE_EQ(1000.0 / std::ldexp(1.0, k.bits), t.m_fDescale);
      EXPECT_EQ(c == 2 ? k.big : Tag(c, 200), t.m_pData[0]);
      EXPECT_EQ(Tag(c, 249), t.m_pData[49]);
    }
  }
}

TEST(RawBlock, RefusesRangesTheSegmentsDoNotHold) {
  const std::string dir = TmpDir("raw_block_bad");
  const std::string path = dir + "/saq_chn2_seg100.bin";
  WriteBytes(path, RawFile(2, 2, 100, 3, Tag));
  struct Case {
    std::int64_t start, end;
  };
  // Not a multiple of seg; longer than a segment; past the end; at the very end.
  for (const Case c :
       {Case{150, 200}, Case{100, 250}, Case{300, 350}, Case{200, 300}, Case{-100, 0}}) {
    Reading r;
    EXPECT_EQ(0, KZ_ReadRawBlock(path, r.h, r.t, c.start, c.end)) << c.start << ".." << c.end;
    EXPECT_TRUE(r.t.empty());
  }
  // A name asking for segments far longer than the file.
  const std::string huge = dir + "/saq_chn2_seg100000000.bin";
  WriteBytes(huge, RawFile(2, 2, 100, 3, Tag));
  Reading none;
  EXPECT_EQ(0, KZ_ReadRawBlock(huge, none.h, none.t, 0, 50));
  EXPECT_TRUE(none.t.empty());
  Reading r;
  ASSERT_EQ(1, KZ_ReadRawBlock(path, r.h, r.t, 100, 100));  // empty range: one segment
  EXPECT_EQ(100, r.t[0]->m_n);
  EXPECT_EQ(Tag(1, 199), r.t[1]->m_pData[99]);
}

TEST(TdmsBlock, DeinterleavesFramesAfterTheRawDataOffset) {
  const std::string dir = TmpDir("tdms_block");
  for (int bits : {16, 24}) {
    const int bytes = bits > 16 ? 4 : 2;
    const std::string path = dir + plat::Format("/saq_tdms_bit%d_chn4_seg64.tdms", bits);
    WriteBytes(path, TdmsFile(bytes, 4, 300, 37, Tag));
    Reading r;
    ASSERT_EQ(1, KZ_WaveData_ReadLongRange(path, r.h, r.t, 101, 141)) << bits;
    ASSERT_EQ(4u, r.t.size());
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(40, r.t[c]->m_n);
      EXPECT_EQ(Tag(c, 101), r.t[c]->m_pData[0]);
      EXPECT_EQ(Tag(c, 140), r.t[c]->m_pData[39]);
    }
    EXPECT_EQ(101, r.h.nFirstSample);
  }
  // More than 32 channels, a range past the frames, a raw-data offset past the end.
  Reading r;
  const std::string wide = dir + "/x_tdms_chn33.tdms";
  WriteBytes(wide, TdmsFile(2, 33, 100, 0, Tag));
  EXPECT_EQ(0, KZ_ReadRawBlock(wide, r.h, r.t, 0, 10));
  const std::string small = dir + "/x_tdms_chn2_seg50.tdms";
  WriteBytes(small, TdmsFile(2, 2, 100, 0, Tag));
  EXPECT_EQ(0, KZ_ReadRawBlock(small, r.h, r.t, 80, 120));
  std::vector<std::uint8_t> broken = TdmsFile(2, 2, 100, 0, Tag);
  le::PutU64(broken.data() + 20, 1u << 30);
  WriteBytes(small, broken);
  EXPECT_EQ(0, KZ_ReadRawBlock(small, r.h, r.t, 0, 10));
  EXPECT_TRUE(r.t.empty());
}

// ---------------------------------------------------------------- paired windows

namespace {

// Frames of 16 unsigned values; channel slot s of frame j is 32768 + value(s, j).
std::vector<std::uint8_t> AnyFile(int frames, const std::function<int(int, int)>& value) {
  std::vector<std::uint8_t> b(32u * frames);
  for (int j = 0; j < frames; ++j)
    for (int s = 0; s < 16; ++s)
      le::PutU16(b.data() + 32u * j + 2u * s, static_cast<std::uint16_t>(32768 + value(s, j)));
  return b;
}

}  // namespace

TEST(AnyWindow, StepsToTheFirstWindowWhereMoreThanThreeChannelsTrigger) {
  const std::string dir = TmpDir("any_window");
  // Windows start 3000 frames apart; a channel triggers above 50 counts in samples
  // 2000-2999 of a window. Frame 5500 lies there in the window at 3000, where only three
  // channels of A rise to 80; frame 8500 in the window at 6000, where three channels of
  // A and two of B do. Slots 2, 3, 6, ... are not read: their bursts must not count.
  const int early = 5500, burst = 8500;
  auto a = [&](int s, int j) {
    if (j == early) return s == 0 || s == 4 || s == 8 || s == 2 || s == 3 ? 80 : s;
    return j == burst && (s == 0 || s == 4 || s == 8) ? 80 : s;
  };
  auto b = [&](int s, int j) { return j == burst && (s == 1 || s == 12) ? 80 : -s; };
  WriteBytes(dir + "/any_run_A.dat", AnyFile(20000, a));
  WriteBytes(dir + "/any_run_B.dat", AnyFile(20000, b));
  Reading r;
  ASSERT_EQ(1, KZ_WaveData_ReadLongRange(dir + "/any_run_A.dat", r.h, r.t, 0, 6000));
  ASSERT_EQ(16u, r.t.size());
  EXPECT_EQ(6000, r.h.nFirstSample);
  EXPECT_EQ(0, r.h.nStartSec);
  EXPECT_EQ(2000, r.h.nStartUsec);
  // Trace order: the used slots 0, 1, 4, 5, 8, 9, 12, 13 of A, then of B.
  EXPECT_EQ(80, r.t[0]->m_pData[burst - 6000]);
  EXPECT_EQ(5, r.t[3]->m_pData[0]);
  EXPECT_EQ(80, r.t[9]->m_pData[burst - 6000]);
  EXPECT_EQ(-13, r.t[15]->m_pData[0]);
  EXPECT_DOUBLE_EQ(100.0 / 65536.0, r.t[0]->m_fDescale);
  EXPECT_NEAR(1.0 / 3.0, r.t[0]->m_fInterval, 1e-12);
}

TEST(AnyWindow, WithoutTriggerKeepsTheLastWindowAndRefusesBadRanges) {
  const std::string dir = TmpDir("any_window_quiet");
  WriteBytes(dir + "/q_A.dat", AnyFile(12000, [](int, int) { return 0; }));
  WriteBytes(dir + "/q_B.dat", AnyFile(8500, [](int, int) { return 0; }));
  Reading r;
  // Windows at 0 and 3000; the one at 6000 would pass the end of A; B ends earlier.
  ASSERT_EQ(1, KZ_ReadAnyWindow(dir + "/q_A.dat", r.h, r.t, 0, 3000));
  EXPECT_EQ(16u, r.t.size());
  EXPECT_EQ(3000, r.h.nFirstSample);
  for (auto c : {std::pair<std::int64_t, std::int64_t>{0, 7000}, {9000, 12000}, {-5, 100}}) {
    Reading bad;
    EXPECT_EQ(0, KZ_ReadAnyWindow(dir + "/q_A.dat", bad.h, bad.t, c.first, c.second));
    EXPECT_TRUE(bad.t.empty());
  }
  Reading missingPartner;
  WriteBytes(dir + "/solo_A.dat", AnyFile(7000, [](int, int) { return 0; }));
  EXPECT_EQ(0, KZ_ReadAnyWindow(dir + "/solo_A.dat", missingPartner.h, missingPartner.t, 0, 100));
  EXPECT_TRUE(missingPartner.t.empty());
}

// ---------------------------------------------------------------- damaged input

TEST(LongRange, TruncatedOrCorruptedFilesAppendNothingWhenRefused) {
  const std::string dir = TmpDir("long_range_damage");
  WriteDescription(dir + "/rec.sg2", 2, "0 0");
  struct File {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::int64_t start, end;
  };
  const File files[] = {
      {"rec.lng", LongRecord(2, 300), 100, 150},
      {"saq_chn2_seg100.bin", RawFile(2, 2, 100, 3, Tag), 100, 150},
      {"saq_tdms_bit24_chn3_seg64.tdms", TdmsFile(4, 3, 200, 5, Tag), 10, 60},
      {"any_x.dat", AnyFile(7000, [](int, int) { return 0; }), 0, 100},
  };
  for (const File& f : files) {
    const std::size_t step = std::max<std::size_t>(1, f.bytes.size() / 60);
    for (std::size_t cut = 0; cut <= f.bytes.size(); cut += step) {
      for (int corrupt : {0, 1}) {
        std::vector<std::uint8_t> b(f.bytes.begin(),
                                    f.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        if (corrupt && !b.empty()) b[(cut * 7919) % std::min<std::size_t>(b.size(), 40)] ^= 0xA5;
        WriteBytes(dir + "/" + f.name, b);
        Reading r;
        const int got = KZ_WaveData_ReadLongRange(dir + "/" + f.name, r.h, r.t, f.start, f.end);
        if (got == 0) {
          EXPECT_TRUE(r.t.empty()) << f.name << " " << cut;
        }
        EXPECT_EQ(static_cast<int>(r.t.size()), r.h.nChannels) << f.name << " " << cut;
        for (const auto& t : r.t)
          EXPECT_LE(t->m_n, static_cast<int>(t->m_pData.size())) << f.name << " " << cut;
      }
    }
  }
}
