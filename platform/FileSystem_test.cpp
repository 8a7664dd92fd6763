#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test under the test binary's scratch folder.
class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(TV_TEST_TMPDIR) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(root_);
    fs::create_directories(root_);
    plat::InvalidateFolderCache();
  }
  std::string P(const std::string& rel) const { return (root_ / rel).string(); }
  void Touch(const std::string& rel, const std::string& content = "x") const {
    fs::create_directories((root_ / rel).parent_path());
    std::ofstream(root_ / rel, std::ios::binary) << content;
  }
  fs::path root_;
};

}  // namespace

TEST_F(FsTest, ExistingNamesAreFoundWhateverTheirCase) {
  Touch("N.02/002000.WAV", "wave");
  Touch("exp/Test.PAD");
  Touch("exp/sub/a.sg2");
  struct Case {
    const char* asked;
    const char* resolved;  // relative to the root
    bool exists;
  } cases[] = {
      {"n.02/002000.wav", "N.02/002000.WAV", true},
      {"N.02\\002000.wav", "N.02/002000.WAV", true},
      {"N.02/002000.WAV", "N.02/002000.WAV", true},
      {"EXP/test.pad", "exp/Test.PAD", true},
      {"Exp\\SUB\\A.SG2", "exp/sub/a.sg2", true},
      // Missing names keep the case given; existing folders before them are resolved.
      {"n.02/002001.wav", "N.02/002001.wav", false},
      {"EXP/new.PK1", "exp/new.PK1", false},
      {"nope/Test.PAD", "nope/Test.PAD", false},
      {"exp/test.pad/x", "exp/Test.PAD/x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plat::ResolvePath(P(c.asked)), P(c.resolved)) << c.asked;
    EXPECT_EQ(plat::FileExists(P(c.asked)), c.exists) << c.asked;
  }
  EXPECT_TRUE(plat::FolderExists(P("n.02")));
  EXPECT_FALSE(plat::FileExists(P("n.02")));

  plat::File f;
  ASSERT_TRUE(f.Open(P("n.02/002000.wav"), "rb"));
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, sizeof buf), 4u);
  EXPECT_STREQ(buf, "wave");
}

TEST_F(FsTest, RelativePathsResolveAgainstTheCurrentFolder) {
  Touch("Data/Event.TXT");
  std::string old = plat::GetCurrentFolder();
  ASSERT_TRUE(plat::SetCurrentFolder(P("DATA")));
  EXPECT_EQ(plat::ResolvePath("event.txt"), "Event.TXT");
  EXPECT_EQ(plat::ResolvePath("..\\data\\event.txt"), "../Data/Event.TXT");
  ASSERT_TRUE(plat::SetCurrentFolder(old));
}

TEST_F(FsTest, CachedListingsSeeFilesCreatedLater) {
  Touch("ev/000001.WAV");
  const fs::path folder = root_ / "ev";
  const auto old = fs::last_write_time(folder) - std::chrono::hours(1);
  fs::last_write_time(folder, old);
  EXPECT_FALSE(plat::FileExists(P("ev/000002.wav")));  // the miss caches the listing
  // Written by this program under an upper-case name, even when the folder's time
  // stamp does not move (a change within one tick of the file-system clock)...
  plat::File f;
  ASSERT_TRUE(f.Open(P("ev/000002.WAV"), "wb"));
  f.Close();
  fs::last_write_time(folder, old);
  EXPECT_TRUE(plat::FileExists(P("ev/000002.wav")));
  // ...or by another program (the acquisition system) behind our back.
  EXPECT_FALSE(plat::FileExists(P("ev/000003.wav")));
  Touch("ev/000003.WAV");
  EXPECT_TRUE(plat::FileExists(P("ev/000003.wav")));
}

