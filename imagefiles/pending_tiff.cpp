// Placeholder until the TIFF codec is written: every call reports an unsupported variant.
#include "imagefiles/tiff_codec.h"

int tiff_info(const char*, TiffInfo*) { return IMG_UNSUPPORTED; }
int tiff_page_info(const char*, int*, int*, int) { return IMG_UNSUPPORTED; }
int tiff_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int tiff_save(const char*, ImageDescriptor*, int) { return IMG_UNSUPPORTED; }
