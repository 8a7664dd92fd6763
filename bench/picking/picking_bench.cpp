// Time per event of picking all 16 channels of a 16 x 8192-sample record with the waveform
// record's automatic picker: per channel the dithered series in hundreds of counts, the
// single-model AIC pick over the whole trace, then the median-filtered 256-sample window
// with the two-stage pick and the quality ratio. The second benchmark adds the Householder
// change-point pick of order 5 over the whole trace. The onsets are spread over the record,
// between samples, and every pick is checked against its true onset before timing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_TSanaAR.h"
#include "common/RatioReporter.h"

namespace {

constexpr int kChannels = 16;
constexpr int kSamples = 8192;
constexpr double kNoise = 30.0;

// Onset of channel c (fractional sample index of the first motion), from sample 300 to
// sample 7700, in an order that is not the channel order.
double Onset(int c) { return 300.37 + 493.3 * ((c * 7) % kChannels); }

// Noise of 30 counts, then from the onset a decaying wavelet of 600 counts with coda noise.
void FillEvent(CAEWave& w) {
  w.Allocate(kChannels, kSamples, 10);
  int seed = -11;
  for (int c = 0; c < kChannels; ++c) {
    for (int i = 0; i < kSamples; ++i) {
      double s = kNoise * KZ_TSana::GaussDeviate(&seed);
      const double tau = i - Onset(c);
      if (tau > 0)
        s += 600.0 * std::exp(-tau / 800.0) * std::sin(0.4 * tau) +
             200.0 * (1.0 - std::exp(-tau / 50.0)) * KZ_TSana::GaussDeviate(&seed);
      w.m_pSamples[static_cast<std::size_t>(c) * kSamples + i] =
          static_cast<std::int16_t>(std::lround(s));
    }
  }
}

CAEWave& TheEvent() {
  static CAEWave* w = [] {
    auto* e = new CAEWave;
    FillEvent(*e);
    return e;
  }();
  return *w;
}

// The change point of channel c over the whole trace, on the samples in hundreds of counts
// with a dither of a quarter of the noise, as the picker forms its series.
int ChangePoint(CAEWave& w, int c, KZ_Ary_& series, std::vector<double>& aic) {
  const int n = kSamples - 1 - 24;
  const std::int16_t* x = w.m_pSamples.data() + static_cast<std::size_t>(c) * kSamples;
  const float scale = static_cast<float>(0.25 * kNoise / 100.0);
  for (int i = 0; i < n; ++i) series[i + 1] = (x[i] + scale * w.m_pDither[i]) * 0.01;
  KZ_TSana::RemoveMean(&series, n, n / 4);
  KZ_TSanaAR ar;
  return ar.PickChangePointAIC(&series, n, 5, 1, 50, n - 50, n, aic.data(), 1) + 49;
}

// Every pick within 2 samples of the last sample before its onset; otherwise the timing
// would be of a picker that does not find the onsets.
bool CheckPicks() {
  CAEWave& w = TheEvent();
  KZ_Ary_ series(AEW_WORK_SIZE);
  std::vector<double> aic(AEW_WORK_SIZE);
  bool ok = true;
  for (int c = 0; c < kChannels; ++c) {
    const int truth = static_cast<int>(std::floor(Onset(c)));
    const int pick = w.AutoPick(c, 0, 0, 0);
    const int change = ChangePoint(w, c, series, aic);
    if (std::abs(pick - truth) > 2 || std::abs(change - truth) > 2) {
      std::fprintf(stderr, "channel %d: onset after sample %d, picked %d, change point %d\n", c,
                   truth, pick, change);
      ok = false;
    }
  }
  return ok;
}

// Checked once, before the first timing.
bool PicksAreRight() {
  static const bool ok = CheckPicks();
  return ok;
}

void PickEvent(benchmark::State& state, bool changePoint) {
  if (!PicksAreRight()) {
    state.SkipWithError("picks off their onsets");
    return;
  }
  CAEWave& w = TheEvent();
  KZ_Ary_ series(AEW_WORK_SIZE);
  std::vector<double> aic(AEW_WORK_SIZE);
  long sum = 0;
  for (auto _ : state) {
    for (int c = 0; c < kChannels; ++c) {
      if (changePoint) sum += ChangePoint(w, c, series, aic);
      sum += w.AutoPick(c, 0, 0, 0);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetLabel("time per event of 16 channels");
}

void BM_PickEvent_AIC(benchmark::State& state) { PickEvent(state, false); }
void BM_PickEvent_ChangePointAndAIC(benchmark::State& state) { PickEvent(state, true); }

}  // namespace

BENCHMARK(BM_PickEvent_AIC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickEvent_ChangePointAndAIC)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  tv_bench::Check(PicksAreRight(), "picks and change points against the true onsets",
                  "limit 2 samples from the last sample before each onset");
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
