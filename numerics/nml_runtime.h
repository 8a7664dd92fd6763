// Run time of the numerical library: the routine-name stack, typed errors with message
// arguments, error options, option lists, storage keys, machine constants and the
// public-routine wrapper that every nml_ routine is built on.
//
// Error model in short: a routine posts an error (type and code) on its own stack entry;
// when it returns, its error passes to the caller's entry if it is at least as serious as
// what the caller holds. When control returns to the user's level the error is printed
// (types 3 and above by default) and, when the stop flag of its type is set, the process
// ends with the type as exit status (through plat::ProcessExit). The program turns the
// stop flags of FATAL and TERMINAL off at start (nml_error_set_stop_fatal(0)); a failing
// routine then returns NaN or a null pointer and nml_error_type(1)/nml_error_code(1)
// tell the caller what happened.
#pragma once

#include <setjmp.h>
#include <signal.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

// The signal trap catches illegal instructions and segmentation faults inside a public
// routine and turns them into TERMINAL errors and a return. Under the address and
// undefined-behaviour sanitizers it is bookkeeping only: the sanitizers own those signals.
#if defined(__SANITIZE_ADDRESS__)
#define NML_SIGNAL_TRAP_INSTALLS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NML_SIGNAL_TRAP_INSTALLS 0
#endif
#endif
#ifndef NML_SIGNAL_TRAP_INSTALLS
#define NML_SIGNAL_TRAP_INSTALLS 1
#endif

// ---------------------------------------------------------------------------------------
// Error types
constexpr int NML_NOTE = 1;
constexpr int NML_ALERT = 2;
constexpr int NML_WARNING = 3;
constexpr int NML_FATAL = 4;
constexpr int NML_TERMINAL = 5;
constexpr int NML_WARNING_IMMEDIATE = 6;
constexpr int NML_FATAL_IMMEDIATE = 7;
constexpr int NML_INTERNAL = 8;

// Option codes of nml_error_options
constexpr int NML_SET_PRINT = 10188;          // int type, int value
constexpr int NML_GET_PRINT = 10189;          // int type, int* out
constexpr int NML_SET_STOP = 10190;           // int type, int value
constexpr int NML_GET_STOP = 10191;           // int type, int* out
constexpr int NML_GET_TRACEBACK = 10192;      // int type, int* out
constexpr int NML_SET_TRACEBACK = 10193;      // int type, int value
constexpr int NML_SET_ERROR_FILE = 10194;     // FILE*
constexpr int NML_ERROR_PRINT_PROC = 10195;   // nml_printer (null: stream printer)
constexpr int NML_ERROR_MSG_PATH = 10196;     // const char*
constexpr int NML_ERROR_MSG_NAME = 10197;     // const char*
constexpr int NML_GET_ERROR_FILE = 10210;     // FILE** out
constexpr int NML_FULL_TRACEBACK = 10301;     // int
constexpr int NML_GET_PRINTER_KIND = 50000;   // int* out
constexpr int NML_SET_PRINTER_KIND = 50001;   // int kind
constexpr int NML_SIGNAL_TRAPPING = 50012;    // int

// Printer kinds of the mathematics side
constexpr int NML_PRINTER_STREAM = 50002;
constexpr int NML_PRINTER_BOX = 50003;
constexpr int NML_PRINTER_CONSOLE = 50004;

// Option code shared by the routines that return arrays: write the result into the
// caller's array (a pointer to it follows) instead of allocating one.
constexpr int NML_RETURN_USER = 10260;

// Prints one error: type, code, routine name, message text.
using nml_printer = void (*)(int type, int code, const char* name, const char* text);
// Sees every error that reaches the user's level (or is printed at once).
using nml_error_hook = void (*)(int type, int code, const char* text);

// ---------------------------------------------------------------------------------------
// Typed option lists. Routines with options accept either a variadic list (codes and values
// closed by 0) or an nml_options built with nml_opts(code, value..., code, value...).
// The typed list keeps each value's kind (and the pointee type of pointers), so a value of
// the wrong kind is reported instead of being misread.
namespace nml {

enum class ArgKind { Int, Real, String, Pointer, Function };

struct OptArg {
  ArgKind kind = ArgKind::Int;
  long long i = 0;
  double d = 0.0;
  const void* p = nullptr;
  void (*fn)() = nullptr;
  const std::type_info* type = nullptr;  // pointee type, function type; null for nullptr
};

}  // namespace nml

