// KV text tables and the blank- and comma-separated column files of the data table. The
// tables live across inputs, as the document's sheets do: a fresh table per input spends
// its time clearing the 100 x 5000 values a column import allocates.
#include <cstddef>
#include <cstdint>

#include "base/series/KZ_MultiVarObj.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static KZ_MultiVarObj kv, blank, comma;
  const std::string path = tv_fuzz::Write(data, size, "in.kv0");
  kv.LoadFile(path);
  blank.LoadBlankColumns(path);
  comma.LoadCommaColumns(path);
  return 0;
}
