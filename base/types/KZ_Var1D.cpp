#include "base/types/KZ_Var1D.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/Strings.h"

namespace {

// Doubles per sample in the range, mean, smoothing, log and file operations, which treat
// every vector variable as two-component.
int PairStride(const KZ_Var0D& v) { return v.m_nComponents ? 2 : 1; }

}  // namespace

void KZ_Var1D::UpdateRange() {
  if (m_nCount < 1 || !m_pData) return;
  double lo = 1e30, hi = -1e30;
  const int stride = PairStride(*this);
  for (int i = 0; i < m_nCount; ++i) {
    const double* s = m_pData + static_cast<std::size_t>(i) * stride;
    const double v = stride == 1 ? s[0] : std::sqrt(s[0] * s[0] + s[1] * s[1]);
    if (v <= lo) lo = v;
    if (v >= hi) hi = v;
  }
  m_dMin = lo;
  m_dMax = hi;
  if (std::fabs(m_dMax - m_dMin) < 1e-20) m_dMax = m_dMin + 1.0;
}

double KZ_Var1D::Mean() {
  if (m_nCount < 1 || !m_pData) return 0.0;
  double sum = 0.0;
  if (!m_nComponents) {
    for (int i = 0; i < m_nCount; ++i) sum += m_pData[i];
  } else {
    for (int i = 0; i < m_nCount; ++i) sum += std::hypot(m_pData[2 * i], m_pData[2 * i + 1]);
  }
  return sum / m_nCount;
}

double KZ_Var1D::RemoveMean() {
  if (m_nCount < 1 || !m_pData || m_nComponents) return 0.0;
  const double mean = Mean();
  for (int i = 0; i < m_nCount; ++i) m_pData[i] -= mean;
  return mean;
}

void KZ_Var1D::Smooth(int passes, int /*unused*/) {
  if (passes <= 0 || !m_pData || m_nCount < 3) return;
  const int stride = PairStride(*this);
  std::vector<double> next(static_cast<std::size_t>(m_nCount));
  for (int comp = 0; comp < stride; ++comp) {
    auto at = [&](int i) -> double& { return m_pData[static_cast<std::size_t>(i) * stride + comp]; };
    for (int p = 0; p < passes; ++p) {
      for (int i = 1; i + 1 < m_nCount; ++i) next[i] = (at(i - 1) + 2.0 * at(i) + at(i + 1)) / 4.0;
      for (int i = 1; i + 1 < m_nCount; ++i) at(i) = next[i];
    }
  }
}

void KZ_Var1D::ToLog10() {
  if (!m_pData) return;
  if (!m_nComponents) {
    for (int i = 0; i < m_nCount; ++i) m_pData[i] = m_pData[i] > 0.0 ? std::log10(m_pData[i]) : -30.0;
    return;
  }
  for (int i = 0; i < m_nCount; ++i) {
    double& x = m_pData[2 * i];
    double& y = m_pData[2 * i + 1];
    const double m = std::sqrt(x * x + y * y) + 1e-30;
    const double l = std::log10(m);
    x = x / m * l;
    y = y / m * l;
  }
}

double KZ_Var1D::GetMagnitude(int i) const {
  if (!m_pData) return 0.0;
  const std::size_t k = static_cast<std::size_t>(i);
  if (m_nComponents == 0) return m_pData[k];
  if (m_nComponents == 1) return std::sqrt(m_pData[2 * k] * m_pData[2 * k] + m_pData[2 * k + 1] * m_pData[2 * k + 1]);
  const double* s = m_pData + 3 * k;
  return std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
}

void KZ_Var1D::Attach(const std::string& title, const std::string& unit, double* samples, double* errors, int count,
                      int components, double min, double max, double scale, int logMode, std::uint32_t info) {
  SetInfo(title, unit, components, min, max, scale, logMode, info);
  m_pData = samples;
  m_nCount = count;
  m_pErr = errors;
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
  m_PlotValues.assign(n, 0.0);
  if (errors) m_PlotErrors.assign(n, 0.0);
  else m_PlotErrors.clear();
  if (min >= max) UpdateRange();
  MakePlotValues(false, false);
}

