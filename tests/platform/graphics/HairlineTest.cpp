#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "TestSeed.h"
#include "ScanConverterTesting.h"

using namespace gfx;

namespace {

Path randomStroke(std::mt19937& random) {
    std::uniform_real_distribution<double> at(-2, 22);
    Path path;
    path.moveTo({at(random), at(random)});
    path.lineTo({at(random), at(random)});
    path.curveTo({at(random), at(random)}, {at(random), at(random)}, {at(random), at(random)});
    path.lineTo({at(random), at(random)});
    return path;
}

std::uint64_t totalAlpha(const Bitmap& image) {
    std::uint64_t total = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) total += image.pixel(x, y) >> 24;
    return total;
}

// Adds the one pixel wide quad around the segment from `a` to `b` to `path` as a subpath.
void addBand(Path& path, Point a, Point b) {
    double length = std::hypot(b.x - a.x, b.y - a.y);
    Point n{-(b.y - a.y) / length * 0.5, (b.x - a.x) / length * 0.5};
    path.addLines(std::vector<Point>{{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y},
                                     {a.x - n.x, a.y - n.y}});
    path.closeSubpath();
}

struct HairlineAgainstBands {
    int largest;  // over every channel of every pixel
    std::uint64_t ink;  // the hairline's
};

// `stroke` drawn as a hairline 0.99 wide against `bands` filled, both white on a clear bitmap (inside a
// clip when `clipped`).
HairlineAgainstBands compareHairline(const Path& stroke, const Path& bands, bool clipped = false) {
    Bitmap clear = Bitmap::make(size, size);
    auto paint = [&](bool strokeIt) {
        return [&, strokeIt](Context& context) {
            if (clipped) context.clip(Rect{7, 9, 24, 22});
            context.setStrokeColor(Color::white());
            context.setFillColor(Color::white());
            context.setLineWidth(0.99);
            strokeIt ? context.stroke(stroke) : context.fill(bands);
        };
    };
    Bitmap hairline = draw(paint(true), true, clear), filled = draw(paint(false), true, clear);
    HairlineAgainstBands result{0, totalAlpha(hairline)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            result.largest = std::max(result.largest, channelDifference(hairline.pixel(x, y), filled.pixel(x, y)));
    return result;
}

}  // namespace

TEST(ScanConverter, ThinStrokesAreHairlinesWithTheirWidthsInk) {
    // Under a pixel wide, a stroke's ink is its length times its device width, in a one-pixel band;
    // Cairo's samples miss the thinnest lines altogether, so they are checked against a wider line.
    std::mt19937 random(sorvane::testing::testSeed(9));
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 6; ++i) {
        Path path = randomStroke(random);
        if (i % 2) path.closeSubpath();
        auto strokeAt = [&](double width, bool converter) {
            return totalAlpha(draw(
                [&](Context& context) {
                    context.scaleBy(2, 2);
                    context.rotateBy(0.2 * i);
                    if (i % 3 == 2) context.scaleBy(1, 0.6);  // thinner along one axis
                    context.setLineWidth(width / 2);  // in device pixels at most
                    context.setStrokeColor(Color::white());
                    context.stroke(path);
                },
                converter, clear));
        };
        double cairo = double(strokeAt(0.8, false));
        EXPECT_NEAR(double(strokeAt(0.8, true)), cairo, 0.15 * cairo) << i;
        EXPECT_NEAR(double(strokeAt(0.3, true)), cairo * 0.3 / 0.8, 0.15 * cairo * 0.3 / 0.8) << i;
        EXPECT_NEAR(double(strokeAt(0.05, true)), cairo * 0.05 / 0.8, 0.15 * cairo * 0.05 / 0.8) << i;
    }
}

