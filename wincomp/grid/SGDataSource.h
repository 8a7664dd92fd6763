// The cell storage interface of the grid, with default bodies, and CSGMem, the in-memory
// storage every sheet starts with. The grid reads and writes cells only through a
// storage; the storage's hooks are told of moves and editing and may veto them.
#pragma once
#include <deque>
#include <memory>
#include <string>

#include "wincomp/grid/SGCell.h"

class CSGCtrl;
class CSGWnd;

class CSGDataSource {
 public:
  virtual ~CSGDataSource() = default;

  virtual int InsertRow(int /*row*/) { return -1; }
  virtual int InsertColumn(int /*col*/) { return -1; }
  virtual int DeleteRow(int /*row*/) { return -1; }
  virtual int DeleteColumn(int /*col*/) { return -1; }
  virtual int DeleteCell(int /*col*/, int /*row*/) { return -1; }
  virtual int Empty() { return -1; }
  virtual int GetCell(int /*col*/, int /*row*/, CSGCell* /*cell*/) { return -1; }
  virtual int SetCell(int /*col*/, int /*row*/, CSGCell* /*cell*/) { return -1; }
  virtual int FindFirst(const char* /*text*/, int* /*col*/, int* /*row*/, long /*flags*/) {
    return -1;
  }
  virtual int FindNext(const char* /*text*/, int* /*col*/, int* /*row*/, long /*flags*/) {
    return -1;
  }
  virtual int OnRowsPastEnd(int /*firstRow*/, int /*count*/, int* /*found*/) { return -1; }
  virtual void OnRowChange(int /*oldRow*/, int /*newRow*/) {}
  virtual void OnColumnChange(int /*oldCol*/, int /*newCol*/) {}
  // The grid moves the current cell only when this answers exactly 1.
  virtual int CanMove(int /*oldCol*/, int /*oldRow*/, int /*newCol*/, int /*newRow*/) { return 1; }
  virtual int OnEditStart(int /*col*/, int /*row*/, CSGWnd** /*editor*/) { return 1; }
  virtual int OnEditFinish(int /*col*/, int /*row*/, CSGWnd* /*editor*/, const char* /*text*/,
                           int /*cancelled*/) {
    return 1;
  }
  virtual int OnEditContinue(int /*oldCol*/, int /*oldRow*/, int* /*newCol*/, long* /*newRow*/) {
    return 1;
  }
  virtual int GetPrevNonBlankColumn(int* /*col*/, int /*row*/) { return -1; }

  CSGCtrl* m_grid = nullptr;
  int m_id = -1;
};

// Cells in memory, created on demand. Rows and the cells of a row are kept by signed
// index from an origin, so heading cells (negative indexes) and rows inserted before the
// first are stored like any other, and any cell is reached without walking.
class CSGMem : public CSGDataSource {
 public:
  CSGMem() = default;
  ~CSGMem() override;

  int InsertRow(int row) override;
  int InsertColumn(int col) override;
  int DeleteRow(int row) override;
  int DeleteColumn(int col) override;
  int DeleteCell(int col, int row) override;
  int Empty() override;
  int GetCell(int col, int row, CSGCell* cell) override;
  int SetCell(int col, int row, CSGCell* cell) override;
  int GetPrevNonBlankColumn(int* col, int row) override;

  // Rows from the lowest to the highest index ever reached (0 when empty).
  int GetRowNodeCount() const { return static_cast<int>(rows_.size()); }
  int GetFirstRowIndex() const { return rowOrigin_; }

 private:
  struct Row {
    std::deque<std::unique_ptr<CSGCell>> cells;
    int origin = 0;  // column index of cells[0]
    CSGCell* At(int col) const;
  };
  Row* FindRow(int row) const;

  std::deque<std::unique_ptr<Row>> rows_;
  int rowOrigin_ = 0;  // row index of rows_[0]
};
