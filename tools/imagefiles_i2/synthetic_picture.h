// The synthetic picture that the PNG, TIFF and GIF tests and imagefiles_write_samples
// share: gradients and a disc, palette images with a colour palette (8 bits) or entry 0
// white (1 bit, so that 1-bit files are written inverted), so that palettes matter.
#pragma once
#include "imagefiles/ImageDescriptor.h"

namespace samples_i2 {

inline void Synthetic(ImageDescriptor* d, int width, int height, int bits, bool grey = false) {
  img_alloc(d, width, height, bits);
  for (int y = 0; y < height; ++y) {
    BYTE* row = img_row(d, static_cast<DWORD>(y));
    for (int x = 0; x < width; ++x) {
      const bool disc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) <
                        (height / 3) * (height / 3);
      const int v = (x * 7 + y * 3 + (disc ? 90 : 0)) & 0xFF;
      if (bits == 24) {
        row[3 * x] = static_cast<BYTE>(v);
        row[3 * x + 1] = static_cast<BYTE>(y * 255 / height);
        row[3 * x + 2] = static_cast<BYTE>(disc ? 250 : x);
      } else if (bits == 8) {
        row[x] = static_cast<BYTE>(v);
      } else if (bits == 16) {
        row[2 * x] = static_cast<BYTE>(v * 13);
        row[2 * x + 1] = static_cast<BYTE>(v);
      } else if (disc || (x + y) % 5 == 0) {
        row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  if (bits == 8 && !grey) {
    for (int i = 0; i < 256; ++i)
      d->palette[i] =
          RGBQUAD{static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), static_cast<BYTE>(i), 0};
    d->flags &= ~IMG_GREY;
  }
  if (bits == 1) {
    d->palette[0] = RGBQUAD{255, 255, 255, 0};
    d->palette[1] = RGBQUAD{0, 0, 0, 0};
    d->flags &= ~IMG_GREY;
  }
}

}  // namespace samples_i2
