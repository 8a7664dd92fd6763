// Named mathematical and physical constants in single precision, in SI units or converted
// into units written as a text ("ft/s^2", "kilodyne", "erg/mole/degF").
//
// A unit text is a product of factors joined by "*" and "/", each optionally raised to an
// integer power with "^"; a factor is a unit name, optionally with a metric prefix (one
// letter on a two-letter factor such as "km", "deka" as "dk", or spelled out such as "kilo").
// Names and units are case-insensitive; blanks and underscores in a constant's name are
// ignored. "SI", "si" or an empty text ask for SI units. Conversions check the dimensions over length, mass, time, current and
// temperature; mass and weight meet through standard gravity (with a warning). Temperatures
// convert as differences.
#pragma once

// The constant `name` in SI units (units null) or in `units`. NaN after an error:
// 12111 unknown name, 12112 dimensions that cannot be converted, 12114 unknown unit;
// warning 12113 when mass and weight were converted through g.
float nml_f_constant(const char* name, const char* units);

// The routines under it, for callers inside the library.
void l_constant(const char* name, const char* units, float* result);
void l_cunit(float value, const char* from_units, float* result, const char* to_units);
// Dimension vector (m, kg, s, A, K) and SI factor of a unit text; 12114 when a factor is
// not a known unit.
void l_c3nit(const char* units, int dims[5], float* factor);
