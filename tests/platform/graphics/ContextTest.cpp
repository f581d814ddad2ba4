#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "TestSeed.h"
#include "ContextTesting.h"
#include "PixelProbe.h"
#include "ScanConverter.h"
#include "gfx/Context.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"

using namespace gfx;
using gfx::testing::alphaAt;
using gfx::testing::pixelNear;

namespace {

constexpr std::uint32_t red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, white = 0xFFFFFFFF;

std::shared_ptr<Context> makeContext(int width, int height, double scale = 1, Origin origin = Origin::topLeft) {
    auto context = Context::create(Size{double(width), double(height)}, {.scale = scale, .origin = origin});
    EXPECT_TRUE(context);
    return context;
}

std::shared_ptr<Context> filledContext(int width, int height, Color color) {
    auto context = makeContext(width, height);
    context->setFillColor(color);
    context->fillRect({0, 0, double(width), double(height)});
    return context;
}

Bitmap solid(int width, int height, std::uint32_t pixel) {
    Bitmap bitmap = Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) std::fill_n(bitmap.row(y), width, pixel);
    return bitmap;
}

// Draws the pixel at the user origin by multiplying, which Cairo does: it is handed the state then.
void drawThroughCairo(Context& context) {
    const BlendMode mode = context.blendMode();
    context.setBlendMode(BlendMode::multiply);
    context.fillRect({0, 0, 1, 1});
    context.setBlendMode(mode);
}

Bitmap redRowOverBlueRow() {
    Bitmap bitmap = Bitmap::make(1, 2);
    bitmap.row(0)[0] = red;
    bitmap.row(1)[0] = blue;
    return bitmap;
}

}  // namespace

TEST(Context, FillsInPointsAtTheContextScale) {
    auto context = makeContext(10, 10, 2);
    ASSERT_EQ(context->pixelWidth(), 20);
    EXPECT_EQ(context->size(), (Size{10, 10}));
    context->setFillColor(Color::rgb(255, 0, 0));
    context->fillRect({2, 3, 4, 5});  // pixels x 4..11, y 6..15
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 4, 6, red));
    EXPECT_TRUE(pixelNear(image, 11, 15, red));
    EXPECT_TRUE(pixelNear(image, 3, 6, 0));
    EXPECT_TRUE(pixelNear(image, 12, 10, 0));
    EXPECT_TRUE(pixelNear(image, 8, 16, 0));
}

TEST(Context, BottomLeftOriginPutsSmallYAtTheBottomRow) {
    auto context = makeContext(10, 10, 1, Origin::bottomLeft);
    context->setFillColor(Color::rgb(0, 0, 255));
    context->fillRect({0, 0, 10, 2});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 5, 9, blue));
    EXPECT_TRUE(pixelNear(image, 5, 0, 0));
    EXPECT_EQ(context->currentTransform(), AffineTransform::identity());
    EXPECT_EQ(context->deviceTransform().apply(Point{0, 0}), (Point{0, 10}));
}

TEST(Context, TransformsConcatenateInThePlatformOrder) {
    auto context = makeContext(40, 40);
    context->translateBy(10, 0);
    context->scaleBy(2, 2);  // user (1, 1) -> (12, 2)
    EXPECT_EQ(context->currentTransform().apply(Point{1, 1}), (Point{12, 2}));
    context->concatenate(AffineTransform::translation(5, 5));  // applied before the current transform
    EXPECT_EQ(context->currentTransform().apply(Point{0, 0}), (Point{20, 10}));
    context->setFillColor(Color::rgb(0, 255, 0));
    context->fillRect({0, 0, 2, 2});  // device 20..24 x 10..14
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 21, 11, green));
    EXPECT_TRUE(pixelNear(image, 19, 11, 0));
    EXPECT_TRUE(pixelNear(image, 25, 11, 0));
}

TEST(Context, SaveAndRestoreBringBackTransformColourAndClip) {
    auto context = makeContext(20, 20);
    context->setFillColor(Color::rgb(255, 0, 0));
    context->save();
    context->translateBy(10, 10);
    context->setFillColor(Color::rgb(0, 0, 255));
    context->clip(Rect{0, 0, 5, 5});
    context->setAlpha(0.5);
    context->restore();
    context->restore();  // unbalanced: ignored
    EXPECT_EQ(context->fillColor(), Color::rgb(255, 0, 0));
    EXPECT_EQ(context->alpha(), 1);
    context->fillRect({0, 0, 20, 20});
    EXPECT_TRUE(pixelNear(context->makeImage(), 1, 1, red));
}

