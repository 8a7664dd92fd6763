// The acquisition date of a SEG-2 file as the waveform container keeps it: the text of
// its ACQUISITION_DATE keyword. The program writes "YYYY/MM/DD"; the standard and the
// recorders of other makers write "DD/MMM/YYYY" with an English month name.
#pragma once

struct KZ_WaveHeader;

// "DD/MMM/YYYY": an English month name or its first three letters, in any case; '/',
// '-' or blanks between the fields. False when the text has no month name.
bool KZ_ParseNamedMonthDate(const char* text, int* year, int* month, int* day);

// Either form ("YYYY/MM/DD" also with '-' or blanks between the fields). False, with
// the outputs untouched, when the text is neither or names no real month and day.
bool KZ_ParseSeg2Date(const char* text, int* year, int* month, int* day);

// Julian day (universal time) of the header's date and time of day ("hh:mm:ss", whole
// seconds), plus the start microsecond when `addUsec` and it is positive. Zero when the
// date cannot be read.
double KZ_WaveHeaderJulianDay(const KZ_WaveHeader& h, bool addUsec);
