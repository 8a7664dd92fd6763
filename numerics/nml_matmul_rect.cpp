// nml_f_mat_mul_rect: products of matrices, vectors and their transposes from a short
// expression.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "numerics/nml_kernels.h"
#include "numerics/nml_matmul.h"
#include "numerics/nml_runtime.h"

namespace {

enum { kA = 1, kB = 2, kX = 3, kY = 4, kTrans = 8 };

struct Operand {
  int rows = 0;
  int cols = 0;
  int stride = -1;
  bool given = false;
  const float* data = nullptr;
};

struct State {
  Operand op[5];  // indexed by operand number; 0 unused
  const char* names[5] = {"", "A", "B", "x", "y"};
  int factor[3] = {0, 0, 0};
  float* result = nullptr;  // the caller's array, when given
  int resultStride = -1;
};

bool IsVector(int code) { return (code & 7) >= kX; }
bool IsTransposed(int code) { return (code & kTrans) != 0; }
const Operand& OperandOf(const State& st, int code) { return st.op[code & 7]; }

// Shape of a factor after its transposition.
int RowsOf(const State& st, int code) {
  const Operand& o = OperandOf(st, code);
  return IsTransposed(code) ? o.cols : o.rows;
}
int ColsOf(const State& st, int code) {
  const Operand& o = OperandOf(st, code);
  return IsTransposed(code) ? o.rows : o.cols;
}

// A zero-filled result of rows x stride floats: the caller's array or a new one.
float* ResultArray(float* user, int rows, int stride) {
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(stride);
  float* r = user;
  if (!r) {
    r = count > SIZE_MAX / sizeof(float)
            ? nullptr
            : static_cast<float*>(std::malloc(count > 0 ? count * sizeof(float) : 1));
    if (!r) {
      nml_error_post(NML_TERMINAL, 200);
      return nullptr;
    }
  }
  std::memset(r, 0, count * sizeof(float));
  return r;
}

// y = op(M) * x through SGEMV, M being the operand of code read in its row order (which
// SGEMV sees as the column-ordered transpose).
void Gemv(const Operand& m, bool transposeStored, const float* x, int incx, float* y,
          int incy) {
  const char* flag = transposeStored ? "T" : "N";
  const int len = 1;
  const int rows = m.cols;  // of the column-ordered view
  const int cols = m.rows;
  const float one = 1.0f;
  const float zero = 0.0f;
  SGEMV(flag, &len, &rows, &cols, &one, m.data, &m.stride, x, &incx, &zero, y, &incy);
}

// Parses the expression into st.factor; returns the number of factors, 0 after an error.
int l_mat_mul_parse(const char* expression, State& st) {
  auto bad = [&] {
    nml_error_set_string(1, expression ? expression : "");
    nml_error_post(NML_TERMINAL, 1078);
    return 0;
  };
  if (!expression) return bad();
  auto letter = [](char c) {
    switch (c) {
      case 'A': return int{kA};
      case 'B': return int{kB};
      case 'x': return int{kX};
      case 'y': return int{kY};
      default: return 0;
    }
  };
  int count = 0;
  const char* p = expression;
  for (;;) {
    const char* end = std::strchr(p, '*');
    const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    if (count == 3) return bad();
    int code = 0;
    if (len == 1) {
      code = letter(p[0]);
    } else if (len == 8 && std::strncmp(p, "trans(", 6) == 0) {
      code = letter(p[6]);
      if (code) code |= kTrans;
    }
    if (!code) return bad();
    st.factor[count++] = code;
    if (!end) break;
    p = end + 1;
  }
  return count;
}

// Product of two factors into out (the caller's array or a new one) with row stride
// outStride; null after an error.
float* Product2(const State& st, int f1, int f2, float* user, int outStride) {
  const int r1 = RowsOf(st, f1), c1 = ColsOf(st, f1);
  const int r2 = RowsOf(st, f2), c2 = ColsOf(st, f2);
  if (c1 != r2) {
    nml_error_set_int(1, r1);
    nml_error_set_int(2, c1);
    nml_error_set_int(3, r2);
    nml_error_set_int(4, c2);
    nml_error_post(NML_TERMINAL, 1079);
    return nullptr;
  }
  if (outStride < 0) outStride = c2;
  float* out = ResultArray(user, r1, outStride);
  if (!out) return nullptr;

  const Operand& o1 = OperandOf(st, f1);
  const Operand& o2 = OperandOf(st, f2);
  const bool v1 = IsVector(f1), v2 = IsVector(f2);
  const bool t1 = IsTransposed(f1), t2 = IsTransposed(f2);

  if (!v1 && v2 && !t2) {
    // Matrix times column vector: a column result.
    Gemv(o1, !t1, o2.data, 1, out, outStride);
  } else if (v1 && t1 && !v2) {
    // Row vector times matrix: a row result.
    Gemv(o2, t2, o1.data, 1, out, 1);
  } else if (v1 && t1 && v2 && !t2) {
    out[0] = SDOT(o1.rows, o1.data, 1, o2.data, 1);
  } else {
    // Column by column: column j of the result is factor 1 times column j of factor 2.
    for (int j = 0; j < c2; ++j) {
      const float* col = t2 ? o2.data + static_cast<std::ptrdiff_t>(j) * o2.stride : o2.data + j;
      const int inc = t2 ? 1 : o2.stride;
      Gemv(o1, !t1, col, inc, out + j, outStride);
    }
  }
  return out;
}

float* l_mat_mul_eval(int count, const char* expression, State& st) {
  (void)expression;
  for (int f = 0; f < count; ++f) {
    const int code = st.factor[f];
    if (!OperandOf(st, code).given) {
      nml_error_set_string(1, st.names[code & 7]);
      nml_error_post(NML_TERMINAL, 1090);
      return nullptr;
    }
  }

  if (count == 1) {
    const int code = st.factor[0];
    const Operand& o = OperandOf(st, code);
    const int rows = RowsOf(st, code);
    const int cols = ColsOf(st, code);
    const int stride = st.resultStride >= 0 ? st.resultStride : cols;
    float* out = ResultArray(st.result, rows, stride);
    if (!out) return nullptr;
    if (!IsTransposed(code)) {
      for (int i = 0; i < o.rows; ++i) {
        const float* src = o.data + static_cast<std::ptrdiff_t>(i) * o.stride;
        float* dst = out + static_cast<std::ptrdiff_t>(i) * stride;
        if (src != dst) std::memcpy(dst, src, static_cast<std::size_t>(o.cols) * sizeof(float));
      }
    } else {
      for (int i = 0; i < o.rows; ++i)
        for (int j = 0; j < o.cols; ++j)
          out[static_cast<std::ptrdiff_t>(j) * stride + i] =
              o.data[static_cast<std::ptrdiff_t>(i) * o.stride + j];
    }
    return out;
  }

  if (count == 2) return Product2(st, st.factor[0], st.factor[1], st.result, st.resultStride);

  const int f1 = st.factor[0], f2 = st.factor[1], f3 = st.factor[2];
  if (ColsOf(st, f1) != RowsOf(st, f2) || ColsOf(st, f2) != RowsOf(st, f3)) {
    nml_error_set_int(1, RowsOf(st, f1));
    nml_error_set_int(2, ColsOf(st, f1));
    nml_error_set_int(3, RowsOf(st, f2));
    nml_error_set_int(4, ColsOf(st, f2));
    nml_error_set_int(5, RowsOf(st, f3));
    nml_error_set_int(6, ColsOf(st, f3));
    nml_error_post(NML_TERMINAL, 1080);
    return nullptr;
  }

  if (IsVector(f1) && IsTransposed(f1) && !IsVector(f2) && !IsTransposed(f2) && IsVector(f3) &&
      !IsTransposed(f3)) {
    // Quadratic (bilinear) form: one scalar.
    const Operand& v = OperandOf(st, f1);
    const Operand& m = OperandOf(st, f2);
    const Operand& w = OperandOf(st, f3);
    const int stride = st.resultStride >= 0 ? st.resultStride : 1;
    float* out = ResultArray(st.result, 1, stride);
    if (!out) return nullptr;
    float sum = 0.0f;
    for (int i = 0; i < v.rows; ++i)
      sum += v.data[i] * SDOT(m.cols, m.data + static_cast<std::ptrdiff_t>(i) * m.stride, 1, w.data, 1);
    out[0] = sum;
    return out;
  }

  // Right to left: factor 2 times factor 3 into a temporary, which then stands in for
  // factor 2 in a slot that factor 1 does not use.
  float* tmp = Product2(st, f2, f3, nullptr, -1);
  if (!tmp) return nullptr;
  State st2 = st;
  const int first = f1 & 7;
  const int slot = (first == kB || first == kY) ? kA : kB;
  Operand& t = st2.op[slot];
  t.rows = RowsOf(st, f2);
  t.cols = ColsOf(st, f3);
  t.stride = t.cols;
  t.given = true;
  t.data = tmp;
  float* out = Product2(st2, f1, slot, st.result, st.resultStride);
  std::free(tmp);
  return out;
}

void l_mat_mul_rect(const char* expression, nml::OptionReader& opt, float** result) {
  State st;
  auto readMatrix = [&](int which, const char* name, const char* option) {
    Operand& o = st.op[which];
    o.rows = opt.Int();
    o.cols = opt.Int();
    o.data = opt.Pointer<const float>();
    o.given = true;
    if (!opt.Failed() && !o.data) {
      nml_error_set_string(1, name);
      nml_error_set_string(2, option);
      nml_error_post(NML_TERMINAL, 104);
    }
  };
  auto readVector = [&](int which, const char* name, const char* option) {
    Operand& o = st.op[which];
    o.rows = opt.Int();
    o.cols = 1;
    o.stride = 1;
    o.data = opt.Pointer<const float>();
    o.given = true;
    if (!opt.Failed() && !o.data) {
      nml_error_set_string(1, name);
      nml_error_set_string(2, option);
      nml_error_post(NML_TERMINAL, 104);
    }
  };

  for (int code; (code = opt.NextCode()) != 0;) {
    switch (code) {
      case NML_A_MATRIX:
        readMatrix(kA, "A", "NML_A_MATRIX");
        break;
      case NML_B_MATRIX:
        readMatrix(kB, "B", "NML_B_MATRIX");
        break;
      case NML_X_VECTOR:
        readVector(kX, "X", "NML_X_VECTOR");
        break;
      case NML_Y_VECTOR:
        readVector(kY, "Y", "NML_Y_VECTOR");
        break;
      case NML_A_ROW_STRIDE:
        st.op[kA].stride = opt.Int();
        break;
      case NML_B_ROW_STRIDE:
        st.op[kB].stride = opt.Int();
        break;
      case NML_RESULT_ROW_STRIDE:
        st.resultStride = opt.Int();
        break;
      case NML_RETURN_USER:
        st.result = opt.Pointer<float>();
        *result = st.result;
        if (!opt.Failed() && !st.result) {
          nml_error_set_string(1, "ans");
          nml_error_set_string(2, "NML_RETURN_USER");
          nml_error_post(NML_TERMINAL, 104);
        }
        break;
      default:
        opt.Unknown();
        break;
    }
  }
  if (nml_error_current_type() != 0) return;

  // Every dimension is checked before anything is allocated or read.
  static const char* const rowNames[5] = {"", "nra", "nrb", "nx", "ny"};
  static const char* const colNames[5] = {"", "nca", "ncb", "", ""};
  int counter = 0;
  for (int k = kA; k <= kY && nml_error_current_type() == 0; ++k) {
    const Operand& o = st.op[k];
    if (!o.given) continue;
    nml_check_range(o.rows, rowNames[k], 1, -1, &counter);
    if (k <= kB && nml_error_current_type() == 0) nml_check_range(o.cols, colNames[k], 1, -1, &counter);
  }
  for (int k = kA; k <= kB && nml_error_current_type() == 0; ++k) {
    Operand& o = st.op[k];
    if (!o.given) continue;
    if (o.stride == -1) o.stride = o.cols;
    if (o.stride < o.cols) {
      nml_error_set_string(1, st.names[k]);
      nml_error_set_int(1, o.cols);
      nml_error_set_int(2, o.stride);
      nml_error_post(NML_TERMINAL, 1024);
    }
  }
  if (nml_error_current_type() != 0) return;

  const int count = l_mat_mul_parse(expression, st);
  if (count < 1) return;
  const int resultCols = ColsOf(st, st.factor[count - 1]);
  if (st.resultStride >= 0 && st.resultStride < resultCols) {
    nml_error_set_int(1, st.resultStride);
    nml_error_set_int(2, resultCols);
    nml_error_set_string(1, expression);
    nml_error_post(NML_TERMINAL, 1095);
    return;
  }
  float* out = l_mat_mul_eval(count, expression, st);
  if (out) *result = out;
}

float* MatMulRect(const char* expression, nml::OptionReader& opt) {
  float* result = nullptr;
  nml_public("nml_f_mat_mul_rect", [&] { l_mat_mul_rect(expression, opt, &result); });
  return result;
}

}  // namespace

float* nml_f_mat_mul_rect(const char* expression, ...) {
  va_list ap;
  va_start(ap, expression);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 1, ap);
  float* result = MatMulRect(expression, opt);
  va_end(ap);
  return result;
}

float* nml_f_mat_mul_rect(const char* expression, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 1, options);
  return MatMulRect(expression, opt);
}
