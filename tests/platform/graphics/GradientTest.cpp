#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <memory>
#include <vector>

#include "TestSeed.h"
#include "PixelProbe.h"
#include "ReferenceDrawing.h"
#include "ScanConverter.h"
#include "gfx/Context.h"
#include "gfx/Gradient.h"
#include "gfx/WorkMeter.h"

using namespace gfx;
using gfx::testing::alphaAt;
using gfx::testing::pixelNear;

namespace {

Gradient redToBlue() {
    const Color colors[] = {Color::rgb(255, 0, 0), Color::rgb(0, 0, 255)};
    return *Gradient::make(colors);
}

Bitmap drawLinear(unsigned options) {
    auto context = Context::create(100, 10, {});
    context->drawLinearGradient(redToBlue(), {25, 0}, {75, 0}, options);
    return context->makeImage();
}

}  // namespace

TEST(Gradient, StopsSpreadEvenlyWithoutLocationsAndMismatchesAreRefused) {
    const Color colors[] = {Color::black(), Color::white(), Color::black()};
    auto gradient = Gradient::make(colors);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->stops()[1].location, 0.5);
    const double twoLocations[] = {0, 1};
    EXPECT_FALSE(Gradient::make(colors, twoLocations));
    EXPECT_FALSE(Gradient::make({}));
}

TEST(Gradient, StopsAtOneLocationKeepTheirEndsAndAllOthersAreKept) {
    const Color colors[] = {Color::black(), Color::white(), Color::black(), Color::white(), Color::black()};
    const double locations[] = {0, 0.5, 0.5, 0.5, 1};
    auto gradient = Gradient::make(colors, locations);
    ASSERT_TRUE(gradient);
    ASSERT_EQ(gradient->stops().size(), 4u) << "the middle one of three at 0.5 never shows";
    EXPECT_EQ(gradient->stops()[1].color, Color::white());
    EXPECT_EQ(gradient->stops()[2].color, Color::white());

    // However many there are: the work meter bounds what they cost, and each is a colour the drawing may show.
    std::vector<Color> many(10'241, Color::black());
    many.back() = Color::white();
    auto all = Gradient::make(many);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->stops().size(), many.size());
    EXPECT_EQ(all->stops().back(), (GradientStop{Color::white(), 1}));
}

TEST(Gradient, LinearGradientInterpolatesBetweenItsEnds) {
    Bitmap image = drawLinear(0);
    EXPECT_TRUE(pixelNear(image, 25, 5, 0xFFFF0000, 6));
    EXPECT_TRUE(pixelNear(image, 50, 5, 0xFF800080, 6));
    EXPECT_TRUE(pixelNear(image, 74, 5, 0xFF0000FF, 6));
}

TEST(Gradient, LinearExtensionOptionsPaintBeyondEachEnd) {
    Bitmap neither = drawLinear(0);
    EXPECT_EQ(alphaAt(neither, 5, 5), 0u);
    EXPECT_EQ(alphaAt(neither, 95, 5), 0u);

    Bitmap both = drawLinear(drawsBeforeStartLocation | drawsAfterEndLocation);
    EXPECT_TRUE(pixelNear(both, 5, 5, 0xFFFF0000));
    EXPECT_TRUE(pixelNear(both, 95, 5, 0xFF0000FF));

    Bitmap beforeOnly = drawLinear(drawsBeforeStartLocation);
    EXPECT_TRUE(pixelNear(beforeOnly, 5, 5, 0xFFFF0000));
    EXPECT_EQ(alphaAt(beforeOnly, 95, 5), 0u);
    EXPECT_TRUE(pixelNear(beforeOnly, 50, 5, 0xFF800080, 6));

    Bitmap afterOnly = drawLinear(drawsAfterEndLocation);
    EXPECT_EQ(alphaAt(afterOnly, 5, 5), 0u);
    EXPECT_TRUE(pixelNear(afterOnly, 95, 5, 0xFF0000FF));
}