class nml_options {
 public:
  nml_options() = default;
  template <class... A>
  static nml_options make(A... a) {
    nml_options o;
    (o.add(a), ...);
    return o;
  }
  const std::vector<nml::OptArg>& args() const { return args_; }

  void add(int v) { push_int(v); }
  void add(long v) { push_int(v); }
  void add(unsigned v) { push_int(static_cast<long long>(v)); }
  void add(double v) {
    nml::OptArg a;
    a.kind = nml::ArgKind::Real;
    a.d = v;
    args_.push_back(a);
  }
  void add(float v) { add(static_cast<double>(v)); }
  void add(const char* s) {
    nml::OptArg a;
    a.kind = nml::ArgKind::String;
    a.p = s;
    args_.push_back(a);
  }
  void add(char* s) { add(static_cast<const char*>(s)); }
  void add(std::nullptr_t) {
    nml::OptArg a;
    a.kind = nml::ArgKind::Pointer;
    args_.push_back(a);
  }
  template <class T>
  void add(T* p) {
    nml::OptArg a;
    if constexpr (std::is_function_v<T>) {
      a.kind = nml::ArgKind::Function;
      a.fn = reinterpret_cast<void (*)()>(p);
    } else {
      a.kind = nml::ArgKind::Pointer;
      a.p = p;
    }
    a.type = &typeid(T);
    args_.push_back(a);
  }

 private:
  void push_int(long long v) {
    nml::OptArg a;
    a.kind = nml::ArgKind::Int;
    a.i = v;
    args_.push_back(a);
  }
  std::vector<nml::OptArg> args_;
};

template <class... A>
nml_options nml_opts(A... a) {
  return nml_options::make(a...);
}

namespace nml {

class Runtime;

// Walks an option list, variadic or typed. Routines write their option loop once:
//   for (int code; (code = r.NextCode()) != 0;) switch (code) { ... default: r.Unknown(); }
// Unknown() posts TERMINAL 103 (code, position) and ends the walk: reading further words of
// a variadic list after a code that is not understood would be undefined. A routine with
// options offers both forms over one body, e.g. with two fixed arguments:
//   float* nml_f_x(int n, float* a, ...) {
//     va_list ap; va_start(ap, a);
//     nml::VaListOptionReader r(nml::Runtime::Math(), 2, ap);
//     float* res = Body(n, a, r); va_end(ap); return res; }
//   float* nml_f_x(int n, float* a, const nml_options& o) {
//     nml::TypedOptionReader r(nml::Runtime::Math(), 2, o); return Body(n, a, r); }
// Positions count every word of the argument list from 1, the fixed arguments included.
class OptionReader {
 public:
  explicit OptionReader(Runtime& rt, int fixedArgs) : rt_(rt), pos_(fixedArgs) {}
  virtual ~OptionReader() = default;
  OptionReader(const OptionReader&) = delete;
  OptionReader& operator=(const OptionReader&) = delete;

  // The next code, or 0 at the end of the list or after a failure.
  int NextCode();
  int Int();
  double Real();  // float values of a variadic list arrive as double
  const char* String();
  template <class T>
  T* Pointer() {
    return static_cast<T*>(const_cast<void*>(RawPointer(typeid(T))));
  }
  template <class F>
  F Function() {
    return reinterpret_cast<F>(RawFunction(typeid(std::remove_pointer_t<F>)));
  }
  void Unknown();
  int Position() const { return codePos_; }  // of the current code, counted from 1
  int Code() const { return code_; }
  bool Failed() const { return failed_; }

 protected:
  virtual bool ReadCode(int* code) = 0;
  virtual bool ReadInt(int* v) = 0;
  virtual bool ReadReal(double* v) = 0;
  virtual bool ReadString(const char** v) = 0;
  virtual bool ReadPointer(const std::type_info& t, const void** v) = 0;
  virtual bool ReadFunction(const std::type_info& t, void (**v)()) = 0;

