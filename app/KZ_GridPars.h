// The parameter sheet: a grid that lays itself out from records an operation fills
// before it asks the user: number rows (title, value, optional range, printf format,
// note) and text rows (title, text, note), an optional output-folder row and a row of
// "Reset..", "Help.." and "Stop.." buttons. Every accepted edit goes into its record.
//
// Record conventions: a note beginning with "X" shows the row's numbers without letting
// them be edited; a note beginning with "*" shows title and value in red; a title
// beginning with "*" makes the title cell an unticked check box; a format holding "%d"
// shows the row's numbers as integers.
#pragma once
#include <array>
#include <string>

#include "app/KZ_GridFit.h"

struct KZ_ParsNumberRow {
  static constexpr float kNotSet = -1e31f;  // a minimum or maximum below -1e30 is not set
  float value = 0.0f;
  float minimum = kNotSet;
  float maximum = kNotSet;
  std::string title;
  std::string format;
  std::string note;
  bool HasRange() const { return minimum >= -1e30f || maximum >= -1e30f; }
};

struct KZ_ParsTextRow {
  std::string title;
  std::string text;
  std::string note;
};

class KZ_GridPars : public KZ_GridFit {
 public:
  static constexpr int kMaxRecords = 32;
  static constexpr COLORREF kRed = RGB(255, 0, 0);

  KZ_GridPars();
  ~KZ_GridPars() override;

  // Record i's value, title, format and note, without a range; the number-row count
  // grows to i + 1. Indices outside 0-31 are refused (false).
  bool SetNumberRow(int i, float value, const char* title, const char* format, const char* note);

  void OnSetup() override;
  int OnEditFinish(int col, long row, CSGWnd* editor, const char* text, int cancelled) override;
  void OnValueChanged(int col, long row, const char* text) override;
  int OnCellTypeNotify(long typeIndex, int col, long row, long msg, long param) override;
  void ShowHelp(int, long) override {}

  // Lays the sheet out from the records.
  void LayoutSheet();

  int m_nRows = 0;
  std::array<KZ_ParsNumberRow, kMaxRecords> m_Numbers;
  std::array<KZ_ParsTextRow, kMaxRecords> m_Texts;
  int m_nNumbers = 0;
  int m_nTexts = 0;
  int m_bOutputFolderRow = 1;
  std::string m_strHelpAddress;
  std::string m_strOutputFolder;
  std::array<std::string, 5> m_strColumnTitles = {"Title", "Value", "-", "-", "Notes"};

 private:
  // Writes a number of row `row` into column `col` by the row's format.
  void SetNumber(int col, long row, const KZ_ParsNumberRow& rec, float value);
};
