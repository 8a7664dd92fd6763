// Constants and unit conversions: expected values are computed here from the defining
// numbers (foot = 0.3048 m, erg = 1e-7 J, degF = 5/9 K, g = 9.80665 m/s^2), not taken from
// the routine's own output.
#include "numerics/further/nml_constant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "numerics/nml_test_util.h"

namespace {

// 256 characters, one more than a unit text may have.
const std::string kLongUnits = "m/s" + std::string(253, ' ');

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
      // "s" is seconds, not SI: the dimension check applies (and the gravity bridge, which
      // joins any two units an acceleration apart).
      {"ELECTRONMASS", "s", NML_TERMINAL, 12112, NAN},
      {"C", "S", NML_WARNING, 12113, 2.9979245e8 / 9.80665},
      {"C", "m*m*m*m*m*m*m*m*m*m/m^9/s", NML_TERMINAL, 12114, NAN},  // 11 factors
      {"C", kLongUnits.c_str(), NML_TERMINAL, 12114, NAN},
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

// The table holds older values of the physical constants; today's (scipy.constants, CODATA
// 2018) agree within 3e-4.
TEST_F(Constant, CloseToTodaysValues) {
  struct Row {
    const char* name;
    double today;
  } rows[] = {{"PLANCK", 6.62607015e-34},
              {"GRAVITY", 6.6743e-11},
              {"BOLTZMANN", 1.380649e-23},
              {"AVOGADRO", 6.02214076e23},
              {"ELECTRONCHARGE", 1.602176634e-19},
              {"ELECTRONMASS", 9.1093837015e-31},
              {"C", 299792458.0},
              {"GAS", 8.314462618},
              {"HBAR", 1.054571817e-34},
              {"PROTONMASS", 1.67262192369e-27},
              {"RYDBERG", 10973731.568160},
              {"STEFANBOLTZMANN", 5.670374419e-8},
              {"FARADAY", 96485.33212},
              {"FINESTRUCTURE", 0.0072973525693},
              {"AMU", 1.66053906660e-27},
              {"EULER", 0.5772156649015329},
              {"CATALAN", 0.915965594177219},
              {"E", 2.718281828459045}};
  for (const Row& r : rows)
    EXPECT_NEAR(nml_f_constant(r.name, nullptr), r.today, 3e-4 * r.today) << r.name;
}

TEST_F(Constant, UnitTexts) {
  struct Row {
    const char* units;
    int dims[5];
    double factor;
  } rows[] = {
      {"N*m^2/kg^2", {3, -1, -2, 0, 0}, 1.0},
      {"J/mole/K", {2, 1, -2, 0, -1}, 1.0},
      {"W/K^4/m^2", {0, 1, -3, 0, -4}, 1.0},
      {"ms", {0, 0, 1, 0, 0}, 1e-3},
      {"kg", {0, 1, 0, 0, 0}, 1.0},
      {"cm^3", {3, 0, 0, 0, 0}, 1e-6},
      {"dm", {1, 0, 0, 0, 0}, 0.1},
      {"nanosecond", {0, 0, 1, 0, 0}, 1e-9},
      {"myriameter", {1, 0, 0, 0, 0}, 1e4},
      {"Hz", {0, 0, -1, 0, 0}, 1.0},
      {"in", {1, 0, 0, 0, 0}, 0.0254},
      // Factors as scipy.constants gives them (foot, inch, mile, pound, atm, bar, erg, Btu_th).
      {"ft", {1, 0, 0, 0, 0}, 0.3048},
      {"mile", {1, 0, 0, 0, 0}, 1609.344},
      {"lb", {0, 1, 0, 0, 0}, 0.45359237},
      {"atm", {-1, 1, -2, 0, 0}, 101325.0},
      {"bar", {-1, 1, -2, 0, 0}, 1e5},
      {"erg", {2, 1, -2, 0, 0}, 1e-7},
      {"btu", {2, 1, -2, 0, 0}, 1054.3502644888889},
      {"micron", {1, 0, 0, 0, 0}, 1e-6},
      {"au", {1, 0, 0, 0, 0}, 1.496e11},
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
