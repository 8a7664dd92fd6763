// The reference table of the further routines: cases of named value lists made by
// tools/numerics_further/gen_further_tables.py.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace furthertest {

struct Case {
  std::string kind, name;
  std::map<std::string, std::vector<double>> v;
  const std::vector<double>& operator[](const std::string& key) const { return v.at(key); }
  int Int(const std::string& key) const { return static_cast<int>(v.at(key).at(0)); }
  bool Has(const std::string& key) const { return v.count(key) != 0; }
};

// Appends the cases of one table file.
inline void ReadCases(const std::string& path, std::vector<Case>* out) {
  std::ifstream in(path);
  std::string line;
  Case c;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    std::string key;
    s >> key;
    if (key == "case") {
      c = Case{};
      s >> c.kind >> c.name;
    } else if (key == "end") {
      out->push_back(c);
    } else {
      std::size_t count = 0;
      s >> count;
      std::vector<double> vals(count);
      for (auto& x : vals) {
        std::string t;
        s >> t;
        x = std::strtod(t.c_str(), nullptr);
      }
      c.v[key] = vals;
    }
  }
}

// The cases of one kind among all cases read.
inline std::vector<Case> OfKind(const std::vector<Case>& all, const std::string& kind) {
  std::vector<Case> out;
  for (const auto& c : all)
    if (c.kind == kind) out.push_back(c);
  return out;
}

inline std::vector<Case> Cases(const std::string& kind) {
  static const std::vector<Case> all = [] {
    std::vector<Case> out;
    ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/further_reference.txt", &out);
    return out;
  }();
  return OfKind(all, kind);
}

}  // namespace furthertest
