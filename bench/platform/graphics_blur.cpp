#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "BenchSmoke.h"
#include "gfx/BoxBlur.h"
#include "gfx/Context.h"

namespace {

gfx::Bitmap noise(int width, int height) {
    std::mt19937 random(42);
    gfx::Bitmap bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.row(y)[x] = 0xFF000000u | (random() & 0xFFFFFF);
    return bitmap;
}

}  // namespace

// One pass of the image blur's kernel (radius 10 gives 19) over a 1000 x 1000 picture.
static void BM_BoxBlur1000(benchmark::State& state) {
    gfx::Bitmap source = noise(1000, 1000);
    int kernel = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(gfx::boxBlur(source, kernel, kernel));
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(BM_BoxBlur1000)->Arg(5)->Arg(19)->Arg(39)->Unit(benchmark::kMillisecond);

// 1,000 small rounded rectangles and circles filled into a 1000 x 1000 context, as a layer tree would:
// opaque black (0) or a translucent colour (1).
static void BM_Fill1000Paths(benchmark::State& state) {
    auto context = gfx::Context::create(1000, 1000, {});
    std::vector<gfx::Path> paths(1000);
    for (int index = 0; index < 1000; ++index) {
        gfx::Rect rect{double(index % 40) * 25, double(index / 40) * 40, 22, 30};
        if (index % 2)
            paths[index].addRoundedRect(rect, 6, 6);
        else
            paths[index].addEllipse(rect);
    }
    if (state.range(0) == 1) context->setFillColor(gfx::Color{0.3, 0.5, 0.7, 0.5});
    for (auto _ : state) {
        for (const auto& path : paths) context->fill(path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Fill1000Paths)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Hairlines (half a pixel wide) into a 1000 x 1000 context: 1,000 small circles, whose flattened
// segments are under a pixel long as a small flag's details are (0), or 1,000 long lines (1).
static void BM_Stroke1000Hairlines(benchmark::State& state) {
    auto context = gfx::Context::create(1000, 1000, {});
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(0, 1000);
    std::vector<gfx::Path> paths(sorvane::bench::smokeRun() ? 10 : 1000);
    for (int index = 0; index < int(paths.size()); ++index) {
        if (state.range(0) == 0) {
            paths[index].addEllipse({double(index % 40) * 25, double(index / 40) * 40, 3, 4});
        } else {
            paths[index].moveTo({at(random), at(random)});
            paths[index].lineTo({at(random), at(random)});
        }
    }
    context->setLineWidth(0.5);
    for (auto _ : state) {
        for (const auto& path : paths) context->stroke(path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(paths.size()));
}
BENCHMARK(BM_Stroke1000Hairlines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