// Cairo is handed saves and transforms only when it draws or changes state: whatever the steps between,
// what it draws (a multiplying fill) lands where the converter's transform says.
TEST(Context, CairoDrawsWhereTheTransformIsAfterSavesAndRestoresItNeverSaw) {
    struct Scenario {
        const char* name;
        std::function<void(Context&)> steps;
        Point origin;  // where user (0, 0) lands afterwards
    };
    const Scenario scenarios[] = {
        {"a save and a move undone unseen", [](Context& c) { c.save(); c.translateBy(10, 0); c.restore(); }, {0, 0}},
        {"drawing sends the save, the restore undoes what followed it",
         [](Context& c) {
             c.save();
             c.translateBy(10, 0);
             drawThroughCairo(c);
             c.translateBy(0, 10);
             c.restore();
         },
         {0, 0}},
        {"an inner save undone unseen keeps the outer move",
         [](Context& c) {
             c.save();
             c.translateBy(4, 0);
             c.save();
             c.translateBy(0, 4);
             c.restore();
             c.translateBy(4, 0);
         },
         {8, 0}},
        {"nested saves sent together, the inner restored",
         [](Context& c) {
             c.save();
             c.translateBy(2, 0);
             c.save();
             drawThroughCairo(c);
             c.translateBy(0, 6);
             c.restore();
         },
         {2, 0}},
        {"a long run of moves", [](Context& c) {
             c.save();
             for (int i = 0; i < 70; ++i) c.translateBy(1, 0);
             c.save();
             c.translateBy(0, 3);
             c.restore();
             c.translateBy(-60, 0);
         },
         {10, 0}},
        {"a long run of moves undone",
         [](Context& c) {
             c.save();
             for (int i = 0; i < 70; ++i) c.translateBy(1, 0);
             c.restore();
             c.translateBy(0, 5);
         },
         {0, 5}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        auto context = makeContext(80, 20);
        scenario.steps(*context);
        EXPECT_EQ(context->deviceTransform().apply(Point{0, 0}), scenario.origin);
        context->setBlendMode(BlendMode::multiply);  // not ours to draw: Cairo does
        context->setFillColor(Color::rgb(255, 0, 0));
        context->fillRect({0, 0, 2, 2});
        const Bitmap image = context->makeImage();
        const int x = int(scenario.origin.x), y = int(scenario.origin.y);
        EXPECT_TRUE(pixelNear(image, x + 1, y + 1, red));
        EXPECT_TRUE(pixelNear(image, x + 3, y + 1, 0));
        EXPECT_TRUE(pixelNear(image, x + 1, y + 3, 0));
    }
}

// The line style is the context's own and reaches Cairo when Cairo strokes, as restored last.
TEST(Context, CairoStrokesWithTheStyleInPlaceWhateverItSawBefore) {
    struct Scenario {
        const char* name;
        std::function<void(Context&)> steps;
        int top, bottom;  // the rows the line covers
        bool dashed;
    };
    const double dash[] = {4, 4};
    const Scenario scenarios[] = {
        {"set with no save", [](Context& c) { c.setLineWidth(6); }, 7, 13, false},
        {"set inside a save Cairo never saw", [&](Context& c) {
             c.setLineWidth(2);
             c.save();
             c.setLineWidth(6);
             c.setLineDash(0, dash);
             c.restore();
         },
         9, 11, false},
        {"set after Cairo drew inside the save", [&](Context& c) {
             c.setLineWidth(2);
             c.save();
             drawThroughCairo(c);
             c.setLineWidth(6);
             c.setLineDash(0, dash);
             drawThroughCairo(c);
             c.restore();
         },
         9, 11, false},
        {"dashes kept past an inner save", [&](Context& c) {
             c.setLineDash(0, dash);
             c.setLineWidth(2);
             c.save();
             drawThroughCairo(c);
             c.setLineDash(0, {});
             c.restore();
         },
         9, 11, true},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        auto context = makeContext(40, 20);
        scenario.steps(*context);
        context->setBlendMode(BlendMode::multiply);
        context->setStrokeColor(Color::rgb(255, 0, 0));
        Path line;
        line.moveTo({8, 10});
        line.lineTo({32, 10});
        context->stroke(line);
        const Bitmap image = context->makeImage();
        EXPECT_EQ(alphaAt(image, 9, scenario.top - 1), 0u);
        EXPECT_EQ(alphaAt(image, 9, scenario.top), 255u);
        EXPECT_EQ(alphaAt(image, 9, scenario.bottom - 1), 255u);
        EXPECT_EQ(alphaAt(image, 9, scenario.bottom), 0u);
        // Between 12 and 16 along the line a dash has its gap.
        EXPECT_EQ(alphaAt(image, 13, 10), scenario.dashed ? 0u : 255u);
    }
}

TEST(Context, CurvesAfterACloseStartFromTheSubpathStartInFillsAndClips) {
    // A bar, closed, then a curve from its start (0, 0) back round to it; scaled so the points go to pixels
    // through the transform.
    Path path;
    path.moveTo({0, 0});
    path.lineTo({40, 0});
    path.lineTo({40, 4});
    path.closeSubpath();
    path.quadCurveTo({0, 40}, {40, 40});
    path.closeSubpath();
    auto check = [](const Bitmap& image) {
        EXPECT_TRUE(pixelNear(image, 10, 30, red));   // under the curve's start, (5, 15) in points
        EXPECT_TRUE(pixelNear(image, 70, 4, red));    // the bar
        EXPECT_TRUE(pixelNear(image, 10, 70, 0));     // outside the curve
        EXPECT_TRUE(pixelNear(image, 70, 30, 0));     // beyond the chord
    };
    auto filled = makeContext(100, 100);
    filled->scaleBy(2, 2);
    filled->setFillColor(Color::rgb(255, 0, 0));
    filled->fill(path);
    check(filled->makeImage());

    auto clipped = makeContext(100, 100);
    clipped->scaleBy(2, 2);
    clipped->clip(path);
    clipped->setFillColor(Color::rgb(255, 0, 0));
    clipped->fillRect({0, 0, 50, 50});
    check(clipped->makeImage());
}

TEST(Context, ClipToPathKeepsDrawingInsideTheShapeByItsFillRule) {
    auto context = makeContext(100, 100);
    Path star;
    for (int index = 0; index < 5; ++index) {
        double angle = -std::numbers::pi / 2 + index * 4 * std::numbers::pi / 5;
        Point point{50 + 45 * std::cos(angle), 50 + 45 * std::sin(angle)};
        index == 0 ? star.moveTo(point) : star.lineTo(point);
    }
    star.closeSubpath();
    context->save();
    context->clip(star, FillRule::evenOdd);
    context->setFillColor(Color::rgb(0, 0, 255));
    context->fillRect({0, 0, 100, 100});
    context->restore();
    Bitmap evenOdd = context->makeImage();
    EXPECT_TRUE(pixelNear(evenOdd, 50, 50, 0));    // the doubly covered centre is a hole
    EXPECT_TRUE(pixelNear(evenOdd, 50, 12, blue));  // the top point is inside
    EXPECT_TRUE(pixelNear(evenOdd, 5, 95, 0));

    context->setFillColor(Color::rgb(255, 0, 0));
    context->fill(star);  // winding fills the centre too
    EXPECT_TRUE(pixelNear(context->makeImage(), 50, 50, red));
}

// A rectangle around the whole canvas clips nothing away, with or without a mask; one a hair short of
// a side still takes its share of the pixels there.
namespace {

// A 20 x 10 canvas clipped by `clip`, then an opaque ellipse and a translucent veil over everything.
Bitmap ellipseAndVeilClippedBy(const std::function<void(Context&)>& clip) {
    Path ellipse;
    ellipse.addEllipse({1.3, 0.7, 17.4, 8.9});
    auto context = makeContext(20, 10);
    clip(*context);
    context->setFillColor(Color::rgb(0, 0, 255));
    context->fill(ellipse);
    context->setFillColor(Color::rgb(255, 0, 0, 0.5));
    context->fillRect({-1, -1, 22, 12});
    return context->makeImage();
}

}  // namespace

TEST(Context, ClipsToRectanglesAroundTheCanvasKeepEveryPixelAndOnesShortOfASideStillClip) {
    const auto draw = ellipseAndVeilClippedBy;
    Bitmap unclipped = draw([](Context&) {});
    EXPECT_EQ(draw([](Context& c) { c.clip(Rect{-0.3, -0.2, 20.5, 10.4}); }).pixels, unclipped.pixels);
    EXPECT_EQ(draw([](Context& c) {
                  c.clip(Rect{0, 0, 20, 10});
                  c.translateBy(10, 5);
                  c.rotateBy(std::numbers::pi / 2);
                  c.clip(Rect{-5.2, -10.1, 10.4, 20.3});
                  c.rotateBy(-std::numbers::pi / 2);
                  c.translateBy(-10, -5);
              }).pixels,
              unclipped.pixels);
    // Within an elliptic clip, the rectangle takes nothing more away either.
    Path oval;
    oval.addEllipse({2, 1, 16, 8});
    auto inOval = [&](bool rectangle) {
        return draw([&](Context& c) {
            c.clip(oval);
            if (rectangle) c.clip(Rect{0, 0, 20, 10});
        });
    };
    EXPECT_EQ(inOval(true).pixels, inOval(false).pixels);

    Bitmap short_ = draw([](Context& c) { c.clip(Rect{0, 0, 19.5, 10}); });
    EXPECT_NEAR(double(alphaAt(short_, 19, 5)), alphaAt(unclipped, 19, 5) / 2.0, 1);
    EXPECT_EQ(short_.pixel(18, 5), unclipped.pixel(18, 5));
}

// A rectangle whose sides lie a hair off whole pixels, or a rounding off the axes, clips without a
// mask: to the same pixels a mask of that outline keeps (an extra corner on a side makes it one).
TEST(Context, ClipsToRectanglesAHairOffWholePixelsAsTheirMasksWould) {
    auto draw = [](const std::vector<Point>& corners) {
        Path outline;
        outline.addLines(corners);
        outline.closeSubpath();
        return ellipseAndVeilClippedBy([&](Context& context) { context.clip(outline); });
    };
    const double hair = 1.0 / 4096;
    const std::vector<std::vector<Point>> rectangles = {
        {{2 + hair, 1 - hair}, {17 - hair, 1 - hair}, {17 - hair, 9 + hair}, {2 + hair, 9 + hair}},
        {{2, 1}, {17, 1}, {17 + 3e-14, 9}, {2 - 2e-14, 9}},
        {{-0.5, 1 + hair}, {25, 1 + hair}, {25, 9.5}, {-0.5, 9.5}},
        {{2.25, 1}, {17, 1}, {17, 9}, {2.25, 9}},
    };
    for (std::size_t i = 0; i < rectangles.size(); ++i) {
        auto masked = rectangles[i];
        masked.insert(masked.begin() + 1, {(masked[0].x + masked[1].x) / 2, masked[0].y});
        EXPECT_EQ(draw(rectangles[i]).pixels, draw(masked).pixels) << i;
    }
    // Whole pixels: those outside are untouched, those inside as unclipped.
    Bitmap clipped = draw(rectangles[0]), unclipped = draw({{-1, -1}, {21, -1}, {21, 11}, {-1, 11}});
    EXPECT_EQ(clipped.pixel(1, 5), 0u);
    EXPECT_EQ(clipped.pixel(2, 5), unclipped.pixel(2, 5));
    EXPECT_EQ(clipped.pixel(16, 8), unclipped.pixel(16, 8));
    EXPECT_EQ(clipped.pixel(16, 9), 0u);
}

TEST(Context, ClipToMaskScalesCoverageByTheMaskAlpha) {
    auto context = makeContext(20, 10);
    Bitmap mask = Bitmap::make(2, 1);
    mask.row(0)[0] = 0xFF000000;  // opaque left half
    mask.row(0)[1] = 0x80000000;  // half-transparent right half
    context->setInterpolationQuality(InterpolationQuality::none);
    context->clipToMask({0, 0, 20, 5}, mask);
    context->setFillColor(Color::white());
    context->fillRect({0, 0, 20, 10});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 3, 2, white));
    EXPECT_TRUE(pixelNear(image, 15, 2, 0x80808080));
    EXPECT_TRUE(pixelNear(image, 3, 7, 0));  // outside the mask's rectangle
}

