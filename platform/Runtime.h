// Run-time services the core libraries call in place of the C run time and Win32:
// environment, search path, the standard-error stream, process exit, locks and clocks.
// Each service that a test needs to observe can be replaced.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace plat {

// Environment lookup; tests may install their own table.
using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::optional<std::string> GetEnv(const std::string& name);
void SetEnvLookup(EnvLookup lookup);  // empty function restores the process environment

// Looks for `name` in a ";"-separated list of folders in which "$VAR" is replaced by the
// variable's value; returns the first existing path, or nothing.
std::optional<std::string> SearchPath(const std::string& list, const std::string& name);

// Everything the core writes to the standard-error stream goes through this sink.
using TextSink = std::function<void(const std::string& text)>;
void WriteStdErr(const std::string& text);
void SetStdErrSink(TextSink sink);  // empty function restores std::cerr

// Ends the process with `status` through the exit hook (default: std::exit).
// A test hook may throw to observe the status instead.
using ExitHook = std::function<void(int status)>;
[[noreturn]] void ProcessExit(int status);
void SetExitHook(ExitHook hook);  // empty function restores std::exit

// The running program's file (GetModuleFileName) and its folder, without a trailing
// separator. Empty when the system cannot tell.
std::string ProgramPath();
std::string ProgramFolder();

// The Win32 critical section: a recursive lock.
class CriticalSection {
 public:
  void Enter() { m_.lock(); }
  void Leave() { m_.unlock(); }
  bool TryEnter() { return m_.try_lock(); }

 private:
  std::recursive_mutex m_;
};

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CriticalSectionLock() { cs_.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& cs_;
};

// Seconds since 1970 (UTC) of the wall clock.
double WallClockSeconds();
// A monotonic high-resolution counter and its frequency (counts per second).
long long PerformanceCounter();
long long PerformanceFrequency();
// Waits about `seconds` (used for short pauses between steps).
void SleepSeconds(double seconds);

// Local-time conversions (mktime/localtime) of 64-bit seconds since 1970. Times before
// 1970 convert like any other (negative seconds). MakeLocalTime normalises out-of-range
// fields as mktime does and sets tm_wday/tm_yday; nothing when the time cannot be
// represented.
std::optional<std::int64_t> MakeLocalTime(const std::tm& local);
std::optional<std::tm> LocalTime(std::int64_t seconds);
std::optional<std::tm> UtcTime(std::int64_t seconds);

}  // namespace plat
