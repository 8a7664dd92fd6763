// Splitting of the title and channel-name lines that the table and time-series readers share.
#pragma once
#include <string>
#include <vector>

// Tokens between separators, runs of separators counting as one (as strtok splits).
inline std::vector<std::string> KZ_SplitRuns(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == sep) ++i;
    if (i >= line.size()) break;
    std::size_t j = line.find(sep, i);
    if (j == std::string::npos) j = line.size();
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}
