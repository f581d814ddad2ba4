#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "PixelProbe.h"
#include "gfx/Context.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"

namespace gfx {
namespace {

const Font body = Font::systemFont(17);

AttributedString text(std::string_view string, std::optional<Color> color = std::nullopt, Font font = body) {
    return AttributedString(string, {.font = font, .foregroundColor = color});
}

struct Ink {
    int minX = -1, maxX = -1, minY = -1, maxY = -1;
};

// The box of pixels with some alpha, optionally only those close to a colour.
Ink inkOf(const Bitmap& bitmap, std::optional<Color> color = std::nullopt) {
    Ink ink;
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x) {
            std::uint32_t pixel = bitmap.pixel(x, y);
            if ((pixel >> 24) < 128) continue;
            if (color) {
                Color seen = Color::fromPremultipliedPixel(pixel);
                if (std::abs(seen.red - color->red) > 0.25 || std::abs(seen.green - color->green) > 0.25 ||
                    std::abs(seen.blue - color->blue) > 0.25)
                    continue;
            }
            if (ink.minX < 0 || x < ink.minX) ink.minX = x;
            if (x > ink.maxX) ink.maxX = x;
            if (ink.minY < 0) ink.minY = y;
            ink.maxY = y;
        }
    return ink;
}

Bitmap render(const AttributedString& string, Size size, TextLayoutOptions options = {}, double scale = 1) {
    auto context = Context::create(size, {.scale = scale});
    drawText(*context, string, {{0, 0}, size}, options);
    return context->makeImage();
}

TEST(TextLayoutTest, MeasuringGrowsWithTheTextAndOneLineIsOneLineHeight) {
    TextMeasurement shortText = TextLayout::make(text("Lap")).measurement();
    TextMeasurement longText = TextLayout::make(text("Lap 12 of 57")).measurement();
    EXPECT_GT(shortText.size.width, 20);
    EXPECT_GT(longText.size.width, shortText.size.width * 2);
    EXPECT_EQ(longText.lineCount, 1);
    EXPECT_FALSE(longText.truncated);
    EXPECT_NEAR(longText.size.height, body.lineHeight(), 0.01);
    EXPECT_GT(TextLayout::make(text("Lap", {}, Font::boldSystemFont(17))).size().width, shortText.size.width);
    EXPECT_EQ(TextLayout::make(AttributedString()).measurement(), TextMeasurement{});
}

TEST(TextLayoutTest, WrappingAtAWidthStacksWholeLines) {
    auto string = text("Information about lap times, pit stop times, and tyres");
    TextMeasurement oneLine = TextLayout::make(string).measurement();
    TextMeasurement wrapped = TextLayout::make(string, {.width = 120}).measurement();
    EXPECT_GE(wrapped.lineCount, 3);
    EXPECT_LE(wrapped.size.width, 120);
    EXPECT_NEAR(wrapped.size.height, wrapped.lineCount * body.lineHeight(), 0.01);
    EXPECT_FALSE(wrapped.truncated);
    EXPECT_GT(oneLine.size.width, 120 * 2);
    // A word longer than the width is cut between characters.
    TextMeasurement cut = TextLayout::make(text("Constructors"), {.width = 40}).measurement();
    EXPECT_GE(cut.lineCount, 2);
    EXPECT_LE(cut.size.width, 40);
    // Line feeds break lines without a width.
    EXPECT_EQ(TextLayout::make(text("\nLIVE")).lineCount(), 2);
}

TEST(TextLayoutTest, LineLimitTruncatesTheLastLineWithAnEllipsis) {
    std::string sentence = "Listen in to developing race control messages and audio";
    TextMeasurement limited = TextLayout::make(text(sentence), {.width = 120, .numberOfLines = 2}).measurement();
    EXPECT_EQ(limited.lineCount, 2);
    EXPECT_TRUE(limited.truncated);
    EXPECT_NEAR(limited.size.height, 2 * body.lineHeight(), 0.01);

    TextMeasurement single = TextLayout::make(text(sentence), {.width = 120, .numberOfLines = 1}).measurement();
    ASSERT_TRUE(single.truncated);
    ASSERT_LE(single.size.width, 120);
    // What is drawn is a prefix of the text followed by "…".
    Bitmap truncated = render(text(sentence), {120, 24}, {.numberOfLines = 1});
    bool matchesPrefixWithEllipsis = false;
    for (std::size_t length = 1; length < sentence.size() && !matchesPrefixWithEllipsis; ++length)
        matchesPrefixWithEllipsis = render(text(sentence.substr(0, length) + "…"), {120, 24}).pixels == truncated.pixels;
    EXPECT_TRUE(matchesPrefixWithEllipsis);

    // Clipping keeps whole lines and adds nothing, but still reports the text it hides.
    TextMeasurement clipped =
        TextLayout::make(text(sentence), {.width = 120, .numberOfLines = 1, .lineBreakMode = LineBreakMode::byClipping})
            .measurement();
    EXPECT_EQ(clipped.lineCount, 1);
    EXPECT_TRUE(clipped.truncated);

    // The limit counts lines across line feeds.
    TextMeasurement paragraphs = TextLayout::make(text("Round 4\nLIVE\nnow"), {.numberOfLines = 2}).measurement();
    EXPECT_EQ(paragraphs.lineCount, 2);
    EXPECT_TRUE(paragraphs.truncated);
    EXPECT_NEAR(paragraphs.size.height, 2 * body.lineHeight(), 0.01);
    EXPECT_FALSE(TextLayout::make(text(sentence), {.width = 120}).isTruncated());
}

TEST(TextLayoutTest, AlignmentMovesTheInkWithinTheRectangle) {
    auto leftmostInk = [](TextAlignment alignment) {
        return inkOf(render(text("Race"), {200, 30}, {.alignment = alignment})).minX;
    };
    int left = leftmostInk(TextAlignment::left);
    int center = leftmostInk(TextAlignment::center);
    int right = leftmostInk(TextAlignment::right);
    EXPECT_LE(left, 2);
    EXPECT_NEAR(center, 100 - TextLayout::make(text("Race")).size().width / 2, 3);
    EXPECT_GT(right, 150);
    EXPECT_EQ(leftmostInk(TextAlignment::natural), left);

    // Justified lines reach the right edge, except the last.
    auto words = text("one two three four five six seven eight nine ten");
    Bitmap justified = render(words, {150, 120}, {.alignment = TextAlignment::justified});
    Bitmap ragged = render(words, {150, 120}, {.alignment = TextAlignment::left});
    auto firstLine = [](const Bitmap& bitmap) {
        Bitmap line = Bitmap::make(bitmap.width, 18);
        for (int y = 0; y < 18; ++y) std::copy_n(bitmap.row(y), bitmap.width, line.row(y));
        return inkOf(line).maxX;
    };
    EXPECT_GE(firstLine(justified), 146);
    EXPECT_LT(firstLine(ragged), firstLine(justified));
}

TEST(TextLayoutTest, RunsDrawInTheirOwnColours) {
    AttributedString string;
    string.append("RRRR", {.font = body, .foregroundColor = Color::rgb(255, 0, 0)});
    string.append("BBBB", {.font = body, .foregroundColor = Color::rgb(0, 0, 255)});
    Bitmap bitmap = render(string, {200, 30});
    double redWidth = TextLayout::make(text("RRRR")).size().width;
    Ink red = inkOf(bitmap, Color::rgb(255, 0, 0));
    Ink blue = inkOf(bitmap, Color::rgb(0, 0, 255));
    ASSERT_GE(red.minX, 0);
    ASSERT_GE(blue.minX, 0);
    EXPECT_LT(red.maxX, redWidth + 1);
    EXPECT_GT(blue.minX, redWidth - 1);
    EXPECT_EQ(inkOf(bitmap, Color::black()).minX, -1);
}

// Texts differing only in paint share one layout of their shape, in the thread's cache and in a render's:
// each must still draw in its own colours, whichever was laid out or drawn last.
TEST(TextLayoutTest, TextsOfOneShapeDrawInTheirOwnPaint) {
    const Color red = Color::rgb(255, 0, 0), blue = Color::rgb(0, 0, 255);
    for (const bool underAMeter : {false, true}) {
        std::optional<WorkMeter> meter;
        if (underAMeter) meter.emplace();
        for (const Color colour : {red, blue, red}) {
            const Color other = colour == red ? blue : red;
            const Bitmap bitmap = render(text("Pit", colour), {60, 30});
            EXPECT_GE(inkOf(bitmap, colour).minX, 0) << underAMeter;
            EXPECT_EQ(inkOf(bitmap, other).minX, -1) << underAMeter;
        }
    }
}

// The glyph advances of one run are summed in Pango units (1/1024 px): for a long run of the largest
// font the sum passes INT_MAX. The test build's UBSan halts on such an overflow; Pango's own line box
// overflows as well, so nothing can be seen of the text, only that drawing it is defined.
TEST(TextLayoutTest, DrawingALongRunOfTheLargestFontSumsItsAdvancesWithoutOverflow) {
    Font huge = Font::systemFont(1e7);
    double glyphWidth = TextLayout::make(text("W", std::nullopt, huge)).size().width;
    std::string run(80, 'W');
    ASSERT_GT(double(run.size()) * glyphWidth * 1024, double(std::numeric_limits<int>::max()));
    AttributedString string;
    string.append(run, {.font = huge, .foregroundColor = Color::rgb(0, 255, 0)});
    string.append("W", {.font = huge, .foregroundColor = Color::rgb(0, 0, 255)});
    auto context = Context::create(Size{40, 20}, {});
    context->scaleBy(1e-6, 1e-6);
    TextLayout::make(string).draw(*context, {0, 0});
    EXPECT_EQ(context->makeImage().width, 40);
}

// FreeType cannot make glyphs past 65535 pixels an em, and a failed one left the shared face failing:
// all later text of the family came out blank, whatever its size.
TEST(TextLayoutTest, HugeTextSaturatesAndLeavesLaterTextDrawable) {
    Bitmap before = render(text("Lap"), {60, 30});
    ASSERT_GE(inkOf(before).minX, 0);
    double largest = TextLayout::make(text("W", std::nullopt, Font::systemFont(32768))).size().width;
    EXPECT_EQ(TextLayout::make(text("W", std::nullopt, Font::systemFont(1e6))).size().width, largest);
    EXPECT_EQ(TextLayout::make(text("W", std::nullopt, Font::systemFont(std::nan("")))).size().width,
              TextLayout::make(text("W", std::nullopt, Font::systemFont(0))).size().width);
    auto magnified = Context::create(Size{40, 20}, {});
    magnified->scaleBy(100, 100);  // 100,000 pixels an em on the device
    TextLayout::make(text("W", std::nullopt, Font::systemFont(1000))).draw(*magnified, {0, 0});

    EXPECT_EQ(render(text("Lap"), {60, 30}).pixels, before.pixels);
}

// Text is drawing a render pays for: copied by the thousand, it would otherwise draw past any bound.
TEST(TextLayoutTest, TextUnderAWorkMeterIsCountedAndPastItIsNotDrawn) {
    {
        WorkMeter meter;
        EXPECT_GE(inkOf(render(text("Lap"), {60, 30})).minX, 0);
        EXPECT_GT(meter.used(), 3 * WorkMeter::aGlyph);
    }
    WorkMeter meter(1'000);
    EXPECT_EQ(inkOf(render(text("Lap"), {60, 30})).minX, -1);
    EXPECT_TRUE(meter.spent());
}

TEST(TextLayoutTest, PositiveStrokeWidthOutlinesWithoutFilling) {
    AttributedString outlined("OOO", {.font = Font::boldSystemFont(40),
                                      .foregroundColor = Color::rgb(0, 0, 255),
                                      .strokeColor = Color::rgb(0, 160, 0),
                                      .strokeWidth = 6});
    Bitmap bitmap = render(outlined, {120, 60});
    EXPECT_GE(inkOf(bitmap, Color::rgb(0, 160, 0)).minX, 0);
    EXPECT_EQ(inkOf(bitmap, Color::rgb(0, 0, 255)).minX, -1);
    outlined = AttributedString("OOO", {.font = Font::boldSystemFont(40),
                                        .foregroundColor = Color::rgb(0, 0, 255),
                                        .strokeColor = Color::rgb(0, 160, 0),
                                        .strokeWidth = -6});
    EXPECT_GE(inkOf(render(outlined, {120, 60}), Color::rgb(0, 0, 255)).minX, 0);
}

TEST(TextLayoutTest, AttachmentsSitOnTheBaselineAndShowImagesSetLater) {
    auto attachment = std::make_shared<TextAttachment>();
    attachment->bounds = {0, 0, 10, 10};
    AttributedString string;
    string.appendAttachment(attachment);
    string.append(" Laps", {.font = body});
    TextLayout layout = TextLayout::make(string);
    EXPECT_NEAR(layout.size().width, 10 + TextLayout::make(text(" Laps")).size().width, 0.01);

    // The image arrives after the text was laid out, as a loaded image does.
    attachment->image = Bitmap::make(20, 20);
    for (int y = 0; y < 20; ++y) std::fill_n(attachment->image.row(y), 20, Color::rgb(255, 0, 0).premultipliedPixel());
    attachment->imageScale = 2;
    auto context = Context::create(Size{100, 30}, {});
    layout.draw(*context, {0, 0});
    Ink red = inkOf(context->makeImage(), Color::rgb(255, 0, 0));
    double baseline = layout.firstBaseline();
    EXPECT_NEAR(baseline, body.ascender(), 0.01);
    EXPECT_EQ(red.minX, 0);
    EXPECT_EQ(red.maxX, 9);
    EXPECT_NEAR(red.maxY + 1, baseline, 1);
    EXPECT_NEAR(red.minY, baseline - 10, 1);

    // A negative bounds origin hangs the image below the baseline.
    attachment->bounds = {0, -4, 10, 10};
    context = Context::create(Size{100, 30}, {});
    TextLayout::make(string).draw(*context, {0, 0});
    EXPECT_NEAR(inkOf(context->makeImage(), Color::rgb(255, 0, 0)).maxY + 1, baseline + 4, 1);
}

TEST(TextLayoutTest, DrawingFollowsTheTransformAndScale) {
    Ink plain = inkOf(render(text("Lap"), {60, 30}));
    Ink doubled = inkOf(render(text("Lap"), {60, 30}, {}, 2));
    EXPECT_NEAR(doubled.minX, 2 * plain.minX, 2);
    EXPECT_NEAR(doubled.maxY, 2 * plain.maxY, 2);
    EXPECT_NEAR(doubled.maxX, 2 * plain.maxX, 3);

    auto context = Context::create(Size{100, 60}, {});
    context->translateBy(40, 20);
    TextLayout::make(text("Lap")).draw(*context, {0, 0});
    Ink moved = inkOf(context->makeImage());
    EXPECT_EQ(moved.minX, plain.minX + 40);
    EXPECT_EQ(moved.minY, plain.minY + 20);

    context = Context::create(Size{60, 30}, {});
    context->setAlpha(0.5);
    TextLayout::make(text("Lap")).draw(*context, {0, 0});
    std::uint32_t strongest = 0;
    Bitmap faded = context->makeImage();
    for (int y = 0; y < faded.height; ++y)
        for (int x = 0; x < faded.width; ++x) strongest = std::max(strongest, testing::alphaAt(faded, x, y));
    EXPECT_NEAR(strongest, 128, 2);
}

TEST(TextLayoutTest, ThreadsLayOutIndependentlyWithTheSameResults) {
    auto string = text("Information about the circuit");
    TextMeasurement here = TextLayout::make(string, {.width = 100}).measurement();
    std::vector<TextMeasurement> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        // Each thread has its own Pango context and cache, so each builds the layout afresh.
        threads.emplace_back([&] { result = TextLayout::make(string, {.width = 100}).measurement(); });
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, here);
}

TEST(TextLayoutTest, InvalidUtf8IsReplacedNotFatal) {
    AttributedString broken(std::string_view("Lap\xFF\xFE 1\0", 8), {.font = body});
    EXPECT_EQ(broken.string(), "Lap\xEF\xBF\xBD\xEF\xBF\xBD 1\xEF\xBF\xBD");
    // Each byte of a malformed sequence is replaced alone (overlong, surrogate, past U+10FFFF, cut short);
    // well-formed ones, U+FFFD itself and four bytes long, are kept.
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xE0\x80\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80" "a", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "a"},
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"a\xE2\x82", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xEF\xBF\xBD\xF0\x9F\x8F\x81\xEF\xBF\xBF", "\xEF\xBF\xBD\xF0\x9F\x8F\x81\xEF\xBF\xBF"},
    };
    for (const auto& [input, replaced] : cases) EXPECT_EQ(AttributedString(input, {.font = body}).string(), replaced);
    EXPECT_GT(TextLayout::make(broken).size().width, TextLayout::make(text("Lap 1")).size().width);
}

// A text of megabytes (a hostile race name) is cut at a character, with an ellipsis, before layout
// meets it; nothing appended later passes the bound.
TEST(TextLayoutTest, TextPastTheLengthBoundIsCutWithAnEllipsis) {
    std::string accents;
    while (accents.size() < 4 * AttributedString::maximumLength) accents += "\xC3\xA9";  // é
    AttributedString cut(accents, {.font = body});
    cut.append("tail");
    const std::string& shown = cut.string();
    EXPECT_LE(shown.size(), AttributedString::maximumLength);
    EXPECT_GT(shown.size(), AttributedString::maximumLength - 8);
    ASSERT_TRUE(shown.ends_with("\xE2\x80\xA6"));
    EXPECT_EQ((shown.size() - 3) % 2, 0u) << "cut inside a character";
    EXPECT_EQ(shown.substr(0, shown.size() - 3), accents.substr(0, shown.size() - 3));
}

}  // namespace
}  // namespace gfx
