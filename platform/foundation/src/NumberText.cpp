#include "foundation/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "HexDigit.h"
#include "NumberConversion.h"

namespace foundation {
namespace {

bool isDigit(char character, bool hexadecimal) {
    return hexadecimal ? hexDigitValue(character) >= 0 : character >= '0' && character <= '9';
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCaseWord) {
    if (text.size() != lowerCaseWord.size()) return false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        char character = text[index];
        if (character >= 'A' && character <= 'Z') character = static_cast<char>(character | 0x20);
        if (character != lowerCaseWord[index]) return false;
    }
    return true;
}

// digits [. digits] [exponent], with at least one mantissa digit. The exponent is 'e' for decimal
// numbers and 'p' for hexadecimal ones, as C's conversion reads them.
bool isWellFormedNumber(std::string_view text, bool hexadecimal) {
    std::size_t index = 0;
    std::size_t digits = 0;
    while (index < text.size() && isDigit(text[index], hexadecimal)) ++index, ++digits;
    if (index < text.size() && text[index] == '.') {
        ++index;
        while (index < text.size() && isDigit(text[index], hexadecimal)) ++index, ++digits;
    }
    if (digits == 0) return false;
    char exponentMark = hexadecimal ? 'p' : 'e';
    if (index == text.size()) return true;
    if ((text[index] | 0x20) != exponentMark) return false;
    ++index;
    if (index < text.size() && (text[index] == '+' || text[index] == '-')) ++index;
    std::size_t exponentStart = index;
    while (index < text.size() && isDigit(text[index], false)) ++index;
    return index > exponentStart && index == text.size();
}

}  // namespace

double convertInCLocale(const std::string& text) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text.c_str(), nullptr, cLocale);
}

std::optional<std::int64_t> parseInt(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    std::string_view body = text;
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity")) {
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    if (equalsIgnoringCase(body, "nan")) return negative ? -std::nan("") : std::nan("");
    bool hexadecimal = body.size() > 2 && body[0] == '0' && (body[1] | 0x20) == 'x';
    if (!isWellFormedNumber(hexadecimal ? body.substr(2) : body, hexadecimal)) return std::nullopt;
    return convertInCLocale(std::string(text));
}

std::string describe(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    double magnitude = std::fabs(value);
    bool exponential = magnitude != 0 && (magnitude < 1e-4 || magnitude > 0x1.0p54);
    char buffer[64];
    auto format = exponential ? std::chars_format::scientific : std::chars_format::fixed;
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    std::string text(buffer, error == std::errc() ? end : buffer);
    // Scientific output already reads "1e-05" and "1.5e+20"; fixed output needs its ".0".
    if (!exponential && text.find('.') == std::string::npos) text += ".0";
    return text;
}

}  // namespace foundation
