#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/Context.h"
#include "map/MapRenderer.h"
#include "map/MapState.h"
#include "PixelProbe.h"

namespace {

using map::Coordinate;

std::shared_ptr<gfx::Image> squareImage(double side, gfx::Color color) {
    auto context = gfx::Context::create(gfx::Size{side, side}, {.scale = 2});
    context->setFillColor(color);
    context->fillRect({0, 0, side, side});
    return gfx::Image::fromBitmap(context->makeImage(), 2);
}

struct RecordingDelegate : map::MapDelegate {
    std::vector<std::string> events;
    int viewsMade = 0;
    int regionChanges = 0;

    std::shared_ptr<map::AnnotationView> viewForAnnotation(map::MapState& map,
                                                           const std::shared_ptr<map::Annotation>& annotation) override {
        auto view = map.dequeueReusableView("Race");
        if (!view) {
            view = std::make_shared<map::AnnotationView>(annotation, "Race");
            ++viewsMade;
        }
        view->setAnnotation(annotation);
        bool wide = annotation->title() == "Wide";
        view->image = squareImage(wide ? 200 : 30, wide ? gfx::Color::systemBlue() : gfx::Color::systemRed());
        view->canShowCallout = true;
        return view;
    }
    void didSelect(map::MapState&, const std::shared_ptr<map::AnnotationView>& view) override {
        events.push_back("select " + view->annotation()->title().value_or("?"));
    }
    void didDeselect(map::MapState&, const std::shared_ptr<map::AnnotationView>& view) override {
        events.push_back("deselect " + view->annotation()->title().value_or("?"));
    }
    void regionDidChange(map::MapState&, bool) override { ++regionChanges; }
};

struct MapStateTest : testing::Test {
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    map::MapState state;
    std::shared_ptr<map::PointAnnotation> monza =
        std::make_shared<map::PointAnnotation>(Coordinate{45.6156, 9.2811}, "Italian Grand Prix", "Monza, Italy");
    std::shared_ptr<map::PointAnnotation> imola =
        std::make_shared<map::PointAnnotation>(Coordinate{44.3439, 11.7167}, "Emilia Romagna Grand Prix", "Imola, Italy");

    void SetUp() override {
        state.setDelegate(delegate);
        state.setSize({390, 844});
        state.setRegion({{45, 10}, {54, 54}});
        state.addAnnotations({monza, imola});
    }
};

TEST_F(MapStateTest, SelectingTheSelectedAnnotationReportsNothing) {
    state.selectAnnotation(monza, true);
    state.selectAnnotation(monza, true);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"select Italian Grand Prix"}));
    EXPECT_TRUE(state.viewFor(monza)->isSelected());
}

TEST_F(MapStateTest, SelectingAnotherDeselectsTheFirstBeforeReporting) {
    state.selectAnnotation(monza);
    state.selectAnnotation(imola);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"select Italian Grand Prix", "deselect Italian Grand Prix",
                                                          "select Emilia Romagna Grand Prix"}));
    ASSERT_EQ(state.selectedAnnotations().size(), 1u);
    EXPECT_EQ(state.selectedAnnotations().front(), imola);
    EXPECT_FALSE(state.viewFor(monza)->isSelected());
}

TEST_F(MapStateTest, AnnotationsOffTheMapAndTheUserLocationCannotBeSelected) {
    auto elsewhere = std::make_shared<map::PointAnnotation>(Coordinate{0, 0}, "Nowhere");
    state.selectAnnotation(elsewhere);
    auto user = std::make_shared<map::UserLocationAnnotation>();
    state.addAnnotation(user);
    state.selectAnnotation(user);
    EXPECT_TRUE(state.selectedAnnotations().empty());
    EXPECT_EQ(state.viewFor(user), nullptr);
    EXPECT_TRUE(delegate->events.empty());
}

