#include "app/KZ_GridFit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/types/KZ_Range.h"
#include "base/types/KZ_Var1D.h"
#include "platform/Strings.h"

namespace {

constexpr long kButtonStyle = 16;
constexpr long kHeadingStyle = 2;
constexpr long kCheckStyle = 0x1100;
constexpr int kDropListType = 1;
constexpr int kCheckBoxType = 2;

bool Has(const char* text, const char* part) { return text && std::strstr(text, part); }

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

int KZ_ParseLeadingInt(const char* text) {
  const char* t = OrEmpty(text);
  if (t[0] == '-') return -(t[1] - '0');
  if (!std::isdigit(static_cast<unsigned char>(t[0]))) return t[0] - '0';
  int v = 0;
  for (int i = 0; i < 3 && std::isdigit(static_cast<unsigned char>(t[i])); ++i)
    v = v * 10 + (t[i] - '0');
  return v;
}

KZ_GridFit::KZ_GridFit() = default;
KZ_GridFit::~KZ_GridFit() = default;

bool KZ_GridFit::IsButtonText(const char* text) {
  return Has(text, "..") || Has(text, "=.") || Has(text, ".=");
}

std::string KZ_GridFit::OptionLine(const char* list, int number) {
  const std::string all = OrEmpty(list);
  int position = number - KZ_ParseLeadingInt(all.c_str());
  if (position < 0) return std::string();
  std::size_t start = 0;
  while (position > 0) {
    const std::size_t nl = all.find('\n', start);
    if (nl == std::string::npos) return std::string();
    start = nl + 1;
    --position;
  }
  if (start >= all.size()) return std::string();
  return all.substr(start, all.find('\n', start) - start);
}

// ------------------------------------------------------------------ notifications

void KZ_GridFit::OnSetup() {
  m_fontNormal.CreateFont(14, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 0, 0, "times");
  m_fontBold.CreateFont(14, 0, 0, 0, 600, 0, 0, 0, 128, 0, 0, 0, 0, "times");
  m_fontSmall.CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 0, 0, "Times");
  m_nButtonIndex = AddCellType(&m_buttonType);
  m_nEllipsisIndex = AddCellType(&m_ellipsisType);
  m_nRadioIndex = AddCellType(&m_radioType);
  m_nSpinIndex = AddCellType(&m_spinType);
  m_nSliderIndex = AddCellType(&m_sliderType);
  EnableMenu(1);
  SetMultiSelectMode(1);
}

void KZ_GridFit::OnCellDoubleClick(int, long, RECT*, POINT*, int) { EditCurrentCell(); }

void KZ_GridFit::OnGridChar(UINT* vcKey, int processed) {
  if (!processed && vcKey) EditCurrentCellWithKey(*vcKey);
}

bool KZ_GridFit::IsCellEditable(int col, long row) {
  FlagTable* t = CurrentFlags();
  if (!t || col < 0 || row < 0 || col >= GetColumnCount() || row >= GetRowCount()) return false;
  // The table may lag behind a column count changed without re-laying out the sheet.
  if (col >= t->columns || row >= t->rows) return false;
  return t->RowEnable(static_cast<int>(row)) == 1 && t->At(col, static_cast<int>(row)) == 1;
}

int KZ_GridFit::OnEditStart(int col, long row, CSGWnd**) {
  return IsCellEditable(col, row) ? 1 : 0;
}

int KZ_GridFit::OnEditFinish(int, long, CSGWnd*, const char*, int) { return 1; }

void KZ_GridFit::OnSideHeadingLeftClick(int col, long row, int updn, RECT*, POINT*, int) {
  if (!updn || row < 0) return;
  if (!Has(GetCellText(col, row), "?")) return;
  ShowHelp(Has(GetCellText(0, row), "?=") ? 0 : -1, row);
}

int KZ_GridFit::OnCellTypeNotify(long, int col, long row, long msg, long) {
  if (msg == SGN_BUTTON_DOWN) {
    SetCellBackColor(col, row, kButtonPressed);
    RedrawCell(col, row);
  } else if (msg == SGN_BUTTON_CLICK) {
    SetCellBackColor(col, row, kButtonBack);
    RedrawCell(col, row);
  }
  return 1;
}

