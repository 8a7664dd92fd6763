#include "imagefiles/img_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(MemorySource, SlotsReadsAndSeeks) {
  BYTE data[50];
  for (int i = 0; i < 50; ++i) data[i] = static_cast<BYTE>(i);
  EXPECT_EQ(mem_source_open(data, 50, GENERIC_WRITE), -1);
  int slots[4];
  for (int i = 0; i < 4; ++i) slots[i] = mem_source_open(data, 50, GENERIC_READ);
  EXPECT_EQ(slots[0], 1);
  EXPECT_EQ(slots[3], 4);
  EXPECT_EQ(mem_source_open(data, 50, GENERIC_READ), -1);  // a fifth

  BYTE buf[100];
  DWORD done = 99;
  EXPECT_EQ(mem_source_seek(slots[0], 40, STREAM_BEGIN), 40);
  EXPECT_EQ(mem_source_read(slots[0], buf, 100, &done), 1);
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(buf[0], 40);
  EXPECT_EQ(mem_source_read(slots[0], buf, 100, &done), 1);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(mem_source_seek(slots[0], -5, STREAM_END), 45);
  EXPECT_EQ(mem_source_seek(slots[0], 2, STREAM_CURRENT), 47);
  EXPECT_EQ(mem_source_read(9, buf, 1, &done), 0);
  EXPECT_EQ(mem_source_seek(0, 0, STREAM_BEGIN), -1);
  for (int s : slots) EXPECT_EQ(mem_source_close(s), 1);
  EXPECT_EQ(mem_source_close(slots[0]), 0);

  int s = mem_source_open(nullptr, 0, GENERIC_READ);
  EXPECT_EQ(mem_source_seek(s, 7, STREAM_END), 7);
  mem_source_close(s);
}

TEST(MemorySink, GatherPlacesChunksByPosition) {
  int s = mem_sink_open();
  ASSERT_GT(s, 0);
  DWORD done = 0;
  const BYTE first[4] = {1, 2, 3, 4}, second[2] = {9, 8};
  ASSERT_EQ(mem_sink_write(s, first, 4, &done), 1);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(mem_sink_seek(s, 0, STREAM_BEGIN), 0);
  ASSERT_EQ(mem_sink_write(s, second, 2, &done), 1);
  ImgMem block = nullptr;
  ASSERT_EQ(mem_sink_gather(s, &block), 0);
  // A rewrite after seeking back does not lengthen the result.
  ASSERT_EQ(ImgMemSize(block), 4u);
  const BYTE* p = ImgMemLock(block);
  EXPECT_EQ(std::vector<BYTE>(p, p + 4), (std::vector<BYTE>{9, 8, 3, 4}));
  ImgMemFree(block);
  EXPECT_EQ(mem_sink_close(s), 1);

  s = mem_sink_open();
  ASSERT_EQ(mem_sink_write(s, nullptr, 0, &done), 1);
  EXPECT_EQ(mem_sink_gather(s, &block), -14);
  mem_sink_close(s);
  EXPECT_EQ(mem_sink_gather(s, &block), -14);
}

TEST(StreamBinding, FileAndMemoryWritersEndAlike) {
  std::string path = std::string(TV_TEST_TMPDIR) + "/stream.bin";
  StreamBinding b;
  ASSERT_EQ(stream_open_write(&b, path.c_str(), nullptr), 0);
  ASSERT_TRUE(stream_write_all(&b, "abcdef", 6));
  EXPECT_EQ(stream_finish_write(&b, path.c_str(), nullptr, 0), 0);
  ASSERT_EQ(stream_open_read(&b, path.c_str(), nullptr, 0), 0);
  EXPECT_EQ(stream_length(&b), 6);
  char buf[8] = {};
  EXPECT_EQ(stream_read(&b, buf, 8), 6u);
  stream_close(&b);

  // A failed save deletes its file.
  ASSERT_EQ(stream_open_write(&b, path.c_str(), nullptr), 0);
  EXPECT_EQ(stream_finish_write(&b, path.c_str(), nullptr, -3), -3);
  EXPECT_FALSE(file_exists(path.c_str()));
  EXPECT_EQ(stream_open_read(&b, path.c_str(), nullptr, 0), -4);
  EXPECT_EQ(stream_open_write(&b, TV_TEST_TMPDIR "/no/such/dir/x.bin", nullptr), -10);

  // Without a path the finished block goes to the caller.
  ImgMem out = reinterpret_cast<ImgMem>(1);
  ASSERT_EQ(stream_open_write(&b, nullptr, &out), 0);
  EXPECT_EQ(out, nullptr);
  ASSERT_TRUE(stream_write_all(&b, "xyz", 3));
  EXPECT_EQ(stream_finish_write(&b, nullptr, &out, 0), 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::memcmp(ImgMemLock(out), "xyz", 3), 0);
  ImgMemFree(out);

  // Existing files are found whatever the case of the name.
  std::string mixed = std::string(TV_TEST_TMPDIR) + "/Mixed.BIN";
  ASSERT_EQ(stream_open_write(&b, mixed.c_str(), nullptr), 0);
  ASSERT_TRUE(stream_write_all(&b, "q", 1));
  ASSERT_EQ(stream_finish_write(&b, mixed.c_str(), nullptr, 0), 0);
  EXPECT_EQ(stream_open_read(&b, (std::string(TV_TEST_TMPDIR) + "/mixed.bin").c_str(), nullptr, 0), 0);
  stream_close(&b);

  // Backslashes separate folders too.
  std::string back = std::string(TV_TEST_TMPDIR) + "\\stream2.bin";
  ASSERT_EQ(stream_open_write(&b, back.c_str(), nullptr), 0);
  stream_finish_write(&b, back.c_str(), nullptr, 0);
  EXPECT_TRUE(file_exists((std::string(TV_TEST_TMPDIR) + "/stream2.bin").c_str()));
}

}  // namespace
