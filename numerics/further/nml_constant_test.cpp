// Constants and unit conversions: expected values are computed here from the defining
// numbers (foot = 0.3048 m, erg = 1e-7 J, degF = 5/9 K, g = 9.80665 m/s^2), not taken from
// the routine's own output.
#include "numerics/further/nml_constant.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numerics/nml_test_util.h"

namespace {

class Constant : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(Constant, NamesAndConversions) {
  struct Row {
    const char* name;
    const char* units;
    double expected;
  } rows[] = {
      {"pi", nullptr, 3.14159265358979},
      {"Speed_Light", nullptr, 2.9979245e8},
      {"speed light", nullptr, 2.9979245e8},
      {"speedlight", "ft/s", 2.9979245e8 / 0.3048},
      {"c", "km/s", 2.9979245e5},
      {"STANDARDGRAVITY", "ft/s^2", 9.80665 / 0.3048},
      {"gas", "erg/mole/degF", 8.31451e7 * 5.0 / 9.0},
      {"ATM", "bar", 1.01325},
      {"ATM", "kilopascal", 101.325},
      {"ELECTRONMASS", "lb", 9.10939e-31 / 0.45359236},
      {"AVOGADRO", "1", 6.0221367e23},
      {"C", "SI", 2.9979245e8},
      {"C", "si", 2.9979245e8},
      {"C", "", 2.9979245e8},
      {"gravity", "dyne*cm^2/g^2", 6.67259e-11 * 1e5 * 1e4 * 1e-6},
      {"stefanboltzmann", "erg/s/K^4/cm^2", 5.67051e-8 * 1e7 / 1e4},
      {"rydberg", "1/angstrom", 10973732.0 * 1e-10},
      {"hbar", "erg*sec", 1.0545727e-27},
      {"perfect_gas_volume", "liter/mole", 22.41383},
      {"AU", "parsec", 1.496e11 / 3.0857214e16},
      {"AU", "au", 1.0},
      {"WATERTRIPLE", "degF", 273.16 * 9.0 / 5.0},
      {"ELECTRONCHARGE", "statcoulomb", 1.6021774e-19 / 3.335641e-10},
      {"electronvolt", "dkJ", 1.6021774e-20},
      {"STANDARDPRESSURE", "megapascal", 0.101325},
      {"SPEEDLIGHT", "micron/us", 2.9979245e8},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    const float v = nml_f_constant(r.name, r.units);
    EXPECT_NEAR(v, r.expected, 2e-6 * std::fabs(r.expected))
        << r.name << " in " << (r.units ? r.units : "null");
    EXPECT_EQ(nml_error_type(1), 0) << r.name;
  }
}

TEST_F(Constant, WeightAndErrors) {
  struct Row {
    const char* name;
    const char* units;
    int type, code;
    double expected;  // NaN where the call fails
  } rows[] = {
      {"ELECTRONMASS", "N", NML_WARNING, 12113, 9.10939e-31 * 9.80665},
      {"ATM", "kg/cm^2", NML_WARNING, 12113, 101325.0 / 9.80665 * 1e-4},
      {"PI", "m", NML_TERMINAL, 12112, NAN},
      {"PLANK", nullptr, NML_TERMINAL, 12111, NAN},
      {"C", "furlong", NML_TERMINAL, 12114, NAN},
      {"ATM", "kilo*pascal", NML_TERMINAL, 12114, NAN},
      {"C", "m / s", NML_TERMINAL, 12114, NAN},
      {"C", "m//s", NML_TERMINAL, 12114, NAN},
      {"an_unknown_name_far_longer_than_any_constant_in_the_table_at_all", nullptr, NML_TERMINAL,
       12111, NAN},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    const float v = nml_f_constant(r.name, r.units);
    EXPECT_EQ(nml_error_type(1), r.type) << r.name;
    EXPECT_EQ(nml_error_code(1), r.code) << r.name;
    if (std::isnan(r.expected))
      EXPECT_TRUE(std::isnan(v)) << r.name;
    else
      EXPECT_NEAR(v, r.expected, 2e-6 * std::fabs(r.expected)) << r.name;
  }
}

TEST_F(Constant, UnitTexts) {
  struct Row {
    const char* units;
    int dims[5];
    double factor;
  } rows[] = {
      {"N*m^2/kg^2", {3, -1, -2, 0, 0}, 1.0}, {"J/mole/K", {2, 1, -2, 0, -1}, 1.0},
      {"W/K^4/m^2", {0, 1, -3, 0, -4}, 1.0},  {"ms", {0, 0, 1, 0, 0}, 1e-3},
      {"kg", {0, 1, 0, 0, 0}, 1.0},           {"cm^3", {3, 0, 0, 0, 0}, 1e-6},
      {"dm", {1, 0, 0, 0, 0}, 0.1},           {"nanosecond", {0, 0, 1, 0, 0}, 1e-9},
      {"myriameter", {1, 0, 0, 0, 0}, 1e4},   {"Hz", {0, 0, -1, 0, 0}, 1.0},
      {"in", {1, 0, 0, 0, 0}, 0.0254},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    int dims[5];
    float factor = 0;
    l_c3nit(r.units, dims, &factor);
    EXPECT_EQ(nml_error_type(1), 0) << r.units;
    for (int d = 0; d < 5; ++d) EXPECT_EQ(dims[d], r.dims[d]) << r.units << " dim " << d;
    EXPECT_NEAR(factor, r.factor, 1e-6 * r.factor) << r.units;
  }
}

}  // namespace
