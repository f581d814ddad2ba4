#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "TestSeed.h"
#include "ScanConverterTesting.h"

using namespace gfx;

namespace {

Color randomColor(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    return Color{unit(random), unit(random), unit(random), unit(random) < 0.3 ? 1.0 : unit(random)};
}

// Corners at increasing angles around a centre: never crosses itself.
std::vector<Point> randomStar(std::mt19937& random, int corners) {
    std::uniform_real_distribution<double> radius(3, 24), centre(8, size - 8), jitter(0.1, 0.9);
    Point c{centre(random), centre(random)};
    std::vector<Point> points;
    for (int i = 0; i < corners; ++i) {
        double angle = (i + jitter(random)) * 2 * std::numbers::pi / corners;
        double r = radius(random);
        points.push_back({c.x + r * std::cos(angle), c.y + r * std::sin(angle)});
    }
    return points;
}

// `path` in device pixels filled over `start` through the converter with overlaps traced, as a
// stroke's pieces are.
Bitmap fillTraced(const Path& path, FillRule rule, Color color, Bitmap start) {
    std::uint32_t source = raster::premultipliedPixel(color.red, color.green, color.blue, color.alpha);
    EXPECT_TRUE(raster::fillPath(path, {}, 0.1, rule, source, targetOf(start), raster::Overlaps::exact));
    return start;
}

// The exact area of a simple polygon inside one pixel (the polygon clipped by each side in turn).
double areaInPixel(std::vector<Point> points, int px, int py) {
    auto clipBy = [&](auto inside, auto cross) {
        std::vector<Point> out;
        for (std::size_t i = 0; i < points.size(); ++i) {
            Point a = points[i], b = points[(i + 1) % points.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) != inside(b)) out.push_back(cross(a, b));
        }
        points = out;
    };
    auto atX = [](double x) {
        return [x](Point a, Point b) { return Point{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    };
    auto atY = [](double y) {
        return [y](Point a, Point b) { return Point{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    };
    clipBy([&](Point p) { return p.x >= px; }, atX(px));
    clipBy([&](Point p) { return p.x <= px + 1; }, atX(px + 1));
    clipBy([&](Point p) { return p.y >= py; }, atY(py));
    clipBy([&](Point p) { return p.y <= py + 1; }, atY(py + 1));
    double twice = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        Point a = points[i], b = points[(i + 1) % points.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::abs(twice) / 2;
}

// How far, in levels, the alpha of the picture's pixels strays from the exact area `points` covers
// in each.
int largestAreaError(const Bitmap& image, const std::vector<Point>& points) {
    int largest = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int expected = int(std::lround(areaInPixel(points, x, y) * 255));
            largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - expected));
        }
    return largest;
}

}  // namespace

TEST(ScanConverter, CoversEachPixelByItsExactArea) {
    std::mt19937 random(sorvane::testing::testSeed(11));
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 8; ++i) {
        std::vector<Point> points = randomStar(random, 3 + 2 * i);
        if (i % 2) std::reverse(points.begin(), points.end());
        Bitmap image = draw([&](Context& context) { fillWith(context, polygon(points), FillRule::evenOdd, Color::white()); },
                            true, clear);
        EXPECT_LE(largestAreaError(image, points), 1) << "polygon " << i;
    }
}

TEST(ScanConverter, WideBoxesCoverEachPixelByItsExactArea) {
    // Wide enough that the rows are accumulated a few at a time: edges start, end and have corners
    // on the boundaries between such bands and within them.
    constexpr int width = 7000, height = 40;
    std::vector<Point> points = {{3.5, 0.25}, {6990.75, 16.5}, {5600, 19.5}, {6997, 39.5},
                                 {3500.25, 32}, {20, 39},      {2100, 17.5}};
    Bitmap clear = Bitmap::make(width, height);
    Bitmap image = draw([&](Context& context) { fillWith(context, polygon(points), FillRule::winding, Color::white()); },
                        true, clear);
    int largest = 0;
    for (int y = 0; y < height; ++y)
        for (int x = y % 5; x < width; x += 5) {
            int expected = int(std::lround(areaInPixel(points, x, y) * 255));
            largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - expected));
        }
    EXPECT_LE(largest, 1);
}

TEST(ScanConverter, SteepEdgesCoverEachPixelByItsExactArea) {
    // Edges running down inside one column (the last of a 64-column word among them), down a whole
    // column's side (the box's right side among them) and crossing a column every few rows; beside a
    // sliver at the left that starts the box at column 0, and a far triangle that makes it wide enough
    // to be accumulated a band of rows at a time, past the 63rd word of 64 columns.
    constexpr int width = 4200, height = 120;
    const std::vector<std::vector<Point>> shapes = {
        {{63.15, 0.4}, {127.05, 1.6}, {127.95, 118.3}, {63.85, 119.6}},
        {{20, 3.5}, {64, 3.5}, {64, 100.25}, {25.5, 110.75}},
        {{10.5, 0.3}, {40.2, 119.7}, {2, 119.7}},
        // Steep sides crossing from one 64-column word into the next, a row's piece reaching a cell
        // of the next word from the word's last two columns.
        {{61.6, 0.5}, {127.2, 0.5}, {129.3, 119.5}, {65.4, 119.5}},
    };
    const std::vector<Point> near = {{0.25, 50}, {1.75, 52}, {0.5, 54}};
    const std::vector<Point> far = {{4100.5, 2.5}, {4160.25, 60.5}, {4100.9, 117.5}};
    const int columns[] = {0, 1, 2, 3, 4, 10, 11, 19, 20, 25, 26, 40, 41, 62, 63, 64, 65, 126, 127, 128, 129, 4100, 4101, 4150};
    for (bool wide : {false, true}) {
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            std::vector<std::vector<Point>> outlines = {shapes[i], near};
            if (wide) outlines.push_back(far);
            Bitmap image = Bitmap::make(width, height);
            ASSERT_TRUE(raster::fillPath(polygons(outlines), {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image)));
            int largest = 0;
            for (int y = 0; y < height; ++y)
                for (int x : columns) {
                    double area = 0;
                    for (const auto& outline : outlines) area += areaInPixel(outline, x, y);
                    largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - int(std::lround(area * 255))));
                }
            EXPECT_LE(largest, 1) << "shape " << i << (wide ? " in a wide box" : "");
        }
    }
}

TEST(ScanConverter, MatchesCairoOnSimpleShapesBothRules) {
    std::mt19937 random(sorvane::testing::testSeed(5));
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
        for (int i = 0; i < 16; ++i) {
            Path path;
            if (i % 4 == 0) path.addEllipse({2.3 + i, 3.1, 30.4 - i, 21.7 + i / 2.0});
            else if (i % 4 == 1) path.addRoundedRect({1.5, 4.25, 33, 29.5}, 9.5 - i / 2.0, 6);
            else path = polygon(randomStar(random, 3 + i));
            Color color = randomColor(random);
            Difference d = compare([&](Context& context) {
                context.setFlatness(0.05);  // both flatten finely: this compares coverage, not flattening
                fillWith(context, path, rule, color);
            });
            EXPECT_LE(d.largest, cairoSampling) << "shape " << i << " rule " << int(rule);
        }
    }
}

