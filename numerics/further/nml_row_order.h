// Shared by the public routines that take row-ordered matrices: the in-place conversions to
// and from the column order the kernels work in, and the null-argument error.
#pragma once

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace nml {

// Row-ordered rows x cols <-> column-ordered with leading dimension rows, in place.
template <class T>
void ToColumns(int rows, int cols, T* p) {
  M1RAN_F(rows, cols, p, p);
}
template <class T>
void ToRows(int rows, int cols, T* p) {
  M1RAN_F(cols, rows, p, p);
}

// A null array given with an option: `code` with the argument's and the option's names.
inline void PostNullArgument(int code, const char* arg, const char* option) {
  nml_error_set_string(1, arg);
  nml_error_set_string(2, option);
  nml_error_post(NML_TERMINAL, code);
}

}  // namespace nml
