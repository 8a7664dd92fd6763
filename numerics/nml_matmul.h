// Products of up to three factors over two matrices (A, B) and two vectors (x, y), given
// as a short expression such as "A*B", "trans(A)", "A*x" or "trans(x)*A*y".
//
// Factors are separated by '*'; a factor is one of the letters A, B, x, y or
// "trans(<letter>)". Vectors are columns; transposed, they are rows. The product comes
// back as a new row-ordered float matrix (released by the caller with free) whose rows are
// those of the first factor and whose columns are those of the last.
#pragma once

#include "numerics/nml_runtime.h"

// Option codes, each followed by its values; the list ends with 0.
constexpr int NML_A_ROW_STRIDE = 10003;       // int: floats between rows of A (default cols)
constexpr int NML_A_MATRIX = 10181;           // int rows, int cols, const float* a
constexpr int NML_B_MATRIX = 10182;           // int rows, int cols, const float* b
constexpr int NML_X_VECTOR = 10183;           // int length, const float* x
constexpr int NML_Y_VECTOR = 10184;           // int length, const float* y
constexpr int NML_RESULT_ROW_STRIDE = 10185;  // int: floats between rows of the result
constexpr int NML_B_ROW_STRIDE = 10186;       // int: floats between rows of B (default cols)
// NML_RETURN_USER (10260), float*: the product goes into the caller's array.

// Evaluates the expression. After a TERMINAL error the result is null, or the caller's
// array of NML_RETURN_USER (whose contents are then no result).
float* nml_f_mat_mul_rect(const char* expression, ...);
float* nml_f_mat_mul_rect(const char* expression, const nml_options& options);
