#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/Context.h"
#include "PixelProbe.h"
#include "map/MapRenderer.h"

namespace {

using map::Coordinate;
using maptest::pinColor;

struct RaceMapDelegate : map::MapDelegate {
    std::shared_ptr<map::AnnotationView> viewForAnnotation(map::MapState& state,
                                                           const std::shared_ptr<map::Annotation>& annotation) override {
        auto view = state.dequeueReusableView("Race");
        if (!view) view = std::make_shared<map::AnnotationView>(annotation, "Race");
        view->image = maptest::squarePin();
        view->canShowCallout = true;
        view->detailCalloutAccessory = map::DetailLabel{annotation->subtitle().value_or("")};
        return view;
    }
    std::shared_ptr<map::OverlayRenderer> rendererForOverlay(map::MapState&,
                                                             const std::shared_ptr<map::Overlay>& overlay) override {
        auto renderer = std::make_shared<map::GradientPolylineRenderer>(std::static_pointer_cast<map::Polyline>(overlay));
        std::vector<gfx::Color> colors{gfx::Color::systemRed()};
        renderer->setColors(colors);
        renderer->lineWidth = 3;
        return renderer;
    }
};

using maptest::near;
using maptest::pixel;

struct MapRenderTest : testing::Test {
    std::shared_ptr<RaceMapDelegate> delegate = std::make_shared<RaceMapDelegate>();
    map::MapState state;
    std::vector<Coordinate> circuits{{26.0325, 50.5106}, {21.6319, 39.1044}, {45.6156, 9.2811}, {52.0786, -1.0169},
                                     {50.4372, 5.9714}, {-37.8497, 144.968}};
    std::shared_ptr<map::Polyline> route = map::Polyline::make(circuits);

    void SetUp() override {
        state.setDelegate(delegate);
        state.setSize({390, 844});
        state.setLayoutMargins({0, 0, 225, 0});
        for (Coordinate circuit : circuits) {
            state.addAnnotation(std::make_shared<map::PointAnnotation>(circuit, "Grand Prix", "Locality, Country"));
        }
        state.addOverlay(route, map::OverlayLevel::aboveRoads);
    }

