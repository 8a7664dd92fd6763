// The library's own message file, as shipped beside the program: found without any
// setting, its texts printed through the stream printer in the library's layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_stat.h"
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

TEST_F(ShippedMessages, AFailedLookupDoesNotHideTheTextReadBefore) {
  // 9042 has a record; 99 has none. The text read for 9042 is still its text afterwards.
  const std::string text = nml_error_message_text(9042);
  ASSERT_NE(text, "Error code 9042.");
  EXPECT_STREQ(nml_error_message_text(99), "Error code 99.");
  EXPECT_EQ(nml_error_message_text(9042), text);
  EXPECT_STREQ(nml_error_code_name(99), "99");
  EXPECT_STREQ(nml_error_code_name(9042), "DEGREES_OF_FREEDOM");
}

TEST_F(ShippedMessages, SimpleStatisticsWarningsPrintTheirTexts) {
  // A constant column: the warning names the variable in words, not as a bare code.
  nmltest::StdErrCapture err;
  double x[4] = {2.5, 2.5, 2.5, 2.5};
  double* s = nml_d_simple_statistics(4, 1, x, 0);
  ASSERT_NE(s, nullptr);
  std::free(s);
  EXPECT_NE(err.text().find("All values of"), std::string::npos)
      << err.text();
  EXPECT_EQ(err.text().find("Error code"), std::string::npos) << err.text();
}

namespace {

// The library's sources (tests left out) with comments and string contents removed, so that
// parentheses and digits in them do not count.
std::vector<std::string> LibrarySources(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = e.path().string();
    const std::string ext = e.path().extension().string();
    if (path.find("_test") != std::string::npos) continue;
    if (ext != ".cpp" && ext != ".h" && ext != ".inc") continue;
    std::ifstream src(path);
    std::stringstream text;
    text << src.rdbuf();
    const std::string s = text.str();
    std::string clean;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s.compare(i, 2, "//") == 0) {
        while (i < s.size() && s[i] != '\n') ++i;
        clean += '\n';
      } else if (s[i] == '"' || (s[i] == '\'' && i + 2 < s.size())) {
        const char q = s[i];
        clean += q;
        for (++i; i < s.size() && s[i] != q; ++i)
          if (s[i] == '\\') ++i;
        clean += q;
      } else {
        clean += s[i];
      }
    }
    out.push_back(clean);
  }
  return out;
}

// The text from the '(' at `open` to its matching ')', split at the commas of that level.
std::vector<std::string> Arguments(const std::string& s, std::size_t open, std::size_t* end) {
  std::vector<std::string> args(1);
  int depth = 0;
  std::size_t i = open;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '(' || c == '[' || c == '{') {
      if (depth++ == 0) continue;
    } else if (c == ')' || c == ']' || c == '}') {
      if (--depth == 0) break;
    } else if (c == ',' && depth == 1) {
      args.emplace_back();
      continue;
    }
    args.back() += c;
  }
  if (end) *end = i;
  return args;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\n") - b + 1);
}

}  // namespace

TEST_F(ShippedMessages, EveryCodeTheLibraryPostsHasAText) {
  // The codes the library can post, against the table the file is built from: codes given
  // to nml_error_post and to every function or lambda that hands a parameter named `code`
  // on to a posting (warn(11076), PostKernelError(name, 604), PostInts(1012, n, ldfac)),
  // as literals, named constants or the branches of a conditional.
  const std::string root = std::string(TV_SOURCE_DIR) + "/numerics";
  std::set<long> table;
  std::ifstream in(root + "/messages/nmlerr.txt");
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') table.insert(std::stol(line));
  ASSERT_GT(table.size(), 100u);
  const std::vector<std::string> sources = LibrarySources(root);

  std::map<std::string, long> constants;
  const std::regex constant(R"(constexpr\s+int\s+(\w+)\s*=\s*([0-9]+)\s*;)");
  for (const std::string& s : sources)
    for (std::sregex_iterator it(s.begin(), s.end(), constant), e; it != e; ++it)
      constants[(*it)[1]] = std::stol((*it)[2]);

  // Posting helpers: name -> positions of their `code` parameter. A definition is a name (or
  // "auto name = [...]") with a parameter list followed by its body, which passes `code` on.
  std::map<std::string, std::set<std::size_t>> helpers{{"nml_error_post", {1}}};
  const std::regex head(R"(\b(\w+)\s*(?:=\s*\[[^\]]*\]\s*)?\()");
  const std::regex passesCode(R"([(,]\s*code\s*[,)])");
  const std::regex codeParam(R"(\s*(const\s+)?int\s+code\s*)");
  for (const std::string& s : sources) {
    for (std::sregex_iterator it(s.begin(), s.end(), head), e; it != e; ++it) {
      std::size_t close = 0;
      const auto params = Arguments(s, it->position(0) + it->length(0) - 1, &close);
      const std::size_t brace = s.find_first_not_of(" \t\n", close + 1);
      if (brace == std::string::npos || s[brace] != '{') continue;
      for (std::size_t k = 0; k < params.size(); ++k) {
        if (params[k].find("code") == std::string::npos || !std::regex_match(params[k], codeParam))
          continue;
        std::size_t bodyEnd = 0;
        Arguments(s, brace, &bodyEnd);
        const std::string body = s.substr(brace, bodyEnd - brace);
        if (std::regex_search(body, passesCode)) helpers[(*it)[1]].insert(k);
      }
    }
  }
  for (const char* name : {"warn", "PostKernelError", "PostInts"})
    EXPECT_TRUE(helpers.count(name)) << name << " not recognised as a posting helper";

  std::set<long> missing;
  int sites = 0;
  const std::regex call(R"(\b(\w+)\s*(?:<[^<>;()]*>)?\s*\()");
  const std::regex number(R"((?:^|[^\w.])([0-9]{3,5})(?![\w.]))");
  for (const std::string& s : sources) {
    for (std::sregex_iterator it(s.begin(), s.end(), call), e; it != e; ++it) {
      const auto h = helpers.find((*it)[1]);
      if (h == helpers.end()) continue;
      const auto args = Arguments(s, it->position(0) + it->length(0) - 1, nullptr);
      for (std::size_t k : h->second) {
        if (k >= args.size()) continue;
        const std::string arg = Trim(args[k]);
        std::set<long> codes;
        // Error types are constants too (NML_FATAL); codes start at 100.
        if (constants.count(arg) && constants[arg] >= 100) codes.insert(constants[arg]);
        for (std::sregex_iterator n(arg.begin(), arg.end(), number), ne; n != ne; ++n)
          codes.insert(std::stol((*n)[1]));
        for (long code : codes) {
          ++sites;
          if (!table.count(code)) missing.insert(code);
        }
      }
    }
  }
  EXPECT_GT(sites, 300);
  std::string list;
  for (long code : missing) list += " " + std::to_string(code);
  EXPECT_TRUE(missing.empty()) << "codes without a text:" << list;
}
