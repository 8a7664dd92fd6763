#include "base/types/KZ_Range.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Strings.h"

namespace {

// Where the three numbers of a range text start: after the first '=', unless it follows
// '+' or '*' (then the text starts with the numbers).
const char* NumbersStart(const char* text) {
  const char* eq = std::strchr(text, '=');
  if (!eq) return text;
  if (eq > text && (eq[-1] == '+' || eq[-1] == '*')) return text;
  return eq + 1;
}

// A missing step stands after the next '=' at least two characters past `pos`.
const char* StepAfter(const char* text, const char* pos) {
  const std::size_t len = std::strlen(text);
  const std::size_t from = static_cast<std::size_t>(pos - text) + 2;
  if (from > len) return nullptr;
  const char* eq = std::strchr(text + from, '=');
  return eq ? eq + 1 : nullptr;
}

}  // namespace

int KZ_ParseRangeF(const char* text, float* min, float* max, float* step, float* unitFactor,
                   int* logFlag, char* unit) {
  float lo = 0, hi = 0, st = 0;
  int n = 0;
  if (text) {
    if (logFlag)
      *logFlag = (std::strstr(text, "log") || std::strstr(text, "Log") ||
                  std::strstr(text, "LOG") || std::strstr(text, "*="))
                     ? 1
                     : 0;
    const char* pos = NumbersStart(text);
    n = plat::ScanC(pos, "%f,%f,%f", &lo, &hi, &st);
    if (n < 0) n = 0;
    if (n < 3) {
      const char* s = StepAfter(text, pos);
      if (s && plat::ScanC(s, "%f", &st) == 1) ++n;
    }
  } else if (logFlag) {
    *logFlag = 0;
  }
  if (min) *min = lo;
  if (max) *max = hi;
  if (step) *step = st;
  if (unitFactor) *unitFactor = static_cast<float>(KZ_UnitToSI(text, unit));
  return n;
}

int KZ_ParseRangeD(const char* text, double* min, double* max, double* step, double* unitFactor,
                   int* logFlag, char* unit) {
  double lo = 0, hi = 0, st = 0;
  int n = 0;
  if (text) {
    if (logFlag) *logFlag = (std::strstr(text, "log") || std::strstr(text, "*=")) ? 1 : 0;
    const char* pos = NumbersStart(text);
    n = plat::ScanC(pos, "%lf,%lf,%lf", &lo, &hi, &st);
    if (n < 0) n = 0;
    if (n < 3) {
      const char* s = StepAfter(text, pos);
      if (s && plat::ScanC(s, "%lf", &st) == 1) ++n;
    }
  } else if (logFlag) {
    *logFlag = 0;
  }
  if (min) *min = lo;
  if (max) *max = hi;
  if (step) *step = st;
  if (unitFactor) *unitFactor = KZ_UnitToSI(text, unit);
  return n;
}

double KZ_UnitToSI(const char* text, char* unit) {
  struct Unit {
    const char* find1;
    const char* find2;
    double factor;
    const char* name;
  };
  static const Unit kUnits[] = {
      {"/yr", "/year", 3.168808781402895e-8, "/yr"},
      {"/day", nullptr, 1.1574074074074073e-5, "/day"},
      {"/hou", nullptr, 1.0 / 3600.0, "/hou"},
      {"/min", nullptr, 1.0 / 60.0, "/min"},
      {"/ms", nullptr, 1000.0, "/ms"},
      {"/us", nullptr, 1e6, "/us"},
      {"yr", "year", 3.15576e7, "yr"},
      {"day", nullptr, 86400.0, "day"},
      {"hou", nullptr, 3600.0, "hou"},
      {"min", nullptr, 60.0, "min"},
      {"ms", nullptr, 0.001, "ms"},
      {"us", nullptr, 1e-6, "us"},
      {"/km", nullptr, 0.001, "/km"},
      {"/cm", nullptr, 100.0, "/cm"},
      {"/mm", nullptr, 1000.0, "/mm"},
      {"km", nullptr, 1000.0, "km"},
      {"cm", nullptr, 0.01, "cm"},
      {"mm", nullptr, 0.001, "mm"},
      {"/MPa", nullptr, 1e-6, "/MPa"},
      {"MPa", nullptr, 1e6, "MPa"},
  };
  if (text) {
    for (const Unit& u : kUnits) {
      if (std::strstr(text, u.find1) || (u.find2 && std::strstr(text, u.find2))) {
        if (unit) std::strcpy(unit, u.name);
        return u.factor;
      }
    }
  }
  if (unit) std::strcpy(unit, "SI");
  return 1.0;
}

KZ_Range::KZ_Range(const char* text, int maxCount) {
  char unit[16] = {0};
  KZ_ParseRangeD(text, &m_fMin, &m_fMax, &m_fStep, &m_fUnit, &m_nLog, unit);
  if (text) {
    const char* s = std::strstr(text, "S=");
    double scale = 1.0;
    if (s && plat::ScanC(s + 2, "%lf", &scale) == 1) m_fScale = scale;
  }
  if (m_nLog && std::fabs(m_fMin) < 1e-15) m_fMin = m_fMax * 1e-5;
  if (m_fScale < 1e-15) m_fScale = 1.0;
  if (maxCount <= 0) maxCount = 10000;
  m_strUnit = unit;

  auto advance = [this](double v) { return m_nLog ? v * m_fStep : v + m_fStep; };
  const bool ascending = m_fMax > m_fMin;
  // One value when the first step does not move towards max: a step pointing away, a
  // range of one value, and also a step that does not move at all (0, or 1 in log mode),
  // which would otherwise fill the list up to its maximum count with the same value.
  const double first = advance(m_fMin);
  const bool towards = ascending ? first > m_fMin : (m_fMax < m_fMin && first < m_fMin);
  int count = 1;
  if (towards) {
    double v = m_fMin;
    int steps = 0;
    while (steps + 1 < maxCount) {
      v = advance(v);
      ++steps;
      const float fv = static_cast<float>(v);
      const float fmax = static_cast<float>(m_fMax);
      if (ascending ? fv >= fmax : fv <= fmax) break;
    }
    count = steps + 1;
  }
  m_nCount = count;
  m_pValues =
      static_cast<double*>(std::calloc(static_cast<std::size_t>(count) + 1, sizeof(double)));
  if (!m_pValues) {
    m_nCount = 0;
    return;
  }
  double v = m_fMin;
  for (int i = 0; i <= count; ++i) {
    m_pValues[i] = m_fScale * v;
    v = advance(v);
  }
  // The last value is clipped to the end of the range (scaled like every value).
  const double end = m_fScale * m_fMax;
  if (count > 1) {
    if (ascending && m_pValues[count - 1] > end) m_pValues[count - 1] = end;
    if (!ascending && m_pValues[count - 1] < end) m_pValues[count - 1] = end;
  }
}

KZ_Range::~KZ_Range() { std::free(m_pValues); }
