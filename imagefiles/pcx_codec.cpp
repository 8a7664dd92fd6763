#include "imagefiles/pcx_codec.h"

int pcx_info(const char*, PcxInfo*) { return IMG_UNSUPPORTED; }
int pcx_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int pcx_save(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int pcx_mode(const PcxInfo*) { return IMG_NOT_PCX; }
int pcx_read_palette(const char*, RGBQUAD*) { return 0; }
int pcx_rle_decode_row(BYTE*, BYTE*, std::size_t, int) { return IMG_NOT_PCX; }
int pcx_rle_encode_row(BYTE*, const BYTE*, int) { return 0; }
