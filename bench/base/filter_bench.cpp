// Filtering one record of 16 channels x 8192 float samples, forward only, against scipy's
// sosfilt running the very same sections (sosfilt_bench.py beside this file, run with
// Debian's Python; it times itself and writes its output back for the check):
//   KZ_IIRApply: the fourth-order Butterworth band-pass of template matching (100-300 kHz
//   at 1 MHz sampling), as designed by KZ_IIRDesign;
//   KZ_IIRFilter::Filter: a band-pass designed from edge frequencies and deviations.
// Both of ours keep float samples between sections: their output is checked against the
// peer run section by section with that rounding (equal within 1e-9 of the peak), and
// against the peer's own double-precision output (within the float rounding, 1e-6).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/numerics/KZ_IIRDesign.h"
#include "base/numerics/KZ_IIRFilter.h"
#include "common/RatioReporter.h"
#include "common/TempFolder.h"

namespace {

constexpr int kChannels = 16;
constexpr int kSamples = 8192;

std::vector<float> Record() {
  std::vector<float> v(static_cast<std::size_t>(kChannels) * kSamples);
  for (int c = 0; c < kChannels; ++c)
    for (int i = 0; i < kSamples; ++i)
      v[static_cast<std::size_t>(c) * kSamples + i] =
          static_cast<float>(std::sin(0.2 * i + c) + 0.3 * std::sin(0.05 * i * (c + 1)));
  return v;
}

struct Designs {
  double sn[3 * KZ_IIR_MAX_SECTIONS] = {}, sd[3 * KZ_IIR_MAX_SECTIONS] = {};
  int ns = 0;
  KZ_IIRFilter filter;
  Designs() {
    KZ_IIRDesign(4, "BP", "BU", 1.0, 1.0, 100e3, 300e3, 1e-6, sn, sd, &ns);
    filter.Design(2, 0, 0.1f, 0.3f, 0.45f, 0.5f, 5.0f);
  }
};

const Designs& TheDesigns() {
  static const Designs d;
  return d;
}

std::vector<float> ApplyRecord(const std::vector<float>& in) {
  const Designs& d = TheDesigns();
  std::vector<float> data = in;
  for (int c = 0; c < kChannels; ++c)
    KZ_IIRApply(data.data() + static_cast<std::size_t>(c) * kSamples, kSamples, 0, d.sn, d.sd,
                d.ns);
  return data;
}

void FilterRecord(const std::vector<float>& in, std::vector<float>& out) {
  const KZ_IIRFilter& f = TheDesigns().filter;
  for (int c = 0; c < kChannels; ++c)
    f.Filter(in.data() + static_cast<std::size_t>(c) * kSamples,
             out.data() + static_cast<std::size_t>(c) * kSamples, kSamples);
}

void BM_KZ_IIRApply_record(benchmark::State& state) {
  const auto in = Record();
  for (auto _ : state) {
    std::vector<float> data = ApplyRecord(in);
    benchmark::DoNotOptimize(data.data());
  }
  state.counters["sections"] = TheDesigns().ns;
}

void BM_KZ_IIRFilter_record(benchmark::State& state) {
  const auto in = Record();
  std::vector<float> out(in.size());
  for (auto _ : state) {
    FilterRecord(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["sections"] = TheDesigns().filter.m_nSections;
}

// Writes the record and both filters' sections for the peer, runs it, and returns its
// seconds per pass by filter name (empty when Python or scipy is missing).
std::map<std::string, double> RunPeer(const std::string& dir, int reps) {
  const Designs& d = TheDesigns();
  const auto in = Record();
  std::ofstream(dir + "/record.txt") << kChannels << " " << kSamples << "\n";
  std::ofstream(dir + "/record.f32", std::ios::binary)
      .write(reinterpret_cast<const char*>(in.data()),
             static_cast<std::streamsize>(in.size() * sizeof(float)));
  {
    std::ofstream s(dir + "/apply.sos"), chain(dir + "/apply.chain");
    s.precision(17);
    chain.precision(17);
    chain << "gain 1\n";
    for (int k = 0; k < d.ns; ++k) {  // KZ_IIRApply takes a0 as 1
      s << d.sn[3 * k] << " " << d.sn[3 * k + 1] << " " << d.sn[3 * k + 2] << " 1 "
        << d.sd[3 * k + 1] << " " << d.sd[3 * k + 2] << "\n";
      chain << d.sn[3 * k] << " " << d.sn[3 * k + 1] << " " << d.sn[3 * k + 2] << " 1 "
            << d.sd[3 * k + 1] << " " << d.sd[3 * k + 2] << "\n";
    }
  }
  {
    std::ofstream s(dir + "/filter.sos"), chain(dir + "/filter.chain");
    s.precision(17);
    chain.precision(17);
    const KZ_IIRFilter& f = d.filter;
    chain << "gain " << f.m_fGain << "\n";
    for (int k = 0; k < f.m_nSections; ++k) {
      const double* c = f.m_pSections + 4 * k;
      const double g = k == 0 ? f.m_fGain : 1.0;  // the overall gain, on the first section
      s << g << " " << g * c[0] << " " << g * c[1] << " 1 " << c[2] << " " << c[3] << "\n";
      chain << "1 " << c[0] << " " << c[1] << " 1 " << c[2] << " " << c[3] << "\n";
    }
  }
  std::map<std::string, double> out;
  const std::string cmd =
      "/usr/bin/python3 " + std::string(TV_SOSFILT_SCRIPT) + " " + dir + " " + std::to_string(reps);
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char name[32];
  double s;
  while (std::fscanf(p, "%31s %lf", name, &s) == 2) out[name] = s;
  pclose(p);
  return out;
}

// Largest |ours - peer| over the peer's peak, from the peer's float64 output file; -1 when
// it is missing.
double Mismatch(const std::string& path, const std::vector<float>& ours, double* peak) {
  std::vector<double> peer(ours.size());
  std::ifstream f(path, std::ios::binary);
  f.read(reinterpret_cast<char*>(peer.data()),
         static_cast<std::streamsize>(peer.size() * sizeof(double)));
  if (!f) return -1.0;
  double diff = 0.0;
  *peak = 0.0;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    diff = std::max(diff, std::fabs(ours[i] - peer[i]));
    *peak = std::max(*peak, std::fabs(peer[i]));
  }
  return diff / *peak;
}

void CheckAgainstPeer(const std::string& dir, const std::string& name,
                      const std::vector<float>& ours) {
  double peak = 0.0;
  const double chain = Mismatch(dir + "/" + name + ".chain.out", ours, &peak);
  char detail[128];
  std::snprintf(detail, sizeof detail, "largest difference %.2g of the peak %.3g, limit 1e-9",
                chain, peak);
  tv_bench::Check(chain >= 0.0 && chain <= 1e-9,
                  name + " output equals sosfilt's with float samples between sections", detail);
  const double plain = Mismatch(dir + "/" + name + ".out", ours, &peak);
  std::snprintf(detail, sizeof detail, "largest difference %.2g of the peak %.3g, limit 1e-6",
                plain, peak);
  tv_bench::Check(plain >= 0.0 && plain <= 1e-6, name + " output equals sosfilt's in double",
                  detail);
}

}  // namespace

BENCHMARK(BM_KZ_IIRApply_record)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KZ_IIRFilter_record)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string dir = tv_bench::WorkDir();
  const auto peer = RunPeer(dir, 5);
  if (peer.empty()) {
    std::printf("peer not run (needs /usr/bin/python3 with scipy)\n");
    benchmark::Shutdown();
    return 1;
  }
  const auto in = Record();
  std::vector<float> filtered(in.size());
  FilterRecord(in, filtered);
  CheckAgainstPeer(dir, "apply", ApplyRecord(in));
  CheckAgainstPeer(dir, "filter", filtered);
  for (const auto& [name, s] : peer) reporter.AddSeconds("sosfilt_" + name, s);
  const Designs& d = TheDesigns();
  std::printf("\nOne record of %d channels x %d samples, forward, against scipy's sosfilt:\n",
              kChannels, kSamples);
  reporter.PrintRatio("KZ_IIRApply (" + std::to_string(d.ns) + " sections)",
                      "BM_KZ_IIRApply_record", "sosfilt_apply");
  reporter.PrintRatio(
      "KZ_IIRFilter::Filter (" + std::to_string(d.filter.m_nSections) + " sections)",
      "BM_KZ_IIRFilter_record", "sosfilt_filter");
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
