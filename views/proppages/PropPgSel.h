// The "TS" property page of the time-series page: the window's begin as calendar fields
// and its length, the peak display bytes, and the settings of the statistics panels.
#pragma once
#include <cstdint>

#include "views/proppages/PropPage.h"

class CPropPgSel : public CPropPageFields {
 public:
  unsigned m_nDay = 0;
  unsigned m_nHour = 0;
  unsigned m_nMinute = 0;
  unsigned m_nMonth = 0;
  unsigned m_nYear = 0;
  double m_fLength = 0;
  double m_fSeconds = 0;  // seconds with their fraction
  std::uint8_t m_nL = 0;
  double m_fBeginSec = 0;  // begin in seconds after the experiment start
  unsigned m_nB = 0;       // peaks per b window
  std::uint8_t m_nD = 0;
  int m_bBLSQ = 0;
  std::uint8_t m_nR = 0;
  int m_bLogTl = 0;
  float m_fMmax = 0;
  float m_fTlMax = 0;
  float m_fTlMin = 0;
  float m_fBMax = 0;
  float m_fBMin = 0;
  float m_fVMin = 0;
  float m_fVMax = 0;
  float m_fQ = 0;
  int m_bD2 = 0;
  float m_fD2Min = 0;
  float m_fD2Max = 0;
  float m_fCLMin = 0;
  float m_fCLMax = 0;
  int m_nD2 = 0;  // events per fractal window
  int m_bCL = 0;
  int m_bSymb = 0;
  float m_fCLProb = 0;
  unsigned m_nRateBins = 0;
  int m_bLog = 0;
  int m_bBMLHFractal = 0;
  int m_bBMLH = 0;
  float m_fRMin = 0;
  float m_fRMax = 0;
  std::int64_t m_tStart = 0;  // experiment start, seconds since 1970

  std::string Caption() const override { return "TS"; }
  // The seconds field lost the focus: the begin in seconds after the experiment start is
  // computed from the calendar fields and shown beside it.
  void OnKillFocusSeconds();

 protected:
  std::vector<PPField> Fields() override;
  std::vector<SharedRow> SharedRows() override;
  void OnInitPage() override;
};

// Seconds since 1970 of a local calendar time (whole seconds), as mktime converts it;
// also before 1970.
std::int64_t PP_LocalTime(int year, int month, int day, int hour, int minute, int second);
