// Time series: the same bytes as a KV text file, a KVDATA02B binary file and a raw DLV file.
#include <cstddef>
#include <cstdint>

#include "base/series/KZ_TSdata.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const char* name : {"in.kv0", "in.kvb", "in.dlv"}) {
    const std::string path = tv_fuzz::Write(data, size, name);
    KZ_TSdata ts;
    std::int64_t first = 0, last = 0;
    ts.Load(path, &first, &last);
    tv_fuzz::Remove(name);
  }
  return 0;
}