 private:
  const void* RawPointer(const std::type_info& t);
  void (*RawFunction(const std::type_info& t))();
  void Mismatch();

  Runtime& rt_;
  int pos_;
  int codePos_ = 0;
  int code_ = 0;
  bool failed_ = false;
  bool ended_ = false;
};

// Reads a variadic list that starts inside the va_list (the routine's last named parameter
// is not an option code).
class VaListOptionReader : public OptionReader {
 public:
  VaListOptionReader(Runtime& rt, int fixedArgs, va_list ap);
  ~VaListOptionReader() override;

 protected:
  bool ReadCode(int* code) override;
  bool ReadInt(int* v) override;
  bool ReadReal(double* v) override;
  bool ReadString(const char** v) override;
  bool ReadPointer(const std::type_info& t, const void** v) override;
  bool ReadFunction(const std::type_info& t, void (**v)()) override;

 private:
  va_list ap_;
};

// Reads a variadic list whose first code was a named parameter.
class VaOptionReader : public VaListOptionReader {
 public:
  VaOptionReader(Runtime& rt, int fixedArgs, int firstCode, va_list ap);

 protected:
  bool ReadCode(int* code) override;

 private:
  int first_;
  bool firstRead_ = false;
};

class TypedOptionReader : public OptionReader {
 public:
  TypedOptionReader(Runtime& rt, int fixedArgs, const nml_options& list)
      : OptionReader(rt, fixedArgs), list_(list.args()) {}

 protected:
  bool ReadCode(int* code) override;
  bool ReadInt(int* v) override;
  bool ReadReal(double* v) override;
  bool ReadString(const char** v) override;
  bool ReadPointer(const std::type_info& t, const void** v) override;
  bool ReadFunction(const std::type_info& t, void (**v)()) override;

 private:
  const OptArg* Take();
  const std::vector<OptArg>& list_;
  std::size_t next_ = 0;
};

// ---------------------------------------------------------------------------------------
// One side of the library's run time (the mathematics side, or the statistics side with
// its own record, stack, flags and message file).
struct SideConfig {
  const char* e1mesName;     // name pushed when a bad type is handed to e1mes
  const char* e1posName;
  const char* messageFile;   // default message-file name
  const char* envVar;        // environment variable of the directory list
  const char* tracebackFormat;
  const char* tracebackPrefix;
  int kindStream, kindBox, kindConsole;
};

class Runtime {
 public:
  static constexpr int kStackSize = 200;
  static constexpr int kRecoveryPoints = 100;
  static constexpr int kTrapLevels = 15;

  struct Entry {
    unsigned char type = 0;
    unsigned char userLevel = 0;
    int code = 0;
    const char* name = "";
  };

  static Runtime& Math();
  static Runtime& Stats();

  explicit Runtime(const SideConfig& cfg);

  // Name stack
  void PushName(const char* name);
  void PopName(const char* name);
  void UserCode(const char* onoff);

  // Message arguments
  void SetInt(int k, int v);
  void SetDouble(int k, double v);
  void SetComplex(int k, double re, double im);
  void SetString(int k, const char* s);

  // Posting and state
  void Post(int type, int code);
  void E1mes(int type, int code, const char* text);
  int Type(int level);
  int Code(int level);
  int CurrentType() const { return stack_[top_].type; }
  int LastCode() const { return level1Code_; }
  void SetHook(nml_error_hook hook) { hook_ = hook; }
  void E1pos(int type, int* print, int* stop);
  [[noreturn]] void Stop();
  void Traceback();

