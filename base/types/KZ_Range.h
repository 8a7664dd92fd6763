// Range texts typed by the user ("0,100,5", "1,1000,*=10 log", "t=0.001,1,*=1.02 S=2 ms")
// and the unit factors found in texts.
#pragma once
#include <string>

// The values of a range text: min, max and a step that is added, or multiplied in log
// mode ("log", "Log", "LOG" or "*=" in the text), each value multiplied by the scale
// ("S=" in the text, 1 by default).
class KZ_Range {
 public:
  double m_fMin = 0.0;
  double m_fMax = 0.0;
  double m_fStep = 0.0;
  double m_fUnit = 1.0;  // factor of the unit found in the text (KZ_UnitToSI)
  double m_fScale = 1.0;
  int m_nLog = 0;
  int m_nCount = 0;
  double* m_pValues = nullptr;  // m_nCount + 1 values
  std::string m_strUnit;        // "SI" when the text names no unit

  // maxCount 0 means 10000.
  KZ_Range(const char* text, int maxCount);
  virtual ~KZ_Range();
  KZ_Range(const KZ_Range&) = delete;
  KZ_Range& operator=(const KZ_Range&) = delete;
};

// Reads "min,max,step" after the first '=' (from the start when there is none or when it
// follows '+' or '*'); a missing step is read after the next '='. Returns how many of the
// three numbers were read. unitFactor, logFlag and unit (at least 8 characters) may be null.
int KZ_ParseRangeF(const char* text, float* min, float* max, float* step, float* unitFactor,
                   int* logFlag, char* unit);
int KZ_ParseRangeD(const char* text, double* min, double* max, double* step, double* unitFactor,
                   int* logFlag, char* unit);

// Factor to SI of the first unit the text names ("/yr", "/day", ..., "MPa"); 1 and "SI"
// when it names none. unit (at least 8 characters) may be null.
double KZ_UnitToSI(const char* text, char* unit);
