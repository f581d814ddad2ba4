#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Whole text as a signed 64-bit integer: an optional "+" or "-", then ASCII digits and nothing else.
// No whitespace, no grouping; a value out of range gives nothing.
std::optional<std::int64_t> parseInt(std::string_view text);

// Whole text as a double: an optional sign, then a decimal number (digits with an optional fraction,
// at least one digit, optional exponent), a hexadecimal one ("0x1.8p3"), "inf", "infinity" or "nan"
// (any letter case). No whitespace, no other separators. Magnitudes beyond the range round to
// infinity or zero, as the conversion does.
std::optional<double> parseDouble(std::string_view text);

// The shortest text that reads back as the same double, in the app's usual form: at least one digit
// after the point ("4.0", "0.5", "-2.5"), exponent notation below 1e-4 and above 2^54 ("1e-05",
// "1.8014398509481988e+16"), "inf", "-inf", "nan".
std::string describe(double value);

// The double truncated to the integer type, saturating at its bounds; NaN is 0. (A plain cast of a
// value out of range or NaN is undefined.)
template <std::integral Integer>
Integer saturatedInteger(double value) {
    if (std::isnan(value)) return 0;
    const double above = std::ldexp(1.0, std::numeric_limits<Integer>::digits);  // exact: a power of two
    if (value >= above) return std::numeric_limits<Integer>::max();
    if (value < (std::is_signed_v<Integer> ? -above : 0.0)) return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(value);
}

}  // namespace foundation
