// The "AE DP" tab of the working sheet: test curves of the critical-point models, fits of
// a synthetic curve, and fits and predictions of the time of failure from the peak
// energies of the document's time window.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "app/GridFun.h"
#include "app/MainFrm.h"
#include "base/numerics/KZ_ModelFunctions.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/series/KZ_PointProc_CPB.h"
#include "base/types/KZ_Range.h"
#include "platform/UiServices.h"

namespace {

constexpr int kMaxRangeValues = 10000;

const char* const kTTFItems =
    "0: Test AMR\n1: Test Normalization-group solution\n2: Test Self-similar extrapolation\n"
    "3: Test Fitting\n4: Fitting\n5: Test Prediction\n6: Prediction\n7: Prediction_UC\n";

// The energy series of the window: times rising over the window and the cumulative peak
// energies up to each of them.
struct EnergySeries {
  std::vector<double> t, E;
  int n = 0;
};

EnergySeries WindowEnergies(CTremviaDoc& doc, const std::string& range) {
  EnergySeries s;
  KZ_Range r(range.c_str(), kMaxRangeValues);
  s.n = r.m_nCount;
  s.t.assign(static_cast<std::size_t>(s.n) + 8, 0.0);
  s.E.assign(static_cast<std::size_t>(s.n) + 8, 0.0);
  const double T = doc.m_fTimeSpan;
  for (int j = 0; j < s.n; ++j) s.t[j] = (1.0 - r.m_pValues[s.n - 1 - j]) * T;
  CAEHypo& h = *doc.m_pHypo;
  if (s.n > 0 && doc.m_pPeak[0])
    doc.PeakEnergyAtTimes(s.t.data(), s.E.data(), s.n, static_cast<int>(h.m_fAEOptA), h.m_fAEOptQ);
  return s;
}

// Local calendar time of the window's start.
std::tm WindowStart(const CTremviaDoc& doc) {
  std::tm start = doc.m_pHypo->m_tmStart;
  std::time_t t = std::mktime(&start) + static_cast<std::time_t>(doc.m_fTimeStart);
  std::tm out{};
  if (const std::tm* l = std::localtime(&t)) out = *l;
  return out;
}

// The test table's samples reversed into a rising time series on a scale of 1000.
void TableSeries(const KZ_MultiVarObj* t, double fScale, std::vector<double>* T,
                 std::vector<double>* E) {
  const int n = t->m_nRows;
  T->assign(static_cast<std::size_t>(n) + 8, 0.0);
  E->assign(static_cast<std::size_t>(n) + 8, 0.0);
  for (int j = 0; j < n; ++j) {
    (*T)[j] = (1.0 - t->m_ppData[0][n - 1 - j]) * 1000.0;
    (*E)[j] = t->m_ppData[1][n - 1 - j] * fScale;
  }
}

// Rows 2-4 as the sheet is first laid out; choosing an item of row 1 starts from these.
void RowAsBuilt(KZ_GridFit& g, long row) {
  switch (row) {
    case 2:
      g.SetParamRow(2, "N.T.", "t=0.001,1,*=1.02", "", "", "Discretization of time to failure");
      g.JoinCells(1, 2, 3, 2);
      break;
    case 3:
      g.SetParamRow(3, "a,b,c", "a=0.02", "b=0.1", "c=-6.0", "a,b,c of the model");
      break;
    case 4:
      g.SetParamRow(4, "alf, omg", "alf=0.8", "omg=5.0", " ", "Alfa and Omg of the model");
      break;
    default:
      break;
  }
}

}  // namespace

void CGridFun::SetupTTFSheet() {
  BeginSheet(kTTF, 0, 40, 4, 0);
  const int widths[4] = {100, 140, 140, 100};
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, widths[c]);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pWave || !doc->m_pHypo) return;
  InitSheet(80, 5);
  SetLockedColumns(4);
  SetLockedRows(1);
  SetDefaultColumnWidth(48);
  SetDefaultRowHeight(24);
  SetSideHeadingWidth(20);
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, 100);
  SetRowHeading(0, "Time to failure analysis, Critical point behavior)", 1, 0);
  SetOptionRow(1, "Do..", kTTFItems, 2, "", " ");
  for (long r = 2; r <= 4; ++r) RowAsBuilt(*this, r);
}

