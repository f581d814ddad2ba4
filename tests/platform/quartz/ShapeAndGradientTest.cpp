#include <gtest/gtest.h>

#include "RenderProbe.h"
#include "quartz/GradientLayer.h"
#include "quartz/ShapeLayer.h"
#include "quartz/TextLayer.h"

using namespace quartz;
using namespace quartz::testing;
using gfx::Color;

namespace {

std::shared_ptr<ShapeLayer> shape(gfx::Path path) {
    auto layer = ShapeLayer::make();
    layer->setFrame({0, 0, 100, 100});
    layer->setPath(std::move(path));
    return layer;
}

gfx::Path box(gfx::Rect rect) {
    gfx::Path path;
    path.addRect(rect);
    return path;
}

gfx::Path nestedSquares() {
    gfx::Path path;
    path.addRect({10, 10, 80, 80});
    path.addRect({30, 30, 40, 40});  // same direction as the outer square
    return path;
}

std::shared_ptr<GradientLayer> redToBlue(GradientType type, gfx::Point start, gfx::Point end) {
    auto layer = GradientLayer::make();
    layer->setFrame({0, 0, 100, 100});
    layer->setColors({red, blue});
    layer->setType(type);
    layer->setStartPoint(start);
    layer->setEndPoint(end);
    return layer;
}

}  // namespace

TEST(ShapeLayerRendering, FillsBlackByDefaultAndHonoursTheFillRule) {
    auto layer = shape(nestedSquares());
    gfx::Bitmap winding = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(winding, 50, 50, Color::black()));
    EXPECT_TRUE(colorNear(winding, 5, 5, transparent));

    layer->setFillRule(gfx::FillRule::evenOdd);
    layer->setFillColor(red);
    gfx::Bitmap evenOdd = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(evenOdd, 50, 50, transparent));
    EXPECT_TRUE(colorNear(evenOdd, 20, 20, red));
}

TEST(ShapeLayerRendering, StrokesWithTheLineStyleAndNoFill) {
    gfx::Path square;
    square.addRect({20, 20, 60, 60});
    auto layer = shape(square);
    layer->setFillColor(std::nullopt);
    layer->setStrokeColor(blue);
    layer->setLineWidth(6);
    gfx::Bitmap image = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(image, 20, 50, blue));
    EXPECT_TRUE(colorNear(image, 18, 50, blue));
    EXPECT_TRUE(colorNear(image, 50, 50, transparent));
    EXPECT_TRUE(colorNear(image, 10, 50, transparent));

    layer->setLineDashPattern({10, 10});
    gfx::Bitmap dashed = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(dashed, 25, 20, blue));
    EXPECT_TRUE(colorNear(dashed, 35, 20, transparent));
}

TEST(ShapeLayerRendering, StrokeEndLimitsTheStrokeByPathLength) {
    gfx::Path line;
    line.moveTo({10, 50});
    line.lineTo({90, 50});
    auto layer = shape(line);
    layer->setStrokeColor(red);
    layer->setLineWidth(4);
    layer->setStrokeEnd(0.5);
    gfx::Bitmap half = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(half, 30, 50, red));
    EXPECT_TRUE(colorNear(half, 48, 50, red));
    EXPECT_TRUE(colorNear(half, 52, 50, transparent));
    EXPECT_TRUE(colorNear(half, 70, 50, transparent));

    layer->setStrokeStart(0.75);
    layer->setStrokeEnd(1);
    gfx::Bitmap tail = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(tail, 60, 50, transparent));
    EXPECT_TRUE(colorNear(tail, 85, 50, red));
}

TEST(ShapeLayerRendering, TrimmedPathMeasuresCurvesAndClosingSegments) {
    gfx::Path square;
    square.addRect({0, 0, 10, 10});  // perimeter 40, closed
    gfx::Path whole = trimmedPath(square, 0, 1);
    EXPECT_EQ(whole.elements().back().kind, gfx::PathElement::Kind::closeSubpath);
    gfx::Path firstHalf = trimmedPath(square, 0, 0.5);
    EXPECT_EQ(firstHalf.currentPoint(), (gfx::Point{10, 10}));
    gfx::Path last = trimmedPath(square, 0.875, 1);  // along the closing edge from (0, 5) to (0, 0)
    EXPECT_EQ(last.elements().front().points[0], (gfx::Point{0, 5}));

    gfx::Path circle;
    circle.addEllipse({0, 0, 20, 20});
    gfx::Path quarter = trimmedPath(circle, 0, 0.25, 0.05);
    auto end = quarter.currentPoint();
    ASSERT_TRUE(end);
    // A quarter of the way round from the start point lands a quarter turn on.
    gfx::Point start = circle.elements().front().points[0];
    double startAngle = std::atan2(start.y - 10, start.x - 10), endAngle = std::atan2(end->y - 10, end->x - 10);
    EXPECT_NEAR(std::abs(std::remainder(endAngle - startAngle, 2 * M_PI)), M_PI / 2, 0.01);
    EXPECT_TRUE(trimmedPath(circle, 0.6, 0.4).isEmpty());
}

