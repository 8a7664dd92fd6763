#include "app/KZ_GridPars.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/types/KZ_Range.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/Shell.h"
#include "platform/UiServices.h"

namespace {
// The page of the program's help site that explains the parameter sheet.
constexpr const char* kHelpAddress = "https://tremvia.org/help/Tremvia_Pars.htm";
}  // namespace

KZ_GridPars::KZ_GridPars() : m_strHelpAddress(kHelpAddress) {}
KZ_GridPars::~KZ_GridPars() = default;

bool KZ_GridPars::SetNumberRow(int i, float value, const char* title, const char* format,
                               const char* note) {
  if (i < 0 || i >= kMaxRecords) return false;
  KZ_ParsNumberRow& r = m_Numbers[i];
  r.value = value;
  r.title = title ? title : "";
  r.format = format ? format : "";
  r.note = note ? note : "";
  r.minimum = KZ_ParsNumberRow::kNotSet;
  r.maximum = KZ_ParsNumberRow::kNotSet;
  if (m_nNumbers < i + 1) m_nNumbers = i + 1;
  return true;
}

void KZ_GridPars::OnSetup() {
  KZ_GridFit::OnSetup();
  LayoutSheet();
}

void KZ_GridPars::SetNumber(int col, long row, const KZ_ParsNumberRow& rec, float value) {
  if (rec.format.find("%d") != std::string::npos) {
    // Truncated toward zero; what an int cannot hold is shown at its limit.
    double v = std::isfinite(value) ? std::trunc(static_cast<double>(value)) : 0.0;
    v = std::fmax(-2147483648.0, std::fmin(2147483647.0, v));
    SetInt(col, row, rec.format.c_str(), static_cast<int>(v));
  } else {
    SetFloat(col, row, rec.format.empty() ? "%f" : rec.format.c_str(), value);
  }
}

void KZ_GridPars::LayoutSheet() {
  const int N = std::min(m_nNumbers, kMaxRecords);
  const int T = std::min(m_nTexts, kMaxRecords);
  m_nRows = N + T + (N > 0 ? 1 : 0) + (T > 0 ? 1 : 0) + 2;
  InitSheet(m_nRows, 5);
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, 80);
  SetColumnWidth(4, 300);
  long row = 0;
  if (T > 0) {
    SetRow(row, "#", " ", " ", " ", "notes");
    JoinCells(1, row, 3, row);
    SetCellText(1, row, "mi, mx, +(*)=d");
    ++row;
    for (int k = 0; k < T; ++k, ++row) {
      const KZ_ParsTextRow& t = m_Texts[k];
      SetParamRow(row, t.title.c_str(), " ", " ", " ", t.note.c_str());
      JoinCells(1, row, 3, row);
      SetCellText(1, row, t.text.c_str());
    }
  }
  if (N > 0) {
    const auto& h = m_strColumnTitles;
    SetRow(row, h[0].c_str(), h[1].c_str(), h[2].c_str(), h[3].c_str(), h[4].c_str());
    ++row;
    for (int i = 0; i < N; ++i, ++row) {
      const KZ_ParsNumberRow& rec = m_Numbers[i];
      const int editable = rec.note.rfind('X', 0) == 0 ? 0 : 1;
      if (rec.HasRange()) {
        SetParamRow(row, rec.title.c_str(), " ", " ", " ", rec.note.c_str());
        SetNumber(1, row, rec, rec.value);
        SetNumber(2, row, rec, rec.minimum);
        SetNumber(3, row, rec, rec.maximum);
      } else {
        SetParamRow(row, rec.title.c_str(), " ", "-", "-", rec.note.c_str());
        SetNumber(1, row, rec, rec.value);
      }
      SetCheck(1, row, editable);
      if (rec.HasRange()) {
        SetCheck(2, row, editable);
        SetCheck(3, row, editable);
      }
      if (rec.note.rfind('*', 0) == 0) {
        SetCellTextColor(0, row, kRed);
        SetCellTextColor(1, row, kRed);
      }
      if (rec.title.rfind('*', 0) == 0) SetCheckCell(0, row, rec.title.c_str() + 1, 0);
    }
  }
  if (m_bOutputFolderRow) {
    SetRow(row, "Path..", "", "", "", "Output folder");
    JoinCells(1, row, 3, row);
    SetParamText(1, row, m_strOutputFolder.c_str());
  }
  SetRow(m_nRows - 1, "Reset..", "Help..", "Stop..", " ", " ");
  RedrawAll();
}

int KZ_GridPars::OnEditFinish(int col, long row, CSGWnd*, const char* text, int cancelled) {
  if (cancelled) return 1;
  OnValueChanged(col, row, text);
  return 1;
}

void KZ_GridPars::OnValueChanged(int col, long row, const char* text) {
  // Only cells the user may edit reach a record (rows marked "X" keep their numbers,
  // whatever is pasted over them).
  if (!IsCellEditable(col, row)) return;
  if (!text) text = GetCellText(col, row);
  if (!text) text = "";
  float v = 0.0f;
  KZ_ParseRangeF(text, &v, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!std::isfinite(v)) v = 0.0f;
  const int N = std::min(m_nNumbers, kMaxRecords);
  const int T = std::min(m_nTexts, kMaxRecords);
  const long k = row - 1;
  if (k < 0) return;  // the first heading row
  if (k < T) {
    if (col == 1) m_Texts[k].text = text;
    return;
  }
  const long i = k - T - (T > 0 ? 1 : 0);
  if (i < 0 || i >= N) return;
  KZ_ParsNumberRow& rec = m_Numbers[i];
  if (col == 1) rec.value = v;
  if (col == 2) rec.minimum = v;
  if (col == 3) rec.maximum = v;
}

int KZ_GridPars::OnCellTypeNotify(long typeIndex, int col, long row, long msg, long param) {
  KZ_GridFit::OnCellTypeNotify(typeIndex, col, row, msg, param);
  if (col < 0 || msg != SGN_BUTTON_UP) return 0;
  if (row == m_nRows - 1) {
    if (col == 0) plat::AfxMessageBox("Oh! I forgot your initial mind!", MB_OK);
    if (col == 1) plat::GetShell().ShellExecute("open", m_strHelpAddress, "", plat::SW_SHOW);
    return 1;
  }
  m_strOutputFolder = KZ_BrowseSg2Folder("Folder for saving error functions", 0);
  SetParamText(1, row, m_strOutputFolder.c_str());
  return 1;
}