TEST(ScanConverter, InteriorsAndTransformsMatchCairoExactly) {
    // Translucent colour and context alpha over varied pixels, under a rotation and scale: every pixel
    // Cairo covers wholly is composited identically.
    Path path;
    path.addRect({-6, -4, 12, 8});
    auto paint = [&](Context& context) {
        context.translateBy(20.3, 19.7);
        context.rotateBy(0.4);
        context.scaleBy(2.5, 2.5);
        context.setAlpha(0.7);
        fillWith(context, path, FillRule::winding, Color{0.9, 0.4, 0.2, 0.6});
    };
    Bitmap ours = draw(paint, true), cairo = draw(paint, false);
    int identical = 0, largest = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            identical += ours.pixel(x, y) == cairo.pixel(x, y);
            largest = std::max(largest, channelDifference(ours.pixel(x, y), cairo.pixel(x, y)));
        }
    EXPECT_LE(largest, cairoSampling);
    // About 30 x 20 pixels inside and 1000 never touched; the edges are about 200.
    EXPECT_GE(identical, size * size - 220);
}

TEST(ScanConverter, SelfIntersectionsDifferFromCairoOnlyWhereEdgesCross) {
    // Where regions of winding 0 and 2 share a pixel, the summed area is not the covered area; such
    // pixels are few, next to crossings.
    std::mt19937 random(sorvane::testing::testSeed(7));
    std::uniform_real_distribution<double> at(-4, size + 4);
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
        for (int i = 0; i < 12; ++i) {
            Path path;
            path.moveTo({at(random), at(random)});
            for (int corner = 0; corner < 3 + i % 6; ++corner) {
                if (corner % 3 == 2) path.curveTo({at(random), at(random)}, {at(random), at(random)}, {at(random), at(random)});
                else path.lineTo({at(random), at(random)});
            }
            Color color = randomColor(random);
            Difference d = compare([&](Context& context) { fillWith(context, path, rule, color); });
            EXPECT_LE(d.beyondSampling, 16) << "path " << i << " rule " << int(rule);
        }
    }
}

TEST(ScanConverter, SubpathsTurningOppositeWaysLeaveNoSeam) {
    // Two squares meeting mid-pixel, one drawn clockwise and one counter-clockwise; a square with a
    // hole drawn either way.
    Path halves;
    halves.addLines(std::vector<Point>{{5, 5}, {20.5, 5}, {20.5, 30}, {5, 30}});
    halves.closeSubpath();
    halves.addLines(std::vector<Point>{{20.5, 5}, {20.5, 30}, {35, 30}, {35, 5}});
    halves.closeSubpath();
    Path holed;
    holed.addRect({4, 4, 32, 32});
    holed.addLines(std::vector<Point>{{12.5, 12.5}, {27.5, 12.5}, {27.5, 27.5}, {12.5, 27.5}});
    holed.closeSubpath();
    Bitmap clear = Bitmap::make(size, size);
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
        Bitmap image = draw([&](Context& context) { fillWith(context, halves, rule, Color::white()); }, true, clear);
        EXPECT_EQ(image.pixel(20, 17), 0xFFFFFFFFu) << int(rule);
        Difference d = compare([&](Context& context) { fillWith(context, halves, rule, Color{0, 0, 1, 1}); });
        EXPECT_LE(d.largest, cairoSampling) << int(rule);
        d = compare([&](Context& context) { fillWith(context, holed, rule, Color{1, 0, 0, 0.8}); });
        EXPECT_LE(d.largest, cairoSampling) << int(rule);
    }
}

TEST(ScanConverter, TakesWindingFillsWhoseSubpathsTurnBothWays) {
    // A clockwise ellipse and a counter-clockwise star apart, two squares of opposite turns meeting
    // on a pixel boundary and mid-pixel, and a square with a hole: all the converter's, as Cairo draws them.
    Path apart;
    apart.addEllipse({2.5, 3.25, 14, 30.5});
    std::vector<Point> star = {{30, 4.5}, {31.4, 8.1}, {37.5, 9}, {32.7, 11.9}, {33.75, 17},
                               {30, 14.2}, {26.25, 17}, {27.3, 11.9}, {22.5, 9}, {28.6, 8.1}};
    std::reverse(star.begin(), star.end());
    apart.addLines(star);
    apart.closeSubpath();
    Path meeting =
        polygons({{{5, 20.5}, {20, 20.5}, {20, 36}, {5, 36}}, {{20, 20.5}, {20, 36}, {35.5, 36}, {35.5, 20.5}}});
    Path midPixel = polygons({{{5, 5}, {20.5, 5}, {20.5, 30}, {5, 30}}, {{20.5, 5}, {20.5, 30}, {35, 30}, {35, 5}}});
    Path holed =
        polygons({{{4, 4}, {36, 4}, {36, 36}, {4, 36}}, {{12.5, 12.5}, {12.5, 27.5}, {27.5, 27.5}, {27.5, 12.5}}});

    Bitmap target = Bitmap::make(size, size);
    for (const Path* path : {&apart, &meeting, &midPixel, &holed}) {
        EXPECT_TRUE(raster::fillPath(*path, {}, 0.1, FillRule::winding, 0xFF0000FFu, targetOf(target)).has_value());
        Difference d = compare([&](Context& context) {
            context.setFlatness(0.05);
            fillWith(context, *path, FillRule::winding, Color{0.3, 0.6, 0.1, 0.9});
        });
        EXPECT_LE(d.largest, cairoSampling);
    }
    for (const Path* path : {&meeting, &midPixel}) {
        Bitmap image = draw([&](Context& context) { fillWith(context, *path, FillRule::winding, Color::white()); },
                            true, Bitmap::make(size, size));
        EXPECT_EQ(image.pixel(19, 28), 0xFFFFFFFFu);
        EXPECT_EQ(image.pixel(20, 28), 0xFFFFFFFFu);
    }
}

// A pixel's alpha drawn white on clear pixels, against its exact share in 1/255ths.
int largestAlphaError(const Bitmap& image, const std::function<double(int, int)>& exactArea) {
    int largest = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            int expected = int(std::lround(exactArea(x, y) * 255));
            largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - expected));
        }
    return largest;
}

TEST(ScanConverter, EvenOddFillsFoldSummedWindingsAboveOne) {
    // A star under one or two squares covering the whole picture: its edge pixels sum to 1 + a or
    // 2 + a, which the rule folds to a hole of 1 - a or a fill of a.
    std::mt19937 random(sorvane::testing::testSeed(29));
    Bitmap clear = Bitmap::make(size, size);
    std::vector<Point> cover = {{-5, -5}, {size + 5, -5}, {size + 5, size + 5}, {-5, size + 5}};
    for (int squares = 1; squares <= 2; ++squares) {
        std::vector<Point> star = randomStar(random, 7);
        std::vector<std::vector<Point>> outlines(squares, cover);
        outlines.push_back(star);
        Bitmap image = draw([&](Context& context) { fillWith(context, polygons(outlines), FillRule::evenOdd, Color::white()); },
                            true, clear);
        auto exactArea = [&](int x, int y) {
            double inStar = areaInPixel(star, x, y);
            return squares == 1 ? 1 - inStar : inStar;
        };
        EXPECT_LE(largestAlphaError(image, exactArea), 1) << squares << " squares";
    }
}