TEST(ShapeLayerRendering, ShapeMasksCoverTheirOwnAreaOnly) {
    auto maskedBy = [](std::shared_ptr<Layer> mask) {
        auto layer = shape(box({0, 0, 100, 100}));
        layer->setFillColor(red);
        auto sublayer = Layer::make();  // masked with the layer
        sublayer->setFrame({0, 90, 100, 10});
        sublayer->setBackgroundColor(blue);
        layer->addSublayer(sublayer);
        layer->setMask(std::move(mask));
        return renderToBitmap(*layer, {100, 100});
    };
    const gfx::Path square = box({0, 0, 40, 40});

    // Placed by its frame in the masked layer's space, with its fill rule; the sublayers are cut alike.
    auto placed = shape(nestedSquares());
    placed->setFrame({5, 10, 100, 100});
    placed->setFillRule(gfx::FillRule::evenOdd);
    gfx::Bitmap ring = maskedBy(placed);
    EXPECT_TRUE(colorNear(ring, 20, 25, red));
    EXPECT_TRUE(colorNear(ring, 55, 60, transparent));
    EXPECT_TRUE(colorNear(ring, 10, 15, transparent));
    EXPECT_TRUE(colorNear(ring, 50, 95, blue));
    EXPECT_TRUE(colorNear(ring, 2, 95, transparent));

    // Two shapes: both show, the gap between them does not.
    auto pair = Layer::make();
    pair->setFrame({0, 0, 100, 100});
    pair->addSublayer(shape(square));
    pair->addSublayer(shape(square.transformed(gfx::AffineTransform::translation(60, 60))));
    gfx::Bitmap both = maskedBy(pair);
    EXPECT_TRUE(colorNear(both, 20, 20, red));
    EXPECT_TRUE(colorNear(both, 80, 95, blue));
    EXPECT_TRUE(colorNear(both, 50, 50, transparent));
    // Placed by a plain layer masked by them (a clip path's coverage), cut to that layer's bounds.
    auto placing = Layer::make();
    placing->setFrame({0, 0, 70, 100});
    placing->setBackgroundColor(Color::black());
    placing->setMask(pair);
    gfx::Bitmap cut = maskedBy(placing);
    EXPECT_TRUE(colorNear(cut, 20, 20, red));
    EXPECT_TRUE(colorNear(cut, 65, 65, red));
    EXPECT_TRUE(colorNear(cut, 80, 80, transparent));
    EXPECT_TRUE(colorNear(cut, 50, 50, transparent));

    // Partial coverage: a translucent fill, a translucent shape layer.
    auto faint = shape(square);
    faint->setFillColor(Color::black().withAlphaComponent(0.5));
    EXPECT_TRUE(colorNear(maskedBy(faint), 20, 20, red.withAlphaComponent(0.5)));
    auto faded = shape(square);
    faded->setOpacity(0.5);
    EXPECT_TRUE(colorNear(maskedBy(faded), 20, 20, red.withAlphaComponent(0.5)));

    // A stroked shape covers its outline, not its inside.
    auto outline = shape(square);
    outline->setFillColor(std::nullopt);
    outline->setStrokeColor(Color::black());
    outline->setLineWidth(4);
    gfx::Bitmap stroked = maskedBy(outline);
    EXPECT_TRUE(colorNear(stroked, 40, 20, red));
    EXPECT_TRUE(colorNear(stroked, 20, 20, transparent));

    // A hidden shape leaves nothing to show.
    auto hidden = shape(square);
    hidden->setHidden(true);
    gfx::Bitmap none = maskedBy(hidden);
    EXPECT_TRUE(colorNear(none, 20, 20, transparent));
    EXPECT_TRUE(colorNear(none, 20, 95, transparent));
}

