#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/File.h"
#include "platform/UrlFetcher.h"
#include "platform/testing/FakeUrlFetcher.h"

namespace fs = std::filesystem;

namespace {

std::string Scratch(const std::string& name) { return (fs::path(TV_TEST_TMPDIR) / name).string(); }

void WriteRaw(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every way of reading lines the callers use, flattened into one list.
std::vector<std::string> ReadAllWays(plat::File& f) {
  std::vector<std::string> out;
  char buf[5];
  while (f.Gets(buf, sizeof buf)) out.push_back(std::string("gets:") + buf);
  f.Seek(0, SEEK_SET);
  std::string line;
  while (f.ReadLine(line)) out.push_back("line:" + line);
  f.Seek(0, SEEK_SET);
  char all[64];
  out.push_back("read:" + std::string(all, f.Read(all, sizeof all)));
  return out;
}

}  // namespace

TEST(File, CrlfAndLfFilesGiveIdenticalLines) {
  // Includes a CRLF split by the fgets limit, an empty line, a lone CR and no final end.
  WriteRaw(Scratch("crlf.txt"), "abcd\r\n\r\nx\ry\r\nlast");
  WriteRaw(Scratch("lf.txt"), "abcd\n\nx\ry\nlast");
  plat::File a, b;
  ASSERT_TRUE(a.Open(Scratch("crlf.txt"), "rt"));
  ASSERT_TRUE(b.Open(Scratch("lf.txt"), "r"));
  auto la = ReadAllWays(a), lb = ReadAllWays(b);
  EXPECT_EQ(la, lb);
  EXPECT_EQ(la[0], "gets:abcd");
  EXPECT_EQ(la[1], "gets:\n");
  // Binary mode keeps the bytes.
  plat::File c;
  ASSERT_TRUE(c.Open(Scratch("crlf.txt"), "rb"));
  char buf[16];
  EXPECT_STREQ(c.Gets(buf, sizeof buf), "abcd\r\n");
}

TEST(File, TextWritersWriteLfAndCanRewriteALineInPlace) {
  plat::File f;
  ASSERT_TRUE(f.Open(Scratch("segy.txt"), "wt"));
  f.Puts("HEAD\n");
  long long at = f.Tell();
  f.Printf("SAMPLES %06d\n", 0);
  f.Printf("%.3f %g\n", 1.5, 2e-5);
  ASSERT_TRUE(f.Seek(at, SEEK_SET));
  f.Printf("SAMPLES %06d", 4096);
  f.Close();
  EXPECT_EQ(ReadRaw(Scratch("segy.txt")), "HEAD\nSAMPLES 004096\n1.500 2e-05\n");

  // Appending keeps what is there; "a+t" also reads from anywhere.
  ASSERT_TRUE(f.Open(Scratch("segy.txt"), "a+t"));
  f.Puts("END\n");
  f.Seek(0, SEEK_SET);
  std::string line;
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "HEAD");
  f.Close();
  EXPECT_EQ(ReadRaw(Scratch("segy.txt")), "HEAD\nSAMPLES 004096\n1.500 2e-05\nEND\n");
}

TEST(File, BinaryReadWriteInPlaceAndWritesPastTheEndExtend) {
  WriteRaw(Scratch("cat.aeh"), std::string("ABCDEFGH"));
  plat::File f;
  ASSERT_TRUE(f.Open(Scratch("cat.aeh"), "r+b"));  // no truncation
  EXPECT_EQ(f.GetLength(), 8);
  char two[2];
  ASSERT_EQ(f.Read(two, 2), 2u);
  f.Write("xy", 2);  // read then write without an explicit seek
  ASSERT_TRUE(f.Seek(12, SEEK_SET));
  f.Write("Z", 1);
  EXPECT_EQ(f.GetLength(), 13);
  ASSERT_TRUE(f.Seek(4, SEEK_SET));
  ASSERT_EQ(f.Read(two, 2), 2u);  // write then read
  EXPECT_EQ(std::string(two, 2), "EF");
  f.Close();
  EXPECT_EQ(ReadRaw(Scratch("cat.aeh")), std::string("ABxyEFGH\0\0\0\0Z", 13));

  EXPECT_FALSE(f.Open(Scratch("no-such.aeh"), "rb"));
  EXPECT_FALSE(f.Open(Scratch("no-such-dir/x.aeh"), "wb"));
  EXPECT_FALSE(f.IsOpen());
}

TEST(File, AddressesAreReadThroughTheInstalledFetcher) {
  plat::testing::FakeUrlFetcher fetcher;
  fetcher.Serve("http://host/tm.par", "A 1\r\nB 2\r\n");
  plat::File f;
  ASSERT_TRUE(plat::OpenUrl(f, "http://host/tm.par", true));
  std::string line;
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "A 1");
  EXPECT_FALSE(plat::OpenUrl(f, "ftp://host/missing", false));
  EXPECT_EQ(fetcher.requested.size(), 2u);
  fetcher.Serve("http://host/empty", "");
  ASSERT_TRUE(plat::OpenUrl(f, "http://host/empty", true));
  EXPECT_FALSE(f.ReadLine(line));
}

TEST(File, LibcurlFetcherReadsWholeContent) {
  // A file:// address exercises the real fetcher without a network.
  std::string bytes("\x00\x01\r\n\xff", 5);
  WriteRaw(Scratch("remote.bin"), bytes);
  auto got = plat::GetUrlFetcher().Fetch("file://" + Scratch("remote.bin"));
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(std::string(got->begin(), got->end()), bytes);
  EXPECT_FALSE(plat::GetUrlFetcher().Fetch("file://" + Scratch("absent.bin")).has_value());
}
