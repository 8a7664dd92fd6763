#include <gtest/gtest.h>

#include "platform/CrtRand.h"
#include "platform/Runtime.h"

TEST(CrtRand, MatchesWindowsSequence) {
  plat::CrtSrand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int e : expected) EXPECT_EQ(plat::CrtRand(), e);
}

TEST(Runtime, ExitHookSeesStatus) {
  struct Exit {
    int status;
  };
  plat::SetExitHook([](int s) { throw Exit{s}; });
  try {
    plat::ProcessExit(5);
    FAIL();
  } catch (const Exit& e) {
    EXPECT_EQ(e.status, 5);
  }
  plat::SetExitHook({});
}

TEST(Runtime, EnvAndStdErrCanBeReplaced) {
  plat::SetEnvLookup([](const std::string& n) -> std::optional<std::string> {
    if (n == "X") return "1";
    return std::nullopt;
  });
  EXPECT_EQ(plat::GetEnv("X").value_or(""), "1");
  EXPECT_FALSE(plat::GetEnv("HOME").has_value());
  plat::SetEnvLookup({});
  std::string got;
  plat::SetStdErrSink([&](const std::string& t) { got += t; });
  plat::WriteStdErr("abc");
  plat::SetStdErrSink({});
  EXPECT_EQ(got, "abc");
}