TEST(ShapeLayerRendering, ASharedPathIsDrawnWhereItsTransformPlacesIt) {
    // A unit square scaled and moved into (20, 30, 40, 20): filled, stroked, as a mask, as drawn bounds,
    // and the same pixels as the square placed point by point.
    const auto unit = std::make_shared<const gfx::Path>(box({0, 0, 1, 1}));
    const gfx::AffineTransform placement{40, 0, 0, 20, 20, 30};
    auto shared = ShapeLayer::make();
    shared->setFrame({0, 0, 100, 100});
    shared->setSharedPath(unit, placement);
    shared->setFillColor(red);
    EXPECT_EQ(shared->sharedPath(), unit);
    EXPECT_EQ(shared->placedPath()->boundingBox(), (gfx::Rect{20, 30, 40, 20}));
    auto copied = shape(box({20, 30, 40, 20}));
    copied->setFillColor(red);
    const gfx::Bitmap filled = renderToBitmap(*shared, {100, 100});
    EXPECT_EQ(filled.pixels, renderToBitmap(*copied, {100, 100}).pixels);
    EXPECT_TRUE(colorNear(filled, 40, 40, red));
    EXPECT_TRUE(colorNear(filled, 10, 40, transparent));

    // A stroke keeps its width in bounds space: 4 wide, not 4 units of the square.
    shared->setStrokeColor(blue);
    shared->setLineWidth(4);
    copied->setStrokeColor(blue);
    copied->setLineWidth(4);
    EXPECT_EQ(shared->drawingBounds(), copied->drawingBounds());
    const gfx::Bitmap stroked = renderToBitmap(*shared, {100, 100});
    EXPECT_EQ(stroked.pixels, renderToBitmap(*copied, {100, 100}).pixels);
    EXPECT_TRUE(colorNear(stroked, 40, 30, blue));
    EXPECT_TRUE(colorNear(stroked, 40, 34, red));

    // As a mask it cuts where it is drawn, not where its points lie.
    shared->setStrokeColor(std::nullopt);
    auto masked = shape(box({0, 0, 100, 100}));
    masked->setFillColor(blue);
    masked->setMask(shared);
    const gfx::Bitmap cut = renderToBitmap(*masked, {100, 100});
    EXPECT_TRUE(colorNear(cut, 40, 40, blue));
    EXPECT_TRUE(colorNear(cut, 0, 0, transparent));

    // A transform the context cannot take (it ignores singular ones) still places the path: flattened
    // to a line, the square fills nothing rather than its unit square at the origin.
    shared->setSharedPath(unit, gfx::AffineTransform{40, 0, 0, 0, 0, 0});
    shared->setFrame({0, 0, 100, 100});
    shared->setMask(nullptr);
    shared->setFillColor(red);
    const gfx::Bitmap flat = renderToBitmap(*shared, {100, 100});
    EXPECT_TRUE(colorNear(flat, 0, 0, transparent));

    // A path set afterwards is in bounds space again.
    shared->setPath(box({50, 50, 10, 10}));
    EXPECT_TRUE(shared->pathTransform().isIdentity());
    EXPECT_TRUE(colorNear(renderToBitmap(*shared, {100, 100}), 55, 55, red));
}

TEST(ShapeLayerRendering, AStrokeThroughAPlacementScalingBothAxesAlikeIsThatOfThePlacedPoints) {
    // Width and dashes in bounds space, drawn through the placement (divided by its scale): the same pixels
    // as the points placed one by one, for curves and round joins, dashed, mirrored or not. The scale is a
    // power of two, so both ways compute the same numbers.
    gfx::Path outline;
    outline.addEllipse({0, 0, 4, 3});
    outline.moveTo({0, 4});
    outline.lineTo({2, 5});
    outline.lineTo({4, 4});
    const auto shared = std::make_shared<const gfx::Path>(outline);
    for (const gfx::AffineTransform& placement : {gfx::AffineTransform{16, 0, 0, 16, 10, 6},
                                                  gfx::AffineTransform{-16, 0, 0, 16, 90, 6},
                                                  gfx::AffineTransform{16, 0, 0, -16, 10, 94}}) {
        auto through = ShapeLayer::make();
        auto copied = shape(outline.transformed(placement));
        through->setFrame({0, 0, 100, 100});
        through->setSharedPath(shared, placement);
        for (const auto& layer : {through, copied}) {
            layer->setFillColor(std::nullopt);
            layer->setStrokeColor(blue);
            layer->setLineWidth(5);
            layer->setLineJoin(gfx::LineJoin::round);
        }
        EXPECT_EQ(through->drawingBounds(), copied->drawingBounds());
        const gfx::Bitmap solid = renderToBitmap(*through, {100, 100});
        EXPECT_EQ(solid.pixels, renderToBitmap(*copied, {100, 100}).pixels);
        // Just inside the ellipse's top, within its stroke, and its centre.
        const gfx::Point top = placement.apply(gfx::Point{2, 0}), centre = placement.apply(gfx::Point{2, 1.5});
        EXPECT_TRUE(colorNear(solid, int(top.x), int(top.y + (centre.y > top.y ? 1 : -1)), blue))
            << "5 wide in bounds space, not 5 units of the outline";
        EXPECT_TRUE(colorNear(solid, int(centre.x), int(centre.y), transparent));
        for (const auto& layer : {through, copied}) {
            layer->setLineDashPattern({12, 4});
            layer->setLineDashPhase(3);
        }
        EXPECT_EQ(renderToBitmap(*through, {100, 100}).pixels, renderToBitmap(*copied, {100, 100}).pixels);
    }
}

