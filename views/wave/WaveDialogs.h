// Small modal dialogs of the "Wave" page, built as Qt widgets in code. Each keeps its
// values in plain members: the caller fills them, DoModal shows the dialog and, only on
// OK, reads the controls back after checking their ranges (a value out of range shows
// the range message and keeps the dialog open). Controls carry their resource ids as
// object names ("902", "1052", ...) so that tests and the layout can find them.
#pragma once
#include <string>

class QWidget;
class QDialog;

// "Specfy AE number": the number of the event to open.
class CDlgAEno {
 public:
  int m_nAE = 0;
  // IDOK or IDCANCEL.
  int DoModal(QWidget* parent = nullptr);
};

// "Find Special Event": two trigger rows and a combination word.
class CDlgFind {
 public:
  int m_nLevel1 = 5000;
  int m_nLevel2 = 5000;
  int m_nCount1 = 5;
  int m_nCount2 = 5;
  int m_nTrace1 = 13;
  int m_nTrace2 = 14;
  std::string m_strCombine;
  int DoModal(QWidget* parent = nullptr);
};

// "Filter design": the Butterworth filter's type and six design values.
class CDlgFft {
 public:
  float m_fNyq = 100.0f;
  float m_fAp = 0.5f;
  float m_fAs = 5.0f;
  float m_fH = 42.0f;
  float m_fL = 0.2f;
  float m_fP = 0.1f;
  float m_fS = 45.0f;
  int m_nType = 0;  // 0 low-pass, 1 high-pass, 2 band-pass, 3 band-stop
  int DoModal(QWidget* parent = nullptr);
  // Which of fP, fL, fH and fS are shown for a filter type.
  struct Visible {
    bool fP, fL, fH, fS;
  };
  static Visible VisibleFields(int type);
};

// The framework's range message for a number field.
std::string WaveDlg_RangeMessage(double lo, double hi, bool integer);

// "Options for Waveform files": the numbered file set the utilities write.
class CDlgLoad {
 public:
  std::string m_strIdentifier;  // at most 8 characters
  std::string m_strPath;        // at most 64 characters
  int m_nStartAE = 0;
  int m_nStartVEL = 0;
  int m_nMc = 0;  // 0 .. 15
  // The values are taken however the dialog closes; an invalid field keeps its value.
  void DoModal(QWidget* parent = nullptr);
};

// "Rename file as shooting runs".
class CDlgShootRun {
 public:
  int m_bScanAll = 0;
  std::string m_strPZT = "16,17,18,19,20,21,22,23,24,25,8,28";
  int m_nShoot = 0;  // 0 .. 10000
  int DoModal(QWidget* parent = nullptr);
};
