#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/CharacterSet.h"

namespace foundation {

// Reads numbers and runs of characters off the front of a text. Every scan first passes over
// `charactersToBeSkipped`; a scan that fails leaves the position where it was, skipped characters
// included. Positions are byte offsets into the UTF-8 text.
class Scanner {
public:
    explicit Scanner(std::string text) : text_(std::move(text)) {}

    const std::string& string() const { return text_; }
    std::size_t currentIndex() const { return index_; }
    void setCurrentIndex(std::size_t index) { index_ = std::min(index, text_.size()); }

    const std::optional<CharacterSet>& charactersToBeSkipped() const { return skipped_; }
    void setCharactersToBeSkipped(std::optional<CharacterSet> set) { skipped_ = std::move(set); }
    bool caseSensitive() const { return caseSensitive_; }
    void setCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }

    // True when nothing but skipped characters is left.
    bool isAtEnd() const;

    // Optional sign, digits with an optional fraction (at least one digit), optional exponent.
    std::optional<double> scanDouble();
    std::optional<float> scanFloat();
    // Optional sign and decimal digits; a value out of range saturates at the type's limit.
    std::optional<std::int64_t> scanInt();
    // Optional "0x" or "0X", then hexadecimal digits; saturates at the largest value.
    std::optional<std::uint64_t> scanHexInt64();

    // The given text itself, compared case-insensitively unless caseSensitive() is set.
    std::optional<std::string> scanString(std::string_view expected);
    // A non-empty run of characters from the set.
    std::optional<std::string> scanCharacters(const CharacterSet& set);
    // Everything before the next occurrence of the text, or to the end; fails when nothing would be read.
    std::optional<std::string> scanUpToString(std::string_view stop);
    // Everything before the next character of the set, or to the end; fails when nothing would be read.
    std::optional<std::string> scanUpToCharacters(const CharacterSet& set);

private:
    std::size_t afterSkipped(std::size_t index) const;
    std::size_t endOfRun(std::size_t index, const CharacterSet& set, bool inSet) const;
    std::optional<std::size_t> matchEnd(std::size_t index, std::string_view expected) const;
    std::optional<std::string> take(std::size_t start, std::size_t end);

    std::string text_;
    std::size_t index_ = 0;
    std::optional<CharacterSet> skipped_ = CharacterSet::whitespacesAndNewlines();
    bool caseSensitive_ = false;
};

}  // namespace foundation