TEST(Gradient, RepeatingAndReflectingContinueTheBandBeyondBothEnds) {
    // The band runs red (25) to blue (75): 5 and 95 lie 20 before its start and 20 past its end.
    Bitmap repeated = drawLinear(repeatsBeyondEnds);
    EXPECT_TRUE(pixelNear(repeated, 5, 5, 0xFF660099u, 8)) << "as at 55";
    EXPECT_TRUE(pixelNear(repeated, 95, 5, 0xFF990066u, 8)) << "as at 45";
    Bitmap reflected = drawLinear(reflectsBeyondEnds);
    EXPECT_TRUE(pixelNear(reflected, 5, 5, 0xFF990066u, 8)) << "mirrored at the start, as at 45";
    EXPECT_TRUE(pixelNear(reflected, 95, 5, 0xFF660099u, 8)) << "mirrored at the end, as at 55";
    auto context = Context::create(100, 100, {});
    context->drawRadialGradient(redToBlue(), {50, 50}, 0, {50, 50}, 20, repeatsBeyondEnds);
    Bitmap rings = context->makeImage();
    EXPECT_TRUE(pixelNear(rings, 50 + 21, 50, 0xFFF2000D, 12)) << "a new ring starts red past the radius";
}

TEST(Gradient, RadialGradientFillsItsDiscAndExtendsOutwardOnRequest) {
    auto context = Context::create(100, 100, {});
    context->drawRadialGradient(redToBlue(), {50, 50}, 0, {50, 50}, 40, 0);
    Bitmap inside = context->makeImage();
    EXPECT_TRUE(pixelNear(inside, 50, 50, 0xFFFF0000, 8));
    EXPECT_TRUE(pixelNear(inside, 50, 89, 0xFF0000FF, 10));
    EXPECT_EQ(alphaAt(inside, 2, 2), 0u);

    auto extended = Context::create(100, 100, {});
    extended->drawRadialGradient(redToBlue(), {50, 50}, 10, {50, 50}, 40, drawsAfterEndLocation);
    Bitmap after = extended->makeImage();
    EXPECT_TRUE(pixelNear(after, 2, 2, 0xFF0000FF));
    EXPECT_EQ(alphaAt(after, 50, 50), 0u);  // inside the start circle: nothing before the start
}

TEST(Gradient, GradientsStayInsideTheClipAndHonourAlpha) {
    auto context = Context::create(100, 10, {});
    context->clip(Rect{0, 0, 50, 10});
    context->setAlpha(0.5);
    context->drawLinearGradient(redToBlue(), {0, 0}, {100, 0}, drawsBeforeStartLocation | drawsAfterEndLocation);
    Bitmap image = context->makeImage();
    EXPECT_EQ(alphaAt(image, 75, 5), 0u);
    EXPECT_NEAR(double(alphaAt(image, 10, 5)), 128, 2);
}

namespace {

// Opaque stops, extended both ways: wherever the gradient is drawn its alpha is the clip's coverage.
Gradient greenToMagenta() {
    const Color colors[] = {Color::rgb(0, 200, 0), Color::rgb(220, 0, 180)};
    return *Gradient::make(colors);
}

struct ClippedGradientCase {
    const char* name;
    std::function<void(Context&)> clip;
};

// The clips below under a scaled and shifted transform, so that a gradient placed in the wrong space shows.
std::vector<ClippedGradientCase> clippedGradientCases() {
    auto shape = [](Rect rect) {
        Path path;
        path.addEllipse(rect);
        return path;
    };
    auto triangle = [] {
        Path path;
        path.moveTo({3.3, 2.6});
        path.lineTo({37.8, 9.1});
        path.lineTo({11.2, 26.7});
        path.closeSubpath();
        return path;
    };
    return {
        // Mask boxes whose rows are a multiple of four bytes wide and not.
        {"ellipse 36 wide", [=](Context& c) { c.clip(shape({2.5, 3.25, 17.5, 11})); }},
        {"ellipse 35 wide", [=](Context& c) { c.clip(shape({2.5, 3.25, 17, 11})); }},
        {"triangle", [=](Context& c) { c.clip(triangle()); }},
        {"ellipse cut by a whole-pixel rectangle", [=](Context& c) {
             c.clip(shape({2.5, 3.25, 17.5, 11}));
             c.clip(Rect{4.75, 0, 6.5, 30});  // device columns 11 to 24
         }},
        {"two paths", [=](Context& c) {
             c.clip(shape({2.5, 3.25, 17.5, 11}));
             c.clip(triangle(), FillRule::evenOdd);
         }},
    };
}

std::shared_ptr<Context> placedContext(const Bitmap& background) {
    auto context = Context::create(background, {});
    context->translateBy(1.5, 0.75);
    context->scaleBy(2, 2);
    return context;
}

void paintGreenToMagenta(Context& context) {
    context.drawLinearGradient(greenToMagenta(), {4, 2}, {18, 13}, drawsBeforeStartLocation | drawsAfterEndLocation);
}

}  // namespace

