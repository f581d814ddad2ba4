// One path of 1k to 100k segments (lines, curves, arcs) from its bytes to pixels at 256 x 256, by this
// library and by librsvg: the time per segment ("items") must stay flat as the path grows. Past the
// library's segment cap (50k) the rest of a path is cut, so the 100k document draws only its first 50k.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "SideBySide.h"

namespace {

// A closed wandering path of `segments` segments, cycling through the commands.
foundation::Data longPath(std::int64_t segments) {
    std::string data = "M500 500";
    char buffer[160];
    const auto at = [](std::int64_t index, double phase) {
        return 500 + 450 * std::sin(static_cast<double>(index) * 0.0137 + phase);
    };
    for (std::int64_t index = 0; index < segments; ++index) {
        const double x = at(index, 0), y = at(index, 1.3);
        int written = 0;
        switch (index % 6) {
            case 0: written = std::snprintf(buffer, sizeof buffer, "L%.2f,%.2f", x, y); break;
            case 1: written = std::snprintf(buffer, sizeof buffer, "C%.2f %.2f %.2f %.2f %.2f %.2f", x + 3, y - 2, x - 4, y + 1.5, x, y); break;
            case 2: written = std::snprintf(buffer, sizeof buffer, "l.5-1.25"); break;
            case 3: written = std::snprintf(buffer, sizeof buffer, "Q%.2f %.2f %.2f %.2f", x + 2.5, y, x, y); break;
            case 4: written = std::snprintf(buffer, sizeof buffer, "s-1 2 3.5 4e-1"); break;
            default: written = std::snprintf(buffer, sizeof buffer, "A4 3 30 0 1 %.2f %.2f", x, y); break;
        }
        data.append(buffer, static_cast<std::size_t>(written));
    }
    const std::string document = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1000\">"
                                 "<path fill=\"#c03\" fill-rule=\"evenodd\" stroke=\"#024\" stroke-width=\"2\" d=\"" +
                                 data + "Z\"/></svg>";
    return foundation::Data::fromString(document);
}

// The smoke run (SORVANE_BENCH_SMOKE) draws a hundredth of each path: it only shows that they draw.
std::int64_t sized(std::int64_t full) { return sorvane::bench::smokeRun() ? std::max<std::int64_t>(full / 100, 1) : full; }

template <class Draw>
void drawLongPath(benchmark::State& state, Draw draw) {
    const std::int64_t segments = sized(state.range(0));
    const foundation::Data bytes = longPath(segments);
    for (auto _ : state) {
        if (!draw(bytes, 256.0)) return state.SkipWithError("the path did not parse");
    }
    state.SetItemsProcessed(state.iterations() * segments);
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void Vellum_LongPath(benchmark::State& state) { drawLongPath(state, sidebyside::drawWithVellum); }
BENCHMARK(Vellum_LongPath)->Arg(1'000)->Arg(10'000)->Arg(50'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void Librsvg_LongPath(benchmark::State& state) { drawLongPath(state, sidebyside::drawWithLibrsvg); }
BENCHMARK(Librsvg_LongPath)->Arg(1'000)->Arg(10'000)->Arg(50'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
