#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "ScanConverter.h"
#include "gfx/Context.h"

// Fills whose subpaths overlap, by our scan converter (argument 1) and by Cairo (argument 0) in the
// same run.
namespace {

// 2,000 segments along a spiral.
std::vector<gfx::Point> spiral() {
    std::vector<gfx::Point> spine;
    for (int i = 0; i <= 2000; ++i) {
        double t = i * 0.012, r = 40 + t * 16;
        spine.push_back({480 + r * std::cos(t), 480 + r * std::sin(t)});
    }
    return spine;
}

// A stroke's outline as a stroker once handed it over: a quad along each segment of the spiral, each
// overlapping its neighbours, with a wedge at each turn.
gfx::Path strokePieces() {
    gfx::Path path;
    std::vector<gfx::Point> spine = spiral();
    constexpr double half = 4;
    gfx::Point lastNormal{};
    for (std::size_t i = 0; i + 1 < spine.size(); ++i) {
        gfx::Point a = spine[i], b = spine[i + 1];
        double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
        double nx = -dy / length * half, ny = dx / length * half;
        path.addLines(std::vector<gfx::Point>{{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny},
                                              {a.x - nx, a.y - ny}});
        path.closeSubpath();
        // A wedge on each side between this quad and the last, turned as the quads are.
        for (double side : {1.0, -1.0}) {
            gfx::Point from{a.x + side * lastNormal.x, a.y + side * lastNormal.y}, to{a.x + side * nx, a.y + side * ny};
            if (i == 0) break;
            if ((from.x - a.x) * (to.y - a.y) - (from.y - a.y) * (to.x - a.x) > 0) std::swap(from, to);
            path.addLines(std::vector<gfx::Point>{a, from, to});
            path.closeSubpath();
        }
        lastNormal = {nx, ny};
    }
    return path;
}

// 100 rings (an ellipse with a hole turning the other way) and 100 pairs of crossing ellipses.
std::vector<gfx::Path> overlappingShapes() {
    std::vector<gfx::Path> paths(200);
    for (int index = 0; index < 200; ++index) {
        gfx::Rect rect{double(index % 10) * 96 + 3, double(index / 10) * 48 + 2, 90, 44};
        gfx::Path& path = paths[index];
        path.addEllipse(rect);
        if (index % 2) {
            // The ellipse turns with increasing angles; the hole against them.
            std::vector<gfx::Point> hole;
            for (int k = 0; k < 64; ++k) {
                double at = -k * 2 * 3.141592653589793 / 64;
                hole.push_back({rect.origin.x + 45 + 27 * std::cos(at), rect.origin.y + 22 + 13 * std::sin(at)});
            }
            path.addLines(hole);
            path.closeSubpath();
        } else {
            path.addEllipse({rect.origin.x + 30, rect.origin.y + 4, 60, 36});
        }
    }
    return paths;
}

// Rectangles along the axes, as backgrounds, stripes and bars are: the whole context, then 1,000 small
// ones on and off whole pixels.
std::vector<gfx::Path> rectangles() {
    std::vector<gfx::Path> paths(1001);
    paths[0].addRect({0, 0, 960, 960});
    for (int index = 1; index < 1001; ++index) {
        double x = double(index % 40) * 24 + (index % 3) * 0.25, y = double(index / 40) * 38;
        paths[index].addRect({x, y, 17.5, 30 + (index % 4) * 0.5});
    }
    return paths;
}

// `draw` into a 960 x 960 context set up by `prepare`, by our scan converter or by Cairo.
template <typename Prepare, typename Draw>
void measure(benchmark::State& state, Prepare prepare, Draw draw) {
    auto context = gfx::Context::create(960, 960, {});
    prepare(*context);
    gfx::raster::setScanConverterEnabled(state.range(0) != 0);
    for (auto _ : state) {
        draw(*context);
        benchmark::ClobberMemory();
    }
    gfx::raster::setScanConverterEnabled(true);
}

void fill(benchmark::State& state, const std::vector<gfx::Path>& paths, gfx::Color color = {0.2, 0.4, 0.8, 0.9}) {
    measure(state, [&](gfx::Context& context) { context.setFillColor(color); },
            [&](gfx::Context& context) {
                for (const auto& path : paths) context.fill(path);
            });
}

// The spiral stroked 8 px wide, its pieces' overlaps traced.
void strokeSpiral(benchmark::State& state) {
    gfx::Path path;
    path.addLines(spiral());
    auto prepare = [](gfx::Context& context) {
        context.setStrokeColor(gfx::Color{0.2, 0.4, 0.8, 0.9});
        context.setLineWidth(8);
    };
    measure(state, prepare, [&](gfx::Context& context) { context.stroke(path); });
}

}  // namespace

static void BM_FillStrokePieces(benchmark::State& state) { fill(state, {strokePieces()}); }
BENCHMARK(BM_FillStrokePieces)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

static void BM_FillOverlappingShapes(benchmark::State& state) { fill(state, overlappingShapes()); }
BENCHMARK(BM_FillOverlappingShapes)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Opaque (the whole context a plain copy of the colour) and translucent.
static void BM_FillRectangles(benchmark::State& state) {
    fill(state, rectangles(), state.range(1) ? gfx::Color{0.2, 0.4, 0.8, 1} : gfx::Color{0.2, 0.4, 0.8, 0.9});
}
BENCHMARK(BM_FillRectangles)->ArgsProduct({{1, 0}, {1, 0}})->Unit(benchmark::kMillisecond);

static void BM_StrokeSpiral(benchmark::State& state) { strokeSpiral(state); }
BENCHMARK(BM_StrokeSpiral)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
