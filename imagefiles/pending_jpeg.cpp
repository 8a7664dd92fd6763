// Placeholder until the JPEG codec is written: every call reports an unsupported variant.
#include "imagefiles/jpeg_codec.h"

int jpeg_info(const char*, JpegInfo*) { return IMG_UNSUPPORTED; }
int jpeg_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int jpeg_save(const char*, ImageDescriptor*, int, int) { return IMG_UNSUPPORTED; }