TEST_F(MapStateTest, TapsHitTheTopmostImageAndDeselectOnEmptyMap) {
    // Zoomed out, the two pins' 30-point images overlap: the later one is on top.
    gfx::Point between = state.viewport().point(Coordinate{45, 10.5});
    EXPECT_EQ(state.annotationAt(between), imola);
    state.selectAnnotation(monza);
    // The selected pin is drawn last, so it is now the topmost.
    EXPECT_EQ(state.annotationAt(between), monza);

    gfx::Point pin = state.viewport().point(imola->coordinate());
    state.tap({pin.x + 20, pin.y});  // just outside a 30-point image (and monza's)
    EXPECT_TRUE(state.selectedAnnotations().empty());
    state.tap({pin.x + 14, pin.y - 14});  // inside the image's corner
    ASSERT_EQ(state.selectedAnnotations().size(), 1u);
    EXPECT_EQ(state.selectedAnnotations().front(), imola);
    EXPECT_EQ(delegate->events.back(), "select Emilia Romagna Grand Prix");
}

// A frame and a tap make views only for the annotations near them, so thousands of pins elsewhere
// cost nothing until the map comes to them.
TEST_F(MapStateTest, ViewsAreMadeOnlyForAnnotationsNearWhatIsDrawnOrTouched) {
    auto melbourne = std::make_shared<map::PointAnnotation>(Coordinate{-37.8497, 144.968}, "Australian Grand Prix", "");
    state.addAnnotation(melbourne);
    auto context = gfx::Context::create(state.viewport().size(), {});
    map::renderMap(*context, state, {});
    state.tap(state.viewport().point(monza->coordinate()));
    EXPECT_EQ(delegate->viewsMade, 2);

    state.setCenterCoordinate(melbourne->coordinate());
    map::renderMap(*context, state, {});
    EXPECT_EQ(delegate->viewsMade, 3);
}

// Pins reach only as far as their views: one wholly out of sight gets none.
TEST_F(MapStateTest, NoViewIsMadeForAPinThatCannotReachTheFrame) {
    auto context = gfx::Context::create(state.viewport().size(), {});
    map::renderMap(*context, state, {});
    ASSERT_EQ(delegate->viewsMade, 2);
    state.addAnnotation(std::make_shared<map::PointAnnotation>(state.viewport().coordinate({450, 300}), "Beyond"));
    map::renderMap(*context, state, {});
    EXPECT_EQ(delegate->viewsMade, 2);
}

// A view reaching farther than those before it brings in the pins of its size it was drawn after.
TEST_F(MapStateTest, AWiderPinReachingInFromOutOfSightIsDrawn) {
    state.addAnnotation(std::make_shared<map::PointAnnotation>(state.viewport().coordinate({450, 300}), "Wide"));
    state.addAnnotation(std::make_shared<map::PointAnnotation>(state.viewport().coordinate({100, 700}), "Wide"));
    auto context = gfx::Context::create(state.viewport().size(), {});
    map::renderMap(*context, state, {});
    EXPECT_TRUE(maptest::near(maptest::pixel(context->makeImage(), {380, 300}, 1), gfx::Color::systemBlue()));
}

TEST_F(MapStateTest, CentreOffsetMovesTheHitArea) {
    state.removeAnnotation(imola);
    auto view = state.viewFor(monza);
    view->centerOffset = {0, -15};
    gfx::Point pin = state.viewport().point(monza->coordinate());
    EXPECT_EQ(state.annotationAt({pin.x, pin.y + 5}), nullptr);
    EXPECT_EQ(state.annotationAt({pin.x, pin.y - 25}), monza);
}

TEST_F(MapStateTest, RemovedAnnotationsAreDeselectedAndTheirViewsReused) {
    state.selectAnnotation(monza);
    ASSERT_NE(state.viewFor(imola), nullptr);
    EXPECT_EQ(delegate->viewsMade, 2);
    state.removeAnnotations(state.annotations());
    EXPECT_TRUE(state.annotations().empty());
    EXPECT_TRUE(state.selectedAnnotations().empty());
    EXPECT_EQ(delegate->events.back(), "deselect Italian Grand Prix");

    auto baku = std::make_shared<map::PointAnnotation>(Coordinate{40.3725, 49.8533}, "Azerbaijan Grand Prix");
    state.addAnnotation(baku);
    auto view = state.viewFor(baku);
    EXPECT_EQ(delegate->viewsMade, 2);
    EXPECT_EQ(view->annotation(), baku);
    EXPECT_FALSE(view->isSelected());
}

