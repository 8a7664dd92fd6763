// The grid's control-like cell types: check box and radio choices, push button, text
// with an ellipsis button, arrow glyphs, spin buttons, a 0-100 slider and the drop list.
// Each reports what the user did to the owner through OnCellTypeNotify.
#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "wincomp/grid/SGCellType.h"

class CSGLstBox;

// Geometry and state helpers shared by the types.
namespace sgtypes {
// The rectangle inside the cell's border.
RECT InnerRect(CSGCellType* type, RECT rect, CSGCell* cell);
// Three horizontal strokes 5, 3 and 1 pixels wide from (x0, y0), pointing down or up.
void Triangle(plat::CDC* dc, int x0, int y0, bool down);
}  // namespace sgtypes

class CSGCheckBoxType : public CSGCellType {
 public:
  CSGCheckBoxType();
  const char* GetTypeName() override { return "Standard CheckBox Type"; }
  const unsigned char* GetTypeId() override;
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnDoubleClick(int col, long row, RECT* rect, POINT* point) override;
  int OnCharDown(int col, long row, UINT* vcKey) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;

  // The box (left, top, size) for a cell rectangle inside its border.
  static void BoxOf(const RECT& inner, int* left, int* top, int* size);

 private:
  void Store(int col, long row, CSGCell* cell, int state);
  plat::CPen m_shadowPen, m_lightPen, m_facePen;
  CSGCell m_cell;
};

class CSGRadioType : public CSGCellType {
 public:
  CSGRadioType();
  const char* GetTypeName() override { return "Standard Radio Type"; }
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnCharDown(int col, long row, UINT* vcKey) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;
  // The choices: lines of the label ended by a line feed.
  static int ChoiceCount(const CSGCell& cell);

 private:
  CSGCell m_cell;
};

class CSGButtonType : public CSGCellType {
 public:
  CSGButtonType();
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
  int OnKeyDown(int col, long row, UINT* vcKey) override;
  void OnCellFocusLost(int col, long row, CSGCell* cell) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;

  int m_pressed = 0;
  int m_pressedCol = -1;
  long m_pressedRow = -1;
  RECT m_buttonRect{};
};

class CSGEllipsisType : public CSGCellType {
 public:
  CSGEllipsisType();
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnDoubleClick(int col, long row, RECT* rect, POINT* point) override;
  int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;

  int m_btnWidth;
  int m_pressed = 0;
  long m_pressedRow = -1;
  int m_pressedCol = -1;
  RECT m_buttonRect{};

 private:
  plat::CPen m_facePen;
  plat::CBrush m_faceBrush;
};

class CSGArrowType : public CSGCellType {
 public:
  CSGArrowType();
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;
};

class CSGSpinButtonType : public CSGCellType {
 public:
  CSGSpinButtonType();
  int GetEditArea(RECT* rect) override;
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnDoubleClick(int col, long row, RECT* rect, POINT* point) override;
  int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;

  int m_lowerPressed = 0;
  int m_upperPressed = 0;
  int m_pressedButton = 0;  // 1 upper, 2 lower
  int m_btnWidth;
  RECT m_buttonRect{};
  int m_pressedCol = -1;
  long m_pressedRow = -1;

 private:
  plat::CPen m_facePen;
  plat::CBrush m_faceBrush;
};

class CSGSliderType : public CSGCellType {
 public:
  CSGSliderType();
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;
  // The cell's value: its text as an integer, limited to 0..100.
  static int ValueOf(const CSGCell& cell);

  int m_dragging = 0;

 private:
  plat::CPen m_lightPen, m_darkPen;
};

class CSGDropListType : public CSGCellType {
 public:
  CSGDropListType();
  ~CSGDropListType() override;
  const char* GetTypeName() override { return "Standard DropList"; }
  const unsigned char* GetTypeId() override;
  int GetEditArea(RECT* rect) override;
  int OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) override;
  int OnDoubleClick(int col, long row, RECT* rect, POINT* point) override;
  int OnKeyDown(int col, long row, UINT* vcKey) override;
  int OnCharDown(int col, long row, UINT* vcKey) override;
  int OnMouseMove(int col, long row, POINT* point, UINT flags) override;
  void OnCellFocusLost(int col, long row, CSGCell* cell) override;
  void OnDraw(plat::CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
              int current) override;
  int ShowList();

  int m_btnWidth;
  int m_pressed = 0;
  RECT m_buttonRect{};
  int m_listCol = -1;  // -2: the list closed just now without a choice
  long m_listRow = -1;
  // When the list last closed without a choice. "Just now" is the click that took the
  // focus from it; a later click on the button opens the list again.
  std::chrono::steady_clock::time_point m_closedAt{};
  static constexpr int kJustClosedMs = 400;
  std::unique_ptr<CSGLstBox> m_listBox;

 private:
  plat::CPen m_facePen;
  plat::CBrush m_faceBrush;
};
