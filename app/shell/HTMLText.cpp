#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Strings.h"
#include "foundation/Utf8.h"
#include "shell/Utilities.h"

namespace {

// Elements that style text inside a word or phrase; every other tag (paragraphs, breaks, list items,
// images, ...) stands between words.
bool isInlineFormatting(std::string_view name) {
    static constexpr std::array<std::string_view, 26> names{
        "a", "abbr", "b", "bdi", "bdo", "cite", "code", "del", "dfn", "em", "font", "i", "ins",
        "kbd", "mark", "q", "s", "samp", "small", "span", "strike", "strong", "sub", "sup", "tt", "u",
    };
    for (std::string_view inlineName : names) {
        if (name.size() == inlineName.size() &&
            std::equal(name.begin(), name.end(), inlineName.begin(),
                       [](char a, char b) { return (a | 0x20) == b; })) {
            return true;
        }
    }
    return false;
}

// The element name of a tag's inside ("/p class=x" gives "p").
std::string_view tagName(std::string_view tag) {
    if (tag.starts_with('/')) tag.remove_prefix(1);
    std::size_t end = 0;
    while (end < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[end])) != 0)) ++end;
    return tag.substr(0, end);
}

// A numeric reference may name anything; what is no Unicode scalar (or NUL) reads as U+FFFD.
void appendUTF8(std::string& out, char32_t code) {
    bool valid = code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    foundation::utf8::append(out, valid ? code : foundation::utf8::replacementCharacter);
}

// The character an entity's inside names ("amp", "#38", "#x26"), if any.
std::optional<char32_t> entityCharacter(std::string_view name) {
    if (name.starts_with('#')) {
        name.remove_prefix(1);
        int base = 10;
        if (!name.empty() && (name.front() == 'x' || name.front() == 'X')) {
            name.remove_prefix(1);
            base = 16;
        }
        std::uint32_t code = 0;
        auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), code, base);
        if (name.empty() || error != std::errc() || end != name.data() + name.size()) {
            return error == std::errc::result_out_of_range ? std::optional<char32_t>(0xFFFD) : std::nullopt;
        }
        return static_cast<char32_t>(code);
    }
    if (name == "apos") return U'\'';
    std::string terminated(name);
    const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(terminated.c_str()));
    if (!entity) return std::nullopt;
    return static_cast<char32_t>(entity->value);
}

// The run with its entities decoded; an "&" that starts no known entity stays as it is.
void appendDecoded(std::string& out, std::string_view run) {
    constexpr std::size_t longestName = 32;
    while (!run.empty()) {
        std::size_t ampersand = run.find('&');
        out += run.substr(0, ampersand);
        if (ampersand == std::string_view::npos) return;
        run.remove_prefix(ampersand);
        std::size_t semicolon = run.find(';');
        std::optional<char32_t> character;
        if (semicolon != std::string_view::npos && semicolon <= longestName + 1) {
            character = entityCharacter(run.substr(1, semicolon - 1));
        }
        if (character) {
            appendUTF8(out, *character);
            run.remove_prefix(semicolon + 1);
        } else {
            out += '&';
            run.remove_prefix(1);
        }
    }
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::string stripHTMLTags(std::string_view text) {
    std::string kept;
    while (!text.empty()) {
        std::size_t open = text.find('<');
        appendDecoded(kept, text.substr(0, open));
        if (open == std::string_view::npos) break;
        std::size_t close = text.find('>', open);
        if (close == std::string_view::npos) break;
        if (!isInlineFormatting(tagName(text.substr(open + 1, close - open - 1)))) kept += ' ';
        text.remove_prefix(close + 1);
    }

    std::string result;
    result.reserve(kept.size());
    for (char c : kept) {
        if (!isSpace(c)) result += c;
        else if (!result.empty() && result.back() != ' ') result += ' ';
    }
    return foundation::trimmingWhitespaceAndNewlines(result);
}
