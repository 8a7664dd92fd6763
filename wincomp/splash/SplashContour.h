// The outline of a picture's opaque shape, traced over a pixel test: the points of the
// polygon (pixel coordinates, y down) that the splash window's shape is made of.
#pragma once
#include <functional>
#include <vector>

#include "platform/WinTypes.h"

// Whether pixel (x, y) counts as transparent; `dflt` is the answer for a pixel outside
// the picture.
using SplashBorderTest = std::function<bool(int x, int y, bool dflt)>;

// Traces the outline of the shape nearest the top-left corner, walking its boundary
// pixels clockwise over their eight neighbours; a straight run keeps only its end. Holes
// and other shapes are not part of the outline. False (and no points) when the picture
// has no opaque pixel to start from.
bool TraceSplashContour(int width, int height, const SplashBorderTest& isBorder,
                        std::vector<POINT>* points);