// A gradient inside a path clip covers each pixel as a solid fill inside that clip does, edges included;
// where the clip covers wholly it has the unclipped gradient's colours, and where not at all the pixels
// beneath stay as they were.
TEST(Gradient, GradientInsideAPathClipCoversWhatASolidFillCovers) {
    const Bitmap transparent = Bitmap::make(48, 32);
    Bitmap background = Bitmap::make(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) background.row(y)[x] = 0xFF000000u | std::uint32_t(x * 5) << 16 | std::uint32_t(y * 7);
    auto open = placedContext(transparent);
    paintGreenToMagenta(*open);
    const Bitmap unclipped = open->makeImage();
    for (const auto& [name, clip] : clippedGradientCases()) {
        SCOPED_TRACE(name);
        auto solid = placedContext(transparent);
        clip(*solid);
        solid->setFillColor(Color::white());
        solid->fillRect({-10, -10, 100, 100});
        const Bitmap coverage = solid->makeImage();

        auto onClear = placedContext(transparent);
        clip(*onClear);
        paintGreenToMagenta(*onClear);
        const Bitmap clear = onClear->makeImage();
        auto onPicture = placedContext(background);
        clip(*onPicture);
        paintGreenToMagenta(*onPicture);
        const Bitmap painted = onPicture->makeImage();

        int partial = 0, whole = 0, none = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                const std::uint32_t covered = alphaAt(coverage, x, y);
                ASSERT_EQ(alphaAt(clear, x, y), covered) << "at " << x << ", " << y;
                if (covered == 0) {
                    ++none;
                    ASSERT_EQ(painted.pixel(x, y), background.pixel(x, y)) << "at " << x << ", " << y;
                } else if (covered == 255) {
                    ++whole;
                    // Cairo fetches the gradient a little differently with a mask than without.
                    ASSERT_TRUE(pixelNear(painted, x, y, unclipped.pixel(x, y), 1));
                } else {
                    ++partial;
                }
            }
        }
        EXPECT_GT(partial, 10);
        EXPECT_GT(whole, 10);
        EXPECT_GT(none, 10);
    }
}

// What the clip mask does not carry is still drawn through Cairo's clip: translucent drawing, one end
// extended alone, blend modes. Each stays inside the path and draws what it should there.
TEST(Gradient, GradientsThatCairoClipsStayInsideAPathClip) {
    Path disc;
    disc.addEllipse({10, 5, 20, 20});
    struct Case {
        const char* name;
        std::function<void(Context&)> setUp;
        unsigned options;
        std::uint32_t alphaLeftOfCentre;
    };
    const unsigned both = drawsBeforeStartLocation | drawsAfterEndLocation;
    const Case cases[] = {
        {"half alpha", [](Context& c) { c.setAlpha(0.5); }, both, 128},
        {"after the end only", [](Context&) {}, drawsAfterEndLocation, 0},
        {"multiply", [](Context& c) { c.setBlendMode(BlendMode::multiply); }, both, 255},
    };
    for (const auto& [name, setUp, options, alphaLeftOfCentre] : cases) {
        SCOPED_TRACE(name);
        auto context = Context::create(40, 30, {});
        context->clip(disc);
        setUp(*context);
        context->drawLinearGradient(redToBlue(), {20, 0}, {22, 0}, options);
        const Bitmap image = context->makeImage();
        EXPECT_NEAR(double(alphaAt(image, 15, 15)), double(alphaLeftOfCentre), 1);
        EXPECT_GT(alphaAt(image, 25, 15), 0u);
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                if (x >= 9 && x <= 30 && y >= 4 && y <= 25) continue;
                ASSERT_EQ(image.pixel(x, y), 0u) << "at " << x << ", " << y;
            }
        }
    }
}

