// Time per event of picking all 16 channels of a 16 x 8192-sample record: per channel
// the dithered series in hundreds of counts, the single-model AIC pick over the whole
// trace, then the median-filtered 256-sample window with the two-stage pick and the
// quality ratio. The second benchmark adds the Householder change-point pick of order 5
// that the waveform record runs first when its pick options ask for an AR order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numerics/KZ_TSanaAR.h"

namespace {

constexpr int kChannels = 16;
constexpr int kSamples = 8192;

struct Event {
  std::vector<std::vector<float>> ch;
  std::vector<float> dither;
};

const Event& TheEvent() {
  static const Event e = [] {
    Event ev;
    int seed = -11;
    ev.dither.resize(kSamples);
    for (float& d : ev.dither) d = KZ_TSana::GaussDeviate(&seed);
    for (int c = 0; c < kChannels; ++c) {
      std::vector<float> v(kSamples);
      const int onset = 2500 + 150 * c;
      for (int i = 0; i < kSamples; ++i) {
        double s = 30.0 * KZ_TSana::GaussDeviate(&seed);
        if (i >= onset)
          s += 600.0 * std::exp(-(i - onset) / 800.0) * std::sin(0.4 * (i - onset)) +
               200.0 * KZ_TSana::GaussDeviate(&seed);
        v[i] = static_cast<float>(std::round(s));
      }
      ev.ch.push_back(std::move(v));
    }
    return ev;
  }();
  return e;
}

// The work arrays a waveform record keeps between picks.
struct Picker {
  KZ_TSanaAR ar;
  KZ_Ary_ series{16420}, errNoise{16420}, errSignal{16420};
  std::vector<double> aic = std::vector<double>(16420);

  int Pick(const std::vector<float>& x, const std::vector<float>& dither, bool changePoint) {
    const int n = kSamples - 1 - 24;
    for (int i = 0; i < n; ++i) series[i + 1] = (x[i] + dither[i]) * 0.01;
    KZ_TSana::RemoveMean(&series, n, n / 4);
    if (changePoint) ar.PickChangePointAIC(&series, n, 5, 1, 50, n - 50, n, aic.data(), 1);
    int P = 0;
    double q = 0;
    if (ar.PickOnsetAIC(&series, n, 64, &P, &q, &errNoise, aic.data()) != 0) return 0;
    const int w = std::clamp(P - 128, 1, n - 256);
    for (int i = 1; i <= 256; ++i) series[i] = series[w + i - 1];
    KZ_TSana::MedianFilter(&series, 256, 4);
    KZ_TSana::RemoveMean(&series, 256, 256);
    int p1, p2, none1, none2;
    double q1, q2;
    ar.AutoPickOnset(&series, 256, 64, &p1, &q1, &none1, &p2, &q2, &none2, &errNoise, &errSignal,
                     aic.data());
    if (none1 == 0 || none2 == 0) {
      int cand = P;
      bool replaced = false;
      if (none1 == 0 && p1 + w - 1 < cand) cand = p1 + w - 1, replaced = true;
      if (none2 == 0 && p2 + w - 1 < cand) cand = p2 + w - 1, replaced = true;
      if (!replaced && P >= w + 64 && P <= w + 192)
        ar.PickQualityRatio(&series, 256, 64, P - w + 1, &q, &errSignal);
      P = cand;
    }
    return P;
  }
};

void PickEvent(benchmark::State& state, bool changePoint) {
  const Event& ev = TheEvent();
  Picker picker;
  long sum = 0;
  for (auto _ : state) {
    for (int c = 0; c < kChannels; ++c) sum += picker.Pick(ev.ch[c], ev.dither, changePoint);
    benchmark::DoNotOptimize(sum);
  }
  state.SetLabel("time per event of 16 channels");
}

void BM_PickEvent_AIC(benchmark::State& state) { PickEvent(state, false); }
void BM_PickEvent_ChangePointAndAIC(benchmark::State& state) { PickEvent(state, true); }

}  // namespace

BENCHMARK(BM_PickEvent_AIC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickEvent_ChangePointAndAIC)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
