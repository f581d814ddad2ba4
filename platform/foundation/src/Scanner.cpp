#include "foundation/Scanner.h"

#include <limits>

#include <unicode/uchar.h>

#include "HexDigit.h"
#include "NumberConversion.h"
#include "foundation/Utf8.h"

namespace foundation {
namespace {

bool isDecimalDigit(char character) { return character >= '0' && character <= '9'; }


}  // namespace

std::size_t Scanner::afterSkipped(std::size_t index) const {
    return skipped_ ? endOfRun(index, *skipped_, true) : index;
}

std::optional<std::string> Scanner::take(std::size_t start, std::size_t end) {
    if (end == start) return std::nullopt;
    index_ = end;
    return text_.substr(start, end - start);
}

bool Scanner::isAtEnd() const {
    return afterSkipped(index_) >= text_.size();
}

std::optional<double> Scanner::scanDouble() {
    std::size_t start = afterSkipped(index_);
    std::size_t index = start;
    if (index < text_.size() && (text_[index] == '+' || text_[index] == '-')) ++index;
    std::size_t digits = 0;
    while (index < text_.size() && isDecimalDigit(text_[index])) ++index, ++digits;
    if (index < text_.size() && text_[index] == '.') {
        ++index;
        while (index < text_.size() && isDecimalDigit(text_[index])) ++index, ++digits;
    }
    if (digits == 0) return std::nullopt;
    // An exponent counts only when digits follow its mark: "2em" is 2 followed by "em".
    if (index < text_.size() && (text_[index] == 'e' || text_[index] == 'E')) {
        std::size_t exponent = index + 1;
        if (exponent < text_.size() && (text_[exponent] == '+' || text_[exponent] == '-')) ++exponent;
        if (exponent < text_.size() && isDecimalDigit(text_[exponent])) {
            while (exponent < text_.size() && isDecimalDigit(text_[exponent])) ++exponent;
            index = exponent;
        }
    }
    std::string number = text_.substr(start, index - start);
    index_ = index;
    return convertInCLocale(number);
}

std::optional<float> Scanner::scanFloat() {
    auto value = scanDouble();
    return value ? std::optional<float>(static_cast<float>(*value)) : std::nullopt;
}

std::optional<std::int64_t> Scanner::scanInt() {
    std::size_t index = afterSkipped(index_);
    bool negative = false;
    if (index < text_.size() && (text_[index] == '+' || text_[index] == '-')) negative = text_[index++] == '-';
    if (index >= text_.size() || !isDecimalDigit(text_[index])) return std::nullopt;
    constexpr auto limit = std::numeric_limits<std::int64_t>::max();
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; index < text_.size() && isDecimalDigit(text_[index]); ++index) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text_[index] - '0');
        overflow = overflow || magnitude > static_cast<std::uint64_t>(limit) + 1;
        if (overflow) magnitude = static_cast<std::uint64_t>(limit) + 1;
    }
    index_ = index;
    if (negative) return magnitude > static_cast<std::uint64_t>(limit) ? std::numeric_limits<std::int64_t>::min()
                                                                       : -static_cast<std::int64_t>(magnitude);
    return magnitude > static_cast<std::uint64_t>(limit) ? limit : static_cast<std::int64_t>(magnitude);
}

std::optional<std::uint64_t> Scanner::scanHexInt64() {
    std::size_t index = afterSkipped(index_);
    auto at = [&](std::size_t offset) { return offset < text_.size() ? text_[offset] : '\0'; };
    if (at(index) == '0' && (at(index + 1) | 0x20) == 'x' && hexDigitValue(at(index + 2)) >= 0) index += 2;
    if (index >= text_.size() || hexDigitValue(text_[index]) < 0) return std::nullopt;
    std::uint64_t value = 0;
    for (; index < text_.size() && hexDigitValue(text_[index]) >= 0; ++index) {
        if (value > std::numeric_limits<std::uint64_t>::max() >> 4) {
            value = std::numeric_limits<std::uint64_t>::max();
        } else {
            value = (value << 4) | static_cast<std::uint64_t>(hexDigitValue(text_[index]));
        }
    }
    index_ = index;
    return value;
}

std::optional<std::size_t> Scanner::matchEnd(std::size_t index, std::string_view expected) const {
    for (std::size_t offset = 0; offset < expected.size();) {
        if (index >= text_.size()) return std::nullopt;
        char32_t wanted = utf8::decode(expected, offset);
        char32_t found = utf8::decode(text_, index);
        if (wanted == found) continue;
        if (caseSensitive_ || u_foldCase(static_cast<UChar32>(wanted), U_FOLD_CASE_DEFAULT) !=
                                  u_foldCase(static_cast<UChar32>(found), U_FOLD_CASE_DEFAULT)) {
            return std::nullopt;
        }
    }
    return index;
}

std::optional<std::string> Scanner::scanString(std::string_view expected) {
    if (expected.empty()) return std::nullopt;
    std::size_t start = afterSkipped(index_);
    auto end = matchEnd(start, expected);
    return end ? take(start, *end) : std::nullopt;
}

std::size_t Scanner::endOfRun(std::size_t index, const CharacterSet& set, bool inSet) const {
    while (index < text_.size()) {
        std::size_t next = index;
        if (set.contains(utf8::decode(text_, next)) != inSet) break;
        index = next;
    }
    return index;
}

std::optional<std::string> Scanner::scanCharacters(const CharacterSet& set) {
    std::size_t start = afterSkipped(index_);
    return take(start, endOfRun(start, set, true));
}

std::optional<std::string> Scanner::scanUpToString(std::string_view stop) {
    std::size_t start = afterSkipped(index_);
    std::size_t end = start;
    while (end < text_.size() && !(stop.size() > 0 && matchEnd(end, stop))) utf8::decode(text_, end);
    return take(start, end);
}

std::optional<std::string> Scanner::scanUpToCharacters(const CharacterSet& set) {
    std::size_t start = afterSkipped(index_);
    return take(start, endOfRun(start, set, false));
}

}  // namespace foundation
