// Enhanced (EMF) and Windows (WMF) metafiles of a recorded page (RecordingDc): the
// page's primitives with the state changes between them, as the Windows metafile DCs
// would have written them.
// EMF: the header's frame is (0, 0, width, height) in 0.01 mm, its description
// "Tam\0Tam\0\0" in UTF-16LE, its device sizes those of the recording device; text is
// written as UTF-16 (DecodeForDisplay). FillSolidRect becomes an opaque empty
// ExtTextOut, FillRect/PatBlt/InvertRect become BitBlt records without a source.
// WMF: a standard metafile without the placeable header, coordinates 16-bit. A page
// whose coordinates or extents do not fit is scaled uniformly (coordinates, window and
// viewport together, pen widths and font heights alike) until they do; never wrapped.
// Focus rectangles are not written (a screen-only XOR frame).
#pragma once
#include <vector>

#include "platform/DcDevice.h"
#include "platform/WinTypes.h"

namespace plat {

class RecordingDc;

struct EmfHeaderInfo {
  LONG frameWidth = 0;   // 0.01 mm
  LONG frameHeight = 0;
  SIZE devicePixels{};   // reference device
  SIZE deviceMillimeters{};
  int dpiX = 96;         // for the text records' scale
  int dpiY = 96;
};
// Header information for a page of the given size recorded on `dc`.
EmfHeaderInfo EmfHeaderFor(const RecordingDc& dc, LONG frameWidth, LONG frameHeight);

std::vector<BYTE> WriteEmf(const std::vector<DcOp>& ops, const EmfHeaderInfo& header);

// The factor WriteWmf applies to every coordinate (1 when the page fits in 16 bits).
double WmfScale(const std::vector<DcOp>& ops);
std::vector<BYTE> WriteWmf(const std::vector<DcOp>& ops);

}  // namespace plat
