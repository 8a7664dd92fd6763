#include "platform/AviWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"

namespace {

std::string Tmp(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

std::vector<unsigned char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Chunk ids with their payload offsets, walking the RIFF tree (LISTs entered).
struct Chunk {
  std::string id;
  std::size_t at, size;
};
void Walk(const std::vector<unsigned char>& b, std::size_t from, std::size_t to,
          std::vector<Chunk>* out) {
  while (from + 8 <= to) {
    const std::string id(b.begin() + from, b.begin() + from + 4);
    const std::size_t size = le::GetU32(b.data() + from + 4);
    ASSERT_LE(from + 8 + size, to) << id << " runs past its parent";
    if (id == "LIST" || id == "RIFF") {
      out->push_back(
          {id + ":" + std::string(b.begin() + from + 8, b.begin() + from + 12), from + 8, size});
      Walk(b, from + 12, from + 8 + size, out);
    } else {
      out->push_back({id, from + 8, size});
    }
    from += 8 + size + (size & 1);
  }
}

int RunTool(const std::string& command, std::string* output) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output->clear();
  while (std::fgets(buf, sizeof buf, p)) *output += buf;
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(AviWriter, ChunksSizesAndIndexAfterClose) {
  const std::string path = Tmp("three.avi");
  plat::AviWriter avi;
  ASSERT_TRUE(avi.Open(path, 5, 2, 30, 100));
  ASSERT_EQ(avi.FrameBytes(), 32u);  // rows of 15 bytes padded to 16
  std::vector<BYTE> frame(32);
  for (int k = 0; k < 3; ++k) {
    std::fill(frame.begin(), frame.end(), static_cast<BYTE>(k + 1));
    ASSERT_TRUE(avi.AddFrame(frame.data()));
  }
  ASSERT_TRUE(avi.Close());
  const auto b = Bytes(path);
  ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(le::GetU32(b.data() + 4), b.size() - 8);
  std::vector<Chunk> chunks;
  Walk(b, 0, b.size(), &chunks);
  std::map<std::string, std::vector<Chunk>> byId;
  for (const Chunk& c : chunks) byId[c.id].push_back(c);
  ASSERT_EQ(byId["avih"].size(), 1u);
  const BYTE* avih = b.data() + byId["avih"][0].at;
  EXPECT_EQ(le::GetU32(avih + 16), 3u);  // total frames
  EXPECT_EQ(le::GetU32(avih + 32), 5u);
  EXPECT_EQ(le::GetU32(avih + 36), 2u);
  const BYTE* strh = b.data() + byId["strh"][0].at;
  EXPECT_EQ(std::string(strh, strh + 8), "vidsDIB ");
  EXPECT_EQ(le::GetU32(strh + 20), 1u);   // scale
  EXPECT_EQ(le::GetU32(strh + 24), 30u);  // rate
  EXPECT_EQ(le::GetU32(strh + 32), 3u);   // length
  EXPECT_EQ(le::GetU32(strh + 40), 0xFFFFFFFFu);
  const BYTE* strf = b.data() + byId["strf"][0].at;
  EXPECT_EQ(le::GetU16(strf + 14), 24u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + byId["strn"][0].at)), "Video #1");
  ASSERT_EQ(byId["00db"].size(), 3u);
  ASSERT_EQ(byId["idx1"].size(), 1u);
  ASSERT_EQ(byId["idx1"][0].size, 48u);
  const std::size_t movi = byId["LIST:movi"][0].at;  // the 'movi' fourcc
  for (int k = 0; k < 3; ++k) {
    const BYTE* e = b.data() + byId["idx1"][0].at + 16 * k;
    EXPECT_EQ(std::string(e, e + 4), "00db");
    EXPECT_EQ(le::GetU32(e + 4), 0x10u);  // key frame
    EXPECT_EQ(movi + le::GetU32(e + 8), byId["00db"][k].at - 8);
    EXPECT_EQ(b[byId["00db"][k].at], k + 1);
  }
}

