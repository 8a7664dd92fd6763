// The two dialogs of the "TS" page that re-time the peak list: assigning peak times from
// the AE counter of the main series, and shifting times after a reset of the acquisition
// clock. Each keeps its values in plain members; DoModal shows the dialog and, only on
// OK, reads the controls back after their range checks (a value out of range shows the
// range message and keeps the dialog open). Controls carry their resource ids as object
// names.
#pragma once

class QWidget;

// "Asigne time to PEAK data ".
class CDlgSetPeakTime {
 public:
  unsigned m_nFirstPeak = 1;     // "Start event number of PEAK:"
  unsigned m_nFirstCounter = 1;  // "Start event number of AE count:"
  unsigned m_nCounter = 1;       // "AE counter (1 or 2):"
  int DoModal(QWidget* parent = nullptr);
};

// "Correct dis-ordered PK data".
class CDlgCorrectPK {
 public:
  unsigned m_nIndex = 0;                             // "Index of the first disordered event:"
  int m_nHour1 = 0, m_nMinute1 = 0, m_nSecond1 = 0;  // "Reset Time-1:"
  int m_nHour2 = 0, m_nMinute2 = 0, m_nSecond2 = 0;  // "Reset Time-2:"
  unsigned m_nBase = 2;                              // "Base Time (1/2):"
  int DoModal(QWidget* parent = nullptr);
};
