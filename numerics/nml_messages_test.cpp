// The library's own message file, as shipped beside the program: found without any
// setting, its texts printed through the stream printer in the library's layout.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "numerics/nml.h"
#include "numerics/nml_test_util.h"

namespace {

class ShippedMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    nmltest::FreshRuntime();
    // No NMLERRPATH: the library looks beside the program first.
    plat::SetEnvLookup([](const std::string&) -> std::optional<std::string> { return std::nullopt; });
  }
  void TearDown() override { nmltest::FreshRuntime(); }
};

}  // namespace

TEST_F(ShippedMessages, PostedErrorsPrintTheirTextsAndNames) {
  ASSERT_TRUE(std::filesystem::exists(plat::ProgramFolder() + "/nmlerr.bin"));
  nmltest::StdErrCapture err;
  EXPECT_TRUE(std::isnan(nml_f_t_inverse(0.95f, 0.5f)));
  EXPECT_EQ(nml_error_code(1), 9042);
  // A TERMINAL error names no code in its header; the text breaks at a blank before
  // column 78 and goes on after the continuation prefix.
  EXPECT_EQ(err.text(),
            "\n*** TERMINAL Error from nml_f_t_inverse.  The degrees of freedom,\n"
            "***          5.000000e-01, must be at least 1.\n\n");
  EXPECT_STREQ(nml_error_code_name(9042), "DEGREES_OF_FREEDOM");

  // A WARNING names its code by the file's name for it, and is printed on the return.
  err.clear();
  nml_public("probe", [] {
    nml_error_set_int(1, 3);
    nml_error_set_int(2, 2);
    nml_error_post(NML_WARNING, 8017);
  });
  EXPECT_EQ(err.text(),
            "\n*** WARNING  Error ITERATION_LIMIT from probe.  The iteration limit was\n"
            "***          reached before the convergence tests were met.\n\n");
}

TEST_F(ShippedMessages, EveryCodeTheLibraryPostsHasAText) {
  // The codes written at the library's posting sites, against the table the file is
  // built from.
  const std::string root = std::string(TV_SOURCE_DIR) + "/numerics";
  std::set<long> table;
  std::ifstream in(root + "/messages/nmlerr.txt");
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') table.insert(std::stol(line));
  ASSERT_GT(table.size(), 100u);
  const std::regex post(R"(\b(?:nml_error_post|Post)\(\s*(?:NML_[A-Z_]+|[1-8])\s*,\s*([0-9]+)\s*\))");
  std::set<long> missing;
  int sites = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = e.path().string();
    if (path.find("_test.cpp") != std::string::npos) continue;
    if (e.path().extension() != ".cpp" && e.path().extension() != ".h" &&
        e.path().extension() != ".inc")
      continue;
    std::ifstream src(path);
    std::stringstream text;
    text << src.rdbuf();
    const std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), post), end; it != end; ++it) {
      ++sites;
      const long code = std::stol((*it)[1]);
      if (!table.count(code)) missing.insert(code);
    }
  }
  EXPECT_GT(sites, 200);
  EXPECT_TRUE(missing.empty()) << "first code without a text: " << *missing.begin();
}
