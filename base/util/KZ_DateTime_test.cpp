#include "base/util/KZ_DateTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "base/numerics/TestTables.h"

namespace {
// True when the text has the shape of the pattern: '9' stands for any digit.
bool Shaped(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (pattern[i] == '9' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != pattern[i])
      return false;
  return true;
}
}  // namespace

TEST(ParseDateTime, FormsOfTheDateText) {
  struct Case {
    const char* text;
    int ret;
    KZ_DateTimeFields f;
  };
  const Case cases[] = {
      {"2008-05-01T10:20:30.5 (9.0)", 1, {2008, 5, 1, 10, 20, 30.5f, 9.0f}},
      {"01/05/2008 10:20", 0, {2008, 5, 1, 10, 20, 0.0f, 0.0f}},
      {"   2010/12/24 23:59:59.75(-3.5)", 1, {2010, 12, 24, 23, 59, 59.75f, -3.5f}},
      {"2010/12/24", 0, {2010, 12, 24, 0, 0, 0, 0}},
      {"2010/12/24 1:2:3 (x)", 0, {2010, 12, 24, 1, 2, 3, 0}},
      {"", 0, {}},
      // Only the first 30 characters count: the zone beyond them is not read.
      {"2010/12/24 01:02:03.000000000000 (5)", 0, {2010, 12, 24, 1, 2, 3, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    KZ_DateTimeFields f;
    f.year = 77;
    EXPECT_EQ(KZ_ParseDateTime(c.text, &f), c.ret);
    EXPECT_EQ(f.year, c.f.year);
    EXPECT_EQ(f.month, c.f.month);
    EXPECT_EQ(f.day, c.f.day);
    EXPECT_EQ(f.hour, c.f.hour);
    EXPECT_EQ(f.minute, c.f.minute);
    EXPECT_EQ(f.seconds, c.f.seconds);
    EXPECT_EQ(f.zone, c.f.zone);
  }
}

TEST(DayOfYear, LeapRules) {
  EXPECT_EQ(KZ_DayOfYear(2000, 3, 1), 61);
  EXPECT_EQ(KZ_DayOfYear(1900, 3, 1), 60);
  EXPECT_EQ(KZ_DayOfYear(2004, 12, 31), 366);
  EXPECT_EQ(KZ_DayOfYear(2003, 1, 1), 1);
}

TEST(JulianDay, AgainstPythonDatetimeInTwoZones) {
  EXPECT_EQ(KZ_JulianDay(2000, 1, 1, 12, 0, 0, 0), 2451545.0);
  EXPECT_EQ(KZ_JulianDay(2000, 1, 1, 12, 0, 0, 9), 2451545.0 - 0.375);
  tv_test::Table t("base/util/testdata/julian_days.txt");
  int rows = 0;
  while (!t.done()) {
    const int y = t.integer(), mo = t.integer(), d = t.integer(), h = t.integer(), mi = t.integer();
    const float s = static_cast<float>(t.num()), zone = static_cast<float>(t.num());
    const double jd = t.num();
    SCOPED_TRACE(testing::Message()
                 << y << "-" << mo << "-" << d << " " << h << ":" << mi << " zone " << zone);
    EXPECT_NEAR(KZ_JulianDay(y, mo, d, h, mi, s, zone), jd, 1e-9);
    int yy, mm, dd, hh, mn;
    float ss;
    KZ_CalendarFromJulianDay(jd, &yy, &mm, &dd, &hh, &mn, &ss, zone);
    EXPECT_EQ(yy, y);
    EXPECT_EQ(mm, mo);
    EXPECT_EQ(dd, d);
    EXPECT_EQ(hh, h);
    EXPECT_EQ(mn, mi);
    EXPECT_NEAR(ss, s, 1e-4);
    ++rows;
  }
  EXPECT_EQ(rows, 24);
}

TEST(CalendarFromJulianDay, CarriesInsteadOfSixtySeconds) {
  int y, mo, d, h, mi;
  float s;
  KZ_CalendarFromJulianDay(2451545.0, &y, &mo, &d, &h, &mi, &s, 0);
  EXPECT_EQ(y, 2000);
  EXPECT_EQ(h, 12);
  EXPECT_EQ(mi, 0);
  EXPECT_EQ(s, 0.0f);
  // 23:59:59.9999999 on 31 December: single precision seconds would be 60.
  const double late = KZ_JulianDay(2023, 12, 31, 0, 0, 0, 0) + (86400.0 - 1e-7) / 86400.0;
  KZ_CalendarFromJulianDay(late, &y, &mo, &d, &h, &mi, &s, 0);
  EXPECT_EQ(y, 2024);
  EXPECT_EQ(mo, 1);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(mi, 0);
  EXPECT_LT(s, 0.001f);
  // Anywhere in a day the fields stay in range.
  const double base = KZ_JulianDay(2010, 6, 30, 0, 0, 0, 0);
  for (int k = 0; k < 20000; ++k) {
    KZ_CalendarFromJulianDay(base + k * 0.0000573, &y, &mo, &d, &h, &mi, &s, 9);
    ASSERT_LT(h, 24);
    ASSERT_LT(mi, 60);
    ASSERT_LT(s, 60.0f);
    ASSERT_GE(s, 0.0f);
  }
}

TEST(DateTimeString, FormsAndZones) {
  std::string out;
  EXPECT_EQ(KZ_DateTimeString(out, 2008, 5, 1, 0, 0, 0.00005f, 0, 0), "2008/05/01(UTC)");
  EXPECT_EQ(KZ_DateTimeString(out, 2008, 5, 1, 10, 20, 30.25f, 0, 9),
            "2008/05/01 10:20:30.250(+9.00)");
  EXPECT_EQ(KZ_DateTimeString(out, 2008, 5, 1, 10, 20, 30.0f, 0, -3.5f),
            "2008/05/01 10:20:30(+-3.50)");
  // Seconds that would print as 60.000 carry, up to the year.
  EXPECT_EQ(KZ_DateTimeString(out, 2008, 5, 1, 10, 20, 59.9996f, 0, 0), "2008/05/01 10:21:00(UTC)");
  EXPECT_EQ(KZ_DateTimeString(out, 2023, 12, 31, 23, 59, 59.9999f, 0, 0), "2024/01/01(UTC)");
  EXPECT_EQ(KZ_DateTimeString(out, 2004, 2, 28, 23, 59, 59.9998f, 0, 1), "2004/02/29(+1.00)");
  EXPECT_EQ(KZ_DateTimeString(out, 2008, 5, 1, 10, 20, 59.9994f, 0, 0),
            "2008/05/01 10:20:59.999(UTC)");
  EXPECT_EQ(KZ_JulianDayString(out, 2451545.0, 0), "2000/01/01 12:00:00(UTC)");
  EXPECT_EQ(KZ_JulianDayString(out, 2451544.5, 0), "2000/01/01(UTC)");
  const double almost = KZ_JulianDay(2010, 6, 30, 23, 59, 59.99995f, 0);
  EXPECT_EQ(KZ_JulianDayString(out, almost, 0), "2010/07/01(UTC)");
}

TEST(TimeStrings, ElapsedNowAndWait) {
  // Tests run with TZ=UTC: 1970-01-01 + 3661.25 s.
  std::string out;
  EXPECT_EQ(KZ_ElapsedTimeString(out, 0, 3661.0), "01:01:01");
  EXPECT_EQ(KZ_ElapsedTimeString(out, 0, 3661.25), "01:01:01 250000");
  EXPECT_EQ(KZ_ElapsedTimeString(out, 86400 * 365, 59.00390625), "00:00:59 03906");
  KZ_NowString(out, true);
  EXPECT_TRUE(Shaped(out, "99999999999999")) << out;
  KZ_NowString(out, false);
  EXPECT_TRUE(Shaped(out, "9999/99/99 99:99:99")) << out;
  const auto t0 = std::chrono::steady_clock::now();
  KZ_WaitMs(51);  // about 50 ms: never shorter
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(ms, 49.0);
}

TEST(CalendarFromJulianDay, UnusableDayGivesZeroedFields) {
  // A damaged file can carry any double here; none may reach the integer fields.
  for (double jd : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300}) {
    int y = 9, mo = 9, d = 9, h = 9, mi = 9;
    float s = 9;
    KZ_CalendarFromJulianDay(jd, &y, &mo, &d, &h, &mi, &s, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(mo, 0);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(mi, 0);
    EXPECT_EQ(s, 0.0f);
  }
}
