#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <vector>

#include "ScanConverterTesting.h"

using namespace gfx;

TEST(ScanConverter, WideStrokesOfConvexOutlinesMatchCairo) {
    Path ellipse;
    ellipse.addEllipse({6.5, 8.25, 26, 19.5});
    Path triangle = polygon({{4, 6}, {36, 9.5}, {12.25, 34}});
    Path sharp = polygon({{3, 20}, {37, 17}, {36.5, 23}});  // its miters pass the limit of 2
    Path concave = polygon({{4, 4}, {36, 4}, {20, 14}, {36, 36}, {4, 36}});
    Path open;
    open.addLines(std::vector<Point>{{4, 6}, {36, 9.5}, {12.25, 34}});
    Path small = polygon({{18, 18}, {22, 18}, {20, 21}});  // its inner outline closes up at this width
    Path apart;
    apart.addEllipse({3, 4, 14, 12});
    apart.addLines(std::vector<Point>{{22, 22}, {36, 25}, {30, 36}});
    apart.closeSubpath();
    Path nested = ellipse;
    nested.addEllipse({14, 14, 12, 8});
    struct Case {
        const Path* path;
        double width;
        LineJoin join;
        bool ours;
    };
    const Case cases[] = {
        {&ellipse, 1.5, LineJoin::miter, true}, {&ellipse, 6, LineJoin::round, true},
        {&triangle, 3, LineJoin::miter, true},  {&triangle, 5.5, LineJoin::round, true},
        {&triangle, 2.5, LineJoin::bevel, true}, {&sharp, 3, LineJoin::miter, true},
        {&concave, 3, LineJoin::miter, false},  {&open, 3, LineJoin::miter, false},
        {&small, 6, LineJoin::miter, false},   {&apart, 2.5, LineJoin::round, true},
        {&nested, 2, LineJoin::miter, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        raster::StrokeStyle style{c.width, raster::StrokeStyle::Join(int(c.join)), 2};
        Bitmap target = Bitmap::make(size, size);
        auto drawn = raster::strokeConvex(*c.path, {}, 0.1, style, 0xFF0000FFu, targetOf(target));
        EXPECT_EQ(drawn.has_value(), c.ours) << i;
        // Turned, mirrored, and stretched and sheared (the pen an ellipse on the device).
        for (int transform = 0; transform < 3; ++transform) {
            Difference d = compare([&](Context& context) {
                context.translateBy(20, 20);
                if (transform == 1) {
                    context.rotateBy(0.5);
                    context.scaleBy(0.8, -0.8);
                } else if (transform == 2) {
                    context.concatenate(AffineTransform{1.1, 0.2, -0.3, 0.6, 0, 0});
                }
                context.translateBy(-20, -20);
                context.setFlatness(0.05);
                context.setLineWidth(c.width);
                context.setLineJoin(c.join);
                context.setMiterLimit(2);
                context.setStrokeColor(Color{0.2, 0.4, 0.9, 0.85});
                context.stroke(*c.path);
            });
            EXPECT_LE(d.largest, cairoSampling) << i << " " << transform;
        }
    }
}

TEST(ScanConverter, ConvexOutlinesWhoseCornersRunStraightStayRings) {
    // Outlines are told apart by their own corners before they are flattened. Corners in a row along
    // one side (turning neither way), a rounded rectangle whose curves end on its sides, a lens of two
    // curves (two corners alone) and these mirrored are convex, drawn as rings; a chevron whose
    // corners turn both ways is not.
    Path slanted = polygon({{4, 6}, {12, 7}, {20, 8}, {36, 10}, {12.25, 34}, {8, 20}});
    Path rounded;
    rounded.addRoundedRect({5, 7, 30, 24}, 6, 6);
    Path lens;
    lens.moveTo({6, 20});
    lens.curveTo({14, 6}, {26, 6}, {34, 20});
    lens.curveTo({26, 34}, {14, 34}, {6, 20});
    lens.closeSubpath();
    Path chevron;
    chevron.addLines(std::vector<Point>{{4, 4}, {36, 4}, {20, 14}});
    chevron.curveTo({30, 20}, {34, 30}, {36, 36});
    chevron.lineTo({4, 36});
    chevron.closeSubpath();
    struct Case {
        const Path* path;
        bool ring;
    };
    const Case cases[] = {{&slanted, true}, {&rounded, true}, {&lens, true}, {&chevron, false}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        for (const AffineTransform& transform : {AffineTransform{}, AffineTransform{-1, 0, 0, 1, 40, 0}}) {
            Bitmap target = Bitmap::make(size, size);
            raster::StrokeStyle style{2, raster::StrokeStyle::Join::miter, 4};
            auto drawn = raster::strokeConvex(*cases[i].path, transform, 0.1, style, 0xFF0000FFu, targetOf(target));
            EXPECT_EQ(drawn.has_value(), cases[i].ring) << i << " " << transform.a;
        }
}

// Dashed strokes, hairlines and wide, are the converter's, as Cairo draws them.
TEST(ScanConverter, DashedHairlinesAndWideOnesAreDrawnAlike) {
    Path path;
    path.moveTo({3, 4});
    path.lineTo({30, 20});
    path.lineTo({10, 35});
    Path dot;
    dot.moveTo({20, 20});
    dot.lineTo({20, 20});
    auto dashed = [&](double width) {
        return [&path, width](Context& context) {
            context.setLineWidth(width);
            const double dashes[] = {4.1, 2.3};
            context.setLineDash(1, dashes);
            context.setStrokeColor(Color{0.1, 0.7, 0.3, 0.9});
            context.stroke(path);
        };
    };
    for (double width : {0.5, 3.0}) {
        Difference difference = compare(dashed(width));
        EXPECT_EQ(difference.beyondSampling, 0) << width << " " << difference.largest;
        EXPECT_NE(draw(dashed(width), true).pixels, draw(dashed(width), false).pixels) << width;
    }
    // A round dot of a subpath without length.
    auto paint = [&](Context& context) {
        context.setLineWidth(0.9);
        context.setLineCap(LineCap::round);
        context.stroke(dot);
    };
    EXPECT_EQ(draw(paint, true).pixels, draw(paint, false).pixels);
}