TEST(ScanConverter, OverlappingSubpathsCoverExactlyWhatTheRuleFills) {
    // Two triangles crossing as a six-pointed star: where they overlap the winding is 2 (same turns)
    // or 0 (opposite turns), and at each crossing regions of windings 0, 1 and 2 (or +1 and -1) share
    // a pixel. Filled, that is the star's outline, less the middle hexagon unless both turn alike
    // under the winding rule.
    std::mt19937 random(sorvane::testing::testSeed(23));
    std::uniform_real_distribution<double> centre(15, 25), radius(9, 16), angle(0, std::numbers::pi);
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 6; ++i) {
        Point c{centre(random), centre(random)};
        double r = radius(random), start = angle(random);
        auto corner = [&](double r, int sixth) {
            double at = start + sixth * std::numbers::pi / 6;
            return Point{c.x + r * std::cos(at), c.y + r * std::sin(at)};
        };
        std::vector<Point> up = {corner(r, 0), corner(r, 4), corner(r, 8)};
        std::vector<Point> down = {corner(r, 2), corner(r, 6), corner(r, 10)};
        bool opposite = i % 2;
        if (opposite) std::reverse(down.begin(), down.end());
        std::vector<Point> outline, hexagon;
        for (int sixth = 0; sixth < 12; ++sixth) {
            outline.push_back(corner(sixth % 2 ? r / std::sqrt(3) : r, sixth));
            if (sixth % 2) hexagon.push_back(outline.back());
        }
        Path path = polygons({up, down});
        for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
            bool holed = rule == FillRule::evenOdd || opposite;
            auto exactArea = [&](int x, int y) {
                return areaInPixel(outline, x, y) - (holed ? areaInPixel(hexagon, x, y) : 0);
            };
            Bitmap traced = fillTraced(path, rule, Color::white(), clear);
            EXPECT_LE(largestAlphaError(traced, exactArea), 1) << "star " << i << " rule " << int(rule);
            // A plain winding fill whose subpaths turn both ways is traced too: summed, +1 and -1 cancel.
            if (opposite && rule == FillRule::winding) {
                Bitmap image = draw([&](Context& context) { fillWith(context, path, rule, Color::white()); }, true, clear);
                EXPECT_LE(largestAlphaError(image, exactArea), 1) << "star " << i;
            }
            // As one subpath crossing itself (there and back between the triangles), a plain even-odd
            // fill too: summed, the hexagon's edge pixels of parity 0 and 2 would count as covered.
            if (rule == FillRule::evenOdd) {
                Path one = polygons({{up[0], up[1], up[2], up[0], down[0], down[1], down[2], down[0]}});
                Bitmap image = draw([&](Context& context) { fillWith(context, one, rule, Color::white()); }, true, clear);
                EXPECT_LE(largestAlphaError(image, exactArea), 1) << "star " << i << " as one subpath";
            }
        }
    }
}

TEST(ScanConverter, OverlappingPiecesCoverTheirUnionExactly) {
    // A star drawn three times, turning either way, and the winding rule's copy also as a fan of
    // triangles from its centre turning as most copies do: windings from -4 to 4, all of them the
    // star's area alone (three copies have odd parity).
    std::mt19937 random(sorvane::testing::testSeed(31));
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 4; ++i) {
        std::vector<Point> star = randomStar(random, 5 + 2 * i);
        std::vector<std::vector<Point>> pieces;
        int sum = 0;
        for (int copy = 0; copy < 3; ++copy) {
            bool reversed = (random() & 1) != 0;
            pieces.push_back(star);
            if (reversed) std::reverse(pieces.back().begin(), pieces.back().end());
            sum += reversed ? -1 : 1;
        }
        for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
            std::vector<std::vector<Point>> all = pieces;
            if (rule == FillRule::winding) {
                Point c{};
                for (Point p : star) c.x += p.x / star.size(), c.y += p.y / star.size();
                for (std::size_t k = 0; k < star.size(); ++k) {
                    std::vector<Point> wedge = {c, star[k], star[(k + 1) % star.size()]};
                    if (sum < 0) std::reverse(wedge.begin(), wedge.end());
                    all.push_back(wedge);
                }
            }
            Bitmap image = fillTraced(polygons(all), rule, Color::white(), clear);
            EXPECT_LE(largestAlphaError(image, [&](int x, int y) { return areaInPixel(star, x, y); }), 1)
                << "star " << i << " rule " << int(rule);
        }
    }
}

// A rectangle, and a quad whose top edge starts inside it and falls to its left by a hair (a
// billionth of a pixel, or one or two of the least steps of a double there): the sweep meets that
// edge crossing the rectangle's side just as it ends, and the quad's left side, going on from there
// outside the rectangle, must be counted there, or the rectangle's winding hides it. Their union is
// the rectangle and the quad's part outside it.
TEST(ScanConverter, EdgesAllButFlatCrossingNeighboursLeaveTheSweepInOrder) {
    Bitmap clear = Bitmap::make(size, size);
    std::vector<Point> rectangle = {{10, 10}, {40, 10}, {40, 30}, {10, 30}};
    std::vector<Point> overlap = {{10, 20}, {34, 20}, {34, 30}, {10, 30}};
    double oneStep = std::nextafter(20.0, 21.0), twoSteps = std::nextafter(oneStep, 21.0);
    for (double below : {20 + 1e-9, oneStep, twoSteps}) {
        std::vector<Point> quad = {{34, 20}, {34, 36}, {7, 36}, {6, below}};
        Bitmap image = fillTraced(polygons({rectangle, quad}), FillRule::winding, Color::white(), clear);
        auto exactArea = [&](int x, int y) {
            return areaInPixel(rectangle, x, y) + areaInPixel(quad, x, y) - areaInPixel(overlap, x, y);
        };
        EXPECT_LE(largestAlphaError(image, exactArea), 1) << below - 20;
    }
}

// The largest difference of any channel between `path` filled by the converter with overlaps traced
// and by Cairo, over the background.
int tracedAgainstCairo(const Path& path, FillRule rule, Color color) {
    Bitmap ours = fillTraced(path, rule, color, background());
    Bitmap cairo = draw([&](Context& context) { fillWith(context, path, rule, color); }, false);
    int largest = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) largest = std::max(largest, channelDifference(ours.pixel(x, y), cairo.pixel(x, y)));
    return largest;
}

TEST(ScanConverter, PiecesCrowdingTheLineMatchCairo) {
    // 60 zigzag slivers side by side, turning either way in turn, crossing themselves and their
    // neighbours and starting and ending at their own heights: over a hundred chains on the line,
    // moved by others starting, ending and crossing while their own corners are reached.
    std::mt19937 random(sorvane::testing::testSeed(7));
    std::uniform_real_distribution<double> end(0.5, 6), sway(-0.8, 0.8);
    Path path;
    for (int k = 0; k < 60; ++k) {
        double left = 2 + k * 0.55, top = 2 + end(random), bottom = 38 - end(random);
        std::vector<Point> sliver;
        for (double y = top; y < bottom; y += 1.5) sliver.push_back({left + 0.9 + sway(random), y});
        sliver.push_back({left + 0.9, bottom});
        for (double y = bottom; y > top; y -= 1.5) sliver.push_back({left + sway(random), y});
        if (k % 2) std::reverse(sliver.begin(), sliver.end());
        path.addLines(sliver);
        path.closeSubpath();
    }
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd})
        EXPECT_LE(tracedAgainstCairo(path, rule, Color{0.1, 0.3, 0.8, 0.9}), cairoSampling) << int(rule);
}

