// The SVG road from bytes to pixels: the parser, the layer tree with its use copies and clip paths,
// and drawing into a small bitmap. Whatever the document, the bitmap has the size asked for and the
// build stays within the library's limits (so a run never hangs or runs out of memory).
#include <cstddef>
#include <cstdint>

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
    auto document = result->parsedDocument();
    if (!document || !document->rootElement()) return 0;
    const gfx::Bitmap bitmap = vellum::VellumLayerTree::renderDocument(*document, {24, 16}, 2, result.get());
    if (bitmap.width != 48 || bitmap.height != 32) __builtin_trap();
    return 0;
}
