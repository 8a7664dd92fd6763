// The reference table of the eigensystem, polynomial-root and nonlinear-fit tests, made by
// tools/numerics_further/gen_eigen_roots_fits_tables.py.
#pragma once

#include <string>
#include <vector>

#include "numerics/further/further_test_support.h"

namespace furthertest {

inline std::vector<Case> EigenRootsFitsCases(const std::string& kind) {
  static const std::vector<Case> all = [] {
    std::vector<Case> out;
    ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/eigen_roots_fits_reference.txt", &out);
    return out;
  }();
  return OfKind(all, kind);
}

}  // namespace furthertest
