#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx/Path.h"

using namespace gfx;
using Kind = PathElement::Kind;

namespace {

constexpr double pi = std::numbers::pi;

// A five-pointed star drawn in one stroke: its centre pentagon is covered twice.
Path star(Point center, double radius) {
    Path path;
    for (int index = 0; index < 5; ++index) {
        double angle = -pi / 2 + index * 4 * pi / 5;
        Point point{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
        if (index == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void expectRectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual.minX(), expected.minX(), tolerance);
    EXPECT_NEAR(actual.minY(), expected.minY(), tolerance);
    EXPECT_NEAR(actual.maxX(), expected.maxX(), tolerance);
    EXPECT_NEAR(actual.maxY(), expected.maxY(), tolerance);
}

}  // namespace

TEST(Path, StarCentreIsInsideByWindingAndOutsideByEvenOdd) {
    Path path = star({50, 50}, 40);
    EXPECT_TRUE(path.contains({50, 50}, FillRule::winding));
    EXPECT_FALSE(path.contains({50, 50}, FillRule::evenOdd));
    EXPECT_TRUE(path.contains({50, 15}, FillRule::evenOdd));  // inside the top point
    EXPECT_FALSE(path.contains({5, 5}, FillRule::winding));
}

TEST(Path, RingOfOppositeCirclesHasAHoleAndSameDirectionCirclesDoNot) {
    Path ring;
    ring.addArc({50, 50}, 40, 0, 2 * pi, false);
    ring.closeSubpath();
    ring.moveTo({70, 50});
    ring.addArc({50, 50}, 20, 0, 2 * pi, true);
    EXPECT_FALSE(ring.contains({50, 50}));
    EXPECT_TRUE(ring.contains({50, 80}));

    Path doubled;
    doubled.addEllipse({10, 10, 80, 80});
    doubled.addEllipse({30, 30, 40, 40});
    EXPECT_TRUE(doubled.contains({50, 50}));
    EXPECT_FALSE(doubled.contains({50, 50}, FillRule::evenOdd));
}

TEST(Path, CurveBoundingBoxIsTightWhileTheCheapBoxHoldsControlPoints) {
    Path path;
    path.moveTo({0, 0});
    path.curveTo({0, 100}, {100, 100}, {100, 0});
    expectRectNear(path.boundingBox(), {0, 0, 100, 100});
    expectRectNear(path.pathBoundingBox(), {0, 0, 100, 75});

    Path quad;
    quad.moveTo({0, 0});
    quad.quadCurveTo({50, 100}, {100, 0});
    expectRectNear(quad.pathBoundingBox(), {0, 0, 100, 50});

    Path circle;
    circle.addEllipse({10, 20, 30, 40});
    expectRectNear(circle.pathBoundingBox(), {10, 20, 30, 40});
    EXPECT_TRUE(Path().pathBoundingBox().isNull());
}

// Where a curve turns decides its box whichever way it faces: mirrored along either axis, its extremes
// come from fractions of every sign (a quadratic's turn near either end, close to 0 and to 1).
TEST(Path, CurveExtremesBoundTheBoxWhicheverWayTheCurveFaces) {
    std::vector<Path> curves(3);
    curves[0].moveTo({2, 1});
    curves[0].curveTo({-6, 9}, {14, 12}, {7, 3});
    curves[1].moveTo({0, 0});
    curves[1].quadCurveTo({-1, 40}, {60, 41});
    curves[2].moveTo({0, 0});
    curves[2].quadCurveTo({61, 1}, {60, 40});
    for (const Path& curve : curves) {
        for (const AffineTransform mirror : {AffineTransform{1, 0, 0, 1, 0, 0}, AffineTransform{-1, 0, 0, 1, 0, 0},
                                             AffineTransform{1, 0, 0, -1, 0, 0}, AffineTransform{-1, 0, 0, -1, 0, 0}}) {
            const Path mirrored = curve.transformed(mirror);
            Path sampled;
            sampled.addLines(mirrored.flattened(0.001).front());
            expectRectNear(mirrored.pathBoundingBox(), sampled.boundingBox(), 1e-3);
        }
    }
}

// Paths compare element by element, all three point slots included: the ones a kind leaves unused are zero.
TEST(Path, ElementsKeepTheirPointsAndZeroTheUnusedSlots) {
    Path path;
    path.moveTo({1, 2});
    path.curveTo({3, 4}, {5, 6}, {7, 8});
    path.quadCurveTo({9, 10}, {11, 12});
    path.lineTo({13, 14});
    path.closeSubpath();
    const std::vector<PathElement> expected{
        {Kind::moveTo, {Point{1, 2}, Point{}, Point{}}},
        {Kind::curveTo, {Point{3, 4}, Point{5, 6}, Point{7, 8}}},
        {Kind::quadCurveTo, {Point{9, 10}, Point{11, 12}, Point{}}},
        {Kind::lineTo, {Point{13, 14}, Point{}, Point{}}},
        {Kind::closeSubpath, {Point{}, Point{}, Point{}}},
    };
    EXPECT_EQ(path.elements(), expected);
    EXPECT_EQ(path.currentPoint(), (Point{1, 2})) << "closing returns to the subpath's start";
}

TEST(Path, TightBoxOfACurveAmongOtherParts) {
    // Control points beyond the curve's ends but inside what came before: the box stays.
    Path inside;
    inside.addRect({0, 0, 100, 100});
    inside.moveTo({40, 40});
    inside.curveTo({40, 90}, {60, 90}, {60, 40});
    EXPECT_EQ(inside.pathBoundingBox(), (Rect{0, 0, 100, 100}));

    // Beyond what came before along y only (the curve peaks at 40 + 0.75 * 80), and along x the
    // control points stay inside: the box grows along y alone.
    Path above;
    above.moveTo({0, 0});
    above.lineTo({100, 0});
    above.moveTo({40, 40});
    above.curveTo({40, 120}, {60, 120}, {60, 40});
    expectRectNear(above.pathBoundingBox(), {0, 0, 100, 100});

    // Beyond along x and not y, to the left of everything (the curve reaches 50 - 0.75 * 80).
    Path left;
    left.moveTo({0, 0});
    left.lineTo({0, 100});
    left.moveTo({50, 20});
    left.curveTo({-30, 20}, {-30, 60}, {50, 60});
    expectRectNear(left.pathBoundingBox(), {-10, 0, 60, 100});
}

TEST(Path, ArcDirectionFollowsThePathFunctionsFlag) {
    // From angle 0 to pi/2: counter-clockwise (false) is the short quarter through (7, 7)-ish,
    // clockwise (true) goes the long way round through negative y.
    Path shortWay;
    shortWay.addArc({0, 0}, 10, 0, pi / 2, false);
    expectRectNear(shortWay.pathBoundingBox(), {0, 0, 10, 10});
    Path longWay;
    longWay.addArc({0, 0}, 10, 0, pi / 2, true);
    expectRectNear(longWay.pathBoundingBox(), {-10, -10, 20, 20});
    ASSERT_EQ(longWay.elements().size(), 4u);  // a move and three quarter curves
    EXPECT_NEAR(longWay.currentPoint()->x, 0, 1e-9);
    EXPECT_NEAR(longWay.currentPoint()->y, 10, 1e-9);
}

TEST(Path, ArcToPointRoundsTheCornerBetweenTwoTangents) {
    Path path;
    path.moveTo({0, 0});
    path.addArcToPoint({100, 0}, {100, 100}, 20);
    ASSERT_GE(path.elements().size(), 3u);
    EXPECT_EQ(path.elements()[1].kind, Kind::lineTo);
    EXPECT_NEAR(path.elements()[1].points[0].x, 80, 1e-9);
    EXPECT_NEAR(path.currentPoint()->x, 100, 1e-9);
    EXPECT_NEAR(path.currentPoint()->y, 20, 1e-9);
    expectRectNear(path.pathBoundingBox(), {0, 0, 100, 20});

    Path straight;
    straight.moveTo({0, 0});
    straight.addArcToPoint({10, 0}, {20, 0}, 5);
    EXPECT_EQ(straight.elements().back().kind, Kind::lineTo);
}

TEST(Path, ElementsWalkInOrderAndTransformMovesEveryPoint) {
    Path path;
    path.lineTo({5, 5});  // ignored: no current point yet
    path.addRect({1, 2, 3, 4});
    std::vector<Kind> kinds;
    for (const auto& element : path.elements()) kinds.push_back(element.kind);
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::moveTo, Kind::lineTo, Kind::lineTo, Kind::lineTo, Kind::closeSubpath}));
    EXPECT_EQ(path.elements()[2].points[0], (Point{4, 6}));

    Path moved = path.transformed(AffineTransform::translation(-1, -2));
    EXPECT_EQ(moved.elements()[0].points[0], (Point{0, 0}));
    EXPECT_EQ(moved.pathBoundingBox(), (Rect{0, 0, 3, 4}));
}

