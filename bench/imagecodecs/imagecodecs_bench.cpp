// Decodes a large PNG and a large LZW TIFF with our codecs and with Debian's libpng and
// libtiff, and prints our time over theirs. Both files are written by the reference
// libraries at start-up, from the same synthetic picture (smooth shading plus noise, so
// that it compresses like a photograph rather than like flat colour); every decoder's
// pixels are checked against that picture.
#include <benchmark/benchmark.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/RatioReporter.h"
#include "our_decoders.h"
#include "common/TempFolder.h"

namespace {

constexpr int kWidth = 3000;
constexpr int kHeight = 2000;
std::string g_png = tv_bench::WorkDir() + "/picture.png";
std::string g_tiff = tv_bench::WorkDir() + "/picture.tif";

std::vector<unsigned char> Picture() {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  std::mt19937 rng(1);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      unsigned char* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
      const int n = static_cast<int>(rng() % 9) - 4;
      p[0] = static_cast<unsigned char>(std::clamp(x * 255 / kWidth + n, 0, 255));
      p[1] = static_cast<unsigned char>(std::clamp(y * 255 / kHeight + n, 0, 255));
      p[2] = static_cast<unsigned char>(std::clamp(((x / 40 + y / 40) % 2) * 120 + 60 + n, 0, 255));
    }
  return rgb;
}

void WriteFiles() {
  const auto rgb = Picture();
  std::FILE* f = std::fopen(g_png.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < kHeight; ++y)
    png_write_row(png, const_cast<unsigned char*>(&rgb[static_cast<std::size_t>(y) * kWidth * 3]));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);

  TIFF* t = TIFFOpen(g_tiff.c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  for (int y = 0; y < kHeight; ++y)
    TIFFWriteScanline(t, const_cast<unsigned char*>(&rgb[static_cast<std::size_t>(y) * kWidth * 3]),
                      static_cast<unsigned>(y), 0);
  TIFFClose(t);
}

void OursPng(benchmark::State& state) {
  for (auto _ : state)
    if (!OurPngDecode(g_png.c_str())) state.SkipWithError("our PNG load failed");
}

void LibpngDecode(std::vector<unsigned char>& rgb) {
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[y] = &rgb[static_cast<std::size_t>(y) * kWidth * 3];
  std::FILE* f = std::fopen(g_png.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
}

void LibpngPng(benchmark::State& state) {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    LibpngDecode(rgb);
    benchmark::DoNotOptimize(rgb[0]);
  }
}

void OursTiff(benchmark::State& state) {
  for (auto _ : state)
    if (!OurTiffDecode(g_tiff.c_str())) state.SkipWithError("our TIFF load failed");
}

void LibtiffDecode(std::vector<unsigned char>& image) {
  TIFF* t = TIFFOpen(g_tiff.c_str(), "r");
  std::vector<unsigned char> buf(static_cast<std::size_t>(TIFFStripSize(t)));
  std::size_t at = 0;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
    const tmsize_t n = TIFFReadEncodedStrip(t, s, buf.data(), static_cast<tmsize_t>(buf.size()));
    std::copy(buf.begin(), buf.begin() + n, image.begin() + static_cast<long>(at));
    at += static_cast<std::size_t>(n);
  }
  TIFFClose(t);
}

void LibtiffTiff(benchmark::State& state) {
  std::vector<unsigned char> image(static_cast<std::size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    LibtiffDecode(image);
    benchmark::DoNotOptimize(image[0]);
  }
}

// Both decoders of a format give back the picture the files were written from.
void CheckPixels(const char* what, const std::vector<unsigned char>& ours,
                 const std::vector<unsigned char>& peer) {
  const auto truth = Picture();
  auto differing = [&](const std::vector<unsigned char>& v) {
    if (v.size() != truth.size()) return -1L;
    long n = 0;
    for (std::size_t i = 0; i < v.size(); ++i) n += v[i] != truth[i];
    return n;
  };
  const long a = differing(ours), b = differing(peer);
  tv_bench::Check(a == 0 && b == 0, std::string(what) + " pixels equal the written picture",
                  "ours " + std::to_string(a) + ", peer " + std::to_string(b) +
                      " bytes differ (-1: not decoded)");
}

}  // namespace

int main(int argc, char** argv) {
  WriteFiles();
  benchmark::RegisterBenchmark("png/ours", OursPng)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("png/libpng", LibpngPng)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tiff_lzw/ours", OursTiff)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tiff_lzw/libtiff", LibtiffTiff)->Unit(benchmark::kMillisecond);
  tv_bench::Initialize(&argc, argv);
  std::vector<unsigned char> peer(static_cast<std::size_t>(kWidth) * kHeight * 3);
  LibpngDecode(peer);
  CheckPixels("PNG", OurPngPixels(g_png.c_str()), peer);
  LibtiffDecode(peer);
  CheckPixels("LZW TIFF", OurTiffPixels(g_tiff.c_str()), peer);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nDecoding %d x %d RGB (target: at most 1.5):\n", kWidth, kHeight);
  tv_bench::RatioGoal("PNG decoding within 1.5x of libpng",
                      reporter.PrintRatio("PNG against libpng", "png/ours", "png/libpng"), 1.5);
  tv_bench::RatioGoal(
      "LZW TIFF decoding within 1.5x of libtiff",
      reporter.PrintRatio("LZW TIFF against libtiff", "tiff_lzw/ours", "tiff_lzw/libtiff"), 1.5);
  std::remove(g_png.c_str());
  std::remove(g_tiff.c_str());
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
