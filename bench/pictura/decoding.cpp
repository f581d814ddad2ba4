// Pictures as a download or a cache read decodes them (the default processor): an ordinary picture of
// 400 x 400 noise beside two bombs, a 16,000 x 16,000 one-bit PNG of some 31 KB and an 8,000 x 8,000
// RGBA PNG of some 250 KB, and a 64 x 64 PNG carrying 128 compressed text chunks of 8 MB each (1 MB). Target
// for the last: within 1 s and 512 MB. Each row reports the rise of the process's resident peak while it ran; run a
// row alone (--benchmark_filter) to measure the process under /usr/bin/time.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "BenchSmoke.h"
#include "BlankPng.h"
#include "NoiseBitmap.h"
#include "RepeatedScansJpeg.h"
#include "ResidentPeak.h"
#include "gfx/ImageEncoder.h"
#include "pictura/ImageProcessor.h"
#include "pictura/PicturaOptions.h"

namespace {

foundation::Data ordinaryPicture() { return *gfx::encodePng(sorvane::bench::noiseBitmap(400, 400, 11)); }

void decode(benchmark::State& state, const foundation::Data& bytes) {
    const pictura::PicturaParsedOptionsInfo options;
    const auto& processor = pictura::DefaultImageProcessor::defaultProcessor();
    const double start = sorvane::bench::startResidentPeak();
    std::int64_t pixels = 0;
    for (auto _ : state) {
        auto image = processor->process(bytes, options);
        pixels = image ? std::int64_t(image->pixelWidth()) * image->pixelHeight() : 0;
        benchmark::DoNotOptimize(image);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.counters["decoded_pixels"] = static_cast<double>(pixels);
    state.counters["peak_rise_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}

void BM_DecodeOrdinaryPicture(benchmark::State& state) {
    static const auto bytes = ordinaryPicture();
    decode(state, bytes);
}
BENCHMARK(BM_DecodeOrdinaryPicture)->Unit(benchmark::kMillisecond);

void BM_DecodeOneBitBomb16000(benchmark::State& state) {
    static const auto bytes = sorvane::testing::blankPng(16000, 16000, 1, 0);
    decode(state, bytes);
}
BENCHMARK(BM_DecodeOneBitBomb16000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeRgbaBomb8000(benchmark::State& state) {
    static const auto bytes = sorvane::testing::blankPng(8000, 8000, 8, 6);
    decode(state, bytes);
}
BENCHMARK(BM_DecodeRgbaBomb8000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeTextChunks128Of8MB(benchmark::State& state) {
    static const auto bytes =
        sorvane::testing::blankPng(64, 64, 8, 6, std::vector(128, sorvane::testing::compressedTextChunk(8'000'000)));
    decode(state, bytes);
}
BENCHMARK(BM_DecodeTextChunks128Of8MB)->Unit(benchmark::kMillisecond)->Iterations(1);

// A progressive JPEG of 999 scans of end-of-band runs, a few bytes each that walk every coefficient of the luma again,
// at 1024, 2048 and 4096 px, beside the same picture in three scans: refused within 2.5 s of CPU and 512 MB.
void BM_DecodeRepeatedScansJpeg(benchmark::State& state) {
    const auto bytes = sorvane::testing::repeatedScansJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    decode(state, bytes);
}
BENCHMARK(BM_DecodeRepeatedScansJpeg)
    ->Args({1'024, 999})->Args({2'048, 999})->Args({4'096, 999})->Args({4'096, 3})->Unit(benchmark::kMillisecond)->Iterations(1);

// The same in CMYK, four components as large as the picture, at 7000 and 7600 px: a DC scan, a first AC scan of
// each and 14 rounds refining all four (64 passes over the picture's blocks, what the bound allowed while it
// counted every component's), beside one round; and at 4096 px. The coefficients are 8 bytes a pixel beside
// the 4-byte bitmap. Target: decoded or refused within 2.5 s of CPU and 512 MB.
// The smoke run (SORVANE_BENCH_SMOKE) decodes them at 64 px: it only shows that they still run.
void BM_DecodeRepeatedScansCmykJpeg(benchmark::State& state) {
    const int side = sorvane::bench::smokeRun() ? 64 : static_cast<int>(state.range(0));
    const auto bytes = sorvane::testing::repeatedScansCmykJpeg(side, static_cast<int>(state.range(1)));
    decode(state, bytes);
}
BENCHMARK(BM_DecodeRepeatedScansCmykJpeg)
    ->Args({7'000, 14})->Args({7'600, 14})->Args({7'000, 1})->Args({4'096, 14})->Args({4'096, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
