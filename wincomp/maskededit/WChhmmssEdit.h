// A masked edit for a time of day: "hh:mm:ss" with the user's time separator, in
// overtype mode, starting at 00:00:00.
#pragma once
#include "wincomp/maskededit/WCMaskedEdit.h"

class CWChhmmssEdit : public CWCMaskedEdit {
 public:
  explicit CWChhmmssEdit(QWidget* parent = nullptr);

  // Reads hours, minutes and seconds from the input positions (so it also works while
  // the edit is hidden or its dialog has closed). A field that cannot be read, and every
  // field after it, keeps the value the caller passed in. Returns
  // hours * 3600 + minutes * 60 + seconds of the values given back.
  int GetTime(int& hours, int& minutes, int& seconds) const;
  void SetTime(int hours, int minutes, int seconds);
};
