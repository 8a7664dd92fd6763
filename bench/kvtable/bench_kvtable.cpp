// Writes and reads a 101 x 4000 KV table (the document's table size) and prints how its
// times compare with numpy's savetxt and loadtxt on the same file.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "base/series/KZ_MultiVarObj.h"

namespace {

constexpr int kColumns = 101;
constexpr int kRows = 4000;
// KVDATA02, SAMPLES, titles, factors, PLOT_TYPE and PLOT_XY come before the rows.
constexpr int kHeadLines = 6;

const std::string& TablePath() {
  static const std::string path = std::string(TV_BENCH_TMPDIR) + "/bench_table.kv0";
  return path;
}

void FillTable(KZ_MultiVarObj& t) {
  t.SetSize(kColumns, kRows);
  t.m_nColumns = kColumns;
  t.m_strHeader[0].clear();
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) t.m_ppData[c][r] = std::sin(0.001 * r * (c + 1)) * (c + 1) * 10.0;
    t.m_Columns[c].SetAll(kRows, 0, 0, "col" + std::to_string(c), "u", c ? 2 : 1);
  }
}

void BM_WriteKV(benchmark::State& state) {
  KZ_MultiVarObj t;
  FillTable(t);
  for (auto _ : state)
    if (!t.SaveKVData(TablePath())) state.SkipWithError("cannot write the table");
}

void BM_ReadKV(benchmark::State& state) {
  {
    KZ_MultiVarObj t;
    FillTable(t);
    t.SaveKVData(TablePath());
  }
  KZ_MultiVarObj t;
  for (auto _ : state)
    if (t.LoadFile(TablePath()) != kRows) state.SkipWithError("cannot read the table");
}

BENCHMARK(BM_WriteKV)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadKV)->Unit(benchmark::kMillisecond);

class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        seconds[r.benchmark_name()] = r.GetAdjustedRealTime() / 1000.0;  // reported in ms
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

// numpy's times from the script beside this file; empty when Python or numpy is missing.
std::map<std::string, double> NumpyTimes() {
  std::map<std::string, double> out;
  const std::string cmd = "/usr/bin/python3 " + std::string(TV_NUMPY_SCRIPT) + " " + TablePath() + " " +
                          std::to_string(kHeadLines) + " " + std::to_string(kRows) + " 5";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char name[32];
  double s;
  while (std::fscanf(p, "%31s %lf", name, &s) == 2) out[name] = s;
  pclose(p);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto numpy = NumpyTimes();
  if (numpy.count("loadtxt") == 0 || numpy.count("savetxt") == 0) {
    std::printf("numpy times not available (needs /usr/bin/python3 with numpy)\n");
    return 0;
  }
  auto ratio = [&](const char* ours, const char* theirs) {
    const auto it = reporter.seconds.find(ours);
    if (it == reporter.seconds.end()) return;
    std::printf("%-11s %8.2f ms   numpy %-8s %8.2f ms   ratio (ours / numpy) %.3f\n", ours, it->second * 1e3, theirs,
                numpy.at(theirs) * 1e3, it->second / numpy.at(theirs));
  };
  std::printf("\n%d x %d KV table\n", kColumns, kRows);
  ratio("BM_WriteKV", "savetxt");
  ratio("BM_ReadKV", "loadtxt");
  return 0;
}