TEST(ScanConverter, AStrokeOutlineOfOverlappingQuadsMatchesCairo) {
    // A quad a segment along a spiral, each overlapping its neighbours, with a wedge at each turn, as
    // a stroker hands its outline over: one union, as Cairo's samples see it.
    Path path;
    std::vector<Point> spine;
    for (int i = 0; i <= 240; ++i) {
        double t = i * 0.05, r = 4 + t * 2.4;
        spine.push_back({20.3 + r * std::cos(t), 19.6 + r * std::sin(t)});
    }
    constexpr double half = 1.7;
    Point lastNormal{};
    for (std::size_t i = 0; i + 1 < spine.size(); ++i) {
        Point a = spine[i], b = spine[i + 1];
        double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
        double nx = -dy / length * half, ny = dx / length * half;
        path.addLines(std::vector<Point>{{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny},
                                         {a.x - nx, a.y - ny}});
        path.closeSubpath();
        // A wedge on each side between this quad and the last, turned as the quads are.
        for (double side : {1.0, -1.0}) {
            Point from{a.x + side * lastNormal.x, a.y + side * lastNormal.y}, to{a.x + side * nx, a.y + side * ny};
            if (i == 0) break;
            if ((from.x - a.x) * (to.y - a.y) - (from.y - a.y) * (to.x - a.x) > 0) std::swap(from, to);
            path.addLines(std::vector<Point>{a, from, to});
            path.closeSubpath();
        }
        lastNormal = {nx, ny};
    }
    EXPECT_LE(tracedAgainstCairo(path, FillRule::winding, Color{0.1, 0.3, 0.8, 0.9}), cairoSampling);
}

TEST(ScanConverter, DrawsOnlyInsidePixelAlignedClips) {
    std::mt19937 random(sorvane::testing::testSeed(3));
    std::uniform_real_distribution<double> at(-30, 70);
    for (int i = 0; i < 8; ++i) {
        Path path;
        path.moveTo({at(random), at(random)});
        for (int corner = 0; corner < 5; ++corner) path.curveTo({at(random), at(random)}, {at(random), at(random)}, {at(random), at(random)});
        Color color = randomColor(random);
        // In points at scale 2 with an offset: the clip lands on pixels 6..33 x 10..29.
        Difference d = compare(
            [&](Context& context) {
                context.scaleBy(2, 2);
                context.translateBy(1, 0.5);
                context.clip(Rect{2, 4.5, 14, 10});
                context.setFlatness(0.05);
                fillWith(context, path, i % 2 ? FillRule::evenOdd : FillRule::winding, color);
            },
            {6, 10, 34, 30});
        EXPECT_EQ(d.changedOutside, 0) << i;
        EXPECT_LE(d.beyondSampling, 16) << i;
    }
}

TEST(ScanConverter, ClipPathsMaskItsDrawingAsCairosClipDoes) {
    Path triangle;
    triangle.addLines(std::vector<Point>{{1.5, 0}, {39, 2.5}, {0, 38.25}});
    Path ellipse;
    ellipse.addEllipse({4.5, 6, 33, 27.5});
    Path ring = ellipse;
    ring.addEllipse({12, 14, 12, 10});
    // Its edges cross the clips' edges: there the smaller of the two coverages is more than Cairo's
    // intersected outline covers.
    Path fill;
    fill.addLines(std::vector<Point>{{-3, 20}, {20, -4}, {44, 22}, {18, 45}});
    std::vector<std::function<void(Context&)>> clips = {
        [](Context& context) { context.clip(Rect{3.5, 2.25, 30, 29.5}); },
        [&](Context& context) { context.clip(triangle); },
        [&](Context& context) {
            context.clip(ellipse);
            context.clip(triangle);
        },
        [&](Context& context) { context.clip(ring, FillRule::evenOdd); },
    };
    for (std::size_t i = 0; i < clips.size(); ++i) {
        Difference d = compare([&](Context& context) {
            context.setFlatness(0.05);
            clips[i](context);
            fillWith(context, fill, FillRule::evenOdd, Color{0.2, 0.5, 0.1, 0.9});
        });
        EXPECT_LE(d.beyondSampling, 6) << i;  // next to crossings of the clip's and the fill's edges
    }
    // Aliased clips are Cairo's: both pictures are the same. Clips of overlapping opposite turns are
    // the converter's.
    Path halves;
    halves.addRect({5, 5, 15.5, 25});
    halves.addLines(std::vector<Point>{{12.5, 5}, {12.5, 30}, {35, 30}, {35, 5}});
    for (bool aliased : {true, false}) {
        auto paint = [&](Context& context) {
            context.setShouldAntialias(!aliased);
            context.clip(aliased ? ellipse : halves);
            context.setShouldAntialias(true);
            fillWith(context, fill, FillRule::winding, Color{0.7, 0.5, 0.1, 0.8});
        };
        if (aliased) EXPECT_EQ(draw(paint, true).pixels, draw(paint, false).pixels);
        else EXPECT_LE(compare(paint).beyondSampling, 0);
    }
}

// A union's coverage masks drawing as the union's shapes drawn apart by Cairo into a mask do: fills the converter
// draws through it, fills Cairo composites through it (a blend mode) and fills under a clip set after it.
TEST(ScanConverter, UnionClipsMaskDrawingAsTheirShapesDrawnApartDo) {
    std::mt19937 random(sorvane::testing::testSeed(41));
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 36; ++round) {
        std::vector<Path> paths;
        std::vector<ClipShape> shapes;
        const int count = 2 + round % 3;
        paths.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            Path path;
            if (i % 2)
                path.addEllipse({unit(random) * 24, unit(random) * 24, 6 + unit(random) * 20, 6 + unit(random) * 20});
            else
                path = polygons({randomStar(random, 3 + i)});
            paths.push_back(std::move(path));
        }
        for (int i = 0; i < count; ++i)
            shapes.push_back({&paths[std::size_t(i)], unit(random) < 0.5 ? FillRule::winding : FillRule::evenOdd,
                              AffineTransform::translation(unit(random) * 4 - 2, unit(random) * 4 - 2)});
        const Path fill = polygons({randomStar(random, 7)});
        const Color color = randomColor(random);
        const int kind = round % 3;
        const Rect earlier{5.5, 3.25, 27, 30.5};
        const Bitmap ours = draw(
            [&](Context& context) {
                if (kind == 2) context.clip(earlier);
                EXPECT_TRUE(context.clipToUnion(shapes));
                if (kind == 1) context.setBlendMode(BlendMode::multiply);
                fillWith(context, fill, FillRule::winding, color);
            },
            true);
        // Cairo's group under a mask would take a clip's edges twice: the earlier clip cuts the mask instead.
        const Bitmap apart = draw(
            [&](Context& context) {
                auto mask = Context::create(size, size, {.format = PixelFormat::alphaOnly});
                if (kind == 2) mask->clip(earlier);
                for (const ClipShape& shape : shapes) mask->fill(*shape.path, shape.rule, shape.placement);
                context.clipToMask(Rect{0, 0, size, size}, mask->makeImage(), BitmapPlacement::firstRowAtMinY);
                if (kind == 1) context.setBlendMode(BlendMode::multiply);
                fillWith(context, fill, FillRule::winding, color);
            },
            false);
        int beyondSampling = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                // Along the earlier clip's sides, where the fill's or the union's edges run too, the smaller coverage
                // is taken rather than their product.
                const bool side = kind == 2 && (x == 5 || x == 32 || y == 3 || y == 33);
                beyondSampling += !side && channelDifference(ours.pixel(x, y), apart.pixel(x, y)) > cairoSampling;
            }
        // Only where the fill's edges cross the clip's are they further apart (the smaller coverage is taken there).
        EXPECT_LE(beyondSampling, 6) << "round " << round;
    }
}

