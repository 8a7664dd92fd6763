// Reference tables of the spline and special-function tests, made by
// tools/numerics_splines/gen_spline_tables.py and gen_function_tables.py (same case format as
// the further tables).
#pragma once

#include <string>
#include <vector>

#include "numerics/further/further_test_support.h"

namespace splinetest {

inline std::vector<furthertest::Case> Cases(const std::string& kind) {
  static const std::vector<furthertest::Case> all = [] {
    std::vector<furthertest::Case> out;
    furthertest::ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/spline_reference.txt", &out);
    furthertest::ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/function_reference.txt", &out);
    return out;
  }();
  return furthertest::OfKind(all, kind);
}

template <class T>
std::vector<T> As(const std::vector<double>& v) {
  return std::vector<T>(v.begin(), v.end());
}

}  // namespace splinetest
