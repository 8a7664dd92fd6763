// Helpers for the numerical library's tests: a fresh run time, captured standard error and
// an exit hook that turns a process exit into an exception.
#pragma once

#include <optional>
#include <string>

#include "numerics/nml_runtime.h"
#include "platform/Runtime.h"

namespace nmltest {

struct ExitCalled {
  int status;
};

// Restores the run time of both sides to a fresh process's state, with the stop flags of
// FATAL and TERMINAL off as the program sets them, and message files looked for only in
// `msgDir` (an empty folder by default, so every text is the plain "Error code" text).
inline void FreshRuntime(const std::string& msgDir = TV_TEST_TMPDIR "/no-messages") {
  nml::Runtime::Math().Reset();
  nml::Runtime::Stats().Reset();
  nml_error_set_stop_fatal(0);
  plat::SetEnvLookup([msgDir](const std::string& name) -> std::optional<std::string> {
    if (name == "NMLERRPATH" || name == "NMLSERRPATH") return msgDir;
    return std::nullopt;
  });
}

// Collects what the library writes to the standard-error stream.
class StdErrCapture {
 public:
  StdErrCapture() {
    plat::SetStdErrSink([this](const std::string& s) { text_ += s; });
  }
  ~StdErrCapture() { plat::SetStdErrSink({}); }
  StdErrCapture(const StdErrCapture&) = delete;
  StdErrCapture& operator=(const StdErrCapture&) = delete;
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 private:
  std::string text_;
};

// While alive, a process exit throws ExitCalled instead of ending the test binary.
class ExitTrap {
 public:
  ExitTrap() {
    plat::SetExitHook([](int status) { throw ExitCalled{status}; });
  }
  ~ExitTrap() { plat::SetExitHook({}); }
  ExitTrap(const ExitTrap&) = delete;
  ExitTrap& operator=(const ExitTrap&) = delete;
};

}  // namespace nmltest
