// The parameter block of batch template matching and its text file ("ML_CC_AE_pars.txt").
// The file is shared with the sibling matching program, so its 29 lines keep their order
// and labels; the reader goes by position and only looks at the text after each "=".
#pragma once
#include <string>

struct TMPars {
  float m_fTimeShift;     // us, largest lag of the pairwise correlation
  float m_fTimeBefore;    // us, window start before the P pick
  float m_fTimeAfter;     // us, window end after the P pick
  float m_fInterevent;    // us, detections closer than this are one event
  float m_fCCSimilar;     // carried in the file only
  float m_fThresholdCC;   // threshold on the stacked correlation
  float m_fThresholdSNR;  // threshold on both SNRs of the stack
  float m_fLowCorner;     // band-pass corners; filtering only when low < high
  float m_fHighCorner;
  float m_fTaperHead;  // carried in the file and the report head only
  float m_fTaperTail;
  int m_nMaxEvents;  // most template files of the all-pairs correlation
  int m_nTemplates;  // most templates loaded; <= 0 loads |value| lazily
  int m_iTS;         // first template index (< 0: from the first)
  int m_iTE;         // last template index (< 0: up to m_nTemplates - 1)
  int m_nMinStations;
  int m_nMaxMid;              // events located with at least this many stations are skipped
  int m_bRedo;                // rescan events marked as detected
  float m_fVx, m_fVy, m_fVz;  // mm/us, replaced by each scanned record's velocities
  float m_fSearchX, m_fSearchY, m_fSearchZ;  // mm, half-widths of the shift grid
  int m_nGridX, m_nGridY, m_nGridZ;          // grid steps on each side
  int m_nOutputFlag;
  int m_nFirstAE;  // event (or chunk) numbers to scan, inclusive
  int m_nLastAE;
  int m_bMeanRemoval;
  std::string m_strTemplatePath;  // folders end with a separator
  std::string m_strWavePath;
  std::string m_strOutputPath;
};

void InitTMParameters(TMPars& p);
// 1 when written; 0 when the file cannot be created (nothing is written then).
int WriteTMParameters(const std::string& path, const TMPars& p);
// 1 when read; 0 when the file cannot be opened (the block is then unchanged). Fields
// whose line is missing, has no "=" or no number take the reader's defaults.
int ReadTMParameters(const std::string& path, TMPars& p);
