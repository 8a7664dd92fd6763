// A console reporter that also keeps each run's real time per iteration, so that a
// benchmark program can print ratios between runs when it is done.
#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        seconds_[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
  // Seconds per iteration of the named run, or 0 when it did not run.
  double Seconds(const std::string& name) const {
    auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> seconds_;
};
