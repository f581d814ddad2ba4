#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/CharacterSet.h"

// Text operations on UTF-8 strings. Text that is not valid UTF-8 is read with each bad byte standing for
// U+FFFD, so no operation fails; check isValidUTF8 first where that matters.
namespace foundation {

bool isValidUTF8(std::string_view text);
// User-perceived characters (extended grapheme clusters): "e\u0301" and "🇬🇧" count one each.
std::size_t characterCount(std::string_view text);

// Full Unicode case mapping, the same in every locale ("straße" upper-cases to "STRASSE").
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);
// Each word's first letter in title case and the rest lower-cased; words break as Unicode words do
// ("o'neil" stays one word, "hamilton-smith" is two).
std::string capitalized(std::string_view text);

enum class FoldingOptions : unsigned {
    none = 0,
    caseInsensitive = 1,
    diacriticInsensitive = 128,
};
constexpr FoldingOptions operator|(FoldingOptions left, FoldingOptions right) {
    return static_cast<FoldingOptions>(static_cast<unsigned>(left) | static_cast<unsigned>(right));
}
constexpr bool hasOption(FoldingOptions options, FoldingOptions option) {
    return (static_cast<unsigned>(options) & static_cast<unsigned>(option)) != 0;
}
// Removes the distinctions the options name: case by full case folding ("ß" becomes "ss"), diacritics
// by dropping the combining marks of the canonical decomposition ("Côte" becomes "Cote"). The result
// is in NFC.
std::string folding(std::string_view text, FoldingOptions options);

std::string normalizedNFC(std::string_view text);
std::string normalizedNFD(std::string_view text);
// Equality of Unicode text: canonically equivalent spellings ("é" and "e" + U+0301) are equal.
bool canonicallyEqual(std::string_view left, std::string_view right);

std::string trimmingCharacters(std::string_view text, const CharacterSet& set);
std::string trimmingWhitespaceAndNewlines(std::string_view text);

// The pieces between separators, empty ones kept: "a,,b" gives "a", "", "b"; "" gives one empty piece.
std::vector<std::string> components(std::string_view text, std::string_view separator);
std::vector<std::string> components(std::string_view text, const CharacterSet& separators);
// The pieces between separators with the empty ones dropped.
std::vector<std::string> split(std::string_view text, std::string_view separator);

std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement);

}  // namespace foundation
