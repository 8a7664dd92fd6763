// The statistics side's run time: its options, machine constants and the seed setter.
#include <cmath>
#include <ctime>
#include <limits>

#include "numerics/nml.h"

using nml::Runtime;

namespace {

void StatsOptionsLoop(nml::OptionReader& r) {
  Runtime& rt = Runtime::Stats();
  for (int code; (code = r.NextCode()) != 0;) {
    switch (code) {
      case NMLS_SET_PRINT:
      case NMLS_SET_STOP:
      case NMLS_SET_TRACEBACK: {
        const int type = r.Int();
        const int value = r.Int();
        if (r.Failed() || !rt.ValidOptionType(type)) break;
        if (code == NMLS_SET_PRINT) rt.SetPrintFlag(type, value);
        if (code == NMLS_SET_STOP) rt.SetStopFlag(type, value);
        if (code == NMLS_SET_TRACEBACK) rt.SetTracebackFlag(type, value);
        break;
      }
      case NMLS_GET_PRINT:
      case NMLS_GET_STOP:
      case NMLS_GET_TRACEBACK: {
        const int type = r.Int();
        int* out = r.Pointer<int>();
        if (r.Failed() || !rt.ValidOptionType(type) || !out) break;
        if (code == NMLS_GET_PRINT) *out = rt.PrintFlag(type);
        if (code == NMLS_GET_STOP) *out = rt.StopFlag(type);
        if (code == NMLS_GET_TRACEBACK) *out = rt.TracebackFlag(type);
        break;
      }
      case NMLS_SET_ERROR_FILE: {
        FILE* f = r.Pointer<FILE>();
        if (!r.Failed()) rt.SetErrorStream(f);
        break;
      }
      case NMLS_GET_ERROR_FILE: {
        FILE** out = r.Pointer<FILE*>();
        if (!r.Failed() && out) *out = rt.ErrorStream();
        break;
      }
      case NMLS_ERROR_PRINT_PROC: {
        nml_printer p = r.Function<nml_printer>();
        if (r.Failed()) break;
        if (p) {
          rt.SetPrinter(p, rt.PrinterKind());
        } else {
          rt.SetPrinterKind(rt.Config().kindStream);
        }
        break;
      }
      case NMLS_MSG_NAME: {
        const char* s = r.String();
        if (!r.Failed()) rt.SetMessageFileName(s);
        break;
      }
      case NMLS_MSG_PATH: {
        const char* s = r.String();
        if (!r.Failed()) rt.SetMessageDirectory(s);
        break;
      }
      case NMLS_FULL_TRACEBACK: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetFullTraceback(v);
        break;
      }
      case NMLS_TRAPPING_ON: rt.SetTrapEnabled(1); break;
      case NMLS_TRAPPING_OFF: rt.SetTrapEnabled(0); break;
      case NMLS_SET_TRAPPING: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetTrapEnabled(v);
        break;
      }
      case NMLS_GET_PRINTER_KIND: {
        int* out = r.Pointer<int>();
        if (!r.Failed() && out) *out = rt.PrinterKind();
        break;
      }
      case NMLS_SET_PRINTER_KIND: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetPrinterKind(v);
        break;
      }
      default:
        r.Unknown();
        break;
    }
  }
}

nmls_random_block g_block = {1, 0, 0.0, 0.0, 0.0, 0.0f, 0, 0, {0, 0}};

int ClockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  if (!localtime_r(&now, &t)) gmtime_r(&now, &t);
  return nmls_clock_value(t.tm_hour, t.tm_min, t.tm_sec);
}

void SeedBody(int s) {
  nmls_random_block& b = g_block;
  if (b.firstUse) {
    b.modulus = 2147483647.0;
    b.reciprocal = 4.656612875245797e-10;
    float scale = std::ldexp(1.0f, -31);
    const float shrink = 1.0f - std::ldexp(1.0f, -24);
    while (!(scale * 2147483648.0f < 1.0f)) scale *= shrink;
    b.scale = scale;
    b.option = 1;
    b.seeded = 0;
    b.spare[0] = b.spare[1] = 0;
    b.firstUse = 0;
  }
  if (s >= 1 && s <= 2147483646) {
    b.seeded = 1;
    b.iseed = s;
    b.seed = s;
  } else if (s == 0) {
    b.iseed = ClockNow();
    b.seed = b.iseed;
  } else if (!b.seeded) {
    b.iseed = ClockNow();
    b.seed = b.iseed;
    b.seeded = 1;
  }
}

}  // namespace

int nmls_clock_value(int hour, int minute, int second) {
  const int v = hour * 10000 + minute * 100 + second + 1;
  return v <= 1 ? 123457 : v;
}

void nmls_random_seed_set(int seed) {
  Runtime::Stats().RunPublic("nmls_random_seed_set", [&] { SeedBody(seed); });
}

const nmls_random_block* nmls_random_block_get() { return &g_block; }

void nmls_error_options(int code, ...) {
  va_list ap;
  va_start(ap, code);
  {
    nml::VaOptionReader r(Runtime::Stats(), 0, code, ap);
    Runtime::Stats().RunPublic("nmls_error_options", [&] { StatsOptionsLoop(r); });
  }
  va_end(ap);
}

void nmls_error_options(const nml_options& options) {
  nml::TypedOptionReader r(Runtime::Stats(), 0, options);
  Runtime::Stats().RunPublic("nmls_error_options", [&] { StatsOptionsLoop(r); });
}

float nmls_amach(int index) {
  if (index >= 1 && index <= 8) return nml_amach(index);
  Runtime& rt = Runtime::Stats();
  rt.PushName("nmls_amach");
  rt.SetInt(1, index);
  rt.Post(NML_TERMINAL, 12009);
  rt.PopName("nmls_amach");
  return 0.0f;
}