int KZ_GridFit::OnPopupOpen(int col, long row, int) {
  EmptyMenu();
  if (col < 0 || row < 0) return 0;
  AddMenuItem(kMenuCopy, "Copy");
  FlagTable* t = CurrentFlags();
  if (t && col < t->columns && row < t->rows && t->At(col, static_cast<int>(row)) == 1)
    AddMenuItem(kMenuPaste, "Paste");
  return 1;
}

void KZ_GridFit::OnPopupCommand(int col, long row, int, UINT item) {
  switch (item) {
    case kMenuCut:
      CutSelection();
      break;
    case kMenuCopy:
      CopySelection();
      break;
    case kMenuPaste:
      PasteFromClipboard();
      OnValueChanged(col, row, nullptr);
      break;
    default:
      break;
  }
}

void KZ_GridFit::OnSheetTabClicked(long id) {
  SetCurrentSheet(static_cast<int>(id), 1);
  RedrawAll();
}

// ------------------------------------------------------------------ own operations

void KZ_GridFit::InitSheet(int rows, int columns) {
  if (columns < 1) columns = 5;
  m_nLastCol = columns - 1;
  EnableMenu(1);
  EmptyMenu();
  AddMenuItem(1000, "Copy");
  SetDefaultFont(&m_fontNormal);
  SetDefaultRowHeight(20);
  SetDefaultColumnWidth(64);
  SetColumnCount(columns, 0);
  if (rows < 1) rows = 20;
  SetRowCount(rows, 0);
  SetLockedColumns(4);
  SetLockedRows(1);
  SetSideHeadingWidth(24);
  SetColumnWidth(0, 96);
  SetColumnWidth(columns - 1, 480);
  for (int c = 0; c < columns; ++c) {
    // One letter per column, as far as the alphabet goes.
    const char heading[2] = {static_cast<char>(c < 26 ? 'A' + c : '?'), 0};
    SetCellText(c, -1, heading);
  }
  for (int r = 0; r < rows; ++r) SetCellText(-1, r, std::to_string(r).c_str());
}

int KZ_GridFit::StepValue(int col, long row, int code, int minimum, int maximum) {
  int v = static_cast<int>(GetCellNumber(col, row));
  if (minimum > maximum) return v;
  if (code == SGN_SPIN_UP) ++v;
  if (code == SGN_SPIN_DOWN) --v;
  if (v > maximum) v = 0;
  if (v < 0) v = maximum;
  SetCellInteger(col, row, v);
  RedrawCell(col, row);
  return v;
}

void KZ_GridFit::ShowHelp(int, long) {}

void KZ_GridFit::ResizeRowFlags(long previousRows) {
  const int sheet = GetCurrentSheet();
  if (sheet < 0 || sheet >= kMaxSheets) return;
  auto next = std::make_unique<FlagTable>();
  next->columns = std::max(0, GetColumnCount());
  next->rows = static_cast<int>(std::max(0L, GetRowCount()));
  next->entries.assign(static_cast<std::size_t>(next->columns + 1) * next->rows, 0);
  FlagTable* old = m_pFlags[sheet].get();
  int kept = 0;
  if (previousRows >= 1 && old) {
    kept = static_cast<int>(std::min<long>({previousRows, next->rows, old->rows}));
    const int cols = std::min(old->columns, next->columns);
    for (int r = 0; r < kept; ++r) {
      for (int c = 0; c < cols; ++c) next->At(c, r) = old->At(c, r);
      next->RowEnable(r) = 1;
    }
  }
  for (int r = kept; r < next->rows; ++r) next->RowEnable(r) = 1;
  m_pFlags[sheet] = std::move(next);
}

void KZ_GridFit::OnValueChanged(int, long, const char*) {}

// ------------------------------------------------------------------ row operations

