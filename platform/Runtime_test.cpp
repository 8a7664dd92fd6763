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

TEST(Runtime, LocalTimesBefore1970Convert) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "CET-1", 1);  // one hour east of UTC, no daylight saving
  tzset();
  std::tm moon{};
  moon.tm_year = 69;
  moon.tm_mon = 6;
  moon.tm_mday = 20;
  moon.tm_hour = 20;
  moon.tm_min = 17;
  moon.tm_sec = 40;
  moon.tm_isdst = -1;
  EXPECT_EQ(plat::MakeLocalTime(moon).value_or(0), -14186540);
  std::tm back = plat::LocalTime(-14186540).value();
  EXPECT_EQ(back.tm_hour, 20);
  EXPECT_EQ(back.tm_wday, 0);  // a Sunday
  // One second before 1970 in UTC is -1, which mktime also uses for failure.
  setenv("TZ", "UTC0", 1);
  tzset();
  std::tm last{};
  last.tm_year = 69;
  last.tm_mon = 11;
  last.tm_mday = 31;
  last.tm_hour = 23;
  last.tm_min = 59;
  last.tm_sec = 59;
  EXPECT_EQ(plat::MakeLocalTime(last).value_or(0), -1);
  EXPECT_EQ(plat::UtcTime(-2208988800LL).value().tm_year, 0);  // 1900-01-01
  if (old) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
