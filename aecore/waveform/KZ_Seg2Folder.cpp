#include "aecore/waveform/KZ_Seg2Folder.h"

#include <cmath>
#include <cstdio>
#include <functional>

#include "aecore/waveform/KZ_WaveData.h"
#include "platform/FileSystem.h"

namespace {

int ForEachSeg2(const std::string& source, const std::string& destination,
                const std::function<void(KZ_WaveDataSeg2&)>& change) {
  KZ_WaveDataSeg2 w;
  int failed = 0;
  // The listing is taken once: files written into the same folder are not read again.
  for (const plat::FindData& e : plat::FindFiles(source + "*.sg2")) {
    if (e.isFolder || e.name.empty() || e.name[0] == '.') continue;
    if (!w.Load(source + e.name, 1, 0, 0)) continue;
    change(w);
    const int code =
        w.Count() > 0 && (w.GetTrace(0)->m_nFormat == 2 || w.GetTrace(0)->m_nFormat == 4)
            ? w.GetTrace(0)->m_nFormat
            : 1;
    const std::string target = destination + e.name;
    if (!w.SaveSeg2(target, 0, 0, code)) {
      std::fprintf(stderr, "Error in writing %s\n", target.c_str());
      ++failed;
    }
  }
  return failed;
}

}  // namespace

int KZ_Seg2DropTracesInFolder(const std::string& source, const int positions[], int count,
                              const std::string& destination) {
  return ForEachSeg2(source, destination, [&](KZ_WaveDataSeg2& w) {
    for (int i = count - 1; i >= 0; --i) w.RemoveTrace(positions[i]);
  });
}

int KZ_Seg2ShiftTimesInFolder(const std::string& source, float shift,
                              const std::string& destination) {
  // In whole microseconds: the sum of a second count and a fraction in floating point
  // can land a microsecond short of the time meant.
  const long long delta = std::llround(static_cast<double>(shift) * 1e6);
  return ForEachSeg2(source, destination, [&](KZ_WaveDataSeg2& w) {
    long long t =
        static_cast<long long>(w.m_header.nStartSec) * 1000000 + w.m_header.nStartUsec + delta;
    long long sec = t >= 0 ? t / 1000000 : -((-t + 999999) / 1000000);
    w.m_header.nStartSec = static_cast<std::int32_t>(sec);
    w.m_header.nStartUsec = static_cast<std::int32_t>(t - sec * 1000000);
  });
}
