#include "base/types/KZ_Var2D.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/Strings.h"

namespace {

// int16 fields hold whole numbers; values beyond them are saturated rather than wrapped.
std::int16_t Word(double v) {
  if (!(v == v)) return 0;
  return static_cast<std::int16_t>(std::clamp(std::trunc(v), -32768.0, 32767.0));
}

}  // namespace

void KZ_FormatGridHeader(const KZ_GridHeader& h, unsigned char out[KZ_GRID_HEADER_BYTES]) {
  std::memset(out, 0, KZ_GRID_HEADER_BYTES);
  le::PutI16(out + 0, 20);
  le::PutI16(out + 2, 37);
  le::PutI16(out + 4, 3);
  le::PutI16(out + 6, static_cast<std::int16_t>(h.type));
  le::PutI16(out + 8, static_cast<std::int16_t>(h.nx));
  le::PutI16(out + 10, static_cast<std::int16_t>(h.ny));
  le::PutI16(out + 12, Word(h.xStep));
  le::PutF32(out + 16, h.scale);
  le::PutF32(out + 20, h.y0);
  le::PutF32(out + 24, h.x0);
  le::PutF32(out + 28, h.y1);
  le::PutF32(out + 32, h.x1);
  le::PutF32(out + 36, h.min);
  le::PutF32(out + 40, h.max);
  le::PutI16(out + 44, static_cast<std::int16_t>(h.code));
  le::PutI16(out + 46, static_cast<std::int16_t>(h.components));
  // Texts longer than their fields are cut so that they never run into the next field.
  const std::size_t n = std::min<std::size_t>(h.description.size(), KZ_GRID_DESCRIPTION_MAX);
  le::PutI16(out + 48, static_cast<std::int16_t>(n));
  std::memcpy(out + 50, h.description.data(), n);
  const std::size_t m = std::min<std::size_t>(h.label.size(), KZ_GRID_LABEL_MAX);
  le::PutI16(out + 114, static_cast<std::int16_t>(m));
  std::memcpy(out + 116, h.label.data(), m);
}

KZ_Var2D::~KZ_Var2D() {
  KZ_FreeMatrix(m_ppPlot);
  KZ_FreeMatrix(m_ppPlotErr);
}

double KZ_Var2D::Magnitude(int i, int j) const {
  const double* row = m_ppData[i];
  if (!m_nComponents) return row[j];
  return std::sqrt(row[2 * j] * row[2 * j] + row[2 * j + 1] * row[2 * j + 1]);
}

void KZ_Var2D::SetData(const std::string& title, const std::string& unit, double** data,
                       double** errors, int nx, int ny, int components, double min, double max,
                       double scale, int logMode, std::uint32_t info) {
  SetInfo(title, unit, components, min, max, scale, logMode, info);
  m_nx = std::max(nx, 0);
  m_ny = std::max(ny, 0);
  m_ppData = data;
  m_ppErr = errors;
  KZ_FreeMatrix(m_ppPlot);
  KZ_FreeMatrix(m_ppPlotErr);
  m_ppPlot = m_nx > 0 && m_ny > 0 ? KZ_AllocMatrix64(m_nx, m_ny) : nullptr;
  m_ppPlotErr = errors && m_nx > 0 && m_ny > 0 ? KZ_AllocMatrix64(m_nx, m_ny) : nullptr;
  if (!(min < max) && m_ppData) {
    double lo = 1e30, hi = -1e30;
    for (int i = 0; i < m_nx; ++i)
      for (int j = 0; j < m_ny; ++j) {
        const double v = Magnitude(i, j);
        if (v <= lo) lo = v;
        if (v >= hi) hi = v;
      }
    if (hi <= lo) {
      lo = 0.0;
      hi = 1.0;
    } else if (m_dScale < 0) {
      lo = std::log10(lo + 1e-30);
      hi = std::log10(hi + 1e-30);
    }
    m_dMin = lo;
    m_dMax = hi;
  }
  MakePlotValues(false, false);
}

void KZ_Var2D::UpdateRange() {
  if (!m_ppData || m_nx < 1 || m_ny < 1) return;
  double lo = 1e30, hi = -1e30, sum = 0.0;
  for (int i = 0; i < m_nx; ++i)
    for (int j = 0; j < m_ny; ++j) {
      const double v = Magnitude(i, j);
      if (v <= lo) lo = v;
      if (v >= hi) hi = v;
      sum += v;
    }
  m_dMean = sum / (static_cast<double>(m_nx) * m_ny);
  if (lo >= hi) {
    lo = hi / 2;
    hi = 1.5 * lo;
  }
  m_dMin = lo;
  m_dMax = hi;
}

void KZ_Var2D::MakePlotValues(bool recomputeRange, bool /*normalise*/) {
  if (recomputeRange) UpdateRange();
  m_dPlotMin = m_dMin * m_dScale;
  m_dPlotMax = m_dMax * m_dScale;
  m_dPlotSpan = m_dMin - m_dMax;
  if (m_nLog) {
    m_dPlotMin = m_dPlotMin > 1e-30 ? std::log10(m_dPlotMin) : -30.0;
    m_dPlotMax = m_dPlotMax > 1e-28 ? std::log10(m_dPlotMax) : -28.0;
    m_dPlotSpan = -30.0;
    m_dPlotMin = static_cast<double>(std::lround(m_dPlotMin - 0.5));
    m_dPlotMax = static_cast<double>(std::lround(m_dPlotMax + 0.5));
  }
  if (!m_ppData || !m_ppPlot) return;
  auto plot = [&](double v) { return m_nLog ? (v > 1e-30 ? std::log10(v) : -30.0) : v; };
  for (int i = 0; i < m_nx; ++i)
    for (int j = 0; j < m_ny; ++j) m_ppPlot[i][j] = plot(Magnitude(i, j) * m_dScale);
  if (m_ppErr && m_ppPlotErr) {
    for (int i = 0; i < m_nx; ++i) {
      const double* e = m_ppErr[i];
      for (int j = 0; j < m_ny; ++j) {
        const double v =
            m_nComponents ? std::sqrt(e[2 * j] * e[2 * j] + e[2 * j + 1] * e[2 * j + 1]) : e[j];
        m_ppPlotErr[i][j] = plot(v * m_dScale);
      }
    }
  }
}

