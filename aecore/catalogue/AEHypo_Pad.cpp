// Reading the experiment's parameter file into the catalogue engine.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "aecore/catalogue/AEHypo.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/types/KZ_TextParse.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

// The file's own degree factor (not pi/180 exactly), kept so positions match the values
// the experiments were set up with.
constexpr double kDeg = 0.0174533;

// Whole lines of the file: a line longer than any buffer is still one line, so an
// overlong line never spills into the lines after it.
class PadLines {
 public:
  explicit PadLines(plat::File& f) {
    std::string line;
    while (f.ReadLine(line)) lines_.push_back(line);
  }
  bool AtEnd() const { return pos_ >= lines_.size(); }
  // The number (from 1) of the line read last.
  std::size_t LineNo() const { return pos_; }
  // The next line, or an empty text at the end (with ok false).
  const char* Next(bool* ok = nullptr) {
    if (ok) *ok = !AtEnd();
    if (AtEnd()) return "";
    return lines_[pos_++].c_str();
  }
  // "%f %f %f" as a stream read: numbers may run on over line ends; the rest of the line
  // holding the third is skipped. Returns how many numbers were read.
  int ReadThreeFloats(float out[3]) {
    int got = 0;
    while (got < 3 && !AtEnd()) {
      const char* p = lines_[pos_].c_str();
      bool stop = false;
      while (got < 3) {
        char* end = nullptr;
        while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
        if (!*p) break;
        double v = plat::StrToD(p, &end);
        if (end == p) {
          stop = true;
          break;
        }
        out[got++] = static_cast<float>(v);
        p = end;
      }
      ++pos_;
      if (stop) break;
    }
    return got;
  }

 private:
  std::vector<std::string> lines_;
  std::size_t pos_ = 0;
};

bool Contains(const char* line, const char* key) { return std::strstr(line, key) != nullptr; }

// True when the line starts with a whole number (a count), not a decimal one.
bool StartsWithWholeNumber(const char* line) {
  char* end = nullptr;
  std::strtol(line, &end, 10);
  return end != line && (*end == '\0' || std::isspace(static_cast<unsigned char>(*end)));
}

// The sensor-count line holds one to three whole numbers ("%d %d %d"), which may be followed
// by words; a decimal number among them or a fourth number is some other line (the sample
// line when the counts are missing).
bool IsCountLine(const char* line) {
  if (!StartsWithWholeNumber(line)) return false;
  const char* p = line;
  for (int token = 0; token < 4; ++token) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) return true;
    char* end = nullptr;
    plat::StrToD(p, &end);
    const bool number =
        end != p && (*end == '\0' || std::isspace(static_cast<unsigned char>(*end)));
    if (!number) return true;  // words after the counts
    if (token == 3 || !StartsWithWholeNumber(p)) return false;
    p = end;
  }
  return true;
}

// The number after the first '=' of the line, or the default.
int ValueInt(const char* line, int def) {
  const char* eq = std::strchr(line, '=');
  int v = def;
  if (eq && plat::ScanC(eq + 1, "%d", &v) == 1) return v;
  return def;
}
float ValueFloat(const char* line, float def) {
  const char* eq = std::strchr(line, '=');
  float v = def;
  if (eq && plat::ScanC(eq + 1, "%f", &v) == 1) return v;
  return def;
}
int KeyInt(const char* line, const char* key, int def) {
  int v = def;
  KZ_GetKeyInt(line, key, &v);
  return v;
}

// Two-digit years below 70 belong to this century.
int YearSince1900(int year, bool twoDigits) {
  if (!twoDigits) return year < INT_MIN + 1900 ? INT_MIN : year - 1900;
  return year < 70 ? year + 100 : year;
}

void FillCalendar(std::tm* t, int year1900, int month, int day, int hour, int minute, int second) {
  std::tm c{};
  c.tm_year = year1900;
  c.tm_mon = month - 1;
  c.tm_mday = day;
  c.tm_hour = hour;
  c.tm_min = minute;
  c.tm_sec = second;
  std::tm norm = c;
  // Day of week and day of year from a calendar computation; the fields given stay as read.
  if (timegm(&norm) != static_cast<time_t>(-1)) {
    c.tm_wday = norm.tm_wday;
    c.tm_yday = norm.tm_yday;
  }
  c.tm_isdst = -1;  // local time of unknown daylight saving
  *t = c;
}

}  // namespace

