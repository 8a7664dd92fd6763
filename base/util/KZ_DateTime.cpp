#include "base/util/KZ_DateTime.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/Runtime.h"
#include "platform/Strings.h"

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// One more second than the fields hold: minute, hour, day, month and year carry.
void CarryMinute(int* year, int* month, int* day, int* hour, int* minute) {
  if (++*minute < 60) return;
  *minute = 0;
  if (++*hour < 24) return;
  *hour = 0;
  if (++*day <= DaysInMonth(*year, *month)) return;
  *day = 1;
  if (++*month <= 12) return;
  *month = 1;
  ++*year;
}

}  // namespace

int KZ_ParseDateTime(const char* text, KZ_DateTimeFields* out) {
  if (!out) return 0;
  *out = KZ_DateTimeFields();
  if (!text) return 0;
  char buf[31];
  std::strncpy(buf, text, 30);
  buf[30] = '\0';
  char* s = buf;
  while (*s == ' ') ++s;
  const std::size_t len = std::strlen(s);
  if (len > 4 && s[4] == '-') {
    s[4] = '/';
    if (len > 7) s[7] = '/';
  }
  if (len > 10 && s[10] == 'T') s[10] = ' ';
  plat::ScanC(s, "%d/%d/%d %d:%d:%f", &out->year, &out->month, &out->day, &out->hour, &out->minute,
              &out->seconds);
  if (out->day > 31) std::swap(out->year, out->day);
  const char* paren = std::strchr(s, '(');
  if (paren && plat::ScanC(paren + 1, "%f", &out->zone) == 1) return 1;
  return 0;
}

int KZ_DayOfYear(int year, int month, int day) {
  int n = day;
  for (int m = 1; m < month && m <= 12; ++m) n += DaysInMonth(year, m);
  return n;
}

double KZ_JulianDay(int year, int month, int day, int hour, int minute, float seconds, float tz) {
  // Fliegel - Van Flandern with each division done in floating point and truncated.
  const double y = year, m = month, d = day;
  const double a = std::trunc((m - 14.0) / 12.0);
  double jd = std::trunc((4800.0 + y + a) * 1461.0 * 0.25) + (d - 32075.5) +
              std::trunc((m - 2.0 - 12.0 * a) * 367.0 / 12.0) -
              std::trunc(0.25 * 3.0 * std::trunc((y + 4900.0 + a) / 100.0));
  jd += hour / 24.0 + minute / 1440.0 + static_cast<double>(seconds) / 86400.0 -
        static_cast<double>(tz) / 24.0;
  return jd;
}

void KZ_CalendarFromJulianDay(double jd, int* year, int* month, int* day, int* hour, int* minute,
                              float* seconds, float tz) {
  const double x = jd + 0.5 + static_cast<double>(tz) / 24.0;
  // Julian days come from files too: a NaN, infinite or absurd value would overflow the
  // integer fields, so it gives a zeroed calendar instead.
  if (!std::isfinite(x) || std::fabs(x) > 1e10) {
    if (year) *year = 0;
    if (month) *month = 0;
    if (day) *day = 0;
    if (hour) *hour = 0;
    if (minute) *minute = 0;
    if (seconds) *seconds = 0.0f;
    return;
  }
  double Z = std::floor(x);
  const double F = x - Z;
  const double h24 = 24.0 * F;
  int h = static_cast<int>(std::floor(h24));
  const double mf = (h24 - h) * 60.0;
  int mi = static_cast<int>(std::floor(mf));
  if (mi < 0) mi = 0;
  double sec = (mf - mi) * 60.0;
  if (sec < 0) sec = 0;
  // Seconds that round to 60 in single precision belong to the next minute.
  if (static_cast<float>(sec) >= 60.0f) {
    sec = 0;
    ++mi;
  }
  if (mi >= 60) {
    mi = 0;
    ++h;
  }
  if (h >= 24) {
    h = 0;
    Z += 1.0;
  }
  // Gregorian inversion (Meeus).
  const double alpha = std::floor((Z - 1867216.25) / 36524.25);
  const double A = Z + 1.0 + alpha - std::floor(alpha / 4.0);
  const double B = A + 1524.0;
  const double K = std::floor((B - 122.1) / 365.25);
  const double D = std::floor(365.25 * K);
  const double E = std::floor((B - D) / 30.6001);
  const int dd = static_cast<int>(std::floor(B - D - std::floor(30.6001 * E)));
  const int mm = static_cast<int>(E < 13.5 ? E - 1.0 : E - 13.0);
  const int yy = static_cast<int>(mm <= 2 ? K - 4715.0 : K - 4716.0);
  if (year) *year = yy;
  if (month) *month = mm;
  if (day) *day = dd;
  if (hour) *hour = h;
  if (minute) *minute = mi;
  if (seconds) *seconds = static_cast<float>(sec);
}