// Drawing skips reading a mask inside the run of whole coverage each row keeps: every byte there must
// be whole, also where a mask narrows an earlier one.
TEST(ScanConverter, ClipMasksRunsOfWholeCoverageHoldNothingLess) {
    Path rectangle, ellipse, ring;
    rectangle.addRect({2.3, 1.6, 35.2, 30.1});
    ellipse.addEllipse({4.5, 6, 33, 27.5});
    ring = ellipse;
    ring.addEllipse({12, 14, 12, 10});
    const raster::PixelBox canvas{0, 0, size, size};
    auto check = [](const raster::Mask& mask) {
        int wholeRows = 0;
        for (int y = mask.box.top; y < mask.box.bottom; ++y) {
            auto [from, to] = mask.wholeRun(y);
            wholeRows += from < to;
            for (int x = from; x < to; ++x)
                EXPECT_EQ(mask.row(y)[x - mask.box.left], 255) << "at " << x << ", " << y;
        }
        return wholeRows;
    };
    auto clip = [&](const Path& path, FillRule rule, const raster::Mask* previous) {
        auto mask = raster::clipMask(path, {}, 0.1, rule, previous ? previous->box : canvas, previous);
        EXPECT_TRUE(mask);
        return *mask;
    };
    raster::Mask inRectangle = clip(rectangle, FillRule::winding, nullptr);
    EXPECT_EQ(check(inRectangle), 29);  // rows 2 to 30 whole, columns 3 to 36
    EXPECT_EQ(inRectangle.wholeRun(10), (std::pair{3, 37}));
    raster::Mask inRing = clip(ring, FillRule::evenOdd, nullptr);
    EXPECT_GT(check(inRing), 20);
    EXPECT_GT(check(clip(ellipse, FillRule::winding, &inRectangle)), 20);
    EXPECT_GT(check(clip(rectangle, FillRule::winding, &inRing)), 20);
    const std::vector<raster::DeviceShape> union_{{&ring, FillRule::evenOdd, {}}, {&rectangle, FillRule::winding, {}}};
    auto inUnion = raster::unionClipMask(union_, 0.1, canvas, nullptr);
    ASSERT_TRUE(inUnion);
    EXPECT_GT(check(*inUnion), 28);
    auto inUnionAndRing = raster::unionClipMask(union_, 0.1, inRing.box, &inRing);
    ASSERT_TRUE(inUnionAndRing);
    EXPECT_GT(check(*inUnionAndRing), 20);
}

TEST(ScanConverter, SurvivesHugeAndNonFiniteCoordinates) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double far : {1e7, 1e14, 1e16, 1e300, infinity, nan}) {
        Path path;
        path.moveTo({5, 5});
        path.lineTo({far, 12});
        path.curveTo({-far, far}, {20, far}, {8, 30});
        path.lineTo({-far, -far});
        path.closeSubpath();
        Bitmap base = background();
        Bitmap image = draw([&](Context& context) {
            context.clip(Rect{10, 10, 20, 20});
            fillWith(context, path, FillRule::winding, Color::white());
        }, true);
        int changedOutside = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if ((x < 10 || x >= 30 || y < 10 || y >= 30) && image.pixel(x, y) != base.pixel(x, y)) ++changedOutside;
        EXPECT_EQ(changedOutside, 0) << far;
    }
}

// Curves each flattening to tens of thousands of points that reach the target: a few dozen of them
// would take gigabytes, so past a million points the path is Cairo's.
TEST(ScanConverter, LeavesPathsOfMillionsOfPointsToCairo) {
    Path path;
    path.moveTo({0, 0});
    for (int i = 0; i < 20; ++i) path.curveTo({1.6e8, 0}, {-1.6e8, 40}, {40, 40});
    path.closeSubpath();
    Bitmap image = Bitmap::make(size, size);
    EXPECT_FALSE(raster::fillPath(path, {}, 0.1, FillRule::winding, 0xFF000000u, targetOf(image)));
    EXPECT_EQ(image.pixels, Bitmap::make(size, size).pixels);
}

// A curve takes the fewest equal steps whose chords keep within the tolerance (3/4 of its largest
// second difference over the squared count), whether the count comes from comparing squares (up to
// eight) or from square roots; past `most` it takes none.
TEST(ScanConverter, CurvesTakeTheFewestStepsWithinTheTolerance) {
    std::mt19937 random(sorvane::testing::testSeed(11));
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<int> seen(32);
    for (double tolerance : {0.1, 0.25, 1.0}) {
        for (int trial = 0; trial < 600; ++trial) {
            double scale = tolerance * std::pow(10.0, trial % 30 / 10.0 - 1);
            std::array<Point, 4> p;
            for (Point& point : p) point = {unit(random) * scale, unit(random) * scale};
            auto steps = raster::CurveSteps(tolerance, raster::mostCurveSegments)(p[0], p[1], p[2], p[3]);
            ASSERT_TRUE(steps);
            double dd = std::max(std::hypot(p[0].x - 2 * p[1].x + p[2].x, p[0].y - 2 * p[1].y + p[2].y),
                                 std::hypot(p[1].x - 2 * p[2].x + p[3].x, p[1].y - 2 * p[2].y + p[3].y));
            double squaredCount = 0.75 * dd / tolerance;
            int n = *steps;
            EXPECT_GE(double(n) * n, squaredCount * (1 - 1e-12)) << n;
            if (n > 1) {
                EXPECT_LT(double(n - 1) * (n - 1), squaredCount * (1 + 1e-12)) << n;
            }
            ++seen[std::min(n, 31)];
        }
    }
    for (int n = 1; n <= 12; ++n) EXPECT_GT(seen[n], 0) << n;
    EXPECT_FALSE(raster::CurveSteps(0.1, 8)({0, 0}, {0, 40}, {40, 40}, {40, 0}));
    EXPECT_FALSE(raster::CurveSteps(0.1, raster::mostCurveSegments)({0, 0}, {0, 4e9}, {4e9, 4e9}, {4e9, 0}));
}

// The count changes exactly where 0.5625 dd^2 passes n^4 tolerance^2, in either coordinate and in
// both ways of counting: at a tolerance of 0.75 a curve whose second difference is n^2 takes n steps
// and one a shade longer n + 1 (past eight, from the square roots). Counts made once for a tolerance
// and used for many curves agree with those made for each.
TEST(ScanConverter, CurveStepsChangeExactlyAtTheirBounds) {
    const raster::CurveSteps counts(0.75, raster::mostCurveSegments);
    for (int n = 1; n <= 9; ++n) {
        for (double d : {double(n * n), n * n + 0x1p-20}) {
            int expected = d == n * n ? n : n + 1;
            // Second differences d and 0: along x, then along y.
            for (bool alongY : {false, true}) {
                auto at = [&](double t) { return alongY ? Point{1, t} : Point{t, -1}; };
                auto steps = counts(at(0), at(0), at(d), at(2 * d));
                ASSERT_TRUE(steps) << n << " " << d;
                EXPECT_EQ(*steps, expected) << n << " " << d << " " << alongY;
                EXPECT_EQ(raster::CurveSteps(0.75, raster::mostCurveSegments)(at(0), at(0), at(d), at(2 * d)), steps);
            }
        }
    }
    EXPECT_EQ(counts({0, 0}, {1, 1}, {2, 2}, {3, 3}), 1);
    // Past `most` in the compared range there is no count either.
    EXPECT_EQ(raster::CurveSteps(0.75, 3)({0, 0}, {0, 0}, {9, 0}, {18, 0}), 3);
    EXPECT_FALSE(raster::CurveSteps(0.75, 3)({0, 0}, {0, 0}, {16, 0}, {32, 0}));
}

