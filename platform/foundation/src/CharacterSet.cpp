#include "foundation/CharacterSet.h"

#include <algorithm>

#include <unicode/uniset.h>

#include "foundation/Utf8.h"

namespace foundation {
namespace {

constexpr char32_t lastScalar = 0x10FFFF;

CharacterSet fromPattern(const char* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeSet set(icu::UnicodeString::fromUTF8(pattern), status);
    CharacterSet::Ranges ranges;
    if (U_SUCCESS(status)) {
        for (int32_t index = 0; index < set.getRangeCount(); ++index) {
            ranges.emplace_back(static_cast<char32_t>(set.getRangeStart(index)),
                                static_cast<char32_t>(set.getRangeEnd(index)));
        }
    }
    return CharacterSet::fromRanges(std::move(ranges));
}

CharacterSet asciiAlphanumericsAnd(std::string_view others) {
    return CharacterSet(others)
        .united(CharacterSet::range('a', 'z'))
        .united(CharacterSet::range('A', 'Z'))
        .united(CharacterSet::range('0', '9'));
}

// RFC 3986: unreserved and sub-delimiters, plus what each component may hold besides.
const CharacterSet& urlUnreservedAndSubDelimiters() {
    static const auto& set = *new CharacterSet(asciiAlphanumericsAnd("-._~!$&'()*+,;="));
    return set;
}

}  // namespace

CharacterSet::CharacterSet(std::string_view characters) {
    for (std::size_t offset = 0; offset < characters.size();) {
        char32_t scalar = utf8::decode(characters, offset);
        ranges_.emplace_back(scalar, scalar);
    }
    normalize();
}

CharacterSet CharacterSet::range(char32_t first, char32_t last) {
    return fromRanges({{first, last}});
}

CharacterSet CharacterSet::fromRanges(Ranges ranges) {
    CharacterSet set;
    set.ranges_ = std::move(ranges);
    set.normalize();
    return set;
}

void CharacterSet::normalize() {
    std::erase_if(ranges_, [](const auto& range) { return range.first > range.second; });
    std::sort(ranges_.begin(), ranges_.end());
    Ranges merged;
    for (const auto& range : ranges_) {
        if (!merged.empty() && range.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    ranges_ = std::move(merged);
    ascii_.reset();
    for (const auto& [first, last] : ranges_) {
        for (char32_t scalar = first; scalar <= last && scalar < 128; ++scalar) ascii_.set(scalar);
    }
}

bool CharacterSet::contains(char32_t scalar) const {
    if (scalar < 128) return ascii_.test(scalar);
    auto after = std::upper_bound(ranges_.begin(), ranges_.end(), scalar,
                                  [](char32_t value, const auto& range) { return value < range.first; });
    return after != ranges_.begin() && scalar <= std::prev(after)->second;
}

CharacterSet CharacterSet::inverted() const {
    Ranges gaps;
    char32_t next = 0;
    for (const auto& [first, last] : ranges_) {
        if (first > next) gaps.emplace_back(next, first - 1);
        next = last + 1;
    }
    if (next <= lastScalar) gaps.emplace_back(next, lastScalar);
    return fromRanges(std::move(gaps));
}

CharacterSet CharacterSet::united(const CharacterSet& other) const {
    Ranges both = ranges_;
    both.insert(both.end(), other.ranges_.begin(), other.ranges_.end());
    return fromRanges(std::move(both));
}

const CharacterSet& CharacterSet::whitespaces() {
    static const auto& set = *new CharacterSet(fromPattern("[[:Zs:]\\u0009]"));
    return set;
}

const CharacterSet& CharacterSet::newlines() {
    static const auto& set = *new CharacterSet(fromPattern("[\\u000A-\\u000D\\u0085\\u2028\\u2029]"));
    return set;
}

const CharacterSet& CharacterSet::whitespacesAndNewlines() {
    static const auto& set = *new CharacterSet(whitespaces().united(newlines()));
    return set;
}

const CharacterSet& CharacterSet::decimalDigits() {
    static const auto& set = *new CharacterSet(fromPattern("[:Nd:]"));
    return set;
}

const CharacterSet& CharacterSet::letters() {
    static const auto& set = *new CharacterSet(fromPattern("[[:L:][:M:]]"));
    return set;
}

const CharacterSet& CharacterSet::alphanumerics() {
    static const auto& set = *new CharacterSet(fromPattern("[[:L:][:M:][:N:]]"));
    return set;
}

const CharacterSet& CharacterSet::urlUserAllowed() {
    return urlUnreservedAndSubDelimiters();
}

const CharacterSet& CharacterSet::urlPasswordAllowed() {
    return urlUnreservedAndSubDelimiters();
}

const CharacterSet& CharacterSet::urlHostAllowed() {
    static const auto& set = *new CharacterSet(urlUnreservedAndSubDelimiters().united(CharacterSet(":[]")));
    return set;
}

// The path set leaves ';' out: older URL forms used it to start parameters.
const CharacterSet& CharacterSet::urlPathAllowed() {
    static const auto& set = *new CharacterSet(asciiAlphanumericsAnd("-._~!$&'()*+,=:@/"));
    return set;
}

const CharacterSet& CharacterSet::urlQueryAllowed() {
    static const auto& set = *new CharacterSet(urlUnreservedAndSubDelimiters().united(CharacterSet(":@/?")));
    return set;
}

const CharacterSet& CharacterSet::urlFragmentAllowed() {
    return urlQueryAllowed();
}

}  // namespace foundation
