#include "foundation/PercentEncoding.h"

#include "foundation/Strings.h"
#include "HexDigit.h"
#include "PercentEscapes.h"
#include "foundation/Utf8.h"

namespace foundation {

std::optional<std::string> decodePercentEscapes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] != '%') {
            bytes += text[index];
            continue;
        }
        if (index + 2 >= text.size()) return std::nullopt;
        int high = hexDigitValue(text[index + 1]);
        int low = hexDigitValue(text[index + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        index += 2;
    }
    return bytes;
}

std::string addingPercentEncoding(std::string_view text, const CharacterSet& allowed) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        std::size_t start = offset;
        char32_t scalar = utf8::decode(text, offset);
        bool keep = allowed.contains(scalar) && !(scalar == utf8::replacementCharacter &&
                                                  text.substr(start, 3) != "\xEF\xBF\xBD");
        for (std::size_t index = start; index < offset; ++index) {
            if (keep) {
                result += text[index];
            } else {
                auto byte = static_cast<unsigned char>(text[index]);
                result += '%';
                result += digits[byte >> 4];
                result += digits[byte & 0x0F];
            }
        }
    }
    return result;
}

std::optional<std::string> removingPercentEncoding(std::string_view text) {
    auto bytes = decodePercentEscapes(text);
    if (!bytes || !isValidUTF8(*bytes)) return std::nullopt;
    return bytes;
}

}  // namespace foundation