// Each curve starts from the device point the element before it ended at: a move, a line, a curve, a
// quadratic or a close (back at the subpath's start). Under a rotation and scale the fill matches
// Cairo's, even-odd too.
TEST(ScanConverter, CurvesStartWhereTheElementBeforeThemEnded) {
    Path path;
    path.moveTo({-6, -6});
    path.curveTo({-2, -9}, {3, -8}, {6, -5});
    path.lineTo({7, 0});
    path.quadCurveTo({8, 6}, {2, 7});
    path.curveTo({-2, 8}, {-6, 5}, {-7, 1});
    path.closeSubpath();
    // Outside the first, from its start.
    path.curveTo({-8, -5}, {-9, -5}, {-9, -3});
    path.lineTo({-10, -9});
    path.closeSubpath();
    path.moveTo({1, -2});
    path.quadCurveTo({4, 0}, {1, 3});
    path.quadCurveTo({-1, 0}, {1, -2});
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
        Difference difference = compare([&](Context& context) {
            context.translateBy(20.3, 19.6);
            context.rotateBy(0.7);
            context.scaleBy(2.2, 1.7);
            fillWith(context, path, rule, Color{0.2, 0.5, 0.9, 0.8});
        });
        EXPECT_EQ(difference.beyondSampling, 0) << int(rule);
        EXPECT_LE(difference.largest, cairoSampling) << int(rule);
    }
}

// Flattening maps the points first, then steps along the curves in device space: a path filled
// through a transform and the same path mapped beforehand come out pixel for pixel the same. Curves
// within the tolerance of their chord add just their end, as a line to it would.
TEST(ScanConverter, CurvesFlattenAsTheirMappedPointsDo) {
    std::mt19937 random(sorvane::testing::testSeed(5));
    std::uniform_real_distribution<double> at(-9, 9), nudge(-0.002, 0.002);
    AffineTransform transform{1.7, 0.6, -0.9, 1.3, 20.25, 19.5};
    auto fill = [&](const Path& shape, const AffineTransform& toDevice) {
        Bitmap image = background();
        EXPECT_TRUE(raster::fillPath(shape, toDevice, 0.25, FillRule::winding, 0xC0602010u, targetOf(image)));
        return image.pixels;
    };
    for (int trial = 0; trial < 20; ++trial) {
        // `chords` has a line where `path` has a curve a few thousandths off its chord's thirds.
        Path path, chords;
        for (int subpath = 0; subpath < 2; ++subpath) {
            Point from{at(random), at(random)};
            path.moveTo(from), chords.moveTo(from);
            for (int corner = 0; corner < 4; ++corner) {
                Point end{at(random), at(random)};
                if (corner % 2) {
                    Point c1{at(random), at(random)}, c2{at(random), at(random)};
                    path.curveTo(c1, c2, end), chords.curveTo(c1, c2, end);
                } else {
                    Point third{from.x + (end.x - from.x) / 3 + nudge(random), from.y + (end.y - from.y) / 3 + nudge(random)};
                    Point twoThirds{end.x - (end.x - from.x) / 3 + nudge(random), end.y - (end.y - from.y) / 3 + nudge(random)};
                    path.curveTo(third, twoThirds, end), chords.lineTo(end);
                }
                from = end;
            }
            path.closeSubpath(), chords.closeSubpath();
        }
        std::vector<std::uint8_t> mapped = fill(path.transformed(transform), {});
        EXPECT_EQ(fill(path, transform), mapped) << trial;
        EXPECT_EQ(fill(chords, transform), mapped) << trial;
        EXPECT_NE(mapped, background().pixels) << trial;
    }
}

// A curve of two steps at a coarse tolerance adds its midpoint, here exact in binary: the fill covers
// each pixel by the area of the polygon through it, however the curve is turned.
TEST(ScanConverter, ACurveOfTwoStepsAddsItsMidpoint) {
    std::array<Point, 4> curve{Point{8, 28}, Point{12, 16}, Point{28, 16}, Point{32, 28}};
    ASSERT_EQ(raster::CurveSteps(4, raster::mostCurveSegments)(curve[0], curve[1], curve[2], curve[3]), 2);
    for (bool sideways : {false, true}) {
        auto turn = [&](Point p) { return sideways ? Point{p.y, p.x} : p; };
        Path path;
        path.moveTo(turn(curve[0]));
        path.curveTo(turn(curve[1]), turn(curve[2]), turn(curve[3]));
        path.closeSubpath();
        Bitmap image = Bitmap::make(size, size);
        ASSERT_TRUE(raster::fillPath(path, {}, 4, FillRule::winding, 0xFF000000u, targetOf(image)));
        EXPECT_LE(largestAreaError(image, {turn(curve[0]), turn({20, 19}), turn(curve[3])}), 1) << sideways;
    }
}

// Tracing the border of thousands of subpaths that stand side by side on every row costs as many
// steps as the chains it passes to find and place each one: past its budget the windings are sampled
// instead (a fuzzed stroke retraced 20,000 times took 28 s, and Cairo's fill of it seconds more). A
// star drawn 2,001 times over itself, turning either way in turn, still covers the star alone, each
// pixel by its area within the samples' 16 sub-rows of 16 (up to 1/32 off along an edge).
TEST(ScanConverter, SweepsPassingTooManyChainsSampleTheirWindings) {
    std::mt19937 random(sorvane::testing::testSeed(37));
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 3; ++i) {
        std::vector<Point> star = randomStar(random, 5 + 2 * i);
        Path copies;
        for (int k = 0; k < 2001; ++k) {
            copies.addLines(star);
            copies.closeSubpath();
            std::reverse(star.begin(), star.end());
        }
        for (FillRule rule : {FillRule::winding, FillRule::evenOdd}) {
            Bitmap image = clear;
            ASSERT_TRUE(raster::fillPath(copies, {}, 0.1, rule, 0xFFFFFFFFu, targetOf(image), raster::Overlaps::exact));
            EXPECT_LE(largestAlphaError(image, [&](int x, int y) { return areaInPixel(star, x, y); }), 8)
                << "star " << i << " rule " << int(rule);
        }
        // An edge reaching far past the box (a fuzzed stroke's) is sampled down to the box's last row.
        if (i == 0) {
            copies.addLines(std::vector<Point>{{10, 10}, {14, 10}, {12, 7e11}});
            Bitmap image = clear;
            ASSERT_TRUE(raster::fillPath(copies, {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image), raster::Overlaps::exact));
            EXPECT_GT(image.pixel(12, size - 1) >> 24, 200u);
        }
    }
}

