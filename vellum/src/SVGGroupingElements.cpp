#include "vellum/SVGGroupingElements.h"

#include <algorithm>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "foundation/CharacterSet.h"
#include "foundation/Locale.h"
#include "foundation/Strings.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumLayers.h"

namespace vellum {

std::string SVGSwitchElement::preferredLanguage() {
    std::string tag = foundation::Locale::current().identifier();
    // "en_GB.UTF-8" or "de_DE@euro" name the same language as "en_GB" and "de_DE".
    tag = tag.substr(0, tag.find_first_of(".@"));
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

const std::shared_ptr<NodeList>& SVGSwitchElement::visibleChildNodes() {
    if (visibleChildNodes_) return visibleChildNodes_;
    visibleChildNodes_ = std::make_shared<NodeList>();
    const std::string language = preferredLanguage();
    for (const auto& child : *childNodes()) {
        if (!SVGElement::as<ConverterSVGToCALayer>(child.get())) continue;
        auto* element = Element::from(child.get());
        bool chosen = !element->hasAttribute("systemLanguage");
        if (!chosen) {
            const auto languages = foundation::components(element->getAttribute("systemLanguage"),
                                                          foundation::CharacterSet(", \t\n\r"));
            chosen = std::find(languages.begin(), languages.end(), language) != languages.end();
        }
        if (chosen) {
            visibleChildNodes_->internalArray().push_back(child);
            break;
        }
    }
    return visibleChildNodes_;
}

std::shared_ptr<quartz::Layer> SVGSwitchElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    return layer;
}

void SVGGroupElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    opacity_ = elementOpacity(*this);
}

std::shared_ptr<quartz::Layer> SVGGroupElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    layer->setName(identifier().value_or(""));
    if (const auto& identifier = this->identifier()) layer->setValue("SVGElementIdentifier", *identifier);
    layer->setOpacity(opacity_);
    return layer;
}

void SVGGroupElement::layoutLayer(quartz::Layer& layer) {
    gfx::Rect area{0, 0, 0, 0};
    for (const auto& sublayer : layer.sublayers()) area = area.unionWith(sublayer->frame());
    layer.setFrame(area);
    for (const auto& sublayer : layer.sublayers()) {
        const gfx::Point position = sublayer->position();
        sublayer->setPosition({position.x - area.origin.x, position.y - area.origin.y});
    }
}

}  // namespace vellum
