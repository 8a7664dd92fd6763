// The event list of located events.
#include <cstddef>
#include <cstdint>

#include "aecore/document/TremviaDoc.h"
#include "fuzz/fuzz_support.h"
#include "platform/testing/FakeDocumentHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static plat::testing::FakeDocumentHost host;
  static CTremviaDoc doc(host);
  const std::string path = tv_fuzz::Write(data, size, "in.lst");
  doc.LoadEventList(path);
  host.updates.clear();
  return 0;
}