  // Options shared by both sides, addressed by meaning
  bool ValidOptionType(int type);  // posts TERMINAL 132 for a type outside 1..7
  int PrintFlag(int type) const { return print_[type]; }
  int StopFlag(int type) const { return stop_[type]; }
  int TracebackFlag(int type) const { return trace_[type]; }
  void SetPrintFlag(int type, int v) { print_[type] = static_cast<unsigned char>(v); }
  void SetStopFlag(int type, int v) { stop_[type] = static_cast<unsigned char>(v); }
  void SetTracebackFlag(int type, int v) { trace_[type] = static_cast<unsigned char>(v); }
  void SetFullTraceback(int v) { fullTraceback_ = v; }
  void SetPrinter(nml_printer p, int kind) {
    printer_ = p;
    printerKind_ = kind;
  }
  void SetPrinterKind(int kind);
  int PrinterKind() const { return printerKind_; }
  void SetMessageDirectory(const char* dir);
  void SetMessageFileName(const char* name);
  FILE* ErrorStream();
  void SetErrorStream(FILE* f);
  FILE* Unit(int unit);
  void SetUnit(int unit, FILE* f);

  // Signal trap: SignalTrap(1) opens a trap level (the handlers for SIGILL and SIGSEGV are
  // installed once, on the first trapped call); SignalTrap(0) closes it. A trapped
  // signal resumes at the innermost wrapper's recovery point, which posts the signal's
  // TERMINAL error and TERMINAL 102 and returns.
  void SignalTrap(int on);
  int TrapEnabled() const { return trapSwitch_; }
  void SetTrapEnabled(int v);
  void SignalHandler(int sig);
  // True while a trapped call has a recovery point for a signal to come back to.
  bool Recovering() const { return trapLevel_ > 0 && recoveryDepth_ > 0; }
  void PostSignal(int sig);  // the signal's TERMINAL error (502, 504, 506, 508 or 511)

  // Messages
  const char* MessageText(long code);
  const char* CodeName(long code);
  void FormatMessage(const char* text);
  const std::string& MessageBuffer() const { return message_; }
  void PrintStream(int type, int code, const char* name, const char* text);
  void PrintBox(int type, int code, const char* name, const char* text);
  void PrintConsole(int type, int code, const char* name, const char* text);
  const char* TypeName(int type) const;
  const SideConfig& Config() const { return cfg_; }

  // The public-routine wrapper: push, run the body (under the trap when it is on), pop.
  template <class Body>
  void RunPublic(const char* name, Body&& body) {
    using B = std::remove_reference_t<Body>;
    RunPublicImpl(name, [](void* b) { (*static_cast<B*>(b))(); },
                  const_cast<void*>(static_cast<const void*>(&body)));
  }

  // Back to the state of a fresh process (used after an exit hook abandoned a call).
  void Reset();

  int Depth() const { return top_; }
  const Entry& At(int i) const { return stack_[i]; }

 private:
  void RunPublicImpl(const char* name, void (*call)(void*), void* body);
  void RunTrapped(void (*call)(void*), void* body);
  void Print(int type, int code, const char* name, const char* text);
  void WriteStream(const std::string& s);
  const char* CalledRoutine() const;
  void LoadMessages();
  void ReportLoadFailure(const std::string& file, const char* reason);
  int FindIndex(long code);
  void ResetFlags();

  const SideConfig& cfg_;
  int recoveryDepth_ = 0;
  int caught_ = 0;
  int signalled_ = 0;  // the signal that came back through a recovery point
  sigjmp_buf recovery_[kRecoveryPoints];
  int recoveryTop_[kRecoveryPoints] = {};  // the name-stack top of each recovery point
  int intArgs_[9] = {};
  double realArgs_[9] = {};
  double complexArgs_[9][2] = {};
  const char* stringArgs_[9] = {};
  std::string messageDir_;
  bool hasMessageDir_ = false;
  std::string messageFile_;
  int level0Type_ = 0, level0Code_ = 0, level1Type_ = 0, level1Code_ = 0;
  std::string message_;
  Entry stack_[kStackSize];
  int top_ = 0;
  FILE* units_[3] = {};
  nml_printer printer_ = nullptr;  // null: the stream printer of this side
  int printerKind_ = 0;
  int fullTraceback_ = 0;
  unsigned char print_[9] = {}, stop_[9] = {}, trace_[9] = {}, immediate_[9] = {};
  nml_error_hook hook_ = nullptr;

  // trap
  int trapSwitch_ = 1;
  int trapLevel_ = 0;

