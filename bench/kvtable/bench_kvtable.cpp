// Writes and reads a 101 x 4000 KV table (the document's table size) and prints how its
// times compare with numpy's savetxt and loadtxt on the same file; checks that the values
// read back are the values written (to the file's printed precision) and that numpy
// reads the same values from it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "base/series/KZ_MultiVarObj.h"
#include "common/RatioReporter.h"
#include "common/TempFolder.h"

namespace {

constexpr int kColumns = 101;
constexpr int kRows = 4000;
// KVDATA02, SAMPLES, titles, factors, PLOT_TYPE and PLOT_XY come before the rows.
constexpr int kHeadLines = 6;

const std::string& TablePath() {
  static const std::string path = tv_bench::WorkDir() + "/bench_table.kv0";
  return path;
}

void FillTable(KZ_MultiVarObj& t) {
  t.SetSize(kColumns, kRows);
  t.m_nColumns = kColumns;
  t.m_strHeader[0].clear();
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r)
      t.m_ppData[c][r] = std::sin(0.001 * r * (c + 1)) * (c + 1) * 10.0;
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

// numpy's times from the script beside this file; empty when Python or numpy is missing.
std::map<std::string, double> NumpyTimes() {
  std::map<std::string, double> out;
  const std::string cmd = "/usr/bin/python3 " + std::string(TV_NUMPY_SCRIPT) + " " + TablePath() +
                          " " + std::to_string(kHeadLines) + " " + std::to_string(kRows) + " 5";
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
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  {
    KZ_MultiVarObj t;
    FillTable(t);
    t.SaveKVData(TablePath());
  }
  const auto numpy = NumpyTimes();
  if (numpy.count("loadtxt") == 0 || numpy.count("savetxt") == 0) {
    std::printf("numpy times not available (needs /usr/bin/python3 with numpy)\n");
    return 1;
  }
  // Both read the same numbers from the file ours wrote.
  KZ_MultiVarObj t;
  const int rows = t.LoadFile(TablePath());
  double sum = 0.0;
  long count = 0;
  for (int c = 0; c < t.m_nColumns; ++c)
    for (int r = 0; r < rows; ++r, ++count) sum += t.m_ppData[c][r];
  // Read back against written: each value within a millionth of its column's amplitude.
  {
    KZ_MultiVarObj w;
    FillTable(w);
    double worst = 0.0;
    int bad = 0;
    const bool shape = t.m_nColumns == kColumns && rows == kRows;
    for (int c = 0; shape && c < kColumns; ++c)
      for (int r = 0; r < kRows; ++r) {
        const double d = std::fabs(t.m_ppData[c][r] - w.m_ppData[c][r]) / ((c + 1) * 10.0);
        worst = std::max(worst, d);
        bad += !(d <= 1e-6);
      }
    char what[160];
    std::snprintf(what, sizeof what,
                  "%d x %d read, %d values off, largest difference %.3g of the amplitude",
                  t.m_nColumns, rows, bad, worst);
    tv_bench::Check(shape && bad == 0, "values read back equal the values written", what);
  }
  const double peerSum = numpy.count("sum") ? numpy.at("sum") : 0.0;
  const long peerCount = numpy.count("count") ? static_cast<long>(numpy.at("count")) : -1;
  char detail[160];
  std::snprintf(detail, sizeof detail, "ours %ld values, sum %.12g; numpy %ld values, sum %.12g",
                count, sum, peerCount, peerSum);
  tv_bench::Check(count == peerCount && std::fabs(sum - peerSum) <= 1e-9 * std::fabs(peerSum),
                  "values read equal numpy's", detail);
  reporter.AddSeconds("savetxt", numpy.at("savetxt"));
  reporter.AddSeconds("loadtxt", numpy.at("loadtxt"));
  std::printf("\n%d x %d KV table:\n", kColumns, kRows);
  reporter.PrintRatio("write against numpy savetxt", "BM_WriteKV", "savetxt");
  reporter.PrintRatio("read against numpy loadtxt", "BM_ReadKV", "loadtxt");
  return tv_bench::ExitCode();
}
