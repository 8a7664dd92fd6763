#include "aecore/waveform/KZ_WaveDate.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "aecore/waveform/KZ_WaveData.h"
#include "base/util/KZ_DateTime.h"
#include "platform/Strings.h"

namespace {

const char* SkipSeparators(const char* p) {
  while (*p == '/' || *p == '-' || *p == ' ' || *p == '\t') ++p;
  return p;
}

bool RealDate(long year, long month, long day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

bool KZ_ParseNamedMonthDate(const char* text, int* year, int* month, int* day) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  if (!text) return false;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  char* end = nullptr;
  const long d = std::strtol(p, &end, 10);
  if (end == p) return false;
  p = SkipSeparators(end);
  const char* name = p;
  while (std::isalpha(static_cast<unsigned char>(*p))) ++p;
  if (p - name < 3) return false;
  int m = 0;
  for (int i = 0; i < 12 && m == 0; ++i)
    if (plat::EqualsNoCase(std::string(name, 3), kMonths[i])) m = i + 1;
  if (m == 0) return false;
  p = SkipSeparators(p);
  const long y = std::strtol(p, &end, 10);
  if (end == p) return false;
  *year = static_cast<int>(y);
  *month = m;
  *day = static_cast<int>(d);
  return true;
}

bool KZ_ParseSeg2Date(const char* text, int* year, int* month, int* day) {
  if (!text) return false;
  int y = 0, m = 0, d = 0;
  if (KZ_ParseNamedMonthDate(text, &y, &m, &d)) {
    if (!RealDate(y, m, d)) return false;
    *year = y;
    *month = m;
    *day = d;
    return true;
  }
  long v[3] = {0, 0, 0};
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  for (int k = 0; k < 3; ++k) {
    if (k > 0) p = SkipSeparators(p);
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    char* end = nullptr;
    v[k] = std::strtol(p, &end, 10);
    p = end;
  }
  if (!RealDate(v[0], v[1], v[2])) return false;
  *year = static_cast<int>(v[0]);
  *month = static_cast<int>(v[1]);
  *day = static_cast<int>(v[2]);
  return true;
}

double KZ_WaveHeaderJulianDay(const KZ_WaveHeader& h, bool addUsec) {
  int y = 0, mo = 0, d = 0;
  if (!KZ_ParseSeg2Date(h.szDate, &y, &mo, &d)) return 0.0;
  int hh = 0, mi = 0, s = 0;
  std::sscanf(h.szTime, "%d:%d:%d", &hh, &mi, &s);
  const double usec = addUsec && h.nStartUsec > 0 ? h.nStartUsec : 0;
  return KZ_JulianDay(y, mo, d, hh, mi, static_cast<float>(s), 0.0f) + usec * 1e-6 / 86400.0;
}
