#include "imagefiles/raw_codec.h"

int raw_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int raw_save(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int eps_save(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
