#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "PixelProbe.h"
#include "foundation/Clock.h"
#include "map/MapView.h"
#include "ui/Button.h"
#include "ui/HeadlessHost.h"

namespace {

using map::Coordinate;
using maptest::near;
using maptest::pinColor;
using maptest::squarePin;

struct RaceDelegate : map::MapViewDelegate {
    std::shared_ptr<gfx::Image> pin = squarePin();
    std::shared_ptr<ui::Button> accessory = ui::Button::make(ui::ButtonType::system);
    int selections = 0;
    int deselections = 0;
    std::vector<bool> regionChanges;  // animated flag of each report

    std::shared_ptr<map::AnnotationView> viewFor(map::MapView& mapView,
                                                 const std::shared_ptr<map::Annotation>& annotation) override {
        auto view = mapView.dequeueReusableAnnotationView("Race");
        if (!view) view = std::make_shared<map::AnnotationView>(annotation, "Race");
        view->image = pin;
        view->canShowCallout = true;
        view->detailCalloutAccessory = map::DetailLabel{annotation->subtitle().value_or("")};
        view->rightCalloutAccessoryView = accessory;
        return view;
    }
    std::shared_ptr<map::OverlayRenderer> rendererFor(map::MapView&, const std::shared_ptr<map::Overlay>& overlay) override {
        auto renderer = std::make_shared<map::GradientPolylineRenderer>(std::static_pointer_cast<map::Polyline>(overlay));
        std::vector<gfx::Color> red{gfx::Color::systemRed()};
        renderer->setColors(red);
        renderer->lineWidth = 3;
        return renderer;
    }
    void didSelect(map::MapView&, const std::shared_ptr<map::AnnotationView>&) override { ++selections; }
    void didDeselect(map::MapView&, const std::shared_ptr<map::AnnotationView>&) override { ++deselections; }
    void regionDidChange(map::MapView&, bool animated) override { regionChanges.push_back(animated); }
};

class MapViewTest : public testing::Test {
protected:
    void SetUp() override {
        foundation::Clock::setCurrent(clock);
        mapView->setDelegate(delegate);
        mapView->setMapType(map::MapType::hybridFlyover);
        mapView->setShowsCompass(false);
        host.window()->addSubview(mapView);
        mapView->setLayoutMargins({0, 0, 225, 0});
        for (Coordinate circuit : circuits) {
            mapView->addAnnotation(std::make_shared<map::PointAnnotation>(circuit, "Grand Prix", "Monza, Italy"));
        }
        mapView->addOverlay(route, map::OverlayLevel::aboveRoads);
        mapView->setRegion({{30, 20}, {70, 70}});
        delegate->accessory->setFrame({0, 0, 30, 30});
        delegate->accessory->addAction([this](ui::Control&) { ++accessoryTaps; }, ui::ControlEvent::touchUpInside);
        host.renderIfNeeded();
    }
    void TearDown() override {
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }

