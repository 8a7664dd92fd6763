// The cells that the next paint of a grid window must draw: ranges with their bounding
// box, and the start cells of joined blocks already drawn in the current paint.
#pragma once
#include <vector>

class CSGPaintHint {
 public:
  struct Range {
    int startCol, startRow, endCol, endRow;
  };

  void AddRange(int startCol, long startRow, int endCol, long endRow);
  void AddCell(int col, long row) { AddRange(col, row, col, row); }
  // Widens the first range (keeping a single range), or adds it to an empty list.
  void WidenFirst(int startCol, long startRow, int endCol, long endRow);
  int IsInvalid(int col, long row) const;
  int IsJoinDrawn(int col, long row) const;
  void AddDrawnJoin(int col, long row);
  void Clear();
  bool IsEmpty() const { return ranges_.empty(); }
  const std::vector<Range>& Ranges() const { return ranges_; }

 private:
  std::vector<Range> ranges_;
  std::vector<std::pair<int, long>> drawnJoins_;
  int minCol_ = 0, maxCol_ = 0;
  long minRow_ = 0, maxRow_ = 0;
};
