#include "imagefiles/bmp_codec.h"

int bmp_info(const char*, BITMAPINFOHEADER*) { return IMG_UNSUPPORTED; }
int bmp_load(const char*, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int bmp_save(const char*, ImageDescriptor*, int) { return IMG_UNSUPPORTED; }
int bmp_info_mem(const void*, std::size_t, BITMAPINFOHEADER*) { return IMG_UNSUPPORTED; }
int bmp_load_mem(const void*, std::size_t, ImageDescriptor*) { return IMG_UNSUPPORTED; }
int bmp_save_mem(ImgMem*, ImageDescriptor*, int) { return IMG_UNSUPPORTED; }
int rle8_encode_row(BYTE*, const BYTE*, int) { return 0; }