void KZ_Var1D::MakePlotValues(bool recomputeRange, bool normalise) {
  if (recomputeRange) UpdateRange();
  m_fPlotMin = static_cast<float>(m_dMin * m_dScale);
  m_fPlotMax = static_cast<float>(m_dScale * m_dMax);
  m_fPlotSpan = static_cast<float>(m_dMin < m_dMax ? m_dMin - m_dMax : m_dMax - m_dMin);
  if (!m_pData || m_nCount < 1) return;
  const std::size_t n = static_cast<std::size_t>(m_nCount);
  // The count may have grown since the arrays were made (SetAll): never write past them.
  if (m_PlotValues.size() < n) m_PlotValues.resize(n);
  const bool errors = m_pErr != nullptr;
  if (errors && m_PlotErrors.size() < n) m_PlotErrors.resize(n);
  for (int i = 0; i < m_nCount; ++i) m_PlotValues[i] = GetMagnitude(i) * m_dScale;
  if (errors) {
    // The error buffer has one double per sample whatever the component count.
    for (int i = 0; i < m_nCount; ++i) m_PlotErrors[i] = m_pErr[i] * m_dScale;
  }
  if (normalise) {
    const float f = 1.0f / m_fPlotMax;
    for (int i = 0; i < m_nCount; ++i) m_PlotValues[i] *= f;
    if (errors)
      for (int i = 0; i < m_nCount; ++i) m_PlotErrors[i] *= f;
    m_fPlotMin *= f;
    m_fPlotMax = 1.0f;
  }
  if (m_nLog) {
    m_fPlotMin = static_cast<float>(std::log10(std::fabs(m_fPlotMin)));
    if (!(m_fPlotMin >= -30.0f)) m_fPlotMin = -30.0f;
    m_fPlotMax = static_cast<float>(std::log10(std::fabs(m_fPlotMax)));
    if (!(m_fPlotMax >= -28.0f)) m_fPlotMax = -28.0f;
    m_fPlotSpan = -30.0f;
    m_fPlotMin = m_fPlotMin <= 0.0f ? std::floor(m_fPlotMin) : std::ceil(m_fPlotMin);
    m_fPlotMax = m_fPlotMax <= 0.0f ? std::floor(m_fPlotMax) : std::ceil(m_fPlotMax);
    for (int i = 0; i < m_nCount; ++i) m_PlotValues[i] = std::log10(std::fabs(m_PlotValues[i]));
    if (errors)
      for (int i = 0; i < m_nCount; ++i) m_PlotErrors[i] = std::log10(std::fabs(m_PlotErrors[i]));
  }
}

void KZ_Var1D::Set(int count, const std::string& title, const std::string& unit, std::uint32_t axisFlags) {
  m_nCount = count;
  m_strTitle = title;
  m_strUnit = unit;
  m_nAxisFlags = axisFlags;
  UpdateRange();
  const double lo = KZ_NiceFloor(m_dMin), hi = KZ_NiceCeil(m_dMax);
  SetAll(count, lo, hi, title, unit, axisFlags);
}

void KZ_Var1D::SetAll(int count, double min, double max, const std::string& title, const std::string& unit,
                      std::uint32_t axisFlags) {
  m_nCount = count;
  m_strTitle = KZ_CleanTitle(title, true);
  m_strUnit = unit;
  if (std::fabs(max - min) >= 1e-10) {
    m_dMin = min;
    m_dMax = max;
  } else {
    UpdateRange();
  }
  m_nAxisFlags = axisFlags;
}

