#include <gtest/gtest.h>

#include "foundation/Strings.h"

using namespace foundation;

TEST(Strings, CaseMappingIsFullUnicodeAndLocaleIndependent) {
    EXPECT_EQ(uppercased("straße"), "STRASSE");
    EXPECT_EQ(lowercased("ÅLAND ISLANDS"), "åland islands");
    EXPECT_EQ(lowercased("UAE"), "uae");
    EXPECT_EQ(lowercased("TITLE"), "title");  // no Turkish dotless i
    EXPECT_EQ(uppercased("istanbul"), "ISTANBUL");
    EXPECT_EQ(lowercased("ΟΔΟΣ"), "οδος");  // final sigma
    EXPECT_EQ(uppercased("ǆ"), "Ǆ");
}

TEST(Strings, CapitalizedTitleCasesEachWordAndLowersTheRest) {
    EXPECT_EQ(capitalized("max verstappen"), "Max Verstappen");
    EXPECT_EQ(capitalized("SOFT"), "Soft");
    EXPECT_EQ(capitalized("DOUBLE YELLOW"), "Double Yellow");
    EXPECT_EQ(capitalized("sergio pérez"), "Sergio Pérez");
    EXPECT_EQ(capitalized("hamilton-smith o'neil"), "Hamilton-Smith O'neil");
    EXPECT_EQ(capitalized("ǆemal"), "ǅemal");  // title case, not upper case
    EXPECT_EQ(capitalized(""), "");
}

TEST(Strings, FoldingRemovesDiacriticsAndCaseOnRequest) {
    EXPECT_EQ(folding("Côte d’Ivoire", FoldingOptions::diacriticInsensitive), "Cote d’Ivoire");
    EXPECT_EQ(folding("São Paulo", FoldingOptions::diacriticInsensitive), "Sao Paulo");
    EXPECT_EQ(folding("Nico Hülkenberg", FoldingOptions::diacriticInsensitive), "Nico Hulkenberg");
    EXPECT_EQ(folding("Ÿ", FoldingOptions::diacriticInsensitive), "Y");
    EXPECT_EQ(folding("Straße", FoldingOptions::caseInsensitive), "strasse");
    EXPECT_EQ(folding("ÉCOLE Dès", FoldingOptions::caseInsensitive | FoldingOptions::diacriticInsensitive),
              "ecole des");
    EXPECT_EQ(folding("e\u0301", FoldingOptions::none), "é");  // composed
}

TEST(Strings, CanonicallyEquivalentSpellingsCompareEqual) {
    EXPECT_TRUE(canonicallyEqual("Montréal", "Montre\u0301al"));
    EXPECT_TRUE(canonicallyEqual("\u212B", "Å"));  // the angstrom sign is canonically Å
    EXPECT_FALSE(canonicallyEqual("Montreal", "Montréal"));
    EXPECT_FALSE(canonicallyEqual("ﬁ", "fi"));  // compatibility, not canonical
    EXPECT_EQ(normalizedNFD("é"), "e\u0301");
    EXPECT_EQ(normalizedNFC("e\u0301"), "é");
}

TEST(Strings, ValidatesUTF8AndCountsUserPerceivedCharacters) {
    EXPECT_TRUE(isValidUTF8("Côte \xEF\xBF\xBD 🇬🇧"));
    EXPECT_FALSE(isValidUTF8("\xC3"));
    EXPECT_FALSE(isValidUTF8("\xC0\xAF"));      // overlong "/"
    EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(characterCount("FF8000"), 6u);
    EXPECT_EQ(characterCount("e\u0301🇬🇧"), 2u);
    EXPECT_EQ(characterCount(""), 0u);
}

TEST(Strings, TrimsCharactersOfASetFromBothEnds) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \t#ff8000\r\n\u00A0"), "#ff8000");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" inner  space "), "inner  space");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimmingCharacters("--é-x--", CharacterSet("-")), "é-x");
}

TEST(Strings, ComponentsKeepEmptyPiecesAndSplitDropsThem) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(components("a,,b,", ","), (Pieces{"a", "", "b", ""}));
    EXPECT_EQ(components("", ","), (Pieces{""}));
    EXPECT_EQ(components("x.transform.y.transform", ".transform"), (Pieces{"x", ".y", ""}));
    EXPECT_EQ(components("a b\tc", CharacterSet::whitespaces()), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(components("é–ü", CharacterSet("–")), (Pieces{"é", "ü"}));
    EXPECT_EQ(split(".transformhead.transform.transform", ".transform"), (Pieces{"head"}));
}

TEST(Strings, ReplacesEveryOccurrence) {
    EXPECT_EQ(replacingOccurrences("Sport news: Sport news", "Sport news", ""), ": ");
    EXPECT_EQ(replacingOccurrences("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replacingOccurrences("abc", "", "x"), "abc");
}

TEST(CharacterSet, HoldsScalarsAndRangesAndInverts) {
    CharacterSet commands("MmLlCcVvHhAaSsQqTtZz");
    EXPECT_TRUE(commands.contains('M'));
    EXPECT_FALSE(commands.contains('x'));
    EXPECT_TRUE(CharacterSet::alphanumerics().contains(U'é'));
    EXPECT_TRUE(CharacterSet::decimalDigits().contains(U'٣'));
    EXPECT_TRUE(CharacterSet::whitespaces().contains(0x3000));
    EXPECT_FALSE(CharacterSet::whitespaces().contains('\n'));
    CharacterSet notDigits = CharacterSet::range('0', '9').inverted();
    EXPECT_FALSE(notDigits.contains('5'));
    EXPECT_TRUE(notDigits.contains(0x10FFFF));
    EXPECT_TRUE(notDigits.contains(0));
}
