// Date and time helpers: date texts to fields, fields to Julian days and back, display
// texts, and a busy wait. Julian days are doubles in days (of universal time); time zones
// are float hours, local time minus universal time.
#pragma once
#include <cstdint>
#include <string>

// Year, month, day, hour and minute, the seconds and the time zone of a parsed text or
// of a Julian day (the zone is left 0 by SplitJulianDay).
struct KZ_DateTimeFields {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  float seconds = 0.0f;
  float zone = 0.0f;
};

// Parses "y/m/d h:m:s" from the first 30 characters of the text (also "y-m-d", an ISO 'T'
// between date and time, day first when the third number exceeds 31, and a zone in
// parentheses, e.g. "2008-05-01T10:20:30.5 (9.0)"). Fields not read are 0. Returns 1 when
// a zone was read, else 0.
int KZ_ParseDateTime(const char* text, KZ_DateTimeFields* out);

// Day of the year, 1-based.
int KZ_DayOfYear(int year, int month, int day);

// Julian day of a local date and time in zone tz.
double KZ_JulianDay(int year, int month, int day, int hour, int minute, float seconds, float tz);

// Calendar date and local time in zone tz of a Julian day. The time of day is computed in
// double precision, and seconds that single precision would round up to 60 carry into
// the minute (and on to the date).
void KZ_CalendarFromJulianDay(double jd, int* year, int* month, int* day, int* hour, int* minute,
                              float* seconds, float tz);
void SplitJulianDay(double jd, KZ_DateTimeFields* fields, float tz);

// "yyyy/mm/dd" at midnight, else "yyyy/mm/dd hh:mm:ss" for whole seconds or with
// "ss.sss", then "(UTC)" for zone 0 or "(+%.2f)" with the zone. Seconds that would print
// as 60.000 carry into the minute (and on to the date). The int argument is not used.
std::string& KZ_DateTimeString(std::string& out, int year, int month, int day, int hour, int minute,
                               float seconds, int unused, float tz);
std::string& KZ_JulianDayString(std::string& out, double jd, float tz);

// Local time of day "hh:mm:ss" of base (seconds since 1970) plus s seconds, followed by
// " %05d" microseconds when the fraction of s holds at least one.
std::string& KZ_ElapsedTimeString(std::string& out, std::int64_t base, double s);

// The current local time, "yyyymmddhhmmss" when compact, else "yyyy/mm/dd hh:mm:ss".
std::string& KZ_NowString(std::string& out, bool compact);

// Busy-waits n units of 1/1024 s on the high-resolution counter (the thread never yields).
void KZ_WaitMs(int n);