void KZ_Var1D::WriteTo(plat::File* file, char mode, int type, double header) {
  if (!file || !m_pData || m_nCount < 1) return;
  const int stride = PairStride(*this);
  const std::size_t values = static_cast<std::size_t>(m_nCount) * stride;
  if (mode != 'b') {
    file->Printf("%e\n", header);
    for (int i = 0; i < m_nCount; ++i) {
      if (stride == 1) file->Printf("%d %e\n", i, m_pData[i]);
      else file->Printf("%e %e\n", m_pData[2 * i], m_pData[2 * i + 1]);
    }
    return;
  }
  const std::size_t width = type == 8 ? 8 : 4;
  std::vector<unsigned char> bytes(8 + values * width);
  le::PutF64(bytes.data(), header);
  for (std::size_t k = 0; k < values; ++k) {
    if (width == 8) le::PutF64(&bytes[8 + 8 * k], m_pData[k]);
    else le::PutF32(&bytes[8 + 4 * k], static_cast<float>(m_pData[k]));
  }
  file->Write(bytes.data(), bytes.size());
}

int KZ_Var1D::SaveFile(const std::string& path, char mode, int type, double header) {
  if (!m_pData || m_nCount < 1) return 0;
  plat::File f;
  if (!f.Open(path, mode == 'b' ? "wb" : "wt")) return 0;
  WriteTo(&f, mode, type, header);
  f.Close();
  return 1;
}

int KZ_Var1D::LoadFile(const std::string& path, double* header, char mode, int type) {
  if (!m_pData || m_nCount < 1) return 0;
  plat::File f;
  if (!f.Open(path, mode == 'b' ? "rb" : "rt")) return 0;
  const int stride = PairStride(*this);
  const std::size_t values = static_cast<std::size_t>(m_nCount) * stride;
  std::vector<double> read(values);
  double head = 0.0;
  if (mode == 'b') {
    const std::size_t width = type == 8 ? 8 : 4;
    std::vector<unsigned char> bytes(8 + values * width);
    if (f.Read(bytes.data(), bytes.size()) != bytes.size()) return 0;
    head = le::GetF64(bytes.data());
    for (std::size_t k = 0; k < values; ++k)
      read[k] = width == 8 ? le::GetF64(&bytes[8 + 8 * k]) : le::GetF32(&bytes[8 + 4 * k]);
  } else {
    std::string line;
    if (!f.ReadLine(line) || plat::ScanC(line.c_str(), "%le", &head) != 1) return 0;
    for (int i = 0; i < m_nCount; ++i) {
      if (!f.ReadLine(line)) return 0;
      if (stride == 1) {
        int index = 0;
        if (plat::ScanC(line.c_str(), "%d %le", &index, &read[i]) != 2) return 0;
      } else if (plat::ScanC(line.c_str(), "%le %le", &read[2 * i], &read[2 * i + 1]) != 2) {
        return 0;
      }
    }
  }
  // Only a complete file replaces the samples.
  std::memcpy(m_pData, read.data(), values * sizeof(double));
  if (header) *header = head;
  return 1;
}

void KZ_FormatNumber(double value, char* buffer) {
  // The whole-number test only where the value fits an int (the conversion is undefined
  // beyond it).
  if (std::fabs(value) < 2.1e9) {
    const int k = static_cast<int>(std::floor(value + 0.5));
    if (std::fabs(value - k) < 1e-10) {
      std::snprintf(buffer, 32, "%d", k);
      return;
    }
  }
  const double a = std::fabs(value);
  std::string text;
  if (a >= 10000.0 || a < 0.01) {
    // Six significant digits, so that a cell read back keeps its value.
    text = plat::Format("%.6g", value);
  } else if (a <= 100.0) {
    text = plat::Format("%f", value);
  } else {
    text = plat::Format("%.1f", value);
    while (text.size() > 1 && text.back() == '0') text.pop_back();
  }
  std::snprintf(buffer, 32, "%s", text.c_str());
}
