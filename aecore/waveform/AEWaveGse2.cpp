#include "aecore/waveform/AEWaveGse2.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/KZ_WaveDate.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace {

constexpr char kCM6[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::int64_t kMaxCM6 = (1LL << 29) - 1;  // 4 + 5 x 5 data bits
constexpr int kLineWidth = 80;
constexpr std::int64_t kModulo = 100000000;

}  // namespace

bool PackCM6(const std::int32_t* values, int n, std::string& out, int passes) {
  std::vector<std::int64_t> d(values, values + (n > 0 ? n : 0));
  for (int p = 0; p < passes; ++p)
    for (int i = static_cast<int>(d.size()) - 1; i > 0; --i) d[i] -= d[i - 1];
  std::string text;
  text.reserve(d.size() * 2);
  char groups[6];
  for (std::int64_t v : d) {
    std::int64_t a = std::llabs(v);
    if (a > kMaxCM6) return false;
    const int sign = v < 0 ? 0x10 : 0;
    if (a < 16) {
      text += kCM6[a | sign];
      continue;
    }
    // Five-bit groups from the least significant end; the first character keeps four.
    int k = 0;
    groups[k++] = static_cast<char>(a & 0x1F);
    a >>= 5;
    while (a >= 16) {
      groups[k++] = static_cast<char>((a & 0x1F) | 0x20);
      a >>= 5;
    }
    text += kCM6[a | sign | 0x20];
    while (k > 0) text += kCM6[static_cast<int>(groups[--k])];
  }
  out += text;
  return true;
}

int GSE2_Checksum(const std::int32_t* values, int n) {
  std::int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    std::int64_t x = values[i];
    if (std::llabs(x) >= kModulo) x -= x / kModulo * kModulo;
    sum += x;
    if (std::llabs(sum) >= kModulo) sum -= sum / kModulo * kModulo;
  }
  return static_cast<int>(std::llabs(sum));
}

int WriteCM6Samples(plat::File& f, const float* samples, int n) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(n > 0 ? n : 0));
  for (std::size_t i = 0; i < v.size(); ++i) {
    const double x = std::trunc(static_cast<double>(samples[i]));
    v[i] = std::isfinite(x) && std::fabs(x) < 2147483647.0 ? static_cast<std::int32_t>(x)
           : x > 0                                         ? 2147483647
                                                           : -2147483647;
  }
  std::string text;
  if (!PackCM6(v.data(), n, text, 2)) {
    std::fputs("Error packing integer to CM6 compressed string\n", stderr);
    return 0;
  }
  for (std::size_t at = 0; at < text.size(); at += kLineWidth)
    if (!f.Puts(text.substr(at, kLineWidth) + "\n")) return -1;
  return static_cast<int>(text.size());
}

bool WriteGSE2(const std::string& path, const KZ_WaveHeader& header,
               const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count,
               const char* dataType) {
  if (traces.empty() || first < 0) return false;
  const double dt = traces[0]->m_fInterval;
  if (!(dt > 0.0)) return false;
  // Whole seconds of samples; with intervals above a second every sample starts one.
  const int spu = std::max(1, static_cast<int>(1.0 / dt));
  first -= first % spu;
  // The record's date in either form, whole seconds of its time.
  const double jd = KZ_WaveHeaderJulianDay(header, false) + first * dt / 86400.0;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  float sec = 0.0f;
  KZ_CalendarFromJulianDay(jd, &y, &mo, &d, &h, &mi, &sec, 0.0f);
  int whole = static_cast<int>(std::floor(sec + 0.5));
  if (whole >= 60) {  // carried into the minute through the calendar
    KZ_CalendarFromJulianDay(jd + 0.5 / 86400.0, &y, &mo, &d, &h, &mi, &sec, 0.0f);
    whole = static_cast<int>(std::floor(sec));
  }
  const std::string stem =
      KZ_GetFolder(path) + plat::Format("%04d%02d%02d%02d%02d", y, mo, d, h, mi);
  std::string name = stem + ".GSE";
  for (int k = 1; plat::FileExists(name); ++k) name = stem + plat::Format("_%d.GSE", k);
  plat::File f;
  if (!f.Open(name, "wt")) return false;
  bool ok = f.Printf("BEGIN GSE2.1\nMSG_TYPE data\nMSG_ID %04d/%02d/%02d_%02d:%02d QRB_NDC\n", y,
                     mo, d, h, mi) >= 0;
  ok &= f.Printf("DATA_TYPE WAVEFORM GSE2.1:%s\n", dataType) >= 0;
  const bool cm6 = std::strstr(dataType, "CM6") != nullptr;
  for (const auto& tp : traces) {
    KZ_WaveTrace& t = *tp;
    CStationObj fallback("Unkown", "UKW");
    const CStationObj* st = t.m_pStation;
    std::string code, chan = t.m_szGseChannel;
    if (!st) {
      // The LINE_ID names station and channel as "STATION:CHN".
      const std::string id = t.m_szLineId;
      const std::size_t colon = id.find(':');
      code = id.substr(0, colon);
      if (colon != std::string::npos) chan = id.substr(colon + 1, 3);
      KZ_CopyText(t.m_szGseChannel, chan.c_str());
      fallback.m_fLon = t.m_fReceiver[0];
      fallback.m_fLat = t.m_fReceiver[1];
      fallback.m_fElev = t.m_fReceiver[2];
      st = &fallback;
    } else {
      if (!st->m_bUse) continue;
      code = st->m_strChannel;
    }
    char coord[13], net[10], sta[6], cha[4];
    KZ_CopyPadded(coord, st->m_strCoordSys.c_str(), 12);
    KZ_CopyPadded(net, st->m_strStation.c_str(), 9);
    KZ_CopyPadded(sta, code.c_str(), 5);
    KZ_CopyPadded(cha, chan.c_str(), 3);
    const int n = std::max(0, std::min(count, t.m_n - first));
    t.m_fCalPer = 1.0;
    t.m_fCalib = t.m_fDescale * 500000.0 / M_PI;
    // Fixed columns as GSE2.1 readers cut them: calib fills its 10 columns (70-79).
    ok &= f.Printf(
              "\nWID2 %04d/%02d/%02d %02d:%02d:%06.3f %s %s      %s %08d %011.6f %10.2e "
              "%7.3f        %5.1f %4.1f\n",
              y, mo, d, h, mi, static_cast<double>(whole), sta, cha, dataType, n, 1.0 / dt,
              t.m_fCalib, t.m_fCalPer, t.m_fHang, t.m_fVang) >= 0;
    ok &= f.Printf("STA2 %s %9.5f %10.5f %s %5.3f %5.3f\n", net, st->m_fLat, st->m_fLon, coord,
                   st->m_fElev, 0.0) >= 0;
    ok &= f.Puts("DAT2\n");
    const float* x = n > 0 ? t.m_pData.data() + first : nullptr;
    std::vector<std::int32_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      v[i] = static_cast<std::int32_t>(
          std::clamp<double>(std::trunc(x[i]), -2147483647.0, 2147483647.0));
    if (cm6) {
      ok &= WriteCM6Samples(f, x, n) >= 0;
    } else {
      for (int i = 0; i < n; ++i) {
        ok &= f.Printf("%08d ", v[i]) >= 0;
        if ((first + i) % 20 == 19) ok &= f.Puts("\n");
      }
      if (n > 0 && (first + n) % 20 != 0) ok &= f.Puts("\n");
    }
    ok &= f.Printf("CHK2 %d\n", GSE2_Checksum(v.data(), n)) >= 0;
  }
  ok &= f.Flush();
  f.Close();
  return ok;
}
