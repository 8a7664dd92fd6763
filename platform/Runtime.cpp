#include "platform/Runtime.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

namespace plat {
namespace {

std::mutex g_hooksMutex;
EnvLookup g_env;
TextSink g_stderr;
ExitHook g_exit;

}  // namespace

std::optional<std::string> GetEnv(const std::string& name) {
  EnvLookup env;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    env = g_env;
  }
  if (env) return env(name);
  if (const char* v = std::getenv(name.c_str())) return std::string(v);
  return std::nullopt;
}

void SetEnvLookup(EnvLookup lookup) {
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  g_env = std::move(lookup);
}

std::optional<std::string> SearchPath(const std::string& list, const std::string& name) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    start = end + 1;
    if (!folder.empty() && folder[0] == '$') {
      auto v = GetEnv(folder.substr(1));
      if (!v) continue;
      folder = *v;
    }
    if (folder.empty()) continue;
    std::filesystem::path p = std::filesystem::path(folder) / name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(p, ec)) return p.string();
  }
  return std::nullopt;
}

void WriteStdErr(const std::string& text) {
  TextSink sink;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    sink = g_stderr;
  }
  if (sink) {
    sink(text);
  } else {
    std::cerr << text;
    std::cerr.flush();
  }
}

void SetStdErrSink(TextSink sink) {
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  g_stderr = std::move(sink);
}

void ProcessExit(int status) {
  ExitHook hook;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    hook = g_exit;
  }
  if (hook) hook(status);
  std::exit(status);
}

void SetExitHook(ExitHook hook) {
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  g_exit = std::move(hook);
}

std::string ProgramPath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string ProgramFolder() {
  std::string p = ProgramPath();
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : p.substr(0, slash);
}

double WallClockSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

long long PerformanceCounter() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

long long PerformanceFrequency() { return 1000000000LL; }

void SleepSeconds(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::optional<std::int64_t> MakeLocalTime(const std::tm& local) {
  std::tm t = local;
  t.tm_wday = -1;  // mktime's -1 is also a valid time (one second before 1970 in UTC)
  std::time_t r = std::mktime(&t);
  if (r == static_cast<std::time_t>(-1) && t.tm_wday == -1) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::optional<std::tm> LocalTime(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm out{};
  if (!localtime_r(&t, &out)) return std::nullopt;
  return out;
}

std::optional<std::tm> UtcTime(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm out{};
  if (!gmtime_r(&t, &out)) return std::nullopt;
  return out;
}

}  // namespace plat