int CGridFun::DoTTF(long, int, long row, long msg, long param) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 1;
  KZ_MultiVarObj* table = doc->m_pSheet[0].get();
  doc->m_pCurSheet = table;
  if (row != 1) return 1;

  if (msg == SGN_DROPLIST_SELECTED) {
    const auto* line =
        param ? reinterpret_cast<const std::string*>(static_cast<std::intptr_t>(param)) : nullptr;
    const int item = line ? KZ_ParseLeadingInt(line->c_str()) : -1;
    const char* blank = " ";
    // Every item lays out all three rows, so nothing of the item chosen before stays
    // behind (its labels, or its "-" cells that would read as zero parameters).
    if (item >= 0 && item <= 7)
      for (long r = 2; r <= 4; ++r) RowAsBuilt(*this, r);
    switch (item) {
      case 0:
        SetParamRow(3, "a,b", "a=1.0", "b=-1.0", "-", "a1,a2,fai of the model");
        SetParamRow(4, "m", "m=0.3", "-", "-", "Alfa and Omg of the model");
        break;
      case 1:
        SetParamRow(3, "a1,a2,fai", "a1=-0.97", "a2=0.05", "c=2.36", "a1,a2,fai of the model");
        SetParamRow(4, "alf, omg", "alf=0.3", "omg=5.0", " ", "Alfa and Omg of the model");
        break;
      case 4:
        SetParamRow(3, blank, blank, blank, blank, blank);
        SetParamRow(4, blank, blank, blank, blank, blank);
        break;
      case 5:
        SetParamText(0, 2, "Time");
        SetParamRow(4, "alf, omg", "alf=0.8", "omg=5.0", "x=0.2", "Alfa and Omg of the model");
        break;
      case 6:
      case 7:
        SetParamText(0, 2, "Time");
        SetParamRow(3, blank, blank, blank, blank, blank);
        SetParamRow(4, " ", "nMC=50", "e=0.01", "x=0.2 ", "MC simulation");
        break;
      default:
        break;
    }
    for (long r = 2; r <= 4; ++r) RedrawRow(r);
    return 1;
  }
  if (msg != SGN_BUTTON_CLICK) return 1;

  const int item = GetInt(1, 1);
  std::string R;
  GetText(R, 1, 2, "=");
  auto cell = [&](int c, long r) { return static_cast<double>(GetFloat(c, r, "=", 1)); };
  double p[6] = {0, 0, 0, 0, 0, 0};
  const char* names[2] = {"(tc-t)/tc", " "};
  char line[256];
  // The function table; its rows are the values of the range.
  auto tabulate = [&](double (*model)(double*)) {
    table->SetFromFunction(model, p, names, R.c_str());
    table->m_nRows = table->m_Columns[0].m_nCount;
  };
  auto ranges = [&] {
    table->m_Columns[0].SetRange(1.0, 0.0);
    table->m_Columns[1].SetRange(0.0, 1.0);
  };
  switch (item) {
    case 0:
      p[1] = cell(1, 3), p[2] = cell(2, 3), p[3] = cell(1, 4);
      tabulate(KZ_PowerLawModel);
      ranges();
      std::snprintf(line, sizeof line, "AMR: A=%.2f, B=%.2f, m=%.2f\n", p[1], p[2], p[3]);
      table->m_strHeader[0] = line;
      table->m_nHeaders = 1;
      break;
    case 1:
      p[1] = cell(1, 3), p[2] = cell(2, 3), p[3] = cell(3, 3), p[4] = cell(1, 4), p[5] = cell(2, 4);
      tabulate(KZ_LogPeriodicModel);
      ranges();
      std::snprintf(line, sizeof line, "NGS: a1=%.2f, a2=%.2f, fai=%.2f, alfa=%.2f, omg=%.2f\n",
                    p[1], p[2], p[3], p[4], p[5]);
      table->m_strHeader[0] = line;
      table->m_nHeaders = 1;
      break;
    case 2:
    case 3: {
      p[1] = cell(1, 3), p[2] = cell(2, 3), p[3] = cell(3, 3), p[4] = cell(1, 4), p[5] = cell(2, 4);
      tabulate(KZ_LogPeriodicModelC);
      ranges();
      std::snprintf(line, sizeof line,
                    "Self-similar extrapolation of NGS: a=%.2f, b=%.2f, b=%.2f, alfa=%.2f, "
                    "omg=%.2f\n",
                    p[1], p[2], p[3], p[4], p[5]);
      table->m_strHeader[0] = line;
      std::snprintf(line, sizeof line, " Ro=%.2f, Fai=%.2f\n", std::hypot(p[1], p[2]),
                    std::atan(p[1] / p[2]));
      table->m_strHeader[1] = line;
      table->m_nHeaders = 2;
      if (item == 3 && table->m_nRows > 0) {
        std::vector<double> T, E;
        TableSeries(table, 10000.0, &T, &E);
        KZ_PointProc_CPB fit;
        fit.NormalizedCurves(T.data(), E.data(), table->m_nRows, 0, 1000, 0, 10000, R.c_str(),
                             table);
      }
      break;
    }
    case 4:
      FitTTFData(table);
      break;
    case 5: {
      p[1] = cell(1, 3), p[2] = cell(2, 3), p[3] = cell(3, 3), p[4] = cell(1, 4), p[5] = cell(2, 4);
      const double x = cell(3, 4);
      tabulate(KZ_LogPeriodicModelC);
      if (table->m_nRows > 0) {
        std::vector<double> T, E;
        TableSeries(table, 1000.0, &T, &E);
        KZ_PointProc_CPB fit;
        fit.FitRGS(T.data(), E.data(), table->m_nRows, (1.0 - x) * 1000.0, table, 50, -1.0f);
      }
      break;
    }
    case 6:
    case 7:
      PredictTTF(table, item - 6);
      break;
    default:
      break;
  }
  if (CMainFrame* frame = Frame()) {
    frame->GetGraphView(TRUE);
    frame->ShowDataSheet();
  }
  return 1;
}

