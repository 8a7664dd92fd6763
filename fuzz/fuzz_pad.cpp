// The parameter file, read without opening a catalogue.
#include <cstddef>
#include <cstdint>

#include "aecore/catalogue/AEHypo.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "in.pad");
  CAEHypo h;
  h.LoadPad(path, true);
  return 0;
}
