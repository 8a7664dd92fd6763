#include "numerics/further/nml_constant.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_kernels.h"

namespace {

struct Constant {
  const char* name;
  float value;
  const char* units;
};

// Sorted by name (binary search with strcmp).
constexpr Constant kConstants[] = {
    {"AMU", 1.6605403e-27f, "kg"},
    {"ATM", 101325.0f, "N/m^2"},
    {"AU", 1.496e11f, "m"},
    {"AVOGADRO", 6.0221367e23f, "1"},
    {"BOLTZMAN", 1.380658e-23f, "J/K"},
    {"BOLTZMANN", 1.380658e-23f, "J/K"},
    {"C", 2.9979245e8f, "m/s"},
    {"CATALAN", 0.9159656f, "1"},
    {"E", 2.7182817f, "1"},
    {"ELECTRONCHARGE", 1.6021774e-19f, "C"},
    {"ELECTRONMASS", 9.10939e-31f, "kg"},
    {"ELECTRONVOLT", 1.6021774e-19f, "J"},
    {"EULER", 0.5772157f, "1"},
    {"FARADAY", 96485.31f, "C"},
    {"FINESTRUCTURE", 0.007297353f, "1"},
    {"GAMMA", 0.5772157f, "1"},
    {"GAS", 8.31451f, "J/mole/K"},
    {"GRAVITY", 6.67259e-11f, "N*m^2/kg^2"},
    {"HBAR", 1.0545727e-34f, "J*s"},
    {"PERFECTGASVOLUME", 0.02241383f, "m^3/mole"},
    {"PI", 3.1415927f, "1"},
    {"PLANCK", 6.6260757e-34f, "J*s"},
    {"PROTONMASS", 1.6726232e-27f, "kg"},
    {"RYDBERG", 10973732.0f, "1/m"},
    {"SPEEDLIGHT", 2.9979245e8f, "m/s"},
    {"STANDARDGRAVITY", 9.80665f, "m/s^2"},
    {"STANDARDPRESSURE", 101325.0f, "N/m^2"},
    {"STEFANBOLTZMAN", 5.67051e-8f, "W/K^4/m^2"},
    {"STEFANBOLTZMANN", 5.67051e-8f, "W/K^4/m^2"},
    {"WATERTRIPLE", 273.16f, "K"},
};

struct Unit {
  const char* name;
  int dims[5];   // m, kg, s, A, K
  float factor;  // one of the unit in SI
};

// Sorted by name (binary search with strcmp). "FT" is here because the foot is written so
// far more often than "foot": without the row "ft" would read as femto-tesla.
constexpr Unit kUnits[] = {
    {"1", {0, 0, 0, 0, 0}, 1.0f},
    {"A", {0, 0, 0, 1, 0}, 1.0f},
    {"ABAMPERE", {0, 0, 0, 1, 0}, 10.0f},
    {"ABCOULOMB", {0, 0, 1, 1, 0}, 10.0f},
    {"ABVOLT", {2, 1, -3, -1, 0}, 1e-8f},
    {"ACRE", {2, 0, 0, 0, 0}, 4046.8564f},
    {"AMPERE", {0, 0, 0, 1, 0}, 1.0f},
    {"AMU", {0, 1, 0, 0, 0}, 1.6605403e-27f},
    {"ANGSTROM", {1, 0, 0, 0, 0}, 1e-10f},
    {"ATM", {-1, 1, -2, 0, 0}, 101325.0f},
    {"ATMOSPHERE", {-1, 1, -2, 0, 0}, 101325.0f},
    {"AU", {1, 0, 0, 0, 0}, 1.496e11f},
    {"BAR", {-1, 1, -2, 0, 0}, 1e5f},
    {"BTU", {2, 1, -2, 0, 0}, 1054.35f},
    {"C", {0, 0, 1, 1, 0}, 1.0f},
    {"CELSIUS", {0, 0, 0, 0, 1}, 1.0f},
    {"COULOMB", {0, 0, 1, 1, 0}, 1.0f},
    {"DAY", {0, 0, 1, 0, 0}, 86400.0f},
    {"DEGC", {0, 0, 0, 0, 1}, 1.0f},
    {"DEGF", {0, 0, 0, 0, 1}, 0.5555556f},
    {"DEGK", {0, 0, 0, 0, 1}, 1.0f},
    {"DYNE", {1, 1, -2, 0, 0}, 1e-5f},
    {"ERG", {2, 1, -2, 0, 0}, 1e-7f},
    {"FAHRENHEIT", {0, 0, 0, 0, 1}, 0.5555556f},
    {"FARAD", {-2, -1, 4, 2, 0}, 1.0f},
    {"FEET", {1, 0, 0, 0, 0}, 0.3048f},
    {"FOOT", {1, 0, 0, 0, 0}, 0.3048f},
    {"FT", {1, 0, 0, 0, 0}, 0.3048f},
    {"G", {0, 1, 0, 0, 0}, 0.001f},
    {"GAUSS", {0, 1, -2, -1, 0}, 1e-4f},
    {"GRAM", {0, 1, 0, 0, 0}, 0.001f},
    {"HENRY", {2, 1, -2, -2, 0}, 1.0f},
    {"HERTZ", {0, 0, -1, 0, 0}, 1.0f},
    {"HOUR", {0, 0, 1, 0, 0}, 3600.0f},
    {"HR", {0, 0, 1, 0, 0}, 3600.0f},
    {"HZ", {0, 0, -1, 0, 0}, 1.0f},
    {"IN", {1, 0, 0, 0, 0}, 0.0254f},
    {"J", {2, 1, -2, 0, 0}, 1.0f},
    {"JOULE", {2, 1, -2, 0, 0}, 1.0f},
    {"K", {0, 0, 0, 0, 1}, 1.0f},
    {"KELVIN", {0, 0, 0, 0, 1}, 1.0f},
    {"L", {3, 0, 0, 0, 0}, 0.001f},
    {"LB", {0, 1, 0, 0, 0}, 0.45359236f},
    {"LITER", {3, 0, 0, 0, 0}, 0.001f},
    {"LITRE", {3, 0, 0, 0, 0}, 0.001f},
    {"M", {1, 0, 0, 0, 0}, 1.0f},
    {"MAXWELL", {2, 1, -2, -1, 0}, 1e-8f},
    {"METER", {1, 0, 0, 0, 0}, 1.0f},
    {"METRE", {1, 0, 0, 0, 0}, 1.0f},
    {"MICRON", {1, 0, 0, 0, 0}, 1e-6f},
    {"MILE", {1, 0, 0, 0, 0}, 1609.344f},
    {"MILL", {1, 0, 0, 0, 0}, 2.54e-5f},
    {"MIN", {0, 0, 1, 0, 0}, 60.0f},
    {"MINUTE", {0, 0, 1, 0, 0}, 60.0f},
    {"MOLE", {0, 0, 0, 0, 0}, 1.0f},
    {"N", {1, 1, -2, 0, 0}, 1.0f},
    {"NEWTON", {1, 1, -2, 0, 0}, 1.0f},
    {"OHM", {2, 1, -3, -2, 0}, 1.0f},
    {"OUNCE", {0, 1, 0, 0, 0}, 0.028349523f},
    {"OZ", {0, 1, 0, 0, 0}, 0.028349523f},
    {"PARSEC", {1, 0, 0, 0, 0}, 3.0857214e16f},
    {"PASCAL", {-1, 1, -2, 0, 0}, 1.0f},
    {"POINT", {1, 0, 0, 0, 0}, 3.514598e-4f},
    {"POISE", {-1, 1, -1, 0, 0}, 0.1f},
    {"POUND", {0, 1, 0, 0, 0}, 0.45359236f},
    {"POUNDAL", {1, 1, -2, 0, 0}, 0.138255f},
    {"S", {0, 0, 1, 0, 0}, 1.0f},
    {"SEC", {0, 0, 1, 0, 0}, 1.0f},
    {"SECOND", {0, 0, 1, 0, 0}, 1.0f},
    {"SLUG", {0, 1, 0, 0, 0}, 14.5939f},
    {"STATAMPERE", {0, 0, 0, 1, 0}, 3.335641e-10f},
    {"STATCOULOMB", {0, 0, 1, 1, 0}, 3.335641e-10f},
    {"STOKE", {2, 0, -1, 0, 0}, 1e-4f},
    {"T", {0, 1, -2, -1, 0}, 1.0f},
    {"TESLA", {0, 1, -2, -1, 0}, 1.0f},
    {"V", {2, 1, -3, -1, 0}, 1.0f},
    {"VOLT", {2, 1, -3, -1, 0}, 1.0f},
    {"W", {2, 1, -3, 0, 0}, 1.0f},
    {"WATT", {2, 1, -3, 0, 0}, 1.0f},
    {"WB", {2, 1, -2, -1, 0}, 1.0f},
    {"WEBER", {2, 1, -2, -1, 0}, 1.0f},
    {"YARD", {1, 0, 0, 0, 0}, 0.9144f},
};

struct Prefix {
  const char* text;
  float factor;
};

constexpr Prefix kSpelledPrefixes[] = {
    {"ATTO", 1e-18f}, {"FEMTO", 1e-15f}, {"PICO", 1e-12f}, {"NANO", 1e-9f}, {"MICRO", 1e-6f},
    {"MILLI", 1e-3f}, {"CENTI", 1e-2f},  {"DECI", 0.1f},   {"DECA", 10.0f}, {"KILO", 1e3f},
    {"MYRIA", 1e4f},  {"MEGA", 1e6f},    {"GIGA", 1e9f},   {"TERA", 1e12f},
};

// One-letter prefixes of two-letter factors: position i stands for 10^(3i - 18), except
// "C" (centi) and "D" (deci).
constexpr char kPrefixLetters[] = "AFPNUMCK GTD";

template <class Row, std::size_t N>
const Row* Find(const Row (&table)[N], const std::string& key) {
  const Row* end = table + N;
  const Row* it = std::lower_bound(table, end, key, [](const Row& r, const std::string& k) {
    return std::strcmp(r.name, k.c_str()) < 0;
  });
  return it != end && key == it->name ? it : nullptr;
}

// Only these texts ask for SI units: a keyword match on "SI" would take "s" (seconds) for SI
// and return the value unconverted and unchecked.
bool IsSI(const char* units) {
  return std::strcmp(units, "SI") == 0 || std::strcmp(units, "si") == 0 || *units == '\0';
}

// Longest constant name (after normalisation) and unit text, and most factors of a unit text.
constexpr std::size_t kMaxName = 51, kMaxUnits = 255, kMaxFactors = 10;

float Nan() { return nml_amach(6); }

// Removes a metric prefix from `text` and returns its factor (1 without one).
float TakePrefix(std::string& text) {
  if (text.size() == 2) {
    const char* at = std::strchr(kPrefixLetters, text[0]);
    if (at == nullptr || text[0] == '\0') return 1.0f;
    const int i = static_cast<int>(at - kPrefixLetters);
    text.erase(0, 1);
    if (i == 6) return 1e-2f;
    if (i == 11) return 0.1f;
    return nml_f_powi(10.0f, 3 * i - 18);
  }
  if (text.size() == 3 && text.compare(0, 2, "DK") == 0) {
    text.erase(0, 2);
    return 10.0f;
  }
  for (const Prefix& p : kSpelledPrefixes) {
    const std::size_t len = std::strlen(p.text);
    if (text.compare(0, len, p.text) == 0) {
      text.erase(0, len);
      return p.factor;
    }
  }
  return 1.0f;
}

struct Factor {
  std::string text;
  int power = 1;
};

// Cuts the upper-cased unit text into its factors with their powers: "/" gives power -1,
// "^n" multiplies the power of the factor before it.
std::vector<Factor> SplitFactors(const std::string& text) {
  std::vector<Factor> factors;
  char op = '*';
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find_first_of("*/^", pos), text.size());
    const std::string piece = text.substr(pos, end - pos);
    if (op == '^' && !factors.empty()) {
      factors.back().power *= static_cast<int>(std::atol(piece.c_str()));
    } else {
      factors.push_back({piece, op == '/' ? -1 : 1});
    }
    if (end >= text.size()) break;
    op = text[end];
    pos = end + 1;
  }
  return factors;
}

