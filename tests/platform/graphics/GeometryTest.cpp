#include <gtest/gtest.h>

#include <limits>
#include <numbers>

#include "gfx/Geometry.h"

using namespace gfx;

namespace {

void expectRectNear(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

}  // namespace

TEST(Rect, ArithmeticFollowsThePlatformRules) {
    struct Case {
        const char* name;
        Rect actual;
        Rect expected;
    };
    const Rect a{0, 0, 10, 10};
    const Case cases[] = {
        {"standardized flips negative sizes", Rect{10, 10, -4, -6}.standardized(), {6, 4, 4, 6}},
        {"union spans both", a.unionWith({20, 5, 5, 10}), {0, 0, 25, 15}},
        {"union ignores null", a.unionWith(Rect::null()), a},
        {"union of null with a negative rect standardizes", Rect::null().unionWith({5, 5, -5, -5}), {0, 0, 5, 5}},
        {"intersection of overlapping", a.intersection({5, -5, 10, 10}), {5, 0, 5, 5}},
        {"intersection of disjoint is null", a.intersection({11, 0, 5, 5}), Rect::null()},
        {"intersection of touching is a line", a.intersection({10, 0, 5, 5}), {10, 0, 0, 5}},
        {"inset shrinks every edge", a.insetBy(2, 3), {2, 3, 6, 4}},
        {"inset past the middle is null", a.insetBy(6, 0), Rect::null()},
        {"negative inset grows", a.insetBy(-1, -1), {-1, -1, 12, 12}},
        {"edge insets", a.inset({1, 2, 3, 4}), {2, 1, 4, 6}},
        {"offset moves", a.offsetBy(3, -2), {3, -2, 10, 10}},
        {"offset keeps null", Rect::null().offsetBy(3, 3), Rect::null()},
        {"integral rounds outward", Rect{0.5, 1.2, 2.1, 3.9}.integral(), {0, 1, 3, 5}},
        {"integral of a flipped rect rounds its edges outward", Rect{2.5, 4.2, -2, -3.1}.integral(), {0, 1, 3, 4}},
        {"a transformed flipped rect is its corners' box", AffineTransform::translation(1, 1).apply(Rect{10, 10, -4, -6}),
         {7, 5, 4, 6}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        if (testCase.expected.isNull())
            EXPECT_TRUE(testCase.actual.isNull());
        else
            expectRectNear(testCase.actual, testCase.expected);
    }
}

TEST(Rect, EmptinessContainmentAndEdges) {
    const Rect a{10, 20, 30, 40};
    EXPECT_TRUE(Rect::null().isEmpty());
    EXPECT_TRUE(Rect(1, 1, 0, 5).isEmpty());
    EXPECT_FALSE(Rect(1, 1, 0, 5).isNull());
    EXPECT_FALSE(a.isEmpty());
    EXPECT_EQ(a.minX(), 10);
    EXPECT_EQ(a.midX(), 25);
    EXPECT_EQ(a.maxY(), 60);
    EXPECT_EQ(Rect(10, 10, -10, -10).minX(), 0);
    EXPECT_EQ(Rect(10, 10, -4, -6).maxX(), 10);
    EXPECT_EQ(Rect(10, 10, -4, -6).minY(), 4);
    EXPECT_EQ(Rect(10, 10, -4, -6).midY(), 7);
    // A rect null along one axis is not standardized: its edges are where its origin and size put them.
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Rect(10, infinity, -4, 0).minX(), 10);
    EXPECT_EQ(Rect(10, infinity, -4, 0).maxX(), 14);
    EXPECT_TRUE(a.contains(Point{10, 20}));
    EXPECT_FALSE(a.contains(Point{40, 30}));  // the maximum edge is outside
    EXPECT_TRUE(a.contains(Rect{15, 25, 25, 35}));
    EXPECT_FALSE(a.contains(Rect{15, 25, 26, 35}));
    EXPECT_FALSE(a.intersects({40, 20, 5, 5}));
    EXPECT_TRUE(a.intersects({39, 59, 5, 5}));
}

TEST(AffineTransform, ConcatenationAppliesTheReceiverFirst) {
    auto translateThenScale = AffineTransform::translation(10, 0).concatenating(AffineTransform::scale(2, 2));
    auto scaleThenTranslate = AffineTransform::scale(2, 2).concatenating(AffineTransform::translation(10, 0));
    EXPECT_EQ(translateThenScale.apply(Point{1, 1}), (Point{22, 2}));
    EXPECT_EQ(scaleThenTranslate.apply(Point{1, 1}), (Point{12, 2}));
    // translatedBy applies the translation before the receiver.
    EXPECT_EQ(AffineTransform::scale(2, 2).translatedBy(10, 0).apply(Point{1, 1}), (Point{22, 2}));
}

TEST(AffineTransform, InverseUndoesAndSingularStaysUnchanged) {
    auto transform = AffineTransform::rotation(0.7).translatedBy(5, -3).scaledBy(2, 0.5);
    Point point = transform.inverted().apply(transform.apply(Point{3, 4}));
    EXPECT_NEAR(point.x, 3, 1e-9);
    EXPECT_NEAR(point.y, 4, 1e-9);
    auto singular = AffineTransform::scale(0, 1);
    EXPECT_EQ(singular.inverted(), singular);
}

TEST(AffineTransform, RectsMapToTheBoundingBoxOfTheirCorners) {
    auto quarterTurn = AffineTransform::rotation(std::numbers::pi / 2);
    expectRectNear(quarterTurn.apply(Rect{0, 0, 10, 20}), {-20, 0, 20, 10});
    auto eighthTurn = AffineTransform::rotation(std::numbers::pi / 4);
    Rect box = eighthTurn.apply(Rect{0, 0, 10, 10});
    EXPECT_NEAR(box.width(), 10 * std::numbers::sqrt2, 1e-9);
    EXPECT_TRUE(quarterTurn.apply(Rect::null()).isNull());
    Size size = AffineTransform::translation(100, 100).scaledBy(2, 3).apply(Size{4, 5});
    EXPECT_EQ(size, (Size{8, 15}));
}
