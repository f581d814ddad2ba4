// The SVG parser over one document: the XML library's callbacks, the parser extensions, the element
// classes' attribute reading, the style sheets, the parse result's description and the layer tree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/Font.h"
#include "gfx/TextLayout.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceNSData.h"

// Fontconfig fills its caches at first use and keeps them: done here, before leak checking starts.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)gfx::Font::familyNames();
    (void)gfx::TextLayout::make(gfx::AttributedString("Warm up")).size();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    auto source = vellum::VellumSourceNSData::sourceFromData(foundation::Data(bytes, size), std::nullopt);
    auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(source);
    if (!result) __builtin_trap();
    (void)result->description();
    // The layer tree too: paint, gradients, clips and use copies, without drawing.
    if (result->parsedDocument() && result->parsedDocument()->rootElement()) {
        (void)vellum::VellumLayerTree::newLayerWithElement(result->parsedDocument()->rootElement());
    }
    return 0;
}