    gfx::Bitmap render(const map::MapRenderOptions& options = {}) {
        auto context = gfx::Context::create(state.viewport().size(), {.scale = 2});
        map::renderMap(*context, state, options);
        return context->makeImage();
    }
};

TEST_F(MapRenderTest, FrameShowsSeaLandPinsAndTheRoute) {
    state.setRegion({{30, 20}, {70, 70}});
    gfx::Bitmap image = render();
    const map::Viewport& viewport = state.viewport();
    map::BaseMapStyle style;
    EXPECT_TRUE(near(pixel(image, viewport.point(Coordinate{35, -12}), 2), style.sea));  // Atlantic
    EXPECT_TRUE(near(pixel(image, viewport.point(Coordinate{5, 22}), 2), style.land));   // central Africa
    EXPECT_TRUE(near(pixel(image, viewport.point(Coordinate{48, 3}), 2), style.land));   // France
    // Pin images sit centred on their coordinates, above the route.
    EXPECT_TRUE(near(pixel(image, viewport.point(circuits[0]), 2), pinColor));
    gfx::Point pin = viewport.point(circuits[2]);
    EXPECT_TRUE(near(pixel(image, {pin.x + 10, pin.y - 10}, 2), pinColor));
    // Along the leg from Jeddah to Monza, away from the pins.
    for (double t : {0.3, 0.5, 0.7}) {
        map::MapPoint a = map::mapPoint(circuits[1]), b = map::mapPoint(circuits[2]);
        gfx::Point along = viewport.point(map::MapPoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        EXPECT_TRUE(near(pixel(image, along, 2), gfx::Color::systemRed())) << t;
    }
}

TEST_F(MapRenderTest, SelectedPinShowsACalloutWithTheTextSeam) {
    state.setRegion({{45.6156, 9.2811}, {2, 2}});
    state.selectAnnotation(state.annotations()[2]);
    std::string drawnTitle;
    gfx::Rect drawnIn;
    map::MapRenderOptions options;
    options.calloutText.measure = [](const std::string&, const map::AnnotationView&, double) { return gfx::Size{120, 40}; };
    options.calloutText.draw = [&](gfx::Context&, const gfx::Rect& content, const std::string& title,
                                   const map::AnnotationView& view) {
        drawnTitle = title;
        drawnIn = content;
        EXPECT_EQ(view.detailCalloutAccessory->text, "Locality, Country");
    };
    gfx::Bitmap image = render(options);
    EXPECT_EQ(drawnTitle, "Grand Prix");
    auto layout = map::calloutLayout(state, options.calloutText);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(drawnIn, layout->content);
    EXPECT_EQ(layout->content.size, (gfx::Size{120, 40}));
    // The bubble is white, above the pin, with its pointer ending at the image's top.
    gfx::Point pin = state.viewport().point(state.annotations()[2]->coordinate());
    EXPECT_LT(layout->bubble.maxY(), pin.y - 12);
    EXPECT_NEAR(layout->tip.x, pin.x, 1e-9);
    EXPECT_TRUE(near(pixel(image, {layout->bubble.midX(), layout->bubble.midY()}, 2), gfx::Color::white()));
    // Deselected: no bubble.
    state.tap({1, 1});
    EXPECT_FALSE(map::calloutLayout(state).has_value());
}

// A one-line callout lays out and draws only what it can show of a title of megabytes: a line's worth,
// still longer than fits, so it ends in an ellipsis.
TEST_F(MapRenderTest, ACalloutTakesOnlyALinesWorthOfAHugeTitle) {
    state.setRegion({{45.6156, 9.2811}, {2, 2}});
    auto pin = std::dynamic_pointer_cast<map::PointAnnotation>(state.annotations()[2]);
    ASSERT_TRUE(pin);
    std::string title;
    while (title.size() < (std::size_t(8) << 20)) title += "Grand Prix \u00e9 ";
    pin->setTitle(title);
    state.selectAnnotation(pin);
    std::size_t measured = 0, drawn = 0;
    double width = 0;
    map::MapRenderOptions options;
    options.calloutText.measure = [&](const std::string& text, const map::AnnotationView&, double maximumWidth) {
        measured = text.size();
        width = maximumWidth;
        return gfx::Size{maximumWidth, 40};
    };
    options.calloutText.draw = [&](gfx::Context&, const gfx::Rect&, const std::string& text, const map::AnnotationView&) {
        drawn = text.size();
        EXPECT_TRUE(title.starts_with(text));
    };
    render(options);
    EXPECT_GT(measured, static_cast<std::size_t>(width)) << "more than fits, so that it ends in an ellipsis";
    EXPECT_LE(measured, static_cast<std::size_t>(4 * width + 1) * 2);
    EXPECT_GT(drawn, static_cast<std::size_t>(width));
    EXPECT_LE(drawn, measured);
}

TEST_F(MapRenderTest, RouteStillCrossesACircuitSizedView) {
    // A circuit-sized view: the route's far-away points are clipped before drawing, the line still
    // passes through.
    state.setRegion({{50.4372, 5.9714}, {0.02, 0.02}});
    gfx::Bitmap image = render();
    gfx::Point spa = state.viewport().point(circuits[4]);
    map::MapPoint a = map::mapPoint(circuits[3]), b = map::mapPoint(circuits[4]);
    // A point on the Silverstone-Spa leg 60 points before the pin.
    double length = std::hypot(b.x - a.x, b.y - a.y) / state.viewport().scale();
    double t = 1 - 60 / length;
    gfx::Point along = state.viewport().point(map::MapPoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    EXPECT_NEAR(std::hypot(along.x - spa.x, along.y - spa.y), 60, 1e-6);
    EXPECT_TRUE(near(pixel(image, along, 2), gfx::Color::systemRed()));
}

}  // namespace