  // message file
  int loadStatus_ = 0;  // 0 not tried, 1 failed, 2 loaded
  std::string loadedPath_;
  bool swapped_ = false;
  unsigned l1_ = 0, l2_ = 0, shift_ = 0;
  std::vector<unsigned short> codes_;
  std::vector<unsigned short> offsets_;
  long base_ = 0;
  long lastCodeRead_ = -1;
  long lastCodeLooked_ = -1;
  int lastIndex_ = -1;
  std::vector<char> textBuf_;
  std::string codeText_;
  std::string codeName_;
};

// Posts the standard option error: integer arguments (code, position), TERMINAL 103.
void PostUnknownOption(Runtime& rt, int code, int position);

}  // namespace nml

// ---------------------------------------------------------------------------------------
// The run-time operations of the mathematics side.
void nml_error_push_name(const char* name);
void nml_error_pop_name(const char* name);
void nml_error_user_code(const char* onoff);
void nml_error_set_int(int k, int v);
void nml_error_set_float(int k, float v);
void nml_error_set_double(int k, double v);
void nml_error_set_complex(int k, float re, float im);
void nml_error_set_dcomplex(int k, double re, double im);
void nml_error_set_string(int k, const char* s);
void nml_error_post(int type, int code);
void nml_e1mes(int type, int code, const char* text);
int nml_error_type(int level);
int nml_error_code(int level);
int nml_error_current_type();
int nml_error_last_code();
void nml_error_set_hook(nml_error_hook hook);
void nml_e1pos(int type, int* print, int* stop);
void nml_error_options(int code, ...);
void nml_error_options(const nml_options& options);
void nml_signal_trap(int on);
int nml_signal_trap_enabled();
void nml_signal_handler(int sig);
void nml_error_traceback();
[[noreturn]] void nml_error_stop();

// Sets the stop flags of FATAL and TERMINAL of both sides of the library (mathematics and
// statistics) on or off. The program and the tests switch them off once at start.
void nml_error_set_stop_fatal(int on);

// Messages and printers (mathematics side)
const char* nml_error_message_text(long code);
const char* nml_error_code_name(long code);
void nml_error_format_message(const char* text);
void nml_error_print_stream(int type, int code, const char* name, const char* text);
void nml_error_print_box(int type, int code, const char* name, const char* text);
void nml_error_print_console(int type, int code, const char* name, const char* text);

// Runs a public routine's body between the push and the pop of its name.
template <class Body>
inline void nml_public(const char* name, Body&& body) {
  nml::Runtime::Math().RunPublic(name, static_cast<Body&&>(body));
}

// ---------------------------------------------------------------------------------------
// Storage keys, run-once flags and the unit table (process-wide).
int nml_key_create(int* key, void (*destructor)(void*));
int nml_key_set(int key, void* value);
void* nml_key_get(int key);
int nml_once(int* flag, void (*init)());
// Unit 1..3: the stream of the unit is stored through `stream`; -1..-3: the unit takes *stream.
void nml_unit(int unit, FILE** stream);

// Machine constants
double nml_dmach(int index);
float nml_amach(int index);
float nml_f_machine(int index);
int nml_i_machine(int index);

// Small utilities
float nml_f_max(float a, float b);
double nml_d_max(double a, double b);
float nml_f_min(float a, float b);
double nml_d_min(double a, double b);
float nml_f_vmax(int n, ...);
double nml_d_vmax(int n, ...);
float nml_f_vmin(int n, ...);
double nml_d_vmin(int n, ...);
void nml_f_scaled_copy(int n, float a, const float x[], int incx, float y[], int incy);
bool nml_d_isnan(double x);

namespace nml {

// Pushes a routine's name on entry and pops it on every way out.
struct NameScope {
  explicit NameScope(const char* n) : name(n) { nml_error_push_name(name); }
  ~NameScope() { nml_error_pop_name(name); }
  NameScope(const NameScope&) = delete;
  NameScope& operator=(const NameScope&) = delete;
  const char* name;
};

// The smallest positive float whose reciprocal does not overflow.
inline float SafeMinimum() {
  float small = nml_amach(1);
  const float big = nml_amach(2);
  if (small * big < 1.0f) small = 1.0f / big;
  return small;
}

}  // namespace nml