TEST(ShapeLayerRendering, OpacityFadesTheShapeAsOnePicture) {
    auto layer = shape(box({20, 20, 60, 60}));
    layer->setFillColor(red);
    layer->setOpacity(0.5);
    gfx::Bitmap filled = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(filled, 50, 50, red.withAlphaComponent(0.5)));
    EXPECT_TRUE(colorNear(filled, 10, 10, transparent));

    // Where the stroke lies over the fill only the stroke shows, at the layer's opacity.
    layer->setStrokeColor(blue);
    layer->setLineWidth(10);
    gfx::Bitmap stroked = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(stroked, 22, 50, blue.withAlphaComponent(0.5)));
    EXPECT_TRUE(colorNear(stroked, 50, 50, red.withAlphaComponent(0.5)));

    // So where a sublayer lies over the shape.
    layer->setStrokeColor(std::nullopt);
    auto sublayer = Layer::make();
    sublayer->setFrame({40, 40, 20, 20});
    sublayer->setBackgroundColor(blue);
    layer->addSublayer(sublayer);
    EXPECT_TRUE(colorNear(renderToBitmap(*layer, {100, 100}), 50, 50, blue.withAlphaComponent(0.5)));
}

TEST(GradientLayerRendering, AxialGradientRunsBetweenItsPointsAndExtendsTheEnds) {
    auto layer = redToBlue(GradientType::axial, {0.2, 0.5}, {0.8, 0.5});
    gfx::Bitmap image = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(image, 2, 50, red));
    EXPECT_TRUE(colorNear(image, 97, 50, blue));
    EXPECT_TRUE(colorNear(image, 50, 50, Color{0.5, 0, 0.5, 1}, 0.03));

    // The default runs top to bottom.
    auto vertical = GradientLayer::make();
    vertical->setFrame({0, 0, 100, 100});
    vertical->setColors({red, blue});
    gfx::Bitmap down = renderToBitmap(*vertical, {100, 100});
    EXPECT_TRUE(colorNear(down, 50, 0, red, 0.03));
    EXPECT_TRUE(colorNear(down, 50, 99, blue, 0.03));
}

TEST(GradientLayerRendering, RadialGradientReachesItsLastColourOnTheEllipse) {
    auto layer = redToBlue(GradientType::radial, {0.5, 0.5}, {1, 1});
    gfx::Bitmap image = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(image, 50, 50, red, 0.03));
    EXPECT_TRUE(colorNear(image, 99, 50, blue, 0.03));
    EXPECT_TRUE(colorNear(image, 50, 0, blue, 0.03));
    EXPECT_TRUE(colorNear(image, 74, 50, Color{0.5, 0, 0.5, 1}, 0.05));
}

TEST(GradientLayerRendering, MismatchedLocationsDrawNothing) {
    auto layer = redToBlue(GradientType::axial, {0, 0}, {1, 1});
    layer->setLocations({0, 0.5, 1});
    EXPECT_TRUE(colorNear(renderToBitmap(*layer, {100, 100}), 50, 50, transparent));
}

TEST(TextLayerRendering, DrawsThroughTheInstalledTextDrawerOnly) {
    auto layer = TextLayer::make();
    layer->setFrame({0, 0, 100, 100});
    layer->setString("P1");
    EXPECT_TRUE(colorNear(renderToBitmap(*layer, {100, 100}), 50, 50, transparent));

    setTextLayerDrawer([](const TextLayer& text, gfx::Context& context) {
        if (text.string() != "P1") return;
        context.setFillColor(*text.foregroundColor());
        context.fillRect({40, 40, 20, 20});
    });
    layer->setForegroundColor(red);
    gfx::Bitmap image = renderToBitmap(*layer, {100, 100});
    setTextLayerDrawer(nullptr);
    EXPECT_TRUE(colorNear(image, 50, 50, red));
    EXPECT_TRUE(colorNear(image, 10, 10, transparent));
}
