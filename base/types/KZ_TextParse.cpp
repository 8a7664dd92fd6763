#include "base/types/KZ_TextParse.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/Strings.h"

float KZ_GetKeyFloat(const char* line, const char* key, float def) {
  if (!line || !key) return def;
  const char* p = std::strstr(line, key);
  if (!p) return def;
  float v = 0;
  if (plat::ScanC(p + std::strlen(key), "%f", &v) != 1) return def;
  return v;
}

int KZ_GetKeyInt(const char* line, const char* key, int* value) {
  if (!value) return 0;
  if (line && key) {
    const char* p = std::strstr(line, key);
    if (p) {
      int v = 0;
      if (plat::ScanC(p + std::strlen(key), "%d", &v) == 1) *value = v;
    }
  }
  return *value;
}

std::string KZ_GetKeyString(const char* line, const char* key, const char* def) {
  const std::string fallback = def ? def : "";
  if (!line || !key) return fallback;
  const char* p = std::strstr(line, key);
  if (!p) return fallback;
  p += std::strlen(key);
  while (*p == ' ' || *p == '"') ++p;
  std::size_t end = std::strcspn(p, "\"<");
  if (p[end] == '\0') end = std::strcspn(p, " ,;\n\t");
  return std::string(p, end);
}

void KZ_TrimLeft(char* buffer, int length) {
  if (!buffer) return;
  const std::size_t len = std::strlen(buffer);
  std::size_t n = length <= 0 ? len : static_cast<std::size_t>(length);
  if (n > len) n = len;  // never look past the terminator
  std::size_t skip = 0;
  while (skip < n && (buffer[skip] == ' ' || buffer[skip] == '\t' || buffer[skip] == ',')) ++skip;
  if (skip == 0) return;
  std::memmove(buffer, buffer + skip, n - skip);
  std::memset(buffer + (n - skip), 0, skip);
}

int KZ_ReadIntField(char* line, int first, int last, int def) {
  if (!line || first < 0) return def;
  const std::size_t len = std::strlen(line);
  if (static_cast<std::size_t>(first) >= len) return def;
  // The stop character is only put where the line has a character to replace.
  char* stop =
      (last >= first && static_cast<std::size_t>(last) + 1 < len) ? line + last + 1 : nullptr;
  char saved = 0;
  if (stop) {
    saved = *stop;
    *stop = ',';
  }
  int v = 0;
  const int n = plat::ScanC(line + first, "%d", &v);
  if (stop) *stop = saved;
  return n == 1 ? v : def;
}

namespace {

// A line as the data-line readers see it: 1 data, 0 blank or comment (skipped), -1 the end
// mark "[END]".
int DataLineKind(const char* line) {
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  if (std::strncmp(p, "[END]", 5) == 0) return -1;
  const unsigned char first = static_cast<unsigned char>(*p);
  if (first < 32 || first == '/' || first == '!' || first == '#' || first == '%' || first == '*')
    return 0;
  return 1;
}

}  // namespace

int KZ_ReadDataLine(char* buffer, plat::File* file, int maxLen) {
  if (!buffer || !file || !file->IsOpen() || maxLen < 2) return 0;
  // Read through a line of our own so that the end of the file leaves the caller's
  // buffer holding the last line read.
  std::vector<char> line(static_cast<std::size_t>(maxLen));
  for (;;) {
    if (!file->Gets(line.data(), maxLen)) return 0;
    std::memcpy(buffer, line.data(), std::strlen(line.data()) + 1);
    const int kind = DataLineKind(buffer);
    if (kind < 0) return 0;
    if (kind == 0) continue;
    const std::size_t len = std::strlen(buffer);
    if (len >= 2 && static_cast<unsigned char>(buffer[len - 1]) < 32) buffer[len - 1] = '\0';
    return 1;
  }
}

int KZ_ReadDataLine(std::string& line, plat::File* file) {
  if (!file || !file->IsOpen()) return 0;
  std::string next;
  for (;;) {
    if (!file->ReadLine(next)) return 0;
    // A line end of "\r\n" leaves its carriage return.
    if (!next.empty() && next.back() == '\r') next.pop_back();
    const int kind = DataLineKind(next.c_str());
    if (kind < 0) return 0;
    if (kind == 0) continue;
    line = next;
    return 1;
  }
}

void KZ_CopyPadded(char* dst, const char* src, int width) {
  if (!dst || width < 0) return;
  int i = 0;
  if (src)
    for (; i < width && src[i]; ++i) dst[i] = src[i];
  for (; i < width; ++i) dst[i] = ' ';
  dst[width] = '\0';
}

const char* KZ_NextInt(const char* position, char separator, int* value) {
  if (!position) return nullptr;
  while (*position == ' ') ++position;
  int v = 0;
  if (plat::ScanC(position, "%d", &v) == 1 && value) *value = v;
  const char* s = std::strchr(position, separator);
  if (!s || separator == '\0') return nullptr;
  while (*s == separator) ++s;
  return s;
}

const char* KZ_NextToken(const char* position, char separator, std::string& token) {
  token.clear();
  if (!position) return nullptr;
  const char* s = separator ? std::strchr(position, separator) : nullptr;
  if (!s) {
    // The last token: the rest without its trailing control characters and blanks. The
    // position after it is returned while characters follow; an empty last token ends
    // the scan so that a loop over the tokens always stops.
    std::size_t n = std::strlen(position);
    while (n > 0 && static_cast<unsigned char>(position[n - 1]) < 33) --n;
    token.assign(position, n);
    if (n == 0 || position[n] == '\0') return nullptr;
    return position + n;
  }
  if (s == position) return nullptr;
  token.assign(position, static_cast<std::size_t>(s - position));
  while (*s == separator) ++s;
  return s;
}

const char* KZ_GetToken(const char* text, char separator, std::string& token, int n) {
  const char* p = text;
  token.clear();
  for (int i = 0; i <= n; ++i) {
    if (i > 0 && !p) {
      token.clear();
      return nullptr;
    }
    p = KZ_NextToken(p, separator, token);
  }
  return p;
}

std::string KZ_NumberText(double v) {
  const double a = std::fabs(v);
  // Two exponent digits, as the C library here writes them.
  std::string s = (a > 100000.0 || a < 0.00001) ? plat::Format("%.4g", v) : plat::Format("%f", v);
  std::size_t lead = s.find_first_not_of('0');
  s.erase(0, lead == std::string::npos ? s.size() : lead);
  if (s.find('.') != std::string::npos && s.find('e') == std::string::npos) {
    std::size_t last = s.find_last_not_of('0');
    s.erase(last + 1);
  }
  const std::size_t b = s.find_first_not_of(' ');
  const std::size_t e = s.find_last_not_of(' ');
  s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  return s.empty() ? "0" : s;
}