TEST(ScanConverter, AHairlineSegmentInksItsOnePixelBandTimesItsWidth) {
    // Each segment, whichever way it runs and whether or not the box cuts it, covers what the one
    // pixel wide quad around it covers when filled, scaled by the width (0.99 here: within 3/255).
    const std::array<Point, 2> segments[] = {
        {{{5.3, 4.1}, {31.7, 12.6}}}, {{{31.7, 12.6}, {5.3, 4.1}}},   {{{12.2, 3.5}, {17.9, 35.2}}},
        {{{17.9, 35.2}, {12.2, 3.5}}}, {{{30.5, 6.25}, {8.75, 30.5}}}, {{{6.5, 20.5}, {33.5, 20.5}}},
        {{{20.5, 6.5}, {20.5, 33.5}}}, {{{-6.2, 14.3}, {25.1, 47.8}}}, {{{26.4, 12.2}, {44.9, 30.3}}},
    };
    for (bool clipped : {false, true})
        for (const auto& [a, b] : segments) {
            Path line;
            line.moveTo(a);
            line.lineTo(b);
            Path band;
            addBand(band, a, b);
            auto [largest, ink] = compareHairline(line, band, clipped);
            EXPECT_LE(largest, 3) << a.x << "," << a.y << " " << b.x << "," << b.y << " clipped " << clipped;
            EXPECT_GT(ink, 0u) << a.x << "," << a.y << " clipped " << clipped;
        }
}

TEST(ScanConverter, AHairlineOfManySubpathsInksEachSegmentsBandOnce) {
    // Open and closed subpaths of several lengths, a repeated point and a lone one: the stroke covers
    // what the one pixel wide quads around its segments (closing ones included) cover filled as one
    // path, each once, scaled by the width (0.99: within 3/255).
    const std::vector<std::vector<Point>> subpaths = {
        {{4.2, 5.1}, {9.7, 6.3}, {9.7, 6.3}, {14.1, 3.9}, {18.6, 9.4}},
        {{22.3, 4.4}},
        {{6.1, 30.2}, {8.4, 22.7}, {12.9, 24.1}, {11.2, 33.6}, {6.1, 30.2}},
        {{24.5, 14.2}, {34.8, 17.9}, {29.3, 27.6}},
        {{17.1, 35.2}, {19.6, 34.1}},
    };
    const bool closed[] = {false, true, true, true, false};
    Path stroke, bands;
    for (std::size_t i = 0; i < subpaths.size(); ++i) {
        const auto& points = subpaths[i];
        stroke.moveTo(points[0]);
        for (std::size_t j = 1; j < points.size(); ++j) stroke.lineTo(points[j]);
        if (closed[i]) stroke.closeSubpath();
        for (std::size_t j = 0; j + (closed[i] ? 0 : 1) < points.size(); ++j) {
            Point a = points[j], b = points[(j + 1) % points.size()];
            if (a.x != b.x || a.y != b.y) addBand(bands, a, b);
        }
    }
    auto [largest, ink] = compareHairline(stroke, bands);
    EXPECT_LE(largest, 3);
    EXPECT_GT(ink, 0u);
}

// Where a hairline goes back over itself along one line, the stretch it retraces is inked once, as
// Cairo's stroke (the union of its pieces) inks it: a segment closed back to its start, a line turning
// right back part of the way or past its start, a run along one line back and forth, as one band each.
TEST(ScanConverter, AHairlineGoingBackOverItselfInksTheStretchOnce) {
    struct Case {
        std::vector<Point> points;
        bool closed;
        Point from, to;  // the one band it covers
    };
    const Case cases[] = {
        {{{18, 39}, {12, 2}}, true, {18, 39}, {12, 2}},
        {{{4.5, 20.25}, {34.5, 12.75}, {18.5, 16.75}}, false, {4.5, 20.25}, {34.5, 12.75}},
        {{{18.5, 16.75}, {34.5, 12.75}, {4.5, 20.25}}, false, {4.5, 20.25}, {34.5, 12.75}},
        {{{10, 30}, {30, 30}, {15, 30}, {35, 30}, {5, 30}}, true, {5, 30}, {35, 30}},
    };
    for (const Case& c : cases) {
        Path stroke, band;
        stroke.addLines(c.points);
        if (c.closed) stroke.closeSubpath();
        addBand(band, c.from, c.to);
        auto [largest, ink] = compareHairline(stroke, band);
        EXPECT_LE(largest, 3) << c.points.size() << " points";
    }
}

