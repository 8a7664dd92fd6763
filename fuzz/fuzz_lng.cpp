// Long recordings: the bytes are the SEG-2 header file beside a fixed recording of
// 64 KiB, which is then read in windows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "aecore/waveform/AEWaveSeg2.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string lng = [] {
    std::vector<std::uint8_t> samples(65536);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i * 37);
    return tv_fuzz::Write(samples.data(), samples.size(), "REC.lng");
  }();
  tv_fuzz::Write(data, size, "REC.sg2");
  CAEWaveLong w(lng);
  if (w.m_nEvents > 1) w.OpenEvent(1);
  w.ReadRange(w.m_nChannelLen - 100, w.m_nChannelLen + 100);
  return 0;
}
