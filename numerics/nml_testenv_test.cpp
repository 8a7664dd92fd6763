// Every test of this binary runs as the program does: FATAL and TERMINAL errors do not end
// the process. The exit-status tests switch the stop flags on for themselves.
#include <gtest/gtest.h>

#include "numerics/nml_test_util.h"

namespace {

class NumericsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { nmltest::FreshRuntime(); }
};

const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new NumericsEnvironment);

}  // namespace
