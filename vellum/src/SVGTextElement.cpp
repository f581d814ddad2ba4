#include "vellum/SVGTextElement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "foundation/Strings.h"
#include "gfx/TextLayout.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayers.h"

namespace vellum {

void SVGTextPositioningElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGTextContentElement::postProcessAttributesAddingErrorsTo(result);
    x_ = getAttributeAsSVGLength("x");
    y_ = getAttributeAsSVGLength("y");
    dx_ = getAttributeAsSVGLength("dx");
    dy_ = getAttributeAsSVGLength("dy");
    rotate_ = getAttributeAsSVGLength("rotate");
}

const std::string& SVGTextElement::systemDefaultFontFamily() { return gfx::Font::systemFamilyName(); }

std::optional<std::vector<std::string>> SVGTextElement::fontFamiliesWithCSSValue(std::string_view value) {
    if (value.empty()) return std::nullopt;
    std::vector<std::string> families;
    for (std::string part : foundation::components(value, ",")) {
        std::erase(part, '"');
        families.push_back(foundation::trimmingWhitespaceAndNewlines(part));
    }
    return families;
}

SVGFontAttributes SVGTextElement::fontAttributesWithFontFamily(std::string_view family, std::string_view style,
                                                               std::string_view weight, std::string_view stretch) {
    SVGFontAttributes attributes;
    attributes.family = family.empty() ? systemDefaultFontFamily() : std::string(family);
    if (style.empty()) style = "normal";
    if (weight.empty()) weight = "normal";
    if (stretch.empty()) stretch = "normal";
    double w = 400, k = 5.0 / 3.0;
    if (weight == "normal") {
        w = 400;
    } else if (weight == "bold") {
        w = 700;
    } else if (weight == "bolder") {
        w = 900;
    } else if (weight == "lighter") {
        w = 100;
        k = 2.5;
    } else {
        w = std::clamp(static_cast<double>(floatPrefix(weight).value_or(0)), 1.0, 1000.0);
        k = w < 400 ? 2.5 : 5.0 / 3.0;
    }
    attributes.weightTrait = (w - 400) / 1000 * k;
    if (style != "normal" && (style == "italic" || style.find("oblique") != std::string_view::npos)) {
        attributes.symbolicTraits |= gfx::FontTraits::italic;
    }
    if (stretch.find("condensed") != std::string_view::npos) {
        attributes.symbolicTraits |= gfx::FontTraits::condensed;
    } else if (stretch.find("expanded") != std::string_view::npos) {
        attributes.symbolicTraits |= gfx::FontTraits::expanded;
    }
    return attributes;
}

gfx::Font SVGTextElement::matchedFontWithElement(const SVGElement& element) {
    const auto read = [&](std::string_view name) { return element.cascadedValueForStylableProperty(name).value_or(""); };
    const std::string sizeText = read("font-size");
    double size = sizeText.empty() ? 12.0 : floatPrefix(sizeText).value_or(0);
    if (!(size > 0) || !std::isfinite(size)) size = 12.0;  // a font of size 0 or less lays out nothing
    std::string family;
    if (auto families = fontFamiliesWithCSSValue(read("font-family"))) {
        const auto& installed = gfx::Font::familyNames();
        for (const std::string& name : *families) {
            if (std::binary_search(installed.begin(), installed.end(), name)) {
                family = name;
                break;
            }
        }
    }
    const SVGFontAttributes attributes =
        fontAttributesWithFontFamily(family, read("font-style"), read("font-weight"), read("font-stretch"));
    return gfx::Font::matching(attributes.family, size, attributes.weightTrait, attributes.symbolicTraits);
}

