#include <cstdio>
#include <memory>

#include "vellum/CSSStyleDeclaration.h"
#include "vellum/Element.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGLength.h"
#include "vellum/VellumSourceString.h"

int main() {
    using namespace vellum;
    auto svg = std::make_shared<Element>("svg", Element::AttributeTexts{{"width", "50%"}});
    auto rect = std::make_shared<Element>("rect", Element::AttributeTexts{{"style", "fill: Red; stroke: rgb(0,0,255)"}});
    svg->appendChild(rect);

    CSSStyleDeclaration style;
    style.setCssText(rect->getAttribute("style"));
    const SVGColor fill = SVGColorFromString(style.getPropertyValue("fill").value_or(""));
    const float width = SVGLength::svgLengthFromNSString(svg->getAttribute("width")).pixelsValueWithDimension(200);
    auto source = VellumSourceString::sourceFromContentsOfString("<svg/>");

    std::printf("fill %d,%d,%d width %.0f key %s\n", fill.r, fill.g, fill.b, width,
                source->keyForAppleDictionaries().value_or("-").c_str());
    const bool ok = fill == SVGColor{255, 0, 0, 255} && width == 100 && rect->parentNode() == svg;
    return ok ? 0 : 1;
}
