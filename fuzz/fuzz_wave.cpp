// Numbered event files (.wav "AEWAVE" layouts and the older ones).
#include <cstddef>
#include <cstdint>

#include "aecore/waveform/AEWave.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "EV000001.wav");
  CAEWave w;
  w.Load(path);
  return 0;
}
