// One image format, chosen by the extension the build gives (TV_FUZZ_EXT): the loader into
// a fresh image and into images the caller has allocated (the raw format reads only into
// one), and the conversion to a packed bitmap.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagefiles/ImageFormatTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Pictures are held to 64 MiB, so that libFuzzer's allocation limit shows any buffer a
  // file could have sized beyond it.
  img_set_max_image_bytes(std::uint64_t{64} << 20);
  const std::string path = tv_fuzz::Write(data, size, std::string("in") + TV_FUZZ_EXT);
  {
    ImageDescriptor d;
    LoadImageFile(path.c_str(), &d);
    img_free(&d);
  }
  for (int bits : {8, 24}) {
    ImageDescriptor d;
    if (AllocImageBuffer(&d, 37, 23, bits) == IMG_OK) LoadImageFile(path.c_str(), &d);
    img_free(&d);
  }
  LoadImageToDIB(path.c_str());
  return 0;
}