TEST(Context, NestedMasksMultiplyAndRestoreDropsThem) {
    auto context = makeContext(4, 4);
    context->save();
    context->clipToMask({0, 0, 4, 4}, solid(1, 1, 0x80000000));
    context->clipToMask({0, 0, 2, 4}, solid(1, 1, 0x80000000), BitmapPlacement::firstRowAtMinY);
    context->setFillColor(Color::white());
    context->fillRect({0, 0, 4, 4});
    Bitmap masked = context->makeImage();
    EXPECT_NEAR(double(alphaAt(masked, 0, 0)), 64, 2);
    EXPECT_EQ(alphaAt(masked, 3, 0), 0u);
    context->restore();
    context->fillRect({0, 0, 4, 4});
    EXPECT_EQ(alphaAt(context->makeImage(), 3, 0), 255u);
}

TEST(Context, BlendModesCombineKnownColours) {
    auto context = filledContext(10, 10, Color::rgb(255, 128, 0));
    context->setBlendMode(BlendMode::multiply);
    context->setFillColor(Color::rgb(128, 255, 255));
    context->fillRect({0, 0, 5, 10});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 5, 0xFF808000));
    EXPECT_TRUE(pixelNear(image, 7, 5, 0xFFFF8000));
    EXPECT_EQ(blendModeFromRawValue(22), BlendMode::destinationIn);
    EXPECT_EQ(blendModeFromRawValue(20), BlendMode::sourceAtop);
    EXPECT_FALSE(blendModeFromRawValue(28));
}

TEST(Context, SourceInAndClearAffectOnlyTheDrawnShape) {
    auto context = filledContext(10, 10, Color::rgb(255, 0, 0));
    context->setBlendMode(BlendMode::sourceIn);
    context->setFillColor(Color::rgb(0, 0, 255));
    context->fillRect({0, 0, 5, 5});
    context->setBlendMode(BlendMode::clear);
    context->fillRect({5, 5, 5, 5});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 2, blue));
    EXPECT_TRUE(pixelNear(image, 7, 2, red));  // outside the drawn rectangle, untouched
    EXPECT_TRUE(pixelNear(image, 7, 7, 0));
    EXPECT_TRUE(pixelNear(image, 2, 7, red));
}

TEST(Context, DestinationInWithAMaskKeepsTheDestinationOnlyUnderTheShape) {
    auto context = filledContext(10, 10, Color::rgb(255, 0, 0));
    context->clipToMask({0, 0, 10, 10}, solid(1, 1, 0xFF000000));
    context->setBlendMode(BlendMode::destinationIn);
    context->setFillColor(Color::black().withAlphaComponent(0.5));
    context->fillRect({0, 0, 5, 10});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 5, 0x80800000));
    EXPECT_TRUE(pixelNear(image, 7, 5, red));
}

TEST(Context, ClearRectIgnoresBlendModeAndAlpha) {
    auto context = filledContext(10, 10, Color::rgb(0, 255, 0));
    context->setAlpha(0.3);
    context->setBlendMode(BlendMode::multiply);
    context->clearRect({0, 0, 5, 10});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 5, 0));
    EXPECT_TRUE(pixelNear(image, 7, 5, green));
}

TEST(Context, GlobalAlphaScalesFillsAndBitmaps) {
    auto context = makeContext(10, 10);
    context->setAlpha(0.5);
    context->setFillColor(Color::rgb(255, 0, 0));
    context->fillRect({0, 0, 5, 10});
    context->drawBitmap(solid(2, 2, blue), {5, 0, 5, 10});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 5, 0x80800000));
    EXPECT_TRUE(pixelNear(image, 7, 5, 0x80000080));
}

TEST(Context, DashesLeaveGapsAlongAStroke) {
    auto context = makeContext(40, 10);
    context->setStrokeColor(Color::black());
    context->setLineWidth(4);
    const double pattern[] = {10, 10};
    context->setLineDash(0, pattern);
    Path line;
    line.moveTo({0, 5});
    line.lineTo({40, 5});
    context->stroke(line);
    Bitmap image = context->makeImage();
    EXPECT_EQ(alphaAt(image, 5, 5), 255u);
    EXPECT_EQ(alphaAt(image, 15, 5), 0u);
    EXPECT_EQ(alphaAt(image, 25, 5), 255u);
    EXPECT_EQ(alphaAt(image, 25, 8), 0u);  // beyond half the line width

    context->setLineDash(0, {});
    context->setLineCap(LineCap::square);
    context->clearRect({0, 0, 40, 10});
    Path shortLine;
    shortLine.moveTo({10, 5});
    shortLine.lineTo({20, 5});
    context->stroke(shortLine);
    EXPECT_EQ(alphaAt(context->makeImage(), 9, 5), 255u);  // the square cap reaches past the end
}

TEST(Context, BitmapsLandByTheirPlacement) {
    Bitmap twoRows = redRowOverBlueRow();
    auto context = makeContext(10, 10);
    context->setInterpolationQuality(InterpolationQuality::none);
    context->drawBitmap(twoRows, {0, 0, 5, 10}, BitmapPlacement::firstRowAtMinY);
    context->drawBitmap(twoRows, {5, 0, 5, 10}, BitmapPlacement::firstRowAtMaxY);
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 2, 1, red));
    EXPECT_TRUE(pixelNear(image, 2, 8, blue));
    EXPECT_TRUE(pixelNear(image, 7, 1, blue));
    EXPECT_TRUE(pixelNear(image, 7, 8, red));
}

TEST(Context, FlippingATopLeftContextDrawsPlatformBitmapsUpright) {
    Bitmap twoRows = redRowOverBlueRow();
    auto context = makeContext(4, 4, 2);
    context->scaleBy(1, -1);
    context->translateBy(0, -4);
    context->drawBitmap(twoRows, {0, 0, 4, 4});
    Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 3, 0, red));
    EXPECT_TRUE(pixelNear(image, 3, 7, blue));
}

TEST(Context, AntialiasingOffGivesHardEdges) {
    auto context = makeContext(10, 10);
    context->setShouldAntialias(false);
    Path circle;
    circle.addEllipse({0.3, 0.3, 9.4, 9.4});
    context->fill(circle);
    Bitmap image = context->makeImage();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_TRUE(alphaAt(image, x, y) == 0 || alphaAt(image, x, y) == 255);
}

TEST(Context, AlphaOnlyAndOpaqueContextsMakeMatchingImages) {
    auto mask = Context::create(4, 4, {.format = PixelFormat::alphaOnly});
    ASSERT_TRUE(mask);
    mask->setFillColor(Color::rgb(255, 0, 0, 0.5));
    mask->fillRect({0, 0, 2, 4});
    Bitmap coverage = mask->makeImage();
    EXPECT_TRUE(pixelNear(coverage, 0, 0, 0x80000000));
    EXPECT_TRUE(pixelNear(coverage, 3, 0, 0));

    auto opaque = Context::create(4, 4, {.format = PixelFormat::rgb24});
    ASSERT_TRUE(opaque);
    opaque->setFillColor(Color::rgb(255, 0, 0, 0.5));
    opaque->fillRect({0, 0, 2, 4});
    Bitmap image = opaque->makeImage();
    EXPECT_TRUE(pixelNear(image, 0, 0, 0xFF800000));
    EXPECT_TRUE(pixelNear(image, 3, 0, 0xFF000000));
}

