#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Font.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"

namespace vellum {

class SVGTextContentElement : public SVGElement {
public:
    using SVGElement::SVGElement;
    // Nothing sets it.
    const std::optional<SVGLength>& textLength() const { return textLength_; }

private:
    std::optional<SVGLength> textLength_;
};

class SVGTextPositioningElement : public SVGTextContentElement {
public:
    using SVGTextContentElement::SVGTextContentElement;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    const SVGLength& x() const { return x_; }
    const SVGLength& y() const { return y_; }
    const SVGLength& dx() const { return dx_; }
    const SVGLength& dy() const { return dy_; }
    const SVGLength& rotate() const { return rotate_; }

private:
    SVGLength x_ = SVGLength::svgLengthZero(), y_ = SVGLength::svgLengthZero();
    SVGLength dx_ = SVGLength::svgLengthZero(), dy_ = SVGLength::svgLengthZero();
    SVGLength rotate_ = SVGLength::svgLengthZero();
};

// A run of a text's content with its own style and positions (x, y, dx, dy and rotate lists); the
// text element that holds it lays it out.
class SVGTSpanElement : public SVGTextPositioningElement {
public:
    using SVGTextPositioningElement::SVGTextPositioningElement;
};

// What a font descriptor asks for: family, weight trait (-1 to 1) and symbolic traits.
struct SVGFontAttributes {
    std::string family;
    double weightTrait = 0;
    unsigned symbolicTraits = 0;
    bool operator==(const SVGFontAttributes&) const = default;
};

// A text element: its text content (tspans included) on one baseline from (x, y), each run with its
// element's cascaded font, fill and stroke, moved by the x, y, dx, dy and rotate lists; a gradient fill
// makes it the mask of a gradient layer, a gradient stroke adds a gradient masked by the outlines.
class SVGTextElement : public SVGTextPositioningElement,
                       public SVGTransformable,
                       public SVGStylable,
                       public ConverterSVGToCALayer {
public:
    using SVGTextPositioningElement::SVGTextPositioningElement;
    std::shared_ptr<quartz::Layer> newLayer() override;
    // The gradient around the text layer when the fill names one, and the element's opacity.
    std::shared_ptr<quartz::Layer> newCALayerForTextLayer(const std::shared_ptr<quartz::Layer>& textLayer,
                                                          const gfx::AffineTransform& transformAbsolute);
    // The gradient the identifier names over the text layer's frame, with the text layer as its mask;
    // null when there is no such gradient.
    std::shared_ptr<quartz::Layer> gradientMaskedBy(std::string_view identifier,
                                                    const std::shared_ptr<quartz::Layer>& textLayer,
                                                    const gfx::AffineTransform& transformAbsolute);

    static gfx::Font matchedFontWithElement(const SVGElement& element);
    static SVGFontAttributes fontAttributesWithFontFamily(std::string_view family, std::string_view style,
                                                          std::string_view weight, std::string_view stretch);
    // Nothing for an empty value; double quotes dropped, each name trimmed.
    static std::optional<std::vector<std::string>> fontFamiliesWithCSSValue(std::string_view value);
    static const std::string& systemDefaultFontFamily();
};

// SVG Tiny's text area: the text wraps within its width and height when both are set.
class TinySVGTextAreaElement : public SVGTextElement {
public:
    using SVGTextElement::SVGTextElement;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    const SVGLength& width() const { return width_; }
    const SVGLength& height() const { return height_; }

private:
    SVGLength width_ = SVGLength::svgLengthZero(), height_ = SVGLength::svgLengthZero();
};

}  // namespace vellum
