// The SVG parser over one document: the XML library's callbacks, the parser extensions, the element
// classes' attribute reading, the style sheets, the parse result's description and the layer tree.
#include "SVGHarness.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayerTree.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    warmUpFonts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    auto result = parseSVGBytes(bytes, size);
    (void)result->description();
    // The layer tree too: paint, gradients, clips and use copies, without drawing.
    if (result->parsedDocument() && result->parsedDocument()->rootElement()) {
        (void)vellum::VellumLayerTree::newLayerWithElement(result->parsedDocument()->rootElement());
    }
    return 0;
}
