// Peak files: the bytes as a KV text peak file and as a binary one (PKF1 or the older
// layout, by their magic).
#include <cstddef>
#include <cstdint>

#include "aecore/document/AEPeak.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const char* name : {"in.kv0", "in.pkf"}) {
    const std::string path = tv_fuzz::Write(data, size, name);
    CAEPeak p;
    p.Load(path, 0);
    tv_fuzz::Remove(name);
  }
  return 0;
}
