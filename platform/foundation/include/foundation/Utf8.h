#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace foundation::utf8 {

inline constexpr char32_t replacementCharacter = 0xFFFD;

// Decodes the scalar at `offset` and moves `offset` past it. Malformed bytes decode, one at a time, as
// U+FFFD so that a walk over bad text always makes progress.
inline char32_t decode(std::string_view text, std::size_t& offset) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(offset);
    if (lead < 0x80) {
        ++offset;
        return lead;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || offset + length > text.size()) {
        ++offset;
        return replacementCharacter;
    }
    char32_t scalar = lead & (0x7F >> length);
    for (std::size_t index = 1; index < length; ++index) {
        unsigned char continuation = byte(offset + index);
        if ((continuation & 0xC0) != 0x80) {
            ++offset;
            return replacementCharacter;
        }
        scalar = (scalar << 6) | (continuation & 0x3F);
    }
    bool overlong = (length == 3 && scalar < 0x800) || (length == 4 && scalar < 0x10000);
    bool outOfRange = scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF);
    if (overlong || outOfRange) {
        ++offset;
        return replacementCharacter;
    }
    offset += length;
    return scalar;
}

inline void append(std::string& out, char32_t scalar) {
    if (scalar < 0x80) {
        out += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        out += static_cast<char>(0xC0 | (scalar >> 6));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        out += static_cast<char>(0xE0 | (scalar >> 12));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (scalar >> 18));
        out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    }
}

}  // namespace foundation::utf8
