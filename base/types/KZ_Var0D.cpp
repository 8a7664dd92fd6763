#include "base/types/KZ_Var0D.h"

namespace {

void ReplaceAll(std::string& s, const char* from, const char* to) {
  const std::string f(from), t(to);
  std::size_t pos = 0;
  while ((pos = s.find(f, pos)) != std::string::npos) {
    s.replace(pos, f.size(), t);
    pos += t.size();
  }
}

}  // namespace

std::string KZ_CleanTitle(const std::string& text, bool exponents) {
  std::string s = text + ",";
  for (const char* zeros : {".000000,", ".00000,", ".0000,", ".000,", ".00,", ".0,"}) ReplaceAll(s, zeros, ".");
  while (!s.empty() && s.back() == ',') s.pop_back();
  if (exponents) {
    for (const char* from : {"0e+", "e+0", "0e-", "e-0"}) {
      const std::string to(from[0] == '0' ? from + 1 : std::string(from, 2));
      ReplaceAll(s, from, to.c_str());
      ReplaceAll(s, from, to.c_str());
    }
  }
  return s;
}

void KZ_Var0D::SetInfo(const std::string& title, const std::string& unit, int components, double min, double max,
                       double scale, int logMode, std::uint32_t info) {
  const char* prefix = logMode == 1 ? "log, " : logMode == 2 ? "ln, " : "";
  m_strTitle = KZ_CleanTitle(prefix + title, false);
  m_strUnit = unit;
  m_nComponents = static_cast<std::int16_t>(components);
  m_dMin = min;
  m_dMax = max;
  m_dScale = scale;
  m_nLog = static_cast<std::uint16_t>(logMode);
  m_nInfo = info;
}
