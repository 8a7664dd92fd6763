// The base of the grid's cell types, and itself the default type: it draws a cell's
// border, background and text, lets text spill into empty cells to the right, and
// measures a cell's best size. Derived types reuse the border and text drawing.
#pragma once
#include <string>

#include "platform/CDC.h"
#include "wincomp/grid/SGCell.h"

class CSGCtrl;

// Cell type style bits read by the base drawing.
constexpr long SGCT_MULTILINE = 2;
constexpr long SGCT_ELLIPSIS = 4;
constexpr long SGCT_LABELTEXT = 8;

class CSGCellType {
 public:
  CSGCellType() = default;
  virtual ~CSGCellType() = default;

  virtual const char* GetTypeName() { return "Normal Cell Type (default)"; }
  virtual const unsigned char* GetTypeId();
  virtual int GetEditArea(RECT* /*rect*/) { return 0; }
  virtual int OnSystemChange() { return 0; }
  virtual int OnLeftClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                          POINT* /*point*/) {
    return 0;
  }
  virtual int OnRightClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                           POINT* /*point*/) {
    return 0;
  }
  virtual int OnDoubleClick(int /*col*/, long /*row*/, RECT* /*rect*/, POINT* /*point*/) {
    return 0;
  }
  virtual int OnKeyDown(int /*col*/, long /*row*/, UINT* /*vcKey*/) { return 0; }
  virtual int OnCharDown(int /*col*/, long /*row*/, UINT* /*vcKey*/) { return 0; }
  virtual int OnMouseMove(int /*col*/, long /*row*/, POINT* /*point*/, UINT /*flags*/) { return 0; }
  virtual void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                      int current);
  virtual void OnPrint(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell);
  virtual void OnCellFocusGained(int /*col*/, long /*row*/, CSGCell* /*cell*/) {}
  virtual void OnCellFocusLost(int /*col*/, long /*row*/, CSGCell* /*cell*/) {}
  virtual SIZE* GetBestSize(plat::CDC* dc, SIZE* size, CSGCell* cell);

  int CanTextEdit() const { return m_canTextEdit; }
  int SetTextEditMode(int mode);
  int CanOverlap(CSGCell* cell) const;
  void SetTypeIndex(int index) { m_ID = index; }
  int GetTypeIndex() const { return m_ID; }
  void SetGrid(CSGCtrl* grid) { m_ctrl = grid; }

  void DrawBorder(plat::CDC* dc, RECT* rect, RECT* rectOut, CSGCell* cell);
  void DrawText(plat::CDC* dc, RECT* rect, int offset, int col, long row, CSGCell* cell,
                int selected, int current);
  int FindOverlapSource(plat::CDC* dc, int col, long row, int* sourceCol, CSGCell* cell);

 protected:
  int m_canTextEdit = 1;
  int m_drawLabelText = 0;
  int m_canOverlap = 1;
  CSGCtrl* m_ctrl = nullptr;
  int m_ID = 0;
};
