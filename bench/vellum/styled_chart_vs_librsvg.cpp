// A large ordinary drawing, 99,000 small squares in groups four deep, from its bytes to pixels 64 high and
// at its own size (300 high) by this library and by librsvg in the same process: styled by four rules of a
// style sheet, and with the same values written as attributes. Styling by rules must cost no more than
// librsvg takes for it.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"
#include "SideBySide.h"
#include "../../tests/vellum/HostileDocuments.h"

namespace {

// The smoke run (SORVANE_BENCH_SMOKE) draws a hundredth of the squares, a hundredth as tall, at a tenth of
// the height: it only shows that both still draw.
const foundation::Data& chart(bool asAttributes) {
    static const auto make = [](bool attributes) {
        return foundation::Data::fromString(hostile::styledChart(sorvane::bench::smokeRun() ? 990 : 99'000, attributes));
    };
    static const foundation::Data styled = make(false);
    static const foundation::Data attributes = make(true);
    return asAttributes ? attributes : styled;
}

void Vellum_StyledChart(benchmark::State& state) {
    const auto height = static_cast<double>(state.range(1)) / (sorvane::bench::smokeRun() ? 10 : 1);
    for (auto _ : state) {
        if (!sidebyside::drawWithVellum(chart(state.range(0) != 0), height)) return state.SkipWithError("no image");
    }
}
BENCHMARK(Vellum_StyledChart)->ArgNames({"attributes", "height"})->ArgsProduct({{0, 1}, {64, 300}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void Librsvg_StyledChart(benchmark::State& state) {
    const auto height = static_cast<double>(state.range(1)) / (sorvane::bench::smokeRun() ? 10 : 1);
    for (auto _ : state) {
        if (!sidebyside::drawWithLibrsvg(chart(state.range(0) != 0), height)) return state.SkipWithError("no image");
    }
}
BENCHMARK(Librsvg_StyledChart)->ArgNames({"attributes", "height"})->ArgsProduct({{0, 1}, {64, 300}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
