#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "dispatch/RunLoop.h"
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

const map::CoordinateRegion wholeWorld{{20, 0}, {180, 180}};
const map::CoordinateRegion introZoom{{45.62, 9.28}, {54, 54}};

// The home map at 390 x 844 points at 2x: 24 pins, the route through them and a selected pin's callout,
// drawn by renderMap either directly (the reference: the coastline's paths every frame) or from tiles.
// Each benchmark reports the median and slowest frame beside the mean, and the tiles' memory.
class HomeMap {
public:
    HomeMap(benchmark::State& bench, map::CoordinateRegion region) : bench_(bench) {
        state_.setDelegate(delegate_);
        state_.setSize({390, 844});
        state_.setLayoutMargins({0, 0, 225, 0});
        for (const auto& circuit : circuits) state_.addAnnotation(std::make_shared<map::PointAnnotation>(circuit, "Race"));
        state_.addOverlay(map::Polyline::make(circuits), map::OverlayLevel::aboveRoads);
        state_.setRegion(region);
        state_.selectAnnotation(state_.annotations()[15]);
        options_.land = map::LandShapes::shared();
        if (bench.range(0) != 0) options_.tiles = std::make_shared<map::BaseMapTiles>();
    }
    ~HomeMap() {
        std::sort(frames_.begin(), frames_.end());
        if (!frames_.empty()) {
            bench_.counters["median_ms"] = frames_[frames_.size() / 2];
            bench_.counters["max_ms"] = frames_.back();
        }
        if (options_.tiles) bench_.counters["tile_MB"] = double(options_.tiles->memoryCost()) / (1 << 20);
    }

    map::MapState& state() { return state_; }
    const std::shared_ptr<map::BaseMapTiles>& tiles() const { return options_.tiles; }

    void render() { map::renderMap(*context_, state_, options_); }
    void timedRender() {
        auto start = std::chrono::steady_clock::now();
        render();
        benchmark::ClobberMemory();
        frames_.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    // What a 60 Hz frame interval gives the background, untimed: tiles being drawn finish, and the
    // main queue hears of them.
    void betweenFrames() {
        bench_.PauseTiming();
        if (options_.tiles) options_.tiles->waitForPendingTiles();
        dispatch::RunLoop::main()->runOnce();
        bench_.ResumeTiming();
    }

private:
    benchmark::State& bench_;
    std::shared_ptr<PinDelegate> delegate_ = std::make_shared<PinDelegate>();
    map::MapState state_;
    map::MapRenderOptions options_;
    std::shared_ptr<gfx::Context> context_ = gfx::Context::create(gfx::Size{390, 844}, {.scale = 2});
    std::vector<double> frames_;
};

void staticFrame(benchmark::State& bench, map::CoordinateRegion region) {
    HomeMap home(bench, region);
    home.render();
    if (home.tiles()) home.tiles()->waitForPendingTiles();
    for (auto _ : bench) home.timedRender();
}

void BM_StaticFrame(benchmark::State& bench) { staticFrame(bench, introZoom); }
void BM_WholeWorld(benchmark::State& bench) { staticFrame(bench, wholeWorld); }
void BM_CircuitArea(benchmark::State& bench) { staticFrame(bench, {{43.73, 7.42}, {0.03, 0.03}}); }

// The intro zoom's view dragged east by 37 points a frame, round and round the world.
void BM_PanFrame(benchmark::State& bench) {
    HomeMap home(bench, introZoom);
    home.render();
    for (auto _ : bench) {
        home.betweenFrames();
        home.state().pan({-37, 0});
        home.timedRender();
    }
}

// The intro zoom as MapView animates it: from the whole world to the first race's 54 degrees, centre
// and zoom eased in and out over 0.35 s, 21 frames at 60 Hz. Each run of the animation starts from
// a settled whole-world map with no tiles of the other zooms.
void BM_IntroZoomFrame(benchmark::State& bench) {
    HomeMap home(bench, wholeWorld);
    map::Viewport from = home.state().viewport(), to = from;
    to.setRegion(introZoom);
    constexpr int frameCount = 21;
    int frame = frameCount;
    for (auto _ : bench) {
        if (frame == frameCount) {
            bench.PauseTiming();
            if (home.tiles()) home.tiles()->removeAll();
            home.state().setViewport(from);
            home.render();
            frame = 0;
            bench.ResumeTiming();
        }
        home.betweenFrames();
        double t = double(++frame) / frameCount;
        double eased = t * t * (3 - 2 * t);
        map::Viewport step = from;
        step.setScale(std::exp(std::lerp(std::log(from.scale()), std::log(to.scale()), eased)));
        double dx = std::remainder(to.centerMapPoint().x - from.centerMapPoint().x, map::worldSize);
        step.setCenterMapPoint({from.centerMapPoint().x + dx * eased,
                                std::lerp(from.centerMapPoint().y, to.centerMapPoint().y, eased)});
        home.state().setViewport(step);
        home.timedRender();
    }
}

// The whole window through the headless host: a full-screen map view at the intro zoom with its pins,
// the route and a selected pin's callout with typeset text, redrawn each iteration (from tiles, as
// MapView draws).
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
    mapView->setRegion(introZoom);
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

// Arg 0 draws the base map directly (the reference), 1 composes it from tiles.
BENCHMARK(BM_StaticFrame)->ArgName("tiles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanFrame)->ArgName("tiles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntroZoomFrame)->ArgName("tiles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeWorld)->ArgName("tiles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircuitArea)->ArgName("tiles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapViewFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCoastline)->Unit(benchmark::kMillisecond);
