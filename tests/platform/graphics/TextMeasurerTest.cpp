#include <gtest/gtest.h>

#include "gfx/TextMeasurer.h"

namespace gfx {
namespace {

TextMeasurement measure(std::string_view text, TextLayoutOptions options = {}) {
    return FixedAdvanceMeasurer(10, 20).measure(AttributedString(text), options);
}

TEST(FixedAdvanceMeasurerTest, OneLineIsCharactersTimesAdvance) {
    EXPECT_EQ(measure("Lap 12"), (TextMeasurement{{60, 20}, 1, false}));
    EXPECT_EQ(measure("Ünïcödé"), (TextMeasurement{{70, 20}, 1, false}));
    EXPECT_EQ(measure(""), TextMeasurement{});
    EXPECT_EQ(measure("a\n\nb"), (TextMeasurement{{10, 60}, 3, false}));
}

TEST(FixedAdvanceMeasurerTest, WrapsAtWordsAndCutsLongWords) {
    TextLayoutOptions options{.width = 75};
    // "Fastest " hangs its space; "lap set" fits in seven characters.
    EXPECT_EQ(measure("Fastest lap set by", options), (TextMeasurement{{70, 60}, 3, false}));
    EXPECT_EQ(measure("Constructors", options), (TextMeasurement{{70, 40}, 2, false}));
    options.lineBreakMode = LineBreakMode::byCharWrapping;
    EXPECT_EQ(measure("ab cdefgh ij", options), (TextMeasurement{{70, 40}, 2, false}));
}

TEST(FixedAdvanceMeasurerTest, LineLimitTruncatesWithRoomForTheEllipsis) {
    TextLayoutOptions options{.width = 75, .numberOfLines = 2};
    EXPECT_EQ(measure("one two three four", options), (TextMeasurement{{70, 40}, 2, true}));
    EXPECT_EQ(measure("one two", options), (TextMeasurement{{70, 20}, 1, false}));
    options.lineBreakMode = LineBreakMode::byWordWrapping;
    options.numberOfLines = 1;
    EXPECT_EQ(measure("three one two", options), (TextMeasurement{{50, 20}, 1, true}));
}

TEST(FixedAdvanceMeasurerTest, AttachmentsCountTheirBoundsWidth) {
    auto attachment = std::make_shared<TextAttachment>();
    attachment->bounds = {0, -2, 13, 13};
    AttributedString string;
    string.appendAttachment(attachment);
    string.append(" Laps");
    EXPECT_EQ(FixedAdvanceMeasurer(10, 20).measure(string, {}).size, (Size{63, 20}));
}

TEST(TextMeasurerTest, InstalledMeasurerReplacesPangoUntilReset) {
    setTextMeasurer(std::make_shared<FixedAdvanceMeasurer>(5, 7));
    EXPECT_EQ(textMeasurer()->measure(AttributedString("abcd"), {}).size, (Size{20, 7}));
    setTextMeasurer(nullptr);
    EXPECT_NE(dynamic_cast<const PangoTextMeasurer*>(textMeasurer().get()), nullptr);
}

}  // namespace
}  // namespace gfx
