// Our decoders for the benchmark, in their own file: libpng's names clash with the codec's.
#pragma once
#include <vector>

bool OurPngDecode(const char* path);
bool OurTiffDecode(const char* path);
// The decoded picture as RGB rows from the top; empty when the load fails or is not 24-bit.
std::vector<unsigned char> OurPngPixels(const char* path);
std::vector<unsigned char> OurTiffPixels(const char* path);