TEST(Wildcard, FollowsWindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.wav", "002000.WAV", true},   {"*.wav", "a.wave", false},     {"*.wav", "wav", false},
      {"*.*", "README", true},         {"*.*", "a.b.c", true},         {"*", "anything.x", true},
      {"T_*.*", "T_000001.sg2", true}, {"T_*.*", "t_noext", true},     {"T_*.*", "TX.sg2", false},
      {"*.sg2", "x.SG2", true},        {"?.wav", "a.wav", true},       {"?.wav", "ab.wav", false},
      {"*.", "noext", true},           {"*.", "a.b", false},           {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plat::MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST_F(FsTest, ListingsAreSortedWithoutRegardToCase) {
  for (const char* n : {"b.wav", "A.WAV", "c.Wav", "d.txt", ".hidden.wav"}) Touch(std::string("s/") + n);
  fs::create_directories(root_ / "s" / "E.wav");
  auto found = plat::FindFiles(P("S\\*.wav"));
  std::vector<std::string> names;
  for (const auto& f : found) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden.wav", "A.WAV", "b.wav", "c.Wav", "E.wav"}));
  EXPECT_TRUE(found.back().isFolder);
  EXPECT_FALSE(found.front().isFolder);
  EXPECT_EQ(plat::FindFiles(P("s/*.*")).size(), 6u);  // never "." or ".."
  EXPECT_TRUE(plat::FindFiles(P("missing/*.*")).empty());
}

TEST_F(FsTest, RenameNeverReplacesAnExistingTarget) {
  Touch("r/000001.sg2", "one");
  Touch("r/000002.SG2", "two");
  EXPECT_FALSE(plat::RenameFile(P("r/000001.sg2"), P("r/000002.SG2")));
  EXPECT_FALSE(plat::RenameFile(P("r/000001.sg2"), P("r/000002.sg2")));  // same file, other case
  EXPECT_FALSE(plat::RenameFile(P("r/missing.sg2"), P("r/000009.sg2")));
  auto read = [&](const std::string& rel) {
    std::ifstream in(root_ / rel);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read("r/000001.sg2"), "one");
  EXPECT_EQ(read("r/000002.SG2"), "two");
  EXPECT_TRUE(plat::RenameFile(P("R\\000001.SG2"), P("r/X_000001.sg2")));
  EXPECT_EQ(read("r/X_000001.sg2"), "one");
  EXPECT_FALSE(fs::exists(root_ / "r/000001.sg2"));
  // A file may take its own name in another case.
  EXPECT_TRUE(plat::RenameFile(P("r/x_000001.sg2"), P("r/X_000001.SG2")));
  EXPECT_TRUE(fs::exists(root_ / "r/X_000001.SG2"));
}

TEST_F(FsTest, FoldersAreCreatedOneLevelAtATime) {
  Touch("F/x");
  EXPECT_TRUE(plat::CreateFolder(P("f\\F.01")));
  EXPECT_TRUE(fs::is_directory(root_ / "F/F.01"));
  EXPECT_FALSE(plat::CreateFolder(P("f/f.01")));      // exists (other case)
  EXPECT_FALSE(plat::CreateFolder(P("f/a/b")));       // parent missing
  EXPECT_TRUE(plat::FolderExists(P("F/f.01")));
  EXPECT_TRUE(plat::RemoveFolder(P("f/f.01")));
  EXPECT_FALSE(plat::FolderExists(P("F/F.01")));
}

TEST_F(FsTest, TempFilesFreeSpaceAndDeletion) {
  std::string t1 = plat::TempFileName(P(""), "NEW");
  std::string t2 = plat::TempFileName(P(""), "NEW");
  ASSERT_FALSE(t1.empty());
  EXPECT_NE(t1, t2);
  EXPECT_TRUE(fs::path(t1).filename().string().rfind("NEW", 0) == 0);
  EXPECT_TRUE(plat::FileExists(t1));
  EXPECT_TRUE(plat::DeleteFile(t1));
  EXPECT_FALSE(plat::FileExists(t1));
  EXPECT_FALSE(plat::DeleteFile(t1));
  EXPECT_GT(plat::FreeBytes(P("")).value_or(0), 0u);
  EXPECT_FALSE(plat::FreeBytes(P("no/such/folder")).has_value());
}
