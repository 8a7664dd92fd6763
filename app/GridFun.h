// The working sheet: six tabs of analysis options and batch utilities, each a sheet of
// one grid with a builder that lays it out once and an executor that acts on its buttons
// and lists. Edited option cells are written into the catalogue engine's option block at
// once; every other value is read from the cells when a tab's button is pressed.
//
// Each tab lives in a source file of its own (GridFun_<tab>.cpp) holding its builder and
// its executor; this file's class and GridFun.cpp hold what the tabs share.
#pragma once
#include <string>

#include "aecore/templates/TMPars.h"
#include "app/KZ_GridFit.h"

class CMainFrame;
class CTremviaDoc;
class KZ_MultiVarObj;

class CGridFun : public KZ_GridFit {
 public:
  // Sheets (the tab ids equal them).
  enum Sheet { kDrawOpt = 0, kFile = 1, kVMReloc = 2, kMec = 3, kTM = 4, kTTF = 5, kSheets = 6 };

  CGridFun();
  ~CGridFun() override;

  void OnSetup() override;
  int OnCellTypeNotify(long typeIndex, int col, long row, long msg, long param) override;
  int OnEditFinish(int col, long row, CSGWnd* editor, const char* text, int cancelled) override;
  void OnValueChanged(int col, long row, const char* text) override;
  void ShowHelp(int col, long row) override;

  // Lays out the six tabs (once, when the working sheet is first shown).
  virtual void BuildAllSheets();
  // Non-zero when the cell's number is greater than 0 (a ticked check box holds "1").
  int IsCellSet(int col, long row);
  // Pixels across that show the widest tab's columns whole and every sheet tab.
  int NeededWidth();
  // Width of the sheet-tab strip: 280, or what the six tab labels need.
  int m_nTabsWidth = 280;

  // Builders and executors of the tabs (executors get the cell-type notification of a
  // cell of their sheet and return 1).
  void SetupDrawOptSheet();
  int DoDrawOpt(long typeIndex, int col, long row, long msg, long param);
  void SetupFileSheet();
  int DoFileUtility(long typeIndex, int col, long row, long msg, long param);
  void SetupVMSheet();
  int DoVMReloc(long typeIndex, int col, long row, long msg, long param);
  void SetupMecSheet();
  int DoMec(long typeIndex, int col, long row, long msg, long param);
  void SetupTMSheet();
  int DoTM(long typeIndex, int col, long row, long msg, long param);
  void SetupTTFSheet();
  int DoTTF(long typeIndex, int col, long row, long msg, long param);

  // "File" tab: its batch utilities.
  int CollectSeg2Events();
  int CollectTemplates();
  int ResetRecordFlags();
  int ShiftRecordTimes(double dt);
  int MarkSeg2Files(const std::string& folder);
  int RenumberSeg2Files(const std::string& firstFile);
  int ConvertEventFiles(const std::string& folder, bool aew);
  // The time-correction dialog; false when not confirmed.
  virtual bool AskTimeCorrection(double* dt);

  // "VM, reLoc" tab: the velocity and the shot-location tables, the source re-estimation.
  int VMDataSheet(KZ_MultiVarObj* table, int P, float T0, int append);
  int VMLocationSheet(KZ_MultiVarObj* table);
  void ReestimateSourceParameters();

  // "Mec" tab.
  int SolveMechanisms(int n);
  int MeanStrainSheet(KZ_MultiVarObj* table);
  int CombinedDataSheet(KZ_MultiVarObj* table);

  // "T-M" tab.
  void ShowTMParameters(const TMPars& p);
  void GetTMParameters(TMPars& p);
  int Seg2ToAEF();
  TMPars m_TMPars{};
  // The wait after each start of a matching slice, in units of 1/1024 s.
  void (*m_pfnWait)(int) = nullptr;

  // "AE DP" tab.
  void FitTTFData(KZ_MultiVarObj* table);
  void PredictTTF(KZ_MultiVarObj* table, int uc);

  // The catalogue window [t0, t1] on the catalogue clock (seconds after its reference).
  static void CatalogueWindow(const CTremviaDoc& doc, double* t0, double* t1);

  // The address the last "?" help button formed ("page/word.htm#part_row").
  std::string m_strHelpAddress;

 protected:
  // The main frame and its document, reached through the application's main window.
  static CMainFrame* Frame();
  static CTremviaDoc* Doc();
  // The common start of every builder: the sheet made current and laid out with the
  // defaults, columns 0-3 `width` pixels wide (0 leaves them), `rows` rows, `lockCols`
  // leading columns and `lockRows` top rows locked (0 leaves the layout's one row).
  void BeginSheet(int sheet, int width, int rows, int lockCols, int lockRows);
};
