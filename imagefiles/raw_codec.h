// Raw 8-bit files (".bif": pixel rows only, top row first, no header) and the
// Encapsulated PostScript writer (".eps").
#pragma once
#include "imagefiles/ImageDescriptor.h"

// Fills the working rectangle of a supplied 8-bit image; the file carries no size.
int raw_load(const char* path, ImageDescriptor* d);
int raw_save(const char* path, ImageDescriptor* d);
int eps_save(const char* path, ImageDescriptor* d);
