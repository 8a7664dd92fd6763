// Reference tables of the spline and special-function tests, made by
// tools/numerics_splines/gen_spline_tables.py and gen_special_tables.py (same case format as
// the further tables).
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/further/further_test_support.h"

namespace splinetest {

inline std::vector<furthertest::Case> Cases(const std::string& kind) {
  static const std::vector<furthertest::Case> all = [] {
    std::vector<furthertest::Case> out;
    std::string line;
    furthertest::Case c;
    std::ifstream splines(TV_SOURCE_DIR "/numerics/further/testdata/spline_reference.txt");
    std::ifstream special(TV_SOURCE_DIR "/numerics/further/testdata/special_reference.txt");
    for (std::ifstream* in : {&splines, &special})
      while (std::getline(*in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        std::string key;
        s >> key;
        if (key == "case") {
          c = furthertest::Case{};
          s >> c.kind >> c.name;
        } else if (key == "end") {
          out.push_back(c);
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
    return out;
  }();
  std::vector<furthertest::Case> out;
  for (const auto& c : all)
    if (c.kind == kind) out.push_back(c);
  return out;
}

template <class T>
std::vector<T> As(const std::vector<double>& v) {
  return std::vector<T>(v.begin(), v.end());
}

}  // namespace splinetest
