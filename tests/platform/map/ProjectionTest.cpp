#include <gtest/gtest.h>

#include <cmath>

#include "map/Projection.h"

namespace {

using map::Coordinate;

TEST(ProjectionTest, CoordinatesRoundTripThroughMapPoints) {
    for (Coordinate c : {Coordinate{0, 0}, Coordinate{51.5, -0.12}, Coordinate{-33.86, 151.2}, Coordinate{43.73, 7.42},
                         Coordinate{-84.9, -179.9}, Coordinate{85, 179.99}}) {
        Coordinate back = map::coordinate(map::mapPoint(c));
        EXPECT_NEAR(back.latitude, c.latitude, 1e-9);
        EXPECT_NEAR(back.longitude, c.longitude, 1e-9);
    }
}

TEST(ProjectionTest, WorldCornersAndCentre) {
    EXPECT_EQ(map::mapPoint({0, 0}), (map::MapPoint{map::worldSize / 2, map::worldSize / 2}));
    map::MapPoint topLeft = map::mapPoint({map::maximumLatitude, -180});
    EXPECT_NEAR(topLeft.x, 0, 1e-6);
    EXPECT_NEAR(topLeft.y, 0, 1);
    // North is up and east is right.
    EXPECT_LT(map::mapPoint({10, 0}).y, map::mapPoint({0, 0}).y);
    EXPECT_GT(map::mapPoint({0, 10}).x, map::mapPoint({0, 0}).x);
}

TEST(ProjectionTest, PolesClampToTheWorldEdges) {
    EXPECT_EQ(map::mapPoint({90, 0}).y, 0);
    EXPECT_EQ(map::mapPoint({-90, 0}).y, map::worldSize);
    EXPECT_NEAR(map::coordinate({0, 0}).latitude, map::maximumLatitude, 1e-9);
    EXPECT_NEAR(map::coordinate({0, -1e9}).latitude, map::maximumLatitude, 1e-9);
}

TEST(ProjectionTest, RegionsRoundTripThroughMapRects) {
    map::CoordinateRegion region{{45, 10}, {20, 30}};
    map::MapRect rect = map::mapRect(region);
    EXPECT_NEAR(rect.size.width, map::worldSize * 30 / 360, 1e-6);
    map::CoordinateRegion back = map::region(rect);
    EXPECT_NEAR(back.span.latitudeDelta, 20, 1e-9);
    EXPECT_NEAR(back.span.longitudeDelta, 30, 1e-9);
    EXPECT_NEAR(back.center.longitude, 10, 1e-9);
    // Mercator stretches the north half: the rect's centre is north of the region's.
    EXPECT_GT(back.center.latitude, 45);
}

TEST(ProjectionTest, LongitudesWrapIntoTheHalfOpenRange) {
    EXPECT_DOUBLE_EQ(map::wrapLongitude(190), -170);
    EXPECT_DOUBLE_EQ(map::wrapLongitude(-190), 170);
    EXPECT_DOUBLE_EQ(map::wrapLongitude(180), -180);
    EXPECT_DOUBLE_EQ(map::wrapLongitude(540.5), -179.5);
    EXPECT_DOUBLE_EQ(map::wrapLongitude(12), 12);
}

TEST(ProjectionTest, CoordinateValidity) {
    EXPECT_TRUE((Coordinate{90, -180}).isValid());
    EXPECT_FALSE((Coordinate{90.1, 0}).isValid());
    EXPECT_FALSE((Coordinate{0, 180.5}).isValid());
    EXPECT_FALSE((Coordinate{NAN, 0}).isValid());
    EXPECT_FALSE(map::invalidCoordinate.isValid());
}

}  // namespace
