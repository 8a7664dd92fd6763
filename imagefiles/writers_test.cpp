// Our writers against files whose reading by independent decoders (Pillow, netpbm,
// Ghostscript) was checked when they were committed: the same picture must still give
// the same bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/codec_test_support.h"
#include "tools/imagefiles/sample_pattern.h"

namespace {

using codec_test::ReadBytes;

TEST(Writers, OutputMatchesTheCheckedFiles) {
  for (const samples::Sample& s : samples::All()) {
    SCOPED_TRACE(s.name);
    std::string path = std::string(TV_TEST_TMPDIR) + "/" + s.name;
    ASSERT_EQ(samples::Write(s, path, nullptr), IMG_OK);
    std::vector<BYTE> want = ReadBytes(codec_test::Fixture("ours", s.name));
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(ReadBytes(path), want);
  }
}

TEST(Writers, OurFilesLoadBackToThePicture) {
  for (const samples::Sample& s : samples::All()) {
    std::string name = s.name;
    if (name.ends_with(".eps") || name.ends_with(".bif")) continue;  // not read, or no size
    SCOPED_TRACE(name);
    std::string path = std::string(TV_TEST_TMPDIR) + "/" + name;
    std::vector<BYTE> truth;
    ASSERT_EQ(samples::Write(s, path, &truth), IMG_OK);
    ImageDescriptor d;
    ASSERT_EQ(LoadImageFile(path.c_str(), &d), IMG_OK);
    EXPECT_EQ(samples::Truth(d), truth);
    img_free(&d);
  }
}

}  // namespace
