#include "base/util/KZ_FileUtil.h"

#include <gtest/gtest.h>

#include "base/base_test_support.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_InetFile.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/testing/FakeUrlFetcher.h"
#include "platform/testing/ScriptedUi.h"

using plat::testing::Prompt;
using plat::testing::ScriptedUi;
using tv_test::TmpPath;

namespace {

void WriteFile(const std::string& path, const std::string& text) {
  plat::File f;
  ASSERT_TRUE(f.Open(path, "wt"));
  f.Puts(text);
}

}  // namespace

TEST(Paths, SplitFolderNameAndExtension) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
    const char* bare;
    const char* ext;
  };
  const Case cases[] = {
      {"D:\\data/run1\\x.kv0", "D:\\data/run1\\", "x.kv0", "x", "kv0"},
      {"a.b.c", "", "a.b.c", "a.b", "c"},
      {".profile", "", ".profile", "", ""},
      {"/home/u/name.kv0", "/home/u/", "name.kv0", "name", "kv0"},
      {"D:\\exp\\N.02\\002000", "D:\\exp\\N.02\\", "002000", "002000",
       ""},  // dots of folders do not count
      {"noext", "", "noext", "noext", ""},
      {"dir/", "dir/", "", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(KZ_GetFolder(c.path), c.folder);
    EXPECT_EQ(KZ_GetFileName(c.path, 0), c.name);
    EXPECT_EQ(KZ_GetFileName(c.path, 1), c.bare);
    EXPECT_EQ(KZ_GetFileExt(c.path), c.ext);
  }
  EXPECT_EQ(KZ_HasSuffix("DATA.HIS", ".his"), 1);
  EXPECT_EQ(KZ_HasSuffix("x.kv0", "KV0"), 1);
  EXPECT_EQ(KZ_HasSuffix("x.kv0", ".aew"), 0);
  EXPECT_EQ(KZ_HasSuffix("v0", ".kv0"), 0);
  EXPECT_EQ(KZ_HasSuffix("x", nullptr), 0);
}

TEST(Paths, FileExists) {
  const std::string path = TmpPath("Exists.TXT");
  WriteFile(path, "x");
  EXPECT_EQ(KZ_FileExists(path.c_str()), 1);
  EXPECT_EQ(KZ_FileExistsStr(TmpPath("exists.txt")), 1);  // found whatever the case
  EXPECT_EQ(KZ_FileExists(TmpPath("missing.txt").c_str()), 0);
  EXPECT_EQ(KZ_FileExists(TV_TEST_TMPDIR), 0);  // a folder is not a file
  EXPECT_EQ(KZ_FileExists(nullptr), 0);
}

TEST(Dialogs, OpenAndSaveGoThroughTheUiServices) {
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", std::string("/x/a.pad"));
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", std::nullopt);
  ui.ExpectFileDialog(Prompt::SaveFile, "Parameter file", std::string("/x/b.txt"));
  const char* filter = "Parameter file(*.pad;*.par)|*.pad;*.par||";
  EXPECT_EQ(KZ_OpenFileDialog("Load parameters", filter), "/x/a.pad");
  EXPECT_EQ(KZ_OpenFileDialog("Load parameters", filter), "");
  EXPECT_EQ(KZ_SaveFileDialog("Parameter file for ML_CC_AE", "Text|*.txt||"), "/x/b.txt");
  ASSERT_EQ(ui.Shown().size(), 3u);
  EXPECT_EQ(ui.Shown()[0].filter, filter);
  EXPECT_TRUE(ui.Shown()[0].type & OFN_FILEMUSTEXIST);
  EXPECT_EQ(ui.Shown()[2].type, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
}

TEST(Dialogs, FolderAndSg2Confirmation) {
  const std::string folder = TmpPath("sg2folder");
  plat::CreateFolder(folder);
  WriteFile(folder + "/a.sg2", "1");
  WriteFile(folder + "/B.SG2", "2");
  WriteFile(folder + "/.hidden.sg2", "3");
  WriteFile(folder + "/c.txt", "4");
  const std::string before = plat::GetCurrentFolder();
  {
    ScriptedUi ui;
    std::string chosen;
    ui.ExpectFolder("Pick", folder);
    EXPECT_GE(KZ_BrowseFolder("Pick", chosen), 0);
    EXPECT_EQ(chosen, folder);
    ui.ExpectFolder("Pick", std::nullopt);
    EXPECT_EQ(KZ_BrowseFolder("Pick", chosen), 0);
    EXPECT_EQ(chosen, "");

    ui.ExpectFolder("Working folder of hypoDD", folder);
    EXPECT_EQ(KZ_BrowseSg2Folder("Working folder of hypoDD", 0), folder + "/");
    EXPECT_EQ(plat::GetCurrentFolder(), before);  // without confirmation nothing else happens

    ui.ExpectFolder("SG2", folder);
    ui.ExpectMessage("2 sg2 file found in " + folder + "/, are you sure?", IDNO);
    EXPECT_EQ(KZ_BrowseSg2Folder("SG2", 1), "");
    ui.ExpectFolder("SG2", folder);
    ui.ExpectMessage("2 sg2 file found in", IDYES);
    EXPECT_EQ(KZ_BrowseSg2Folder("SG2", 1), folder + "/");
    EXPECT_EQ(plat::ResolvePath(plat::GetCurrentFolder()), plat::ResolvePath(folder));
    ui.ExpectFolder("SG2", std::nullopt);
    EXPECT_EQ(KZ_BrowseSg2Folder("SG2", 1), "");
  }
  plat::SetCurrentFolder(before);
}

TEST(InetFile, LocalFilesAndAddresses) {
  const std::string path = TmpPath("inet.txt");
  WriteFile(path, "# c\nlocal line\n");
  plat::testing::FakeUrlFetcher web;
  web.Serve("http://example.org/pars.txt", "! head\r\nremote line\r\n");
  KZ_InetFile inet;
  char buf[64];
  plat::File* f = inet.Open(path, "rt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KZ_ReadDataLine(buf, f, sizeof buf), 1);
  EXPECT_STREQ(buf, "local line");
  f = inet.Open("http://example.org/pars.txt", "rt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KZ_ReadDataLine(buf, f, sizeof buf), 1);
  EXPECT_STREQ(buf, "remote line");
  EXPECT_EQ(inet.Open("http://unreachable.invalid/x", "rt"), nullptr);
  EXPECT_EQ(inet.Open("ftp://unreachable.invalid/x", "rb"), nullptr);
  EXPECT_EQ(web.requested.size(), 3u);
  EXPECT_EQ(inet.Open(TmpPath("nothing.txt"), "rt"), nullptr);
  inet.Close();
  inet.Close();
}
