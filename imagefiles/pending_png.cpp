// Placeholder until the PNG codec is written: every call reports an unsupported variant.
#include "imagefiles/png_codec.h"

int png_info(const char*, PngInfo*) { return IMG_UNSUPPORTED; }
int png_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int png_save(const char*, ImageDescriptor*, int) { return IMG_UNSUPPORTED; }
int png_last_error() { return 0; }