int KZ_GridFit::SetRowCount(long count, int redraw) {
  const long previous = GetRowCount();
  const int rt = CSGCtrl::SetRowCount(count, redraw);
  ResizeRowFlags(previous);
  for (long r = std::max(0L, previous); r < GetRowCount(); ++r)
    SetCellText(-1, r, std::to_string(r).c_str());
  return rt;
}

void KZ_GridFit::JoinToLast(int col, long row) {
  if (col < m_nLastCol) JoinCells(col, row, m_nLastCol, row);
}

void KZ_GridFit::SetHelpButton(long row) {
  SetCellText(-1, row, "?");
  SetCellType(-1, row, m_nButtonIndex);
  SetCellTypeStyle(-1, row, kButtonStyle);
}

void KZ_GridFit::SetEditFlag(int col, long row, int flag) {
  FlagTable* t = CurrentFlags();
  if (!t || col < 0 || row < 0 || col >= t->columns || row >= t->rows) return;
  t->At(col, static_cast<int>(row)) = static_cast<std::uint16_t>(flag);
}

void KZ_GridFit::SetNotesCell(int col, long row, const char* text) {
  SetCellText(col, row, OrEmpty(text));
  JoinToLast(col, row);
  SetCheck(col, row, 0);
  SetCellBackColor(col, row, kNotesBack);
}

void KZ_GridFit::SetRowHeading(long row, const char* text, int heightFactor, int level) {
  JoinCells(0, row, m_nLastCol, row);
  SetRowHeight(row, 20 * heightFactor);
  SetCellText(0, row, OrEmpty(text));
  SetCellAlignment(0, row, SG_ALIGN_LEFT);
  SetCellTypeStyle(0, row, kHeadingStyle);
  if (level == 0) SetCellFont(0, row, &m_fontBold);
  const COLORREF back = row == -1 ? kTopHeadingBack : level == 0 ? kHeading0Back : kHeading1Back;
  SetCellBackColor(0, row, back);
  if (Has(text, "?=")) SetHelpButton(row);
}

void KZ_GridFit::SetParamRow(long row, const char* title, const char* t1, const char* t2,
                             const char* t3, const char* t4, const char* t5, const char* t6,
                             const char* t7) {
  SetRowHeight(row, 20);
  SetCellText(0, row, OrEmpty(title));
  SetCellBackColor(0, row, kTitleBack);
  SetCellAlignment(0, row, (title && title[0] == '-') ? SG_ALIGN_CENTER : SG_ALIGN_RIGHT);
  SetEditFlag(0, row, 0);
  if (Has(title, "=.") || Has(title, ".."))
    SetButtonCell(0, row, nullptr);
  else
    SetCellTypeStyle(0, row, SGCT_ELLIPSIS);

  const char* given[7] = {t1, t2, t3, t4, t5, t6, t7};
  int count = 0;
  while (count < 7 && given[count]) ++count;
  int joinStart = -1;  // start of the block an empty text joins
  for (int i = 0; i < count; ++i) {
    const int col = i + 1;
    const char* text = given[i];
    if (col == 4 && Has(text, "?=")) SetHelpButton(row);
    if (i == count - 1) {
      SetNotesCell(col, row, text);
      break;
    }
    if (!*text && (col == 2 || col == 3)) {
      if (joinStart < 0) joinStart = col - 1;
      JoinCells(joinStart, row, col, row);
      continue;
    }
    joinStart = -1;
    SetCellText(col, row, text);
    if (IsButtonText(text)) {
      SetButtonCell(col, row, nullptr);
    } else {
      SetCheck(col, row, std::strcmp(text, "-") == 0 ? 0 : 1);
    }
  }
}

void KZ_GridFit::SetParamRowRange(long row, const char* title, double low, double high,
                                  const char* text, const char* notes) {
  char lo[32], hi[32];
  KZ_FormatNumber(low, lo);
  KZ_FormatNumber(high, hi);
  SetParamRow(row, title, lo, hi, text, notes);
}

