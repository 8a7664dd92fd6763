#include "wincomp/maskededit/WChhmmssEdit.h"

#include <cstdio>

CWChhmmssEdit::CWChhmmssEdit(QWidget* parent) : CWCMaskedEdit(parent) {
  SetMask("##:##:##");
  SetInputData("000000", 0, TRUE);
  m_bInsertMode = FALSE;
}

int CWChhmmssEdit::GetTime(int& hours, int& minutes, int& seconds) const {
  // The six input characters read with ':' between the pairs whatever separator the
  // user's locale shows, so that a locale with another separator reads all three fields.
  const std::string in = GetInputData();
  std::string text;
  for (std::size_t i = 0; i < in.size() && i < 6; ++i) {
    if (i == 2 || i == 4) text += ':';
    text += in[i];
  }
  std::sscanf(text.c_str(), "%02d:%02d:%02d", &hours, &minutes, &seconds);
  return hours * 3600 + minutes * 60 + seconds;
}

void CWChhmmssEdit::SetTime(int hours, int minutes, int seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", hours, minutes, seconds);
  SetInputData(buf, 0, TRUE);
}
