#pragma once

#include <bitset>
#include <string_view>
#include <utility>
#include <vector>

namespace foundation {

// A set of Unicode scalars, as trimming, splitting, scanning and percent-encoding take it.
// Immutable once built; copying is cheap enough for the small sets text code passes around.
class CharacterSet {
public:
    CharacterSet() = default;
    // The scalars of a UTF-8 text, e.g. CharacterSet("MmLl").
    explicit CharacterSet(std::string_view characters);
    static CharacterSet range(char32_t first, char32_t last);  // inclusive

    // Unicode-property sets, built from the Unicode database once and shared.
    static const CharacterSet& whitespaces();              // Zs and tab
    static const CharacterSet& newlines();                 // U+000A..U+000D, U+0085, U+2028, U+2029
    static const CharacterSet& whitespacesAndNewlines();
    static const CharacterSet& decimalDigits();            // Nd
    static const CharacterSet& letters();                  // L and M
    static const CharacterSet& alphanumerics();            // L, M and N
    // What may stay unescaped in each part of a URL.
    static const CharacterSet& urlUserAllowed();
    static const CharacterSet& urlPasswordAllowed();
    static const CharacterSet& urlHostAllowed();
    static const CharacterSet& urlPathAllowed();
    static const CharacterSet& urlQueryAllowed();
    static const CharacterSet& urlFragmentAllowed();

    bool contains(char32_t scalar) const;
    CharacterSet inverted() const;
    CharacterSet united(const CharacterSet& other) const;

    // Sorted, disjoint, inclusive ranges; the set's whole content.
    using Ranges = std::vector<std::pair<char32_t, char32_t>>;
    static CharacterSet fromRanges(Ranges ranges);
    const Ranges& ranges() const { return ranges_; }

private:
    void normalize();

    Ranges ranges_;
    std::bitset<128> ascii_;  // fast path for the common case
};

}  // namespace foundation