// Through a compressor every frame is a chunk of its own size (odd sizes padded to even),
// indexed with that size; the handler names the stream and the frames' compression.
TEST(AviWriter, CompressedFramesKeepTheirOwnSizes) {
  const std::string path = Tmp("packed.avi");
  plat::AviCompressor c;
  std::memcpy(c.handler, "MJPG", 4);
  c.quality = 7500;
  int calls = 0;
  c.encode = [&calls](const BYTE* rows, std::vector<BYTE>* out) {
    ++calls;
    if (rows[0] == 0) return false;  // a frame the compressor cannot take
    out->assign(static_cast<std::size_t>(rows[0]), static_cast<BYTE>(rows[0] + 100));
    return true;
  };
  plat::AviWriter avi;
  ASSERT_TRUE(avi.Open(path, 5, 2, 30, 0, &c));
  std::vector<BYTE> frame(avi.FrameBytes());
  for (BYTE n : {3, 0, 8, 5}) {
    frame[0] = n;
    EXPECT_EQ(avi.AddFrame(frame.data()), n != 0);
  }
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(avi.Frames(), 3);
  ASSERT_TRUE(avi.Close());
  const auto b = Bytes(path);
  EXPECT_EQ(le::GetU32(b.data() + 4), b.size() - 8);
  std::vector<Chunk> chunks;
  Walk(b, 0, b.size(), &chunks);
  std::map<std::string, std::vector<Chunk>> byId;
  for (const Chunk& k : chunks) byId[k.id].push_back(k);
  const BYTE* strh = b.data() + byId["strh"][0].at;
  EXPECT_EQ(std::string(strh, strh + 8), "vidsMJPG");
  EXPECT_EQ(le::GetU32(strh + 36), 8u);  // suggested buffer: the largest frame
  EXPECT_EQ(le::GetU32(strh + 40), 7500u);
  const BYTE* strf = b.data() + byId["strf"][0].at;
  EXPECT_EQ(std::string(strf + 16, strf + 20), "MJPG");
  EXPECT_EQ(le::GetU32(strf + 20), 30u);  // 5 x 2 pixels of 3 bytes
  EXPECT_TRUE(byId["00db"].empty());
  ASSERT_EQ(byId["00dc"].size(), 3u);
  const std::size_t movi = byId["LIST:movi"][0].at;
  const std::uint32_t sizes[3] = {3, 8, 5};
  for (int k = 0; k < 3; ++k) {
    const Chunk& f = byId["00dc"][k];
    EXPECT_EQ(f.size, sizes[k]);
    EXPECT_EQ(b[f.at], sizes[k] + 100);
    const BYTE* e = b.data() + byId["idx1"][0].at + 16 * k;
    EXPECT_EQ(std::string(e, e + 4), "00dc");
    EXPECT_EQ(le::GetU32(e + 4), 0x10u);
    EXPECT_EQ(movi + le::GetU32(e + 8), f.at - 8);
    EXPECT_EQ(le::GetU32(e + 12), sizes[k]);
  }
}

TEST(AviWriter, FramesStopBeforeTheSizeLimitAndTheFileStaysValid) {
  const std::string path = Tmp("limited.avi");
  // Room for the headers and three 32-byte frames with their index entries.
  plat::AviWriter avi(242 + 3 * (8 + 32 + 16) + 8);
  ASSERT_TRUE(avi.Open(path, 5, 2, 30, 0));
  std::vector<BYTE> frame(32, 7);
  EXPECT_TRUE(avi.AddFrame(frame.data()));
  EXPECT_TRUE(avi.AddFrame(frame.data()));
  EXPECT_TRUE(avi.AddFrame(frame.data()));
  EXPECT_FALSE(avi.AddFrame(frame.data()));
  EXPECT_EQ(avi.Frames(), 3);
  ASSERT_TRUE(avi.Close());
  const auto b = Bytes(path);
  EXPECT_LE(b.size(), 242u + 3 * 56 + 8);
  std::vector<Chunk> chunks;
  Walk(b, 0, b.size(), &chunks);
  EXPECT_EQ(le::GetU32(b.data() + 4), b.size() - 8);
}

TEST(AviWriter, NothingWithoutAnOpenFile) {
  plat::AviWriter avi;
  std::vector<BYTE> frame(32);
  EXPECT_FALSE(avi.AddFrame(frame.data()));
  EXPECT_FALSE(avi.Open(Tmp("no/such/folder/x.avi"), 5, 2, 30, 0));
  EXPECT_FALSE(avi.AddFrame(frame.data()));
  EXPECT_FALSE(avi.Open(Tmp("zero.avi"), 0, 2, 30, 0));
}

TEST(AviWriter, FfprobeReadsFrameCountRateAndSize) {
  std::string out;
  if (RunTool("command -v ffprobe", &out) != 0) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  const std::string path = Tmp("probe.avi");
  plat::AviWriter avi;
  ASSERT_TRUE(avi.Open(path, 6, 4, 30, 1));
  std::vector<BYTE> frame(avi.FrameBytes(), 90);
  for (int k = 0; k < 7; ++k) ASSERT_TRUE(avi.AddFrame(frame.data()));
  ASSERT_TRUE(avi.Close());
  ASSERT_EQ(RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                    "stream=width,height,r_frame_rate,nb_read_frames,codec_name -of default=nw=1 " +
                        path,
                    &out),
            0)
      << out;
  EXPECT_NE(out.find("width=6\n"), std::string::npos) << out;
  EXPECT_NE(out.find("height=4\n"), std::string::npos) << out;
  EXPECT_NE(out.find("r_frame_rate=30/1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("nb_read_frames=7\n"), std::string::npos) << out;
}

}  // namespace