TEST(Context, NonFiniteStateIsIgnoredSoLaterDrawingStillWorks) {
    auto context = makeContext(4, 4);
    context->translateBy(NAN, 0);
    context->scaleBy(0, 1);
    context->rotateBy(INFINITY);
    context->setLineWidth(NAN);
    const double badDash[] = {NAN, 2};
    context->setLineDash(0, badDash);
    context->setFillColor(Color{NAN, 0, 0, 1});
    Path broken;
    broken.moveTo({NAN, 1});
    broken.lineTo({INFINITY, 2});
    broken.lineTo({1, 3});
    context->fill(broken);
    context->stroke(broken);
    context->fillRect({0, 0, 4, 4});
    EXPECT_EQ(context->currentTransform(), AffineTransform::identity());
    EXPECT_TRUE(pixelNear(context->makeImage(), 2, 2, 0xFF000000));
}

TEST(Context, StartsFromABitmapAndRefusesImpossibleSizes) {
    auto context = Context::create(solid(3, 3, green), {});
    ASSERT_TRUE(context);
    EXPECT_TRUE(pixelNear(context->makeImage(), 1, 1, green));
    EXPECT_FALSE(Context::create(0, 10, {}));
    EXPECT_FALSE(Context::create(Size{100000, 100000}, {}));
    EXPECT_FALSE(Context::create(Size{10, 10}, {.scale = 0}));
    EXPECT_FALSE(Context::create(Size{NAN, 10}, {}));
}

namespace {

// A premultiplied picture with every kind of pixel: opaque, translucent and clear, all different.
Bitmap mixedPicture(int width, int height) {
    Bitmap bitmap = Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t alpha = (x + y) % 3 == 0 ? 0xFF : (x + y) % 3 == 1 ? 0x80 : 0;
            const std::uint32_t red = (x * 37 + y * 11) % (alpha + 1), green = (x * 5 + y * 53) % (alpha + 1);
            bitmap.row(y)[x] = alpha << 24 | red << 16 | green << 8 | (alpha / 2);
        }
    }
    return bitmap;
}

// Each pixel twice in each direction: drawn into half its size it is scaled, not shifted.
Bitmap doubled(const Bitmap& bitmap) {
    Bitmap twice = Bitmap::make(bitmap.width * 2, bitmap.height * 2);
    for (int y = 0; y < twice.height; ++y)
        for (int x = 0; x < twice.width; ++x) twice.row(y)[x] = bitmap.pixel(x / 2, y / 2);
    return twice;
}

// A backdrop that is neither clear nor uniform, so that blending shows.
std::shared_ptr<Context> backdrop(double scale) {
    auto context = makeContext(24, 20, scale);
    context->setFillColor(Color::rgb(30, 200, 90, 0.7));
    context->fillRect({0, 0, 24, 10});
    context->setFillColor(Color::rgb(250, 20, 120));
    context->fillRect({0, 10, 24, 10});
    return context;
}

}  // namespace

TEST(Context, PixelAlignedBitmapsDrawTheSamePixelsAsTheScaledPath) {
    const Bitmap picture = mixedPicture(9, 7);
    const Bitmap twice = doubled(picture);
    struct Case {
        double scale;
        Rect rect;
        BitmapPlacement placement;
        BlendMode blend;
        double alpha;
    };
    const Case cases[] = {
        {1, {3, 4, 9, 7}, BitmapPlacement::firstRowAtMinY, BlendMode::normal, 1},
        {1, {3, 4, 9, 7}, BitmapPlacement::firstRowAtMaxY, BlendMode::normal, 0.6},
        {1, {-2, 15, 9, 7}, BitmapPlacement::firstRowAtMinY, BlendMode::multiply, 1},  // partly outside
        {2, {1.5, 2, 4.5, 3.5}, BitmapPlacement::firstRowAtMinY, BlendMode::normal, 0.8},  // whole device pixels
    };
    for (const Case& each : cases) {
        for (auto quality : {InterpolationQuality::none, InterpolationQuality::standard, InterpolationQuality::high}) {
            SCOPED_TRACE(::testing::Message() << "rect x " << each.rect.origin.x << " scale " << each.scale
                                            << " quality " << int(quality));
            auto aligned = backdrop(each.scale);
            aligned->setBlendMode(each.blend);
            aligned->setAlpha(each.alpha);
            aligned->setInterpolationQuality(quality);
            aligned->drawBitmap(picture, each.rect, each.placement);

            // The same picture at twice the pixels, sampled at every other one: a scaled draw.
            auto scaled = backdrop(each.scale);
            scaled->setBlendMode(each.blend);
            scaled->setAlpha(each.alpha);
            scaled->setInterpolationQuality(InterpolationQuality::none);
            scaled->drawBitmap(twice, each.rect, each.placement);

            const Bitmap expected = scaled->makeImage(), drawn = aligned->makeImage();
            ASSERT_EQ(drawn.width, expected.width);
            int differing = 0;
            for (int y = 0; y < drawn.height; ++y)
                for (int x = 0; x < drawn.width; ++x) differing += drawn.pixel(x, y) != expected.pixel(x, y);
            EXPECT_EQ(differing, 0);
        }
    }
}

TEST(Context, BitmapsOffTheWholePixelsAreStillFiltered) {
    Bitmap redBlue = Bitmap::make(2, 1);
    redBlue.row(0)[0] = red;
    redBlue.row(0)[1] = blue;
    for (double x : {0.5, 0.25}) {
        auto context = makeContext(4, 1);
        context->setInterpolationQuality(InterpolationQuality::standard);
        context->drawBitmap(redBlue, {x, 0, 2, 1}, BitmapPlacement::firstRowAtMinY);
        const std::uint32_t between = context->makeImage().pixel(1, 0);
        // Neither pure red nor pure blue: the two were blended.
        EXPECT_GT((between >> 16) & 0xFF, 0u) << x;
        EXPECT_GT(between & 0xFF, 0u) << x;
    }
    // A picture drawn at a scale of one half is sampled from both halves too.
    auto context = makeContext(1, 1, 1);
    context->setInterpolationQuality(InterpolationQuality::standard);
    context->drawBitmap(redBlue, {0, 0, 1, 1}, BitmapPlacement::firstRowAtMinY);
    const std::uint32_t mixed = context->makeImage().pixel(0, 0);
    EXPECT_GT((mixed >> 16) & 0xFF, 0u);
    EXPECT_GT(mixed & 0xFF, 0u);
}

namespace {

// New canvases on this thread start as garbage where they would start unwritten, while in scope.
struct GarbageCanvases {
    explicit GarbageCanvases(std::uint32_t pixel) { fillNewCanvasesForTesting(pixel); }
    ~GarbageCanvases() {
        fillNewCanvasesForTesting(std::nullopt);
        raster::setScanConverterEnabled(true);
    }
};

Path ellipse(Rect rect) {
    Path path;
    path.addEllipse(rect);
    return path;
}

}  // namespace

