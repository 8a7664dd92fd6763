// SEG-2 files laid out by the standard for the tests, built independently of our writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "aecore/waveform/AEWaveSeg2.h"
#include "platform/ByteOrder.h"

namespace tv_test {

struct Seg2Trace {
  std::vector<std::string> strings;
  int format = 1;  // the trace's data format code
  std::vector<std::uint8_t> data;
  std::uint32_t samples = 0;
};

inline std::vector<std::uint8_t> BuildSeg2(const std::vector<std::string>& fileStrings,
                                           const std::vector<Seg2Trace>& traces) {
  std::vector<std::uint8_t> b(32 + 4 * traces.size(), 0);
  le::PutU16(b.data(), 0x3A55);
  le::PutU16(b.data() + 2, 1);
  le::PutU16(b.data() + 4, static_cast<std::uint16_t>(4 * traces.size()));
  le::PutU16(b.data() + 6, static_cast<std::uint16_t>(traces.size()));
  for (const auto& s : fileStrings) Seg2_WriteString(b, s);
  b.resize(b.size() + 2, 0);
  for (std::size_t k = 0; k < traces.size(); ++k) {
    const std::size_t p = b.size();
    le::PutU32(b.data() + 32 + 4 * k, static_cast<std::uint32_t>(p));
    b.resize(p + 32, 0);
    for (const auto& s : traces[k].strings) Seg2_WriteString(b, s);
    b.resize(b.size() + 2, 0);
    le::PutU16(b.data() + p, 0x4422);
    le::PutU16(b.data() + p + 2, static_cast<std::uint16_t>(b.size() - p));
    le::PutU32(b.data() + p + 4, static_cast<std::uint32_t>(traces[k].data.size()));
    le::PutU32(b.data() + p + 8, traces[k].samples);
    b[p + 12] = static_cast<std::uint8_t>(traces[k].format);
    b.insert(b.end(), traces[k].data.begin(), traces[k].data.end());
  }
  return b;
}

}  // namespace tv_test