// A gradient given a shape paints it as Cairo fills or strokes it with the gradient (a linear one by the
// converter, checked against Cairo drawing it), and nothing else; its charge is what the shape covers, not the
// clip: a thin diagonal across a large picture stays well within a budget the picture's pixels would pass.
TEST(Gradient, AGradientShapeIsPaintedAsCairoPaintsItAndChargedWhatItCovers) {
    auto path = std::make_shared<Path>();
    path->moveTo({4, 60});
    path->lineTo({30, 6});
    path->lineTo({60, 50});
    path->closeSubpath();
    const Gradient gradient = redToBlue();
    const unsigned pad = drawsBeforeStartLocation | drawsAfterEndLocation;
    const auto draw = [&](bool stroked, bool radial, bool converter) {
        raster::setScanConverterEnabled(converter);
        auto context = Context::create(64, 64, {});
        context->setLineWidth(5);
        context->setLineJoin(LineJoin::round);
        context->setGradientShape(path, AffineTransform::translation(1, 1), stroked);
        if (radial)
            context->drawRadialGradient(gradient, {32, 32}, 0, {32, 32}, 30, pad);
        else
            context->drawLinearGradient(gradient, {4, 0}, {60, 0}, pad);
        raster::setScanConverterEnabled(true);
        return context->makeImage();
    };
    for (const bool stroked : {false, true}) {
        const Bitmap drawn = draw(stroked, false, true), cairo = draw(stroked, false, false);
        int apart = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                int most = 0;
                for (int shift = 0; shift < 32; shift += 8)
                    most = std::max(most, std::abs(int((drawn.pixel(x, y) >> shift) & 0xFF) -
                                                   int((cairo.pixel(x, y) >> shift) & 0xFF)));
                apart += most > 24;
            }
        EXPECT_LE(apart, 4) << (stroked ? "stroked" : "filled");
        EXPECT_EQ(alphaAt(drawn, 1, 1), 0);
        EXPECT_EQ(alphaAt(drawn, 32, 40), stroked ? 0 : 255) << "inside the triangle";
        const Bitmap radial = draw(stroked, true, true);
        EXPECT_EQ(alphaAt(radial, 1, 1), 0);
        EXPECT_EQ(alphaAt(radial, 32, 40), stroked ? 0 : 255);
    }

    auto large = Context::create(4096, 4096, {});
    auto diagonal = std::make_shared<Path>();
    diagonal->moveTo({0, 0});
    diagonal->lineTo({4096, 4096});
    WorkMeter meter(2'000'000);  // the picture's pixels alone would cost 25 million
    large->setGradientShape(diagonal, {}, true);
    large->drawLinearGradient(gradient, {0, 0}, {4096, 0}, pad);
    EXPECT_FALSE(meter.spent());
    EXPECT_GT(alphaAt(large->makeImage(), 2048, 2048), 200);
}

// A linear gradient of 1,024 stops repeating within a pixel, aslant: Cairo seeks each pixel's stop afresh, at
// hundreds of times a pixel's cost, and paints it in bands of rows, each charged before it is painted. Every pixel
// is painted once (its stops all one translucent colour), and a meter that runs out partway stops it there.
TEST(Gradient, AGradientSoughtAmongItsStopsEachPixelIsPaintedInBandsEachCharged) {
    const std::vector<Color> colors(1'024, Color{0, 0, 1, 0.5});
    const Gradient gradient = *Gradient::make(colors);
    constexpr int side = 400;
    const auto draw = [&](std::uint64_t budget) {
        auto context = Context::create(side, side, {});
        WorkMeter meter(budget);
        context->drawLinearGradient(gradient, {0, 0}, {0.5, 0.3}, repeatsBeyondEnds);
        return std::pair{context->makeImage(), meter.used()};
    };
    const auto [whole, units] = draw(WorkMeter::defaultBudget);
    EXPECT_GT(double(units), double(side) * side * 512 * WorkMeter::aStopSought);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) ASSERT_EQ(whole.pixel(x, y), whole.pixel(0, 0)) << x << ", " << y;
    EXPECT_NEAR(double(whole.pixel(0, 0) >> 24), 128, 1);
    const Bitmap cut = draw(units / 2).first;
    EXPECT_EQ(cut.pixel(side / 2, 0), whole.pixel(0, 0));
    EXPECT_EQ(cut.pixel(side / 2, side - 1), 0u);
}

