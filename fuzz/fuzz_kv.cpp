// KV text tables and the blank- and comma-separated column files of the data table.
#include <cstddef>
#include <cstdint>

#include "base/series/KZ_MultiVarObj.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "in.kv0");
  {
    KZ_MultiVarObj t;
    t.LoadFile(path);
  }
  {
    KZ_MultiVarObj t;
    t.LoadBlankColumns(path);
  }
  {
    KZ_MultiVarObj t;
    t.LoadCommaColumns(path);
  }
  return 0;
}
