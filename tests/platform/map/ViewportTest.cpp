#include <gtest/gtest.h>

#include <cmath>

#include "map/Viewport.h"

namespace {

using map::Coordinate;
using map::Viewport;

void expectNear(Coordinate actual, Coordinate expected, double tolerance = 1e-7) {
    EXPECT_NEAR(actual.latitude, expected.latitude, tolerance);
    EXPECT_NEAR(actual.longitude, expected.longitude, tolerance);
}

TEST(ViewportTest, RegionFitsTheAspectRatioByWideningOneSpan) {
    Viewport viewport({390, 844});
    viewport.setRegion({{45, 10}, {54, 54}});
    map::CoordinateRegion shown = viewport.region();
    expectNear(shown.center, {45, 10});
    // A tall view: the longitude span is kept, the latitude span grows to fill the height.
    EXPECT_NEAR(shown.span.longitudeDelta, 54, 1e-6);
    EXPECT_GT(shown.span.latitudeDelta, 54);
    map::MapRect asked = map::mapRect({{45, 10}, {54, 54}});
    EXPECT_NEAR(viewport.scale(), asked.size.width / 390, 1e-6);

    Viewport wide({844, 390});
    wide.setRegion({{45, 10}, {54, 54}});
    // A wide view: the latitude extent decides, and the taller (northern) half is shown whole.
    gfx::Point north = wide.point(Coordinate{72, 10});
    gfx::Point south = wide.point(Coordinate{18, 10});
    EXPECT_NEAR(north.y, 0, 1e-6);
    EXPECT_GT(south.y, 0);
    EXPECT_LT(south.y, 390);
    EXPECT_GE(wide.region().span.longitudeDelta, 54);
    EXPECT_EQ(wide.regionThatFits({{45, 10}, {54, 54}}), wide.region());
}

TEST(ViewportTest, LayoutMarginsCentreTheRegionInTheInsetArea) {
    Viewport viewport({390, 844}, {0, 0, 225, 0});
    viewport.setRegion({{43.7347, 7.4206}, {0.05, 0.05}});
    gfx::Point pin = viewport.point(Coordinate{43.7347, 7.4206});
    EXPECT_NEAR(pin.x, 195, 1e-6);
    EXPECT_NEAR(pin.y, (844 - 225) / 2.0, 1e-6);
    expectNear(viewport.centerCoordinate(), {43.7347, 7.4206});
    // The region is that of the inset area, 390 by 619 points, and fitting it again changes nothing.
    map::MapRect shown = map::mapRect(viewport.region());
    EXPECT_NEAR(shown.size.width / viewport.scale(), 390, 1e-6);
    EXPECT_NEAR(shown.size.height / viewport.scale(), 619, 0.5);
    double scale = viewport.scale();
    viewport.setRegion(viewport.region());
    EXPECT_NEAR(viewport.scale(), scale, scale * 1e-9);

    // Growing the margin (sheet dragged up) keeps the centre coordinate at the new area's centre.
    viewport.setLayoutMargins({0, 0, 422, 0});
    EXPECT_NEAR(viewport.point(Coordinate{43.7347, 7.4206}).y, 211, 1e-6);
    // Margins that eat the whole view fall back to the whole view.
    viewport.setLayoutMargins({0, 0, 844, 0});
    EXPECT_EQ(viewport.insetRect(), (gfx::Rect{0, 0, 390, 844}));
}

TEST(ViewportTest, ScreenPointsAndCoordinatesConvertBothWays) {
    Viewport viewport({390, 844}, {0, 0, 225, 0});
    viewport.setRegion({{26.03, 50.51}, {10, 10}});
    for (gfx::Point point : {gfx::Point{0, 0}, gfx::Point{390, 844}, gfx::Point{100.5, 700.25}}) {
        gfx::Point back = viewport.point(viewport.coordinate(point));
        EXPECT_NEAR(back.x, point.x, 1e-6);
        EXPECT_NEAR(back.y, point.y, 1e-6);
    }
    // North is up, east is right.
    EXPECT_LT(viewport.point(Coordinate{27, 50.51}).y, viewport.point(Coordinate{26, 50.51}).y);
    EXPECT_GT(viewport.point(Coordinate{26, 51}).x, viewport.point(Coordinate{26, 50}).x);
}

TEST(ViewportTest, ZoomKeepsTheAnchorStillAndStopsAtTheLimits) {
    Viewport viewport({390, 844});
    viewport.setRegion({{45, 10}, {54, 54}});
    gfx::Point anchor{100, 200};
    Coordinate under = viewport.coordinate(anchor);
    double scale = viewport.scale();
    viewport.zoom(2, anchor);
    EXPECT_NEAR(viewport.scale(), scale / 2, 1e-9);
    expectNear(viewport.coordinate(anchor), under);

    viewport.zoom(1e12, anchor);
    EXPECT_EQ(viewport.scale(), Viewport::minimumScale);
    viewport.zoom(1e-12, anchor);
    EXPECT_EQ(viewport.scale(), viewport.maximumScale());
    // Zoomed fully out, the world's height fills the view exactly: no sky above the top.
    EXPECT_NEAR(viewport.visibleMapRect().minY(), 0, 1e-6);
    EXPECT_NEAR(viewport.visibleMapRect().maxY(), map::worldSize, 1e-6);
    // A zero span asks for the closest zoom.
    viewport.setRegion({{45, 10}, {0, 0}});
    EXPECT_EQ(viewport.scale(), Viewport::minimumScale);
}

TEST(ViewportTest, PanFollowsTheFingerAndWrapsAtTheDateLine) {
    Viewport viewport({390, 844});
    viewport.setRegion({{0, 179}, {4, 4}});
    Coordinate before = viewport.coordinate({300, 400});
    viewport.pan({-100, 0});
    expectNear(viewport.coordinate({200, 400}), before);
    // Dragging left past the date line lands on negative longitudes, and the far side shows.
    viewport.pan({-390, 0});
    EXPECT_LT(viewport.centerCoordinate().longitude, 0);
    EXPECT_GT(viewport.centerCoordinate().longitude, -180);
    EXPECT_GE(viewport.worldCopyOffsets().size(), 1u);
    Viewport straddling({390, 844});
    straddling.setRegion({{0, 180}, {20, 20}});
    EXPECT_EQ(straddling.worldCopyOffsets().size(), 2u);
    // A pin just east of the date line shows to the right of one just west of it.
    EXPECT_GT(straddling.point(Coordinate{0, -179}).x, straddling.point(Coordinate{0, 179}).x);
}

TEST(ViewportTest, VerticalPanStopsAtTheWorldsEdge) {
    Viewport viewport({390, 844});
    viewport.setRegion({{60, 0}, {60, 60}});
    viewport.pan({0, 1e6});
    EXPECT_NEAR(viewport.visibleMapRect().minY(), 0, 1e-6);
    viewport.pan({0, -1e7});
    EXPECT_NEAR(viewport.visibleMapRect().maxY(), map::worldSize, 1e-3);
}

TEST(ViewportTest, InvalidRegionsAndCentresAreIgnored) {
    Viewport viewport({390, 844});
    viewport.setRegion({{45, 10}, {10, 10}});
    Viewport before = viewport;
    viewport.setRegion({{95, 10}, {10, 10}});
    viewport.setRegion({{45, 10}, {NAN, 10}});
    viewport.setCenterCoordinate(map::invalidCoordinate);
    viewport.zoom(0, {0, 0});
    EXPECT_EQ(viewport, before);
}

}  // namespace
