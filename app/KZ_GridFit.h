// The grid on which the option and parameter sheets are built: three fonts, five extra
// cell types, a per-sheet table of 16-bit flags deciding which cells the user may edit,
// the cell-text conventions (button texts, "?=" help rows, "-" fixed cells, numbered
// option lists), a Copy/Paste popup, operations laying out whole rows, and readers that
// take values back from the cells.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wincomp/grid/SGCtrl.h"

// The number formed by the text's first decimal digits (at most three); a leading "-"
// gives minus the one digit after it; a first character that is not a digit gives its
// code minus the code of '0'.
int KZ_ParseLeadingInt(const char* text);

class KZ_GridFit : public CSGCtrl {
 public:
  static constexpr int kMaxSheets = 20;

  // Colours of the sheets.
  static constexpr COLORREF kEditBack = RGB(136, 255, 221);
  static constexpr COLORREF kEditText = RGB(0, 0, 136);
  static constexpr COLORREF kFixedBack = RGB(136, 221, 187);
  static constexpr COLORREF kFixedText = RGB(0, 0, 0);
  static constexpr COLORREF kTitleBack = RGB(204, 255, 238);
  static constexpr COLORREF kTextRowBack = RGB(238, 255, 238);
  static constexpr COLORREF kOptionBack = RGB(255, 255, 221);
  static constexpr COLORREF kNotesBack = RGB(238, 238, 238);
  static constexpr COLORREF kHeading0Back = RGB(212, 255, 212);
  static constexpr COLORREF kHeading1Back = RGB(212, 232, 212);
  static constexpr COLORREF kTopHeadingBack = RGB(255, 204, 204);
  static constexpr COLORREF kHelpTextBack = RGB(136, 255, 170);
  static constexpr COLORREF kButtonBack = RGB(255, 238, 255);
  static constexpr COLORREF kButtonPressed = RGB(0, 0, 255);

  // Popup menu items.
  static constexpr UINT kMenuCut = 1001;
  static constexpr UINT kMenuCopy = 1002;
  static constexpr UINT kMenuPaste = 1003;

  // The edit flags of one sheet: (columns + 1) x rows entries addressed [column][row];
  // entry [columns][row] is the row's enable flag.
  struct FlagTable {
    int columns = 0;
    int rows = 0;
    std::vector<std::uint16_t> entries;
    std::uint16_t& At(int col, int row) {
      return entries[static_cast<std::size_t>(col) * rows + row];
    }
    std::uint16_t& RowEnable(int row) { return At(columns, row); }
  };

  KZ_GridFit();
  ~KZ_GridFit() override;

  // Grid notifications.
  void OnSetup() override;
  void OnCellDoubleClick(int col, long row, RECT* rect, POINT* point, int processed) override;
  void OnGridChar(UINT* vcKey, int processed) override;
  int OnEditStart(int col, long row, CSGWnd** editor) override;
  int OnEditFinish(int col, long row, CSGWnd* editor, const char* text, int cancelled) override;
  void OnSideHeadingLeftClick(int col, long row, int updn, RECT* rect, POINT* point,
                              int processed) override;
  int OnCellTypeNotify(long typeIndex, int col, long row, long msg, long param) override;
  int OnPopupOpen(int col, long row, int section) override;
  void OnPopupCommand(int col, long row, int section, UINT item) override;
  void OnSheetTabClicked(long id) override;

  // Own operations that derived sheets override.
  virtual void InitSheet(int rows, int columns);
  virtual int StepValue(int col, long row, int code, int minimum, int maximum);
  virtual void ShowHelp(int col, long row);
  virtual void ResizeRowFlags(long previousRows);
  virtual void OnValueChanged(int col, long row, const char* text);

  // Row operations.
  int SetRowCount(long count, int redraw = 1);
  void SetRowHeading(long row, const char* text, int heightFactor, int level);
  void SetParamRow(long row, const char* title, const char* t1 = nullptr, const char* t2 = nullptr,
                   const char* t3 = nullptr, const char* t4 = nullptr, const char* t5 = nullptr,
                   const char* t6 = nullptr, const char* t7 = nullptr);
  void SetParamRowRange(long row, const char* title, double low, double high, const char* text,
                        const char* notes);
  void SetOptionRow(long row, const char* title, const char* list, int selected, const char* extra,
                    const char* notes);
  void SetTextRow(long row, const char* t1, const char* t2 = nullptr, const char* t3 = nullptr,
                  const char* t4 = nullptr, const char* t5 = nullptr);
  void SetRow(long row, const char* t1, const char* t2 = nullptr, const char* t3 = nullptr,
              const char* t4 = nullptr, const char* t5 = nullptr, const char* t6 = nullptr,
              const char* t7 = nullptr, const char* t8 = nullptr);

  // Cell operations.
  void SetCheck(int col, long row, int flag);
  void SetParamText(int col, long row, const char* text);
  void SetParamBool(int col, long row, int flag);
  void SetCheckCell(int col, long row, const char* label, int value);
  void SetButtonCell(int col, long row, const char* text);
  void SetTextCell(int col, long row, const char* text);
  void SetOptionCell(int col, long row, const char* list, const char* current);
  void SetOptionCellAt(int col, long row, const char* list, int number);
  void SetInt(int col, long row, const char* format, int value);
  void SetFloat(int col, long row, const char* format, float value);
  void SetDouble(int col, long row, const char* format, double value);

  // Readers.
  int GetInt(int col, long row);
  float GetFloat(int col, long row, const char* key, int unitFlag);
  int GetRange(int col, long row, float* minimum, float* maximum, float* step, float* unitFactor,
               int* logFlag);
  void GetText(std::string& out, int col, long row, const char* key);

  // Whether the edit rule lets the user edit the cell in place.
  bool IsCellEditable(int col, long row);
  // The flag table of a sheet (null until made, and for sheets beyond the tables).
  FlagTable* Flags(int sheet) {
    return sheet >= 0 && sheet < kMaxSheets ? m_pFlags[sheet].get() : nullptr;
  }
  // The line of an option list whose position is (number - the first line's number),
  // without its line end; empty when there is none.
  static std::string OptionLine(const char* list, int number);
  // Texts that make a cell a push button.
  static bool IsButtonText(const char* text);

  CSGButtonType m_buttonType;
  CSGEllipsisType m_ellipsisType;
  CSGRadioType m_radioType;
  CSGSliderType m_sliderType;
  CSGSpinButtonType m_spinType;
  int m_nButtonIndex = -1;
  int m_nEllipsisIndex = -1;
  int m_nRadioIndex = -1;
  int m_nSpinIndex = -1;
  int m_nSliderIndex = -1;
  int m_nLastCol = 4;
  plat::CFont m_fontNormal;
  plat::CFont m_fontBold;
  plat::CFont m_fontSmall;
  std::array<std::unique_ptr<FlagTable>, kMaxSheets> m_pFlags;

 protected:
  // The edit flag of a cell, written without colouring it (buttons, lists, check boxes).
  void SetEditFlag(int col, long row, int flag);
  // The "?" push button in the row's side heading.
  void SetHelpButton(long row);
  // A grey notes cell from `col` to the last column, not editable.
  void SetNotesCell(int col, long row, const char* text);
  void JoinToLast(int col, long row);
  FlagTable* CurrentFlags() { return Flags(GetCurrentSheet()); }
};