std::shared_ptr<quartz::Layer> SVGTextElement::newLayer() {
    const gfx::AffineTransform absolute =
        SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*this);
    const gfx::Size reference = SVGHelperUtilities::percentageReferenceSize(rootOfCurrentDocumentFragment().get());
    const double x = this->x().pixelsValueWithDimension(static_cast<float>(reference.width));
    const double y = this->y().pixelsValueWithDimension(static_cast<float>(reference.height));
    const gfx::AffineTransform placed = gfx::AffineTransform::translation(x, y).concatenating(absolute);
    const gfx::Font font = matchedFontWithElement(*this);

    std::string text = foundation::trimmingWhitespaceAndNewlines(textContent().value_or(""));
    std::replace(text.begin(), text.end(), '\n', ' ');
    const auto stroke = SVGHelperUtilities::parseStrokeForElement(*this);
    const auto fill = SVGHelperUtilities::parseFillForElement(*this);
    double strokeWidth = 0;
    if (const std::string width = cascadedValueForStylableProperty("stroke-width").value_or(""); !width.empty()) {
        strokeWidth = SVGLength::svgLengthFromNSString(width).pixelsValueWithDimension(
            static_cast<float>(std::hypot(reference.width, reference.height)));
    }
    gfx::TextAttributes attributes;
    attributes.font = font;
    // No fill draws the glyphs clear rather than in the default black.
    attributes.foregroundColor = fill.value_or(gfx::Color{0, 0, 0, 0});
    if (strokeWidth != 0 && stroke) {
        attributes.strokeColor = stroke;
        attributes.strokeWidth = fill ? -strokeWidth / 3 : strokeWidth / 3;
    }
    const gfx::AttributedString string(text, attributes);
    const gfx::TextLayout layout = gfx::TextLayout::make(string);
    const gfx::Size size = layout.size();

    auto layer = SVGTextLayer::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    layer->setBounds({0, 0, size.width, size.height});
    const double ascent = layout.firstBaseline();
    layer->setPosition({0, -ascent * placed.d});
    const std::string anchor = cascadedValueForStylableProperty("text-anchor").value_or("");
    layer->setAnchorPoint(anchor == "middle" ? gfx::Point{0.5, 0} : anchor == "end" ? gfx::Point{1, 0} : gfx::Point{0, 0});
    layer->setAffineTransform(placed);
    layer->setAttributedText(string);
    layer->setString(text);
    layer->setAlignment(quartz::TextAlignment::left);
    return newCALayerForTextLayer(layer, absolute);
}

std::shared_ptr<quartz::Layer> SVGTextElement::newCALayerForTextLayer(const std::shared_ptr<quartz::Layer>& textLayer,
                                                                      const gfx::AffineTransform& transformAbsolute) {
    std::shared_ptr<quartz::Layer> result = textLayer;
    const std::string fill = cascadedValueForStylableProperty("fill").value_or("");
    if (fill.starts_with("url")) {
        // A "url" text too short to name an element is no gradient.
        if (auto identifier = SVGHelperUtilities::paintReferenceIdentifier(fill)) {
            const gfx::Rect frame = textLayer->frame();
            if (auto gradient = SVGHelperUtilities::getGradientLayerWithId(*identifier, *this, frame, transformAbsolute)) {
                // A mask lies in the masked layer's space.
                const gfx::Point position = textLayer->position();
                textLayer->setPosition({position.x - frame.origin.x, position.y - frame.origin.y});
                gradient->setMask(textLayer);
                result = gradient;
            }
        }
    }
    result->setOpacity(elementOpacity(*this));
    return result;
}

void TinySVGTextAreaElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGTextElement::postProcessAttributesAddingErrorsTo(result);
    width_ = getAttributeAsSVGLength("width");
    height_ = getAttributeAsSVGLength("height");
}

std::shared_ptr<quartz::Layer> TinySVGTextAreaElement::newLayer() {
    auto layer = SVGTextElement::newLayer();
    // With a gradient fill the text layer is the gradient's mask: the wrapping belongs to it.
    auto text = std::dynamic_pointer_cast<SVGTextLayer>(layer);
    if (!text) text = std::dynamic_pointer_cast<SVGTextLayer>(layer->mask());
    if (!text) return layer;
    text->setWrapped(true);
    const double width = width_.pixelsValue(), height = height_.pixelsValue();
    if (width > 0 && height > 0) text->setBounds({0, 0, width, height});
    const std::string align = cascadedValueForStylableProperty("text-align").value_or("");
    if (align == "start") text->setAlignment(quartz::TextAlignment::left);
    if (align == "center") text->setAlignment(quartz::TextAlignment::center);
    if (align == "end") text->setAlignment(quartz::TextAlignment::right);
    if (align == "justify") text->setAlignment(quartz::TextAlignment::justified);
    text->setPosition({0, 0});
    return layer;
}

}  // namespace vellum
