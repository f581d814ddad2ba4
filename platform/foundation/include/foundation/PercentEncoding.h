#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/CharacterSet.h"

namespace foundation {

// Every UTF-8 byte of a character outside `allowed` becomes "%XX" (upper-case hexadecimal).
std::string addingPercentEncoding(std::string_view text, const CharacterSet& allowed);
// Decodes every "%XX"; nothing when an escape is malformed or the bytes are not valid UTF-8.
std::optional<std::string> removingPercentEncoding(std::string_view text);

}  // namespace foundation
