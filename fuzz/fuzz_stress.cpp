// The loading record (STS side file).
#include <cstddef>
#include <cstdint>

#include "aecore/document/AEStress.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "in.sts");
  CAEStress s;
  s.Read(path);
  return 0;
}
