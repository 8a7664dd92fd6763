// Checks, messages and header fields that the waveform records' file readers share. Used
// by the readers only; not part of a record's interface.
#pragma once
#include <string>

#include "aecore/waveform/AEWHeader.h"
#include "platform/File.h"

// Reads up to `bytes` into dst and zero-fills what the file does not hold; true when all
// were there.
bool AEW_ReadOrZero(plat::File& f, void* dst, std::size_t bytes);
// True for 1..AEW_MAX_CHANNELS channels of at least one sample; otherwise says the file
// is damaged.
bool AEW_CountsAreSane(const std::string& path, int channels, int samples);
// Says that the file ended early and its missing values are zeros.
void AEW_ReportShort(const std::string& path);
// Sets the calendar fields (year to whole second) of the header from a Julian day.
void AEW_SetCalendar(AEWHeader& h, double julianDay);
