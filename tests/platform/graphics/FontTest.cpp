#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/Font.h"

namespace gfx {
namespace {

TEST(FontTest, SystemFontIsDejaVuSansAndInstalled) {
    EXPECT_EQ(Font::systemFamilyName(), "DejaVu Sans");
    EXPECT_EQ(Font::systemFont(12).familyName(), "DejaVu Sans");
    const auto& families = Font::familyNames();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Sans Mono"), families.end());
    EXPECT_EQ(std::find(families.begin(), families.end(), "Sans"), families.end());
}

TEST(FontTest, PreferredStylesHaveTheirSizesAndWeights) {
    EXPECT_EQ(Font::preferredFont(TextStyle::body).pointSize(), 17);
    EXPECT_EQ(Font::preferredFont(TextStyle::title2).pointSize(), 22);
    EXPECT_EQ(Font::preferredFont(TextStyle::largeTitle).pointSize(), 34);
    EXPECT_EQ(Font::preferredFont(TextStyle::caption2).pointSize(), 11);
    EXPECT_EQ(Font::preferredFont(TextStyle::headline).weight(), weightTrait(FontWeight::semibold));
    EXPECT_FALSE(Font::preferredFont(TextStyle::headline).isBold());
    EXPECT_EQ(Font::preferredFont(TextStyle::subheadline).weight(), 0);
}

TEST(FontTest, BoldTraitFollowsTheWeight) {
    EXPECT_TRUE(Font::boldSystemFont(12).isBold());
    EXPECT_TRUE(Font::systemFont(12, FontWeight::black).isBold());
    EXPECT_FALSE(Font::systemFont(12, FontWeight::semibold).isBold());
    Font bold = Font::systemFont(12).withTraits(FontTraits::bold | FontTraits::italic);
    EXPECT_TRUE(bold.isBold());
    EXPECT_TRUE(bold.isItalic());
    EXPECT_FALSE(bold.withTraits(FontTraits::italic).isBold());
}

TEST(FontTest, MatchingFallsBackToTheSystemFamilyAndKeepsTraits) {
    Font serif = Font::matching("DejaVu Serif", 14, 0.5, FontTraits::italic);
    EXPECT_EQ(serif.familyName(), "DejaVu Serif");
    EXPECT_EQ(serif.weight(), 0.5);
    EXPECT_EQ(serif.traits(), FontTraits::italic | FontTraits::bold);
    EXPECT_EQ(Font::matching("Arial", 14, 0, 0).familyName(), "DejaVu Sans");
    EXPECT_EQ(Font::matching("", 14, -0.9975, FontTraits::condensed).traits(), FontTraits::condensed);
    EXPECT_FALSE(Font::named("dejavu sans", 12).has_value());
    EXPECT_TRUE(Font::named("DejaVu Sans", 12).has_value());
}

TEST(FontTest, MetricsScaleWithSizeAndAreOrdered) {
    FontMetrics small = Font::systemFont(10).metrics();
    FontMetrics large = Font::systemFont(20).metrics();
    EXPECT_GT(small.ascender, small.capHeight);
    EXPECT_GT(small.capHeight, 0);
    EXPECT_LT(small.descender, 0);
    EXPECT_DOUBLE_EQ(small.lineHeight, small.ascender - small.descender);
    EXPECT_NEAR(large.ascender, 2 * small.ascender, 0.05);
    EXPECT_NEAR(large.capHeight, 2 * small.capHeight, 0.1);
    // DejaVu Sans: capitals are 0.73 em.
    EXPECT_NEAR(large.capHeight, 20 * 0.729, 0.3);
}

}  // namespace
}  // namespace gfx