// The span painter against Cairo painting the same gradient through the same shape, on the reference
// drawings' random fills and strokes (dashes, caps, joins, curves, turned, stretched one way and sheared,
// placed or in the context's transform): the shape's ink as the reference comparison allows, and where
// both pictures are opaque, the same colour.
TEST(Gradient, AGradientShapeOfRandomFillsAndStrokesIsPaintedAsCairoPaintsIt) {
    using gfx::testing::ReferenceDrawing;
    const Color colors[] = {Color::rgb(255, 0, 0), Color::rgb(0, 160, 0), Color::rgb(0, 0, 255), Color::rgb(240, 200, 0)};
    const Gradient gradient = *Gradient::make(colors);
    std::mt19937 random(sorvane::testing::testSeed(20261211));
    auto choose = [&](std::size_t n) { return std::size_t(std::uniform_int_distribution<std::size_t>(0, n - 1)(random)); };
    int compared = 0, failures = 0;
    for (int i = 0; i < 400 && failures < 5; ++i) {
        ReferenceDrawing d = ReferenceDrawing::make(choose);
        // Miters whose limit Cairo cannot be given as ours takes it are the reference test's own class.
        const auto limit = d.cairoMiterLimit();
        if (!d.fill && !limit) continue;
        const auto draw = [&](bool converter, int finer) {
            raster::setScanConverterEnabled(converter);
            auto context = ReferenceDrawing::canvas(finer);
            context->setLineWidth(d.width);
            context->setLineCap(d.cap);
            context->setLineJoin(d.join);
            context->setMiterLimit(converter ? d.miterLimit : limit.value_or(d.miterLimit));
            context->setLineDash(d.phase, d.dashes);
            // The shape placed, or drawn in the transform's user space as an SVG document's are.
            if (i % 2) context->concatenate(d.transform);
            context->setGradientShape(std::make_shared<const Path>(finer == 1 ? d.path : d.pathOnCairosGrid()),
                                      i % 2 ? AffineTransform{} : d.transform, !d.fill, d.rule);
            context->drawLinearGradient(gradient, {2, 5}, {44, 40}, drawsBeforeStartLocation | drawsAfterEndLocation);
            raster::setScanConverterEnabled(true);
            return ReferenceDrawing::averagedDown(context->takeImage(), finer);
        };
        // Squashed, Cairo's shape is drawn finer as the reference drawings are (ReferenceDrawing::draw()),
        // its colours not: a pixel's average over a gradient squashed twentyfold is not its centre's.
        const Bitmap ours = draw(true, 1), cairo = draw(false, 1), cairoShape = d.cairoFiner() > 1 ? draw(false, d.cairoFiner()) : cairo;
        int offColour = 0;
        for (int y = 0; y < ReferenceDrawing::side; ++y)
            for (int x = 0; x < ReferenceDrawing::side; ++x) {
                const std::uint32_t a = ours.pixel(x, y), b = cairo.pixel(x, y);
                if ((a >> 24) < 255 || (b >> 24) < 255) continue;
                for (int shift = 0; shift < 24; shift += 8)
                    offColour += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 8;
            }
        ++compared;
        // Where Cairo's own sampling puts the shape too far, its shape drawn finer decides, as apartFromCairo().
        auto apart = d.apart(ours, cairoShape);
        if (d.tooFarApart(apart) && d.cairoFiner() == 1) apart = d.apart(ours, draw(false, 16));
        if (offColour > 0 || d.tooFarApart(apart)) {
            ++failures;
            ADD_FAILURE() << "drawing " << i << ": " << offColour << " channels off colour: " << d.describe();
        }
    }
    EXPECT_GT(compared, 300);
}
