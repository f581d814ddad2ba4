#include <gtest/gtest.h>

#include "foundation/Scanner.h"

using namespace foundation;

TEST(Scanner, ReadsNumbersOfPathDataSkippingWhitespace) {
    Scanner scanner(" M10.5,-3e2 .5.25\n-7E+1 2em");
    ASSERT_EQ(scanner.scanCharacters(CharacterSet("Mm")), "M");
    EXPECT_EQ(scanner.scanDouble(), 10.5);
    EXPECT_EQ(scanner.scanString(","), ",");
    EXPECT_EQ(scanner.scanDouble(), -300);
    EXPECT_EQ(scanner.scanDouble(), 0.5);
    EXPECT_EQ(scanner.scanDouble(), 0.25);  // a second point starts the next number
    EXPECT_EQ(scanner.scanFloat(), -70.0f);
    EXPECT_EQ(scanner.scanDouble(), 2);      // "e" without digits is not an exponent
    EXPECT_EQ(scanner.scanString("EM"), "em");  // case-insensitive by default
    EXPECT_TRUE(scanner.isAtEnd());
}

TEST(Scanner, FailedScanLeavesThePositionWhereItWas) {
    Scanner scanner("  ,5");
    EXPECT_EQ(scanner.scanDouble(), std::nullopt);
    EXPECT_EQ(scanner.currentIndex(), 0u);
    EXPECT_EQ(scanner.scanString(";"), std::nullopt);
    EXPECT_EQ(scanner.scanCharacters(CharacterSet("x")), std::nullopt);
    EXPECT_EQ(scanner.currentIndex(), 0u);
    EXPECT_FALSE(scanner.isAtEnd());

    Scanner caseSensitive("ABC");
    caseSensitive.setCaseSensitive(true);
    EXPECT_EQ(caseSensitive.scanString("abc"), std::nullopt);
    EXPECT_EQ(caseSensitive.scanString("ABC"), "ABC");
}

TEST(Scanner, ScansIntegersSaturatingOnOverflow) {
    Scanner scanner("-42 99999999999999999999 x");
    EXPECT_EQ(scanner.scanInt(), -42);
    EXPECT_EQ(scanner.scanInt(), INT64_MAX);
    EXPECT_EQ(scanner.scanInt(), std::nullopt);

    EXPECT_EQ(Scanner("FF8000").scanHexInt64(), 0xFF8000u);
    EXPECT_EQ(Scanner("0XffG").scanHexInt64(), 0xFFu);
    EXPECT_EQ(Scanner("0xZZ").scanHexInt64(), 0u);  // the "0" alone is read
    EXPECT_EQ(Scanner("GG0000").scanHexInt64(), std::nullopt);
    EXPECT_EQ(Scanner("1FFFFFFFFFFFFFFFFF").scanHexInt64(), UINT64_MAX);
}

// Tag stripping walks a text this way: runs up to "<", then skips to past ">".
TEST(Scanner, ScansUpToTextOrCharacters) {
    Scanner scanner("  <p>Hello <b>world</b>");
    std::string result;
    while (!scanner.isAtEnd()) {
        if (auto run = scanner.scanUpToString("<")) result += *run;
        scanner.scanUpToString(">");
        if (!scanner.isAtEnd()) scanner.setCurrentIndex(scanner.currentIndex() + 1);
    }
    EXPECT_EQ(result, "Hello world");

    Scanner path("M 0 0 L10 10z");
    CharacterSet letters("MmLlZz");
    path.scanCharacters(letters);
    EXPECT_EQ(path.scanUpToCharacters(letters), "0 0 ");
    EXPECT_EQ(path.scanCharacters(letters), "L");
    EXPECT_EQ(path.scanUpToCharacters(CharacterSet()), "10 10z");  // the empty set reads to the end
    EXPECT_EQ(path.scanUpToCharacters(CharacterSet()), std::nullopt);
}

TEST(Scanner, WithoutSkippingWhitespaceIsSignificant) {
    Scanner scanner(" 1");
    scanner.setCharactersToBeSkipped(std::nullopt);
    EXPECT_EQ(scanner.scanDouble(), std::nullopt);
    EXPECT_FALSE(scanner.isAtEnd());
    EXPECT_EQ(scanner.scanCharacters(CharacterSet::whitespaces()), " ");
    EXPECT_EQ(scanner.scanDouble(), 1);
}

TEST(Scanner, MatchesNonASCIITextCaseInsensitively) {
    Scanner scanner("ÉTÉ été");
    EXPECT_EQ(scanner.scanString("été"), "ÉTÉ");
    EXPECT_EQ(scanner.scanUpToString("X"), "été");
}
