#include "app/GridFun.h"

#include <QImage>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "aecore/document/TremviaDoc.h"
#include "app/MainFrm.h"
#include "base/types/KZ_Range.h"
#include "base/types/KZ_TextParse.h"
#include "platform/UiServices.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/WinApp.h"
#include "wincomp/grid/SGDefs.h"

namespace {

// An option cell whose edited value goes straight into the option block: an integer
// field (kept within [low, high], the values its readers can hold) or a float field.
struct WriteBack {
  int sheet;
  long row;
  int col;
  int CAEHypo::*intField;
  float CAEHypo::*floatField;
  int low;
  int high;
};

// The longest picking window the onset picker takes, in samples.
constexpr int kMaxPickLength = 16396;

const WriteBack kWriteBacks[] = {
    {CGridFun::kDrawOpt, 1, 1, &CAEHypo::m_nClassMask, nullptr, 0, INT_MAX},
    {CGridFun::kDrawOpt, 1, 2, &CAEHypo::m_nMinArrivals, nullptr, 0, INT_MAX},
    {CGridFun::kDrawOpt, 1, 3, nullptr, &CAEHypo::m_fMinCC, 0, 0},
    {CGridFun::kDrawOpt, 2, 1, nullptr, &CAEHypo::m_fAirMargin, 0, 0},
    {CGridFun::kDrawOpt, 5, 1, nullptr, &CAEHypo::m_fSampleScale, 0, 0},
    {CGridFun::kDrawOpt, 5, 2, nullptr, &CAEHypo::m_fHypoScale, 0, 0},
    {CGridFun::kVMReloc, 11, 1, nullptr, &CAEHypo::m_fFixX, 0, 0},
    {CGridFun::kVMReloc, 12, 1, nullptr, &CAEHypo::m_fFixY, 0, 0},
    {CGridFun::kVMReloc, 13, 1, nullptr, &CAEHypo::m_fFixZ, 0, 0},
    {CGridFun::kVMReloc, 14, 1, nullptr, &CAEHypo::m_fMinSN, 0, 0},
    {CGridFun::kVMReloc, 14, 2, nullptr, &CAEHypo::m_fMaxRes, 0, 0},
    {CGridFun::kVMReloc, 15, 1, &CAEHypo::m_nPickStart, nullptr, 0, INT_MAX},
    {CGridFun::kVMReloc, 15, 2, &CAEHypo::m_nPickLength, nullptr, 0, kMaxPickLength},
    {CGridFun::kVMReloc, 17, 1, nullptr, &CAEHypo::m_fMwFcWindow, 0, 0},
    {CGridFun::kMec, 1, 1, &CAEHypo::m_nMecMinFM, nullptr, 0, INT_MAX},
    {CGridFun::kMec, 1, 2, nullptr, &CAEHypo::m_fMecAcri, 0, 0},
    {CGridFun::kMec, 2, 1, &CAEHypo::m_nMecMinUp, nullptr, 0, INT_MAX},
    {CGridFun::kMec, 2, 2, &CAEHypo::m_nMecMinDown, nullptr, 0, INT_MAX},
};

void NoteOutOfRange(const char* text, double stored) {
  char note[160];
  std::snprintf(note, sizeof note, "\"%.60s\" is out of range: %g stored", text, stored);
  plat::Ui().SetPaneText(0, note, true);
}

}  // namespace

CGridFun::CGridFun() = default;
CGridFun::~CGridFun() = default;

CMainFrame* CGridFun::Frame() { return dynamic_cast<CMainFrame*>(plat::AfxGetMainWnd()); }

CTremviaDoc* CGridFun::Doc() {
  CMainFrame* frame = Frame();
  return frame ? frame->GetDoc() : nullptr;
}

