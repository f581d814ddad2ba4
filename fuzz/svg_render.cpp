// The SVG road from bytes to pixels: the parser, the layer tree with its use copies and clip paths,
// and drawing into a small bitmap. Whatever the document, the bitmap has the size asked for, or there is
// none and the reason is filed (a render refused past its work meter or matching budget), and the build
// stays within the library's limits (so a run never hangs or runs out of memory).
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
    auto document = result->parsedDocument();
    if (!document || !document->rootElement()) return 0;
    const gfx::Bitmap bitmap = vellum::VellumLayerTree::renderDocument(*document, {24, 16}, 2, result.get());
    if (bitmap.width == 0 && bitmap.height == 0 && !result->errorsRecoverable().empty()) return 0;
    if (bitmap.width != 48 || bitmap.height != 32) __builtin_trap();
    return 0;
}
