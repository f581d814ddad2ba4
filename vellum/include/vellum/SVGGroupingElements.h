#pragma once

#include <memory>
#include <string>

#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGElement.h"

namespace vellum {

// The "switch" element: only the first drawing child that suits the user's language is shown.
class SVGSwitchElement : public SVGElement, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;

    std::shared_ptr<quartz::Layer> newLayer() override;
    void layoutLayer(quartz::Layer&) override {}

    // Worked out on first use and kept: the first drawing child without "systemLanguage", or whose
    // list (split at commas and white space) holds the user's language tag exactly; or nothing.
    const std::shared_ptr<NodeList>& visibleChildNodes();
    // The user's preferred language as a tag ("en-GB"), from the current locale.
    static std::string preferredLanguage();

private:
    std::shared_ptr<NodeList> visibleChildNodes_;
};

// A group with an opacity of its own, for code that builds documents (no tag makes one; "g" is
// SVGGElement). Its layer is fitted around its children's.
class SVGGroupElement : public SVGElement, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;

    void loadDefaults() override { opacity_ = 1.0; }
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    // The frame is the union of (0, 0, 0, 0) and the sublayers' frames; the sublayers keep their place.
    void layoutLayer(quartz::Layer& layer) override;

    double opacity() const { return opacity_; }

private:
    double opacity_ = 1.0;
};

}  // namespace vellum
