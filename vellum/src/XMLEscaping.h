#pragma once

#include <string>
#include <string_view>

namespace vellum {

// "&", "<" and ">" as entities, so character data can never open markup.
std::string escapedXMLText(std::string_view text);
// The same, and both quotes, for a value written between double quotes.
std::string escapedXMLAttribute(std::string_view text);
// A CDATA section cannot hold "]]>": each is split across two sections.
std::string splitCDATATerminators(std::string_view text);

}  // namespace vellum