// A canvas is written only where something draws or reads: whatever the drawing, its pixels are those
// of the same drawing onto a canvas zeroed at the start, through the converter and through Cairo.
TEST(Context, UnwrittenCanvasesShowTheSamePixelsAsZeroedOnes) {
    using Draw = std::function<void(Context&)>;
    const Color opaque = Color::rgb(200, 40, 10), translucent = Color::rgb(10, 90, 240, 0.5);
    auto rect = [](Color color, Rect rect) {
        return [=](Context& c) {
            c.setFillColor(color);
            c.fillRect(rect);
        };
    };
    auto then = [](std::vector<Draw> steps) {
        return [=](Context& c) {
            for (const Draw& step : steps) step(c);
        };
    };
    const Bitmap picture = solid(5, 4, 0x80402010);
    const auto gradient = Gradient::make(std::vector<Color>{opaque, translucent});
    const std::pair<const char*, Draw> cases[] = {
        {"nothing", [](Context&) {}},
        {"opaque cover, then a stroke",
         then({rect(opaque, {0, 0, 24, 20}), [](Context& c) { c.stroke(ellipse({3, 3, 10, 10})); }})},
        {"rows in pieces", then({rect(opaque, {0, 0, 24, 6.5}), rect(opaque, {0, 6.5, 24, 7.25}),
                                 rect(translucent, {0, 13.75, 24, 3}), rect(opaque, {0, 16.75, 24, 4})})},
        {"columns in pieces, one gap", then({rect(opaque, {0, 0, 8, 20}), rect(opaque, {8, 0, 8.5, 20}),
                                             rect(opaque, {19.25, 2.5, 3, 15}), rect(translucent, {0, 0, 24, 20})})},
        {"inside first, then around", then({rect(opaque, {6.5, 5.5, 9, 8}), rect(translucent, {2, 1, 20, 17})})},
        {"one column wide, then off the canvas",
         then({rect(opaque, {4.5, 2, 2, 9}), rect(opaque, {-5, -3, 12, 8}), rect(opaque, {20, 15, 1e12, 1e12})})},
        {"hairline and wide strokes, a fill", [](Context& c) {
             c.setLineWidth(0.4);
             c.stroke(ellipse({2, 2, 8, 8}));
             c.setLineWidth(3);
             c.strokeRect({12.5, 6.5, 8, 9});
             c.fill(ellipse({5.3, 4.2, 9, 7}));
         }},
        {"dashes, text and a bitmap", [&](Context& c) {
             const double dashes[] = {3, 2};
             c.setLineDash(0, dashes);
             c.stroke(ellipse({4, 4, 14, 11}));
             drawText(c, AttributedString("Lap"), {1, 1, 22, 18});
             c.drawBitmap(picture, {7, 6, 5, 4}, BitmapPlacement::firstRowAtMinY);
         }},
        {"clip, then gradient and fills", [&](Context& c) {
             c.clip(Rect{3, 2, 11, 9});
             c.drawLinearGradient(*gradient, {0, 0}, {24, 20}, drawsBeforeStartLocation | drawsAfterEndLocation);
             c.clip(Rect{4, 3, 12, 10});
             rect(opaque, {0, 0, 24, 20})(c);
             c.clip(ellipse({2, 2, 16, 14}));
             rect(translucent, {0, 0, 24, 20})(c);
         }},
        {"gradient inside a path clip, then one cut by whole pixels", [&](Context& c) {
             c.clip(ellipse({3.5, 2.25, 15, 13}));
             c.drawLinearGradient(*gradient, {0, 0}, {24, 20}, drawsBeforeStartLocation | drawsAfterEndLocation);
             c.clip(Rect{6, 0, 9, 20});
             c.drawRadialGradient(*gradient, {12, 10}, 0, {12, 10}, 6, drawsBeforeStartLocation | drawsAfterEndLocation);
         }},
        {"masked by clips, then opaque", [&](Context& c) {
             c.save();
             c.clip(Rect{2.5, 1.5, 19, 16});
             rect(opaque, {0, 0, 24, 20})(c);
             c.clip(ellipse({2, 2, 16, 14}));
             rect(translucent, {0, 0, 24, 20})(c);
             c.restore();
             c.clip(ellipse({10, 1, 13, 18}));
             rect(opaque, {0, 0, 24, 20})(c);
         }},
        {"aliased clip, then fill", [&](Context& c) {
             c.setShouldAntialias(false);
             c.clip(ellipse({3, 2, 15, 13}));
             c.setShouldAntialias(true);
             rect(translucent, {0, 0, 24, 20})(c);
         }},
        {"save and restore", [&](Context& c) {
             c.save();
             c.clip(Rect{10, 0, 14, 20});
             rect(opaque, {0, 0, 24, 12})(c);
             c.restore();
             rect(translucent, {0, 8, 24, 12})(c);
         }},
        {"blend modes, mask, clear and no antialiasing", [&](Context& c) {
             rect(opaque, {0, 0, 12, 20})(c);
             c.setBlendMode(BlendMode::multiply);
             rect(translucent, {6, 4, 12, 8})(c);
             c.setBlendMode(BlendMode::copy);
             rect(opaque, {14, 0, 6, 6})(c);
             c.setBlendMode(BlendMode::normal);
             c.clearRect({2, 2, 3, 3});
             c.setShouldAntialias(false);
             c.fill(ellipse({15.5, 9.5, 7, 7}));
             c.clipToMask({0, 0, 24, 20}, picture);
             rect(opaque, {0, 0, 24, 20})(c);
         }},
    };
    for (bool converter : {true, false}) {
        for (double scale : {1.0, 1.5}) {
            for (const auto& [name, draw] : cases) {
                SCOPED_TRACE(::testing::Message() << name << ", scale " << scale << ", converter " << converter);
                GarbageCanvases garbage(0xDEADBEEF);
                raster::setScanConverterEnabled(converter);
                const Context::Options options{.scale = scale, .origin = Origin::bottomLeft};
                auto zeroed = Context::create(Bitmap::make(int(24 * scale), int(20 * scale)), options);
                auto unwritten = Context::create(Size{24, 20}, options);
                ASSERT_TRUE(zeroed && unwritten);
                draw(*zeroed);
                draw(*unwritten);
                // Taken at once, or read, drawn over again and then taken.
                if (converter) {
                    EXPECT_EQ(unwritten->takeImage().pixels, zeroed->takeImage().pixels);
                    continue;
                }
                EXPECT_EQ(unwritten->makeImage().pixels, zeroed->makeImage().pixels);
                rect(translucent, {1, 1, 5, 5})(*zeroed);
                rect(translucent, {1, 1, 5, 5})(*unwritten);
                EXPECT_EQ(unwritten->takeImage().pixels, zeroed->takeImage().pixels);
            }
        }
    }
    // An opaque context's blanks are black.
    GarbageCanvases garbage(0xDEADBEEF);
    auto black = Context::create(Size{6, 4}, {.format = PixelFormat::rgb24});
    black->setFillColor(Color::rgb(255, 255, 255));
    black->fillRect({1, 1, 2, 2});
    const Bitmap image = black->makeImage();
    EXPECT_EQ(image.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(image.pixel(5, 3), 0xFF000000u);
    EXPECT_EQ(image.pixel(1, 1), 0xFFFFFFFFu);
}

// A bitmap's bytes copy as a vector's do, and keep those in front when they shrink and grow.
TEST(Context, BitmapBytesCopyAndGrowLikeAVector) {
    const Bitmap bitmap = solid(3, 2, red);
    Bitmap copy = bitmap;
    copy.row(0)[0] = blue;
    EXPECT_EQ(bitmap.pixel(0, 0), red);
    const std::vector<std::uint8_t> bytes = bitmap.pixels;
    copy.pixels.resize(8);
    copy.pixels.resize(bytes.size() * 3);
    EXPECT_TRUE(std::equal(bytes.begin() + 4, bytes.begin() + 8, copy.pixels.begin() + 4));
    copy = bitmap;
    EXPECT_EQ(copy.pixels, bytes);
}

// A fill or stroke handed its placement draws what saving, concatenating it, drawing and restoring
// draws, and leaves the transform as it was: whether the converter draws it or Cairo does (a blend
// mode, dashes), under a clip path, and with a placement the context ignores.
TEST(Context, DrawingThroughAPlacementMatchesASavedConcatenation) {
    Path outline;
    outline.moveTo({1, 1});
    outline.curveTo({9, -2}, {12, 6}, {8, 9});
    outline.lineTo({2, 7});
    outline.closeSubpath();
    struct Scenario {
        const char* name;
        AffineTransform placement;
        std::function<void(Context&)> setUp;
        bool stroke = false;
    };
    const AffineTransform skewed{2, 0.3, -0.4, 1.5, 10, 5};
    const std::vector<Scenario> scenarios = {
        {"plain fill", skewed, [](Context&) {}},
        {"translucent fill", skewed, [](Context& context) { context.setAlpha(0.6); }},
        {"multiplying fill", skewed, [](Context& context) { context.setBlendMode(BlendMode::multiply); }},
        {"fill under a clip path", skewed,
         [](Context& context) {
             Path circle;
             circle.addEllipse({5, 5, 30, 25});
             context.clip(circle);
         }},
        {"singular placement", AffineTransform{2, 0, 4, 0, 3, 3}, [](Context&) {}},
        {"hairline", skewed, [](Context& context) { context.setLineWidth(0.3); }, true},
        {"wide stroke", skewed, [](Context& context) { context.setLineWidth(1.5); }, true},
        {"dashed stroke", skewed,
         [](Context& context) {
             const double dashes[] = {2, 1};
             context.setLineWidth(1);
             context.setLineDash(0.5, dashes);
         },
         true},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        std::vector<Bitmap> images;
        for (const bool placed : {false, true}) {
            auto context = filledContext(48, 40, Color::rgb(200, 220, 90));
            context->translateBy(3, 2);
            context->scaleBy(1.25, 1.25);
            scenario.setUp(*context);
            context->setFillColor(Color::rgb(20, 60, 240));
            context->setStrokeColor(Color::rgb(240, 30, 20));
            const AffineTransform before = context->currentTransform();
            if (placed) {
                if (scenario.stroke)
                    context->stroke(outline, scenario.placement);
                else
                    context->fill(outline, FillRule::evenOdd, scenario.placement);
                EXPECT_EQ(context->currentTransform(), before);
            } else {
                context->save();
                context->concatenate(scenario.placement);
                if (scenario.stroke)
                    context->stroke(outline);
                else
                    context->fill(outline, FillRule::evenOdd);
                context->restore();
            }
            images.push_back(context->makeImage());
        }
        EXPECT_EQ(images[0].pixels, images[1].pixels);
        // Something was drawn (but through the singular placement, which the context ignores).
        EXPECT_NE(images[1].pixels, filledContext(48, 40, Color::rgb(200, 220, 90))->makeImage().pixels);
    }
}

TEST(Context, AWorkMeterCountsDrawingAndPastItsBudgetRefusesThatAndAllAfter) {
    auto context = makeContext(10, 10, 2);
    context->setFillColor(Color::rgb(255, 0, 0));
    std::uint64_t once = 0;
    {
        WorkMeter meter;
        context->fillRect({0, 0, 2, 2});
        once = meter.used();
        EXPECT_GT(once, 0u);
        {
            WorkMeter inner;  // joins the running one: a picture within a picture shares its budget
            context->fillRect({2, 0, 2, 2});
            EXPECT_EQ(inner.used(), 2 * once);
        }
        EXPECT_EQ(meter.used(), 2 * once);
        EXPECT_FALSE(meter.spent());
    }
    {
        // Room for one such fill: the next is refused, and so is everything after, however small.
        WorkMeter meter(once + once / 2);
        context->fillRect({0, 4, 2, 2});
        context->fillRect({2, 4, 2, 2});
        EXPECT_TRUE(meter.spent());
        context->fillRect({4, 4, 0.5, 0.5});
        EXPECT_TRUE(WorkMeter::spentNow());
    }
    // A line across a picture 200 wide, `width` wide and dashed by `pattern`.
    Path line;
    line.moveTo({0, 10});
    line.lineTo({200, 10});
    const auto dashed = [](double width, std::span<const double> pattern) {
        auto dashed = makeContext(200, 20);
        dashed->setLineWidth(width);
        dashed->setLineDash(0, pattern);
        return dashed;
    };
    {
        // The dashes laid are work of their own: a short line of a thousand spends what the line alone would not.
        const double pattern[] = {0.1, 0.1};
        auto context = dashed(2, pattern);
        WorkMeter meter(10'000);
        context->stroke(line);
        EXPECT_TRUE(meter.spent());
    }
    {
        // A dash is charged for its outline's points too: round dots, each an arc, cost the meter what filling
        // them costs, several times what the same square dots do.
        const double pattern[] = {0, 20};
        auto dotted = dashed(12, pattern);
        const auto units = [&](LineCap cap) {
            WorkMeter meter;
            dotted->setLineCap(cap);
            dotted->stroke(line);
            return meter.used();
        };
        EXPECT_GT(units(LineCap::round), 2 * units(LineCap::square));
    }
    EXPECT_FALSE(WorkMeter::spentNow()) << "closed with its scope";
    context->fillRect({6, 6, 2, 2});  // outside a meter nothing is counted
    const Bitmap image = context->makeImage();
    EXPECT_TRUE(pixelNear(image, 1, 1, red));
    EXPECT_TRUE(pixelNear(image, 5, 1, red));
    EXPECT_TRUE(pixelNear(image, 1, 9, red));
    EXPECT_TRUE(pixelNear(image, 5, 9, 0));
    EXPECT_TRUE(pixelNear(image, 8, 8, 0));
    EXPECT_TRUE(pixelNear(image, 13, 13, red));
}

// Cairo's round pen grows with the square root of the line's width, and lays half of it at each round cap and sharp
// join: a pen too large for the render is refused before Cairo sees it, and one it can hold is charged and given back.
TEST(Context, AWorkMeterRefusesAPenCairoWouldMakeTooLargeAndGivesBackOneItHeld) {
    Path line;
    line.moveTo({0, 50});
    line.lineTo({100, 50});
    auto context = makeContext(100, 100);
    context->setLineCap(LineCap::round);
    context->setLineJoin(LineJoin::round);
    context->setLineWidth(2.5e7);
    const double dashes[] = {0.01, 0.01};  // 5,000 dashes, each capped by 25,000 of the pen's points
    context->setLineDash(0, dashes);
    {
        WorkMeter meter;
        context->stroke(line);
        EXPECT_TRUE(meter.spent());
        EXPECT_EQ(meter.heldAtMost(), 0u) << "refused before anything is held";
    }
    EXPECT_EQ(alphaAt(context->makeImage(), 50, 50), 0);
    Path corner;
    corner.moveTo({10, 90});
    corner.lineTo({50, 10});
    corner.lineTo({90, 90});
    context->setLineDash(0, {});
    context->setLineWidth(3e5);  // too wide for the converter: Cairo's pen has about 5,400 points
    WorkMeter meter;
    context->stroke(corner);
    EXPECT_FALSE(meter.spent());
    EXPECT_GT(meter.heldAtMost(), 0u);
    EXPECT_EQ(meter.held(), 0u);
    EXPECT_GT(double(meter.used()), 1'000 * WorkMeter::aPenPoint);
    EXPECT_EQ(alphaAt(context->makeImage(), 50, 50), 255);
}

// A picture large enough to composite for milliseconds goes to Cairo in bands of rows: each pixel once.
TEST(Context, ALargePictureIsCompositedInBandsEachPixelOnce) {
    constexpr int side = 2'000;
    Bitmap picture = Bitmap::make(side, side);
    for (int y = 0; y < side; ++y) std::fill_n(picture.row(y), side, 0x80000080u);
    auto context = makeContext(side, side);
    WorkMeter meter;
    context->drawBitmap(picture, {0, 0, side, side}, BitmapPlacement::firstRowAtMinY);
    const Bitmap drawn = context->makeImage();
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; x += 97) ASSERT_EQ(drawn.pixel(x, y), 0x80000080u) << x << ", " << y;
}

// Layers are held against the render's memory while they live: past its budget one is not made, the meter spent.
TEST(Context, AWorkMeterHoldsALayersPixelsWhileItLivesAndRefusesOnePastItsMemory) {
    WorkMeter meter;
    {
        auto layer = Context::create(2'000, 1'000, {});
        ASSERT_TRUE(layer);
        EXPECT_EQ(meter.held(), 8'000'000u);
    }
    EXPECT_EQ(meter.held(), 0u);
    EXPECT_EQ(meter.heldAtMost(), 8'000'000u);
    EXPECT_FALSE(Context::create(12'000, 12'000, {}));
    EXPECT_TRUE(meter.spent());
}

// Charges are estimates and the clock is not: a render whose charges count nothing still ends once its thread
// has spent its allowance of CPU, and no sooner, whatever its budget: within it free charges are taken.
TEST(Context, AWorkMeterIsSpentPastItsCPUAllowanceWhateverItsChargesCount) {
    const auto cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
    };
    {
        WorkMeter meter(1'000, nullptr, 100'000);
        for (std::uint64_t charges = 0; charges < 100'000'000 && WorkMeter::charge(0); ++charges) {
        }
        EXPECT_TRUE(meter.spent());
        EXPECT_TRUE(meter.spentByClock());
        EXPECT_EQ(meter.used(), 0u);
        EXPECT_EQ(meter.left(), 0u);
        EXPECT_FALSE(WorkMeter::charge(0));
    }
    {
        // Charges that each stand for far more work than they count (a fifth of a millisecond of CPU here)
        // end the meter within a few dozen, not a thousand.
        WorkMeter meter(1'000, nullptr, 2'000'000);
        int charges = 0;
        while (charges < 1'000 && WorkMeter::charge(0)) {
            ++charges;
            for (const auto end = cpu() + 200'000; cpu() < end;) {
            }
        }
        EXPECT_TRUE(meter.spent());
        EXPECT_LT(charges, 100);
    }
    // A small budget is not a short time: the clock allows the default budget's, however little is left.
    WorkMeter meter(1'000);
    for (const auto end = cpu() + 20'000'000; cpu() < end;) ASSERT_TRUE(WorkMeter::charge(0));
    EXPECT_FALSE(meter.spentByClock());
    EXPECT_EQ(meter.left(), 1'000u);
}

TEST(Context, AWorkMeterChargesAnEdgeAcrossThePictureTheColumnsItWalks) {
    // A thousand edges to and fro within two rows, across a picture `width` wide: the converter walks each
    // edge's cells, its width, though every edge crosses the same two rows.
    const auto units = [](int width) {
        Path zigzag;
        zigzag.moveTo({0, 0});
        for (int at = 1; at <= 1'000; ++at) zigzag.lineTo({at % 2 ? double(width) : 0, at * 2 / 1'000.0});
        auto context = makeContext(width, 4);
        context->setFillColor(Color::rgb(0, 96, 192));
        WorkMeter meter;
        context->fill(zigzag);
        return double(meter.used());
    };
    EXPECT_GT(units(1'000), 3 * units(10));
}

namespace {

// What stroking a zigzag of `segments` to and fro across a picture 256 square, `width` wide and joined round, costs
// the meter.
double zigzagStrokeUnits(int segments, double width) {
    Path zigzag;
    zigzag.moveTo({0, 0});
    for (int at = 1; at <= segments; ++at) zigzag.lineTo({at % 2 ? 256.0 : 0, at * 256.0 / segments});
    auto context = makeContext(256, 256);
    context->setStrokeColor(Color::rgb(0, 96, 192));
    context->setLineWidth(width);
    context->setLineJoin(LineJoin::round);
    WorkMeter meter;
    context->stroke(zigzag);
    return double(meter.used());
}

}  // namespace

// A wide stroke to and fro across the picture: its outline crosses itself on every row, and tracing it takes
// about as long for a thousand segments as for four thousand (it gives up after so many steps), so it is
// charged about as much, not a quarter.
TEST(Context, AWorkMeterChargesAnOutlineCrossingItselfTheStepsTracingItTakes) {
    const auto units = [](int segments) { return zigzagStrokeUnits(segments, 6); };
    EXPECT_GT(units(1'000), units(4'000) / 2);
}

// A short path pays for its own rows and pixels, not for the picture's around it.
TEST(Context, AWorkMeterChargesASmallSquareItsOwnSizeOnAnyPicture) {
    const auto units = [](int side) {
        auto context = makeContext(side, side);
        context->setFillColor(Color::rgb(0, 96, 192));
        WorkMeter meter;
        context->fillRect({1, 1, 2, 2});
        return double(meter.used());
    };
    EXPECT_LT(units(200), 1.5 * units(8));
}

// The meter's path estimate written plainly, an edge at a time, each point mapped where it is met: the quicker
// walk the meter takes must give the same units to the bit, or charges would move with how they are summed.
double plainDrawingUnits(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box,
                         double pixelUnits, bool crowding, int& reached) {
    const double top = box.top, bottom = box.bottom, left = box.left, right = box.right;
    const double count = double(path.elements().size()), edges = reach > 0 ? 4 : 1;
    const double width = std::max(box.right - box.left, 0), height = std::max(box.bottom - box.top, 0);
    const auto overlap = [](double from, double to, double low, double high) {
        return std::max(std::clamp(to, low, high) - std::clamp(from, low, high), 0.0);
    };
    // Calls `edge` for each edge (a close's too); the box of every point, or of the elements' ends alone.
    const auto walk = [&](bool everyPoint, auto edge) {
        Point current{}, start{}, least{INFINITY, INFINITY}, most{-INFINITY, -INFINITY};
        int subpaths = 0;
        for (const PathElement& element : path.elements()) {
            if (element.kind == PathElement::Kind::closeSubpath) {
                edge(current, start);
                current = start;
                continue;
            }
            Point last{};
            for (int index = everyPoint ? 0 : element.pointCount() - 1; index < element.pointCount(); ++index) {
                last = toDevice.apply(element.points[index]);
                least = {std::min(least.x, last.x), std::min(least.y, last.y)};
                most = {std::max(most.x, last.x), std::max(most.y, last.y)};
            }
            if (element.kind == PathElement::Kind::moveTo)
                start = last, ++subpaths;
            else
                edge(current, last);
            current = last;
        }
        const double area = overlap(least.x - reach, most.x + reach, left, right) *
                            overlap(least.y - reach, most.y + reach, top, bottom);
        return std::tuple{area, std::isnan(least.x + most.x + least.y + most.y), subpaths};
    };
    double units = WorkMeter::aPath + count * WorkMeter::aSegment;
    const double bound = count * edges * (height * WorkMeter::anEdgeRow + width * WorkMeter::anEdgeColumn) +
                         width * height * pixelUnits +
                         std::min(count * edges * width, width * height) * WorkMeter::aPixelSwept;
    double rows = 0, columns = 0;
    if (bound <= 50'000) {
        reached = count > 16 ? 1 : 0;
        if (count > 16) return units + bound;
        const auto [area, notANumber, subpaths] = walk(true, [&](Point a, Point b) {
            if (reach == 0 && a.y == b.y) return;
            rows += std::min(std::abs(b.y - a.y) + 2 * reach + 1, height);
            columns += std::min(std::abs(b.x - a.x) + 2 * reach, width);
        });
        columns *= edges > 1 ? 2 : 1;
        const double small = area * pixelUnits + std::min(columns, area) * WorkMeter::aPixelSwept +
                             rows * edges * WorkMeter::anEdgeRow + columns * WorkMeter::anEdgeColumn;
        return units + (small <= bound ? small : bound);
    }
    std::vector<double> starting(std::size_t(height) + 1, 0.0);
    const auto [area, notANumber, subpaths] = walk(false, [&](Point a, Point b) {
        if (a.y > b.y) std::swap(a, b);
        const int from = int(std::clamp(std::floor(a.y - reach), top, bottom));
        const int to = int(std::clamp(std::ceil(b.y + reach), top, bottom));
        if (to <= from) return;
        starting[std::size_t(from - box.top)] += edges, starting[std::size_t(to - box.top)] -= edges;
        // Cut to the box's rows.
        if (a.y < top || b.y > bottom) {
            const double dxdy = (b.x - a.x) / (b.y - a.y), cutTop = std::max(a.y, top);
            const double cutBottom = std::min(b.y, bottom);
            if (std::isfinite(dxdy))
                std::tie(a, b) = std::pair{Point{a.x + (cutTop - a.y) * dxdy, cutTop},
                                           Point{a.x + (cutBottom - a.y) * dxdy, cutBottom}};
        }
        const double low = std::clamp(std::min(a.x, b.x) - reach, left, right);
        const double high = std::clamp(std::max(a.x, b.x) + reach, left, right);
        rows += (to - from) * edges, columns += (high - low) * (edges > 1 ? 2 : 1);
    });
    reached = 2;
    if (notANumber) return NAN;
    units += area * pixelUnits + std::min(columns, area) * WorkMeter::aPixelSwept;
    units += rows * WorkMeter::anEdgeRow + columns * WorkMeter::anEdgeColumn;
    if (rows > 20'000 && (crowding || reach > 0 || subpaths > 1)) {
        reached = 3;
        double active = 0;
        for (double row : starting) {
            active += row;
            units += active * std::log2(1 + active) * WorkMeter::anEdgeAmongOthers;
        }
    }
    return units;
}

// Random paths of lines, curves and closes (short ones and long, within the picture and past it, flat edges
// among them), under random transforms, filled and stroked within random boxes, some of them empty.
TEST(Context, AWorkMeterEstimatesAPathAsItsPlainSumDoesToTheBit) {
    std::mt19937 random(sorvane::testing::testSeed(88));
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const auto pick = [&](int below) { return int(random() % unsigned(below)); };
    const double pixelUnits[] = {0, WorkMeter::anOpaquePixel, WorkMeter::aPixel, WorkMeter::aComposedPixel};
    // How many drawings took each way: a short path's own walk, a long one's bound, the walk, crowded rows.
    int reachedEach[4] = {};
    for (int drawing = 0; drawing < 3'000; ++drawing) {
        const raster::PixelBox box = [&] {
            const int left = pick(100) - 50, top = pick(100) - 50;
            const int size = pick(4) == 0 ? 40 : 700;
            return raster::PixelBox{left, top, left + pick(size), top + pick(size)};
        }();
        AffineTransform toDevice = AffineTransform::rotation(pick(3) == 0 ? 0 : uniform(0, 2 * std::numbers::pi));
        toDevice.a *= uniform(0.2, 4), toDevice.d *= uniform(0.2, 4), toDevice.c += pick(2) ? 0 : uniform(-1, 1);
        toDevice.tx = uniform(-100, 400), toDevice.ty = uniform(-100, 400);
        const int elements = pick(3) == 0 ? 17 + pick(400) : 1 + pick(16);
        const double spread = uniform(1, 300);
        const auto point = [&] { return Point{uniform(-spread, spread), pick(8) ? uniform(-spread, spread) : 0}; };
        Path path;
        path.moveTo(point());
        for (int element = 1; element < elements; ++element) {
            switch (pick(8)) {
                case 0: path.closeSubpath(); break;
                case 1: path.moveTo(point()); break;
                case 2: path.quadCurveTo(point(), point()); break;
                case 3: path.curveTo(point(), point(), point()); break;
                default: path.lineTo(point());
            }
        }
        const double reach = pick(2) ? 0 : uniform(0.5, 6), units = pixelUnits[pick(4)];
        const bool crowding = pick(2);
        int reached = 0;
        const double plain = plainDrawingUnits(path, toDevice, reach, box, units, crowding, reached);
        ++reachedEach[reached];
        const double quick = drawingUnits(path, toDevice, reach, box, units, crowding);
        if (quick != plain) {
            ADD_FAILURE() << "drawing " << drawing << ": " << quick << " units, plainly " << plain;
            break;
        }
    }
    for (int each : reachedEach) EXPECT_GT(each, 100);
}

// A picture filtered down reads many of its pixels for each one drawn; at its own size it is copied.
TEST(Context, AWorkMeterChargesAPictureShrunkItsFilterAndOneAtItsSizeItsPixels) {
    const Bitmap picture = solid(512, 512, 0xff0060c0u);
    const auto units = [&](double side) {
        auto context = makeContext(512, 512);
        WorkMeter meter;
        context->drawBitmap(picture, {0, 0, side, side});
        return double(meter.used());
    };
    EXPECT_GT(units(64), 2 * units(512));
}

// A path whose points are partly not numbers (a transform past the doubles' range makes them) is charged as
// one it cannot estimate: no row of the picture is reckoned from such a point.
TEST(Context, AWorkMeterTakesAPathWithPointsNotNumbersWithoutReckoningRowsFromThem) {
    for (bool stroked : {true, false}) {
        auto context = makeContext(100, 2000);
        context->setStrokeColor(Color::rgb(0, 96, 192));
        context->setFillColor(Color::rgb(0, 96, 192));
        context->setLineWidth(3);
        Path path;
        path.moveTo({NAN, NAN});
        for (int at = 0; at < 10; ++at) path.lineTo({double(at % 2 ? 90 : 10), at % 3 ? 1990.0 : NAN});
        WorkMeter meter;
        stroked ? context->stroke(path) : context->fill(path);
        EXPECT_FALSE(meter.spent()) << stroked;
    }
}

// Through a clip's coverage each pixel filled reads it too: dearer than through a clip of whole pixels.
TEST(Context, AWorkMeterChargesAFillThroughAClipsCoverageThePixelsItReads) {
    const auto units = [](bool round) {
        auto context = makeContext(256, 256);
        Path clip;
        round ? clip.addEllipse({0, 0, 256, 256}) : clip.addRect({0, 0, 256, 256});
        context->clip(clip);
        context->setFillColor(Color::rgb(0, 96, 192, 0.5));
        WorkMeter meter;
        context->fillRect({0, 0, 256, 256});
        return double(meter.used());
    };
    EXPECT_GT(units(true), 1.5 * units(false));
}

// Padded, a gradient's pixels walk its stops only between its ends (a radial one's within its end circle): past
// them each takes an end's colour. Repeating, every pixel walks them.
TEST(Context, AWorkMeterChargesAGradientsStopsWhereItsPixelsWalkThem) {
    std::vector<Color> colors(1'024, Color::rgb(64, 0, 192));
    for (std::size_t index = 1; index < colors.size(); index += 2) colors[index] = Color::rgb(0, 160, 64);
    const auto gradient = Gradient::make(colors);
    ASSERT_TRUE(gradient);
    // 64 x 64 pixels at `left` on a row 1,024 wide, of a gradient whose end is 256 from its start.
    const auto units = [&](double left, bool radial, unsigned options) {
        auto context = makeContext(1'024, 64);
        context->clip(Rect{left, 0, 64, 64});
        const auto draw = [&] {
            if (radial)
                context->drawRadialGradient(*gradient, {0, 32}, 0, {0, 32}, 256, options);
            else
                context->drawLinearGradient(*gradient, {0, 32}, {256, 32}, options);
        };
        draw();  // its pattern made once, outside the meter
        WorkMeter meter;
        draw();
        return double(meter.used());
    };
    const unsigned padded = drawsBeforeStartLocation | drawsAfterEndLocation;
    for (const bool radial : {false, true}) {
        EXPECT_GT(units(64, radial, padded), 2 * units(640, radial, padded)) << radial;
        EXPECT_EQ(units(64, radial, repeatsBeyondEnds), units(640, radial, repeatsBeyondEnds)) << radial;
    }
}

// A solid hairline is drawn as quads whose areas are summed: however many cross a row, none is kept in order
// among the others, so its charge grows as its segments do, not faster.
TEST(Context, AWorkMeterChargesAHairlineItsSegmentsNotTheirCrowding) {
    const auto units = [](int segments) { return zigzagStrokeUnits(segments, 0.5); };
    EXPECT_LT(units(40'000), 4 * units(10'000));
}
