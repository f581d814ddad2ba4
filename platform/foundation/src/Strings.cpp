#include "foundation/Strings.h"

#include "foundation/Utf8.h"

namespace foundation {

bool isValidUTF8(std::string_view text) {
    for (std::size_t offset = 0; offset < text.size();) {
        std::size_t start = offset;
        if (utf8::decode(text, offset) == utf8::replacementCharacter &&
            text.substr(start, 3) != "\xEF\xBF\xBD") {
            return false;
        }
    }
    return true;
}

std::string trimmingCharacters(std::string_view text, const CharacterSet& set) {
    std::size_t first = text.size();
    std::size_t end = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        std::size_t start = offset;
        if (!set.contains(utf8::decode(text, offset))) {
            first = std::min(first, start);
            end = offset;
        }
    }
    return first < end ? std::string(text.substr(first, end - first)) : std::string();
}

std::string trimmingWhitespaceAndNewlines(std::string_view text) {
    return trimmingCharacters(text, CharacterSet::whitespacesAndNewlines());
}

std::vector<std::string> components(std::string_view text, std::string_view separator) {
    if (separator.empty()) return {std::string(text)};
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(separator, start)) != std::string_view::npos;) {
        pieces.emplace_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

std::vector<std::string> components(std::string_view text, const CharacterSet& separators) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        std::size_t scalarStart = offset;
        if (separators.contains(utf8::decode(text, offset))) {
            pieces.emplace_back(text.substr(start, scalarStart - start));
            start = offset;
        }
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces = components(text, separator);
    std::erase_if(pieces, [](const std::string& piece) { return piece.empty(); });
    return pieces;
}

std::string replacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement) {
    if (target.empty()) return std::string(text);
    std::string result;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(target, start)) != std::string_view::npos;) {
        result.append(text.substr(start, found - start)).append(replacement);
        start = found + target.size();
    }
    result.append(text.substr(start));
    return result;
}

}  // namespace foundation
