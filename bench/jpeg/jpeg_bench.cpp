// Decodes a large baseline and a large progressive JPEG with our codec and with
// libjpeg-turbo (integer IDCT, no fancy upsampling: the same arithmetic as ours), checks
// that every pixel agrees, and prints how many times slower ours is than libjpeg-turbo as
// users run it (SIMD on) and than its scalar code (SIMD off, measured in a child process:
// the library reads JSIMD_FORCENONE once per process). Target: within 2x for baseline.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/RatioReporter.h"
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
    if (jpeg_load_stream(nullptr, file.data(), file.size(), &d) != 0)
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(d.pixels[0]);
  }
  img_free(&d);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

void LibjpegDecode(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& pixels) {
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
}

void DecodeLibjpeg(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    LibjpegDecode(file, pixels);
    benchmark::DoNotOptimize(pixels[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

// Compares our decoded picture (BGR rows, bottom-up) with libjpeg-turbo's (RGB rows,
// top-down). The two share the integer IDCT and the plain upsampling; their colour
// conversions differ only in rounding the chroma terms (ours toward zero, libjpeg's down),
// so green must be equal and red and blue ours - theirs 0 or +1. Returns the bytes
// outside that, or -1 when ours fails; *ones receives the count of +1 differences.
long PixelMismatches(const std::vector<std::uint8_t>& file, long* ones) {
  ImageDescriptor d{};
  img_alloc(&d, kWidth, kHeight, 24);
  long bad = -1;
  *ones = 0;
  if (jpeg_load_stream(nullptr, file.data(), file.size(), &d) == 0) {
    std::vector<std::uint8_t> peer(static_cast<std::size_t>(kWidth) * kHeight * 3);
    LibjpegDecode(file, peer);
    bad = 0;
    for (int y = 0; y < kHeight; ++y) {
      const BYTE* ours = img_row(&d, static_cast<DWORD>(y));
      const std::uint8_t* theirs = peer.data() + static_cast<std::size_t>(y) * kWidth * 3;
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) {
          const int diff = ours[3 * x + 2 - c] - theirs[3 * x + c];
          if (diff == 1 && c != 1)
            ++*ones;
          else if (diff != 0)
            ++bad;
        }
    }
  }
  img_free(&d);
  return bad;
}

void BM_Baseline_Ours(benchmark::State& s) { DecodeOurs(s, Baseline()); }
void BM_Baseline_Libjpeg(benchmark::State& s) { DecodeLibjpeg(s, Baseline()); }
void BM_Progressive_Ours(benchmark::State& s) { DecodeOurs(s, Progressive()); }
void BM_Progressive_Libjpeg(benchmark::State& s) { DecodeLibjpeg(s, Progressive()); }
BENCHMARK(BM_Baseline_Ours)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Baseline_Libjpeg)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Progressive_Ours)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Progressive_Libjpeg)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  std::printf("image %d x %d: baseline %zu bytes, progressive %zu bytes\n", kWidth, kHeight,
              Baseline().size(), Progressive().size());
  // The scalar peer first, in a child that switches SIMD off before libjpeg-turbo starts;
  // it reports its pixel checks and median times through a pipe, printing nothing else.
  int fds[2];
  if (pipe(fds) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    setenv("JSIMD_FORCENONE", "1", 1);
    std::ostringstream quiet;
    tv_bench::RatioReporter r;
    r.SetOutputStream(&quiet);
    r.SetErrorStream(&quiet);
    benchmark::RunSpecifiedBenchmarks(&r, "_Libjpeg");
    std::string out;
    for (const char* kind : {"Baseline", "Progressive"}) {
      long ones = 0;
      const long bad = PixelMismatches(kind[0] == 'B' ? Baseline() : Progressive(), &ones);
      out += std::string("pixels ") + kind + " " + std::to_string(bad) + " " +
             std::to_string(ones) + "\n";
      const std::string name = std::string("BM_") + kind + "_Libjpeg";
      out += "time " + name + " " + std::to_string(r.Seconds(name)) + "\n";
    }
    if (write(fds[1], out.data(), out.size()) < 0) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  std::string got;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    got.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);

  tv_bench::RatioReporter reporter;
  std::istringstream lines(got);
  auto checkPixels = [](const std::string& kind, const std::string& peer, long bad, long ones) {
    tv_bench::Check(bad == 0, kind + " pixels equal libjpeg-turbo's " + peer,
                    std::to_string(bad) + " bytes differ beyond the chroma rounding, " +
                        std::to_string(ones) + " red or blue bytes one above");
  };
  std::string what, name;
  while (lines >> what >> name) {
    if (what == "time") {
      double s = 0;
      lines >> s;
      reporter.AddSeconds("scalar " + name, s);
    } else {
      long bad = -1, ones = 0;
      lines >> bad >> ones;
      checkPixels(name, "without SIMD", bad, ones);
    }
  }
  for (const char* kind : {"Baseline", "Progressive"}) {
    long ones = 0;
    const long bad = PixelMismatches(kind[0] == 'B' ? Baseline() : Progressive(), &ones);
    checkPixels(kind, "with SIMD", bad, ones);
  }
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nDecoding %d x %d pixels:\n", kWidth, kHeight);
  for (const char* kind : {"Baseline", "Progressive"}) {
    const std::string ours = std::string("BM_") + kind + "_Ours";
    const std::string theirs = std::string("BM_") + kind + "_Libjpeg";
    const double simd = reporter.PrintRatio(
        std::string(kind) + ", libjpeg-turbo with SIMD (as users run it)", ours, theirs);
    const double scalar =
        reporter.PrintRatio(std::string(kind) + ", libjpeg-turbo scalar", ours, "scalar " + theirs);
    if (kind[0] == 'B') {
      tv_bench::RatioGoal("baseline within 2x of libjpeg-turbo with SIMD", simd, 2.0);
      tv_bench::RatioGoal("baseline within 2x of libjpeg-turbo scalar", scalar, 2.0);
    }
  }
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