void KZ_Var2D::Smooth(int passes, int /*unused*/) {
  if (!m_ppData || m_nx < 3 || m_ny < 3) return;
  const int stride = m_nComponents ? 2 : 1;
  std::vector<double> copy(static_cast<std::size_t>(m_nx) * m_ny * stride);
  // Passes up to 1 still make one pass.
  for (int pass = 0; pass < std::max(passes, 1); ++pass) {
    for (int i = 0; i < m_nx; ++i)
      std::copy(m_ppData[i], m_ppData[i] + m_ny * stride, copy.begin() + i * m_ny * stride);
    auto at = [&](int i, int j, int k) {
      return copy[(static_cast<std::size_t>(i) * m_ny + j) * stride + k];
    };
    for (int i = 1; i + 1 < m_nx; ++i)
      for (int j = 1; j + 1 < m_ny; ++j)
        for (int k = 0; k < stride; ++k)
          m_ppData[i][j * stride + k] = 0.2 * (at(i, j, k) + at(i - 1, j, k) + at(i + 1, j, k) +
                                               at(i, j - 1, k) + at(i, j + 1, k));
  }
}

int KZ_Var2D::WriteTo(plat::File* file, char mode, int type) {
  if (!file || !m_ppData) return 0;
  const int stride = m_nComponents ? 2 : 1;
  if (mode == 'b' && (type == 8 || type == 4)) {
    const std::size_t width = type == 8 ? 8 : 4;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(m_nx) * m_ny * stride * width);
    std::size_t at = 0;
    for (int k = 0; k < stride; ++k)
      for (int j = 0; j < m_ny; ++j)
        for (int i = 0; i < m_nx; ++i, at += width) {
          const double v = m_ppData[i][j * stride + k];
          if (width == 8)
            le::PutF64(&bytes[at], v);
          else
            le::PutF32(&bytes[at], static_cast<float>(v));
        }
    file->Write(bytes.data(), bytes.size());
    return 1;
  }
  for (int i = 0; i < m_nx; ++i) {
    std::string line;
    for (int j = 0; j < m_ny; ++j) {
      const double* s = m_ppData[i] + j * stride;
      line += stride == 1 ? plat::Format("%f ", s[0]) : plat::Format("%f %f ", s[0], s[1]);
    }
    file->Puts(line + "\n");
  }
  return 1;
}

int KZ_Var2D::SaveFile(const std::string& path, char mode, int type) {
  if (!m_ppData) return 0;
  plat::File f;
  if (!f.Open(path, mode == 'b' ? "wb" : "wt")) return 0;
  WriteTo(&f, mode, type);
  f.Close();
  return 1;
}

namespace {

// The header of a grid file of the variable over [x0, x1] x [y0, y1].
KZ_GridHeader GridHeader(const KZ_Var2D& v, float x0, float x1, float y0, float y1, int code,
                         const std::string& prefix, const std::string& label, int type) {
  KZ_GridHeader h;
  h.type = type;
  h.nx = v.m_nx;
  h.ny = v.m_ny;
  h.xStep = v.m_nx > 1 ? (static_cast<double>(x1) - x0) / (v.m_nx - 1) : 0.0;
  h.scale = static_cast<float>(v.m_dScale);
  h.x0 = x0, h.x1 = x1, h.y0 = y0, h.y1 = y1;
  h.min = static_cast<float>(v.m_dMin);
  h.max = static_cast<float>(v.m_dMax);
  h.code = code;
  h.components = v.m_nComponents ? 2 : 1;
  h.description = prefix + v.m_strTitle + ", " + v.m_strUnit;
  h.label = label;
  return h;
}

}  // namespace

int KZ_Var2D::SaveGridFile(plat::File* file, float x0, float x1, float y0, float y1,
                           const std::string& label, double value, const std::string& prefix,
                           int type) {
  if (!file || !m_ppData) return 0;
  const KZ_GridHeader h = GridHeader(*this, x0, x1, y0, y1, -1, prefix, label, type);
  unsigned char bytes[KZ_GRID_HEADER_BYTES + 8];
  KZ_FormatGridHeader(h, bytes);
  le::PutF64(bytes + KZ_GRID_HEADER_BYTES, value);
  file->Write(bytes, sizeof(bytes));
  return WriteTo(file, 'b', type);
}

int KZ_Var2D::WriteGridHeader(plat::File* file, float x0, float x1, float y0, float y1, int code,
                              const std::string& label, int type) {
  if (!file) return 0;
  const KZ_GridHeader h = GridHeader(*this, x0, x1, y0, y1, code, "", label, type);
  unsigned char bytes[KZ_GRID_HEADER_BYTES];
  KZ_FormatGridHeader(h, bytes);
  file->Seek(0, SEEK_SET);
  file->Write(bytes, sizeof(bytes));
  return 1;
}