TEST_F(MapStateTest, DefaultMarkerWhenTheDelegateGivesNoView) {
    map::MapState plain;
    plain.setSize({390, 844});
    auto pin = std::make_shared<map::PointAnnotation>(Coordinate{1, 2});
    plain.addAnnotation(pin);
    plain.addAnnotation(pin);
    EXPECT_EQ(plain.annotations().size(), 1u);
    auto view = plain.viewFor(pin);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->image, map::defaultMarkerImage());
}

TEST_F(MapStateTest, RegionChangesAreReportedOnlyWhenTheViewMoves) {
    int before = delegate->regionChanges;
    state.setRegion(state.region());
    state.setRegion({{100, 0}, {1, 1}});  // invalid
    EXPECT_EQ(delegate->regionChanges, before);
    state.setCenterCoordinate(monza->coordinate(), true);
    state.pan({10, 0});
    EXPECT_EQ(delegate->regionChanges, before + 2);
    state.isZoomEnabled = false;
    state.zoom(2, {0, 0});
    EXPECT_EQ(delegate->regionChanges, before + 2);
}

TEST_F(MapStateTest, OverlaysDrawBelowLabelsFirstAndAskForARendererOnce) {
    struct RendererDelegate : map::MapDelegate {
        int asked = 0;
        std::shared_ptr<map::OverlayRenderer> rendererForOverlay(map::MapState&,
                                                                 const std::shared_ptr<map::Overlay>& overlay) override {
            ++asked;
            return std::make_shared<map::GradientPolylineRenderer>(std::static_pointer_cast<map::Polyline>(overlay));
        }
    };
    auto rendererDelegate = std::make_shared<RendererDelegate>();
    state.setDelegate(rendererDelegate);
    auto top = map::Polyline::make({{0, 0}, {1, 1}});
    auto route = map::Polyline::make({{45.6, 9.3}, {44.3, 11.7}});
    state.addOverlay(top, map::OverlayLevel::aboveLabels);
    state.addOverlay(route, map::OverlayLevel::aboveRoads);
    EXPECT_EQ(state.overlays(), (std::vector<std::shared_ptr<map::Overlay>>{route, top}));
    EXPECT_NE(state.rendererFor(route), nullptr);
    EXPECT_EQ(state.rendererFor(route), state.rendererFor(route));
    EXPECT_EQ(rendererDelegate->asked, 1);
    state.removeOverlay(route);
    EXPECT_EQ(state.overlays(), (std::vector<std::shared_ptr<map::Overlay>>{top}));
    EXPECT_EQ(state.rendererFor(route), nullptr);
}

TEST(GradientPolylineRendererTest, ColoursFollowLocationsAlongThePoints) {
    auto line = map::Polyline::make({{0, 0}, {0, 10}, {0, 20}});
    map::GradientPolylineRenderer renderer(line);
    std::vector<gfx::Color> colors{gfx::Color::black(), gfx::Color::white()};
    renderer.setColors(colors);
    EXPECT_EQ(renderer.colorAt(0), gfx::Color::black());
    EXPECT_NEAR(renderer.colorAt(0.5).red, 0.5, 1e-9);
    EXPECT_EQ(renderer.colorAt(1), gfx::Color::white());
    std::vector<double> locations{0.5, 0.75};
    renderer.setColors(colors, locations);
    EXPECT_EQ(renderer.colorAt(0.25), gfx::Color::black());
    EXPECT_NEAR(renderer.colorAt(0.625).red, 0.5, 1e-9);
    std::vector<double> mismatched{0.5};
    renderer.setColors(colors, mismatched);
    EXPECT_EQ(renderer.locations(), locations);
    EXPECT_NEAR(line->boundingMapRect().size.width, map::worldSize * 20 / 360, 1e-6);
}

}  // namespace
