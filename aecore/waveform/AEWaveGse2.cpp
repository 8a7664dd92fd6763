#include "aecore/waveform/AEWaveGse2.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
