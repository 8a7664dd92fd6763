// Decodes a large baseline and a large progressive JPEG with our codec and with
// libjpeg-turbo (SIMD off, integer IDCT, no fancy upsampling: the same arithmetic as
// ours), then prints how many times slower ours is. Target: within 2x for baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"
#include "imagefiles/jpeg_codec.h"

namespace {

constexpr int kWidth = 3072;
constexpr int kHeight = 2048;

// A picture with the statistics of a photograph as far as the coder is concerned:
// smooth shading, edges, fine texture and sensor-like noise.
std::vector<std::uint8_t> MakeEncodedImage(int mode) {
  ImageDescriptor d{};
  img_alloc(&d, kWidth, kHeight, 24);
  std::uint32_t seed = 12345;
  auto noise = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 24) & 15) - 8;
  };
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = img_row(&d, y);
    for (int x = 0; x < kWidth; ++x) {
      const double fx = x / static_cast<double>(kWidth), fy = y / static_cast<double>(kHeight);
      const double shade = 128 + 90 * std::sin(6.0 * fx + 3.0 * fy) * std::cos(4.0 * fy);
      const double texture = 25 * std::sin(x * 0.37) * std::sin(y * 0.23);
      const bool edge = ((x / 97) + (y / 61)) % 5 == 0;
      int r = static_cast<int>(shade + texture) + noise() + (edge ? 60 : 0);
      int g = static_cast<int>(shade * 0.8 + 40 * fy * 255 / 255) + noise();
      int b = static_cast<int>(255 - shade + texture * 0.5) + noise();
      row[3 * x] = static_cast<BYTE>(std::clamp(b, 0, 255));
      row[3 * x + 1] = static_cast<BYTE>(std::clamp(g, 0, 255));
      row[3 * x + 2] = static_cast<BYTE>(std::clamp(r, 0, 255));
    }
  }
  ImgMem out = nullptr;
  if (jpeg_save_stream(nullptr, &out, 85, mode, &d) != 0) std::abort();
  img_free(&d);
  std::vector<std::uint8_t> bytes(ImgMemLock(out), ImgMemLock(out) + ImgMemSize(out));
  ImgMemFree(out);
  return bytes;
}

const std::vector<std::uint8_t>& Baseline() {
  static const std::vector<std::uint8_t> b = MakeEncodedImage(0);
  return b;
}
const std::vector<std::uint8_t>& Progressive() {
  static const std::vector<std::uint8_t> p = MakeEncodedImage(1);
  return p;
}

void DecodeOurs(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  ImageDescriptor d{};
  img_alloc(&d, kWidth, kHeight, 24);
  for (auto _ : state) {
    if (jpeg_load_stream(nullptr, file.data(), file.size(), &d) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(d.pixels[0]);
  }
  img_free(&d);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

void DecodeLibjpeg(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) * kWidth * 3;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

void BM_Baseline_Ours(benchmark::State& s) { DecodeOurs(s, Baseline()); }
void BM_Baseline_Libjpeg(benchmark::State& s) { DecodeLibjpeg(s, Baseline()); }
void BM_Progressive_Ours(benchmark::State& s) { DecodeOurs(s, Progressive()); }
void BM_Progressive_Libjpeg(benchmark::State& s) { DecodeLibjpeg(s, Progressive()); }
BENCHMARK(BM_Baseline_Ours)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Baseline_Libjpeg)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Progressive_Ours)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Progressive_Libjpeg)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Remembers the fastest CPU time per iteration of every benchmark (over repetitions, which
// damp the noise of a shared machine) for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
      const std::string name = r.run_name.function_name;
      const double t = r.GetAdjustedCPUTime();
      if (!times.count(name) || t < times[name]) times[name] = t;
    }
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  // Must be set before libjpeg-turbo first looks for SIMD support.
  setenv("JSIMD_FORCENONE", "1", 1);
  benchmark::Initialize(&argc, argv);
  std::printf("image %d x %d: baseline %zu bytes, progressive %zu bytes\n", kWidth, kHeight,
              Baseline().size(), Progressive().size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* kind : {"Baseline", "Progressive"}) {
    const std::string ours = std::string("BM_") + kind + "_Ours";
    const std::string theirs = std::string("BM_") + kind + "_Libjpeg";
    if (reporter.times.count(ours) && reporter.times.count(theirs))
      std::printf("%s: ours / libjpeg-turbo (no SIMD) = %.2f\n", kind,
                  reporter.times[ours] / reporter.times[theirs]);
  }
  benchmark::Shutdown();
  return 0;
}
