// The data sheet: a grid of two sheets showing a data table ("Sheet-1") and the table's
// second table of results ("Sheet-2"). Rows 0-3 hold each column's title, unit, minimum
// and maximum, the samples follow from row 4. Top headings name the columns' axis roles;
// edits and the popup menu's column operations act on the table of the current sheet and
// hand it to the graph page. The tables belong to the document: the sheet only points to
// them and must be told (ForgetTable) before one goes away.
#pragma once
#include <array>
#include <string>

#include "base/series/KZ_MultiVarObj.h"
#include "platform/Gdi.h"
#include "wincomp/grid/SGCtrl.h"

class CGraphView;

class KZ_GridData : public CSGCtrl {
 public:
  static constexpr int kMaxShownRows = 1000;
  static constexpr int kMaxShownColumns = 100;
  static constexpr int kHeadRows = 4;  // title, unit, min, max
  static constexpr int kSchemeItems = 20;

  // Popup menu items.
  enum : UINT {
    kCut = 1001,
    kCopy = 1002,
    kPaste = 1003,
    kCopyRight = 1004,
    kDeleteRow = 1007,
    kNorm0 = 1008,
    kNorm1 = 1009,
    kSmooth1 = 1016,
    kSmooth2 = 1017,
    kSmooth5 = 1018,
    kRemoveOutliers = 1019,
    kFillUndefined = 1020,
    kLog10 = 1025,
    kLogScale = 1031,
    kHLogScale = 1033,
    kCircles = 1034,
    kLines = 1035,
    kBars = 1036,
    kErrBars = 1037,
    kSelFlag = 1038,
    kDensity = 1101,
    kFoldAngles = 1109,
    kPowerSpectrum = 1201,
    kSsaMatrix = 1202,
    kSsaLambda = 1203,
    kSaveSac = 1211,
    kAddCopy = 1212,
    kAddSumX = 1213,
    kAddSumY = 1214,
    kAddCorrelation = 1215,
    kAddDerivative = 1216,
    kAddIntegral = 1217,
    kAddFromFile = 1220,
    kRemoveColumn = 1228,
    kRemoveUnselected = 1229,
    kSortAscending = 1230,
    kSortDescending = 1231,
    kFit = 1232,
    kSetX = 1501,
    kSetY = 1502,
    kUnselectAll = 1503,
    kUnselectAllY = 1504,
    kSwapXY = 1505,
    kPolar = 1506,
    kSymbolLarger = 2011,
    kSymbolSmaller = 2012,
    kSelectAll = 2021,
    kSaveKV0 = 2022,
    kLoadKV0 = 2023,
    kContourLine = 2048,
    kColourBarLines = 2049,
    kLogAllY = 2050,
    kNormAllY = 2051,
    kSchemeFirst = 2100,  // kSchemeFirst + k chooses colour scheme k (0-19)
  };

  // Heading colours of the Y columns, by their order among the Y columns.
  static const std::array<COLORREF, 11> kHeadingPalette;
  static constexpr COLORREF kPlainHeading = RGB(64, 64, 64);

  KZ_GridData();
  ~KZ_GridData() override;

  // Shows `table` on "Sheet-1" and its second table on "Sheet-2"; a table without
  // columns is not shown.
  void SetData(KZ_MultiVarObj* table, CGraphView* graph);
  void SetData2(KZ_MultiVarObj* second);
  void RefreshHeadings();
  void RefreshHeadings2();
  // Hands the table to the graph page, or repaints the page without a table.
  void RefreshGraph(KZ_MultiVarObj* table);
  // Drops every pointer to `table` and to its second table, here and on the graph page,
  // before the table is deleted or replaced.
  void ForgetTable(KZ_MultiVarObj* table);

  void SaveTableFile();
  void LoadTableFile();

  // Grid notifications.
  void OnSetup() override;
  void OnCellDoubleClick(int col, long row, RECT* rect, POINT* point, int processed) override;
  void OnTopHeadingLeftClick(int col, long row, int updn, RECT* rect, POINT* point,
                             int processed) override;
  void OnGridChar(UINT* vcKey, int processed) override;
  int OnEditStart(int col, long row, CSGWnd** editor) override;
  int OnEditFinish(int col, long row, CSGWnd* editor, const char* text, int cancelled) override;
  int OnPopupOpen(int col, long row, int section) override;
  void OnPopupCommand(int col, long row, int section, UINT item) override;
  void OnSheetTabClicked(long id) override;

  // The table of a sheet (0 or 1), null when none; the table of the current sheet.
  KZ_MultiVarObj* Table(int sheet) const {
    return sheet == 0 || sheet == 1 ? m_pTable[sheet] : nullptr;
  }
  KZ_MultiVarObj* CurrentTable() const { return Table(GetCurrentSheet()); }
  CGraphView* Graph() const { return m_pGraph; }
  int ShownRows() const { return m_nShownRows; }
  int ShownColumns() const { return m_nShownColumns; }

  // Asks the density function's bin count (caption, rows and notes as the user sees
  // them); false when the user cancels. Tests replace the dialog.
  virtual bool AskDensityBins(double minimum, double maximum, int* bins);

  // The data row the next "Normalization-1" starts from (one for the whole program).
  static int s_nNormStart;

  plat::CFont m_fontSystem;
  plat::CFont m_fontSmall;
  plat::CFont m_fontThird;

 private:
  // Rows 0-3 of a table's columns [0, columns).
  void WriteHeadRows(const KZ_MultiVarObj& t, int columns);
  void BlankRows(long first, long last, int columns);
  void Reshow();
  void PopupCells(int col, long row);
  void PopupHeading(int col, KZ_MultiVarObj& t);
  void PopupCorner(KZ_MultiVarObj& t);
  void CommandCells(int col, long row, UINT item, KZ_MultiVarObj& t);
  bool CommandHeading(int col, UINT item, KZ_MultiVarObj& t);
  void CommandCorner(UINT item, KZ_MultiVarObj& t);
  void DeleteDataRow(long gridRow, KZ_MultiVarObj& t);
  void Normalise(int col, long gridRow, KZ_MultiVarObj& t);
  void Density(int col, KZ_MultiVarObj& t);
  void PowerSpectrum(int col, KZ_MultiVarObj& t);
  // The column as one SAC trace in a file the user names.
  void SaveColumnSac(int col, KZ_MultiVarObj& t);
  // Raises a log column's lower limit below 1e-20 and writes it into its cell.
  void RaiseLogLimit(int col, KZ_MultiVarObj& t);
  // The second table of sheet 0's table, made when missing.
  KZ_MultiVarObj* SecondTable(KZ_MultiVarObj& t);
  void ShowSecond(KZ_MultiVarObj* second);

  long m_nGridRows = 50;
  long m_nRowsWritten = kHeadRows;
  long m_nRowsWritten2 = kHeadRows;
  int m_nShownRows = kMaxShownRows;
  int m_nShownColumns = kMaxShownColumns;
  std::array<KZ_MultiVarObj*, 2> m_pTable{};
  CGraphView* m_pGraph = nullptr;
};
