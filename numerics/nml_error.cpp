// The error record, the routine-name stack, error posting and the error options.
#include <atomic>
#include <csignal>
#include <cstring>

#include "numerics/nml_runtime.h"
#include "platform/Runtime.h"

namespace nml {
namespace {

const char* const kTypeNames[9] = {"INTERNAL", "NOTE    ", "ALERT   ", "WARNING ", "FATAL   ",
                                   "TERMINAL", "WARNING_IMMEDIATE", "FATAL_IMMEDIATE",
                                   "INTERNAL"};

const SideConfig kMathSide = {"nml_e1mes", "nml_e1pos", "nmlerr.bin", "NMLERRPATH",
                              " %5s%-9s   %-25s %s\n", "NML_",
                              NML_PRINTER_STREAM, NML_PRINTER_BOX, NML_PRINTER_CONSOLE};
const SideConfig kStatsSide = {"nmls_e1mes", "nmls_e1pos", "nmls_e.bin", "NMLSERRPATH",
                               " %6s%-9s   %-25s %s\n", "NMLS_", 50020, 50030, 50040};

plat::CriticalSection g_trapSwitchLock;

// An error level outside 0..1: INTERNAL 122 with the allowed range and the value given.
void PostBadLevel(Runtime& rt, int level) {
  rt.SetInt(1, 0);
  rt.SetInt(2, 1);
  rt.SetInt(3, level);
  rt.SetString(1, "level");
  rt.Post(NML_INTERNAL, 122);
}

}  // namespace

Runtime& Runtime::Math() {
  static Runtime rt(kMathSide);
  return rt;
}

Runtime& Runtime::Stats() {
  static Runtime rt(kStatsSide);
  return rt;
}

Runtime::Runtime(const SideConfig& cfg) : cfg_(cfg) { Reset(); }

void Runtime::ResetFlags() {
  //                        0  1  2  3  4  5  6  7  8
  const unsigned char p[9] = {0, 0, 0, 1, 1, 1, 1, 1, 1};
  const unsigned char s[9] = {0, 0, 0, 0, 1, 1, 0, 0, 1};
  const unsigned char t[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
  const unsigned char im[9] = {0, 0, 0, 0, 0, 1, 1, 1, 1};
  std::memcpy(print_, p, 9);
  std::memcpy(stop_, s, 9);
  std::memcpy(trace_, t, 9);
  std::memcpy(immediate_, im, 9);
}

void Runtime::Reset() {
  recoveryDepth_ = 0;
  caught_ = 0;
  signalled_ = 0;
  for (int k = 0; k < 9; ++k) {
    intArgs_[k] = 0;
    realArgs_[k] = 0;
    complexArgs_[k][0] = complexArgs_[k][1] = 0;
    stringArgs_[k] = nullptr;
  }
  messageDir_.clear();
  hasMessageDir_ = false;
  messageFile_.clear();
  level0Type_ = level0Code_ = level1Type_ = level1Code_ = 0;
  message_.clear();
  message_.reserve(4096);
  top_ = 0;
  stack_[0] = Entry{0, 1, 0, "USER"};
  units_[0] = stdin;
  units_[1] = stdout;
  units_[2] = stderr;
  printer_ = nullptr;
  printerKind_ = cfg_.kindStream;
  fullTraceback_ = 0;
  ResetFlags();
  hook_ = nullptr;
  trapSwitch_ = 1;
  while (trapLevel_ > 0) SignalTrap(0);  // a call abandoned by an exit hook
  loadStatus_ = 0;
  loadedPath_.clear();
  swapped_ = false;
  l1_ = l2_ = shift_ = 0;
  codes_.clear();
  offsets_.clear();
  base_ = 0;
  lastCodeRead_ = -1;
  lastCodeLooked_ = -1;
  lastIndex_ = -1;
  textBuf_.clear();
}

const char* Runtime::TypeName(int type) const {
  return type >= 0 && type <= 8 ? kTypeNames[type] : "";
}

// ---------------------------------------------------------------------------------------
// Name stack

void Runtime::PushName(const char* name) {
  if (top_ == 0) message_.clear();  // a new call from the user's level starts clean
  if (top_ + 1 >= kStackSize) {
    // No room for another entry: the error lands on the current top, and ends the run.
    Post(NML_INTERNAL, 60000);
    Stop();
  }
  ++top_;
  stack_[top_] = Entry{0, 0, 0, name};
  level0Type_ = level0Code_ = level1Type_ = level1Code_ = 0;
}

void Runtime::PopName(const char* name) {
  if (caught_) {
    caught_ = 0;
    while (top_ > 0 && std::strcmp(stack_[top_].name, name) != 0) --top_;
  }
  if (top_ == 0 || (stack_[top_].name != name && std::strcmp(stack_[top_].name, name) != 0)) {
    SetString(1, name);
    SetString(2, stack_[top_].name);
    Post(NML_INTERNAL, 60001);
    Stop();
  }
  Entry& t = stack_[top_];
  Entry& below = stack_[top_ - 1];
  if (below.userLevel) {
    if (hook_) hook_(t.type, t.code, message_.c_str());
    if (!message_.empty() && print_[t.type]) {
      Print(t.type, t.code, t.name, message_.c_str());
      if (trace_[t.type]) Traceback();
    }
    if (stop_[t.type]) Stop();
  }
  if (below.type <= t.type) {
    below.type = t.type;
    below.code = t.code;
  }
  // The caller's pending error is what its entry now holds.
  level0Type_ = below.type;
  level0Code_ = below.code;
  level1Type_ = t.type;
  level1Code_ = t.code;
  --top_;
}

void Runtime::UserCode(const char* onoff) {
  stack_[top_].userLevel =
      (onoff && onoff[0] && (onoff[1] == 'N' || onoff[1] == 'n')) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Message arguments

void Runtime::SetInt(int k, int v) {
  if (k >= 1 && k <= 9) intArgs_[k - 1] = v;
}
void Runtime::SetDouble(int k, double v) {
  if (k >= 1 && k <= 9) realArgs_[k - 1] = v;
}
void Runtime::SetComplex(int k, double re, double im) {
  if (k >= 1 && k <= 9) {
    complexArgs_[k - 1][0] = re;
    complexArgs_[k - 1][1] = im;
  }
}
void Runtime::SetString(int k, const char* s) {
  if (k < 0) k = -k;
  if (k >= 1 && k <= 9) stringArgs_[k - 1] = s;
}

// ---------------------------------------------------------------------------------------
// Posting

void Runtime::Post(int type, int code) { E1mes(type, code, MessageText(code)); }

void Runtime::E1mes(int type, int code, const char* text) {
  if (type < -1 || type > 8) {
    PushName(cfg_.e1mesName);
    char head[96];
    std::snprintf(head, sizeof head, "Error type must be -1,...,8, but type = %d.  Message = ",
                  type);
    message_ = std::string(head) + "\"" + (text ? text : "") + "\"";
    Print(NML_INTERNAL, 160, stack_[top_].name, message_.c_str());
    if (trace_[NML_INTERNAL]) Traceback();
    // The freshly pushed entry carries no type; an internal error must not end the process
    // with a success status.
    stack_[top_].type = NML_INTERNAL;
    Stop();
  }
  Entry& t = stack_[top_];
  if (type == -1) {
    if (code == -1) {
      type = t.type;  // re-record the current error with a new text
      code = t.code;
    } else {
      if (code > 0) t.code = code;  // replace only the code
      level0Type_ = t.type;
      level0Code_ = t.code;
      return;
    }
  }
  if (type == 0 && code == 0) {
    message_.clear();
    t.type = 0;
    t.code = 0;
  } else if (type >= 0) {
    t.type = static_cast<unsigned char>(type);
    t.code = code;
    const bool hasText = text && !(text[0] == ' ' && text[1] == '\0');
    if (hasText) {
      FormatMessage(text);
    } else {
      message_.clear();
    }
    if (immediate_[type]) {
      if (hook_) hook_(type, code, message_.c_str());
      if (print_[type]) {
        Print(type, code, t.name, message_.c_str());
        if (trace_[type]) Traceback();
      }
      message_.clear();
    }
    if (type == NML_INTERNAL) Stop();
  }
  level0Type_ = t.type;
  level0Code_ = t.code;
}

int Runtime::Type(int level) {
  if (level == 0) return level0Type_;
  if (level == 1) return level1Type_;
  PostBadLevel(*this, level);
  return 0;
}

int Runtime::Code(int level) {
  if (level == 0) return level0Code_;
  if (level == 1) return level1Code_;
  PostBadLevel(*this, level);
  return 0;
}

void Runtime::E1pos(int type, int* print, int* stop) {
  if (type >= 1 && type <= 8) {
    if (*print > 0) print_[type] = static_cast<unsigned char>(*print);
    if (*stop > 0) stop_[type] = static_cast<unsigned char>(*stop);
  } else if (type == 0) {
    for (int t = 1; t <= 7; ++t) {
      if (*print >= 0) print_[t] = static_cast<unsigned char>(*print);
      if (*stop >= 0) stop_[t] = static_cast<unsigned char>(*stop);
    }
  } else if (type >= -8 && type <= -1) {
    *print = print_[-type];
    *stop = stop_[-type];
  } else {
    PushName(cfg_.e1posName);
    SetInt(1, -8);
    SetInt(2, 8);
    SetInt(3, type);
    SetString(1, "type");
    Post(NML_TERMINAL, 132);
    PopName(cfg_.e1posName);
  }
}

void Runtime::Stop() { plat::ProcessExit(stack_[top_].type); }

bool Runtime::ValidOptionType(int type) {
  if (type >= 1 && type <= 7) return true;
  SetInt(1, 1);
  SetInt(2, 5);
  SetInt(3, type);
  SetString(1, "type");
  Post(NML_TERMINAL, 132);
  return false;
}

void Runtime::SetPrinterKind(int kind) {
  printer_ = nullptr;
  printerKind_ = (kind == cfg_.kindBox || kind == cfg_.kindConsole) ? kind : cfg_.kindStream;
}

void Runtime::SetMessageDirectory(const char* dir) {
  messageDir_ = dir ? dir : "";
  hasMessageDir_ = dir != nullptr;
}

void Runtime::SetMessageFileName(const char* name) { messageFile_ = name ? name : ""; }

FILE* Runtime::Unit(int unit) { return units_[unit - 1]; }
void Runtime::SetUnit(int unit, FILE* f) { units_[unit - 1] = f; }
FILE* Runtime::ErrorStream() { return units_[2]; }
void Runtime::SetErrorStream(FILE* f) { units_[2] = f; }

void Runtime::WriteStream(const std::string& s) {
  FILE* f = ErrorStream();
  if (f == nullptr || f == stderr) {
    plat::WriteStdErr(s);
  } else {
    std::fwrite(s.data(), 1, s.size(), f);
    std::fflush(f);
  }
}

void Runtime::Print(int type, int code, const char* name, const char* text) {
  if (printer_) {
    printer_(type, code, name, text);
  } else if (printerKind_ == cfg_.kindBox) {
    PrintBox(type, code, name, text);
  } else if (printerKind_ == cfg_.kindConsole) {
    PrintConsole(type, code, name, text);
  } else {
    PrintStream(type, code, name, text);
  }
}

// ---------------------------------------------------------------------------------------
// Signal trap

namespace {

constexpr int kTrappedSignals[2] = {SIGILL, SIGSEGV};

// The run times with a trap level open, innermost last: a signal belongs to the side whose
// trap was opened last (both sides share the process's handlers).
Runtime* g_trapOwners[2 * Runtime::kTrapLevels];
int g_trapOwnerCount = 0;
int g_trapOwnerOverflow = 0;

// The handlers are installed once, on the first trapped call, and stay until trapping is
// switched off: installing and restoring them around every call cost several system calls
// per call. What they replaced is kept, and a signal that meets no recovery point is passed
// on to it, so the caller's own handlers act outside library calls as before.
std::atomic<bool> g_installed{false};
struct sigaction g_previous[2];

void PassOn(int sig, siginfo_t* info, void* context) {
  const int k = sig == kTrappedSignals[0] ? 0 : 1;
  const struct sigaction& prev = g_previous[k];
  if (prev.sa_flags & SA_SIGINFO) {
    prev.sa_sigaction(sig, info, context);
  } else if (prev.sa_handler == SIG_DFL) {
    // The default action (ending the process) with the default disposition back in place.
    sigaction(sig, &prev, nullptr);
    std::raise(sig);
  } else if (prev.sa_handler != SIG_IGN) {
    prev.sa_handler(sig);
  }
}

extern "C" void TrapSignal(int sig, siginfo_t* info, void* context) {
  if (g_trapOwnerCount > 0 && g_trapOwners[g_trapOwnerCount - 1]->Recovering()) {
    g_trapOwners[g_trapOwnerCount - 1]->SignalHandler(sig);
    return;
  }
  PassOn(sig, info, context);
}

void InstallTrapHandlers() {
#if NML_SIGNAL_TRAP_INSTALLS
  plat::CriticalSectionLock lock(g_trapSwitchLock);
  if (g_installed.load(std::memory_order_relaxed)) return;
  struct sigaction sa {};
  sa.sa_sigaction = TrapSignal;
  // Not blocked while handled: the recovery points do not save the signal mask, so the
  // jump out of the handler must leave no signal blocked behind it.
  sa.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int k = 0; k < 2; ++k) sigaction(kTrappedSignals[k], &sa, &g_previous[k]);
  g_installed.store(true, std::memory_order_release);
#endif
}

// Puts back what the handlers replaced (trapping switched off).
void RemoveTrapHandlers() {
#if NML_SIGNAL_TRAP_INSTALLS
  if (!g_installed.load(std::memory_order_acquire)) return;
  for (int k = 0; k < 2; ++k) sigaction(kTrappedSignals[k], &g_previous[k], nullptr);
  g_installed.store(false, std::memory_order_release);
#endif
}

}  // namespace

void Runtime::SignalTrap(int on) {
  if (on) {
    if (trapLevel_ < kTrapLevels) {
      if (g_trapOwnerCount < 2 * kTrapLevels)
        g_trapOwners[g_trapOwnerCount++] = this;
      else
        ++g_trapOwnerOverflow;
    }
    ++trapLevel_;
    caught_ = 0;
  } else if (trapLevel_ > 0) {
    --trapLevel_;
    if (trapLevel_ < kTrapLevels) {
      if (g_trapOwnerOverflow > 0)
        --g_trapOwnerOverflow;
      else if (g_trapOwnerCount > 0)
        --g_trapOwnerCount;
    }
  }
}

void Runtime::RunPublicImpl(const char* name, void (*call)(void*), void* body) {
  PushName(name);
  if (Type(0) == 0) {
    if (TrapEnabled() && recoveryDepth_ < kRecoveryPoints)
      RunTrapped(call, body);
    else
      call(body);
  }
  PopName(name);
}

// Kept out of line and free of locals that live across the jump: after a trapped signal
// the handler resumes here through siglongjmp.
void Runtime::RunTrapped(void (*call)(void*), void* body) {
  if (!g_installed.load(std::memory_order_acquire)) InstallTrapHandlers();
  const int point = recoveryDepth_++;
  recoveryTop_[point] = top_;
  // The signal mask is not saved: that would be a system call per call (see the handlers).
  if (sigsetjmp(recovery_[point], 0) == 0) {
    SignalTrap(1);
    call(body);
    --recoveryDepth_;
  } else {
    // The handler lowered the depth. The entries of the routines that the jump skipped are
    // dropped first, so that both errors land on this routine's own entry and reach its
    // caller. The signal's error is posted here rather than in the handler: formatting a
    // message allocates, which a signal handler must not do.
    top_ = recoveryTop_[point];
    PostSignal(signalled_);
    signalled_ = 0;
    Post(NML_TERMINAL, 102);
  }
  SignalTrap(0);
}

void Runtime::SetTrapEnabled(int v) {
  {
    plat::CriticalSectionLock lock(g_trapSwitchLock);
    if (trapSwitch_ != v) trapSwitch_ = v;
  }
  if (!v) RemoveTrapHandlers();
}

void Runtime::SignalHandler(int sig) {
  caught_ = 1;
  if (trapLevel_ > 0 && recoveryDepth_ > 0) {
    signalled_ = sig;
    --recoveryDepth_;
    siglongjmp(recovery_[recoveryDepth_], 1);
  }
  PostSignal(sig);
}

void Runtime::PostSignal(int sig) {
  SetInt(1, sig);
  int code = 0;
  switch (sig) {
    case 2: code = 502; break;
    case 4: code = 504; break;
    case 22: code = 506; break;
    case 8: code = 508; break;
    case 11: code = 511; break;
    default: break;
  }
  if (code) Post(NML_TERMINAL, code);
}

void PostUnknownOption(Runtime& rt, int code, int position) {
  rt.SetInt(1, code);
  rt.SetInt(2, position);
  rt.Post(NML_TERMINAL, 103);
}

// ---------------------------------------------------------------------------------------
// Option readers

int OptionReader::NextCode() {
  if (failed_ || ended_) return 0;
  int code = 0;
  ++pos_;
  codePos_ = pos_;
  if (!ReadCode(&code)) {
    ended_ = true;
    return 0;
  }
  code_ = code;
  if (code == 0) ended_ = true;
  return code;
}

void OptionReader::Unknown() {
  if (failed_) return;
  failed_ = true;
  PostUnknownOption(rt_, code_, codePos_);
}

void OptionReader::Mismatch() {
  // A typed list whose values do not fit the code is reported like an unknown code.
  Unknown();
}

int OptionReader::Int() {
  int v = 0;
  if (failed_) return 0;
  ++pos_;
  if (!ReadInt(&v)) Mismatch();
  return failed_ ? 0 : v;
}

double OptionReader::Real() {
  double v = 0;
  if (failed_) return 0;
  ++pos_;
  if (!ReadReal(&v)) Mismatch();
  return failed_ ? 0 : v;
}

const char* OptionReader::String() {
  const char* v = nullptr;
  if (failed_) return nullptr;
  ++pos_;
  if (!ReadString(&v)) Mismatch();
  return failed_ ? nullptr : v;
}

const void* OptionReader::RawPointer(const std::type_info& t) {
  const void* v = nullptr;
  if (failed_) return nullptr;
  ++pos_;
  if (!ReadPointer(t, &v)) Mismatch();
  return failed_ ? nullptr : v;
}

void (*OptionReader::RawFunction(const std::type_info& t))() {
  void (*v)() = nullptr;
  if (failed_) return nullptr;
  ++pos_;
  if (!ReadFunction(t, &v)) Mismatch();
  return failed_ ? nullptr : v;
}

VaListOptionReader::VaListOptionReader(Runtime& rt, int fixedArgs, va_list ap)
    : OptionReader(rt, fixedArgs) {
  va_copy(ap_, ap);
}
VaListOptionReader::~VaListOptionReader() { va_end(ap_); }

bool VaListOptionReader::ReadCode(int* code) {
  *code = va_arg(ap_, int);
  return true;
}
bool VaListOptionReader::ReadInt(int* v) {
  *v = va_arg(ap_, int);
  return true;
}
bool VaListOptionReader::ReadReal(double* v) {
  *v = va_arg(ap_, double);
  return true;
}
bool VaListOptionReader::ReadString(const char** v) {
  *v = va_arg(ap_, const char*);
  return true;
}
bool VaListOptionReader::ReadPointer(const std::type_info&, const void** v) {
  *v = va_arg(ap_, void*);
  return true;
}
bool VaListOptionReader::ReadFunction(const std::type_info&, void (**v)()) {
  *v = va_arg(ap_, void (*)());
  return true;
}

VaOptionReader::VaOptionReader(Runtime& rt, int fixedArgs, int firstCode, va_list ap)
    : VaListOptionReader(rt, fixedArgs, ap), first_(firstCode) {}

bool VaOptionReader::ReadCode(int* code) {
  if (firstRead_) return VaListOptionReader::ReadCode(code);
  firstRead_ = true;
  *code = first_;
  return true;
}

const OptArg* TypedOptionReader::Take() {
  if (next_ >= list_.size()) return nullptr;
  return &list_[next_++];
}

bool TypedOptionReader::ReadCode(int* code) {
  if (next_ >= list_.size()) return false;  // the end of a typed list closes it
  const OptArg* a = Take();
  if (a->kind != ArgKind::Int) return false;
  *code = static_cast<int>(a->i);
  return true;
}
bool TypedOptionReader::ReadInt(int* v) {
  const OptArg* a = Take();
  if (!a || a->kind != ArgKind::Int) return false;
  *v = static_cast<int>(a->i);
  return true;
}
bool TypedOptionReader::ReadReal(double* v) {
  const OptArg* a = Take();
  if (!a) return false;
  if (a->kind == ArgKind::Real) {
    *v = a->d;
  } else if (a->kind == ArgKind::Int) {
    *v = static_cast<double>(a->i);
  } else {
    return false;
  }
  return true;
}
bool TypedOptionReader::ReadString(const char** v) {
  const OptArg* a = Take();
  if (!a) return false;
  if (a->kind == ArgKind::String) {
    *v = static_cast<const char*>(a->p);
  } else if (a->kind == ArgKind::Pointer && a->type == nullptr) {
    *v = nullptr;
  } else {
    return false;
  }
  return true;
}
bool TypedOptionReader::ReadPointer(const std::type_info& t, const void** v) {
  const OptArg* a = Take();
  if (!a || a->kind != ArgKind::Pointer) return false;
  if (a->type != nullptr && *a->type != t) return false;
  *v = a->p;
  return true;
}
bool TypedOptionReader::ReadFunction(const std::type_info& t, void (**v)()) {
  const OptArg* a = Take();
  if (!a) return false;
  if (a->kind == ArgKind::Pointer && a->type == nullptr) {
    *v = nullptr;
    return true;
  }
  if (a->kind != ArgKind::Function || *a->type != t) return false;
  *v = a->fn;
  return true;
}

}  // namespace nml

// ---------------------------------------------------------------------------------------
// The mathematics side's operations

using nml::Runtime;

void nml_error_push_name(const char* name) { Runtime::Math().PushName(name); }
void nml_error_pop_name(const char* name) { Runtime::Math().PopName(name); }
void nml_error_user_code(const char* onoff) { Runtime::Math().UserCode(onoff); }
void nml_error_set_int(int k, int v) { Runtime::Math().SetInt(k, v); }
void nml_error_set_float(int k, float v) { Runtime::Math().SetDouble(k, v); }
void nml_error_set_double(int k, double v) { Runtime::Math().SetDouble(k, v); }
void nml_error_set_complex(int k, float re, float im) { Runtime::Math().SetComplex(k, re, im); }
void nml_error_set_dcomplex(int k, double re, double im) {
  Runtime::Math().SetComplex(k, re, im);
}
void nml_error_set_string(int k, const char* s) { Runtime::Math().SetString(k, s); }
void nml_error_post(int type, int code) { Runtime::Math().Post(type, code); }
void nml_e1mes(int type, int code, const char* text) { Runtime::Math().E1mes(type, code, text); }
int nml_error_type(int level) { return Runtime::Math().Type(level); }
int nml_error_code(int level) { return Runtime::Math().Code(level); }
int nml_error_current_type() { return Runtime::Math().CurrentType(); }
int nml_error_last_code() { return Runtime::Math().LastCode(); }
void nml_error_set_hook(nml_error_hook hook) { Runtime::Math().SetHook(hook); }
void nml_e1pos(int type, int* print, int* stop) { Runtime::Math().E1pos(type, print, stop); }
void nml_signal_trap(int on) { Runtime::Math().SignalTrap(on); }
int nml_signal_trap_enabled() { return Runtime::Math().TrapEnabled(); }
void nml_signal_handler(int sig) { Runtime::Math().SignalHandler(sig); }
void nml_error_traceback() { Runtime::Math().Traceback(); }
void nml_error_stop() { Runtime::Math().Stop(); }

void nml_error_set_stop_fatal(int on) {
  for (Runtime* rt : {&Runtime::Math(), &Runtime::Stats()}) {
    rt->SetStopFlag(NML_FATAL, on ? 1 : 0);
    rt->SetStopFlag(NML_TERMINAL, on ? 1 : 0);
  }
}

namespace {

void ErrorOptionsLoop(nml::OptionReader& r) {
  Runtime& rt = Runtime::Math();
  for (int code; (code = r.NextCode()) != 0;) {
    switch (code) {
      case NML_SET_PRINT:
      case NML_SET_STOP:
      case NML_SET_TRACEBACK: {
        const int type = r.Int();
        const int value = r.Int();
        if (r.Failed() || !rt.ValidOptionType(type)) break;
        if (code == NML_SET_PRINT) rt.SetPrintFlag(type, value);
        if (code == NML_SET_STOP) rt.SetStopFlag(type, value);
        if (code == NML_SET_TRACEBACK) rt.SetTracebackFlag(type, value);
        break;
      }
      case NML_GET_PRINT:
      case NML_GET_STOP:
      case NML_GET_TRACEBACK: {
        const int type = r.Int();
        int* out = r.Pointer<int>();
        if (r.Failed() || !rt.ValidOptionType(type)) break;
        if (!out) break;
        if (code == NML_GET_PRINT) *out = rt.PrintFlag(type);
        if (code == NML_GET_STOP) *out = rt.StopFlag(type);
        if (code == NML_GET_TRACEBACK) *out = rt.TracebackFlag(type);
        break;
      }
      case NML_SET_ERROR_FILE: {
        FILE* f = r.Pointer<FILE>();
        if (!r.Failed()) rt.SetErrorStream(f);
        break;
      }
      case NML_ERROR_PRINT_PROC: {
        nml_printer p = r.Function<nml_printer>();
        if (r.Failed()) break;
        if (p) {
          rt.SetPrinter(p, rt.PrinterKind());
        } else {
          rt.SetPrinterKind(NML_PRINTER_STREAM);
        }
        break;
      }
      case NML_ERROR_MSG_PATH: {
        const char* s = r.String();
        if (!r.Failed()) rt.SetMessageDirectory(s);
        break;
      }
      case NML_ERROR_MSG_NAME: {
        const char* s = r.String();
        if (!r.Failed()) rt.SetMessageFileName(s);
        break;
      }
      case NML_GET_ERROR_FILE: {
        FILE** out = r.Pointer<FILE*>();
        if (!r.Failed() && out) *out = rt.ErrorStream();
        break;
      }
      case NML_FULL_TRACEBACK: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetFullTraceback(v);
        break;
      }
      case NML_GET_PRINTER_KIND: {
        int* out = r.Pointer<int>();
        if (!r.Failed() && out) *out = rt.PrinterKind();
        break;
      }
      case NML_SET_PRINTER_KIND: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetPrinterKind(v);
        break;
      }
      case NML_SIGNAL_TRAPPING: {
        const int v = r.Int();
        if (!r.Failed()) rt.SetTrapEnabled(v);
        break;
      }
      default:
        r.Unknown();
        break;
    }
  }
}

}  // namespace

void nml_error_options(int code, ...) {
  va_list ap;
  va_start(ap, code);
  {
    nml::VaOptionReader r(Runtime::Math(), 0, code, ap);
    nml_public("nml_error_options", [&] { ErrorOptionsLoop(r); });
  }
  va_end(ap);
}

void nml_error_options(const nml_options& options) {
  nml::TypedOptionReader r(Runtime::Math(), 0, options);
  nml_public("nml_error_options", [&] { ErrorOptionsLoop(r); });
}
