#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Decodes "%XX" escapes into raw bytes, valid UTF-8 or not; nothing when an escape is malformed.
std::optional<std::string> decodePercentEscapes(std::string_view text);

}  // namespace foundation
