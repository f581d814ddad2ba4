#include "NumberPrefix.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace vellum {

namespace {

template <class Number>
std::optional<Number> prefix(std::string_view text, std::size_t* length) {
    std::size_t index = 0;
    while (index < text.size() && (text[index] == ' ' || (text[index] >= '\t' && text[index] <= '\r'))) ++index;
    const std::size_t start = index;
    if (index < text.size() && text[index] == '+') ++index;
    // Only a digit or a "." may follow (from_chars would also take "inf", "nan" and a second sign).
    const std::size_t body = index + (index < text.size() && text[index] == '-' && index == start ? 1 : 0);
    if (body >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[body])) || text[body] == '.')) {
        return std::nullopt;
    }
    Number value{};
    const char* first = text.data() + index;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) return std::nullopt;
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    if (length) *length = static_cast<std::size_t>(end - text.data());
    return value;
}

}  // namespace

std::optional<float> floatPrefix(std::string_view text, std::size_t* length) { return prefix<float>(text, length); }

std::optional<double> doublePrefix(std::string_view text, std::size_t* length) { return prefix<double>(text, length); }

}  // namespace vellum