    gfx::Color pixelAt(gfx::Point point) { return host.pixel(point).value_or(gfx::Color::clear()); }
    gfx::Point pointOf(Coordinate coordinate) { return mapView->viewport().point(coordinate); }
    void expectPoint(gfx::Point actual, gfx::Point expected, double tolerance = 0.5) {
        EXPECT_NEAR(actual.x, expected.x, tolerance);
        EXPECT_NEAR(actual.y, expected.y, tolerance);
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    ui::HeadlessHost host;
    std::shared_ptr<RaceDelegate> delegate = std::make_shared<RaceDelegate>();
    std::shared_ptr<map::MapView> mapView = std::make_shared<map::MapView>(ui::Rect{0, 0, 390, 844});
    // Sakhir, Jeddah, Monza, Silverstone, Spa.
    std::vector<Coordinate> circuits{
        {26.0325, 50.5106}, {21.6319, 39.1044}, {45.6156, 9.2811}, {52.0786, -1.0169}, {50.4372, 5.9714}};
    std::shared_ptr<map::Polyline> route = map::Polyline::make(circuits);
    int accessoryTaps = 0;
};

TEST_F(MapViewTest, FrameShowsSeaLandPinsAndTheRouteWhereTheyProject) {
    map::BaseMapStyle style;
    EXPECT_TRUE(near(pixelAt(pointOf({35, -12})), style.sea));  // Atlantic
    EXPECT_TRUE(near(pixelAt(pointOf({5, 22})), style.land));   // central Africa
    EXPECT_TRUE(near(pixelAt(pointOf(circuits[0])), pinColor));
    map::MapPoint jeddah = map::mapPoint(circuits[1]), monza = map::mapPoint(circuits[2]);
    gfx::Point halfway = mapView->viewport().point(map::MapPoint{(jeddah.x + monza.x) / 2, (jeddah.y + monza.y) / 2});
    EXPECT_TRUE(near(pixelAt(halfway), gfx::Color::systemRed()));
}

TEST_F(MapViewTest, LayoutMarginsCentreTheRegionInTheInsetArea) {
    mapView->setRegion({circuits[2], {2, 2}});
    host.renderIfNeeded();
    expectPoint(pointOf(circuits[2]), {195, (844 - 225) / 2.0});
    EXPECT_TRUE(near(pixelAt({195, (844 - 225) / 2.0}), pinColor));

    // The sheet at half height: the centre coordinate moves up to the middle of what is left.
    mapView->setLayoutMargins({0, 0, 422, 0});
    host.renderIfNeeded();
    expectPoint(pointOf(circuits[2]), {195, 211});
    EXPECT_TRUE(near(pixelAt({195, 211}), pinColor));
}

TEST_F(MapViewTest, DragPansWithThePlaceUnderTheFingerStayingUnderIt) {
    Coordinate grabbed = mapView->viewport().coordinate({100, 300});
    delegate->regionChanges.clear();
    host.drag({100, 300}, {250, 500});
    expectPoint(pointOf(grabbed), {250, 500});
    EXPECT_FALSE(delegate->regionChanges.empty());
    EXPECT_EQ(delegate->selections, 0);  // a drag is not a tap

    mapView->setScrollEnabled(false);
    host.drag({250, 500}, {50, 50});
    expectPoint(pointOf(grabbed), {250, 500});
}

TEST_F(MapViewTest, WheelAndPinchZoomAboutThePointer) {
    double scale = mapView->viewport().scale();
    Coordinate underPointer = mapView->viewport().coordinate({300, 150});
    // Two notches away from the user: twice as close.
    EXPECT_TRUE(mapView->scrollWheel({300, 150}, 0, -2 * ui::View::pointsPerWheelStep));
    EXPECT_NEAR(mapView->viewport().scale(), scale / 2, scale * 1e-9);
    expectPoint(pointOf(underPointer), {300, 150});

    Coordinate underPinch = mapView->viewport().coordinate({80, 500});
    mapView->pinch({80, 500}, 0.5);
    EXPECT_NEAR(mapView->viewport().scale(), scale, scale * 1e-9);
    expectPoint(pointOf(underPinch), {80, 500});

    mapView->setZoomEnabled(false);
    EXPECT_FALSE(mapView->scrollWheel({300, 150}, 0, 3));
    EXPECT_NEAR(mapView->viewport().scale(), scale, scale * 1e-9);
}

TEST_F(MapViewTest, TappingAPinSelectsItOnceAndItsCalloutShowsTextAndAWorkingButton) {
    mapView->setRegion({circuits[2], {8, 8}});
    host.renderIfNeeded();
    gfx::Point monza = pointOf(circuits[2]);
    host.tap(monza);
    ASSERT_EQ(mapView->selectedAnnotations().size(), 1u);
    EXPECT_EQ(mapView->selectedAnnotations().front(), mapView->annotations()[2]);
    host.tap({monza.x + 8, monza.y + 8});  // still on the selected pin's image
    EXPECT_EQ(delegate->selections, 1);

    // The title is drawn in dark text; the button sits at the bubble's right edge, as a subview.
    auto layout = mapView->calloutLayout();
    ASSERT_TRUE(layout && layout->rightAccessory);
    int dark = 0;
    for (double x = layout->text.minX(); x < layout->text.maxX(); x += 0.5) {
        for (double y = layout->text.minY(); y < layout->text.maxY(); y += 0.5) dark += pixelAt({x, y}).red < 0.4;
    }
    EXPECT_GT(dark, 20);
    EXPECT_EQ(delegate->accessory->superview(), mapView);
    EXPECT_EQ(delegate->accessory->frame(), *layout->rightAccessory);
    EXPECT_LE(layout->text.maxX(), layout->rightAccessory->minX());
    host.tap({layout->rightAccessory->midX(), layout->rightAccessory->midY()});
    EXPECT_EQ(accessoryTaps, 1);
    host.tap({layout->bubble.minX() + 4, layout->bubble.midY()});  // the bubble keeps itself open
    EXPECT_EQ(mapView->selectedAnnotations().size(), 1u);

    host.tap({20, 780});
    EXPECT_TRUE(mapView->selectedAnnotations().empty());
    EXPECT_EQ(delegate->deselections, 1);
    EXPECT_EQ(delegate->accessory->superview(), nullptr);
    host.tap(monza);
    EXPECT_EQ(delegate->selections, 2);
}

// The callout belongs to its pin: it moves with it when the map pans or zooms, and leaves the view
// with it rather than staying pinned to the edge.
TEST_F(MapViewTest, TheCalloutFollowsItsPinThroughPansAndZoomsAndLeavesWithIt) {
    mapView->setRegion({circuits[2], {8, 8}});
    host.renderIfNeeded();
    host.tap(pointOf(circuits[2]));
    ASSERT_EQ(mapView->selectedAnnotations().size(), 1u);
    auto pinned = [&](const char* when) {
        auto layout = mapView->calloutLayout();
        ASSERT_TRUE(layout) << when;
        gfx::Point monza = pointOf(circuits[2]);
        EXPECT_NEAR(layout->tip.x, monza.x, 0.5) << when;
        EXPECT_NEAR(layout->tip.y, monza.y - 12 - 2, 0.5) << when;  // above the 24-point image
        EXPECT_GE(layout->tip.x, layout->bubble.minX()) << when;
        EXPECT_LE(layout->tip.x, layout->bubble.maxX()) << when;
        EXPECT_EQ(delegate->accessory->frame(), *layout->rightAccessory) << when;
    };
    pinned("selected");
    auto before = *mapView->calloutLayout();
    host.drag({100, 600}, {160, 640});
    pinned("panned");
    EXPECT_NEAR(mapView->calloutLayout()->bubble.minX(), before.bubble.minX() + 60, 0.5);
    EXPECT_NEAR(mapView->calloutLayout()->bubble.minY(), before.bubble.minY() + 40, 0.5);
    host.wheel({60, 700}, 0, 2 * ui::View::pointsPerWheelStep);
    pinned("zoomed out about another point");

    // Dragged until the pin is past the left edge: the bubble goes too.
    gfx::Point monza = pointOf(circuits[2]);
    host.drag({300, 600}, {300 - (monza.x + 60), 600});
    ASSERT_LT(pointOf(circuits[2]).x, -20);
    auto gone = mapView->calloutLayout();
    ASSERT_TRUE(gone);
    EXPECT_LT(gone->bubble.minX(), 0) << "the bubble stayed in view without its pin";
    EXPECT_GE(gone->tip.x, gone->bubble.minX());
}

TEST_F(MapViewTest, AnimatedRegionChangesMoveWithTheClockAndReportOnceAtTheEnd) {
    map::CoordinateRegion target{circuits[2], {10, 10}};
    map::Viewport expected = mapView->viewport();
    expected.setRegion(target);
    double startScale = mapView->viewport().scale();
    delegate->regionChanges.clear();

    mapView->setRegion(target, true);
    EXPECT_TRUE(mapView->isAnimatingRegion());
    clock->advance(map::MapView::regionAnimationDuration / 2);
    host.renderIfNeeded();
    double halfwayScale = mapView->viewport().scale();
    EXPECT_LT(halfwayScale, startScale * 0.9);
    EXPECT_GT(halfwayScale, expected.scale() * 1.1);
    EXPECT_TRUE(delegate->regionChanges.empty());

    clock->advance(map::MapView::regionAnimationDuration / 2 + 0.01);
    host.renderIfNeeded();
    host.renderIfNeeded();
    EXPECT_FALSE(mapView->isAnimatingRegion());
    EXPECT_EQ(mapView->viewport().centerMapPoint(), expected.centerMapPoint());
    EXPECT_DOUBLE_EQ(mapView->viewport().scale(), expected.scale());
    EXPECT_EQ(delegate->regionChanges, std::vector<bool>{true});

    mapView->setCenterCoordinate(circuits[3]);  // at once
    expectPoint(pointOf(circuits[3]), {195, (844 - 225) / 2.0});

    // A touch stops an animation where it is, reported then and not again.
    mapView->setCenterCoordinate(circuits[0], true);
    clock->advance(map::MapView::regionAnimationDuration / 3);
    host.renderIfNeeded();
    host.touchDown({50, 50});
    map::MapPoint stopped = mapView->viewport().centerMapPoint();
    clock->advance(map::MapView::regionAnimationDuration);
    host.touchUp({50, 50});
    EXPECT_EQ(mapView->viewport().centerMapPoint(), stopped);
    EXPECT_NE(stopped, map::mapPoint(circuits[0]));
    EXPECT_EQ(delegate->regionChanges, (std::vector<bool>{true, false, true}));
}

}  // namespace
