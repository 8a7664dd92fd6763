// Recorder event files (.aew).
#include <cstddef>
#include <cstdint>

#include "aecore/waveform/AEWaveSeg2.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "EV000001.aew");
  CAEWave_Aew w(path);
  w.Load(path);
  return 0;
}