TEST(ScanConverter, HairlinesThinOutAlongTheAxisTheTransformShrinks) {
    // Under a scale of 1 by 1/4, a 0.8 wide line is 0.2 pixels thick running across and 0.8 running
    // down; both are 30 pixels long.
    Bitmap clear = Bitmap::make(size, size);
    for (bool across : {true, false}) {
        Path line;
        line.moveTo(across ? Point{5, 40} : Point{20, 20});
        line.lineTo(across ? Point{35, 40} : Point{20, 140});
        Bitmap image = draw(
            [&](Context& context) {
                context.scaleBy(1, 0.25);
                context.setLineWidth(0.8);
                context.setStrokeColor(Color::white());
                context.stroke(line);
            },
            true, clear);
        double ink = 30 * (across ? 0.2 : 0.8) * 255;
        EXPECT_NEAR(double(totalAlpha(image)), ink, 0.03 * ink) << across;
    }
    // Turned and mirrored at half scale both ways, a 1.2 wide line is 0.6 pixels thick whichever
    // way it runs: 15 pixels long here.
    for (Point end : {Point{40, 10}, Point{10, 40}, Point{31.2, 31.2}}) {
        Path line;
        line.moveTo({10, 10});
        line.lineTo(end);
        Bitmap image = draw(
            [&](Context& context) {
                context.translateBy(35, 12);
                context.rotateBy(0.5);
                context.scaleBy(-0.5, 0.5);
                context.setLineWidth(1.2);
                context.setStrokeColor(Color::white());
                context.stroke(line);
            },
            true, clear);
        double ink = std::hypot(end.x - 10, end.y - 10) * 0.5 * 0.6 * 255;
        EXPECT_NEAR(double(totalAlpha(image)), ink, 0.03 * ink) << end.x << "," << end.y;
    }
}

// A hairline whose box the clip leaves whole has its quads taken as inside it, their corners untested. Over
// random paths, turns, widths and clips (the canvas's sides, a clip cutting the path, one just past or on its
// box, a canvas larger than one band's cells) it is drawn to the bit as with each quad's corners tested.
TEST(ScanConverter, AHairlineTheClipLeavesWholeIsDrawnAsWithEveryQuadTested) {
    std::mt19937 random(sorvane::testing::testSeed(11));
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 300; ++i) {
        const int side = i % 30 == 0 ? 700 : size;
        // Most inside the canvas by a pixel or two, some over its sides.
        const double margin = i % 3 == 0 ? -3 : 1 + 2 * unit(random);
        auto at = [&] {
            return Point{margin + unit(random) * (side - 2 * margin), margin + unit(random) * (side - 2 * margin)};
        };
        Path path;
        const Point a = at(), b = at();
        path.moveTo(a);
        path.lineTo(b);
        if (i % 4 == 1) {  // back over its first segment's line
            const double t = unit(random) - 0.5;
            path.lineTo({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
        for (int k = 0, count = int(unit(random) * 6); k < count; ++k) {
            if (unit(random) < 0.3) path.curveTo(at(), at(), at());
            else path.lineTo(at());
        }
        if (i % 2) path.closeSubpath();
        const Rect bounds = path.boundingBox();
        const int clipKind = i % 5;
        const double width = 0.05 + 0.9 * unit(random);
        auto paint = [&](bool tested) {
            raster::setHairlineQuadsTestedOneByOne(tested);
            Bitmap start = Bitmap::make(side, side);
            auto context = Context::create(start, {});
            // None; one cutting the path; one a pixel and a bit past its box; one on its box's pixels.
            Rect cutting = bounds;
            cutting.origin.x += bounds.width() * 0.3;
            if (clipKind == 1) context->clip(cutting);
            if (clipKind == 2) context->clip(bounds.insetBy(-1.6, -1.6));
            if (clipKind == 3) context->clip(bounds.insetBy(-1, -1).integral());
            context->setStrokeColor(Color{0.9, 0.6, 0.3, 0.8});
            context->setLineWidth(width);
            context->stroke(path);
            raster::setHairlineQuadsTestedOneByOne(false);
            return context->takeImage();
        };
        const Bitmap fast = paint(false), tested = paint(true);
        ASSERT_EQ(fast.pixels, tested.pixels) << "drawing " << i;
    }
}
