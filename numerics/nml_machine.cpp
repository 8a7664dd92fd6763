// Storage keys, the unit table, machine constants and small utilities.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "numerics/nml_runtime.h"

namespace {

// One process-wide slot table (the library's storage "per thread" is one table here).
struct KeyTable {
  int next = 1;
  int capacity = 64;
  void** slots = nullptr;
};

KeyTable g_keys;

constexpr double kDmach[9] = {0.0,
                              std::numeric_limits<double>::min(),
                              std::numeric_limits<double>::max(),
                              1.1102230246251565e-16,
                              2.220446049250313e-16,
                              0.30102998001990605,  // log10 2 to eight digits, as tabulated
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};

constexpr float kAmach[9] = {0.0f,
                             std::numeric_limits<float>::min(),
                             std::numeric_limits<float>::max(),
                             5.960464477539063e-08f,
                             1.1920928955078125e-07f,
                             0.3010300099849701f,
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};

constexpr int kImach[13] = {8, 2, 15, 32767, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};

}  // namespace

int nml_key_create(int* key, void (*)(void*)) {
  // The destructor is not kept: stored values live until the process ends.
  *key = g_keys.next++;
  return 0;
}

int nml_key_set(int key, void* value) {
  if (key < 1 || key >= g_keys.next) return 22;
  if (!g_keys.slots || key >= g_keys.capacity) {
    int cap = g_keys.capacity;
    while (key >= cap) cap *= 2;
    void** grown = static_cast<void**>(std::calloc(static_cast<std::size_t>(cap), sizeof(void*)));
    if (!grown) return 12;
    if (g_keys.slots) {
      std::memcpy(grown, g_keys.slots, static_cast<std::size_t>(g_keys.capacity) * sizeof(void*));
      std::free(g_keys.slots);
    }
    g_keys.slots = grown;
    g_keys.capacity = cap;
  }
  g_keys.slots[key] = value;
  return 0;
}

void* nml_key_get(int key) {
  if (!g_keys.slots || key < 0 || key >= g_keys.capacity) return nullptr;
  return g_keys.slots[key];
}

int nml_once(int* flag, void (*init)()) {
  if (*flag == 0) {
    init();
    *flag = 1;
  }
  return 0;
}

void nml_unit(int unit, FILE** stream) {
  nml::Runtime& rt = nml::Runtime::Math();
  if (unit >= 1 && unit <= 3) {
    *stream = rt.Unit(unit);
  } else if (unit >= -3 && unit <= -1) {
    rt.SetUnit(-unit, *stream);
  } else {
    rt.SetInt(1, unit);
    rt.Post(NML_TERMINAL, 12010);
  }
}

double nml_dmach(int index) {
  if (index >= 1 && index <= 8) return kDmach[index];
  nml_error_push_name("nml_dmach");
  nml_error_set_int(1, index);
  nml_error_post(NML_TERMINAL, 12009);
  nml_error_pop_name("nml_dmach");
  return 0.0;
}

float nml_amach(int index) {
  if (index >= 1 && index <= 8) return kAmach[index];
  nml_error_push_name("nml_amach");
  nml_error_set_int(1, index);
  nml_error_post(NML_TERMINAL, 12009);
  nml_error_pop_name("nml_amach");
  return 0.0f;
}

float nml_f_machine(int index) {
  float result = kAmach[6];
  nml_public("nml_f_machine", [&] {
    if (index >= 1 && index <= 8) {
      result = kAmach[index];
      return;
    }
    nml_error_push_name("l_machine");
    nml_error_set_string(1, "n");
    nml_error_set_int(1, 1);
    nml_error_set_int(2, 8);
    nml_error_set_int(3, index);
    nml_error_post(NML_TERMINAL, 132);
    nml_error_pop_name("l_machine");
  });
  return result;
}

int nml_i_machine(int index) {
  int result = 0;
  nml_public("nml_i_machine", [&] {
    if (index >= 0 && index <= 12) {
      result = kImach[index];
      return;
    }
    nml_error_push_name("l_machine");
    nml_error_set_int(1, 0);
    nml_error_set_int(2, 12);
    nml_error_set_int(3, index);
    nml_error_set_string(1, "n");
    nml_error_post(NML_TERMINAL, 132);
    nml_error_pop_name("l_machine");
  });
  return result;
}

float nml_f_max(float a, float b) { return b < a ? a : b; }
double nml_d_max(double a, double b) { return b < a ? a : b; }
float nml_f_min(float a, float b) { return b <= a ? b : a; }
double nml_d_min(double a, double b) { return b <= a ? b : a; }

namespace {

template <class T, bool Max>
T ScanList(int n, va_list ap) {
  T result = 0;
  if (n < 1) return result;
  result = static_cast<T>(va_arg(ap, double));
  for (int i = 1; i < n; ++i) {
    const T v = static_cast<T>(va_arg(ap, double));
    if (Max ? v > result : v < result) result = v;
  }
  return result;
}

}  // namespace

float nml_f_vmax(int n, ...) {
  float result = 0;
  va_list ap;
  va_start(ap, n);
  nml_public("nml_f_vmax", [&] { result = ScanList<float, true>(n, ap); });
  va_end(ap);
  return result;
}

double nml_d_vmax(int n, ...) {
  double result = 0;
  va_list ap;
  va_start(ap, n);
  nml_public("nml_d_vmax", [&] { result = ScanList<double, true>(n, ap); });
  va_end(ap);
  return result;
}

float nml_f_vmin(int n, ...) {
  float result = 0;
  va_list ap;
  va_start(ap, n);
  nml_public("nml_f_vmin", [&] { result = ScanList<float, false>(n, ap); });
  va_end(ap);
  return result;
}

double nml_d_vmin(int n, ...) {
  double result = 0;
  va_list ap;
  va_start(ap, n);
  nml_public("nml_d_vmin", [&] { result = ScanList<double, false>(n, ap); });
  va_end(ap);
  return result;
}

void nml_f_scaled_copy(int n, float a, const float x[], int incx, float y[], int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    for (int j = 0; j < n; ++j) y[j] = static_cast<float>(static_cast<double>(a) * x[j]);
    return;
  }
  // A negative increment starts at the far end of its vector, as in the BLAS: indexing
  // backwards from the array start would reach before it.
  long ix = incx < 0 ? static_cast<long>(1 - n) * incx : 0;
  long iy = incy < 0 ? static_cast<long>(1 - n) * incy : 0;
  for (int j = 0; j < n; ++j, ix += incx, iy += incy)
    y[iy] = static_cast<float>(static_cast<double>(a) * x[ix]);
}

bool nml_d_isnan(double x) { return std::isnan(x); }
