#pragma once

#include <string>
#include <string_view>

// The two ways the embedded documents' look-ups compare names. Both stand in for foundation string
// helpers that are not there yet; each is one function so it can be swapped in one place.

// Full Unicode lower-casing, the same in every locale (no Turkish dotless i, for example).
std::string lowercasedText(std::string_view text);

// Equal as Unicode text: canonically equivalent spellings ("ó" precomposed, or "o" and a combining
// acute accent) compare equal.
bool canonicallyEqual(std::string_view left, std::string_view right);