// Dimensions of the from side times an acceleration equal to those of the to side.
bool WeightOf(const int mass[5], const int force[5]) {
  return mass[0] + 1 == force[0] && mass[1] == force[1] && mass[2] - 2 == force[2] &&
         mass[3] == force[3] && mass[4] == force[4];
}

}  // namespace

void l_c3nit(const char* units, int dims[5], float* factor) {
  std::string text(units);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::fill(dims, dims + 5, 0);
  *factor = 1.0f;
  std::vector<Factor> factors = SplitFactors(text);
  if (text.size() > kMaxUnits || factors.size() > kMaxFactors) {
    nml_error_set_string(1, units);
    nml_error_post(NML_TERMINAL, 12114);
    return;
  }
  for (Factor& f : factors) {
    // A factor that is a unit's own name is taken whole, so "au" and "micron" are reachable.
    const Unit* row = Find(kUnits, f.text);
    float multiplier = 1.0f;
    if (row == nullptr) {
      multiplier = TakePrefix(f.text);
      row = Find(kUnits, f.text);
    }
    if (row == nullptr) {
      nml_error_set_string(1, f.text.c_str());
      nml_error_post(NML_TERMINAL, 12114);
      return;
    }
    multiplier *= row->factor;
    for (int d = 0; d < 5; ++d) dims[d] += f.power * row->dims[d];
    *factor *= (f.power == 1 || multiplier == 1.0f) ? multiplier : nml_f_powi(multiplier, f.power);
  }
}

