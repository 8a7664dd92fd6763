// Parsing of parameter lines: keyed values, separated lists, fixed-column fields, blank
// padding and the compact number text of grid headers. All work on zero-terminated byte
// strings and never fail: missing keys give defaults, unreadable numbers leave outputs.
#pragma once
#include <string>

#include "platform/File.h"

// The "%f" value right after the first occurrence of key, else the default.
float KZ_GetKeyFloat(const char* line, const char* key, float def);
// Reads "%d" right after the key into *value when the line holds the key; returns *value.
int KZ_GetKeyInt(const char* line, const char* key, int* value);
// The value after the key: leading blanks and double quotes skipped, cut before the first
// '"' or '<', else before the first blank, ',', ';', newline or tab. The default when the
// line is null or lacks the key.
std::string KZ_GetKeyString(const char* line, const char* key, const char* def);

// Removes leading blanks, tabs and commas by shifting the text left and zero-fills the
// freed tail. length <= 0 means the string's length.
void KZ_TrimLeft(char* buffer, int length);

// "%d" scanned from column `first`, with the character after column `last` replaced by
// ',' during the scan; the default when nothing is read.
int KZ_ReadIntField(char* line, int first, int last, int def);

// Reads the next data line of the file into the buffer (at most maxLen - 1 characters,
// as fgets): blank lines and lines whose first character after blanks and tabs is '/',
// '!', '#', '%' or '*' are skipped, and one trailing control character is removed. The
// buffer keeps the line's leading blanks. Returns 1 with a data line, 0 at the end of the
// file, on a read error, or at a line beginning with "[END]" (then in the buffer); at the
// end of the file the buffer keeps the last line read.
int KZ_ReadDataLine(char* buffer, plat::File* file, int maxLen);
// The same for a line of any length, without its line end; `line` is left unchanged when
// no data line remains.
int KZ_ReadDataLine(std::string& line, plat::File* file);

// Copies at most width characters, pads with blanks to width and terminates at width
// (dst must hold width + 1 characters).
void KZ_CopyPadded(char* dst, const char* src, int width);

// Reads the integer at the position (after blanks) into *value; returns the position
// after the next run of separators, or null when no separator follows.
const char* KZ_NextInt(const char* position, char separator, int* value);
// The token up to the next separator; returns the position after the run of separators
// that follows, or null at the end of the list (see the source for the exact rules).
const char* KZ_NextToken(const char* position, char separator, std::string& token);
// Token n (from 0): KZ_NextToken applied n + 1 times.
const char* KZ_GetToken(const char* text, char separator, std::string& token, int n);

// Compact number text: "%.4g" beyond 1e5 or below 1e-5 in magnitude, else "%f" without
// leading zeros and, when it has a point, without trailing zeros (0.5 -> ".5", 3 -> "3.").
std::string KZ_NumberText(double v);