void KZ_GridFit::SetOptionRow(long row, const char* title, const char* list, int selected,
                              const char* extra, const char* notes) {
  SetRowHeight(row, 30);
  const std::string current = OptionLine(list, selected);
  if (notes) {
    SetCellText(0, row, OrEmpty(title));
    SetCellAlignment(0, row, SG_ALIGN_VCENTER);
    SetEditFlag(0, row, 0);
    if (Has(title, "=.") || Has(title, "..")) SetButtonCell(0, row, nullptr);
    SetOptionCell(1, row, list, current.c_str());
    if (extra) {
      JoinCells(1, row, 2, row);
      SetCellText(3, row, extra);
      SetCheck(3, row, 1);
    } else {
      JoinCells(1, row, 3, row);
    }
    SetNotesCell(4, row, notes);
    return;
  }
  int optionCol = 1;
  if (title && *title) {
    SetCellText(0, row, title);
    SetEditFlag(0, row, 0);
    // A "Do.." title is the button that runs the chosen line, with notes or without.
    if (Has(title, "=.") || Has(title, "..")) SetButtonCell(0, row, nullptr);
    JoinCells(1, row, 2, row);
  } else {
    optionCol = 0;
    JoinCells(0, row, 2, row);
  }
  SetOptionCell(optionCol, row, list, current.c_str());
  SetCellBackColor(optionCol, row, kOptionBack);
  SetNotesCell(3, row, OrEmpty(extra));
}

void KZ_GridFit::SetTextRow(long row, const char* t1, const char* t2, const char* t3,
                            const char* t4, const char* t5) {
  const char* given[5] = {t1, t2, t3, t4, t5};
  int count = 0;
  while (count < 5 && given[count]) ++count;
  for (int i = 0; i < count; ++i) {
    const char* text = given[i];
    SetCellText(i, row, text);
    SetEditFlag(i, row, 0);
    if (i == 0 && IsButtonText(text)) {
      SetButtonCell(0, row, nullptr);
    } else {
      SetCellBackColor(i, row, kTextRowBack);
      if (i > 0) SetCellAlignment(i, row, SG_ALIGN_RIGHT);
    }
    if (i == 0 && Has(text, "?=")) SetHelpButton(row);
  }
  if (count > 0) {
    JoinToLast(count - 1, row);
    SetCellBackColor(count - 1, row, kNotesBack);
  }
  SetCellAlignment(4, row, SG_ALIGN_LEFT);
}

void KZ_GridFit::SetRow(long row, const char* t1, const char* t2, const char* t3, const char* t4,
                        const char* t5, const char* t6, const char* t7, const char* t8) {
  SetRowHeight(row, 20);
  const char* given[8] = {t1, t2, t3, t4, t5, t6, t7, t8};
  int count = 0;
  while (count < 8 && given[count]) ++count;
  for (int i = 0; i < count; ++i) SetTextCell(i, row, given[i]);
  if (count > 0) {
    JoinToLast(count - 1, row);
    SetEditFlag(count - 1, row, 0);
    SetCellBackColor(count - 1, row, kNotesBack);
  }
}

// ------------------------------------------------------------------ cell operations

void KZ_GridFit::SetCheck(int col, long row, int flag) {
  FlagTable* t = CurrentFlags();
  if (!t || col < 0 || row < 0 || col >= t->columns || row >= t->rows) return;
  t->At(col, static_cast<int>(row)) = static_cast<std::uint16_t>(flag > 0 ? 1 : 0);
  const bool editable = flag > 0 && t->RowEnable(static_cast<int>(row)) == 1;
  SetCellBackColor(col, row, editable ? kEditBack : kFixedBack);
  SetCellTextColor(col, row, editable ? kEditText : kFixedText);
  RedrawCell(col, row);
}

void KZ_GridFit::SetParamText(int col, long row, const char* text) {
  SetCellText(col, row, OrEmpty(text));
  if (Has(text, "?=")) {
    SetCellType(col, row, m_nButtonIndex);
    SetCellTypeStyle(col, row, kButtonStyle);
    SetCellAlignment(col, row, SG_ALIGN_LEFT | SG_ALIGN_VCENTER);
    SetCellBackColor(col, row, kHelpTextBack);
  }
  RedrawCell(col, row);
}

