// The event catalogue: the bytes as an .aeh catalogue opened through a fixed parameter
// file (records read, the first one written back), and as the older .aef and .aed layouts
// converted to an .aeh.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "aecore/catalogue/AEHypo.h"
#include "fuzz/fuzz_support.h"

namespace {

const char kPad[] =
    "Fuzz catalogue, 4 sensors\n"
    "comment\n"
    "comment\n"
    "0\n"
    "2000\n"
    "0\n"
    "4 0 0\n"
    "50.0 50.0 50.0 4 CUBE\n"
    "5.5 0.0 0.0\n"
    "1 25.00 -10.00 -12.00 1.0 +S01 gain=1.83e-6\n"
    "2 -25.00 8.00 3.00 1.0 +S02 gain=1.83e-6\n"
    "3 5.00 25.00 15.00 1.0 +S03 gain=1.83e-6\n"
    "4 -5.00 -3.00 -25.00 1.0 +S04 gain=1.83e-6\n"
    "1\n"
    "1 0 5.50 5.50 5.50\n"
    "X=1.0 Y=1.0 Z=1.0\n"
    "PEAK=2026/12/10 10:00:00.0\n"
    "REF=2026/12/10 10:00:00.0\n"
    "END=2026/12/10 12:00:00\n"
    "(end of times)\n"
    "END\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pad =
      tv_fuzz::Write(reinterpret_cast<const std::uint8_t*>(kPad), sizeof kPad - 1, "cat.pad");
  {
    tv_fuzz::Write(data, size, "cat.aeh");
    CAEHypo h;
    if (h.LoadPad(pad, false)) {
      const int n = std::min(h.GetNumAE(), 64);
      for (int i = 0; i < n; ++i) h.GetAEH(i);
      if (n > 0 && h.GetAEH(0)) h.PutAEH(0, false);
    }
  }
  for (bool aed : {false, true}) {
    const std::string old = tv_fuzz::Write(data, size, aed ? "old.aed" : "old.aef");
    CAEHypo h;
    if (h.LoadPad(pad, true)) {
      if (aed)
        h.ConvertAED(old, tv_fuzz::Dir() + "new.aeh");
      else
        h.ConvertAEF(old, tv_fuzz::Dir() + "new.aeh");
    }
  }
  return 0;
}