TEST(Path, TransformedAndAddedPathsCarryOnFromTheirMovedPoints) {
    Path path;
    path.moveTo({0, 0});
    path.lineTo({10, 0});
    path.closeSubpath();
    path.curveTo({40, 2}, {-30, 8}, {10, 10});  // a new subpath from (0, 0)
    EXPECT_EQ(path.transformed({}), path);

    Path moved = path.transformed(AffineTransform::translation(5, 5));
    EXPECT_EQ(moved.currentPoint(), (Point{15, 15}));
    moved.closeSubpath();
    EXPECT_EQ(moved.currentPoint(), (Point{5, 5}));

    Path joined;
    joined.moveTo({-50, -50});
    joined.addPath(path, AffineTransform::scale(2, 2));
    ASSERT_EQ(joined.elements().size(), path.elements().size() + 1);
    EXPECT_EQ(joined.elements()[4].points[2], (Point{20, 20}));
    joined.lineTo({0, 40});
    EXPECT_EQ(joined.elements().back().points[0], (Point{0, 40}));
    // The curve swings out along x only: its box is the ends' box widened there.
    Rect box = path.pathBoundingBox();
    EXPECT_LT(box.minX(), 0);
    EXPECT_GT(box.maxX(), 10);
    EXPECT_DOUBLE_EQ(box.minY(), 0);
    EXPECT_DOUBLE_EQ(box.maxY(), 10);
}

TEST(Path, RoundedRectRoundsOnlyTheChosenCornersAndClampsRadii) {
    Path topOnly;
    topOnly.addRoundedRect({0, 0, 100, 50}, topLeft | topRight, {10, 10});
    EXPECT_FALSE(topOnly.contains({1, 1}));
    EXPECT_TRUE(topOnly.contains({1, 49}));
    EXPECT_TRUE(topOnly.contains({99, 49}));
    EXPECT_FALSE(topOnly.contains({99, 1}));

    Path pill;
    pill.addRoundedRect({0, 0, 10, 4}, 8, 8);  // radii clamp to 5 and 2
    expectRectNear(pill.pathBoundingBox(), {0, 0, 10, 4});
    EXPECT_FALSE(pill.contains({0.3, 0.3}));
    EXPECT_TRUE(pill.contains({5, 2}));
}
