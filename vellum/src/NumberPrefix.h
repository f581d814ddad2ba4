#pragma once

#include <optional>
#include <string_view>

namespace vellum {

// The decimal number at the start of a text, as C's strtof reads it (leading white space, sign,
// digits, fraction, exponent), without the locale and without infinities or NaN. Sets `length` to
// the bytes read.
std::optional<float> floatPrefix(std::string_view text, std::size_t* length = nullptr);
std::optional<double> doublePrefix(std::string_view text, std::size_t* length = nullptr);

}  // namespace vellum
