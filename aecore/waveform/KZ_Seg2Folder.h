// Batch rewriting of every SEG-2 file of a folder into another (or the same) folder.
// Folders are given with their trailing separator. Files that do not load are skipped;
// each file is read whole before its new version replaces any file. The samples keep
// the data format code of the file when it is 2 or 4, else they are written as 16-bit
// integers. Both return the number of files that could not be written (each also told
// on the standard error stream).
#pragma once
#include <string>

// Drops the traces at the given positions (0-based, in ascending order, as in the file
// read; positions past its traces are ignored).
int KZ_Seg2DropTracesInFolder(const std::string& source, const int positions[], int count,
                              const std::string& destination);
// Moves the start time of every file by `shift` seconds.
int KZ_Seg2ShiftTimesInFolder(const std::string& source, float shift,
                              const std::string& destination);
