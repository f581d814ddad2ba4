#include <gtest/gtest.h>

#include "PinnedTimeSettings.h"
#include "foundation/NumberFormatter.h"

using namespace foundation;

namespace {

NumberFormatter formatter(NumberFormatter::Style style, const std::string& locale = "en_US") {
    NumberFormatter result;
    result.setLocale(Locale(locale));
    result.setNumberStyle(style);
    return result;
}

}  // namespace

TEST(NumberFormatter, OrdinalsFollowEnglishSuffixRules) {
    auto ordinal = formatter(NumberFormatter::Style::ordinal);
    const char* expected[] = {"0th",  "1st",  "2nd",  "3rd",  "4th",  "5th",  "6th",  "7th",  "8th",
                              "9th",  "10th", "11th", "12th", "13th", "14th", "15th", "16th", "17th",
                              "18th", "19th", "20th", "21st", "22nd", "23rd", "24th"};
    for (int number = 0; number <= 24; ++number) EXPECT_EQ(ordinal.string(number), expected[number]);
    EXPECT_EQ(ordinal.string(101), "101st");
    EXPECT_EQ(ordinal.string(111), "111th");
    EXPECT_EQ(ordinal.string(112), "112th");
    EXPECT_EQ(ordinal.string(1003), "1,003rd");
    EXPECT_EQ(formatter(NumberFormatter::Style::ordinal, "nl_NL").string(3), "3e");
}

TEST(NumberFormatter, OrdinalsUseTheCurrentLocaleByDefault) {
    PinnedTimeSettings pinned("UTC", "en_GB");
    NumberFormatter ordinal;
    ordinal.setNumberStyle(NumberFormatter::Style::ordinal);
    EXPECT_EQ(ordinal.string(22), "22nd");
    EXPECT_EQ(ordinal.number("22nd"), 22);
}

TEST(NumberFormatter, DecimalGroupsByLocale) {
    auto decimal = formatter(NumberFormatter::Style::decimal);
    EXPECT_EQ(decimal.string(1234567), "1,234,567");
    EXPECT_EQ(decimal.string(-1234567), "-1,234,567");
    EXPECT_EQ(decimal.string(0), "0");
    EXPECT_EQ(decimal.string(1234.5), "1,234.5");
    EXPECT_EQ(decimal.string(2.00049), "2");  // three fraction digits at most
    EXPECT_EQ(formatter(NumberFormatter::Style::decimal, "nl_NL").string(1234.5), "1.234,5");
}

TEST(NumberFormatter, FractionDigitsPadAndRoundHalfToEven) {
    auto decimal = formatter(NumberFormatter::Style::decimal);
    decimal.setMinimumFractionDigits(2);
    decimal.setMaximumFractionDigits(2);
    EXPECT_EQ(decimal.string(3.0), "3.00");
    EXPECT_EQ(decimal.string(0.125), "0.12");
    EXPECT_EQ(decimal.string(0.375), "0.38");
    decimal.setUsesGroupingSeparator(false);
    EXPECT_EQ(decimal.string(98765.4321), "98765.43");
}

TEST(NumberFormatter, PlainStyleRoundsToWholeNumbersWithoutGrouping) {
    auto plain = formatter(NumberFormatter::Style::none);
    EXPECT_EQ(plain.string(1234.6), "1235");
    EXPECT_EQ(plain.number("1234"), 1234);
}

TEST(NumberFormatter, ReadsOnlyWholeNumbers) {
    auto decimal = formatter(NumberFormatter::Style::decimal);
    EXPECT_EQ(decimal.number("1,234.5"), 1234.5);
    EXPECT_EQ(decimal.number("-42"), -42);
    EXPECT_FALSE(decimal.number("12abc"));
    EXPECT_FALSE(decimal.number("abc"));
    EXPECT_FALSE(decimal.number(""));
    EXPECT_EQ(formatter(NumberFormatter::Style::decimal, "nl_NL").number("1.234,5"), 1234.5);
}
