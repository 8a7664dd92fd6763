// The clipboard: pictures as images (PNG and BMP data), metafiles as "image/x-emf" with
// a PNG beside them, text as plain text. Every call opens and closes the clipboard
// within itself; a clipboard that cannot be used copies nothing and reports false.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/MemBlock.h"
#include "platform/WinTypes.h"

namespace plat {

constexpr const char* kEmfMimeType = "image/x-emf";

// CF_DIB: a packed DIB.
bool SetClipboardDib(const MemBlock& dib);
// CF_ENHMETAFILE: the metafile's bytes; `picture` (a packed DIB, may be empty) is put
// beside it as PNG for programs that cannot read metafiles.
bool SetClipboardEnhMetafile(const std::vector<BYTE>& emf, const MemBlock& picture);
// CF_TEXT.
bool SetClipboardText(const std::string& text);

std::optional<std::string> GetClipboardText();
// The clipboard's picture as a packed 24-bit DIB (empty when there is none).
MemBlock GetClipboardDib();
std::vector<BYTE> GetClipboardEnhMetafile();

}  // namespace plat
