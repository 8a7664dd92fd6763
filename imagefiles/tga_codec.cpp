#include "imagefiles/tga_codec.h"

int tga_info(const char*, TgaInfo*) { return IMG_UNSUPPORTED; }
int tga_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int tga_save(const char*, ImageDescriptor*, int) { return IMG_UNSUPPORTED; }
int tga_rle_decode_row(BYTE*, std::size_t, BYTE*, int, int) { return IMG_BAD_TGA; }
int tga_rle_encode_row(BYTE*, const BYTE*, int, int) { return 0; }