void CGridFun::OnSetup() {
  KZ_GridFit::OnSetup();
  static const char* const labels[kSheets] = {"Draw Opt.", "File", "VM, reLoc",
                                              "Mec",       "T-M",  "AE DP"};
  // The tab strip is 280 pixels wide unless its six tabs, measured in the strip's own
  // font, need more: every tab is to be seen without scrolling the strip.
  QImage probe(1, 1, QImage::Format_RGB32);
  plat::CImageDC dc(&probe);
  plat::CFont font;
  font.CreateFont(14, 0, 0, 0, 500, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  const plat::CFont old = dc.SelectObject(font);
  // Beside the labels: the strip's two scroll arrows, the last tab's slanted edge (9
  // pixels past its width) and the grip at the strip's right end (6 pixels).
  int need = 2 * sgw::SM_CXHSCROLL + 9 + 6 + 4;
  for (const char* label : labels) need += dc.GetTextExtent(label).cx + 10;
  dc.SelectObject(old);
  m_nTabsWidth = std::max(280, need);
  SetTabWidth(m_nTabsWidth);
  for (int s = 0; s < kSheets; ++s) AddTab(labels[s], s);
  SetSheetCount(kSheets);
}

int CGridFun::NeededWidth() {
  const int current = GetCurrentSheet();
  int widest = 0;
  for (int s = 0; s < GetSheetCount(); ++s) {
    SetCurrentSheet(s, 0);
    int w = GetSideHeadingWidth();
    for (int c = 0; c < GetColumnCount(); ++c) w += GetColumnWidth(c);
    widest = std::max(widest, w);
  }
  SetCurrentSheet(current, 1);
  // The vertical scroll bar and the window's border beside the columns; the tab strip
  // and a little of the horizontal scroll bar below them.
  return std::max(widest + sgw::SM_CXHSCROLL + 4, m_nTabsWidth + 40);
}

void CGridFun::BuildAllSheets() {
  void (CGridFun::*const builders[kSheets])() = {
      &CGridFun::SetupDrawOptSheet, &CGridFun::SetupFileSheet, &CGridFun::SetupVMSheet,
      &CGridFun::SetupMecSheet,     &CGridFun::SetupTMSheet,   &CGridFun::SetupTTFSheet};
  for (int s = 0; s < kSheets; ++s) {
    SetCurrentSheet(s, 1);
    (this->*builders[s])();
  }
  SetCurrentSheet(kDrawOpt, 1);
}

void CGridFun::BeginSheet(int sheet, int width, int rows, int lockCols, int lockRows) {
  SetCurrentSheet(sheet, 1);
  InitSheet(20, 5);
  if (width > 0)
    for (int c = 0; c < 4; ++c) SetColumnWidth(c, width);
  SetRowCount(rows, 0);
  SetLockedColumns(lockCols);
  if (lockRows > 0) SetLockedRows(lockRows);
}

int CGridFun::OnCellTypeNotify(long typeIndex, int col, long row, long msg, long param) {
  KZ_GridFit::OnCellTypeNotify(typeIndex, col, row, msg, param);
  if (col < 0) return 0;
  switch (GetCurrentSheet()) {
    case kDrawOpt:
      return DoDrawOpt(typeIndex, col, row, msg, param);
    case kFile:
      return DoFileUtility(typeIndex, col, row, msg, param);
    case kVMReloc:
      return DoVMReloc(typeIndex, col, row, msg, param);
    case kMec:
      return DoMec(typeIndex, col, row, msg, param);
    case kTM:
      return DoTM(typeIndex, col, row, msg, param);
    case kTTF:
      return DoTTF(typeIndex, col, row, msg, param);
    default:
      return 1;
  }
}

int CGridFun::OnEditFinish(int col, long row, CSGWnd*, const char* text, int cancelled) {
  if (!cancelled) OnValueChanged(col, row, text);
  return 1;
}

void CGridFun::OnValueChanged(int col, long row, const char* text) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& hypo = *doc->m_pHypo;
  if (!text) text = GetCellText(col, row);
  if (!text) text = "";
  const int sheet = GetCurrentSheet();
  for (const WriteBack& w : kWriteBacks) {
    if (w.sheet != sheet || w.row != row || w.col != col) continue;
    float v = 0.0f;
    KZ_ParseRangeF(text, &v, nullptr, nullptr, nullptr, nullptr, nullptr);
    bool clamped = false;
    if (!std::isfinite(v)) {
      v = 0.0f;
      clamped = true;
    }
    if (w.intField) {
      double n = std::trunc(static_cast<double>(v));
      if (n < w.low || n > w.high) {
        n = n < w.low ? w.low : w.high;
        clamped = true;
      }
      hypo.*w.intField = static_cast<int>(n);
      if (clamped) NoteOutOfRange(text, n);
    } else {
      hypo.*w.floatField = v;
      if (clamped) NoteOutOfRange(text, v);
    }
    return;
  }
}

void CGridFun::ShowHelp(int col, long row) {
  const int sheet = GetCurrentSheet();
  const char* page = sheet <= kFile ? "Tremvia_Opt" : "Tremvia_Utl";
  const char* part = sheet == kDrawOpt ? "Opt" : "Utl";
  const std::string word = KZ_GetKeyString(GetCellText(col, row), "=", part);
  char address[512];
  std::snprintf(address, sizeof address, "%s/%.200s.htm#%s_%03d", page, word.c_str(), part,
                static_cast<int>(row));
  m_strHelpAddress = address;
}

int CGridFun::IsCellSet(int col, long row) { return GetCellNumber(col, row) > 0 ? 1 : 0; }