void l_cunit(float value, const char* from_units, float* result, const char* to_units) {
  *result = Nan();
  int from[5] = {}, to[5] = {};
  float ff = 1.0f, ft = 1.0f;
  const bool toSI = IsSI(to_units), fromSI = IsSI(from_units);
  if (!toSI) {
    l_c3nit(to_units, to, &ft);
    if (nml_error_current_type() >= NML_FATAL) return;
  }
  if (!fromSI) {
    l_c3nit(from_units, from, &ff);
    if (nml_error_current_type() >= NML_FATAL) return;
  }
  if (toSI || fromSI || std::equal(from, from + 5, to)) {
    *result = value * ff / ft;
    return;
  }
  const float g = 9.80665f;
  if (WeightOf(from, to)) {
    nml_error_post(NML_WARNING, 12113);
    *result = value * g * ff / ft;
  } else if (WeightOf(to, from)) {
    nml_error_post(NML_WARNING, 12113);
    *result = value * ff / (ft * g);
  } else {
    nml_error_set_string(1, from_units);
    nml_error_set_string(2, to_units);
    nml_error_post(NML_TERMINAL, 12112);
  }
}

void l_constant(const char* name, const char* units, float* result) {
  *result = Nan();
  std::string key;
  for (const char* p = name ? name : ""; *p; ++p) {
    if (*p == ' ' || *p == '_') continue;
    key += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  const Constant* row = key.size() <= kMaxName ? Find(kConstants, key) : nullptr;
  if (row == nullptr) {
    nml_error_set_string(1, name ? name : "");
    nml_error_post(NML_TERMINAL, 12111);
    return;
  }
  *result = row->value;
  if (units != nullptr) l_cunit(row->value, row->units, result, units);
}

float nml_f_constant(const char* name, const char* units) {
  float result = nml_amach(6);
  nml_public("nml_f_constant", [&] { l_constant(name, units, &result); });
  return result;
}
