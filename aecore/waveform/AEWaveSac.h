// SAC files (one trace each, the published 632-byte little-endian header of version 6)
// and ".sacs" stacks: a 32-bit count of traces, then each trace's header and samples.
// Failures are told on the standard error stream with the path.
#pragma once
#include <string>

#include "aecore/waveform/KZ_WaveData.h"

// Every field undefined (-12345), then a time series of npts samples every delta from b:
// NVHDR 6, IFTYPE 1, IZTYPE 11, LEVEN 1, O 0, E = b + (npts - 1) delta.
void InitSACHeader(KZ_SacHeader& h, float delta, int npts, float b);

// The header and its NPTS samples, each times `scale`. 0, or -1 on failure.
int WriteSAC(const std::string& path, const KZ_SacHeader& h, const float* samples, float scale);

// One file per channel (or only `channel` when it is 0 or more) into `folder` (ending in
// its separator), count samples from `first` (count < 1: to the end of the trace), in
// microvolt-scale units (sample x descaling factor x 1e6). Files are named
// "NN.CCC.sac" in a folder whose path holds the record's date (yyyymmdd), else
// "yyyy_mm_dd_hh_mi_sssss_NN_CCC.sac" by the segment start. Each trace keeps the SAC
// header it is given. Returns the number of channels exported divided by 3.
int ExportSAC(const std::string& folder, KZ_WaveData& w, int first, int count, int channel);

// One ".sacs" file of the record: `path` itself when it names one, else a name formed
// from the event time in the folder `path` (in a subfolder of that name with
// `subfolder`). selection -1: every channel; -2: channels whose SAC event name holds
// "CC"; 0 or more: that channel. count < 1 takes the longest trace from `first`; shorter
// traces are padded with zeros. Without `overwrite` an existing file is kept. 0 when
// written (or kept), -1 on failure.
int ExportEventSACs(const std::string& path, KZ_WaveData& w, int first, int count, int selection,
                    int overwrite, int subfolder);

// One ".sacs" file of `rows` rows (columns `columns` values from `firstColumn` on, times
// 1e6), each named by its label: KNETWK its first two characters, KSTNM the next 3, 4 or
// 5 (labels of 8, 9, other lengths), KCMPNM the 3 after those. The rows start at the
// Julian day `julianDay` (UTC). 0 when written, -1 on failure.
int WriteSACStack(const std::string& path, const float* const* rows, const char* const* labels,
                  int nRows, int firstColumn, int columns, float delta, double julianDay);
