#include "aecore/document/AEStress.h"

#include <algorithm>
#include <cmath>

#include "base/numerics/KZ_NumHelpers.h"
#include "platform/File.h"
#include "platform/Strings.h"

namespace {

// The load in kN over the area of a 50 mm core, in 0.1 MPa, in single precision.
constexpr float kStressFactor = 5.0929460525512695f;
constexpr float kMissingAbove = 99990.0f;

// Truncation toward zero kept in 16 bits (values beyond the 32-bit range saturate first,
// NaN gives 0).
std::int16_t To16(double v) { return static_cast<std::int16_t>(KZ_SaturateCast<std::int32_t>(v)); }

}  // namespace

CAEStress::CAEStress() {
  for (auto* a : {&m_pPressure, &m_pAxialStress, &m_pValue3, &m_pValue4, &m_pVolStrain})
    a->assign(m_nCapacity, 0);
  for (auto& s : m_pStrain) s.assign(m_nCapacity, 0);
}

int CAEStress::Read(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rt")) return 0;
  m_nInterval = 20;
  char line[1024];
  if (f.Gets(line, sizeof line)) {
    int yy, mo, dd, hh, mi, ss;
    if (plat::ScanC(line, "[BASE TIME]%2d/%2d/%d %2d:%2d:%2d", &yy, &mo, &dd, &hh, &mi, &ss) == 6) {
      m_tmBase = std::tm{};
      // Two digits of the year: 69-99 are the 1900s, 00-68 this century (as strptime's %y),
      // so that a record of 2026 lies where its events lie.
      m_tmBase.tm_year = yy < 69 ? yy + 100 : yy;
      m_tmBase.tm_mon = mo - 1;
      m_tmBase.tm_mday = dd;
      m_tmBase.tm_hour = hh;
      m_tmBase.tm_min = mi;
      m_tmBase.tm_sec = ss;
    }
  }
  m_nMaxStress = 0;
  float baseline[12] = {};
  int r = 0;
  for (; r < m_nCapacity; ++r) {
    if (!f.Gets(line, sizeof line)) break;
    int h, m, s;
    float v[16] = {};
    int got = plat::ScanC(line, "%2d:%2d:%2d %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f", &h,
                          &m, &s, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                          &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]);
    if (got < 17) break;
    const float* gauge = v + 2;
    if (got == 19) {
      m_pValue3[r] = To16(v[2]);
      m_pValue4[r] = To16(v[3]);
      gauge = v + 4;
    } else {
      m_pValue3[r] = 0;
      m_pValue4[r] = 0;
    }
    if (r == 0)
      for (int k = 0; k < 12; ++k) baseline[k] = gauge[k] > kMissingAbove ? kMissing : gauge[k];
    m_pAxialStress[r] = To16(v[0] * kStressFactor);
    m_nMaxStress = std::max(m_nMaxStress, m_pAxialStress[r]);
    m_pPressure[r] = To16(v[1] * 0.1f);
    for (int k = 0; k < 12; ++k)
      m_pStrain[k][r] = gauge[k] > kMissingAbove ? kMissing : To16(gauge[k] - baseline[k]);
    int pairs = 0;
    double sum = 0.0;
    for (int p = 0; p < 6; ++p) {
      std::int16_t a = m_pStrain[2 * p][r], c = m_pStrain[2 * p + 1][r];
      if (a <= 32220 && c <= 32220) {
        sum += a + 2.0 * c;
        ++pairs;
      }
    }
    m_pVolStrain[r] = pairs > 0 ? To16(sum / pairs) : 0;
  }
  m_nSamples = r;
  m_strFile = path;
  return 1;
}

double CAEStress::GetStress(int seconds) const {
  int row = seconds / m_nInterval;
  if (row < 0 || row >= m_nSamples) return 0.0;
  return m_pAxialStress[row];
}
