#include "wincomp/grid/SGPaintHint.h"

#include <algorithm>

void CSGPaintHint::AddRange(int startCol, long startRow, int endCol, long endRow) {
  ranges_.push_back(Range{startCol, static_cast<int>(startRow), endCol, static_cast<int>(endRow)});
  if (ranges_.size() == 1) {
    minCol_ = startCol;
    maxCol_ = endCol;
    minRow_ = startRow;
    maxRow_ = endRow;
  } else {
    minCol_ = std::min(minCol_, startCol);
    maxCol_ = std::max(maxCol_, endCol);
    minRow_ = std::min(minRow_, startRow);
    maxRow_ = std::max(maxRow_, endRow);
  }
}

void CSGPaintHint::WidenFirst(int startCol, long startRow, int endCol, long endRow) {
  if (ranges_.empty()) {
    AddRange(startCol, startRow, endCol, endRow);
    return;
  }
  Range& r = ranges_.front();
  r.startCol = std::min(r.startCol, startCol);
  r.endCol = std::max(r.endCol, endCol);
  r.startRow = static_cast<int>(std::min<long>(r.startRow, startRow));
  r.endRow = static_cast<int>(std::max<long>(r.endRow, endRow));
  minCol_ = std::min(minCol_, r.startCol);
  maxCol_ = std::max(maxCol_, r.endCol);
  minRow_ = std::min<long>(minRow_, r.startRow);
  maxRow_ = std::max<long>(maxRow_, r.endRow);
}

int CSGPaintHint::IsInvalid(int col, long row) const {
  if (ranges_.empty() || col < minCol_ || col > maxCol_ || row < minRow_ || row > maxRow_) return 0;
  for (const Range& r : ranges_)
    if (r.startCol <= col && col <= r.endCol && r.startRow <= row && row <= r.endRow) return 1;
  return 0;
}

int CSGPaintHint::IsJoinDrawn(int col, long row) const {
  for (const auto& j : drawnJoins_)
    if (j.first == col && j.second == row) return 1;
  return 0;
}

void CSGPaintHint::AddDrawnJoin(int col, long row) { drawnJoins_.emplace_back(col, row); }

void CSGPaintHint::Clear() {
  ranges_.clear();
  drawnJoins_.clear();
}
