// Placeholder until the GIF codec is written: every call reports an unsupported variant.
#include "imagefiles/gif_codec.h"

int gif_info(const char*, GifInfo*) { return IMG_UNSUPPORTED; }
int gif_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int gif_save(const char*, ImageDescriptor*, int, int) { return IMG_UNSUPPORTED; }
