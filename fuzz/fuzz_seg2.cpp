// SEG-2 event files.
#include <cstddef>
#include <cstdint>

#include "aecore/waveform/AEWaveSeg2.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "EV000001.sg2");
  CAEWaveSeg2 w(path);
  w.Load(path);
  return 0;
}