void KZ_GridFit::SetParamBool(int col, long row, int flag) {
  SetParamText(col, row, flag ? "1" : "0");
}

void KZ_GridFit::SetCheckCell(int col, long row, const char* label, int value) {
  SetCellType(col, row, kCheckBoxType);
  SetCellTypeStyle(col, row, kCheckStyle);
  SetCellAlignment(col, row, SG_ALIGN_VCENTER);
  SetCellBackColor(col, row, kButtonBack);
  SetCellTextColor(col, row, kFixedText);
  SetCellLabel(col, row, OrEmpty(label));
  SetCellText(col, row, value ? "1" : "0");
  SetEditFlag(col, row, 0);
}

void KZ_GridFit::SetButtonCell(int col, long row, const char* text) {
  SetCellType(col, row, m_nButtonIndex);
  SetCellTypeStyle(col, row, kButtonStyle);
  SetCellBackColor(col, row, kButtonBack);
  SetCellAlignment(col, row, SG_ALIGN_RIGHT | SG_ALIGN_VCENTER);
  if (text) SetCellText(col, row, text);
  SetEditFlag(col, row, 0);
}

void KZ_GridFit::SetTextCell(int col, long row, const char* text) {
  if (IsButtonText(text)) {
    SetButtonCell(col, row, text);
    return;
  }
  SetCellText(col, row, OrEmpty(text));
  SetCheck(col, row, 0);
  // A text longer than its cell ends in "..." instead of being cut without a mark.
  SetCellTypeStyle(col, row, SGCT_ELLIPSIS);
}

void KZ_GridFit::SetOptionCell(int col, long row, const char* list, const char* current) {
  SetCellType(col, row, kDropListType);
  SetCellTypeStyle(col, row, 0);
  SetCellLabel(col, row, OrEmpty(list));
  SetCellText(col, row, OrEmpty(current));
  SetCellAlignment(col, row, SG_ALIGN_VCENTER);
  SetEditFlag(col, row, 0);
}

void KZ_GridFit::SetOptionCellAt(int col, long row, const char* list, int number) {
  SetOptionCell(col, row, list, OptionLine(list, number).c_str());
}

void KZ_GridFit::SetInt(int col, long row, const char* format, int value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  SetCellText(col, row, text);
  RedrawCell(col, row);
}

void KZ_GridFit::SetFloat(int col, long row, const char* format, float value) {
  SetDouble(col, row, format, value);
}

void KZ_GridFit::SetDouble(int col, long row, const char* format, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  SetCellText(col, row, text);
  RedrawCell(col, row);
}

// ------------------------------------------------------------------ readers

int KZ_GridFit::GetInt(int col, long row) { return KZ_ParseLeadingInt(GetCellText(col, row)); }

float KZ_GridFit::GetFloat(int col, long row, const char* key, int unitFlag) {
  const char* text = OrEmpty(GetCellText(col, row));
  const char* at = key && *key ? std::strstr(text, key) : nullptr;
  const char* p = at ? at + std::strlen(key) : text;
  float v = 0.0f;
  if (plat::ScanC(p, "%f", &v) != 1) v = 0.0f;
  if (unitFlag) v = static_cast<float>(v * KZ_UnitToSI(p, nullptr));
  return v;
}

int KZ_GridFit::GetRange(int col, long row, float* minimum, float* maximum, float* step,
                         float* unitFactor, int* logFlag) {
  return KZ_ParseRangeF(OrEmpty(GetCellText(col, row)), minimum, maximum, step, unitFactor, logFlag,
                        nullptr);
}

void KZ_GridFit::GetText(std::string& out, int col, long row, const char* key) {
  const char* text = OrEmpty(GetCellText(col, row));
  const char* at = key && *key ? std::strchr(text, key[0]) : nullptr;
  out = at ? at + 1 : text;
}
