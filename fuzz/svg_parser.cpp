// The SVG parser over one document: the XML library's callbacks, the parser extensions, the element
// classes' attribute reading, the style sheets and the parse result's description.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceNSData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    auto source = vellum::VellumSourceNSData::sourceFromData(foundation::Data(bytes, size), std::nullopt);
    auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(source);
    if (!result) __builtin_trap();
    (void)result->description();
    return 0;
}
