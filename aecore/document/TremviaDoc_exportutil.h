// Shared pieces of the document's exports: the START_TIME line and the time offsets.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>

#include "aecore/catalogue/AEHypo.h"
#include "base/series/KZ_TSdata.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"

namespace aedoc {

// Local calendar time of the "PEAK=" time plus s seconds (truncated to whole seconds).
inline std::tm PeakTimePlus(const CAEHypo& h, double s) {
  std::int64_t t = plat::MakeLocalTime(h.m_tmStart).value_or(0) + static_cast<std::int64_t>(s);
  return plat::LocalTime(t).value_or(std::tm{});
}

inline std::string StartTimeLine(const CAEHypo& h, double wStart) {
  std::tm t = PeakTimePlus(h, wStart);
  return plat::Format("START_TIME: %04d/%02d/%02d %02d:%02d:%02d\n", t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

// "PEAK=" time minus the time series' start, in seconds.
inline double SeriesOffset(const CAEHypo& h, const KZ_TSdata* ts) {
  if (!ts) return 0.0;
  return static_cast<double>(plat::MakeLocalTime(h.m_tmStart).value_or(0) - ts->m_tStart);
}

inline bool HasSeries(const KZ_TSdata* ts) { return ts && ts->m_nSamples > 0; }

// Relative value of a channel at a sample, 0 for a channel or sample the series lacks.
inline float ChannelValue(const KZ_TSdata& ts, int channel, int sample) {
  if (channel < 0 || channel >= ts.m_nChannels || sample < 0 || sample >= ts.m_nSamples)
    return 0.0f;
  return ts.Value(channel, sample, true);
}

// Fault-plane frame: normal n, in-plane a and b = n x a (single precision as stored).
struct FaultFrame {
  float n[3], a[3], b[3];
  FaultFrame(float azimuthDeg, float dipDeg) {
    const float phi = azimuthDeg * 0.0174533f, del = dipDeg * 0.0174533f;
    n[0] = std::sin(del) * std::cos(phi);
    n[1] = std::sin(del) * std::sin(phi);
    n[2] = std::cos(del);
    const float h = std::sqrt(n[0] * n[0] + n[1] * n[1]);
    if (h > 0.001f) {
      const float k = std::fabs(std::cos(del)) / h;
      a[0] = -n[0] * k;
      a[1] = -n[1] * k;
      a[2] = std::sin(del);
    } else {
      a[0] = -std::cos(phi);
      a[1] = -std::sin(phi);
      a[2] = 0.0f;
    }
    b[0] = n[1] * a[2] - n[2] * a[1];
    b[1] = n[2] * a[0] - n[0] * a[2];
    b[2] = n[0] * a[1] - n[1] * a[0];
  }
  static float Dot(const float u[3], const float d[3]) {
    return u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
  }
};

}  // namespace aedoc