// Rectangles along the device axes are filled a row of spans at a time, without edges: each pixel
// by its exact area, on and off whole pixels, inside one column or row, reaching past the target,
// flipped and turned a quarter, through clips and masks as Cairo draws them.
TEST(ScanConverter, RectanglesAlongTheAxesCoverEachPixelByItsArea) {
    std::mt19937 random(sorvane::testing::testSeed(19));
    std::uniform_real_distribution<double> at(-6, size + 6), small(0, 1.5);
    std::uniform_int_distribution<int> whole(-2, size + 2);
    const AffineTransform transforms[] = {{}, {1.5, 0, 0, -2, 3.25, 38.5}, {0, 1, -1, 0, 40, 0.5}};
    Bitmap clear = Bitmap::make(size, size);
    for (int i = 0; i < 12; ++i) {
        Rect rect{at(random), at(random), i % 3 == 1 ? small(random) : at(random), i % 5 == 2 ? small(random) : at(random)};
        if (i % 4 == 3) rect = Rect{double(whole(random)), double(whole(random)), double(whole(random)), double(whole(random))};
        rect = rect.standardized();
        if (i == 5) rect.size.width = 0;
        const AffineTransform& t = transforms[i % 3];
        Path path;
        path.addRect(rect);
        std::vector<Point> corners = {t.apply(rect.origin), t.apply(Point{rect.maxX(), rect.minY()}),
                                      t.apply(Point{rect.maxX(), rect.maxY()}), t.apply(Point{rect.minX(), rect.maxY()})};
        Bitmap image = clear;
        ASSERT_TRUE(raster::fillPath(path, t, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image)));
        EXPECT_LE(largestAreaError(image, corners), 1) << "rectangle " << i;

        Color color = randomColor(random);
        Path ellipse;
        ellipse.addEllipse({4.5, 6, 33, 27.5});
        for (int clip = 0; clip < 3; ++clip) {
            Difference d = compare(
                [&](Context& context) {
                    if (clip == 1) context.clip(Rect{7, 9, 24, 22});
                    if (clip == 2) context.clip(ellipse);
                    context.concatenate(t);
                    fillWith(context, path, FillRule::evenOdd, color);
                },
                clip == 1 ? raster::PixelBox{7, 9, 31, 31} : raster::PixelBox{0, 0, size, size});
            // Where the rectangle's side crosses the ellipse's, the smaller coverage is drawn.
            EXPECT_LE(clip == 2 ? d.beyondSampling : d.largest, clip == 2 ? 8 : 1) << "rectangle " << i << " clip " << clip;
            EXPECT_EQ(d.changedOutside, 0) << "rectangle " << i << " clip " << clip;
        }
    }
}

// Rectangles along the axes are filled and clipped by rows and columns; sides a rounding apart from an
// axis count as along it, and a clip keeps whole pixels only where no pixel would be kept in part.
TEST(ScanConverter, RecognisesRectanglesAndTheWholePixelsTheyClipTo) {
    Path rect;
    rect.addRect({1, 2, 3, 4});
    auto sides = [](const std::optional<raster::DeviceRectangle>& r) {
        return r ? std::vector<double>{r->left, r->top, r->right, r->bottom} : std::vector<double>{};
    };
    EXPECT_EQ(sides(raster::deviceRectangle(rect, {})), (std::vector<double>{1, 2, 4, 6}));
    EXPECT_EQ(sides(raster::deviceRectangle(rect, AffineTransform::scale(2, -2))), (std::vector<double>{2, -12, 8, -4}));
    EXPECT_FALSE(raster::deviceRectangle(rect, AffineTransform::rotation(0.3)));
    Path skewed;
    skewed.addLines(std::vector<Point>{{0, 0}, {4, 0}, {4, 4}, {1, 4}});
    skewed.closeSubpath();
    EXPECT_FALSE(raster::deviceRectangle(skewed, {}));
    Path twoRects = rect;
    twoRects.addRect({5, 5, 1, 1});
    EXPECT_FALSE(raster::deviceRectangle(twoRects, {}));
    // Corners a few units in the last place off the axis, as offsets added one corner at a time leave them.
    Path nearly;
    nearly.addLines(std::vector<Point>{{208.00000610351563, 2}, {1488.0000061035157, 2}, {1488.0000061035157, 962},
                                       {208.00000610351572, 962}});
    nearly.closeSubpath();
    EXPECT_TRUE(raster::deviceRectangle(nearly, {}));
    Path leaning;
    leaning.addLines(std::vector<Point>{{208, 2}, {1488, 2}, {1488, 962}, {208.001, 962}});
    leaning.closeSubpath();
    EXPECT_FALSE(raster::deviceRectangle(leaning, {}));

    const raster::PixelBox clip{0, 0, 40, 30};
    auto whole = [&](double left, double top, double right, double bottom) {
        return raster::wholePixelClip({left, top, right, bottom}, clip);
    };
    EXPECT_EQ(whole(-3.7, -0.2, 52.1, 30), clip);
    EXPECT_EQ(whole(2, 3, 17, 9), (raster::PixelBox{2, 3, 17, 9}));
    EXPECT_EQ(whole(2 + 1.0 / 4096, 3 - 1.0 / 4096, 17 - 1.0 / 4096, 40), (raster::PixelBox{2, 3, 17, 30}));
    EXPECT_FALSE(whole(2.01, 3, 17, 9));
    EXPECT_FALSE(whole(2, 3, 17, 8.5));
    EXPECT_FALSE(whole(-1, -1, 39.99, 31));
    EXPECT_TRUE(whole(50, 3, 60, 9)->isEmpty());
    EXPECT_TRUE(whole(50.3, 3, 1e38, 9)->isEmpty());
    EXPECT_TRUE(whole(-1e38, -2e38, -1e38, 9)->isEmpty());
    EXPECT_TRUE(whole(2, 1e38, 17, 2e38)->isEmpty());
}

TEST(ScanConverter, CornersStartsAndCrossingsAtOneHeightMatchCairo) {
    // Zigzags on whole rows and their copies half a pixel over, turning the other way: corners of one
    // meet the starts, ends and crossings of the others at the same heights, as the sweep goes on
    // from corner to corner between them.
    Path path;
    for (int k = 0; k < 4; ++k) {
        double left = 3 + k * 8.5;
        std::vector<Point> zigzag;
        for (int y = 4; y <= 36; y += 2) zigzag.push_back({left + (y % 4 ? 3.0 : 0.0), double(y)});
        for (int y = 36; y >= 4; y -= 2) zigzag.push_back({left + 5 + (y % 4 ? 0.0 : 3.0), double(y) + (k % 2)});
        path.addLines(zigzag);
        path.closeSubpath();
        for (Point& p : zigzag) p.x += 0.5 + 2 * (k % 2);
        std::reverse(zigzag.begin(), zigzag.end());
        path.addLines(zigzag);
        path.closeSubpath();
    }
    for (FillRule rule : {FillRule::winding, FillRule::evenOdd})
        EXPECT_LE(tracedAgainstCairo(path, rule, Color{0.8, 0.3, 0.1, 0.9}), cairoSampling) << int(rule);
}

