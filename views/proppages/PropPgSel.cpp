#include "views/proppages/PropPgSel.h"

#include <QEvent>
#include <QLineEdit>
#include <QObject>
#include <cmath>
#include <ctime>

std::int64_t PP_LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

std::vector<PPField> CPropPgSel::Fields() {
  return {{1002, "Day", PPType::Uint, &m_nDay, true, 1, 31},
          {1046, "Hour", PPType::Uint, &m_nHour, true, 0, 24},
          {1058, "Minute", PPType::Uint, &m_nMinute, true, 0, 59},
          {1000, "Month", PPType::Uint, &m_nMonth, true, 1, 12},
          {995, "Selection Begin(YYYY MM DD HH MM SS.ssssss): year", PPType::Uint, &m_nYear, true,
           0, 3000},
          {1110, "Length(s):", PPType::Double, &m_fLength, true, 0.001, 720000},
          {1102, "Seconds", PPType::Double, &m_fSeconds, true, 0, 60},
          {1122, "PEAK: L", PPType::Byte, &m_nL, true, 0, 9},
          {1438, "Begin (s)", PPType::Double, &m_fBeginSec},
          {1527, "N for b(50-):", PPType::Uint, &m_nB, true, 50, 10000},
          {1541, "PEAK: D", PPType::Byte, &m_nD, true, 0, 12},
          {1642, "Draw b(LSQ)", PPType::Check, &m_bBLSQ},
          {1544, "PEAK: R (0-12):", PPType::Byte, &m_nR, true, 1, 12},
          {1650, "Draw log(Tl)", PPType::Check, &m_bLogTl},
          {1306, "Mmax:", PPType::Float, &m_fMmax, true, 2, 3},
          {1318, "Tl: max", PPType::Float, &m_fTlMax, true, -5, 10},
          {1312, "Tl: min", PPType::Float, &m_fTlMin, true, -10, 5},
          {1330, "b: max", PPType::Float, &m_fBMax, true, 1, 3},
          {1320, "b: min", PPType::Float, &m_fBMin, true, 0.5, 2.5},
          {1213, "V: min", PPType::Float, &m_fVMin, true, -1e10, 1e10},
          {1224, "V: max", PPType::Float, &m_fVMax, true, 0, 1e10},
          {1235, "V=10^(q*M)   q=(0-1.5):", PPType::Float, &m_fQ, true, 0, 3},
          {1654, "Draw D2", PPType::Check, &m_bD2},
          {1332, "D2: min", PPType::Float, &m_fD2Min, true, 0, 2},
          {1334, "D2: max", PPType::Float, &m_fD2Max, true, 1, 3},
          {1336, "CL: min", PPType::Float, &m_fCLMin, true, 0, 0.5},
          {1338, "CL: max", PPType::Float, &m_fCLMax, true, 0.1, 1},
          {1528, "N for D/CL(20-1000):", PPType::Int, &m_nD2, true, 20, 1000},
          {1658, "Draw CL", PPType::Check, &m_bCL},
          {1664, "Draw Symb", PPType::Check, &m_bSymb},
          {1529, "pdf for CL(0.1-0.9):", PPType::Float, &m_fCLProb, true, 0.1, 0.9},
          {1505, "N_V (50-1000):", PPType::Uint, &m_nRateBins, true, 10, 10000},
          {1643, "log V, r", PPType::Check, &m_bLog},
          {1668, "Draw b(MLH) (D/CL)", PPType::Check, &m_bBMLHFractal},
          {1648, "Draw b(MLH)", PPType::Check, &m_bBMLH},
          {938, "r: min", PPType::Float, &m_fRMin},
          {942, "r: max", PPType::Float, &m_fRMax}};
}

// The begin reads as it is written: year, month, day, hour, minute, seconds, and the begin
// in seconds after the experiment start beside the seconds.
std::vector<CPropPageFields::SharedRow> CPropPgSel::SharedRows() {
  return {{"Selection Begin(YYYY MM DD HH MM SS.ssssss):", {995, 1000, 1002, 1046, 1058, 1102, 1438}}};
}

void CPropPgSel::OnInitPage() {
  auto* seconds = m_pPage->findChild<QLineEdit*>("1102");
  if (!seconds) return;
  // The seconds field's focus loss recomputes the begin field beside it.
  struct FocusOut : QObject {
    CPropPgSel* page;
    explicit FocusOut(CPropPgSel* p, QObject* parent) : QObject(parent), page(p) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::FocusOut) page->OnKillFocusSeconds();
      return false;
    }
  };
  seconds->installEventFilter(new FocusOut(this, seconds));
}

void CPropPgSel::OnKillFocusSeconds() {
  if (!UpdateData(true)) return;
  const int whole = static_cast<int>(std::floor(m_fSeconds * 10)) / 10;
  const std::int64_t t =
      PP_LocalTime(static_cast<int>(m_nYear), static_cast<int>(m_nMonth), static_cast<int>(m_nDay),
                   static_cast<int>(m_nHour), static_cast<int>(m_nMinute), whole);
  m_fBeginSec = static_cast<double>(t - m_tStart) + (m_fSeconds - whole);
  UpdateData(false);
}
