// Helpers standing in for the class library's string (CString): printf-style formatting
// into std::string, parsing, ASCII case changes, trimming and case-insensitive
// comparison. Numbers are always formatted and parsed in the C locale ("." as decimal
// point), whatever locale the GUI toolkit set. Text is bytes: characters from 128 up are
// left alone by the case functions.
#pragma once
#include <cstdarg>
#include <string>

namespace plat {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);
// sscanf in the C locale; returns what sscanf returns.
int ScanC(const char* text, const char* fmt, ...) __attribute__((format(scanf, 2, 3)));
// strtod in the C locale; `end` (optional) receives the first unparsed character.
double StrToD(const char* text, char** end = nullptr);

std::string ToUpper(std::string s);  // MakeUpper
std::string ToLower(std::string s);  // MakeLower
std::string TrimLeft(const std::string& s);   // blanks, tabs, CR, LF, VT, FF
std::string TrimRight(const std::string& s);
std::string Trim(const std::string& s);

// <0, 0, >0 as CompareNoCase, comparing ASCII letters without regard to case.
int CompareNoCase(const std::string& a, const std::string& b);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool EndsWithNoCase(const std::string& s, const std::string& suffix);
bool StartsWithNoCase(const std::string& s, const std::string& prefix);

}  // namespace plat
