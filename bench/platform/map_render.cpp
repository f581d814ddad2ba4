#include <benchmark/benchmark.h>

#include <cmath>

#include "gfx/Context.h"
#include "map/MapRenderer.h"
#include "map/MapView.h"
#include "ui/HeadlessHost.h"

namespace {

std::shared_ptr<gfx::Image> pinImage() {
    static const std::shared_ptr<gfx::Image> pin = [] {
        auto context = gfx::Context::create(gfx::Size{40, 40}, {.scale = 2});
        gfx::Path dot;
        dot.addEllipse({4, 4, 32, 32});
        context->setFillColor(gfx::Color::systemRed());
        context->fill(dot);
        return gfx::Image::fromBitmap(context->makeImage(), 2);
    }();
    return pin;
}

std::shared_ptr<map::AnnotationView> pinView(const std::shared_ptr<map::Annotation>& annotation) {
    auto view = std::make_shared<map::AnnotationView>(annotation, "Race");
    view->image = pinImage();
    view->canShowCallout = true;
    view->detailCalloutAccessory = map::DetailLabel{annotation->subtitle().value_or("")};
    return view;
}

std::shared_ptr<map::OverlayRenderer> routeRenderer(const std::shared_ptr<map::Overlay>& overlay) {
    auto renderer = std::make_shared<map::GradientPolylineRenderer>(std::static_pointer_cast<map::Polyline>(overlay));
    std::vector<gfx::Color> colors{gfx::Color::systemRed()};
    renderer->setColors(colors);
    renderer->lineWidth = 3;
    return renderer;
}

struct PinDelegate : map::MapDelegate {
    std::shared_ptr<map::AnnotationView> viewForAnnotation(map::MapState&,
                                                           const std::shared_ptr<map::Annotation>& annotation) override {
        return pinView(annotation);
    }
    std::shared_ptr<map::OverlayRenderer> rendererForOverlay(map::MapState&,
                                                             const std::shared_ptr<map::Overlay>& overlay) override {
        return routeRenderer(overlay);
    }
};

struct PinViewDelegate : map::MapViewDelegate {
    std::shared_ptr<map::AnnotationView> viewFor(map::MapView&, const std::shared_ptr<map::Annotation>& annotation) override {
        return pinView(annotation);
    }
    std::shared_ptr<map::OverlayRenderer> rendererFor(map::MapView&, const std::shared_ptr<map::Overlay>& overlay) override {
        return routeRenderer(overlay);
    }
};

// A season's 24 circuits in calendar order.
const std::vector<map::Coordinate> circuits{
    {26.03, 50.51}, {21.63, 39.10}, {-37.85, 144.97}, {34.84, 136.54}, {31.34, 121.22}, {25.96, -80.24},
    {44.34, 11.72}, {43.73, 7.42},  {45.50, -73.52},  {41.57, 2.26},   {47.22, 14.76},  {52.08, -1.02},
    {47.58, 19.25}, {50.44, 5.97},  {52.39, 4.54},    {45.62, 9.28},   {40.37, 49.85},  {1.29, 103.86},
    {30.13, -97.64}, {19.40, -99.09}, {-23.70, -46.70}, {36.11, -115.17}, {25.49, 51.45}, {24.47, 54.60}};

void renderFrame(benchmark::State& bench, map::CoordinateRegion region) {
    auto delegate = std::make_shared<PinDelegate>();
    map::MapState state;
    state.setDelegate(delegate);
    state.setSize({390, 844});
    state.setLayoutMargins({0, 0, 225, 0});
    for (const auto& circuit : circuits) state.addAnnotation(std::make_shared<map::PointAnnotation>(circuit, "Race"));
    state.addOverlay(map::Polyline::make(circuits), map::OverlayLevel::aboveRoads);
    state.setRegion(region);
    state.selectAnnotation(state.annotations()[15]);
    auto context = gfx::Context::create(state.viewport().size(), {.scale = 2});
    map::MapRenderOptions options;
    options.land = map::LandShapes::shared();
    for (auto _ : bench) {
        map::renderMap(*context, state, options);
        benchmark::ClobberMemory();
    }
}

void BM_WholeWorld(benchmark::State& bench) { renderFrame(bench, {{20, 0}, {180, 180}}); }
void BM_IntroZoom54Degrees(benchmark::State& bench) { renderFrame(bench, {{45.62, 9.28}, {54, 54}}); }
void BM_CircuitArea(benchmark::State& bench) { renderFrame(bench, {{43.73, 7.42}, {0.03, 0.03}}); }

// The whole window through the headless host: a full-screen map view at the intro zoom with its pins,
// the route and a selected pin's callout with typeset text, redrawn each iteration.
void BM_MapViewFrame(benchmark::State& bench) {
    ui::HeadlessHost host;
    auto delegate = std::make_shared<PinViewDelegate>();
    auto mapView = std::make_shared<map::MapView>(ui::Rect{0, 0, 390, 844});
    mapView->setDelegate(delegate);
    host.window()->addSubview(mapView);
    mapView->setLayoutMargins({0, 0, 225, 0});
    for (const auto& circuit : circuits) {
        mapView->addAnnotation(std::make_shared<map::PointAnnotation>(circuit, "Grand Prix", "Locality, Country"));
    }
    mapView->addOverlay(map::Polyline::make(circuits), map::OverlayLevel::aboveRoads);
    mapView->setRegion({{45.62, 9.28}, {54, 54}});
    mapView->selectAnnotation(mapView->annotations()[15]);
    host.snapshot();
    for (auto _ : bench) {
        mapView->setNeedsDisplay();
        host.renderIfNeeded();
    }
    if (host.frameCount() < static_cast<std::size_t>(bench.iterations())) bench.SkipWithError("frames were skipped");
}

void BM_LoadCoastline(benchmark::State& bench) {
    for (auto _ : bench) benchmark::DoNotOptimize(map::LandShapes::load(map::LandShapes::defaultPath()));
}

}  // namespace

BENCHMARK(BM_WholeWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntroZoom54Degrees)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircuitArea)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapViewFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCoastline)->Unit(benchmark::kMillisecond);
