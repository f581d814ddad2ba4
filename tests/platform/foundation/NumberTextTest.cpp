#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "foundation/Format.h"
#include "foundation/NumberText.h"

using namespace foundation;

TEST(NumberText, ParsesWholeTextAsIntegerOrNothing) {
    EXPECT_EQ(parseInt("44"), 44);
    EXPECT_EQ(parseInt("-7"), -7);
    EXPECT_EQ(parseInt("+7"), 7);
    EXPECT_EQ(parseInt("007"), 7);
    EXPECT_EQ(parseInt("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseInt("-9223372036854775808"), INT64_MIN);
    for (std::string_view text : {"", "+", "-", " 1", "1 ", "1.0", "1,000", "9223372036854775808", "+-1", "0x10", "١"}) {
        EXPECT_EQ(parseInt(text), std::nullopt) << text;
    }
}

TEST(NumberText, ParsesWholeTextAsDoubleOrNothing) {
    const std::pair<std::string_view, double> accepted[] = {
        {"1", 1},     {"1.5", 1.5},   {".5", 0.5},   {"5.", 5},     {"1e5", 1e5}, {"-2.5E-3", -2.5e-3},
        {"+3", 3},    {"0x1.8p1", 3}, {"0x10", 16},  {"1e400", HUGE_VAL}, {"inf", HUGE_VAL},
        {"-Infinity", -HUGE_VAL},
    };
    for (auto [text, value] : accepted) EXPECT_EQ(parseDouble(text), value) << text;
    EXPECT_TRUE(std::signbit(*parseDouble("-0")));
    EXPECT_TRUE(std::isnan(*parseDouble("nan")));
    for (std::string_view text : {"", " 1", "1 ", "1,5", ".", "e5", "1e", "1e+", "--1", "0x", "0x1p", "infinit", "1.2.3"}) {
        EXPECT_EQ(parseDouble(text), std::nullopt) << text;
    }
}

TEST(NumberText, DescribesDoublesInShortestRoundTripForm) {
    const std::pair<double, std::string_view> examples[] = {
        {4.0, "4.0"},       {0.5, "0.5"},          {0.1, "0.1"},         {100.0, "100.0"},
        {-2.5, "-2.5"},     {1e-05, "1e-05"},      {1.5e-05, "1.5e-05"}, {0.0001, "0.0001"},
        {1e16, "10000000000000000.0"},             {0x1.0p54, "18014398509481984.0"},
        {0x1.0p54 + 4, "1.8014398509481988e+16"},   {1e100, "1e+100"},    {-0.0, "-0.0"},
        {HUGE_VAL, "inf"},  {-HUGE_VAL, "-inf"},   {std::nan(""), "nan"}, {0.1 + 0.2, "0.30000000000000004"},
    };
    for (auto [value, text] : examples) EXPECT_EQ(describe(value), text);
    for (double value : {1.0 / 3, 2.0 / 3e-7, 123456.789e10}) EXPECT_EQ(*parseDouble(describe(value)), value);
}

TEST(Format, FormatsPrintfConversionsFromTypedArguments) {
    EXPECT_EQ(format("%.3f", 1.23456), "1.235");
    EXPECT_EQ(format("%d laps, %02d:%02d", 57, 1, 5), "57 laps, 01:05");
    EXPECT_EQ(format("[%@] purging %lu images", std::string("Cache"), std::size_t{12}), "[Cache] purging 12 images");
    EXPECT_EQ(format("%@:%@", "svg", "path"), "svg:path");
    EXPECT_EQ(format("%5s|%-5s|%.2s", "ab", "cd", "xyz"), "   ab|cd   |xy");
    EXPECT_EQ(format("%x %X %o %c %%", 255, 255u, 8, 'A'), "ff FF 10 A %");
    EXPECT_EQ(format("%*d|%-*d|%.*f", 4, 7, 3, 7, 1, 2.25), "   7|7  |2.2");
    EXPECT_EQ(format("%e %g", 12345.0, 0.0001), "1.234500e+04 0.0001");
}

TEST(Format, ConvertsMismatchedArgumentsInsteadOfReadingGarbage) {
    EXPECT_EQ(format("%d", 3.9), "3");
    EXPECT_EQ(format("%.1f", 2), "2.0");
    EXPECT_EQ(format("%@ and %@", 1.5, 7), "1.5 and 7");
    EXPECT_EQ(format("%d %d", 1), "1 ");
    EXPECT_EQ(format("%u|%s|%@|%i", -1, std::uint64_t{18446744073709551615u}, -2.5, "7"),
              "18446744073709551615|18446744073709551615|-2.5|0");
    EXPECT_EQ(format("%q %", 1), "%q %");
    EXPECT_EQ(format("no conversions", 1, 2), "no conversions");
}

// Text runs of every length around the conversions, bare ones first and then ones with flags, widths
// or "%%", and after what the buffer already held.
TEST(Format, KeepsTheTextAroundConversionsWholeAtEveryLength) {
    const std::string longText(40, 't');
    for (std::size_t before = 0; before <= 40; ++before) {
        for (std::size_t after : {0, 1, 15, 16, 17, 33}) {
            const std::string lead(before, 'a');
            const std::string tail(after, 'b');
            SCOPED_TRACE(testing::Message() << before << " before, " << after << " after");
            EXPECT_EQ(format(lead + "%d" + tail + "%@|%u%s", INT64_MIN, longText, -1, ""),
                      lead + "-9223372036854775808" + tail + longText + "|18446744073709551615");
            EXPECT_EQ(format(lead + "%i %05d%%" + tail + "%@ %d", 7, 42, 2.5, 3), lead + "7 00042%" + tail + "2.5 3");
            EXPECT_EQ(format(lead + "%@" + tail + "%", 2.5), lead + "2.5" + tail + "%");
        }
    }
    std::string kept = "kept ";
    const std::array<FormatArgument, 2> arguments{std::string_view(), 12};
    appendFormattedArguments(kept, "[%@] %d%d", arguments);
    EXPECT_EQ(kept, "kept [] 12");
}

TEST(Format, IntegerConversionsOfHugeOrNaNDoublesSaturate) {
    EXPECT_EQ(format("%d", 1e300), "9223372036854775807");
    EXPECT_EQ(format("%d", -1e19), "-9223372036854775808");
    EXPECT_EQ(format("%i", std::nan("")), "0");
    EXPECT_EQ(format("%x", -std::numeric_limits<double>::infinity()), "8000000000000000");
    // A width taken from a huge argument is bounded like a written one, not wrapped to a negative int.
    EXPECT_EQ(format("%*d", 1e12, 7).size(), std::size_t(1 << 16));
    EXPECT_EQ(format("%*d|", -1e12, 7).size(), std::size_t((1 << 16) + 1));
    EXPECT_EQ(format("%.*f", 1e300, 0.5).size(), std::size_t((1 << 16) + 2));
}
