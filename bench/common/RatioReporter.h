// The console reporter every benchmark program uses for its comparisons with a peer
// library: it keeps the real time per iteration of each run, takes the median over
// repetitions (from the runs themselves, or from the "median" aggregate when the program
// runs with --benchmark_report_aggregates_only=true) and prints each comparison as one
// line in the same form everywhere:
//   ratio ours/peer <label>: ours <t> ms, peer <t> ms, ratio <r>
// Output checks print "check <what>: ok|FAILED (<detail>)"; a failed check makes the
// program's exit status 1.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tv_bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.iterations == 0) continue;
      const double s = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      const std::string key = Key(r);
      if (r.run_type == Run::RT_Iteration)
        samples_[key].push_back(s);
      else if (r.aggregate_name == "median")
        medians_[key] = s;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Ends the table with a line of its own, so that the lines printed after it start at
  // the beginning of a line (the console reporter leaves its colour reset pending).
  void Finalize() override {
    ConsoleReporter::Finalize();
    GetOutputStream() << std::endl;
  }

  // A time measured outside this program (a peer in another language), in seconds.
  void AddSeconds(const std::string& name, double seconds) { medians_[name] = seconds; }

  // Median real seconds per iteration of the named benchmark ("BM_Name" or "BM_Name/arg"),
  // or 0 when it did not run.
  double Seconds(const std::string& name) const {
    if (auto m = medians_.find(name); m != medians_.end()) return m->second;
    auto it = samples_.find(name);
    if (it == samples_.end() || it->second.empty()) return 0.0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
  }

  // Prints the comparison line; returns ours / peer, or 0 when a side did not run.
  double PrintRatio(const std::string& label, const std::string& ours,
                    const std::string& peer) const {
    const double a = Seconds(ours), b = Seconds(peer);
    if (a <= 0.0 || b <= 0.0) {
      std::printf("ratio ours/peer %s: not measured\n", label.c_str());
      return 0.0;
    }
    std::printf("ratio ours/peer %s: ours %.4g ms, peer %.4g ms, ratio %.2f\n", label.c_str(),
                a * 1e3, b * 1e3, a / b);
    return a / b;
  }

 private:
  // The benchmark's name and arguments, without the repetition and timing suffixes.
  static std::string Key(const Run& r) {
    return r.run_name.args.empty() ? r.run_name.function_name
                                   : r.run_name.function_name + "/" + r.run_name.args;
  }
  std::map<std::string, std::vector<double>> samples_;
  std::map<std::string, double> medians_;
};

// benchmark::Initialize with three repetitions of every benchmark, run interleaved in a
// random order (so that a change of machine load weighs on both sides of a comparison
// alike), unless the command line says otherwise; the reporter takes their medians.
inline void Initialize(int* argc, char** argv) {
  static std::vector<std::string> text;
  static std::vector<char*> args;
  text.assign(argv, argv + *argc);
  auto given = [&](const char* flag) {
    for (const std::string& a : text)
      if (a.rfind(flag, 0) == 0) return true;
    return false;
  };
  if (!given("--benchmark_repetitions")) text.push_back("--benchmark_repetitions=3");
  if (!given("--benchmark_enable_random_interleaving"))
    text.push_back("--benchmark_enable_random_interleaving=true");
  args.clear();
  for (std::string& a : text) args.push_back(a.data());
  args.push_back(nullptr);
  int n = static_cast<int>(text.size());
  benchmark::Initialize(&n, args.data());
  *argc = n;
}

inline bool& AnyCheckFailed() {
  static bool failed = false;
  return failed;
}

inline void Check(bool ok, const std::string& what, const std::string& detail) {
  std::printf("check %s: %s (%s)\n", what.c_str(), ok ? "ok" : "FAILED", detail.c_str());
  if (!ok) AnyCheckFailed() = true;
}

inline int ExitCode() { return AnyCheckFailed() ? 1 : 0; }

// Prints a time goal as "goal <what>: <t> ms (limit <l> ms): met|missed"; a time of 0 (the
// benchmark did not run) prints "not measured".
inline void Goal(const std::string& what, double seconds, double limitSeconds) {
  if (seconds <= 0.0) {
    std::printf("goal %s: not measured\n", what.c_str());
    return;
  }
  std::printf("goal %s: %.4g ms (limit %.4g ms): %s\n", what.c_str(), seconds * 1e3,
              limitSeconds * 1e3, seconds < limitSeconds ? "met" : "missed");
}

// Prints a ratio goal as "goal <what>: ratio <r> (limit <l>): met|missed"; a ratio of 0 (a
// side did not run) prints "not measured".
inline void RatioGoal(const std::string& what, double ratio, double limit) {
  if (ratio <= 0.0) {
    std::printf("goal %s: not measured\n", what.c_str());
    return;
  }
  std::printf("goal %s: ratio %.2f (limit %.2g): %s\n", what.c_str(), ratio, limit,
              ratio <= limit ? "met" : "missed");
}

}  // namespace tv_bench
