// A large ordinary drawing, 99,000 small squares in groups four deep, from its bytes to pixels 64 high and
// at its own size (300 high) by this library and by librsvg in the same process: styled by four rules of a
// style sheet, and with the same values written as attributes. Styling by rules must cost no more than
// librsvg takes for it. The same holds for 99,000 squares each with an identifier and classes of its own
// (so that no two are matched alike) under 8 rules of 8 declarations and 12 of 12, drawn 64 and 900 high.
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

// Draws `bytes` with `draw` (this library's or librsvg's) at the height of the second argument.
void drawEach(benchmark::State& state, const foundation::Data& bytes, bool (*draw)(const foundation::Data&, double)) {
    const auto height = static_cast<double>(state.range(1)) / (sorvane::bench::smokeRun() ? 10 : 1);
    for (auto _ : state) {
        if (!draw(bytes, height)) return state.SkipWithError("no image");
    }
}

const foundation::Data& namedCells(std::int64_t rules) {
    static const auto make = [](std::size_t count) {
        return foundation::Data::fromString(
            hostile::namedCellsUnderRules(sorvane::bench::smokeRun() ? 990 : 99'000, count, count, false));
    };
    static const foundation::Data eight = make(8);
    static const foundation::Data twelve = make(12);
    return rules == 8 ? eight : twelve;
}

void Vellum_StyledChart(benchmark::State& state) { drawEach(state, chart(state.range(0) != 0), sidebyside::drawWithVellum); }
BENCHMARK(Vellum_StyledChart)->ArgNames({"attributes", "height"})->ArgsProduct({{0, 1}, {64, 300}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void Librsvg_StyledChart(benchmark::State& state) { drawEach(state, chart(state.range(0) != 0), sidebyside::drawWithLibrsvg); }
BENCHMARK(Librsvg_StyledChart)->ArgNames({"attributes", "height"})->ArgsProduct({{0, 1}, {64, 300}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void Vellum_NamedCells(benchmark::State& state) { drawEach(state, namedCells(state.range(0)), sidebyside::drawWithVellum); }
BENCHMARK(Vellum_NamedCells)->ArgNames({"rules", "height"})->ArgsProduct({{8, 12}, {64, 900}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void Librsvg_NamedCells(benchmark::State& state) { drawEach(state, namedCells(state.range(0)), sidebyside::drawWithLibrsvg); }
BENCHMARK(Librsvg_NamedCells)->ArgNames({"rules", "height"})->ArgsProduct({{8, 12}, {64, 900}})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