void CGridFun::FitTTFData(KZ_MultiVarObj* table) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !table) return;
  std::string R;
  GetText(R, 1, 2, "=");
  EnergySeries s = WindowEnergies(*doc, R);
  // An empty range leaves nothing to fit.
  if (s.n <= 0) {
    plat::AfxMessageBox("No time in the range of times to failure!");
    return;
  }
  const double T = doc->m_fTimeSpan;
  KZ_PointProc_CPB fit;
  fit.NormalizedCurves(s.t.data(), s.E.data(), s.n, 0, T, 0, s.E[s.n - 1], R.c_str(), table);
  const CAEHypo& h = *doc->m_pHypo;
  const std::tm W = WindowStart(*doc);
  char line[320];
  std::snprintf(line, sizeof line,
                "Data: E=10^(%.2f + %.2f), %.80s. %04d/%02d/%02d %02d:%02d:%02d, T=%.4f",
                h.m_fAEOptA, h.m_fAEOptQ, h.m_strTitle.c_str(), W.tm_year + 1900, W.tm_mon + 1,
                W.tm_mday, W.tm_hour, W.tm_min, W.tm_sec, T);
  table->m_strHeader[0] = line;
}

void CGridFun::PredictTTF(KZ_MultiVarObj* table, int uc) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !table) return;
  const double T = doc->m_fTimeSpan;
  const double x = GetFloat(3, 4, "=", 1);
  const double tk = (1.0 - x) * T;
  const int nMC = static_cast<int>(GetFloat(1, 4, "=", 1));
  const float e = GetFloat(2, 4, "=", 1);
  std::string R;
  GetText(R, 1, 2, "=");
  EnergySeries s = WindowEnergies(*doc, R);
  if (s.n <= 0) {
    plat::AfxMessageBox("No time in the range of times to failure!");
    return;
  }
  KZ_PointProc_CPB fit;
  fit.m_strTimeUnit = "sec";
  fit.m_strText2 = "mm";
  if (nMC < 2)
    fit.FitNGS(s.t.data(), s.E.data(), s.n, tk, table);
  else if (uc == 0)
    fit.FitRGS(s.t.data(), s.E.data(), s.n, tk, table, nMC, e);
  else
    fit.FitLogPeriodic(s.t.data(), s.E.data(), s.n, tk, table, nMC, e);
  // The fits that failed are left out of the result; say how many, and whether the rest
  // make a prediction at all.
  char note[160];
  std::snprintf(note, sizeof note, "Prediction: %d of %d fits failed%s", fit.m_nFailedFits,
                fit.m_nFits, fit.EnoughFits() ? "" : ", too few converged for a prediction");
  plat::Ui().SetPaneText(0, note, true);
  const CAEHypo& h = *doc->m_pHypo;
  const std::tm W = WindowStart(*doc);
  char line[320];
  std::snprintf(line, sizeof line,
                "Data: E=10^(%.2f + %.2f), %.80s. %04d/%02d/%02d %02d:%02d:%02d, T=%.4f, tk=%.4f",
                h.m_fAEOptA, h.m_fAEOptQ, h.m_strTitle.c_str(), W.tm_year + 1900, W.tm_mon + 1,
                W.tm_mday, W.tm_hour, W.tm_min, W.tm_sec, T, tk);
  table->m_strHeader[0] = line;
}
