#include <gtest/gtest.h>

#include "vellum/SVGColor.h"

using namespace vellum;

namespace {

constexpr SVGColor opaqueBlack{0, 0, 0, 255};

std::vector<gfx::PathElement> elements(std::string_view points, bool close = false) {
    return createPathFromPointsInString(points, close).elements();
}

gfx::PathElement moveTo(double x, double y) { return {gfx::PathElement::Kind::moveTo, {gfx::Point{x, y}}}; }
gfx::PathElement lineTo(double x, double y) { return {gfx::PathElement::Kind::lineTo, {gfx::Point{x, y}}}; }

}  // namespace

TEST(SVGColor, HexTextsOfThreeAndSixDigits) {
    EXPECT_EQ(SVGColorFromString("#f0a"), (SVGColor{255, 0, 170, 255}));
    EXPECT_EQ(SVGColorFromString("#FF0000"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("#12345"), opaqueBlack) << "five digits";
    EXPECT_EQ(SVGColorFromString("#"), opaqueBlack);
    EXPECT_EQ(SVGColorFromString("#g0ff00"), (SVGColor{0, 255, 0, 255})) << "a group stops at its first non-digit";
}

TEST(SVGColor, HexTextsOfFourAndEightDigitsCarryAlpha) {
    EXPECT_EQ(SVGColorFromString("#f008"), (SVGColor{255, 0, 0, 136}));
    EXPECT_EQ(SVGColorFromString("#00ff0080"), (SVGColor{0, 255, 0, 128}));
    EXPECT_EQ(SVGColorFromString("#1234567"), opaqueBlack) << "seven digits";
}

TEST(SVGColor, HueSaturationLightness) {
    EXPECT_EQ(SVGColorFromString("hsl(0, 100%, 50%)"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("hsl(120,100%,25%)"), (SVGColor{0, 128, 0, 255}));
    EXPECT_EQ(SVGColorFromString("HSL(240, 100%, 50%)"), (SVGColor{0, 0, 255, 255}));
    EXPECT_EQ(SVGColorFromString("hsl(-120, 100%, 50%)"), (SVGColor{0, 0, 255, 255})) << "hues wrap round";
    EXPECT_EQ(SVGColorFromString("hsl(30, 80%, 60%)"), (SVGColor{235, 153, 71, 255}));
    EXPECT_EQ(SVGColorFromString("hsl(0, 0%, 100%)"), (SVGColor{255, 255, 255, 255}));
    EXPECT_EQ(SVGColorFromString("hsla(240, 100%, 50%, 0.5)"), (SVGColor{0, 0, 255, 128}));
    EXPECT_EQ(SVGColorFromString("hsla(240, 100%, 50%, 25%)"), (SVGColor{0, 0, 255, 64}));
}

TEST(SVGColor, KeywordsMatchInAnyCase) {
    EXPECT_EQ(SVGColorFromString("red"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("Red"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("CornflowerBlue"), (SVGColor{100, 149, 237, 255}));
    EXPECT_EQ(SVGColorFromString("grey"), SVGColorFromString("gray"));
    EXPECT_EQ(SVGColorFromString("transparent"), (SVGColor{0, 0, 0, 0}));
    EXPECT_EQ(SVGColorFromString("yellowgreen"), (SVGColor{154, 205, 50, 255}));
    EXPECT_EQ(SVGColorFromString("no-such-colour"), opaqueBlack);
    EXPECT_EQ(SVGColorFromString(""), opaqueBlack);
    EXPECT_EQ(SVGColorFromString("  navy\n"), (SVGColor{0, 0, 128, 255})) << "surrounding white space";
    EXPECT_EQ(ColorValueWithName("ALICEBLUE"), (SVGColor{240, 248, 255, 255}));
}

TEST(SVGColor, FunctionalFormsWithNumbers) {
    EXPECT_EQ(SVGColorFromString("rgb(255, 128, 0)"), (SVGColor{255, 128, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgba(0,0,255,0.5)"), (SVGColor{0, 0, 255, 128}));
    EXPECT_EQ(SVGColorFromString("RGB(1,2,3)"), (SVGColor{1, 2, 3, 255}));
    EXPECT_EQ(SVGColorFromString("rgb( 1 0 ,\t2,\n3 )"), (SVGColor{10, 2, 3, 255})) << "blanks inside are skipped";
    EXPECT_EQ(SVGColorFromString("rgb(10,20,30"), (SVGColor{10, 20, 30, 255})) << "no closing parenthesis";
    EXPECT_EQ(SVGColorFromString("rgba(10,20,30)"), (SVGColor{10, 20, 30, 255}));
}

TEST(SVGColor, OutOfRangeComponentsClampInsteadOfWrapping) {
    EXPECT_EQ(SVGColorFromString("rgb(300,0,0)"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgb(256,-1,-300)"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgba(0,0,0,2)"), (SVGColor{0, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgba(0,0,0,-1)"), (SVGColor{0, 0, 0, 0}));
}

TEST(SVGColor, PercentagesAreSharesOfFullIntensity) {
    EXPECT_EQ(SVGColorFromString("rgb(100%, 50%, 0%)"), (SVGColor{255, 128, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgb(150%,0%,0%)"), (SVGColor{255, 0, 0, 255}));
    EXPECT_EQ(SVGColorFromString("rgba(0,0,0,25%)"), (SVGColor{0, 0, 0, 64}));
}

TEST(SVGColor, CoreGraphicsColoursAreComponentsOver255) {
    EXPECT_EQ(CGColorWithSVGColor({255, 0, 51, 255}), (gfx::Color{1, 0, 0.2, 1}));
    EXPECT_EQ(VellumPattern::patternWithColor({0, 0, 1, 1}).CGColor(), (gfx::Color{0, 0, 1, 1}));
}

TEST(SVGPoints, PairsBecomeAMoveAndLinesWhateverTheSeparators) {
    const std::vector<gfx::PathElement> expected{moveTo(10, 20), lineTo(30, 40)};
    EXPECT_EQ(elements("10,20 30,40"), expected);
    EXPECT_EQ(elements("10, 20 30, 40"), expected);
    EXPECT_EQ(elements("10 20\n30\t40"), expected);
    EXPECT_EQ(elements("10,20 30,40 50"), expected) << "a dangling number is dropped";
    EXPECT_TRUE(elements("").empty());
    EXPECT_TRUE(elements("", true).empty());
}

TEST(SVGPoints, NumbersFollowTheSVGGrammar) {
    EXPECT_EQ(elements("1e1,2E1 +3,-4"), (std::vector<gfx::PathElement>{moveTo(10, 20), lineTo(3, -4)}));
    EXPECT_EQ(elements("10-20 .5.5"), (std::vector<gfx::PathElement>{moveTo(10, -20), lineTo(0.5, 0.5)}));
    EXPECT_EQ(elements("1,2 x 3,4"), (std::vector<gfx::PathElement>{moveTo(1, 2), lineTo(3, 4)}));
}

TEST(SVGPoints, ClosingClosesTheFigure) {
    const auto closed = elements("0,0 10,0 10,10", true);
    ASSERT_EQ(closed.size(), 4u);
    EXPECT_EQ(closed.back().kind, gfx::PathElement::Kind::closeSubpath);
}