void SplitJulianDay(double jd, KZ_DateTimeFields* fields, float tz) {
  if (!fields) return;
  *fields = KZ_DateTimeFields();
  KZ_CalendarFromJulianDay(jd, &fields->year, &fields->month, &fields->day, &fields->hour,
                           &fields->minute, &fields->seconds, tz);
}

std::string& KZ_DateTimeString(std::string& out, int year, int month, int day, int hour, int minute,
                               float seconds, int /*unused*/, float tz) {
  // "%06.3f" would print 59.9995 and above as "60.000": those belong to the next minute.
  if (seconds >= 59.9995f) {
    seconds = 0.0f;
    CarryMinute(&year, &month, &day, &hour, &minute);
  }
  if (seconds < 0.0001f && minute == 0 && hour == 0) {
    out = plat::Format("%04d/%02d/%02d", year, month, day);
  } else if (seconds - std::floor(seconds) <= 0.0001f) {
    out = plat::Format("%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute,
                       static_cast<int>(seconds));
  } else {
    out = plat::Format("%04d/%02d/%02d %02d:%02d:%06.3f", year, month, day, hour, minute,
                       static_cast<double>(seconds));
  }
  if (tz == 0.0f)
    out += "(UTC)";
  else
    out += plat::Format("(+%.2f)", static_cast<double>(tz));
  return out;
}

std::string& KZ_JulianDayString(std::string& out, double jd, float tz) {
  int y, mo, d, h, mi;
  float s;
  KZ_CalendarFromJulianDay(jd, &y, &mo, &d, &h, &mi, &s, tz);
  return KZ_DateTimeString(out, y, mo, d, h, mi, s, 0, tz);
}

std::string& KZ_ElapsedTimeString(std::string& out, std::int64_t base, double s) {
  const std::int64_t t = base + static_cast<std::int64_t>(std::trunc(s));
  const auto tm = plat::LocalTime(t);
  const int hh = tm ? tm->tm_hour : 0, mm = tm ? tm->tm_min : 0, ss = tm ? tm->tm_sec : 0;
  const int us = static_cast<int>(std::trunc((s - std::trunc(s)) * 1e6));
  if (us >= 1)
    out = plat::Format("%02d:%02d:%02d %05d", hh, mm, ss, us);
  else
    out = plat::Format("%02d:%02d:%02d", hh, mm, ss);
  return out;
}

std::string& KZ_NowString(std::string& out, bool compact) {
  const auto tm = plat::LocalTime(static_cast<std::int64_t>(std::floor(plat::WallClockSeconds())));
  std::tm t{};
  if (tm) t = *tm;
  if (compact)
    out = plat::Format("%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                       t.tm_hour, t.tm_min, t.tm_sec);
  else
    out = plat::Format("%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                       t.tm_hour, t.tm_min, t.tm_sec);
  return out;
}

void KZ_WaitMs(int n) {
  const long long f = plat::PerformanceFrequency();
  const long long wait = static_cast<long long>(n) * (f / 1024);
  const long long start = plat::PerformanceCounter();
  while (plat::PerformanceCounter() - start <= wait) {
  }
}