int CAEHypo::LoadPad(const std::string& path, bool parametersOnly) {
  plat::File file;
  if (!file.Open(path, "rt")) return 0;
  const std::string previousParFile = m_strParFile;
  m_strParFile = path;
  PadLines in(file);
  file.Close();

  // Kept to be put back when the file turns out to be cut short before its times.
  AESensorTable savedTable = *this;
  int savedPulsers[AEH_MAX_PULSERS];
  std::memcpy(savedPulsers, m_PulserSensor, sizeof savedPulsers);
  const int savedNPulsers = m_nPulsers;
  const int savedMinArrivals = m_nMinArrivals;
  std::vector<std::string> warnings;
  // The first line of the head that does not hold what its place asks for: a file that
  // fails to load names it, since a line missing there shifts every line after it and the
  // load fails only further on.
  std::string firstWrong;
  auto expect = [&](bool fits, const char* what, const char* text) {
    if (fits || !firstWrong.empty()) return;
    firstWrong = plat::Format("line %zu should hold %s but reads \"%s\"", in.LineNo(), what,
                              plat::TrimRight(text).c_str());
  };

  m_strTitle = plat::TrimRight(in.Next());
  in.Next();
  in.Next();
  plat::ScanC(in.Next(), "%d", &m_nParLine4);
  plat::ScanC(in.Next(), "%d", &m_nParLine5);
  plat::ScanC(in.Next(), "%d", &m_nParLine6);
  int nSens = m_nSensors, nEx1 = m_nExtraPoints1, nEx2 = m_nExtraPoints2;
  {
    const char* counts = in.Next();
    plat::ScanC(counts, "%d %d %d", &nSens, &nEx1, &nEx2);
    expect(IsCountLine(counts), "the sensor count (\"sensors points points\")", counts);
  }
  if (nSens < 0) nSens = 0;
  if (nEx1 < 0) nEx1 = 0;
  if (nEx2 < 0) nEx2 = 0;
  // Each count may be as large as the file says, so their sum is taken in 64 bits.
  const long long linesInFile = static_cast<long long>(nSens) + nEx1 + nEx2;
  if (nSens > AEH_MAX_SENSORS) {
    warnings.push_back(
        plat::Format("%d sensors: only the first %d are used", nSens, AEH_MAX_SENSORS));
  }
  m_nSensors = std::min(nSens, AEH_MAX_SENSORS);
  m_nExtraPoints1 = std::min(nEx1, AEH_MAX_POINTS - m_nSensors);
  m_nExtraPoints2 = std::min(nEx2, AEH_MAX_POINTS - m_nSensors - m_nExtraPoints1);
  if (m_nExtraPoints1 + m_nExtraPoints2 < static_cast<long long>(nEx1) + nEx2)
    warnings.push_back(plat::Format("%lld sensor and point lines: only %d points are kept",
                                    linesInFile, AEH_MAX_POINTS));

  {
    const char* line = in.Next();
    float a = 0, b = 0, c = 0;
    int shape = 0;
    int got = plat::ScanC(line, "%f %f %f %d", &a, &b, &c, &shape);
    expect(got >= 2, "the sample size", line);
    if (got < 3) {
      m_nShape = 0;
      if (got >= 1) m_fDiameter = m_fSizeX = m_fSizeY = a;
      if (got >= 2) m_fSizeZ = b;
    } else {
      m_nShape = 1;
      m_fSizeX = a;
      m_fSizeY = b;
      m_fSizeZ = c;
      m_fDiameter = std::max(a, b);
      if (got == 4) {
        m_nShape = Contains(line, "D-DIA") ? 10 : Contains(line, "CUBE") ? 4 : shape;
      }
    }
  }
  {
    float v[3] = {m_fVelocityAux, 0, 0};
    in.ReadThreeFloats(v);
    m_fVelocityAux = v[0];
  }

  for (int& p : m_PulserSensor) p = -1;
  // Lines of sensors beyond the 32 that fit are read over; their slots are not stored.
  for (long long line = 0; line < linesInFile; ++line) {
    // Past the end of the file every line reads empty: only the lines of kept slots are
    // still gone through, not the up to 2^31 others a count may claim.
    if (in.AtEnd()) {
      const long long points1 = static_cast<long long>(nSens), points2 = points1 + nEx1;
      if (line >= m_nSensors && line < points1) line = points1;
      if (line >= points1 + m_nExtraPoints1 && line < points2) line = points2;
      if (line >= points2 + m_nExtraPoints2) break;
    }
    const char* text = in.Next();
    int k = -1;
    if (line < nSens) {
      if (line < m_nSensors) k = static_cast<int>(line);
    } else if (line - nSens < nEx1) {
      if (line - nSens < m_nExtraPoints1) k = m_nSensors + static_cast<int>(line - nSens);
    } else if (line - nSens - nEx1 < m_nExtraPoints2) {
      k = m_nSensors + m_nExtraPoints1 + static_cast<int>(line - nSens - nEx1);
    }
    if (k < 0) continue;
    int num = 0;
    float p1 = 0, p2 = 0, p3 = 0, p4 = 0;
    char word[256] = "";
    int got = plat::ScanC(text, "%d %f %f %f %f %255s", &num, &p1, &p2, &p3, &p4, word);
    expect(got >= 4, k < m_nSensors ? "a sensor line" : "a further point", text);
    if (got >= 4) {
      if (m_nShape == 0) {
        m_pSensorXYZ[k].x = p3 * std::cos(p1 * kDeg);
        m_pSensorXYZ[k].y = p3 * std::sin(p1 * kDeg);
        m_pSensorXYZ[k].z = p2;
      } else {
        m_pSensorXYZ[k].x = p1;
        m_pSensorXYZ[k].y = p2;
        m_pSensorXYZ[k].z = p3;
      }
    }
    if (got >= 5) m_pSensorSign[k] = p4;
    if (got >= 6) {
      if (word[0] == '-') m_pSensorSign[k] = -std::fabs(m_pSensorSign[k]);
      m_pSensorName[k] = word[0] == '+' ? std::string(word + 1) : std::string(word);
    }
    m_pSensorGain[k] = KZ_GetKeyFloat(text, "ain=", 1.83e-6f);
    if (const char* p = std::strchr(text, 'p')) {
      int j = 0;
      if (plat::ScanC(p + 1, "%d", &j) == 1 && j > 0 && j <= AEH_MAX_PULSERS)
        m_PulserSensor[j - 1] = k;
    }
  }
  m_nPulsers = 0;
  for (int p : m_PulserSensor)
    if (p >= 0) ++m_nPulsers;
  m_nMinArrivals = m_nSensors >= 10 ? 8 : 6;

  // Velocity table.
  int nVel = m_nVelEntries;
  {
    const char* count = in.Next();
    plat::ScanC(count, "%d", &nVel);
    expect(StartsWithWholeNumber(count), "the number of velocity entries", count);
  }
  if (nVel < 0) nVel = 0;
  if (nVel > AEH_MAX_VELOCITIES)
    warnings.push_back(
        plat::Format("%d velocity entries: only the first %d are used", nVel, AEH_MAX_VELOCITIES));
  m_nVelEntries = std::min(nVel, AEH_MAX_VELOCITIES);
  struct Dated {
    int day, hour, minute;
  };
  std::vector<int> datedIndex;
  std::vector<Dated> dated;
  m_bVelTimeForm = -1;
  for (int e = 0; e < nVel; ++e) {
    const char* text = in.Next();
    if (e >= m_nVelEntries) {
      if (in.AtEnd()) break;  // the rest would all read empty
      continue;
    }
    int num, day, hour, minute;
    float vz, vx, vy;
    if (plat::ScanC(text, "%d %d %d %d %f %f %f", &num, &day, &hour, &minute, &vz, &vx, &vy) == 7) {
      m_fVel[e][0] = vx;
      m_fVel[e][1] = vy;
      m_fVel[e][2] = vz;
      datedIndex.push_back(e);
      dated.push_back({day, hour, minute});
    } else {
      float t = 0;
      vz = m_fVel[e][2];
      vx = m_fVel[e][0];
      vy = m_fVel[e][1];
      int got = plat::ScanC(text, "%d %f %f %f %f", &num, &t, &vz, &vx, &vy);
      expect(got >= 3, "a velocity entry", text);
      if (got >= 2) m_nVelTime[e] = KZ_SaturateCast<int>(t);
      if (got >= 3) m_fVel[e][2] = vz;
      if (got == 3) vx = vy = vz;
      if (got >= 3) {
        m_fVel[e][0] = vx;
        m_fVel[e][1] = vy;
      }
      m_bVelTimeForm = 0;
    }
  }
  const char* factorLine = in.Next();
  {
    float fx = KZ_GetKeyFloat(factorLine, "X=", 1.0f);
    float fy = KZ_GetKeyFloat(factorLine, "Y=", 1.0f);
    float fz = KZ_GetKeyFloat(factorLine, "Z=", 1.0f);
    for (int e = 0; e < m_nVelEntries; ++e) {
      m_fVel[e][0] *= fx;
      m_fVel[e][1] *= fy;
      m_fVel[e][2] *= fz;
    }
  }

  // Times.
  const char* peak = factorLine;
  bool found = Contains(peak, "PEAK=");
  while (!found && !in.AtEnd()) {
    peak = in.Next();
    found = Contains(peak, "PEAK=");
  }
  if (!found) {
    static_cast<AESensorTable&>(*this) = savedTable;
    std::memcpy(m_PulserSensor, savedPulsers, sizeof savedPulsers);
    m_nPulsers = savedNPulsers;
    m_nMinArrivals = savedMinArrivals;
    m_strParFile = previousParFile;
    plat::AfxMessageBox(path + ": " + (firstWrong.empty() ? "no \"PEAK=\" time line" : firstWrong) +
                            "; the parameter file is not loaded.",
                        MB_ICONHAND);
    return 0;
  }
  const std::string peakLine = peak;
  const std::string refLine = in.Next();
  const std::string endLine = in.Next();
  const bool twoDigits = peakLine.size() > 7 && peakLine[7] == '/';
  auto after = [](const std::string& s) {
    std::size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
  };
  auto readTime = [&](const std::string& s, std::tm* t, float* frac) {
    int y = 0, mo = 1, d = 1, h = 0, mi = 0;
    float sec = 0.0f;
    plat::ScanC(after(s).c_str(), twoDigits ? "%2d/%2d/%2d %2d:%2d:%f" : "%4d/%2d/%2d %2d:%2d:%f",
                &y, &mo, &d, &h, &mi, &sec);
    const float whole = std::floor(sec);
    FillCalendar(t, YearSince1900(y, twoDigits), mo, d, h, mi, KZ_SaturateCast<int>(whole));
    *frac = std::isfinite(sec) ? sec - whole : 0.0f;
  };
  readTime(peakLine, &m_tmStart, &m_fStartFrac);
  readTime(refLine, &m_tmRef, &m_fRefFrac);
  {
    int y = 0, mo = 1, d = 1, h = 0, mi = 0, s = 0;
    plat::ScanC(after(endLine).c_str(),
                twoDigits ? "%2d/%2d/%d %2d:%2d:%d" : "%4d/%2d/%d %2d:%2d:%d", &y, &mo, &d, &h, &mi,
                &s);
    FillCalendar(&m_tmEnd, YearSince1900(y, twoDigits), mo, d, h, mi, s);
  }
  if (!twoDigits) in.Next();

  for (std::size_t i = 0; i < datedIndex.size(); ++i) {
    const Dated& dt = dated[i];
    // In 64 bits: day, hour and minute are whatever numbers the line holds.
    const long long seconds =
        ((((static_cast<long long>(dt.day) - m_tmRef.tm_mday) * 24 + dt.hour) * 60 + dt.minute) *
         60) -
        (m_tmRef.tm_hour * 3600LL + m_tmRef.tm_min * 60LL + m_tmRef.tm_sec);
    m_nVelTime[datedIndex[i]] = KZ_SaturateCast<int>(static_cast<double>(seconds));
  }
  m_bVelTimeForm = 0;

  // Defaults that the sections may change.
  m_fFaultX = m_fFaultY = m_fFaultZ = 0.0f;
  m_fFaultAzimuth = m_fFaultDip = 0.0f;
  m_fFaultLen = m_fSizeZ / 2;
  m_fFaultWidth = m_fSizeX / 2;
  m_nFaults = 0;
  m_nHoles = 0;
  m_nPickLength = m_nParLine5;
  m_nMecMinFM = static_cast<int>(0.8 * m_nSensors);
  m_nMecMinUp = m_nMecMinDown = static_cast<int>(0.4 * m_nSensors);
  m_fMecAcri = m_nSensors > 24 ? 0.15f : 0.0f;
  int faultPoints = 0;

  auto addFaultPoint = [&](double x, double y, double z, float az) {
    if (faultPoints >= AEH_MAX_FAULT_POINTS) return false;
    m_pFaultXYZ[faultPoints] = {x, y, z};
    m_pFaultAz[faultPoints] = az;
    ++faultPoints;
    return true;
  };
  bool droppedFaults = false;

  while (!in.AtEnd()) {
    const char* line = in.Next();
    if (!*line) continue;
    if (Contains(line, "END")) break;
    if (Contains(line, "[FAULTS]")) {
      int nf = KeyInt(in.Next(), "FAULTS=", 0);
      for (int f = 0; f < nf && !in.AtEnd(); ++f) {
        std::string name = in.Next();
        int np = KeyInt(in.Next(), "POINTS=", 0);
        const bool keep = m_nFaults < AEH_MAX_FAULTS;
        int kept = 0;
        for (int p = 0; p < np && !in.AtEnd(); ++p) {
          int num = 0;
          float q1 = 0, q2 = 0, q3 = 0;
          const char* t = in.Next();
          plat::ScanC(t, "%d %f %f %f", &num, &q1, &q2, &q3);
          if (!keep) continue;
          bool ok = m_nShape == 0
                        ? addFaultPoint(q3 * std::cos(q1 * kDeg), q3 * std::sin(q1 * kDeg), q2, q1)
                        : addFaultPoint(q1, q2, q3, 0.0f);
          if (ok)
            ++kept;
          else
            droppedFaults = true;
        }
        if (keep) {
          m_strFaultName[m_nFaults] = name.substr(0, 31);
          m_nFaultPoints[m_nFaults++] = kept;
        } else {
          droppedFaults = true;
        }
      }
    } else if (Contains(line, "[FAULT-PLANE]")) {
      float v[7] = {m_fFaultX,   m_fFaultY,   m_fFaultZ,    m_fFaultAzimuth,
                    m_fFaultDip, m_fFaultLen, m_fFaultWidth};
      plat::ScanC(in.Next(), "%f %f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                  &v[6]);
      m_fFaultX = v[0];
      m_fFaultY = v[1];
      m_fFaultZ = v[2];
      m_fFaultAzimuth = v[3];
      m_fFaultDip = v[4];
      m_fFaultLen = v[5] < 0.1f ? 10.0f : v[5];
      m_fFaultWidth = v[6] < 0.1f ? 10.0f : v[6];
      if (m_nFaults < AEH_MAX_FAULTS) {
        const double r = m_fDiameter / 2;
        int kept = 0;
        for (int i = 0; i <= 24; ++i) {
          double phi = 15.0 * i;
          double z = m_fFaultZ + std::tan(m_fFaultDip * kDeg) * r *
                                     std::cos((m_fFaultAzimuth + 180.0 - phi) * kDeg);
          if (addFaultPoint(r * std::cos(phi * kDeg), r * std::sin(phi * kDeg), z,
                            static_cast<float>(phi)))
            ++kept;
          else
            droppedFaults = true;
        }
        m_strFaultName[m_nFaults] = "FAULT-PLANE";
        m_nFaultPoints[m_nFaults++] = kept;
      } else {
        droppedFaults = true;
      }
    } else if (Contains(line, "AE_OPT")) {
      const char* t = in.Next();
      m_fAEOptA = KZ_GetKeyFloat(t, "a=", 0.0f);
      m_fAEOptQ = KZ_GetKeyFloat(t, "q=", 0.5f);
    } else if (Contains(line, "FILTER_OPT")) {
      const char* t = in.Next();
      m_fFiltOn = KZ_GetKeyFloat(t, "Fp=", 0.0f);
      m_fFiltLow = KZ_GetKeyFloat(t, "Fl=", 0.1f);
      m_fFiltHigh = KZ_GetKeyFloat(t, "Fh=", 2.0f);
      m_fFiltStop = KZ_GetKeyFloat(t, "Fs=", 5.0f);
      m_fFiltAp = KZ_GetKeyFloat(t, "Ap=", 0.5f);
      m_fFiltAs = KZ_GetKeyFloat(t, "As=", 5.0f);
    } else if (Contains(line, "FLIATION-DIRECTION") || Contains(line, "FOLIATION-DIRECTION")) {
      for (AEFoliation& f : m_Foliation) {
        plat::ScanC(in.Next(), "%f %f %f %f %f %f %d", &f.v[0], &f.v[1], &f.v[2], &f.v[3], &f.v[4],
                    &f.v[5], &f.n);
      }
    } else if (Contains(line, "HOLE")) {
      int nh = KeyInt(line, "num=", 0);
      if (nh < 0) nh = 0;
      if (nh > AEH_MAX_HOLES)
        warnings.push_back(plat::Format("%d holes: only the first %d are used", nh, AEH_MAX_HOLES));
      m_nHoles = std::min(nh, AEH_MAX_HOLES);
      for (int h = 0; h < nh && !in.AtEnd(); ++h) {
        const char* t = in.Next();
        if (h >= AEH_MAX_HOLES) continue;
        m_Holes[h] = {KZ_GetKeyFloat(t, "x=", 0.0f), KZ_GetKeyFloat(t, "y=", 0.0f),
                      KZ_GetKeyFloat(t, "z1=", 0.0f), KZ_GetKeyFloat(t, "z2=", 0.0f),
                      KZ_GetKeyFloat(t, "d=", 0.0f)};
      }
    } else if (Contains(line, "<LOC_OPT")) {
      while (!in.AtEnd()) {
        const char* t = in.Next();
        if (Contains(t, "</")) break;
        if (Contains(t, "I_TRIG"))
          m_nITrig = ValueInt(t, m_nITrig);
        else if (Contains(t, "ISE_IS"))
          m_nNoiseIS = ValueInt(t, m_nNoiseIS);
        else if (Contains(t, "ISE_TW"))
          m_fNoiseTW = static_cast<float>(ValueInt(t, static_cast<int>(m_fNoiseTW)));
        else if (Contains(t, "ISE_SN"))
          m_fNoiseSN = static_cast<float>(ValueInt(t, static_cast<int>(m_fNoiseSN)));
        else if (Contains(t, "_START"))
          m_nPickStart = ValueInt(t, m_nPickStart);
        else if (Contains(t, "CK_LEN"))
          m_nPickLength = ValueInt(t, m_nParLine5);
        else if (Contains(t, "RORDER"))
          m_nAROrder = ValueInt(t, m_nAROrder);
        else if (Contains(t, "CC_WIN"))
          m_nCCWindow = ValueInt(t, m_nCCWindow);
        else if (Contains(t, "CC_SHI"))
          m_nCCShift = ValueInt(t, m_nCCShift);
        else if (Contains(t, "CC_MIN"))
          m_fCCMin = ValueFloat(t, m_fCCMin);
        else if (Contains(t, "SN_MIN"))
          m_fMinSN = ValueFloat(t, m_fMinSN);
        else if (Contains(t, "RES_MA"))
          m_fMaxRes = ValueFloat(t, m_fMaxRes);
        else if (Contains(t, "H_DIM="))
          m_fHDim = ValueFloat(t, m_fHDim);
        else if (Contains(t, "MAG_MIN"))
          m_fMagMin = ValueFloat(t, m_fMagMin);
        else if (Contains(t, "MAG_MAX"))
          m_fMagMax = ValueFloat(t, m_fMagMax);
        else if (Contains(t, "R-NORML"))
          m_fRNormal = ValueFloat(t, m_fRNormal);
        else if (Contains(t, "N_M_FC"))
          m_fMagFcSlope = ValueFloat(t, m_fMagFcSlope);
        else if (Contains(t, "M_FC_1M"))
          m_fMagFcConst = ValueFloat(t, m_fMagFcConst);
        else if (Contains(t, "MWFC_SENSC"))
          m_nMwFcSensCorr = ValueInt(t, m_nMwFcSensCorr);
        else if (Contains(t, "FC_WINDOW"))
          m_fMwFcWindow = static_cast<float>(ValueInt(t, static_cast<int>(m_fMwFcWindow)));
        else {
          int method = Contains(t, "sim_grid_search++")  ? 13
                       : Contains(t, "sim_grid_search")  ? 3
                       : Contains(t, "full_grid_search") ? 5
                                                         : 0;
          if (method) {
            m_nGridSearch = method;
            m_fHDim = KZ_GetKeyFloat(t = in.Next(), "h_dim=", 0.55f);
            m_nGridNP = KeyInt(t = in.Next(), "np=", 8);
            m_nGridX = KeyInt(t = in.Next(), "nx=", 20);
            m_nGridY = KeyInt(t = in.Next(), "ny=", 20);
            m_nGridZ = KeyInt(t = in.Next(), "nz=", 20);
          }
        }
        int fix = 0;
        float value = 0.0f;
        if (const char* p = std::strstr(t, "X:")) {
          if (plat::ScanC(p, "X: %d %f", &fix, &value) == 2) {
            m_bFixX = fix == 1;
            m_fFixX = value;
          }
        } else if (const char* p = std::strstr(t, "Y:")) {
          if (plat::ScanC(p, "Y: %d %f", &fix, &value) == 2) {
            m_bFixY = fix == 1;
            m_fFixY = value;
          }
        } else if (const char* p = std::strstr(t, "Z:")) {
          if (plat::ScanC(p, "Z: %d %f", &fix, &value) == 2) {
            m_bFixZ = fix == 1;
            m_fFixZ = value;
          }
        }
      }
    } else if (Contains(line, "<MEC_OPT")) {
      while (!in.AtEnd()) {
        const char* t = in.Next();
        if (Contains(t, "</")) break;
        if (Contains(t, "N_SENSOR"))
          m_nMecMinFM = ValueInt(t, m_nMecMinFM);
        else if (Contains(t, "N_UP_SHEAR"))
          m_nMecMinUp = ValueInt(t, m_nMecMinUp);
        else if (Contains(t, "N_DN_SHEAR"))
          m_nMecMinDown = ValueInt(t, m_nMecMinDown);
        else if (Contains(t, "MEC_DATA"))
          m_nMecData = ValueInt(t, m_nMecData);
        else if (Contains(t, "MEC_SENSC"))
          m_nMecSensCorr = ValueInt(t, m_nMecSensCorr);
        else if (Contains(t, "MEC_RA_CRI"))
          m_fMecAcri = ValueFloat(t, m_fMecAcri);
      }
    }
  }
  if (droppedFaults)
    warnings.push_back(plat::Format("faults beyond %d or fault points beyond %d are left out",
                                    AEH_MAX_FAULTS, AEH_MAX_FAULT_POINTS));
  if (!warnings.empty()) {
    std::string text = path + ":";
    for (const std::string& w : warnings) text += "\n" + w + ".";
    plat::AfxMessageBox(text, MB_ICONEXCLAMATION);
  }

  m_nHeaderSize = AEH_HEADER_SIZE;
  m_nRecSize = AEH_HEADER_SIZE + 18 * m_nSensors;
  if (parametersOnly) return 1;
  return OpenCatalogue(path);
}
