#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "PinnedCalendar.h"
#include "shell/Utilities.h"

namespace {

void expectColor(const gfx::Color& color, double red, double green, double blue) {
    EXPECT_DOUBLE_EQ(color.red, red);
    EXPECT_DOUBLE_EQ(color.green, green);
    EXPECT_DOUBLE_EQ(color.blue, blue);
    EXPECT_DOUBLE_EQ(color.alpha, 1.0);
}

TEST(HexStringToUIColor, readsSixDigitsWithOrWithoutHashInEitherCaseAfterTrimming) {
    for (const char* text : {"#ff8000", "FF8000", " ff8000\n"}) {
        SCOPED_TRACE(text);
        expectColor(Utilities::hexStringToUIColor(text), 1.0, 128 / 255.0, 0.0);
    }
}

TEST(HexStringToUIColor, anyOtherLengthGivesPlatformGray) {
    for (const char* text : {"#fff", "", "ff80000", "##ff8000"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utilities::hexStringToUIColor(text), gfx::Color::gray());
    }
}

TEST(HexStringToUIColor, sixCharactersThatAreNotAllHexUseTheLeadingDigits) {
    expectColor(Utilities::hexStringToUIColor("GGGGGG"), 0, 0, 0);
    expectColor(Utilities::hexStringToUIColor("fffffZ"), 0x0F / 255.0, 1.0, 1.0);  // 0x0FFFFF
    expectColor(Utilities::hexStringToUIColor("0x1234"), 0, 0x12 / 255.0, 0x34 / 255.0);
}

using LocalTime = PinnedCalendar;

TEST_F(LocalTime, utcClockTextUsesTheWinterOffsetAllYearRound) {
    clock->set(foundation::Date::fromUnix(1704110400));  // January 2024
    EXPECT_EQ(Utilities::convertUTCToLocal("13:05:09"), "14:05:09");
    clock->set(foundation::Date::fromUnix(1720008000));  // July 2024, summer time
    EXPECT_EQ(Utilities::convertUTCToLocal("13:05:09"), "14:05:09");
}

TEST_F(LocalTime, textThatIsNotAClockTimeGivesNothing) {
    for (const char* text : {"25:00:00", "13:05", ""}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utilities::convertUTCToLocal(text), std::nullopt);
    }
}

TEST_F(LocalTime, formatDecimalGroupsDigitsInTheCurrentLocale) {
    EXPECT_EQ(formatDecimal(1234567), "1,234,567");
    EXPECT_EQ(formatDecimal(0), "0");
    EXPECT_EQ(formatDecimal(-1234567), "-1,234,567");
    foundation::Locale::setCurrent(foundation::Locale("de_DE"));
    EXPECT_EQ(formatDecimal(1234567), "1.234.567");
}

TEST(StripHTMLTags, readsHTMLAsTextWithoutGluingWords) {
    EXPECT_EQ(stripHTMLTags("<p>one</p><p>two</p>"), "one two");
    EXPECT_EQ(stripHTMLTags("a <b>b</b> c"), "a b c");
    EXPECT_EQ(stripHTMLTags("line<br>break<br/>and<img src=x.png>picture"), "line break and picture");
    EXPECT_EQ(stripHTMLTags("<p>Hello <b>wor</b><i>ld</i></p>"), "Hello world") << "inline formatting splits no word";
    EXPECT_EQ(stripHTMLTags("  plain\n\t text  "), "plain text");
    EXPECT_EQ(stripHTMLTags("kept <never closed"), "kept");
    EXPECT_EQ(stripHTMLTags(""), "");
    EXPECT_EQ(stripHTMLTags(" \n <p> </p> "), "");
}

TEST(StripHTMLTags, decodesEntitiesOnceAndAfterTheTagsAreGone) {
    EXPECT_EQ(stripHTMLTags("Max &amp; Lewis"), "Max & Lewis");
    EXPECT_EQ(stripHTMLTags("&amp;lt;b&amp;gt; stays &amp;lt;b&amp;gt;"), "&lt;b&gt; stays &lt;b&gt;");
    EXPECT_EQ(stripHTMLTags("&lt;p&gt;is text&lt;/p&gt;"), "<p>is text</p>") << "decoded markup is not stripped";
    EXPECT_EQ(stripHTMLTags("l&#39;uomo &#x2013; d&rsquo;onore&nbsp;&hellip;"), "l'uomo \u2013 d\u2019onore\u00a0\u2026");
    EXPECT_EQ(stripHTMLTags("&apos;AT&T&unknown; &#xD800; &#99999999999;"), "'AT&T&unknown; \uFFFD \uFFFD");
    EXPECT_EQ(stripHTMLTags("<p>Sport news</p>Sport news &amp; more"), "Sport news Sport news & more");
}

TEST(FirstKey, findsTheFirstKeyInIterationOrderWithThatValue) {
    std::vector<std::pair<std::string, std::string>> numbers{{"max verstappen", "1"}, {"lewis hamilton", "44"},
                                                             {"alias", "44"}};
    EXPECT_EQ(firstKey("44", numbers), "lewis hamilton");
    EXPECT_EQ(firstKey("4", numbers), std::nullopt);  // exact equality, not a prefix
    EXPECT_EQ(firstKey("1", std::map<std::string, std::string>{}), std::nullopt);
}

TEST(GetKeyWindow, isTheWindowMadeKeyWhileItLives) {
    EXPECT_EQ(Utilities::getKeyWindow(), nullptr);
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    EXPECT_EQ(Utilities::getKeyWindow(), window);
    window.reset();
    EXPECT_EQ(Utilities::getKeyWindow(), nullptr);
}

}  // namespace
