// Template files.
#include <cstddef>
#include <cstdint>

#include "aecore/templates/AETemplateSet.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tv_fuzz::Write(data, size, "in.tpl");
  CAETemplateSet t;
  t.Read(path);
  return 0;
}