// Edges rising by a subnormal height over many pixels have a slope past any double: they cover
// nothing, and must neither write outside the row nor spoil its other pixels.
TEST(ScanConverter, EdgesOfVanishingHeightCoverNothing) {
    const double tiny = 1e-310;
    Path sliver = polygon({{0, 0}, {1000, tiny}, {30, 30}, {0, 30}});
    Path plain = polygon({{0, 0}, {1000, 0}, {30, 30}, {0, 30}});
    for (auto overlaps : {raster::Overlaps::summed, raster::Overlaps::exact}) {
        Bitmap ours = Bitmap::make(size, size), expected = Bitmap::make(size, size);
        std::uint32_t black = 0xFF000000u;
        ASSERT_TRUE(raster::fillPath(sliver, {}, 0.1, FillRule::winding, black, targetOf(ours), overlaps));
        ASSERT_TRUE(raster::fillPath(plain, {}, 0.1, FillRule::winding, black, targetOf(expected), overlaps));
        int largest = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                largest = std::max(largest, channelDifference(ours.pixel(x, y), expected.pixel(x, y)));
        EXPECT_LE(largest, 1) << int(overlaps);
    }
}

// A steep edge ending a unit in the last place below a row's top, at the box's right side: its
// last row's piece lies wholly on that side. On a thread of its own, whose cells are sized for
// this box alone, it must stay inside them, and the next fill must find them clear.
TEST(ScanConverter, AStepAtTheRightSideStaysInsideTheCells) {
    std::thread([] {
        double pastRowTop = std::nextafter(10.0, 11.0);
        std::vector<Point> points = {{38.5, 0.25}, {40, pastRowTop}, {1, 10}};
        Bitmap image = Bitmap::make(size, size);
        ASSERT_TRUE(raster::fillPath(polygon(points), {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image)));
        Bitmap again = Bitmap::make(size, size);
        ASSERT_TRUE(raster::fillPath(polygon(points), {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(again)));
        EXPECT_EQ(image.pixels, again.pixels);
        EXPECT_LE(largestAreaError(image, points), 1);
    }).join();
}

// Slanted bars whose sides span less than a row, one row, two and many, starting and ending on row
// sides and between them; sides within a column, steep and shallow, leaning either way. In a small
// box the rows are the line's own; in a wide one they are accumulated a band of two rows at a time
// (a far triangle widens it), and the sides start on a band's top, above it and cross further ones.
// The longest run past the box's sides.
TEST(ScanConverter, SidesOfOneTwoAndManyRowsCoverEachPixelByItsExactArea) {
    constexpr int wideWidth = 7000;
    const std::vector<Point> far = {{6900.5, 0.5}, {6960.25, 30.5}, {6900.9, 39.5}};
    for (bool wide : {false, true})
        for (double top : {8.0, 7.3})
            for (double height : {0.4, 0.7, 1.0, 1.7, 2.0, 3.2, 9.5, 17.5})
                for (double lean : {0.2, 0.8, 3.0, -2.5}) {
                    // Within a column only where the whole side stays in one.
                    double dx = lean == 0.2 ? 0.2 : lean * height;
                    double left = dx < 0 ? 20.25 : 10.25;
                    double bottom = top + height, right = left + 5.5;
                    std::vector<Point> bar = {{left, top}, {right, top}, {right + dx, bottom}, {left + dx, bottom}};
                    std::vector<std::vector<Point>> outlines = {bar};
                    if (wide) outlines.push_back(far);
                    Bitmap image = Bitmap::make(wide ? wideWidth : size, size);
                    Path path = polygons(outlines);
                    ASSERT_TRUE(raster::fillPath(path, {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image)));
                    for (int y = 0; y < size; ++y)
                        for (int x = 0; x < size; ++x) {
                            int expected = int(std::lround(areaInPixel(bar, x, y) * 255));
                            ASSERT_LE(std::abs(int(image.pixel(x, y) >> 24) - expected), 1)
                                << "top " << top << " height " << height << " lean " << lean << " at " << x << ", " << y
                                << (wide ? " in a wide box" : "");
                        }
                }
}

// Steep and shallow sides near the ends of words of 64 cells, each row's marks to stay within the
// words the row's cells are in: a side in a word's last two columns of the box (62 on, reaching
// the next word's first cells) with the other side two words on; and boxes whose rows of cells (two
// more than their width) fill whole words, with sides reaching their right side, where the next
// row's words begin.
// Filled twice, the second fill must find every cell clear.
TEST(ScanConverter, StepsNearTheEndsOfWordsMarkTheWordsOfTheirRowsCells) {
    const std::vector<std::vector<Point>> shapes = {
        {{62.25, 0.5}, {212.5, 0.5}, {212.5, 36.5}, {125.9, 36.5}, {124.5, 18.25}},
        {{0.5, 0.5}, {60.5, 0.25}, {62, 30.5}, {41.5, 36.75}, {2.25, 20.5}},
        {{0.5, 0.5}, {124.5, 0.25}, {126, 30.5}, {105.5, 36.75}, {2.25, 20.5}},
    };
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const std::vector<Point>& points = shapes[i];
        auto rightmost = std::max_element(points.begin(), points.end(), [](Point a, Point b) { return a.x < b.x; });
        int width = int(std::ceil(rightmost->x));
        for (int pass = 0; pass < 2; ++pass) {
            Bitmap image = Bitmap::make(width, size);
            ASSERT_TRUE(raster::fillPath(polygon(points), {}, 0.1, FillRule::winding, 0xFFFFFFFFu, targetOf(image)));
            int largest = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < width; ++x) {
                    int expected = int(std::lround(areaInPixel(points, x, y) * 255));
                    largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - expected));
                }
            EXPECT_LE(largest, 1) << "shape " << i << " pass " << pass;
        }
    }
}

// A box this wide and tall is accumulated two rows a band. A side leaving the clip's left side
// within its last row adds winding down the box's left side there, which only that row's band
// takes: added in the bands above, it would land in rows of cells past theirs, for the next fill
// of that width (taken whole) to find. On a thread of its own, whose cells that fill sizes first.
TEST(ScanConverter, ASideLeavingTheClipAddsAlongItsLeftSideInOneBandOnly) {
    std::thread([] {
        constexpr int width = 7000, left = 10;
        const std::vector<Point> whole = {{9.5, 0.5}, {6990.5, 0.25}, {6990.5, 29.5}, {9.25, 29.75}};
        // Turning the other way: what it added there would take from what the other fill's left side covers.
        const std::vector<Point> banded = {{40, 0.5}, {9.9, 20.5}, {9.5, 39.5}, {6990.5, 39.5}, {6990.5, 0.5}};
        auto fill = [&](const std::vector<Point>& points) {
            Bitmap image = Bitmap::make(width, size);
            raster::Target target = targetOf(image);
            target.clip.left = left;
            EXPECT_TRUE(raster::fillPath(polygon(points), {}, 0.1, FillRule::winding, 0xFFFFFFFFu, target));
            return image;
        };
        auto largestError = [&](const Bitmap& image, const std::vector<Point>& points) {
            int largest = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < 60; ++x) {
                    int expected = x < left ? 0 : int(std::lround(areaInPixel(points, x, y) * 255));
                    largest = std::max(largest, std::abs(int(image.pixel(x, y) >> 24) - expected));
                }
            return largest;
        };
        EXPECT_LE(largestError(fill(whole), whole), 1);
        EXPECT_LE(largestError(fill(banded), banded), 1);
        EXPECT_LE(largestError(fill(whole), whole), 1) << "after the banded fill";
    }).join();
}
